#include "imaging/EdgeClosing.h"

#include <algorithm>
#include <utility>

#include <opencv2/imgproc.hpp>

namespace {

using cvcompat::Contour;
using cvcompat::ContourList;

const cv::Scalar kWhite(255);
const cv::Scalar kBlack(0);

void Line(cv::Mat& mask, cv::Point from, cv::Point to) { cv::line(mask, from, to, kWhite, 3, cv::LINE_8); }

void Fill(cv::Mat& mask, const Contour& contour, const cv::Scalar& colour) {
  cv::drawContours(mask, ContourList{contour}, 0, colour, cv::FILLED, cv::LINE_8);
}

// The extreme points of a contour along one axis: the first point with the
// smallest and the first with the greatest coordinate, starting from the
// given points (kept when no point beats them).
std::pair<cv::Point, cv::Point> Extremes(const Contour& contour, bool alongY, cv::Point low, cv::Point high) {
  for (const auto& p : contour) {
    const int v = alongY ? p.y : p.x;
    if (v < (alongY ? low.y : low.x)) low = p;
    if (v > (alongY ? high.y : high.x)) high = p;
  }
  return {low, high};
}

bool JoinSpanningEdges(const ContourList& edges, cv::Mat& mask, bool alongY) {
  if (mask.empty() || edges.size() < 2) return false;
  const cv::Point lowStart = alongY ? cv::Point(0, mask.rows - 1) : cv::Point(mask.cols - 1, 0);
  std::vector<std::pair<cv::Point, cv::Point>> ends;
  for (const auto& edge : edges) ends.push_back(Extremes(edge, alongY, lowStart, cv::Point(0, 0)));
  cv::drawContours(mask, edges, -1, kWhite, cv::FILLED, cv::LINE_8);
  for (size_t i = 1; i < ends.size(); ++i) {
    Line(mask, ends[i].first, ends[i - 1].first);
    Line(mask, ends[i].second, ends[i - 1].second);
  }
  return true;
}

double MeanCoordinate(const Contour& contour, bool alongY) {
  double sum = 0;
  for (const auto& p : contour) sum += alongY ? p.y : p.x;
  return sum / double(contour.size());
}

}  // namespace

bool JoinVerticalEdges(const ContourList& edges, cv::Mat& mask) { return JoinSpanningEdges(edges, mask, true); }

bool JoinHorizontalEdges(const ContourList& edges, cv::Mat& mask) { return JoinSpanningEdges(edges, mask, false); }

bool CloseSpanningEdge(cv::Mat& mask, const ContourList& edges) {
  if (mask.empty() || edges.size() != 1 || edges[0].empty()) return false;
  const Contour& edge = edges[0];
  const int rows = mask.rows, cols = mask.cols;
  const int m = int(std::max(rows, cols) * 0.02);
  const cv::Rect box = cv::boundingRect(edge);
  const cv::Point topLeft(0, 0), topRight(cols - 1, 0), bottomRight(cols - 1, rows - 1), bottomLeft(0, rows - 1);
  if (box.x <= 2 && box.x + box.width >= cols - 2) {
    const auto [left, right] = Extremes(edge, false, cv::Point(cols - 1, 0), cv::Point(0, 0));
    const double meanY = MeanCoordinate(edge, true);
    if (meanY < m || meanY > rows - m) return false;
    const bool closeAbove = meanY > rows / 2;
    const cv::Point a = closeAbove ? topLeft : bottomLeft, b = closeAbove ? topRight : bottomRight;
    Line(mask, left, a);
    Line(mask, a, b);
    Line(mask, b, right);
  } else if (box.y <= 2 && box.y + box.height >= rows - 2) {
    const auto [top, bottom] = Extremes(edge, true, cv::Point(0, rows - 1), cv::Point(0, 0));
    const double meanX = MeanCoordinate(edge, false);
    if (meanX < m || meanX > cols - m) return false;
    const bool closeRight = cols / 2 > meanX;
    const cv::Point a = closeRight ? topRight : topLeft, b = closeRight ? bottomRight : bottomLeft;
    Line(mask, top, a);
    Line(mask, a, b);
    Line(mask, b, bottom);
  }
  Fill(mask, edge, kWhite);
  return true;
}

