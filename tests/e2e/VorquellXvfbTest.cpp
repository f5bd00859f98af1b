// Vorquell on a real X server with the virtual camera pair. The built
// program, as a separate process: it comes up live and closes with its
// settings, shows the no-camera message without a camera, and ends silently
// without its data file. The program's code in this process, worked by a
// user's clicks: the switch to the portrait camera, four left turns, the
// exposure slider, the camera pulled out and put back, the settings sheet
// cancelled and taken with another size in fast mode, and the close that
// saves Sys.ini and ends every thread the program started. The outside
// programs: an image server that refuses ends the program with the busy
// message; an outside program asks for the last saved page and the
// companion hears the exit; the built program takes nothing else from
// outside, whatever the message, and clears the sockets of ended programs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <thread>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "base/TextEncoding.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/TestInput.h"
#include "tests/support/MessageBoxes.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/PeerProgram.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ThreadTimes.h"
#include "tests/e2e/VorquellProgramTest.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

int CountIniKeys(const std::string& text) { return int(std::count(text.begin(), text.end(), '=')); }

class VorquellXvfbTest : public vqtest::VorquellProgramTest {
 protected:
  int SettingsKeys() const { return CountIniKeys(Settings()); }
};

TEST_F(VorquellXvfbTest, BuiltProgramComesUpLiveWarnsWithoutCameraAndEndsSilentlyWithoutData) {
  fs::create_directories(shots_);
  EXPECT_EQ(vqtest::RunShell(Command("document;portrait", true)), 0) << "live window seen, closed by the user, program ended";
  EXPECT_TRUE(fs::exists(shots_ / "vorquell-live-window.png"));
  EXPECT_EQ(SettingsKeys(), 49);

  fs::remove(program_ / "Sys.ini");
  vqtest::XServer server;
  std::future<int> noCamera = std::async(std::launch::async, [&] { return vqtest::RunShell(Command("0", false)); });
  const vqtest::KnownMessageBox noCameraBox(L"没有找到高拍仪设备，请检查高拍仪设备是否连接正确", L"",
                                            MB_OK | MB_ICONEXCLAMATION);
  std::optional<vqtest::ShownX> box;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (box = noCameraBox.Find(server)).has_value(); }));
  server.Grab(box->place).SavePng(vqtest::ScreenshotPath("vorquell-no-camera-message.png"));
  EXPECT_EQ(noCamera.wait_for(500ms), std::future_status::timeout) << "the program waits for the user";
  {
    // Outside programs find the built program's window by its caption; asked
    // without a mapping it answers 2.
    vqtest::PeerProgram asker("Asker", {"--request", "Vorquell V71.0:1280"});
    EXPECT_TRUE(asker.WaitFor("answer 1280 2"));
  }
  EXPECT_TRUE(noCameraBox.Press(server));
  EXPECT_EQ(noCamera.get(), 0);
  EXPECT_EQ(SettingsKeys(), 49);

  // Without data file the program ends by itself: no window, no message waiting.
  fs::remove(program_ / "data.dat");
  fs::remove(program_ / "Sys.ini");
  EXPECT_EQ(vqtest::RunShell(Command("document;portrait", true)), 1) << "the demonstration saw the program end before any window";
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
  const std::string camera = "sizes=1280x960,folder=" + pages.string();
  std::future<int> program = std::async(std::launch::async, [&] { return vqtest::RunShell(Command(camera.c_str(), false)); });
  unsigned long window = 0;
  RECT place{};
  // The page lies across the desk; upright it stands taller than wide on the
  // desk (the splash window comes and goes first).
  const bool upright = vqtest::WaitFor(
      [&] {
        const std::optional<vqtest::ShownX> main = server.ShownTitled("Vorquell V71.0");
        if (!main) return false;
        window = main->window;
        place = main->place;
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
}

// Where the user clicks, and what the preview shows.
struct MainWindowView {
  HWND window = nullptr;
  vqtest::XServer* server = nullptr;

  RECT Control(int id) const { return vqtest::ClientRectOnScreen(GetDlgItem(window, id)); }
  void Click(int id) const { server->ClickControl(window, id); }
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

// Drives the settings sheet once it is open: moves the document size one
// entry up the list, ticks fast mode on the advanced page, and ends the sheet
// with `button`. Runs on the program's thread, from the sheet's modal loop;
// sets `done` when the sheet was seen.
void DriveSettingsSheetOnce(HWND mainWindow, int button, std::atomic<bool>* done) {
  vqtest::OnNextDialog(mainWindow, [=](HWND sheet) {
    constexpr int kTab = 1117, kSizeList = 1006, kFastMode = 1116;
    HWND tab = GetDlgItem(sheet, kTab);
    HWND imagePage = vqtest::PageWith(tab, kSizeList), advancedPage = vqtest::PageWith(tab, kFastMode);
    if (imagePage && advancedPage) {
      vqplatform::ClickControl(imagePage, kSizeList);
      vqtest::DispatchQueued(sheet);
      for (int key : {VK_UP, VK_RETURN}) vqplatform::PressKey(key);
      vqtest::DispatchQueued(sheet);
      vqtest::ClickTab(tab, 2);
      vqtest::DispatchQueued(sheet);
      vqplatform::ClickControl(advancedPage, kFastMode);
      vqtest::DispatchQueued(sheet);
      *done = true;
    }
    vqplatform::ClickControl(sheet, button);
  });
}

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
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\nXDPI=200\nYDPI=200\n"
                                                      "[Camera]\nAutoExposure=false\nExposure=-6\n"));
  vqtest::ExpectedBoxes boxes;
  boxes.Expect(L"高拍仪设备被拔出或接触不良，请检查！");
  const auto unplugMessages = [] {
    const auto boxes = vqplatform::MessageBoxLog();
    return std::count_if(boxes.begin(), boxes.end(),
                         [](const auto& box) { return box.text == L"高拍仪设备被拔出或接触不良，请检查！"; });
  };
  // The layer's device watch and OpenCV's pool run before the program starts;
  // the presenter is stopped before and after.
  { CCaptureController(false, false).CountDevices(L"1d6b", L"0102"); }
  vqtest::StartOpenCvWorkers();
  vqplatform::StopPresenter();
  const int threadsBefore = vqtest::ThreadCount();

  vqtest::XServer server;
  vqtest::RunProgramInProcess(server, [&](HWND main, CVorquellDlg&) {
    const MainWindowView view{main, &server};
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
    // The value beside the slider follows once the window has handled the change.
    EXPECT_TRUE(vqtest::WaitFor([&] { return vqtest::TextOf(view.window, IDC_EXPOSURE_VALUE) == L"-8"; }))
        << "shown: " << vq::WideToUtf8(vqtest::TextOf(view.window, IDC_EXPOSURE_VALUE));

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

    // 系统参数, edited and cancelled: Sys.ini stays as it was, byte for byte.
    const auto sheetClosed = [&] { return IsWindowEnabled(view.window) != FALSE; };
    ASSERT_TRUE(vqtest::WaitFor(sheetClosed));
    const std::string before = vqtest::ReadFile(program_ / "Sys.ini");
    std::atomic<bool> sheetSeen{false};
    DriveSettingsSheetOnce(view.window, IDCANCEL, &sheetSeen);
    view.Click(IDC_SETTINGS);
    ASSERT_TRUE(vqtest::WaitFor([&] { return sheetSeen && sheetClosed(); }));
    EXPECT_EQ(vqtest::ReadFile(program_ / "Sys.ini"), before);
    vq::dshow::CaptureFormat streamed{};
    ASSERT_TRUE(documentCamera->LastStreamFormat(&streamed));
    EXPECT_EQ(cv::Size(streamed.width, streamed.height), cv::Size(1280, 960));
    EXPECT_EQ(streamed.subtype, MEDIASUBTYPE_YUY2);

    // Taken with the smaller size in fast mode: the camera streams MJPG at
    // 640 x 480, the preview is live and Sys.ini holds the new size.
    sheetSeen = false;
    DriveSettingsSheetOnce(view.window, IDOK, &sheetSeen);
    view.Click(IDC_SETTINGS);
    ASSERT_TRUE(vqtest::WaitFor([&] { return sheetSeen && sheetClosed(); }));
    EXPECT_TRUE(vqtest::WaitFor([&] {
      return documentCamera->LastStreamFormat(&streamed) && streamed.width == 640 && streamed.height == 480;
    }));
    EXPECT_EQ(streamed.subtype, MEDIASUBTYPE_MJPG);
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-after-settings.png"));
    const std::string after = vqtest::ReadFile(program_ / "Sys.ini");
    EXPECT_NE(after.find("DocCamWidth=640\n"), std::string::npos);
    EXPECT_NE(after.find("DocCamHeight=480\n"), std::string::npos);
  });
  EXPECT_EQ(unplugMessages(), 1);
  const std::string settings = vqtest::ReadFile(program_ / "Sys.ini");
  EXPECT_EQ(CountIniKeys(settings), 49);
  EXPECT_NE(settings.find("ROTATION=0\n"), std::string::npos);
  EXPECT_NE(settings.find("Exposure=-8\n"), std::string::npos);
  vqplatform::StopPresenter();
  // A waited-for thread signals its end a moment before the system removes it.
  EXPECT_TRUE(vqtest::WaitFor([&] { return vqtest::ThreadCount() == threadsBefore; }))
      << vqtest::ThreadCount() << " threads, " << threadsBefore << " before: every thread of the program ends";
}

