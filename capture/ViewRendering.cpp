#include "capture/ViewRendering.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace vqcapture {
namespace {

cv::Rect ToCv(const RECT& r) { return cv::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

}  // namespace

bool DrawPart(const cv::Mat& picture, const PartBlit& blit, cv::Mat& view) {
  const cv::Rect from = ToCv(blit.picture), to = ToCv(blit.target);
  if (from.empty() || to.empty()) return true;
  if ((from & cv::Rect(0, 0, picture.cols, picture.rows)) != from) return false;
  const cv::Rect shown = to & cv::Rect(0, 0, view.cols, view.rows);
  if (shown.empty()) return true;
  if (blit.halftone) {
    if (shown == to) {
      cv::resize(picture(from), view(to), to.size(), 0, 0, cv::INTER_AREA);
    } else {
      cv::Mat scaled;
      cv::resize(picture(from), scaled, to.size(), 0, 0, cv::INTER_AREA);
      scaled(shown - to.tl()).copyTo(view(shown));
    }
    return true;
  }
  // Nearest pixel: target offset i shows picture offset i * from / to.
  std::vector<int> columns(size_t(shown.width));
  for (int x = 0; x < shown.width; ++x)
    columns[size_t(x)] = from.x + int(int64_t(shown.x - to.x + x) * from.width / to.width);
  for (int y = 0; y < shown.height; ++y) {
    const cv::Vec3b* source = picture.ptr<cv::Vec3b>(from.y + int(int64_t(shown.y - to.y + y) * from.height / to.height));
    cv::Vec3b* target = view.ptr<cv::Vec3b>(shown.y + y) + shown.x;
    for (int x = 0; x < shown.width; ++x) target[x] = source[columns[size_t(x)]];
  }
  return true;
}

}  // namespace vqcapture

namespace vqcapture {

cv::Mat WrapImage(CImage& image) {
  return cv::Mat(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetBits(), size_t(image.GetPitch()));
}

void CopyImagePixels(CImage& from, CImage& to, int x, int y, int width, int height) {
  if (from.IsNull() || to.IsNull()) return;
  cv::Rect source(0, 0, std::min(width, from.GetWidth()), std::min(height, from.GetHeight()));
  cv::Rect target = cv::Rect(x, y, source.width, source.height) & cv::Rect(0, 0, to.GetWidth(), to.GetHeight());
  if (target.empty()) return;
  source = cv::Rect(target.x - x, target.y - y, target.width, target.height);
  WrapImage(from)(source).copyTo(WrapImage(to)(target));
}

void RenderWholePicture(CImage& picture, float zoom, CImage& view, CImage& clean) {
  if (view.IsNull() || picture.IsNull()) return;
  PartBlit whole;
  whole.picture = RECT{0, 0, picture.GetWidth(), picture.GetHeight()};
  whole.target = RECT{0, 0, ScaledLength(picture.GetWidth(), zoom), ScaledLength(picture.GetHeight(), zoom)};
  whole.halftone = zoom <= 1;
  cv::Mat target = WrapImage(view);
  DrawPart(WrapImage(picture), whole, target);
  CopyImagePixels(view, clean, 0, 0, whole.target.right, whole.target.bottom);
}

bool RenderScaledPart(CImage& picture, const RECT& part, float zoom, POINT at, CImage& view) {
  if (part.right <= part.left || part.bottom <= part.top) return true;
  cv::Mat target = WrapImage(view);
  return DrawPart(WrapImage(picture), BlitForPart(part, zoom, at), target);
}

bool ScrollRendered(CImage& picture, const RECT& oldSource, const RECT& newSource, float zoom, CImage& view,
                    CImage& clean) {
  if (!IsZoomStep(zoom) || picture.IsNull() || view.IsNull()) return false;
  const RECT& s = oldSource;
  const int width = s.right - s.left, height = s.bottom - s.top;
  const int dx = s.left - newSource.left, dy = s.top - newSource.top;
  CopyImagePixels(clean, view, dx, dy, width, height);
  if (dx > 0) RenderScaledPart(picture, RECT{s.left - dx, s.top - dy, s.left, s.bottom - dy}, zoom, POINT{0, 0}, view);
  if (dx < 0)
    RenderScaledPart(picture, RECT{s.right, s.top - dy, s.right - dx, s.bottom - dy}, zoom, POINT{width + dx, 0}, view);
  if (dy > 0) RenderScaledPart(picture, RECT{s.left - dx, s.top - dy, s.right - dx, s.top}, zoom, POINT{0, 0}, view);
  if (dy < 0)
    RenderScaledPart(picture, RECT{s.left - dx, s.bottom, s.right - dx, s.bottom - dy}, zoom, POINT{0, height + dy},
                     view);
  CopyImagePixels(view, clean, 0, 0, width, height);
  return true;
}

}  // namespace vqcapture
