// Whole acquisitions through DS_Entry: native and memory transfers of
// black-and-white, grey and colour pages, the pending-transfer count, end of
// transfer, reset and cancel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <opencv2/imgcodecs.hpp>

#include "tests/support/TestEnv.h"
#include "tests/twain/CapabilityRecords.h"
#include "tests/twain/TransferHost.h"
#include "twain/DSMBinding.h"

namespace twaintest {
namespace {

using Transfers = TransferHost;

struct Kind {
  TW_UINT16 pixelType;
  int bits;
};

TEST_F(Transfers, NativeDibsMatchIndependentlyBuiltOnes) {
  ASSERT_EQ(SetResolution(200), TWRC_SUCCESS);
  const cv::Mat grey = GreyRamp(61, 7);  // odd widths: every row padded
  const cv::Mat colour = ColourPattern(37, 5);
  for (Kind kind : {Kind{TWPT_BW, 1}, Kind{TWPT_GRAY, 8}, Kind{TWPT_RGB, 24}}) {
    SCOPED_TRACE(kind.bits);
    ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, kind.pixelType), TWRC_SUCCESS);
    const cv::Mat& page = kind.pixelType == TWPT_RGB ? colour : grey;
    ASSERT_EQ(EnableWith({page}), TWRC_SUCCESS);
    std::vector<uint8_t> dib;
    ASSERT_EQ(Native(&dib), TWRC_XFERDONE);
    EXPECT_EQ(dib, ExpectedDib(page, kind.bits, 128, 7874));
    TW_UINT16 count = 9;
    ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
    TW_USERINTERFACE ui{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
}

TEST_F(Transfers, MemoryStripsConcatenateToThePage) {
  const cv::Mat grey = GreyRamp(45, 23);
  const cv::Mat colour = ColourPattern(45, 23);
  for (bool handles : {false, true}) {
    for (Kind kind : {Kind{TWPT_BW, 1}, Kind{TWPT_GRAY, 8}, Kind{TWPT_RGB, 24}}) {
      SCOPED_TRACE(kind.bits + (handles ? 1000 : 0));
      ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, kind.pixelType), TWRC_SUCCESS);
      const cv::Mat& page = kind.pixelType == TWPT_RGB ? colour : grey;
      ASSERT_EQ(EnableWith({page}), TWRC_SUCCESS);
      std::vector<uint8_t> rows;
      std::vector<TW_UINT32> offsets;
      ASSERT_EQ(Memory(10, handles, &rows, &offsets), TWRC_XFERDONE);
      EXPECT_EQ(rows, ExpectedRows(page, kind.bits, 128, true)) << "red first in memory";
      EXPECT_EQ(offsets, (std::vector<TW_UINT32>{0, 10, 20}));
      TW_UINT16 count = 9;
      ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
      TW_USERINTERFACE ui{};
      ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    }
  }
}

// A colour page asked for in grey: the native and memory rows and the file
// hold one and the same grey, red weighing 0.299, green 0.587, blue 0.114.
TEST_F(Transfers, OneColourPageGivesOneGreyInEveryTransfer) {
  cv::Mat page(4, 16, CV_8UC3, cv::Scalar(255, 255, 255));
  page(cv::Rect(0, 0, 4, 4)).setTo(cv::Scalar(0, 0, 255));   // red
  page(cv::Rect(4, 0, 4, 4)).setTo(cv::Scalar(0, 255, 0));   // green
  page(cv::Rect(8, 0, 4, 4)).setTo(cv::Scalar(255, 0, 0));   // blue
  const std::vector<uint8_t> expected = {76, 76, 76, 76, 150, 150, 150, 150, 29, 29, 29, 29, 255, 255, 255, 255};
  ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
  ASSERT_EQ(EnableWith({page, page, page}), TWRC_SUCCESS);

  std::vector<uint8_t> dib;
  ASSERT_EQ(Native(&dib), TWRC_XFERDONE);
  ASSERT_EQ(dib.size(), 40u + 4 * 256 + 16 * 4);
  const std::vector<uint8_t> nativeRow(dib.begin() + 40 + 4 * 256, dib.begin() + 40 + 4 * 256 + 16);
  EXPECT_EQ(nativeRow, expected) << "native";
  TW_UINT16 count = 0;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);

  std::vector<uint8_t> rows;
  ASSERT_EQ(Memory(4, false, &rows), TWRC_XFERDONE);
  ASSERT_EQ(rows.size(), 64u);
  EXPECT_EQ(std::vector<uint8_t>(rows.begin(), rows.begin() + 16), expected) << "memory";
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);

  const std::string path = vqtest::TempPath("grey.tif").string();
  TW_SETUPFILEXFER setup{};
  std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
  setup.Format = TWFF_TIFF;
  ASSERT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
  const cv::Mat file = cv::imread(path, cv::IMREAD_UNCHANGED);
  ASSERT_EQ(file.type(), CV_8UC1);
  EXPECT_EQ(std::vector<uint8_t>(file.ptr(0), file.ptr(0) + 16), expected) << "file";
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
}

