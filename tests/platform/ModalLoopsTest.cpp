// A thread's modal loops counted and ended at once: a popup menu inside a
// modal dialog, both ended as a cancel would, a loop started while they end
// ending unseen, and loops running again once resumed. Every kind of loop a
// handler runs (a dialog, a popup menu, a timed wait, a wait for an object)
// ends at a quit asked from another thread after the work posted before
// it, leaving the quit to the outermost loop; and work deferred under it
// waits until the last handler has returned, ending the loops first.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace {

constexpr UINT WM_OPEN_MENU = WM_APP + 1;
constexpr UINT WM_END_ALL = WM_APP + 2;

const DialogTemplate& Box() {
  static const DialogTemplate box{WS_POPUP | DS_MODALFRAME, 0, 0, 0, 120, 60, L"Box", L"MS Shell Dlg", 9,
                                  {{IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP, 0, 10, 10, 50, 14}}};
  return box;
}

struct Seen {
  int depthInDialog = -1;
  int depthInMenu = -1;
  UINT menuResult = 99;
  INT_PTR laterDialog = 99;
};
Seen* g_seen = nullptr;
HWND g_helper = nullptr;

LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_END_ALL) {
    g_seen->depthInMenu = vqplatform::ModalLoopDepth();
    vqplatform::EndModalLoops();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

INT_PTR OuterProc(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message == WM_INITDIALOG) {
    PostMessageW(dialog, WM_OPEN_MENU, 0, 0);
    return TRUE;
  }
  if (message == WM_OPEN_MENU) {
    g_seen->depthInDialog = vqplatform::ModalLoopDepth();
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 10, L"Item");
    // Handled inside the menu's loop: it ends both loops.
    PostMessageW(g_helper, WM_END_ALL, 0, 0);
    g_seen->menuResult = vqplatform::RunPopupMenu(menu, 0, 0, dialog);
    DestroyMenu(menu);
    g_seen->laterDialog = DialogBoxIndirectParamW(nullptr, &Box(), dialog, nullptr, 0);
    return TRUE;
  }
  return FALSE;
}

TEST(ModalLoops, EndingOnesInsideOthersEndsThemAllUntilResumed) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = HelperProc;
  windowClass.lpszClassName = L"ModalLoopsTestHelper";
  RegisterClassW(&windowClass);
  g_helper = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
  Seen seen;
  g_seen = &seen;
  EXPECT_EQ(vqplatform::ModalLoopDepth(), 0);
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Box(), g_helper, OuterProc, 0), IDCANCEL);
  EXPECT_EQ(seen.depthInDialog, 1);
  EXPECT_EQ(seen.depthInMenu, 2);
  EXPECT_EQ(seen.menuResult, 0u) << "the menu ends with no choice";
  EXPECT_EQ(seen.laterDialog, IDCANCEL) << "a dialog opened while the loops end ends at once";
  EXPECT_EQ(vqplatform::ModalLoopDepth(), 0);
  EXPECT_TRUE(IsWindowEnabled(g_helper)) << "the owner is enabled again";
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Box(), nullptr, nullptr, 0), IDCANCEL) << "still ending";

  vqplatform::ResumeModalLoops();
  // A loop runs again: it ends only by its own EndDialog.
  HWND box = vqplatform::CreateDialogFromTemplate(Box(), nullptr, nullptr, 0);
  ASSERT_NE(box, nullptr);
  bool stillRunning = false;
  vqplatform::SetModalIdleHandler([&](HWND dialog) {
    stillRunning = !vqplatform::IsModalDialogEnded(dialog);
    EndDialog(dialog, IDOK);
  });
  EXPECT_EQ(vqplatform::RunModalDialog(box, nullptr), IDOK);
  vqplatform::SetModalIdleHandler(nullptr);
  EXPECT_TRUE(stillRunning);
  DestroyWindow(g_helper);
  UnregisterClassW(windowClass.lpszClassName, nullptr);
}

enum class Kind { kDialog, kMenu, kTimedWait, kObjectWait };
constexpr UINT WM_RUN_LOOP = WM_APP + 3;
constexpr UINT WM_ACT = WM_APP + 4;
constexpr UINT WM_MARK = WM_APP + 5;

// One loop of a kind, as a handler of `owner` runs it; returns when it ends.
void RunLoopOf(Kind kind, HWND owner) {
  switch (kind) {
    case Kind::kDialog: DialogBoxIndirectParamW(nullptr, &Box(), owner, nullptr, 0); break;
    case Kind::kMenu: {
      HMENU menu = CreatePopupMenu();
      AppendMenuW(menu, MF_STRING, 10, L"Item");
      vqplatform::RunPopupMenu(menu, 0, 0, owner);
      DestroyMenu(menu);
      break;
    }
    case Kind::kTimedWait: vqplatform::DispatchFor(600000); break;
    case Kind::kObjectWait: {
      HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      vqplatform::ModalLoop wait;
      wait.object = never;
      vqplatform::RunModalLoop(wait);
      CloseHandle(never);
      break;
    }
  }
}

