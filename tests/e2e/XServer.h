#pragma once
// Test access to the X server the tests run against: screenshots read back
// from the server, and a user's mouse and keyboard through XTest.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/Dialog.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/MessageBox.h"
#include "platform/win/WinTypes.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Waiting.h"
#include "tests/support/Windows.h"

namespace vqtest {

// A picture as 0x00RRGGBB pixels, rows top-down.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool SavePng(const std::string& path) const;
  // Pure blue pixels: the preview's outline of a document.
  size_t BluePixels() const;
  // Pixels that differ from `other` (all of them when the sizes differ).
  size_t CountDifferences(const std::vector<uint32_t>& other, int otherWidth, int otherHeight) const;
  // The same against another screenshot or a layer's picture.
  template <class Picture>
  size_t CountDifferences(const Picture& other) const {
    return CountDifferences(other.pixels, other.width, other.height);
  }
};

// While it lives, X errors of every connection of the process are ignored:
// windows of the program under test may vanish between listing and reading.
class XErrorsIgnored {
 public:
  explicit XErrorsIgnored(Display* display)
      : display_(display), previous_(XSetErrorHandler([](Display*, XErrorEvent*) { return 0; })) {}
  ~XErrorsIgnored() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  XErrorsIgnored(const XErrorsIgnored&) = delete;
  XErrorsIgnored& operator=(const XErrorsIgnored&) = delete;

 private:
  Display* display_;
  XErrorHandler previous_;
};

// A viewable top-level window, its place on the screen and its title
// (_NET_WM_NAME, empty without one).
struct ShownX {
  unsigned long window = 0;
  RECT place{};
  std::string title;
};

class XServer {
 public:
  // The server of DISPLAY, or the one named.
  explicit XServer(const std::string& displayName = "");
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  bool Connected() const { return display_ != nullptr; }

  // What the server shows in a screen rectangle (read from the root window).
  Screenshot Grab(const RECT& screen);
  // Pointer and keys as a user's.
  void Click(POINT screen);
  void RightClick(POINT screen);
  void MovePointer(POINT screen);
  // Left button down at `from`, moved in `steps` to `to`, released there
  // once `arrived` holds (a window manager moving a window has followed the
  // last motion: a release before would end the move short); without it,
  // once the window manager has handled the motion.
  void Drag(POINT from, POINT to, int steps = 8, const std::function<bool()>& arrived = nullptr);
  // Whether no client holds the pointer grabbed (a window manager has
  // ended the move or menu a press began), so the next press is a new one.
  bool PointerFree();
  // Wheel notches at a point: positive away from the user (zoom in).
  void Wheel(POINT screen, int notches);
  void Type(const std::string& asciiText);
  // Characters without a key of their own, each through a spare key code
  // given its key symbol (as a keyboard layout or an input method would
  // deliver them). The codes keep their symbols while this object lives,
  // so a busy client that looks a key up late still reads the right one.
  void TypeUnicode(const std::wstring& text);
  void PressKey(unsigned long keysym);
  // Gives a window the keyboard focus.
  void Focus(unsigned long xwindow);
  // The window manager's close request to a window.
  void RequestClose(unsigned long xwindow);
  // Destroys a window of another client, as xkill or a crashing window
  // manager may.
  void DestroyWindow(unsigned long xwindow);
  // Whether the window exists and is mapped.
  bool IsShown(unsigned long xwindow);
  // Whether a top-level window of this process is on the screen, where a
  // user can see and click it: it has an X window, the presenter's requests
  // reached the server, and the server shows it.
  bool Shows(HWND window);
  // Shown, and where the window manager put it as far as the program knows:
  // clicks aimed by the program's idea of its controls land.
  bool ShowsInPlace(HWND window);
  // A user's click in the middle of a control of a window of this process.
  void ClickControl(HWND dialog, int id);
  // Saves what the server shows of a window of this process, once the
  // presenter's requests reached it, as the PNG screenshot `name`.
  void Shoot(HWND window, const std::string& name);