TEST_F(Transfers, BitOrderSwapsRedAndBlue) {
  ASSERT_EQ(SetUInt16(ICAP_BITORDER, TWBO_MSBFIRST), TWRC_SUCCESS);
  const cv::Mat page = ColourPattern(9, 4);
  ASSERT_EQ(EnableWith({page, page}), TWRC_SUCCESS);
  std::vector<uint8_t> rows;
  ASSERT_EQ(Memory(2, false, &rows), TWRC_XFERDONE);
  EXPECT_EQ(rows, ExpectedRows(page, 24, 128, false)) << "blue first in memory";
  TW_UINT16 count = 0;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
  ASSERT_EQ(count, 1);
  std::vector<uint8_t> dib;
  ASSERT_EQ(Native(&dib), TWRC_XFERDONE);
  const std::vector<uint8_t> plain = ExpectedDib(page, 24, 128, 0);
  // Pixel bytes after the 40-byte header: the last row of the page comes first.
  ASSERT_EQ(dib.size(), plain.size());
  EXPECT_EQ(dib[40], plain[42]);
  EXPECT_EQ(dib[42], plain[40]);
}

TEST_F(Transfers, ABufferShorterThanARowIsRefused) {
  ASSERT_EQ(EnableWith({ColourPattern(50, 4)}), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(152);
  TW_IMAGEMEMXFER xfer{};
  xfer.Memory = TW_MEMORY{TWMF_POINTER | TWMF_APPOWNS, 149, buffer.data()};
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  xfer.Memory = TW_MEMORY{TWMF_APPOWNS, 152, buffer.data()};
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_FAILURE)
      << "neither pointer nor handle";
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  xfer.Memory = TW_MEMORY{TWMF_POINTER | TWMF_APPOWNS, 152, buffer.data()};
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_SUCCESS);
  EXPECT_EQ(+xfer.Rows, 1u);
  EXPECT_EQ(+xfer.BytesPerRow, 152u);
}

// As many pages as the host's CAP_XFERCOUNT says (-1: every one), in the
// window's order.
class PendingCounts : public TransferHost, public ::testing::WithParamInterface<int> {};

