// Vorquell on a real X server with the virtual camera pair. The built
// program, as a separate process: it comes up live and closes with its
// settings, shows the no-camera message without a camera, and ends silently
// without its data file. The program's code in this process, worked by a
// user's clicks: the switch to the portrait camera, four left turns, the
// exposure slider, the camera pulled out and put back, and the close that
// saves Sys.ini and ends every thread the program started.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/XServer.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int CountIniKeys(const std::string& text) { return int(std::count(text.begin(), text.end(), '=')); }

size_t ThreadCount() {
  const fs::directory_iterator tasks("/proc/self/task");
  return size_t(std::distance(fs::begin(tasks), fs::end(tasks)));
}

// Runs a command through the shell; its exit status.
int RunShell(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The first viewable top-level X window at least `minWidth` wide, and its place.
RECT FirstShownWindow(Display* display, unsigned long* found, int minWidth = 0) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  RECT place{};
  *found = 0;
  XQueryTree(display, root, &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !*found; ++i) {
    XWindowAttributes a{};
    if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable && a.width >= minWidth) {
      *found = children[i];
      place = RECT{a.x, a.y, a.x + a.width, a.y + a.height};
    }
  }
  if (children) XFree(children);
  return place;
}

class VorquellXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    fs::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    fs::create_directories(program_ / "icons");
    fs::copy_file(VQ_ICON_DIR "/128.png", program_ / "icons" / "128.png");
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
  }
  // The built program (or its demonstration) with these virtual cameras, for at most a minute.
  std::string Command(const char* cameras, bool demonstration) const {
    return "env VQ_VIRTUAL_CAMERA='" + std::string(cameras) + "' VQ_PROGRAM_DIR=" + program_.string() +
           " timeout 60 " + (demonstration ? VQ_DEMO_PATH " " VQ_PROGRAM_PATH " " + shots_.string() : VQ_PROGRAM_PATH);
  }
  int SettingsKeys() const { return CountIniKeys(vqtest::ReadFile(program_ / "Sys.ini")); }

  const fs::path program_ = vqtest::TempDir() / "program";
  const fs::path shots_ = vqtest::ScreenshotPath("built");
};

TEST_F(VorquellXvfbTest, BuiltProgramComesUpLiveWarnsWithoutCameraAndEndsSilentlyWithoutData) {
  fs::create_directories(shots_);
  EXPECT_EQ(RunShell(Command("document;portrait", true)), 0) << "live window seen, closed by the user, program ended";
  EXPECT_TRUE(fs::exists(shots_ / "vorquell-live-window.png"));
  EXPECT_EQ(SettingsKeys(), 49);

  fs::remove(program_ / "Sys.ini");
  vqtest::XServer server;
  Display* display = XOpenDisplay(nullptr);
  std::future<int> noCamera = std::async(std::launch::async, RunShell, Command("0", false));
  unsigned long box = 0;
  RECT place{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return place = FirstShownWindow(display, &box), box != 0; }, 20s));
  server.Grab(place).SavePng(vqtest::ScreenshotPath("vorquell-no-camera-message.png"));
  EXPECT_EQ(noCamera.wait_for(500ms), std::future_status::timeout) << "the program waits for the user";
  server.RequestClose(box);
  EXPECT_EQ(noCamera.get(), 0);
  EXPECT_EQ(SettingsKeys(), 49);
  XCloseDisplay(display);

  // Without data file the program ends by itself: no window, no message waiting.
  fs::remove(program_ / "data.dat");
  fs::remove(program_ / "Sys.ini");
  EXPECT_EQ(RunShell(Command("document;portrait", true)), 1) << "the demonstration saw the program end before any window";
  EXPECT_EQ(SettingsKeys(), 49);
}

// The bounds of the paper-white pixels in the middle of a picture of the
// main window, where the preview lies (the logo left of it is white too).
RECT WhiteBounds(const vqtest::Screenshot& s) {
  RECT r{s.width, s.height, -1, -1};
  for (int y = 0; y < s.height; ++y)
    for (int x = s.width * 15 / 100; x < s.width * 75 / 100; ++x) {
      const uint32_t p = s.pixels[size_t(y) * s.width + x];
      if ((p >> 16 & 0xFF) < 250 || (p >> 8 & 0xFF) < 250 || (p & 0xFF) < 250) continue;
      r = RECT{std::min(r.left, LONG(x)), std::min(r.top, LONG(y)), std::max(r.right, LONG(x)), std::max(r.bottom, LONG(y))};
    }
  return r;
}

