// The exit of the main window with an orientation thread that does not end
// (a detection that never looks at its stop request): the settings are
// saved first, the join gives up after the exit's patience on the layer's
// clock, and the thread is left to end by itself.
#include <atomic>
#include <thread>

#include <opencv2/core/utility.hpp>

#include "platform/win/Clock.h"
#include "platform/win/Sync.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

HANDLE release = nullptr;
std::atomic<bool> running{false};

// Deaf to the stop event until the test lets it go.
DWORD DeafOrientation(LPVOID) {
  running = true;
  WaitForSingleObject(release, INFINITE);
  running = false;
  return 0;
}

class MainWindowExitPatience : public vqtest::MainWindowTest {
 protected:
  struct Window : vqtest::OpenMainWindow {
    using CVorquellDlg::kExitPatienceMs;
  };
};

TEST_F(MainWindowExitPatience, AWorkerThatDoesNotEndIsLeftAfterThePatienceWithTheCounterSaved) {
  cv::setNumThreads(1);
  release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Plug(L"5651", L"d0c0");
  Plug(L"5651", L"d0c1");
  StartWithOrientationThread(&DeafOrientation, "[IMAGE]\nDOCCHECK=TRUE\nINDEX=37\n");
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
  EXPECT_TRUE(running) << "the thread was left running";
  EXPECT_EQ(window_->orientationThread_, nullptr);
  EXPECT_NE(vqtest::ReadFile(settings).find("\nINDEX=37\n"), std::string::npos) << "saved before the wait";

  SetEvent(release);
  EXPECT_TRUE(vqtest::Pump([] { return !running; }));
  CloseHandle(release);
}

}  // namespace
