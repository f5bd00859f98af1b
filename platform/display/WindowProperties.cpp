#include "platform/display/WindowProperties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <unistd.h>

#include <cctype>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Encoding.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"

namespace vqplatform {
namespace {

// _MOTIF_WM_HINTS fields.
constexpr long kMwmFunctions = 1, kMwmDecorations = 2;
constexpr long kFuncResize = 2, kFuncMove = 4, kFuncMinimize = 8, kFuncMaximize = 16, kFuncClose = 32;
constexpr long kDecorBorder = 2, kDecorResizeHandle = 4, kDecorTitle = 8, kDecorMenu = 16, kDecorMinimize = 32,
               kDecorMaximize = 64;

constexpr long kFromApplication = 1;  // the source of a request to the window manager

struct Boxes {
  bool caption, close, minimise, maximise, sizing;
};

// The boxes of the caption need the system menu, as on Windows.
Boxes BoxesOf(DWORD style) {
  bool menu = (style & WS_SYSMENU) != 0;
  return Boxes{(style & WS_CAPTION) == WS_CAPTION, menu, menu && (style & WS_MINIMIZEBOX),
               menu && (style & WS_MAXIMIZEBOX), (style & WS_THICKFRAME) != 0};
}

bool HasModalFrame(const WindowLook& look) {
  return (look.exStyle & WS_EX_DLGMODALFRAME) || (look.className == WC_DIALOG && (look.style & DS_MODALFRAME));
}

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
}

bool WindowProperties::IsOverrideRedirect(const WindowLook& look) { return !IsActivatable(look.style, look.exStyle); }

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
  const char* type = "_NET_WM_WINDOW_TYPE_NORMAL";
  bool captionless = (look.style & WS_CAPTION) != WS_CAPTION;
  if (IsOverrideRedirect(look)) {
    if (look.className == TOOLTIPS_CLASS)
      type = "_NET_WM_WINDOW_TYPE_TOOLTIP";
    else if (look.className == L"ComboLBox")
      type = "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU";
    else
      type = "_NET_WM_WINDOW_TYPE_POPUP_MENU";
  } else if (look.owned) {
    type = "_NET_WM_WINDOW_TYPE_DIALOG";
  } else if (captionless && !HasModalFrame(look)) {
    type = "_NET_WM_WINDOW_TYPE_SPLASH";
  } else if (HasModalFrame(look) && !(look.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) {
    type = "_NET_WM_WINDOW_TYPE_DIALOG";
  }
  SetAtomProperty(window, netWmWindowType_, Intern(type));
}

void WindowProperties::SetDecorations(Window window, const WindowLook& look) {
  Boxes boxes = BoxesOf(look.style);
  long functions = kFuncMove;
  if (boxes.close) functions |= kFuncClose;
  if (boxes.minimise) functions |= kFuncMinimize;
  // Window managers maximise only what they may size.
  if (boxes.maximise) functions |= kFuncMaximize | kFuncResize;
  if (boxes.sizing) functions |= kFuncResize;
  long decorations = 0;  // without a caption the window draws its own frame
  if (boxes.caption) {
    decorations = kDecorBorder | kDecorTitle;
    if (boxes.close) decorations |= kDecorMenu;
    if (boxes.minimise) decorations |= kDecorMinimize;
    if (boxes.maximise) decorations |= kDecorMaximize;
    if (boxes.sizing) decorations |= kDecorResizeHandle;
  }
  long hints[5] = {kMwmFunctions | kMwmDecorations, functions, decorations, 0, 0};
  XChangeProperty(display_, window, motifHints_, motifHints_, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(hints), 5);
}

void WindowProperties::SetSizeHints(Window window, const WindowLook& look) {
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = USPosition | USSize | PPosition | PSize | PWinGravity;
  hints->x = look.rect.left;
  hints->y = look.rect.top;
  hints->width = Width(look.rect);
  hints->height = Height(look.rect);
  hints->win_gravity = StaticGravity;
  Boxes boxes = BoxesOf(look.style);
  if (!boxes.sizing && !boxes.maximise) {
    hints->flags |= PMinSize | PMaxSize;
    hints->min_width = hints->max_width = hints->width;
    hints->min_height = hints->max_height = hints->height;
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

std::optional<bool> WindowProperties::ReadIconic(Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  std::optional<bool> iconic;
  if (XGetWindowProperty(display_, window, wmState, 0, 2, False, wmState, &type, &format, &count, &after, &data) ==
          Success &&
      data && format == 32 && count >= 1) {
    long state = reinterpret_cast<long*>(data)[0];
    if (state == IconicState || state == NormalState) iconic = state == IconicState;
  }
  if (data) XFree(data);
  return iconic;
}

bool WindowProperties::ReadMaximised(Window window) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  bool vertical = false, horizontal = false;
  if (XGetWindowProperty(display_, window, netWmState, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) ==
          Success &&
      data && format == 32) {
    auto* atoms = reinterpret_cast<Atom*>(data);
    for (unsigned long i = 0; i < count; ++i) {
      vertical = vertical || atoms[i] == netMaxVert_;
      horizontal = horizontal || atoms[i] == netMaxHorz_;
    }
  }
  if (data) XFree(data);
  return vertical && horizontal;
}

bool WindowProperties::HasWindowManager() {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  bool present = XGetWindowProperty(display_, DefaultRootWindow(display_), netSupportingWmCheck, 0, 1, False, XA_WINDOW,
                                    &type, &format, &count, &after, &data) == Success &&
                 data && count == 1;
  if (data) XFree(data);
  return present;
}

RECT WindowProperties::ReadWorkArea() {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  RECT area{};
  if (XGetWindowProperty(display_, DefaultRootWindow(display_), netWorkArea, 0, 4, False, XA_CARDINAL, &type, &format,
                         &count, &after, &data) == Success &&
      data && format == 32 && count >= 4) {
    auto* v = reinterpret_cast<long*>(data);
    area = RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
                static_cast<LONG>(v[1] + v[3])};
  }
  if (data) XFree(data);
  return area;
}

void WindowProperties::SetAtomProperty(Window window, Atom property, Atom value) {
  XChangeProperty(display_, window, property, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&value),
                  1);
}

}  // namespace vqplatform
