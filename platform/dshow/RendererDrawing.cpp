#include "platform/dshow/RendererDrawing.h"

#include "platform/display/Cursors.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace {
// Asks the window's thread to destroy the window and end.
constexpr UINT kWmDoneWithWindow = WM_USER + 0x3F0;
constexpr int kDefaultWidth = 320, kDefaultHeight = 240;
}  // namespace

CBaseControlWindow::~CBaseControlWindow() { DoneWithWindow(); }

bool CBaseControlWindow::PrepareWindow(const wchar_t* className, UINT classStyle, DWORD windowStyle,
                                       const wchar_t* title) {
  if (thread_) return window_ != nullptr;
  className_ = className;
  classStyle_ = classStyle;
  windowStyle_ = windowStyle;
  title_ = title;
  created_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  thread_ = CreateThread(nullptr, 0, &CBaseControlWindow::WindowThreadProc, this, 0, nullptr);
  if (!thread_) return false;
  WaitForSingleObject(created_, INFINITE);
  return window_ != nullptr;
}

void CBaseControlWindow::DoneWithWindow() {
  if (!thread_) return;
  if (HWND window = window_) PostMessageW(window, kWmDoneWithWindow, 0, 0);
  // The window has no owner, so its thread sends nothing to this one.
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  CloseHandle(created_);
  thread_ = created_ = nullptr;
  window_ = nullptr;
}

DWORD WINAPI CBaseControlWindow::WindowThreadProc(LPVOID self) {
  static_cast<CBaseControlWindow*>(self)->RunWindow();
  return 0;
}

void CBaseControlWindow::RunWindow() {
  WNDCLASSW existing;
  if (!GetClassInfoW(nullptr, className_, &existing)) {
    WNDCLASSW wc{};
    wc.style = classStyle_;
    wc.lpfnWndProc = &CBaseControlWindow::WindowProcedure;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className_;
    RegisterClassW(&wc);
  }
  CBaseControlWindow* self = this;
  HWND window = CreateWindowExW(0, className_, title_, windowStyle_, 0, 0, kDefaultWidth, kDefaultHeight, nullptr,
                                nullptr, nullptr, &self);
  window_ = window;
  SetEvent(created_);
  if (!window) return;
  vqplatform::RunThreadLoop();
  UnregisterClassW(className_, nullptr);
}

LRESULT CALLBACK CBaseControlWindow::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CBaseControlWindow*>(vqplatform::WindowObjectFromCreation(hwnd, message, lParam));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case kWmDoneWithWindow:
      SetWindowLongPtrW(hwnd, 0, 0);
      DestroyWindow(hwnd);
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT client{};
      GetClientRect(hwnd, &client);
      self->OnPaint(dc, client);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      return 1;
    }
    case WM_SETCURSOR:
      if (!self->cursorHidden_) break;
      SetCursor(nullptr);
      return TRUE;
    case WM_CLOSE:
    case WM_ACTIVATEAPP:
    case WM_SIZE:
    case WM_DISPLAYCHANGE:
      self->OnReceiveMessage(message, wParam, lParam);
      if (message == WM_CLOSE) return 0;  // hidden, not destroyed
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CBaseControlWindow::ActivateWindow() {
  visible_ = true;
  HWND window = window_;
  if (!window) return;
  if (preferredWidth_ > 0 && preferredHeight_ > 0)
    SetWindowPos(window, nullptr, 0, 0, preferredWidth_, preferredHeight_, SWP_NOMOVE | SWP_NOZORDER);
  ShowWindow(window, SW_SHOW);
}

LRESULT CBaseControlWindow::OnReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // the background is painted black with the picture
    case WM_SETCURSOR:
      return cursorHidden_ ? 1 : 0;
    case WM_CLOSE:
      visible_ = false;
      if (HWND window = window_) ShowWindow(window, SW_HIDE);
      renderer_->NotifyEvent(EC_USERABORT, 0, 0);
      return 0;
    case WM_ACTIVATEAPP:
      renderer_->NotifyEvent(EC_ACTIVATE, LONG_PTR(wParam), 0);
      return 0;
    case WM_SIZE:
      OnSize(int(lParam & 0xffff), int((lParam >> 16) & 0xffff));
      return 0;
    case WM_DISPLAYCHANGE:
      OnDisplayChange();
      return 0;
    default:
      return 0;
  }
}

void CBaseControlWindow::OnPaint(HDC dc, const RECT& client) {
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

void CDrawImage::RefreshDisplayFormat() {
  HDC screen = GetDC(nullptr);
  displayBits_ = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(nullptr, screen);
  ++displayVersion_;
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
