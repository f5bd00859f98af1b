#include "tests/e2e/WindowChecks.h"

#include <cstdint>
#include <thread>

#include "platform/display/Presenter.h"
#include "platform/win/Window.h"

namespace vqtest {

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

RECT ScreenRectOf(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

POINT MiddleOf(HWND hwnd) {
  RECT r = ScreenRectOf(hwnd);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

vqplatform::WindowImage LayerImage(HWND hwnd) {
  vqplatform::WindowImage image;
  vqplatform::ComposeWindowImage(hwnd, &image);
  return image;
}

Screenshot ShownOnServer(XServer& server, HWND hwnd, size_t* differences) {
  Screenshot shot;
  *differences = SIZE_MAX;
  WaitFor([&] {
    if (!vqplatform::PresentedXWindow(hwnd) || !vqplatform::FlushPresenter(2000)) return false;
    vqplatform::WindowImage layer = LayerImage(hwnd);
    shot = server.Grab(ScreenRectOf(hwnd));
    *differences = shot.CountDifferences(layer.pixels, layer.width, layer.height);
    return *differences == 0;
  });
  return shot;
}

}  // namespace vqtest
