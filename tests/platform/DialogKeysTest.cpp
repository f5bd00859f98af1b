// The dialog manager's keys without a display: a modeless dialog has Tab,
// Shift+Tab, Return, Esc and the arrows in whichever loop runs (its owner's
// modal loop, the application's loop); Tab goes into the page a tab control
// shows; a control disabled while it has the focus passes it on.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/mfc/CDialog.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/Controls.h"
#include "platform/win/DialogKeys.h"
#include "platform/win/InputFocus.h"
#include "platform/win/TestInput.h"

namespace {

enum { kOwnerTemplate = 4900, kShootTemplate, kSheetTemplate, kPageTemplate, kOtherPageTemplate };
enum { kTimed = 1063, kAutomatic = 1084, kSeconds = 1026, kPause = 1032, kTab = 1117, kName = 1201, kSharp, kSize };
constexpr UINT kNextStep = WM_APP + 1;

// A main window whose accelerator-like keys must never see the keys of a
// dialog it owns; it runs the test's steps one by one from its queue, so
// each step comes after the input the one before posted.
const DialogTemplate& OwnerTemplate() {
  static const DialogTemplate t{WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 200, 100, L"Main", L"MS Shell Dlg", 9,
                                {{IDOK, WC_BUTTON, L"Capture", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 7, 7, 50,
                                  14}}};
  return t;
}

// The continuous-shooting dialog's controls.
const DialogTemplate& ShootTemplate() {
  static const DialogTemplate t{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 244, 90, L"连续拍摄", L"MS Shell Dlg", 9,
      {
          {1139, WC_BUTTON, L"连拍方式", WS_VISIBLE | WS_GROUP | BS_GROUPBOX, 0, 7, 4, 150, 46},
          {kTimed, WC_BUTTON, L"定时", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 14, 17, 44, 10},
          {kAutomatic, WC_BUTTON, L"智能连拍", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 14, 34, 100, 10},
          {kSeconds, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | WS_GROUP | WS_BORDER, 0, 60, 16, 40, 12},
          {IDOK, WC_BUTTON, L"开始连拍", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 166, 6, 70, 14},
          {kPause, WC_BUTTON, L"暂停连拍", WS_VISIBLE | WS_TABSTOP, 0, 166, 22, 70, 14},
          {IDCANCEL, WC_BUTTON, L"停止连拍", WS_VISIBLE | WS_TABSTOP, 0, 166, 38, 70, 14},
      }};
  return t;
}

// A settings sheet: its pages are children of the tab control.
const DialogTemplate& SheetTemplate() {
  static const DialogTemplate t{WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 274, 200, L"设置系统参数",
                                L"MS Shell Dlg", 9,
                                {
                                    {kTab, WC_TABCONTROL, L"", WS_VISIBLE | WS_TABSTOP, 0, 7, 7, 260, 160},
                                    {IDOK, WC_BUTTON, L"确定", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 150, 176,
                                     50, 14},
                                    {IDCANCEL, WC_BUTTON, L"取消", WS_VISIBLE | WS_TABSTOP, 0, 210, 176, 50, 14},
                                }};
  return t;
}

const DialogTemplate& PageTemplate() {
  static const DialogTemplate t{WS_CHILD | DS_CONTROL | DS_SETFONT, 0, 0, 0, 250, 130, L"", L"MS Shell Dlg", 9,
                                {
                                    {-1, WC_STATIC, L"水印位置", WS_VISIBLE, 0, 7, 7, 50, 10},
                                    {kName, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 60, 7, 80, 12},
                                    {kSharp, WC_BUTTON, L"时间水印", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 7, 25,
                                     80, 10},
                                    {kSize, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | WS_DISABLED | WS_BORDER, 0, 60, 40,
                                     80, 12},
                                }};
  return t;
}

const DialogTemplate& OtherPageTemplate() {
  static const DialogTemplate t{WS_CHILD | DS_CONTROL | DS_SETFONT, 0, 0, 0, 250, 130, L"", L"MS Shell Dlg", 9,
                                {{kSize, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | WS_BORDER, 0, 60, 7, 80, 12}}};
  return t;
}

using Step = std::function<void()>;

class OwnerDlg : public CDialog {
 public:
  OwnerDlg(std::vector<Step> steps, bool modal) : CDialog(kOwnerTemplate), steps_(std::move(steps)), modal_(modal) {}
  int commands = 0;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    PostMessage(kNextStep);
    return TRUE;
  }
  void OnOK() override { ++commands; }
  LRESULT OnNextStep(WPARAM, LPARAM) {
    if (next_ < steps_.size()) {
      steps_[next_++]();
      PostMessage(kNextStep);
    } else if (modal_) {
      EndDialog(IDCANCEL);
    } else {
      PostQuitMessage(0);
    }
    return 0;
  }
  DECLARE_MESSAGE_MAP()

