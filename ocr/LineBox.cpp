#include "ocr/LineBox.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// Readings this close tell where the line lies, when their glyphs are at
// least this tall in the box.
constexpr double kConfidentDistance = 0.18;
constexpr double kTellingHeight = 0.5;
// A reading set aside reads this far.
constexpr double kUnread = 1.0;
// Tops further off the line than this share of the box are not on it.
constexpr double kTopOutlier = 0.12;
// What a camera adds to the spreads learned from clean prints, in boxes and
// in pixels.
constexpr double kCameraSpread = 0.04;
constexpr double kPixelSpread = 1.0;
// A reading's distance grows by this much per unit of mismatch, up to the
// largest mismatch counted.
constexpr double kPlaceWeight = 0.005;
constexpr double kLargestMismatch = 30.0;

// Letters and signs this narrow or low are bars, dots and ticks that parts
// of Chinese glyphs and specks resemble.
constexpr double kSlightWidth = 0.32;
constexpr double kSlightHeight = 0.4;
// A cell read as a Chinese character is a whole glyph when it is about as
// wide as one (in boxes) and lies where its character's glyphs lie; bars and
// dots yield to one that reads as closely as a character is taken (a poorer
// reading is as likely letters that touch: "11" as 垃).
constexpr double kGlyphWidthLeast = 0.6;
constexpr double kGlyphWidthMost = 1.1;
constexpr double kGlyphPlaceMismatch = 9.0;
constexpr double kGlyphDistance = 0.32;
// Cells this close (in boxes) lie beside one another.
constexpr double kBesideGap = 0.3;

bool IsSlight(const GlyphPlace& place) {
  return place.width < kSlightWidth || place.bottom - place.top < kSlightHeight;
}

struct TopPoint {
  double x, top;
};

// Least squares through the points: top = a + b x.
void FitLine(const std::vector<TopPoint>& points, double* a, double* b) {
  double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (const TopPoint& p : points) {
    n += 1;
    sx += p.x;
    sy += p.top;
    sxx += p.x * p.x;
    sxy += p.x * p.top;
  }
  const double spread = n * sxx - sx * sx;
  *b = spread > 1e-9 ? (n * sxy - sx * sy) / spread : 0.0;
  *a = (sy - *b * sx) / n;
}

double Median(std::vector<double> values) {
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

bool EstimateLineBox(const std::vector<CellReadings>& cells, const GlyphGeometry& geometry, LineBox* box) {
  std::vector<double> heights;
  std::vector<TopPoint> tops;
  for (const CellReadings& cell : cells) {
    if (cell.labels.empty() || cell.distances[0] >= kConfidentDistance) continue;
    const GlyphPlace* place = geometry.Find(cell.labels[0].c_str());
    if (!place || place->bottom - place->top < kTellingHeight) continue;
    const double height = cell.rect.height / (place->bottom - place->top);
    heights.push_back(height);
    tops.push_back({cell.rect.x + cell.rect.width / 2.0, cell.rect.y - place->top * height});
  }
  if (heights.size() < 2) return false;
  box->height = Median(heights);
  double a = 0, b = 0;
  FitLine(tops, &a, &b);
  // Once more without the tops far off the first line.
  std::vector<TopPoint> near;
  for (const TopPoint& p : tops)
    if (std::fabs(p.top - (a + b * p.x)) <= kTopOutlier * box->height) near.push_back(p);
  if (near.size() >= 2) FitLine(near, &a, &b);
  box->top = a;
  box->slope = b;
  return box->height > 0.0;
}

double PlaceMismatch(const cv::Rect& cell, const GlyphPlace& place, const LineBox& box) {
  const double h = box.height, top = box.TopAt(cell.x + cell.width / 2.0);
  // A turned line's glyphs are turned too: their boxes grow with the turn.
  const double camera = kCameraSpread * kCameraSpread + (kPixelSpread / h) * (kPixelSpread / h) + box.slope * box.slope;
  auto deviation = [&](double seen, double mean, double spread) {
    const double d = seen - mean;
    return d * d / (spread * spread + camera);
  };
  return deviation((cell.y - top) / h, place.top, place.topSpread) +
         deviation((cell.y + cell.height - top) / h, place.bottom, place.bottomSpread) +
         deviation(cell.width / h, place.width, place.widthSpread);
}

namespace {

// Orders the cell's readings by distance, equal ones as they were.
void SortReadings(CellReadings* cell) {
  if (std::is_sorted(cell->distances.begin(), cell->distances.end())) return;
  const size_t n = cell->labels.size();
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return cell->distances[a] < cell->distances[b]; });
  CellReadings ranked{cell->rect, {}, {}, cell->ink};
  for (size_t k : order) {
    ranked.labels.push_back(cell->labels[k]);
    ranked.distances.push_back(cell->distances[k]);
  }
  *cell = ranked;
}

}  // namespace

