#include "scene/PrintedPage.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace vqscene {

namespace {

constexpr double kMarginShare = 0.08;
// The lens sees 60 degrees across the frame's width.
constexpr double kHalfField = 30.0 * CV_PI / 180.0;

// The corners of a sheet of `size` (top left, top right, bottom right,
// bottom left) about the origin, its top lifted `tilt` degrees toward the
// camera about its middle line, then turned by `angle` degrees. Flat, the
// sheet lies where one of its pixels is one of the frame's.
std::vector<cv::Point2f> SeenCorners(cv::Size2f size, cv::Size frame, float angle, float tilt) {
  const double focal = frame.width / (2.0 * std::tan(kHalfField));
  const double t = tilt * CV_PI / 180.0, a = angle * CV_PI / 180.0;
  const double u[4] = {-0.5, 0.5, 0.5, -0.5}, v[4] = {-0.5, -0.5, 0.5, 0.5};
  std::vector<cv::Point2f> corners;
  for (int i = 0; i < 4; ++i) {
    const double x = u[i] * size.width, down = v[i] * size.height;
    // The top (down < 0) comes nearer the lens and looks larger.
    const double depth = focal + down * std::sin(t), scale = focal / depth;
    const double px = x * scale, py = down * std::cos(t) * scale;
    corners.emplace_back(static_cast<float>(px * std::cos(a) - py * std::sin(a)),
                         static_cast<float>(px * std::sin(a) + py * std::cos(a)));
  }
  return corners;
}

cv::Rect2f Bounds(const std::vector<cv::Point2f>& points) {
  float left = points[0].x, right = left, top = points[0].y, bottom = top;
  for (const cv::Point2f& p : points) {
    left = std::min(left, p.x), right = std::max(right, p.x);
    top = std::min(top, p.y), bottom = std::max(bottom, p.y);
  }
  return {left, top, right - left, bottom - top};
}

}  // namespace

PrintedText SetChineseParagraphs(CjkTextRenderer& renderer, cv::Size size, int em, const std::u32string& pool,
                                 cv::RNG& rng) {
  PrintedText page;
  page.print = cv::Mat(size, CV_8U, cv::Scalar::all(255));
  if (pool.empty() || em <= 0) return page;
  const int pitch = em + std::max(1, em / 10);
  const int lineSpacing = em * 17 / 10;
  const cv::Point corner(static_cast<int>(kMarginShare * size.width), static_cast<int>(kMarginShare * size.height));
  const int perLine = (size.width - 2 * corner.x) / pitch;
  if (perLine < 4) return page;
  int lineInParagraph = 0, paragraphLength = rng.uniform(3, 9);
  for (int y = corner.y; y + em <= size.height - corner.y; y += lineSpacing) {
    const bool first = lineInParagraph == 0, last = ++lineInParagraph == paragraphLength;
    const int indent = first ? 2 : 0;
    const int count = last ? rng.uniform(indent + 1, perLine) : perLine;
    std::u32string line;
    for (int i = indent; i < count; ++i) line.push_back(pool[rng.uniform(0, static_cast<int>(pool.size()))]);
    renderer.DrawLine(page.print, line, {corner.x + indent * pitch, y}, em, pitch);
    page.text += line;
    if (last) {
      lineInParagraph = 0;
      paragraphLength = rng.uniform(3, 9);
    }
  }
  return page;
}

cv::Mat SetEnglishParagraphs(CjkTextRenderer& renderer, cv::Size size, int em, cv::RNG& rng) {
  static const char* const kWords[] = {
      "the",    "camera", "page",  "document", "reads",   "light",  "paper",   "under",  "office", "system",
      "quickly", "before", "white", "table",    "of",      "and",    "morning", "printed", "letter", "with",
      "history", "a",      "is",    "to",       "in",      "report", "figure",  "budget", "meeting", "Monday",
      "we",     "were",   "sent",  "every",    "question", "by",     "you",     "for",    "That",   "Which"};
  cv::Mat print(size, CV_8U, cv::Scalar::all(255));
  const int left = static_cast<int>(kMarginShare * size.width), right = size.width - left;
  const int lineSpacing = em * 3 / 2;
  int lineInParagraph = 0, paragraphLength = rng.uniform(3, 9);
  for (int baseline = static_cast<int>(kMarginShare * size.height) + em;
       baseline <= size.height - static_cast<int>(kMarginShare * size.height); baseline += lineSpacing) {
    const bool last = ++lineInParagraph == paragraphLength;
    const int end = last ? left + static_cast<int>(rng.uniform(0.3, 0.9) * (right - left)) : right;
    int x = left;
    while (true) {
      const std::string word = kWords[rng.uniform(0, static_cast<int>(std::size(kWords)))];
      const std::u32string codes(word.begin(), word.end());
      // Measure on a scratch row first: a word that would cross the margin ends the line.
      cv::Mat scratch(1, 1, CV_8U);
      const int width = renderer.DrawProportional(scratch, codes, {0, -em}, em) + em / 3;
      if (x + width > end) break;
      x = renderer.DrawProportional(print, codes, {x, baseline}, em) + em / 3;
    }
    if (last) {
      lineInParagraph = 0;
      paragraphLength = rng.uniform(3, 9);
    }
  }
  return print;
}

