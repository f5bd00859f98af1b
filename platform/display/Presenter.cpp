#include "platform/display/Presenter.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/shape.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/display/ConnectionLoss.h"
#include "platform/display/Cursors.h"
#include "platform/display/FrameMemory.h"
#include "platform/display/Headless.h"
#include "platform/display/InputDelivery.h"
#include "platform/display/PlacementTracker.h"
#include "platform/display/WindowProperties.h"
#include "platform/display/WindowIcon.h"
#include "platform/win/Dialog.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiLayered.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Singletons.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/WindowSurfaces.h"

namespace vqplatform {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<void (*)()> displayLostHandler{nullptr};

// How long a window's reports must stay quiet before they reach the
// program: a window manager changes state and geometry in several steps,
// and the program is told once, as Windows tells it.
constexpr auto kSettleTime = std::chrono::milliseconds(40);
// How long the window manager has to move the focus itself to a window the
// program activated (it gives new windows the focus, and an owner back its
// own when the dialog goes), before it is asked.
constexpr auto kActivationGrace = std::chrono::milliseconds(150);
// How long a new window waits for the window manager to tell its frame
// before it is shown all the same.
constexpr auto kFrameAnswerTime = std::chrono::seconds(2);
// How long after the focused window went the window manager's choice of
// the next focused window may differ from the program's.
constexpr auto kFocusAfterDestruction = std::chrono::milliseconds(500);

// What the presenter needs of a top-level window, read under the
// dispatcher lock in one go.
struct TopLevelState {
  HWND hwnd = nullptr;
  HWND owner = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  RECT rect{};
  RECT frame{};
  std::wstring title;
  std::wstring className;
};

std::vector<TopLevelState> ReadTopLevelWindows() {
  std::vector<TopLevelState> states;
  std::lock_guard lock(Dispatcher::Mutex());
  for (WindowObject* w : TopLevelWindows()) {
    if (w->destroying || !(w->style & WS_VISIBLE)) continue;
    states.push_back(TopLevelState{w->handle, w->owner, w->style, w->exStyle, w->rect, w->frame, w->text,
                                   w->windowClass ? w->windowClass->name : std::wstring()});
  }
  return states;
}

// The controls of a top-level window as tests read them (_VQ_CONTROLS): a
// line "id enabled drawn text", first "0 enabled drawn title" for the
// window itself, then one for each descendant with an id, in tree order (a
// line break in a text as a space). Drawn: hidden or empty, or no paint
// due nor under way.
std::string DescribeControls(HWND top) {
  std::lock_guard lock(Dispatcher::Mutex());
  std::string lines;
  const auto line = [&](UINT_PTR id, const WindowObject* w) {
    std::string text = vq::WideToUtf8(w->text);
    std::replace(text.begin(), text.end(), '\n', ' ');
    const bool drawn = !(w->style & WS_VISIBLE) || w->rect.right <= w->rect.left || w->rect.bottom <= w->rect.top ||
                       (!w->invalid && w->paintsOpen == 0);
    lines += std::to_string(id) + ((w->style & WS_DISABLED) ? " 0 " : " 1 ") + (drawn ? "1 " : "0 ") + text + "\n";
  };
  const std::function<void(const WindowObject*)> add = [&](const WindowObject* w) {
    for (const WindowObject* child : w->children) {
      if (child->destroying) continue;
      if (child->id != 0) line(child->id, child);
      add(child);
    }
  };
  if (const WindowObject* w = FindWindowObject(top)) {
    line(0, w);
    add(w);
  }
  return lines;
}

WindowLook LookOf(const TopLevelState& s) {
  return WindowLook{s.style, s.exStyle, s.owner != nullptr, s.className, s.rect};
}

Placement PlacementOf(const TopLevelState& s) {
  return Placement{s.rect, s.frame, (s.style & WS_MINIMIZE) != 0, (s.style & WS_MAXIMIZE) != 0};
}

// Where X puts a window whose client area is `client` inside `frame`: the
// frame's top-left corner (NorthWestGravity).
POINT FrameCorner(const RECT& client, const RECT& frame) {
  return POINT{client.left - frame.left, client.top - frame.top};
}

// Frame widths all nought: no frame, or none told yet.
bool NoFrame(const RECT& f) { return f.left == 0 && f.top == 0 && f.right == 0 && f.bottom == 0; }

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
  explicit PresentedWindow(const Placement& start) : x(start), layer(start) {}
  Window xwindow = 0;
  XIC inputContext = nullptr;
  Window parent = 0;     // the root until a window manager reparents the window
  bool managed = true;   // false: override-redirect
  bool mapped = false;
  bool mapRequested = false;
  bool awaitingFrame = false;  // not mapped until the window manager tells the frame
  bool maximiseToFit = false;  // shown maximised: too big for the work area
  bool refit = false;          // fitted again when the frame changes
  Clock::time_point frameDeadline;
  WindowLook look;
  PlacementTracker x;    // what X shows
  Placement layer;       // the layer's placement as last seen: what differs now, the program did
  bool settling = false;
  Clock::time_point settleUntil;
  std::shared_ptr<std::atomic<int>> handingOver = std::make_shared<std::atomic<int>>(0);  // tasks not yet run
  std::optional<Placement> givenToLayer;  // becomes `layer` once the tasks ran
  std::wstring title;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND owner = nullptr;
  Window ownerX = 0;  // the owner's X window when the transient hint was set
  int cursorId = 0;
  bool shaped = false;
  long opacity = -1;
  unsigned long presents = 0;  // pictures put on the server (_VQ_PRESENTS)
  std::string controls;        // as last put in _VQ_CONTROLS
  // The smallest client area the program's layout fits (WM_GETMINMAXINFO),
  // asked on the window's thread; empty until it answered.
  SIZE least{};
  struct LeastAnswer {
    std::mutex mutex;
    std::optional<SIZE> size;
  };
  std::shared_ptr<LeastAnswer> leastAnswer = std::make_shared<LeastAnswer>();
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
    return it == windows_.end() ? 0 : it->second->xwindow;
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

