// The guarded picture loader: every file the programs' own writers make
// reads back with its pixels; content decides the format, never the name;
// declared sizes above the budget are refused before pixel memory is
// taken; variants the programs never write, damaged data and foreign
// formats are refused; the libraries print nothing.
#include "imaging/PictureFile.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <filesystem>
#include <functional>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/G4TiffDocument.h"
#include "imaging/ImageFiles.h"
#include "imaging/PictureDecoders.h"
#include "imaging/TiffPageWriter.h"
#include "tests/imaging/HostilePictures.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/IsolatedRun.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;
using imagingtest::Wide;
using vq::PictureFormat;
using vq::PictureResult;

namespace {

// A page with a dark block and a coloured one on white; the grey version
// has the block only.
cv::Mat Page(int type, cv::Size size = {203, 97}) {
  cv::Mat page(size, CV_8UC3, cv::Scalar::all(255));
  page(cv::Rect(10, 10, size.width / 3, size.height / 3)).setTo(cv::Scalar::all(0));
  page(cv::Rect(size.width / 2, size.height / 2, size.width / 3, size.height / 3)).setTo(cv::Scalar(200, 40, 10));
  if (type == CV_8UC3) return page;
  cv::Mat grey;
  cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
  return grey;
}

vq::Picture Read(const fs::path& path, PictureResult expected = PictureResult::kLoaded) {
  vq::Picture picture;
  EXPECT_EQ(vq::ReadPictureFile(path.string(), &picture), expected) << path;
  return picture;
}

PictureResult ResultOf(const std::string& bytes) {
  vq::Picture picture;
  return vq::DecodePicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &picture);
}

PictureResult HeaderOf(const std::string& bytes, vq::PictureHeader* header = nullptr) {
  vq::PictureHeader ignored;
  return vq::ReadPictureHeader(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                               header ? header : &ignored);
}

// The mean absolute difference of two pictures of one size and type.
double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) return 1e9;
  cv::Mat difference;
  cv::absdiff(a, b, difference);
  return cv::mean(difference.reshape(1))[0];
}

double MaxDifference(const cv::Mat& a, const cv::Mat& b) {
  if (a.size() != b.size() || a.type() != b.type()) return 1e9;
  double largest = 0;
  cv::minMaxLoc(cv::abs(cv::Mat_<double>(a.reshape(1)) - cv::Mat_<double>(b.reshape(1))), nullptr, &largest);
  return largest;
}

// A TIFF written with libtiff directly, for the variants other writers make.
fs::path WriteTiff(const std::string& name, const cv::Mat& samples, int bits, uint16_t compression,
                   uint16_t photometric, const std::function<void(TIFF*)>& more = nullptr) {
  const fs::path path = vqtest::TempPath(name);
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (!tiff) return path;
  // 1-bit rows come packed, eight pixels a byte.
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(bits == 1 ? samples.cols * 8 : samples.cols));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(samples.rows));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bits));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(samples.channels()));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(7));
  if (more) more(tiff);
  for (int y = 0; y < samples.rows; ++y) TIFFWriteScanline(tiff, const_cast<uchar*>(samples.ptr(y)), y, 0);
  TIFFClose(tiff);
  return path;
}

// A 16 x 2 1-bit BMP: the left half of each row takes colour 0, the right
// half colour 1 of the given two-entry table.
std::string OneBitBmp(uchar colour0, uchar colour1) {
  std::string bmp(62 + 8, '\0');
  const auto put = [&](size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) bmp[at + i] = char(value >> (8 * i));
  };
  bmp[0] = 'B', bmp[1] = 'M';
  put(2, bmp.size(), 4), put(10, 62, 4), put(14, 40, 4), put(18, 16, 4), put(22, 2, 4);
  put(26, 1, 2), put(28, 1, 2), put(46, 2, 4);
  for (int i = 0; i < 3; ++i) bmp[54 + i] = char(colour0), bmp[58 + i] = char(colour1);
  for (size_t row = 62; row < bmp.size(); row += 4) bmp[row + 1] = char(0xFF);
  return bmp;
}

}  // namespace

