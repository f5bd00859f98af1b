// The threads that use the cameras (stand-ins for the orientation thread and
// the continuous-shooting dialog's thread) are stopped and joined before any
// controller goes, at shutdown and when the document camera is pulled out.
// The stand-ins grab frames through the controllers until they are stopped,
// so a controller deleted too early would be used after its end.
#include <atomic>
#include <mutex>
#include <thread>

#include <opencv2/core/utility.hpp>

#include "app/ContinuousShooting.h"
#include "platform/win/Sync.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

std::mutex journalLock;
std::vector<std::string> journal;
std::atomic<int> orientationCycles{0};

// What happened, and whether the window still had both cameras then.
void Note(const std::string& event, const CVorquellDlg* window) {
  const bool cameras = window->DocumentController() && window->PortraitController();
  std::lock_guard<std::mutex> guard(journalLock);
  journal.push_back(event + (cameras ? " with cameras" : " without cameras"));
}

// Waits on the named stop event like the real thread, grabbing a frame a cycle.
DWORD OrientationStandIn(LPVOID parameter) {
  auto* window = static_cast<CVorquellDlg*>(parameter);
  HANDLE stop = OpenEventW(0, FALSE, L"StopPODInspectThread");
  for (; WaitForSingleObject(stop, 5) == WAIT_TIMEOUT; ++orientationCycles)
    if (CCaptureController* camera = window->DocumentController()) camera->GetFrame();
  Note("orientation joined", window);
  CloseHandle(stop);
  return 0;
}

// Holds the controller it was given, as the real dialog does.
class ContinuousStandIn : public CContinuousShooting {
 public:
  explicit ContinuousStandIn(CVorquellDlg* window) : window_(window) {
    worker_ = std::thread([this, camera = window->DocumentController()] {
      for (; !stop_; ++grabs) camera->GetDocumentImages();
    });
  }
  ~ContinuousStandIn() override {
    Note("continuous deleted", window_);
    StopInspectThread(INFINITE);
  }
  bool StopInspectThread(DWORD) override {
    if (!worker_.joinable()) return true;
    stop_ = true;
    worker_.join();
    Note("continuous stopped", window_);
    return true;
  }
  std::atomic<int> grabs{0};

 private:
  CVorquellDlg* window_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

class MainWindowThreads : public vqtest::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // OpenCV's pool is not instrumented: its workers would only add noise.
    cv::setNumThreads(1);
    journal.clear();
    orientationCycles = 0;
    document_ = Plug(L"5651", L"d0c0");
    Plug(L"5651", L"d0c1");
    StartWithOrientationThread(&OrientationStandIn, "[IMAGE]\nDOCCHECK=TRUE\n");
    auto* continuous = new ContinuousStandIn(window_.get());
    window_->continuousDlg_.reset(continuous);
    EXPECT_TRUE(vqtest::Pump([&] { return orientationCycles > 3 && continuous->grabs > 3; }));
  }
  static std::vector<std::string> Journal() {
    std::lock_guard<std::mutex> guard(journalLock);
    return journal;
  }

  std::shared_ptr<vq::dshow::VirtualCamera> document_;
  const std::vector<std::string> inOrder_ = {"orientation joined with cameras", "continuous stopped with cameras",
                                             "continuous deleted with cameras"};
};

TEST_F(MainWindowThreads, StopBeforeTheControllersGoAtShutdown) {
  window_->DestroyWindow();
  EXPECT_EQ(Journal(), inOrder_);
  EXPECT_EQ(window_->DocumentController(), nullptr);
  EXPECT_EQ(window_->continuousDlg_, nullptr);
}

TEST_F(MainWindowThreads, StopBeforeTheControllersGoWhenTheCameraIsPulledOut) {
  boxes_.Expect(L"高拍仪设备被拔出或接触不良，请检查！");
  document_->Unplug();
  ASSERT_TRUE(vqtest::Pump([&] { return !window_->DocumentController(); }));
  EXPECT_EQ(Journal(), inOrder_);
  // The orientation thread ended with its camera and stays off after the return.
  const int cycles = orientationCycles;
  document_->Replug();
  ASSERT_TRUE(vqtest::Pump([&] { return window_->DocumentController() != nullptr; }));
  EXPECT_EQ(orientationCycles, cycles);
}

}  // namespace
