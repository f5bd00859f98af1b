#include <gtest/gtest.h>

#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/mfc/CImage.h"
#include "tests/support/TestEnv.h"

namespace {

std::wstring W(const std::filesystem::path& p) { return vq::FromFsPath(p); }

cv::Mat Gradient(int w, int h) {
  cv::Mat m(h, w, CV_8UC3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) m.at<cv::Vec3b>(y, x) = cv::Vec3b(x * 4, y * 4, 200);
  return m;
}

std::string JpegBytes(const cv::Mat& m) {
  std::vector<uchar> buf;
  cv::imencode(".jpg", m, buf, {cv::IMWRITE_JPEG_QUALITY, 95});
  return std::string(buf.begin(), buf.end());
}

// The JPEG with an EXIF block that says "turn 90 degrees clockwise".
std::string WithExifOrientation6(const std::string& jpeg) {
  const unsigned char tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0,  // header, IFD at 8
                                1, 0,                         // one entry
                                0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0,  // Orientation = 6
                                0, 0, 0, 0};
  std::string payload = std::string("Exif\0\0", 6) + std::string(reinterpret_cast<const char*>(tiff), sizeof tiff);
  size_t len = payload.size() + 2;
  std::string app1 = "\xFF\xE1";
  app1 += static_cast<char>(len >> 8);
  app1 += static_cast<char>(len & 0xFF);
  return jpeg.substr(0, 2) + app1 + payload + jpeg.substr(2);
}

TEST(CImage, CreateGivesDibRowsAndPitch) {
  CImage img;
  EXPECT_TRUE(img.IsNull());
  ASSERT_TRUE(img.Create(5, 3, 24));
  EXPECT_EQ(img.GetPitch(), -16);  // bottom-up, rows of 16 bytes
  EXPECT_EQ(img.GetBPP(), 24);
  auto* top = static_cast<uint8_t*>(img.GetBits());
  top[2 * img.GetPitch() + 0] = 10;  // row 2 (the bottom row), blue
  top[2 * img.GetPitch() + 2] = 30;  // red
  EXPECT_EQ(img.GetPixel(0, 2), RGB(30, 0, 10));
  EXPECT_EQ(img.GetPixelAddress(0, 2), top + 2 * img.GetPitch());

  ASSERT_TRUE(img.Create(5, -3, 32));
  EXPECT_EQ(img.GetPitch(), 20);  // top-down
  img.SetPixel(4, 1, RGB(1, 2, 3));
  auto* bits = static_cast<uint8_t*>(img.GetBits());
  EXPECT_EQ(bits[20 + 16 + 2], 1);
  EXPECT_FALSE(img.Create(0, 5, 24));
  EXPECT_FALSE(img.Create(5, 5, 7));
}

TEST(CImage, IndexedPixelsGoThroughTheColourTable) {
  CImage img;
  ASSERT_TRUE(img.Create(10, 2, 1));
  EXPECT_EQ(img.GetPitch(), -4);
  EXPECT_EQ(img.GetMaxColorTableEntries(), 2);
  RGBQUAD table[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};  // 0 white, 1 black
  img.SetColorTable(0, 2, table);
  EXPECT_EQ(img.GetPixel(9, 1), RGB(255, 255, 255));
  img.SetPixel(9, 1, RGB(10, 10, 10));
  EXPECT_EQ(static_cast<uint8_t*>(img.GetBits())[img.GetPitch() + 1], 0x40);
  EXPECT_EQ(img.GetPixel(9, 1), RGB(0, 0, 0));
}

TEST(CImage, LoadsByContentNotByName) {
  cv::Mat m = Gradient(40, 30);
  auto gif = vqtest::TempPath("page.GIF");
  vqtest::WriteFile(gif, JpegBytes(m));
  CImage img;
  ASSERT_EQ(img.Load(W(gif).c_str()), S_OK);
  EXPECT_EQ(img.GetWidth(), 40);
  EXPECT_EQ(img.GetHeight(), 30);
  EXPECT_EQ(img.GetBPP(), 24);
  COLORREF c = img.GetPixel(20, 10);
  EXPECT_NEAR(GetRValue(c), 200, 6);
  EXPECT_NEAR(GetGValue(c), 40, 6);
  EXPECT_NEAR(GetBValue(c), 80, 6);
}

