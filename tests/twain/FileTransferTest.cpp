// File transfers through DS_Entry: CCITT Group 4 TIFF for black-and-white
// pages, uncompressed TIFF for grey and colour ones, BMP and JFIF, read back
// with libtiff and OpenCV.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"
#include "tests/twain/CapabilityRecords.h"
#include "tests/twain/TransferHost.h"

namespace twaintest {
namespace {

class FileTransfers : public TransferHost {
 protected:
  TW_UINT16 Setup(const std::string& path, TW_UINT16 format) {
    TW_SETUPFILEXFER setup{};
    std::strncpy(setup.FileName, path.c_str(), sizeof setup.FileName - 1);
    setup.Format = format;
    return Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup);
  }
  TW_UINT16 Transfer() { return Send(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr); }
  // One page of the pixel type written to the path in the format.
  void WritePage(const cv::Mat& page, TW_UINT16 pixelType, TW_UINT16 format,
                 const std::string& path) {
    ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, pixelType), TWRC_SUCCESS);
    ASSERT_EQ(Setup(path, format), TWRC_SUCCESS);
    ASSERT_EQ(EnableWith({page}), TWRC_SUCCESS);
    ASSERT_EQ(Transfer(), TWRC_XFERDONE);
    TW_UINT16 count = 9;
    ASSERT_EQ(EndXfer(&count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
    TW_USERINTERFACE ui{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  std::string Path(const char* name) { return vqtest::TempPath(name).string(); }
};

// The pixels of a TIFF file read with libtiff, one or three channels.
cv::Mat ReadTiff(const std::string& path, uint16_t* compression, uint16_t* photometric,
                 float* xDpi) {
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) return {};
  uint32_t width = 0, height = 0;
  uint16_t samples = 1, bits = 1;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tiff, TIFFTAG_COMPRESSION, compression);
  TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFGetField(tiff, TIFFTAG_XRESOLUTION, xDpi);
  cv::Mat page(static_cast<int>(height), static_cast<int>(width), CV_8UC(samples));
  std::vector<uint8_t> line(TIFFScanlineSize(tiff));
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tiff, line.data(), y) < 0) {
      TIFFClose(tiff);
      return {};
    }
    for (uint32_t x = 0; x < width; ++x) {
      if (bits == 1) {
        const bool set = line[x / 8] & (0x80 >> (x % 8));
        // Min-is-white: a set bit is black.
        page.at<uint8_t>(y, x) = (set == (*photometric == PHOTOMETRIC_MINISWHITE)) ? 0 : 255;
      } else {
        std::memcpy(page.ptr(y, x), line.data() + x * samples, samples);
      }
    }
  }
  TIFFClose(tiff);
  return page;
}

// The luminance table's first (DC) entry of a JPEG file.
int FirstQuantiser(const std::string& path) {
  const std::string bytes = vqtest::ReadFile(path);
  const size_t marker = bytes.find("\xFF\xDB");
  if (marker == std::string::npos || marker + 5 >= bytes.size()) return -1;
  return static_cast<uint8_t>(bytes[marker + 5]);
}

TEST_F(FileTransfers, BlackAndWhiteTiffIsGroupFourAtWholeDpi) {
  const cv::Mat page = GreyRamp(83, 21);
  WritePage(page, TWPT_BW, TWFF_TIFF, Path("bw.tif"));
  uint16_t compression = 0, photometric = 9;
  float dpi = 0;
  const cv::Mat read = ReadTiff(Path("bw.tif"), &compression, &photometric, &dpi);
  EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(photometric, PHOTOMETRIC_MINISWHITE);
  EXPECT_FLOAT_EQ(dpi, 220.0f) << "220.05 dots per inch written whole";
  cv::Mat grey, expected;
  cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
  cv::compare(grey, 128, expected, cv::CMP_GE);  // levels from the threshold on are white
  // Rows are whole bytes: the width is rounded up with white columns.
  ASSERT_EQ(read.size(), cv::Size(88, 21));
  EXPECT_EQ(cv::countNonZero(read(cv::Rect(0, 0, 83, 21)) != expected), 0);
  EXPECT_EQ(cv::countNonZero(read(cv::Rect(83, 0, 5, 21))), 5 * 21);
}

