#include "capture/ShowVideoImpl.h"

#include "platform/win/Controls.h"

namespace {
constexpr UINT kCanvasId = 0xFFFF;
}  // namespace

CShowVideoImpl::CShowVideoImpl() = default;

CShowVideoImpl::~CShowVideoImpl() {
  StopWorker();
  CloseEvents();
  if (GetSafeHwnd()) DestroyWindow();
}

bool CShowVideoImpl::Create(HWND parent, int left, int top, int right, int bottom) {
  BeginCreate(parent, left, top, right, bottom);
  StartWorker();
  const RECT rect{left, top, right, bottom};
  vqplatform::RegisterStandardControls();
  CreateEx(0, WC_STATIC, L"", CObjectContainer::kStyle, rect, CWnd::FromHandle(parent), kCanvasId);
  previewWindow_ = GetSafeHwnd();
  return previewWindow_ != nullptr;
}

bool CShowVideoImpl::SetRotation(int angle) { return ApplyRotation(angle); }

void CShowVideoImpl::SetAutoDetect(bool on, bool multipleDocuments, float parameter) {
  ApplyAutoDetect(on, multipleDocuments, parameter);
}

void CShowVideoImpl::Zoom(bool zoomIn) { zoomIn ? ZoomIn() : ZoomOut(); }

LRESULT CShowVideoImpl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  switch (message) {
    case WM_PREVIEW_SETTING:
      if (wParam == 0 || wParam == 1) HandlePreviewMessage(message, wParam, lParam, &result);
      return CObjectContainer::WindowProc(message, wParam, lParam);
    case WM_PREVIEW_REMOVE_OBJECT:
      HandlePreviewMessage(message, wParam, lParam, &result);
      return CObjectContainer::WindowProc(message, wParam, lParam);
    case WM_PREVIEW_DBLCLK:
      return CObjectContainer::WindowProc(message, wParam, lParam);
    default:
      if (HandlePreviewMessage(message, wParam, lParam, &result)) return result;
      return CObjectContainer::WindowProc(message, wParam, lParam);
  }
}
