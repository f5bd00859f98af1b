// Page orientation: the quarter and half turns of images, the vote over the
// marks' distances, the mark filters, and rendered pages in every turn read
// with the product model.
#include <gtest/gtest.h>

#include <string>

#include <opencv2/imgproc.hpp>

#include "ocr/TextOrientationDetector.h"
#include "tests/ocr/ModelWriter.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/TestEnv.h"

using namespace ocrtest;

TEST(ImageTurns, PixelsMoveByTheQuarterAndHalfTurns) {
  cv::Mat image(2, 3, CV_8UC3);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) image.at<cv::Vec3b>(r, c) = cv::Vec3b(uchar(10 * r + c), uchar(100 + c), uchar(200 + r));

  const cv::Mat ccw = RotateImage90CounterClockwise(image), cw = RotateImage90Clockwise(image),
                half = RotateImage180(image);
  ASSERT_EQ(cv::Size(2, 3), ccw.size());
  ASSERT_EQ(cv::Size(2, 3), cw.size());
  ASSERT_EQ(image.size(), half.size());
  ASSERT_EQ(CV_8UC3, ccw.type());
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 2; ++j) {
      EXPECT_EQ(image.at<cv::Vec3b>(j, 2 - i), ccw.at<cv::Vec3b>(i, j));
      EXPECT_EQ(image.at<cv::Vec3b>(1 - j, i), cw.at<cv::Vec3b>(i, j));
    }
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(image.at<cv::Vec3b>(1 - i, 2 - j), half.at<cv::Vec3b>(i, j));

  EXPECT_EQ(0, cv::norm(image, RotateImage90Clockwise(ccw), cv::NORM_INF));
  EXPECT_EQ(0, cv::norm(image, RotateImage180(half), cv::NORM_INF));
  // A part of a wider image turns as its own pixels.
  cv::Mat wide(5, 9, CV_8U);
  cv::randu(wide, 0, 256);
  const cv::Mat part = wide(cv::Rect(2, 1, 4, 3));
  EXPECT_EQ(0, cv::norm(RotateImage180(part.clone()), RotateImage180(part), cv::NORM_INF));
  EXPECT_NE(part.data, RotateImage180(part).data);

  EXPECT_TRUE(RotateImage90CounterClockwise(cv::Mat()).empty());
  EXPECT_TRUE(RotateImage180(cv::Mat()).empty());
  EXPECT_TRUE(RotateImage90Clockwise(cv::Mat()).empty());
}

TEST(OrientationVote, ClearMarkDecidesAtOnce) {
  COrientationVote vote;
  int angle = -1;
  EXPECT_FALSE(vote.Result(&angle));
  EXPECT_TRUE(vote.Add({0.5, 0.6, 0.15, 0.7}));  // ratio 0.3
  ASSERT_TRUE(vote.Result(&angle));
  EXPECT_EQ(180, angle);

  // Two turns equally best: the runner-up is the next larger distance, and
  // the earlier turn wins.
  COrientationVote tie;
  EXPECT_TRUE(tie.Add({0.6, 0.1, 0.1, 0.6}));
  ASSERT_TRUE(tie.Result(&angle));
  EXPECT_EQ(90, angle);
}

TEST(OrientationVote, UnclearMarksAreSkippedAndFairOnesVoted) {
  COrientationVote vote;
  int angle = -1;
  EXPECT_FALSE(vote.Add({0.18, 0.21, 0.9, 0.9}));   // ratio 0.86
  EXPECT_FALSE(vote.Add({0.06, 0.11, 0.3, 0.35}));  // a glyph in two turns, as T is
  EXPECT_FALSE(vote.Add({0.25, 0.9, 0.9, 0.9}));    // too far to be a glyph
  EXPECT_EQ(0, vote.Accepted());
  EXPECT_FALSE(vote.Result(&angle));

  // Best 0.15 with the runner-up 0.3 is voted (near enough, but not far
  // enough ahead); so is 0.17 with 0.4.
  EXPECT_FALSE(vote.Add({0.15, 0.3, 0.9, 0.9}));
  EXPECT_FALSE(vote.Result(&angle));  // a lone vote, where the marks ran out, does not decide
  EXPECT_FALSE(vote.Add({0.9, 0.4, 0.9, 0.17}));
  EXPECT_FALSE(vote.Add({0.9, 0.36, 0.9, 0.15}));
  EXPECT_FALSE(vote.Add({0.9, 0.4, 0.9, 0.17}));
  EXPECT_EQ(4, vote.Accepted());
  ASSERT_TRUE(vote.Result(&angle));
  EXPECT_EQ(270, angle);
  EXPECT_TRUE(vote.Add({0.15, 0.2, 0.9, 0.9}));
  // Sums 3.0, 1.66, 4.5, 2.29: the smallest sum wins, though no mark read
  // best at 90.
  ASSERT_TRUE(vote.Result(&angle));
  EXPECT_EQ(90, angle);

  COrientationVote tie;
  tie.Add({0.9, 0.9, 0.15, 0.3});
  tie.Add({0.9, 0.9, 0.3, 0.15});  // sums equal at 180 and 270
  ASSERT_TRUE(tie.Result(&angle));
  EXPECT_EQ(180, angle);
}