 private:
  std::vector<Step> steps_;
  bool modal_;
  size_t next_ = 0;
};

BEGIN_MESSAGE_MAP(OwnerDlg, CDialog)
ON_MESSAGE(kNextStep, OnNextStep)
END_MESSAGE_MAP()

class ShootDlg : public CDialog {
 public:
  ShootDlg() : CDialog(kShootTemplate) {}
  int starts = 0, pauses = 0, stops = 0;

 protected:
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    CheckRadioButton(kTimed, kAutomatic, kAutomatic);
    return TRUE;
  }
  void OnOK() override { ++starts; }
  void OnCancel() override { ++stops; }
  void OnPause() { ++pauses; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ShootDlg, CDialog)
ON_BN_CLICKED(kPause, OnPause)
END_MESSAGE_MAP()

// A key as the keyboard gives it, with Shift held when asked.
void Press(int key, bool shift = false) {
  HWND focus = GetFocus();
  ASSERT_NE(focus, nullptr);
  if (shift) PostMessageW(focus, WM_KEYDOWN, VK_SHIFT, 1);
  vqplatform::PressKey(key);
  if (shift) PostMessageW(focus, WM_KEYUP, VK_SHIFT, static_cast<LPARAM>(0xC0000001));
}

std::wstring TextOf(HWND window) {
  wchar_t text[64] = {};
  GetWindowTextW(window, text, 64);
  return text;
}

class DialogKeysTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqplatform::RegisterDialogTemplate(kOwnerTemplate, &OwnerTemplate());
    vqplatform::RegisterDialogTemplate(kShootTemplate, &ShootTemplate());
    vqplatform::RegisterDialogTemplate(kSheetTemplate, &SheetTemplate());
    vqplatform::RegisterDialogTemplate(kPageTemplate, &PageTemplate());
    vqplatform::RegisterDialogTemplate(kOtherPageTemplate, &OtherPageTemplate());
  }
};

