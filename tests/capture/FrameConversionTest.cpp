// Camera formats into the frame format: YUY2 and motion-JPEG (with the
// Huffman tables cameras leave out) to bottom-up BGR.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/dshow/FrameConversion.h"
#include "platform/dshow/VirtualFrameSource.h"

using namespace vq::dshow;

namespace {

// A top-down matrix of a bottom-up buffer.
cv::Mat TopDown(const std::vector<BYTE>& bottomUp, int w, int h) {
  cv::Mat m(h, w, CV_8UC3, const_cast<BYTE*>(bottomUp.data()));
  cv::Mat flipped;
  cv::flip(m, flipped, 0);
  return flipped;
}

double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat d;
  cv::absdiff(a, b, d);
  cv::Scalar s = cv::mean(d);
  return (s[0] + s[1] + s[2]) / 3.0;
}

}  // namespace

TEST(FrameConversion, Yuy2RoundTripKeepsPictureAndTurnsRowsBottomUp) {
  cv::Mat picture = RenderDeskWithSheet(cv::Size(320, 240));
  // A bright mark at the top left tells the row order.
  cv::rectangle(picture, cv::Rect(0, 0, 40, 20), cv::Scalar(255, 255, 255), cv::FILLED);
  std::vector<BYTE> yuy2 = BgrToYuy2(picture);
  ASSERT_EQ(yuy2.size(), size_t(320 * 240 * 2));
  std::vector<BYTE> bgr(320 * 240 * 3);
  Yuy2ToBottomUpBgr(yuy2.data(), 320, 240, bgr.data());
  // The first row in memory is the bottom of the picture.
  EXPECT_LT(bgr[0], 200);
  const size_t lastRow = size_t(239) * 320 * 3;
  EXPECT_GT(bgr[lastRow], 240);
  EXPECT_LT(MeanDifference(TopDown(bgr, 320, 240), picture), 3.0);
}

TEST(FrameConversion, OddWidthOrEmptyPictureGivesNoYuy2) {
  EXPECT_TRUE(BgrToYuy2(cv::Mat(4, 5, CV_8UC3, cv::Scalar(1, 2, 3))).empty());
  EXPECT_TRUE(BgrToYuy2(cv::Mat()).empty());
}

TEST(FrameConversion, MjpgFramesLeaveOutHuffmanTablesAndStillDecode) {
  cv::Mat picture = RenderDeskWithSheet(cv::Size(640, 480));
  std::vector<BYTE> mjpg = BgrToMjpg(picture, 85);
  ASSERT_FALSE(mjpg.empty());
  EXPECT_FALSE(HasHuffmanTables(mjpg.data(), mjpg.size()));

  std::vector<BYTE> bgr(640 * 480 * 3);
  ASSERT_TRUE(MjpgToBottomUpBgr(mjpg.data(), mjpg.size(), 640, 480, bgr.data()));
  EXPECT_LT(MeanDifference(TopDown(bgr, 640, 480), picture), 4.0);

  // With the standard tables inserted, an independent decoder reads it alike.
  std::vector<BYTE> complete = WithStandardHuffmanTables(mjpg.data(), mjpg.size());
  EXPECT_TRUE(HasHuffmanTables(complete.data(), complete.size()));
  cv::Mat decoded = cv::imdecode(complete, cv::IMREAD_COLOR);
  ASSERT_EQ(decoded.size(), picture.size());
  EXPECT_LT(MeanDifference(decoded, TopDown(bgr, 640, 480)), 1.0);
}

TEST(FrameConversion, StreamsWithTablesAreLeftAlone) {
  std::vector<uchar> withTables;
  cv::imencode(".jpg", cv::Mat(16, 16, CV_8UC3, cv::Scalar(10, 20, 30)), withTables);
  ASSERT_TRUE(HasHuffmanTables(withTables.data(), withTables.size()));
  EXPECT_EQ(WithStandardHuffmanTables(withTables.data(), withTables.size()), withTables);
}

TEST(FrameConversion, DamagedOrMismatchedMjpgIsRefused) {
  cv::Mat picture(64, 64, CV_8UC3, cv::Scalar(50, 100, 150));
  std::vector<BYTE> mjpg = BgrToMjpg(picture, 80);
  std::vector<BYTE> bgr(64 * 64 * 3);
  EXPECT_FALSE(MjpgToBottomUpBgr(mjpg.data(), mjpg.size(), 32, 64, bgr.data()));  // other size
  std::vector<BYTE> junk = {0x00, 0x11, 0x22, 0x33, 0x44};
  EXPECT_FALSE(MjpgToBottomUpBgr(junk.data(), junk.size(), 64, 64, bgr.data()));
  std::vector<BYTE> cut(mjpg.begin(), mjpg.begin() + 20);  // header cut short
  EXPECT_FALSE(MjpgToBottomUpBgr(cut.data(), cut.size(), 64, 64, bgr.data()));
  EXPECT_TRUE(WithStandardHuffmanTables(junk.data(), junk.size()).empty());
}
