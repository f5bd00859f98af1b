#include "capture/WaterMarkObject.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "capture/TurnedPicture.h"
#include "capture/ViewGeometry.h"
#include "imaging/CvCompat.h"
#include "imaging/NarrowPath.h"
#include "imaging/PictureFile.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/GdiObjectClasses.h"
#include "platform/win/Clock.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMargin = 10;           // around text marks, on every side
constexpr BYTE kSwissPitch = 0x20;    // FF_SWISS | DEFAULT_PITCH
constexpr int kHandleRadius = 5;      // corner circles are 11 x 11

bool IsTextKind(int kind) {
  return kind == CWaterMarkObject::kText || kind == CWaterMarkObject::kDateTime ||
         kind == CWaterMarkObject::kDateTimeAndText;
}

// The mark's font: "Arial" of the parameters' height, regular.
bool CreateMarkFont(CFont* font, int height) {
  return font->CreateFont(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 0, 0, 0, kSwissPitch, L"Arial");
}

SIZE TextExtent(const CString& text, int height) {
  CDC dc;
  CFont font;
  if (!dc.CreateCompatibleDC(nullptr) || !CreateMarkFont(&font, height)) return SIZE{0, 0};
  CFont* old = dc.SelectObject(&font);
  CSize extent = dc.GetTextExtent(text);
  dc.SelectObject(old);
  return extent;
}

cv::Mat Scaled(const cv::Mat& picture, float s) {
  return cvcompat::Guarded(cv::Mat(), [&] {
    cv::Mat scaled;
    cv::resize(picture, scaled, cv::Size(), s, s, cv::INTER_LINEAR);
    return scaled;
  });
}

double Degrees(float radians) { return radians * 180.0 / kPi; }

}  // namespace

CWaterMarkObject::CWaterMarkObject() { m_placed = true; }