// Every control's place on the screen.
std::map<int, CRect> ControlPlaces(HWND window) {
  std::map<int, CRect> places;
  for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (GetDlgCtrlID(c) > 0) places[GetDlgCtrlID(c)] = CRect(vqtest::ScreenRectOf(c));
  return places;
}

using vqtest::TextOf;

// The program with a document camera whose exposure and focus the user can
// set (exposure from 1 to 5000: a fixed 10 would lie inside the range), the
// settings naming two prefixes; `user` works its window once the preview
// shows the desk. What the program kept in Sys.ini afterwards.
class VorquellUserXvfbTest : public VorquellXvfbTest {
 protected:
  using User = std::function<void(const MainWindowView& view, vqtest::XServer& server)>;
  std::string RunWithCamera(const User& user) {
    auto config = vq::dshow::VirtualCameraConfig::Document();
    const long both = CameraControl_Flags_Auto | CameraControl_Flags_Manual;
    config.cameraControl = {{CameraControl_Exposure, 1, 5000, 1, 100, both, 100, CameraControl_Flags_Auto},
                            {CameraControl_Focus, 0, 250, 5, 100, both, 100, CameraControl_Flags_Auto}};
    camera_ = vq::dshow::PlugInVirtualCamera(config);
    EXPECT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[FILE]\nTypeofImageName=0\nPRECHOOSE=IMG|DOC\nPREFIX=IMG\n"
                                                        "[Camera]\nAutoExposure=true\n"));
    vqtest::ExpectedBoxes boxes;
    vqtest::XServer server;
    vqtest::RunProgramInProcess(server, [&](HWND main, CVorquellDlg&) {
      const MainWindowView view{main, &server};
      ASSERT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-face-zh-cn.png"));
      user(view, server);
    });
    return vqtest::ReadFile(program_ / "Sys.ini");
  }
  // The camera's state of a camera control.
  vq::dshow::ControlState Control(long property) {
    vq::dshow::ControlState state{};
    camera_->GetControl(vq::dshow::ControlKind::CameraControl, property, &state);
    return state;
  }
  static bool Manual(const vq::dshow::ControlState& s) { return s.flags == CameraControl_Flags_Manual; }

  std::shared_ptr<vq::dshow::VirtualCamera> camera_;
};

