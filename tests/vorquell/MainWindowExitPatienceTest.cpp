// The exit of the main window with a worker that does not end (work that
// never looks at its stop request): the settings are saved first, the wait
// gives up after the exit's patience on the layer's clock, and the worker
// is left to end by itself with what it uses still there.
#include <atomic>
#include <filesystem>
#include <thread>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/ContinuousShooting.h"
#include "platform/win/Clock.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "tests/ocr/PrintedText.h"
#include "tests/vorquell/MainWindowFixture.h"
#include "ui/OCRProgressDlg.h"

namespace {

std::atomic<bool> released{false};
std::atomic<bool> running{false};
std::atomic<int> grabs{0};

// Deaf to every stop until the test lets it go.
DWORD DeafWorker(LPVOID) {
  running = true;
  while (!released) std::this_thread::yield();
  running = false;
  return 0;
}

// The same, grabbing through the camera it was given.
DWORD DeafGrabber(LPVOID camera) {
  running = true;
  for (; !released; ++grabs) static_cast<CCaptureController*>(camera)->GetFrame();
  running = false;
  return 0;
}

// Continuous shooting whose thread uses the document camera.
class DeafContinuous : public CContinuousShooting {
 public:
  explicit DeafContinuous(CCaptureController* camera)
      : thread_(CreateThread(nullptr, 0, &DeafGrabber, camera, 0, nullptr)) {}
  ~DeafContinuous() override { CloseHandle(thread_); }
  bool StopInspectThread(DWORD patienceMs) override {
    return WaitForSingleObject(thread_, patienceMs) == WAIT_OBJECT_0;
  }

