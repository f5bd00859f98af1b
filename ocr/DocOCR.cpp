#include "ocr/DocOCR.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "ocr/GlyphRecognition.h"
#include "ocr/OCREngine.h"
#include "ocr/PageFocus.h"
#include "ocr/PageLayout.h"
#include "ocr/PagePictures.h"
#include "ocr/TextHeight.h"

namespace {

// GBK progress texts.
const char kPreprocessing[] = "\xCD\xBC\xCF\xF1\xD4\xA4\xB4\xA6\xC0\xED";  // 图像预处理
// 完成图像预处理，开始字符识别
const char kPreprocessed[] =
    "\xCD\xEA\xB3\xC9\xCD\xBC\xCF\xF1\xD4\xA4\xB4\xA6\xC0\xED\xA3\xAC\xBF\xAA\xCA\xBC\xD7\xD6\xB7\xFB\xCA\xB6\xB1\xF0";
// 字符识别中，识别处理已经完成
const char kRecognising[] =
    "\xD7\xD6\xB7\xFB\xCA\xB6\xB1\xF0\xD6\xD0\xA3\xAC\xCA\xB6\xB1\xF0\xB4\xA6\xC0\xED\xD2\xD1\xBE\xAD\xCD\xEA\xB3\xC9";

constexpr int kPageBlockSize = 51;
constexpr int kLineBlockSize = 11;
constexpr int kStrokeRadius = 5;
constexpr int kMinimumBlockArea = 1024;
// Marks of the line image smaller than this many of the page's own pixels
// are sharpened grain, not print.
constexpr double kGrainSpeckArea = 4.0;
// The marks of a line reach at least this share of the print's height to
// either side, so the blank of a full-width sign does not part its line.
constexpr double kJoiningReach = 0.6;
// A band of marks lower than this share of the print's height along most of
// a line (the dots atop a line of headline glyphs) joins that line when it
// lies within the gap share of it.
constexpr double kThinBand = 0.5;
constexpr double kThinBandGap = 0.3;
// Marks lower than this share of the print's height are specks: they reach
// no further than their own width.
constexpr double kSpeckShare = 0.3;
// Line skew: blocks at least this many times longer than thick tell it;
// turns beyond the maximum are not lines, within the tolerance the page is level.
constexpr double kLongBlockRatio = 4.0;
constexpr double kMaximumLineSkew = 20.0;
constexpr double kLevelTolerance = 0.5;
const char kSameLine[] = "      ";
const char kNextLine[] = "\r\n";

// Bridges each thin band of the widened line image (ink 255; its outlines
// given) to the nearest line above or below it, within the gap, that it runs
// along for at least half of that line's length. True when it bridged any.
bool JoinThinBands(cv::Mat* lines, const cvcompat::ContourList& outlines, int textHeight) {
  // Thin bands at least two glyphs long, and lines.
  std::vector<cv::Rect> thinBands, fullLines;
  for (const auto& outline : outlines) {
    const cv::Rect r = cv::boundingRect(outline);
    if (r.height >= kThinBand * textHeight)
      fullLines.push_back(r);
    else if (r.width >= 2 * textHeight)
      thinBands.push_back(r);
  }
  bool joined = false;
  for (const cv::Rect& thin : thinBands) {
    const cv::Rect* nearest = nullptr;
    int nearestGap = static_cast<int>(kThinBandGap * textHeight) + 1;
    for (const cv::Rect& other : fullLines) {
      const int overlap = std::min(thin.br().x, other.br().x) - std::max(thin.x, other.x);
      // The band runs along most of the line: the dots of its glyphs, not specks.
      if (2 * overlap < other.width) continue;
      const int gap = std::max(other.y - thin.br().y, thin.y - other.br().y);
      if (gap >= 0 && gap < nearestGap) {
        nearest = &other;
        nearestGap = gap;
      }
    }
    if (!nearest) continue;
    const int left = std::max(thin.x, nearest->x), right = std::min(thin.br().x, nearest->br().x);
    const int top = std::min(thin.br().y, nearest->br().y) - 1, bottom = std::max(thin.y, nearest->y) + 1;
    cv::rectangle(*lines, cv::Rect(left, top, right - left, bottom - top), cv::Scalar::all(255), cv::FILLED, cv::LINE_8);
    joined = true;
  }
  return joined;
}

bool Report(OCRProgressCallback progress, double fraction, const char* message) {
  return progress && progress(fraction, message) != 0;
}

}  // namespace

void CDocOCR::Clear() { ReleaseRecognitionEngine(engine_); }

bool CDocOCR::Initialize(const char* modelPath) {
  Clear();
  engine_ = LoadRecognitionEngine(modelPath);
  return engine_ != nullptr;
}

