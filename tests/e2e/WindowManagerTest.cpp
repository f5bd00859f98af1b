// Windows under a real window manager (openbox beside Xvfb): what the user
// does with the manager's frames and a taskbar reaches the program as
// Windows reports it, and is never sent back; the keys follow activation.
#include <gtest/gtest.h>
// After the test framework, which has a None of its own.
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "app/BrandingData.h"
#include "app/SplashDlg.h"
#include "platform/display/ConnectionLoss.h"
#include "platform/display/Presenter.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Encoding.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"
#include "resources/Resources.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/XServer.h"

namespace {

using namespace std::chrono_literals;
using vqplatform::ForegroundWindowOfProcess;
using vqplatform::PresentedXWindow;
using vqtest::MiddleOf;
using vqtest::ScreenRectOf;
using vqtest::Stays;
using vqtest::TextOf;
using vqtest::WaitFor;

constexpr UINT kRunTask = WM_APP + 1;  // lParam: a std::function<void()> the program runs and deletes

struct Logged {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// The messages about place and activation the program's windows receive.
struct MessageLog {
  std::mutex mutex;
  std::vector<Logged> entries;
  size_t Mark() {
    std::lock_guard lock(mutex);
    return entries.size();
  }
  std::vector<Logged> Since(size_t mark, HWND hwnd, UINT message) {
    std::lock_guard lock(mutex);
    std::vector<Logged> found;
    std::copy_if(entries.begin() + static_cast<long>(mark), entries.end(), std::back_inserter(found),
                 [&](const Logged& e) { return e.hwnd == hwnd && e.message == message; });
    return found;
  }
} g_log;

bool ProgramHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT*) {
  if (message == WM_SIZE || message == WM_MOVE || message == WM_ACTIVATE || message == WM_NCACTIVATE ||
      message == WM_ACTIVATEAPP || message == WM_SYSCOMMAND) {
    std::lock_guard lock(g_log.mutex);
    g_log.entries.push_back(Logged{hwnd, message, wParam, lParam});
  }
  // The modal dialog ends with its buttons.
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && GetWindow(hwnd, GW_OWNER)) {
    EndDialog(hwnd, LOWORD(wParam));
    return true;
  }
  if (message != kRunTask) return false;
  std::unique_ptr<std::function<void()>> task(reinterpret_cast<std::function<void()>*>(lParam));
  (*task)();
  return true;
}

// Runs on the program's thread: sent (the driver waits) or posted (the
// driver goes on while the program sits in a modal loop).
void SendToProgram(HWND window, std::function<void()> task, bool wait = true) {
  auto* copy = new std::function<void()>(std::move(task));
  if (wait)
    SendMessageW(window, kRunTask, 0, reinterpret_cast<LPARAM>(copy));
  else
    PostMessageW(window, kRunTask, 0, reinterpret_cast<LPARAM>(copy));
}

HWND FocusOfProgram(HWND window) {
  HWND focus = nullptr;
  SendToProgram(window, [&] { focus = GetFocus(); });
  return focus;
}

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

RECT Moved(const RECT& r, int x, int y) { return RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)}; }

// A one-line dialog, shown modal over its owner.
const DialogTemplate kNameDialog{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
                                 0, 0, 0, 160, 48, L"Name", L"MS Shell Dlg", 9,
                                 {{100, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 8, 8,
                                   144, 14},
                                  {IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 102, 28, 50,
                                   14}}};

// A second top-level window of the program, with a field of its own.
const DialogTemplate kNotesWindow{WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_SETFONT,
                                  0, 760, 150, 140, 50, L"Notes", L"MS Shell Dlg", 9,
                                  {{100, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 8, 8,
                                    124, 14}}};

// Each test runs under every window manager users have.
class WindowManagerFixture : public ::testing::Test {
 protected:
  explicit WindowManagerFixture(const char* manager) : manager_(manager) {}
  void SetUp() override {
    if (std::string why = vqtest::UseDesktop(vqtest::Desktop{manager_}); !why.empty()) GTEST_SKIP() << why;
    vqres::LoadResources();
    ASSERT_TRUE(server_.Connected());
    ASSERT_TRUE(server_.WaitForWindowManager());
  }
  void TearDown() override { vqplatform::StopPresenter(); }

