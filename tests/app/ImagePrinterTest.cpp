#include "app/ImagePrinter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"
#include "tests/app/PdfCheck.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

std::string Temp(const std::string& name) { return vqtest::TempPath(name).string(); }

// Answers the print dialog with the file printer.
class FilePrinterAnswer {
 public:
  FilePrinterAnswer(const std::string& output, int copies, int dpi, bool accept = true) {
    vqplatform::SetPrintDialogHook([=, this](const std::vector<vqplatform::PrintDestination>& list,
                                             vqplatform::PrintDialogChoice* choice) {
      offered = list;
      choice->printer = vqplatform::kFilePrinterName;
      choice->outputFile = output;
      choice->copies = copies;
      choice->dpi = dpi;
      return accept;
    });
  }
  ~FilePrinterAnswer() { vqplatform::SetPrintDialogHook(nullptr); }
  std::vector<vqplatform::PrintDestination> offered;
};

// A black picture of the given size saved as PNG.
std::string BlackPicture(const std::string& name, cv::Size size) {
  const std::string path = Temp(name);
  cv::imwrite(path, cv::Mat(size, CV_8UC3, cv::Scalar::all(0)));
  return path;
}

// One print object; Print() keeps the texts of the message boxes it showed.
struct Job {
  explicit Job(int language = 2) : printer(language) {
    // Answered without showing anything, also where a display is there.
    vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord& box) {
      return vqplatform::DefaultMessageBoxAnswer(box.type);
    });
  }
  ~Job() { vqplatform::SetMessageBoxAnswer(nullptr); }
  int Print(const std::string& path) {
    vqplatform::ClearMessageBoxLog();
    const int result = printer.Print(CString(path.c_str()));
    for (const auto& box : vqplatform::MessageBoxLog()) {
      EXPECT_EQ(box.type & MB_ICONMASK, UINT(MB_ICONERROR));
      messages.push_back(CString(box.text.c_str()).ToUtf8());
    }
    return result;
  }
  CImagePrinter printer;
  std::vector<std::string> messages;
};

std::vector<std::string> LogLines() {
  const std::string log = vqtest::ReadFile("log.log");
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t colon = line.find(" : ");
    lines.push_back(colon == std::string::npos ? line : line.substr(colon + 3));
    start = end + 1;
  }
  return lines;
}

class ImagePrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(vqtest::TempDir());
  }
  void TearDown() override { fs::current_path(previous_); }
  fs::path previous_;
};

}  // namespace

TEST_F(ImagePrinterTest, ActualSizeOnTheFilePrinterWithItsLog) {
  const std::string picture = BlackPicture("capture.png", {400, 300});
  const std::string out = Temp("printed.pdf");
  FilePrinterAnswer answer(out, 1, 100);
  Job job;
  job.printer.settings.printType = 0;
  job.printer.settings.currentCamera = 0;
  job.printer.settings.xDpi = job.printer.settings.yDpi = 200;
  ASSERT_EQ(job.Print(picture), 1);
  EXPECT_TRUE(job.messages.empty());
  ASSERT_FALSE(answer.offered.empty());
  EXPECT_TRUE(answer.offered[0].isFile);

  // 2 x 1.5 inches in the middle of an A4 page of 827 x 1169 printer pixels.
  EXPECT_EQ(pdfcheck::PageSizes(out), std::vector<std::string>{"595.44 x 841.68"});
  const cv::Mat page = pdfcheck::RenderGrey(out, 1, 100);
  ASSERT_EQ(page.size(), cv::Size(827, 1169));
  const cv::Rect ink = pdfcheck::DarkBounds(page);
  EXPECT_NEAR(ink.width, 200, 2);
  EXPECT_NEAR(ink.height, 150, 2);
  EXPECT_NEAR(ink.x, (827 - 200) / 2, 2);
  EXPECT_NEAR(ink.y, (1169 - 150) / 2, 2);

  const std::vector<std::string> expected = {
      "开始打印任务状态：1", "Print模块pPpPicture:H=300,W=400", "", "Print模块bitmap:H=300,W=400",
      "Print模块pPpPicture:dScale=2.067500,nScaledHeight=620", "打印任务结束"};
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 2) {
      EXPECT_EQ(lines[i].rfind("Print模块hBitmap:", 0), 0u) << lines[i];
    } else {
      EXPECT_EQ(lines[i], expected[i]);
    }
  }
}

