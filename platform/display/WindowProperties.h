#pragma once
// The properties a window manager reads from a top-level X window (ICCCM and
// EWMH): names, class, process, window type, decorations and functions
// matching the window's boxes (WindowLook.h), size hints, owner, and the
// states it reports back (minimised in WM_STATE, maximised in _NET_WM_STATE,
// the frame around the window in _NET_FRAME_EXTENTS).
#include <X11/Xlib.h>

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "platform/display/WindowLook.h"
#include "platform/win/WinTypes.h"

namespace vqplatform {

class WindowProperties {
 public:
  explicit WindowProperties(Display* display);

  // WM_CLASS, WM_CLIENT_MACHINE and _NET_WM_PID.
  void SetIdentity(Window window);
  // WM_NAME and WM_ICON_NAME (Latin-1 or compound text), _NET_WM_NAME and
  // _NET_WM_ICON_NAME (UTF-8).
  void SetTitle(Window window, const std::wstring& title);
  // _VQ_MESSAGE_TEXT (UTF-8): what a message box says.
  void SetMessageText(Window window, const std::wstring& text);
  // _VQ_CONTROLS (UTF-8): the window's controls, described for tests.
  void SetControls(Window window, const std::string& utf8);
  void SetType(Window window, const WindowLook& look);
  // _MOTIF_WM_HINTS: the caption and its boxes, and what the user may do.
  void SetDecorations(Window window, const WindowLook& look, MaximiseWay way);
  // The position given places the frame's top-left corner (NorthWestGravity)
  // at `frameCorner`; windows without a thick frame keep their size (and
  // those with a maximise box grow only when maximised); a window that may
  // be sized or maximised gets no smaller than `least` (its client area,
  // as the program's WM_GETMINMAXINFO tells it; none where empty).
  void SetSizeHints(Window window, const WindowLook& look, POINT frameCorner, MaximiseWay way, SIZE least = {});
  // WM_HINTS and _NET_WM_STATE of a window about to be mapped.
  void SetInitialState(Window window, bool minimised, bool maximised);
  void SetOwner(Window window, Window owner);

  // Asks the window manager to maximise or restore a mapped window.
  void RequestMaximised(Window window, bool maximised);
  // Asks the window manager to activate a window, as the program.
  void RequestActivation(Window window, Window currentlyActive, Time time);
  // Asks the window manager to set _NET_FRAME_EXTENTS on a window not yet
  // mapped; false when it does not answer such requests.
  bool RequestFrameExtents(Window window);

  // IconicState or NormalState from WM_STATE; nothing while withdrawn.
  std::optional<bool> ReadIconic(Window window);
  // Maximised both ways in _NET_WM_STATE.
  bool ReadMaximised(Window window);
  // Minimised: iconic in WM_STATE, or hidden in _NET_WM_STATE.
  bool ReadHidden(Window window);
  // Whether _NET_WM_ALLOWED_ACTIONS lets the user maximise the window;
  // nothing while the window manager has not set it.
  // (A window manager may take the action away from a minimised window.)
  std::optional<bool> ReadMaximiseAllowed(Window window);
  bool HasWindowManager();
  // The window manager's own window (_NET_SUPPORTING_WM_CHECK), 0 without one.
  Window ReadSupportingWindow();
  // The frame around the window (left, top, right, bottom widths), if the
  // window manager has set it.
  std::optional<RECT> ReadFrameExtents(Window window);
  // _NET_WORKAREA of the first desktop, empty when not set.
  RECT ReadWorkArea();

  Atom wmProtocols = 0, wmDeleteWindow = 0, wmState = 0, netWmState = 0, netWorkArea = 0, netSupportingWmCheck = 0,
       netFrameExtents = 0, netSupported = 0, netWmAllowedActions = 0;

 private:
  void SetAtomProperty(Window window, Atom property, Atom value);
  void SetUtf8Property(Window window, const char* name, const std::string& utf8);
  // A property's 32-bit items (at most `most`); nothing (or empty) when it
  // is not set.
  std::optional<std::vector<long>> ReadItemsIfSet(Window window, Atom property, Atom type, long most);
  std::vector<long> ReadItems(Window window, Atom property, Atom type, long most);
  void SendToWindowManager(Window window, Atom type, std::initializer_list<long> values);
  Atom Intern(const char* name) { return XInternAtom(display_, name, False); }

  Display* display_;
  Atom utf8String_ = 0, netWmName_ = 0, netWmIconName_ = 0, netWmPid_ = 0, motifHints_ = 0, netWmWindowType_ = 0;
  Atom netMaxVert_ = 0, netMaxHorz_ = 0, netActiveWindow_ = 0, netRequestFrameExtents_ = 0, netActionMaxVert_ = 0,
       netActionMaxHorz_ = 0;
};

}  // namespace vqplatform
