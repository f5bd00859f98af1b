#include "ocr/TextOrientationDetector.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "ocr/GlyphRecognition.h"
#include "ocr/TextHeight.h"

namespace {

constexpr int kAngles[4] = {0, 90, 180, 270};
// Columns and rows left out at the left and top edge, where the cut-out
// page tends to keep a strip of its border.
constexpr int kEdgeCut = 30;
constexpr int kMinimumSideForCut = 60;
constexpr int kThresholdBlock = 31;
// Letters: marks this share of the print's height high, this narrow.
constexpr double kLetterSide = 0.5;
// Chinese glyphs: marks at least this share of the print's height on each
// side (print under the least glyph box sets glyphs smaller than it).
constexpr double kGlyphSide = 0.9;
constexpr float kLetterAspect = 0.5f;
// Lines run along the axis whose profile across them varies this many
// times more than the other's.
constexpr double kAxisContrast = 1.5;

// Letters, digits and signs that read as themselves or as one another when
// turned ("n" and "u", "d" and "p", "N" and "Z", "o", "x", "I", "-"). The
// model names them by their full-width forms, GBK row A3 in ASCII's order.
const char kTurnAlike[] = "nudpbqMW69NZzsSoO0xXHIl1|-=.,':";

COrientationVote::Mark KindOfMark(const std::string& label) {
  using Mark = COrientationVote::Mark;
  // GBK rows A1 to A9 hold the signs; characters lie above.
  if (label.size() != 2 || static_cast<uint8_t>(label[0]) >= 0xB0) return Mark::kCharacter;
  if (static_cast<uint8_t>(label[0]) != 0xA3) return Mark::kTurnAlike;
  const char ascii = static_cast<char>(static_cast<uint8_t>(label[1]) - 0x80);
  return std::string(kTurnAlike).find(ascii) == std::string::npos ? Mark::kLetter : Mark::kTurnAlike;
}

cv::Mat Rotated(const cv::Mat& image, int code) {
  cv::Mat turned;
  if (!image.empty()) cv::rotate(image, turned, code);
  return turned;
}

}  // namespace

bool COrientationVote::Add(const Distances& d, Mark mark) {
  int best = 0;
  for (int k = 1; k < 4; ++k)
    if (d[k] < d[best]) best = k;
  const double min = d[best];
  double second = 1.0;
  for (double value : d)
    if (value > min && value - min < second - min) second = value;
  ++examined_;
  if (min >= kGlyphDistance) return examined_ - 2 * glyphs_ >= kNotTextMargin;
  ++glyphs_;
  if (mark == Mark::kTurnAlike) return false;
  if (mark == Mark::kLetter) {
    if (min / second > kLetterRatio) return false;
    for (int k = 0; k < 4; ++k) letterSums_[k] += d[k];
    ++letterBest_[best];
    ++letters_;
    return (accepted_ > 0 && accepted_ + letters_ >= kVoteCount) || letters_ >= kLetterVoteCount;
  }
  // Read as a glyph in two turns, or the best turn does not stand out: no vote.
  if (second < kGlyphDistance || min / second > kAmbiguityRatio) return false;
  if (min / second < kSureRatio && ReadsAsText()) {
    decisive_ = kAngles[best];
    return true;
  }
  for (int k = 0; k < 4; ++k) sums_[k] += d[k];
  ++accepted_;
  return accepted_ + letters_ >= kVoteCount;
}

bool COrientationVote::LettersDecide(int* angle) const {
  if (letters_ < kLetterVoteCount || lineAxis_ < 0) return false;
  int best = 0;
  for (int k = 1; k < 4; ++k)
    if (letterSums_[k] < letterSums_[best]) best = k;
  if (letterBest_[best] < kLetterMajority * letters_ || kAngles[best] % 180 != lineAxis_) return false;
  *angle = kAngles[best];
  return true;
}

bool COrientationVote::Result(int* angle) const {
  if (!ReadsAsText()) return false;
  if (decisive_ >= 0) {
    *angle = decisive_;
    return true;
  }
  if (accepted_ == 0) return LettersDecide(angle);
  if (accepted_ + letters_ < kLeastVotes) return false;
  int best = 0;
  for (int k = 1; k < 4; ++k)
    if (sums_[k] + letterSums_[k] < sums_[best] + letterSums_[best]) best = k;
  *angle = kAngles[best];
  return true;
}

int LineAxis(const cv::Mat& marks) {
  // The ink's box: margins are blank along both axes alike.
  const cv::Rect box = cv::boundingRect(marks);
  if (box.width < 8 || box.height < 8) return -1;
  auto contrast = [&](int dimension) {
    cv::Mat profile;
    cv::reduce(marks(box), profile, dimension, cv::REDUCE_SUM, CV_64F);
    cv::Scalar mean, deviation;
    cv::meanStdDev(profile, mean, deviation);
    return mean[0] > 0.0 ? deviation[0] / mean[0] : 0.0;
  };
  const double rows = contrast(1), columns = contrast(0);
  if (rows > kAxisContrast * columns) return 0;
  if (columns > kAxisContrast * rows) return 90;
  return -1;
}

