#include "ocr/TextLineSegmentation.h"

#include <algorithm>
#include <functional>
#include <utility>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "ocr/DocOCR.h"
#include "ocr/GlyphRecognition.h"
#include "ocr/LineBox.h"
#include "ocr/OCREngine.h"
#include "ocr/OCRLattice.h"
#include "ocr/PrintedWidth.h"
#include "ocr/ShapeChecks.h"

namespace {

// Grey this share of a cell's ink is ink.
constexpr double kMarkShare = 0.5;

std::vector<ColumnRun> FindRuns(const std::vector<int>& profile) {
  std::vector<ColumnRun> runs;
  const int n = static_cast<int>(profile.size());
  for (int c = 0; c < n;) {
    if (profile[c] == 0) {
      ++c;
      continue;
    }
    ColumnRun run{c, c};
    while (run.last + 1 < n && profile[run.last + 1] != 0) ++run.last;
    runs.push_back(run);
    c = run.last + 1;
  }
  return runs;
}

// Ink pixels in each column of a block.
std::vector<int> InkPerColumn(const cv::Mat& blockImage) {
  std::vector<int> ink(static_cast<size_t>(blockImage.cols), 0);
  for (int y = 0; y < blockImage.rows; ++y) {
    const uint8_t* row = blockImage.ptr<uint8_t>(y);
    for (int x = 0; x < blockImage.cols; ++x) ink[x] += row[x] != 0;
  }
  return ink;
}

// The blank columns on either side of a cell up to the nearest ink; a side
// without ink (the line's end) counts as `missing`. A cell ends a column
// before its last ink (the column profile pairs each column with the next).
double BlankAround(const std::vector<int>& ink, const cv::Rect& cell, double missing) {
  const int n = static_cast<int>(ink.size()), end = cell.x + cell.width + 1;
  int before = 0, after = 0;
  for (int x = cell.x - 1; x >= 0 && ink[x] == 0; --x) ++before;
  for (int x = end; x < n && ink[x] == 0; ++x) ++after;
  return (cell.x - before <= 0 ? missing : before) + (end + after >= n ? missing : after);
}

// The ink of a cell's columns from the block's top to the cell's bottom,
// with the marks above the cell that the block leaves out (an "i"'s dot is
// a mark of its own): grey at least half as dark as the cell's ink.
cv::Mat InkWithMarksAbove(const cv::Mat& blockImage, const cv::Mat& greyBlock, const CellReadings& cell) {
  const cv::Rect strip(cell.rect.x, 0, cell.rect.width, cell.rect.br().y);
  cv::Mat ink = blockImage(strip).clone();
  if (greyBlock.size() != blockImage.size() || greyBlock.type() != CV_8UC1 || cell.rect.y == 0) return ink;
  const cv::Rect above(0, 0, strip.width, cell.rect.y);
  ink(above).setTo(cv::Scalar::all(255), greyBlock(above + strip.tl()) > kMarkShare * cell.ink);
  return ink;
}

}  // namespace

bool EstimateGlyphHeight(const cv::Mat& blockImage, int* height) {
  *height = 0;
  if (blockImage.empty()) return false;
  const cvcompat::ContourList outlines = cvcompat::FindOuterContours(blockImage);
  if (outlines.empty()) return false;
  std::vector<int> heights;
  for (const auto& outline : outlines) heights.push_back(cv::boundingRect(outline).height);
  std::sort(heights.begin(), heights.end(), std::greater<int>());
  *height = heights[heights.size() / 8];
  return true;
}

cv::Mat MakeGlyphImage(cv::Mat binaryCrop, cv::Mat greyCrop) {
  if (binaryCrop.empty() || greyCrop.empty()) return cv::Mat();
  if (binaryCrop.channels() > 1) cv::cvtColor(binaryCrop, binaryCrop, cv::COLOR_RGB2GRAY);
  if (greyCrop.channels() > 1) cv::cvtColor(greyCrop, greyCrop, cv::COLOR_RGB2GRAY);
  cv::Mat dilated, glyph;
  cv::dilate(binaryCrop, dilated, cv::Mat());
  cv::bitwise_and(dilated, greyCrop, glyph);
  return glyph;
}

bool CutCell(const cv::Mat& blockImage, const cv::Mat& greyBlock, int first, int last, cv::Rect* cell,
             cv::Mat* glyph) {
  const cv::Mat columns = blockImage.colRange(first, last + 1);
  int top = -1, bottom = -1;
  for (int y = 0; y < columns.rows; ++y)
    if (cv::countNonZero(columns.row(y)) > 0) {
      if (top < 0) top = y;
      bottom = y;
    }
  if (top < 0) return false;
  *cell = cv::Rect(first, top, last - first + 1, bottom - top + 1);
  *glyph = MakeGlyphImage(blockImage(*cell).clone(), greyBlock(*cell).clone());
  return true;
}