TEST_F(VorquellUserXvfbTest, UserCropsAndTurnsThePicture) {
  const std::string settings = RunWithCamera([&](const MainWindowView& view, vqtest::XServer& server) {
    const auto outlines = [&] { return server.Grab(view.Control(IDC_PREVIEW_AREA)).BluePixels(); };

    // Crop radios: outlines, then a rectangle drawn by the user with the
    // picture washed around it, then neither.
    const auto cropMode = [] { return static_cast<CVorquellDlg*>(AfxGetMainWnd())->Settings().cutPageType; };
    view.Click(IDC_CROP_AUTO);
    EXPECT_TRUE(vqtest::WaitFor([&] { return outlines() > 1000; }));
    EXPECT_EQ(cropMode(), 1);
    server.Shoot(view.window, "vorquell-crop-auto.png");
    view.Click(IDC_CROP_MANUAL);
    EXPECT_TRUE(vqtest::WaitFor([&] { return outlines() == 0; }));
    EXPECT_EQ(cropMode(), 2);
    const RECT area = view.Control(IDC_PREVIEW_AREA);
    const LONG w = area.right - area.left, h = area.bottom - area.top;
    server.Drag(POINT{area.left + w / 4, area.top + h / 4}, POINT{area.left + w * 3 / 4, area.top + h * 3 / 4});
    EXPECT_TRUE(view.WaitForPixel(0.1, 0.5, [](uint32_t p) { return !IsDesk(p); }, "vorquell-crop-manual.png"))
        << "outside the rectangle the desk is washed";
    view.Click(IDC_CROP_NONE);
    EXPECT_TRUE(view.WaitForPixel(0.1, 0.5, IsDesk, "vorquell-crop-none.png"));
    EXPECT_EQ(outlines(), 0);

    // Right, upside down, right again: sideways twice, then upright.
    view.Click(IDC_ROTATE_RIGHT);
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsBackground, "vorquell-turned-right.png"));
    view.Click(IDC_ROTATE_180);
    // The turn is made once the window has taken the click.
    EXPECT_TRUE(vqtest::WaitFor([] { return static_cast<CVorquellDlg*>(AfxGetMainWnd())->DocumentRotation() == 270; }));
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsBackground, "vorquell-turned-upside-down.png"));
    view.Click(IDC_ROTATE_RIGHT);
    EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, "vorquell-turned-upright.png"));
  });
  EXPECT_NE(settings.find("CUTPAGETYPE=0\n"), std::string::npos);
}

