#include "tests/ui/FxButtonTestSupport.h"

#include "platform/win/DialogTemplate.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/SysColors.h"

namespace vqtest {

vqplatform::BitmapPixels FramedPicture(int width, int height, int frame, COLORREF colour) {
  vqplatform::BitmapPixels pixels{width, height, std::vector<uint8_t>(static_cast<size_t>(width * height * 3), 0)};
  for (int y = frame; y < height - frame; ++y)
    for (int x = frame; x < width - frame; ++x) {
      uint8_t* p = &pixels.bgr[static_cast<size_t>((y * width + x) * 3)];
      p[0] = GetBValue(colour);
      p[1] = GetGValue(colour);
      p[2] = GetRValue(colour);
    }
  return pixels;
}

void RegisterPicture(UINT id, const vqplatform::BitmapPixels& pixels) {
  vqplatform::RegisterBitmapResource(id, pixels);
}

void FxButtonDialog::RegisterTemplate() {
  static const DialogTemplate dialog{
      WS_POPUP | WS_VISIBLE | WS_CAPTION,
      0, 0, 0, 260, 120, L"Skinned buttons", L"", 9,
      {
          {2001, L"Button", L"One", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 10, 10, 70, 22},
          {2002, L"Button", L"Two", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 90, 10, 70, 22},
          {2003, L"Button", L"Three", BS_PUSHBUTTON | WS_VISIBLE | WS_TABSTOP, 0, 170, 10, 70, 22},
          {2011, L"Button", L"A", BS_AUTORADIOBUTTON | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, 10, 50, 50, 12},
          {2012, L"Button", L"B", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 70, 50, 50, 12},
          {2013, L"Button", L"C", BS_AUTORADIOBUTTON | WS_VISIBLE, 0, 130, 50, 50, 12},
          {2014, L"Static", L"in the group", WS_VISIBLE, 0, 190, 50, 60, 12},
          {2021, L"Button", L"Check", BS_AUTOCHECKBOX | WS_VISIBLE | WS_GROUP | WS_TABSTOP, 0, 10, 80, 60, 12},
      }};
  vqplatform::RegisterDialogTemplate(static_cast<int>(kTemplate), &dialog);
}

BOOL FxButtonDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED && lParam) clicks.push_back(LOWORD(wParam));
  return CDialog::OnCommand(wParam, lParam);
}

void SkinLikeMainWindow(CFxButton& button, UINT normal, UINT pressed, UINT hover) {
  button.SetCaptions(L"", true, L"", L"", L"");
  button.SetBitmaps(normal, false, pressed, hover, 0);
  button.m_cornerSize = CSize(8, 8);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  button.SetTransparentColors(RGB(0, 0, 0), true, face, face, face);
  button.SetBorderWidths(0, true, 2, 2, 2);
  button.UpdateLayout(nullptr, 0, 0xFFFFFFFF, 0);
  button.SetTooltip(L"tip", GetSysColor(COLOR_INFOTEXT), GetSysColor(COLOR_INFOBK));
}

COLORREF PixelOf(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

}  // namespace vqtest
