// Message passing costs: a SendMessage round trip to a window of another
// thread (the frame request of the preview takes one per frame) and posting
// plus retrieving on one thread.
#include <benchmark/benchmark.h>

#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace {

LRESULT CALLBACK EchoProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return static_cast<LRESULT>(wParam + 1);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterEchoClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = EchoProc;
  windowClass.lpszClassName = L"VqBenchEcho";
  RegisterClassW(&windowClass);
}

struct EchoThread {
  HWND window = nullptr;
  HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  DWORD id = 0;
  HANDLE thread = nullptr;

  EchoThread() {
    thread = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
          auto* self = static_cast<EchoThread*>(parameter);
          self->window = CreateWindowExW(0, L"VqBenchEcho", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                         nullptr);
          SetEvent(self->ready);
          MSG msg;
          while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
          DestroyWindow(self->window);
          return 0;
        },
        this, 0, &id);
    WaitForSingleObject(ready, INFINITE);
  }
  ~EchoThread() {
    PostThreadMessageW(id, WM_QUIT, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(ready);
  }
};

void BM_SendMessageAcrossThreads(benchmark::State& state) {
  RegisterEchoClass();
  EchoThread echo;
  WPARAM value = 0;
  for (auto _ : state) {
    value = static_cast<WPARAM>(SendMessageW(echo.window, WM_USER, value, 0));
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_SendMessageAcrossThreads);

void BM_PostAndRetrieveOnOneThread(benchmark::State& state) {
  RegisterEchoClass();
  HWND window = CreateWindowExW(0, L"VqBenchEcho", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  MSG msg;
  for (auto _ : state) {
    PostMessageW(window, WM_USER, 1, 0);
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    benchmark::DoNotOptimize(DispatchMessageW(&msg));
  }
  DestroyWindow(window);
}
BENCHMARK(BM_PostAndRetrieveOnOneThread);

}  // namespace
