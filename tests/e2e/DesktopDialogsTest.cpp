// Vorquell's dialogs as a desktop user meets them, under openbox and under
// IceWM: each one the user opens from the main window (the settings sheet,
// the camera's property frame, recording, continuous shooting, merging and
// its message box, recognition ending without its model and ending with
// nothing recognised, the print dialog) shows with the keyboard focus and
// closes once by the mouse and once by Return or Esc, after which the main
// window takes the keys again; Tab walks through every enabled control of
// each page of the settings sheet.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/VorquellDlg.h"
#include "platform/win/Controls.h"
#include "platform/win/WindowActivation.h"
#include "scene/Script.h"
#include "tests/e2e/VorquellProgramTest.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

enum class Way { Mouse, Keys };

// Controls that find each dialog, and the buttons that close them.
constexpr int kSheetTab = 1117, kFrameTab = 100, kRecordStatus = 1086, kSoundPanel = 1032, kAutomatic = 1084,
              kTimed = 1063, kSwap = 1020, kArrangement = 1021, kStop = 1093, kProgress = 1095, kCopies = 105;

std::wstring TextOf(HWND window, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, id, text, 256);
  return text;
}

class DesktopDialogsTest : public vqtest::VorquellProgramTest {
 protected:
  explicit DesktopDialogsTest(const char* windowManager) : VorquellProgramTest(vqtest::Desktop{windowManager}) {}

  void SetUp() override {
    VorquellProgramTest::SetUp();
    if (IsSkipped()) return;
    server_.emplace();
    ASSERT_TRUE(server_->WaitForWindowManager());
    // A sheet without a word on the desk.
    vqscene::Scene desk = vqscene::EmptyDesk({1280, 960});
    desk.sheets.push_back(vqscene::PlaceSheet({640, 480}, {760, 520}, 0));
    desk.sheets.back().text = false;
    auto script = std::make_shared<vqscene::SceneScript>(desk, 1);
    script->Wait(3600);
    auto config = vq::dshow::VirtualCameraConfig::Document();
    config.sizes = {{1280, 960}};
    config.content.kind = vq::dshow::VirtualContent::Kind::Script;
    config.content.script = script;
    vq::dshow::PlugInVirtualCamera(config);
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\n"));
    // Nothing opens files here; the print dialog writes to a file.
    vqplatform::SetMessageBoxAnswer(nullptr);
  }

  void Click(HWND window, int id) { server_->ClickControl(window, id); }

  // Shown on the server with the keyboard focus, as the window manager
  // gives it to a new window of the program.
  bool ShownWithFocus(HWND window) {
    return vqtest::WaitFor([&] {
      return server_->ShowsInPlace(window) && server_->FocusedWindow() == vqplatform::PresentedXWindow(window) &&
             vqplatform::ForegroundWindowOfProcess() == window;
    });
  }

  void Shoot(HWND window, const std::string& name) {
    ASSERT_TRUE(vqplatform::FlushPresenter(2000));
    RECT r = vqtest::ScreenRectOf(window);
    server_->Grab(RECT{r.left - 4, r.top - 4, r.right + 4, r.bottom + 4})
        .SavePng(vqtest::ScreenshotPath(std::string(WindowManager()) + "-" + name + ".png"));
  }

  virtual const char* WindowManager() const = 0;

  std::optional<vqtest::XServer> server_;
};

// One dialog: how the user opens it from the main window, how it is found,
// and what closes it.
struct DialogCase {
  std::string name;
  std::function<void(HWND main)> open;
  int id, otherId;
  int closeButton;
  unsigned long closeKey;
  // The dialog is ready for the user (a recognition has ended).
  std::function<bool(HWND dialog)> ready = [](HWND) { return true; };
};