TEST(PictureFile, EveryWriterOfTheProgramsReadsBack) {
  const cv::Mat colour = Page(CV_8UC3), grey = Page(CV_8UC1);
  // JPEG: colour and grey, as the pages are saved.
  ASSERT_TRUE(SaveJpeg(Wide(vqtest::TempPath("colour.jpg")).c_str(), colour, nullptr, 200, 200, 90));
  ASSERT_TRUE(SaveJpeg(Wide(vqtest::TempPath("grey.jpg")).c_str(), grey, nullptr, 200, 200, 90));
  vq::Picture picture = Read(vqtest::TempPath("colour.jpg"));
  EXPECT_EQ(picture.format, PictureFormat::kJpeg);
  EXPECT_LT(MeanDifference(picture.pixels, colour), 4);
  const cv::Vec3b blue = picture.pixels.at<cv::Vec3b>(70, 130);
  EXPECT_TRUE(blue[0] > 150 && blue[2] < 60) << "blue stays blue: " << blue;
  picture = Read(vqtest::TempPath("grey.jpg"));
  EXPECT_EQ(picture.pixels.type(), CV_8UC1);
  EXPECT_LT(MeanDifference(picture.pixels, grey), 4);
  EXPECT_FALSE(picture.bilevel);

  // PNG and BMP through the program's writer: exact.
  for (const char* name : {"colour.png", "grey.png", "colour.bmp", "grey.bmp", "colour.tif", "grey.tif"}) {
    const cv::Mat& page = std::string(name).rfind("colour", 0) == 0 ? colour : grey;
    ASSERT_TRUE(WriteImageW(Wide(vqtest::TempPath(name)).c_str(), page)) << name;
    picture = Read(vqtest::TempPath(name));
    EXPECT_EQ(MaxDifference(picture.pixels, page), 0) << name;
  }

  // Group 4 pages, single and in the multipage writer; its JPEG pages.
  CG4TiffDocument document;
  document.SetFileName(Wide(vqtest::TempPath("bw.tif")).c_str());
  ASSERT_EQ(document.AddPage(grey), CG4TiffDocument::ADD_WRITTEN);
  picture = Read(vqtest::TempPath("bw.tif"));
  EXPECT_TRUE(picture.bilevel);
  ASSERT_EQ(picture.pixels.size(), cv::Size(208, 97));  // whole bytes
  cv::Mat expected = cv::Mat(97, 208, CV_8UC1, cv::Scalar(255));
  cv::Mat(grey >= 125).copyTo(expected(cv::Rect(0, 0, 203, 97)));
  EXPECT_EQ(MaxDifference(picture.pixels, expected), 0);
  for (int type : {TIFF_PAGE_COLOR, TIFF_PAGE_GRAY, TIFF_PAGE_BILEVEL}) {
    const fs::path path = vqtest::TempPath("page" + std::to_string(type) + ".tif");
    CTiffPageWriter writer;
    ASSERT_TRUE(writer.Open(Wide(path).c_str(), 1));
    ASSERT_TRUE(writer.WritePage(colour, type));
    writer.Close();
    picture = Read(path);
    EXPECT_EQ(picture.pixels.channels(), type == TIFF_PAGE_COLOR ? 3 : 1) << type;
    EXPECT_EQ(picture.bilevel, type == TIFF_PAGE_BILEVEL) << type;
    if (type == TIFF_PAGE_BILEVEL) {
      ASSERT_EQ(picture.pixels.size(), cv::Size(208, 97));
      EXPECT_EQ(MaxDifference(picture.pixels, expected), 0);
    } else {
      EXPECT_LT(MeanDifference(picture.pixels, type == TIFF_PAGE_COLOR ? colour : grey), 6) << type;
    }
  }
}

