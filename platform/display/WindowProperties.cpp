#include "platform/display/WindowProperties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/win/Encoding.h"

namespace vqplatform {
namespace {

constexpr long kFromApplication = 1;  // the source of a request to the window manager

// Steps of growth larger than any screen: the window manager may maximise a
// window that has them, but a border drag leaves its size as it is.
constexpr int kNoGrowth = 0x7FFF;

int Width(const RECT& r) { return std::max<int>(1, r.right - r.left); }
int Height(const RECT& r) { return std::max<int>(1, r.bottom - r.top); }

}  // namespace

WindowProperties::WindowProperties(Display* display) : display_(display) {
  wmProtocols = Intern("WM_PROTOCOLS");
  wmDeleteWindow = Intern("WM_DELETE_WINDOW");
  wmState = Intern("WM_STATE");
  netWmState = Intern("_NET_WM_STATE");
  netWorkArea = Intern("_NET_WORKAREA");
  netSupportingWmCheck = Intern("_NET_SUPPORTING_WM_CHECK");
  utf8String_ = Intern("UTF8_STRING");
  netWmName_ = Intern("_NET_WM_NAME");
  netWmIconName_ = Intern("_NET_WM_ICON_NAME");
  netWmPid_ = Intern("_NET_WM_PID");
  motifHints_ = Intern("_MOTIF_WM_HINTS");
  netWmWindowType_ = Intern("_NET_WM_WINDOW_TYPE");
  netMaxVert_ = Intern("_NET_WM_STATE_MAXIMIZED_VERT");
  netMaxHorz_ = Intern("_NET_WM_STATE_MAXIMIZED_HORZ");
  netActiveWindow_ = Intern("_NET_ACTIVE_WINDOW");
  netFrameExtents = Intern("_NET_FRAME_EXTENTS");
  netSupported = Intern("_NET_SUPPORTED");
  netRequestFrameExtents_ = Intern("_NET_REQUEST_FRAME_EXTENTS");
  netWmAllowedActions = Intern("_NET_WM_ALLOWED_ACTIONS");
  netActionMaxVert_ = Intern("_NET_WM_ACTION_MAXIMIZE_VERT");
  netActionMaxHorz_ = Intern("_NET_WM_ACTION_MAXIMIZE_HORZ");
}

void WindowProperties::SetIdentity(Window window) {
  std::string name = program_invocation_short_name;
  std::string className = name;
  if (!className.empty()) className[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(className[0])));
  XClassHint hint{name.data(), className.data()};
  XSetClassHint(display_, window, &hint);
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0) {
    char* list[] = {host};
    XTextProperty text{};
    if (XStringListToTextProperty(list, 1, &text)) {
      XSetWMClientMachine(display_, window, &text);
      XFree(text.value);
    }
  }
  unsigned long pid = static_cast<unsigned long>(getpid());
  XChangeProperty(display_, window, netWmPid_, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&pid),
                  1);
}

void WindowProperties::SetMessageText(Window window, const std::wstring& text) {
  SetUtf8Property(window, "_VQ_MESSAGE_TEXT", vq::WideToUtf8(text));
}

void WindowProperties::SetControls(Window window, const std::string& utf8) {
  SetUtf8Property(window, "_VQ_CONTROLS", utf8);
}

