// Template 102 laid out by the dialog manager: every control where the
// template puts it, with its kind, and a picture of the whole window.
#include <gtest/gtest.h>

#include <map>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/InputFocus.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "resources/Resources.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/support/Windows.h"

namespace {

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

RECT RectInDialog(HWND dialog, HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  OffsetRect(&rect, -origin.x, -origin.y);
  return rect;
}

class MainWindowTemplateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqres::LoadResources();
    dialog_ = vqplatform::CreateDialogFromTemplate(vqres::MainWindowTemplate(), nullptr, nullptr, 0);
    ASSERT_NE(dialog_, nullptr);
    HFONT font = vqplatform::CreateDialogFont(L"MS Shell Dlg", 9);
    base_ = vqplatform::BaseUnitsOfFont(font);
    DeleteObject(font);
  }
  void TearDown() override {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
  }
  HWND dialog_ = nullptr;
  vqplatform::DialogBaseUnits base_;
};

TEST_F(MainWindowTemplateTest, EveryControlSitsWhereTheTemplatePutsIt) {
  const DialogTemplate& table = vqres::MainWindowTemplate();
  ASSERT_EQ(table.items.size(), 43u);
  RECT window{};
  GetWindowRect(dialog_, &window);
  EXPECT_EQ(window.left, 0);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(window.right, MulDiv(599, base_.x, 4));
  EXPECT_EQ(window.bottom, MulDiv(398, base_.y, 8));
  EXPECT_TRUE(IsWindowVisible(dialog_));
  for (const DialogItemTemplate& item : table.items) {
    HWND control = GetDlgItem(dialog_, item.id);
    ASSERT_NE(control, nullptr) << item.id;
    EXPECT_EQ(ClassOf(control), item.className) << item.id;
    RECT expected = vqplatform::DialogUnitsToPixels(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}, base_);
    RECT actual = RectInDialog(dialog_, control);
    EXPECT_EQ(actual.left, expected.left) << item.id;
    EXPECT_EQ(actual.top, expected.top) << item.id;
    EXPECT_EQ(actual.right, expected.right) << item.id;
    if (item.className != WC_COMBOBOX) {
      EXPECT_EQ(actual.bottom, expected.bottom) << item.id;
    }
    EXPECT_EQ(IsWindowVisible(control) != FALSE, item.id != 1078) << item.id;
  }
}

// Controls across the window at the places the window's design gives them,
// written out here (dialog units: left, top, width, height) rather than read
// from the template table, so a wrong value in the table shows.
TEST_F(MainWindowTemplateTest, ControlsSitWhereTheDesignPutsThem) {
  struct Place {
    int id, left, top, width, height;
  };
  const Place places[] = {
      {1007, 83, 7, 362, 375},    // preview area
      {1094, 89, 387, 347, 8},    // label under the preview
      {1005, 546, 8, 44, 22},     // exit
      {1042, 475, 47, 67, 15},    // exposure slider
      {1081, 563, 68, 23, 21},    // focus
      {1060, 525, 131, 17, 14},   // image counter
      {1047, 548, 166, 41, 10},   // manual crop
      {1015, 547, 201, 40, 10},   // black and white
      {1036, 517, 238, 73, 10},   // one PDF
      {1018, 453, 253, 138, 21},  // capture
      {1084, 453, 373, 138, 21},  // continuous shooting
  };
  for (const Place& p : places) {
    const RECT actual = RectInDialog(dialog_, GetDlgItem(dialog_, p.id));
    EXPECT_EQ(actual.left, MulDiv(p.left, base_.x, 4)) << p.id;
    EXPECT_EQ(actual.top, MulDiv(p.top, base_.y, 8)) << p.id;
    EXPECT_EQ(actual.right, MulDiv(p.left + p.width, base_.x, 4)) << p.id;
    EXPECT_EQ(actual.bottom, MulDiv(p.top + p.height, base_.y, 8)) << p.id;
  }
}

