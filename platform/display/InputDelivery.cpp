#include "platform/display/InputDelivery.h"

#include <X11/keysym.h>

#include <cstdlib>

#include "platform/display/Cursors.h"
#include "platform/win/Controls.h"
#include "platform/win/Dispatcher.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/MousePointer.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

// Windows the mouse passes through: group boxes, and statics that do not
// ask for clicks.
bool IsMouseTransparent(HWND hwnd) {
  LONG style = GetWindowLongW(hwnd, GWL_STYLE);
  std::wstring cls = ClassOf(hwnd);
  if (EqualNoCase(cls, WC_BUTTON) && (style & 0x0F) == BS_GROUPBOX) return true;
  if (EqualNoCase(cls, WC_STATIC) && !(style & SS_NOTIFY)) return true;
  return false;
}

// The deepest visible window under a screen point, topmost sibling first.
HWND WindowAt(HWND parent, POINT screen) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child) || IsMouseTransparent(child)) continue;
    RECT r{};
    GetWindowRect(child, &r);
    if (Contains(r, screen)) return WindowAt(child, screen);
  }
  return parent;
}

// Disabled windows, and windows inside them, take no input.
bool TakesInput(HWND hwnd) {
  for (HWND w = hwnd; w; w = (GetWindowLongW(w, GWL_STYLE) & WS_CHILD) ? GetParent(w) : nullptr)
    if (!IsWindowEnabled(w)) return false;
  return true;
}

bool WantsDoubleClicks(HWND hwnd) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* w = FindWindowObject(hwnd);
  return w && w->windowClass && (w->windowClass->style & CS_DBLCLKS);
}

HCURSOR ClassCursor(HWND hwnd) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* w = FindWindowObject(hwnd);
  return w && w->windowClass ? w->windowClass->cursor : nullptr;
}

// The last press, per owning thread, for double clicks.
struct LastPress {
  HWND target = nullptr;
  int button = 0;
  DWORD timeMs = 0;
  POINT screen{0, 0};
};
thread_local LastPress t_lastPress;

UINT ButtonMessage(int button, bool down, bool doubleClick) {
  switch (button) {
    case 1: return doubleClick ? WM_LBUTTONDBLCLK : down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case 2: return doubleClick ? WM_MBUTTONDBLCLK : down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default: return doubleClick ? WM_RBUTTONDBLCLK : down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
  }
}

WPARAM ButtonFlag(int button) { return button == 1 ? MK_LBUTTON : button == 2 ? MK_MBUTTON : MK_RBUTTON; }

bool IsDoubleClick(HWND target, const MouseInput& in) {
  const LastPress& last = t_lastPress;
  return last.target == target && last.button == in.button && in.timeMs - last.timeMs <= GetDoubleClickTime() &&
         std::abs(in.screen.x - last.screen.x) <= GetSystemMetrics(SM_CXDOUBLECLK) &&
         std::abs(in.screen.y - last.screen.y) <= GetSystemMetrics(SM_CYDOUBLECLK);
}