  void Wake() {
    if (wakePipe_[1] < 0) return;
    char byte = 1;
    ssize_t ignored = write(wakePipe_[1], &byte, 1);
    (void)ignored;
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
    KeepWorker(&StopPresenter);
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
    connectionLost_ = false;
    WatchConnectionLoss(display_, &connectionLost_);
    IgnoreProtocolErrors(display_);
    previousProvider_ = SetSurfaceProvider(&tracker_);
    Setup();
    while (!stopping_ && !connectionLost_) {
      uint64_t flushWanted;
      {
        std::lock_guard lock(flushMutex_);
        flushWanted = flushRequested_;
      }
      WaitForWork(flushWanted > flushCompletedLocal_ ? 0 : 20);
      DrainWakePipe();
      HandleXEvents();
      MapOverdue();
      ResolveFocusLoss();
      HandOverSettled();
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
    Display* connection = display_;
    const bool lost = connectionLost_;
    if (lost) {
      // Nothing more is shown: the windows live on unseen while the
      // program closes as it would at the user's request.
      failed_ = true;
      running_ = false;
    }
    Teardown();
    ForgetConnectionLoss(connection);
    ForgetProtocolErrors(connection);
    if (void (*handler)() = displayLostHandler.load(); lost && handler) handler();
  }

  void Setup() {
    screen_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screen_);
    SetScreenSize(DisplayWidth(display_, screen_), DisplayHeight(display_, screen_));
    properties_ = std::make_unique<WindowProperties>(display_);
    XSelectInput(display_, root_, PropertyChangeMask);
    SetWorkArea(properties_->ReadWorkArea());
    windowManager_ = properties_->HasWindowManager();
    netWmOpacity_ = XInternAtom(display_, "_NET_WM_WINDOW_OPACITY", False);
    presentsAtom_ = XInternAtom(display_, "_VQ_PRESENTS", False);
    serverTimeAtom_ = XInternAtom(display_, "_VQ_SERVER_TIME", False);
    XSetLocaleModifiers("");
    inputMethod_ = XOpenIM(display_, nullptr, nullptr, nullptr);
    gc_ = XCreateGC(display_, root_, 0, nullptr);
  }

  void Teardown() {
    std::map<HWND, std::unique_ptr<PresentedWindow>> windows;
    {
      std::lock_guard lock(windowsMutex_);
      windows.swap(windows_);
    }
    for (auto& [hwnd, pw] : windows) DestroyXWindow(*pw);
    for (auto& [id, cursor] : cursors_) XFreeCursor(display_, cursor);
    cursors_.clear();
    if (inputMethod_) XCloseIM(inputMethod_);
    inputMethod_ = nullptr;
    XFreeGC(display_, gc_);
    properties_.reset();
    SetSurfaceProvider(previousProvider_);
    XCloseDisplay(display_);
    display_ = nullptr;
    SetWorkArea(RECT{});
    ForgetFrames();
    xFocus_ = focusRequested_ = focusWanted_ = nullptr;
    {
      std::lock_guard lock(flushMutex_);
      flushDone_.notify_all();
    }
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

  // --- windows: what the program does goes to X ---

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
    std::vector<std::unique_ptr<PresentedWindow>> gone;
    {
      std::lock_guard lock(windowsMutex_);
      for (auto it = windows_.begin(); it != windows_.end();) {
        if (shown.count(it->first)) {
          ++it;
          continue;
        }
        if (it->first == xFocus_) {
          focusLeaving_ = focusWindowGone_ = focusAfterGone_ = true;  // no event tells where the focus went
          focusGoneAt_ = Clock::now();
        }
        gone.push_back(std::move(it->second));
        it = windows_.erase(it);
      }
    }
    for (auto& pw : gone) DestroyXWindow(*pw);
    PushActivation();
  }

  PresentedWindow* Find(HWND hwnd) {
    std::lock_guard lock(windowsMutex_);
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : it->second.get();
  }

  HWND FindByXWindow(Window xwindow) {
    std::lock_guard lock(windowsMutex_);
    for (auto& [hwnd, pw] : windows_)
      if (pw->xwindow == xwindow) return hwnd;
    return nullptr;
  }

  static int Width(const RECT& r) { return std::max<int>(1, r.right - r.left); }
  static int Height(const RECT& r) { return std::max<int>(1, r.bottom - r.top); }

  Window XWindowOrNone(HWND hwnd) {
    PresentedWindow* pw = hwnd ? Find(hwnd) : nullptr;
    return pw ? pw->xwindow : None;
  }

