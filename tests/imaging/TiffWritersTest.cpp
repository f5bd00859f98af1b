#include <gtest/gtest.h>
#include <tiffio.h>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/G4TiffDocument.h"
#include "imaging/TiffPageWriter.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;
using imagingtest::ReadTiff;
using imagingtest::TiffPage;
using imagingtest::Wide;

namespace {

cv::Mat ColourPage() {
  cv::Mat page(240, 320, CV_8UC3, cv::Scalar(240, 240, 240));
  page(cv::Rect(20, 20, 120, 90)).setTo(cv::Scalar(200, 40, 20));   // blue
  page(cv::Rect(180, 20, 120, 90)).setTo(cv::Scalar(30, 30, 210));  // red
  page(cv::Rect(20, 140, 280, 60)).setTo(cv::Scalar(40, 180, 40));  // green
  return page;
}

cv::Mat GreyPage() {
  cv::Mat page(200, 300, CV_8UC1);
  for (int col = 0; col < page.cols; ++col) page.col(col).setTo(col * 255 / page.cols);
  return page;
}

// White paper with black ink: two bars and a frame.
cv::Mat InkPage(int width = 333, int height = 250) {
  cv::Mat page(height, width, CV_8UC1, cv::Scalar(255));
  cv::rectangle(page, cv::Rect(10, 10, width - 20, height - 20), cv::Scalar(0), 3);
  page(cv::Rect(width / 8, height / 4, width / 3, height / 10)).setTo(0);
  page(cv::Rect(width / 8, height / 2, width / 2, height / 20 + 1)).setTo(30);
  return page;
}

double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat difference;
  cv::absdiff(a, b, difference);
  return cv::mean(difference)[0];
}

// The bilevel page expected back: ink black, paper white, padded to a multiple of 8.
cv::Mat ExpectedBilevel(const cv::Mat& grey) {
  cv::Mat padded(grey.rows, (grey.cols + 7) / 8 * 8, CV_8UC1, cv::Scalar(255));
  cv::Mat ink = grey < 125;
  padded(cv::Rect(0, 0, grey.cols, grey.rows)).setTo(0, ink);
  cv::Mat bgr;
  cv::cvtColor(padded, bgr, cv::COLOR_GRAY2BGR);
  return bgr;
}

}  // namespace

TEST(TiffPageWriter, ThreePageDocumentReadsBackWithTagsAndPixels) {
  const fs::path path = vqtest::TempPath("document.tif");
  CTiffPageWriter writer;
  ASSERT_TRUE(writer.Open(Wide(path).c_str(), 3));
  writer.SetResolution(300, 150);
  writer.SetJpegQuality(90);
  EXPECT_TRUE(writer.WritePage(ColourPage(), TIFF_PAGE_COLOR));
  EXPECT_TRUE(writer.WritePage(GreyPage(), TIFF_PAGE_GRAY));
  cv::Mat inkColour;
  cv::cvtColor(InkPage(), inkColour, cv::COLOR_GRAY2BGR);
  EXPECT_TRUE(writer.WritePage(inkColour, TIFF_PAGE_BILEVEL));
  EXPECT_EQ(writer.pagesWritten, 3);
  writer.Close();

  const std::vector<TiffPage> pages = ReadTiff(path);
  ASSERT_EQ(pages.size(), 3u);
  const uint16_t compression[] = {COMPRESSION_JPEG, COMPRESSION_JPEG, COMPRESSION_CCITTFAX4};
  const uint16_t photometric[] = {PHOTOMETRIC_RGB, PHOTOMETRIC_MINISBLACK, PHOTOMETRIC_MINISWHITE};
  const uint16_t samples[] = {3, 1, 1}, bits[] = {8, 8, 1};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pages[i].compression, compression[i]);
    EXPECT_EQ(pages[i].photometric, photometric[i]);
    EXPECT_EQ(pages[i].samples, samples[i]);
    EXPECT_EQ(pages[i].bits, bits[i]);
    EXPECT_FLOAT_EQ(pages[i].xResolution, 300);
    EXPECT_FLOAT_EQ(pages[i].yResolution, 150);
    EXPECT_EQ(pages[i].resolutionUnit, RESUNIT_INCH);
    ASSERT_TRUE(pages[i].hasPageNumber);
    EXPECT_EQ(pages[i].pageIndex, i);
    EXPECT_EQ(pages[i].pageTotal, 3);
    EXPECT_EQ(pages[i].hasSubfileType, i == 0);
  }
  // JPEG pages within a small error; colours keep their order (blue stays blue).
  EXPECT_LT(MeanDifference(pages[0].pixels, ColourPage()), 4.0);
  EXPECT_GT(pages[0].pixels.at<cv::Vec3b>(60, 80)[0], 170);
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(60, 80)[2], 60);
  cv::Mat grey;
  cv::cvtColor(pages[1].pixels, grey, cv::COLOR_BGR2GRAY);
  EXPECT_LT(MeanDifference(grey, GreyPage()), 3.0);
  // The Group 4 page is exact, ink black.
  ASSERT_EQ(pages[2].width, 336u);
  EXPECT_EQ(cv::norm(pages[2].pixels, ExpectedBilevel(InkPage()), cv::NORM_INF), 0);
}

