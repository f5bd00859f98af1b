#pragma once
// Second looks at shapes the templates confuse. Blurred, a "C" keeps the
// gradients of an "O" but for a gap at its right: the readings of a round
// glyph open to the right are read as the open letter instead. An "i" is a
// bar with a dot above it: its bar readings ("l", "I", "1") become "i". A
// letter whose two cases share one shape ("s" and "S") is told by its size.
#include <opencv2/core.hpp>

#include "ocr/GlyphGeometry.h"
#include "ocr/LineBox.h"

// True when the ink (non-zero) of a glyph box holds no stroke at the right
// of its middle rows: of the middle third of its rows, fewer than half
// reach into its rightmost quarter of columns.
bool OpensToTheRight(const cv::Mat& ink);

// Readings "O", "o" and "0" of a cell whose ink opens to the right become
// "C", "c" and "C" at their distances; a label already read keeps the closer
// of its distances.
void SettleOpenRounds(const cv::Mat& ink, CellReadings* cell);

// True when blank rows part the ink of a glyph box into a dot above and a
// bar below: the dot at least two rows, at most a third of the height, as
// wide as the bar or down to half of it, no further above it than twice its
// own height.
bool HasDotAbove(const cv::Mat& ink);

// Readings "l", "I", "1" and "|" of a cell whose ink has a dot above become
// "i" at their distances, as SettleOpenRounds does.
void SettleDottedBars(const cv::Mat& ink, CellReadings* cell);

// A reading of a letter whose cases share their shape (c, o, s, v, w, x, z)
// becomes the other case, at its distance, where that case's place on the
// line (PlaceMismatch) fits the cell clearly better.
void SettleCaseByPlace(CellReadings* cell, const GlyphGeometry& geometry, const LineBox& box);
