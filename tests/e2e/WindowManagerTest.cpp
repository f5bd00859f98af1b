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
#include <vector>

#include "platform/display/Presenter.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"
#include "resources/Resources.h"
#include "tests/e2e/XServer.h"
#include "tests/e2e/XServer.h"

namespace {

using namespace std::chrono_literals;
using vqplatform::ForegroundWindowOfProcess;
using vqplatform::PresentedXWindow;
using vqtest::MiddleOf;
using vqtest::ScreenRectOf;
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

HWND TopLevelOf(HWND hwnd) {
  while (hwnd && (GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = GetParent(hwnd);
  return hwnd;
}

// The program's own loop, keyboard through the dialog manager.
void RunProgram(const std::atomic<bool>& done) {
  while (!done) {
    MSG msg{};
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      WaitMessage();
      continue;
    }
    HWND top = TopLevelOf(msg.hwnd);
    if (top && IsDialogMessageW(top, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

HWND FocusOfProgram(HWND window) {
  HWND focus = nullptr;
  SendToProgram(window, [&] { focus = GetFocus(); });
  return focus;
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  return text;
}

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

RECT Moved(const RECT& r, int x, int y) { return RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)}; }

// True when the condition holds all along the time given.
bool Stays(const std::function<bool()>& condition, std::chrono::milliseconds span) {
  auto end = std::chrono::steady_clock::now() + span;
  while (std::chrono::steady_clock::now() < end) {
    if (!condition()) return false;
    std::this_thread::sleep_for(10ms);
  }
  return condition();
}

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

class WindowManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!vqtest::UseXvfbDisplay(true)) GTEST_SKIP() << "runs only under the window manager: run it alone";
    vqres::LoadResources();
    ASSERT_TRUE(server_.Connected());
    ASSERT_TRUE(server_.WaitForWindowManager());
  }
  void TearDown() override { vqplatform::StopPresenter(); }

  // Runs the driver on a thread of its own while this thread runs the
  // program's loop.
  void Drive(const std::function<void()>& driver) {
    std::atomic<bool> done{false};
    DWORD program = GetCurrentThreadId();
    std::thread thread([&] {
      driver();
      done = true;
      PostThreadMessageW(program, WM_NULL, 0, 0);
    });
    RunProgram(done);
    thread.join();
  }

  // A point on the window manager's title bar above the window.
  POINT TitleBar(HWND hwnd) {
    unsigned long xwindow = PresentedXWindow(hwnd);
    RECT client = server_.ClientRectOnScreen(xwindow);
    RECT frame = server_.FrameExtents(xwindow);
    return POINT{client.left + (client.right - client.left) / 3, client.top - frame.top / 2};
  }

  // Mapped by the window manager, which may still be starting on a busy
  // machine.
  bool Shown(HWND hwnd) {
    return WaitFor([&] { return PresentedXWindow(hwnd) && server_.IsShown(PresentedXWindow(hwnd)); });
  }

  // Where the layer and the server both put the window, once they agree.
  RECT AgreedRect(HWND hwnd) {
    RECT onServer{};
    WaitFor([&] {
      onServer = server_.ClientRectOnScreen(PresentedXWindow(hwnd));
      return SameRect(onServer, ScreenRectOf(hwnd));
    });
    return onServer;
  }

  bool IconicOnServer(HWND hwnd) {
    std::vector<long> state = server_.ReadProperty(PresentedXWindow(hwnd), "WM_STATE").items;
    return !state.empty() && state[0] == IconicState;
  }

  // The window received one WM_SIZE since the mark, of this kind (and size).
  static void ExpectOneSize(size_t mark, HWND hwnd, WPARAM kind, const RECT* size = nullptr) {
    std::vector<Logged> sizes = g_log.Since(mark, hwnd, WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].wParam, kind);
    if (size) {
      EXPECT_EQ(sizes[0].lParam, MAKELPARAM(size->right - size->left, size->bottom - size->top));
    }
  }