  void CreateXWindow(const TopLevelState& s) {
    WindowLook look = LookOf(s);
    auto pw = std::make_unique<PresentedWindow>(PlacementOf(s));
    pw->managed = !IsOverrideRedirect(look);
    pw->look = look;
    XSetWindowAttributes attributes{};
    attributes.background_pixel = WhitePixel(display_, screen_);
    attributes.override_redirect = pw->managed ? False : True;
    attributes.event_mask = ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                            PointerMotionMask | LeaveWindowMask | StructureNotifyMask | FocusChangeMask |
                            PropertyChangeMask;
    POINT corner = FrameCorner(s.rect, s.frame);
    Window xw = XCreateWindow(display_, root_, corner.x, corner.y, Width(s.rect), Height(s.rect), 0, CopyFromParent,
                              InputOutput, CopyFromParent, CWBackPixel | CWEventMask | CWOverrideRedirect, &attributes);
    pw->xwindow = xw;
    pw->parent = root_;
    XSetWMProtocols(display_, xw, &properties_->wmDeleteWindow, 1);
    properties_->SetIdentity(xw);
    properties_->SetType(xw, look);
    properties_->SetDecorations(xw, look, maximiseWay_);
    properties_->SetSizeHints(xw, look, corner, maximiseWay_, pw->least);
    properties_->SetTitle(xw, s.title);
    if (std::wstring text; ShownMessageBoxText(s.hwnd, &text)) properties_->SetMessageText(xw, text);
    pw->ownerX = XWindowOrNone(s.owner);
    properties_->SetOwner(xw, pw->ownerX);
    properties_->SetInitialState(xw, pw->layer.minimised, pw->layer.maximised);
    pw->title = s.title;
    pw->owner = s.owner;
    pw->style = s.style;
    pw->exStyle = s.exStyle;
    if (pw->managed && SizingOf(look) != Sizing::Fixed) AskLeastSize(s.hwnd, *pw);
    if (inputMethod_)
      pw->inputContext = XCreateIC(inputMethod_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                                   xw, XNFocusWindow, xw, nullptr);
    // The window manager tells the frame before the window shows, so that
    // the program's rectangle is the frame's from the start.
    pw->awaitingFrame = pw->managed && windowManager_ && properties_->RequestFrameExtents(xw);
    pw->frameDeadline = Clock::now() + kFrameAnswerTime;
    if (!pw->awaitingFrame) Map(s.hwnd, *pw);
    {
      std::lock_guard lock(windowsMutex_);
      windows_[s.hwnd] = std::move(pw);
    }
    MarkDrawn(s.hwnd);
  }

  // The program's smallest window (WM_GETMINMAXINFO's minimum tracking
  // size, less the frame the window had then), asked on its own thread;
  // the window manager is told once it answered (TakeLeastSize).
  void AskLeastSize(HWND hwnd, PresentedWindow& pw) {
    std::shared_ptr<PresentedWindow::LeastAnswer> answer = pw.leastAnswer;
    RunLaterOnWindowThread(hwnd, [this, hwnd, answer] {
      if (!IsWindow(hwnd)) return;
      RECT window{}, client{};
      GetWindowRect(hwnd, &window);
      GetClientRect(hwnd, &client);
      MINMAXINFO info{};
      SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
      const SIZE least{std::max<LONG>(0, info.ptMinTrackSize.x - ((window.right - window.left) - client.right)),
                       std::max<LONG>(0, info.ptMinTrackSize.y - ((window.bottom - window.top) - client.bottom))};
      {
        std::lock_guard lock(answer->mutex);
        answer->size = least;
      }
      Wake();
    });
  }

  void TakeLeastSize(PresentedWindow& pw) {
    std::optional<SIZE> answered;
    {
      std::lock_guard lock(pw.leastAnswer->mutex);
      answered = std::exchange(pw.leastAnswer->size, std::nullopt);
    }
    if (!answered || (answered->cx == pw.least.cx && answered->cy == pw.least.cy)) return;
    pw.least = *answered;
    const Placement& shown = pw.x.Shown();
    properties_->SetSizeHints(pw.xwindow, pw.look, FrameCorner(shown.rect, shown.frame), maximiseWay_, pw.least);
  }

  void Map(HWND hwnd, PresentedWindow& pw) {
    pw.awaitingFrame = false;
    pw.mapRequested = true;
    // A window manager that tells the frame only once the window is shown
    // (fluxbox): fitted again when it does.
    if (pw.managed && windowManager_ && NoFrame(pw.x.Shown().frame) && !properties_->ReadFrameExtents(pw.xwindow))
      pw.refit = true;
    FitWorkArea(hwnd, pw, false);
    XMapWindow(display_, pw.xwindow);
  }

  // A window about to be shown whose frame, now known, reaches out of the
  // work area (under a panel, off the screen) is moved into it; one too big
  // for it is made as small as its layout allows to fit and maximised where
  // it may be (the window manager restores it to that size), else its title
  // bar is put in. A shown window is fitted again when its frame grew as it
  // was allowed to be maximised, and when it was restored (not maximised
  // again then: the window manager's restored size may be its own).
  void FitWorkArea(HWND hwnd, PresentedWindow& pw, bool mapped, bool mayMaximise = true) {
    const Placement& shown = pw.x.Shown();
    if (!pw.managed || !windowManager_ || shown.minimised || shown.maximised) return;
    const RECT area = GetWorkArea(), r = shown.rect, f = shown.frame;
    const RECT outer{r.left - f.left, r.top - f.top, r.right + f.right, r.bottom + f.bottom};
    if (outer.left >= area.left && outer.top >= area.top && outer.right <= area.right && outer.bottom <= area.bottom)
      return;
    const bool fits =
        outer.right - outer.left <= area.right - area.left && outer.bottom - outer.top <= area.bottom - area.top;
    const bool sizable = SizingOf(pw.look) != Sizing::Fixed;
    // The client area no larger than the work area leaves it, nor smaller
    // than the least the layout fits (unless it is already).
    const auto fitted = [](LONG length, LONG room, LONG least) { return std::min(length, std::max(room, least)); };
    const LONG width = sizable ? fitted(Width(r), area.right - area.left - f.left - f.right, pw.least.cx) : Width(r);
    const LONG height = sizable ? fitted(Height(r), area.bottom - area.top - f.top - f.bottom, pw.least.cy) : Height(r);
    const bool maximise = mayMaximise && !fits && sizable && (pw.style & WS_MAXIMIZEBOX);
    if (maximise) pw.maximiseToFit = true;
    auto into = [](LONG low, LONG high, LONG areaLow, LONG areaHigh) {
      return std::max(areaLow, std::min(low, areaHigh - (high - low))) - low;
    };
    const LONG dx = into(outer.left, outer.left + width + f.left + f.right, area.left, area.right);
    const LONG dy = into(outer.top, outer.top + height + f.top + f.bottom, area.top, area.bottom);
    Placement given = shown;
    given.rect = RECT{r.left + dx, r.top + dy, r.left + dx + width, r.top + dy + height};
    const POINT corner = FrameCorner(given.rect, f);
    WindowLook look = pw.look;
    look.rect = given.rect;
    properties_->SetSizeHints(pw.xwindow, look, corner, maximiseWay_, pw.least);
    XMoveResizeWindow(display_, pw.xwindow, corner.x, corner.y, unsigned(width), unsigned(height));
    pw.x.Requested(given.rect);
    GivePlacementToLayer(hwnd, pw, given, 0);
    if (!maximise) return;
    // The window manager reports the maximised window as its own change.
    if (mapped)
      properties_->RequestMaximised(pw.xwindow, true);
    else
      properties_->SetInitialState(pw.xwindow, false, true);
  }

