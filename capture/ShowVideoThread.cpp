#include "capture/ShowVideoThread.h"

#include "capture/ObjectContainer.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/CString.h"
#include "platform/win/Controls.h"
#include "platform/win/GdiTypes.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace {
constexpr int kQuitCode = 18;
constexpr UINT kCanvasId = 0xFFFF;
}  // namespace

CShowVideoThread::CShowVideoThread() = default;

CShowVideoThread::~CShowVideoThread() {
  StopWorker();
  if (windowThread_) {
    SendMessageW(previewWindow_, WM_DESTROY, 0, 0);
    previewWindow_ = nullptr;
    WaitServingSentMessages(windowThread_, INFINITE);
    CloseHandle(windowThread_);
    windowThread_ = nullptr;
  }
  CloseEvents();
  if (windowDone_) CloseHandle(windowDone_);
}

bool CShowVideoThread::Create(HWND parent, int left, int top, int right, int bottom) {
  BeginCreate(parent, left, top, right, bottom);
  if (!windowDone_) windowDone_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ResetEvent(windowDone_);
  windowThread_ = CreateThread(nullptr, 0, &CShowVideoThread::WindowThreadProc, this, 0, nullptr);
  StartWorker();
  if (!windowThread_) return false;
  // Creating a child of a window of this thread sends to this thread. The
  // wait is a modal loop; ended early (the quit), it still waits for the
  // window, answering what is sent.
  vqplatform::ModalLoop wait;
  wait.object = windowDone_;
  if (vqplatform::RunModalLoop(wait) != vqplatform::LoopEnd::kDone) WaitServingSentMessages(windowDone_, INFINITE);
  return previewWindow_ != nullptr;
}

bool CShowVideoThread::SetRotation(int angle) {
  if (!hasCanvas_) return false;
  return ApplyRotation(angle);
}

void CShowVideoThread::SetAutoDetect(bool on, bool multipleDocuments, float parameter) {
  ApplyAutoDetect(on, multipleDocuments, parameter);
}

void CShowVideoThread::Zoom(bool zoomIn) { SendMessageW(previewWindow_, WM_PREVIEW_SETTING, 5, zoomIn ? 0 : 1); }

void CShowVideoThread::RenderOverlays(CImage* picture) {
  if (canvas_) SendMessageW(canvas_->GetSafeHwnd(), WM_PREVIEW_COPY_OUT, 4, reinterpret_cast<LPARAM>(picture));
}

DWORD WINAPI CShowVideoThread::WindowThreadProc(LPVOID self) {
  static_cast<CShowVideoThread*>(self)->WindowThread();
  return 0;
}

void CShowVideoThread::WindowThread() {
  WNDCLASSW existing;
  if (!GetClassInfoW(nullptr, kWindowClass, &existing)) {
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &CShowVideoThread::StaticWindowProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
  }
  CShowVideoThread* self = this;
  const int width = rectRight_ - rectLeft_, height = rectBottom_ - rectTop_;
  HWND host = nullptr;
  if (parentWindow_) {
    host = CreateWindowExW(0, kWindowClass, kWindowClass, WS_CHILD | WS_VISIBLE, rectLeft_, rectTop_, width, height,
                           parentWindow_, nullptr, nullptr, &self);
    if (!host) {
      CString text;
      text.Format(L"创建视频预览窗口失败，错误码：%d", int(GetLastError()));
      MessageBoxW(nullptr, text, L"", MB_OK);
    } else {
      SetWindowPos(host, nullptr, rectLeft_, rectTop_, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
  } else {
    host = CreateWindowExW(0, kWindowClass, kWindowClass, WS_VISIBLE, rectLeft_, rectTop_, width, height, nullptr,
                           nullptr, nullptr, &self);
    if (host) SetWindowPos(host, nullptr, rectLeft_, rectTop_, width, height, SWP_SHOWWINDOW);
  }
  previewWindow_ = host;
  SetEvent(windowDone_);
  // Without a window there is nothing to run: the thread ends, so nobody waits on it.
  if (!host) return;
  // Not RunThreadLoop: these windows lie inside the main thread's window,
  // whose framework windows' pre-translation may run on that thread only.
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // Later messages find no object behind the window.
  SetWindowLongPtrW(host, 0, 0);
  if (IsWindow(host)) DestroyWindow(host);
  UnregisterClassW(kWindowClass, nullptr);
}

LRESULT CALLBACK CShowVideoThread::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = static_cast<CShowVideoThread*>(vqplatform::WindowObjectFromCreation(hwnd, message, lParam));
  return self ? self->WindowProc(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

void CShowVideoThread::CreateCanvas(HWND host) {
  if (canvas_) return;
  RECT client{};
  GetClientRect(host, &client);
  vqplatform::RegisterStandardControls();
  canvas_ = new CObjectContainer;
  if (!canvas_->CreateEx(0, WC_STATIC, L"", CObjectContainer::kStyle, client, CWnd::FromHandle(host), kCanvasId)) {
    delete canvas_;
    canvas_ = nullptr;
    return;
  }
  hasCanvas_ = true;
}

void CShowVideoThread::FitCanvas(HWND host) {
  if (!canvas_) return;
  RECT client{};
  GetClientRect(host, &client);
  canvas_->MoveWindow(&client, TRUE);
}

LRESULT CShowVideoThread::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateCanvas(hwnd);
      break;
    case WM_DESTROY:
      hasCanvas_ = false;
      if (canvas_ && canvas_->GetSafeHwnd()) canvas_->DestroyWindow();
      delete canvas_;
      canvas_ = nullptr;
      PostQuitMessage(kQuitCode);
      return 0;
    case WM_MOVE:
      if (IsWindowVisible(hwnd)) PostMessageW(hwnd, WM_PAINT, 0, 0);
      break;
    case WM_SIZE:
      FitCanvas(hwnd);
      break;
    case WM_PAINT:
      if (canvas_) ::InvalidateRect(canvas_->GetSafeHwnd(), nullptr, TRUE);
      break;
    case WM_PREVIEW_DBLCLK:
      if (parentWindow_) PostMessageW(parentWindow_, WM_PREVIEW_DBLCLK, 0, 0);
      break;
    case WM_PREVIEW_SETTING:
      if (wParam == 5) {
        if (canvas_) lParam == 0 ? canvas_->ZoomIn() : canvas_->ZoomOut();
        return 0;
      }
      [[fallthrough]];
    default: {
      LRESULT result = 0;
      if (HandlePreviewMessage(message, wParam, lParam, &result)) return result;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}