class DesktopDialogsClosedTest : public DesktopDialogsTest,
                                 public ::testing::WithParamInterface<std::tuple<const char*, Way>> {
 protected:
  DesktopDialogsClosedTest() : DesktopDialogsTest(std::get<0>(GetParam())) {}
  const char* WindowManager() const override { return std::get<0>(GetParam()); }

  // Opens the dialog, sees it shown with the focus, closes it as the
  // parameter says and sees the main window take the keys again.
  HWND OpenAndClose(HWND main, const DialogCase& c, const std::function<void(HWND dialog)>& inside = nullptr) {
    SCOPED_TRACE(c.name);
    c.open(main);
    HWND dialog = nullptr;
    EXPECT_TRUE(vqtest::WaitFor([&] { return (dialog = vqtest::ShownWindowWith(c.id, c.otherId)) && c.ready(dialog); }))
        << "not shown";
    if (!dialog) return nullptr;
    EXPECT_TRUE(ShownWithFocus(dialog)) << "no keys";
    Shoot(dialog, c.name);
    if (inside) inside(dialog);
    const bool keys = std::get<1>(GetParam()) == Way::Keys;
    if (keys)
      server_->PressKey(c.closeKey);
    else
      Click(dialog, c.closeButton);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }))
        << (keys ? "the key did not close it" : "the click did not close it");
    EXPECT_TRUE(vqtest::WaitFor([&] {
      return IsWindowEnabled(main) && vqplatform::ForegroundWindowOfProcess() == main &&
             server_->FocusedWindow() == vqplatform::PresentedXWindow(main);
    })) << "the main window has not the keys again: enabled " << IsWindowEnabled(main) << ", foreground "
        << vqplatform::ForegroundWindowOfProcess() << " (main " << main << "), X focus " << server_->FocusedWindow()
        << " (main's " << vqplatform::PresentedXWindow(main) << ")";
    return dialog;
  }
};

TEST_P(DesktopDialogsClosedTest, EveryDialogShowsWithTheKeysAndClosesByMouseAndKey) {
  const bool keys = std::get<1>(GetParam()) == Way::Keys;
  const fs::path model = program_ / "OCR_RLDA_LN_Gra.tpl";
  const auto opens = [this](int button) { return [this, button](HWND main) { Click(main, button); }; };
  const auto recognitionEnded = [](HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; };
  RunInProcess(*server_, [&](HWND main) {
    OpenAndClose(main, {"settings", opens(IDC_SETTINGS), kSheetTab, IDOK, IDCANCEL, XK_Escape});
    OpenAndClose(main, {"camera-properties", opens(IDC_VIDEO_PAGES), kFrameTab, IDOK, IDCANCEL, XK_Escape});
    OpenAndClose(main, {"recording", opens(IDC_RECORD), kRecordStatus, kSoundPanel, IDCANCEL, XK_Escape});
    OpenAndClose(main, {"continuous", opens(IDC_CONTINUOUS), kAutomatic, kTimed, IDCANCEL, XK_Escape});
    // Merging: a capture opens the dialog; OK with one picture asks for two
    // in a box without a caption.
    Click(main, IDC_MERGE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(main, IDC_MERGE) == BST_CHECKED; }));
    OpenAndClose(main, {"merge", opens(IDC_CAPTURE), kSwap, kArrangement, IDCANCEL, XK_Escape}, [&](HWND merge) {
      Click(merge, IDOK);
      HWND box = nullptr;
      ASSERT_TRUE(vqtest::WaitFor(
          [&] { return (box = vqtest::ShownWindow([&](HWND w) { return GetWindow(w, GW_OWNER) == merge; })); }))
          << "no message box";
      EXPECT_TRUE(ShownWithFocus(box));
      wchar_t title[32] = L"?";
      GetWindowTextW(box, title, 32);
      EXPECT_EQ(std::wstring(title), L"") << "a box given an empty caption";
      Shoot(box, "merge-message-box");
      if (keys)
        server_->PressKey(XK_Return);
      else
        Click(box, IDOK);
      EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(box); })) << "the box stayed";
      EXPECT_TRUE(ShownWithFocus(merge)) << "the merge dialog has not the keys again";
    });
    Click(main, IDC_MERGE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(main, IDC_MERGE) == BST_UNCHECKED; }));
    // Recognition: without its model, then a page without text.
    fs::remove(model);
    HWND ended = OpenAndClose(
        main, {"recognition-without-model", opens(IDC_RECOGNIZE), kStop, kProgress, IDOK, XK_Return, recognitionEnded},
        [](HWND dialog) { EXPECT_EQ(TextOf(dialog, 1086), L"OCR 库文件丢失"); });
    EXPECT_NE(ended, nullptr);
    if (!std::string(VQ_RECOGNITION_MODEL).empty()) {
      fs::create_symlink(VQ_RECOGNITION_MODEL, model);
      OpenAndClose(main,
                   {"recognition-without-text", opens(IDC_RECOGNIZE), kStop, kProgress, IDOK, XK_Escape,
                    recognitionEnded},
                   [](HWND dialog) { EXPECT_EQ(TextOf(dialog, 1086), L"OCR 失败或者被停止"); });
    }
    OpenAndClose(main, {"print", opens(IDC_COPY), kCopies, IDOK, IDCANCEL, XK_Escape});
  });
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, DesktopDialogsClosedTest,
                         ::testing::Combine(::testing::Values("openbox", "icewm", "xfwm4"),
                                            ::testing::Values(Way::Mouse, Way::Keys)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) == Way::Mouse ? "_mouse" : "_keys");
                         });

