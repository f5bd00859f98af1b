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

#include "platform/win/GdiSurface.h"
#include "platform/win/WinTypes.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

// A picture as 0x00RRGGBB pixels, rows top-down.
struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  bool SavePng(const std::string& path) const;
  // Pixels that differ from `other` (all of them when the sizes differ).
  size_t CountDifferences(const std::vector<uint32_t>& other, int otherWidth, int otherHeight) const;
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

class XServer {
 public:
  XServer();
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
  // Left button down at `from`, moved in `steps` to `to`, released there.
  void Drag(POINT from, POINT to, int steps = 8);
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

  void DoubleClick(POINT screen);
  // What a taskbar does: minimise a window, and activate (restore) one.
  void MinimiseAsTaskbar(unsigned long xwindow);
  void ActivateAsTaskbar(unsigned long xwindow);
  // Where a window's client area lies on the screen, asked of the server.
  RECT ClientRectOnScreen(unsigned long xwindow);
  // The decorations around a client window: left, right, top, bottom.
  RECT FrameExtents(unsigned long xwindow);
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

 private:
  Display* display_ = nullptr;
  std::map<wchar_t, int> unicodeKeys_;  // spare key codes given characters
};

// Runs a command through the shell: its exit status, -1 when it did not
// exit; what it wrote to its standard output into *output when given.
int RunShell(const std::string& command, std::string* output = nullptr);

// The viewable top-level X windows, bottom to top, and their places.
std::vector<std::pair<unsigned long, RECT>> ShownWindows(Display* display);
// The first viewable top-level X window at least `minWidth` wide, and its
// place; *found is 0 when there is none.
RECT FirstShownWindow(Display* display, unsigned long* found, int minWidth = 0);

// The first visible top-level window of this process that matches.
HWND ShownWindow(const std::function<bool(HWND)>& matches);
// The first that holds the control (and the other one, when given): a
// dialog found by its controls.
HWND ShownWindowWith(int controlId, int otherControlId = 0);
// Runs `work` on a thread of the program the next time one of its modal
// loops has nothing to do (given the loop's dialog), and waits for it:
// what only that thread knows (its focus), or what only it may do.
bool OnIdleModalLoop(DWORD threadId, const std::function<void(HWND dialog)>& work);

// Where screenshots go: $VQ_E2E_SCREENSHOTS, else the test's folder.
std::string ScreenshotPath(const std::string& name);

// Polls the condition every 10 ms until it holds or the limit passes.
bool WaitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds limit = kPatience);
// True when the condition holds all along the span (that nothing happens
// that should not).
bool Stays(const std::function<bool()>& condition, std::chrono::milliseconds span);
// A window's rectangle on the screen (a top-level window's frame).
RECT ScreenRectOf(HWND hwnd);
// A window's client area on the screen.
RECT ClientRectOnScreen(HWND hwnd);
POINT MiddleOf(HWND hwnd);
// What the layer drew for the window, its children on other threads included.
vqplatform::WindowImage LayerImage(HWND hwnd);
// Waits until the server shows what the layer drew for the window and
// returns the server's picture of it; *differences counts the pixels that
// still differ (SIZE_MAX when the window never reached the server).
Screenshot ShownOnServer(XServer& server, HWND hwnd, size_t* differences);

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