  // Windows whose frame the window manager did not tell in time.
  void MapOverdue() {
    std::vector<std::pair<HWND, PresentedWindow*>> overdue;
    {
      std::lock_guard lock(windowsMutex_);
      for (auto& [hwnd, pw] : windows_)
        if (pw->awaitingFrame && Clock::now() >= pw->frameDeadline) overdue.emplace_back(hwnd, pw.get());
    }
    for (auto [hwnd, pw] : overdue) Map(hwnd, *pw);
  }

  void UpdateXWindow(PresentedWindow& pw, const TopLevelState& s) {
    WindowLook look = LookOf(s);
    pw.look = look;
    constexpr DWORD kFrameStyles = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    if ((pw.style ^ s.style) & kFrameStyles) properties_->SetDecorations(pw.xwindow, look, maximiseWay_);
    if (pw.title != s.title) {
      properties_->SetTitle(pw.xwindow, s.title);
      pw.title = s.title;
    }
    // The owner may be shown after the window it owns.
    Window ownerX = XWindowOrNone(s.owner);
    if (pw.owner != s.owner || pw.ownerX != ownerX) {
      properties_->SetOwner(pw.xwindow, ownerX);
      properties_->SetType(pw.xwindow, look);
      pw.owner = s.owner;
      pw.ownerX = ownerX;
    }
    TakeLeastSize(pw);
    SyncPlacement(pw, s);
    pw.style = s.style;
    if (pw.exStyle != s.exStyle) MarkDrawn(s.hwnd);
    pw.exStyle = s.exStyle;
  }

  // Sends X what the program changed since the last look. Nothing goes out
  // while a change that X reported is on its way to the program, so the
  // layer's older state never overrides it.
  void SyncPlacement(PresentedWindow& pw, const TopLevelState& s) {
    if (pw.settling || pw.handingOver->load() > 0 || pw.awaitingFrame) return;
    if (pw.givenToLayer) pw.layer = *std::exchange(pw.givenToLayer, std::nullopt);
    Placement now = PlacementOf(s);
    Placement& was = pw.layer;
    if (now.minimised != was.minimised) {
      if (now.minimised)
        XIconifyWindow(display_, pw.xwindow, screen_);
      else
        XMapRaised(display_, pw.xwindow);
      pw.x.RequestedMinimised(now.minimised);
    }
    if (now.maximised != was.maximised && !now.minimised) {
      properties_->RequestMaximised(pw.xwindow, now.maximised);
      pw.x.RequestedMaximised(now.maximised);
    }
    if (!(now.rect.left == was.rect.left && now.rect.top == was.rect.top && now.rect.right == was.rect.right &&
          now.rect.bottom == was.rect.bottom)) {
      bool resized = Width(now.rect) != Width(was.rect) || Height(now.rect) != Height(was.rect);
      POINT corner = FrameCorner(now.rect, pw.x.Shown().frame);
      if (resized) properties_->SetSizeHints(pw.xwindow, LookOf(s), corner, maximiseWay_, pw.least);
      XMoveResizeWindow(display_, pw.xwindow, corner.x, corner.y, Width(now.rect), Height(now.rect));
      pw.x.Requested(now.rect);
      if (resized) MarkDrawn(s.hwnd);
    }
    was = now;
  }

  // Another client destroyed the window (xkill, a window manager that
  // crashed): it is made again, as the program still shows it.
  void ForgetDestroyed(HWND hwnd) {
    std::unique_ptr<PresentedWindow> gone;
    {
      std::lock_guard lock(windowsMutex_);
      auto it = windows_.find(hwnd);
      if (it == windows_.end()) return;
      gone = std::move(it->second);
      windows_.erase(it);
    }
    if (hwnd == xFocus_) {
      focusLeaving_ = focusWindowGone_ = focusAfterGone_ = true;
      focusGoneAt_ = Clock::now();
    }
    if (gone->inputContext) XDestroyIC(gone->inputContext);
  }

  void DestroyXWindow(PresentedWindow& pw) {
    if (pw.inputContext) XDestroyIC(pw.inputContext);
    XDestroyWindow(display_, pw.xwindow);
  }

