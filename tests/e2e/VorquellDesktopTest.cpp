// Vorquell on a user's desktop. The built program under a window manager
// (openbox): the main window's whole frame, title bar included, is on the
// screen at start; a drag on its border leaves its size; its title bar
// maximises and restores it. The program's code in this process: 浏览图像
// without xdg-open on PATH tells the user what is missing.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <string>
#include <thread>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Controls.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/VorquellProgramTest.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

using vqtest::SameRect;

int Width(const RECT& r) { return r.right - r.left; }

class VorquellDesktopTest : public ::testing::Test {
 protected:
  // A program folder with the built program's data file and icon.
  void MakeProgramFolder() {
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    fs::create_directories(program_ / "icons");
    fs::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    fs::copy_file(VQ_ICON_DIR "/128.png", program_ / "icons" / "128.png");
  }
  const fs::path program_ = vqtest::TempDir() / "program";
};

// Pixels of the skinned buttons' blue.
int BluePixels(const vqtest::Screenshot& shot) {
  int n = 0;
  for (uint32_t p : shot.pixels) n += (p & 0xFF) > 150 && ((p >> 16) & 0xFF) < 100;
  return n;
}

// The xwininfo tool finds the frame's corner and the client area where
// they are expected.
void ExpectAsXwininfoTellsIt(unsigned long window, const RECT& frame, const RECT& client) {
  std::optional<vqtest::XServer::XwininfoReport> told = vqtest::XServer::Xwininfo(window);
  ASSERT_TRUE(told) << "xwininfo (x11-utils) could not be run";
  EXPECT_EQ(told->frameCorner.x, frame.left);
  EXPECT_EQ(told->frameCorner.y, frame.top);
  EXPECT_TRUE(SameRect(told->client, client));
}

TEST_F(VorquellDesktopTest, BuiltProgramsFrameIsOnScreenKeepsItsSizeAndMaximisesUnderAWindowManager) {
  if (std::string why = vqtest::UseXvfbDisplayWithWindowManager(); !why.empty()) GTEST_SKIP() << why;
  MakeProgramFolder();
  vqtest::XServer server;
  ASSERT_TRUE(server.WaitForWindowManager());
  const std::string command =
      "env VQ_VIRTUAL_CAMERA='document;portrait' VQ_PROGRAM_DIR=" + program_.string() + " timeout 90 " VQ_PROGRAM_PATH;
  std::future<int> program = std::async(std::launch::async, [&] { return vqtest::RunShell(command); });
  unsigned long window = 0;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (window = server.ShownManagedWindow("Vorquell V")) != 0; }));

  // At start the frame's corner is the screen's, as template 102 puts it.
  RECT frame{}, client{}, extents{};
  EXPECT_TRUE(vqtest::WaitFor([&] {
    frame = server.FrameRectOnScreen(window);
    client = server.ClientRectOnScreen(window);
    extents = server.FrameExtents(window);
    return frame.left == 0 && frame.top == 0 && extents.top > 0 && client.top == extents.top;
  }, 20s)) << "frame at " << frame.left << ", " << frame.top;
  EXPECT_GT(extents.top, 10) << "a title bar";
  EXPECT_LE(frame.right, 1920);
  EXPECT_LE(frame.bottom, 1080);
  ExpectAsXwininfoTellsIt(window, frame, client);
  // The picture reached the lower part of the preview before the screenshot.
  const POINT inPreview{frame.left + Width(frame) * 2 / 5, frame.top + (frame.bottom - frame.top) * 17 / 20};
  EXPECT_TRUE(vqtest::WaitFor(
      [&] { return server.Grab(RECT{inPreview.x, inPreview.y, inPreview.x + 1, inPreview.y + 1}).pixels[0] != 0xFFFFFF; },
      20s))
      << "no picture in the preview";
  server.Grab(RECT{0, 0, std::min<LONG>(frame.right + 40, 1920), std::min<LONG>(frame.bottom + 40, 1080)})
      .SavePng(vqtest::ScreenshotPath("vorquell-at-start-under-window-manager.png"));

  // The corner of its frame dragged outwards: the size stays.
  server.Drag(POINT{frame.right - 1, frame.bottom - 1}, POINT{frame.right + 160, frame.bottom + 120});
  EXPECT_TRUE(vqtest::Stays([&] { return SameRect(server.ClientRectOnScreen(window), client); }, 600ms))
      << "sized by a border drag";
  const int middle = (frame.top + frame.bottom) / 2;
  server.Drag(POINT{frame.right - 1, middle}, POINT{frame.right + 200, middle});
  EXPECT_TRUE(vqtest::Stays([&] { return SameRect(server.ClientRectOnScreen(window), client); }, 600ms))
      << "sized by a border drag";

  // A double click on the title bar maximises it, another restores it.
  const POINT title{frame.left + Width(frame) / 3, frame.top + extents.top / 2};
  server.DoubleClick(title);
  EXPECT_TRUE(vqtest::WaitFor([&] { return Width(server.FrameRectOnScreen(window)) == 1920; }))
      << "not maximised";
  // Laid out again: the blue of the exit button and of the continuous
  // shooting button, the last of the column, at the right edge of the screen.
  EXPECT_TRUE(vqtest::WaitFor(
      [&] {
        return BluePixels(server.Grab(RECT{1800, 20, 1920, 90})) > 500 &&
               BluePixels(server.Grab(RECT{1680, 700, 1920, 780})) > 2000;
      },
      20s))
      << "the buttons did not move to the right edge";
  server.Grab(RECT{0, 0, 1920, 1080}).SavePng(vqtest::ScreenshotPath("vorquell-maximised-under-window-manager.png"));
  server.DoubleClick(title);
  EXPECT_TRUE(vqtest::WaitFor([&] { return SameRect(server.ClientRectOnScreen(window), client); }))
      << "not restored";
  EXPECT_TRUE(SameRect(server.FrameRectOnScreen(window), frame));
  ExpectAsXwininfoTellsIt(window, frame, client);

  server.RequestClose(window);
  EXPECT_EQ(program.get(), 0);
}

