#include "platform/win/InputFocus.h"

#include <cmath>
#include <mutex>
#include <set>
#include <vector>

#include "platform/win/MessageQueue.h"
#include "platform/win/MousePointer.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"

namespace {
thread_local HWND focusWindow = nullptr;
thread_local HWND captureWindow = nullptr;
thread_local std::set<int> keysDown;
}  // namespace

HWND SetFocus(HWND hwnd) {
  if (hwnd && !IsWindow(hwnd)) return nullptr;
  // The window's top-level window becomes active first, so the one losing
  // the activation still sees its own focus.
  HWND top = hwnd;
  while (top && (GetWindowLongW(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
  if (top && top != GetActiveWindow() &&
      vqplatform::IsActivatable(static_cast<DWORD>(GetWindowLongW(top, GWL_STYLE)),
                                static_cast<DWORD>(GetWindowLongW(top, GWL_EXSTYLE))))
    vqplatform::ActivateTopLevel(top, WA_ACTIVE, false);
  HWND previous = focusWindow;
  if (previous == hwnd) return previous;
  focusWindow = hwnd;
  if (previous && IsWindow(previous)) SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (hwnd && focusWindow == hwnd) SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
  return previous;
}

HWND GetFocus() {
  if (focusWindow && !IsWindow(focusWindow)) focusWindow = nullptr;
  return focusWindow;
}

HWND SetCapture(HWND hwnd) {
  HWND previous = captureWindow;
  captureWindow = hwnd;
  if (previous && previous != hwnd && IsWindow(previous))
    SendMessageW(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return previous;
}

BOOL ReleaseCapture() {
  HWND previous = captureWindow;
  captureWindow = nullptr;
  if (previous && IsWindow(previous)) {
    SendMessageW(previous, WM_CAPTURECHANGED, 0, 0);
    vqplatform::PostMouseMoveAtPointer();
  }
  return TRUE;
}

HWND GetCapture() {
  if (captureWindow && !IsWindow(captureWindow)) captureWindow = nullptr;
  return captureWindow;
}

SHORT GetKeyState(int virtualKey) { return keysDown.count(virtualKey) ? static_cast<SHORT>(0x8000) : 0; }

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  double exact = static_cast<double>(number) * numerator / denominator;
  return static_cast<int>(std::lround(exact));
}

namespace vqplatform {
void SetKeyDown(int virtualKey, bool down) {
  if (down)
    keysDown.insert(virtualKey);
  else
    keysDown.erase(virtualKey);
}
}  // namespace vqplatform

namespace {

struct HotKey {
  HWND hwnd;
  int id;
  UINT modifiers;
  UINT key;
};

std::mutex hotKeyMutex;
std::vector<HotKey> hotKeys;

}  // namespace

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT virtualKey) {
  if (hwnd && !IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(hotKeyMutex);
  for (const HotKey& k : hotKeys) {
    if ((k.hwnd == hwnd && k.id == id) || (k.modifiers == modifiers && k.key == virtualKey)) {
      SetLastError(ERROR_HOTKEY_ALREADY_REGISTERED);
      return FALSE;
    }
  }
  hotKeys.push_back(HotKey{hwnd, id, modifiers, virtualKey});
  return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id) {
  std::lock_guard lock(hotKeyMutex);
  for (auto it = hotKeys.begin(); it != hotKeys.end(); ++it) {
    if (it->hwnd == hwnd && it->id == id) {
      hotKeys.erase(it);
      return TRUE;
    }
  }
  SetLastError(ERROR_HOTKEY_NOT_REGISTERED);
  return FALSE;
}
