// Pages through the built libStrenvik.so, captured by its camera window on
// the virtual camera, whose only picture is a pattern in which every row
// differs: a memory transfer cut short leaves the next page whole, and a
// file write that failed leaves the page for another file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/support/TestEnv.h"
#include "tests/twain/TransferHost.h"

namespace twaintest {
namespace {

class LibraryPages : public TransferHost {
 protected:
  LibraryPages() : TransferHost(STRENVIK_LIBRARY_PATH) {}
  void SetUp() override {
    UsePatternCamera();
    TransferHost::SetUp();
  }
  void TearDown() override {
    TransferHost::TearDown();
    unsetenv("VQ_VIRTUAL_CAMERA");
  }
  TW_UINT16 Disable() {
    TW_USERINTERFACE ui{};
    return Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  }
  // The next captured page by native transfer, as rows of a memory transfer.
  std::vector<uint8_t> NextPageNatively() {
    std::vector<uint8_t> dib;
    EXPECT_EQ(EnableUnattended(), TWRC_SUCCESS);
    EXPECT_EQ(Native(&dib), TWRC_XFERDONE);
    TW_UINT16 count = 9;
    EXPECT_EQ(EndXfer(&count), TWRC_SUCCESS);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
    return dib.empty() ? dib : RowsOfDib(dib);
  }
};

// A memory transfer cut short after some strips, then the next page.
struct CutShort {
  TW_UINT16 first;   // pixel type of the page cut short
  TW_UINT16 second;  // and of the next
  TW_UINT16 cut;     // MSG_ENDXFER or MSG_RESET
};

void PrintTo(const CutShort& cut, std::ostream* out) {
  *out << cut.first << " then " << cut.second << " after " << (cut.cut == MSG_ENDXFER ? "MSG_ENDXFER" : "MSG_RESET");
}

std::string CutShortName(const ::testing::TestParamInfo<CutShort>& info) {
  auto name = [](TW_UINT16 type) { return type == TWPT_BW ? "BlackWhite" : type == TWPT_GRAY ? "Grey" : "Colour"; };
  return std::string(name(info.param.first)) + "To" + name(info.param.second) +
         (info.param.cut == MSG_ENDXFER ? "AfterEndXfer" : "AfterReset");
}

// Colour to colour, colour to grey, grey to colour and black and white to
// colour, each cut by MSG_ENDXFER and by MSG_RESET.
std::vector<CutShort> PixelTypePairsCutShort() {
  std::vector<CutShort> cuts;
  for (TW_UINT16 message : {MSG_ENDXFER, MSG_RESET})
    for (auto [first, second] : {std::pair{TWPT_RGB, TWPT_RGB}, std::pair{TWPT_RGB, TWPT_GRAY},
                                 std::pair{TWPT_GRAY, TWPT_RGB}, std::pair{TWPT_BW, TWPT_RGB}})
      cuts.push_back(CutShort{static_cast<TW_UINT16>(first), static_cast<TW_UINT16>(second), message});
  return cuts;
}

class LibraryCutShort : public LibraryPages, public ::testing::WithParamInterface<CutShort> {};

// After three strips of 17 rows and the cut, the next page in the second
// pixel type comes from its first row, every row of it, with the pixels its
// native transfer has.
TEST_P(LibraryCutShort, TheNextPageArrivesWholeAsItsNativeTransferHasIt) {
  const CutShort cut = GetParam();
  ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, cut.first), TWRC_SUCCESS);
  ASSERT_EQ(EnableUnattended(), TWRC_SUCCESS);
  std::vector<uint8_t> rows;
  ASSERT_EQ(Memory(17, false, &rows, nullptr, 3), TWRC_SUCCESS);
  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, cut.cut, &pending), TWRC_SUCCESS);
  ASSERT_EQ(Disable(), TWRC_SUCCESS);

  ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, cut.second), TWRC_SUCCESS);
  ASSERT_EQ(EnableUnattended(), TWRC_SUCCESS);
  const TW_IMAGEINFO info = ImageInfo();
  std::vector<TW_UINT32> offsets;
  ASSERT_EQ(Memory(17, true, &rows, &offsets), TWRC_XFERDONE);
  ASSERT_FALSE(offsets.empty());
  EXPECT_EQ(offsets.front(), 0u) << "the first strip at row 0";
  const size_t rowBytes = (static_cast<size_t>(info.BitsPerPixel) * info.ImageWidth + 7) / 8;
  EXPECT_EQ(rows.size(), rowBytes * info.ImageLength) << "every row";
  TW_UINT16 count = 9;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
  ASSERT_EQ(Disable(), TWRC_SUCCESS);
  EXPECT_TRUE(rows == NextPageNatively()) << "the pixels of the page";
}

INSTANTIATE_TEST_SUITE_P(PixelTypePairs, LibraryCutShort, ::testing::ValuesIn(PixelTypePairsCutShort()), CutShortName);

class LibraryFileRetry : public LibraryPages, public ::testing::WithParamInterface<TW_UINT16> {
 protected:
  TW_UINT16 Setup(const std::string& path) {
    TW_SETUPFILEXFER setup{};
    std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
    setup.Format = GetParam();
    return Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
  }
  TW_UINT16 Transfer() { return Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr); }
};

// A file under a parent that is a file cannot be written; the host sets up
// a writable one and the page arrives there.
TEST_P(LibraryFileRetry, APageWhoseWriteFailedArrivesInTheNextFile) {
  vqtest::WriteFile(vqtest::TempPath("文件"), "x");
  ASSERT_EQ(Setup(vqtest::TempPath("文件").string() + "/第一页"), TWRC_SUCCESS);
  ASSERT_EQ(EnableUnattended(), TWRC_SUCCESS);
  EXPECT_EQ(Transfer(), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_FILEWRITEERROR);
  const std::string writable = vqtest::TempPath("第一页").string();
  ASSERT_EQ(Setup(writable), TWRC_SUCCESS) << "still in state 6";
  ASSERT_EQ(Transfer(), TWRC_XFERDONE);
  TW_UINT16 count = 9;
  ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
  ASSERT_EQ(Disable(), TWRC_SUCCESS);

  const cv::Mat written = cv::imread(writable, cv::IMREAD_COLOR);
  ASSERT_EQ(written.size(), cv::Size(320, 240));
  const std::vector<uint8_t> rows = NextPageNatively();
  ASSERT_EQ(rows.size(), written.total() * 3);
  cv::Mat page(240, 320, CV_8UC3, const_cast<uint8_t*>(rows.data()));
  cv::cvtColor(page, page, cv::COLOR_RGB2BGR);
  if (GetParam() == TWFF_JFIF)
    EXPECT_LT(cv::norm(written, page, cv::NORM_L1) / static_cast<double>(written.total() * 3), 12.0) << "the page";
  else
    EXPECT_EQ(cv::norm(written, page, cv::NORM_INF), 0.0) << "the page";
}

INSTANTIATE_TEST_SUITE_P(Formats, LibraryFileRetry, ::testing::Values(TWFF_TIFF, TWFF_BMP, TWFF_JFIF),
                         [](const ::testing::TestParamInfo<TW_UINT16>& info) {
                           return info.param == TWFF_TIFF ? "Tiff" : info.param == TWFF_BMP ? "Bmp" : "Jpeg";
                         });

}  // namespace
}  // namespace twaintest
