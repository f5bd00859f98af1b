// Framework dialogs made from templates get WM_CREATE through their message
// map, once and before OnInitDialog, modal or modeless; OnCreate returning -1
// stops the creation.
#include <gtest/gtest.h>

#include <string>

#include "platform/mfc/CDialog.h"
#include "platform/win/TestInput.h"
#include "tests/support/Windows.h"

namespace {

enum { kTemplate = 4820, kVisibleTemplate, kName = 1001 };

const DialogTemplate& Plain(DWORD visible) {
  static const DialogTemplate hidden{WS_POPUP | DS_SETFONT, 0, 0, 0, 120, 60, L"Create", L"MS Shell Dlg", 9,
                                     {
                                         {kName, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP, 0, 7, 7, 60, 14},
                                         {IDCANCEL, WC_BUTTON, L"Cancel", WS_VISIBLE | WS_TABSTOP, 0, 60, 30, 50, 14},
                                     }};
  static const DialogTemplate shown = [] {
    DialogTemplate t = hidden;
    t.style |= WS_VISIBLE;
    return t;
  }();
  return visible ? shown : hidden;
}

class CreatingDlg : public CDialog {
 public:
  explicit CreatingDlg(UINT templateId, int createResult = 0) : CDialog(templateId), createResult_(createResult) {}
  std::string events;
  HWND createdWindow = nullptr;
  bool controlsAtCreate = true;
  std::wstring captionAtCreate;

 protected:
  int OnCreate(LPCREATESTRUCT create) {
    events += "create;";
    createdWindow = m_hWnd;
    controlsAtCreate = ::GetDlgItem(m_hWnd, kName) != nullptr;
    if (create && create->lpszName) captionAtCreate = create->lpszName;
    if (CDialog::DefWindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(create)) == -1) return -1;
    return createResult_;
  }
  BOOL OnInitDialog() override {
    events += "init;";
    return CDialog::OnInitDialog();
  }
  DECLARE_MESSAGE_MAP()

 private:
  int createResult_;
};

BEGIN_MESSAGE_MAP(CreatingDlg, CDialog)
ON_WM_CREATE()
END_MESSAGE_MAP()

class MfcDialogCreateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqplatform::RegisterDialogTemplate(kTemplate, &Plain(0));
    vqplatform::RegisterDialogTemplate(kVisibleTemplate, &Plain(WS_VISIBLE));
  }
};

TEST_F(MfcDialogCreateTest, ModalDialogSeesOnCreateOnceBeforeOnInitDialog) {
  CreatingDlg dialog(kTemplate);
  std::string eventsWhenShown;
  HWND shownWindow = nullptr;
  vqplatform::ModalScript script({[&](HWND d) {
    eventsWhenShown = dialog.events;
    shownWindow = d;
    vqplatform::ClickControl(d, IDCANCEL);
  }});
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(eventsWhenShown, "create;init;");
  EXPECT_EQ(dialog.createdWindow, shownWindow);
  EXPECT_FALSE(dialog.controlsAtCreate);  // the controls come after WM_CREATE
  EXPECT_EQ(dialog.captionAtCreate, L"Create");
  EXPECT_EQ(dialog.events, "create;init;");
}

TEST_F(MfcDialogCreateTest, ModelessDialogSeesOnCreateOnceBeforeOnInitDialog) {
  for (UINT templateId : {kTemplate, kVisibleTemplate}) {
    CreatingDlg dialog(templateId);
    ASSERT_TRUE(dialog.Create(templateId));
    EXPECT_EQ(dialog.events, "create;init;") << templateId;
    EXPECT_EQ(dialog.createdWindow, dialog.GetSafeHwnd());
    EXPECT_EQ(IsWindowVisible(dialog.GetSafeHwnd()) != FALSE, templateId == kVisibleTemplate);
    dialog.ShowWindow(SW_SHOW);
    vqtest::DispatchQueued(dialog.GetSafeHwnd());
    EXPECT_EQ(dialog.events, "create;init;");
    dialog.DestroyWindow();
    EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  }
}

TEST_F(MfcDialogCreateTest, OnCreateRefusingStopsTheDialog) {
  CreatingDlg modeless(kTemplate, -1);
  EXPECT_FALSE(modeless.Create(kTemplate));
  EXPECT_EQ(modeless.events, "create;");
  EXPECT_EQ(modeless.GetSafeHwnd(), nullptr);
  EXPECT_FALSE(IsWindow(modeless.createdWindow));

  CreatingDlg modal(kTemplate, -1);
  vqplatform::ModalScript script({[](HWND d) { vqplatform::ClickControl(d, IDCANCEL); }});
  EXPECT_EQ(modal.DoModal(), -1);
  EXPECT_EQ(script.StepsRun(), 0u);
  EXPECT_EQ(modal.events, "create;");
  EXPECT_EQ(modal.GetSafeHwnd(), nullptr);
}

}  // namespace
