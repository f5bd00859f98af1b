#include "capture/SubImageBox.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <opencv2/imgproc.hpp>

#include "capture/ObjectContainer.h"
#include "capture/TurnedPicture.h"
#include "capture/ViewGeometry.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr COLORREF kTurnOutline = RGB(0, 255, 0);

// A top-down 24-bit image as a matrix over its pixels.
cv::Mat Wrap(CImage& image) {
  return cv::Mat(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetBits(), size_t(image.GetPitch()));
}

BYTE* PixelOf(CImage& image, int x, int y) {
  return static_cast<BYTE*>(image.GetBits()) + ptrdiff_t(y) * image.GetPitch() + ptrdiff_t(x) * 3;
}

}  // namespace

CSubImageBox::CSubImageBox() {
  m_placed = true;
  m_selected = false;
  m_lineWidth = 5;
  m_grabbed = kGrabNothing;
}

double CSubImageBox::EffectiveTurn(double angle) {
  if (std::fabs(angle) < kPi / 4) return angle;
  return angle > 0 ? angle - kPi / 2 : angle + kPi / 2;
}

CSubImageBox::TurnSquare CSubImageBox::TurnSquareFor(int width, int height) {
  TurnSquare square;
  square.side = vqcapture::SquareSide(width, height);
  square.offset = cv::Point((square.side - width) / 2, (square.side - height) / 2);
  return square;
}

void CSubImageBox::SetSubImage(const BYTE* pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0) return;
  if (m_picture.IsNull() || m_picture.GetWidth() != width || m_picture.GetHeight() != height) {
    m_picture.Destroy();
    if (!m_picture.Create(width, -height, 24)) return;
  }
  const size_t rowBytes = size_t(width) * 3;
  for (int y = 0; y < height; ++y)
    std::memcpy(PixelOf(m_picture, 0, y), pixels + size_t(height - 1 - y) * rowBytes, rowBytes);
  // A box without a place takes the picture's size at the origin.
  if (m_points.empty()) m_points.emplace_back(0.0f, 0.0f);
  if (m_points.size() == 1) m_points.emplace_back(float(width), float(height));
  if (m_points.size() > 1) InvalidateAround(m_lastScale, vqcapture::RoundHalfAway(double(m_lineWidth) * m_lastScale));
}

bool CSubImageBox::OnLButtonDown(UINT, int x, int y, float s) {
  m_buttonDown = true;
  m_selected = Inside(ScaledBounds(s), x, y);
  m_last = POINT{x, y};
  return m_selected;
}

void CSubImageBox::OnMouseMove(UINT, int x, int y, float s) {
  if (m_selected && !m_buttonDown) m_grabbed = Inside(ScaledBounds(s), x, y) ? kGrabBody : kGrabNothing;
  if (m_selected) ShowGrabCursor();
  if (m_buttonDown && m_selected) {
    DragHandle(s, m_last.x, m_last.y, x, y, m_grabbed);
    if (m_points.size() > 1) {
      // Enough to cover the turned outline too.
      const CRect b = ScaledBounds(s);
      InvalidateAround(s, std::max(b.Width(), b.Height()));
    }
  }
  m_last = POINT{x, y};
}

void CSubImageBox::OnLButtonUp(UINT, int x, int y, float s) { ReleaseWithoutMinimum(x, y, s); }

void CSubImageBox::Draw(CImage* target, RECT view, float s) {
  m_lastScale = s;
  if (m_picture.IsNull() || !target || target->IsNull()) return;
  const CRect b = ScaledBounds(s);
  CDC dc;
  dc.Attach(target->GetDC());
  dc.SetStretchBltMode(s > 1 ? COLORONCOLOR : HALFTONE);
  dc.SetViewportOrg(-view.left, -view.top);
  // On screen the picture is never turned; it fills the box.
  m_picture.Draw(dc, b);
  if (m_selected) {
    CPen outline(PS_SOLID, 1, m_color);
    CPen* oldPen = dc.SelectObject(&outline);
    HGDIOBJ oldBrush = dc.SelectObject(GetStockObject(NULL_BRUSH));
    dc.Rectangle(&b);
    dc.SelectObject(oldPen);
    dc.SelectObject(oldBrush);
  }
  if (m_turned) {
    const double a = EffectiveTurn(m_angle);
    const CPoint c = b.CenterPoint();
    const POINT corners[4] = {{b.left, b.top}, {b.right, b.top}, {b.right, b.bottom}, {b.left, b.bottom}};
    POINT turned[4];
    for (int i = 0; i < 4; ++i) {
      const double dx = corners[i].x - c.x, dy = corners[i].y - c.y;
      turned[i] = POINT{static_cast<int>(c.x + dx * std::cos(a) - dy * std::sin(a)),
                        static_cast<int>(c.y + dx * std::sin(a) + dy * std::cos(a))};
    }
    CPen green(PS_SOLID, 3, kTurnOutline);
    CPen* oldPen = dc.SelectObject(&green);
    dc.MoveTo(turned[3]);
    for (POINT p : turned) dc.LineTo(p);
    dc.SelectObject(oldPen);
  }
  dc.Detach();
  target->ReleaseDC();
}

void CSubImageBox::DrawSubImage(CImage* target) {
  if (m_picture.IsNull() || !target || target->IsNull() || target->GetBPP() != 24) return;
  const CRect b = ScaledBounds(1.0f);
  if (!m_turned) {
    CDC dc;
    dc.Attach(target->GetDC());
    dc.SetStretchBltMode(HALFTONE);
    m_picture.Draw(dc, b);
    dc.Detach();
    target->ReleaseDC();
    return;
  }
  // The picture keeps its own size, turned about the box's centre on a
  // white square.
  cv::Mat turned, mask;
  vqcapture::TurnInSquare(Wrap(m_picture), -EffectiveTurn(m_angle) * 180.0 / kPi, cv::Scalar::all(255), &turned,
                          &mask);
  vqcapture::LayCovered(turned, mask, target, b.left - (turned.cols - b.Width()) / 2,
                        b.top - (turned.rows - b.Height()) / 2, 0.0);
}
