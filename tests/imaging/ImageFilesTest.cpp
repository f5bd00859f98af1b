#include "imaging/ImageFiles.h"

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/NarrowPath.h"
#include "base/PathEncoding.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;
using imagingtest::Wide;

namespace {

// What the JPEG header of a file says, read with libjpeg itself.
struct JpegFacts {
  bool read = false;
  int components = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
  int densityUnit = -1;
  int xDensity = 0;
  int yDensity = 0;
  std::vector<int> lumaTable;
};

JpegFacts ReadJpegFacts(const fs::path& path) {
  JpegFacts facts;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return facts;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK) {
    facts.read = true;
    facts.components = cinfo.num_components;
    facts.colorSpace = cinfo.jpeg_color_space;
    facts.densityUnit = cinfo.density_unit;
    facts.xDensity = cinfo.X_density;
    facts.yDensity = cinfo.Y_density;
    if (cinfo.quant_tbl_ptrs[0] != nullptr)
      facts.lumaTable.assign(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
  }
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return facts;
}

// The luminance table libjpeg builds for a quality.
std::vector<int> LumaTableForQuality(int quality) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  cinfo.in_color_space = JCS_RGB;
  cinfo.input_components = 3;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  std::vector<int> table(cinfo.quant_tbl_ptrs[0]->quantval, cinfo.quant_tbl_ptrs[0]->quantval + DCTSIZE2);
  jpeg_destroy_compress(&cinfo);
  return table;
}

std::vector<unsigned char> FileBytes(const fs::path& path) {
  const std::string bytes = vqtest::ReadFile(path);
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

cv::Mat ColourBlocks() {
  cv::Mat page(120, 160, CV_8UC3, cv::Scalar(255, 255, 255));
  page(cv::Rect(0, 0, 80, 60)).setTo(cv::Scalar(255, 0, 0));     // blue
  page(cv::Rect(80, 0, 80, 60)).setTo(cv::Scalar(0, 0, 255));    // red
  page(cv::Rect(0, 60, 80, 60)).setTo(cv::Scalar(0, 255, 0));    // green
  return page;
}

}  // namespace

TEST(SaveJpeg, ColourPageKeepsItsColoursQualityAndDensity) {
  const fs::path path = vqtest::TempPath("colour.jpg");
  std::string saved;
  ASSERT_TRUE(SaveJpeg(Wide(path).c_str(), ColourBlocks(), &saved, 300, 200, 80));
  EXPECT_EQ(saved, path.string());

  const JpegFacts facts = ReadJpegFacts(path);
  ASSERT_TRUE(facts.read);
  EXPECT_EQ(facts.components, 3);
  EXPECT_EQ(facts.colorSpace, JCS_YCbCr);
  EXPECT_EQ(facts.densityUnit, 1);
  EXPECT_EQ(facts.xDensity, 300);
  EXPECT_EQ(facts.yDensity, 200);
  EXPECT_EQ(facts.lumaTable, LumaTableForQuality(80));
  EXPECT_NE(facts.lumaTable, LumaTableForQuality(50));

  const cv::Mat read = cv::imread(path.string(), cv::IMREAD_UNCHANGED);
  ASSERT_EQ(read.type(), CV_8UC3);
  const cv::Vec3b blue = read.at<cv::Vec3b>(30, 40), red = read.at<cv::Vec3b>(30, 120);
  EXPECT_GT(blue[0], 230);
  EXPECT_LT(blue[2], 25);
  EXPECT_GT(red[2], 230);
  EXPECT_LT(red[0], 25);
}

TEST(SaveJpeg, GreyPageStaysOneChannelAndDecodesBack) {
  cv::Mat grey(90, 130, CV_8UC1);
  for (int r = 0; r < grey.rows; ++r) grey.row(r).setTo(r * 2);
  const fs::path path = vqtest::TempPath("grey.jpg");
  ASSERT_TRUE(SaveJpeg(Wide(path).c_str(), grey, nullptr, 96, 96, 95));
  const JpegFacts facts = ReadJpegFacts(path);
  EXPECT_EQ(facts.components, 1);
  EXPECT_EQ(facts.colorSpace, JCS_GRAYSCALE);

  const std::vector<unsigned char> bytes = FileBytes(path);
  const cv::Mat decoded = DecodeJpeg(bytes.data(), static_cast<int>(bytes.size()));
  ASSERT_EQ(decoded.type(), CV_8UC1);
  ASSERT_EQ(decoded.size(), grey.size());
  EXPECT_LT(cv::norm(decoded, grey, cv::NORM_INF), 8);
}

