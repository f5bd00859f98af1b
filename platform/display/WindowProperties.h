#pragma once
// The properties a window manager reads from a top-level X window (ICCCM and
// EWMH): names, class, process, window type, decorations and functions
// matching the window's boxes, size hints, owner, and the states it reports
// back (minimised in WM_STATE, maximised in _NET_WM_STATE).
#include <X11/Xlib.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "platform/win/WinTypes.h"

namespace vqplatform {

// What the properties are made from.
struct WindowLook {
  DWORD style = 0;
  DWORD exStyle = 0;
  bool owned = false;
  std::wstring className;
  RECT rect{};
};

class WindowProperties {
 public:
  explicit WindowProperties(Display* display);

  // Menus, drop-down lists and tooltips go around the window manager.
  static bool IsOverrideRedirect(const WindowLook& look);

  // WM_CLASS, WM_CLIENT_MACHINE and _NET_WM_PID.
  void SetIdentity(Window window);
  // WM_NAME and WM_ICON_NAME (Latin-1 or compound text), _NET_WM_NAME and
  // _NET_WM_ICON_NAME (UTF-8).
  void SetTitle(Window window, const std::wstring& title);
  void SetType(Window window, const WindowLook& look);
  // _MOTIF_WM_HINTS: the caption and its boxes, and what the user may do.
  void SetDecorations(Window window, const WindowLook& look);
  // The program's rectangle is the client area (StaticGravity); windows
  // that can neither be sized nor maximised have a fixed size.
  void SetSizeHints(Window window, const WindowLook& look);
  // WM_HINTS and _NET_WM_STATE of a window about to be mapped.
  void SetInitialState(Window window, bool minimised, bool maximised);
  void SetOwner(Window window, Window owner);

  // Asks the window manager to maximise or restore a mapped window.
  void RequestMaximised(Window window, bool maximised);
  // Asks the window manager to activate a window, as the program.
  void RequestActivation(Window window, Window currentlyActive, Time time);

  // IconicState or NormalState from WM_STATE; nothing while withdrawn.
  std::optional<bool> ReadIconic(Window window);
  // Maximised both ways in _NET_WM_STATE.
  bool ReadMaximised(Window window);
  bool HasWindowManager();
  // _NET_WORKAREA of the first desktop, empty when not set.
  RECT ReadWorkArea();

  Atom wmProtocols = 0, wmDeleteWindow = 0, wmState = 0, netWmState = 0, netWorkArea = 0, netSupportingWmCheck = 0;

 private:
  void SetAtomProperty(Window window, Atom property, Atom value);
  void SendToWindowManager(Window window, Atom type, std::initializer_list<long> values);
  Atom Intern(const char* name) { return XInternAtom(display_, name, False); }

  Display* display_;
  Atom utf8String_ = 0, netWmName_ = 0, netWmIconName_ = 0, netWmPid_ = 0, motifHints_ = 0, netWmWindowType_ = 0;
  Atom netMaxVert_ = 0, netMaxHorz_ = 0, netActiveWindow_ = 0;
};

}  // namespace vqplatform
