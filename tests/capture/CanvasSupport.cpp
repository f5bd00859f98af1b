#include "tests/capture/CanvasSupport.h"

#include "platform/mfc/CImage.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/Controls.h"
#include "platform/win/GdiDc.h"

namespace vqtest {

cv::Mat PositionCard(int width, int height) {
  cv::Mat card(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      card.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x % 256), uchar(y % 256), uchar(40 * (x / 256) + 7 * (y / 256)));
  return card;
}

CanvasHost::CanvasHost(CObjectContainer& canvas, int width, int height) : canvas_(canvas) {
  vqplatform::RegisterStandardControls();
  WNDCLASSW host{};
  host.lpfnWndProc = DefWindowProcW;
  host.lpszClassName = L"VqCanvasTestHost";
  RegisterClassW(&host);
  host_ = CreateWindowExW(0, L"VqCanvasTestHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, width + 20, height + 20,
                          nullptr, nullptr, nullptr, nullptr);
  canvas.Create(WC_STATIC, L"", CObjectContainer::kStyle, CRect(0, 0, width, height), CWnd::FromHandle(host_),
                0xFFFF);
  CRect client;
  canvas.GetClientRect(&client);  // the border takes its share
  canvas.MoveWindow(0, 0, 2 * width - client.Width(), 2 * height - client.Height());
}

CanvasHost::~CanvasHost() {
  canvas_.DestroyWindow();
  DestroyWindow(host_);
}

LRESULT CanvasHost::Mouse(UINT message, POINT client, WPARAM keys) {
  return SendMessageW(canvas_.m_hWnd, message, keys, MAKELPARAM(client.x, client.y));
}

LRESULT CanvasHost::Wheel(POINT client, int delta) {
  Mouse(WM_MOUSEMOVE, client);
  POINT screen = client;
  ClientToScreen(canvas_.m_hWnd, &screen);
  return SendMessageW(canvas_.m_hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                      MAKELPARAM(screen.x, screen.y));
}

void CanvasHost::Drag(POINT from, POINT to, int steps) {
  Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
  for (int i = 1; i <= steps; ++i)
    Mouse(WM_MOUSEMOVE, POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps}, MK_LBUTTON);
  Mouse(WM_LBUTTONUP, to);
}

cv::Mat CanvasHost::Shown() {
  UpdateWindow(canvas_.m_hWnd);
  RECT r{};
  GetClientRect(canvas_.m_hWnd, &r);
  CImage image;
  image.Create(r.right, -r.bottom, 24);
  HDC from = GetDC(canvas_.m_hWnd);
  BitBlt(image.GetDC(), 0, 0, r.right, r.bottom, from, 0, 0, SRCCOPY);
  image.ReleaseDC();
  ReleaseDC(canvas_.m_hWnd, from);
  return cv::Mat(r.bottom, r.right, CV_8UC3, image.GetBits(), size_t(image.GetPitch())).clone();
}

}  // namespace vqtest