TEST_F(FileTransfers, GreyAndColourTiffAreUncompressedCopiesOfThePage) {
  const cv::Mat colour = ColourPattern(33, 17);
  ASSERT_EQ(SetResolution(150.7f), TWRC_SUCCESS);
  WritePage(colour, TWPT_RGB, TWFF_TIFF, Path("rgb.tif"));
  uint16_t compression = 0, photometric = 0;
  float dpi = 0;
  cv::Mat read = ReadTiff(Path("rgb.tif"), &compression, &photometric, &dpi);
  EXPECT_EQ(compression, COMPRESSION_NONE);
  EXPECT_EQ(photometric, PHOTOMETRIC_RGB);
  EXPECT_FLOAT_EQ(dpi, 150.0f);
  cv::Mat rgb;
  cv::cvtColor(colour, rgb, cv::COLOR_BGR2RGB);
  ASSERT_EQ(read.size(), colour.size());
  EXPECT_EQ(cv::norm(read, rgb, cv::NORM_INF), 0);

  const cv::Mat grey = GreyRamp(33, 17);
  WritePage(grey, TWPT_GRAY, TWFF_TIFF, Path("grey.tif"));
  read = ReadTiff(Path("grey.tif"), &compression, &photometric, &dpi);
  EXPECT_EQ(photometric, PHOTOMETRIC_MINISBLACK);
  ASSERT_EQ(read.channels(), 1);
  std::vector<cv::Mat> planes;
  cv::split(grey, planes);
  EXPECT_EQ(cv::norm(read, planes[0], cv::NORM_INF), 0);
}

TEST_F(FileTransfers, BmpReadsBackAsThePage) {
  const cv::Mat colour = ColourPattern(31, 9);
  WritePage(colour, TWPT_RGB, TWFF_BMP, Path("page.bmp"));
  const cv::Mat read = cv::imread(Path("page.bmp"), cv::IMREAD_UNCHANGED);
  ASSERT_EQ(read.size(), colour.size());
  EXPECT_EQ(cv::norm(read, colour, cv::NORM_INF), 0);
  const std::string bytes = vqtest::ReadFile(Path("page.bmp"));
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(static_cast<uint8_t>(bytes[10]), 54) << "no palette";

  const cv::Mat grey = GreyRamp(31, 9);
  WritePage(grey, TWPT_BW, TWFF_BMP, Path("bw.bmp"));
  const std::string bw = vqtest::ReadFile(Path("bw.bmp"));
  EXPECT_EQ(static_cast<uint8_t>(bw[10]), 62) << "two palette entries";
  const cv::Mat readBw = cv::imread(Path("bw.bmp"), cv::IMREAD_GRAYSCALE);
  ASSERT_EQ(readBw.size(), grey.size());
  EXPECT_EQ(readBw.at<uint8_t>(0, 0), 0);
  EXPECT_EQ(readBw.at<uint8_t>(0, 20), 255) << "level 140";
}

TEST_F(FileTransfers, JpegQualityOutsideOneToHundredBecomesThirty) {
  const cv::Mat colour = ColourPattern(64, 48);
  // Baseline tables scaled by quality: 16 at 50, 27 at 30, 8 at 75.
  for (auto [quality, expected] : {std::pair{0, 27}, std::pair{101, 27}, std::pair{75, 8}}) {
    SCOPED_TRACE(quality);
    ASSERT_EQ(SetCap(ICAP_JPEGQUALITY, OneValue(TWTY_INT16, static_cast<TW_UINT32>(quality))),
              TWRC_SUCCESS);
    WritePage(colour, TWPT_RGB, TWFF_JFIF, Path("page.jpg"));
    EXPECT_EQ(FirstQuantiser(Path("page.jpg")), expected);
    const cv::Mat read = cv::imread(Path("page.jpg"), cv::IMREAD_UNCHANGED);
    ASSERT_EQ(read.channels(), 3);
    EXPECT_LT(cv::norm(read, colour, cv::NORM_L1) / read.total() / 3, 8.0);
  }
  const cv::Mat grey = GreyRamp(64, 48);
  WritePage(grey, TWPT_BW, TWFF_JFIF, Path("bw.jpg"));
  const cv::Mat read = cv::imread(Path("bw.jpg"), cv::IMREAD_UNCHANGED);
  ASSERT_EQ(read.channels(), 1) << "black and white pages are grey JPEGs";
}

