// The frame holder: quarter turns, the capacity rule, rectangles out as
// matrices, BMP files, and document outlines.
#include <gtest/gtest.h>

#include <cstring>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "base/PathEncoding.h"
#include "capture/FrameHolder.h"
#include "platform/win/MessageBox.h"
#include "scene/Renderer.h"
#include "scene/Scene.h"
#include "tests/support/TestEnv.h"

namespace {

// The 3 x 2 picture "a b c" over "d e f", bottom-up, one byte value per pixel.
std::vector<BYTE> Letters() {
  const char rows[2][3] = {{'d', 'e', 'f'}, {'a', 'b', 'c'}};  // bottom row first
  std::vector<BYTE> data;
  for (auto& row : rows)
    for (char c : row) data.insert(data.end(), {BYTE(c), BYTE(c), BYTE(c)});
  return data;
}

// The holder's picture as text, top row first, rows separated by '/'.
std::string Picture(CDPrgb24& holder) {
  int w = 0, h = 0;
  if (!holder.GetSize(&w, &h)) return "";
  std::string out;
  for (int y = h - 1; y >= 0; --y) {
    for (int x = 0; x < w; ++x) out += char(holder.GetBuffer()[(size_t(y) * w + x) * 3]);
    if (y) out += '/';
  }
  return out;
}

uint32_t Field(const std::string& file, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | uint8_t(file[at + size_t(i)]);
  return v;
}

}  // namespace

TEST(FrameHolder, QuarterTurnsWhileCopying) {
  auto data = Letters();
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrameRotated(data.data(), 3, 2, 0));
  EXPECT_EQ(Picture(holder), "abc/def");
  ASSERT_TRUE(holder.SetFrameRotated(data.data(), 3, 2, 90));
  EXPECT_EQ(Picture(holder), "da/eb/fc");
  ASSERT_TRUE(holder.SetFrameRotated(data.data(), 3, 2, 270));
  EXPECT_EQ(Picture(holder), "cf/be/ad");
  ASSERT_TRUE(holder.SetFrameRotated(data.data(), 3, 2, 180));
  EXPECT_EQ(Picture(holder), "fed/cba");
  // Negative turns count backwards.
  ASSERT_TRUE(holder.SetFrameRotated(data.data(), 3, 2, -90));
  EXPECT_EQ(Picture(holder), "cf/be/ad");
  ASSERT_TRUE(holder.SetFrameRotated(data.data(), 3, 2, -270));
  EXPECT_EQ(Picture(holder), "da/eb/fc");

  std::vector<BYTE> turned(data.size());
  CDPrgb24 other;
  ASSERT_TRUE(other.RotateCopy(data.data(), turned.data(), 3, 2, 90));
  ASSERT_TRUE(other.SetFrame(turned.data(), 2, 3));
  EXPECT_EQ(Picture(other), "da/eb/fc");
  EXPECT_FALSE(other.RotateCopy(data.data(), nullptr, 3, 2, 90));
  EXPECT_FALSE(other.RotateCopy(data.data(), turned.data(), 3, 2, 45));
}

TEST(FrameHolder, BadAngleOrNullDataChangesNothing) {
  auto data = Letters();
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(data.data(), 3, 2));
  std::vector<BYTE> big(8 * 8 * 3, 7);
  EXPECT_FALSE(holder.SetFrameRotated(big.data(), 8, 8, 45));
  EXPECT_FALSE(holder.SetFrameRotated(nullptr, 3, 2, 0));
  int w = 0, h = 0;
  ASSERT_TRUE(holder.GetSize(&w, &h));
  EXPECT_EQ(w, 3);
  EXPECT_EQ(h, 2);
  EXPECT_EQ(Picture(holder), "abc/def");
}