// Latin text: most marks do not read as glyphs, and those that do may not
// decide the page.
TEST(OrientationVote, PageWhoseMarksMostlyDoNotReadAsGlyphsIsLeftUndecided) {
  COrientationVote vote;
  int angle = -1;
  EXPECT_FALSE(vote.Add({0.9, 0.3, 0.9, 0.15}));
  EXPECT_FALSE(vote.Add({0.3, 0.25, 0.3, 0.3}));
  EXPECT_FALSE(vote.Add({0.35, 0.3, 0.26, 0.4}));
  EXPECT_EQ(1, vote.Accepted());
  EXPECT_FALSE(vote.Result(&angle));  // one glyph among three marks

  // A clear mark decides only on a page that reads as text: two of four.
  EXPECT_TRUE(vote.Add({0.5, 0.6, 0.1, 0.7}));
  ASSERT_TRUE(vote.Result(&angle));
  EXPECT_EQ(180, angle);
  COrientationVote early;
  EXPECT_FALSE(early.Add({0.3, 0.3, 0.3, 0.3}));
  EXPECT_FALSE(early.Add({0.3, 0.3, 0.3, 0.3}));
  EXPECT_FALSE(early.Add({0.5, 0.6, 0.1, 0.7}));  // one of three: voted, not decisive
  EXPECT_EQ(1, early.Accepted());

  // Marks that are not glyphs end the search once they lead by ten.
  COrientationVote latin;
  for (int i = 0; i < 9; ++i) EXPECT_FALSE(latin.Add({0.3, 0.4, 0.3, 0.4}));
  EXPECT_TRUE(latin.Add({0.3, 0.4, 0.3, 0.4}));
  EXPECT_FALSE(latin.Result(&angle));
}

// Letters vote even where another turn reads as a letter too, but never
// decide alone: without a character's vote they decide only where most of
// them read best in one turn and the page's lines run that way.
TEST(OrientationVote, LettersVoteTogetherAndTurnAlikeLettersNotAtAll) {
  using Mark = COrientationVote::Mark;
  int angle = -1;
  for (int axis : {-1, 0, 90}) {
    COrientationVote letters;
    letters.SetLineAxis(axis);
    // "e" upright, and an "a" where it lies turned over: ratio 0.27.
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(letters.Add({0.04, 0.4, 0.15, 0.45}, Mark::kLetter));
    EXPECT_EQ(4, letters.Accepted());
    // Two turns too close to tell (ratio 0.6) and a clear letter: the first does not vote.
    EXPECT_FALSE(letters.Add({0.1, 0.5, 0.06, 0.5}, Mark::kLetter));
    EXPECT_EQ(4, letters.Accepted());
    EXPECT_TRUE(letters.Add({0.03, 0.5, 0.5, 0.5}, Mark::kLetter));  // the fifth vote ends it
    EXPECT_EQ(axis == 0, letters.Result(&angle)) << "lines " << axis;
    if (axis == 0) {
      EXPECT_EQ(0, angle);
    }
  }
  // Letters split between two turns (three to two) are weak evidence.
  COrientationVote split;
  split.SetLineAxis(0);
  for (int i = 0; i < 3; ++i) split.Add({0.04, 0.4, 0.15, 0.45}, Mark::kLetter);
  for (int i = 0; i < 2; ++i) split.Add({0.15, 0.4, 0.04, 0.45}, Mark::kLetter);
  EXPECT_FALSE(split.Result(&angle));
  // Beside one character's vote, letters count as votes.
  COrientationVote beside;
  EXPECT_FALSE(beside.Add({0.15, 0.3, 0.9, 0.9}));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(beside.Add({0.04, 0.4, 0.15, 0.45}, Mark::kLetter));
  EXPECT_TRUE(beside.Add({0.04, 0.4, 0.15, 0.45}, Mark::kLetter));
  ASSERT_TRUE(beside.Result(&angle));
  EXPECT_EQ(0, angle);

  // "n" read as "u" when turned over votes nothing however clear, but
  // counts as a glyph read.
  COrientationVote alike;
  for (int i = 0; i < 6; ++i) EXPECT_FALSE(alike.Add({0.5, 0.5, 0.05, 0.5}, Mark::kTurnAlike));
  EXPECT_EQ(0, alike.Accepted());
  EXPECT_FALSE(alike.Result(&angle));
  EXPECT_TRUE(alike.Add({0.5, 0.6, 0.1, 0.7}));  // a Chinese glyph still decides
  ASSERT_TRUE(alike.Result(&angle));
  EXPECT_EQ(180, angle);
}

