// Repainting one control of the main window's template 102 (43 controls),
// headless: the control invalidated by itself, and a 10 x 10 corner of the
// dialog lying over it. "painted" counts the WM_PAINT the controls get per
// repaint; only the control under the area should paint.
#include <benchmark/benchmark.h>
#include <cstdlib>

#include <map>

#include "platform/win/Dialog.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Window.h"
#include "resources/Resources.h"

namespace {

std::map<HWND, WNDPROC> g_original;
long g_paints = 0;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) ++g_paints;
  return CallWindowProcW(g_original[hwnd], hwnd, message, wParam, lParam);
}

// Template 102 with every control's paints counted.
HWND MakeMainWindow() {
  setenv("VQ_HEADLESS", "1", 1);
  vqres::LoadResources();
  HWND dialog = vqplatform::CreateDialogFromTemplate(vqres::MainWindowTemplate(), nullptr, nullptr, 0);
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    g_original[c] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(c, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
  vqplatform::ModalLoop drain;  // until nothing is queued
  drain.done = [] {
    MSG msg{};
    return !PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  };
  vqplatform::RunModalLoop(drain);
  return dialog;
}

void Repaint(benchmark::State& state, bool throughDialog) {
  HWND dialog = MakeMainWindow();
  HWND button = GetDlgItem(dialog, 1005);
  RECT inDialog;
  GetWindowRect(button, &inDialog);
  POINT origin{0, 0};
  ClientToScreen(dialog, &origin);
  RECT corner{inDialog.right - origin.x - 10, inDialog.top - origin.y, inDialog.right - origin.x,
              inDialog.top - origin.y + 10};
  g_paints = 0;
  for (auto _ : state) {
    if (throughDialog)
      InvalidateRect(dialog, &corner, TRUE);
    else
      InvalidateRect(button, nullptr, TRUE);
    UpdateWindow(dialog);
  }
  state.counters["painted"] = benchmark::Counter(double(g_paints) / double(state.iterations()));
  DestroyWindow(dialog);
  g_original.clear();
}

void BM_RepaintOneControl(benchmark::State& state) { Repaint(state, false); }
void BM_RepaintDialogCornerOverOneControl(benchmark::State& state) { Repaint(state, true); }

BENCHMARK(BM_RepaintOneControl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RepaintDialogCornerOverOneControl)->Unit(benchmark::kMicrosecond);

}  // namespace
