#pragma once
// Where the glyphs of a text line lie: the line's Chinese glyph box as the
// readings of its cells imply it, and how far a cell lies from where a
// label's glyphs belong in that box. A cell read as "o" but as tall as the
// Chinese glyphs beside it is an "O"; two digits side by side are not one
// Chinese glyph.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "ocr/GlyphGeometry.h"

// A candidate cell of a line (rectangle in the block) and its readings, best first.
struct CellReadings {
  cv::Rect rect;
  std::vector<std::string> labels;  // two bytes each, no label twice
  std::vector<double> distances;
  double ink = 0.0;  // how dark its ink is: the mean ink-bright grey over it
};

// The line's Chinese glyph box: its height and its top along the line.
struct LineBox {
  double height = 0.0;
  double top = 0.0;    // at column 0
  double slope = 0.0;  // rows the top falls per column
  double TopAt(double x) const { return top + slope * x; }
};

// The box the confident readings imply: the median of their heights and a
// straight top line through them, outliers set aside. False when fewer than
// two cells tell.
bool EstimateLineBox(const std::vector<CellReadings>& cells, const GlyphGeometry& geometry, LineBox* box);

// The sum of the squared deviations of the cell's top, bottom and width from
// the place's, each in its spread (widened by what a camera adds), in units
// of the line box.
double PlaceMismatch(const cv::Rect& cell, const GlyphPlace& place, const LineBox& box);

// Adds to each reading's distance what its place on the line costs, and
// orders the readings by the sums; the Chinese readings all cost what the
// closest of them does, so they keep their order.
void RankByPlace(CellReadings* cell, const GlyphGeometry& geometry, const LineBox& box);

// Specks of noise read as dots and ticks (":", "'"), but their ink is
// faint: a cell whose ink is fainter than `share` of the line's Chinese
// glyphs' (those read closely) is read as nothing.
void RejectFaintCells(std::vector<CellReadings>* cells, double share);

// True when the cell's best reading is a Chinese character read closer than
// `closeness`, as wide as a Chinese glyph and lying where its glyphs lie.
bool IsWholeCharacter(const CellReadings& cell, const GlyphGeometry& geometry, const LineBox& box, double closeness);

// True when a cell read closely as a letter or digit (not a bar, dot or
// tick) lies beside the rectangle, within a third of the box: the
// rectangle is in a half-width run.
bool BesideLetter(const std::vector<CellReadings>& cells, const cv::Rect& rect, const GlyphGeometry& geometry,
                  const LineBox& box);

// True when a cell read no closer than `furthest` is still a Chinese
// glyph, poorly read: a whole one (IsWholeCharacter) with no letter or
// digit beside it (else it is more likely letters that touch).
bool IsPoorlyReadGlyph(const std::vector<CellReadings>& cells, const CellReadings& cell,
                       const GlyphGeometry& geometry, const LineBox& box, double furthest);

// True for a label of a Chinese character (not a letter, digit or sign).
bool IsChineseLabel(const std::string& label);

// The parts of a Chinese glyph, and specks, read as letters and signs
// closer than the whole glyph reads as a character: a stroke as "l", "|" or
// "]", a dot as ":". So the letter and sign readings of a cell yield to a
// wider cell over its columns read as a Chinese character: to one read
// closer than `coverDistance`, and a bar, dot or tick (a slight glyph) also
// to one as wide as a Chinese glyph that lies where its character's glyphs
// lie (with the geometry and line box given). Each such reading becomes no
// closer than the covering character plus `margin`; the readings are
// ordered anew.
void YieldToCoveringCharacters(std::vector<CellReadings>* cells, const GlyphGeometry* geometry, const LineBox* box,
                               double coverDistance, double margin);