namespace {

// A detector whose engine reads every glyph in every turn at distance
// 0.05: any mark that passes the filters decides 0 at once.
class ScalarDetector : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(detector_.Initialize(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}).Save("scalar.tpl").c_str()));
  }
  bool Finds(cv::Size pageSize, cv::Rect mark) {
    cv::Mat page(pageSize, CV_8U, cv::Scalar(255));
    if (!mark.empty()) DrawFrame(page, mark);
    int angle = -1;
    const bool found = detector_.Detect(page, &angle, false);
    if (found) {
      EXPECT_EQ(0, angle);
    }
    return found;
  }
  CTextOrientationDetector detector_;
};

}  // namespace

TEST_F(ScalarDetector, MarksMustBeGlyphSizedAndNearlySquare) {
  EXPECT_TRUE(Finds({200, 200}, {80, 80, 22, 22}));
  EXPECT_FALSE(Finds({200, 200}, {80, 80, 21, 23}));  // 483 square pixels
  EXPECT_FALSE(Finds({200, 200}, {80, 80, 22, 27}));  // ratio 0.815
  EXPECT_TRUE(Finds({200, 200}, {80, 80, 23, 27}));   // ratio 0.852
  EXPECT_FALSE(Finds({200, 200}, {80, 80, 27, 22}));
  EXPECT_TRUE(Finds({200, 200}, {80, 80, 27, 23}));
  EXPECT_FALSE(Finds({200, 200}, {}));  // a blank page
}

TEST_F(ScalarDetector, ThirtyLeftColumnsAndTopRowsAreLeftOutOfLargerImages) {
  EXPECT_TRUE(Finds({60, 60}, {4, 4, 24, 24}));
  EXPECT_FALSE(Finds({61, 60}, {4, 4, 24, 24}));
  EXPECT_FALSE(Finds({60, 61}, {4, 4, 24, 24}));
  // Right and bottom edges stay.
  EXPECT_TRUE(Finds({100, 100}, {72, 72, 24, 24}));

  // A colour picture and a page declared binary give the same.
  cv::Mat page(120, 120, CV_8U, cv::Scalar(255));
  DrawFrame(page, {60, 60, 24, 24});
  cv::Mat colour;
  cv::cvtColor(page, colour, cv::COLOR_GRAY2BGR);
  int angle = -1;
  EXPECT_TRUE(detector_.Detect(colour, &angle, false));
  EXPECT_TRUE(detector_.Detect(page, &angle, true));
  EXPECT_FALSE(detector_.Detect(cv::Mat(), &angle, false));
  EXPECT_FALSE(detector_.Detect(cv::Mat(120, 120, CV_16U, cv::Scalar(0)), &angle, false));
}

// A stop asked for before the detection reads no mark.
TEST_F(ScalarDetector, AStopAskedForBeforeReadsNothing) {
  cv::Mat page(200, 200, CV_8U, cv::Scalar(255));
  DrawFrame(page, {80, 80, 24, 24});
  int angle = -1, asked = 0;
  EXPECT_FALSE(detector_.Detect(page, &angle, false, [&] { return ++asked > 0; }));
  EXPECT_EQ(0, detector_.MarksRead());
  EXPECT_EQ(1, asked);
  EXPECT_TRUE(detector_.Detect(page, &angle, false, [] { return false; }));
  EXPECT_GE(detector_.MarksRead(), 1);
}

