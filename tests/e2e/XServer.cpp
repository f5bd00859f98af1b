#include "tests/e2e/XServer.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/shape.h>
#include <cairo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "platform/display/ConnectionLoss.h"
#include "platform/display/Presenter.h"
#include "base/TextEncoding.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

bool Screenshot::SavePng(const std::string& path) const {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  unsigned char* data = cairo_image_surface_get_data(s);
  int stride = cairo_image_surface_get_stride(s);
  for (int y = 0; y < height; ++y)
    std::copy_n(&pixels[size_t(y) * width], width, reinterpret_cast<uint32_t*>(data + size_t(y) * stride));
  cairo_surface_mark_dirty(s);
  bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

size_t Screenshot::BluePixels() const {
  return size_t(std::count_if(pixels.begin(), pixels.end(), [](uint32_t p) {
    return (p & 0xFF) > 200 && ((p >> 8) & 0xFF) < 60 && ((p >> 16) & 0xFF) < 60;
  }));
}

size_t Screenshot::CountDifferences(const std::vector<uint32_t>& other, int otherWidth, int otherHeight) const {
  if (otherWidth != width || otherHeight != height) return pixels.size() + other.size() + 1;
  size_t count = 0;
  for (size_t i = 0; i < pixels.size(); ++i) count += (pixels[i] & 0xFFFFFF) != (other[i] & 0xFFFFFF);
  return count;
}

vqplatform::WindowImage LayerImage(HWND hwnd) {
  vqplatform::WindowImage image;
  vqplatform::ComposeWindowImage(hwnd, &image);
  return image;
}

Screenshot ShownOnServer(XServer& server, HWND hwnd, size_t* differences) {
  Screenshot shot;
  *differences = SIZE_MAX;
  WaitFor([&] {
    if (!vqplatform::PresentedXWindow(hwnd) || !vqplatform::FlushPresenter(2000)) return false;
    vqplatform::WindowImage layer = LayerImage(hwnd);
    shot = server.Grab(ClientRectOnScreen(hwnd));
    *differences = shot.CountDifferences(layer);
    return *differences == 0;
  });
  return shot;
}

XServer::XServer(const std::string& displayName) {
  XInitThreads();
  display_ = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
  // A window may go while a test looks at it: the query fails, the test
  // goes on and says what it expected.
  if (display_) vqplatform::IgnoreProtocolErrors(display_);
}

XServer::~XServer() {
  if (!display_) return;
  for (const auto& [ch, code] : unicodeKeys_) {
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(display_, code, 1, &none, 1);
  }
  XCloseDisplay(display_);
  vqplatform::ForgetProtocolErrors(display_);
}

Screenshot XServer::Grab(const RECT& r) {
  Screenshot shot;
  int width = r.right - r.left, height = r.bottom - r.top;
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), r.left, r.top, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (!image) return shot;
  shot.width = width;
  shot.height = height;
  shot.pixels.resize(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) shot.pixels[size_t(y) * width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
  return shot;
}

void XServer::Click(POINT p) { ClickButton(p, 1); }

void XServer::RightClick(POINT p) { ClickButton(p, 3); }

void XServer::ClickButton(POINT p, unsigned button) {
  XTestFakeMotionEvent(display_, -1, p.x, p.y, CurrentTime);
  XTestFakeButtonEvent(display_, button, True, CurrentTime);
  XTestFakeButtonEvent(display_, button, False, CurrentTime);
  XSync(display_, False);
}

void XServer::MovePointer(POINT p) {
  XTestFakeMotionEvent(display_, -1, p.x, p.y, CurrentTime);
  XSync(display_, False);
}

void XServer::Drag(POINT from, POINT to, int steps, const std::function<bool()>& arrived) {
  MovePointer(from);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XSync(display_, False);
  // A window manager takes the pointer on the press and follows each motion
  // as it comes: a burst of motions before it took it would be lost.
  WindowManagerCaughtUp();
  for (int i = 1; i <= steps; ++i) {
    MovePointer(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
    WindowManagerCaughtUp();
  }
  // It ends a move on the release: it must have followed the last motion first.
  if (arrived) WaitFor(arrived);
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
}

bool XServer::WindowManagerCaughtUp() {
  const Window root = DefaultRootWindow(display_);
  const std::vector<std::string> supported = ReadAtoms(root, "_NET_SUPPORTED");
  if (std::find(supported.begin(), supported.end(), "_NET_REQUEST_FRAME_EXTENTS") == supported.end()) return true;
  // A window of this connection that the manager never sees mapped, asked about.
  const Window probe = XCreateSimpleWindow(display_, root, -10, -10, 1, 1, 0, 0, 0);
  XEvent request{};
  request.xclient.type = ClientMessage;
  request.xclient.window = probe;
  request.xclient.message_type = XInternAtom(display_, "_NET_REQUEST_FRAME_EXTENTS", False);
  request.xclient.format = 32;
  XSendEvent(display_, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
  XSync(display_, False);
  const bool answered = WaitFor([&] { return ReadProperty(probe, "_NET_FRAME_EXTENTS").items.size() == 4; });
  XDestroyWindow(display_, probe);
  XSync(display_, False);
  return answered;
}

bool XServer::PointerFree() {
  const int grabbed = XGrabPointer(display_, DefaultRootWindow(display_), False, ButtonPressMask, GrabModeAsync,
                                   GrabModeAsync, None, None, CurrentTime);
  if (grabbed == GrabSuccess) XUngrabPointer(display_, CurrentTime);
  XSync(display_, False);
  return grabbed == GrabSuccess;
}

void XServer::Wheel(POINT p, int notches) {
  for (int i = 0; i < std::abs(notches); ++i) ClickButton(p, notches > 0 ? 4 : 5);
}

void XServer::PressKey(unsigned long keysym) {
  KeyCode code = XKeysymToKeycode(display_, keysym);
  XTestFakeKeyEvent(display_, code, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, False, CurrentTime);
  XSync(display_, False);
}

void XServer::Type(const std::string& text) {
  for (char c : text) PressKey(static_cast<unsigned char>(c));  // Latin-1 key symbols are the characters
}

void XServer::TypeUnicode(const std::wstring& text) {
  int first = 0, last = 0, perCode = 0;
  XDisplayKeycodes(display_, &first, &last);
  KeySym* map = XGetKeyboardMapping(display_, static_cast<KeyCode>(first), last - first + 1, &perCode);
  const auto spare = [&](int code) {
    for (int i = 0; i < perCode; ++i)
      if (map[(code - first) * perCode + i] != NoSymbol) return false;
    for (const auto& [ch, taken] : unicodeKeys_)
      if (taken == code) return false;
    return true;
  };
  for (wchar_t ch : text) {
    if (unicodeKeys_.count(ch)) continue;
    for (int code = last; code >= first; --code)
      if (spare(code)) {
        KeySym sym = 0x01000000 | static_cast<KeySym>(ch);
        XChangeKeyboardMapping(display_, code, 1, &sym, 1);
        unicodeKeys_[ch] = code;
        break;
      }
  }
  XFree(map);
  XSync(display_, False);
  for (wchar_t ch : text) {
    const auto key = unicodeKeys_.find(ch);
    if (key == unicodeKeys_.end()) continue;
    XTestFakeKeyEvent(display_, static_cast<unsigned>(key->second), True, CurrentTime);
    XTestFakeKeyEvent(display_, static_cast<unsigned>(key->second), False, CurrentTime);
  }
  XSync(display_, False);
}

namespace {

// A client message about a window, with its first two values.
XEvent ClientMessageAbout(Display* display, unsigned long xwindow, const char* type, long first, long second) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = xwindow;
  e.xclient.message_type = XInternAtom(display, type, False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = first;
  e.xclient.data.l[1] = second;
  return e;
}

}  // namespace

void XServer::Focus(unsigned long xwindow) {
  XSetInputFocus(display_, xwindow, RevertToParent, CurrentTime);
  XSync(display_, False);
}

void XServer::RequestClose(unsigned long xwindow) {
  XEvent e = ClientMessageAbout(display_, xwindow, "WM_PROTOCOLS",
                                static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False)), CurrentTime);
  XSendEvent(display_, xwindow, False, NoEventMask, &e);
  XSync(display_, False);
}

void XServer::DestroyWindow(unsigned long xwindow) {
  XDestroyWindow(display_, xwindow);
  XSync(display_, False);
}

void XServer::ClickControl(HWND dialog, int id) { Click(MiddleOf(GetDlgItem(dialog, id))); }

void XServer::Shoot(HWND window, const std::string& name) {
  vqplatform::FlushPresenter(2000);
  Grab(ScreenRectOf(window)).SavePng(ScreenshotPath(name));
}

bool XServer::Shows(HWND window) {
  const unsigned long xwindow = vqplatform::PresentedXWindow(window);
  return xwindow && vqplatform::FlushPresenter(2000) && IsShown(xwindow);
}

bool XServer::ShowsInPlace(HWND window) {
  return Shows(window) &&
         SameRect(ClientRectOnScreen(vqplatform::PresentedXWindow(window)), vqtest::ClientRectOnScreen(window));
}

bool XServer::IsShown(unsigned long xwindow) {
  XWindowAttributes attributes{};
  XSync(display_, False);
  Status ok = 0;
  {
    XErrorsIgnored ignored(display_);
    ok = XGetWindowAttributes(display_, xwindow, &attributes);
  }
  return ok && attributes.map_state == IsViewable;
}

void XServer::DoubleClick(POINT p) {
  Click(p);
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  Click(p);
}

void XServer::MinimiseAsTaskbar(unsigned long xwindow) {
  XIconifyWindow(display_, xwindow, DefaultScreen(display_));
  XSync(display_, False);
}

void XServer::ActivateAsTaskbar(unsigned long xwindow) {
  XEvent e = ClientMessageAbout(display_, xwindow, "_NET_ACTIVE_WINDOW", 2 /* from a pager or taskbar */, CurrentTime);
  XSendEvent(display_, DefaultRootWindow(display_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XSync(display_, False);
}

RECT XServer::ClientRectOnScreen(unsigned long xwindow) {
  XWindowAttributes attributes{};
  XGetWindowAttributes(display_, xwindow, &attributes);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display_, xwindow, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
  return RECT{x, y, x + attributes.width, y + attributes.height};
}

RECT XServer::FrameExtents(unsigned long xwindow) {
  Property extents = ReadProperty(xwindow, "_NET_FRAME_EXTENTS");
  if (extents.items.size() != 4) return RECT{};
  auto v = [&](size_t i) { return static_cast<LONG>(extents.items[i]); };
  return RECT{v(0), v(2), v(1), v(3)};
}

bool XServer::BoundingShaped(unsigned long xwindow) {
  Bool bounding = False, clip = False;
  int x = 0, y = 0, cx = 0, cy = 0;
  unsigned w = 0, h = 0, cw = 0, ch = 0;
  return XShapeQueryExtents(display_, xwindow, &bounding, &x, &y, &w, &h, &clip, &cx, &cy, &cw, &ch) && bounding;
}

RECT XServer::FrameRectOnScreen(unsigned long xwindow) {
  // The ancestor that is a child of the root.
  Window frame = xwindow, root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  while (XQueryTree(display_, frame, &root, &parent, &children, &count)) {
    if (children) XFree(children);
    children = nullptr;
    if (parent == root || parent == 0) break;
    frame = parent;
  }
  XWindowAttributes a{};
  if (!XGetWindowAttributes(display_, frame, &a)) return RECT{};
  return RECT{a.x, a.y, a.x + a.width + 2 * a.border_width, a.y + a.height + 2 * a.border_width};
}

std::optional<XServer::XwininfoReport> XServer::Xwininfo(unsigned long xwindow) {
  std::string report;
  if (RunShell("xwininfo -frame -id " + std::to_string(xwindow) + " 2>/dev/null", &report) != 0) return std::nullopt;
  auto after = [&](const char* label) -> const char* {
    size_t at = report.find(label);
    return at == std::string::npos ? nullptr : report.c_str() + at + strlen(label);
  };
  const char *x = after("Absolute upper-left X:"), *y = after("Absolute upper-left Y:"),
             *inFrameX = after("Relative upper-left X:"), *inFrameY = after("Relative upper-left Y:"),
             *width = after("Width:"), *height = after("Height:");
  if (!x || !y || !inFrameX || !inFrameY || !width || !height) return std::nullopt;
  XwininfoReport told;
  const int left = atoi(x), top = atoi(y);
  // Relative: the client window's place in its parent, the frame.
  told.frameCorner = POINT{left - atoi(inFrameX), top - atoi(inFrameY)};
  told.client = RECT{left, top, left + atoi(width), top + atoi(height)};
  return told;
}

std::vector<unsigned long> XServer::ManagedWindows() {
  std::vector<unsigned long> windows;
  for (long item : ReadProperty(DefaultRootWindow(display_), "_NET_CLIENT_LIST").items)
    windows.push_back(static_cast<unsigned long>(item));
  return windows;
}

unsigned long XServer::ShownManagedWindow(const std::string& titleStart) {
  XErrorsIgnored ignored(display_);
  for (unsigned long window : ManagedWindows())
    if (Title(window).rfind(titleStart, 0) == 0 && IsShown(window)) return window;
  return 0;
}

std::string XServer::Title(unsigned long xwindow) { return ReadProperty(xwindow, "_NET_WM_NAME").bytes; }

void XServer::CollectShown(unsigned long parent, int depth, std::vector<ShownX>* shown) {
  Window root = 0, above = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, parent, &root, &above, &children, &count)) return;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display_, children[i], &a) || a.map_state != IsViewable) continue;
    const Property name = ReadProperty(children[i], "_NET_WM_NAME");
    Window inner = 0, *innerChildren = nullptr;
    unsigned innerCount = 0;
    XQueryTree(display_, children[i], &inner, &inner, &innerChildren, &innerCount);
    if (innerChildren) XFree(innerChildren);
    // A window manager's frame holds the named window beside nameless parts
    // of its own; a nameless top-level window (a popup menu) holds nothing.
    if (name.type.empty() && depth > 0 && innerCount > 0) {
      CollectShown(children[i], depth - 1, shown);
    } else if (!name.type.empty() || parent == root) {
      int x = 0, y = 0;
      XTranslateCoordinates(display_, children[i], root, 0, 0, &x, &y, &inner);
      shown->push_back(ShownX{children[i], RECT{x, y, x + a.width, y + a.height}, name.bytes});
    }
  }
  if (children) XFree(children);
}

