#include "platform/display/Presenter.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/display/Cursors.h"
#include "platform/display/Headless.h"
#include "platform/display/InputDelivery.h"
#include "platform/display/WindowIcon.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiLayered.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/WindowSurfaces.h"

namespace vqplatform {
namespace {

// What the presenter needs of a top-level window, read under the
// dispatcher lock in one go.
struct TopLevelState {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};
  std::wstring title;
};

std::vector<TopLevelState> ReadTopLevelWindows() {
  std::vector<TopLevelState> states;
  std::lock_guard lock(Dispatcher::Mutex());
  for (WindowObject* w : TopLevelWindows()) {
    if (w->destroying || !(w->style & WS_VISIBLE)) continue;
    states.push_back(TopLevelState{w->handle, w->owner, w->style, w->exStyle, w->rect, w->text});
  }
  return states;
}

HWND TopLevelOf(HWND hwnd) {
  while (hwnd && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = GetParent(hwnd);
  return hwnd;
}

// Forwards to the window layer's surfaces and notes which top-level
// windows were drawn.
class DrawnSurfaceTracker : public SurfaceProvider {
 public:
  bool SurfaceFor(HWND window, bool client, WindowSurface* out) override {
    return WindowSurfaces().SurfaceFor(window, client, out);
  }
  std::vector<HWND> ForeignChildren(HWND window) override { return WindowSurfaces().ForeignChildren(window); }
  void SurfaceDrawn(HWND window, const RECT& dirty) override;
};

struct PresentedWindow {
  Window xwindow = 0;
  XIC inputContext = nullptr;
  RECT layerRect{};  // the layer's rectangle last seen
  std::wstring title;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND owner = nullptr;
  int cursorId = 0;
  bool shaped = false;
  long opacity = -1;
};

class Presenter {
 public:
  ~Presenter() { Stop(); }

  void Notify() {
    if (!running_.load()) {
      std::lock_guard lock(startMutex_);
      if (!running_.load() && !failed_ && !IsHeadless()) Start();
    }
    Wake();
  }

  void MarkDrawn(HWND top) {
    {
      std::lock_guard lock(dirtyMutex_);
      dirty_.insert(top);
    }
    Wake();
  }

  bool Active() const { return running_.load(); }

  bool Flush(int timeoutMs) {
    if (!running_.load()) return false;
    std::unique_lock lock(flushMutex_);
    uint64_t wanted = ++flushRequested_;
    Wake();
    return flushDone_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return flushCompleted_ >= wanted || !running_.load(); }) &&
           running_.load();
  }

  unsigned long XWindowOf(HWND hwnd) {
    std::lock_guard lock(windowsMutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? 0 : it->second.xwindow;
  }

  void Stop() {
    std::lock_guard lock(startMutex_);
    if (!thread_.joinable()) return;
    stopping_ = true;
    Wake();
    thread_.join();
    if (wakePipe_[0] >= 0) {
      close(wakePipe_[0]);
      close(wakePipe_[1]);
      wakePipe_[0] = wakePipe_[1] = -1;
    }
    running_ = false;
    stopping_ = false;
    failed_ = false;
  }

 private:
  // The connection is made on the display thread: callers may hold the
  // dispatcher lock, and a slow server must not hold up the window layer.
  void Start() {
    if (pipe2(wakePipe_, O_NONBLOCK | O_CLOEXEC) != 0) {
      failed_ = true;
      return;
    }
    running_ = true;
    thread_ = std::thread([this] { Run(); });
  }

  void Wake() {
    if (wakePipe_[1] < 0) return;
    char byte = 1;
    ssize_t ignored = write(wakePipe_[1], &byte, 1);
    (void)ignored;
  }

  void Run() {
    XInitThreads();
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
      // No server after all: stay headless until stopped.
      failed_ = true;
      running_ = false;
      std::lock_guard lock(flushMutex_);
      flushDone_.notify_all();
      return;
    }
    previousProvider_ = SetSurfaceProvider(&tracker_);
    Setup();
    while (!stopping_) {
      uint64_t flushWanted;
      {
        std::lock_guard lock(flushMutex_);
        flushWanted = flushRequested_;
      }
      WaitForWork(flushWanted > flushCompletedLocal_ ? 0 : 20);
      DrainWakePipe();
      HandleXEvents();
      SyncWindows();
      PresentDirty();
      ApplyCursor();
      XSync(display_, False);
      if (flushWanted > flushCompletedLocal_) {
        flushCompletedLocal_ = flushWanted;
        std::lock_guard lock(flushMutex_);
        flushCompleted_ = flushWanted;
        flushDone_.notify_all();
      }
    }
    Teardown();
  }