// The loop the main window runs: its own modal loop (as the capture
// program's main window does), or the application's.
class ModelessDialogKeysTest : public DialogKeysTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ModelessDialogKeysTest, ModelessDialogHasTheDialogKeysWhateverLoopRuns) {
  const bool modal = GetParam();
  ShootDlg shoot;
  OwnerDlg* ownerWindow = nullptr;
  std::vector<HWND> focused;
  auto note = [&] { focused.push_back(GetFocus()); };
  UINT checked = 0;
  std::wstring typed;
  std::map<int, HWND> items;
  std::vector<Step> steps{
      [&] {
        ASSERT_TRUE(shoot.Create(kShootTemplate, ownerWindow));
        shoot.ShowWindow(SW_SHOW);
        note();  // opens on the checked radio
        Press(VK_UP);
      },
      [&] { note(); Press(VK_TAB); },
      [&] {
        note();
        vqplatform::TypeText(L"7");
        Press(VK_TAB);
      },
      [&] { note(); Press(VK_TAB); },
      [&] { note(); Press(VK_RETURN); },  // the focused button
      [&] { note(); Press(VK_TAB, true); },
      [&] { note(); Press(VK_TAB, true); },
      [&] { note(); Press(VK_RETURN); },  // the default button
      [&] { Press(VK_ESCAPE); },
      [&] {
        checked = shoot.IsDlgButtonChecked(kTimed);
        typed = TextOf(::GetDlgItem(shoot.m_hWnd, kSeconds));
        for (int id : {int(kAutomatic), int(kTimed), int(kSeconds), IDOK, int(kPause)})
          items[id] = ::GetDlgItem(shoot.m_hWnd, id);
        shoot.DestroyWindow();
      },
  };
  OwnerDlg owner(steps, modal);
  ownerWindow = &owner;
  if (modal) {
    owner.DoModal();
  } else {
    CWinApp app(L"Keys");
    ASSERT_TRUE(owner.Create(kOwnerTemplate));
    owner.ShowWindow(SW_SHOW);
    app.m_pMainWnd = &owner;
    app.Run();
    app.m_pMainWnd = nullptr;
  }
  EXPECT_EQ(focused, (std::vector<HWND>{items[kAutomatic], items[kTimed], items[kSeconds], items[IDOK], items[kPause],
                                         items[kPause], items[IDOK], items[kSeconds]}));
  EXPECT_EQ(checked, static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(typed, L"7");
  EXPECT_EQ(shoot.pauses, 1);
  EXPECT_EQ(shoot.starts, 1);
  EXPECT_EQ(shoot.stops, 1);
  EXPECT_EQ(owner.commands, 0) << "the main window had a key of the dialog";
  if (owner.m_hWnd) owner.DestroyWindow();
}

INSTANTIATE_TEST_SUITE_P(Loops, ModelessDialogKeysTest, ::testing::Bool());

// Pages inside the tab control, one shown: Tab and Shift+Tab walk the tab
// strip, the shown page's enabled controls and the buttons; Return in a
// page presses the sheet's default button.
TEST_F(DialogKeysTest, TabWalksThroughTheShownPageOfATabControl) {
  std::vector<HWND> pages;
  auto handler = [&](HWND sheet, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
    if (message == WM_INITDIALOG) {
      HWND tab = GetDlgItem(sheet, kTab);
      for (int id : {int(kPageTemplate), int(kOtherPageTemplate)}) {
        HWND page = vqplatform::CreateDialogFromTemplate(*vqplatform::FindDialogTemplate(id), tab, nullptr, 0);
        MoveWindow(page, 4, 24, 240, 120, FALSE);
        pages.push_back(page);
      }
      ShowWindow(pages[0], SW_SHOW);
      *result = TRUE;
      return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
      EndDialog(sheet, LOWORD(wParam));
      return true;
    }
    return false;
  };
  std::vector<HWND> forward, backward;
  std::vector<vqplatform::ModalScript::Step> steps;
  constexpr int kWalk = 6;
  for (int i = 0; i < kWalk; ++i)
    steps.push_back([&](HWND) {
      forward.push_back(GetFocus());
      Press(VK_TAB);
    });
  for (int i = 0; i < kWalk; ++i)
    steps.push_back([&](HWND) {
      backward.push_back(GetFocus());
      Press(VK_TAB, true);
    });
  steps.push_back([&](HWND) {
    SetFocus(GetDlgItem(pages[0], kName));
    Press(VK_RETURN);
  });
  vqplatform::ModalScript script(steps);
  HWND sheet = vqplatform::CreateDialogFromTemplate(SheetTemplate(), nullptr, handler, 0);
  ASSERT_NE(sheet, nullptr);
  HWND tab = GetDlgItem(sheet, kTab), name = GetDlgItem(pages[0], kName), sharp = GetDlgItem(pages[0], kSharp);
  HWND ok = GetDlgItem(sheet, IDOK), cancel = GetDlgItem(sheet, IDCANCEL);
  EXPECT_EQ(vqplatform::RunModalDialog(sheet, nullptr), IDOK) << "Return in the page";
  // The disabled size field and the hidden page are skipped.
  EXPECT_EQ(forward, (std::vector<HWND>{tab, name, sharp, ok, cancel, tab}));
  EXPECT_EQ(backward, (std::vector<HWND>{name, tab, cancel, ok, sharp, name}));
}

// A control disabled while it has the focus (the recognition dialog's stop
// button at the end) hands it to the next one: Return and Esc still work.
TEST_F(DialogKeysTest, DisablingTheFocusedControlPassesTheFocusOn) {
  const DialogTemplate progress{
      WS_POPUP | WS_BORDER | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 324, 96, L"", L"宋体", 9,
      {{IDOK, WC_BUTTON, L"确定", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON | WS_DISABLED, 0, 186, 74, 62, 14},
       {1093, WC_BUTTON, L"停止识别", WS_VISIBLE | WS_TABSTOP, 0, 254, 74, 62, 14}}};
  for (int key : {VK_RETURN, VK_ESCAPE}) {
    HWND focusAfter = nullptr;
    vqplatform::ModalScript script({
        [&](HWND d) {
          EXPECT_EQ(GetFocus(), GetDlgItem(d, 1093));
          EnableWindow(GetDlgItem(d, IDOK), TRUE);  // the end, as the recognition reports it
          EnableWindow(GetDlgItem(d, 1093), FALSE);
          focusAfter = GetFocus();
          Press(key);
        },
    });
    HWND dialog = vqplatform::CreateDialogFromTemplate(
        progress, nullptr,
        [](HWND d, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
          if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
          EndDialog(d, LOWORD(wParam));
          return true;
        },
        0);
    ASSERT_NE(dialog, nullptr);
    HWND ok = GetDlgItem(dialog, IDOK);
    EXPECT_EQ(vqplatform::RunModalDialog(dialog, nullptr), key == VK_RETURN ? IDOK : IDCANCEL);
    EXPECT_EQ(focusAfter, ok);
  }
}

}  // namespace