TEST_F(VorquellDesktopTest, BrowseImagesWithoutAProgramToOpenWithSaysWhatIsMissing) {
  if (!vqtest::UseXvfbDisplay(false)) GTEST_SKIP() << "runs only without a window manager: run it alone";
  MakeProgramFolder();
  vq::dshow::PlugInVirtualCamera(vq::dshow::VirtualCameraConfig::Document());
  vq::dshow::PlugInVirtualCamera(vq::dshow::VirtualCameraConfig::Portrait());
  // Nothing on PATH opens files.
  const fs::path emptyBin = vqtest::TempDir() / "bin";
  fs::create_directories(emptyBin);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", emptyBin.c_str(), 1);
  vqplatform::ClearMessageBoxLog();

  vqtest::XServer server;
  vqtest::RunProgramInProcess(server, [&](HWND main, CVorquellDlg&) {
    server.ClickControl(main, IDC_BROWSE_IMAGES);
    const std::wstring title = vqplatform::DefaultMessageBoxCaption();
    HWND box = nullptr;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      box = FindWindowW(WC_DIALOG, title.c_str());
      return box && server.IsShown(vqplatform::PresentedXWindow(box)) && vqplatform::FlushPresenter(2000);
    })) << "no message";
    if (box) {
      server.Shoot(box, "browse-images-without-xdg-open.png");
      std::vector<vqplatform::MessageBoxRecord> shown = vqplatform::MessageBoxLog();
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_NE(shown[0].text.find(L"xdg-open"), std::wstring::npos) << vq::WideToUtf8(shown[0].text);
      EXPECT_NE(shown[0].text.find(L"xdg-utils"), std::wstring::npos);
      EXPECT_EQ(shown[0].owner, main);
      EXPECT_EQ(shown[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
      server.ClickControl(box, IDOK);
      EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(box); }));
    }
  });
  setenv("PATH", path.c_str(), 1);
  vqplatform::StopPresenter();
  vq::dshow::RemoveVirtualCameras();
}

}  // namespace
