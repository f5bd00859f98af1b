#include "platform/win/SystemMetrics.h"

#include <algorithm>
#include <mutex>

#include "platform/win/GdiSurface.h"

namespace vqplatform {
namespace {

std::mutex g_workAreaMutex;
RECT g_workArea{0, 0, 0, 0};

RECT ScreenRect() {
  SIZE screen = GetScreenSize();
  return RECT{0, 0, screen.cx, screen.cy};
}

}  // namespace

void SetWorkArea(const RECT& area) {
  std::lock_guard lock(g_workAreaMutex);
  g_workArea = area;
}

RECT GetWorkArea() {
  RECT screen = ScreenRect();
  RECT area;
  {
    std::lock_guard lock(g_workAreaMutex);
    area = g_workArea;
  }
  area = RECT{std::max(area.left, screen.left), std::max(area.top, screen.top), std::min(area.right, screen.right),
              std::min(area.bottom, screen.bottom)};
  if (area.right <= area.left || area.bottom <= area.top) return screen;
  return area;
}

}  // namespace vqplatform

int GetSystemMetrics(int index) {
  SIZE screen = vqplatform::GetScreenSize();
  RECT work = vqplatform::GetWorkArea();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CXVIRTUALSCREEN: return screen.cx;
    case SM_CYSCREEN:
    case SM_CYVIRTUALSCREEN: return screen.cy;
    case SM_CXFULLSCREEN:
    case SM_CXMAXIMIZED: return work.right - work.left;
    case SM_CYFULLSCREEN:
    case SM_CYMAXIMIZED: return work.bottom - work.top;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL: return 17;
    case SM_CYCAPTION: return 23;
    case SM_CXBORDER:
    case SM_CYBORDER: return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME: return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR: return 32;
    case SM_CXSMICON:
    case SM_CYSMICON: return 16;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK: return 4;
    case SM_CMONITORS: return 1;
    default: return 0;
  }
}

BOOL SystemParametersInfoW(UINT action, UINT, PVOID value, UINT) {
  if (action != SPI_GETWORKAREA || !value) return FALSE;
  *static_cast<RECT*>(value) = vqplatform::GetWorkArea();
  return TRUE;
}

UINT GetDoubleClickTime() { return 500; }

UINT_PTR SHAppBarMessage(DWORD message, PAPPBARDATA data) {
  if (message == ABM_GETSTATE) return ABS_ALWAYSONTOP;
  if (message != ABM_GETTASKBARPOS || !data) return 0;
  SIZE screen = vqplatform::GetScreenSize();
  RECT work = vqplatform::GetWorkArea();
  // The widest strip the work area leaves free is the task bar.
  struct Strip {
    UINT edge;
    RECT rect;
    LONG thickness;
  } strips[] = {
      {ABE_BOTTOM, RECT{0, work.bottom, screen.cx, screen.cy}, screen.cy - work.bottom},
      {ABE_TOP, RECT{0, 0, screen.cx, work.top}, work.top},
      {ABE_LEFT, RECT{0, 0, work.left, screen.cy}, work.left},
      {ABE_RIGHT, RECT{work.right, 0, screen.cx, screen.cy}, screen.cx - work.right},
  };
  const Strip* best = &strips[0];
  for (const Strip& s : strips)
    if (s.thickness > best->thickness) best = &s;
  data->uEdge = best->edge;
  data->rc = best->rect;
  return TRUE;
}