void UpdateCursor(HWND target) {
  LRESULT handled = SendMessageW(target, WM_SETCURSOR, reinterpret_cast<WPARAM>(target), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  if (handled) return;
  HCURSOR cursor = ClassCursor(target);
  SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

void DeliverMouseOnOwner(HWND top, const MouseInput& in) {
  if (!IsWindow(top)) return;
  NotePointerMoved(in.screen);  // the cursor position, and leave tracking
  if (in.action == MouseAction::Press && ForegroundWindowOfProcess() != top)
    ActivateTopLevel(top, WA_CLICKACTIVE);
  HWND capture = GetCapture();
  HWND target = capture ? capture : WindowAt(top, in.screen);
  if (!capture && !TakesInput(target)) return;
  POINT client = in.screen;
  ScreenToClient(target, &client);
  LPARAM where = MAKELPARAM(client.x, client.y);
  switch (in.action) {
    case MouseAction::Move:
      // Posted before the cursor message is sent: while that send waits for a
      // target on another thread, the next input is delivered, and must come after.
      PostMessageW(target, WM_MOUSEMOVE, in.keys, where);
      if (!capture) UpdateCursor(target);
      return;
    case MouseAction::Press: {
      bool doubleClick = WantsDoubleClicks(target) && IsDoubleClick(target, in);
      t_lastPress = doubleClick ? LastPress{} : LastPress{target, in.button, in.timeMs, in.screen};
      PostMessageW(target, ButtonMessage(in.button, true, doubleClick), in.keys | ButtonFlag(in.button), where);
      return;
    }
    case MouseAction::Release:
      PostMessageW(target, ButtonMessage(in.button, false, false), in.keys & ~ButtonFlag(in.button), where);
      return;
    case MouseAction::WheelUp:
    case MouseAction::WheelDown: {
      // The wheel turns the focused window, as it always has.
      HWND focus = GetFocus();
      HWND wheelTarget = focus && (focus == top || IsChild(top, focus)) ? focus : target;
      int delta = in.action == MouseAction::WheelUp ? 120 : -120;
      PostMessageW(wheelTarget, WM_MOUSEWHEEL, MAKEWPARAM(in.keys, delta), MAKELPARAM(in.screen.x, in.screen.y));
      return;
    }
  }
}

void DeliverKeyOnOwner(HWND top, int virtualKey, bool down, const std::wstring& text) {
  if (!IsWindow(top)) return;
  HWND focus = GetFocus();
  HWND target = focus ? focus : top;
  if (!TakesInput(target)) return;
  if (virtualKey) SetKeyDown(virtualKey, down);
  if (!down) {
    if (virtualKey) PostMessageW(target, WM_KEYUP, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(0xC0000001));
    return;
  }
  if (virtualKey) PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
  for (wchar_t ch : text)
    if (ch != 0x7F) PostMessageW(target, WM_CHAR, static_cast<WPARAM>(ch), 1);
}

bool QueueOnWindowThread(HWND hwnd, std::function<void()> task, bool input) {
  auto sent = std::make_shared<SentMessage>();
  sent->hwnd = hwnd;
  sent->input = input;
  sent->task = [task = std::move(task)] {
    task();
    return LRESULT{0};
  };
  sent->sender = Dispatcher::CurrentShared();  // nobody waits for the answer
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  if (!window || window->thread->ended) return false;
  window->thread->sentInbox.push_back(sent);
  Dispatcher::Wake(*window->thread);
  return true;
}

}  // namespace

bool RunLaterOnWindowThread(HWND hwnd, std::function<void()> task) {
  return QueueOnWindowThread(hwnd, std::move(task), false);
}

void DeliverMouse(HWND top, const MouseInput& input) {
  QueueOnWindowThread(top, [top, input] { DeliverMouseOnOwner(top, input); }, true);
}

void DeliverPointerLeft(HWND top, POINT screen) {
  // Posted from the window's thread, so it comes after the mouse messages
  // the deliveries before it posted.
  QueueOnWindowThread(top, [top, screen] { PostPointerLeft(top, screen); }, true);
}

void DeliverKey(HWND top, int virtualKey, bool down, const std::wstring& text) {
  QueueOnWindowThread(top, [top, virtualKey, down, text] { DeliverKeyOnOwner(top, virtualKey, down, text); }, true);
}

int VirtualKeyOfKeysym(unsigned long keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<int>('A' + (keysym - XK_a));
  if (keysym >= XK_A && keysym <= XK_Z) return static_cast<int>(keysym);
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<int>(keysym);
  if (keysym >= XK_F1 && keysym <= XK_F12) return static_cast<int>(VK_F1 + (keysym - XK_F1));
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return static_cast<int>(0x60 + (keysym - XK_KP_0));
  switch (keysym) {
    case XK_BackSpace: return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Shift_L:
    case XK_Shift_R: return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R: return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R: return VK_MENU;
    case XK_Page_Up: return VK_PRIOR;
    case XK_Page_Down: return VK_NEXT;
    case XK_End: return VK_END;
    case XK_Home: return VK_HOME;
    case XK_Left: return VK_LEFT;
    case XK_Up: return VK_UP;
    case XK_Right: return VK_RIGHT;
    case XK_Down: return VK_DOWN;
    case XK_Insert: return VK_INSERT;
    case XK_Delete:
    case XK_KP_Delete: return VK_DELETE;
    default: return 0;
  }
}

}  // namespace vqplatform
