// Window creation, destruction, the tree and window properties.
#include "platform/win/Window.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

const int kDefaultWidth = 640;
const int kDefaultHeight = 480;

LONG Width(const RECT& r) { return r.right - r.left; }
LONG Height(const RECT& r) { return r.bottom - r.top; }

// Runs `read` on the window under the dispatcher lock; `fallback` (with the
// error set) when the handle is not a window.
template <class Result, class Read>
Result WithWindow(HWND hwnd, Result fallback, Read read) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  if (!window) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return fallback;
  }
  return read(*window);
}

bool IsOwnedByCaller(HWND hwnd) {
  ThreadContext& self = Dispatcher::Current();
  return WithWindow(hwnd, false, [&](WindowObject& w) { return w.thread.get() == &self; });
}

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

WPARAM SizeKind(DWORD style) {
  if (style & WS_MINIMIZE) return SIZE_MINIMIZED;
  if (style & WS_MAXIMIZE) return SIZE_MAXIMIZED;
  return SIZE_RESTORED;
}

// Handles of the windows `hwnd` owns (top-level windows with it as owner).
std::vector<HWND> OwnedWindows(HWND hwnd) {
  std::vector<HWND> owned;
  std::lock_guard lock(Dispatcher::Mutex());
  for (WindowObject* w : TopLevelWindows())
    if (w->owner == hwnd && !w->destroying) owned.push_back(w->handle);
  return owned;
}

std::vector<HWND> ChildHandles(HWND hwnd) {
  std::vector<HWND> children;
  std::lock_guard lock(Dispatcher::Mutex());
  if (WindowObject* window = FindWindowObject(hwnd))
    for (WindowObject* child : window->children) children.push_back(child->handle);
  return children;
}

void DestroyTree(HWND hwnd);

// Runs `step` for `hwnd` on the thread that owns it.
void OnOwningThread(HWND hwnd, void (*step)(HWND)) {
  RunOnWindowThread(hwnd, [hwnd, step] {
    step(hwnd);
    return LRESULT{0};
  });
}

// First phase: WM_DESTROY to the window, then to its descendants. Windows it
// owns are destroyed completely before it.
void SendDestroyMessages(HWND hwnd) {
  {
    std::lock_guard lock(Dispatcher::Mutex());
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || window->destroying) return;
    window->destroying = true;
    window->style &= ~static_cast<DWORD>(WS_VISIBLE);
    MarkValid(window);
  }
  for (HWND owned : OwnedWindows(hwnd)) OnOwningThread(owned, DestroyTree);
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  for (HWND child : ChildHandles(hwnd)) OnOwningThread(child, SendDestroyMessages);
}

// Second phase: descendants first, then WM_NCDESTROY and the handle is gone.
void FreeWindowTree(HWND hwnd) {
  for (HWND child : ChildHandles(hwnd)) OnOwningThread(child, FreeWindowTree);
  if (!IsWindow(hwnd)) return;
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  std::shared_ptr<WindowObject> removed;  // released after the lock
  std::lock_guard lock(Dispatcher::Mutex());
  if (WindowObject* window = FindWindowObject(hwnd)) removed = RemoveWindowObject(window);
}

void DestroyTree(HWND hwnd) {
  SendDestroyMessages(hwnd);
  FreeWindowTree(hwnd);
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

size_t CopyText(const std::wstring& text, LPWSTR buffer, size_t capacity) {
  if (!buffer || capacity == 0) return 0;
  size_t count = std::min(text.size(), capacity - 1);
  std::wmemcpy(buffer, text.data(), count);
  buffer[count] = L'\0';
  return count;
}

}  // namespace

void SetWindowAttachment(HWND hwnd, const char* key, std::shared_ptr<void> value) {
  std::shared_ptr<void> previous;  // released after the lock
  std::lock_guard lock(Dispatcher::Mutex());
  if (WindowObject* window = FindWindowObject(hwnd)) {
    auto& slot = window->attachments[key];
    previous = std::move(slot);
    slot = std::move(value);
  }
}

std::shared_ptr<void> GetWindowAttachment(HWND hwnd, const char* key) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  if (!window) return nullptr;
  auto it = window->attachments.find(key);
  return it == window->attachments.end() ? nullptr : it->second;
}

