#include "capture/ViewRendering.h"

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
