#pragma once
// Internal: the process's windows and window classes. Every member of a
// WindowObject is guarded by the dispatcher lock; window procedures are
// always called with the lock released.
#include <cairo.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/Dispatcher.h"
#include "platform/win/Messages.h"
#include "platform/win/Threads.h"

namespace vqplatform {

struct WindowClassInfo {
  std::wstring name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HICON smallIcon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
  std::wstring menuName;
  ATOM atom = 0;
};

// A window's update region, in client coordinates.
class UpdateRegion {
 public:
  UpdateRegion() : region_(cairo_region_create()) {}
  ~UpdateRegion() { cairo_region_destroy(region_); }
  UpdateRegion(const UpdateRegion&) = delete;
  UpdateRegion& operator=(const UpdateRegion&) = delete;
  void Add(const RECT& r);
  void Subtract(const RECT& r);
  void Clear();
  bool IsEmpty() const { return cairo_region_is_empty(region_) != 0; }
  RECT Bounds() const;
  std::vector<RECT> Rectangles() const;

 private:
  cairo_region_t* region_;
};

struct WindowObject {
  HWND handle = nullptr;
  std::shared_ptr<ThreadContext> thread;
  std::shared_ptr<const WindowClassInfo> windowClass;
  WNDPROC proc = nullptr;
  std::wstring text;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};  // in the parent's client coordinates; screen coordinates for top-level windows
  // Top-level windows: the widths of the frame the window manager draws
  // around the client area `rect` (left, top, right, bottom); empty without
  // one. The window's rectangle is `rect` and its frame.
  RECT frame{};
  UINT_PTR id = 0;
  HINSTANCE instance = nullptr;
  WindowObject* parent = nullptr;     // child windows
  HWND owner = nullptr;               // owned top-level windows
  std::vector<WindowObject*> children;  // top of the z-order first
  LONG_PTR userData = 0;
  HICON icons[2] = {nullptr, nullptr};  // WM_SETICON: small, big
  std::vector<BYTE> extraBytes;
  bool destroying = false;
  bool invalid = false;  // a WM_PAINT is due: `update` is not empty
  int paintsOpen = 0;    // between BeginPaint and EndPaint
  bool eraseBackground = false;
  UpdateRegion update;
  std::map<std::string, std::shared_ptr<void>> attachments;
};

// All of these need the dispatcher lock.
WindowObject* FindWindowObject(HWND hwnd);
WindowObject* AddWindowObject(std::shared_ptr<WindowObject> window);
// Unlinks the window (not its children) and drops its queued messages,
// timers and pending paint; messages sent to it and not yet handled are
// answered with 0. The caller releases the returned object after
// dropping the lock.
std::shared_ptr<WindowObject> RemoveWindowObject(WindowObject* window);
// Top-level windows, top of the z-order first.
std::vector<WindowObject*>& TopLevelWindows();
// The sibling list a window lives in.
std::vector<WindowObject*>& SiblingsOf(WindowObject* window);
bool IsVisibleOnScreen(const WindowObject* window);
bool IsDescendant(const WindowObject* ancestor, const WindowObject* window);
POINT ScreenOrigin(const WindowObject* window);
// Adds `area` (client coordinates; null: all) to the update region. Unless
// the window clips its children, the children of its thread under the area
// are invalidated too: the window's painting covers them.
void MarkInvalid(WindowObject* window, const RECT* area, bool erase);
// Removes `area` (null: all) from the update region.
void MarkValid(WindowObject* window, const RECT* area = nullptr);

// A registered class by name (lock not needed), or null.
std::shared_ptr<const WindowClassInfo> FindWindowClass(LPCWSTR name);
// Whether any window of the class exists (dispatcher lock held).
bool ClassHasWindows(const WindowClassInfo* windowClass);

inline LONG Width(const RECT& r) { return r.right - r.left; }
inline LONG Height(const RECT& r) { return r.bottom - r.top; }
// A rectangle grown by the widths of a frame, and shrunk by them.
RECT WithFrame(const RECT& client, const RECT& frame);
RECT WithoutFrame(const RECT& window, const RECT& frame);

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

// Whether the calling thread owns the window (lock not held).
bool IsOwnedByCaller(HWND hwnd);
// Copies text with its terminator into a buffer of `capacity` characters;
// returns the characters copied.
size_t CopyText(const std::wstring& text, LPWSTR buffer, size_t capacity);
// Sends WM_SIZE and/or WM_MOVE with the window's current rectangle.
void SendSizeAndMove(HWND hwnd, WPARAM sizeKind, bool sized, bool moved);

// The first top-level window of this process with the class and title
// (either may be null), or null.
HWND FindOwnTopLevelWindow(LPCWSTR className, LPCWSTR windowName);

// Case-insensitive comparison of class names and titles.
bool EqualNoCase(const std::wstring& a, const std::wstring& b);

// Calls the window's procedure (lock not held); 0 for a destroyed window.
LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Runs `task` on the thread that owns `hwnd`: directly when that is the
// calling thread, otherwise as a sent message (the caller blocks and keeps
// answering messages sent to its own thread). 0 when the thread is gone.
LRESULT RunOnWindowThread(HWND hwnd, std::function<LRESULT()> task);

// Sends as SendMessageW does, but waits for the window's thread to take the
// message only until the clock reaches `deadline` (Clock::NowMs): a message
// not taken by then is withdrawn, never handled, and the result is false.
// One already being handled is waited for to its end. A window that is gone
// answers 0 at once (true).
bool SendMessageBefore(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, uint64_t deadline, LRESULT* result);

// Removes, without messages, every window owned by a thread that has ended.
void RemoveWindowsOfEndedThread(ThreadContext& thread);

}  // namespace vqplatform
