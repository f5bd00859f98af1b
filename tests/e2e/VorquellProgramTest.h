#pragma once
// What the tests of Vorquell on a real X server share: a program folder with
// the data file, the skin pictures and the icon; the virtual cameras and
// the message-box answer taken away after each test; and the command that
// runs the built program (or its demonstration: start, live window, one
// page captured with Space, close) as a separate process, or the program in
// this process; on a desktop of the test's choice.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"
#include "tests/support/TestEnv.h"
#include "ui/MultiPageDlg.h"
// Xlib last: its macros clash with names above (so include this header last).
#include "tests/e2e/XServer.h"

namespace vqtest {

// Runs the program in this process while `user` works it from another
// thread, given its main window once the server shows it (its preview
// running when asked); the window manager's close request then ends the
// program unless the user did.
inline void RunProgramInProcess(XServer& server, const std::function<void(HWND main, CVorquellDlg& dialog)>& user,
                                bool livePreview = false, bool closeAtEnd = true) {
  CVorquellApp app;
  std::thread worker([&] {
    HWND main = nullptr;
    if (!WaitFor([&] { return (main = FindWindowW(nullptr, L"Vorquell V71.0")) && server.ShowsInPlace(main); })) {
      ADD_FAILURE() << "the main window did not show";
      return;
    }
    auto& dialog = *static_cast<CVorquellDlg*>(app.m_pMainWnd);
    EXPECT_TRUE(!livePreview || WaitFor([&] {
      CCaptureController* camera = dialog.DocumentController();
      return camera && !camera->GetFrame().empty();
    })) << "the preview runs";
    user(main, dialog);
    if (closeAtEnd) server.RequestClose(vqplatform::PresentedXWindow(main));
  });
  app.InitInstance();
  worker.join();
}

// The collecting mode's button (multipage TIFF, one PDF) pressed, then
// 拍摄 `captures` times: the multipage dialog that collects them.
inline CMultiPageDlg* Collect(HWND main, CVorquellDlg& dialog, int mode, int captures) {
  Press(main, mode);
  for (int i = 0; i < captures; ++i) Press(main, IDC_CAPTURE);
  return dialog.MultiPageDialog();
}
// 完成 of the multipage dialog: true once it has written and gone.
inline bool Finish(CVorquellDlg& dialog) {
  Press(dialog.MultiPageDialog()->m_hWnd, 1032);
  return WaitFor([&] { return dialog.MultiPageDialog() == nullptr; });
}

class VorquellProgramTest : public ::testing::Test {
 protected:
  // The desktop the test runs on (Xvfb alone unless a test asks for more).
  explicit VorquellProgramTest(Desktop desktop = {}) : desktop_(std::move(desktop)) {}
  void SetUp() override {
    if (std::string why = UseDesktop(desktop_); !why.empty()) GTEST_SKIP() << why;
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    std::filesystem::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    std::filesystem::create_directories(program_ / "icons");
    std::filesystem::copy_file(VQ_ICON_DIR "/128.png", program_ / "icons" / "128.png");
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
    vqplatform::SetModalIdleHandler(nullptr);
  }
  // The built program, or its demonstration, with these virtual cameras,
  // for at most a minute and a half.
  std::string Command(const char* cameras, bool demonstration) const {
    return "env VQ_VIRTUAL_CAMERA='" + std::string(cameras) + "' VQ_PROGRAM_DIR=" + program_.string() +
           " timeout 600 " + (demonstration ? VQ_DEMO_PATH " " VQ_PROGRAM_PATH " " + shots_.string() : VQ_PROGRAM_PATH);
  }
  std::string Settings() const { return ReadFile(program_ / "Sys.ini"); }
  void RunInProcess(XServer& server, const std::function<void(HWND main)>& user) {
    RunProgramInProcess(server, [&](HWND main, CVorquellDlg&) { user(main); });
  }

  const std::filesystem::path program_ = TempDir() / "program";
  const std::filesystem::path shots_ = ScreenshotPath("built");

 private:
  Desktop desktop_;
};

}  // namespace vqtest