TEST_F(VorquellUserXvfbTest, UserExposesAndFocusesTheCameraFromTheWindowAndItsPropertyFrame) {
  const auto control = [&](long property) { return Control(property); };
  const auto manual = Manual;
  const std::string settings = RunWithCamera([&](const MainWindowView& view, vqtest::XServer&) {
    // Automatic exposure off: the camera keeps the value it had chosen, by
    // hand; on again: the camera chooses.
    const long chosen = control(CameraControl_Exposure).value;
    view.Click(IDC_AUTO_EXPOSURE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return manual(control(CameraControl_Exposure)); }));
    EXPECT_EQ(control(CameraControl_Exposure).value, chosen);
    EXPECT_EQ(TextOf(view.window, IDC_EXPOSURE_VALUE), std::to_wstring(chosen));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view.window, IDC_EXPOSURE_SLIDER)));
    view.Click(IDC_AUTO_EXPOSURE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !manual(control(CameraControl_Exposure)); }));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(view.window, IDC_EXPOSURE_SLIDER)));

    // Focus fixed by hand, then the focus button: the camera focuses by itself.
    camera_->SetControl(vq::dshow::ControlKind::CameraControl, CameraControl_Focus, 40,
                               CameraControl_Flags_Manual);
    view.Click(IDC_FOCUS);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !manual(control(CameraControl_Focus)); }));

    // 视频参数 opens the camera's property frame over the window; exposure
    // set to manual there, the box and the slider follow.
    std::atomic<HWND> frameOwner{nullptr};
    std::atomic<int> step{0};
    vqplatform::SetModalIdleHandler([&](HWND frame) {
      if (frame == view.window) return;
      if (step == 0) {
        frameOwner = GetWindow(frame, GW_OWNER);
        vqtest::ClickTab(GetDlgItem(frame, 100), 1);
      } else if (step == 1) {
        for (HWND page = GetWindow(frame, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
          if (IsWindowVisible(page) && GetDlgItem(page, 1003)) vqplatform::ClickControl(page, 1003);
      } else {
        vqtest::XServer().Shoot(frame, "vorquell-property-frame.png");
        vqplatform::SetModalIdleHandler(nullptr);
        vqplatform::ClickControl(frame, IDOK);
      }
      ++step;
    });
    view.Click(IDC_VIDEO_PAGES);
    EXPECT_TRUE(vqtest::WaitFor([&] { return step > 2 && IsWindowEnabled(view.window); }));
    EXPECT_EQ(frameOwner.load(), view.window);
    EXPECT_TRUE(manual(control(CameraControl_Exposure)));
    EXPECT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(view.window, IDC_AUTO_EXPOSURE) == BST_UNCHECKED; }));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(view.window, IDC_EXPOSURE_SLIDER)));
  });
  EXPECT_NE(settings.find("AutoExposure=false\n"), std::string::npos);
}