TEST(TiffPageWriter, BilevelPolarityPaddingAndThreshold) {
  // Column 0 grey 124 (ink), column 1 grey 125 (paper), the rest black; width 1001.
  cv::Mat page(4, 1001, CV_8UC1, cv::Scalar(0));
  page.col(0).setTo(124);
  page.col(1).setTo(125);
  const fs::path path = vqtest::TempPath("bilevel.tif");
  CTiffPageWriter writer;
  ASSERT_TRUE(writer.Open(Wide(path).c_str(), 1));
  ASSERT_TRUE(writer.WritePage(page, TIFF_PAGE_BILEVEL));
  writer.Close();
  const std::vector<TiffPage> pages = ReadTiff(path);
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].width, 1008u);
  // Stored bits: 1 = ink with min-is-white, so black reads back as black.
  ASSERT_EQ(pages[0].raw.size(), 4u * 126);
  EXPECT_EQ(pages[0].raw[0], 0xBF);
  EXPECT_EQ(pages[0].raw[125], 0x80);  // column 1000 ink, 1001..1007 padding white
  EXPECT_EQ(pages[0].pixels.at<cv::Vec3b>(0, 0), cv::Vec3b(0, 0, 0));
  EXPECT_EQ(pages[0].pixels.at<cv::Vec3b>(0, 1), cv::Vec3b(255, 255, 255));
  EXPECT_EQ(pages[0].pixels.at<cv::Vec3b>(2, 1000), cv::Vec3b(0, 0, 0));
  EXPECT_EQ(pages[0].pixels.at<cv::Vec3b>(2, 1004), cv::Vec3b(255, 255, 255));
}

TEST(TiffPageWriter, StateRules) {
  const fs::path first = vqtest::TempPath("first.tif"), second = vqtest::TempPath("second.tif");
  CTiffPageWriter writer;
  EXPECT_EQ(writer.jpegQuality, 50);
  writer.SetJpegQuality(10);
  EXPECT_EQ(writer.jpegQuality, 25);
  writer.SetJpegQuality(100);
  EXPECT_EQ(writer.jpegQuality, 100);
  EXPECT_FALSE(writer.WritePage(GreyPage(), TIFF_PAGE_GRAY));  // nothing open
  ASSERT_TRUE(writer.Open(Wide(first).c_str(), 2));
  EXPECT_FALSE(writer.Open(Wide(second).c_str(), 2));
  EXPECT_FALSE(fs::exists(second));
  // Refused pages write nothing and are not counted.
  EXPECT_FALSE(writer.WritePage(GreyPage(), TIFF_PAGE_COLOR));
  EXPECT_FALSE(writer.WritePage(GreyPage(), 3));
  EXPECT_FALSE(writer.WritePage(cv::Mat(), TIFF_PAGE_GRAY));
  EXPECT_EQ(writer.pagesWritten, 0);
  EXPECT_TRUE(writer.WritePage(GreyPage(), TIFF_PAGE_GRAY));
  EXPECT_TRUE(writer.WritePage(ColourPage(), TIFF_PAGE_COLOR));
  EXPECT_FALSE(writer.WritePage(ColourPage(), TIFF_PAGE_COLOR));
  writer.Close();
  const std::vector<TiffPage> pages = ReadTiff(first);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].photometric, PHOTOMETRIC_MINISBLACK);
  EXPECT_EQ(pages[1].pageIndex, 1);
  EXPECT_EQ(pages[1].pageTotal, 2);
}