TEST_F(ImagePrinterTest, FitToPageAndThePortraitCameraAndCopies) {
  const std::string picture = BlackPicture("wide.png", {800, 400});
  for (int variant = 0; variant < 2; ++variant) {
    const std::string out = Temp("fit" + std::to_string(variant) + ".pdf");
    FilePrinterAnswer answer(out, variant == 0 ? 1 : 3, 100);
    Job job;
    job.printer.settings.xDpi = job.printer.settings.yDpi = 200;
    if (variant == 0) {
      job.printer.settings.printType = 1;
    } else {
      job.printer.settings.printType = 0;  // ignored for the portrait camera
      job.printer.settings.currentCamera = 1;
    }
    ASSERT_EQ(job.Print(picture), 1);
    const cv::Mat page = pdfcheck::RenderGrey(out, 1, 100);
    ASSERT_FALSE(page.empty());
    const cv::Rect ink = pdfcheck::DarkBounds(page);
    EXPECT_NEAR(ink.width, 827, 2);  // the width factor decides
    EXPECT_NEAR(ink.height, 413, 2);
    EXPECT_NEAR(ink.y, (1169 - 413) / 2, 2);
    if (variant == 1) {  // three documents of one page each
      EXPECT_TRUE(fs::exists(Temp("fit1-2.pdf")));
      EXPECT_TRUE(fs::exists(Temp("fit1-3.pdf")));
      EXPECT_EQ(pdfcheck::PageSizes(Temp("fit1-3.pdf")).size(), 1u);
      const auto lines = LogLines();
      EXPECT_EQ(std::count(lines.begin(), lines.end(), "打印任务结束"), 3);
    }
  }
}

TEST_F(ImagePrinterTest, CancelFailureAndTheLogOfTheLastJob) {
  const std::string picture = BlackPicture("p.png", {40, 30});
  {
    Job job;
    EXPECT_EQ(job.Print(picture), 0);  // no hook: cancelled
    EXPECT_TRUE(job.messages.empty());
    EXPECT_EQ(vqtest::ReadFile("log.log"), "");
  }
  {
    FilePrinterAnswer answer(Temp("no/such/folder/out.pdf"), 1, 100);
    Job job;
    EXPECT_EQ(job.Print(picture), 0);
    const std::vector<std::string> failure = {"Print failure"};
    EXPECT_EQ(job.messages, failure);
    const std::vector<std::string> aborted = {"开始打印任务状态：-1", "打印任务中断"};
    EXPECT_EQ(LogLines(), aborted);
  }
  {
    vqplatform::SetPrintDialogHook([](const auto&, vqplatform::PrintDialogChoice* choice) {
      choice->printer = L"no such printer";
      return true;
    });
    Job job(1);
    EXPECT_EQ(job.Print(picture), 0);
    const std::vector<std::string> failure = {"列印失敗"};
    EXPECT_EQ(job.messages, failure);
    vqplatform::SetPrintDialogHook(nullptr);
  }
  Job fresh;  // a new job starts a new log
  EXPECT_FALSE(fs::exists("log.log"));
}

TEST_F(ImagePrinterTest, SaveFileAsPdfReportsFailure) {
  const std::string jpeg = Temp("a.jpg.jpg");
  cv::imwrite(jpeg, cv::Mat(120, 160, CV_8UC3, cv::Scalar::all(0)));
  Job job;
  ASSERT_EQ(job.printer.SaveFileAsPdf(CString(jpeg.c_str())), 0);
  const std::string pdf = Temp("a.jpg.pdf");
  EXPECT_EQ(pdfcheck::PageSizes(pdf), std::vector<std::string>{"160 x 120"});
  EXPECT_NE(vqtest::ReadFile(pdf).find(vqtest::ReadFile(jpeg)), std::string::npos);  // embedded as it is

  const std::string broken = Temp("broken.png");
  vqtest::WriteFile(broken, "not a picture");
  EXPECT_EQ(job.printer.SaveFileAsPdf(CString(broken.c_str())), 1);
  EXPECT_FALSE(fs::exists(Temp("broken.pdf")));
  EXPECT_FALSE(fs::exists(broken + ".jpg"));
}
