// One repaint of the preview canvas per frame: the largest camera frame
// shown in a 1280 x 960 canvas, fitted and zoomed, headless. Each iteration
// hands the canvas a frame and paints it, as the preview does.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "capture/ObjectContainer.h"
#include "platform/win/Controls.h"
#include "platform/win/Window.h"
#include "scene/Renderer.h"
#include "scene/Scene.h"

namespace {

const cv::Size kFrame(2592, 1944);
constexpr int kClientWidth = 1280, kClientHeight = 960;

class CanvasWindow {
 public:
  CanvasWindow() {
    setenv("VQ_HEADLESS", "1", 1);
    vqplatform::RegisterStandardControls();
    WNDCLASSW host{};
    host.lpfnWndProc = DefWindowProcW;
    host.lpszClassName = L"VqCanvasBenchHost";
    RegisterClassW(&host);
    host_ = CreateWindowExW(0, L"VqCanvasBenchHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, kClientWidth + 10,
                            kClientHeight + 10, nullptr, nullptr, nullptr, nullptr);
    canvas.Create(WC_STATIC, L"", CObjectContainer::kStyle, CRect(0, 0, kClientWidth, kClientHeight),
                  CWnd::FromHandle(host_), 0xFFFF);
  }
  ~CanvasWindow() {
    canvas.DestroyWindow();
    DestroyWindow(host_);
  }
  void Show(const cv::Mat& frame) {
    canvas.SetImage(frame);
    UpdateWindow(canvas.m_hWnd);
  }
  CObjectContainer canvas;

 private:
  HWND host_ = nullptr;
};

cv::Mat Frame() {
  return vqscene::RenderScene(vqscene::SingleSheet(kFrame, cv::Point2f(1300, 970), cv::Size2f(1500, 1100), 8));
}

void Repaint(benchmark::State& state, int zoomSteps, bool withSelection) {
  const cv::Mat frame = Frame();
  CanvasWindow window;
  window.Show(frame);
  for (int i = 0; i < zoomSteps; ++i) window.canvas.ZoomIn();
  if (withSelection) window.canvas.SetSelection(RECT{600, 400, 2000, 1500}, false);
  for (auto _ : state) window.Show(frame);
  state.counters["zoom"] = window.canvas.GetZoom();
  state.SetItemsProcessed(state.iterations());
}

// Fit zoom 0.4938: the whole frame reduced to the canvas.
void BM_CanvasRepaintFitted(benchmark::State& state) { Repaint(state, 0, false); }
BENCHMARK(BM_CanvasRepaintFitted)->Unit(benchmark::kMillisecond)->UseRealTime();

// 2x: a 640 x 480 part of the frame enlarged into whole-pixel blocks.
void BM_CanvasRepaintZoomed(benchmark::State& state) { Repaint(state, 3, false); }
BENCHMARK(BM_CanvasRepaintZoomed)->Unit(benchmark::kMillisecond)->UseRealTime();

// Fitted with a selection rectangle washing the picture around it.
void BM_CanvasRepaintFittedWithSelection(benchmark::State& state) { Repaint(state, 0, true); }
BENCHMARK(BM_CanvasRepaintFittedWithSelection)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
