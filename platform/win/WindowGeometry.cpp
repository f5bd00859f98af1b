// Window geometry and state: rectangles, position and z-order, showing,
// enabling, and invalidation.
#include <algorithm>

#include "platform/win/DialogKeys.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

WPARAM SizeKind(DWORD style) {
  if (style & WS_MINIMIZE) return SIZE_MINIMIZED;
  if (style & WS_MAXIMIZE) return SIZE_MAXIMIZED;
  return SIZE_RESTORED;
}

bool ActivatesWhenShown(int command) {
  return command == SW_SHOWNORMAL || command == SW_SHOWMINIMIZED || command == SW_SHOWMAXIMIZED || command == SW_SHOW ||
         command == SW_RESTORE || command == SW_SHOWDEFAULT;
}

// Invalidates a window and its visible descendants (they appear with it).
void InvalidateShownTree(WindowObject& w) {
  MarkInvalid(&w, nullptr, true);
  for (WindowObject* child : w.children)
    if (child->style & WS_VISIBLE) InvalidateShownTree(*child);
}

void ApplyVisibility(WindowObject& w, bool visible) {
  if (visible) {
    w.style |= WS_VISIBLE;
    InvalidateShownTree(w);
  } else {
    w.style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (w.parent) MarkInvalid(w.parent, &w.rect, true);
  }
}

void PlaceInZOrder(WindowObject& w, HWND insertAfter) {
  auto& siblings = SiblingsOf(&w);
  siblings.erase(std::find(siblings.begin(), siblings.end(), &w));
  if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    siblings.insert(siblings.begin(), &w);
    if (insertAfter == HWND_TOPMOST) w.exStyle |= WS_EX_TOPMOST;
    if (insertAfter == HWND_NOTOPMOST) w.exStyle &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    return;
  }
  auto after = std::find_if(siblings.begin(), siblings.end(),
                            [&](WindowObject* s) { return s->handle == insertAfter; });
  if (insertAfter == HWND_BOTTOM || after == siblings.end())
    siblings.push_back(&w);
  else
    siblings.insert(after + 1, &w);
}

}  // namespace

void SendSizeAndMove(HWND hwnd, WPARAM sizeKind, bool sized, bool moved) {
  RECT rect{};
  if (!WithWindow(hwnd, false, [&](WindowObject& w) {
        rect = w.rect;
        return true;
      }))
    return;
  if (sized) SendMessageW(hwnd, WM_SIZE, sizeKind, MAKELPARAM(Width(rect), Height(rect)));
  if (moved) SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(rect.left, rect.top));
}

bool TakeUpdateRegion(HWND hwnd, std::vector<RECT>* region, bool* erase) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  if (region) region->clear();
  if (erase) *erase = false;
  if (!window || !window->invalid) return false;
  if (region) *region = window->update.Rectangles();
  if (erase) *erase = window->eraseBackground;
  MarkValid(window);
  return true;
}

void CountPaint(HWND hwnd, int step) {
  std::lock_guard lock(Dispatcher::Mutex());
  if (WindowObject* window = FindWindowObject(hwnd)) window->paintsOpen += step;
}

}  // namespace vqplatform

