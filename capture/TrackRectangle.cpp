#include "capture/TrackRectangle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "capture/ObjectContainer.h"
#include "capture/ViewGeometry.h"
#include "platform/display/Cursors.h"

namespace {

constexpr COLORREF kLayerKey = RGB(100, 100, 100);
constexpr int kHandleReach = 10;  // hit squares are 21 x 21 around a handle centre
constexpr int kHandleHalf = 5;    // drawn squares are 11 x 11

BYTE* Row(CImage& image, int y) { return static_cast<BYTE*>(image.GetBits()) + ptrdiff_t(y) * image.GetPitch(); }

// Blends a 24-bit layer onto a 24-bit target with weight `opacity` percent,
// skipping the layer's key colour: target = trunc(target (1 - a) + layer a).
void BlendLayer(CImage& layer, CImage& target, int opacity) {
  const double a = opacity / 100.0;
  std::array<BYTE, 256 * 256> mix{};
  for (int l = 0; l < 256; ++l)
    for (int t = 0; t < 256; ++t) mix[size_t(l) * 256 + t] = static_cast<BYTE>(std::clamp(t * (1 - a) + l * a, 0.0, 255.0));
  const int width = std::min(layer.GetWidth(), target.GetWidth());
  const int height = std::min(layer.GetHeight(), target.GetHeight());
  for (int y = 0; y < height; ++y) {
    const BYTE* from = Row(layer, y);
    BYTE* to = Row(target, y);
    for (int x = 0; x < width; ++x, from += 3, to += 3) {
      if (from[0] == GetBValue(kLayerKey) && from[1] == GetGValue(kLayerKey) && from[2] == GetRValue(kLayerKey))
        continue;
      for (int c = 0; c < 3; ++c) to[c] = mix[size_t(from[c]) * 256 + to[c]];
    }
  }
}

}  // namespace

CTrackRectangle::CTrackRectangle() { m_lineWidth = 3; }

