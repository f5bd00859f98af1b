#include "platform/dshow/RendererDrawing.h"

namespace {
constexpr UINT kWmSize = 0x0005;
constexpr UINT kWmClose = 0x0010;
constexpr UINT kWmActivateApp = 0x001C;
constexpr UINT kWmSetCursor = 0x0020;
constexpr UINT kWmEraseBkgnd = 0x0014;
constexpr UINT kWmDisplayChange = 0x007E;
}  // namespace

LRESULT CBaseControlWindow::OnReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kWmEraseBkgnd:
      return 1;  // the background is painted black with the picture
    case kWmSetCursor:
      return cursorHidden_ ? 1 : 0;
    case kWmClose:
      visible_ = false;
      renderer_->NotifyEvent(EC_USERABORT, 0, 0);
      return 0;
    case kWmActivateApp:
      renderer_->NotifyEvent(EC_ACTIVATE, LONG_PTR(wParam), 0);
      return 0;
    case kWmSize:
      OnSize(int(lParam & 0xffff), int((lParam >> 16) & 0xffff));
      return 0;
    case kWmDisplayChange:
      return 0;
    default:
      return 0;
  }
}

void CBaseControlVideo::SetVideoSize(int width, int height) {
  videoWidth_ = width;
  videoHeight_ = height;
}

void CBaseControlVideo::SetDefaultSourceRect() { source_ = RECT{0, 0, videoWidth_, videoHeight_}; }
void CBaseControlVideo::SetDefaultTargetRect() { target_ = RECT{0, 0, videoWidth_, videoHeight_}; }

void CBaseControlVideo::OnVideoSizeChange() {
  const LONG_PTR size = LONG_PTR((uint32_t(videoHeight_) & 0xffff) << 16 | (uint32_t(videoWidth_) & 0xffff));
  renderer_->NotifyEvent(EC_VIDEO_SIZE_CHANGED, size, 0);
}
