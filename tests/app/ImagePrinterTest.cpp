#include "app/ImagePrinter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"
#include "tests/app/PdfCheck.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/CupsServer.h"
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

// Answers the print dialog with a CUPS destination.
struct DestinationAnswer {
  DestinationAnswer(const std::wstring& queue, const std::wstring& instance) {
    vqplatform::SetPrintDialogHook([=](const auto&, vqplatform::PrintDialogChoice* choice) {
      choice->printer = queue;
      choice->instance = instance;
      return true;
    });
  }
  ~DestinationAnswer() { vqplatform::SetPrintDialogHook(nullptr); }
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

// The print log's place: the per-machine data folder.
fs::path PrintLog() { return vqtest::TempPath("appdata/Ombrecht Software/log.log"); }

std::vector<std::string> LogLines() {
  const std::string log = vqtest::ReadFile(PrintLog());
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

// The job ids of the log's "开始打印任务状态：%d" lines.
std::vector<int> StartedJobs(const std::vector<std::string>& lines) {
  const std::string started = "开始打印任务状态：";
  std::vector<int> jobs;
  for (const std::string& line : lines)
    if (line.rfind(started, 0) == 0) jobs.push_back(std::stoi(line.substr(started.size())));
  return jobs;
}

// Started from a folder that holds a "log.log" of the user's own: printing
// leaves it alone and writes nothing there.
class ImagePrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    const fs::path launch = vqtest::TempPath("launched here");
    fs::create_directories(launch);
    vqtest::WriteFile(launch / "log.log", kUsersLog);
    fs::current_path(launch);
  }
  void TearDown() override {
    EXPECT_EQ(vqtest::ReadFile("log.log"), kUsersLog);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
    fs::current_path(previous_);
  }
  static constexpr const char* kUsersLog = "the user's own notes\n";
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
  EXPECT_EQ(pdfcheck::PageSizes(out), std::vector<std::string>{"595.276 x 841.89"});
  const cv::Mat page = pdfcheck::RenderGrey(out, 1, 100);
  ASSERT_EQ(page.size(), cv::Size(827, 1170));
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
    EXPECT_EQ(vqtest::ReadFile(PrintLog()), "");
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
    Job fresh;  // a new job starts a new log
    EXPECT_FALSE(fs::exists(PrintLog()));
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

TEST_F(ImagePrinterTest, CupsDestinationsPrintActualSizeAndWholeFittedPagesWithTheirSavedOptions) {
  vqtest::CupsServer cups;
  VQ_SKIP_WITHOUT_CUPS(cups);
  ASSERT_TRUE(cups.AddLetterAndA4Queues());
  // Saved by the user: an option of the Letter queue, and an instance of it on A4.
  ASSERT_TRUE(cups.Command("lpoptions -p VQ_LETTER -o job-priority=33"));
  ASSERT_TRUE(cups.Command("lpoptions -p VQ_LETTER/draft -o media=A4 -o print-quality=3"));
  const std::string landscape = BlackPicture("landscape.png", {800, 600});  // 4 x 3 inches at 200 dpi
  const std::string portrait = BlackPicture("portrait.png", {600, 1000});
  // A held job first, so the CUPS job ids are not those of a counter of ours.
  ASSERT_TRUE(cups.Command("lp -d VQ_A4 -H hold " + landscape));
  struct Destination {
    const wchar_t* name;
    const wchar_t* instance;
    int widthPt, heightPt;
  };
  vqtest::OnFreshThread([&] {
    for (const Destination& to : {Destination{L"VQ_LETTER", L"", 612, 792}, Destination{L"VQ_A4", L"", 595, 842},
                                  Destination{L"VQ_LETTER", L"draft", 595, 842}}) {
      for (const bool fit : {false, true}) {
        SCOPED_TRACE(testing::Message() << vq::WideToUtf8(to.name) << "/" << vq::WideToUtf8(to.instance)
                                        << (fit ? " fitted" : " actual size"));
        DestinationAnswer answer(to.name, to.instance);
        Job job;
        job.printer.settings.printType = fit ? 1 : 0;
        job.printer.settings.xDpi = job.printer.settings.yDpi = 200;
        const std::string& picture = fit ? portrait : landscape;
        ASSERT_EQ(job.Print(picture), 1);
        const auto lines = LogLines();
        const std::vector<int> jobs = StartedJobs(lines);
        ASSERT_EQ(jobs.size(), 1u);
        ASSERT_TRUE(cups.WaitForJob(jobs[0])) << "CUPS job " << jobs[0];  // the log names the CUPS job
        auto attributes = cups.JobAttributes(jobs[0]);
        EXPECT_EQ(attributes["job-name"], picture);
        EXPECT_EQ(attributes["job-priority"], to.name == std::wstring(L"VQ_LETTER") ? "33" : "50");
        EXPECT_EQ(attributes["print-quality"], *to.instance ? "draft" : "");
        EXPECT_EQ(lines.back(), "打印任务结束");

        const std::string out = cups.OutputOf(vq::WideToUtf8(to.name));
        EXPECT_EQ(pdfcheck::PageSizes(out),
                  std::vector<std::string>{std::to_string(to.widthPt) + " x " + std::to_string(to.heightPt)});
        const cv::Rect ink = pdfcheck::DarkBounds(pdfcheck::RenderGrey(out, 1, 100));
        const double perPoint = 100.0 / 72;  // rendered pixels
        const double areaWidth = to.widthPt - vqtest::CupsServer::kLeftPt - vqtest::CupsServer::kRightPt;
        const double areaHeight = to.heightPt - vqtest::CupsServer::kTopPt - vqtest::CupsServer::kBottomPt;
        // Centred on the printable area, not on the medium.
        EXPECT_NEAR(ink.x + ink.width / 2.0, (vqtest::CupsServer::kLeftPt + areaWidth / 2) * perPoint, 2);
        EXPECT_NEAR(ink.y + ink.height / 2.0, (vqtest::CupsServer::kTopPt + areaHeight / 2) * perPoint, 2);
        // Within 0.5 %: 4 x 3 inches, or the whole picture as high as the printable area.
        const double height = fit ? areaHeight * perPoint : 300;
        const double width = fit ? height * 0.6 : 400;
        EXPECT_NEAR(ink.width, width, width * 0.005);
        EXPECT_NEAR(ink.height, height, height * 0.005);
      }
    }

    // A document that cannot be written: the job is cancelled, not left
    // waiting, and the log says the job was interrupted.
    const std::string noise = Temp("noise.png");
    cv::imwrite(noise, imagingtest::NoisePage(400, 300, CV_8UC3));
    DestinationAnswer answer(L"VQ_A4", L"");
    Job job;
    {
      imagingtest::FileSizeLimit full(65536);
      EXPECT_EQ(job.Print(noise), 0);
    }
    EXPECT_EQ(job.messages, std::vector<std::string>{"Print failure"});
    const auto lines = LogLines();
    const std::vector<int> jobs = StartedJobs(lines);
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(lines.back(), "打印任务中断");
    EXPECT_EQ(cups.JobAttributes(jobs[0])["job-state"], "canceled");
  });
}
