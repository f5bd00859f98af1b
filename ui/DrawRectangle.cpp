#include "ui/DrawRectangle.h"

#include <algorithm>
#include <cmath>

#include "platform/display/Cursors.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "ui/TopDlg.h"

namespace {

constexpr COLORREF kLineColour = 0xFF0000;
constexpr COLORREF kHandleFill = 0xFAFAFA;
constexpr int kHandleBox = 21;
constexpr int kHandleSquare = 11;

bool InRect(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT Inflated(RECT r, int by) { return RECT{r.left - by, r.top - by, r.right + by, r.bottom + by}; }

}  // namespace

std::pair<float, float> CDrawRectangle::ImagePoint(int x, int y, float zoom) {
  if (zoom >= 1) return {x / zoom, y / zoom};
  float half = 1.0f / (2 * zoom);
  return {x / zoom + half, y / zoom + half};
}

RECT CDrawRectangle::ClientBounds(float zoom) const {
  if (m_points.empty()) return RECT{0, 0, 0, 0};
  long left = 50000, top = 50000, right = -50000, bottom = -50000;
  for (const auto& [px, py] : m_points) {
    long x = std::lround(px * zoom), y = std::lround(py * zoom);
    left = std::min(left, x), right = std::max(right, x);
    top = std::min(top, y), bottom = std::max(bottom, y);
  }
  return RECT{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right), static_cast<LONG>(bottom)};
}

void CDrawRectangle::ImageBounds(float* left, float* top, float* right, float* bottom) const {
  float l = 50000, t = 50000, r = -50000, b = -50000;
  for (const auto& [px, py] : m_points) {
    l = std::min(l, px), r = std::max(r, px);
    t = std::min(t, py), b = std::max(b, py);
  }
  *left = l, *top = t, *right = r, *bottom = b;
}

bool CDrawRectangle::InHandle(POINT point) const {
  for (const POINT& h : m_handles) {
    RECT box{h.x - kHandleBox / 2, h.y - kHandleBox / 2, h.x + kHandleBox / 2 + 1, h.y + kHandleBox / 2 + 1};
    if (InRect(box, point)) return true;
  }
  return false;
}

void CDrawRectangle::InvalidateBounds(float zoom) {
  if (m_points.size() < 2 || !m_owner) return;
  RECT area = Inflated(ClientBounds(zoom), 20);
  RECT image = m_owner->ImageRect();
  area.left += image.left, area.right += image.left;
  area.top += image.top, area.bottom += image.top;
  m_owner->InvalidateRect(&area, FALSE);
}

void CDrawRectangle::OnLButtonDown(UINT, int x, int y, float zoom) {
  m_dragging = true;
  if (!m_placed) {
    m_points = {ImagePoint(x, y, zoom)};
  } else {
    POINT point{x, y};
    bool active = InHandle(point) || InRect(Inflated(ClientBounds(zoom), 10), point);
    if (active != m_active) {
      m_active = active;
      InvalidateBounds(zoom);
    }
  }
  m_lastX = x, m_lastY = y;
}

void CDrawRectangle::ApplyDrag(int x, int y, float zoom) {
  const float dx = (x - m_lastX) / zoom, dy = (y - m_lastY) / zoom;
  float left, top, right, bottom;
  ImageBounds(&left, &top, &right, &bottom);
  switch (m_grabbed) {
    case kInside: left += dx, right += dx, top += dy, bottom += dy; break;
    case 0: left += dx, top += dy; break;
    case 1: top += dy; break;
    case 2: right += dx, top += dy; break;
    case 3: right += dx; break;
    case 4: right += dx, bottom += dy; break;
    case 5: bottom += dy; break;
    case 6: left += dx, bottom += dy; break;
    case 7: left += dx; break;
    default: return;
  }
  m_points = {{left, top}, {right, bottom}};
}