  void Setup() {
    screen_ = DefaultScreen(display_);
    SetScreenSize(DisplayWidth(display_, screen_), DisplayHeight(display_, screen_));
    ReadWorkArea();
    wmProtocols_ = XInternAtom(display_, "WM_PROTOCOLS", False);
    wmDeleteWindow_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    netWmName_ = XInternAtom(display_, "_NET_WM_NAME", False);
    utf8String_ = XInternAtom(display_, "UTF8_STRING", False);
    motifHints_ = XInternAtom(display_, "_MOTIF_WM_HINTS", False);
    netWmState_ = XInternAtom(display_, "_NET_WM_STATE", False);
    netMaxVert_ = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    netMaxHorz_ = XInternAtom(display_, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    netWmOpacity_ = XInternAtom(display_, "_NET_WM_WINDOW_OPACITY", False);
    XSetLocaleModifiers("");
    inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
    gc_ = XCreateGC(display_, RootWindow(display_, screen_), 0, nullptr);
  }

  void Teardown() {
    std::map<HWND, PresentedWindow> windows;
    {
      std::lock_guard lock(windowsMutex_);
      windows.swap(windows_);
    }
    for (auto& [hwnd, pw] : windows) DestroyXWindow(pw);
    for (auto& [id, cursor] : cursors_) XFreeCursor(display_, cursor);
    cursors_.clear();
    if (inputMethod_) XCloseIM(inputMethod_);
    inputMethod_ = nullptr;
    XFreeGC(display_, gc_);
    SetSurfaceProvider(previousProvider_);
    XCloseDisplay(display_);
    display_ = nullptr;
    SetWorkArea(RECT{});
    {
      std::lock_guard lock(flushMutex_);
      flushDone_.notify_all();
    }
  }

  void ReadWorkArea() {
    Atom workArea = XInternAtom(display_, "_NET_WORKAREA", True);
    if (workArea == None) return;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, RootWindow(display_, screen_), workArea, 0, 4, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        data && format == 32 && count >= 4) {
      auto* v = reinterpret_cast<long*>(data);
      SetWorkArea(RECT{static_cast<LONG>(v[0]), static_cast<LONG>(v[1]), static_cast<LONG>(v[0] + v[2]),
                       static_cast<LONG>(v[1] + v[3])});
    }
    if (data) XFree(data);
  }

  void WaitForWork(int timeoutMs) {
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    if (XPending(display_)) return;
    poll(fds, 2, timeoutMs);
  }

  void DrainWakePipe() {
    char buffer[64];
    while (read(wakePipe_[0], buffer, sizeof buffer) > 0) {
    }
  }

  // --- windows ---

  void SyncWindows() {
    std::vector<TopLevelState> states = ReadTopLevelWindows();
    std::set<HWND> shown;
    for (const TopLevelState& s : states) {
      shown.insert(s.hwnd);
      PresentedWindow* pw = Find(s.hwnd);
      if (!pw)
        CreateXWindow(s);
      else
        UpdateXWindow(*pw, s);
      if ((pw = Find(s.hwnd))) SyncWindowIcon(display_, pw->xwindow, s.hwnd);
    }
    std::vector<PresentedWindow> gone;
    {
      std::lock_guard lock(windowsMutex_);
      for (auto it = windows_.begin(); it != windows_.end();) {
        if (shown.count(it->first)) {
          ++it;
          continue;
        }
        gone.push_back(it->second);
        it = windows_.erase(it);
      }
    }
    for (PresentedWindow& pw : gone) DestroyXWindow(pw);
  }