namespace {

// A multi-line edit in a dialog (the prefix editor's list): Tab and Esc stay
// the dialog's (the next control, cancel) whatever its styles; Return is the
// edit's only with ES_WANTRETURN, else it presses the default button.
class MultiLineEditKeysTest : public ::testing::TestWithParam<std::tuple<bool, int>> {};

TEST_P(MultiLineEditKeysTest, TabAndEscAreTheDialogsAndReturnTheEditsOnlyWhenItWantsIt) {
  const auto [wantReturn, key] = GetParam();
  const DialogTemplate editor{
      WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT, 0, 0, 0, 173, 70, L"编辑", L"MS Shell Dlg", 9,
      {{1090, WC_EDIT, L"",
        static_cast<DWORD>(WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL |
                           (wantReturn ? ES_WANTRETURN : 0)),
        WS_EX_CLIENTEDGE, 7, 7, 159, 26},
       {IDOK, WC_BUTTON, L"确定", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, 0, 30, 50, 50, 14},
       {IDCANCEL, WC_BUTTON, L"取消", WS_VISIBLE | WS_TABSTOP, 0, 93, 50, 50, 14}}};
  constexpr INT_PTR kStillOpen = 99;
  HWND focusAfter = nullptr;
  std::wstring textAfter;
  vqplatform::ModalScript script({
      [&](HWND d) {
        HWND edit = GetDlgItem(d, 1090);
        EXPECT_EQ(GetFocus(), edit);
        SetWindowTextW(edit, L"IMG|TXT");
        SendMessageW(edit, EM_SETSEL, 7, 7);
        Press(key);
      },
      [&](HWND d) {
        focusAfter = GetFocus();
        textAfter = TextOf(GetDlgItem(d, 1090));
        EndDialog(d, kStillOpen);
      },
  });
  HWND dialog = vqplatform::CreateDialogFromTemplate(
      editor, nullptr,
      [&](HWND d, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
        if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
        focusAfter = GetFocus();
        textAfter = TextOf(GetDlgItem(d, 1090));
        EndDialog(d, LOWORD(wParam));
        return true;
      },
      0);
  ASSERT_NE(dialog, nullptr);
  HWND ok = GetDlgItem(dialog, IDOK), edit = GetDlgItem(dialog, 1090);
  const INT_PTR ended = vqplatform::RunModalDialog(dialog, nullptr);
  switch (key) {
    case VK_TAB:
      EXPECT_EQ(ended, kStillOpen);
      EXPECT_EQ(focusAfter, ok) << "Tab moves on";
      EXPECT_EQ(textAfter, L"IMG|TXT") << "Tab went into the text";
      break;
    case VK_ESCAPE:
      EXPECT_EQ(ended, IDCANCEL);
      EXPECT_EQ(textAfter, L"IMG|TXT");
      break;
    default:
      if (wantReturn) {
        EXPECT_EQ(ended, kStillOpen);
        EXPECT_EQ(textAfter, L"IMG|TXT\r\n") << "Return is the edit's line break";
        EXPECT_EQ(focusAfter, edit);
      } else {
        EXPECT_EQ(ended, IDOK) << "Return presses the default button";
        EXPECT_EQ(textAfter, L"IMG|TXT");
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Styles, MultiLineEditKeysTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(VK_TAB, VK_RETURN, VK_ESCAPE)),
                         [](const auto& info) {
                           const int key = std::get<1>(info.param);
                           return std::string(std::get<0>(info.param) ? "WantReturn_" : "Plain_") +
                                  (key == VK_TAB ? "Tab" : key == VK_RETURN ? "Return" : "Escape");
                         });

}  // namespace