TEST(CImage, KeepsStoredPixelsDespiteExifOrientation) {
  auto path = vqtest::TempPath("turned.jpg");
  vqtest::WriteFile(path, WithExifOrientation6(JpegBytes(Gradient(48, 16))));
  ASSERT_EQ(cv::imread(path.string()).cols, 16);  // a reader that turns it
  CImage img;
  ASSERT_EQ(img.Load(W(path).c_str()), S_OK);
  EXPECT_EQ(img.GetWidth(), 48);
  EXPECT_EQ(img.GetHeight(), 16);
}

TEST(CImage, GreyAndBilevelFilesStayIndexed) {
  cv::Mat grey(8, 9, CV_8UC1, cv::Scalar(77));
  auto png = vqtest::TempPath("grey.png");
  ASSERT_TRUE(cv::imwrite(png.string(), grey));
  CImage img;
  ASSERT_EQ(img.Load(W(png).c_str()), S_OK);
  EXPECT_EQ(img.GetBPP(), 8);
  EXPECT_EQ(img.GetPixel(3, 3), RGB(77, 77, 77));

  // A 1-bit TIFF whose colour table says 0 is white keeps that meaning.
  CImage bilevel;
  ASSERT_TRUE(bilevel.Create(16, 4, 1));
  RGBQUAD table[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
  bilevel.SetColorTable(0, 2, table);
  bilevel.SetPixel(2, 1, RGB(0, 0, 0));
  auto tif = vqtest::TempPath("page.tif");
  ASSERT_EQ(bilevel.Save(W(tif).c_str()), S_OK);
  CImage back;
  ASSERT_EQ(back.Load(W(tif).c_str()), S_OK);
  EXPECT_EQ(back.GetBPP(), 1);
  EXPECT_EQ(back.GetPixel(2, 1), RGB(0, 0, 0));
  EXPECT_EQ(back.GetPixel(3, 1), RGB(255, 255, 255));
}

TEST(CImage, SavesByExtensionAndLoadsBackWhatTheProgramsWrite) {
  CImage img;
  ASSERT_TRUE(img.Create(12, 8, 24));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) img.SetPixel(x, y, x < 6 ? RGB(255, 0, 0) : RGB(0, 0, 255));
  for (const char* name : {"a.jpg", "a.png", "a.bmp", "a.tif"}) {
    auto path = vqtest::TempPath(name);
    ASSERT_EQ(img.Save(W(path).c_str()), S_OK) << name;
    CImage back;
    ASSERT_EQ(back.Load(W(path).c_str()), S_OK) << name;
    EXPECT_EQ(back.GetWidth(), 12);
    EXPECT_NEAR(GetRValue(back.GetPixel(1, 1)), 255, 8) << name;
    EXPECT_NEAR(GetBValue(back.GetPixel(10, 6)), 255, 8) << name;
  }
  // A real GIF is written, but the programs never write one, so reading
  // back refuses it and leaves the image as it was.
  auto gif = vqtest::TempPath("a.gif");
  ASSERT_EQ(img.Save(W(gif).c_str()), S_OK);
  EXPECT_EQ(vqtest::ReadFile(gif).substr(0, 3), "GIF");
  CImage back;
  ASSERT_TRUE(back.Create(3, 2, 24));
  EXPECT_EQ(back.Load(W(gif).c_str()), E_FAIL);
  EXPECT_EQ(back.GetWidth(), 3);
  EXPECT_EQ(img.Save(W(vqtest::TempPath("a.xyz")).c_str()), E_FAIL);
  EXPECT_EQ(img.Save(W(vqtest::TempPath("none/a.png")).c_str()), E_FAIL);
}

TEST(CImage, MissingOrBrokenFilesFail) {
  CImage img;
  EXPECT_EQ(img.Load(W(vqtest::TempPath("none.png")).c_str()), E_FAIL);
  vqtest::WriteFile(vqtest::TempPath("junk.jpg"), std::string(100, 'j'));
  EXPECT_EQ(img.Load(W(vqtest::TempPath("junk.jpg")).c_str()), E_FAIL);
  std::string jpeg = JpegBytes(Gradient(40, 30));
  vqtest::WriteFile(vqtest::TempPath("cut.jpg"), jpeg.substr(0, 20));
  EXPECT_NE(img.Load(W(vqtest::TempPath("cut.jpg")).c_str()), S_OK);
}

}  // namespace