  PresentedWindow* Find(HWND hwnd) {
    std::lock_guard lock(windowsMutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : &it->second;
  }

  HWND FindByXWindow(Window xwindow) {
    std::lock_guard lock(windowsMutex_);
    for (auto& [hwnd, pw] : windows_)
      if (pw.xwindow == xwindow) return hwnd;
    return nullptr;
  }

  static int Width(const RECT& r) { return std::max<int>(1, r.right - r.left); }
  static int Height(const RECT& r) { return std::max<int>(1, r.bottom - r.top); }

  void CreateXWindow(const TopLevelState& s) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display_, screen_);
    attributes.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | StructureNotifyMask | FocusChangeMask;
    Window xw = XCreateWindow(display_, RootWindow(display_, screen_), s.rect.left, s.rect.top, Width(s.rect),
                              Height(s.rect), 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixel | CWEventMask, &attributes);
    PresentedWindow pw;
    pw.xwindow = xw;
    XSetWMProtocols(display_, xw, &wmDeleteWindow_, 1);
    SetSizeHints(xw, s);
    SetDecorations(xw, s.style);
    SetTitle(xw, s.title);
    pw.title = s.title;
    SetOwner(xw, s.owner);
    pw.owner = s.owner;
    if (inputMethod_)
      pw.inputContext = XCreateIC(inputMethod_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow, xw,
                                  XNFocusWindow, xw, nullptr);
    pw.layerRect = s.rect;
    pw.style = s.style;
    pw.exStyle = s.exStyle;
    if (s.style & WS_MAXIMIZE) SetMaximized(xw, true);
    if (s.style & WS_MINIMIZE) {
      XWMHints hints{};
      hints.flags = StateHint;
      hints.initial_state = IconicState;
      XSetWMHints(display_, xw, &hints);
    }
    XMapWindow(display_, xw);
    XMoveWindow(display_, xw, s.rect.left, s.rect.top);  // some managers place on map
    {
      std::lock_guard lock(windowsMutex_);
      windows_[s.hwnd] = pw;
    }
    MarkDrawn(s.hwnd);
  }

  void UpdateXWindow(PresentedWindow& pw, const TopLevelState& s) {
    if (!EqualRect(pw.layerRect, s.rect)) {
      bool resized = Width(pw.layerRect) != Width(s.rect) || Height(pw.layerRect) != Height(s.rect);
      pw.layerRect = s.rect;
      if (resized) SetSizeHints(pw.xwindow, s);
      XMoveResizeWindow(display_, pw.xwindow, s.rect.left, s.rect.top, Width(s.rect), Height(s.rect));
      if (resized) MarkDrawn(s.hwnd);
    }
    if (pw.title != s.title) {
      SetTitle(pw.xwindow, s.title);
      pw.title = s.title;
    }
    if (pw.owner != s.owner) {
      SetOwner(pw.xwindow, s.owner);
      pw.owner = s.owner;
    }
    DWORD changed = pw.style ^ s.style;
    if (changed & WS_MINIMIZE) {
      if (s.style & WS_MINIMIZE)
        XIconifyWindow(display_, pw.xwindow, screen_);
      else
        XMapRaised(display_, pw.xwindow);
    }
    if (changed & WS_MAXIMIZE) SetMaximized(pw.xwindow, (s.style & WS_MAXIMIZE) != 0);
    pw.style = s.style;
    if (pw.exStyle != s.exStyle) MarkDrawn(s.hwnd);
    pw.exStyle = s.exStyle;
  }

  static bool EqualRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }

  void DestroyXWindow(PresentedWindow& pw) {
    if (pw.inputContext) XDestroyIC(pw.inputContext);
    XDestroyWindow(display_, pw.xwindow);
  }

  void SetSizeHints(Window xw, const TopLevelState& s) {
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = USPosition | USSize | PPosition | PSize;
    hints->x = s.rect.left;
    hints->y = s.rect.top;
    hints->width = Width(s.rect);
    hints->height = Height(s.rect);
    if (!(s.style & WS_THICKFRAME)) {
      hints->flags |= PMinSize | PMaxSize;
      hints->min_width = hints->max_width = hints->width;
      hints->min_height = hints->max_height = hints->height;
    }
    XSetWMNormalHints(display_, xw, hints);
    XFree(hints);
  }

  // Windows without a caption draw their own frame: no decorations.
  void SetDecorations(Window xw, DWORD style) {
    if ((style & WS_CAPTION) == WS_CAPTION) return;
    long hints[5] = {2 /* decorations given */, 0, 0, 0, 0};
    XChangeProperty(display_, xw, motifHints_, motifHints_, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(hints), 5);
  }

  void SetTitle(Window xw, const std::wstring& title) {
    std::string utf8 = vq::WideToUtf8(title);
    XChangeProperty(display_, xw, netWmName_, utf8String_, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(utf8.data()), static_cast<int>(utf8.size()));
    XStoreName(display_, xw, utf8.c_str());
  }

  void SetOwner(Window xw, HWND owner) {
    PresentedWindow* ownerWindow = owner ? Find(owner) : nullptr;
    if (ownerWindow)
      XSetTransientForHint(display_, xw, ownerWindow->xwindow);
    else
      XDeleteProperty(display_, xw, XA_WM_TRANSIENT_FOR);
  }

  void SetMaximized(Window xw, bool maximized) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = xw;
    e.xclient.message_type = netWmState_;
    e.xclient.format = 32;
    e.xclient.data.l[0] = maximized ? 1 : 0;
    e.xclient.data.l[1] = static_cast<long>(netMaxVert_);
    e.xclient.data.l[2] = static_cast<long>(netMaxHorz_);
    XSendEvent(display_, RootWindow(display_, screen_), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  }

  // --- pixels ---

  void PresentDirty() {
    std::set<HWND> dirty;
    {
      std::lock_guard lock(dirtyMutex_);
      dirty.swap(dirty_);
    }
    for (HWND hwnd : dirty) {
      PresentedWindow* pw = Find(hwnd);
      if (!pw) continue;
      WindowImage image;
      if (!ComposeWindowImage(hwnd, &image)) continue;
      Put(pw->xwindow, image);
      ApplyLayering(hwnd, *pw, image);
    }
  }

  void Put(Window xw, WindowImage& image) {
    Visual* visual = DefaultVisual(display_, screen_);
    int depth = DefaultDepth(display_, screen_);
    if (depth != 24 && depth != 32) return;
    XImage* ximage = XCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                  reinterpret_cast<char*>(image.pixels.data()), static_cast<unsigned>(image.width),
                                  static_cast<unsigned>(image.height), 32, image.width * 4);
    if (!ximage) return;
    XPutImage(display_, xw, gc_, ximage, 0, 0, 0, 0, static_cast<unsigned>(image.width),
              static_cast<unsigned>(image.height));
    ximage->data = nullptr;  // the pixels belong to `image`
    XDestroyImage(ximage);
  }

  // A layered window's colour key cuts the window's shape, so what lies
  // behind shows there; its alpha goes to the compositor as the opacity.
  void ApplyLayering(HWND hwnd, PresentedWindow& pw, const WindowImage& image) {
    COLORREF key = 0;
    BYTE alpha = 255;
    DWORD flags = 0;
    if (!(pw.exStyle & WS_EX_LAYERED) || !GetLayeredWindowAttributes(hwnd, &key, &alpha, &flags)) flags = 0;
    if (flags & LWA_COLORKEY) {
      // COLORREF is 0x00BBGGRR, the image 0x00RRGGBB.
      uint32_t keyPixel = (uint32_t(GetRValue(key)) << 16) | (uint32_t(GetGValue(key)) << 8) | GetBValue(key);
      int rowBytes = (image.width + 7) / 8;
      std::vector<char> bits(size_t(rowBytes) * image.height, 0);
      for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
          if (image.pixels[size_t(y) * image.width + x] != keyPixel) bits[size_t(y) * rowBytes + x / 8] |= char(1 << (x % 8));
      Pixmap mask = XCreateBitmapFromData(display_, pw.xwindow, bits.data(), static_cast<unsigned>(image.width),
                                          static_cast<unsigned>(image.height));
      XShapeCombineMask(display_, pw.xwindow, ShapeBounding, 0, 0, mask, ShapeSet);
      XFreePixmap(display_, mask);
      pw.shaped = true;
    } else if (pw.shaped) {
      XShapeCombineMask(display_, pw.xwindow, ShapeBounding, 0, 0, None, ShapeSet);
      pw.shaped = false;
    }
    long opacity = (flags & LWA_ALPHA) ? alpha : -1;
    if (opacity == pw.opacity) return;
    pw.opacity = opacity;
    if (opacity < 0) {
      XDeleteProperty(display_, pw.xwindow, netWmOpacity_);
      return;
    }
    unsigned long value = static_cast<unsigned long>(opacity) * 0xFFFFFFFFul / 255;
    XChangeProperty(display_, pw.xwindow, netWmOpacity_, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&value), 1);
  }

  // --- input ---

  void HandleXEvents() {
    while (XPending(display_)) {
      XEvent e;
      XNextEvent(display_, &e);
      if (XFilterEvent(&e, None)) continue;
      if (e.type == MappingNotify) {  // another keyboard layout
        XRefreshKeyboardMapping(&e.xmapping);
        continue;
      }
      HWND hwnd = FindByXWindow(e.xany.window);
      if (!hwnd) continue;
      switch (e.type) {
        case Expose:
          if (e.xexpose.count == 0) MarkDrawn(hwnd);
          break;
        case ClientMessage:
          if (e.xclient.message_type == wmProtocols_ && static_cast<Atom>(e.xclient.data.l[0]) == wmDeleteWindow_ &&
              IsWindowEnabled(hwnd))
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
          break;
        case ConfigureNotify: OnConfigure(hwnd, e.xconfigure); break;
        case UnmapNotify:
        case MapNotify: OnMapChange(hwnd, e.type == MapNotify); break;
        case MotionNotify: {
          // Only the latest position of a burst matters.
          while (XCheckTypedWindowEvent(display_, e.xany.window, MotionNotify, &e)) {
          }
          pointerWindow_ = e.xmotion.window;
          Mouse(hwnd, MouseAction::Move, 0, e.xmotion.x_root, e.xmotion.y_root, e.xmotion.state, e.xmotion.time);
          break;
        }
        case ButtonPress:
        case ButtonRelease: OnButton(hwnd, e.xbutton); break;
        case KeyPress:
        case KeyRelease: OnKey(hwnd, e.xkey); break;
        case FocusIn: {
          PresentedWindow* pw = Find(hwnd);
          if (pw && pw->inputContext) XSetICFocus(pw->inputContext);
          break;
        }
        case FocusOut: {
          PresentedWindow* pw = Find(hwnd);
          if (pw && pw->inputContext) XUnsetICFocus(pw->inputContext);
          break;
        }
        default: break;
      }
    }
  }

  // A move or resize by the window manager or the user moves the layer's
  // window too, on its own thread.
  void OnConfigure(HWND hwnd, const XConfigureEvent& c) {
    PresentedWindow* pw = Find(hwnd);
    if (!pw) return;
    int x = c.x, y = c.y;
    Window child;
    XTranslateCoordinates(display_, pw->xwindow, RootWindow(display_, screen_), 0, 0, &x, &y, &child);
    RECT now{x, y, x + c.width, y + c.height};
    if (EqualRect(now, pw->layerRect)) return;
    pw->layerRect = now;
    RunLaterOnWindowThread(hwnd, [hwnd, now] {
      SetWindowPos(hwnd, nullptr, now.left, now.top, now.right - now.left, now.bottom - now.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    });
  }

  // The window manager minimised or restored the window: so does the layer.
  void OnMapChange(HWND hwnd, bool mapped) {
    PresentedWindow* pw = Find(hwnd);
    if (!pw) return;
    bool minimised = (pw->style & WS_MINIMIZE) != 0;
    if (mapped == !minimised) return;
    pw->style ^= WS_MINIMIZE;
    int command = mapped ? SW_RESTORE : SW_SHOWMINIMIZED;
    RunLaterOnWindowThread(hwnd, [hwnd, command] { ShowWindow(hwnd, command); });
  }

  static WPARAM KeysOf(unsigned int state) {
    WPARAM keys = 0;
    if (state & Button1Mask) keys |= MK_LBUTTON;
    if (state & Button2Mask) keys |= MK_MBUTTON;
    if (state & Button3Mask) keys |= MK_RBUTTON;
    if (state & ShiftMask) keys |= MK_SHIFT;
    if (state & ControlMask) keys |= MK_CONTROL;
    return keys;
  }

  void Mouse(HWND hwnd, MouseAction action, int button, int xRoot, int yRoot, unsigned int state, Time time) {
    MouseInput input;
    input.action = action;
    input.button = button;
    input.screen = POINT{xRoot, yRoot};
    input.keys = KeysOf(state);
    input.timeMs = static_cast<DWORD>(time);
    DeliverMouse(hwnd, input);
  }

  void OnButton(HWND hwnd, const XButtonEvent& b) {
    bool press = b.type == ButtonPress;
    if (b.button == Button4 || b.button == Button5) {
      if (press)
        Mouse(hwnd, b.button == Button4 ? MouseAction::WheelUp : MouseAction::WheelDown, 0, b.x_root, b.y_root,
              b.state, b.time);
      return;
    }
    if (b.button > Button3) return;
    // X numbers the middle button 2 and the right one 3, as MouseInput does.
    Mouse(hwnd, press ? MouseAction::Press : MouseAction::Release, static_cast<int>(b.button), b.x_root, b.y_root,
          b.state, b.time);
  }

  void OnKey(HWND hwnd, XKeyEvent& k) {
    KeySym keysym = NoSymbol;
    std::wstring text;
    if (k.type == KeyPress) {
      PresentedWindow* pw = Find(hwnd);
      char buffer[64];
      Status status = 0;
      int n = 0;
      if (pw && pw->inputContext) {
        n = Xutf8LookupString(pw->inputContext, &k, buffer, sizeof buffer - 1, &keysym, &status);
        if (status == XBufferOverflow) n = 0;
        if (status != XLookupChars && status != XLookupBoth) n = 0;
        if (status == XLookupChars) keysym = NoSymbol;
        text = vq::Utf8ToWide(std::string_view(buffer, static_cast<size_t>(std::max(n, 0))));
      } else {
        n = XLookupString(&k, buffer, sizeof buffer - 1, &keysym, nullptr);
        text = LatinText(keysym, std::string_view(buffer, static_cast<size_t>(std::max(n, 0))));
      }
    } else {
      keysym = XLookupKeysym(&k, 0);
    }
    int vk = VirtualKeyOfKeysym(keysym);
    if (!vk && text.empty()) return;
    DeliverKey(hwnd, vk, k.type == KeyPress, text);
  }

  // Without an input method: the character of a Latin-1 or Unicode key
  // symbol, or the control character XLookupString gives.
  static std::wstring LatinText(KeySym keysym, std::string_view bytes) {
    if (keysym >= 0x20 && keysym <= 0xFF) return std::wstring(1, static_cast<wchar_t>(keysym));
    if ((keysym & 0xFF000000) == 0x01000000) return std::wstring(1, static_cast<wchar_t>(keysym & 0x00FFFFFF));
    if (bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) < 0x20) return std::wstring(1, static_cast<wchar_t>(bytes[0]));
    return {};
  }

  // --- cursor ---

  void ApplyCursor() {
    int id = SystemCursorId(GetCursor());
    if (!id) id = 32512;
    if (!pointerWindow_) return;
    HWND hwnd = FindByXWindow(pointerWindow_);
    PresentedWindow* pw = hwnd ? Find(hwnd) : nullptr;
    if (!pw || pw->cursorId == id) return;
    pw->cursorId = id;
    XDefineCursor(display_, pw->xwindow, CursorFor(id));
  }

  Cursor CursorFor(int id) {
    auto it = cursors_.find(id);
    if (it != cursors_.end()) return it->second;
    unsigned shape = XC_left_ptr;
    switch (id) {
      case 32513: shape = XC_xterm; break;
      case 32514: shape = XC_watch; break;
      case 32515: shape = XC_crosshair; break;
      case 32642: shape = XC_bottom_right_corner; break;
      case 32643: shape = XC_bottom_left_corner; break;
      case 32644: shape = XC_sb_h_double_arrow; break;
      case 32645: shape = XC_sb_v_double_arrow; break;
      case 32646: shape = XC_fleur; break;
      case 32649: shape = XC_hand2; break;
      default: break;
    }
    Cursor cursor = XCreateFontCursor(display_, shape);
    cursors_[id] = cursor;
    return cursor;
  }

  std::mutex startMutex_;
  std::atomic<bool> running_{false};
  std::atomic<bool> stopping_{false};
  std::atomic<bool> failed_{false};
  std::thread thread_;
  int wakePipe_[2] = {-1, -1};

  Display* display_ = nullptr;
  int screen_ = 0;
  GC gc_ = nullptr;
  XIM inputMethod_ = nullptr;
  Atom wmProtocols_ = 0, wmDeleteWindow_ = 0, netWmName_ = 0, utf8String_ = 0, motifHints_ = 0;
  Atom netWmState_ = 0, netMaxVert_ = 0, netMaxHorz_ = 0, netWmOpacity_ = 0;
  Window pointerWindow_ = 0;
  std::map<int, Cursor> cursors_;

  DrawnSurfaceTracker tracker_;
  SurfaceProvider* previousProvider_ = nullptr;

  std::mutex windowsMutex_;  // guards the map itself; entries are the display thread's
  std::map<HWND, PresentedWindow> windows_;

  std::mutex dirtyMutex_;
  std::set<HWND> dirty_;

  std::mutex flushMutex_;
  std::condition_variable flushDone_;
  uint64_t flushRequested_ = 0;
  uint64_t flushCompleted_ = 0;
  uint64_t flushCompletedLocal_ = 0;
};

Presenter& ThePresenter() {
  static Presenter presenter;
  return presenter;
}

void DrawnSurfaceTracker::SurfaceDrawn(HWND window, const RECT& dirty) {
  WindowSurfaces().SurfaceDrawn(window, dirty);
  if (HWND top = TopLevelOf(window)) ThePresenter().MarkDrawn(top);
}

}  // namespace

void NotifyPresenter() {
  // The drawing layer's tables must outlive the presenter, which stops when
  // static objects go at exit: make them first.
  static const bool drawingReady = [] {
    DeleteObject(CreateSurfaceBitmap(1, 1));
    return true;
  }();
  (void)drawingReady;
  ThePresenter().Notify();
}

bool PresenterActive() { return ThePresenter().Active(); }

bool FlushPresenter(int timeoutMs) { return ThePresenter().Flush(timeoutMs); }

unsigned long PresentedXWindow(HWND window) { return ThePresenter().XWindowOf(window); }

void StopPresenter() { ThePresenter().Stop(); }

}  // namespace vqplatform
