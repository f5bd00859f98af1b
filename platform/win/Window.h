#pragma once
// Windows without drawing: classes, creation and destruction, the window
// tree with ids, styles, text and rectangles, window procedures and window
// data, visibility, enabling and invalidation. A child window has no frame:
// its client area is its whole rectangle. A top-level window's rectangle is
// its frame's, as on Windows, where a window manager draws one (GetClientRect,
// WM_SIZE and WM_MOVE are about the client area inside it); headless and
// without a window manager it has none.
#include <memory>
#include <vector>

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

// Window styles.
#define WS_OVERLAPPED 0x00000000L
#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_MINIMIZE 0x20000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CLIPSIBLINGS 0x04000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WS_MAXIMIZE 0x01000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_DLGFRAME 0x00400000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_THICKFRAME 0x00040000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define WS_MINIMIZEBOX 0x00020000L
#define WS_MAXIMIZEBOX 0x00010000L
#define WS_CHILDWINDOW WS_CHILD
#define WS_OVERLAPPEDWINDOW \
  (WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)
#define WS_POPUPWINDOW (WS_POPUP | WS_BORDER | WS_SYSMENU)

#define WS_EX_DLGMODALFRAME 0x00000001L
#define WS_EX_NOPARENTNOTIFY 0x00000004L
#define WS_EX_TOPMOST 0x00000008L
#define WS_EX_ACCEPTFILES 0x00000010L
#define WS_EX_TRANSPARENT 0x00000020L
#define WS_EX_TOOLWINDOW 0x00000080L
#define WS_EX_WINDOWEDGE 0x00000100L
#define WS_EX_CLIENTEDGE 0x00000200L
#define WS_EX_CONTROLPARENT 0x00010000L
#define WS_EX_STATICEDGE 0x00020000L
#define WS_EX_APPWINDOW 0x00040000L
#define WS_EX_LAYERED 0x00080000L

// Class styles.
#define CS_VREDRAW 0x0001
#define CS_HREDRAW 0x0002
#define CS_DBLCLKS 0x0008
#define CS_OWNDC 0x0020
#define CS_CLASSDC 0x0040
#define CS_PARENTDC 0x0080
#define CS_NOCLOSE 0x0200
#define CS_SAVEBITS 0x0800
#define CS_BYTEALIGNCLIENT 0x1000
#define CS_GLOBALCLASS 0x4000

#define CW_USEDEFAULT ((int)0x80000000)

// GetWindowLongPtr / SetWindowLongPtr indexes.
#define GWLP_WNDPROC (-4)
#define GWLP_HINSTANCE (-6)
#define GWLP_HWNDPARENT (-8)
#define GWLP_ID (-12)
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
#define GWLP_USERDATA (-21)
#define GWL_WNDPROC GWLP_WNDPROC
#define GWL_ID GWLP_ID
#define GWL_USERDATA GWLP_USERDATA
#define ERROR_INVALID_INDEX 1413L
#define ERROR_TLW_WITH_WSCHILD 1406L

// ShowWindow commands.
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_NORMAL 1
#define SW_SHOWMINIMIZED 2
#define SW_SHOWMAXIMIZED 3
#define SW_MAXIMIZE 3
#define SW_SHOWNOACTIVATE 4
#define SW_SHOW 5
#define SW_MINIMIZE 6
#define SW_SHOWMINNOACTIVE 7
#define SW_SHOWNA 8
#define SW_RESTORE 9
#define SW_SHOWDEFAULT 10

// SetWindowPos.
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_NOREDRAW 0x0008
#define SWP_NOACTIVATE 0x0010
#define SWP_FRAMECHANGED 0x0020
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
#define SWP_NOOWNERZORDER 0x0200
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_BOTTOM (reinterpret_cast<HWND>(1))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define HWND_NOTOPMOST (reinterpret_cast<HWND>(-2))

// GetWindow.
#define GW_HWNDFIRST 0
#define GW_HWNDLAST 1
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_OWNER 4
#define GW_CHILD 5

struct WNDCLASSW {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
};
struct WNDCLASSEXW {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCWSTR lpszMenuName;
  LPCWSTR lpszClassName;
  HICON hIconSm;
};
using WNDCLASS = WNDCLASSW;
using WNDCLASSEX = WNDCLASSEXW;

struct CREATESTRUCTW {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCWSTR lpszName;
  LPCWSTR lpszClass;
  DWORD dwExStyle;
};
using CREATESTRUCT = CREATESTRUCTW;
using LPCREATESTRUCT = CREATESTRUCTW*;

// WM_GETMINMAXINFO: the sizes a window may take, its frame included. The
// window manager is told the smallest (ptMinTrackSize) as the window's
// minimum size.
struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};
using LPMINMAXINFO = MINMAXINFO*;

using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

// Classes. Names compare without regard to case; the instance is ignored.
ATOM RegisterClassW(const WNDCLASSW* windowClass);
ATOM RegisterClassExW(const WNDCLASSEXW* windowClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, WNDCLASSW* windowClass);
BOOL GetClassInfoExW(HINSTANCE instance, LPCWSTR className, WNDCLASSEXW* windowClass);
int GetClassNameW(HWND hwnd, LPWSTR buffer, int maxCount);

// Creation sends WM_NCCREATE, WM_CREATE, WM_SIZE and WM_MOVE. For a child
// window `menu` is its id. A top-level window given a parent is owned by it.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
// Sends WM_DESTROY to the window, then destroys its children (those of other
// threads on their own threads), then sends WM_NCDESTROY; windows it owns go
// first. Only the owning thread may destroy a window.
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The tree.
HWND GetParent(HWND hwnd);
HWND GetWindow(HWND hwnd, UINT command);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam);
DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
// The desktop: a handle that stands for the screen in GetDC and
// GetWindowDC; it is no window of the tree.
HWND GetDesktopWindow();

