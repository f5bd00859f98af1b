// Window class registration.
#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct ClassTable {
  std::mutex mutex;
  std::vector<std::shared_ptr<const WindowClassInfo>> classes;
  ATOM nextAtom = 0xC000;
};

ClassTable& Classes() {
  static auto* table = MakeSingleton<ClassTable>();
  return *table;
}

std::shared_ptr<const WindowClassInfo> FindLocked(ClassTable& table, const std::wstring& name) {
  for (auto& info : table.classes)
    if (EqualNoCase(info->name, name)) return info;
  return nullptr;
}

ATOM Register(WindowClassInfo info) {
  if (info.name.empty() || !info.proc || info.classExtra < 0 || info.windowExtra < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  ClassTable& table = Classes();
  std::lock_guard lock(table.mutex);
  if (FindLocked(table, info.name)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  info.atom = table.nextAtom++;
  auto stored = std::make_shared<WindowClassInfo>(std::move(info));
  table.classes.push_back(stored);
  return stored->atom;
}

}  // namespace

std::shared_ptr<const WindowClassInfo> FindWindowClass(LPCWSTR name) {
  if (!name) return nullptr;
  ClassTable& table = Classes();
  std::lock_guard lock(table.mutex);
  return FindLocked(table, name);
}

}  // namespace vqplatform

using namespace vqplatform;

ATOM RegisterClassW(const WNDCLASSW* c) {
  if (!c || !c->lpszClassName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WindowClassInfo info;
  info.name = c->lpszClassName;
  info.style = c->style;
  info.proc = c->lpfnWndProc;
  info.classExtra = c->cbClsExtra;
  info.windowExtra = c->cbWndExtra;
  info.instance = c->hInstance;
  info.icon = c->hIcon;
  info.cursor = c->hCursor;
  info.background = c->hbrBackground;
  if (c->lpszMenuName) info.menuName = c->lpszMenuName;
  return Register(std::move(info));
}

ATOM RegisterClassExW(const WNDCLASSEXW* c) {
  if (!c || !c->lpszClassName || c->cbSize != sizeof(WNDCLASSEXW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  WNDCLASSW plain{c->style,   c->lpfnWndProc,   c->cbClsExtra,    c->cbWndExtra,   c->hInstance,
                  c->hIcon,   c->hCursor,       c->hbrBackground, c->lpszMenuName, c->lpszClassName};
  ATOM atom = RegisterClassW(&plain);
  if (atom && c->hIconSm) {
    auto info = std::const_pointer_cast<WindowClassInfo>(FindWindowClass(c->lpszClassName));
    std::lock_guard lock(Classes().mutex);
    info->smallIcon = c->hIconSm;
  }
  return atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  if (!className) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ClassTable& table = Classes();
  std::lock_guard lock(table.mutex);
  auto info = FindLocked(table, className);
  if (!info) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  {
    std::lock_guard windowsLock(Dispatcher::Mutex());
    if (ClassHasWindows(info.get())) {
      SetLastError(ERROR_CLASS_HAS_WINDOWS);
      return FALSE;
    }
  }
  table.classes.erase(std::find(table.classes.begin(), table.classes.end(), info));
  return TRUE;
}

BOOL GetClassInfoExW(HINSTANCE, LPCWSTR className, WNDCLASSEXW* c) {
  auto info = FindWindowClass(className);
  if (!info || !c) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  std::lock_guard lock(Classes().mutex);
  c->style = info->style;
  c->lpfnWndProc = info->proc;
  c->cbClsExtra = info->classExtra;
  c->cbWndExtra = info->windowExtra;
  c->hInstance = info->instance;
  c->hIcon = info->icon;
  c->hCursor = info->cursor;
  c->hbrBackground = info->background;
  c->lpszMenuName = info->menuName.empty() ? nullptr : info->menuName.c_str();
  c->lpszClassName = info->name.c_str();
  c->hIconSm = info->smallIcon;
  return TRUE;
}

BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* c) {
  WNDCLASSEXW ex{};
  ex.cbSize = sizeof(ex);
  if (!c || !GetClassInfoExW(instance, className, &ex)) return FALSE;
  *c = WNDCLASSW{ex.style,   ex.lpfnWndProc, ex.cbClsExtra,     ex.cbWndExtra,   ex.hInstance,
                 ex.hIcon,   ex.hCursor,     ex.hbrBackground,  ex.lpszMenuName, ex.lpszClassName};
  return TRUE;
}
