#include "twain/ShowImageStatic.h"

#include "capture/PreviewMessages.h"
#include "platform/win/SystemMetrics.h"

namespace strenvik {

BEGIN_MESSAGE_MAP(CShowImageStatic, CStatic)
ON_WM_CREATE()
ON_WM_SIZE()
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_WM_MOUSEWHEEL()
ON_WM_LBUTTONDBLCLK()
END_MESSAGE_MAP()

CShowImageStatic::~CShowImageStatic() {
  if (m_memoryDC.GetSafeHdc() && m_initialBitmap) m_memoryDC.SelectObject(m_initialBitmap);
  m_memoryDC.DeleteDC();
  m_memoryBitmap.DeleteObject();
}

int CShowImageStatic::OnCreate(LPCREATESTRUCT) {
  if (Default() == -1) return -1;
  CreateMemoryDC();
  return 0;
}

void CShowImageStatic::PreSubclassWindow() {
  CStatic::PreSubclassWindow();
  if (m_memoryDC.GetSafeHdc()) return;
  CreateMemoryDC();
  CRect client;
  GetClientRect(&client);
  m_client = client;
  m_view.Resize(SIZE_RESTORED, client.Width(), client.Height());
}

void CShowImageStatic::CreateMemoryDC() {
  m_view.SetHost(this);
  CClientDC dc(this);
  if (m_memoryDC.CreateCompatibleDC(&dc)) {
    // Made once, as large as the screen; the control never outgrows it.
    if (m_memoryBitmap.CreateCompatibleBitmap(&dc, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)))
      m_initialBitmap = m_memoryDC.SelectObject(&m_memoryBitmap);
    m_memoryDC.SetStretchBltMode(HALFTONE);
  }
}

void CShowImageStatic::OnSize(UINT type, int cx, int cy) {
  Default();
  m_client = CRect(0, 0, cx, cy);
  m_view.Resize(type, cx, cy);
}

void CShowImageStatic::OnPaint() {
  CPaintDC dc(this);
  if (!m_memoryDC.GetSafeHdc()) return;
  CBrush background(RGB(243, 243, 243));
  CBrush* oldBrush = m_memoryDC.SelectObject(&background);
  m_memoryDC.Rectangle(&m_client);
  m_memoryDC.SelectObject(oldBrush);
  m_view.Paint(&m_memoryDC);
  dc.BitBlt(0, 0, m_client.Width(), m_client.Height(), &m_memoryDC, 0, 0, SRCCOPY);
}

void CShowImageStatic::OnLButtonDown(UINT flags, CPoint point) {
  m_view.OnLButtonDown(flags, point.x, point.y);
  SetCapture(m_hWnd);
  // The wheel messages go to the window with the focus.
  SetFocus();
  Default();
}

void CShowImageStatic::OnLButtonUp(UINT flags, CPoint point) {
  m_view.OnLButtonUp(flags, point.x, point.y);
  ReleaseCapture();
  Default();
}

void CShowImageStatic::OnMouseMove(UINT flags, CPoint point) {
  m_view.OnMouseMove(flags, point.x, point.y);
  Default();
}

BOOL CShowImageStatic::OnMouseWheel(UINT flags, short delta, CPoint point) {
  CRect screen = m_client;
  ClientToScreen(&screen);
  if (screen.PtInRect(point)) m_view.OnMouseWheel(flags, delta, point.x, point.y);
  return static_cast<BOOL>(Default());
}

void CShowImageStatic::OnLButtonDblClk(UINT, CPoint) {
  m_view.HideOverlay();
  if (HWND parent = ::GetParent(m_hWnd)) ::PostMessageW(parent, WM_PREVIEW_DBLCLK, 0, 0);
  Default();
}

}  // namespace strenvik