TEST_F(MainWindowTemplateTest, RadioGroupsAreSeparateAndArrowKeysMoveWithinOne) {
  vqplatform::ClickControl(dialog_, 1057);
  vqplatform::ClickControl(dialog_, 1046);
  vqtest::DispatchQueued(dialog_);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1057), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1046), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1058), static_cast<UINT>(BST_UNCHECKED));
  vqplatform::ClickControl(dialog_, 1089);
  vqtest::DispatchQueued(dialog_);
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1057), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1046), static_cast<UINT>(BST_CHECKED));
  // Down from the last crop radio wraps to the first of its group only.
  SetFocus(GetDlgItem(dialog_, 1047));
  vqplatform::PressKey(VK_DOWN);
  vqtest::DispatchQueued(dialog_);
  EXPECT_EQ(GetFocus(), GetDlgItem(dialog_, 1045));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1045), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1046), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, 1089), static_cast<UINT>(BST_CHECKED));
}

// Counts WM_PAINT per control, then hands every message to the control.
std::map<HWND, WNDPROC> g_original;
std::map<HWND, int> g_paints;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++g_paints[hwnd];
  return CallWindowProcW(g_original[hwnd], hwnd, message, wParam, lParam);
}

TEST_F(MainWindowTemplateTest, RepaintingACornerPaintsOnlyTheControlsUnderIt) {
  vqtest::DispatchQueued(dialog_);
  g_original.clear();
  g_paints.clear();
  for (HWND c = GetWindow(dialog_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    g_original[c] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(c, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
  ASSERT_EQ(g_original.size(), 43u);
  auto paintsOutside = [](HWND except) {
    int n = 0;
    for (auto& [hwnd, count] : g_paints)
      if (hwnd != except) n += count;
    return n;
  };
  // The top left corner holds no control.
  RECT corner{0, 0, 10, 10};
  InvalidateRect(dialog_, &corner, TRUE);
  vqtest::DispatchQueued(dialog_);
  EXPECT_EQ(paintsOutside(nullptr), 0);
  // A corner of the exit button repaints that button alone, once.
  HWND exitButton = GetDlgItem(dialog_, 1005);
  RECT button = RectInDialog(dialog_, exitButton);
  RECT part{button.right - 10, button.top, button.right, button.top + 10};
  InvalidateRect(dialog_, &part, TRUE);
  vqtest::DispatchQueued(dialog_);
  EXPECT_EQ(g_paints[exitButton], 1);
  EXPECT_EQ(paintsOutside(exitButton), 0);
  // The whole dialog repaints each visible control once.
  g_paints.clear();
  InvalidateRect(dialog_, nullptr, TRUE);
  vqtest::DispatchQueued(dialog_);
  EXPECT_EQ(g_paints.size(), 42u);
  for (auto& [hwnd, count] : g_paints) EXPECT_EQ(count, 1) << GetDlgCtrlID(hwnd);
  for (auto& [hwnd, proc] : g_original) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
}

TEST_F(MainWindowTemplateTest, ScreenshotOfTheLaidOutControls) {
  SendDlgItemMessageW(dialog_, 1099, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"IMG"));
  SendDlgItemMessageW(dialog_, 1099, CB_SETCURSEL, 0, 0);
  SetDlgItemTextW(dialog_, 1060, L"7");
  SetDlgItemTextW(dialog_, 1043, L"-5");
  SendDlgItemMessageW(dialog_, 1042, TBM_SETRANGE, TRUE, MAKELPARAM(-10, 0));
  SendDlgItemMessageW(dialog_, 1042, TBM_SETPOS, TRUE, -5);
  CheckDlgButton(dialog_, 1058, BST_CHECKED);
  CheckDlgButton(dialog_, 1045, BST_CHECKED);
  CheckDlgButton(dialog_, 1013, BST_CHECKED);
  CheckDlgButton(dialog_, 1055, BST_CHECKED);
  SetDlgItemTextW(dialog_, 1051, L"视频控制");
  SetDlgItemTextW(dialog_, 1052, L"命名方式");
  SetDlgItemTextW(dialog_, 1053, L"图像切边");
  SetDlgItemTextW(dialog_, 1012, L"图像类型");
  std::string saved = vqtest::SaveScreenshot(dialog_, "main_window_template_102.png");
  ASSERT_FALSE(saved.empty());
  EXPECT_EQ(vqtest::ReadFile(saved).substr(1, 3), "PNG");
}

}  // namespace
