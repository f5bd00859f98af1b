#pragma once
// The layout of a recognised page: the rules of a ruled table are taken out
// before the text's blocks are found, and the blocks are put in reading
// order column by column where the page sets its text in columns.
#include <vector>

#include <opencv2/core.hpp>

struct OCRTextBlock;

// The rules of a binary image (8-bit, ink non-zero) as a mask: runs of ink
// at least kRuleLength times the print's height long, along the rows or the
// columns, and their soft edges. Rules are not text and must not join a
// table's cells into one block; no stroke of a glyph is that long. Empty
// when there is none or no print height.
constexpr double kRuleLength = 2.5;
cv::Mat FindRules(const cv::Mat& ink, int textHeight);

// The blocks in reading order. A page whose blocks stand in columns (a
// blank strip down the page with lines on either side, most of them long)
// is read column by column, left to right; blocks reaching across most of
// the page (a title above the columns) part it into sections read top to
// bottom. Elsewhere, and within a column, blocks are read by lines
// (CompareReadingOrder).
std::vector<OCRTextBlock> ReadingOrder(const std::vector<OCRTextBlock>& blocks);

// A grey page (8-bit, one channel, ink dark) as another engine is to read
// it: its rules painted over with paper, and whether its text stands in
// columns (so that engine is to find the layout itself) or is read line by
// line across the page (one block, a table's rows).
cv::Mat PageWithoutRules(const cv::Mat& grey, bool* inColumns);
