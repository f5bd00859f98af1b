#include "scene/Renderer.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace vqscene {
namespace {

using Polygon = std::vector<cv::Point2f>;

constexpr int kShift = 4;  // sub-pixel bits for polygon corners
constexpr float kOne = float(1 << kShift);
constexpr int kShadowReduction = 8;

std::vector<cv::Point> Fixed(const Polygon& polygon, float scale = 1.0f) {
  std::vector<cv::Point> out;
  out.reserve(polygon.size());
  for (const auto& p : polygon) out.emplace_back(cvRound(p.x * scale * kOne), cvRound(p.y * scale * kOne));
  return out;
}

// Dark wood: the base colour with soft streaks along the rows.
cv::Mat Desk(const Scene& scene) {
  cv::RNG rng(scene.seed);
  const cv::Size small(std::max(2, scene.size.width / 160), std::max(2, scene.size.height / 12));
  cv::Mat grain(small, CV_8UC3);
  const cv::Scalar& d = scene.desk;
  rng.fill(grain, cv::RNG::UNIFORM, cv::Scalar(d[0] - 10, d[1] - 10, d[2] - 10),
           cv::Scalar(d[0] + 10, d[1] + 10, d[2] + 10));
  cv::Mat desk;
  cv::resize(grain, desk, scene.size, 0, 0, cv::INTER_LINEAR);
  return desk;
}

// Darkens the frame under the polygons, shifted down and right and softened.
// Only the part of the frame the shadows can reach is touched.
void CastShadows(cv::Mat& frame, const std::vector<Polygon>& casters) {
  if (casters.empty()) return;
  const float side = float(std::min(frame.cols, frame.rows));
  const cv::Point2f offset(0.006f * side, 0.009f * side);
  const double sigma = 0.012 * side;
  Polygon shifted;
  for (const auto& polygon : casters)
    for (const auto& p : polygon) shifted.push_back(p + offset);
  const int reach = int(std::ceil(3 * sigma)) + kShadowReduction;
  cv::Rect area = cv::boundingRect(shifted);
  area = cv::Rect(area.x - reach, area.y - reach, area.width + 2 * reach, area.height + 2 * reach);
  // Align to the reduction grid so the small shade maps onto whole pixels.
  area.x = std::max(0, area.x / kShadowReduction * kShadowReduction);
  area.y = std::max(0, area.y / kShadowReduction * kShadowReduction);
  area &= cv::Rect(0, 0, frame.cols, frame.rows);
  if (area.empty()) return;

  const float reduce = 1.0f / kShadowReduction;
  cv::Mat shade(cv::Size((area.width + kShadowReduction - 1) / kShadowReduction,
                         (area.height + kShadowReduction - 1) / kShadowReduction),
                CV_8U, cv::Scalar(0));
  const cv::Point2f origin(float(area.x), float(area.y));
  for (const auto& polygon : casters) {
    Polygon local;
    for (const auto& p : polygon) local.push_back(p + offset - origin);
    cv::fillConvexPoly(shade, Fixed(local, reduce), cv::Scalar(255), cv::LINE_8, kShift);
  }
  cv::GaussianBlur(shade, shade, cv::Size(), sigma * reduce);
  // factor = 1 - 0.45 * shade, as 8-bit fractions of 255.
  shade.convertTo(shade, CV_8U, -0.45, 255.0);
  cv::resize(shade, shade, area.size(), 0, 0, cv::INTER_LINEAR);
  cv::Mat factor;
  cv::cvtColor(shade, factor, cv::COLOR_GRAY2BGR);
  cv::Mat target = frame(area);
  cv::multiply(target, factor, target, 1.0 / 255.0);
}

// Rows of dark word-like marks inside the sheet's margins.
void WriteText(cv::Mat& frame, const Sheet& sheet) {
  const cv::RotatedRect& r = sheet.rect;
  const float w = r.size.width, h = r.size.height;
  const float letter = std::max(2.0f, 0.016f * std::min(w, h));
  if (w < 20 * letter || h < 10 * letter) return;
  const float a = r.angle * float(CV_PI / 180.0);
  const cv::Point2f ex(std::cos(a), std::sin(a)), ey(-std::sin(a), std::cos(a));
  auto at = [&](float u, float v) { return r.center + ex * u + ey * v; };
  cv::RNG rng(sheet.seed);
  const float left = -w / 2 + 0.09f * w, right = w / 2 - 0.09f * w;
  const float top = -h / 2 + 0.08f * h, bottom = h / 2 - 0.08f * h;
  const float pitch = 2.1f * letter;
  int lineInParagraph = 0, paragraphLength = rng.uniform(4, 10);
  for (float v = top; v + letter <= bottom; v += pitch) {
    const bool lastLine = ++lineInParagraph == paragraphLength;
    const float end = lastLine ? left + float(rng.uniform(0.2, 0.8)) * (right - left) : right;
    for (float u = left; u < end;) {
      const float length = letter * 0.6f * float(rng.uniform(1, 10));
      const float stop = std::min(u + length, end);
      const int ink = rng.uniform(30, 80);
      const Polygon word{at(u, v), at(stop, v), at(stop, v + letter), at(u, v + letter)};
      cv::fillConvexPoly(frame, Fixed(word), cv::Scalar(ink, ink, ink + 5), cv::LINE_8, kShift);
      u = stop + 0.7f * letter;
    }
    if (lastLine) {
      v += pitch;  // blank line between paragraphs
      lineInParagraph = 0;
      paragraphLength = rng.uniform(4, 10);
    }
  }
}

// Ink keeps this share of the paper's light.
constexpr double kInkLight = 0.1;

// Lightens or darkens the frame inside `box` by the factor image (CV_32F, 0..1).
void Light(cv::Mat& frame, const cv::Rect& box, const cv::Mat& lightness) {
  cv::Mat factor;
  cv::cvtColor(lightness, factor, cv::COLOR_GRAY2BGR);
  cv::Mat target = frame(box), lit;
  target.convertTo(lit, CV_32FC3);
  cv::multiply(lit, factor, lit);
  lit.convertTo(target, CV_8UC3);
}

// A print finer than the frame is taken over each frame pixel's area, as a
// sensor does, before it is sampled: `sx` and `sy` are frame pixels per
// print pixel. A print no finer is kept as it is.
cv::Mat OverPixelArea(const cv::Mat& print, double sx, double sy) {
  // A pixel's box has the spread of a Gaussian of sigma sqrt(1/12) pixels.
  constexpr double kBoxSigma = 0.2887;
  if (sx >= 1.0 && sy >= 1.0) return print;
  cv::Mat area;
  cv::GaussianBlur(print, area, cv::Size(), sx < 1.0 ? kBoxSigma / sx : 0.01, sy < 1.0 ? kBoxSigma / sy : 0.01);
  return area;
}

// The printed picture stretched over the sheet: the paper's colour times the
// print's lightness.
void Print(cv::Mat& frame, const Sheet& sheet) {
  const cv::RotatedRect& r = sheet.rect;
  const cv::Rect box = r.boundingRect() & cv::Rect(0, 0, frame.cols, frame.rows);
  if (box.empty() || sheet.print.type() != CV_8UC1) return;
  const double a = r.angle * CV_PI / 180.0, c = std::cos(a), s = std::sin(a);
  const double sx = r.size.width / sheet.print.cols, sy = r.size.height / sheet.print.rows;
  const double w = r.size.width, h = r.size.height;
  // Print pixel (x, y) lands at centre + (x sx - w/2) along the top + (y sy - h/2) down the side.
  const cv::Matx23d toFrame(c * sx, -s * sy, r.center.x - box.x - c * w / 2 + s * h / 2,  //
                            s * sx, c * sy, r.center.y - box.y - s * w / 2 - c * h / 2);
  cv::Mat lightness;
  cv::warpAffine(OverPixelArea(sheet.print, sx, sy), lightness, toFrame, box.size(), cv::INTER_LINEAR,
                 cv::BORDER_CONSTANT, cv::Scalar::all(255));
  lightness.convertTo(lightness, CV_32F, (1.0 - kInkLight) / 255.0, kInkLight);
  Light(frame, box, lightness);
}

// The print through the sheet's perspective corners.
void PrintInPerspective(cv::Mat& frame, const Sheet& sheet) {
  const cv::Rect box = cv::boundingRect(sheet.corners) & cv::Rect(0, 0, frame.cols, frame.rows);
  if (box.empty() || sheet.print.type() != CV_8UC1) return;
  const float w = static_cast<float>(sheet.print.cols), h = static_cast<float>(sheet.print.rows);
  const cv::Point2f from[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  cv::Point2f to[4];
  for (int i = 0; i < 4; ++i) to[i] = sheet.corners[i] - cv::Point2f(static_cast<float>(box.x), static_cast<float>(box.y));
  // The print's scale along the sheet's top edge and down its left side.
  const double sx = cv::norm(sheet.corners[1] - sheet.corners[0]) / w;
  const double sy = cv::norm(sheet.corners[3] - sheet.corners[0]) / h;
  cv::Mat lightness;
  cv::warpPerspective(OverPixelArea(sheet.print, sx, sy), lightness, cv::getPerspectiveTransform(from, to), box.size(),
                      cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar::all(255));
  lightness.convertTo(lightness, CV_32F, (1.0 - kInkLight) / 255.0, kInkLight);
  Light(frame, box, lightness);
}

void DrawSheet(cv::Mat& frame, const Sheet& sheet) {
  cv::fillConvexPoly(frame, Fixed(SheetOutline(sheet)), sheet.paper, cv::LINE_AA, kShift);
  if (!sheet.print.empty() && sheet.corners.size() == 4) PrintInPerspective(frame, sheet);
  else if (!sheet.print.empty()) Print(frame, sheet);
  else if (sheet.text) WriteText(frame, sheet);
}

// Light falls off towards the corners: 1 - v (r / r_corner)^2.
void Vignette(cv::Mat& frame, double v) {
  const double cx = (frame.cols - 1) / 2.0, cy = (frame.rows - 1) / 2.0;
  const double corner2 = cx * cx + cy * cy;
  cv::Mat factor(frame.size(), CV_32F);
  for (int y = 0; y < frame.rows; ++y) {
    float* row = factor.ptr<float>(y);
    const double dy2 = (y - cy) * (y - cy);
    for (int x = 0; x < frame.cols; ++x) row[x] = float(1.0 - v * ((x - cx) * (x - cx) + dy2) / corner2);
  }
  cv::Mat factor3, lit;
  cv::cvtColor(factor, factor3, cv::COLOR_GRAY2BGR);
  frame.convertTo(lit, CV_32FC3);
  cv::multiply(lit, factor3, lit);
  lit.convertTo(frame, CV_8UC3);
}

// The outline of a forearm with a palm and four fingers at its end.
std::vector<Polygon> HandShapes(const Hand& hand) {
  std::vector<Polygon> shapes;
  const cv::Point2f along = hand.palm - hand.entry;
  const float length = float(cv::norm(along));
  if (length < 1.0f) return shapes;
  const cv::Point2f dir = along * (1.0f / length), side(-dir.y, dir.x);
  const float half = hand.width / 2;
  shapes.push_back({hand.entry + side * half, hand.palm + side * half, hand.palm - side * half,
                    hand.entry - side * half});
  auto ellipse = [&](cv::Point2f centre, float longHalf, float shortHalf, cv::Point2f axis) {
    Polygon points;
    const cv::Point2f across(-axis.y, axis.x);
    for (int k = 0; k < 24; ++k) {
      const float t = float(k) * float(CV_PI) / 12.0f;
      points.push_back(centre + axis * (longHalf * std::cos(t)) + across * (shortHalf * std::sin(t)));
    }
    return points;
  };
  shapes.push_back(ellipse(hand.palm + dir * (0.3f * hand.width), 0.7f * hand.width, 0.62f * hand.width, dir));
  for (int finger = 0; finger < 4; ++finger) {
    const float offset = (float(finger) - 1.5f) * 0.3f * hand.width;
    const cv::Point2f base = hand.palm + dir * (0.95f * hand.width) + side * offset;
    shapes.push_back(ellipse(base + dir * (0.35f * hand.width), 0.45f * hand.width, 0.12f * hand.width, dir));
  }
  const cv::Point2f thumbDir = dir * 0.6f + side * 0.8f;
  shapes.push_back(ellipse(hand.palm + side * (0.7f * hand.width) + dir * (0.2f * hand.width),
                           0.4f * hand.width, 0.14f * hand.width, thumbDir * (1.0f / float(cv::norm(thumbDir)))));
  return shapes;
}

// Gaussian noise from a band of rows reused down the frame at shifting offsets.
void AddNoise(cv::Mat& frame, double sigma, std::uint64_t seed) {
  constexpr int kBand = 251, kSlack = 509;
  cv::RNG rng(seed);
  cv::Mat noise(std::min(kBand, frame.rows), frame.cols + kSlack, CV_16SC3);
  rng.fill(noise, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(sigma));
  for (int y = 0; y < frame.rows; y += noise.rows) {
    const int rows = std::min(noise.rows, frame.rows - y);
    const int shift = rng.uniform(0, kSlack);
    cv::Mat band = frame.rowRange(y, y + rows);
    cv::add(band, noise(cv::Rect(shift, 0, frame.cols, rows)), band, cv::noArray(), CV_8U);
  }
}

}  // namespace

cv::Mat RenderScene(const Scene& scene) {
  if (scene.size.width <= 0 || scene.size.height <= 0) return cv::Mat();
  cv::Mat frame = Desk(scene);
  if (scene.shadows) {
    std::vector<Polygon> casters;
    for (const auto& sheet : scene.sheets) casters.push_back(SheetOutline(sheet));
    CastShadows(frame, casters);
  }
  for (const auto& sheet : scene.sheets) DrawSheet(frame, sheet);
  if (scene.hand) {
    const auto shapes = HandShapes(*scene.hand);
    if (scene.shadows) CastShadows(frame, shapes);
    for (const auto& shape : shapes) cv::fillConvexPoly(frame, Fixed(shape), scene.hand->skin, cv::LINE_AA, kShift);
  }
  if (scene.shadows) CastShadows(frame, scene.overheadShadows);
  if (scene.vignetting > 0) Vignette(frame, scene.vignetting);
  if (scene.exposure != 1.0) frame.convertTo(frame, CV_8UC3, scene.exposure);
  if (scene.blurSigma > 0) cv::GaussianBlur(frame, frame, cv::Size(), scene.blurSigma);
  if (scene.noiseSigma > 0) AddNoise(frame, scene.noiseSigma, scene.noiseSeed);
  return frame;
}

}  // namespace vqscene