TEST(FrameHolder, KeepsItsBufferForTheSameSizeInEitherOrientation) {
  std::vector<BYTE> frame(640 * 480 * 3, 1);
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(frame.data(), 640, 480));
  BYTE* buffer = holder.GetBuffer();
  ASSERT_TRUE(holder.SetFrame(frame.data(), 480, 640));
  EXPECT_EQ(holder.GetBuffer(), buffer);
  ASSERT_TRUE(holder.SetFrameRotated(frame.data(), 640, 480, 90));
  EXPECT_EQ(holder.GetBuffer(), buffer);
  std::vector<BYTE> larger(800 * 600 * 3, 2);
  ASSERT_TRUE(holder.SetFrame(larger.data(), 800, 600));
  int w = 0, h = 0;
  ASSERT_TRUE(holder.GetSize(&w, &h));
  EXPECT_EQ(w * h, 800 * 600);
  EXPECT_EQ(holder.GetBuffer()[800 * 600 * 3 - 1], 2);
  EXPECT_EQ(holder.GetBufferAddress()[0], holder.GetBuffer());
}

TEST(FrameHolder, EmptyHolderAnswersWithFailures) {
  CDPrgb24 holder;
  int w = -5, h = -5;
  EXPECT_FALSE(holder.GetSize(&w, &h));
  EXPECT_EQ(w, -5);
  EXPECT_TRUE(holder.GetMat().empty());
  EXPECT_TRUE(holder.FindAndDrawDocuments(0.1f).empty());
  EXPECT_FALSE(holder.SaveFrameBitmap(vq::FromFsPath(vqtest::TempPath("x.bmp")).c_str()));
  CBasePR& base = holder;
  EXPECT_FALSE(base.ReservedOp(1, 2, 3));
}

TEST(FrameHolder, RectanglesComeOutTopDown) {
  auto data = Letters();
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(data.data(), 3, 2));
  cv::Mat whole = holder.GetMat();
  ASSERT_EQ(whole.rows, 2);
  EXPECT_EQ(whole.at<cv::Vec3b>(0, 0)[0], 'a');
  EXPECT_EQ(whole.at<cv::Vec3b>(1, 2)[0], 'f');
  RECT part{1, 1, 3, 2};
  cv::Mat cut = holder.GetMatRect(&part);
  ASSERT_EQ(cut.size(), cv::Size(2, 1));
  EXPECT_EQ(cut.at<cv::Vec3b>(0, 0)[0], 'e');
  RECT tooWide{0, 0, 4, 2};
  EXPECT_TRUE(holder.GetMatRect(&tooWide).empty());
  RECT inverted{2, 0, 1, 2};
  EXPECT_TRUE(holder.GetMatRect(&inverted).empty());
  EXPECT_TRUE(holder.GetMatRect(nullptr).empty());
}

TEST(FrameHolder, BitmapFilesPadRowsAndReadBackAsHeld) {
  cv::Mat picture = vqscene::RenderScene(vqscene::SingleSheet(cv::Size(64, 48), {32, 24}, {30, 40}, 10));
  cv::Mat bottomUp;
  cv::flip(picture, bottomUp, 0);
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(bottomUp.data, 64, 48));

  RECT rect{3, 5, 8, 25};  // 5 pixels wide: rows of 15 bytes padded to 16
  auto path = vqtest::TempPath("part.bmp");
  ASSERT_TRUE(holder.SaveBitmap(vq::FromFsPath(path).c_str(), &rect));
  std::string file = vqtest::ReadFile(path);
  ASSERT_EQ(file.size(), size_t(16 * 20 + 54));
  EXPECT_EQ(file.substr(0, 2), "BM");
  EXPECT_EQ(Field(file, 2, 4), 16u * 20 + 54);
  EXPECT_EQ(Field(file, 10, 4), 54u);
  EXPECT_EQ(Field(file, 18, 4), 5u);
  EXPECT_EQ(Field(file, 22, 4), 20u);
  EXPECT_EQ(Field(file, 28, 2), 24u);
  EXPECT_EQ(Field(file, 38, 4), 3780u);  // 96 dpi
  EXPECT_EQ(Field(file, 42, 4), 3780u);
  cv::Mat back = cv::imread(path.string(), cv::IMREAD_COLOR);
  cv::Mat expected = holder.GetMatRect(&rect);
  ASSERT_EQ(back.size(), expected.size());
  EXPECT_EQ(cv::norm(back, expected, cv::NORM_INF), 0.0);

  auto whole = vqtest::TempPath("whole.bmp");
  ASSERT_TRUE(holder.SaveFrameBitmap(vq::FromFsPath(whole).c_str()));
  std::string wholeFile = vqtest::ReadFile(whole);
  EXPECT_EQ(wholeFile.size(), size_t(64 * 3 * 48 + 54));
  EXPECT_EQ(Field(wholeFile, 38, 4), 0u);
  EXPECT_EQ(cv::norm(cv::imread(whole.string(), cv::IMREAD_COLOR), picture, cv::NORM_INF), 0.0);
}