bool CDocOCR::Recognize(cv::Mat page, std::string* text, OCRProgressCallback progress, bool pageIsBinary) {
  if (!engine_ || !text) return false;
  std::vector<OCRTextBlock> blocks;
  double lineSkew = 0.0;
  // OpenCV reports trouble (an odd page type, memory) by throwing.
  if (!cvcompat::Guarded(false, [&] { return RecognizeBlocks(page, &blocks, progress, pageIsBinary, &lineSkew); }))
    return false;
  return JoinTextBlocks(blocks, text, lineSkew);
}

bool CDocOCR::RecognizeBlocks(cv::Mat page, std::vector<OCRTextBlock>* blocks, OCRProgressCallback progress,
                              bool pageIsBinary, double* lineSkew) {
  if (page.empty() || !engine_) return false;
  if (StopRequested() || Report(progress, 0.0, kPreprocessing)) return false;
  cv::Mat grey = page;
  if (page.channels() > 1) cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
  const double offset = thresholdOffset_;
  // The page's focus and noise are measured where they are, before the
  // page is scaled: enlarging joins the noise of neighbouring pixels.
  const PageFocus focus = pageIsBinary ? PageFocus() : MeasurePageFocus(grey);
  // Headlines and small print are read at the size of body text; the
  // blocks keep the page's own coordinates.
  const int textHeight = pageIsBinary ? MeasureTextHeight(255 - grey) : MeasurePrintHeight(grey, kPageBlockSize, offset);
  const double scale = pageIsBinary ? 1.0 : TextScale(textHeight, grey.size());
  if (StopRequested()) return false;
  if (scale != 1.0) cv::resize(grey, grey, cv::Size(), scale, scale, scale < 1.0 ? cv::INTER_AREA : cv::INTER_CUBIC);
  // A photographed page is soft: blurred strokes fall apart in the line
  // image and read badly. Sharpened, it is read like a print; crisp pages
  // stay as they are.
  bool sharpenedPage = false;
  if (!pageIsBinary) {
    cv::Mat sharpened;
    if (SharpenSoftPage(grey, focus, scale, &sharpened)) {
      grey = sharpened;
      sharpenedPage = true;
    }
    // Photographs and dark blocks are not print: read, they would be strays.
    WhitenPictures(&grey, static_cast<int>(textHeight * scale));
  }

  cv::Mat pageImage, lineImage;
  if (pageIsBinary) {
    pageImage = grey.clone();
    lineImage = grey.clone();
  } else {
    cv::adaptiveThreshold(grey, pageImage, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY, kPageBlockSize,
                          offset);
    if (scale > 1.0) {
      // Enlarged small print is too soft for the stroke filter: its glyphs'
      // strokes run together. The page image finds its lines.
      lineImage = pageImage.clone();
    } else {
      cv::Mat strokes;
      StrokeFilter(grey, kStrokeRadius, &strokes);
      cv::adaptiveThreshold(strokes, lineImage, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY,
                            kLineBlockSize, offset);
    }
    // Sharpening raises a soft page's grain as well as its print: the
    // stroke filter's small window takes the grain for strokes, and specks
    // of it would join the lines into blocks. Enlarged small print keeps
    // its dots unless the page has grain.
    if (sharpenedPage && (scale <= 1.0 || HasGrain(focus)))
      KeepPrintedLineMarks(pageImage, scale <= 1.0, kGrainSpeckArea * scale * scale, &lineImage);
  }
  if (StopRequested()) return false;
  std::vector<cv::Mat> blockImages;
  std::vector<cv::Rect> rectangles;
  DetectTextBlocks(lineImage, pageImage, &blockImages, &rectangles, static_cast<int>(textHeight * scale));
  if (lineSkew) *lineSkew = EstimateLineSkew(blockImages);
  if (Report(progress, 0.05, kPreprocessed)) return false;

  blocks->clear();
  const size_t n = blockImages.size();
  for (size_t i = 0; i < n; ++i) {
    if (StopRequested()) return false;
    cv::Mat inkBright;
    cv::subtract(cv::Scalar::all(255), grey(rectangles[i]), inkBright);
    OCRTextBlock block;
    RecognizeTextLine(blockImages[i], &block.text, inkBright, static_cast<int>(textHeight * scale));
    block.x = static_cast<int>(std::lround(rectangles[i].x / scale));
    block.y = static_cast<int>(std::lround(rectangles[i].y / scale));
    block.width = static_cast<int>(std::lround(rectangles[i].width / scale));
    block.height = static_cast<int>(std::lround(rectangles[i].height / scale));
    blocks->push_back(block);
    if (progress) {
      const double fraction = 0.05 + 0.95 * static_cast<double>(i + 1) / static_cast<double>(n);
      char message[128];
      std::snprintf(message, sizeof message, "%s%.3f%%", kRecognising, fraction * 100.0);
      if (progress(fraction, message) != 0) return false;
    }
  }
  return true;
}