std::vector<int> ColumnProfile(const cv::Mat& blockImage) {
  std::vector<int> profile(static_cast<size_t>(blockImage.cols), 0);
  for (int y = 0; y < blockImage.rows; ++y) {
    const uint8_t* row = blockImage.ptr<uint8_t>(y);
    for (int c = 0; c + 1 < blockImage.cols; ++c)
      if (row[c] && row[c + 1]) ++profile[c];
  }
  return profile;
}

std::vector<ColumnRun> SplitRuns(std::vector<int> profile, int maxWidth) {
  for (;;) {
    bool cut = false;
    for (const ColumnRun& run : FindRuns(profile)) {
      if (run.last - run.first + 1 < maxWidth) continue;
      const auto weakest = std::min_element(profile.begin() + run.first, profile.begin() + run.last + 1);
      *weakest = 0;
      cut = true;
    }
    if (!cut) return FindRuns(profile);
  }
}

std::vector<ColumnRun> ThinPieces(const std::vector<int>& profile, ColumnRun run, int thin, size_t maxPieces) {
  std::vector<ColumnRun> pieces;
  int start = run.first;
  for (int c = run.first; c <= run.last;) {
    if (profile[c] > thin) {
      ++c;
      continue;
    }
    int end = c;
    while (end < run.last && profile[end + 1] <= thin) ++end;
    if (end - c + 1 > thin) {
      // A stroke of its own: it parts from what lies on either side.
      if (c > start) pieces.push_back({start, c - 1});
      pieces.push_back({c, end});
      start = end + 1;
    } else if (c > run.first && end < run.last) {
      const int weakest = static_cast<int>(std::min_element(profile.begin() + c, profile.begin() + end + 1) -
                                           profile.begin());
      if (weakest > start) pieces.push_back({start, weakest - 1});
      start = weakest + 1;
    }
    c = end + 1;
  }
  if (start <= run.last) pieces.push_back({start, run.last});
  if (pieces.size() > maxPieces) return {run};
  return pieces;
}