bool CTrackRectangle::Inside(const RECT& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

bool CTrackRectangle::InHandleSquare(POINT c, int x, int y) {
  return Inside(RECT{c.x - kHandleReach, c.y - kHandleReach, c.x + kHandleReach + 1, c.y + kHandleReach + 1}, x, y);
}

cv::Point2f CTrackRectangle::CreationPoint(int x, int y, float s) {
  const int h = static_cast<int>(0.5 / s);
  return cv::Point2f(static_cast<float>(x / double(s) + h), static_cast<float>(y / double(s) + h));
}

bool CTrackRectangle::OnLButtonDown(UINT, int x, int y, float s) {
  m_buttonDown = true;
  if (!m_placed) {
    m_points.assign(1, CreationPoint(x, y, s));
  } else {
    m_selected = Inside(ScaledBounds(s), x, y);
    for (POINT h : m_handlePoints) m_selected = m_selected || InHandleSquare(h, x, y);
  }
  m_last = POINT{x, y};
  return m_selected;
}

void CTrackRectangle::OnMouseMove(UINT, int x, int y, float s) {
  if (m_selected && !m_buttonDown) {
    m_grabbed = Inside(ScaledBounds(s), x, y) ? kGrabBody : kGrabNothing;
    for (size_t i = 0; i < m_handlePoints.size(); ++i)
      if (InHandleSquare(m_handlePoints[i], x, y)) m_grabbed = static_cast<int>(i);
  }
  if (m_selected) ShowGrabCursor();
  if (!m_placed) SetCursor(LoadCursor(nullptr, IDC_CROSS));
  if (m_buttonDown) {
    if (!m_placed) {
      m_points.resize(1);
      m_points.push_back(CreationPoint(x, y, s));
    } else if (m_selected) {
      if (m_constrained)
        DragHandleConstrained(s, m_last.x, m_last.y, x, y, m_grabbed);
      else
        DragHandle(s, m_last.x, m_last.y, x, y, m_grabbed);
    }
    if (m_points.size() > 1) {
      int moved = std::max(std::abs(x - m_last.x), std::abs(y - m_last.y));
      InvalidateAround(s, std::max(vqcapture::RoundHalfAway(double(m_lineWidth) * s), 5) + moved + 1);
    }
  }
  m_last = POINT{x, y};
}

void CTrackRectangle::OnLButtonUp(UINT, int x, int y, float s) {
  if (m_buttonDown && !m_placed && !m_points.empty()) {
    // The end of drawing: at least the minimum size, in the drag's direction.
    const cv::Point2f f = m_points.front();
    cv::Point2f p = CreationPoint(x, y, s);
    if (std::fabs(f.x - p.x) < kMinimumSize) p.x = p.x > f.x ? f.x + kMinimumSize : f.x - kMinimumSize;
    if (std::fabs(f.y - p.y) < kMinimumSize) p.y = p.y > f.y ? f.y + kMinimumSize : f.y - kMinimumSize;
    m_points.assign({f, p});
    m_placed = true;
    m_selected = true;
  }
  m_buttonDown = false;
  m_last = POINT{x, y};
}

void CTrackRectangle::ReleaseWithoutMinimum(int x, int y, float s) {
  if (m_buttonDown && !m_placed) {
    cv::Point2f p = CreationPoint(x, y, s);
    if (m_points.empty()) m_points.push_back(p);
    m_points.resize(1);
    m_points.push_back(p);
    m_placed = true;
    m_selected = true;
  }
  m_buttonDown = false;
  m_last = POINT{x, y};
}

bool CTrackRectangle::HitTest(int x, int y, float s) {
  // An unplaced rectangle claims the whole canvas while it is drawn.
  if (!m_placed) return true;
  if (!m_selected) return false;
  if (Inside(ScaledBounds(s), x, y)) return true;
  return m_grabbed != kGrabNothing;
}

RECT CTrackRectangle::GetRect() { return ScaledBounds(1.0f); }

void CTrackRectangle::SetRect(int left, int top, int right, int bottom, bool constrained) {
  m_points.assign({cv::Point2f(float(left), float(top)), cv::Point2f(float(right), float(bottom))});
  m_placed = true;
  m_constrained = constrained;
}

void CTrackRectangle::ShowGrabCursor() const {
  LPCWSTR cursor = nullptr;
  switch (m_grabbed) {
    case kGrabBody: cursor = IDC_SIZEALL; break;
    case 0:
    case 4: cursor = IDC_SIZENWSE; break;
    case 1:
    case 5: cursor = IDC_SIZENS; break;
    case 2:
    case 6: cursor = IDC_SIZENESW; break;
    case 3:
    case 7: cursor = IDC_SIZEWE; break;
    default: return;
  }
  SetCursor(LoadCursor(nullptr, cursor));
}

void CTrackRectangle::InvalidateAround(float s, int margin) {
  if (!m_owner) return;
  CRect r = ScaledBounds(s);
  r.InflateRect(margin, margin);
  m_owner->InvalidateImageRect(r);
}

void CTrackRectangle::StoreResized(const FloatBounds& before, FloatBounds after) {
  const float oldWidth = std::fabs(before.maxX - before.minX), oldHeight = std::fabs(before.maxY - before.minY);
  const float width = after.maxX - after.minX, height = after.maxY - after.minY;
  // Smaller than the minimum only when neither side shrinks.
  bool accepted = (width >= kMinimumSize && height > kMinimumSize) ||
                  (std::fabs(width) >= oldWidth && std::fabs(height) >= oldHeight);
  if (!accepted) return;
  m_points.assign({cv::Point2f(after.minX, after.minY), cv::Point2f(after.maxX, after.maxY)});
}

void CTrackRectangle::DragHandle(float s, int lastX, int lastY, int x, int y, int grabbed) {
  if (grabbed == kGrabNothing) return;
  const float dx = static_cast<float>((x - lastX) / double(s)), dy = static_cast<float>((y - lastY) / double(s));
  const FloatBounds before = GetFloatBounds();
  FloatBounds b = before;
  switch (grabbed) {
    case kGrabBody:
      m_points.assign({cv::Point2f(b.minX + dx, b.minY + dy), cv::Point2f(b.maxX + dx, b.maxY + dy)});
      return;
    case 0: b.minX += dx, b.minY += dy; break;
    case 1: b.minY += dy; break;
    case 2: b.maxX += dx, b.minY += dy; break;
    case 3: b.maxX += dx; break;
    case 4: b.maxX += dx, b.maxY += dy; break;
    case 5: b.maxY += dy; break;
    case 6: b.minX += dx, b.maxY += dy; break;
    case 7: b.minX += dx; break;
    default: return;
  }
  StoreResized(before, b);
}

void CTrackRectangle::DragHandleConstrained(float s, int lastX, int lastY, int x, int y, int grabbed) {
  if (grabbed == kGrabNothing) return;
  const float dx = static_cast<float>((x - lastX) / double(s)), dy = static_cast<float>((y - lastY) / double(s));
  const FloatBounds before = GetFloatBounds();
  if (grabbed == kGrabBody) {
    DragHandle(s, lastX, lastY, x, y, grabbed);
    return;
  }
  const float w = std::fabs(before.maxX - before.minX), h = std::fabs(before.maxY - before.minY);
  // Without a width or height there is no ratio to keep: no resize.
  if (w == 0 || h == 0) return;
  FloatBounds b = before;
  switch (grabbed) {
    case 0: b.minX += dx, b.minY += dx * h / w; break;
    case 1: b.minY += dy, b.maxX -= dy * w / h; break;
    case 2: b.maxX += dx, b.minY -= dx * h / w; break;
    case 3:
    case 4: b.maxX += dx, b.maxY += dx * h / w; break;
    case 5: b.maxY += dy, b.maxX += dy * w / h; break;
    case 6:
    case 7: b.minX += dx, b.maxY -= dx * h / w; break;
    default: return;
  }
  StoreResized(before, b);
}

void CTrackRectangle::Draw(CImage* target, RECT view, float s) {
  const int width = view.right - view.left, height = view.bottom - view.top;
  if (!target || target->IsNull() || target->GetBPP() != 24 || width <= 0 || height <= 0) return;
  // A white layer with the rectangle filled in the key colour and framed:
  // blended on, it washes the outside, shows the frame at half strength and
  // leaves the inside untouched.
  CImage layer;
  if (!layer.Create(width, -height, 24)) return;
  for (int y = 0; y < height; ++y) std::fill_n(Row(layer, y), size_t(width) * 3, BYTE{0xFF});
  if (!m_points.empty()) {
    CDC dc;
    dc.Attach(layer.GetDC());
    dc.SetViewportOrg(-view.left, -view.top);
    CPen pen(PS_SOLID, 3, m_color);
    CBrush brush(kLayerKey);
    CPen* oldPen = dc.SelectObject(&pen);
    CBrush* oldBrush = dc.SelectObject(&brush);
    const RECT bounds = ScaledBounds(s);
    dc.Rectangle(&bounds);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
    dc.Detach();
    layer.ReleaseDC();
  }
  BlendLayer(layer, *target, m_opacity);
  DrawHandlesOnto(target, view, s);
}

void CTrackRectangle::DrawHandlesOnto(CImage* target, RECT view, float s) {
  if (!m_selected) return;
  CDC dc;
  dc.Attach(target->GetDC());
  CPoint origin = dc.SetViewportOrg(-view.left, -view.top);
  DrawHandles(&dc, s);
  dc.SetViewportOrg(origin);
  dc.Detach();
  target->ReleaseDC();
}

void CTrackRectangle::DrawHandles(CDC* dc, float s) {
  if (!m_selected || !dc) return;
  const CRect b = ScaledBounds(s);
  const CPoint c = b.CenterPoint();
  m_handlePoints = {POINT{b.left, b.top},          POINT{c.x, b.top},          POINT{b.right - 1, b.top},
                    POINT{b.right - 1, c.y},       POINT{b.right - 1, b.bottom - 1}, POINT{c.x, b.bottom - 1},
                    POINT{b.left, b.bottom - 1},   POINT{b.left, c.y}};
  CPen frame(PS_SOLID, m_lineWidth, m_color);
  CPen* oldPen = dc->SelectObject(&frame);
  CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
  dc->Rectangle(&b);
  CPen thin(PS_SOLID, 1, m_color);
  dc->SelectObject(&thin);
  dc->SelectStockObject(WHITE_BRUSH);
  for (POINT h : m_handlePoints)
    dc->Rectangle(h.x - kHandleHalf, h.y - kHandleHalf, h.x + kHandleHalf + 1, h.y + kHandleHalf + 1);
  dc->SelectObject(oldPen);
  dc->SelectObject(static_cast<HGDIOBJ>(oldBrush ? oldBrush->m_hObject : nullptr));
}
