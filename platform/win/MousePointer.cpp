#include "platform/win/MousePointer.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Singletons.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurfaces.h"

namespace {

struct Tracking {
  HWND window;
  DWORD flags;
  DWORD hoverTime;
};

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::vector<Tracking>& Tracked() {
  static auto* tracked = vqplatform::MakeSingleton<std::vector<Tracking>>();
  return *tracked;
}

bool Hits(HWND window, POINT screen) {
  if (!IsWindowVisible(window)) return false;
  RECT rect{};
  GetWindowRect(window, &rect);
  if (!PtInRect(&rect, screen)) return false;
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  bool inside = GetWindowRgn(window, shape) == ERROR ||
                PtInRegion(shape, screen.x - rect.left, screen.y - rect.top) != FALSE;
  DeleteObject(shape);
  return inside;
}

HWND DeepestChild(HWND parent, POINT screen) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (Hits(child, screen)) return DeepestChild(child, screen);
  return parent;
}

struct TopLevelSearch {
  POINT screen;
  HWND found;
};

BOOL FindTopLevel(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<TopLevelSearch*>(lParam);
  if (!Hits(window, search->screen)) return TRUE;
  search->found = window;
  return FALSE;
}

LPARAM ClientPoint(HWND window, POINT screen) {
  ScreenToClient(window, &screen);
  return MAKELPARAM(screen.x, screen.y);
}

// The capture window of this thread, else the window under the point.
HWND Target(POINT screen) {
  if (HWND capture = GetCapture()) return capture;
  return WindowFromPoint(screen);
}

bool PostMouse(HWND window, POINT client, UINT message, WPARAM keys) {
  if (!IsWindow(window)) return false;
  POINT screen = client;
  ClientToScreen(window, &screen);
  vqplatform::NotePointerMoved(screen);
  HWND target = Target(screen);
  if (!target) return false;
  return PostMessageW(target, message, keys, ClientPoint(target, screen)) != FALSE;
}

}  // namespace

BOOL SetCursorPos(int x, int y) {
  vqplatform::NotePointerMoved(POINT{x, y});
  return TRUE;
}

HWND WindowFromPoint(POINT point) {
  TopLevelSearch search{point, nullptr};
  EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found ? DeepestChild(search.found, point) : nullptr;
}

BOOL TrackMouseEvent(LPTRACKMOUSEEVENT track) {
  if (!track || track->cbSize != sizeof(TRACKMOUSEEVENT)) return FALSE;
  std::unique_lock<std::mutex> guard(Lock());
  auto& tracked = Tracked();
  auto entry = std::find_if(tracked.begin(), tracked.end(), [&](const Tracking& t) { return t.window == track->hwndTrack; });
  if (track->dwFlags & TME_QUERY) {
    *track = TRACKMOUSEEVENT{sizeof(TRACKMOUSEEVENT), 0, nullptr, 0};
    if (entry != tracked.end()) *track = TRACKMOUSEEVENT{sizeof(TRACKMOUSEEVENT), entry->flags, entry->window, entry->hoverTime};
    return TRUE;
  }
  if (!IsWindow(track->hwndTrack)) return FALSE;
  DWORD kinds = track->dwFlags & (TME_HOVER | TME_LEAVE);
  if (track->dwFlags & TME_CANCEL) {
    if (entry != tracked.end()) {
      entry->flags &= ~kinds;
      if (entry->flags == 0) tracked.erase(entry);
    }
    return TRUE;
  }
  guard.unlock();
  POINT position{};
  GetCursorPos(&position);
  HWND under = WindowFromPoint(position);
  if (under != track->hwndTrack) {
    // Asked for from outside the window: it has already been left.
    if (kinds & TME_LEAVE) PostMessageW(track->hwndTrack, WM_MOUSELEAVE, 0, 0);
    return TRUE;
  }
  if (kinds & TME_HOVER) PostMessageW(track->hwndTrack, WM_MOUSEHOVER, 0, ClientPoint(track->hwndTrack, position));
  if (kinds & TME_LEAVE) {
    guard.lock();
    auto again = std::find_if(tracked.begin(), tracked.end(), [&](const Tracking& t) { return t.window == track->hwndTrack; });
    if (again == tracked.end())
      tracked.push_back(Tracking{track->hwndTrack, TME_LEAVE, track->dwHoverTime});
    else
      again->flags |= TME_LEAVE;
  }
  return TRUE;
}

namespace {

// Ends leave tracking for the tracked windows `left` picks, with the
// WM_MOUSELEAVE each of them is owed.
template <class Picks>
void EndTracking(Picks left) {
  std::vector<HWND> candidates;
  {
    std::lock_guard<std::mutex> guard(Lock());
    for (const Tracking& t : Tracked()) candidates.push_back(t.window);
  }
  if (candidates.empty()) return;
  std::vector<HWND> gone;
  for (HWND window : candidates)
    if (left(window)) gone.push_back(window);
  if (gone.empty()) return;
  {
    std::lock_guard<std::mutex> guard(Lock());
    auto& tracked = Tracked();
    tracked.erase(std::remove_if(tracked.begin(), tracked.end(),
                                 [&](const Tracking& t) {
                                   return std::find(gone.begin(), gone.end(), t.window) != gone.end();
                                 }),
                  tracked.end());
  }
  for (HWND window : gone)
    if (IsWindow(window)) PostMessageW(window, WM_MOUSELEAVE, 0, 0);
}

}  // namespace

namespace vqplatform {

void NotePointerMoved(POINT screen) {
  SetCursorPosition(screen);
  HWND under = nullptr;
  bool looked = false;
  EndTracking([&](HWND window) {
    if (!looked) under = WindowFromPoint(screen), looked = true;
    return window != under;
  });
}

void NotePointerLeft(HWND top, POINT screen) {
  SetCursorPosition(screen);
  EndTracking([top](HWND window) { return window == top || IsChild(top, window); });
}

void PostPointerLeft(HWND top, POINT screen) {
  // One of the layer's own messages; lParam: the point, as in WM_MOUSEMOVE.
  constexpr UINT kPointerLeftMessage = 0x03FE;
  static const bool installed = [] {
    InstallLayerMessage(
        kPointerLeftMessage,
        [](const MSG& msg) { NotePointerLeft(msg.hwnd, POINT{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)}); },
        true);
    return true;
  }();
  (void)installed;
  PostMessageW(top, kPointerLeftMessage, 0, MAKELPARAM(screen.x, screen.y));
}

void PostMouseMoveAtPointer() {
  POINT screen{};
  GetCursorPos(&screen);
  HWND under = WindowFromPoint(screen);
  if (!under) return;
  WPARAM keys = 0;
  if (GetKeyState(VK_LBUTTON) & 0x8000) keys |= MK_LBUTTON;
  if (GetKeyState(VK_RBUTTON) & 0x8000) keys |= MK_RBUTTON;
  PostMessageW(under, WM_MOUSEMOVE, keys, ClientPoint(under, screen));
}

bool MoveMouse(HWND window, POINT client, bool leftDown) {
  return PostMouse(window, client, WM_MOUSEMOVE, leftDown ? MK_LBUTTON : 0);
}

bool PressLeft(HWND window, POINT client) {
  SetKeyDown(VK_LBUTTON, true);
  return PostMouse(window, client, WM_LBUTTONDOWN, MK_LBUTTON);
}

bool ReleaseLeft(HWND window, POINT client) {
  SetKeyDown(VK_LBUTTON, false);
  return PostMouse(window, client, WM_LBUTTONUP, 0);
}

}  // namespace vqplatform