TEST(TiffPageWriter, MissingInputFileFailsAndPageTotalsStayTrue) {
  const fs::path image = vqtest::TempPath("page.png"), path = vqtest::TempPath("files.tif");
  ASSERT_TRUE(cv::imwrite(image.string(), ColourPage()));
  CTiffPageWriter writer;
  ASSERT_TRUE(writer.Open(Wide(path).c_str(), 3));
  EXPECT_TRUE(writer.WritePageFromFile(Wide(image).c_str(), TIFF_PAGE_COLOR));
  EXPECT_FALSE(writer.WritePageFromFile(Wide(vqtest::TempPath("missing.png")).c_str(), TIFF_PAGE_COLOR));
  EXPECT_EQ(writer.pagesWritten, 1);
  EXPECT_TRUE(writer.WritePageFromFile(Wide(image).c_str(), TIFF_PAGE_BILEVEL));
  writer.Close();
  const std::vector<TiffPage> pages = ReadTiff(path);
  ASSERT_EQ(pages.size(), 2u);
  for (uint16_t i = 0; i < 2; ++i) {
    EXPECT_EQ(pages[i].pageIndex, i);
    EXPECT_EQ(pages[i].pageTotal, 2);
  }
  EXPECT_TRUE(pages[0].hasSubfileType);
  EXPECT_FALSE(pages[1].hasSubfileType);
  EXPECT_LT(MeanDifference(pages[0].pixels, ColourPage()), 4.0);
  EXPECT_EQ(pages[1].compression, COMPRESSION_CCITTFAX4);
}

TEST(TiffPageWriter, AppendedPagesAreTheWholeDocument) {
  const fs::path path = vqtest::TempPath("appended.tif");
  CTiffPageWriter writer;
  ASSERT_TRUE(writer.Open(Wide(path).c_str(), 1));
  EXPECT_TRUE(writer.AppendPageToFile(ColourPage(), Wide(path).c_str(), TIFF_PAGE_COLOR));
  EXPECT_TRUE(writer.AppendPageToFile(InkPage(), Wide(path).c_str(), TIFF_PAGE_BILEVEL));
  EXPECT_FALSE(writer.AppendPageToFile(InkPage(), Wide(path).c_str(), TIFF_PAGE_COLOR));
  writer.Close();
  const std::vector<TiffPage> pages = ReadTiff(path);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0].compression, COMPRESSION_JPEG);
  EXPECT_EQ(pages[1].compression, COMPRESSION_CCITTFAX4);
  EXPECT_FALSE(pages[0].hasPageNumber);
  EXPECT_FALSE(pages[1].hasPageNumber);
  EXPECT_FLOAT_EQ(pages[0].xResolution, 200);
  EXPECT_EQ(cv::norm(pages[1].pixels, ExpectedBilevel(InkPage()), cv::NORM_INF), 0);

  // Opened and closed without any page: no empty, unreadable file is left.
  const fs::path empty = vqtest::TempPath("empty.tif");
  ASSERT_TRUE(writer.Open(Wide(empty).c_str(), 2));
  EXPECT_FALSE(writer.WritePageFromFile(Wide(vqtest::TempPath("missing.png")).c_str(), TIFF_PAGE_COLOR));
  writer.Close();
  EXPECT_FALSE(fs::exists(empty));
}

TEST(TiffPageWriter, FullDiskIsAFailureAndNotCounted) {
  const fs::path path = vqtest::TempPath("full.tif");
  CTiffPageWriter writer;
  ASSERT_TRUE(writer.Open(Wide(path).c_str(), 2));
  {
    imagingtest::FileSizeLimit limit(2048);
    EXPECT_FALSE(writer.WritePage(imagingtest::NoisePage(300, 200, CV_8UC3), TIFF_PAGE_COLOR));
  }
  EXPECT_EQ(writer.pagesWritten, 0);
  writer.Close();
  EXPECT_FALSE(writer.Open(nullptr, 1));
}

