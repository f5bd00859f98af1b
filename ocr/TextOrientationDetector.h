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
//
// Latin letters read as Chinese glyphs too: most of them at distances up to
// 0.32, and some closely in two turns (T as 丁 upright and as 上 upside
// down). So a mark reads as a glyph only below kGlyphDistance, where the
// product model puts nearly every Chinese glyph in its right turn and few
// letters; it votes only when no other turn reads as a glyph; and a page is
// decided only while at least half of its marks read as glyphs, which holds
// on Chinese text and not on Latin text. The page is given up as soon as
// the marks that do not read as glyphs outnumber those that do by
// kNotTextMargin.
class COrientationVote {
 public:
  using Distances = std::array<double, 4>;
  static constexpr double kGlyphDistance = 0.2;
  static constexpr double kAmbiguityRatio = 0.85;
  static constexpr double kSureRatio = 0.4;
  static constexpr int kVoteCount = 5;
  static constexpr int kNotTextMargin = 10;

  // What the best turn of a mark reads as: a Chinese character; a letter,
  // digit or sign, which votes even where another turn reads as a glyph
  // too (an "e" turned over reads as an "a", worse) but never decides
  // alone; or one that reads as itself or another when turned ("n" and
  // "u", "o"), which does not vote.
  enum class Mark { kCharacter, kLetter, kTurnAlike };
  static constexpr double kLetterRatio = 0.5;

  // Adds one mark; true when the vote is over (a decisive mark, enough
  // accepted marks, or a page that is not text), after which further marks
  // must not be added.
  bool Add(const Distances& d, Mark mark = Mark::kCharacter);
  // The decided angle; false when no mark decided and none was accepted, or
  // when fewer than half of the marks read as glyphs.
  bool Result(int* angle) const;
  int Accepted() const { return accepted_; }

 private:
  bool ReadsAsText() const { return 2 * glyphs_ >= examined_; }

  Distances sums_{};
  int accepted_ = 0;
  int decisive_ = -1;
  int examined_ = 0;
  int glyphs_ = 0;  // marks whose best turn reads as a glyph
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
