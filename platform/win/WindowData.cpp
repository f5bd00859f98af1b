// Window text and window data (GetWindowLongPtr / SetWindowLongPtr).
#include <cstring>

#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"

using namespace vqplatform;

namespace {

// The window's extra bytes at `index`, or null when out of range.
BYTE* ExtraSlot(WindowObject& w, int index) {
  if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w.extraBytes.size()) return nullptr;
  return w.extraBytes.data() + index;
}

}  // namespace

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

void* vqplatform::WindowObjectFromCreation(HWND hwnd, UINT message, LPARAM lParam) {
  if (void* object = reinterpret_cast<void*>(GetWindowLongPtrW(hwnd, 0))) return object;
  const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
  if (message != WM_NCCREATE || !create || !create->lpCreateParams) return nullptr;
  void* object = *static_cast<void* const*>(create->lpCreateParams);
  SetWindowLongPtrW(hwnd, 0, reinterpret_cast<LONG_PTR>(object));
  return object;
}