TEST_F(VorquellXvfbTest, BuiltProgramShowsAPageLaidSidewaysUpright) {
  if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
  fs::copy_file(VQ_RECOGNITION_MODEL, program_ / "OCR_RLDA_LN_Gra.tpl");
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDOCCHECK=TRUE\nDocCamWidth=1280\nDocCamHeight=960\n"));
  const fs::path pages = vqtest::TempDir() / "pages";
  fs::create_directories(pages);
  ASSERT_TRUE(cv::imwrite((pages / "page.png").string(), ocrtest::DeskWithPageTurnedClockwise()));

  vqtest::XServer server;
  Display* display = XOpenDisplay(nullptr);
  const std::string camera = "sizes=1280x960,folder=" + pages.string();
  std::future<int> program = std::async(std::launch::async, RunShell, Command(camera.c_str(), false));
  unsigned long window = 0;
  RECT place{};
  // The page lies across the desk; upright it stands taller than wide on the
  // desk (the splash window comes and goes first).
  const bool upright = vqtest::WaitFor(
      [&] {
        place = FirstShownWindow(display, &window, 600);
        if (!window) return false;
        // A preview still blank white before the first frame fills the area.
        const RECT page = WhiteBounds(server.Grab(place));
        const long width = page.right - page.left, height = page.bottom - page.top;
        return height > width * 115 / 100 && height < (place.bottom - place.top) * 8 / 10 && width > 100;
      },
      45s);
  server.Grab(place).SavePng(vqtest::ScreenshotPath("vorquell-page-upright.png"));
  EXPECT_TRUE(upright);
  server.RequestClose(window);
  EXPECT_EQ(program.get(), 0);
  XCloseDisplay(display);
}

// Where the user clicks, and what the preview shows.
struct MainWindowView {
  HWND window = nullptr;
  vqtest::XServer* server = nullptr;