TEST(G4TiffDocument, EveryAddRewritesAllPagesWithPageNumbers) {
  const fs::path path = vqtest::TempPath("g4.tif");
  CG4TiffDocument document;
  EXPECT_EQ(document.xDpi, 96);
  EXPECT_FALSE(document.SetResolution(0, 300));
  EXPECT_EQ(document.yDpi, 96);
  EXPECT_TRUE(document.SetResolution(400, 300));
  EXPECT_TRUE(document.SetFileName(Wide(path).c_str()));
  EXPECT_EQ(document.AddPage(cv::Mat()), CG4TiffDocument::ADD_EMPTY_PAGE);
  const cv::Mat first = InkPage(), second = InkPage(201, 99);
  cv::Mat third;
  cv::cvtColor(InkPage(150, 80), third, cv::COLOR_GRAY2BGR);
  EXPECT_EQ(document.AddPage(first), CG4TiffDocument::ADD_WRITTEN);
  EXPECT_EQ(document.AddPage(second), CG4TiffDocument::ADD_WRITTEN);
  EXPECT_EQ(document.AddPage(third), CG4TiffDocument::ADD_WRITTEN);  // colour is turned grey
  const std::vector<TiffPage> pages = ReadTiff(path);
  ASSERT_EQ(pages.size(), 3u);
  const cv::Mat expected[] = {ExpectedBilevel(first), ExpectedBilevel(second), ExpectedBilevel(InkPage(150, 80))};
  for (uint16_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pages[i].compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(pages[i].photometric, PHOTOMETRIC_MINISWHITE);
    EXPECT_EQ(pages[i].pageIndex, i);
    EXPECT_EQ(pages[i].pageTotal, 3);
    EXPECT_EQ(pages[i].hasSubfileType, i == 0);
    EXPECT_FLOAT_EQ(pages[i].xResolution, 400);
    EXPECT_FLOAT_EQ(pages[i].yResolution, 300);
    EXPECT_EQ(cv::norm(pages[i].pixels, expected[i], cv::NORM_INF), 0);
  }
}

TEST(G4TiffDocument, UnwritableFileKeepsThePagesAndTheOldFile) {
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("not-a-folder"), "x"));
  CG4TiffDocument document;
  ASSERT_TRUE(document.SetFileName(Wide(vqtest::TempPath("not-a-folder") / "page.tif").c_str()));
  EXPECT_EQ(document.AddPage(InkPage()), CG4TiffDocument::ADD_FILE_FAILED);
  EXPECT_EQ(document.pages.size(), 1u);

  const fs::path out = imagingtest::NewFolder(vqtest::TempDir(), "out");
  const fs::path path = out / "doc.tif";
  ASSERT_TRUE(document.SetFileName(Wide(path).c_str()));
  EXPECT_EQ(document.AddPage(InkPage(100, 50)), CG4TiffDocument::ADD_WRITTEN);
  ASSERT_EQ(ReadTiff(path).size(), 2u);
  const std::string before = vqtest::ReadFile(path);
  {
    imagingtest::FileSizeLimit limit(before.size() + 64);
    EXPECT_EQ(document.AddPage(imagingtest::NoisePage(800, 600, CV_8UC1)), CG4TiffDocument::ADD_FILE_FAILED);
  }
  EXPECT_EQ(vqtest::ReadFile(path), before);
  EXPECT_EQ(vqtest::NamesIn(out).size(), 1u);
  EXPECT_EQ(document.pages.size(), 3u);
}

TEST(G4TiffDocument, AppendsAnImageFileAsABilevelPage) {
  const fs::path image = vqtest::TempPath("ink.png"), path = vqtest::TempPath("document.tif");
  ASSERT_TRUE(cv::imwrite(image.string(), InkPage()));
  CG4TiffDocument document;
  ASSERT_TRUE(document.SetFileName(Wide(path).c_str()));
  EXPECT_EQ(AppendBilevelPageFromFile(&document, Wide(vqtest::TempPath("missing.png")).c_str()), 1);
  EXPECT_TRUE(document.pages.empty());
  EXPECT_FALSE(fs::exists(path)) << "nothing written for a missing file";
  EXPECT_EQ(AppendBilevelPageFromFile(&document, Wide(image).c_str()), 0);
  EXPECT_EQ(AppendBilevelPageFromFile(&document, Wide(image).c_str()), 0);
  const std::vector<TiffPage> pages = ReadTiff(path);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[1].compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(cv::norm(pages[1].pixels, ExpectedBilevel(InkPage()), cv::NORM_INF), 0);
}