class DesktopSettingsSheetTest : public DesktopDialogsTest, public ::testing::WithParamInterface<const char*> {
 protected:
  DesktopSettingsSheetTest() : DesktopDialogsTest(GetParam()) {}
  const char* WindowManager() const override { return GetParam(); }

  // The sheet's focus, after the key, once it moved.
  HWND FocusAfter(unsigned long key, HWND before) {
    server_->PressKey(key);
    HWND focus = before;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      vqtest::OnIdleModalLoop(thread_, [&](HWND) { focus = GetFocus(); });
      return focus != before;
    })) << "the key did not move the focus";
    return focus;
  }

  DWORD thread_ = 0;
};

bool IsRadio(HWND control) {
  wchar_t name[32] = {};
  GetClassNameW(control, name, 32);
  const DWORD kind = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)) & BS_TYPEMASK;
  return std::wstring(name) == WC_BUTTON && (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON);
}

// A control, or for a radio button the first of its group.
HWND StandIn(HWND control) {
  if (!IsRadio(control)) return control;
  while (!(GetWindowLongW(control, GWL_STYLE) & WS_GROUP) && GetWindow(control, GW_HWNDPREV))
    control = GetWindow(control, GW_HWNDPREV);
  return control;
}

// What a user must reach on a page: each visible enabled control but
// labels and group boxes, a group of radio buttons once.
std::set<HWND> ControlsToReach(HWND page) {
  std::set<HWND> controls;
  for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(c, name, 32);
    const bool groupBox =
        std::wstring(name) == WC_BUTTON && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    if (IsWindowVisible(c) && IsWindowEnabled(c) && std::wstring(name) != WC_STATIC && !groupBox)
      controls.insert(StandIn(c));
  }
  return controls;
}

// Each page's walk: Tab from the tab strip round to it again reaches every
// control of the page shown and the sheet's buttons; Right on the strip
// shows the next page.
TEST_P(DesktopSettingsSheetTest, TabVisitsEveryEnabledControlOfEachPage) {
  RunInProcess(*server_, [&](HWND main) {
    Click(main, IDC_SETTINGS);
    HWND sheet = nullptr;
    ASSERT_TRUE(vqtest::WaitFor([&] { return (sheet = vqtest::ShownWindowWith(kSheetTab, IDOK)) != nullptr; }));
    ASSERT_TRUE(ShownWithFocus(sheet));
    thread_ = GetWindowThreadProcessId(sheet, nullptr);
    HWND tab = GetDlgItem(sheet, kSheetTab);
    HWND focus = nullptr;
    ASSERT_TRUE(vqtest::OnIdleModalLoop(thread_, [&](HWND) { focus = GetFocus(); }));
    for (int step = 0; focus != tab && step < 40; ++step) focus = FocusAfter(XK_Tab, focus);
    ASSERT_EQ(focus, tab) << "Tab never reached the tab strip";
    HWND shown = nullptr;
    for (int page = 0; page < 3; ++page) {
      SCOPED_TRACE("page " + std::to_string(page));
      const HWND before = shown;
      if (page > 0) server_->PressKey(XK_Right);
      ASSERT_TRUE(vqtest::WaitFor([&] {
        shown = nullptr;
        for (HWND p = GetWindow(tab, GW_CHILD); p; p = GetWindow(p, GW_HWNDNEXT))
          if (IsWindowVisible(p)) shown = shown ? HWND(-1) : p;
        return shown && shown != HWND(-1) && shown != before;
      })) << "Right showed no other page";
      Shoot(sheet, "settings-page-" + std::to_string(page));
      std::set<HWND> reached;
      for (int step = 0; step < 60; ++step) {
        focus = FocusAfter(XK_Tab, focus);
        if (focus == tab) break;
        HWND control = focus;
        while (control && GetParent(control) != shown && GetParent(control) != sheet) control = GetParent(control);
        if (control) reached.insert(StandIn(control));
      }
      EXPECT_EQ(focus, tab) << "Tab did not come round to the tab strip";
      std::set<HWND> expected = ControlsToReach(shown);
      for (int id : {1032, IDOK, IDCANCEL}) expected.insert(GetDlgItem(sheet, id));
      EXPECT_EQ(reached, expected);
      EXPECT_GT(expected.size(), 7u);
    }
    server_->PressKey(XK_Escape);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(sheet); }));
  });
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, DesktopSettingsSheetTest, ::testing::Values("openbox", "icewm", "xfwm4"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
