#include "platform/win/WindowActivation.h"

#include <vector>

#include "platform/display/InputDelivery.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

// Guarded by the dispatcher lock. The process stays active while
// activation passes between its own windows, even through none.
HWND foregroundWindow = nullptr;
bool processActive = false;

thread_local HWND activeWindow = nullptr;

bool IsActivatableWindow(HWND hwnd) {
  return WithWindow(hwnd, false, [](WindowObject& w) { return !w.destroying && IsActivatable(w.style, w.exStyle); });
}

// Sends to a window of this thread; a window of another thread gets it
// later on its own, without waiting.
void SendOnOwner(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsOwnedByCaller(hwnd))
    SendMessageW(hwnd, message, wParam, lParam);
  else
    RunLaterOnWindowThread(hwnd, [=] { SendMessageW(hwnd, message, wParam, lParam); });
}

void NotifyActivateApp(bool active) {
  std::vector<HWND> windows;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    for (WindowObject* w : TopLevelWindows())
      if (!w->destroying) windows.push_back(w->handle);
  }
  for (HWND w : windows) SendOnOwner(w, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

WPARAM ActivateParam(HWND hwnd, WORD how) { return MAKEWPARAM(how, IsIconic(hwnd) ? 1 : 0); }

// On the window's own thread.
void DeactivateHere(HWND hwnd, HWND next) {
  if (activeWindow != hwnd) return;
  activeWindow = nullptr;
  if (!IsWindow(hwnd)) return;
  SendMessageW(hwnd, WM_NCACTIVATE, FALSE, 0);
  SendMessageW(hwnd, WM_ACTIVATE, ActivateParam(hwnd, WA_INACTIVE), reinterpret_cast<LPARAM>(next));
}

// A thread that loses the activation loses the keyboard focus with it.
void DeactivateThread(HWND hwnd) {
  DeactivateHere(hwnd, nullptr);
  if (!activeWindow && GetFocus()) SetFocus(nullptr);
}

// The window itself when enabled, else the enabled window it owns (its
// modal dialog), searched down the chain of owners.
HWND EnabledPopupOf(HWND hwnd) {
  if (!IsWindow(hwnd)) return nullptr;
  if (IsWindowEnabled(hwnd)) return hwnd;
  std::vector<HWND> owned;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    for (WindowObject* w : TopLevelWindows())
      if (w->owner == hwnd && !w->destroying && (w->style & WS_VISIBLE)) owned.push_back(w->handle);
  }
  for (HWND w : owned)
    if (HWND found = EnabledPopupOf(w)) return found;
  return nullptr;
}

}  // namespace

bool IsActivatable(DWORD style, DWORD exStyle) {
  if (style & WS_CHILD) return false;
  return !((style & WS_POPUP) && (style & WS_CAPTION) != WS_CAPTION && (exStyle & WS_EX_TOPMOST));
}

HWND ForegroundWindowOfProcess() {
  std::lock_guard lock(Dispatcher::Mutex());
  if (foregroundWindow && !FindWindowObject(foregroundWindow)) foregroundWindow = nullptr;
  return foregroundWindow;
}

HWND ActivateTopLevel(HWND hwnd, WORD how, bool moveFocus) {
  HWND target = EnabledPopupOf(hwnd);
  if (!target || !IsActivatableWindow(target)) return nullptr;
  if (!IsOwnedByCaller(target)) {
    RunLaterOnWindowThread(target, [target, how] { ActivateTopLevel(target, how); });
    return target;
  }
  HWND previous = nullptr;
  bool wasActive = false;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    previous = foregroundWindow;
    wasActive = processActive;
    foregroundWindow = target;
    processActive = true;
  }
  HWND previousHere = activeWindow;
  if (previous == target && previousHere == target) return target;
  if (previous && previous != previousHere && IsWindow(previous) && !IsOwnedByCaller(previous))
    RunLaterOnWindowThread(previous, [previous] { DeactivateThread(previous); });
  if (previousHere && previousHere != target) DeactivateHere(previousHere, target);
  if (!wasActive) NotifyActivateApp(true);
  activeWindow = target;
  SendMessageW(target, WM_NCACTIVATE, TRUE, 0);
  SendMessageW(target, WM_ACTIVATE, ActivateParam(target, how), reinterpret_cast<LPARAM>(previous));
  // The active window holds the focus, even when its handler kept it out.
  HWND focus = GetFocus();
  if (moveFocus && activeWindow == target && !IsIconic(target) && focus != target && !IsChild(target, focus))
    SetFocus(target);
  return target;
}

void DeactivateProcess() {
  HWND previous = nullptr;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    if (!processActive) return;
    previous = foregroundWindow;
    foregroundWindow = nullptr;
    processActive = false;
  }
  if (previous && IsWindow(previous)) {
    RunLaterOnWindowThread(previous, [previous] {
      DeactivateHere(previous, nullptr);
      NotifyActivateApp(false);
      if (GetFocus()) SetFocus(nullptr);
    });
  } else {
    NotifyActivateApp(false);
  }
}

void PassActivationOn(HWND hwnd) {
  bool foreground = false;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    foreground = foregroundWindow == hwnd;
  }
  if (!foreground && activeWindow != hwnd) return;
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner && IsWindowVisible(owner) && IsWindowEnabled(owner) && !IsIconic(owner) &&
      ActivateTopLevel(owner, WA_ACTIVE))
    return;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    if (foregroundWindow == hwnd) foregroundWindow = nullptr;
  }
  HWND focus = GetFocus();
  DeactivateHere(hwnd, nullptr);
  if (focus && (focus == hwnd || IsChild(hwnd, focus))) SetFocus(nullptr);
}

}  // namespace vqplatform

HWND GetActiveWindow() {
  using vqplatform::activeWindow;
  if (activeWindow && !IsWindow(activeWindow)) activeWindow = nullptr;
  return activeWindow;
}