void WindowProperties::SetUtf8Property(Window window, const char* name, const std::string& utf8) {
  XChangeProperty(display_, window, Intern(name), utf8String_, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
}

void WindowProperties::SetTitle(Window window, const std::wstring& title) {
  std::string utf8 = vq::WideToUtf8(title);
  for (Atom property : {netWmName_, netWmIconName_})
    XChangeProperty(display_, window, property, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
  char* list[] = {utf8.data()};
  XTextProperty text{};
  if (Xutf8TextListToTextProperty(display_, list, 1, XStdICCTextStyle, &text) >= Success) {
    XSetWMName(display_, window, &text);
    XSetWMIconName(display_, window, &text);
    XFree(text.value);
  }
}

void WindowProperties::SetType(Window window, const WindowLook& look) {
  SetAtomProperty(window, netWmWindowType_, Intern(WindowTypeOf(look)));
}

void WindowProperties::SetDecorations(Window window, const WindowLook& look, MaximiseWay way) {
  MotifHints motif = MotifHintsOf(look, way);
  long hints[5] = {kMwmFunctions | kMwmDecorations, motif.functions, motif.decorations, 0, 0};
  XChangeProperty(display_, window, motifHints_, motifHints_, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints), 5);
}

void WindowProperties::SetSizeHints(Window window, const WindowLook& look, POINT frameCorner, MaximiseWay way,
                                    SIZE least) {
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = USPosition | USSize | PPosition | PSize | PWinGravity;
  hints->x = frameCorner.x;
  hints->y = frameCorner.y;
  hints->width = Width(look.rect);
  hints->height = Height(look.rect);
  hints->win_gravity = NorthWestGravity;
  // The smallest the program's layout fits: a window manager that sizes
  // the window itself (maximised one way, or restored to a size of its own)
  // goes no smaller. Without one the window may be as small as it likes:
  // an explicit minimum, as a base size would stand for one.
  const SIZE smallest{std::max<LONG>(1, std::min<LONG>(least.cx, hints->width)),
                      std::max<LONG>(1, std::min<LONG>(least.cy, hints->height))};
  switch (SizingOf(look)) {
    case Sizing::Free:
      if (least.cx > 0 || least.cy > 0) {
        hints->flags |= PMinSize;
        hints->min_width = smallest.cx;
        hints->min_height = smallest.cy;
      }
      break;
    case Sizing::MaximiseOnly:
      // The Motif hints keep the user from sizing it; its minimum is the
      // layout's, never its own size, which would keep it from fitting a
      // work area smaller than itself when maximised.
      hints->flags |= PMinSize;
      hints->min_width = smallest.cx;
      hints->min_height = smallest.cy;
      if (way == MaximiseWay::ThroughResize) {
        hints->flags |= PBaseSize | PResizeInc;
        hints->base_width = hints->width;
        hints->base_height = hints->height;
        hints->width_inc = hints->height_inc = kNoGrowth;
      }
      break;
    case Sizing::Fixed:
      hints->flags |= PMinSize | PMaxSize;
      hints->min_width = hints->max_width = hints->width;
      hints->min_height = hints->max_height = hints->height;
      break;
  }
  XSetWMNormalHints(display_, window, hints);
  XFree(hints);
}

void WindowProperties::SetInitialState(Window window, bool minimised, bool maximised) {
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = minimised ? IconicState : NormalState;
  XSetWMHints(display_, window, &hints);
  if (!maximised) {
    XDeleteProperty(display_, window, netWmState);
    return;
  }
  Atom states[] = {netMaxVert_, netMaxHorz_};
  XChangeProperty(display_, window, netWmState, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(states),
                  2);
}

void WindowProperties::SetOwner(Window window, Window owner) {
  if (owner)
    XSetTransientForHint(display_, window, owner);
  else
    XDeleteProperty(display_, window, XA_WM_TRANSIENT_FOR);
}

void WindowProperties::RequestMaximised(Window window, bool maximised) {
  SendToWindowManager(
      window, netWmState,
      {maximised ? 1 : 0, static_cast<long>(netMaxVert_), static_cast<long>(netMaxHorz_), kFromApplication});
}

void WindowProperties::RequestActivation(Window window, Window currentlyActive, Time time) {
  SendToWindowManager(window, netActiveWindow_,
                      {kFromApplication, static_cast<long>(time), static_cast<long>(currentlyActive)});
}

bool WindowProperties::RequestFrameExtents(Window window) {
  std::vector<long> supported = ReadItems(DefaultRootWindow(display_), netSupported, XA_ATOM, 4096);
  if (std::find(supported.begin(), supported.end(), static_cast<long>(netRequestFrameExtents_)) == supported.end())
    return false;
  SendToWindowManager(window, netRequestFrameExtents_, {});
  return true;
}

void WindowProperties::SendToWindowManager(Window window, Atom type, std::initializer_list<long> values) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window;
  e.xclient.message_type = type;
  e.xclient.format = 32;
  int i = 0;
  for (long value : values) e.xclient.data.l[i++] = value;
  XSendEvent(display_, DefaultRootWindow(display_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

std::optional<std::vector<long>> WindowProperties::ReadItemsIfSet(Window window, Atom property, Atom type, long most) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::optional<std::vector<long>> items;
  if (XGetWindowProperty(display_, window, property, 0, most, False, type, &actualType, &format, &count, &after,
                         &data) == Success &&
      actualType == type && format == 32)
    items.emplace(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + count);
  if (data) XFree(data);
  return items;
}

std::vector<long> WindowProperties::ReadItems(Window window, Atom property, Atom type, long most) {
  return ReadItemsIfSet(window, property, type, most).value_or(std::vector<long>{});
}

std::optional<bool> WindowProperties::ReadIconic(Window window) {
  std::vector<long> state = ReadItems(window, wmState, wmState, 2);
  if (state.empty() || (state[0] != IconicState && state[0] != NormalState)) return std::nullopt;
  return state[0] == IconicState;
}

bool WindowProperties::ReadMaximised(Window window) {
  std::vector<long> states = ReadItems(window, netWmState, XA_ATOM, 64);
  auto has = [&](Atom atom) { return std::find(states.begin(), states.end(), static_cast<long>(atom)) != states.end(); };
  return has(netMaxVert_) && has(netMaxHorz_);
}

bool WindowProperties::ReadHidden(Window window) {
  if (ReadIconic(window).value_or(false)) return true;
  const Atom hidden = Intern("_NET_WM_STATE_HIDDEN");
  std::vector<long> states = ReadItems(window, netWmState, XA_ATOM, 64);
  return std::find(states.begin(), states.end(), static_cast<long>(hidden)) != states.end();
}

std::optional<bool> WindowProperties::ReadMaximiseAllowed(Window window) {
  std::optional<std::vector<long>> actions = ReadItemsIfSet(window, netWmAllowedActions, XA_ATOM, 64);
  if (!actions) return std::nullopt;
  auto has = [&](Atom atom) {
    return std::find(actions->begin(), actions->end(), static_cast<long>(atom)) != actions->end();
  };
  return has(netActionMaxVert_) || has(netActionMaxHorz_);
}

Window WindowProperties::ReadSupportingWindow() {
  std::vector<long> window = ReadItems(DefaultRootWindow(display_), netSupportingWmCheck, XA_WINDOW, 1);
  return window.size() == 1 ? static_cast<Window>(window[0]) : 0;
}

bool WindowProperties::HasWindowManager() {
  return ReadItems(DefaultRootWindow(display_), netSupportingWmCheck, XA_WINDOW, 1).size() == 1;
}

std::optional<RECT> WindowProperties::ReadFrameExtents(Window window) {
  std::vector<long> v = ReadItems(window, netFrameExtents, XA_CARDINAL, 4);
  if (v.size() != 4 || std::any_of(v.begin(), v.end(), [](long width) { return width < 0 || width >= 1000; }))
    return std::nullopt;
  // _NET_FRAME_EXTENTS lists left, right, top, bottom.
  return RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[2]), static_cast<LONG>(v[1]), static_cast<LONG>(v[3])};
}

RECT WindowProperties::ReadWorkArea() {
  std::vector<long> v = ReadItems(DefaultRootWindow(display_), netWorkArea, XA_CARDINAL, 4);
  if (v.size() < 4) return RECT{};
  return RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
              static_cast<LONG>(v[1] + v[3])};
}

void WindowProperties::SetAtomProperty(Window window, Atom property, Atom value) {
  XChangeProperty(display_, window, property, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&value),
                  1);
}

}  // namespace vqplatform
