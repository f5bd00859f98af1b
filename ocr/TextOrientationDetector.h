#pragma once
// Tells how a page is turned: glyph-sized, nearly square marks are read in
// four turns by the classifier, and the turn that reads best decides.
#include <array>
#include <functional>
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
//
// Letters never decide a page alone: the strokes of small Chinese print
// read as letters too, in any turn. Beside a Chinese character's vote they
// count as votes; without one, a page is decided by letters only where
// kLetterVoteCount of them voted, a clear majority of them read best in one
// turn, and the page's lines run the way that turn says (SetLineAxis).
class COrientationVote {
 public:
  using Distances = std::array<double, 4>;
  static constexpr double kGlyphDistance = 0.2;
  static constexpr double kAmbiguityRatio = 0.85;
  static constexpr double kSureRatio = 0.4;
  static constexpr int kVoteCount = 5;
  // Where the marks ran out before kVoteCount votes: fewer votes than this
  // (a lone mark read a little better in one turn) do not decide.
  static constexpr int kLeastVotes = 2;
  static constexpr int kNotTextMargin = 10;
  static constexpr int kLetterVoteCount = 5;
  static constexpr double kLetterMajority = 0.7;

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
  // The way the page's lines run, as LineAxis tells it: 0 along the rows,
  // 90 along the columns, -1 (the default) unknown.
  void SetLineAxis(int axis) { lineAxis_ = axis; }
  // The decided angle; false when no mark decided and fewer than
  // kLeastVotes were accepted, when fewer than half of the marks read as
  // glyphs, or when only letters voted and they do not decide (see above).
  bool Result(int* angle) const;
  int Accepted() const { return accepted_ + letters_; }

 private:
  bool ReadsAsText() const { return 2 * glyphs_ >= examined_; }
  bool LettersDecide(int* angle) const;

  Distances sums_{};        // of the characters' votes
  Distances letterSums_{};  // of the letters' votes
  std::array<int, 4> letterBest_{};  // letters' votes by the turn they read best in
  int accepted_ = 0;  // characters' votes
  int letters_ = 0;   // letters' votes
  int decisive_ = -1;
  int examined_ = 0;
  int glyphs_ = 0;  // marks whose best turn reads as a glyph
  int lineAxis_ = -1;
};

// The way the lines of a page's marks (8-bit, ink non-zero) run: 0 along
// the rows, 90 along the columns, -1 when neither stands out. Lines part
// the rows into bands of ink and blank; along them the ink is even.
int LineAxis(const cv::Mat& marks);

class CTextOrientationDetector {
 public:
  CTextOrientationDetector();
  ~CTextOrientationDetector();
  CTextOrientationDetector(const CTextOrientationDetector&) = delete;
  CTextOrientationDetector& operator=(const CTextOrientationDetector&) = delete;

  // Loads the model into a new engine, dropping one held from before; on
  // failure prints the model-load failure text and holds no engine.
  bool Initialize(const char* modelPath);
  // Marks read in one detection at the most (each in four turns): a page
  // of text decides within far fewer, a picture of fine hatching (a grid
  // of glyph-sized cells, none reading clearly) stays undecided.
  static constexpr int kMaxMarksRead = 300;
  // Pages are looked at no larger than this many pixels on their longer
  // side; a larger one is shrunk by halves.
  static constexpr int kMaxSide = 3000;

  // The counter-clockwise turn (0, 90, 180, 270) that brings the glyphs of
  // an 8-bit page (one, three or four channels) upright; false when it
  // cannot be decided, `*angle` then carries no result. `stopRequested`,
  // when given, is asked before every mark is read: true ends the
  // detection at once, undecided.
  bool Detect(cv::Mat image, int* angle, bool imageIsBinary, const std::function<bool()>& stopRequested = {});
  // The marks the last detection read, at most kMaxMarksRead.
  int MarksRead() const { return marksRead_; }
  bool RecognizeGlyph(int count, cv::Mat glyph, std::string* labels, std::vector<double>* distances);

 private:
  int thresholdOffset_;
  int minimumBoxArea_;
  float minimumAspect_;
  COCREngine* engine_;
  int marksRead_ = 0;
};

// New images turned by a quarter or half turn; every pixel's channel bytes
// are copied unchanged, an empty image gives an empty one.
cv::Mat RotateImage90CounterClockwise(cv::Mat image);
cv::Mat RotateImage180(cv::Mat image);
cv::Mat RotateImage90Clockwise(cv::Mat image);
