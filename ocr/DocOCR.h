#pragma once
// Page recognition: a page image becomes GBK text. Text blocks (lines) are
// found, each is cut into candidate glyph cells that the engine reads, the
// best sequence of cells gives the line's text, and the blocks are joined in
// reading order: six spaces between blocks on one line, CR LF otherwise.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

#include "ocr/LineBox.h"
#include "ocr/OCRCandidate.h"

class COCREngine;

// Progress of a page: fraction 0..1 and a GBK message valid during the call.
// A non-zero result cancels the recognition.
using OCRProgressCallback = int (*)(double fraction, const char* message);

struct OCRTextBlock {
  std::string text;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class CDocOCR {
 public:
  CDocOCR() = default;
  virtual ~CDocOCR() { Clear(); }
  CDocOCR(const CDocOCR&) = delete;
  CDocOCR& operator=(const CDocOCR&) = delete;

  // Lets the engine go.
  void Clear();
  // Loads the model into a new engine; on failure prints the load-failure
  // text and keeps no engine.
  bool Initialize(const char* modelPath);
  // Looked at before each step of a page and before each block: true
  // stops the recognition as a non-zero progress result does, keeping the
  // blocks read so far. Called on the recognising thread.
  void SetStopCheck(std::function<bool()> stopRequested) { stopRequested_ = std::move(stopRequested); }
  // An 8-bit page with one or three (BGR) channels; `pageIsBinary` states it
  // already holds black ink (0) on white (255). True with the page's text; on
  // false the text is untouched, or empty when no block was found.
  bool Recognize(cv::Mat page, std::string* text, OCRProgressCallback progress, bool pageIsBinary);

  // The steps, in the order Recognize takes them.
  // `lineSkew`, when given, receives the turn of the page's lines
  // (EstimateLineSkew).
  bool RecognizeBlocks(cv::Mat page, std::vector<OCRTextBlock>* blocks, OCRProgressCallback progress,
                       bool pageIsBinary, double* lineSkew = nullptr);
  // blockImage: 8-bit, ink non-zero; greyBlock: the same size, ink bright.
  // `textHeight`, the page's print height where measured, keeps a glyph
  // from being taken lower than most of it (a line whose glyphs fall apart
  // into dots and strokes).
  bool RecognizeTextLine(cv::Mat blockImage, std::string* text, cv::Mat greyBlock, int textHeight = 0);
  void SegmentLine(cv::Mat blockImage, std::vector<OCRCandidate>* candidates, cv::Mat greyBlock,
                   int textHeight = 0);
  bool RecognizeGlyph(int count, cv::Mat glyph, std::string* labels, std::vector<double>* distances);

 private:
  // A line's glyphs are at least this share of the page's print high.
  static constexpr double kLeastGlyphShare = 0.8;
  // Readings asked of the engine for every cell.
  static constexpr int kReadingsPerCell = 4;
  // A run whose best reading is this far off may be glyphs that touch; it
  // is cut into no more than this many pieces.
  static constexpr double kTouchingDistance = 0.25;
  // Any distance (place included) a reading may have and still be taken.
  static constexpr double kRejectAllowance = 1.0;
  static constexpr size_t kMaxPieces = 5;
  // Readings ranked by their place on the line are rejected this much later:
  // a Chinese glyph a little off its place is still read.
  static constexpr double kPlaceAllowance = 0.03;
  // A letter or sign within a wider cell read as a Chinese character this
  // close reads no closer than that character plus the margin.
  static constexpr double kCoverDistance = 0.25;
  static constexpr double kCoverMargin = 0.05;
  // A whole Chinese glyph read no further than this is taken, as if read
  // the margin closer than the reject distance.
  static constexpr double kPoorGlyphDistance = 0.45;
  static constexpr double kPoorGlyphMargin = 0.01;
  // A cell whose ink is fainter than this share of the line's glyphs' is
  // noise.
  static constexpr double kFaintShare = 0.5;
  // A sign with this much blank around it, in glyph boxes, is full-width.
  static constexpr double kFullWidthBlank = 0.5;
  // The cell's readings without repeated labels, best first; false when the
  // engine cannot read it.
  bool ReadCell(const cv::Mat& glyph, CellReadings* cell);
  bool StopRequested() const { return stopRequested_ && stopRequested_(); }

  double rejectDistance_ = 0.32;  // a glyph read at this distance or more is a space
  int candidatesPerGlyph_ = 1;
  int thresholdOffset_ = 25;      // C of both adaptive thresholds
  COCREngine* engine_ = nullptr;
  std::function<bool()> stopRequested_;
};

// Blocks of a binary line image (ink 0) with the pixels of the binary page
// image inside each, inverted and masked to the block's outline; with the
// print's height given, a table's rules are taken out of both first
// (FindRules). Marks are
// widened to three times their width; with the print's height given, marks
// not lower than a speck reach at least about half of it to either side.
void DetectTextBlocks(cv::Mat lineImage, cv::Mat pageImage, std::vector<cv::Mat>* blockImages,
                      std::vector<cv::Rect>* blockRectangles, int textHeight = 0);
// Darkens strokes narrow in at least one of four directions against the
// nearest pair of samples `radius` pixels apart; background stays 255.
void StrokeFilter(cv::Mat grey, int radius, cv::Mat* result);
// Keeps of a sharpened page's line image (ink 0) only the marks that are
// print: those within a pixel of the page image's ink (when `nearPrint`),
// and not smaller than `leastArea` pixels. Sharpened grain is neither.
void KeepPrintedLineMarks(const cv::Mat& pageImage, bool nearPrint, double leastArea, cv::Mat* lineImage);
// a may come before b in reading order (not a strict order: sort it only
// with OCRList::MergeSort).
bool CompareReadingOrder(const OCRTextBlock& a, const OCRTextBlock& b);
// Sorts the blocks into reading order (ReadingOrder: column by column where
// the page has columns) and joins their texts; false (text
// empty) when there is no block. On a page whose lines are turned by
// `lineSkew` degrees the order and the line breaks are judged on the blocks
// turned level (LevelTextBlock).
bool JoinTextBlocks(const std::vector<OCRTextBlock>& blocks, std::string* text, double lineSkew = 0.0);

// The turn of the text lines in degrees (positive: they fall to the right),
// from the long blocks' ink (8-bit, ink non-zero), weighted by their width;
// 0 when the lines are level within half a degree or no block is long.
double EstimateLineSkew(const std::vector<cv::Mat>& blockImages);
// The block's rectangle on the page turned back by `skew` degrees about the
// page's origin: a band along the turned line becomes a level one of its own
// length and thickness.
OCRTextBlock LevelTextBlock(const OCRTextBlock& block, double skew);