  // --- windows: what X reports goes to the program ---

  void OnConfigure(PresentedWindow& pw, const XConfigureEvent& c) {
    // Before the window is mapped the window manager does not place it: a
    // synthetic event then answers the frame-extents request with a made-up
    // position (openbox puts it at the screen's corner).
    if (c.send_event && !pw.mapRequested) return;
    // Synthetic events and those of a window still on the root carry the
    // position on the screen; a reparented window's own say only the size.
    bool positioned = c.send_event || pw.parent == root_;
    bool changed = false;
    if (!positioned) {
      // Where it lies on the screen now, asked of the server: a window
      // manager that moves the frame while it sizes the window (a maximise
      // after a drag) need not say where the frame went (IceWM).
      int x = 0, y = 0;
      Window child;
      if (XTranslateCoordinates(display_, pw.xwindow, root_, 0, 0, &x, &y, &child))
        changed = pw.x.Configured(RECT{x, y, x + c.width, y + c.height});
      else
        changed = pw.x.Resized(c.width, c.height);
    } else {
      int x = c.x + c.border_width, y = c.y + c.border_width;
      if (!c.send_event && pw.managed && windowManager_) {
        // Not framed yet: the window stands where its frame's corner will.
        x += pw.x.Shown().frame.left;
        y += pw.x.Shown().frame.top;
      }
      changed = pw.x.Configured(RECT{x, y, x + c.width, y + c.height});
    }
    if (changed) Settle(pw);
  }

  void OnProperty(HWND hwnd, PresentedWindow& pw, const XPropertyEvent& p) {
    if (p.atom == properties_->netFrameExtents) {
      OnFrameExtents(hwnd, pw);
      return;
    }
    if (p.atom == properties_->netWmAllowedActions) {
      OnAllowedActions(pw);
      return;
    }
    bool changed = false;
    if (p.atom == properties_->wmState) {
      std::optional<bool> iconic = properties_->ReadIconic(pw.xwindow);
      changed = iconic && pw.x.Minimised(*iconic);
    } else if (p.atom == properties_->netWmState) {
      changed = pw.x.Maximised(properties_->ReadMaximised(pw.xwindow));
    }
    if (changed) Settle(pw);
  }

  void OnFrameExtents(HWND hwnd, PresentedWindow& pw) {
    std::optional<RECT> frame = properties_->ReadFrameExtents(pw.xwindow);
    if (frame && pw.x.Framed(*frame, pw.mapRequested)) {
      const Placement& shown = pw.x.Shown();
      if (!shown.minimised && !shown.maximised) RememberFrame(pw.look, *frame);
      if (pw.mapRequested)
        Settle(pw);  // the window manager moves the client area itself
      else
        GiveFrameToLayer(hwnd, pw, *frame);
      if (pw.mapRequested && std::exchange(pw.refit, false)) FitWorkArea(hwnd, pw, true);
    }
    if (pw.awaitingFrame) Map(hwnd, pw);
  }

  // A window that may only be maximised, refused the maximise action: this
  // window manager maximises only what the user may resize.
  void OnAllowedActions(PresentedWindow& pw) {
    if (maximiseWay_ == MaximiseWay::ThroughResize || SizingOf(pw.look) != Sizing::MaximiseOnly) return;
    if (properties_->ReadMaximiseAllowed(pw.xwindow).value_or(true)) return;
    // A minimised window may not be maximised anywhere (xfwm4 says so):
    // that tells nothing of the way.
    if (pw.x.Shown().minimised || properties_->ReadHidden(pw.xwindow)) return;
    maximiseWay_ = MaximiseWay::ThroughResize;
    std::lock_guard lock(windowsMutex_);
    for (auto& [hwnd, other] : windows_) {
      if (!other->managed || SizingOf(other->look) != Sizing::MaximiseOnly) continue;
      const Placement& shown = other->x.Shown();
      properties_->SetDecorations(other->xwindow, other->look, maximiseWay_);
      properties_->SetSizeHints(other->xwindow, other->look, FrameCorner(shown.rect, shown.frame), maximiseWay_,
                                other->least);
      // Refused when it was mapped: asked again now it may be maximised;
      // fitted again should its frame grow (openbox's answer to the
      // frame-extents request already tells the actions it allows).
      if (other->maximiseToFit && other->mapRequested && !shown.maximised)
        properties_->RequestMaximised(other->xwindow, true);
      other->refit = !other->maximiseToFit;
    }
  }

  // The frame of a window not yet shown: the program's rectangle keeps its
  // corner and its client area moves inside the frame.
  // A window the program centred (on its owner, or on the work area, as a
  // message box or a dialog is) keeps its centre instead, as on Windows,
  // where its frame was known when it was placed.
  void GiveFrameToLayer(HWND hwnd, PresentedWindow& pw, const RECT& frame) {
    Placement given = pw.givenToLayer ? *pw.givenToLayer : pw.layer;
    int dx = frame.left - given.frame.left, dy = frame.top - given.frame.top;
    std::optional<POINT> clientCorner;  // where the layer puts the client area, when not inside the old corner
    if (std::optional<RECT> centred = Recentred(pw, given, frame)) {
      clientCorner = POINT{centred->left, centred->top};
      dx = centred->left - given.rect.left;
      dy = centred->top - given.rect.top;
      pw.x.Requested(*centred);
      const POINT corner = FrameCorner(*centred, frame);
      properties_->SetSizeHints(pw.xwindow, pw.look, corner, maximiseWay_, pw.least);
      XMoveWindow(display_, pw.xwindow, corner.x, corner.y);
    }
    given.rect = RECT{given.rect.left + dx, given.rect.top + dy, given.rect.right + dx, given.rect.bottom + dy};
    given.frame = frame;
    pw.givenToLayer = given;
    std::shared_ptr<std::atomic<int>> tasks = pw.handingOver;
    ++*tasks;
    bool queued = RunLaterOnWindowThread(hwnd, [this, hwnd, frame, tasks, clientCorner] {
      ApplyWindowFrame(hwnd, frame, clientCorner ? &*clientCorner : nullptr);
      --*tasks;
      Wake();
    });
    if (!queued) --*tasks;
  }

