#pragma once
// Tells how a page is turned: glyph-sized, nearly square marks are read in
// four turns by the classifier, and the turn that reads best decides.
#include <array>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

class COCREngine;

// The decision over the marks' distances in the turns 0, 90, 180, 270,
// fed one mark at a time in the order the marks are found.
class COrientationVote {
 public:
  using Distances = std::array<double, 4>;
  static constexpr double kRejectDistance = 0.32;
  static constexpr double kAmbiguityRatio = 0.85;
  static constexpr double kSureDistance = 0.2;
  static constexpr double kSureRatio = 0.4;
  static constexpr int kVoteCount = 5;

  // Adds one mark; true when the vote is over (a decisive mark, or enough
  // accepted marks), after which further marks must not be added.
  bool Add(const Distances& d);
  // The decided angle; false when no mark decided and none was accepted.
  bool Result(int* angle) const;
  int Accepted() const { return accepted_; }

 private:
  Distances sums_{};
  int accepted_ = 0;
  int decisive_ = -1;
};

class CTextOrientationDetector {
 public:
  CTextOrientationDetector();
  ~CTextOrientationDetector();
  CTextOrientationDetector(const CTextOrientationDetector&) = delete;
  CTextOrientationDetector& operator=(const CTextOrientationDetector&) = delete;

  // Loads the model into a new engine, dropping one held from before; on
  // failure prints the model-load failure text and holds no engine.
  bool Initialize(const char* modelPath);
  // The counter-clockwise turn (0, 90, 180, 270) that brings the glyphs of
  // an 8-bit page (one, three or four channels) upright; false when it
  // cannot be decided, `*angle` then carries no result.
  bool Detect(cv::Mat image, int* angle, bool imageIsBinary);
  bool RecognizeGlyph(int count, cv::Mat glyph, std::string* labels, std::vector<double>* distances);

 private:
  int thresholdOffset_;
  int minimumBoxArea_;
  float minimumAspect_;
  COCREngine* engine_;
};

// New images turned by a quarter or half turn; every pixel's channel bytes
// are copied unchanged, an empty image gives an empty one.
cv::Mat RotateImage90CounterClockwise(cv::Mat image);
cv::Mat RotateImage180(cv::Mat image);
cv::Mat RotateImage90Clockwise(cv::Mat image);
