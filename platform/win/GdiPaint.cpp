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
  RECT update{0, 0, 0, 0};
  bool erase = false;
  vqplatform::TakeUpdateRect(window, &update, &erase);
  HRGN clip = CreateRectRgnIndirect(&update);
  HDC dc = vqplatform::CreateWindowSurfaceDC(window, true, clip);
  DeleteObject(clip);
  if (!dc) return nullptr;
  paint->hdc = dc;
  paint->rcPaint = update;
  // A window that does not erase its background leaves fErase set.
  paint->fErase = erase && !SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (!paint || !paint->hdc) return FALSE;
  return ReleaseDC(window, paint->hdc) ? TRUE : FALSE;
}