CString CWaterMarkObject::BuildText() const {
  if (m_params.kind == kText) return m_params.text;
  if (m_params.kind != kDateTime && m_params.kind != kDateTimeAndText) return CString();
  SYSTEMTIME now{};
  GetLocalTime(&now);
  CString text;
  text.Format(L"%04d/%02d/%02d-%02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
  if (m_params.kind == kDateTimeAndText) text += L"  " + m_params.text;
  return text;
}

SIZE CWaterMarkObject::MeasureContent() {
  if (IsTextKind(m_params.kind)) return TextExtent(m_text, m_params.fontHeight);
  if (m_params.kind != kImageFile) return SIZE{0, 0};
  // A path that does not fit is not loaded: the mark then has no content.
  std::string path;
  m_image = vq::NarrowPath(m_params.text, &path) ? vq::ReadPictureFileAsColour(path) : cv::Mat();
  return SIZE{m_image.cols, m_image.rows};
}

void CWaterMarkObject::SetParams(WaterMarkParams params) {
  m_params = std::move(params);
  m_text = BuildText();
  SIZE size = MeasureContent();
  if (size.cx == 0 || size.cy == 0) return;
  if (IsTextKind(m_params.kind)) size.cx += 2 * kMargin, size.cy += 2 * kMargin;
  const RECT& r = m_params.rect;
  const int left = (r.left + r.right) / 2 - size.cx / 2, top = (r.top + r.bottom) / 2 - size.cy / 2;
  const int right = left + size.cx, bottom = top + size.cy;
  m_points = {cv::Point2f(float(left), float(top)), cv::Point2f(float(right), float(top)),
              cv::Point2f(float(right), float(bottom)), cv::Point2f(float(left), float(bottom))};
  m_placed = true;
  TurnPoints(cv::Point2f(float((left + right) / 2), float((top + bottom) / 2)), m_params.angle);
  m_renderedAngle = static_cast<float>(m_params.angle - kPi);  // the next drawing renders anew
}

WaterMarkParams CWaterMarkObject::GetParams() {
  m_params.rect = GetRect();
  return m_params;
}

void CWaterMarkObject::TurnPoints(cv::Point2f centre, float angle) {
  const double c = std::cos(angle), s = std::sin(angle);
  for (cv::Point2f& p : m_points) {
    const double dx = p.x - centre.x, dy = p.y - centre.y;
    p = cv::Point2f(static_cast<float>(dx * c - dy * s + centre.x), static_cast<float>(dx * s + dy * c + centre.y));
  }
}

// ---- Rendering and drawing ----

void CWaterMarkObject::RenderContent(float s) {
  if (std::fabs(m_renderedScale - s) < 0.01f && std::fabs(m_renderedAngle - m_params.angle) < 0.01f &&
      (!IsTextKind(m_params.kind) || m_text == m_renderedText))
    return;
  if (m_params.kind == kImageFile && !m_image.empty())
    RenderImage(s);
  else if (IsTextKind(m_params.kind))
    RenderText(s);
  m_renderedScale = s;
  m_renderedAngle = m_params.angle;
  m_renderedText = m_text;
}

void CWaterMarkObject::RenderImage(float s) {
  cv::Mat turned, mask;
  cvcompat::Guarded(false, [&] {
    vqcapture::TurnInSquare(m_image, -Degrees(m_params.angle), cv::Scalar(), &turned, &mask);
    return true;
  });
  m_rendered = Scaled(turned, s);
  m_mask = Scaled(mask, s);
}

void CWaterMarkObject::RenderText(float s) {
  m_mask.release();
  const SIZE extent = TextExtent(m_text, m_params.fontHeight);
  const int d = vqcapture::SquareSide(extent.cx, extent.cy);
  CImage square;
  if (d <= 0 || !square.Create(d, -d, 24)) return;
  // White text on black: the text's pixels become the mask.
  CDC dc;
  dc.Attach(square.GetDC());
  CFont font;
  CreateMarkFont(&font, m_params.fontHeight);
  CBrush black(RGB(0, 0, 0));
  CPen outline(PS_SOLID, 1, RGB(0, 0, 0));
  CBrush* oldBrush = dc.SelectObject(&black);
  CPen* oldPen = dc.SelectObject(&outline);
  CFont* oldFont = dc.SelectObject(&font);
  dc.Rectangle(0, 0, d, d);
  dc.SetTextColor(RGB(255, 255, 255));
  dc.SetBkMode(TRANSPARENT);
  dc.TextOut((d - extent.cx) / 2, (d - extent.cy) / 2, m_text);
  dc.SelectObject(oldFont);
  dc.SelectObject(oldPen);
  dc.SelectObject(oldBrush);
  dc.Detach();
  square.ReleaseDC();
  cv::Mat grey;
  cv::cvtColor(cv::Mat(d, d, CV_8UC3, square.GetBits(), size_t(square.GetPitch())), grey, cv::COLOR_BGR2GRAY);
  m_mask = Scaled(cvcompat::Guarded(cv::Mat(), [&] { return vqcapture::TurnSquare(grey, -Degrees(m_params.angle)); }),
                  s);
}

void CWaterMarkObject::Draw(CImage* target, RECT view, float s) {
  if (!target || target->IsNull() || target->GetBPP() != 24) return;
  const CRect b = ScaledBounds(s);
  if (b.Width() == 0 || b.Height() == 0) return;
  const double keep = std::clamp(m_params.transparency / 100.0, 0.0, 1.0);  // weight of the old pixel
  m_text = BuildText();  // a time mark shows the time of this drawing
  RenderContent(s);
  if (m_params.kind == kImageFile && !m_image.empty() && !m_mask.empty()) {
    vqcapture::LayCovered(m_rendered, m_mask, target, b.left - (m_rendered.cols - b.Width()) / 2 - view.left,
                          b.top - (m_rendered.rows - b.Height()) / 2 - view.top, keep);
  } else if (IsTextKind(m_params.kind) && !m_mask.empty()) {
    const CPoint c = b.CenterPoint();
    const RECT destination{c.x - m_mask.cols / 2, c.y - m_mask.rows / 2, c.x - m_mask.cols / 2 + m_mask.cols,
                           c.y - m_mask.rows / 2 + m_mask.rows};
    BlendMaskColor(m_mask, target, view, destination, m_params.color, keep);
  }
  DrawHandlesOnto(target, view, s);
}

void CWaterMarkObject::DrawHandles(CDC* dc, float s) {
  if (!m_selected || !dc) return;
  RebuildHandlePoints(s);
  if (m_handlePoints.empty()) return;
  CPen pen(PS_SOLID, 1, m_color);
  CPen* oldPen = dc->SelectObject(&pen);
  CGdiObject* oldBrush = dc->SelectStockObject(WHITE_BRUSH);
  dc->MoveTo(m_handlePoints.back());
  for (POINT h : m_handlePoints) dc->LineTo(h);
  for (POINT h : m_handlePoints)
    dc->Ellipse(h.x - kHandleRadius, h.y - kHandleRadius, h.x + kHandleRadius + 1, h.y + kHandleRadius + 1);
  dc->SelectObject(oldPen);
  dc->SelectObject(static_cast<HGDIOBJ>(oldBrush ? oldBrush->m_hObject : nullptr));
}

// ---- Mouse ----

void CWaterMarkObject::RebuildHandlePoints(float s) {
  m_handlePoints.clear();
  for (const cv::Point2f& p : m_points)
    m_handlePoints.push_back(POINT{vqcapture::RoundHalfAway(double(p.x) * s), vqcapture::RoundHalfAway(double(p.y) * s)});
}

bool CWaterMarkObject::OnLButtonDown(UINT, int x, int y, float s) {
  m_buttonDown = true;
  if (!m_placed) {
    m_points.assign(1, CreationPoint(x, y, s));
  } else {
    RebuildHandlePoints(s);
    m_selected = PointInPolygon(x, y, m_handlePoints);
    for (POINT h : m_handlePoints) m_selected = m_selected || InHandleSquare(h, x, y);
  }
  m_last = POINT{x, y};
  return m_selected;
}

void CWaterMarkObject::OnLButtonUp(UINT, int x, int y, float s) { ReleaseWithoutMinimum(x, y, s); }

void CWaterMarkObject::ShowGrabCursor() const {
  // The body and the corners alike: a corner turns, it does not resize.
  if (m_grabbed != kGrabNothing) SetCursor(LoadCursor(nullptr, IDC_SIZEALL));
}

void CWaterMarkObject::DragHandle(float s, int lastX, int lastY, int x, int y, int grabbed) {
  if (grabbed == kGrabBody) {
    const cv::Point2f d(static_cast<float>((x - lastX) / double(s)), static_cast<float>((y - lastY) / double(s)));
    for (cv::Point2f& p : m_points) p += d;
    return;
  }
  if (grabbed < 0 || grabbed >= static_cast<int>(m_points.size())) return;
  cv::Point2f c(0, 0);
  for (const cv::Point2f& p : m_points) c += p;
  c *= 1.0f / static_cast<float>(m_points.size());
  const double before = std::atan2(lastY / double(s) - c.y, lastX / double(s) - c.x);
  const double after = std::atan2(y / double(s) - c.y, x / double(s) - c.x);
  const float turn = static_cast<float>(after - before);
  m_params.angle += turn;
  TurnPoints(c, turn);
}

// ---- Free functions ----

void BlendMaskColor(const cv::Mat& mask, CImage* target, RECT view, RECT destination, COLORREF colour,
                    double weight) {
  if (!target || target->IsNull() || target->GetBPP() != 24 || mask.type() != CV_8UC1) return;
  const double ink[3] = {double((colour >> 16) & 0xFF), double((colour >> 8) & 0xFF), double(colour & 0xFF)};
  BYTE* bits = static_cast<BYTE*>(target->GetBits());
  for (int i = 0; i < mask.rows; ++i) {
    const int y = destination.top + i - view.top;
    if (y < 0 || y >= target->GetHeight()) continue;
    const BYTE* m = mask.ptr<BYTE>(i);
    BYTE* row = bits + ptrdiff_t(y) * target->GetPitch();
    for (int j = 0; j < mask.cols; ++j) {
      const int x = destination.left + j - view.left;
      // Any ink counts fully: the mask's grey levels give no partial weight.
      if (!m[j] || x < 0 || x >= target->GetWidth()) continue;
      for (int c = 0; c < 3; ++c)
        row[x * 3 + c] = static_cast<BYTE>(weight * row[x * 3 + c] + (1 - weight) * ink[c]);
    }
  }
}

bool PointInPolygon(int x, int y, const std::vector<POINT>& points) {
  bool inside = false;
  const size_t n = points.size();
  for (size_t i = 0; i < n; ++i) {
    const POINT& a = points[i];
    const POINT& b = points[(i + 1) % n];
    if (a.y == b.y || y < std::min(a.y, b.y) || y >= std::max(a.y, b.y)) continue;
    const double crossing = double(b.x - a.x) * (y - a.y) / double(b.y - a.y) + a.x;
    if (x < crossing) inside = !inside;
  }
  return inside;
}
