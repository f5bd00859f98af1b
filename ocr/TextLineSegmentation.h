#pragma once
// Helpers of the line segmenter (CDocOCR::SegmentLine).
#include <vector>

#include <opencv2/core.hpp>

// The height of the (n/8 + 1)-th tallest of the n outer outlines of a binary
// block (ink non-zero); false when there is none.
bool EstimateGlyphHeight(const cv::Mat& blockImage, int* height);

// The glyph the engine reads: the grey crop (ink bright) where the dilated
// binary crop has ink, 0 elsewhere. Empty when either crop is.
cv::Mat MakeGlyphImage(cv::Mat binaryCrop, cv::Mat greyCrop);

// The glyph of the cell spanning columns first..last of a block, its rows
// tight to the ink of those columns; false when they hold no ink.
bool CutCell(const cv::Mat& blockImage, const cv::Mat& greyBlock, int first, int last, cv::Rect* cell,
             cv::Mat* glyph);

// Column profile: K[c] counts the rows in which columns c and c + 1 both hold
// ink; the last column counts 0.
std::vector<int> ColumnProfile(const cv::Mat& blockImage);

// A run of consecutive columns with non-zero profile, first and last inclusive.
struct ColumnRun {
  int first;
  int last;
};

// The runs of the profile after every run of maxWidth or more columns has
// been cut at its weakest column (the leftmost of equals), pass after pass.
std::vector<ColumnRun> SplitRuns(std::vector<int> profile, int maxWidth);

// Where glyphs that touch may part within a run: the run cut where only a
// thin stroke (a profile of at most `thin`) joins thicker parts. A thin
// stretch no wider than `thin` is cut through its weakest column (which
// belongs to neither piece); a wider one (a hyphen, a slash) becomes a
// piece of its own. At most `maxPieces` pieces, else the run alone.
std::vector<ColumnRun> ThinPieces(const std::vector<int>& profile, ColumnRun run, int thin, size_t maxPieces);