CTextOrientationDetector::CTextOrientationDetector()
    : thresholdOffset_(18), minimumBoxArea_(22 * 22), minimumAspect_(0.85f), engine_(nullptr) {}

CTextOrientationDetector::~CTextOrientationDetector() { ReleaseRecognitionEngine(engine_); }

bool CTextOrientationDetector::Initialize(const char* modelPath) {
  ReleaseRecognitionEngine(engine_);
  engine_ = LoadRecognitionEngine(modelPath);
  return engine_ != nullptr;
}

bool CTextOrientationDetector::RecognizeGlyph(int count, cv::Mat glyph, std::string* labels,
                                              std::vector<double>* distances) {
  return RecognizeGlyphWith(engine_, count, glyph, labels, distances);
}

bool CTextOrientationDetector::Detect(cv::Mat image, int* angle, bool imageIsBinary,
                                      const std::function<bool()>& stopRequested) {
  *angle = 0;
  marksRead_ = 0;
  if (image.empty() || !engine_ || image.depth() != CV_8U || image.channels() == 2 || image.channels() > 4)
    return false;
  if (stopRequested && stopRequested()) return false;
  while (std::max(image.cols, image.rows) > kMaxSide) cv::resize(image, image, cv::Size(), 0.5, 0.5, cv::INTER_AREA);

  cv::Rect region(0, 0, image.cols, image.rows);
  if (image.cols > kMinimumSideForCut) {
    region.x = kEdgeCut;
    region.width = image.cols - kEdgeCut;
  }
  if (image.rows > kMinimumSideForCut) {
    region.y = kEdgeCut;
    region.height = image.rows - kEdgeCut;
  }
  cv::Mat grey = image(region);
  if (grey.channels() > 1) cv::cvtColor(grey, grey, grey.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);

  // Ink bright in both: the glyphs handed to the engine and the marks.
  const cv::Mat inverted = 255 - grey;
  cv::Mat marks;
  if (imageIsBinary) {
    marks = inverted;
  } else {
    cv::adaptiveThreshold(grey, marks, 255, cv::ADAPTIVE_THRESH_GAUSSIAN_C, cv::THRESH_BINARY, kThresholdBlock,
                          static_cast<double>(thresholdOffset_));
    marks = 255 - marks;
  }

  // Letters are smaller and narrower than Chinese glyphs: marks down to half
  // the print's height, as narrow as letters are, are read too.
  const int textHeight = MeasureTextHeight(marks);
  const int letterSide = static_cast<int>(kLetterSide * textHeight);
  const int leastArea = std::min(minimumBoxArea_, letterSide * letterSide);
  const double glyphSide = kGlyphSide * textHeight;
  const double glyphArea = textHeight > 0 ? std::min<double>(minimumBoxArea_, glyphSide * glyphSide) : minimumBoxArea_;
  const float leastAspect = std::min(minimumAspect_, kLetterAspect);
  COrientationVote vote;
  vote.SetLineAxis(LineAxis(marks));
  std::string labels;
  std::vector<double> distances;
  for (const cvcompat::Contour& outline : cvcompat::FindContourList(marks)) {
    const cv::Rect box = cv::boundingRect(outline);
    if (box.width * box.height < leastArea) continue;
    const float width = static_cast<float>(box.width), height = static_cast<float>(box.height);
    if (width / height < leastAspect || height / width < leastAspect) continue;

    if (stopRequested && stopRequested()) return false;
    if (marksRead_ >= kMaxMarksRead) break;
    ++marksRead_;
    const cv::Mat crop = inverted(box);
    const cv::Mat turns[4] = {crop, RotateImage90CounterClockwise(crop), RotateImage180(crop),
                              RotateImage90Clockwise(crop)};
    COrientationVote::Distances d = {1.0, 1.0, 1.0, 1.0};
    std::string best;
    for (int j = 0; j < 4; ++j) {
      distances.clear();
      if (RecognizeGlyph(1, turns[j], &labels, &distances) && !distances.empty() && distances[0] < d[j]) {
        d[j] = distances[0];
        if (j == 0 || d[j] < *std::min_element(d.begin(), d.begin() + j)) best = labels;
      }
    }
    // A mark smaller or narrower than a Chinese glyph counts only as a letter.
    const bool small = box.width * box.height < glyphArea || width / height < minimumAspect_ ||
                       height / width < minimumAspect_;
    if (small && (*std::min_element(d.begin(), d.end()) >= COrientationVote::kGlyphDistance ||
                  KindOfMark(best) == COrientationVote::Mark::kCharacter))
      continue;
    if (vote.Add(d, KindOfMark(best))) break;
  }
  return vote.Result(angle);
}

cv::Mat RotateImage90CounterClockwise(cv::Mat image) { return Rotated(image, cv::ROTATE_90_COUNTERCLOCKWISE); }
cv::Mat RotateImage180(cv::Mat image) { return Rotated(image, cv::ROTATE_180); }
cv::Mat RotateImage90Clockwise(cv::Mat image) { return Rotated(image, cv::ROTATE_90_CLOCKWISE); }