// Text (WM_SETTEXT / WM_GETTEXT on the owning thread).
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount);
int GetWindowTextLengthW(HWND hwnd);

// Rectangles.
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL ClientToScreen(HWND hwnd, LPPOINT point);
BOOL ScreenToClient(HWND hwnd, LPPOINT point);

// State.
BOOL ShowWindow(HWND hwnd, int command);
BOOL IsWindowVisible(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);

// Window data.
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);

// Invalidation: an invalid visible window gets WM_PAINT when its thread's
// queue has nothing else to deliver (WM_TIMER comes after it), parents
// before their children. Invalidating a window without WS_CLIPCHILDREN
// invalidates its children under the area too.
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
// The bounds of the update region.
BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase);
// Sends WM_PAINT at once to the window, then to its descendants of this
// thread, where invalid.
BOOL UpdateWindow(HWND hwnd);

inline ATOM RegisterClass(const WNDCLASSW* c) { return RegisterClassW(c); }
inline ATOM RegisterClassEx(const WNDCLASSEXW* c) { return RegisterClassExW(c); }
inline BOOL UnregisterClass(LPCWSTR n, HINSTANCE i) { return UnregisterClassW(n, i); }
inline BOOL GetClassInfo(HINSTANCE i, LPCWSTR n, WNDCLASSW* c) { return GetClassInfoW(i, n, c); }
inline BOOL GetClassInfoEx(HINSTANCE i, LPCWSTR n, WNDCLASSEXW* c) { return GetClassInfoExW(i, n, c); }
inline int GetClassName(HWND h, LPWSTR b, int n) { return GetClassNameW(h, b, n); }
inline HWND CreateWindowEx(DWORD ex, LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h,
                           HWND parent, HMENU menu, HINSTANCE inst, LPVOID param) {
  return CreateWindowExW(ex, cls, name, style, x, y, w, h, parent, menu, inst, param);
}
inline HWND CreateWindowW(LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h, HWND parent,
                          HMENU menu, HINSTANCE inst, LPVOID param) {
  return CreateWindowExW(0, cls, name, style, x, y, w, h, parent, menu, inst, param);
}
inline HWND CreateWindow(LPCWSTR cls, LPCWSTR name, DWORD style, int x, int y, int w, int h, HWND parent,
                         HMENU menu, HINSTANCE inst, LPVOID param) {
  return CreateWindowExW(0, cls, name, style, x, y, w, h, parent, menu, inst, param);
}
inline LRESULT DefWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }
inline LRESULT CallWindowProc(WNDPROC p, HWND h, UINT m, WPARAM w, LPARAM l) {
  return CallWindowProcW(p, h, m, w, l);
}
inline HWND FindWindow(LPCWSTR cls, LPCWSTR name) { return FindWindowW(cls, name); }
inline BOOL SetWindowText(HWND h, LPCWSTR t) { return SetWindowTextW(h, t); }
inline int GetWindowText(HWND h, LPWSTR b, int n) { return GetWindowTextW(h, b, n); }
inline int GetWindowTextLength(HWND h) { return GetWindowTextLengthW(h); }
inline LONG_PTR GetWindowLongPtr(HWND h, int i) { return GetWindowLongPtrW(h, i); }
inline LONG_PTR SetWindowLongPtr(HWND h, int i, LONG_PTR v) { return SetWindowLongPtrW(h, i, v); }
inline LONG GetWindowLong(HWND h, int i) { return GetWindowLongW(h, i); }
inline LONG SetWindowLong(HWND h, int i, LONG v) { return SetWindowLongW(h, i, v); }

namespace vqplatform {

// A top-level window's place and state as the window manager made them
// (its client area on the screen; state: WS_MINIMIZE and WS_MAXIMIZE under
// `stateMask`; the frame around it when given), applied on the window's
// thread with the WM_SIZE and WM_MOVE a user's action brings.
void ApplySystemPlacement(HWND hwnd, const RECT& rect, DWORD state, DWORD stateMask, const RECT* frame = nullptr);
// The frame the window manager put around a top-level window (widths:
// left, top, right, bottom) before showing it: the window's rectangle keeps
// its top-left corner and its client size, so the client area moves
// (WM_MOVE) inside the frame; or, given `clientCorner`, the client area goes
// there (a window centred again in its new frame).
void ApplyWindowFrame(HWND hwnd, const RECT& frame, const POINT* clientCorner = nullptr);

// Data other parts of the layer keep per window (drawing surfaces, framework
// objects). Released after WM_NCDESTROY.
void SetWindowAttachment(HWND hwnd, const char* key, std::shared_ptr<void> value);
std::shared_ptr<void> GetWindowAttachment(HWND hwnd, const char* key);

// The object pointer a window keeps in its first window-data slot. On
// WM_NCCREATE, while the slot is empty, it is first taken from the creation
// parameter, which points to a variable holding the pointer. Null before.
void* WindowObjectFromCreation(HWND hwnd, UINT message, LPARAM lParam);

// Takes the pending update region (as rectangles) and validates the window
// (BeginPaint). False when nothing was invalid.
bool TakeUpdateRegion(HWND hwnd, std::vector<RECT>* region, bool* erase);
// A paint of the window begun (+1) or ended (-1): a window is drawn once
// none is due and none under way.
void CountPaint(HWND hwnd, int step);

}  // namespace vqplatform