TEST(LineAxis, LinesOfMarksRunAlongTheRowsOrTheColumns) {
  cv::Mat page(400, 300, CV_8U, cv::Scalar(0));
  for (int y = 40; y < 360; y += 40)
    for (int x = 20; x < 280; x += 14) cv::rectangle(page, cv::Rect(x, y, 10 + (x % 3), 18), cv::Scalar(255), cv::FILLED);
  EXPECT_EQ(0, LineAxis(page));
  EXPECT_EQ(90, LineAxis(RotateImage90Clockwise(page)));
  EXPECT_EQ(-1, LineAxis(cv::Mat(100, 100, CV_8U, cv::Scalar(0))));
}

TEST(OrientationModel, MissingModelPrintsTheFailureTextAndLeavesNoEngine) {
  CTextOrientationDetector detector;
  cv::Mat page(120, 120, CV_8U, cv::Scalar(255));
  DrawFrame(page, {60, 60, 24, 24});
  int angle = -1;
  EXPECT_FALSE(detector.Detect(page, &angle, false));

  ASSERT_TRUE(detector.Initialize(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}).Save("scalar.tpl").c_str()));
  EXPECT_TRUE(detector.Detect(page, &angle, false));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(detector.Initialize(vqtest::TempPath("missing.tpl").c_str()));
  EXPECT_EQ("Text recognition cannot start: the recognition model \"" + vqtest::TempPath("missing.tpl").string() +
                "\" is missing or damaged.\n",
            testing::internal::GetCapturedStderr());
  EXPECT_FALSE(detector.Detect(page, &angle, false));
}

namespace {

class ProductOrientation : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
    ASSERT_TRUE(detector_.Initialize(VQ_RECOGNITION_MODEL));
  }
  int Angle(const cv::Mat& page) {
    int angle = -1;
    EXPECT_TRUE(detector_.Detect(page, &angle, false));
    return angle;
  }
  CTextOrientationDetector detector_;
};

}  // namespace

// Glyphs that differ from their own half turn.
TEST_F(ProductOrientation, RenderedPagesInEveryTurn) {
  const cv::Mat page =
      PrintedLines({560, 300}, {"大人天子手了我们", "今天学习老师说话", "学生认真回答问题"}, {60, 60});
  EXPECT_EQ(0, Angle(page));
  EXPECT_EQ(90, Angle(RotateImage90Clockwise(page)));
  EXPECT_EQ(180, Angle(RotateImage180(page)));
  EXPECT_EQ(270, Angle(RotateImage90CounterClockwise(page)));
  // Print under the least glyph box: its glyphs still read as glyphs.
  cv::Mat small;
  cv::resize(page, small, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
  EXPECT_EQ(90, Angle(RotateImage90Clockwise(small)));
  EXPECT_EQ(180, Angle(RotateImage180(small)));

  // Grey paper under a camera: the crops keep the paper around the ink.
  cv::Mat camera;
  page.convertTo(camera, CV_8U, 150.0 / 255.0, 50.0);
  cv::cvtColor(camera, camera, cv::COLOR_GRAY2BGR);
  EXPECT_EQ(90, Angle(RotateImage90Clockwise(camera)));
  EXPECT_EQ(270, Angle(RotateImage90CounterClockwise(camera)));
}

// A picture of fine hatching: a grid of glyph-sized cells, none of which
// reads clearly. The detection reads no more than its bound of marks and
// stays undecided; a stop asked for between marks ends it there.
TEST_F(ProductOrientation, HatchedPictureIsBoundedAndAStopEndsIt) {
  cv::Mat hatch(1200, 1600, CV_8U, cv::Scalar(235));
  for (int x = 0; x < hatch.cols; x += 12) cv::line(hatch, {x, 0}, {x, hatch.rows}, cv::Scalar(40), 2);
  for (int y = 0; y < hatch.rows; y += 12) cv::line(hatch, {0, y}, {hatch.cols, y}, cv::Scalar(40), 2);
  for (int d = 0; d < hatch.cols + hatch.rows; d += 36) cv::line(hatch, {d, 0}, {d - hatch.rows, hatch.rows}, cv::Scalar(90), 1);
  int angle = -1;
  EXPECT_FALSE(detector_.Detect(hatch, &angle, false));
  EXPECT_EQ(CTextOrientationDetector::kMaxMarksRead, detector_.MarksRead());
  int asked = 0;
  EXPECT_FALSE(detector_.Detect(hatch, &angle, false, [&] { return ++asked > 3; }));
  EXPECT_EQ(2, detector_.MarksRead());
}