TEST_F(VorquellUserXvfbTest, UserEditsThePrefixesAndChangesTheLanguage) {
  const std::string settings = RunWithCamera([&](const MainWindowView& view, vqtest::XServer&) {
    // "..." of the prefix combo: the editor takes a new list, which lands in Sys.ini.
    HWND combo = GetDlgItem(view.window, IDC_PREFIX_COMBO);
    std::atomic<bool> edited{false};
    vqtest::OnNextDialog(view.window, [&](HWND editor) {
      SetDlgItemTextW(editor, 1090, L"Invoice|Receipt 2|IMG");
      edited = true;
      vqplatform::ClickControl(editor, IDOK);
    });
    SendMessageW(combo, CB_SETCURSEL, WPARAM(SendMessageW(combo, CB_GETCOUNT, 0, 0) - 1), 0);
    PostMessageW(view.window, WM_COMMAND, MAKEWPARAM(IDC_PREFIX_COMBO, CBN_SELENDOK), LPARAM(combo));
    EXPECT_TRUE(vqtest::WaitFor([&] { return edited && IsWindowEnabled(view.window); }));
    EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("PRECHOOSE=Invoice|Receipt 2|IMG\n"), std::string::npos);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 4);

    // The language taken from the settings sheet re-skins the window at once.
    for (auto [language, group, label, shot] :
         {std::tuple{1, L"視訊流控制", L"文件拍攝儀", "vorquell-face-zh-tw.png"},
          {2, L"Image control", L"Document camera", "vorquell-face-en.png"}}) {
      std::atomic<bool> sheetSeen{false};
      vqtest::OnNextDialog(view.window, [&, language = language](HWND sheet) {
        SendMessageW(GetDlgItem(vqtest::PageWith(GetDlgItem(sheet, 1117), 1118), 1118), CB_SETCURSEL, WPARAM(language), 0);
        sheetSeen = true;
        vqplatform::ClickControl(sheet, IDOK);
      });
      view.Click(IDC_SETTINGS);
      EXPECT_TRUE(vqtest::WaitFor([&] { return sheetSeen && IsWindowEnabled(view.window); }));
      // The label is the last text the language sets.
      EXPECT_TRUE(vqtest::WaitFor([&, label = label] { return TextOf(view.window, IDC_WINDOW_LABEL) == label; }));
      EXPECT_EQ(TextOf(view.window, 1051), group);
      vqplatform::FlushPresenter(2000);
      EXPECT_TRUE(view.WaitForPixel(0.02, 0.5, IsDesk, shot));
    }
  });
  EXPECT_NE(settings.find("PRECHOOSE=Invoice|Receipt 2|IMG\n"), std::string::npos);
  EXPECT_NE(settings.find("Current=EN\n"), std::string::npos);
}

