#include "tests/support/Windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "platform/win/Clock.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogKeys.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Threads.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/Waiting.h"

namespace vqtest {

std::wstring TextOf(HWND window) {
  std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
  return text;
}

std::wstring TextOf(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

std::vector<std::wstring> ListRows(HWND list) {
  std::vector<std::wstring> rows;
  for (int i = 0; i < int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); ++i) {
    wchar_t text[MAX_PATH] = {};
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = MAX_PATH;
    SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(i), reinterpret_cast<LPARAM>(&item));
    rows.push_back(text);
  }
  return rows;
}

void Press(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void PressLater(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HWND ShownWindow(const std::function<bool(HWND)>& matches) {
  struct Search {
    const std::function<bool(HWND)>& matches;
    HWND found;
  } search{matches, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (!IsWindowVisible(window) || !s->matches(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ShownWindowWith(int controlId, int otherControlId) {
  return ShownWindow([&](HWND window) {
    return GetDlgItem(window, controlId) && (!otherControlId || GetDlgItem(window, otherControlId));
  });
}

bool Says(HWND window, const std::wstring& text) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    if (TextOf(child) == text) return true;
  return false;
}

void OnNextDialog(HWND owner, std::function<void(HWND dialog)> work) {
  vqplatform::SetModalIdleHandler([owner, work = std::move(work)](HWND dialog) {
    if (dialog == owner) return;
    // The loop runs its own copy of this handler: `work` outlives the reset.
    vqplatform::SetModalIdleHandler(nullptr);
    work(dialog);
  });
}

bool ClickTab(HWND tab, int index) {
  RECT item{};
  SendMessageW(tab, TCM_GETITEMRECT, WPARAM(index), reinterpret_cast<LPARAM>(&item));
  return vqplatform::ClickAt(tab, POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2});
}

HWND PageWith(HWND tab, int controlId) {
  for (HWND page = GetWindow(tab, GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
    if (GetDlgItem(page, controlId)) return page;
  return nullptr;
}

bool OnIdleModalLoop(DWORD threadId, const std::function<void(HWND dialog)>& work) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  vqplatform::SetModalIdleHandler([&work, done](HWND dialog) {
    if (done->load()) return;
    work(dialog);
    vqplatform::SetModalIdleHandler(nullptr);
    *done = true;
  });
  PostThreadMessageW(threadId, WM_NULL, 0, 0);
  const bool ran = WaitFor([&] { return done->load(); });
  if (!ran) vqplatform::SetModalIdleHandler(nullptr);
  return ran;
}

namespace {

// Whether the thread's next PeekMessage would find something (sent messages
// are answered meanwhile).
bool SomethingQueued() {
  MSG msg{};
  return PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
}

// Waits until this thread's queue holds input, for a few milliseconds at
// most: the condition is looked at again then. On the manual clock the
// layer's waits stand still until the clock moves, which this thread may be
// the one to move: it looks again after a millisecond of real time instead.
void AwaitInputBriefly() {
  if (vqplatform::Clock::IsManual()) {
    if (!SomethingQueued()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return;
  }
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
}

}  // namespace

bool Pump(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  bool held = false;
  int unchecked = 0;
  vqplatform::ModalLoop loop;
  loop.done = [&] {
    // Every few messages, and whenever the queue is empty.
    if (++unchecked < 16 && SomethingQueued()) return false;
    unchecked = 0;
    held = condition();
    return held || std::chrono::steady_clock::now() > end;
  };
  loop.idle = [] {
    AwaitInputBriefly();
    return true;  // the loop looks at the condition and the queue again
  };
  if (vqplatform::RunModalLoop(loop) == vqplatform::LoopEnd::kDone) return held;
  // The quit (left queued) or the thread's loops told to end: the condition as it is.
  return condition();
}

bool Settle(std::chrono::milliseconds limit) {
  // The queue first: looking at it answers the sends waiting, which wakes their senders.
  return Pump([] { return !SomethingQueued() && vqplatform::Clock::ThreadsAtWork() == 0; }, limit);
}

void DispatchQueued(HWND) {
  vqplatform::ModalLoop loop;
  loop.done = [] { return !SomethingQueued(); };
  vqplatform::RunModalLoop(loop);
}

bool DispatchPosted(std::chrono::milliseconds limit) {
  constexpr UINT kMark = WM_APP + 0x3ff0;  // posted last, taken out of the loop's way
  if (!PostThreadMessageW(GetCurrentThreadId(), kMark, 0, 0)) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  bool marked = false;
  vqplatform::ModalLoop loop;
  loop.preTranslate = [&](MSG* msg) { return !msg->hwnd && msg->message == kMark && (marked = true); };
  loop.done = [&] { return marked || std::chrono::steady_clock::now() > end; };
  loop.idle = [] {
    AwaitInputBriefly();
    return true;
  };
  vqplatform::RunModalLoop(loop);
  return marked;
}

bool QuitQueued() {
  MSG msg{};
  return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) && msg.message == WM_QUIT;
}

RECT ScreenRectOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

RECT ClientRectOnScreen(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  POINT corner{0, 0};
  ClientToScreen(hwnd, &corner);
  return RECT{corner.x, corner.y, corner.x + r.right, corner.y + r.bottom};
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

POINT MiddleOf(HWND hwnd) {
  const RECT r = ScreenRectOf(hwnd);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

RECT ControlPixels(const DialogTemplate& dialog, int id) {
  const HFONT font = vqplatform::CreateDialogFont(dialog.fontFace.c_str(), dialog.pointSize);
  const vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
  DeleteObject(font);
  for (const DialogItemTemplate& item : dialog.items)
    if (item.id == id)
      return vqplatform::DialogUnitsToPixels(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}, base);
  ADD_FAILURE() << "no control " << id;
  return RECT{};
}

POINT ControlCentre(const DialogTemplate& dialog, const RECT& client, int id) {
  const RECT r = ControlPixels(dialog, id);
  return POINT{client.left + (r.left + r.right) / 2, client.top + (r.top + r.bottom) / 2};
}

}  // namespace vqtest
