// Second looks at shapes the templates confuse: a round glyph open to the
// right is a "C", whatever the templates say.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "ocr/ShapeChecks.h"
#include "tests/ocr/PrintedText.h"

using namespace ocrtest;

namespace {

// A ring of ink (255) in a box of `size`, its arc from `start` to `end`
// degrees (0 at the right, counting clockwise), strokes `thickness` wide.
cv::Mat Arc(cv::Size size, int start, int end, int thickness) {
  cv::Mat ink = cv::Mat::zeros(size, CV_8U);
  const cv::Point centre(size.width / 2, size.height / 2);
  const cv::Size axes(size.width / 2 - thickness / 2 - 1, size.height / 2 - thickness / 2 - 1);
  cv::ellipse(ink, centre, axes, 0, start, end, cv::Scalar::all(255), thickness);
  return ink;
}

struct ShapeCase {
  const char* name;
  cv::Mat ink;
  bool open;
};

CellReadings Read(std::vector<std::pair<std::string, double>> readings) {
  CellReadings cell;
  for (const auto& [label, distance] : readings) {
    cell.labels.push_back(label);
    cell.distances.push_back(distance);
  }
  return cell;
}

}  // namespace

TEST(ShapeChecks, OnlyARoundOpenToTheRightIsOpen) {
  const ShapeCase cases[] = {
      {"O", Arc({18, 25}, 0, 360, 3), false},
      {"C", Arc({16, 25}, 45, 315, 3), true},
      {"small c", Arc({10, 12}, 50, 310, 2), true},
      {"G: its bar closes the middle", [] {
         cv::Mat g = Arc({18, 25}, 35, 330, 3);
         cv::line(g, {9, 13}, {16, 13}, cv::Scalar::all(255), 2);
         cv::line(g, {16, 13}, {16, 20}, cv::Scalar::all(255), 2);
         return g;
       }(), false},
      {"a bar", cv::Mat(25, 4, CV_8U, cv::Scalar::all(255)), false},
      {"too small to tell", Arc({3, 4}, 45, 315, 1), false},
  };
  for (const ShapeCase& c : cases) EXPECT_EQ(c.open, OpensToTheRight(c.ink)) << c.name;
}

TEST(ShapeChecks, RoundReadingsOfAnOpenGlyphBecomeTheOpenLetter) {
  const cv::Mat c = Arc({16, 25}, 45, 315, 3), o = Arc({18, 25}, 0, 360, 3);
  CellReadings cell = Read({{Gbk("Ｏ"), 0.07}, {Gbk("ｏ"), 0.1}, {Gbk("Ｃ"), 0.2}, {Gbk("０"), 0.25}});
  SettleOpenRounds(c, &cell);
  EXPECT_EQ((std::vector<std::string>{Gbk("Ｃ"), Gbk("ｃ")}), cell.labels);
  EXPECT_EQ((std::vector<double>{0.07, 0.1}), cell.distances);

  // A closed ring, or readings with no round among them, are left as read.
  CellReadings closed = Read({{Gbk("Ｏ"), 0.07}, {Gbk("０"), 0.1}});
  SettleOpenRounds(o, &closed);
  EXPECT_EQ((std::vector<std::string>{Gbk("Ｏ"), Gbk("０")}), closed.labels);
  CellReadings other = Read({{Gbk("国"), 0.1}});
  SettleOpenRounds(c, &other);
  EXPECT_EQ(Gbk("国"), other.labels[0]);
}

TEST(ShapeChecks, ABarWithADotAboveIsAnI) {
  cv::Mat i = cv::Mat::zeros(24, 5, CV_8U);
  i(cv::Rect(1, 0, 3, 4)).setTo(255);
  i(cv::Rect(1, 7, 3, 17)).setTo(255);
  cv::Mat exclamation;
  cv::flip(i, exclamation, 0);
  EXPECT_TRUE(HasDotAbove(i));
  EXPECT_FALSE(HasDotAbove(exclamation));
  EXPECT_FALSE(HasDotAbove(cv::Mat(24, 3, CV_8U, cv::Scalar::all(255))));
  CellReadings cell = Read({{Gbk("ｌ"), 0.05}, {Gbk("１"), 0.07}, {Gbk("ｉ"), 0.1}});
  SettleDottedBars(i, &cell);
  EXPECT_EQ(std::vector<std::string>{Gbk("ｉ")}, cell.labels);
  EXPECT_EQ(std::vector<double>{0.05}, cell.distances);
}