TEST_P(PendingCounts, PagesArriveInTheWindowsOrderAsManyAsTheHostWants) {
  const int wanted = GetParam();
  ASSERT_EQ(SetCap(CAP_XFERCOUNT, OneValue(TWTY_INT16, static_cast<TW_UINT16>(wanted))), TWRC_SUCCESS);
  ASSERT_EQ(EnableWith({ColourPattern(30, 3), ColourPattern(20, 3), ColourPattern(10, 3)}),
            TWRC_SUCCESS);
  const int pages = wanted < 0 ? 3 : std::min(wanted, 3);
  std::vector<int> widths;
  std::vector<int> counts;
  for (int page = 0; page < pages; ++page) {
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
    if (page == 0 && wanted > 0) {
      EXPECT_EQ(pending.Count, pages);
    }
    std::vector<uint8_t> dib;
    ASSERT_EQ(page == 1 ? Memory(1, true, &dib) : Native(&dib), TWRC_XFERDONE);
    widths.push_back(ImageInfo().ImageWidth);
    TW_UINT16 count = 0;
    ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
    counts.push_back(count);
  }
  const std::vector<int> allWidths{30, 20, 10}, allCounts{2, 1, 0};
  EXPECT_EQ(widths, std::vector<int>(allWidths.begin(), allWidths.begin() + pages));
  std::vector<int> expectedCounts(allCounts.end() - pages, allCounts.end());
  EXPECT_EQ(counts, expectedCounts);
  std::vector<uint8_t> dib;
  EXPECT_EQ(Native(&dib), TWRC_FAILURE) << "state 5 after the last page";
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

INSTANTIATE_TEST_SUITE_P(XferCounts, PendingCounts, ::testing::Values(-1, 1, 2, 5));

TEST_F(Transfers, ResetEndsThePendingPages) {
  ASSERT_EQ(EnableWith({GreyRamp(8, 8), GreyRamp(8, 8)}), TWRC_SUCCESS);
  std::vector<uint8_t> dib;
  ASSERT_EQ(Native(&dib), TWRC_XFERDONE);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  EXPECT_EQ(pending.Count, 0);
  EXPECT_EQ(Native(&dib), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

TEST_F(Transfers, CancelFromTheWindowAnswersCancelOnceAndEndsTheBatch) {
  ASSERT_EQ(EnableWith({GreyRamp(8, 8), GreyRamp(8, 8)}), TWRC_SUCCESS);
  ASSERT_NE(Script().bridge, nullptr);
  Script().bridge->Cancel();
  std::vector<uint8_t> dib;
  EXPECT_EQ(Native(&dib), TWRC_CANCEL);
  TW_IMAGEMEMXFER xfer{};
  std::vector<uint8_t> buffer(64);
  xfer.Memory = TW_MEMORY{TWMF_POINTER, 64, buffer.data()};
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer), TWRC_SUCCESS)
      << "the cancel is answered once; the page is still there";
  Script().bridge->Cancel();
  TW_UINT16 count = 9;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
  EXPECT_EQ(count, 0) << "no more pages after a cancel";
}

TEST_F(Transfers, APageReadOutBeforeIsNotDeliveredUnfilled) {
  ASSERT_EQ(SetCap(CAP_AUTOFEED, OneValue(TWTY_BOOL, 0)), TWRC_SUCCESS);
  ASSERT_EQ(EnableWith({GreyRamp(8, 8), GreyRamp(8, 8)}), TWRC_SUCCESS);
  std::vector<uint8_t> dib;
  ASSERT_EQ(Native(&dib), TWRC_XFERDONE);
  TW_UINT16 count = 0;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
  ASSERT_EQ(count, 1);
  EXPECT_EQ(Native(&dib), TWRC_FAILURE) << "the next page was never prepared";
  EXPECT_EQ(Status(), TWCC_BUMMER);
}

TEST_F(Transfers, TallPagesAndRowsLongerThanAStripArriveWhole) {
  // More rows than 16 bits count, and rows of more than 64000 bytes.
  const cv::Mat tall = ColourPattern(3, 70000);
  const cv::Mat wide = ColourPattern(22000, 2);
  ASSERT_EQ(EnableWith({tall, wide}), TWRC_SUCCESS);
  std::vector<uint8_t> rows;
  ASSERT_EQ(Memory(16384, false, &rows), TWRC_XFERDONE);
  EXPECT_EQ(rows, ExpectedRows(tall, 24, 128, true));
  TW_UINT16 count = 0;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
  ASSERT_EQ(count, 1);
  std::vector<uint8_t> dib;
  ASSERT_EQ(Native(&dib), TWRC_XFERDONE);
  EXPECT_EQ(dib, ExpectedDib(wide, 24, 128, 8663)) << "220.05 dpi";
}

Kind KindOf(TW_UINT16 pixelType) {
  return Kind{pixelType, pixelType == TWPT_BW ? 1 : pixelType == TWPT_GRAY ? 8 : 24};
}

// A page of the pixel type whose rows all differ: grey levels for grey and
// black and white, colours for colour.
cv::Mat PageFor(TW_UINT16 pixelType, int width, int height) {
  return pixelType == TWPT_RGB ? ColourPattern(width, height) : GreyRamp(width, height);
}

// A memory transfer ended after three strips: the batch's next page starts
// at its first row and arrives whole.
TEST_F(Transfers, APageAfterAMemoryTransferCutShortArrivesWhole) {
  for (TW_UINT16 pixelType : {TWPT_BW, TWPT_GRAY, TWPT_RGB}) {
    SCOPED_TRACE(pixelType);
    const Kind kind = KindOf(pixelType);
    ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, pixelType), TWRC_SUCCESS);
    const cv::Mat next = PageFor(pixelType, 45, 23);
    ASSERT_EQ(EnableWith({PageFor(pixelType, 33, 60), next}), TWRC_SUCCESS);
    std::vector<uint8_t> rows;
    std::vector<TW_UINT32> offsets;
    ASSERT_EQ(Memory(5, false, &rows, &offsets, 3), TWRC_SUCCESS);
    EXPECT_EQ(offsets, (std::vector<TW_UINT32>{0, 5, 10}));
    TW_UINT16 count = 0;
    ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
    ASSERT_EQ(count, 1);
    offsets.clear();
    ASSERT_EQ(Memory(5, false, &rows, &offsets), TWRC_XFERDONE);
    EXPECT_EQ(offsets, (std::vector<TW_UINT32>{0, 5, 10, 15, 20}));
    EXPECT_EQ(rows, ExpectedRows(next, kind.bits, 128, true));
    ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
    TW_USERINTERFACE ui{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
}

TEST_F(Transfers, MemorySizesFollowTheState) {
  TW_SETUPMEMXFER sizes{};
  ASSERT_EQ(SetResolution(200), TWRC_SUCCESS);
  ASSERT_EQ(Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
  EXPECT_EQ(+sizes.MinBufSize, 5100u) << "8.5 inches at 200 dpi, 24 bits";
  EXPECT_EQ(+sizes.Preferred, 65536u);
  ASSERT_EQ(EnableWith({ColourPattern(101, 2)}), TWRC_SUCCESS);
  ASSERT_EQ(Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
  EXPECT_EQ(+sizes.MinBufSize, 304u);
}

}  // namespace
}  // namespace twaintest