TEST(PictureFile, OneBitPicturesAreBlackAndWhiteOnlyWhenTheirColoursAre) {
  const struct {
    uchar colour0, colour1;
    bool bilevel;
  } cases[] = {{0, 255, true}, {255, 0, true}, {60, 180, false}, {0, 128, false}};
  for (const auto& c : cases) {
    const std::string bytes = OneBitBmp(c.colour0, c.colour1);
    vq::Picture picture;
    ASSERT_EQ(vq::DecodePicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), &picture),
              PictureResult::kLoaded);
    ASSERT_EQ(picture.pixels.size(), cv::Size(16, 2));
    EXPECT_EQ(picture.bilevel, c.bilevel) << int(c.colour0) << "/" << int(c.colour1);
    // The colours come through unchanged either way.
    EXPECT_EQ(picture.pixels.at<uchar>(1, 2), c.colour0);
    EXPECT_EQ(picture.pixels.at<uchar>(1, 12), c.colour1);
  }
}

TEST(PictureFile, UncompressedTiffsAndPhotometricsOfOtherWriters) {
  // The data source's transfers: uncompressed rows; ink stored as 1 or 0.
  const cv::Mat grey = Page(CV_8UC1, {64, 20});
  cv::Mat inverted;
  cv::bitwise_not(grey, inverted);
  vq::Picture picture = Read(WriteTiff("white-is-zero.tif", inverted, 8, COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE));
  EXPECT_EQ(MaxDifference(picture.pixels, grey), 0);
  cv::Mat bits(20, 8, CV_8UC1, cv::Scalar(0x0F));  // left half 0, right half 1
  picture = Read(WriteTiff("black-is-zero.tif", bits, 1, COMPRESSION_LZW, PHOTOMETRIC_MINISBLACK));
  ASSERT_EQ(picture.pixels.size(), cv::Size(64, 20));
  EXPECT_EQ(picture.pixels.at<uchar>(3, 3), 0);
  EXPECT_EQ(picture.pixels.at<uchar>(3, 7), 255);
  picture = Read(WriteTiff("ink-is-one.tif", bits, 1, COMPRESSION_NONE, PHOTOMETRIC_MINISWHITE));
  EXPECT_EQ(picture.pixels.at<uchar>(3, 3), 255);
  EXPECT_EQ(picture.pixels.at<uchar>(3, 7), 0);
  // JPEG stored as YCbCr with subsampling, as scanners write it.
  cv::Mat rgb;
  cv::cvtColor(Page(CV_8UC3, {64, 32}), rgb, cv::COLOR_BGR2RGB);
  picture = Read(WriteTiff("ycbcr.tif", rgb, 8, COMPRESSION_JPEG, PHOTOMETRIC_YCBCR, [](TIFF* t) {
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(16));
    TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }));
  EXPECT_LT(MeanDifference(picture.pixels, Page(CV_8UC3, {64, 32})), 6);
}

TEST(PictureFile, ContentDecidesTheFormatNeverTheName) {
  const cv::Mat colour = Page(CV_8UC3);
  std::vector<uchar> jpeg, png;
  cv::imencode(".jpg", colour, jpeg);
  cv::imencode(".png", colour, png);
  // The program writes JPEG data under ".GIF"; PNG data may sit behind ".jpg".
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("page.GIF"), std::string(jpeg.begin(), jpeg.end())));
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("page.jpg"), std::string(png.begin(), png.end())));
  EXPECT_EQ(Read(vqtest::TempPath("page.GIF")).format, PictureFormat::kJpeg);
  EXPECT_EQ(Read(vqtest::TempPath("page.jpg")).format, PictureFormat::kPng);

  // Formats the programs never write, whatever their names.
  const std::pair<const char*, std::string> foreign[] = {
      {"real.gif", std::string("GIF89a\x10\0\x10\0\x80\0\0", 13) + std::string(40, '\0')},
      {"exr.jpg", hostile::ExrHeader()},
      {"webp.png", std::string("RIFF\x20\0\0\0WEBPVP8 ", 16) + std::string(40, '\0')},
      {"bigtiff.tif", std::string("II+\0\x08\0\0\0", 8) + std::string(40, '\0')},
      {"text.bmp", "a note someone saved as a picture"},
      {"empty.jpg", ""},
  };
  for (const auto& [name, bytes] : foreign) {
    ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath(name), bytes));
    Read(vqtest::TempPath(name), PictureResult::kNotAPicture);
  }
  Read(vqtest::TempPath("missing.jpg"), PictureResult::kUnreadable);
  fs::create_directories(vqtest::TempPath("folder.jpg"));
  Read(vqtest::TempPath("folder.jpg"), PictureResult::kUnreadable);
  // A pipe under a picture's name: refused without waiting for a writer.
  ASSERT_EQ(mkfifo(vqtest::TempPath("pipe.jpg").c_str(), 0600), 0);
  const auto readPipe = [] { Read(vqtest::TempPath("pipe.jpg"), PictureResult::kUnreadable); };
  EXPECT_ISOLATED(nullptr, readPipe);
  // Through the wide-path reader too.
  EXPECT_TRUE(ReadImageW(Wide(vqtest::TempPath("exr.jpg")).c_str()).empty());
  EXPECT_EQ(ReadImageW(Wide(vqtest::TempPath("page.jpg")).c_str()).size(), colour.size());
}