  // Runs the driver on a thread of its own while this thread serves the
  // program's messages, keys through the dialog manager as the program's
  // loop does.
  void Drive(const std::function<void()>& driver) {
    std::atomic<bool> done{false};
    DWORD program = GetCurrentThreadId();
    std::thread thread([&] {
      driver();
      done = true;
      PostThreadMessageW(program, WM_NULL, 0, 0);
    });
    EXPECT_TRUE(vqtest::Pump([&] { return done.load(); }, std::chrono::minutes(10)));
    thread.join();
  }

  // A point on the window manager's title bar above the window.
  POINT TitleBar(HWND hwnd) {
    unsigned long xwindow = PresentedXWindow(hwnd);
    RECT client = server_.ClientRectOnScreen(xwindow);
    RECT frame = server_.FrameExtents(xwindow);
    return POINT{client.left + (client.right - client.left) / 3, client.top - frame.top / 2};
  }

  // A user's click on the title bar: the pointer comes to it first, and
  // the window manager has seen it come before the press (xfwm4 takes a
  // press that comes with the pointer for none).
  void ClickTitleBar(HWND hwnd) {
    server_.MovePointer(TitleBar(hwnd));
    EXPECT_TRUE(server_.WindowManagerCaughtUp()) << "the window manager does not answer";
    server_.Click(TitleBar(hwnd));
  }

  // The main window's template, as the program shows it.
  static HWND CreateMainWindow() {
    return vqplatform::CreateDialogFromTemplate(vqres::MainWindowTemplate(), nullptr, ProgramHandler, 0);
  }
  // The program moves the window, of the size `now` has, to x, y: where it
  // goes.
  static RECT ProgramMoves(HWND hwnd, const RECT& now, int x, int y) {
    SendToProgram(hwnd, [&] { MoveWindow(hwnd, x, y, now.right - now.left, now.bottom - now.top, TRUE); });
    return Moved(now, x, y);
  }

  // Mapped by the window manager, which may still be starting on a busy
  // machine.
  bool Shown(HWND hwnd) {
    return WaitFor([&] { return PresentedXWindow(hwnd) && server_.IsShown(PresentedXWindow(hwnd)); });
  }

  // Where the layer and the server both put the window's frame (and its
  // client area inside it), once they agree.
  RECT AgreedRect(HWND hwnd) {
    RECT frame{};
    WaitFor([&] {
      unsigned long xwindow = PresentedXWindow(hwnd);
      frame = server_.FrameRectOnScreen(xwindow);
      return SameRect(frame, ScreenRectOf(hwnd)) &&
             SameRect(server_.ClientRectOnScreen(xwindow), vqtest::ClientRectOnScreen(hwnd));
    });
    return frame;
  }

  // GetWindowRect's corner is the frame's on the server, and the client
  // area is the window's, as the xwininfo tool tells it (whose "relative"
  // corner is the frame's only where the client is a child of the frame,
  // not under IceWM).
  void ExpectRectsAsXwininfoTellsThem(HWND hwnd) {
    std::optional<vqtest::XServer::XwininfoReport> told = vqtest::XServer::Xwininfo(PresentedXWindow(hwnd));
    ASSERT_TRUE(told) << "xwininfo (x11-utils) could not be run";
    const RECT window = ScreenRectOf(hwnd), client = vqtest::ClientRectOnScreen(hwnd);
    const RECT frame = server_.FrameRectOnScreen(PresentedXWindow(hwnd));
    EXPECT_EQ(window.left, frame.left);
    EXPECT_EQ(window.top, frame.top);
    EXPECT_TRUE(SameRect(client, told->client))
        << "xwininfo: " << told->client.left << ", " << told->client.top << ", " << told->client.right << ", "
        << told->client.bottom << "; GetClientRect on the screen: " << client.left << ", " << client.top << ", "
        << client.right << ", " << client.bottom;
  }

  bool IconicOnServer(HWND hwnd) {
    std::vector<long> state = server_.ReadProperty(PresentedXWindow(hwnd), "WM_STATE").items;
    return !state.empty() && state[0] == IconicState;
  }

  // The window received one WM_SIZE since the mark, of this kind (and client size).
  static void ExpectOneSize(size_t mark, HWND hwnd, WPARAM kind, const RECT* client = nullptr) {
    std::vector<Logged> sizes = g_log.Since(mark, hwnd, WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, kind);
    if (client) {
      EXPECT_EQ(sizes[0].lParam, MAKELPARAM(client->right - client->left, client->bottom - client->top));
    }
  }

