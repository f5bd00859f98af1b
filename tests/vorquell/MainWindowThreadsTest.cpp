// The threads that use the cameras (the orientation thread and the
// continuous-shooting dialog's thread, both stand-ins here) are stopped and
// joined before any controller goes: at shutdown and when the document
// camera is pulled out. The stand-ins keep grabbing frames through the
// controllers until they are stopped, so a controller deleted too early is
// used after its end.
#include <atomic>
#include <mutex>
#include <thread>

#include "app/ContinuousShooting.h"
#include "platform/win/Sync.h"
#include "tests/support/TestEnv.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

using vqtest::OpenMainWindow;

// What happened, in order, with whether the window still had both cameras.
struct Journal {
  std::mutex lock;
  std::vector<std::string> events;
  void Add(const std::string& event, const CVorquellDlg* window) {
    const bool cameras = window->DocumentController() && window->PortraitController();
    std::lock_guard<std::mutex> guard(lock);
    events.push_back(event + (cameras ? " with cameras" : " without cameras"));
  }
};

Journal* journal = nullptr;
std::atomic<int> orientationCycles{0};

// Waits on the window's named stop event like the real thread and grabs a
// frame of the document camera every cycle.
DWORD OrientationStandIn(LPVOID parameter) {
  auto* window = static_cast<CVorquellDlg*>(parameter);
  HANDLE stop = OpenEventW(0, FALSE, L"StopPODInspectThread");
  while (WaitForSingleObject(stop, 5) == WAIT_TIMEOUT) {
    if (CCaptureController* camera = window->DocumentController()) camera->GetFrame();
    ++orientationCycles;
  }
  journal->Add("orientation joined", window);
  CloseHandle(stop);
  return 0;
}

class ContinuousStandIn : public CContinuousShooting {
 public:
  explicit ContinuousStandIn(CVorquellDlg* window) : window_(window), camera_(window->DocumentController()) {
    worker_ = std::thread([this] {
      while (!stop_) {
        camera_->GetDocumentImages();
        ++grabs;
      }
    });
  }
  ~ContinuousStandIn() override {
    journal->Add("continuous deleted", window_);
    StopInspectThread();
  }
  void StopInspectThread() override {
    if (!worker_.joinable()) return;
    stop_ = true;
    worker_.join();
    journal->Add("continuous stopped", window_);
  }
  std::atomic<int> grabs{0};

 private:
  CVorquellDlg* window_;
  CCaptureController* camera_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

class MainWindowThreads : public vqtest::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    journal = &journal_;
    orientationCycles = 0;
    document_ = Plug(L"5651", L"d0c0");
    Plug(L"5651", L"d0c1");
    WriteDataFile("5651d0c05651d0c1;");
    WriteSettings("[IMAGE]\nDOCCHECK=TRUE\n");
  }

  // Starts the window with both stand-ins at work.
  OpenMainWindow& StartWithWorkers() {
    window_ = std::make_unique<OpenMainWindow>(nullptr, &branding_);
    window_->SetOrientationThreadProc(&OrientationStandIn);
    window_->Create(CVorquellDlg::IDD, nullptr);
    auto* continuous = new ContinuousStandIn(window_.get());
    window_->continuousDlg_.reset(continuous);
    EXPECT_TRUE(vqtest::Pump([&] { return orientationCycles > 3 && continuous->grabs > 3; }));
    return *window_;
  }

  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> guard(journal_.lock);
    return journal_.events;
  }

  Journal journal_;
  std::shared_ptr<vq::dshow::VirtualCamera> document_;
};

const std::vector<std::string> kOrder = {"orientation joined with cameras", "continuous stopped with cameras",
                                         "continuous deleted with cameras"};

TEST_F(MainWindowThreads, StopBeforeTheControllersGoAtShutdown) {
  OpenMainWindow& window = StartWithWorkers();
  window.DestroyWindow();
  EXPECT_EQ(Events(), kOrder);
  EXPECT_EQ(window.DocumentController(), nullptr);
  EXPECT_EQ(window.PortraitController(), nullptr);
  EXPECT_EQ(window.continuousDlg_, nullptr);
}

TEST_F(MainWindowThreads, StopBeforeTheControllersGoWhenTheCameraIsPulledOut) {
  OpenMainWindow& window = StartWithWorkers();
  document_->Unplug();
  ASSERT_TRUE(vqtest::Pump([&] { return !window.DocumentController(); }));
  EXPECT_EQ(Events(), kOrder);
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{window.MessageText(CVorquellDlg::MSG_UNPLUGGED).GetString()});
  const int cycles = orientationCycles;
  document_->Replug();
  ASSERT_TRUE(vqtest::Pump([&] { return window.DocumentController() != nullptr; }));
  vqtest::Pump([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(orientationCycles, cycles) << "the orientation thread ended with the camera";
}

}  // namespace