Scene PhotographedSheet(const cv::Mat& print, cv::Size frame, float angle, const DeskLight& light,
                        std::uint64_t seed, float tilt, int supersample) {
  Scene scene = EmptyDesk(frame, seed);
  cv::RNG rng(seed);
  const float fine = static_cast<float>(std::max(1, supersample));
  const cv::Size2f sheetSize(static_cast<float>(print.cols) / fine, static_cast<float>(print.rows) / fine);
  const std::vector<cv::Point2f> seen = SeenCorners(sheetSize, frame, angle, tilt);
  const cv::Rect2f box = tilt == 0.0f ? cv::RotatedRect({0, 0}, sheetSize, angle).boundingRect2f() : Bounds(seen);
  const float slackX = std::max(0.0f, frame.width - box.width) / 3, slackY = std::max(0.0f, frame.height - box.height) / 3;
  const cv::Point2f centre(frame.width / 2.0f + static_cast<float>(rng.uniform(-1.0, 1.0)) * slackX,
                           frame.height / 2.0f + static_cast<float>(rng.uniform(-1.0, 1.0)) * slackY);
  Sheet sheet = PlaceSheet(centre, sheetSize, angle, rng.next());
  sheet.print = print;
  if (tilt != 0.0f) {
    // The box's middle goes where a flat sheet's centre would.
    const cv::Point2f shift = centre - cv::Point2f(box.x + box.width / 2, box.y + box.height / 2);
    for (const cv::Point2f& p : seen) sheet.corners.push_back(p + shift);
    sheet.rect = cv::minAreaRect(sheet.corners);
  }
  scene.sheets.push_back(sheet);
  if (light.shadow) {
    // A wedge over one corner of the frame reaching a third to half into the sheet.
    const int corner = rng.uniform(0, 4);
    const float w = static_cast<float>(frame.width), h = static_cast<float>(frame.height);
    const cv::Point2f at(corner % 2 ? w + 50 : -50, corner / 2 ? h + 50 : -50);
    const float reachX = static_cast<float>(rng.uniform(0.35, 0.6)) * w, reachY = static_cast<float>(rng.uniform(0.35, 0.6)) * h;
    const cv::Point2f alongX(corner % 2 ? -reachX : reachX, 0), alongY(0, corner / 2 ? -reachY : reachY);
    scene.overheadShadows.push_back({at, at + alongX, at + alongY});
  }
  scene.vignetting = light.vignetting;
  scene.exposure = light.exposure;
  scene.blurSigma = light.blur;
  scene.noiseSigma = light.noise;
  scene.noiseSeed = rng.next();
  return scene;
}

int EditDistance(const std::u32string& truth, const std::u32string& read) {
  std::vector<int> previous(read.size() + 1), current(read.size() + 1);
  for (size_t j = 0; j <= read.size(); ++j) previous[j] = static_cast<int>(j);
  for (size_t i = 1; i <= truth.size(); ++i) {
    current[0] = static_cast<int>(i);
    for (size_t j = 1; j <= read.size(); ++j)
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (truth[i - 1] != read[j - 1])});
    std::swap(previous, current);
  }
  return previous[read.size()];
}

CharacterKind KindOf(char32_t c) {
  if ((c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z')) return CharacterKind::kLatin;
  if ((c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)) return CharacterKind::kChinese;
  return CharacterKind::kOther;
}

std::u32string OfKind(const std::u32string& text, CharacterKind kind) {
  std::u32string kept;
  std::copy_if(text.begin(), text.end(), std::back_inserter(kept), [&](char32_t c) { return KindOf(c) == kind; });
  return kept;
}

double KindAccuracy(const std::u32string& truth, const std::u32string& read, CharacterKind kind) {
  const std::u32string t = OfKind(truth, kind), r = OfKind(read, kind);
  if (t.empty()) return -1.0;
  return 1.0 - static_cast<double>(EditDistance(t, r)) / static_cast<double>(t.size());
}

cv::Size SheetPixels(cv::Size frame, bool lying) {
  const double shorter = 0.9 * std::min(frame.width, frame.height);
  const double longer = std::min(0.9 * std::max(frame.width, frame.height), shorter * 1.414);
  // Upright: the long side across the frame's short side.
  const int across = static_cast<int>(lying ? longer : shorter / 1.414);
  const int down = static_cast<int>(lying ? longer / 1.414 : shorter);
  return {across, down};
}

}  // namespace vqscene