TEST(PictureFile, DeclaredSizesAboveTheBudgetAreRefusedBeforeAnyPixelMemory) {
  const cv::Mat grey = Page(CV_8UC1, {64, 48});
  std::vector<uchar> jpeg, png, bmp;
  cv::imencode(".jpg", grey, jpeg);
  cv::imencode(".png", grey, png);
  cv::imencode(".bmp", grey, bmp);
  auto patch16 = [](std::string bytes, size_t at, unsigned value) {  // big-endian
    bytes[at] = char(value >> 8), bytes[at + 1] = char(value);
    return bytes;
  };
  auto patch32 = [](std::string bytes, size_t at, uint32_t value, bool big) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = char(value >> (big ? 24 - 8 * i : 8 * i));
    return bytes;
  };
  std::string jpegBytes(jpeg.begin(), jpeg.end());
  const size_t frame = jpegBytes.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  const std::string pngBytes(png.begin(), png.end()), bmpBytes(bmp.begin(), bmp.end());

  // 10000 x 10000 is the budget; one row more is over it.
  vq::PictureHeader header;
  EXPECT_EQ(HeaderOf(patch16(patch16(jpegBytes, frame + 5, 10000), frame + 7, 10000), &header), PictureResult::kLoaded);
  EXPECT_EQ(header.width * header.height, vq::kMaxPicturePixels);
  const std::vector<std::pair<const char*, std::string>> huge = {
      {"jpeg", patch16(patch16(jpegBytes, frame + 5, 10001), frame + 7, 10000)},
      {"jpeg, widest", patch16(patch16(jpegBytes, frame + 5, 65535), frame + 7, 65535)},
      {"png", patch32(patch32(pngBytes, 16, 10000, true), 20, 10001, true)},
      {"png, widest", patch32(patch32(pngBytes, 16, 0x7FFFFFFF, true), 20, 0x7FFFFFFF, true)},
      {"bmp", patch32(patch32(bmpBytes, 18, 10000, false), 22, 10001, false)},
      {"bmp, top-down", patch32(patch32(bmpBytes, 18, 30000, false), 22, uint32_t(-30000), false)},
      {"tiff", hostile::HugeG4Tiff()},
  };
  for (const auto& [what, bytes] : huge) EXPECT_EQ(HeaderOf(bytes), PictureResult::kTooLarge) << what;
  // Sides near 2^32, whose product would not fit 64 bits: over the budget
  // however the check is reached, and a TIFF declaring them is no picture.
  for (const long long side : {0xFFFFFFFFll, 0x100000000ll, 3037000500ll})
    EXPECT_EQ(vq::picture::CheckBudget(side, side), PictureResult::kTooLarge) << side;
  EXPECT_EQ(vq::picture::CheckBudget(vq::kMaxPicturePixels, 1), PictureResult::kLoaded);
  EXPECT_EQ(vq::picture::CheckBudget(1, vq::kMaxPicturePixels + 1), PictureResult::kTooLarge);
  const std::string widest = hostile::TiffFile({{hostile::kWidth, 0xFFFFFFFF}, {hostile::kLength, 0xFFFFFFFF},
                                                {hostile::kBitsPerSample, 8}, {hostile::kCompression, 1},
                                                {hostile::kPhotometric, 1}, {hostile::kSamplesPerPixel, 1},
                                                {hostile::kRowsPerStrip, 1}, {hostile::kPlanarConfig, 1}},
                                               std::string(64, '\0'));
  EXPECT_NE(HeaderOf(widest), PictureResult::kLoaded);
  const auto decodeAll = [&] {
    for (const auto& [what, bytes] : huge) EXPECT_EQ(ResultOf(bytes), PictureResult::kTooLarge) << what;
  };
  vqtest::IsolationLimits limits;
  limits.maxResidentGrowthMb = 32;
  limits.maxVirtualGrowthMb = 256;
  EXPECT_ISOLATED(nullptr, decodeAll, limits);
}