  void ExpectShownAsDrawn(HWND hwnd, const char* screenshot) {
    size_t differences = SIZE_MAX;
    vqtest::ShownOnServer(server_, hwnd, &differences).SavePng(vqtest::ScreenshotPath(screenshot));
    EXPECT_EQ(differences, 0u) << screenshot << ": the server shows other pixels than the layer drew";
  }

  vqtest::XServer server_;
};

TEST_F(WindowManagerTest, MainWindowIsDraggedMaximisedMinimisedAndRestoredByTheUser) {
  HWND main = vqplatform::CreateDialogFromTemplate(vqres::MainWindowTemplate(), nullptr, ProgramHandler, 0);
  ASSERT_NE(main, nullptr);
  SetWindowTextW(main, L"高拍仪 V1.1");
  const RECT first = ScreenRectOf(main);
  Drive([&] {
    ASSERT_TRUE(Shown(main));
    unsigned long xwindow = PresentedXWindow(main);

    // What the window manager reads: names, class, process, type, boxes.
    vqtest::XServer::Property name = server_.ReadProperty(xwindow, "_NET_WM_NAME");
    EXPECT_EQ(name.type + " " + name.bytes, "UTF8_STRING 高拍仪 V1.1");
    EXPECT_EQ(server_.ReadProperty(xwindow, "WM_NAME").type, "COMPOUND_TEXT");
    EXPECT_EQ(server_.ReadProperty(xwindow, "WM_CLASS").bytes, std::string("e2e_tests\0E2e_tests\0", 20));
    EXPECT_EQ(server_.ReadProperty(xwindow, "_NET_WM_PID").items, std::vector<long>{getpid()});
    EXPECT_EQ(server_.ReadAtoms(xwindow, "_NET_WM_WINDOW_TYPE"),
              std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"});
    // Functions resize, move, minimise, maximise, close; decorations border,
    // title, menu and both boxes, no sizing handle.
    EXPECT_EQ(server_.ReadProperty(xwindow, "_MOTIF_WM_HINTS").items, (std::vector<long>{3, 62, 122, 0, 0}));
    std::vector<std::string> allowed = server_.ReadAtoms(xwindow, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), "_NET_WM_ACTION_MAXIMIZE_HORZ"), allowed.end());

    // The program's rectangle is the client area, also at 0, 0.
    EXPECT_TRUE(SameRect(AgreedRect(main), first));
    SendToProgram(main, [&] { MoveWindow(main, 200, 150, first.right - first.left, first.bottom - first.top, TRUE); });
    RECT placed = Moved(first, 200, 150);
    EXPECT_TRUE(SameRect(AgreedRect(main), placed));
    EXPECT_TRUE(Stays([&] { return SameRect(server_.ClientRectOnScreen(xwindow), placed); }, 300ms));
    server_.Grab(RECT{180, 110, 1000, 400}).SavePng(vqtest::ScreenshotPath("main-window-frame.png"));

    // Dragged by its title bar: the program follows, nothing goes back.
    size_t mark = g_log.Mark();
    POINT grip = TitleBar(main);
    server_.Drag(grip, POINT{grip.x + 160, grip.y + 90});
    RECT dragged = Moved(first, 360, 240);
    EXPECT_TRUE(WaitFor([&] { return SameRect(ScreenRectOf(main), dragged); }));
    EXPECT_TRUE(Stays([&] { return SameRect(server_.ClientRectOnScreen(xwindow), dragged); }, 300ms));
    EXPECT_TRUE(g_log.Since(mark, main, WM_SIZE).empty());
    std::vector<Logged> moves = g_log.Since(mark, main, WM_MOVE);
    ASSERT_FALSE(moves.empty());
    EXPECT_EQ(moves.back().lParam, MAKELPARAM(360, 240));

    // Maximised with a double click on the title bar, and restored so.
    mark = g_log.Mark();
    server_.DoubleClick(TitleBar(main));
    EXPECT_TRUE(WaitFor([&] { return IsZoomed(main) != FALSE; }));
    RECT maximised = AgreedRect(main);
    EXPECT_GT(maximised.right - maximised.left, first.right - first.left);
    EXPECT_TRUE(Stays([&] { return IsZoomed(main) && SameRect(ScreenRectOf(main), maximised); }, 300ms));
    ExpectOneSize(mark, main, SIZE_MAXIMIZED, &maximised);
    EXPECT_TRUE(g_log.Since(mark, main, WM_SYSCOMMAND).empty());
    ExpectShownAsDrawn(main, "main-window-maximised.png");
    mark = g_log.Mark();
    server_.DoubleClick(TitleBar(main));
    EXPECT_TRUE(WaitFor([&] { return !IsZoomed(main); }));
    EXPECT_TRUE(SameRect(AgreedRect(main), dragged));
    EXPECT_TRUE(
        Stays([&] { return !IsZoomed(main) && SameRect(server_.ClientRectOnScreen(xwindow), dragged); }, 300ms));
    ExpectOneSize(mark, main, SIZE_RESTORED, &first);
    ExpectShownAsDrawn(main, "main-window-restored.png");

    // Minimised from a taskbar: the process loses the foreground.
    mark = g_log.Mark();
    server_.MinimiseAsTaskbar(xwindow);
    EXPECT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; }));
    EXPECT_TRUE(Stays([&] { return IsIconic(main) && IconicOnServer(main); }, 400ms)) << "the window came back";
    ExpectOneSize(mark, main, SIZE_MINIMIZED);
    EXPECT_TRUE(WaitFor([&] { return !g_log.Since(mark, main, WM_ACTIVATEAPP).empty(); }));
    EXPECT_EQ(g_log.Since(mark, main, WM_ACTIVATEAPP).back().wParam, static_cast<WPARAM>(FALSE));
    EXPECT_EQ(ForegroundWindowOfProcess(), nullptr);
    EXPECT_EQ(FocusOfProgram(main), nullptr);

    // Restored from the taskbar, where it was, and active again.
    mark = g_log.Mark();
    server_.ActivateAsTaskbar(xwindow);
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(main) && ForegroundWindowOfProcess() == main; }));
    EXPECT_TRUE(Stays([&] { return !IsIconic(main) && !IconicOnServer(main); }, 400ms)) << "the window went again";
    ExpectOneSize(mark, main, SIZE_RESTORED, &first);
    EXPECT_TRUE(SameRect(AgreedRect(main), dragged));
    std::vector<Logged> app = g_log.Since(mark, main, WM_ACTIVATEAPP), activate = g_log.Since(mark, main, WM_ACTIVATE);
    ASSERT_EQ(app.size(), 1u);
    EXPECT_EQ(app[0].wParam, static_cast<WPARAM>(TRUE));
    ASSERT_EQ(activate.size(), 1u);
    EXPECT_EQ(LOWORD(activate[0].wParam), WA_ACTIVE);
    EXPECT_EQ(FocusOfProgram(main), GetDlgItem(main, 1041)) << "the focus did not come back";
    ExpectShownAsDrawn(main, "main-window-back-from-taskbar.png");
  });
  DestroyWindow(main);
}

TEST_F(WindowManagerTest, KeysFollowClicksBetweenWindowsAndStayWithTheModalDialog) {
  HWND main = vqplatform::CreateDialogFromTemplate(vqres::MainWindowTemplate(), nullptr, ProgramHandler, 0);
  ASSERT_NE(main, nullptr);
  RECT first = ScreenRectOf(main);
  MoveWindow(main, 40, 60, first.right - first.left, first.bottom - first.top, TRUE);
  HWND notes = vqplatform::CreateDialogFromTemplate(kNotesWindow, nullptr, ProgramHandler, 0);
  ASSERT_NE(notes, nullptr);
  HWND counter = GetDlgItem(main, 1060), notesField = GetDlgItem(notes, 100);
  std::atomic<HWND> modal{nullptr};
  auto steps = [&] {
    ASSERT_TRUE(Shown(main) && Shown(notes));
    server_.Click(MiddleOf(counter));
    EXPECT_TRUE(WaitFor([&] { return FocusOfProgram(main) == counter; }));  // a user types after the click
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
    server_.Click(TitleBar(main));
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

}  // namespace