TEST_F(FileTransfers, RefusedTransfersCarryAConditionAndAFailedWriteKeepsThePage) {
  EXPECT_EQ(Transfer(), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
  ASSERT_EQ(Setup(Path("page.pdf"), TWFF_PDF), TWRC_SUCCESS);
  ASSERT_EQ(EnableWith({GreyRamp(8, 8), GreyRamp(8, 8)}), TWRC_SUCCESS);
  EXPECT_EQ(Transfer(), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);

  TW_PENDINGXFERS pending{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
  TW_USERINTERFACE ui{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  // A parent that is a file: nothing can be written there. The page stays
  // for another file the host sets up.
  vqtest::WriteFile(Path("file"), "x");
  const cv::Mat page = GreyRamp(24, 8);
  for (TW_UINT16 format : {TWFF_TIFF, TWFF_BMP, TWFF_JFIF}) {
    SCOPED_TRACE(format);
    ASSERT_EQ(Setup(Path("file") + "/page", format), TWRC_SUCCESS);
    ASSERT_EQ(EnableWith({page}), TWRC_SUCCESS);
    EXPECT_EQ(Transfer(), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_FILEWRITEERROR);
    const std::string again = Path("页面") + std::to_string(format);
    ASSERT_EQ(Setup(again, format), TWRC_SUCCESS) << "still in state 6";
    ASSERT_EQ(Transfer(), TWRC_XFERDONE);
    const cv::Mat read = cv::imread(again, cv::IMREAD_GRAYSCALE);
    ASSERT_EQ(read.size(), page.size());
    cv::Mat grey;
    cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
    EXPECT_LT(cv::norm(read, grey, cv::NORM_INF), format == TWFF_JFIF ? 40 : 1);
    ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
}

TEST_F(FileTransfers, ChineseNamesAreWrittenAndANameThatIsNotUtf8NamesNoOtherFile) {
  std::filesystem::create_directories(vqtest::TempPath("扫描"));
  const cv::Mat page = GreyRamp(40, 30);
  WritePage(page, TWPT_BW, TWFF_TIFF, Path("扫描/第一页.tif"));
  WritePage(page, TWPT_RGB, TWFF_JFIF, Path("扫描/第二页.jpg"));
  uint16_t compression = 0, photometric = 0;
  float dpi = 0;
  EXPECT_EQ(ReadTiff(Path("扫描/第一页.tif"), &compression, &photometric, &dpi).rows, 30);
  EXPECT_EQ(cv::imread(Path("扫描/第二页.jpg")).size(), cv::Size(40, 30));
  // GBK bytes from the host: its text would name another file, so none is written.
  ASSERT_EQ(Setup(Path("扫描/\xb5\xda\xc8\xfd.jpg"), TWFF_JFIF), TWRC_SUCCESS);
  ASSERT_EQ(EnableWith({page}), TWRC_SUCCESS);
  EXPECT_EQ(Transfer(), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_FILEWRITEERROR);
  EXPECT_EQ(vqtest::NamesIn(vqtest::TempPath("扫描")), (std::vector<std::string>{"第一页.tif", "第二页.jpg"}));
}

TEST_F(FileTransfers, CancelledFileTransferFailsAndStaysInStateSix) {
  ASSERT_EQ(Setup(Path("page.bmp"), TWFF_BMP), TWRC_SUCCESS);
  ASSERT_EQ(EnableWith({GreyRamp(8, 8)}), TWRC_SUCCESS);
  Script().bridge->Cancel();
  EXPECT_EQ(Transfer(), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Transfer(), TWRC_XFERDONE) << "still in state 6";
  EXPECT_TRUE(std::filesystem::exists(Path("page.bmp")));
}

}  // namespace
}  // namespace twaintest