  // Where the client area of a window centred with its old frame goes to
  // stay centred in the new one; nothing for a window not so centred.
  std::optional<RECT> Recentred(const PresentedWindow& pw, const Placement& given, const RECT& frame) {
    const RECT r = given.rect, f = given.frame;
    const RECT outer{r.left - f.left, r.top - f.top, r.right + f.right, r.bottom + f.bottom};
    if (pw.owner && (!IsWindowVisible(pw.owner) || IsIconic(pw.owner))) return std::nullopt;
    const RECT placed = CentredOnOwner(SIZE{Width(outer), Height(outer)}, pw.owner);
    if (std::abs(placed.left - outer.left) > 1 || std::abs(placed.top - outer.top) > 1) return std::nullopt;
    const RECT centred = CentredOnOwner(
        SIZE{Width(r) + frame.left + frame.right, Height(r) + frame.top + frame.bottom}, pw.owner);
    const RECT client{centred.left + frame.left, centred.top + frame.top, centred.left + frame.left + Width(r),
                      centred.top + frame.top + Height(r)};
    if (client.left == r.left + frame.left - f.left && client.top == r.top + frame.top - f.top) return std::nullopt;
    return client;
  }

  void Settle(PresentedWindow& pw) {
    pw.settling = true;
    pw.settleUntil = Clock::now() + kSettleTime;
  }

  std::vector<HWND> SettledWindows() {
    std::vector<HWND> due;
    std::lock_guard lock(windowsMutex_);
    for (auto& [hwnd, pw] : windows_)
      if (pw->settling && Clock::now() >= pw->settleUntil) due.push_back(hwnd);
    return due;
  }

  // Reports that have settled go to the window's thread as one change.
  void HandOverSettled() {
    if (SettledWindows().empty()) return;
    // Whatever the window manager still says comes first (and may start
    // the wait again).
    XSync(display_, False);
    HandleXEvents();
    for (HWND hwnd : SettledWindows())
      if (PresentedWindow* pw = Find(hwnd)) HandOver(hwnd, *pw);
  }