void CDrawRectangle::OnMouseMove(UINT, int x, int y, float zoom) {
  if (m_dragging && !m_placed && !m_points.empty()) {
    m_points.resize(1);
    m_points.push_back(ImagePoint(x, y, zoom));
    InvalidateBounds(zoom);
  }
  if (m_active && !m_dragging) {
    POINT point{x, y};
    m_grabbed = kNoHandle;
    if (InRect(Inflated(ClientBounds(zoom), 10), point)) m_grabbed = kInside;
    for (size_t i = 0; i < m_handles.size(); ++i) {
      const POINT& h = m_handles[i];
      RECT box{h.x - kHandleBox / 2, h.y - kHandleBox / 2, h.x + kHandleBox / 2 + 1, h.y + kHandleBox / 2 + 1};
      if (InRect(box, point)) m_grabbed = static_cast<int>(i);
    }
  }
  if (m_active) {
    LPCWSTR cursor = nullptr;
    switch (m_grabbed) {
      case kInside: cursor = IDC_SIZEALL; break;
      case 0: case 4: cursor = IDC_SIZENWSE; break;
      case 1: case 5: cursor = IDC_SIZENS; break;
      case 2: case 6: cursor = IDC_SIZENESW; break;
      case 3: case 7: cursor = IDC_SIZEWE; break;
      default: break;
    }
    if (cursor) ::SetCursor(LoadCursorW(nullptr, cursor));
  }
  if (m_dragging && m_active && m_placed) {
    ApplyDrag(x, y, zoom);
    InvalidateBounds(zoom);
  }
  m_lastX = x, m_lastY = y;
}

void CDrawRectangle::OnLButtonUp(UINT, int x, int y, float zoom) {
  if (m_dragging && !m_placed && !m_points.empty()) {
    m_points.resize(1);
    m_points.push_back(ImagePoint(x, y, zoom));
    float left, top, right, bottom;
    ImageBounds(&left, &top, &right, &bottom);
    if (right - left < kMinimumSize) right = left + kMinimumSize;
    if (bottom - top < kMinimumSize) bottom = top + kMinimumSize;
    m_points = {{left, top}, {right, bottom}};
    m_placed = m_active = true;
    InvalidateBounds(zoom);
  }
  m_dragging = false;
  m_lastX = x, m_lastY = y;
}

void CDrawRectangle::DrawHandles(HDC dc, const RECT& b) {
  if (!m_active) return;
  const LONG cx = (b.left + b.right) / 2, cy = (b.top + b.bottom) / 2;
  m_handles = {{b.left, b.top},          {cx, b.top},           {b.right - 1, b.top},   {b.right - 1, cy},
               {b.right - 1, b.bottom - 1}, {cx, b.bottom - 1}, {b.left, b.bottom - 1}, {b.left, cy}};
  HPEN dotted = CreatePen(PS_DOT, 1, kLineColour);
  HGDIOBJ oldPen = SelectObject(dc, dotted);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, b.left, b.top, b.right, b.bottom);
  HPEN solid = CreatePen(PS_SOLID, 3, kLineColour);
  HBRUSH fill = CreateSolidBrush(kHandleFill);
  SelectObject(dc, solid);
  SelectObject(dc, fill);
  for (const POINT& h : m_handles)
    Rectangle(dc, h.x - kHandleSquare / 2, h.y - kHandleSquare / 2, h.x + kHandleSquare / 2 + 1,
              h.y + kHandleSquare / 2 + 1);
  SelectObject(dc, oldPen);
  SelectObject(dc, oldBrush);
  DeleteObject(dotted);
  DeleteObject(solid);
  DeleteObject(fill);
}

void CDrawRectangle::Draw(CDC* dc, int left, int top, int, int, float zoom) {
  if (m_points.size() < 2) return;
  HDC h = dc->GetSafeHdc();
  SetViewportOrgEx(h, left, top, nullptr);
  RECT bounds = ClientBounds(zoom);
  HPEN pen = CreatePen(PS_SOLID, 3, kLineColour);
  HGDIOBJ oldPen = SelectObject(h, pen);
  Rectangle(h, bounds.left, bounds.top, bounds.right, bounds.bottom);
  SelectObject(h, oldPen);
  DeleteObject(pen);
  if (m_placed) DrawHandles(h, bounds);
  SetViewportOrgEx(h, 0, 0, nullptr);
}

void CDrawRectangle::RotatePoints90(RECT image) {
  const float height = static_cast<float>(image.bottom - image.top);
  for (auto& [x, y] : m_points) std::tie(x, y) = std::make_pair(height - 1 - y, x);
}

void CDrawRectangle::RotatePoints270(RECT image) {
  const float width = static_cast<float>(image.right - image.left);
  for (auto& [x, y] : m_points) std::tie(x, y) = std::make_pair(y, width - 1 - x);
}

void CDrawRectangle::RotatePoints180(RECT image) {
  const float width = static_cast<float>(image.right - image.left), height = static_cast<float>(image.bottom - image.top);
  for (auto& [x, y] : m_points) std::tie(x, y) = std::make_pair(width - 1 - x, height - 1 - y);
}