bool TakeUpdateRect(HWND hwnd, RECT* rect, bool* erase) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  if (!window || !window->invalid) {
    if (rect) *rect = RECT{};
    if (erase) *erase = false;
    return false;
  }
  if (rect) *rect = window->updateRect;
  if (erase) *erase = window->eraseBackground;
  MarkValid(window);
  return true;
}

bool ClassHasWindows(const WindowClassInfo* windowClass) {
  std::vector<WindowObject*> pending(TopLevelWindows().begin(), TopLevelWindows().end());
  for (size_t i = 0; i < pending.size(); ++i) {
    if (pending[i]->windowClass.get() == windowClass) return true;
    pending.insert(pending.end(), pending[i]->children.begin(), pending[i]->children.end());
  }
  return false;
}

}  // namespace vqplatform

using namespace vqplatform;

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto windowClass = FindWindowClass(className);
  if (!windowClass) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if ((style & WS_CHILD) && !parent) {
    SetLastError(ERROR_TLW_WITH_WSCHILD);
    return nullptr;
  }
  if (x == CW_USEDEFAULT) x = y = 0;
  if (width == CW_USEDEFAULT) {
    width = kDefaultWidth;
    height = kDefaultHeight;
  }
  auto object = std::make_shared<WindowObject>();
  object->thread = Dispatcher::CurrentShared();
  object->windowClass = windowClass;
  object->proc = windowClass->proc;
  object->style = style;
  object->exStyle = exStyle;
  object->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
  object->instance = instance;
  object->extraBytes.assign(static_cast<size_t>(windowClass->windowExtra), 0);
  HWND hwnd = nullptr;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    WindowObject* parentObject = parent ? FindWindowObject(parent) : nullptr;
    if (parent && (!parentObject || parentObject->destroying)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if (style & WS_CHILD) {
      object->parent = parentObject;
      object->id = reinterpret_cast<UINT_PTR>(menu);
    } else if (parentObject) {
      // The owner of a top-level window is itself top-level.
      while (parentObject->parent) parentObject = parentObject->parent;
      object->owner = parentObject->handle;
    }
    hwnd = AddWindowObject(std::move(object))->handle;
  }
  CREATESTRUCTW create{param,  instance, menu,  parent,          height,    width,
                       y,      x,        static_cast<LONG>(style), windowName, className, exStyle};
  if (!SendMessageW(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
    // Refused before it existed: only WM_NCDESTROY follows.
    SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
    std::shared_ptr<WindowObject> removed;
    std::lock_guard lock(Dispatcher::Mutex());
    if (WindowObject* window = FindWindowObject(hwnd)) removed = RemoveWindowObject(window);
    return nullptr;
  }
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  if (!IsWindow(hwnd)) return nullptr;  // destroyed while being created
  SendSizeAndMove(hwnd, SIZE_RESTORED, true, true);
  WithWindow(hwnd, 0, [](WindowObject& w) {
    if (w.style & WS_VISIBLE) MarkInvalid(&w, nullptr, true);
    return 0;
  });
  return hwnd;
}

BOOL DestroyWindow(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (!IsOwnedByCaller(hwnd)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  // A window already on its way out (DestroyWindow from its WM_DESTROY) is
  // left to the destruction under way.
  if (WithWindow(hwnd, true, [](WindowObject& w) { return w.destroying; })) return FALSE;
  DestroyTree(hwnd);
  return TRUE;
}

BOOL IsWindow(HWND hwnd) {
  std::lock_guard lock(Dispatcher::Mutex());
  return FindWindowObject(hwnd) ? TRUE : FALSE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
      if (create && create->lpszName) DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(create->lpszName));
      return TRUE;
    }
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SETTEXT: {
      auto* text = reinterpret_cast<LPCWSTR>(lParam);
      return WithWindow(hwnd, LRESULT{FALSE}, [&](WindowObject& w) {
        w.text = text ? text : L"";
        return LRESULT{TRUE};
      });
    }
    case WM_GETTEXT:
      return WithWindow(hwnd, LRESULT{0}, [&](WindowObject& w) {
        return static_cast<LRESULT>(CopyText(w.text, reinterpret_cast<LPWSTR>(lParam), wParam));
      });
    case WM_GETTEXTLENGTH:
      return WithWindow(hwnd, LRESULT{0}, [](WindowObject& w) { return static_cast<LRESULT>(w.text.size()); });
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    default:
      return 0;
  }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