TEST(SaveJpeg, RefusedImagesLeaveAnExistingFileIntact) {
  const fs::path out = imagingtest::NewFolder(vqtest::TempDir(), "out");
  const fs::path path = out / "keep.jpg";
  ASSERT_TRUE(vqtest::WriteFile(path, "previous picture"));
  std::string saved = "unchanged";
  EXPECT_FALSE(SaveJpeg(Wide(path).c_str(), cv::Mat(20, 20, CV_8UC4, cv::Scalar::all(9)), &saved, 96, 96, 80));
  EXPECT_FALSE(SaveJpeg(Wide(path).c_str(), cv::Mat(), &saved, 96, 96, 80));
  EXPECT_FALSE(SaveJpeg(Wide(path).c_str(), cv::Mat(20, 20, CV_16UC1, cv::Scalar::all(9)), &saved, 96, 96, 80));
  EXPECT_EQ(vqtest::ReadFile(path), "previous picture");
  EXPECT_EQ(saved, "unchanged");
  EXPECT_EQ(vqtest::NamesIn(out).size(), 1u);
}

TEST(SaveJpeg, FullDiskFailsCleanlyAndKeepsTheOldFile) {
  const fs::path out = imagingtest::NewFolder(vqtest::TempDir(), "out");
  const fs::path path = out / "full.jpg";
  ASSERT_TRUE(vqtest::WriteFile(path, "previous picture"));
  const cv::Mat noise = imagingtest::NoisePage(400, 300, CV_8UC3);
  bool saved = true;
  {
    imagingtest::FileSizeLimit limit(4096);
    saved = SaveJpeg(Wide(path).c_str(), noise, nullptr, 96, 96, 95);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(vqtest::ReadFile(path), "previous picture");
  EXPECT_EQ(vqtest::NamesIn(out).size(), 1u);
  // With room again the same save goes through.
  EXPECT_TRUE(SaveJpeg(Wide(path).c_str(), noise, nullptr, 96, 96, 95));
  EXPECT_FALSE(cv::imread(path.string()).empty());
}

TEST(SaveJpeg, PathsThatCannotTakeAFileFail) {
  const fs::path folder = vqtest::TempPath("a-folder.jpg");
  fs::create_directory(folder);
  const cv::Mat page = ColourBlocks();
  EXPECT_FALSE(SaveJpeg(Wide(folder).c_str(), page, nullptr, 96, 96, 80));
  EXPECT_TRUE(fs::is_directory(folder));
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("plain-file"), "x"));
  EXPECT_FALSE(SaveJpeg(Wide(vqtest::TempPath("plain-file") / "page.jpg").c_str(), page, nullptr, 96, 96, 80));
  EXPECT_FALSE(SaveJpeg(nullptr, page, nullptr, 96, 96, 80));
  // A symbolic link is not replaced by a file (that would cut the link).
  const fs::path target = vqtest::TempPath("target.jpg"), link = vqtest::TempPath("link.jpg");
  ASSERT_TRUE(vqtest::WriteFile(target, "linked"));
  fs::create_symlink(target, link);
  EXPECT_FALSE(SaveJpeg(Wide(link).c_str(), page, nullptr, 96, 96, 80));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(vqtest::ReadFile(target), "linked");
  // 559 bytes of path fit the buffer, 560 do not.
  std::wstring longPath = Wide(vqtest::TempDir()) + L"/";
  while (longPath.size() < 560) longPath += L"d";
  EXPECT_FALSE(SaveJpeg(longPath.c_str(), page, nullptr, 96, 96, 80));
}