void RankByPlace(CellReadings* cell, const GlyphGeometry& geometry, const LineBox& box) {
  // Chinese glyphs all fill the box about alike: their readings keep the
  // order their shapes give, all moved by what the closest one's place costs.
  double chinese = -1.0;
  for (size_t k = 0; k < cell->labels.size(); ++k) {
    const GlyphPlace* place = geometry.Find(cell->labels[k].c_str());
    if (!place) continue;
    double cost = kPlaceWeight * std::min(kLargestMismatch, PlaceMismatch(cell->rect, *place, box));
    if (IsChineseLabel(cell->labels[k])) {
      if (chinese < 0.0) chinese = cost;
      cost = chinese;
    }
    cell->distances[k] += cost;
  }
  SortReadings(cell);
}

bool IsChineseLabel(const std::string& label) {
  // GBK rows A1 to A9 hold signs and symbols, row A8 pinyin; characters lie above.
  return label.size() == 2 && static_cast<uint8_t>(label[0]) >= 0xB0;
}

void RejectFaintCells(std::vector<CellReadings>* cells, double share) {
  std::vector<double> inks;
  for (const CellReadings& cell : *cells)
    if (!cell.labels.empty() && IsChineseLabel(cell.labels[0]) && cell.distances[0] < kConfidentDistance)
      inks.push_back(cell.ink);
  if (inks.empty()) return;
  const double faint = share * Median(inks);
  for (CellReadings& cell : *cells)
    if (cell.ink < faint)
      for (double& distance : cell.distances) distance = std::max(distance, kUnread);
}

bool IsWholeCharacter(const CellReadings& cell, const GlyphGeometry& geometry, const LineBox& box, double closeness) {
  if (cell.labels.empty() || !IsChineseLabel(cell.labels[0]) || cell.distances[0] >= closeness) return false;
  const GlyphPlace* place = geometry.Find(cell.labels[0].c_str());
  return place && cell.rect.width >= kGlyphWidthLeast * box.height && cell.rect.width <= kGlyphWidthMost * box.height &&
         PlaceMismatch(cell.rect, *place, box) <= kGlyphPlaceMismatch;
}

bool BesideLetter(const std::vector<CellReadings>& cells, const cv::Rect& rect, const GlyphGeometry& geometry,
                  const LineBox& box) {
  for (const CellReadings& other : cells) {
    if (other.labels.empty() || other.distances[0] >= kConfidentDistance || IsChineseLabel(other.labels[0])) continue;
    const GlyphPlace* place = geometry.Find(other.labels[0].c_str());
    if (!place || IsSlight(*place)) continue;
    const int gap = std::max(other.rect.x - rect.br().x, rect.x - other.rect.br().x);
    if (gap >= 0 && gap <= kBesideGap * box.height) return true;
  }
  return false;
}

bool IsPoorlyReadGlyph(const std::vector<CellReadings>& cells, const CellReadings& cell,
                       const GlyphGeometry& geometry, const LineBox& box, double furthest) {
  return IsWholeCharacter(cell, geometry, box, furthest) && !BesideLetter(cells, cell.rect, geometry, box);
}

void YieldToCoveringCharacters(std::vector<CellReadings>* cells, const GlyphGeometry* geometry, const LineBox* box,
                               double coverDistance, double margin) {
  constexpr double kFar = std::numeric_limits<double>::infinity();
  // Per cell: the closest Chinese reading of a wider cell over its columns,
  // and of one as wide as a Chinese glyph lying where Chinese glyphs lie.
  std::vector<double> covered(cells->size(), kFar), whole(cells->size(), kFar);
  std::vector<bool> glyphLike(cells->size(), false);
  for (size_t o = 0; o < cells->size(); ++o) {
    const CellReadings& outer = (*cells)[o];
    if (!geometry || !box) continue;
    glyphLike[o] = IsWholeCharacter(outer, *geometry, *box, kGlyphDistance);
  }
  for (size_t i = 0; i < cells->size(); ++i) {
    const cv::Rect& inner = (*cells)[i].rect;
    for (size_t o = 0; o < cells->size(); ++o) {
      const CellReadings& outer = (*cells)[o];
      const bool wider = outer.rect.x <= inner.x && outer.rect.br().x >= inner.br().x && outer.rect.width > inner.width;
      if (!wider || outer.labels.empty() || !IsChineseLabel(outer.labels[0])) continue;
      covered[i] = std::min(covered[i], outer.distances[0]);
      if (glyphLike[o]) whole[i] = std::min(whole[i], outer.distances[0]);
    }
  }
  for (size_t i = 0; i < cells->size(); ++i) {
    CellReadings& cell = (*cells)[i];
    if (cell.labels.empty() || IsChineseLabel(cell.labels[0])) continue;
    const double confident = covered[i] < coverDistance ? covered[i] : kFar;
    // A bar or dot beside a letter or digit (a "1", a decimal point, a
    // hyphen) is part of a half-width run.
    const bool beside = geometry && box && BesideLetter(*cells, cell.rect, *geometry, *box);
    const double wholeCover = whole[i] < kFar && !beside ? whole[i] : kFar;
    for (size_t k = 0; k < cell.labels.size(); ++k) {
      if (IsChineseLabel(cell.labels[k])) continue;
      const GlyphPlace* place = geometry ? geometry->Find(cell.labels[k].c_str()) : nullptr;
      const double cover = place && IsSlight(*place) ? std::min(confident, wholeCover) : confident;
      if (cover < kFar) cell.distances[k] = std::max(cell.distances[k], cover + margin);
    }
    SortReadings(&cell);
  }
}