HWND GetParent(HWND hwnd) {
  return WithWindow(hwnd, HWND{}, [](WindowObject& w) -> HWND {
    if (w.parent) return w.parent->handle;
    return (w.style & WS_POPUP) ? w.owner : nullptr;
  });
}

HWND GetWindow(HWND hwnd, UINT command) {
  return WithWindow(hwnd, HWND{}, [&](WindowObject& w) -> HWND {
    auto& siblings = SiblingsOf(&w);
    auto self = std::find(siblings.begin(), siblings.end(), &w);
    switch (command) {
      case GW_HWNDFIRST: return siblings.front()->handle;
      case GW_HWNDLAST: return siblings.back()->handle;
      case GW_HWNDNEXT: return self + 1 != siblings.end() ? (*(self + 1))->handle : nullptr;
      case GW_HWNDPREV: return self != siblings.begin() ? (*(self - 1))->handle : nullptr;
      case GW_OWNER: return w.owner;
      case GW_CHILD: return w.children.empty() ? nullptr : w.children.front()->handle;
      default: return nullptr;
    }
  });
}

BOOL IsChild(HWND parent, HWND hwnd) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* ancestor = FindWindowObject(parent);
  return ancestor && IsDescendant(ancestor, FindWindowObject(hwnd)) ? TRUE : FALSE;
}

HWND GetDlgItem(HWND dialog, int id) {
  return WithWindow(dialog, HWND{}, [&](WindowObject& w) -> HWND {
    for (WindowObject* child : w.children)
      if (child->id == static_cast<UINT_PTR>(static_cast<UINT>(id))) return child->handle;
    return nullptr;
  });
}

int GetDlgCtrlID(HWND hwnd) {
  return WithWindow(hwnd, 0, [](WindowObject& w) { return w.parent ? static_cast<int>(w.id) : 0; });
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  std::lock_guard lock(Dispatcher::Mutex());
  for (WindowObject* w : TopLevelWindows()) {
    if (className && !EqualNoCase(w->windowClass->name, className)) continue;
    if (windowName && !EqualNoCase(w->text, windowName)) continue;
    return w->handle;
  }
  return nullptr;
}

namespace {

// Calls `proc` for each window still alive when its turn comes.
BOOL EnumerateHandles(const std::vector<HWND>& handles, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  for (HWND hwnd : handles)
    if (IsWindow(hwnd) && !proc(hwnd, lParam)) return FALSE;
  return TRUE;
}

}  // namespace

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> handles;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    for (WindowObject* w : TopLevelWindows()) handles.push_back(w->handle);
  }
  return EnumerateHandles(handles, proc, lParam);
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam) {
  std::vector<HWND> handles;
  {
    std::lock_guard lock(Dispatcher::Mutex());
    std::function<void(WindowObject*)> collect = [&](WindowObject* w) {
      for (WindowObject* child : w->children) {
        handles.push_back(child->handle);
        collect(child);
      }
    };
    if (WindowObject* w = FindWindowObject(parent)) collect(w);
  }
  return EnumerateHandles(handles, proc, lParam);
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId) {
  DWORD thread = WithWindow(hwnd, DWORD{0}, [](WindowObject& w) { return w.thread->id; });
  if (thread && processId) *processId = static_cast<DWORD>(getpid());
  return thread;
}