std::vector<ShownX> XServer::ShownWindows() {
  std::vector<ShownX> shown;
  CollectShown(DefaultRootWindow(display_), 2, &shown);
  return shown;
}

std::optional<ShownX> XServer::FindShown(const std::function<bool(const ShownX&)>& wanted) {
  for (ShownX& shown : ShownWindows())
    if (wanted(shown)) return shown;
  return std::nullopt;
}

std::optional<ShownX> XServer::ShownTitled(const std::string& title) {
  return FindShown([&](const ShownX& shown) { return shown.title == title; });
}

unsigned long XServer::FocusedWindow() {
  Window focus = None;
  int revert = 0;
  XGetInputFocus(display_, &focus, &revert);
  return focus;
}

namespace {

std::string AtomName(Display* display, Atom atom) {
  char* name = XGetAtomName(display, atom);
  std::string result = name ? name : "";
  if (name) XFree(name);
  return result;
}

}  // namespace

XServer::Property XServer::ReadProperty(unsigned long xwindow, const char* name) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Property property;
  if (XGetWindowProperty(display_, xwindow, XInternAtom(display_, name, False), 0, 1 << 20, False, AnyPropertyType, &type,
                         &format, &count, &after, &data) == Success &&
      type != None) {
    property.type = AtomName(display_, type);
    if (format == 8) property.bytes.assign(reinterpret_cast<char*>(data), count);
    if (format == 32) property.items.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
  }
  if (data) XFree(data);
  return property;
}

