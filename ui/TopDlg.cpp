#include "ui/TopDlg.h"

#include <algorithm>

#include "platform/display/Cursors.h"
#include "platform/mfc/CImageDraw.h"
#include "platform/win/DialogTemplate.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiLayered.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/InputFocus.h"

void CTopDlg::RegisterTemplate() {
  static const DialogTemplate dialog{WS_POPUP | WS_VISIBLE, 0, 0, 0, 320, 240, L"", L"", 9, {}};
  vqplatform::RegisterDialogTemplate(static_cast<int>(IDD), &dialog);
}

CTopDlg::CTopDlg(int imageWidth, int imageHeight, CWnd* parent)
    : CDialog(IDD, parent), m_imageWidth(std::max(1, imageWidth)), m_imageHeight(std::max(1, imageHeight)) {}

BOOL CTopDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(m_hWnd, m_colourKey, 128, LWA_COLORKEY | LWA_ALPHA);
  RECT client{};
  GetClientRect(&client);
  OnSize(client.right, client.bottom);
  return TRUE;
}

void CTopDlg::OnSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  m_zoom = std::min({static_cast<float>(width) / m_imageWidth, static_cast<float>(height) / m_imageHeight, 1.0f});
  const int w = static_cast<int>(m_imageWidth * m_zoom), h = static_cast<int>(m_imageHeight * m_zoom);
  m_imageRect = RECT{(width - w) / 2, (height - h) / 2, (width - w) / 2 + w, (height - h) / 2 + h};
  m_selection.SetImageRect(RECT{0, 0, m_imageWidth, m_imageHeight});
  if (m_backBuffer.IsNull() || m_backBuffer.GetWidth() != width || m_backBuffer.GetHeight() != height) {
    m_backBuffer.Destroy();
    m_backBuffer.Create(width, height, 24);
  }
}

void CTopDlg::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(m_hWnd, &paint);
  if (!m_backBuffer.IsNull()) {
    HDC buffer = vqplatform::GetImageDC(m_backBuffer);
    RECT client{};
    GetClientRect(&client);
    HBRUSH brush = CreateSolidBrush(m_background);
    HGDIOBJ oldBrush = SelectObject(buffer, brush);
    HGDIOBJ oldPen = SelectObject(buffer, GetStockObject(NULL_PEN));
    Rectangle(buffer, client.left - 5, client.top - 5, client.right + 5, client.bottom + 5);
    SelectObject(buffer, oldPen);
    // The inside of the selection shows the screen behind at full strength.
    HBRUSH key = CreateSolidBrush(m_colourKey);
    SelectObject(buffer, key);
    m_selection.Draw(CDC::FromHandle(buffer), m_imageRect.left, m_imageRect.top, m_imageRect.right,
                     m_imageRect.bottom, m_zoom);
    SelectObject(buffer, oldBrush);
    DeleteObject(brush);
    DeleteObject(key);
    BitBlt(dc, 0, 0, m_backBuffer.GetWidth(), m_backBuffer.GetHeight(), buffer, 0, 0, SRCCOPY);
    vqplatform::ReleaseImageDC(m_backBuffer);
  }
  EndPaint(m_hWnd, &paint);
}

void CTopDlg::Forward(UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = GET_X_LPARAM(lParam) - m_imageRect.left, y = GET_Y_LPARAM(lParam) - m_imageRect.top;
  const UINT flags = static_cast<UINT>(wParam);
  switch (message) {
    case WM_LBUTTONDOWN: m_selection.OnLButtonDown(flags, x, y, m_zoom); break;
    case WM_LBUTTONUP: m_selection.OnLButtonUp(flags, x, y, m_zoom); break;
    default: m_selection.OnMouseMove(flags, x, y, m_zoom); break;
  }
}

BOOL CTopDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (message) {
    case WM_PAINT: OnPaint(); *result = 0; return TRUE;
    case WM_SIZE: OnSize(LOWORD(lParam), HIWORD(lParam)); break;
    case WM_LBUTTONDOWN:
      Forward(message, wParam, lParam);
      ::SetCapture(m_hWnd);
      *result = 0;
      return TRUE;
    case WM_LBUTTONUP: {
      Forward(message, wParam, lParam);
      ::ReleaseCapture();
      HWND parent = ::GetParent(m_hWnd);
      if (!parent && m_pParentWnd) parent = m_pParentWnd->GetSafeHwnd();
      if (parent) ::PostMessageW(parent, WM_SELECTION_DONE, 0, 0);
      *result = 0;
      return TRUE;
    }
    case WM_MOUSEMOVE:
      ::SetCursor(LoadCursorW(nullptr, m_selection.IsPlaced() ? IDC_ARROW : IDC_CROSS));
      Forward(message, wParam, lParam);
      *result = 0;
      return TRUE;
    default: break;
  }
  return CDialog::OnWndMsg(message, wParam, lParam, result);
}