using namespace vqplatform;

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  if (!rect) return FALSE;
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    if (!w.parent) {
      *rect = WithFrame(w.rect, w.frame);
      return TRUE;
    }
    POINT origin = ScreenOrigin(w.parent);
    *rect = RECT{w.rect.left + origin.x, w.rect.top + origin.y, w.rect.right + origin.x, w.rect.bottom + origin.y};
    return TRUE;
  });
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  if (!rect) return FALSE;
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    *rect = RECT{0, 0, Width(w.rect), Height(w.rect)};
    return TRUE;
  });
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  if (!point) return FALSE;
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    POINT origin = ScreenOrigin(&w);
    point->x += origin.x;
    point->y += origin.y;
    return TRUE;
  });
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  if (!point) return FALSE;
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    POINT origin = ScreenOrigin(&w);
    point->x -= origin.x;
    point->y -= origin.y;
    return TRUE;
  });
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW));
  return SetWindowPos(hwnd, nullptr, x, y, width, height, flags);
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  bool moved = false, sized = false;
  WPARAM kind = SIZE_RESTORED;
  BOOL ok = WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    RECT old = w.rect;
    // A top-level window is placed and sized with its frame, as on Windows.
    RECT outer = w.parent ? old : WithFrame(old, w.frame);
    if (!(flags & SWP_NOMOVE)) outer = RECT{x, y, x + Width(outer), y + Height(outer)};
    if (!(flags & SWP_NOSIZE)) {
      outer.right = outer.left + std::max(cx, 0);
      outer.bottom = outer.top + std::max(cy, 0);
    }
    RECT next = w.parent ? outer : WithoutFrame(outer, w.frame);
    moved = next.left != old.left || next.top != old.top;
    sized = Width(next) != Width(old) || Height(next) != Height(old);
    w.rect = next;
    if (!(flags & SWP_NOZORDER)) PlaceInZOrder(w, insertAfter);
    if (flags & SWP_SHOWWINDOW) ApplyVisibility(w, true);
    if (flags & SWP_HIDEWINDOW) ApplyVisibility(w, false);
    if ((moved || sized) && !(flags & SWP_NOREDRAW)) {
      MarkInvalid(&w, nullptr, true);
      if (w.parent) {
        MarkInvalid(w.parent, &old, true);
        MarkInvalid(w.parent, &next, true);
      }
    }
    kind = SizeKind(w.style);
    return TRUE;
  });
  if (ok) SendSizeAndMove(hwnd, kind, sized, moved);
  return ok;
}

BOOL ShowWindow(HWND hwnd, int command) {
  bool wasVisible = false, visibilityChanged = false, stateChanged = false;
  DWORD style = 0, exStyle = 0;
  BOOL ok = WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    wasVisible = (w.style & WS_VISIBLE) != 0;
    DWORD oldState = w.style & (WS_MINIMIZE | WS_MAXIMIZE);
    DWORD newState = oldState;
    switch (command) {
      case SW_SHOWMINIMIZED:
      case SW_MINIMIZE:
      case SW_SHOWMINNOACTIVE: newState = WS_MINIMIZE; break;
      case SW_SHOWMAXIMIZED: newState = WS_MAXIMIZE; break;
      case SW_SHOWNORMAL:
      case SW_RESTORE:
      case SW_SHOWDEFAULT: newState = 0; break;
      default: break;
    }
    bool visible = command != SW_HIDE;
    visibilityChanged = visible != wasVisible;
    stateChanged = newState != oldState;
    w.style = (w.style & ~static_cast<DWORD>(WS_MINIMIZE | WS_MAXIMIZE)) | newState;
    if (visibilityChanged) ApplyVisibility(w, visible);
    style = w.style;
    exStyle = w.exStyle;
    return TRUE;
  });
  if (!ok) return FALSE;
  if (visibilityChanged) SendMessageW(hwnd, WM_SHOWWINDOW, (style & WS_VISIBLE) ? TRUE : FALSE, 0);
  if (command == SW_HIDE && wasVisible)
    PassActivationOn(hwnd);
  else if (ActivatesWhenShown(command) && IsActivatable(style, exStyle))
    ActivateTopLevel(hwnd, WA_ACTIVE);
  if (stateChanged) SendSizeAndMove(hwnd, SizeKind(style), true, false);
  return wasVisible ? TRUE : FALSE;
}