std::vector<std::string> XServer::ReadAtoms(unsigned long xwindow, const char* name) {
  std::vector<std::string> names;
  for (long atom : ReadProperty(xwindow, name).items) names.push_back(AtomName(display_, static_cast<Atom>(atom)));
  return names;
}

bool XServer::WaitForWindowManager() {
  return WaitFor([&] { return !ReadProperty(DefaultRootWindow(display_), "_NET_SUPPORTING_WM_CHECK").items.empty(); });
}

KnownMessageBox::KnownMessageBox(const std::wstring& text, UINT type)
    : KnownMessageBox(text, vqplatform::DefaultMessageBoxCaption(), type) {}

KnownMessageBox::KnownMessageBox(const std::wstring& text, const std::wstring& caption, UINT type)
    : text_(text), template_(vqplatform::MessageBoxTemplate(text, caption, type)), caption_(vq::WideToUtf8(caption)) {}

std::optional<ShownX> KnownMessageBox::Find(XServer& server) const {
  const std::string text = vq::WideToUtf8(text_);
  std::optional<ShownX> found;
  for (ShownX& shown : server.ShownWindows())
    if (shown.title == caption_ && server.ReadProperty(shown.window, "_VQ_MESSAGE_TEXT").bytes == text) found = shown;
  return found;
}