TEST(FrameHolder, BitmapThatCannotBeWrittenFailsAndSaysSo) {
  vqplatform::ClearMessageBoxLog();
  std::vector<BYTE> frame(8 * 8 * 3, 9);
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(frame.data(), 8, 8));
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("file"), "x"));
  auto bad = vq::FromFsPath(vqtest::TempPath("file") / "a.bmp");  // the parent is a file
  RECT rect{0, 0, 8, 8};
  EXPECT_FALSE(holder.SaveBitmap(bad.c_str(), &rect));
  ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
  EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, L"CDPrgb24::SaveBitmap() - hf = INVALID_HANDLE_VALUE!");
  EXPECT_EQ(vqplatform::MessageBoxLog()[0].caption, L"");
  EXPECT_FALSE(holder.SaveFrameBitmap(bad.c_str()));
  EXPECT_EQ(vqplatform::MessageBoxLog().size(), 1u);  // silently
  RECT outside{0, 0, 9, 8};
  EXPECT_FALSE(holder.SaveBitmap(vq::FromFsPath(vqtest::TempPath("o.bmp")).c_str(), &outside));
  EXPECT_FALSE(holder.SaveBitmap(nullptr, &rect));
}

TEST(FrameHolder, NoDocumentOutlinesTheWholeFrame) {
  std::vector<BYTE> grey(200 * 100 * 3, 128);
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(grey.data(), 200, 100));
  cv::RotatedRect r = holder.FindAndDrawDocument(true, cv::RotatedRect(), 0.1f);
  EXPECT_EQ(r.center, cv::Point2f(100, 50));
  EXPECT_EQ(r.size, cv::Size2f(200, 100));
  EXPECT_EQ(r.angle, 0.0f);
  cv::Mat m = holder.GetMat();
  EXPECT_EQ(m.at<cv::Vec3b>(0, 100), cv::Vec3b(255, 0, 0));   // top edge
  EXPECT_EQ(m.at<cv::Vec3b>(3, 100), cv::Vec3b(255, 0, 0));   // 9 thick: reaches row 4
  EXPECT_EQ(m.at<cv::Vec3b>(6, 100), cv::Vec3b(128, 128, 128));
  EXPECT_EQ(m.at<cv::Vec3b>(50, 199), cv::Vec3b(255, 0, 0));  // right edge
  EXPECT_EQ(m.at<cv::Vec3b>(50, 100), cv::Vec3b(128, 128, 128));

  CDPrgb24 holder2;
  ASSERT_TRUE(holder2.SetFrame(grey.data(), 200, 100));
  auto list = holder2.FindAndDrawDocuments(0.1f);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].size, cv::Size2f(200, 100));
}

TEST(FrameHolder, FoundDocumentIsInBottomUpCoordinates) {
  // A sheet in the upper part of the picture has a large y counted from the bottom.
  cv::Mat picture = vqscene::RenderScene(vqscene::SingleSheet(cv::Size(640, 480), {320, 150}, {260, 180}, 0));
  cv::Mat bottomUp;
  cv::flip(picture, bottomUp, 0);
  CDPrgb24 holder;
  ASSERT_TRUE(holder.SetFrame(bottomUp.data, 640, 480));
  cv::RotatedRect r = holder.FindAndDrawDocument(true, cv::RotatedRect(), 0.05f);
  EXPECT_NEAR(r.center.x, 320, 12);
  EXPECT_NEAR(r.center.y, 480 - 150, 12);
  EXPECT_NEAR(r.size.area(), 260 * 180, 260 * 180 * 0.15);
  // Given a rectangle without detection, it is drawn and returned unchanged.
  cv::RotatedRect given({100, 100}, {50, 40}, -30);
  cv::RotatedRect same = holder.FindAndDrawDocument(false, given, 0.05f);
  EXPECT_EQ(same.center, given.center);
  EXPECT_EQ(same.angle, given.angle);
}