TEST_F(VorquellUserXvfbTest, TheWindowMaximisedAndRestoredPlacesItsControls) {
  RunWithCamera([&](const MainWindowView& view, vqtest::XServer& server) {
    // Maximised and restored as by the window manager; a second maximise
    // moves nothing. Shown once the capture button is drawn and the preview
    // fits the frame into its new area (a band below the 4:3 picture).
    const auto ShownAfterResize = [&](const char* name) {
      const bool drawn = vqtest::WaitFor([&] {
        const vqtest::Screenshot button = server.Grab(view.Control(IDC_CAPTURE));
        const vqtest::Screenshot preview = server.Grab(view.Control(IDC_PREVIEW_AREA));
        if (button.pixels.empty() || preview.pixels.empty()) return false;
        const uint32_t face = button.pixels[size_t(button.height / 2) * button.width + 4];
        const uint32_t desk = preview.pixels[size_t(preview.height / 2) * preview.width + 4];
        const uint32_t band = preview.pixels[size_t(preview.height - 3) * preview.width + preview.width / 2];
        return (face & 0xFF) > (face >> 16) + 60 && IsDesk(desk) && IsBackground(band);
      });
      server.Grab(vqtest::ScreenRectOf(view.window)).SavePng(vqtest::ScreenshotPath(name));
      return drawn;
    };
    const auto first = ControlPlaces(view.window);
    const RECT place = vqtest::ScreenRectOf(view.window);
    vqplatform::ApplySystemPlacement(view.window, RECT{0, 0, 1280, 1000}, WS_MAXIMIZE, WS_MAXIMIZE);
    EXPECT_TRUE(ShownAfterResize("vorquell-maximised.png"));
    const auto maximised = ControlPlaces(view.window);
    const int dx = maximised.at(IDC_SETTINGS).left - first.at(IDC_SETTINGS).left;
    const int dy = maximised.at(IDC_PREVIEW_AREA).Height() - first.at(IDC_PREVIEW_AREA).Height();
    EXPECT_GT(dx, 0);
    EXPECT_GT(dy, 0);
    EXPECT_EQ(maximised.at(IDC_PREVIEW_AREA).Width(), first.at(IDC_PREVIEW_AREA).Width() + dx);
    CRect label = first.at(IDC_WINDOW_LABEL);
    label.right += dx;
    label.OffsetRect(0, dy);
    EXPECT_EQ(maximised.at(IDC_WINDOW_LABEL), label) << "the label stretches and stays at the bottom";
    EXPECT_EQ(maximised.at(IDC_CONTINUOUS), first.at(IDC_CONTINUOUS) + CPoint(dx, 0));
    SendMessageW(view.window, WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1400, 1000));
    EXPECT_EQ(ControlPlaces(view.window), maximised);
    vqplatform::ApplySystemPlacement(view.window, place, 0, WS_MAXIMIZE);
    EXPECT_EQ(ControlPlaces(view.window), first);
    EXPECT_TRUE(ShownAfterResize("vorquell-restored.png"));
  });
}

TEST_F(VorquellXvfbTest, OutsideProgramsRefuseTheCameraAskForTheLastPageAndHearTheExit) {
  vqplatform::ProgramListenerScope listening;
  ASSERT_TRUE(listening.Listening());
  vqtest::ExpectedBoxes boxes;
  boxes.Expect(L"高拍仪设备可能被其他程序占用，请检查");
  vq::dshow::PlugInVirtualCamera(vq::dshow::VirtualCameraConfig::Document());
  {
    // A server that does not know the probe answers 0: busy, and the program ends.
    vqtest::PeerProgram server("VorquellServer");
    ASSERT_TRUE(server.WaitFor("ready"));
    CVorquellApp app;
    app.InitInstance();
    EXPECT_TRUE(server.Recorded("got 1109 0 0"));
    const auto boxes = vqplatform::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, L"高拍仪设备可能被其他程序占用，请检查");
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(FindWindowW(nullptr, L"Vorquell V71.0"), nullptr);
  }
  // The quit that ended it stays asked of this thread, as it would until
  // the process ends; the next program on this thread starts without it.
  MSG quit{};
  ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  ASSERT_EQ(quit.message, UINT(WM_QUIT));

  vqtest::PeerProgram companion("Tollwyn - V2.2");
  ASSERT_TRUE(companion.WaitFor("ready"));
  const std::wstring page = L"/home/user/图像/IMG_00007.jpg";
  vqtest::XServer server;
  vqtest::RunProgramInProcess(server, [&](HWND, CVorquellDlg& dialog) {
    dialog.SetLastSavedPage(page.c_str());
    vqtest::PeerProgram image("Image", {"--mapping", "VorquellImageDataMap:300", "--read-mapping-on", "1281",
                                        "--request", "Vorquell V71.0:1280"});
    EXPECT_TRUE(image.WaitFor("answer 1280 0"));
    EXPECT_TRUE(image.WaitFor("got 1281 0 0"));
    EXPECT_TRUE(image.WaitFor("text /home/user/图像/IMG_00007.jpg"));
    EXPECT_FALSE(companion.Recorded("got 2024 0 0")) << "not before the exit";
  });
  EXPECT_TRUE(companion.WaitFor("got 2024 0 0"));
}


// The sockets in the runtime folder, and the one whose program answers `line` with a window.
std::string SocketAnswering(const std::string& line, std::string* window) {
  for (const std::string& socket : vqplatform::OtherProgramSockets(vqplatform::ProgramFolder(false))) {
    std::optional<std::string> answer = vqplatform::Request(socket, line, 60000);
    if (answer && answer->rfind("WINDOW ", 0) == 0) {
      *window = answer->substr(7);
      return socket;
    }
  }
  return {};
}