int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount) {
  return WithWindow(hwnd, 0, [&](WindowObject& w) {
    return maxCount > 0 ? static_cast<int>(CopyText(w.windowClass->name, buffer, static_cast<size_t>(maxCount))) : 0;
  });
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  if (!buffer || maxCount <= 0) return 0;
  buffer[0] = L'\0';
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  // Another thread's window is read directly, without waiting for its thread.
  if (!IsOwnedByCaller(hwnd))
    return WithWindow(hwnd, 0, [&](WindowObject& w) {
      return static_cast<int>(CopyText(w.text, buffer, static_cast<size_t>(maxCount)));
    });
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd) {
  if (!IsWindow(hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!IsOwnedByCaller(hwnd))
    return WithWindow(hwnd, 0, [](WindowObject& w) { return static_cast<int>(w.text.size()); });
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  if (!rect) return FALSE;
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    POINT origin = w.parent ? ScreenOrigin(w.parent) : POINT{0, 0};
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
    RECT next = old;
    if (!(flags & SWP_NOMOVE)) next = RECT{x, y, x + Width(old), y + Height(old)};
    if (!(flags & SWP_NOSIZE)) {
      next.right = next.left + std::max(cx, 0);
      next.bottom = next.top + std::max(cy, 0);
    }
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
  DWORD style = 0;
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
    return TRUE;
  });
  if (!ok) return FALSE;
  if (visibilityChanged) SendMessageW(hwnd, WM_SHOWWINDOW, (style & WS_VISIBLE) ? TRUE : FALSE, 0);
  if (stateChanged) SendSizeAndMove(hwnd, SizeKind(style), true, false);
  return wasVisible ? TRUE : FALSE;
}

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

namespace {

// The window's extra bytes at `index`, or null when out of range.
BYTE* ExtraSlot(WindowObject& w, int index) {
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w.extraBytes.size()) return nullptr;
  return w.extraBytes.data() + index;
}

}  // namespace

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  return WithWindow(hwnd, LONG_PTR{0}, [&](WindowObject& w) -> LONG_PTR {
    switch (index) {
      case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(w.proc);
      case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(w.instance);
      case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(w.parent ? w.parent->handle : w.owner);
      case GWLP_ID: return static_cast<LONG_PTR>(w.id);
      case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w.style));
      case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(w.exStyle));
      case GWLP_USERDATA: return w.userData;
      default: break;
    }
    BYTE* slot = ExtraSlot(w, index);
    if (!slot) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, slot, sizeof(value));
    return value;
  });
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  return WithWindow(hwnd, LONG_PTR{0}, [&](WindowObject& w) -> LONG_PTR {
    LONG_PTR previous = 0;
    switch (index) {
      case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(w.proc);
        w.proc = reinterpret_cast<WNDPROC>(value);
        return previous;
      case GWLP_HINSTANCE:
        previous = reinterpret_cast<LONG_PTR>(w.instance);
        w.instance = reinterpret_cast<HINSTANCE>(value);
        return previous;
      case GWLP_ID:
        previous = static_cast<LONG_PTR>(w.id);
        w.id = static_cast<UINT_PTR>(value);
        return previous;
      case GWL_STYLE:
        previous = static_cast<LONG>(w.style);
        w.style = static_cast<DWORD>(value);
        return previous;
      case GWL_EXSTYLE:
        previous = static_cast<LONG>(w.exStyle);
        w.exStyle = static_cast<DWORD>(value);
        return previous;
      case GWLP_USERDATA:
        previous = w.userData;
        w.userData = value;
        return previous;
      default: break;
    }
    BYTE* slot = ExtraSlot(w, index);
    if (!slot) {
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
    }
    std::memcpy(&previous, slot, sizeof(previous));
    std::memcpy(slot, &value, sizeof(value));
    return previous;
  });
}

LONG GetWindowLongW(HWND hwnd, int index) { return static_cast<LONG>(GetWindowLongPtrW(hwnd, index)); }

LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    if (!w.destroying) MarkInvalid(&w, rect, erase != FALSE);
    return TRUE;
  });
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
  return WithWindow(hwnd, FALSE, [](WindowObject& w) {
    MarkValid(&w);
    return TRUE;
  });
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  return WithWindow(hwnd, FALSE, [&](WindowObject& w) {
    if (rect) *rect = w.invalid ? w.updateRect : RECT{};
    return w.invalid ? TRUE : FALSE;
  });
}

BOOL UpdateWindow(HWND hwnd) {
  bool due = WithWindow(hwnd, false, [](WindowObject& w) { return w.invalid && IsVisibleOnScreen(&w); });
  if (due && IsOwnedByCaller(hwnd)) SendMessageW(hwnd, WM_PAINT, 0, 0);
  return IsWindow(hwnd);
}