void CDocOCR::SegmentLine(cv::Mat blockImage, std::vector<OCRCandidate>* candidates, cv::Mat greyBlock,
                          int textHeight) {
  int glyphHeight = 0;
  if (blockImage.empty() || !engine_ || !EstimateGlyphHeight(blockImage, &glyphHeight)) return;
  glyphHeight = std::max(glyphHeight, static_cast<int>(kLeastGlyphShare * textHeight));
  const int maxWidth = static_cast<int>(glyphHeight * 1.2);
  const std::vector<int> profile = ColumnProfile(blockImage);
  const std::vector<ColumnRun> runs = SplitRuns(profile, maxWidth);

  // Cells over every sequence of parts not wider than a glyph may be; the
  // index of each part's own cell, or -1.
  std::vector<CellReadings> cells;
  auto addCells = [&](const std::vector<ColumnRun>& parts, const std::function<bool(size_t, size_t)>& wanted) {
    std::vector<int> own(parts.size(), -1);
    for (size_t i = 0; i < parts.size(); ++i)
      for (size_t j = i; j < parts.size(); ++j) {
        if (parts[j].last - parts[i].first + 1 > maxWidth) break;
        if (!wanted(i, j)) continue;
        CellReadings cell;
        cv::Mat glyph;
        if (!CutCell(blockImage, greyBlock, parts[i].first, parts[j].last, &cell.rect, &glyph)) continue;
        cell.ink = cv::mean(greyBlock(cell.rect), blockImage(cell.rect))[0];
        // A cell the engine cannot read has no rectangle or readings to offer.
        if (!ReadCell(glyph, &cell)) continue;
        SettleOpenRounds(blockImage(cell.rect), &cell);
        if (i == j) own[i] = static_cast<int>(cells.size());
        cells.push_back(std::move(cell));
      }
    return own;
  };
  const std::vector<int> runCells = addCells(runs, [](size_t, size_t) { return true; });

  // Where the line's glyphs lie tells readings of one shape apart.
  const GlyphGeometry* geometry = engine_->Geometry();
  LineBox box;
  const bool placed = geometry && EstimateLineBox(cells, *geometry, &box);
  if (placed)
    for (CellReadings& cell : cells) RankByPlace(&cell, *geometry, box);

  // A run read badly may be glyphs that touch: its pieces are read too,
  // unless it lies where a Chinese glyph does (a poor print of one) with no
  // letter or digit beside it.
  const int thin = std::max(2, glyphHeight / 8);
  const size_t readCells = cells.size();
  for (size_t r = 0; r < runs.size(); ++r) {
    if (runCells[r] < 0 || cells[runCells[r]].distances[0] < kTouchingDistance) continue;
    const CellReadings& run = cells[runCells[r]];
    if (placed && IsWholeCharacter(run, *geometry, box, kRejectAllowance) &&
        !BesideLetter(cells, run.rect, *geometry, box))
      continue;
    const std::vector<ColumnRun> pieces = ThinPieces(profile, runs[r], thin, kMaxPieces);
    if (pieces.size() > 1) addCells(pieces, [&](size_t i, size_t j) { return i > 0 || j + 1 < pieces.size(); });
  }
  if (placed) {
    for (size_t c = readCells; c < cells.size(); ++c) RankByPlace(&cells[c], *geometry, box);
    // After the line box is set: an "i" cell holds only its bar.
    for (CellReadings& cell : cells) {
      SettleCaseByPlace(&cell, *geometry, box);
      SettleDottedBars(InkWithMarksAbove(blockImage, greyBlock, cell), &cell);
    }
  }
  RejectFaintCells(&cells, kFaintShare);
  YieldToCoveringCharacters(&cells, placed ? geometry : nullptr, placed ? &box : nullptr, kCoverDistance, kCoverMargin);

  const std::vector<int> ink = InkPerColumn(blockImage);
  const double boxHeight = placed ? box.height : glyphHeight;
  for (const CellReadings& cell : cells) {
    OCRCandidate candidate;
    candidate.left = cell.rect.x;
    candidate.top = cell.rect.y;
    candidate.height = cell.rect.height;
    candidate.width = cell.rect.width;
    const bool taken = cell.distances[0] < rejectDistance_ + (placed ? kPlaceAllowance : 0.0);
    if (!taken && placed && IsPoorlyReadGlyph(cells, cell, *geometry, box, kPoorGlyphDistance)) {
      // A whole Chinese glyph read poorly (small or soft print) is that
      // character more often than not: it counts as read just closer than a
      // rejected cell rather than dropped.
      candidate.bestDistance = rejectDistance_ - kPoorGlyphMargin;
      candidate.alternatives.Append(OCRAlternative{cell.labels[0].c_str(), 1.0 - candidate.bestDistance});
    } else if (taken) {
      candidate.bestDistance = cell.distances[0];
      // At the line's end, only the side that has a neighbour tells.
      const bool fullBox = BlankAround(ink, cell.rect, kFullWidthBlank * boxHeight / 2) >= kFullWidthBlank * boxHeight;
      for (size_t k = 0; k < cell.labels.size() && k < static_cast<size_t>(candidatesPerGlyph_); ++k)
        candidate.alternatives.Append(
            OCRAlternative{AsPrinted(cell.labels[k], fullBox).c_str(), std::max(0.0, 1.0 - cell.distances[k])});
    } else {
      candidate.bestDistance = rejectDistance_;
      candidate.alternatives.Append(OCRAlternative{" ", std::max(0.0, 1.0 - rejectDistance_)});
    }
    candidates->push_back(candidate);
  }
}

bool CDocOCR::ReadCell(const cv::Mat& glyph, CellReadings* cell) {
  // More readings than kept: a reading of the right shape but the wrong
  // size may still give way to the next one.
  const int count = std::max(candidatesPerGlyph_, kReadingsPerCell);
  std::string labels;
  std::vector<double> distances;
  if (!RecognizeGlyph(count, glyph, &labels, &distances)) return false;
  for (size_t k = 0; 2 * k + 1 < labels.size() && k < distances.size(); ++k) {
    const std::string label = labels.substr(2 * k, 2);
    if (std::find(cell->labels.begin(), cell->labels.end(), label) != cell->labels.end()) continue;
    cell->labels.push_back(label);
    cell->distances.push_back(distances[k]);
  }
  return !cell->labels.empty();
}

bool CDocOCR::RecognizeGlyph(int count, cv::Mat glyph, std::string* labels, std::vector<double>* distances) {
  return RecognizeGlyphWith(engine_, count, glyph, labels, distances);
}

bool CDocOCR::RecognizeTextLine(cv::Mat blockImage, std::string* text, cv::Mat greyBlock, int textHeight) {
  if (blockImage.empty() || !engine_) return false;
  std::vector<OCRCandidate> candidates;
  SegmentLine(blockImage, &candidates, greyBlock, textHeight);
  if (candidates.empty()) return false;
  OCRList<OCRCandidate> list;
  for (const OCRCandidate& candidate : candidates) list.Append(candidate);
  OCRLattice lattice;
  OCRList<OCRString> results;
  FindBestLatticePath(&list, &lattice, &results);
  *text = results.Count() > 0 ? SettleLookalikes(SettleLineEnds(DropStrayStrokes(results.At(0)->c_str()))) : "";
  return true;
}
