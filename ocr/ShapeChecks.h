#pragma once
// Second looks at shapes the templates confuse. Blurred, a "C" keeps the
// gradients of an "O" but for a gap at its right: the readings of a round
// glyph open to the right are read as the open letter instead.
#include <opencv2/core.hpp>

#include "ocr/LineBox.h"

// True when the ink (non-zero) of a glyph box holds no stroke at the right
// of its middle rows: of the middle third of its rows, fewer than a quarter
// reach into its rightmost quarter of columns.
bool OpensToTheRight(const cv::Mat& ink);

// Readings "O", "o" and "0" of a cell whose ink opens to the right become
// "C", "c" and "C" at their distances; a label already read keeps the closer
// of its distances.
void SettleOpenRounds(const cv::Mat& ink, CellReadings* cell);