bool CompareReadingOrder(const OCRTextBlock& a, const OCRTextBlock& b) {
  const int centreY = a.y + a.height / 2;
  if (centreY < b.y) return true;
  if (centreY > b.y + b.height) return false;
  return a.x + a.width / 2 <= b.x + b.width / 2;
}

bool JoinTextBlocks(const std::vector<OCRTextBlock>& blocks, std::string* text, double lineSkew) {
  std::vector<OCRTextBlock> level;
  for (const OCRTextBlock& block : blocks) level.push_back(lineSkew == 0.0 ? block : LevelTextBlock(block, lineSkew));
  text->clear();
  if (level.empty()) return false;
  const OCRTextBlock* previous = nullptr;
  const std::vector<OCRTextBlock> ordered = ReadingOrder(level);
  for (const OCRTextBlock& block : ordered) {
    // The next column's first line lies above the last one's: a new line.
    const int centre = block.y + block.height / 2;
    if (previous) *text += centre < previous->y + previous->height && centre > previous->y ? kSameLine : kNextLine;
    *text += block.text;
    previous = &block;
  }
  return true;
}

double EstimateLineSkew(const std::vector<cv::Mat>& blockImages) {
  std::vector<std::pair<double, double>> turns;  // (degrees, weight)
  double total = 0.0;
  for (const cv::Mat& block : blockImages) {
    const cv::Moments m = cv::moments(block, true);
    if (m.m00 <= 0.0) continue;
    // The ink's principal axes: a line's long axis at least four times its short one.
    const double spread = std::hypot(m.mu20 - m.mu02, 2.0 * m.mu11);
    const double major = m.mu20 + m.mu02 + spread, minor = m.mu20 + m.mu02 - spread;
    if (minor <= 0.0 || major < kLongBlockRatio * kLongBlockRatio * minor) continue;
    const double degrees = 0.5 * std::atan2(2.0 * m.mu11, m.mu20 - m.mu02) * 180.0 / CV_PI;
    if (std::fabs(degrees) > kMaximumLineSkew) continue;
    turns.emplace_back(degrees, block.cols);
    total += block.cols;
  }
  if (turns.empty()) return 0.0;
  // The weighted median: fragments and odd blocks do not pull it.
  std::sort(turns.begin(), turns.end());
  double seen = 0.0, skew = 0.0;
  for (const auto& [degrees, weight] : turns) {
    skew = degrees;
    if ((seen += weight) >= total / 2) break;
  }
  return std::fabs(skew) < kLevelTolerance ? 0.0 : skew;
}

OCRTextBlock LevelTextBlock(const OCRTextBlock& block, double skew) {
  const double a = skew * CV_PI / 180.0, c = std::cos(a), s = std::sin(a), sa = std::fabs(s);
  const double w = block.width, h = block.height;
  // The turned band of length L and thickness t spans w = L c + t |s| and
  // h = L |s| + t c; solved for L and t, neither below half the shorter side.
  const double det = c * c - sa * sa, floor = 0.5 * std::min(w, h);
  const double length = std::max((w * c - h * sa) / det, floor), thickness = std::max((h * c - w * sa) / det, floor);
  const double cx = block.x + w / 2, cy = block.y + h / 2;
  const double lx = cx * c + cy * s, ly = -cx * s + cy * c;
  OCRTextBlock level = block;
  level.x = static_cast<int>(std::lround(lx - length / 2));
  level.y = static_cast<int>(std::lround(ly - thickness / 2));
  level.width = static_cast<int>(std::lround(length));
  level.height = static_cast<int>(std::lround(thickness));
  return level;
}