  void HandOver(HWND hwnd, PresentedWindow& pw) {
    pw.settling = false;
    if (pw.x.PositionUnsure()) {
      // The window manager sized the window and told no position: where it
      // is now, all reports having arrived.
      int x = 0, y = 0;
      Window child;
      XTranslateCoordinates(display_, pw.xwindow, root_, 0, 0, &x, &y, &child);
      const RECT& r = pw.x.Shown().rect;
      pw.x.Configured(RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)});
    }
    Placement given = pw.x.Shown();
    // An owned window minimised with its owner stays as it is for the
    // program; Windows keeps a minimised window's maximised state aside.
    DWORD mask = WS_MAXIMIZE | WS_MINIMIZE;
    if (pw.owner) {
      mask = WS_MAXIMIZE;
      given.minimised = pw.layer.minimised;
    }
    given.maximised = given.maximised && !given.minimised;
    const bool restored = (pw.givenToLayer ? *pw.givenToLayer : pw.layer).maximised && !given.maximised;
    GivePlacementToLayer(hwnd, pw, given, mask);
    if (restored && !given.minimised) FitWorkArea(hwnd, pw, true, false);
  }

  // The program learns the placement on its window's thread; till then
  // nothing of its older placement goes to X.
  void GivePlacementToLayer(HWND hwnd, PresentedWindow& pw, const Placement& given, DWORD mask) {
    DWORD state = (given.minimised ? WS_MINIMIZE : 0) | (given.maximised ? WS_MAXIMIZE : 0);
    pw.givenToLayer = given;
    std::shared_ptr<std::atomic<int>> tasks = pw.handingOver;
    ++*tasks;
    bool queued = RunLaterOnWindowThread(hwnd, [this, hwnd, given, state, mask, tasks] {
      ApplySystemPlacement(hwnd, given.rect, state, mask, &given.frame);
      --*tasks;
      Wake();
    });
    if (!queued) --*tasks;
  }

  // --- activation ---

  // With a window manager, X's input focus is the foreground window: a
  // window of ours gaining it is activated (before the keys that follow
  // reach it), losing it to another program deactivates the process.
  // Without one, the focus follows the pointer and means nothing.
  static bool MovesFocus(const XFocusChangeEvent& f) {
    return f.mode != NotifyGrab && f.mode != NotifyUngrab && f.detail != NotifyInferior && f.detail != NotifyPointer &&
           f.detail != NotifyPointerRoot && f.detail != NotifyDetailNone;
  }

  void OnFocusChange(HWND hwnd, const XFocusChangeEvent& f) {
    if (!windowManager_ || !MovesFocus(f)) return;
    if (f.type == FocusIn) {
      focusLeaving_ = focusWindowGone_ = false;
      if (!KeptAfterDestruction(hwnd)) FocusMovedTo(hwnd);
    } else if (hwnd == xFocus_) {
      focusLeaving_ = true;  // to another window of ours, or away: known after the events at hand
    }
  }

  void ResolveFocusLoss() {
    if (!focusLeaving_) return;
    focusLeaving_ = false;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    HWND to = FindByXWindow(focus);
    if (to && KeptAfterDestruction(to)) return;
    // The focused window went and the window manager gave the focus to
    // nobody (xfwm4 keeps it on its own window): no other program took it,
    // and the window the program activates instead gets it (PushActivation).
    if (!to && std::exchange(focusWindowGone_, false) && FocusIsOursOrNobodys()) {
      xFocus_ = nullptr;
      return;
    }
    focusWindowGone_ = false;
    FocusMovedTo(to);
  }

  // The first window to get the focus just after the focused window went:
  // the window manager may choose another than the one the program
  // activated in its place, as Windows does, the owner (xfwm4 gives it to
  // the main window rather than to a message box's owner). The program
  // keeps its choice, which is asked for (PushActivation).
  bool KeptAfterDestruction(HWND to) {
    if (!std::exchange(focusAfterGone_, false) || Clock::now() - focusGoneAt_ > kFocusAfterDestruction) return false;
    HWND foreground = ForegroundWindowOfProcess();
    PresentedWindow* wanted = foreground && foreground != to ? Find(foreground) : nullptr;
    if (!wanted || !wanted->managed || !wanted->mapped || wanted->x.Shown().minimised) return false;
    xFocus_ = to;
    return true;
  }

  void FocusMovedTo(HWND hwnd) {
    if (hwnd == xFocus_) return;
    xFocus_ = hwnd;
    if (!hwnd) {
      DeactivateProcess();
      return;
    }
    ++focusQueued_;
    if (!RunLaterOnWindowThread(hwnd, [this, hwnd] {
          ActivateTopLevel(hwnd, WA_ACTIVE);
          --focusQueued_;
          Wake();
        }))
      --focusQueued_;
  }

  // The program activated another window of its own (a modal dialog, an
  // owner after its dialog ended): when the window manager has not seen to
  // it by itself a moment later, it is asked once.
  void PushActivation() {
    if (!windowManager_ || focusQueued_.load() > 0) return;
    HWND wanted = ForegroundWindowOfProcess();
    if (!wanted || wanted == xFocus_ || wanted != focusWanted_) {
      focusRequested_ = nullptr;
      focusWanted_ = wanted;
      focusWantedSince_ = Clock::now();
      return;
    }
    if (wanted == focusRequested_ || Clock::now() - focusWantedSince_ < kActivationGrace) return;
    PresentedWindow* pw = Find(wanted);
    if (!pw || !pw->managed || !pw->mapped || pw->layer.minimised || pw->x.Shown().minimised) return;
    // The time of the user's last press in the program, unless the focus
    // is the program's own or nobody's: then no other program's window
    // loses it, and the request is as new as the server's time. (A
    // window manager sets the focus with the request's time, and the
    // server ignores a focus change older than the last one: xfwm4, which
    // gives a restored owner the focus rather than its modal dialog, and
    // none to the owner of a closed message box.)
    Time time = lastEventTime_;
    if (FocusIsOursOrNobodys()) time = ServerTime(pw->xwindow);
    properties_->RequestActivation(pw->xwindow, XWindowOrNone(xFocus_), time);
    focusRequested_ = wanted;
  }

  bool FocusIsOursOrNobodys() {
    if (xFocus_) return true;
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    if (focus == None || focus == PointerRoot || focus == root_ || FindByXWindow(focus)) return true;
    // The window manager's own window, which holds the focus while no
    // client has it.
    return focus == properties_->ReadSupportingWindow();
  }

  // The server's time now, from the notification of an empty change to
  // one of the program's windows.
  Time ServerTime(Window xwindow) {
    XChangeProperty(display_, xwindow, serverTimeAtom_, XA_CARDINAL, 32, PropModeAppend, nullptr, 0);
    XSync(display_, False);
    XEvent e;
    struct Wanted {
      Window window;
      Atom atom;
    } wanted{xwindow, serverTimeAtom_};
    const auto match = [](Display*, XEvent* event, XPointer arg) -> Bool {
      const auto* w = reinterpret_cast<const Wanted*>(arg);
      return event->type == PropertyNotify && event->xproperty.window == w->window && event->xproperty.atom == w->atom;
    };
    if (XCheckIfEvent(display_, &e, match, reinterpret_cast<XPointer>(&wanted))) return e.xproperty.time;
    return lastEventTime_;
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
      // Read before the picture is composed: what it says drawn, the picture shows.
      std::string controls = DescribeControls(hwnd);
      WindowImage image;
      if (!ComposeWindowImage(hwnd, &image)) continue;
      Put(pw->xwindow, image);
      ApplyLayering(hwnd, *pw, image);
      // Counted on the window for tests: a live preview moves it on with every frame.
      ++pw->presents;
      XChangeProperty(display_, pw->xwindow, presentsAtom_, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&pw->presents), 1);
      if (controls != pw->controls) {
        properties_->SetControls(pw->xwindow, controls);
        pw->controls = std::move(controls);
      }
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
    // COLORREF is 0x00BBGGRR, the image 0x00RRGGBB.
    const uint32_t keyPixel = (uint32_t(GetRValue(key)) << 16) | (uint32_t(GetGValue(key)) << 8) | GetBValue(key);
    // A window none of whose pixels has the key colour is not cut at all:
    // many window managers draw no frame around a shaped window.
    const bool keyed = (flags & LWA_COLORKEY) &&
                       std::find(image.pixels.begin(), image.pixels.end(), keyPixel) != image.pixels.end();
    if (keyed) {
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
      if (e.xany.window == root_) {
        OnRootProperty(e);
        continue;
      }
      HWND hwnd = FindByXWindow(e.xany.window);
      PresentedWindow* pw = hwnd ? Find(hwnd) : nullptr;
      if (!pw) continue;
      switch (e.type) {
        case Expose:
          if (e.xexpose.count == 0) MarkDrawn(hwnd);
          break;
        case ClientMessage:
          if (e.xclient.message_type == properties_->wmProtocols &&
              static_cast<Atom>(e.xclient.data.l[0]) == properties_->wmDeleteWindow && IsWindowEnabled(hwnd))
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
          break;
        case ConfigureNotify: OnConfigure(*pw, e.xconfigure); break;
        case ReparentNotify: pw->parent = e.xreparent.parent; break;
        case PropertyNotify: OnProperty(hwnd, *pw, e.xproperty); break;
        case LeaveNotify:
          // Out of the window, to the desktop or another program's window.
          if ((e.xcrossing.mode == NotifyNormal || e.xcrossing.mode == NotifyUngrab) &&
              e.xcrossing.detail != NotifyInferior)
            DeliverPointerLeft(hwnd, POINT{e.xcrossing.x_root, e.xcrossing.y_root});
          break;
        case MapNotify: pw->mapped = true; break;
        case UnmapNotify: pw->mapped = false; break;
        case DestroyNotify:
          if (e.xdestroywindow.window == pw->xwindow) ForgetDestroyed(hwnd);
          break;
        case MotionNotify: {
          // Only the latest position of a burst matters; a burst ends at any
          // other event, so a move never overtakes a press or release.
          while (XEventsQueued(display_, QueuedAfterReading) > 0) {
            XEvent next;
            XPeekEvent(display_, &next);
            if (next.type != MotionNotify || next.xany.window != e.xany.window) break;
            XNextEvent(display_, &e);
          }
          pointerWindow_ = e.xmotion.window;
          Mouse(hwnd, MouseAction::Move, 0, e.xmotion.x_root, e.xmotion.y_root, e.xmotion.state, e.xmotion.time);
          break;
        }
        case ButtonPress:
        case ButtonRelease:
          lastEventTime_ = e.xbutton.time;
          OnButton(hwnd, e.xbutton);
          break;
        case KeyPress:
        case KeyRelease:
          lastEventTime_ = e.xkey.time;
          OnKey(hwnd, e.xkey);
          break;
        case FocusIn:
        case FocusOut:
          if (pw->inputContext) (e.type == FocusIn ? XSetICFocus : XUnsetICFocus)(pw->inputContext);
          OnFocusChange(hwnd, e.xfocus);
          break;
        default: break;
      }
    }
  }

  void OnRootProperty(const XEvent& e) {
    if (e.type != PropertyNotify) return;
    if (e.xproperty.atom == properties_->netWorkArea) SetWorkArea(properties_->ReadWorkArea());
    if (e.xproperty.atom == properties_->netSupportingWmCheck) {
      windowManager_ = properties_->HasWindowManager();
      maximiseWay_ = MaximiseWay::Plain;  // another window manager, maybe
      if (!windowManager_) ForgetFrames();
    }
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
  std::atomic<bool> connectionLost_{false};
  std::thread thread_;
  int wakePipe_[2] = {-1, -1};

  Display* display_ = nullptr;
  int screen_ = 0;
  Window root_ = 0;
  GC gc_ = nullptr;
  XIM inputMethod_ = nullptr;
  std::unique_ptr<WindowProperties> properties_;
  Atom netWmOpacity_ = 0;
  Atom presentsAtom_ = 0;
  Atom serverTimeAtom_ = 0;
  Window pointerWindow_ = 0;
  std::map<int, Cursor> cursors_;

  // Activation (display thread only, but for the counter).
  bool windowManager_ = false;
  MaximiseWay maximiseWay_ = MaximiseWay::Plain;
  bool focusLeaving_ = false;
  bool focusWindowGone_ = false;  // the focus was on a window that went
  Clock::time_point focusGoneAt_;
  bool focusAfterGone_ = false;  // no window got the focus since
  HWND xFocus_ = nullptr;          // our window with X's input focus
  HWND focusRequested_ = nullptr;  // asked of the window manager, not yet granted
  HWND focusWanted_ = nullptr;     // the foreground window X's focus has not followed yet
  Clock::time_point focusWantedSince_;
  std::atomic<int> focusQueued_{0};
  Time lastEventTime_ = CurrentTime;

  DrawnSurfaceTracker tracker_;
  SurfaceProvider* previousProvider_ = nullptr;

  std::mutex windowsMutex_;  // guards the map itself; entries are the display thread's
  std::map<HWND, std::unique_ptr<PresentedWindow>> windows_;

  std::mutex dirtyMutex_;
  std::set<HWND> dirty_;

  std::mutex flushMutex_;
  std::condition_variable flushDone_;
  uint64_t flushRequested_ = 0;
  uint64_t flushCompleted_ = 0;
  uint64_t flushCompletedLocal_ = 0;
};

Presenter& ThePresenter() {
  static Presenter* presenter = MakeSingleton<Presenter>();
  return *presenter;
}

void DrawnSurfaceTracker::SurfaceDrawn(HWND window, const RECT& dirty) {
  WindowSurfaces().SurfaceDrawn(window, dirty);
  if (HWND top = TopLevelOf(window)) ThePresenter().MarkDrawn(top);
}

}  // namespace

void SetDisplayLostHandler(void (*handler)()) { displayLostHandler = handler; }

void NotifyPresenter() {
  // The drawing layer's tables must outlive the presenter: made first, they
  // are freed after it (kept objects go newest first).
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