TEST(PictureFile, VariantsTheProgramsNeverWriteAreRefused) {
  const cv::Mat grey = Page(CV_8UC1, {64, 16});
  const auto unsupported = [](const fs::path& path) { Read(path, PictureResult::kUnsupported); };
  unsupported(WriteTiff("packbits.tif", grey, 8, COMPRESSION_PACKBITS, PHOTOMETRIC_MINISBLACK));
  unsupported(WriteTiff("deflate.tif", grey, 8, COMPRESSION_ADOBE_DEFLATE, PHOTOMETRIC_MINISBLACK));
  unsupported(WriteTiff("palette.tif", grey, 8, COMPRESSION_NONE, PHOTOMETRIC_PALETTE, [](TIFF* t) {
    std::vector<uint16_t> map(256, 0);
    TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
  }));
  cv::Mat wide(16, 32, CV_16UC1, cv::Scalar(1000));
  unsupported(WriteTiff("sixteen.tif", wide, 16, COMPRESSION_NONE, PHOTOMETRIC_MINISBLACK));
  cv::Mat cmyk(16, 64, CV_8UC4, cv::Scalar::all(9));
  unsupported(WriteTiff("cmyk.tif", cmyk, 8, COMPRESSION_NONE, PHOTOMETRIC_SEPARATED));
  // Tiles instead of strips.
  const fs::path tiled = vqtest::TempPath("tiled.tif");
  TIFF* tiff = TIFFOpen(tiled.c_str(), "w");
  ASSERT_NE(tiff, nullptr);
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, 32u);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, 32u);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_MINISBLACK));
  TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16u);
  TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16u);
  std::vector<uchar> tile(256, 77);
  for (uint32_t t = 0; t < 4; ++t) TIFFWriteEncodedTile(tiff, t, tile.data(), 256);
  TIFFClose(tiff);
  unsupported(tiled);
  // The damaged strip description.
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("damaged.tif"), hostile::DamagedTiffStrip()));
  unsupported(vqtest::TempPath("damaged.tif"));

  // A run-length BMP and a lossless JPEG frame.
  std::vector<uchar> bmp;
  cv::imencode(".bmp", grey, bmp);
  std::string rle(bmp.begin(), bmp.end());
  rle[30] = 1;  // BI_RLE8
  EXPECT_EQ(ResultOf(rle), PictureResult::kUnsupported);
  std::vector<uchar> jpeg;
  cv::imencode(".jpg", grey, jpeg);
  std::string lossless(jpeg.begin(), jpeg.end());
  lossless[lossless.find("\xFF\xC0") + 1] = char(0xC3);
  EXPECT_EQ(ResultOf(lossless), PictureResult::kUnsupported);
}

