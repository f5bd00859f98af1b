// Vorquell on a real X server with the virtual camera pair. The built
// program, as a separate process: it comes up live and closes with its
// settings, ends silently without its data file, and shows the no-camera
// message without a camera. The program's own code in this process, worked
// by a user's clicks: the switch to the portrait camera, four left turns,
// the exposure slider, the camera pulled out and put back, and the close
// that saves Sys.ini and ends every thread it started.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <X11/Xlib.h>

#include <filesystem>
#include <thread>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/XServer.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int CountIniKeys(const std::string& text) {
  int keys = 0;
  for (size_t at = 0; (at = text.find('=', at)) != std::string::npos; ++at) ++keys;
  return keys;
}

size_t ThreadCount() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// A program started with extra environment; its exit status, or -1 while it runs.
class Child {
 public:
  Child(const std::vector<std::string>& command, const std::vector<std::string>& environment) {
    std::vector<std::string> env = environment;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);  // later duplicates lose
    std::vector<char*> argv, envp;
    for (const std::string& a : command) argv.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) pid_ = 0;
  }
  ~Child() {
    if (pid_ && Wait(0ms) == -1) {
      kill(pid_, SIGKILL);
      Wait(5s);
    }
  }
  int Wait(std::chrono::milliseconds limit) {
    vqtest::WaitFor([&] { return Poll() != -1; }, limit);
    return status_;
  }

 private:
  int Poll() {
    int status = 0;
    if (status_ == -1 && pid_ && waitpid(pid_, &status, WNOHANG) == pid_)
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  pid_t pid_ = 0;
  int status_ = -1;
};

// The first viewable top-level X window.
unsigned long FirstShownWindow(Display* display) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  unsigned long found = 0;
  XQueryTree(display, root, &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

class VorquellXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    program_ = vqtest::TempDir() / "program";
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
    unsetenv("VQ_BITMAP_DIR");
  }
  void CopyDataFile() { fs::copy_file(VQ_DATA_FILE, program_ / "data.dat", fs::copy_options::overwrite_existing); }
  std::vector<std::string> ProgramEnvironment(const char* cameras) const {
    return {"VQ_VIRTUAL_CAMERA=" + std::string(cameras), "VQ_PROGRAM_DIR=" + program_.string(),
            "VQ_BITMAP_DIR=" VQ_SKIN_BITMAP_DIR};
  }
  int SettingsKeys() const { return CountIniKeys(vqtest::ReadFile(program_ / "Sys.ini")); }

  fs::path program_;
};

TEST_F(VorquellXvfbTest, BuiltProgramStartsLiveEndsSilentlyWithoutDataAndWarnsWithoutCamera) {
  // With the default data file and both virtual cameras: live, then closed by the user.
  CopyDataFile();
  const fs::path shots = vqtest::ScreenshotPath("built");
  fs::create_directories(shots);
  Child demonstration({VQ_DEMO_PATH, VQ_PROGRAM_PATH, shots.string()}, ProgramEnvironment("document;portrait"));
  EXPECT_EQ(demonstration.Wait(60s), 0);
  EXPECT_TRUE(fs::exists(shots / "vorquell-live-window.png"));
  EXPECT_EQ(SettingsKeys(), 49);

  // No camera: the message box, and the end once the user closes it.
  fs::remove(program_ / "Sys.ini");
  vqtest::XServer server;
  Display* display = XOpenDisplay(nullptr);
  Child noCamera({VQ_PROGRAM_PATH}, ProgramEnvironment("0"));
  unsigned long box = 0;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (box = FirstShownWindow(display)) != 0; }, 20s));
  XWindowAttributes attributes{};
  XGetWindowAttributes(display, box, &attributes);
  vqtest::Screenshot message = server.Grab(RECT{attributes.x, attributes.y, attributes.x + attributes.width,
                                                attributes.y + attributes.height});
  message.SavePng(vqtest::ScreenshotPath("vorquell-no-camera-message.png"));
  EXPECT_EQ(noCamera.Wait(500ms), -1) << "the program waits for the user";
  server.RequestClose(box);
  EXPECT_EQ(noCamera.Wait(20s), 0);
  EXPECT_EQ(SettingsKeys(), 49);
  XCloseDisplay(display);

  // No data file: the program ends by itself, with no window and no message.
  fs::remove(program_ / "data.dat");
  fs::remove(program_ / "Sys.ini");
  Child noData({VQ_DEMO_PATH, VQ_PROGRAM_PATH, shots.string()}, ProgramEnvironment("document;portrait"));
  EXPECT_EQ(noData.Wait(30s), 1) << "the demonstration saw the program end before any window";
  EXPECT_EQ(SettingsKeys(), 49);
}

// Where the user clicks, what the preview shows.
struct MainWindowView {
  HWND window = nullptr;
  vqtest::XServer* server = nullptr;