namespace {

// One image corner: which contour points count as its two border points.
struct CornerRule {
  cv::Point corner;
  cv::Point startA, startB;
  bool (*candidateA)(cv::Point, int rows, int cols);
  bool (*betterA)(cv::Point p, cv::Point best);
  bool (*candidateB)(cv::Point, int rows, int cols);
  bool (*betterB)(cv::Point p, cv::Point best);
};

bool GreaterX(cv::Point p, cv::Point best) { return p.x > best.x; }
bool SmallerX(cv::Point p, cv::Point best) { return p.x < best.x; }
bool GreaterY(cv::Point p, cv::Point best) { return p.y > best.y; }
bool SmallerY(cv::Point p, cv::Point best) { return p.y < best.y; }

// Picks the rule of the corner the bounding box lies in; false when none.
bool MatchCorner(const cv::Rect& box, int rows, int cols, CornerRule* rule) {
  if (box.x <= 1 && box.y <= 1) {
    *rule = {{0, 0}, {0, 0}, {0, 0},
             [](cv::Point p, int, int) { return p.y <= 2; }, GreaterX,
             [](cv::Point p, int, int) { return p.x <= 2; }, GreaterY};
  } else if (box.x + box.width >= cols - 2 && box.y <= 2) {
    *rule = {{cols - 1, 0}, {cols, 0}, {cols - 1, 0},
             [](cv::Point p, int, int) { return p.y <= 2; }, SmallerX,
             [](cv::Point p, int, int c) { return p.x >= c - 2; }, GreaterY};
  } else if (box.x + box.width >= cols - 2 && box.y + box.height >= rows - 2) {
    *rule = {{cols - 1, rows - 1}, {cols, rows - 1}, {cols - 1, rows},
             [](cv::Point p, int r, int) { return p.y >= r - 2; }, SmallerX,
             [](cv::Point p, int, int c) { return p.x >= c - 2; }, SmallerY};
  } else if (box.x <= 1 && box.y + box.height >= rows - 1) {
    *rule = {{0, rows - 1}, {0, rows - 1}, {1, rows},
             [](cv::Point p, int r, int) { return p.y >= r - 3; }, GreaterX,
             [](cv::Point p, int, int) { return p.x == 1; }, SmallerY};
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool CloseCornerContour(cv::Mat& mask, int erase, Contour contour) {
  if (contour.empty() || mask.empty()) return false;
  const int rows = mask.rows, cols = mask.cols;
  CornerRule rule;
  if (MatchCorner(cv::boundingRect(contour), rows, cols, &rule)) {
    cv::Point a = rule.startA, b = rule.startB;
    size_t ia = 0, ib = 0;
    for (size_t i = 0; i < contour.size(); ++i) {
      const cv::Point p = contour[i];
      if (rule.candidateA(p, rows, cols) && rule.betterA(p, a)) a = p, ia = i;
      if (rule.candidateB(p, rows, cols) && rule.betterB(p, b)) b = p, ib = i;
    }
    const size_t lo = std::min(ia, ib), hi = std::max(ia, ib);
    contour.resize(hi + 1);
    contour.erase(contour.begin(), contour.begin() + std::ptrdiff_t(lo));
    const cv::Point first = contour.front();
    contour.push_back(rule.corner);
    contour.push_back(first == a ? a : b);
  }
  if (erase == 0) {
    Fill(mask, contour, kWhite);
  } else {
    cv::drawContours(mask, ContourList{contour}, 0, kBlack, 3, cv::LINE_8);
    Fill(mask, contour, kBlack);
  }
  return true;
}