TEST(SaveJpeg, ReplacesAnExistingFileAndWritesUtf8Names) {
  const fs::path out = imagingtest::NewFolder(vqtest::TempDir(), "out");
  const std::wstring wide = Wide(out) + L"/\u9875\u9762-\u00fc.jpg";
  const fs::path narrow = out / fs::path(u8"\u9875\u9762-\u00fc.jpg");
  ASSERT_TRUE(vqtest::WriteFile(narrow, "old"));
  fs::permissions(narrow, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string saved;
  ASSERT_TRUE(SaveJpeg(wide.c_str(), ColourBlocks(), &saved, 72, 72, 60));
  EXPECT_EQ(saved, narrow.string());
  EXPECT_EQ(cv::imread(narrow.string()).size(), cv::Size(160, 120));
  EXPECT_EQ(fs::status(narrow).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(vqtest::NamesIn(out).size(), 1u);
}

TEST(DecodeJpeg, DamagedOrForeignDataGivesAnEmptyMatrix) {
  std::mt19937 random(7);
  std::vector<unsigned char> noise(10);
  for (auto& byte : noise) byte = static_cast<unsigned char>(random());
  EXPECT_TRUE(DecodeJpeg(noise.data(), static_cast<int>(noise.size())).empty());
  EXPECT_TRUE(DecodeJpeg(nullptr, 100).empty());
  EXPECT_TRUE(DecodeJpeg(noise.data(), 0).empty());

  std::vector<unsigned char> encoded;
  ASSERT_TRUE(cv::imencode(".jpg", imagingtest::NoisePage(64, 48, CV_8UC3), encoded));
  const cv::Mat whole = DecodeJpeg(encoded.data(), static_cast<int>(encoded.size()));
  ASSERT_EQ(whole.type(), CV_8UC3);
  EXPECT_EQ(whole.size(), cv::Size(64, 48));
  EXPECT_TRUE(DecodeJpeg(encoded.data(), static_cast<int>(encoded.size() / 2)).empty());

  // Stray bytes before the end marker (as some cameras send) still decode.
  std::vector<unsigned char> stray(encoded.begin(), encoded.end() - 2);
  stray.insert(stray.end(), {0x00, 0x11, 0xFF, 0xD9});
  EXPECT_EQ(DecodeJpeg(stray.data(), static_cast<int>(stray.size())).size(), cv::Size(64, 48));
}

TEST(DecodeJpeg, CmykIsRefused) {
  // A four-component Adobe CMYK file written with libjpeg.
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = 16;
  cinfo.image_height = 8;
  cinfo.input_components = 4;
  cinfo.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(16 * 4, 128);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW pointer = row.data();
    jpeg_write_scanlines(&cinfo, &pointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  EXPECT_TRUE(DecodeJpeg(buffer, static_cast<int>(size)).empty());
  std::free(buffer);
}

TEST(ImageFilesByWidePath, ReadAlwaysGivesThreeChannels) {
  cv::Mat grey(40, 50, CV_8UC1, cv::Scalar(77));
  const fs::path path = vqtest::TempPath("grey.png");
  ASSERT_TRUE(WriteImageW(Wide(path).c_str(), grey));
  const cv::Mat read = ReadImageW(Wide(path).c_str());
  ASSERT_EQ(read.type(), CV_8UC3);
  EXPECT_EQ(read.at<cv::Vec3b>(5, 5), cv::Vec3b(77, 77, 77));
  EXPECT_TRUE(ReadImageW(nullptr).empty());
  EXPECT_TRUE(ReadImageW(Wide(vqtest::TempPath("missing.png")).c_str()).empty());
  EXPECT_FALSE(WriteImageW(nullptr, grey));
}

TEST(ImageFilesByWidePath, FailedWriteKeepsTheOldFile) {
  const fs::path out = imagingtest::NewFolder(vqtest::TempDir(), "out");
  const fs::path path = out / "page.unknown-format";
  ASSERT_TRUE(vqtest::WriteFile(path, "old"));
  EXPECT_FALSE(WriteImageW(Wide(path).c_str(), ColourBlocks()));
  EXPECT_EQ(vqtest::ReadFile(path), "old");
  EXPECT_EQ(vqtest::NamesIn(out).size(), 1u);
  const fs::path bmp = out / "page.bmp";
  ASSERT_TRUE(WriteImageW(Wide(bmp).c_str(), ColourBlocks()));
  EXPECT_EQ(cv::norm(cv::imread(bmp.string()), ColourBlocks(), cv::NORM_INF), 0);
}

// Paths are as long as the system takes them (PATH_MAX), counted in UTF-8
// bytes; every writer and reader works in a folder deeper than 260 bytes.
TEST(NarrowPath, OnlyTheSystemsPathLimitCounts) {
  std::string narrow = "untouched";
  const std::wstring fits(PATH_MAX - 1, L'a'), tooLong(PATH_MAX, L'a');
  EXPECT_TRUE(vq::NarrowPath(fits.c_str(), &narrow));
  EXPECT_EQ(narrow.size(), size_t(PATH_MAX - 1));
  narrow = "untouched";
  EXPECT_FALSE(vq::NarrowPath(tooLong.c_str(), &narrow));
  EXPECT_EQ(narrow, "untouched");
  const std::wstring cjk(1365, L'\u9875');  // 4095 bytes
  EXPECT_TRUE(vq::NarrowPath(cjk.c_str(), &narrow));
  EXPECT_FALSE(vq::NarrowPath((cjk + L"a").c_str(), &narrow));
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), 0};
  EXPECT_FALSE(vq::NarrowPath(surrogate, &narrow));

  fs::path deep = vqtest::TempDir();
  while (deep.string().size() < 320) deep /= "深层文件夹";
  fs::create_directories(deep);
  const cv::Mat page = ColourBlocks();
  for (const char* name : {"page.jpg", "page.png", "page.bmp"}) {
    const std::wstring path = vq::FromFsPath(deep / name);
    const bool written = std::string(name) == "page.jpg" ? SaveJpeg(path.c_str(), page, nullptr, 200, 200, 90)
                                                           : WriteImageW(path.c_str(), page);
    EXPECT_TRUE(written) << name;
    EXPECT_EQ(ReadImageW(path.c_str()).size(), page.size()) << name;
  }
}