  void ExpectShownAsDrawn(HWND hwnd, const char* screenshot) {
    size_t differences = SIZE_MAX;
    vqtest::ShownOnServer(server_, hwnd, &differences).SavePng(vqtest::ScreenshotPath(screenshot));
    EXPECT_EQ(differences, 0u) << screenshot << ": the server shows other pixels than the layer drew";
  }

  const char* const manager_;
  vqtest::XServer server_;
};

class WindowManagerTest : public WindowManagerFixture, public ::testing::WithParamInterface<const char*> {
 protected:
  WindowManagerTest() : WindowManagerFixture(GetParam()) {}
};

// What the window manager reads of the main window, and where it opens:
// its frame at 0, 0, the title bar on the screen, the client area inside.
TEST_P(WindowManagerTest, MainWindowTellsWhatItIsAndOpensFramedInTheCorner) {
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  SetWindowTextW(main, L"高拍仪 V1.1");
  Drive([&] {
    ASSERT_TRUE(Shown(main));
    unsigned long xwindow = PresentedXWindow(main);
    // Names, class, process, type, boxes.
    vqtest::XServer::Property name = server_.ReadProperty(xwindow, "_NET_WM_NAME");
    EXPECT_EQ(name.type + " " + name.bytes, "UTF8_STRING 高拍仪 V1.1");
    EXPECT_EQ(server_.ReadProperty(xwindow, "WM_NAME").type, "COMPOUND_TEXT");
    EXPECT_EQ(server_.ReadProperty(xwindow, "WM_CLASS").bytes, std::string("e2e_tests\0E2e_tests\0", 20));
    EXPECT_EQ(server_.ReadProperty(xwindow, "_NET_WM_PID").items, std::vector<long>{getpid()});
    EXPECT_EQ(server_.ReadAtoms(xwindow, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
    // Functions move, minimise, maximise, close, and resize where the window
    // manager maximises only what it may resize (openbox); decorations
    // border, title, menu and both boxes, no sizing handle.
    const long resize = std::string(GetParam()) == "openbox" ? 2 : 0;
    EXPECT_EQ(server_.ReadProperty(xwindow, "_MOTIF_WM_HINTS").items, (std::vector<long>{3, 60 | resize, 122, 0, 0}));
    std::vector<std::string> allowed = server_.ReadAtoms(xwindow, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), "_NET_WM_ACTION_MAXIMIZE_HORZ"), allowed.end());

    const RECT first = AgreedRect(main);
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(first.top, 0);
    const RECT extents = server_.FrameExtents(xwindow);
    EXPECT_GT(extents.top, 10) << "a title bar";
    const RECT client = vqtest::ClientRectOnScreen(main);
    EXPECT_EQ(client.left, extents.left);
    EXPECT_EQ(client.top, extents.top);
    ExpectRectsAsXwininfoTellsThem(main);
    size_t differences = SIZE_MAX;
    vqtest::ShownOnServer(server_, main, &differences);
    EXPECT_EQ(differences, 0u);
    server_.Grab(RECT{0, 0, first.right + 20, first.bottom + 20})
        .SavePng(vqtest::ScreenshotPath("main-window-at-start.png"));
  });
  DestroyWindow(main);
}

// Placed by the program, then dragged by the user: by a corner of its
// frame it keeps its size, by its title bar the program follows, and
// nothing goes back to the window manager.
TEST_P(WindowManagerTest, MainWindowIsPlacedByTheProgramAndDraggedByItsTitleBarButNotSized) {
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  Drive([&] {
    ASSERT_TRUE(Shown(main));
    unsigned long xwindow = PresentedXWindow(main);
    const RECT first = AgreedRect(main), extents = server_.FrameExtents(xwindow);
    const RECT placed = ProgramMoves(main, first, 200, 150);
    EXPECT_TRUE(SameRect(AgreedRect(main), placed));
    EXPECT_TRUE(Stays([&] { return SameRect(server_.FrameRectOnScreen(xwindow), placed); }, 300ms));
    server_.Grab(RECT{180, 110, 1000, 400}).SavePng(vqtest::ScreenshotPath("main-window-frame.png"));

    size_t mark = g_log.Mark();
    server_.Drag(POINT{placed.right - 1, placed.bottom - 1}, POINT{placed.right + 150, placed.bottom + 120});
    EXPECT_TRUE(Stays([&] { return SameRect(AgreedRect(main), placed); }, 500ms)) << "sized by a border drag";
    EXPECT_TRUE(g_log.Since(mark, main, WM_SIZE).empty());

    mark = g_log.Mark();
    POINT grip = TitleBar(main);
    server_.Drag(grip, POINT{grip.x + 160, grip.y + 90});
    const RECT dragged = Moved(first, 360, 240);
    EXPECT_TRUE(WaitFor([&] { return SameRect(ScreenRectOf(main), dragged); }));
    EXPECT_TRUE(Stays([&] { return SameRect(server_.FrameRectOnScreen(xwindow), dragged); }, 300ms));
    EXPECT_TRUE(g_log.Since(mark, main, WM_SIZE).empty());
    std::vector<Logged> moves = g_log.Since(mark, main, WM_MOVE);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().lParam, MAKELPARAM(360 + extents.left, 240 + extents.top)) << "the client area's corner";
  });
  DestroyWindow(main);
}

