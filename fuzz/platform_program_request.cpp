// Feeds request lines, as another program sends them to the listener's
// socket, through the listener's parser and answerer against a window
// table: three windows made reachable with the messages they name, and the
// layer's own windows (a dialog with its default button, a list, a combo
// box and an edit, a hidden tooltip with an empty title, a plain window)
// that must never be reached. One input holds one or more lines.
//
// The windows are made in a fixed order at the first input, so their
// handles are fixed too (65552, 65554, ...) and the corpus names them:
// 65552 "VorquellServer" takes 1109, 65554 "Image" takes 1281, 65556
// "Marlofen V1.1" takes 1280 and 2024; 65558 is the tooltip, 65560 the
// plain window "Plain", 65562 the dialog "Dialog" and 65564 to 65570 its
// default button, list, combo box and edit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramRequests.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Window.h"
#include "tests/support/LayerWindows.h"
#include "platform/win/ModalLoops.h"

namespace {

struct Reachable {
  const wchar_t* title;
  std::vector<UINT> messages;
  HWND hwnd = nullptr;
};

Reachable g_reachable[] = {{L"VorquellServer", {1109}}, {L"Image", {1281}}, {L"Marlofen V1.1", {1280, 2024}}};
size_t g_delivered = 0;  // messages from WM_USER on that reached a reachable window

bool IsOutsideRange(UINT message) { return message >= WM_USER && message <= 0xBFFF; }

LRESULT CALLBACK ReachableProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsOutsideRange(message)) return DefWindowProcW(hwnd, message, wParam, lParam);
  for (const Reachable& r : g_reachable) {
    if (r.hwnd != hwnd) continue;
    bool named = false;
    for (UINT m : r.messages) named = named || m == message;
    if (!named) std::abort();  // a message the window never named reached it
  }
  ++g_delivered;
  return static_cast<LRESULT>(wParam ^ static_cast<WPARAM>(lParam));
}

// In front of each of the layer's windows: nothing in the outside range may
// reach them while the requests are answered.
WNDPROC g_layerProcs[8] = {};

template <size_t Index>
LRESULT CALLBACK Guard(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsOutsideRange(message)) std::abort();
  return CallWindowProcW(g_layerProcs[Index], hwnd, message, wParam, lParam);
}

template <size_t... Index>
void GuardWindows(const std::vector<HWND>& windows, std::index_sequence<Index...>) {
  ((g_layerProcs[Index] = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(windows[Index], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Guard<Index>)))),
   ...);
}

void MakeWindowTable() {
  setenv("VQ_HEADLESS", "1", 1);
  WNDCLASSW reachableClass{};
  reachableClass.lpfnWndProc = ReachableProc;
  reachableClass.lpszClassName = L"VqFuzzReachable";
  RegisterClassW(&reachableClass);
  for (Reachable& r : g_reachable) {
    r.hwnd = CreateWindowExW(0, L"VqFuzzReachable", r.title, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                             nullptr, nullptr);
    if (!r.hwnd || !vqplatform::MakeReachableByPrograms(r.hwnd, r.messages)) std::abort();
  }
  const vqtest::LayerWindows layer = vqtest::MakeLayerWindows(L"VqFuzzReachable");
  if (!layer.Made()) std::abort();
  const std::vector<HWND> all = layer.All();
  GuardWindows(all, std::make_index_sequence<7>());
  // The corpus names these handles: say so when the layer numbers windows otherwise.
  if (reinterpret_cast<uintptr_t>(g_reachable[0].hwnd) != 65552 || reinterpret_cast<uintptr_t>(all[0]) != 65558 ||
      reinterpret_cast<uintptr_t>(all.back()) != 65570)
    std::abort();
}

bool IsReachable(uint64_t handle) {
  for (const Reachable& r : g_reachable)
    if (reinterpret_cast<uintptr_t>(r.hwnd) == handle) return true;
  return false;
}

bool StartsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

// The dialog's font stays in fontconfig's cache for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool made = (MakeWindowTable(), true);
  (void)made;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t answered = 0;  // RESULT and POSTED answers
  g_delivered = 0;
  for (int lines = 0; !input.empty() && lines < 64; ++lines) {
    const size_t end = input.find('\n');
    const std::string_view line = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    if (line.size() > vqplatform::kMaxLine) continue;  // the listener drops such a line unanswered
    const vqplatform::ProgramRequest request = vqplatform::ParseProgramRequest(line);
    std::string answer;
    vqplatform::AnswerProgramRequest(request, [&](const std::string& line) { answer = line; });
    if (StartsWith(answer, "WINDOW ")) {
      Check(request.kind == vqplatform::ProgramRequest::Kind::Find);
      Check(IsReachable(std::strtoull(answer.c_str() + 7, nullptr, 10)));
    } else if (StartsWith(answer, "RESULT ") || answer == "POSTED") {
      Check(IsReachable(request.window));
      ++answered;
    } else {
      Check(answer == "NONE" || answer == "ERROR");
    }
  }
  // The posts are delivered now, as the window's thread would.
  vqplatform::ModalLoop drain;
  drain.done = [] {
    MSG msg;
    return !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  };
  vqplatform::RunModalLoop(drain);
  Check(g_delivered == answered);
  return 0;
}
