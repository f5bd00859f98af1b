#include "platform/win/GdiPaint.h"

#include <vector>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace vqplatform {

bool EraseBackground(HWND window, HDC dc) {
  wchar_t className[256];
  WNDCLASSW windowClass{};
  if (!GetClassNameW(window, className, 256) || !GetClassInfoW(nullptr, className, &windowClass) ||
      !windowClass.hbrBackground) {
    return false;
  }
  RECT client;
  GetClientRect(window, &client);
  return FillRect(dc, &client, windowClass.hbrBackground) != 0;
}

}  // namespace vqplatform

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  if (!paint || !IsWindow(window)) return nullptr;
  *paint = PAINTSTRUCT{};
  std::vector<RECT> update;
  bool erase = false;
  vqplatform::TakeUpdateRegion(window, &update, &erase);
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  for (const RECT& r : update) {
    HRGN part = CreateRectRgnIndirect(&r);
    CombineRgn(clip, clip, part, RGN_OR);
    DeleteObject(part);
  }
  GetRgnBox(clip, &paint->rcPaint);
  HDC dc = vqplatform::CreateWindowSurfaceDC(window, true, clip);
  DeleteObject(clip);
  if (!dc) return nullptr;
  paint->hdc = dc;
  vqplatform::CountPaint(window, 1);
  // A window that does not erase its background leaves fErase set.
  paint->fErase = erase && !SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (!paint || !paint->hdc) return FALSE;
  const BOOL released = ReleaseDC(window, paint->hdc) ? TRUE : FALSE;
  vqplatform::CountPaint(window, -1);
  return released;
}
