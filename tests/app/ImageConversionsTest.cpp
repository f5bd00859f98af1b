#include "app/ImageConversions.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include <opencv2/imgcodecs.hpp>

#include "platform/win/Encoding.h"
#include "tests/support/TestEnv.h"

namespace {

void ThisFunctionsModule() {}

TEST(ImageConversions, WideToAnsiFitsOrFails) {
  char buffer[8];
  EXPECT_EQ(WideToAnsi(L"abc", buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "abc");
  // "图像" is six UTF-8 bytes plus the terminator: seven fit, six do not.
  EXPECT_EQ(WideToAnsi(L"图像", buffer, 7), 7);
  EXPECT_EQ(WideToAnsi(L"图像", buffer, 6), 0);
  EXPECT_EQ(WideToAnsi(nullptr, buffer, 8), 0);
}

TEST(ImageConversions, BottomUpColourPictureKeepsTopRowFirst) {
  CImage picture;
  ASSERT_TRUE(picture.Create(3, 2, 24));  // bottom-up
  picture.SetPixel(0, 0, RGB(10, 20, 30));
  picture.SetPixel(2, 1, RGB(200, 100, 50));
  cv::Mat mat = ImageToMat(picture);
  ASSERT_EQ(mat.type(), CV_8UC3);
  EXPECT_EQ(mat.at<cv::Vec3b>(0, 0), cv::Vec3b(30, 20, 10));
  EXPECT_EQ(mat.at<cv::Vec3b>(1, 2), cv::Vec3b(50, 100, 200));
}

TEST(ImageConversions, OneBitPictureUsesAllTenPixelsAndKeepsInkBlack) {
  for (bool whiteIsZero : {false, true}) {
    CImage picture;
    ASSERT_TRUE(picture.Create(10, -1, 1));
    RGBQUAD black{0, 0, 0, 0}, white{255, 255, 255, 0};
    RGBQUAD table[2] = {whiteIsZero ? white : black, whiteIsZero ? black : white};
    picture.SetColorTable(0, 2, table);
    // Ink (black) at x = 0 and x = 9, the last one in the second byte.
    for (int x = 0; x < 10; ++x) picture.SetPixel(x, 0, (x == 0 || x == 9) ? RGB(0, 0, 0) : RGB(255, 255, 255));
    cv::Mat mat = ImageToMat(picture);
    ASSERT_EQ(mat.type(), CV_8UC1);
    ASSERT_EQ(mat.cols, 10);
    EXPECT_EQ(mat.at<uchar>(0, 0), 0) << whiteIsZero;
    EXPECT_EQ(mat.at<uchar>(0, 1), 255) << whiteIsZero;
    EXPECT_EQ(mat.at<uchar>(0, 8), 255) << whiteIsZero;
    EXPECT_EQ(mat.at<uchar>(0, 9), 0) << whiteIsZero;
  }
}

TEST(ImageConversions, UnsupportedDepthsAndEmptyPicturesGiveNothing) {
  CImage empty;
  EXPECT_TRUE(ImageToMat(empty).empty());
  CImage wide;
  ASSERT_TRUE(wide.Create(4, 4, 32));
  EXPECT_TRUE(ImageToMat(wide).empty());
}

TEST(ImageConversions, GreyPngLoadsAsThreeEqualChannels) {
  cv::Mat grey(4, 5, CV_8UC1, cv::Scalar(77));
  grey.at<uchar>(2, 3) = 200;
  std::string path = vqtest::TempPath("grey.png").string();
  ASSERT_TRUE(cv::imwrite(path, grey));
  cv::Mat loaded = LoadImageAsMat(vq::Utf8ToWide(path).c_str());
  ASSERT_EQ(loaded.type(), CV_8UC3);
  EXPECT_EQ(loaded.at<cv::Vec3b>(2, 3), cv::Vec3b(200, 200, 200));
  EXPECT_EQ(loaded.at<cv::Vec3b>(0, 0), cv::Vec3b(77, 77, 77));
  EXPECT_TRUE(LoadImageAsMat(nullptr).empty());
  EXPECT_TRUE(LoadImageAsMat(vq::Utf8ToWide(vqtest::TempPath("missing.png").string()).c_str()).empty());
}

TEST(ImageConversions, StackingPadsNarrowRowsWhite) {
  cv::Mat upper(50, 100, CV_8UC3, cv::Scalar(1, 2, 3));
  cv::Mat lower(80, 200, CV_8UC3, cv::Scalar(9, 8, 7));
  cv::Mat stacked = StackImagesVertically(lower, upper, CV_8UC3);
  ASSERT_EQ(stacked.size(), cv::Size(200, 130));
  EXPECT_EQ(stacked.at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));
  EXPECT_EQ(stacked.at<cv::Vec3b>(49, 150), cv::Vec3b(255, 255, 255));
  EXPECT_EQ(stacked.at<cv::Vec3b>(50, 150), cv::Vec3b(9, 8, 7));
  EXPECT_TRUE(StackImagesVertically(cv::Mat(), upper, CV_8UC3).empty());
  EXPECT_TRUE(StackImagesVertically(lower, cv::Mat(5, 5, CV_8UC1), CV_8UC3).empty());
}

TEST(ImageConversions, PrefixListStopsAtFirstEmptyPiece) {
  std::vector<CString> pieces;
  EXPECT_FALSE(SplitPrefixList(L"", &pieces));
  EXPECT_TRUE(pieces.empty());
  EXPECT_TRUE(SplitPrefixList(L"a|b", &pieces));
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[1], CString(L"b"));
  pieces.clear();
  EXPECT_FALSE(SplitPrefixList(L"a||b", &pieces));
  ASSERT_EQ(pieces.size(), 1u);
  pieces.clear();
  EXPECT_FALSE(SplitPrefixList(L"x|y|", &pieces));
  EXPECT_EQ(pieces.size(), 2u);
}

// The handle is where the binary holding the program's code is loaded (here
// the test program, which links the code statically): the same base as a
// function of this file, with the ELF header there, and not a library's.
TEST(ImageConversions, ThisModuleIsTheBinaryHoldingTheCode) {
  const HMODULE module = GetThisModuleHandle();
  ASSERT_NE(module, nullptr);
  Dl_info here{}, library{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&ThisFunctionsModule), &here), 0);
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&cv::imread), &library), 0);
  EXPECT_EQ(module, reinterpret_cast<HMODULE>(here.dli_fbase));
  EXPECT_NE(module, reinterpret_cast<HMODULE>(library.dli_fbase));
  EXPECT_EQ(std::memcmp(module, "\x7f" "ELF", 4), 0);
}

}  // namespace
