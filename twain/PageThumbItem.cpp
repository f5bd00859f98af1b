#include "twain/PageThumbItem.h"

#include <opencv2/imgproc.hpp>

#include "capture/ViewRendering.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/CImageDraw.h"
#include "twain/ShowImageDlg.h"

namespace strenvik {

bool CPageThumbItem::Init(UINT message, int id, int left, int top, int right, int bottom, CWnd* parent, bool frame) {
  m_message = message;
  m_id = id;
  m_rect.SetRect(left, top, right, bottom);
  m_parent = parent;
  m_frame = frame;
  return true;
}

bool CPageThumbItem::SetBitmapResource(UINT id) { return LoadBitmapResourceInto(&m_picture, id); }

bool CPageThumbItem::SetImage(const cv::Mat& page) {
  if (page.empty() || page.channels() != 3 || page.depth() != CV_8U) return false;
  m_picture.Destroy();
  if (m_rect.Width() < 1 || m_rect.Height() < 1) return false;
  m_page = page;
  const CRect target = ThumbPictureRect(m_rect, page.cols, page.rows);
  if (target.Width() <= 0 || target.Height() <= 0) return false;
  if (!m_picture.Create(target.Width(), -target.Height(), 24)) return false;
  cv::Mat picture = vqcapture::WrapImage(m_picture);
  cv::resize(page, picture, picture.size(), 0, 0, cv::INTER_AREA);
  return true;
}

void CPageThumbItem::Clear() {
  m_picture.Destroy();
  m_pathText.Empty();
  m_index = -1;
  m_page.release();
}

void CPageThumbItem::Draw(CDC* dc) {
  if (HasImage()) {
    const int cx = (m_rect.left + m_rect.right) / 2, cy = (m_rect.top + m_rect.bottom) / 2;
    vqplatform::DrawImage(m_picture, dc->GetSafeHdc(), cx - m_picture.GetWidth() / 2 + 1,
                          cy - m_picture.GetHeight() / 2 + 1);
  }
  if (m_index >= 0) {
    CString number;
    number.Format(L" %d ", m_index + 1);
    const CSize size = dc->GetTextExtent(number);
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(RGB(255, 0, 0));
    dc->TextOut(m_rect.left + 15, m_rect.bottom - size.cy - 5, number);
    dc->SetTextColor(oldColour);
    dc->SetBkMode(oldMode);
  }
  DrawThumbFrame(dc->GetSafeHdc(), m_rect, m_hover, m_selected, m_frame);
}

void CPageThumbItem::Redraw(bool erase) {
  if (!m_parent || !m_parent->GetSafeHwnd()) return;
  CRect area = m_rect;
  area.InflateRect(3, 3);
  m_parent->InvalidateRect(area, erase ? TRUE : FALSE);
}

bool CPageThumbItem::OnLButtonDown(UINT, int x, int y) {
  if (IgnoresMouse()) return false;
  if (Inside(x, y)) {
    m_selected = true;
    Redraw(false);
    return true;
  }
  m_selected = false;
  return false;
}

bool CPageThumbItem::OnLButtonUp(UINT, int x, int y) {
  if (IgnoresMouse() || !m_selected) return false;
  m_selected = m_hover = false;
  Redraw(true);
  if (!Inside(x, y)) return false;
  // Owned by the window the item is in, which is disabled meanwhile.
  CShowImageDlg preview(m_parent);
  preview.SetImage(m_page);
  preview.DoModal();
  return true;
}

bool CPageThumbItem::OnRButtonDown(UINT, int x, int y) {
  if (IgnoresMouse() || !Inside(x, y)) return false;
  if (m_parent && m_parent->GetSafeHwnd()) m_parent->PostMessage(m_message, static_cast<WPARAM>(m_id), kContextMenu);
  return true;
}

bool CPageThumbItem::OnMouseMove(UINT, int x, int y) {
  if (IgnoresMouse()) return false;
  if (Inside(x, y)) {
    ::SetCursor(LoadCursorW(nullptr, IDC_HAND));
    if (!m_hover) {
      m_hover = true;
      Redraw(false);
    }
    return true;
  }
  if (m_hover) {
    m_hover = false;
    Redraw(false);
  }
  return false;
}

}  // namespace strenvik
