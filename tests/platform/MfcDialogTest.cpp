// Framework dialogs: message maps with inherited entries, data exchange
// with validation, modal and modeless dialogs, and the application loop.
#include <gtest/gtest.h>

#include "platform/mfc/CDC.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/CWinApp.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "platform/win/InputFocus.h"
#include "platform/win/TestInput.h"
#include "tests/support/Windows.h"

namespace {

using vqplatform::ModalScript;

enum { kTemplate = 4800, kCount = 1001, kTitle, kAuto, kRadioA, kRadioB, kSlider, kCombo, kApply };
constexpr UINT kCustomMessage = WM_APP + 5;

const DialogTemplate& Settings() {
  static const DialogTemplate table{
      WS_POPUP | DS_SETFONT, 0, 0, 0, 200, 120, L"Settings", L"MS Shell Dlg", 9,
      {
          {kCount, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, 7, 7, 60, 14},
          {kTitle, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, 7, 25, 60, 14},
          {kAuto, WC_BUTTON, L"Auto", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 7, 43, 60, 10},
          {kRadioA, WC_BUTTON, L"A", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 7, 57, 30, 10},
          {kRadioB, WC_BUTTON, L"B", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 40, 57, 30, 10},
          {kSlider, TRACKBAR_CLASS, L"", WS_VISIBLE | WS_TABSTOP | WS_GROUP, 0, 7, 70, 100, 15},
          {kCombo, WC_COMBOBOX, L"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST, 0, 7, 90, 60, 50},
          {kApply, WC_BUTTON, L"Apply", WS_VISIBLE | WS_TABSTOP, 0, 120, 7, 50, 14},
          {IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 120, 25, 50, 14},
          {IDCANCEL, WC_BUTTON, L"Cancel", WS_VISIBLE | WS_TABSTOP, 0, 120, 43, 50, 14},
      }};
  return table;
}

class BaseDlg : public CDialog {
 public:
  using CDialog::CDialog;
  int customCalls = 0;

 protected:
  LRESULT OnCustom(WPARAM wParam, LPARAM) {
    ++customCalls;
    return static_cast<LRESULT>(wParam * 2);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(BaseDlg, CDialog)
ON_MESSAGE(kCustomMessage, OnCustom)
END_MESSAGE_MAP()

class SettingsDlg : public BaseDlg {
 public:
  SettingsDlg() : BaseDlg(kTemplate) {}
  int count = 5;
  CString title = L"scan";
  int autoOn = 1;
  int choice = 1;
  int level = 30;
  CComboBox combo;
  int applied = 0;
  int edits = 0;
  int released = 0;

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Text(dx, kCount, count);
    DDV_MinMaxInt(dx, count, 0, 100);
    DDX_Text(dx, kTitle, title);
    DDX_Check(dx, kAuto, autoOn);
    DDX_Radio(dx, kRadioA, choice);
    DDX_Slider(dx, kSlider, level);
    DDX_Control(dx, kCombo, combo);
  }
  BOOL OnInitDialog() override {
    CSliderCtrl slider;
    slider.Attach(::GetDlgItem(m_hWnd, kSlider));
    slider.SetRange(0, 100);
    slider.Detach();
    CDialog::OnInitDialog();
    combo.AddString(L"JPG");
    combo.AddString(L"TIF");
    combo.SetCurSel(1);
    return TRUE;
  }
  void OnApply() { ++applied; }
  void OnCountChange() { ++edits; }
  void OnSliderReleased(NMHDR*, LRESULT* result) {
    ++released;
    *result = 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SettingsDlg, BaseDlg)
ON_BN_CLICKED(kApply, OnApply)
ON_EN_CHANGE(kCount, OnCountChange)
ON_NOTIFY(NM_RELEASEDCAPTURE, kSlider, OnSliderReleased)
END_MESSAGE_MAP()

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(dialog, id, text, 64);
  return text;
}

class MfcDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqplatform::RegisterDialogTemplate(kTemplate, &Settings());
    vqplatform::ClearMessageBoxLog();
  }
};

TEST_F(MfcDialogTest, DataGoesIntoTheControlsAndComesBackOnOk) {
  SettingsDlg dialog;
  std::wstring shownCount, shownTitle;
  ModalScript script({
      [&](HWND d) {
        shownCount = ItemText(d, kCount);
        shownTitle = ItemText(d, kTitle);
        EXPECT_EQ(IsDlgButtonChecked(d, kRadioB), static_cast<UINT>(BST_CHECKED));
        EXPECT_EQ(SendDlgItemMessageW(d, kSlider, TBM_GETPOS, 0, 0), 30);
        vqplatform::TypeText(L"8");  // the count edit has the focus, all selected
        vqplatform::ClickControl(d, kRadioA);
        vqplatform::ClickControl(d, kAuto);
      },
      [](HWND d) { vqplatform::ClickControl(d, IDOK); },
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(shownCount, L"5");
  EXPECT_EQ(shownTitle, L"scan");
  EXPECT_EQ(dialog.count, 8);
  EXPECT_EQ(dialog.choice, 0);
  EXPECT_EQ(dialog.autoOn, 0);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(dialog.combo.m_hWnd, nullptr);
  EXPECT_GE(dialog.edits, 1);
}

TEST_F(MfcDialogTest, RangeFailureShowsTheStandardMessageAndStopsTheExchange) {
  SettingsDlg dialog;
  bool focusOnCount = false;
  ModalScript script({
      [](HWND d) {
        SetDlgItemTextW(d, kCount, L"150");
        SetDlgItemTextW(d, kTitle, L"changed");
        vqplatform::ClickControl(d, IDOK);
      },
      [&](HWND d) {
        focusOnCount = GetFocus() == GetDlgItem(d, kCount);
        SetDlgItemTextW(d, kCount, L"abc");
        vqplatform::PressKey(VK_RETURN);
      },
      [](HWND d) {
        SetDlgItemTextW(d, kCount, L"100");
        vqplatform::PressKey(VK_RETURN);
      },
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_TRUE(focusOnCount);
  auto log = vqplatform::MessageBoxLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].text, L"Please enter an integer between 0 and 100.");
  EXPECT_EQ(log[1].text, L"Please enter an integer.");
  EXPECT_EQ(dialog.count, 100);
  EXPECT_EQ(dialog.title, L"changed");
}

TEST_F(MfcDialogTest, MessageMapsRouteCommandsNotificationsAndMessagesWithInheritance) {
  SettingsDlg dialog;
  LRESULT answered = 0;
  ModalScript script({
      [&](HWND d) {
        vqplatform::ClickControl(d, kApply);
        answered = SendMessageW(d, kCustomMessage, 21, 0);
        RECT rect{};
        GetClientRect(GetDlgItem(d, kSlider), &rect);
        vqplatform::ClickAt(GetDlgItem(d, kSlider), POINT{rect.right - 1, rect.bottom / 2});
      },
      [](HWND d) { vqplatform::PressKey(VK_ESCAPE), (void)d; },
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.applied, 1);
  EXPECT_EQ(answered, 42);
  EXPECT_EQ(dialog.customCalls, 1);
  EXPECT_EQ(dialog.released, 1);
  EXPECT_EQ(dialog.level, 30);  // cancelled: nothing exchanged back
}

TEST_F(MfcDialogTest, ControlObjectsWrapTheirWindows) {
  SettingsDlg dialog;
  CString second;
  ModalScript script({[&](HWND d) {
    EXPECT_EQ(CWnd::FromHandle(GetDlgItem(d, kCombo)), &dialog.combo);
    EXPECT_EQ(dialog.combo.GetCount(), 2);
    dialog.combo.GetLBText(dialog.combo.GetCurSel(), second);
    EXPECT_EQ(dialog.GetDlgItem(kApply)->GetDlgCtrlID(), kApply);
    dialog.EndDialog(7);
  }});
  EXPECT_EQ(dialog.DoModal(), 7);
  EXPECT_EQ(second, L"TIF");
}

class SelfDeletingDlg : public CDialog {
 public:
  explicit SelfDeletingDlg(bool* deleted) : CDialog(kTemplate), deleted_(deleted) {}
  ~SelfDeletingDlg() override { *deleted_ = true; }

 protected:
  void PostNcDestroy() override { delete this; }
  void OnCancel() override { DestroyWindow(); }

 private:
  bool* deleted_;
};

TEST_F(MfcDialogTest, ModelessDialogDeletesItselfWhenDestroyed) {
  bool deleted = false;
  auto* dialog = new SelfDeletingDlg(&deleted);
  ASSERT_TRUE(dialog->Create(kTemplate));
  HWND hwnd = dialog->GetSafeHwnd();
  ASSERT_TRUE(IsWindow(hwnd));
  dialog->ShowWindow(SW_SHOW);
  vqplatform::ClickControl(hwnd, IDCANCEL);
  vqtest::DispatchQueued(hwnd);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_TRUE(deleted);
}

class KeyEater : public CDialog {
 public:
  KeyEater() : CDialog(kTemplate) {}
  int eaten = 0;
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) {
      ++eaten;
      return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
  }
};

TEST_F(MfcDialogTest, TheApplicationLoopAndTheTestPumpOfferMessagesToPreTranslateMessage) {
  CWinApp app(L"Test");
  KeyEater window;
  ASSERT_TRUE(window.Create(kTemplate));
  app.m_pMainWnd = &window;
  EXPECT_EQ(AfxGetMainWnd(), &window);
  PostMessageW(GetDlgItem(window.m_hWnd, kCount), WM_KEYDOWN, VK_F5, 0);
  PostMessageW(GetDlgItem(window.m_hWnd, kCount), WM_CHAR, L'z', 0);
  PostQuitMessage(0);
  EXPECT_EQ(app.Run(), 0);
  EXPECT_EQ(window.eaten, 1);
  EXPECT_EQ(ItemText(window.m_hWnd, kCount), L"z");
  // The tests' pump offers them too, as every loop of the thread does.
  PostMessageW(GetDlgItem(window.m_hWnd, kCount), WM_KEYDOWN, VK_F5, 0);
  vqtest::DispatchQueued();
  EXPECT_EQ(window.eaten, 2);
  window.DestroyWindow();
}

class ClickPad : public CWnd {
 public:
  explicit ClickPad(bool* ended) : ended_(ended) {}
  int clicks = 0;
  int created = 0;
  int focused = 0;
  UINT lastKey = 0;
  CPoint last;

 protected:
  void OnLButtonDown(UINT, CPoint point) {
    ++clicks;
    last = point;
  }
  int OnCreate(LPCREATESTRUCT create) {
    created += create ? 1 : 0;
    return 0;
  }
  void OnSetFocus(CWnd*) { ++focused; }
  void OnKeyDown(UINT key, UINT, UINT) { lastKey = key; }
  void PostNcDestroy() override { *ended_ = true; }
  DECLARE_MESSAGE_MAP()

 private:
  bool* ended_;
};

BEGIN_MESSAGE_MAP(ClickPad, CWnd)
ON_WM_LBUTTONDOWN()
ON_WM_CREATE()
ON_WM_SETFOCUS()
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, FrameworkWindowsGetTheirMessagesFromCreation) {
  KeyEater host;
  ASSERT_TRUE(host.Create(kTemplate));
  bool ended = false;
  ClickPad pad(&ended);
  ASSERT_TRUE(pad.Create(nullptr, L"pad", WS_VISIBLE, RECT{10, 10, 60, 40}, &host, 77));
  EXPECT_EQ(GetDlgItem(host.m_hWnd, 77), pad.m_hWnd);
  EXPECT_EQ(CWnd::FromHandle(pad.m_hWnd), &pad);
  vqplatform::ClickAt(pad.m_hWnd, POINT{7, 9});
  vqtest::DispatchQueued(host.m_hWnd);
  EXPECT_EQ(pad.clicks, 1);
  EXPECT_EQ(pad.last, CPoint(7, 9));
  EXPECT_EQ(pad.created, 1);
  pad.SetFocus();
  EXPECT_EQ(pad.focused, 1);
  vqplatform::PressKey(VK_F7);
  vqtest::DispatchQueued();
  EXPECT_EQ(pad.lastKey, static_cast<UINT>(VK_F7));
  CButton button;
  ASSERT_TRUE(button.Create(WC_BUTTON, L"Go", WS_VISIBLE | BS_AUTOCHECKBOX, RECT{10, 50, 80, 70}, &host, 78));
  vqplatform::ClickControl(host.m_hWnd, 78);
  vqtest::DispatchQueued(host.m_hWnd);
  EXPECT_EQ(button.GetCheck(), BST_CHECKED);
  host.DestroyWindow();
  EXPECT_TRUE(ended);
  EXPECT_EQ(pad.m_hWnd, nullptr);
  EXPECT_EQ(button.m_hWnd, nullptr);
}

class FormatCombo : public CComboBox {
 public:
  int accepted = 0;

 protected:
  void OnSelEndOk() { ++accepted; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(FormatCombo, CComboBox)
ON_CBN_SELENDOK_REFLECT(OnSelEndOk)
END_MESSAGE_MAP()

class ColoredDlg : public CDialog {
 public:
  ColoredDlg() : CDialog(kTemplate) {}
  FormatCombo combo;
  CSliderCtrl slider;
  int parentSaw = 0;
  CScrollBar* scrolled = nullptr;
  UINT scrollCode = 0;
  HBRUSH brush = CreateSolidBrush(RGB(238, 238, 238));
  ~ColoredDlg() override { DeleteObject(brush); }

 protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, kCombo, combo);
    DDX_Control(dx, kSlider, slider);
  }
  void OnHScroll(UINT code, UINT, CScrollBar* bar) {
    scrollCode = code;
    scrolled = bar;
  }
  HBRUSH OnCtlColor(CDC*, CWnd*, UINT kind) { return kind == CTLCOLOR_STATIC ? brush : nullptr; }
  void OnComboEnd() { ++parentSaw; }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ColoredDlg, CDialog)
ON_WM_CTLCOLOR()
ON_WM_HSCROLL()
ON_CBN_SELENDOK(kCombo, OnComboEnd)
END_MESSAGE_MAP()

TEST_F(MfcDialogTest, ReflectedNotificationsReachTheControlObjectFirst) {
  ColoredDlg dialog;
  ASSERT_TRUE(dialog.Create(kTemplate));
  dialog.combo.AddString(L"JPG");
  dialog.combo.AddString(L"PDF");
  dialog.combo.SetFocus();
  vqplatform::PressKey(VK_DOWN);
  vqtest::DispatchQueued(dialog.m_hWnd);
  EXPECT_EQ(dialog.combo.GetCurSel(), 0);
  EXPECT_EQ(dialog.combo.accepted, 1);
  EXPECT_EQ(dialog.parentSaw, 0);
  HDC dc = GetDC(dialog.m_hWnd);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageW(dialog.m_hWnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                  reinterpret_cast<LPARAM>(GetDlgItem(dialog.m_hWnd, kAuto)))),
            dialog.brush);
  EXPECT_EQ(SendMessageW(dialog.m_hWnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), 0), 0);
  ReleaseDC(dialog.m_hWnd, dc);

  // A slider's scroll names the slider's own object, whose id can be asked.
  dialog.slider.SetRange(0, 10);
  dialog.slider.SetFocus();
  vqplatform::PressKey(VK_RIGHT);
  vqtest::DispatchQueued(dialog.m_hWnd);
  ASSERT_EQ(dialog.scrolled, &dialog.slider);
  EXPECT_EQ(dialog.scrolled->GetDlgCtrlID(), kSlider);
  dialog.DestroyWindow();
}

}  // namespace
