// The pages the source hands over: their order, their conversion to the
// host's pixel type and the strips read out of them.
#include <gtest/gtest.h>

#include <vector>

#include "tests/twain/TestBridge.h"
#include "twain/DSImageSource.h"

namespace twaintest {
namespace {

class ImageSource : public ::testing::Test {
 protected:
  void SetUp() override { source.SetUI(&bridge); }
  void Prepare(int pixelType, float threshold = 128) {
    SourceImageParams params = source.GetParams();
    params.pixelType = pixelType;
    params.threshold = threshold;
    source.SetParams(params);
  }

  TestBridgeScope scope;
  TestBridge bridge{nullptr};
  CDSImageSource source;
};

TEST_F(ImageSource, PagesComeInTheWindowsOrder) {
  Script().pages = {Page(3, 1), Page(5, 1), Page(7, 1)};
  ASSERT_TRUE(source.FetchImagesFromUI());
  EXPECT_EQ(source.GetDocCount(), 3);
  std::vector<int> widths;
  while (source.AcquireImage()) widths.push_back(source.GetParams().width);
  EXPECT_EQ(widths, (std::vector<int>{3, 5, 7}));
  EXPECT_FALSE(source.HasMoreImages());
}

TEST_F(ImageSource, RowLengthsFollowThePixelType) {
  Script().pages = {Page(1000, 2), Page(1001, 2), Page(1000, 2), Page(1000, 2)};
  ASSERT_TRUE(source.FetchImagesFromUI());
  Prepare(TWPT_BW);
  ASSERT_TRUE(source.FetchImagesFromUI());
  ASSERT_TRUE(source.AcquireImage());
  EXPECT_EQ(source.GetBytesPerRow(), 125u);
  ASSERT_TRUE(source.AcquireImage());
  EXPECT_EQ(source.GetBytesPerRow(), 126u);
  Prepare(TWPT_GRAY);
  ASSERT_TRUE(source.FetchImagesFromUI());
  source.AcquireImage();
  source.AcquireImage();
  ASSERT_TRUE(source.AcquireImage());
  EXPECT_EQ(source.GetBytesPerRow(), 1000u);
  Prepare(TWPT_RGB);
  ASSERT_TRUE(source.FetchImagesFromUI());
  ASSERT_TRUE(source.AcquireImage());
  EXPECT_EQ(source.GetBytesPerRow(), 3000u);
}

// One page, one bilevel: the rows the host reads and the matrix a file gets
// put the threshold's own level on the white side, from the same grey.
TEST_F(ImageSource, ThresholdKeepsLevelsFromTInRowsAndMatrixAlike) {
  cv::Mat page = Page(8, 1, cv::Scalar(128, 128, 128));
  page.at<cv::Vec3b>(0, 7) = cv::Vec3b(127, 127, 127);
  page.at<cv::Vec3b>(0, 6) = cv::Vec3b(0, 0, 255);  // red: grey 76
  Script().pages = {page};
  Prepare(TWPT_BW, 128);
  ASSERT_TRUE(source.FetchImagesFromUI());
  ASSERT_TRUE(source.AcquireImage());
  unsigned char row = 0;
  TW_UINT32 written = 0;
  ASSERT_TRUE(source.GetScanStrip(&row, 1, &written));
  EXPECT_EQ(written, 1u);
  EXPECT_EQ(row, 0xFC) << "128 is white, 127 and the red are black";
  const cv::Mat matrix = source.GetCurrentImage();
  std::vector<uint8_t> levels(matrix.ptr(0), matrix.ptr(0) + 8);
  EXPECT_EQ(levels, (std::vector<uint8_t>{255, 255, 255, 255, 255, 255, 0, 0}));
  EXPECT_EQ(Script().pages[0].at<cv::Vec3b>(0, 0)[0], 128) << "the window's page is kept";
}

TEST_F(ImageSource, StripsHoldWholeRowsTopFirst) {
  cv::Mat page = Page(4, 3);
  page.row(0).setTo(cv::Scalar(1, 2, 3));
  page.row(2).setTo(cv::Scalar(7, 8, 9));
  Script().pages = {page};
  ASSERT_TRUE(source.FetchImagesFromUI());
  ASSERT_TRUE(source.AcquireImage());
  std::vector<unsigned char> buffer(12 * 5 / 2);  // two and a half rows
  TW_UINT32 written = 0;
  ASSERT_TRUE(source.GetScanStrip(buffer.data(), static_cast<TW_UINT32>(buffer.size()), &written));
  EXPECT_EQ(written, 24u);
  EXPECT_EQ(buffer[0], 1);
  EXPECT_EQ(buffer[2], 3);
  std::vector<unsigned char> rest(60);
  ASSERT_TRUE(source.GetScanStrip(rest.data(), 60, &written));
  EXPECT_EQ(written, 12u);
  EXPECT_EQ(rest[0], 7);
  ASSERT_TRUE(source.GetScanStrip(rest.data(), 60, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_FALSE(source.GetScanStrip(rest.data(), 11, &written));
  EXPECT_FALSE(source.GetScanStrip(nullptr, 60, &written));
}

TEST_F(ImageSource, AFeederCountBeyondThePagesNeverIndexesPastThem) {
  Script().pages = {Page(4, 4)};
  ASSERT_TRUE(source.FetchImagesFromUI());
  source.SetDocsInFeeder(5);
  Prepare(TWPT_RGB);  // reloads the pages left from the feeder count
  EXPECT_EQ(source.GetDocCount(), 5);
  EXPECT_FALSE(source.AcquireImage());
}

TEST_F(ImageSource, NoPagesNoBridge) {
  EXPECT_FALSE(source.FetchImagesFromUI());
  EXPECT_FALSE(source.AcquireImage());
  EXPECT_FALSE(source.HasMoreImages());
  EXPECT_EQ(source.GetDocCount(), 0);
  source.SetUI(nullptr);
  EXPECT_FALSE(source.FetchImagesFromUI());
}

}  // namespace
}  // namespace twaintest
