// Window lifetime: creation, destruction, the default procedure, and what
// other parts of the layer attach to a window.
#include "platform/win/Window.h"

#include <algorithm>

#include "platform/display/FrameMemory.h"
#include "platform/display/Presenter.h"
#include "platform/win/InputFocus.h"
#include "platform/win/Icons.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"
#include "platform/win/WindowActivation.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

const int kDefaultWidth = 640;
const int kDefaultHeight = 480;

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
  PassActivationOn(hwnd);
  {
    std::lock_guard lock(Dispatcher::Mutex());
    WindowObject* window = FindWindowObject(hwnd);
    if (!window || window->destroying) return;
    window->destroying = true;
    // A shown child leaves its place in the parent to be painted again.
    if ((window->style & WS_VISIBLE) && window->parent && !window->parent->destroying)
      MarkInvalid(window->parent, &window->rect, true);
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
  if (!(style & WS_CHILD)) {
    // The rectangle given is the window's; the frame comes off it.
    object->frame = ExpectedFrame(WindowLook{style, exStyle, parent != nullptr, windowClass->name, object->rect});
    object->rect = WithoutFrame(object->rect, object->frame);
  }
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
  if ((style & WS_VISIBLE) && IsActivatable(style, exStyle)) ActivateTopLevel(hwnd, WA_ACTIVE);
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
    case WM_NCACTIVATE:
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam)) SetFocus(hwnd);
      return 0;
    case WM_SETICON:
      return WithWindow(hwnd, LRESULT{0}, [&](WindowObject& w) {
        HICON& slot = w.icons[wParam == ICON_BIG ? 1 : 0];
        auto previous = reinterpret_cast<LRESULT>(slot);
        slot = reinterpret_cast<HICON>(lParam);
        if (!w.parent) NotifyPresenter();  // the window manager shows it
        return previous;
      });
    case WM_GETICON:
      return WithWindow(hwnd, LRESULT{0}, [&](WindowObject& w) {
        HICON icon = wParam == ICON_BIG ? w.icons[1] : w.icons[0];
        if (!icon && wParam == ICON_SMALL2) icon = w.icons[1];
        return reinterpret_cast<LRESULT>(icon);
      });
    default:
      return 0;
  }
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(hwnd, message, wParam, lParam) : 0;
}