  RECT Control(int id) const {
    HWND control = GetDlgItem(window, id);
    RECT r{};
    GetClientRect(control, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    for (POINT& p : corners) ClientToScreen(control, &p);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  }
  void Click(int id) const {
    const RECT r = Control(id);
    server->Click(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  // Waits until the preview area's pixel at (fx, fy) of its size passes.
  bool WaitForPixel(double fx, double fy, bool (*wanted)(uint32_t), const std::string& name) const {
    const bool seen = vqtest::WaitFor(
        [&] {
          const vqtest::Screenshot s = server->Grab(Control(IDC_PREVIEW_AREA));
          return !s.pixels.empty() && wanted(s.pixels[size_t(s.height * fy) * s.width + size_t(s.width * fx)]);
        },
        10s);
    server->Grab(vqtest::ScreenRectOf(window)).SavePng(vqtest::ScreenshotPath(name));
    return seen;
  }
};

bool IsRed(uint32_t p) { return (p >> 16) > 200 && ((p >> 8) & 0xFF) < 60 && (p & 0xFF) < 60; }
bool IsBackground(uint32_t p) { return p == 0xF3F3F3; }
// The dark wood of the document camera's desk.
bool IsDesk(uint32_t p) { return (p >> 16) < 140 && ((p >> 8) & 0xFF) < 120; }
bool IsNotRed(uint32_t p) { return !IsRed(p); }

TEST_F(VorquellXvfbTest, UserSwitchesTurnsExposesAndPullsTheCameraOut) {
  auto document = vq::dshow::VirtualCameraConfig::Document();
  document.sizes = {{640, 480}, {1280, 960}};
  auto documentCamera = vq::dshow::PlugInVirtualCamera(document);
  fs::create_directories(vqtest::TempDir() / "red");
  cv::imwrite((vqtest::TempDir() / "red" / "red.png").string(), cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 255)));
  auto portrait = vq::dshow::VirtualCameraConfig::Portrait();  // shows a red picture
  portrait.content.kind = vq::dshow::VirtualContent::Kind::Folder;
  portrait.content.folder = vqtest::TempDir() / "red";
  vq::dshow::PlugInVirtualCamera(portrait);
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\n"
                                                      "[Camera]\nAutoExposure=false\nExposure=-6\n"));
  vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord&) { return IDOK; });
  const auto unplugMessages = [] {
    const auto boxes = vqplatform::MessageBoxLog();
    return std::count_if(boxes.begin(), boxes.end(),
                         [](const auto& box) { return box.text == L"高拍仪设备被拔出或接触不良，请检查！"; });
  };
  // The layer's device watch and OpenCV's pool run before the program starts;
  // the presenter is stopped before and after.
  { CCaptureController(false, false).CountDevices(L"1d6b", L"0102"); }
  cv::parallel_for_(cv::Range(0, 4 * cv::getNumThreads()), [](const cv::Range&) { std::this_thread::sleep_for(20ms); });
  vqplatform::StopPresenter();
  const size_t threadsBefore = ThreadCount();

  vqtest::XServer server;
  MainWindowView view{nullptr, &server};
  std::atomic<bool> driven{false};
  std::thread user([&] {
    ASSERT_TRUE(vqtest::WaitFor([&] {
      view.window = FindWindowW(nullptr, L"Vorquell V71.0");
      return view.window && vqplatform::PresentedXWindow(view.window) && vqplatform::FlushPresenter(2000);
    }, 20s));
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-document-camera.png"));
    EXPECT_NE(SendMessageW(view.window, WM_GETICON, ICON_BIG, 0), 0) << "the program's icon";
    view.Click(IDC_SWITCH_CAMERA);
    EXPECT_TRUE(view.WaitForPixel(0.5, 0.5, IsRed, "vorquell-portrait-camera.png"));
    view.Click(IDC_SWITCH_CAMERA);
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-document-again.png"));

    // A quarter turn leaves bands beside the upright picture; four turns none.
    view.Click(IDC_ROTATE_LEFT);
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsBackground, "vorquell-turned-left.png"));
    for (int i = 0; i < 3; ++i) view.Click(IDC_ROTATE_LEFT);
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-turned-back.png"));

    // Each click left of the slider's thumb takes the camera's exposure a step down.
    const RECT slider = view.Control(IDC_EXPOSURE_SLIDER);
    for (long wanted : {-7L, -8L}) {
      std::this_thread::sleep_for(600ms);  // not a double click
      server.Click(POINT{slider.left + 4, (slider.top + slider.bottom) / 2});
      vq::dshow::ControlState exposure{};
      EXPECT_TRUE(vqtest::WaitFor([&] {
        documentCamera->GetControl(vq::dshow::ControlKind::CameraControl, 4, &exposure);
        return exposure.value == wanted;
      }));
    }
    wchar_t shown[16] = {};
    GetWindowTextW(GetDlgItem(view.window, IDC_EXPOSURE_VALUE), shown, 16);
    EXPECT_EQ(std::wstring(shown), L"-8");

    // Pulled out while the portrait camera is shown: one message, no picture,
    // and other device changes do nothing. Put back: the document camera is
    // shown live again, without crop.
    view.Click(IDC_SWITCH_CAMERA);
    EXPECT_TRUE(view.WaitForPixel(0.5, 0.5, IsRed, "vorquell-portrait-again.png"));
    documentCamera->Unplug();
    EXPECT_TRUE(vqtest::WaitFor([&] { return unplugMessages() > 0; }));
    EXPECT_TRUE(view.WaitForPixel(0.5, 0.5, IsNotRed, "vorquell-unplugged.png"));
    PostMessageW(view.window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    documentCamera->Replug();
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-replugged.png"));
    EXPECT_EQ(SendDlgItemMessageW(view.window, IDC_CROP_NONE, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view.window, IDC_CROP_AUTO)));
    driven = true;
    server.RequestClose(vqplatform::PresentedXWindow(view.window));
  });

  CVorquellApp app;
  app.InitInstance();
  user.join();
  ASSERT_TRUE(driven);
  EXPECT_EQ(unplugMessages(), 1);
  const std::string settings = vqtest::ReadFile(program_ / "Sys.ini");
  EXPECT_EQ(CountIniKeys(settings), 49);
  EXPECT_NE(settings.find("ROTATION=0\n"), std::string::npos);
  EXPECT_NE(settings.find("Exposure=-8\n"), std::string::npos);
  vqplatform::StopPresenter();
  EXPECT_EQ(ThreadCount(), threadsBefore) << "every thread of the program has ended";
}

}  // namespace