// A state the user puts the main window in and takes it out of again.
struct StateChange {
  const char* name;
  WPARAM size;  // the WM_SIZE it brings
  bool (*in)(HWND);
  // The user's way in and out, given the title bar's middle and the window.
  void (*go)(vqtest::XServer&, POINT titleBar, unsigned long xwindow);
  void (*back)(vqtest::XServer&, POINT titleBar, unsigned long xwindow);
};

const StateChange kStateChanges[] = {
    {"maximised_by_the_title_bar", SIZE_MAXIMIZED, [](HWND w) { return IsZoomed(w) != FALSE; },
     [](vqtest::XServer& s, POINT bar, unsigned long) { s.DoubleClick(bar); },
     [](vqtest::XServer& s, POINT bar, unsigned long) { s.DoubleClick(bar); }},
    {"minimised_from_a_taskbar", SIZE_MINIMIZED, [](HWND w) { return IsIconic(w) != FALSE; },
     [](vqtest::XServer& s, POINT, unsigned long x) { s.MinimiseAsTaskbar(x); },
     [](vqtest::XServer& s, POINT, unsigned long x) { s.ActivateAsTaskbar(x); }},
};

class WindowStateTest : public WindowManagerFixture,
                        public ::testing::WithParamInterface<std::tuple<const char*, size_t>> {
 protected:
  WindowStateTest() : WindowManagerFixture(std::get<0>(GetParam())) {}
  const StateChange& Change() const { return kStateChanges[std::get<1>(GetParam())]; }
};

// The program is told once, by WM_SIZE, and the state holds (a minimised
// process loses the foreground); back, the window is where it was, active,
// with the focus where it was.
TEST_P(WindowStateTest, MainWindowGoesIntoTheStateAndBackWhereItWas) {
  const StateChange& c = Change();
  const bool minimising = c.size == SIZE_MINIMIZED;
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  Drive([&] {
    ASSERT_TRUE(Shown(main));
    const unsigned long xwindow = PresentedXWindow(main);
    const RECT first = AgreedRect(main), client = vqtest::ClientRectOnScreen(main);
    const RECT placed = ProgramMoves(main, first, 200, 150);
    ASSERT_TRUE(SameRect(AgreedRect(main), placed));

    size_t mark = g_log.Mark();
    c.go(server_, TitleBar(main), xwindow);
    EXPECT_TRUE(WaitFor([&] { return c.in(main); }));
    const RECT in = minimising ? RECT{} : AgreedRect(main), inClient = vqtest::ClientRectOnScreen(main);
    EXPECT_TRUE(Stays([&] {
      return c.in(main) && IconicOnServer(main) == minimising && (minimising || SameRect(ScreenRectOf(main), in));
    }, 400ms)) << "the window did not stay so";
    ExpectOneSize(mark, main, c.size, minimising ? nullptr : &inClient);
    EXPECT_TRUE(g_log.Since(mark, main, WM_SYSCOMMAND).empty());
    if (minimising) {
      EXPECT_TRUE(WaitFor([&] { return !g_log.Since(mark, main, WM_ACTIVATEAPP).empty(); }));
      EXPECT_EQ(g_log.Since(mark, main, WM_ACTIVATEAPP).back().wParam, static_cast<WPARAM>(FALSE));
      EXPECT_EQ(ForegroundWindowOfProcess(), nullptr);
      EXPECT_EQ(FocusOfProgram(main), nullptr);
    } else {
      EXPECT_GT(in.right - in.left, first.right - first.left);
      ExpectRectsAsXwininfoTellsThem(main);
      ExpectShownAsDrawn(main, (std::string("main-window-") + c.name + ".png").c_str());
    }

    mark = g_log.Mark();
    c.back(server_, TitleBar(main), xwindow);
    EXPECT_TRUE(WaitFor([&] { return !c.in(main) && ForegroundWindowOfProcess() == main; }));
    EXPECT_TRUE(SameRect(AgreedRect(main), placed));
    EXPECT_TRUE(Stays([&] {
      return !c.in(main) && !IconicOnServer(main) && SameRect(server_.FrameRectOnScreen(xwindow), placed);
    }, 400ms)) << "the window did not stay back";
    ExpectOneSize(mark, main, SIZE_RESTORED, &client);
    ExpectRectsAsXwininfoTellsThem(main);
    if (minimising) {
      std::vector<Logged> app = g_log.Since(mark, main, WM_ACTIVATEAPP);
      std::vector<Logged> activate = g_log.Since(mark, main, WM_ACTIVATE);
      ASSERT_EQ(app.size(), 1u);
      EXPECT_EQ(app[0].wParam, static_cast<WPARAM>(TRUE));
      ASSERT_EQ(activate.size(), 1u);
      EXPECT_EQ(LOWORD(activate[0].wParam), WA_ACTIVE);
    }
    EXPECT_EQ(FocusOfProgram(main), GetDlgItem(main, 1041)) << "the focus did not come back";
    ExpectShownAsDrawn(main, (std::string("main-window-back-from-") + c.name + ".png").c_str());
  });
  DestroyWindow(main);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, WindowStateTest,
                         ::testing::Combine(::testing::Values("openbox", "icewm", "xfwm4"),
                                            ::testing::Range<size_t>(0, std::size(kStateChanges))),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)) + "_" +
                                  kStateChanges[std::get<1>(info.param)].name;
                         });