std::string KindName(const ::testing::TestParamInfo<Kind>& info) {
  static const char* const names[] = {"Dialog", "PopupMenu", "TimedWait", "ObjectWait"};
  return names[static_cast<int>(info.param)];
}

class OfEachKind : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    self_ = this;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
      if (message == WM_RUN_LOOP) {
        PostMessageW(hwnd, WM_ACT, 0, 0);  // handled inside the loop
        RunLoopOf(self_->GetParam(), hwnd);
        self_->log_.push_back("loop ended");
        if (wParam) PostQuitMessage(0);
        return 0;
      }
      if (message == WM_ACT) return self_->act_(), 0;
      if (message == WM_MARK) return self_->log_.push_back("posted before the quit"), 0;
      return DefWindowProcW(hwnd, message, wParam, lParam);
    };
    windowClass.lpszClassName = L"LoopKindHelper";
    RegisterClassW(&windowClass);
    helper_ = CreateWindowExW(0, L"LoopKindHelper", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    other_ = CreateWindowExW(0, L"LoopKindHelper", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    DestroyWindow(helper_);
    DestroyWindow(other_);
    UnregisterClassW(L"LoopKindHelper", nullptr);
  }
  // The loop runs inside a handler called from the thread's own loop; the
  // exit code of that loop.
  int Run(std::function<void()> act, bool quitAfter) {
    act_ = std::move(act);
    PostMessageW(helper_, WM_RUN_LOOP, quitAfter, 0);
    return vqplatform::RunThreadLoop();
  }

  static OfEachKind* self_;
  HWND helper_ = nullptr;
  HWND other_ = nullptr;
  std::function<void()> act_;
  std::vector<std::string> log_;
};
OfEachKind* OfEachKind::self_ = nullptr;

TEST_P(OfEachKind, EndsAtAQuitFromAnotherThreadAfterThePostedWorkAndLeavesItOutside) {
  const DWORD thread = GetCurrentThreadId();
  const int code = Run(
      [&] {
        std::thread([&] {
          PostMessageW(helper_, WM_MARK, 0, 0);
          vqplatform::PostQuitToThread(thread, 7);
        }).join();
      },
      false);
  EXPECT_EQ(code, 7) << "the outermost loop took the quit";
  EXPECT_EQ(log_, (std::vector<std::string>{"posted before the quit", "loop ended"}));
  EXPECT_EQ(vqplatform::ModalLoopDepth(), 0);
}

TEST_P(OfEachKind, WorkDeferredUnderItEndsTheLoopsAndRunsOnceTheyEndedWithItsOwnLoops) {
  Run(
      [&] {
        EXPECT_TRUE(vqplatform::InNestedLoop());
        EXPECT_TRUE(vqplatform::WaitsInModalLoop(helper_));
        EXPECT_FALSE(vqplatform::WaitsInModalLoop(other_));
        vqplatform::RunAtTopLevel(
            [&] {
              log_.push_back("deferred work");
              EXPECT_FALSE(vqplatform::WaitsInModalLoop(helper_));
              // The loops it ended are gone: one it opens runs to its own end.
              PostMessageW(helper_, WM_MARK, 0, 0);
              vqplatform::ModalLoop own;
              own.done = [&] { return log_.back() != "deferred work"; };
              EXPECT_EQ(vqplatform::RunModalLoop(own), vqplatform::LoopEnd::kDone);
            },
            true);
        log_.push_back("queued");
        if (!vqplatform::DispatchFor(600000)) log_.push_back("a loop opened meanwhile ended at once");
      },
      true);
  EXPECT_EQ(log_, (std::vector<std::string>{"queued", "a loop opened meanwhile ended at once", "loop ended",
                                            "deferred work", "posted before the quit"}));
  EXPECT_FALSE(vqplatform::ModalLoopsEnding()) << "loops run again";
  log_.clear();
  vqplatform::RunAtTopLevel([&] { log_.push_back("at once"); });
  EXPECT_EQ(log_, std::vector<std::string>{"at once"}) << "outside nested loops work runs at once";
}

INSTANTIATE_TEST_SUITE_P(MessageLoops, OfEachKind,
                         ::testing::Values(Kind::kDialog, Kind::kMenu, Kind::kTimedWait, Kind::kObjectWait),
                         KindName);

}  // namespace