TEST(PictureFile, DamagedDataIsRefused) {
  const cv::Mat colour = Page(CV_8UC3, {120, 80});
  std::vector<uchar> jpeg, png, bmp;
  cv::imencode(".jpg", colour, jpeg);
  cv::imencode(".png", colour, png);
  cv::imencode(".bmp", colour, bmp);
  CG4TiffDocument document;
  document.SetFileName(Wide(vqtest::TempPath("bw.tif")).c_str());
  ASSERT_EQ(document.AddPage(Page(CV_8UC1, {120, 80})), CG4TiffDocument::ADD_WRITTEN);
  const std::string g4 = vqtest::ReadFile(vqtest::TempPath("bw.tif"));
  const std::pair<const char*, std::string> whole[] = {
      {"jpeg", std::string(jpeg.begin(), jpeg.end())},
      {"png", std::string(png.begin(), png.end())},
      {"bmp", std::string(bmp.begin(), bmp.end())},
  };
  for (const auto& [what, bytes] : whole) {
    ASSERT_EQ(ResultOf(bytes), PictureResult::kLoaded) << what;
    EXPECT_EQ(ResultOf(bytes.substr(0, bytes.size() * 2 / 3)), PictureResult::kBroken) << what << " cut short";
    EXPECT_EQ(ResultOf(bytes.substr(0, 40)), PictureResult::kBroken) << what << " headers only";
  }
  // A Group 4 page whose strip is said to run past the end of the file.
  ASSERT_EQ(ResultOf(g4), PictureResult::kLoaded);
  std::string cut = g4;
  const auto little = [&](size_t at, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(cut[at + i]);
    return value;
  };
  const uint32_t directory = little(4, 4);
  for (uint32_t entry = 0; entry < little(directory, 2); ++entry) {
    const size_t at = directory + 2 + 12 * entry;
    if (little(at, 2) == TIFFTAG_STRIPBYTECOUNTS) cut[at + 8] = cut[at + 9] = char(0x7F);
  }
  EXPECT_EQ(ResultOf(cut), PictureResult::kBroken);
  EXPECT_EQ(ResultOf(g4.substr(0, 8)), PictureResult::kBroken);
}

TEST(PictureFile, LibrariesPrintNothing) {
  std::vector<uchar> jpeg;
  cv::imencode(".jpg", Page(CV_8UC3), jpeg);
  const std::string cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  ResultOf(hostile::DamagedTiffStrip());
  ResultOf(hostile::HugeG4Tiff());
  ResultOf(cut);
  ResultOf(std::string("\x89PNG\r\n\x1A\n", 8) + std::string(60, 'x'));
  const std::string out = ::testing::internal::GetCapturedStdout();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

namespace {

// A JPEG with an EXIF block whose orientation tag says "turn 90 degrees".
std::string JpegWithOrientation6(const cv::Mat& image) {
  std::vector<uchar> jpeg;
  cv::imencode(".jpg", image, jpeg);
  const unsigned char tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0,  // header, first IFD at 8
                                1, 0,                         // one entry
                                0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0,  // Orientation = 6
                                0, 0, 0, 0};                  // no next IFD
  std::string exif("Exif\0\0", 6);
  exif.append(reinterpret_cast<const char*>(tiff), sizeof tiff);
  const size_t length = exif.size() + 2;
  std::string out("\xFF\xD8\xFF\xE1", 4);
  out.push_back(static_cast<char>(length >> 8));
  out.push_back(static_cast<char>(length & 0xFF));
  out += exif;
  out.append(reinterpret_cast<const char*>(jpeg.data()) + 2, jpeg.size() - 2);
  return out;
}

}  // namespace

// The colour reader of the watermark picture: pixels as stored, whatever
// the EXIF orientation says, and nothing for a missing file.
TEST(PictureFile, ColourPicturesAreReadAsStoredDespiteExifOrientation) {
  cv::Mat image(40, 80, CV_8UC3, cv::Scalar(30, 30, 30));
  image(cv::Rect(0, 0, 20, 40)).setTo(cv::Scalar(250, 250, 250));
  const auto path = vqtest::TempPath("turned.jpg");
  ASSERT_TRUE(vqtest::WriteFile(path, JpegWithOrientation6(image)));

  ASSERT_EQ(cv::imread(path.string()).size(), cv::Size(40, 80)) << "OpenCV turns by EXIF by default";
  const cv::Mat stored = vq::ReadPictureFileAsColour(path.string());
  ASSERT_EQ(stored.size(), cv::Size(80, 40));
  EXPECT_GT(stored.at<cv::Vec3b>(20, 5)[0], 200);
  EXPECT_LT(stored.at<cv::Vec3b>(20, 70)[0], 60);
  EXPECT_TRUE(vq::ReadPictureFileAsColour(vqtest::TempPath("missing.jpg").string()).empty());
}
