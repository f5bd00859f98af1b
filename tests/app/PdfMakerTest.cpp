#include "app/PdfMaker.h"

#include <gtest/gtest.h>

#include <climits>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/ImageOutput.h"
#include "tests/app/OutputTestSupport.h"
#include "tests/app/PdfCheck.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

std::string Temp(const std::string& name) { return vqtest::TempPath(name).string(); }

// A page with a black bar in its top-left quarter, saved by the program's own writers.
std::string SavedPage(const std::string& base, int format, int colorMode, cv::Size size) {
  cv::Mat page(size, CV_8UC3, cv::Scalar::all(255));
  cv::rectangle(page, cv::Rect(10, 10, size.width / 4, size.height / 4), cv::Scalar::all(0), cv::FILLED);
  CSysSettings s = outputtest::PlainSettings();
  s.imgFormat = format;
  s.colorMode = colorMode;
  CImageOutput output(2);
  output.SetSettings(s);
  if (colorMode == 2) cv::cvtColor(page, page, cv::COLOR_BGR2GRAY);
  std::vector<CString> saved;
  output.SaveImages({page}, CString(Temp(base).c_str()), &saved);
  return saved.empty() ? std::string() : saved[0].ToUtf8();
}

std::string Write(const std::vector<std::string>& pages, const std::string& target) {
  CPdfMaker maker;
  EXPECT_TRUE(maker.SetPath(CString(target.c_str())));
  const int result = maker.WriteFiles(pages);
  maker.Free();
  return result == 0 ? maker.GetPath().ToUtf8() : std::string();
}

}  // namespace

TEST(CPdfMaker, SetPathReplacesOnlyTheFileExtension) {
  CPdfMaker maker;
  ASSERT_TRUE(maker.SetPath(L"/scans/doc"));
  EXPECT_EQ(maker.GetPath(), CString(L"/scans/doc.pdf"));
  ASSERT_TRUE(maker.SetPath(L"/scans/doc.tif"));
  EXPECT_EQ(maker.GetPath(), CString(L"/scans/doc.pdf"));
  ASSERT_TRUE(maker.SetPath(L"/scans.v2/doc"));
  EXPECT_EQ(maker.GetPath(), CString(L"/scans.v2/doc.pdf"));
  EXPECT_FALSE(maker.SetPath(std::wstring(PATH_MAX, L'a').c_str()));
  ASSERT_TRUE(maker.SetPath((L"/" + std::wstring(300, L'页') + L"/doc").c_str())) << "any path the system takes";
  EXPECT_EQ(maker.WriteFiles({"/nowhere.jpg"}), 1);
}

TEST(CPdfMaker, PagesAreAsLargeAsTheirImagesAndJpegIsEmbeddedAsItIs) {
  const std::string jpeg = SavedPage("colour", 0, 0, {1200, 800});
  const std::string bilevel = SavedPage("bw", 0, 2, {1001, 600});
  const std::string png = SavedPage("picture", 3, 0, {300, 500});
  ASSERT_FALSE(jpeg.empty());
  ASSERT_EQ(bilevel.substr(bilevel.size() - 4), ".tif");
  ASSERT_FALSE(png.empty());

  const std::string pdf = Write({jpeg, bilevel, png}, Temp("document.tif"));
  ASSERT_EQ(pdf, Temp("document.pdf"));
  EXPECT_EQ(pdfcheck::PageSizes(pdf),
            (std::vector<std::string>{"1200 x 800", "1008 x 600", "300 x 500"}));  // G4 rows: whole bytes
  EXPECT_NE(vqtest::ReadFile(pdf).find(vqtest::ReadFile(jpeg)), std::string::npos);
  EXPECT_FALSE(fs::exists(png + ".jpg"));

  // Every page shows its bar dark on white; the 1-bit page is not inverted.
  const cv::Size sizes[] = {{1200, 800}, {1008, 600}, {300, 500}};
  const int widths[] = {1200, 1001, 300};
  for (int page = 1; page <= 3; ++page) {
    const cv::Mat grey = pdfcheck::RenderGrey(pdf, page, 72);
    ASSERT_EQ(grey.size(), sizes[page - 1]) << page;
    const cv::Rect bar = pdfcheck::DarkBounds(grey);
    const int w = widths[page - 1], h = sizes[page - 1].height;
    EXPECT_NEAR(bar.x, 10, 2) << page;
    EXPECT_NEAR(bar.width, w / 4, 3) << page;
    EXPECT_NEAR(bar.height, h / 4, 3) << page;
    EXPECT_GT(grey.at<uchar>(h - 5, w - 5), 200) << page;
  }
}