bool KnownMessageBox::Press(XServer& server, int id) const {
  const std::optional<ShownX> box = Find(server);
  if (box) server.Click(ControlCentre(template_, box->place, id));
  return box.has_value();
}

RECT XServer::WorkArea() {
  std::vector<long> area = ReadProperty(DefaultRootWindow(display_), "_NET_WORKAREA").items;
  if (area.size() < 4) return RECT{};
  return RECT{LONG(area[0]), LONG(area[1]), LONG(area[0] + area[2]), LONG(area[1] + area[3])};
}

unsigned long XServer::AddPanel(Side side, int thickness) {
  const int screen = DefaultScreen(display_);
  const LONG width = DisplayWidth(display_, screen), height = DisplayHeight(display_, screen);
  const bool vertical = side == Side::kLeft || side == Side::kRight;
  const auto edge = static_cast<size_t>(side);
  // The strip, and how far it reaches along its edge (all of it).
  long strut[12] = {};
  strut[edge] = thickness;
  strut[5 + 2 * edge] = (vertical ? height : width) - 1;
  RECT strip{0, 0, width, height};
  if (side == Side::kLeft) strip.right = thickness;
  if (side == Side::kRight) strip.left = width - thickness;
  if (side == Side::kTop) strip.bottom = thickness;
  if (side == Side::kBottom) strip.top = height - thickness;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = 0x30343C;
  const Window panel = XCreateWindow(display_, DefaultRootWindow(display_), strip.left, strip.top,
                                     unsigned(strip.right - strip.left), unsigned(strip.bottom - strip.top), 0,
                                     CopyFromParent, InputOutput, CopyFromParent, CWBackPixel, &attributes);
  XStoreName(display_, panel, "panel");
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = USPosition | USSize;
  XSetWMNormalHints(display_, panel, hints);
  XFree(hints);
  Atom dock = XInternAtom(display_, "_NET_WM_WINDOW_TYPE_DOCK", False);
  XChangeProperty(display_, panel, XInternAtom(display_, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&dock), 1);
  XChangeProperty(display_, panel, XInternAtom(display_, "_NET_WM_STRUT", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(strut), 4);
  XChangeProperty(display_, panel, XInternAtom(display_, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(strut), 12);
  XMapWindow(display_, panel);
  XSync(display_, False);
  const auto reserved = [&] {
    const RECT area = WorkArea();
    if (area.right <= area.left) return false;
    switch (side) {
      case Side::kLeft: return area.left >= strip.right;
      case Side::kRight: return area.right <= strip.left;
      case Side::kTop: return area.top >= strip.bottom;
      case Side::kBottom: return area.bottom <= strip.top;
    }
    return false;
  };
  return WaitFor([&] { return IsShown(panel) && reserved(); }) ? panel : 0;
}

std::string ScreenshotPath(const std::string& name) {
  const char* folder = std::getenv("VQ_E2E_SCREENSHOTS");
  if (folder && *folder) return std::string(folder) + "/" + name;
  return TempPath(name).string();
}

namespace {

std::string ScreenOf(const Desktop& desktop) {
  return std::to_string(desktop.width) + "x" + std::to_string(desktop.height);
}

// Starts the test program again under the runner, with the same arguments.
[[noreturn]] void RunAgainUnderRunner(const Desktop& desktop) {
  std::ifstream cmdline("/proc/self/cmdline", std::ios::binary);
  std::vector<std::string> args;
  for (std::string arg; std::getline(cmdline, arg, '\0');) args.push_back(arg);
  char self[4096] = {};
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) std::abort();
  std::vector<std::string> command{VQ_E2E_RUNNER};
  if (!desktop.windowManager.empty()) command.push_back("--window-manager=" + desktop.windowManager);
  command.push_back("--screen=" + ScreenOf(desktop));
  command.push_back(VQ_E2E_SCREENSHOT_DIR);
  command.push_back(std::string(self, static_cast<size_t>(n)));
  command.insert(command.end(), args.begin() + 1, args.end());
  std::vector<char*> argv;
  for (std::string& a : command) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(TempDir(), ignored);  // the run under the runner makes its own
  execv(VQ_E2E_RUNNER, argv.data());
  std::abort();  // the runner could not be started
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string UseDesktop(const Desktop& desktop) {
  if (!std::getenv("VQ_E2E_UNDER_XVFB")) RunAgainUnderRunner(desktop);
  unsetenv("VQ_HEADLESS");
  const std::string manager = Environment("VQ_E2E_WINDOW_MANAGER"), screen = Environment("VQ_E2E_SCREEN");
  const std::string wanted = desktop.windowManager.empty() ? "0" : desktop.windowManager;
  if (manager == "absent") return "the window manager " + desktop.windowManager + " is not installed";
  if (manager != wanted || (!screen.empty() && screen != ScreenOf(desktop)))
    return "runs only on its own desktop (" + wanted + ", " + ScreenOf(desktop) + "): run it alone";
  return {};
}

bool UseXvfbDisplay(bool withWindowManager) {
  return UseDesktop(Desktop{withWindowManager ? "openbox" : ""}).empty();
}

std::string UseXvfbDisplayWithWindowManager() { return UseDesktop(Desktop{"openbox"}); }

}  // namespace vqtest