  RECT Control(int id) const {
    HWND control = GetDlgItem(window, id);
    RECT r{};
    GetClientRect(control, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    ClientToScreen(control, &corners[0]);
    ClientToScreen(control, &corners[1]);
    return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  }
  void Click(int id) const {
    const RECT r = Control(id);
    server->Click(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  vqtest::Screenshot Preview() const { return server->Grab(Control(IDC_PREVIEW_AREA)); }
  uint32_t At(const vqtest::Screenshot& shot, double fx, double fy) const {
    return shot.pixels[size_t(shot.height * fy) * shot.width + size_t(shot.width * fx)];
  }
  bool WaitForPreview(const std::function<bool(const vqtest::Screenshot&)>& wanted, const std::string& name) const {
    vqtest::Screenshot shot;
    const bool seen = vqtest::WaitFor(
        [&] {
          shot = Preview();
          return !shot.pixels.empty() && wanted(shot);
        },
        10s);
    server->Grab(vqtest::ScreenRectOf(window)).SavePng(vqtest::ScreenshotPath(name));
    return seen;
  }
};

bool IsRed(uint32_t p) { return (p >> 16) > 200 && ((p >> 8) & 0xFF) < 60 && (p & 0xFF) < 60; }
bool IsBackground(uint32_t p) { return p == 0xF3F3F3; }
// The desk of the document camera's scene: dark wood.
bool IsDesk(uint32_t p) { return (p >> 16) < 140 && ((p >> 8) & 0xFF) < 120; }

TEST_F(VorquellXvfbTest, UserSwitchesTurnsExposesAndPullsTheCameraOut) {
  auto document = vq::dshow::VirtualCameraConfig::Document();
  document.sizes = {{640, 480}, {1280, 960}};
  auto documentCamera = vq::dshow::PlugInVirtualCamera(document);
  // The portrait camera shows a red picture.
  fs::create_directories(vqtest::TempDir() / "red");
  cv::imwrite((vqtest::TempDir() / "red" / "red.png").string(), cv::Mat(480, 640, CV_8UC3, cv::Scalar(0, 0, 255)));
  auto portrait = vq::dshow::VirtualCameraConfig::Portrait();
  portrait.content.kind = vq::dshow::VirtualContent::Kind::Folder;
  portrait.content.folder = vqtest::TempDir() / "red";
  vq::dshow::PlugInVirtualCamera(portrait);
  CopyDataFile();
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini",
                                "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\n"
                                "[Camera]\nAutoExposure=false\nExposure=-6\n"));
  vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord&) { return IDOK; });
  vqplatform::ClearMessageBoxLog();
  const std::wstring unplugged = L"高拍仪设备被拔出或接触不良，请检查！";
  const auto unplugMessages = [&] {
    size_t n = 0;
    for (const auto& box : vqplatform::MessageBoxLog()) n += box.text == unplugged;
    return n;
  };

  // The device watch of the layer and OpenCV's pool run before the program
  // starts; the presenter is stopped before and after.
  { CCaptureController(false, false).CountDevices(L"1d6b", L"0102"); }
  cv::parallel_for_(cv::Range(0, 4 * cv::getNumThreads()), [](const cv::Range&) { std::this_thread::sleep_for(20ms); });
  vqplatform::StopPresenter();
  const size_t threadsBefore = ThreadCount();

  vqtest::XServer server;
  MainWindowView view{nullptr, &server};
  std::atomic<bool> driven{false};
  std::thread user([&] {
    ASSERT_TRUE(vqtest::WaitFor([&] { return (view.window = FindWindowW(nullptr, L"Vorquell V71.0")) != nullptr; }, 20s));
    ASSERT_TRUE(vqtest::WaitFor([&] {
      return vqplatform::PresentedXWindow(view.window) && vqplatform::FlushPresenter(2000);
    }));
    const auto desk = [&](const vqtest::Screenshot& s) { return IsDesk(view.At(s, 0.02, 0.5)); };
    EXPECT_TRUE(view.WaitForPreview(desk, "vorquell-document-camera.png"));

    view.Click(IDC_SWITCH_CAMERA);
    EXPECT_TRUE(view.WaitForPreview([&](const auto& s) { return IsRed(view.At(s, 0.5, 0.5)); },
                                    "vorquell-portrait-camera.png"));
    view.Click(IDC_SWITCH_CAMERA);
    EXPECT_TRUE(view.WaitForPreview(desk, "vorquell-document-again.png"));

    // A quarter turn leaves bands beside the upright picture; four turns none.
    view.Click(IDC_ROTATE_LEFT);
    EXPECT_TRUE(view.WaitForPreview([&](const auto& s) { return IsBackground(view.At(s, 0.02, 0.5)); },
                                    "vorquell-turned-left.png"));
    for (int i = 0; i < 3; ++i) view.Click(IDC_ROTATE_LEFT);
    EXPECT_TRUE(view.WaitForPreview(desk, "vorquell-turned-back.png"));

    // Each click left of the slider's thumb takes the camera's exposure one step down.
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

    // Pulled out: one message, no preview; put back: live again.
    documentCamera->Unplug();
    EXPECT_TRUE(vqtest::WaitFor([&] { return unplugMessages() > 0; }));
    EXPECT_TRUE(view.WaitForPreview([&](const auto& s) { return !desk(s); }, "vorquell-unplugged.png"));
    EXPECT_EQ(unplugMessages(), 1u);
    documentCamera->Replug();
    EXPECT_TRUE(view.WaitForPreview(desk, "vorquell-replugged.png"));

    driven = true;
    server.RequestClose(vqplatform::PresentedXWindow(view.window));
  });

  CVorquellApp app;
  app.InitInstance();
  user.join();
  ASSERT_TRUE(driven);
  EXPECT_EQ(unplugMessages(), 1u);
  const std::string settings = vqtest::ReadFile(program_ / "Sys.ini");
  EXPECT_EQ(CountIniKeys(settings), 49);
  EXPECT_NE(settings.find("ROTATION=0\n"), std::string::npos);
  EXPECT_NE(settings.find("Exposure=-8\n"), std::string::npos);
  vqplatform::StopPresenter();
  EXPECT_EQ(ThreadCount(), threadsBefore) << "every thread of the program has ended";
}

}  // namespace
