#include "ocr/TextLineSegmentation.h"

#include <algorithm>
#include <functional>

#include <opencv2/imgproc.hpp>

#include "imaging/CvCompat.h"
#include "ocr/DocOCR.h"
#include "ocr/GlyphRecognition.h"
#include "ocr/OCRLattice.h"

namespace {

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

void CDocOCR::SegmentLine(cv::Mat blockImage, std::vector<OCRCandidate>* candidates, cv::Mat greyBlock) {
  int glyphHeight = 0;
  if (blockImage.empty() || !engine_ || !EstimateGlyphHeight(blockImage, &glyphHeight)) return;
  const int maxWidth = static_cast<int>(glyphHeight * 1.2);
  const std::vector<ColumnRun> runs = SplitRuns(ColumnProfile(blockImage), maxWidth);

  for (size_t i = 0; i < runs.size(); ++i)
    for (size_t j = i; j < runs.size(); ++j) {
      if (runs[j].last - runs[i].first + 1 > maxWidth) break;
      cv::Rect cell;
      cv::Mat glyph;
      if (!CutCell(blockImage, greyBlock, runs[i].first, runs[j].last, &cell, &glyph)) continue;
      std::string labels;
      std::vector<double> distances;
      // A cell the engine cannot read has no rectangle or readings to offer.
      if (!RecognizeGlyph(candidatesPerGlyph_, glyph, &labels, &distances)) continue;
      OCRCandidate candidate;
      candidate.left = cell.x;
      candidate.top = cell.y;
      candidate.height = cell.height;
      candidate.width = cell.width;
      if (distances[0] < rejectDistance_) {
        candidate.bestDistance = distances[0];
        for (int k = 0; k < candidatesPerGlyph_; ++k) {
          const std::string label = labels.substr(std::min<size_t>(2 * k, labels.size()), 2);
          // Fewer readings than asked for: the rest of the buffer is empty.
          if (label.empty()) break;
          candidate.alternatives.Append(OCRAlternative{label.c_str(), std::max(0.0, 1.0 - distances[k])});
        }
      } else {
        candidate.bestDistance = rejectDistance_;
        candidate.alternatives.Append(OCRAlternative{" ", std::max(0.0, 1.0 - rejectDistance_)});
      }
      candidates->push_back(candidate);
    }
}

bool CDocOCR::RecognizeGlyph(int count, cv::Mat glyph, std::string* labels, std::vector<double>* distances) {
  return RecognizeGlyphWith(engine_, count, glyph, labels, distances);
}

bool CDocOCR::RecognizeTextLine(cv::Mat blockImage, std::string* text, cv::Mat greyBlock) {
  if (blockImage.empty() || !engine_) return false;
  std::vector<OCRCandidate> candidates;
  SegmentLine(blockImage, &candidates, greyBlock);
  if (candidates.empty()) return false;
  OCRList<OCRCandidate> list;
  for (const OCRCandidate& candidate : candidates) list.Append(candidate);
  OCRLattice lattice;
  OCRList<OCRString> results;
  FindBestLatticePath(&list, &lattice, &results);
  *text = results.Count() > 0 ? results.At(0)->c_str() : "";
  return true;
}