namespace vqplatform {

void ApplySystemPlacement(HWND hwnd, const RECT& rect, DWORD state, DWORD stateMask, const RECT* frame) {
  stateMask &= WS_MINIMIZE | WS_MAXIMIZE;
  bool moved = false, sized = false, stateChanged = false, restored = false;
  DWORD style = 0;
  if (!WithWindow(hwnd, false, [&](WindowObject& w) {
        DWORD next = (w.style & ~stateMask) | (state & stateMask);
        restored = (w.style & WS_MINIMIZE) && !(next & WS_MINIMIZE);
        stateChanged = next != w.style;
        moved = rect.left != w.rect.left || rect.top != w.rect.top;
        sized = Width(rect) != Width(w.rect) || Height(rect) != Height(w.rect);
        w.style = next;
        w.rect = rect;
        if (frame) w.frame = *frame;
        if (sized) MarkInvalid(&w, nullptr, true);
        style = w.style;
        return true;
      }))
    return;
  SendSizeAndMove(hwnd, SizeKind(style), sized || stateChanged, moved);
  // Activated while minimised, the window could not take the focus then.
  HWND focus = GetFocus();
  if (restored && GetActiveWindow() == hwnd && focus != hwnd && !IsChild(hwnd, focus)) SetFocus(hwnd);
}

void ApplyWindowFrame(HWND hwnd, const RECT& frame, const POINT* clientCorner) {
  bool moved = false;
  if (!WithWindow(hwnd, false, [&](WindowObject& w) {
        if (w.parent) return false;
        RECT client = clientCorner ? RECT{clientCorner->x, clientCorner->y, 0, 0}
                                   : WithoutFrame(WithFrame(w.rect, w.frame), frame);
        client.right = client.left + Width(w.rect);
        client.bottom = client.top + Height(w.rect);
        moved = client.left != w.rect.left || client.top != w.rect.top;
        w.rect = client;
        w.frame = frame;
        return true;
      }))
    return;
  if (moved) SendSizeAndMove(hwnd, SIZE_RESTORED, false, true);
}

}  // namespace vqplatform

BOOL IsWindowVisible(HWND hwnd) {
  return WithWindow(hwnd, FALSE, [](WindowObject& w) { return IsVisibleOnScreen(&w) ? TRUE : FALSE; });
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  bool wasDisabled = false, changed = false;
  WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    wasDisabled = (w.style & WS_DISABLED) != 0;
    changed = wasDisabled == (enable != FALSE);
    if (enable)
      w.style &= ~static_cast<DWORD>(WS_DISABLED);
    else
      w.style |= WS_DISABLED;
    return TRUE;
  });
  // A disabled control keeps no focus: the keys would go nowhere.
  if (changed && !enable) vqplatform::PassFocusFromDisabled(hwnd);
  if (changed) SendMessageW(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
  return wasDisabled ? TRUE : FALSE;
}

BOOL IsWindowEnabled(HWND hwnd) {
  return WithWindow(hwnd, FALSE, [](WindowObject& w) { return (w.style & WS_DISABLED) ? FALSE : TRUE; });
}

BOOL IsIconic(HWND hwnd) {
  return WithWindow(hwnd, FALSE, [](WindowObject& w) { return (w.style & WS_MINIMIZE) ? TRUE : FALSE; });
}

BOOL IsZoomed(HWND hwnd) {
  return WithWindow(hwnd, FALSE, [](WindowObject& w) { return (w.style & WS_MAXIMIZE) ? TRUE : FALSE; });
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    if (!w.destroying) MarkInvalid(&w, rect, erase != FALSE);
    return TRUE;
  });
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    MarkValid(&w, rect);
    return TRUE;
  });
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    if (rect) *rect = w.invalid ? w.update.Bounds() : RECT{};
    return w.invalid ? TRUE : FALSE;
  });
}

BOOL UpdateWindow(HWND hwnd) {
  if (!IsOwnedByCaller(hwnd)) return IsWindow(hwnd);
  // The window and its descendants of this thread, parents first.
  std::vector<HWND> tree;
  WithWindow(hwnd, false, [&](WindowObject& root) {
    std::vector<WindowObject*> order{&root};
    for (size_t i = 0; i < order.size(); ++i) {
      tree.push_back(order[i]->handle);
      for (WindowObject* child : order[i]->children)
        if (child->thread == root.thread) order.push_back(child);
    }
    return true;
  });
  for (HWND window : tree) {
    bool due = WithWindow(window, false, [](WindowObject& w) { return w.invalid && IsVisibleOnScreen(&w); });
    if (due) SendMessageW(window, WM_PAINT, 0, 0);
  }
  return IsWindow(hwnd);
}
