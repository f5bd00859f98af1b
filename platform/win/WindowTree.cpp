// The window tree: parents, owners, siblings, children by id, and finding
// and enumerating windows.
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "platform/win/ProgramWindows.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"

using namespace vqplatform;

namespace {

// Calls `proc` for each window still alive when its turn comes.
BOOL EnumerateHandles(const std::vector<HWND>& handles, WNDENUMPROC proc, LPARAM lParam) {
  if (!proc) return FALSE;
  for (HWND hwnd : handles)
    if (IsWindow(hwnd) && !proc(hwnd, lParam)) return FALSE;
  return TRUE;
}

}  // namespace

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

HWND vqplatform::FindOwnTopLevelWindow(LPCWSTR className, LPCWSTR windowName) {
  std::lock_guard lock(Dispatcher::Mutex());
  for (WindowObject* w : TopLevelWindows()) {
    if (className && !EqualNoCase(w->windowClass->name, className)) continue;
    if (windowName && !EqualNoCase(w->text, windowName)) continue;
    return w->handle;
  }
  return nullptr;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  if (HWND own = FindOwnTopLevelWindow(className, windowName)) return own;
  // Other programs' windows are found by title only.
  return !className && windowName ? FindProgramWindow(windowName) : nullptr;
}

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

HWND GetDesktopWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x10000)); }

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
