#include "ui/ThumbItem.h"

#include <cmath>
#include <string>

#include "app/BrandingData.h"
#include "platform/mfc/CImageDraw.h"
#include "platform/display/Cursors.h"
#include "platform/win/BitmapResources.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/Shell.h"

namespace {

const CBrandingData* g_branding = nullptr;

void Line(HDC dc, COLORREF colour, POINT from, POINT to) {
  HPEN pen = CreatePen(PS_SOLID, 1, colour);
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, from.x, from.y, nullptr);
  LineTo(dc, to.x, to.y);
  SelectObject(dc, old);
  DeleteObject(pen);
}

}  // namespace

CThumbItem::CThumbItem(int id) : m_id(id) {}

CThumbItem::~CThumbItem() = default;

void CThumbItem::SetBrandingData(const CBrandingData* branding) { g_branding = branding; }

bool CThumbItem::Init(UINT message, int id, int left, int top, int right, int bottom, CWnd* parent, bool frame) {
  m_message = message;
  m_id = id;
  m_rect.SetRect(left, top, right, bottom);
  m_parent = parent;
  m_frame = frame;
  return true;
}

CRect ThumbPictureRect(const CRect& item, double width, double height) {
  const int W = item.Width(), H = item.Height();
  const CPoint centre((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  CRect target;
  if (W / width > H / height) {
    int half = static_cast<int>(std::trunc((H / height) * width / 2.0));
    target.SetRect(centre.x - half, item.top + 1, centre.x + half, item.bottom - 1);
  } else {
    int half = static_cast<int>(std::trunc((W / width) * height / 2.0));
    target.SetRect(item.left + 1, centre.y - half, item.right - 1, centre.y + half);
  }
  target.DeflateRect(1, 1);
  return target;
}

void DrawThumbFrame(HDC target, const CRect& item, bool hover, bool selected, bool frame) {
  COLORREF topLeft, bottomRight;
  if (hover && !selected) {
    topLeft = RGB(255, 255, 255);
    bottomRight = RGB(0, 0, 0);
  } else if (selected && hover) {
    topLeft = RGB(0, 0, 0);
    bottomRight = RGB(255, 255, 255);
  } else if (frame) {
    topLeft = bottomRight = RGB(128, 128, 128);
  } else {
    return;
  }
  const POINT bottomLeft{item.left, item.bottom - 1}, topLeftPoint{item.left, item.top};
  const POINT topRight{item.right - 1, item.top}, bottomRightPoint{item.right - 1, item.bottom - 1};
  Line(target, topLeft, bottomLeft, topLeftPoint);
  Line(target, topLeft, topLeftPoint, topRight);
  Line(target, bottomRight, bottomLeft, bottomRightPoint);
  Line(target, bottomRight, bottomRightPoint, POINT{topRight.x, topRight.y - 1});
}

bool CThumbItem::LoadFile(const CString& path) {
  Destroy();
  CImage source;
  if (FAILED(source.Load(path)) || source.IsNull()) return false;
  const int W = m_rect.Width(), H = m_rect.Height();
  if (W <= 0 || H <= 0) return false;
  const CRect target = ThumbPictureRect(m_rect, source.GetWidth(), source.GetHeight());
  if (target.Width() <= 0 || target.Height() <= 0) return false;
  if (!Create(target.Width(), target.Height(), 24)) return false;
  HDC dc = vqplatform::GetImageDC(*this);
  SetStretchBltMode(dc, HALFTONE);
  vqplatform::DrawImage(source, dc, 0, 0, target.Width(), target.Height(), 0, 0, source.GetWidth(),
                        source.GetHeight());
  vqplatform::ReleaseImageDC(*this);
  m_filePath = path;
  return true;
}

bool LoadBitmapResourceInto(CImage* image, UINT id) {
  image->Destroy();
  vqplatform::BitmapPixels pixels;
  if (!vqplatform::FindBitmapResource(id, &pixels)) return false;
  if (!image->Create(pixels.width, -pixels.height, 24)) return false;
  for (int y = 0; y < pixels.height; ++y)
    for (int x = 0; x < pixels.width; ++x) {
      const uint8_t* p = &pixels.bgr[(static_cast<size_t>(y) * static_cast<size_t>(pixels.width) + static_cast<size_t>(x)) * 3];
      image->SetPixel(x, y, RGB(p[2], p[1], p[0]));
    }
  return true;
}

bool CThumbItem::SetBitmapResource(UINT id) { return LoadBitmapResourceInto(this, id); }

void CThumbItem::Clear() {
  Destroy();
  m_filePath.Empty();
  m_index = -1;
}

void CThumbItem::Draw(CDC* dc) {
  HDC target = dc->GetSafeHdc();
  if (HasPicture()) {
    if (m_index >= 0) {
      std::wstring number = std::to_wstring(m_index + 1);
      HDC own = vqplatform::GetImageDC(*this);
      TextOutW(own, 0, 0, number.c_str(), static_cast<int>(number.size()));
      vqplatform::ReleaseImageDC(*this);
    }
    const int cx = (m_rect.left + m_rect.right) / 2, cy = (m_rect.top + m_rect.bottom) / 2;
    vqplatform::DrawImage(*this, target, cx - GetWidth() / 2 + 1, cy - GetHeight() / 2 + 1);
  }
  DrawThumbFrame(target, m_rect, m_hover, m_selected, m_frame);
}

void CThumbItem::Redraw() {
  if (!m_parent || !m_parent->GetSafeHwnd()) return;
  CRect area = m_rect;
  area.InflateRect(3, 3);
  m_parent->InvalidateRect(area, TRUE);
}

void CThumbItem::ResetState() {
  m_hover = m_selected = false;
  Redraw();
}

void CThumbItem::Notify(LPARAM what) {
  if (m_parent && m_parent->GetSafeHwnd())
    m_parent->PostMessage(m_message, static_cast<WPARAM>(m_id), what);
}

void CThumbItem::SetHandCursor() { ::SetCursor(LoadCursorW(nullptr, IDC_HAND)); }

bool CThumbItem::OnLButtonDown(UINT, int x, int y) {
  if (IgnoresMouse() || !HasPicture()) return false;
  if (Inside(x, y)) {
    m_selected = true;
    Redraw();
    return true;
  }
  m_selected = false;
  return false;
}

bool CThumbItem::OnLButtonUp(UINT, int x, int y) {
  if (IgnoresMouse() || !HasPicture() || m_filePath.IsEmpty() || !m_selected) return false;
  m_selected = m_hover = false;
  Redraw();
  if (!Inside(x, y)) return false;
  Notify(kThumbOpened);
  ShellExecuteW(m_parent ? m_parent->GetSafeHwnd() : nullptr, L"open", m_filePath, nullptr, nullptr,
                SW_SHOWMAXIMIZED);
  return true;
}

bool CThumbItem::OnRButtonDown(UINT, int x, int y) {
  if (IgnoresMouse() || m_filePath.IsEmpty() || !HasPicture() || !Inside(x, y)) return false;
  Notify(kThumbContextMenu);
  return true;
}

bool CThumbItem::OnMouseMove(UINT, int x, int y) {
  if (IgnoresMouse() || !HasPicture() || m_filePath.IsEmpty()) return false;
  if (Inside(x, y)) {
    SetHandCursor();
    if (!m_hover) {
      m_hover = true;
      Redraw();
    }
    return true;
  }
  if (m_hover) {
    m_hover = false;
    Redraw();
  }
  return false;
}

bool CThumbItem::SetHandCursorIfHit(UINT, int x, int y) {
  if (!Inside(x, y)) return false;
  SetHandCursor();
  return true;
}

bool CThumbItem::OpenLinkIfHit(UINT, int x, int y) {
  if (!Inside(x, y)) return false;
  if (g_branding && !g_branding->linkTarget.IsEmpty())
    ShellExecuteW(nullptr, nullptr, g_branding->linkTarget, nullptr, nullptr, SW_SHOWNORMAL);
  return true;
}