 private:
  HANDLE thread_;
};

// The recognition dialog with an engine that does not stop.
class DeafRecognition : public COCRProgressDlg {
 public:
  DeafRecognition() : COCRProgressDlg(nullptr, 2, kOwnEngine) { m_ownEngineProc = &DeafWorker; }
};

using MainWindowExitRecognition = vqtest::MainWindowTest;

enum class Worker { kOrientation, kContinuous, kRecognition };

class MainWindowExitPatience : public vqtest::MainWindowTest, public ::testing::WithParamInterface<Worker> {
 protected:
  struct Window : vqtest::OpenMainWindow {
    using CVorquellDlg::kExitPatienceMs;
  };
};

TEST_P(MainWindowExitPatience, AWorkerThatDoesNotEndIsLeftAfterThePatienceWithTheCounterSaved) {
  cv::setNumThreads(1);
  released = false;
  grabs = 0;
  Plug(L"5651", L"d0c0");
  Plug(L"5651", L"d0c1");
  const bool orientation = GetParam() == Worker::kOrientation;
  StartWithOrientationThread(&DeafWorker, orientation ? "[IMAGE]\nDOCCHECK=TRUE\nINDEX=37\n" : "[IMAGE]\nINDEX=37\n");
  CCaptureController* const document = window_->DocumentController();
  CCaptureController* const portrait = window_->PortraitController();
  DeafContinuous* continuous = nullptr;
  DeafRecognition* recognition = nullptr;
  if (GetParam() == Worker::kContinuous) window_->continuousDlg_.reset(continuous = new DeafContinuous(document));
  if (GetParam() == Worker::kRecognition) {
    window_->recognitionLeft_.reset(recognition = new DeafRecognition);
    ASSERT_TRUE(recognition->Create(COCRProgressDlg::IDD, nullptr));
  }
  ASSERT_TRUE(vqtest::Pump([] { return running.load(); }));
  const std::filesystem::path settings = vqtest::TempDir() / "program" / "Sys.ini";
  std::filesystem::remove(settings);

  // The layer's time moves only as this driver moves it, so the patience
  // passes however slowly the machine runs.
  vqplatform::ManualClockScope manual;
  const uint64_t before = vqplatform::Clock::NowMs();
  std::atomic<bool> destroyed{false};
  std::thread driver([&] {
    while (!destroyed) {
      vqplatform::Clock::Advance(100);
      std::this_thread::yield();
    }
  });
  window_->DestroyWindow();
  destroyed = true;
  driver.join();
  EXPECT_GE(vqplatform::Clock::NowMs() - before, Window::kExitPatienceMs);
  EXPECT_TRUE(running) << "the worker was left running";
  EXPECT_NE(vqtest::ReadFile(settings).find("\nINDEX=37\n"), std::string::npos) << "saved before the wait";
  EXPECT_EQ(window_->orientationThread_, nullptr);
  EXPECT_EQ(window_->continuousDlg_, nullptr);
  EXPECT_EQ(window_->recognitionLeft_, nullptr);
  if (continuous) {
    // Its camera is still there to grab from.
    const int atExit = grabs;
    EXPECT_TRUE(vqtest::Pump([atExit] { return grabs > atExit + 10; }));
  }

  released = true;
  EXPECT_TRUE(vqtest::Pump([] { return !running; }));
  // What was kept for the worker goes now that it has ended, its window first.
  if (recognition && ::IsWindow(recognition->m_hWnd)) ::DestroyWindow(recognition->m_hWnd);
  delete recognition;
  delete continuous;
  // The cameras were kept for the continuous shooting. Otherwise they were
  // kept only where a preview outlived what was left of the patience (the
  // leak checker is told), else the window deleted them.
  if (continuous) {
    delete document;
    delete portrait;
  }
}

INSTANTIATE_TEST_SUITE_P(EachWorker, MainWindowExitPatience,
                         ::testing::Values(Worker::kOrientation, Worker::kContinuous, Worker::kRecognition),
                         [](const ::testing::TestParamInfo<Worker>& info) {
                           return std::string(info.param == Worker::kOrientation  ? "Orientation"
                                              : info.param == Worker::kContinuous ? "ContinuousShooting"
                                                                                  : "Recognition");
                         });

// The quit while a page is recognised ends the recognition's dialog: its
// worker is asked to stop, waited for once the settings are saved, and
// writes no document; the counter stays where it was.
TEST_F(MainWindowExitRecognition, RecognitionEndedByTheQuitStopsWithoutADocumentAndTheCounterSaved) {
  if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
  cv::setNumThreads(1);
  namespace fs = std::filesystem;
  fs::copy_file(VQ_RECOGNITION_MODEL, vqtest::TempDir() / "program" / "OCR_RLDA_LN_Gra.tpl");
  const fs::path pages = vqtest::TempDir() / "页面";
  fs::create_directories(pages);
  cv::Mat page;
  cv::cvtColor(ocrtest::PrintedLines(cv::Size(1280, 960), std::vector<std::string>(8, "文字识别的结果应当正确显示"),
                                     cv::Point(40, 80)),
               page, cv::COLOR_GRAY2BGR);
  ASSERT_TRUE(cv::imwrite((pages / "page.png").string(), page));
  vq::dshow::VirtualCameraConfig config;
  config.sizes = {{1280, 960}};
  config.content.kind = vq::dshow::VirtualContent::Kind::Folder;
  config.content.folder = pages;
  vq::dshow::PlugInVirtualCamera(config);
  WriteDataFile(vq::WideToUtf8(vq::dshow::VirtualVendorId() + vq::dshow::VirtualDocumentProductId()) + ";");
  const fs::path images = vqtest::TempDir() / "图像";
  WriteSettings("[IMAGE]\nINDEX=37\nDATEFOLDER=0\n[FILE]\nFOLDPATH=" + images.string() + "\n");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.DocumentController(), nullptr);
  ASSERT_TRUE(vqtest::Pump([&] { return !window.DocumentController()->GetFrame().empty(); }));

  PostQuitMessage(0);
  window.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_RECOGNIZE, BN_CLICKED), 0);
  EXPECT_NE(window.recognitionLeft_, nullptr) << "left for the exit";
  window.DestroyWindow();
  EXPECT_EQ(window.recognitionLeft_, nullptr);
  EXPECT_NE(vqtest::ReadFile(vqtest::TempDir() / "program" / "Sys.ini").find("\nINDEX=37\n"), std::string::npos);
  for (const auto& entry : fs::recursive_directory_iterator(images))
    EXPECT_FALSE(entry.is_regular_file()) << entry.path() << " was written";
}

}  // namespace