TEST(CPdfMaker, NamesDecideTheEmbedding) {
  const std::string jpeg = SavedPage("A", 0, 0, {200, 100});
  const std::string upper = Temp("X.JPG");
  const std::string doubled = Temp("a.jpg.jpg");
  fs::copy_file(jpeg, upper);
  fs::copy_file(jpeg, doubled);
  const std::string pdf = Write({upper, doubled}, Temp("names"));
  ASSERT_FALSE(pdf.empty());
  EXPECT_EQ(pdfcheck::PageSizes(pdf), (std::vector<std::string>{"200 x 100", "200 x 100"}));
  // Both re-encoded: the original bytes are not in the file, and no temporary is left.
  EXPECT_EQ(vqtest::ReadFile(pdf).find(vqtest::ReadFile(jpeg)), std::string::npos);
  EXPECT_FALSE(fs::exists(upper + ".jpg"));
  EXPECT_FALSE(fs::exists(doubled + ".jpg"));
}

TEST(CPdfMaker, AFailedPageWritesNothingAndKeepsAnOlderDocument) {
  const std::string good = SavedPage("good", 0, 0, {100, 100});
  const std::string corrupt = Temp("corrupt.jpg");
  vqtest::WriteFile(corrupt, "\xFF\xD8\xFF\xE0 not really a jpeg");
  const std::string target = Temp("old.pdf");
  vqtest::WriteFile(target, "older document");
  CPdfMaker maker;
  ASSERT_TRUE(maker.SetPath(CString(target.c_str())));
  EXPECT_EQ(maker.WriteFiles({good, corrupt}), 1);
  EXPECT_EQ(maker.WriteFiles({good, Temp("missing.png")}), 1);
  EXPECT_EQ(maker.WriteFiles({}), 1);
  EXPECT_EQ(vqtest::ReadFile(target), "older document");
  EXPECT_FALSE(fs::exists(Temp("missing.png.jpg")));
  EXPECT_FALSE(fs::exists(target + ".part"));

  // Into a folder that does not exist.
  ASSERT_TRUE(maker.SetPath(CString(Temp("no/such/out.pdf").c_str())));
  EXPECT_EQ(maker.WriteFiles({good}), 1);
}

// A PDF page is 3 to 14400 points a side: a taller picture (1-bit pages
// embedded as bits, others re-encoded) is refused like a broken one.
TEST(CPdfMaker, PicturesBeyondThePageSizeAreRefused) {
  const std::string good = SavedPage("好页", 0, 0, {100, 100});
  const std::string bilevel = SavedPage("长条", 0, 2, {16, 14401});
  ASSERT_EQ(bilevel.substr(bilevel.size() - 4), ".tif");
  const std::string png = Temp("长条.png");
  ASSERT_TRUE(cv::imwrite(png, cv::Mat(14401, 8, CV_8UC1, cv::Scalar(255))));
  for (const std::string& tall : {bilevel, png}) {
    SCOPED_TRACE(tall);
    EXPECT_TRUE(Write({good, tall}, Temp("文档")).empty());
    EXPECT_FALSE(fs::exists(Temp("文档.pdf")));
    EXPECT_FALSE(fs::exists(tall + ".jpg"));
  }
  const std::string edge = SavedPage("边界", 0, 2, {16, 14400});
  EXPECT_EQ(pdfcheck::PageSizes(Write({good, edge}, Temp("文档"))),
            (std::vector<std::string>{"100 x 100", "16 x 14400"}));
}