  void DoubleClick(POINT screen);
  // What a taskbar does: minimise a window, and activate (restore) one.
  void MinimiseAsTaskbar(unsigned long xwindow);
  void ActivateAsTaskbar(unsigned long xwindow);
  // Where a window's client area lies on the screen, asked of the server.
  RECT ClientRectOnScreen(unsigned long xwindow);
  // The decorations around a client window: left, right, top, bottom.
  RECT FrameExtents(unsigned long xwindow);
  // Whether the window has a bounding shape of its own (most window
  // managers draw no frame around such a window).
  bool BoundingShaped(unsigned long xwindow);
  // The window manager's frame around a client window, asked of the server
  // as `xwininfo -frame` does (the client window itself without one).
  RECT FrameRectOnScreen(unsigned long xwindow);
  // What the xwininfo tool (`xwininfo -frame`) reports of a client window,
  // from its own connection: its frame's corner (where it lies less where
  // it lies in its parent, the frame) and its client area on the screen;
  // nothing when it cannot be run.
  struct XwininfoReport {
    POINT frameCorner{};
    RECT client{};
  };
  static std::optional<XwininfoReport> Xwininfo(unsigned long xwindow);
  // The viewable top-level windows, bottom to top; under a window manager,
  // the named windows inside its frames.
  std::vector<ShownX> ShownWindows();
  // The first of them that passes `wanted`, and the one titled so.
  std::optional<ShownX> FindShown(const std::function<bool(const ShownX&)>& wanted);
  std::optional<ShownX> ShownTitled(const std::string& title);
  std::string Title(unsigned long xwindow);
  // The client windows the window manager manages (_NET_CLIENT_LIST).
  std::vector<unsigned long> ManagedWindows();
  // The shown managed window whose title starts so, 0 when there is none
  // (a program's windows may go while they are looked at).
  unsigned long ShownManagedWindow(const std::string& titleStart);
  unsigned long FocusedWindow();
  // A property's raw value: its type's name, and 8-bit bytes or 32-bit
  // items; all empty when the window has no such property.
  struct Property {
    std::string type;
    std::string bytes;
    std::vector<long> items;
  };
  Property ReadProperty(unsigned long xwindow, const char* name);
  // The names of the atoms a property lists.
  std::vector<std::string> ReadAtoms(unsigned long xwindow, const char* name);
  // Waits until a window manager runs on the server.
  bool WaitForWindowManager();
  // The work area the window manager leaves the programs (_NET_WORKAREA of
  // the first desktop), empty while it has set none.
  RECT WorkArea();
  // A desktop panel along a side of the screen, as a taskbar is: a dock
  // window reserving `thickness` pixels there (_NET_WM_STRUT and
  // _NET_WM_STRUT_PARTIAL), returned once it is shown and the window
  // manager has taken its strip out of the work area; 0 if it never did.
  enum class Side { kLeft, kRight, kTop, kBottom };  // the struts' order
  unsigned long AddPanel(Side side, int thickness);

  // Whether the window manager, where one runs, has handled every event
  // the server sent it before the call: it answers a frame-extents request
  // in its turn, after them.
  bool WindowManagerCaughtUp();

 private:
  // A press and release of a pointer button (1 left, 3 right, 4 and 5 the wheel) at a point.
  void ClickButton(POINT screen, unsigned button);
  void CollectShown(unsigned long parent, int depth, std::vector<ShownX>* shown);

  Display* display_ = nullptr;
  std::map<wchar_t, int> unicodeKeys_;  // spare key codes given characters
};

// A message box of the layer that another program, or another copy of the
// layer in this process (a data source's), shows: found on the server by
// its caption and by what it says (the layer puts a box's text on its X
// window, _VQ_MESSAGE_TEXT), and answered with a click on a button found
// by its control id.
class KnownMessageBox {
 public:
  // Given no caption, the box is titled as such a box is.
  explicit KnownMessageBox(const std::wstring& text, UINT type = MB_OK);
  KnownMessageBox(const std::wstring& text, const std::wstring& caption, UINT type);
  const std::wstring& Text() const { return text_; }
  // The topmost such box the server shows.
  std::optional<ShownX> Find(XServer& server) const;
  // Clicks its button `id`; false when it is not shown.
  bool Press(XServer& server, int id = IDOK) const;

 private:
  std::wstring text_;
  DialogTemplate template_;
  std::string caption_;
};

// What the layer drew for the window, its children on other threads included.
vqplatform::WindowImage LayerImage(HWND hwnd);
// Waits until the server shows what the layer drew for the window and
// returns the server's picture of it; *differences counts the pixels that
// still differ (SIZE_MAX when the window never reached the server).
Screenshot ShownOnServer(XServer& server, HWND hwnd, size_t* differences);

// Where screenshots go: $VQ_E2E_SCREENSHOTS, else the test's folder.
std::string ScreenshotPath(const std::string& name);


// The desktop a test runs on: a window manager beside Xvfb (openbox or
// icewm; empty for none) and the screen's size.
struct Desktop {
  std::string windowManager;
  int width = 1920;
  int height = 1080;
};
// Re-runs the test program under tests/e2e/run-under-xvfb on that desktop
// when it was not started there; call first in every test (the test main
// makes tests headless, so this also lets the presenter start). Why the test
// cannot run here (its window manager is not installed, or the run is on
// another desktop: several tests of different kinds in one run), empty when
// it can.
std::string UseDesktop(const Desktop& desktop);
// UseDesktop without a window manager, or beside openbox: whether the test
// can run here.
bool UseXvfbDisplay(bool withWindowManager = false);
// UseDesktop beside openbox.
std::string UseXvfbDisplayWithWindowManager();

}  // namespace vqtest