TEST_F(VorquellXvfbTest, BuiltProgramTakesOnlyTheImagePathRequestFromOutsideAndClearsEndedSockets) {
  const fs::path folder = vqplatform::ProgramFolder(true);
  // Sockets left by programs that were killed, and one of a program still running.
  std::vector<fs::path> ended;
  for (int i = 0; i < 3; ++i) {
    vqtest::PeerProgram gone("Gone");
    ASSERT_TRUE(gone.WaitFor("ready"));
    gone.Kill();
    ended.push_back(folder / (std::to_string(gone.Pid()) + ".sock"));
  }
  vqtest::PeerProgram alive("Alive");
  ASSERT_TRUE(alive.WaitFor("ready"));

  vqtest::XServer server;
  const std::string command = "env VQ_VIRTUAL_CAMERA='document;portrait' VQ_PROGRAM_DIR=" + program_.string() +
                              " timeout 600 " VQ_PROGRAM_PATH;
  std::future<int> program = std::async(std::launch::async, [command] { return vqtest::RunShell(command); });
  std::string socket, window;
  ASSERT_TRUE(
      vqtest::WaitFor([&] { return !(socket = SocketAnswering("FIND vorquell v71.0", &window)).empty(); }));
  for (const fs::path& stale : ended) EXPECT_FALSE(fs::exists(stale)) << stale;
  EXPECT_TRUE(fs::exists(folder / (std::to_string(alive.Pid()) + ".sock")));
  const auto ask = [&](const std::string& line) {
    std::optional<std::string> answer = vqplatform::Request(socket, line, 60000);
    return answer ? *answer : std::string("failed");
  };
  // The tooltips (empty titles) and the splash are not found.
  for (const char* title : {"", "Marlofen V1.1", "VorquellServer"})
    EXPECT_EQ(ask(std::string("FIND ") + title), "NONE");

  // Every message from WM_USER to 0xBFFF with junk parameters, sent and
  // posted to the window FIND returns: only the image-path request is taken.
  const char* junk[][2] = {{"1", "1094795585"}, {"12345", "0"}, {"18446744073709551615", "-1"}};
  std::atomic<int> wrong{0};
  std::vector<std::thread> askers;
  for (UINT first = WM_USER; first < WM_USER + 4; ++first)
    askers.emplace_back([&, first] {
      for (UINT m = first; m <= 0xBFFF; m += 4) {
        const std::string tail = " " + std::to_string(m) + " " + junk[m % 3][0] + " " + junk[m % 3][1];
        wrong += ask("SEND " + window + tail) != (m == 1280 ? "RESULT 2" : "NONE");
        wrong += ask("POST " + window + tail) != (m == 1280 ? "POSTED" : "NONE");
      }
    });
  for (std::thread& asker : askers) asker.join();
  EXPECT_EQ(wrong, 0);
  // Its other windows, by handle: the messages the layer's windows read
  // pointers from (the tooltip's, the dialog's default button, lists) and
  // a spread of others, all refused.
  int taken = 0;
  const uintptr_t mainWindow = std::stoull(window);
  for (uintptr_t handle = 0x10010; handle < mainWindow + 4000; handle += 2)
    for (UINT m : {1024u, 1025u, 1031u, 1074u, 1081u, 4173u, 4211u, 4926u, 0x8000u}) {
      const std::string line = "SEND " + std::to_string(handle) + " " + std::to_string(m) + " 1 1094795585";
      taken += handle != mainWindow && ask(line) != "NONE";
    }
  EXPECT_EQ(taken, 0);

  // Still there and still answering; closed by the user it ends normally
  // and takes its socket away.
  EXPECT_EQ(ask("FIND Vorquell V71.0"), "WINDOW " + window);
  std::optional<vqtest::ShownX> shown;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (shown = server.ShownTitled("Vorquell V71.0")).has_value(); }));
  server.RequestClose(shown->window);
  EXPECT_EQ(program.get(), 0);
  EXPECT_FALSE(fs::exists(socket));
}

}  // namespace