void DetectTextBlocks(cv::Mat lineImage, cv::Mat pageImage, std::vector<cv::Mat>* blockImages,
                      std::vector<cv::Rect>* blockRectangles, int textHeight) {
  if (lineImage.empty()) return;
  blockImages->clear();
  cv::Mat lines, inversePage;
  cv::subtract(cv::Scalar::all(255), lineImage, lines);
  cv::subtract(cv::Scalar::all(255), pageImage, inversePage);
  // A table's rules would join its cells into one block and read as glyphs.
  if (const cv::Mat rules = FindRules(inversePage, textHeight); !rules.empty()) {
    lines.setTo(cv::Scalar::all(0), rules);
    inversePage.setTo(cv::Scalar::all(0), rules);
  }

  // Each mark widened to three times its width, or by the reach on either
  // side: the glyphs of a line merge.
  const int reach = static_cast<int>(kJoiningReach * textHeight);
  for (const auto& outline : cvcompat::FindOuterContours(lines)) {
    const cv::Rect r = cv::boundingRect(outline);
    const int side = r.height >= kSpeckShare * textHeight ? std::max(r.width, reach) : r.width;
    cv::rectangle(lines, cv::Rect(r.x - side, r.y, r.width + 2 * side, r.height), cv::Scalar::all(255), cv::FILLED,
                  cv::LINE_8);
  }
  cvcompat::ContourList outlines = cvcompat::FindOuterContours(lines);
  if (textHeight > 0 && JoinThinBands(&lines, outlines, textHeight)) outlines = cvcompat::FindOuterContours(lines);

  const cv::Rect pageArea(0, 0, inversePage.cols, inversePage.rows);
  for (const auto& outline : outlines) {
    const cv::Rect r = cv::boundingRect(outline);
    if (r.area() < kMinimumBlockArea) continue;
    const cv::Rect grown = cv::Rect(r.x - 1, r.y - 1, r.width + 2, r.height + 2) & pageArea;
    if (grown.empty()) continue;
    cv::Mat mask = cv::Mat::zeros(grown.size(), CV_8U);
    cv::drawContours(mask, std::vector<std::vector<cv::Point>>{outline}, 0, cv::Scalar::all(255), cv::FILLED,
                     cv::LINE_8, cv::noArray(), INT_MAX, cv::Point(-grown.x, -grown.y));
    cv::Mat block;
    cv::bitwise_and(inversePage(grown), mask, block);
    blockImages->push_back(block);
    blockRectangles->push_back(grown);
  }
}

void KeepPrintedLineMarks(const cv::Mat& pageImage, bool nearPrint, double leastArea, cv::Mat* lineImage) {
  if (nearPrint) {
    // The page image's ink widened by a pixel (ink is 0): line ink elsewhere goes.
    cv::Mat nearInk;
    cv::erode(pageImage, nearInk, cv::Mat());
    cv::max(*lineImage, nearInk, *lineImage);
  }
  cv::Mat labels, stats, centres;
  const int n = cv::connectedComponentsWithStats(255 - *lineImage, labels, stats, centres, 8, CV_32S);
  std::vector<uint8_t> speck(static_cast<size_t>(n), 0);
  for (int i = 1; i < n; ++i) speck[i] = stats.at<int>(i, cv::CC_STAT_AREA) < leastArea;
  for (int y = 0; y < labels.rows; ++y) {
    const int* label = labels.ptr<int>(y);
    uint8_t* ink = lineImage->ptr<uint8_t>(y);
    for (int x = 0; x < labels.cols; ++x)
      if (speck[label[x]]) ink[x] = 255;
  }
}

void StrokeFilter(cv::Mat grey, int radius, cv::Mat* result) {
  if (grey.empty()) return;
  if (grey.channels() > 1) cv::cvtColor(grey, grey, cv::COLOR_BGR2GRAY);
  cv::Mat inverse;
  cv::subtract(cv::Scalar::all(255), grey, inverse);
  const int m = radius;
  // Samples outside the image read 255, which leaves the minimum alone: the
  // same as skipping the pair.
  cv::Mat padded;
  cv::copyMakeBorder(inverse, padded, m, m, m, m, cv::BORDER_CONSTANT, cv::Scalar::all(255));
  const cv::Rect image(m, m, grey.cols, grey.rows);
  auto shifted = [&](int dx, int dy) { return padded(image + cv::Point(dx, dy)); };

  cv::Mat lowest(grey.size(), CV_8U, cv::Scalar::all(255));
  cv::Mat low(grey.size(), CV_8U), pair(grey.size(), CV_8U);
  static const int kDirections[4][2] = {{1, 0}, {1, -1}, {0, -1}, {-1, -1}};
  for (const auto& d : kDirections) {
    low.setTo(cv::Scalar::all(255));
    for (int k = 0; k < m; ++k) {
      const int back = 1 - m + k, front = 1 + k;
      cv::max(shifted(back * d[0], back * d[1]), shifted(front * d[0], front * d[1]), pair);
      cv::min(low, pair, low);
    }
    // The best direction stands out most: the smallest "low".
    cv::min(lowest, low, lowest);
  }
  // best = max(0, inverse - lowest), then 255 - best; the outermost frame stays 255.
  cv::Mat best;
  cv::subtract(inverse, lowest, best);
  *result = cv::Mat(grey.size(), CV_8U, cv::Scalar::all(255));
  if (grey.rows > 2 && grey.cols > 2) {
    const cv::Rect inner(1, 1, grey.cols - 2, grey.rows - 2);
    cv::Mat target = (*result)(inner);
    cv::subtract(cv::Scalar::all(255), best(inner), target);
  }
}