TEST_P(WindowManagerTest, KeysFollowClicksBetweenWindowsAndStayWithTheModalDialog) {
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  RECT first = ScreenRectOf(main);
  MoveWindow(main, 40, 60, first.right - first.left, first.bottom - first.top, TRUE);
  HWND notes = vqplatform::CreateDialogFromTemplate(kNotesWindow, nullptr, ProgramHandler, 0);
  ASSERT_NE(notes, nullptr);
  HWND counter = GetDlgItem(main, 1060), notesField = GetDlgItem(notes, 100);
  std::atomic<HWND> modal{nullptr};
  auto steps = [&] {
    ASSERT_TRUE(Shown(main) && Shown(notes));
    // A user clicks once the window manager has put the window in place,
    // and types after the click.
    AgreedRect(main);
    server_.Click(MiddleOf(counter));
    EXPECT_TRUE(WaitFor([&] { return FocusOfProgram(main) == counter; }));
    server_.Type("12");
    EXPECT_TRUE(WaitFor([&] { return TextOf(counter) == L"12"; }));

    // Another top-level window, by its title bar: it takes the keys.
    size_t mark = g_log.Mark();
    server_.Click(TitleBar(notes));
    EXPECT_TRUE(WaitFor([&] { return ForegroundWindowOfProcess() == notes; }));
    server_.Type("ab");
    EXPECT_TRUE(WaitFor([&] { return TextOf(notesField) == L"ab"; }));
    EXPECT_EQ(TextOf(counter), L"12");
    std::vector<Logged> left = g_log.Since(mark, main, WM_ACTIVATE), entered = g_log.Since(mark, notes, WM_ACTIVATE);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(LOWORD(left[0].wParam), WA_INACTIVE);
    ASSERT_EQ(entered.size(), 1u);
    EXPECT_NE(LOWORD(entered[0].wParam), WA_INACTIVE);
    EXPECT_EQ(g_log.Since(mark, main, WM_NCACTIVATE).size(), 1u);
    EXPECT_TRUE(g_log.Since(mark, main, WM_ACTIVATEAPP).empty()) << "the process never lost the foreground";

    // Back by the main window's title bar: the keys go where they went.
    ClickTitleBar(main);
    EXPECT_TRUE(WaitFor([&] { return ForegroundWindowOfProcess() == main; }));
    server_.Type("3");
    EXPECT_TRUE(WaitFor([&] { return TextOf(counter) == L"123"; }));

    // A modal dialog over the main window takes the keys, also after a
    // click on the disabled main window.
    SendToProgram(main, [&] {
      modal = vqplatform::CreateDialogFromTemplate(kNameDialog, main, ProgramHandler, 0);
      vqplatform::RunModalDialog(modal, main);
    }, false);
    ASSERT_TRUE(WaitFor([&] { return modal.load() != nullptr; }));
    HWND dialog = modal, nameField = GetDlgItem(dialog, 100);
    EXPECT_TRUE(Shown(dialog));
    EXPECT_TRUE(WaitFor([&] { return server_.FocusedWindow() == PresentedXWindow(dialog); }));
    unsigned long dialogX = PresentedXWindow(dialog);
    EXPECT_EQ(server_.ReadAtoms(dialogX, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_DIALOG"});
    EXPECT_EQ(server_.ReadProperty(dialogX, "WM_TRANSIENT_FOR").items,
              std::vector<long>{static_cast<long>(PresentedXWindow(main))});
    server_.Type("x");
    EXPECT_TRUE(WaitFor([&] { return TextOf(nameField) == L"x"; }));
    server_.Click(MiddleOf(counter));
    // A window manager that focuses the clicked window (xfwm4) has done so,
    // and the program has given the focus back to its dialog, before the user types.
    EXPECT_TRUE(server_.WindowManagerCaughtUp()) << "the window manager does not answer";
    EXPECT_TRUE(WaitFor([&] { return server_.FocusedWindow() == dialogX; }));
    server_.Type("y");
    EXPECT_TRUE(WaitFor([&] { return TextOf(nameField) == L"xy"; })) << "the key went astray";
    EXPECT_EQ(TextOf(counter), L"123");
    EXPECT_EQ(ForegroundWindowOfProcess(), dialog);
    EXPECT_TRUE(WaitFor([&] { return server_.FocusedWindow() == dialogX; }));

    // Minimised with the dialog up, from a taskbar, and back: no flapping,
    // the dialog stays as it is for the program and gets the keys again.
    mark = g_log.Mark();
    server_.MinimiseAsTaskbar(PresentedXWindow(main));
    EXPECT_TRUE(WaitFor([&] { return IsIconic(main) && IconicOnServer(main) && IconicOnServer(dialog); }));
    EXPECT_TRUE(Stays([&] { return IsIconic(main) && IconicOnServer(main) && !IsIconic(dialog); }, 500ms));
    ExpectOneSize(mark, main, SIZE_MINIMIZED);
    EXPECT_TRUE(g_log.Since(mark, dialog, WM_SIZE).empty());
    mark = g_log.Mark();
    server_.ActivateAsTaskbar(PresentedXWindow(main));
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(main) && server_.IsShown(dialogX); }));
    EXPECT_TRUE(Stays([&] { return !IsIconic(main) && !IconicOnServer(main) && !IconicOnServer(dialog); }, 500ms));
    ExpectOneSize(mark, main, SIZE_RESTORED);
    EXPECT_TRUE(WaitFor([&] { return ForegroundWindowOfProcess() == dialog && server_.FocusedWindow() == dialogX; }));
    server_.Type("z");
    EXPECT_TRUE(WaitFor([&] { return TextOf(nameField) == L"xyz"; }));
    server_.Grab(RECT{0, 0, 1200, 800}).SavePng(vqtest::ScreenshotPath("main-window-with-modal-dialog.png"));

    // Enter ends the dialog: the main window's field has the keys again.
    server_.PressKey(XK_Return);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog) && ForegroundWindowOfProcess() == main; }));
    EXPECT_EQ(FocusOfProgram(main), counter);
    EXPECT_TRUE(WaitFor([&] { return server_.FocusedWindow() == PresentedXWindow(main); }));
    server_.Type("4");
    EXPECT_TRUE(WaitFor([&] { return TextOf(counter) == L"1234"; }));
    ExpectShownAsDrawn(main, "main-window-after-modal-dialog.png");
  };
  Drive([&] {
    steps();
    // Whatever failed, the program leaves its modal loop.
    if (HWND dialog = modal; dialog && IsWindow(dialog))
      PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  EXPECT_EQ(TextOf(notesField), L"ab");
  DestroyWindow(notes);
  DestroyWindow(main);
}

// Message boxes, owned or not: a dialog with the caption asked for (empty
// for an empty one, "Error" in the user's language for none), of a fixed
// size, that the window manager neither sizes nor maximises, its frame
// where the program put it.
TEST_P(WindowManagerTest, MessageBoxesHaveTheirCaptionAndNeitherSizeNorMaximise) {
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  std::atomic<int> answered{0};
  struct Box {
    HWND owner;
    const wchar_t* caption;
    std::wstring title;
    const char* screenshot;
  };
  const Box boxes[] = {{main, L"提示", L"提示", "message-box-owned.png"},
                       {main, L"", L"", "message-box-empty-caption.png"},
                       {nullptr, nullptr, vqplatform::DefaultMessageBoxCaption(), "message-box-untitled.png"}};
  Drive([&] {
    ASSERT_TRUE(Shown(main));
    AgreedRect(main);
    for (const Box& b : boxes) {
      answered = 0;
      SendToProgram(
          main, [&] { answered = MessageBoxW(b.owner, L"高拍仪设备已连接。", b.caption, MB_OK | MB_ICONINFORMATION); },
          false);
      HWND box = nullptr;
      ASSERT_TRUE(WaitFor([&] { return (box = FindWindowW(WC_DIALOG, b.title.c_str())) != nullptr; }));
      ASSERT_TRUE(Shown(box));
      unsigned long xbox = PresentedXWindow(box);
      EXPECT_EQ(server_.Title(xbox), vq::WideToUtf8(b.title));
      EXPECT_EQ(server_.ReadAtoms(xbox, "_NET_WM_WINDOW_TYPE"), std::vector<std::string>{"_NET_WM_WINDOW_TYPE_DIALOG"});
      std::vector<long> owner = server_.ReadProperty(xbox, "WM_TRANSIENT_FOR").items;
      EXPECT_EQ(owner, b.owner ? std::vector<long>{static_cast<long>(PresentedXWindow(main))} : std::vector<long>{});
      // Move and close; border, title and menu: no boxes, no sizing handle.
      EXPECT_EQ(server_.ReadProperty(xbox, "_MOTIF_WM_HINTS").items, (std::vector<long>{3, 36, 26, 0, 0}));
      std::vector<std::string> allowed = server_.ReadAtoms(xbox, "_NET_WM_ALLOWED_ACTIONS");
      for (const char* action :
           {"_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"})
        EXPECT_EQ(std::find(allowed.begin(), allowed.end(), action), allowed.end()) << action;
      EXPECT_NE(std::find(allowed.begin(), allowed.end(), "_NET_WM_ACTION_CLOSE"), allowed.end());
      const RECT frame = AgreedRect(box);
      EXPECT_TRUE(SameRect(frame, server_.FrameRectOnScreen(xbox)));
      ExpectRectsAsXwininfoTellsThem(box);
      EXPECT_TRUE(WaitFor([&] { return server_.FocusedWindow() == xbox; }));
      // A double click on its title bar (on the title: the icon at its left
      // end closes a window so), which maximises other windows, leaves it as
      // it is.
      server_.DoubleClick(POINT{(frame.left + frame.right) / 2, frame.top + server_.FrameExtents(xbox).top / 2});
      EXPECT_TRUE(Stays([&] { return SameRect(server_.FrameRectOnScreen(xbox), frame); }, 500ms)) << "maximised";
      EXPECT_TRUE(SameRect(ScreenRectOf(box), frame));
      size_t differences = SIZE_MAX;
      vqtest::ShownOnServer(server_, box, &differences);
      EXPECT_EQ(differences, 0u);
      server_.Grab(RECT{frame.left - 10, frame.top - 10, frame.right + 10, frame.bottom + 10})
          .SavePng(vqtest::ScreenshotPath(b.screenshot));
      if (!b.owner) {
        // A box of its own on the taskbar: minimised and back, Return still
        // answers it. IceWM keeps to the Motif functions, which let nobody
        // minimise a box; openbox's taskbar minimises any window.
        server_.MinimiseAsTaskbar(xbox);
        if (std::string(GetParam()) == "icewm")
          EXPECT_TRUE(Stays([&] { return !IconicOnServer(box); }, 300ms));
        else
          EXPECT_TRUE(WaitFor([&] { return IconicOnServer(box); }));
        server_.ActivateAsTaskbar(xbox);
        EXPECT_TRUE(WaitFor([&] { return !IconicOnServer(box) && server_.FocusedWindow() == xbox; }));
      }
      server_.PressKey(XK_Return);
      EXPECT_TRUE(WaitFor([&] { return answered.load() == IDOK; }));
    }
  });
  DestroyWindow(main);
}

// Another client destroys the program's window behind its back (xkill, a
// window manager that crashed): the program goes on, moves the window as
// it likes, and the window shows again where the program has it.
TEST_P(WindowManagerTest, AWindowDestroyedBehindTheProgramsBackComesBack) {
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  Drive([&] {
    ASSERT_TRUE(Shown(main));
    const RECT first = AgreedRect(main);
    const unsigned long destroyed = PresentedXWindow(main);
    server_.DestroyWindow(destroyed);
    // Requests on the window that went come back as errors.
    const RECT placed = ProgramMoves(main, first, 120, 90);
    ASSERT_TRUE(WaitFor([&] { return PresentedXWindow(main) != destroyed && Shown(main); })) << "not shown again";
    EXPECT_TRUE(SameRect(AgreedRect(main), placed));
    ExpectShownAsDrawn(main, "main-window-shown-again.png");
    std::wstring title;
    SendToProgram(main, [&] { title = TextOf(main); });
    EXPECT_FALSE(title.empty()) << "the program does not answer";
  });
  DestroyWindow(main);
}

// The splash while the main window is still being set up: a splash
// window, which no window manager gives the keys, transient for the main
// window once that shows; then the main window has the keys.
TEST_P(WindowManagerTest, SplashTakesNoKeysAndBelongsToTheMainWindow) {
  CBrandingData branding;
  ASSERT_TRUE(branding.splashImage.Create(320, 200, 24));
  HWND main = CreateMainWindow();
  ASSERT_NE(main, nullptr);
  ShowWindow(main, SW_HIDE);
  CWnd owner;
  owner.Attach(main);
  CSplashDlg splash(&owner, branding);
  ASSERT_TRUE(splash.Create(CSplashDlg::IDD, &owner));
  splash.ShowWindow(SW_SHOWNOACTIVATE);
  Drive([&] {
    ASSERT_TRUE(Shown(splash.m_hWnd));
    const unsigned long xsplash = PresentedXWindow(splash.m_hWnd);
    EXPECT_EQ(server_.ReadAtoms(xsplash, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_SPLASH"});
    EXPECT_TRUE(Stays([&] { return server_.FocusedWindow() != xsplash; }, 300ms)) << "the splash has the keys";
    EXPECT_EQ(ForegroundWindowOfProcess(), nullptr);
    SendToProgram(main, [&] { ShowWindow(main, SW_SHOW); });
    ASSERT_TRUE(Shown(main));
    EXPECT_TRUE(WaitFor([&] {
      return server_.ReadProperty(xsplash, "WM_TRANSIENT_FOR").items ==
             std::vector<long>{static_cast<long>(PresentedXWindow(main))};
    })) << "no owner";
    EXPECT_TRUE(WaitFor([&] { return server_.FocusedWindow() == PresentedXWindow(main); }));
    server_.Grab(RECT{0, 0, 1100, 800}).SavePng(vqtest::ScreenshotPath("splash-over-main-window.png"));
    SendToProgram(main, [&] { splash.DestroyWindow(); });
  });
  owner.Detach();
  DestroyWindow(main);
}

// A request about a window that is gone fails on a connection whose errors
// are ignored without ending the process (Xlib's default exits); another
// connection's errors still reach the handler it had.
TEST_P(WindowManagerTest, ProtocolErrorsOfAWatchedConnectionEndNothing) {
  Display* watched = XOpenDisplay(nullptr);
  Display* other = XOpenDisplay(nullptr);
  ASSERT_TRUE(watched && other);
  static std::atomic<int> otherErrors{0};
  XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return ++otherErrors, 0; });
  vqplatform::IgnoreProtocolErrors(watched);
  const unsigned long ignoredBefore = vqplatform::IgnoredProtocolErrors();
  const Window gone = XCreateSimpleWindow(watched, DefaultRootWindow(watched), 0, 0, 10, 10, 0, 0, 0);
  XDestroyWindow(watched, gone);
  XMoveWindow(watched, gone, 5, 5);
  XSync(watched, False);
  EXPECT_EQ(vqplatform::IgnoredProtocolErrors(), ignoredBefore + 1);
  XMoveWindow(other, gone, 5, 5);
  XSync(other, False);
  EXPECT_EQ(otherErrors.load(), 1);
  vqplatform::ForgetProtocolErrors(watched);
  XSetErrorHandler(previous);
  XCloseDisplay(other);
  XCloseDisplay(watched);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, WindowManagerTest, ::testing::Values("openbox", "icewm", "xfwm4"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
