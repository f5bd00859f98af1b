// Dialog units to pixels by the Windows rule, against hand-computed values.
#include <gtest/gtest.h>

#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/Window.h"

namespace {

TEST(DialogUnitsTest, ConversionRoundsHalfAwayFromZero) {
  // Base units 7 x 16: x * 7 / 4, y * 16 / 8 = 2y.
  vqplatform::DialogBaseUnits base{7, 16};
  RECT pixels = vqplatform::DialogUnitsToPixels(RECT{54, 17, 234, 31}, base);
  EXPECT_EQ(pixels.left, 95);    // 94.5
  EXPECT_EQ(pixels.top, 34);
  EXPECT_EQ(pixels.right, 410);  // 409.5
  EXPECT_EQ(pixels.bottom, 62);
  // Base units 6 x 13: 246 * 6 / 4 = 369, 72 * 13 / 8 = 117, 1 * 13 / 8 = 1.625.
  pixels = vqplatform::DialogUnitsToPixels(RECT{1, 1, 246, 72}, vqplatform::DialogBaseUnits{6, 13});
  EXPECT_EQ(pixels.left, 2);  // 1.5
  EXPECT_EQ(pixels.top, 2);
  EXPECT_EQ(pixels.right, 369);
  EXPECT_EQ(pixels.bottom, 117);
  EXPECT_EQ(MulDiv(-3, 7, 4), -5);  // -5.25
  EXPECT_EQ(MulDiv(5, 1, 0), -1);
}

TEST(DialogUnitsTest, BaseUnitsComeFromTheAverageLetterWidthAndTheTextHeight) {
  HFONT font = vqplatform::CreateDialogFont(L"MS Shell Dlg", 9);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  TEXTMETRICW metrics{};
  GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &extent);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  DeleteDC(dc);
  vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
  DeleteObject(font);
  ASSERT_GT(extent.cx, 52);
  EXPECT_EQ(base.x, (extent.cx + 26) / 52);  // extent / 52, rounded
  EXPECT_EQ(base.y, metrics.tmHeight);
  // A 12-pixel face: letters between 5 and 9 pixels wide on average.
  EXPECT_GE(base.x, 5);
  EXPECT_LE(base.x, 9);
}

TEST(DialogUnitsTest, DialogAndControlsArePlacedByTheirFont) {
  DialogTemplate dialogTemplate{WS_POPUP | DS_SETFONT, 0, 10, 20, 200, 100, L"", L"MS Shell Dlg", 9,
                                {{7, L"Static", L"x", WS_VISIBLE, 0, 12, 30, 40, 9}}};
  HWND dialog = vqplatform::CreateDialogFromTemplate(dialogTemplate, nullptr, nullptr, 0);
  ASSERT_NE(dialog, nullptr);
  HFONT font = vqplatform::CreateDialogFont(L"MS Shell Dlg", 9);
  vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
  DeleteObject(font);
  RECT window{};
  GetWindowRect(dialog, &window);
  EXPECT_EQ(window.left, MulDiv(10, base.x, 4));
  EXPECT_EQ(window.top, MulDiv(20, base.y, 8));
  EXPECT_EQ(window.right - window.left, MulDiv(210, base.x, 4) - MulDiv(10, base.x, 4));
  RECT control{};
  GetWindowRect(GetDlgItem(dialog, 7), &control);
  EXPECT_EQ(control.left - window.left, MulDiv(12, base.x, 4));
  EXPECT_EQ(control.bottom - window.top, MulDiv(39, base.y, 8));
  RECT mapped{12, 30, 52, 39};
  ASSERT_TRUE(MapDialogRect(dialog, &mapped));
  EXPECT_EQ(mapped.right, control.right - window.left);
  DestroyWindow(dialog);
}

}  // namespace
