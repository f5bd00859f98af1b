#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <opencv2/imgproc.hpp>

#include "scene/PrintedPage.h"
#include "scene/Renderer.h"
#include "scene/Script.h"

namespace {

using namespace vqscene;

const cv::Size kFrame(640, 480);

// Mean grey level inside a small square around a point.
double GreyAround(const cv::Mat& frame, cv::Point2f p, int half = 2) {
  const cv::Rect box(cvRound(p.x) - half, cvRound(p.y) - half, 2 * half + 1, 2 * half + 1);
  const cv::Scalar m = cv::mean(frame(box & cv::Rect(0, 0, frame.cols, frame.rows)));
  return (m[0] + m[1] + m[2]) / 3.0;
}

// A point inside the sheet, a fraction of the way from its centre to a corner.
cv::Point2f Inside(const Sheet& sheet, int corner, float fraction) {
  cv::Point2f p[4];
  sheet.rect.points(p);
  return sheet.rect.center + (p[corner] - sheet.rect.center) * fraction;
}

TEST(SceneRender, PaperIsLightOnADarkerDeskWhereTheGroundTruthSaysSo) {
  const Scene scene = SingleSheet(kFrame, {300, 250}, {200, 280}, -23);
  const cv::Mat frame = RenderScene(scene);
  ASSERT_EQ(frame.type(), CV_8UC3);
  ASSERT_EQ(frame.size(), kFrame);
  const Sheet& sheet = scene.sheets[0];
  for (int corner = 0; corner < 4; ++corner) {
    EXPECT_GT(GreyAround(frame, Inside(sheet, corner, 0.95f)), 200) << corner;  // the paper margin
    EXPECT_LT(GreyAround(frame, Inside(sheet, corner, 1.15f)), 110) << corner;  // the desk around it
  }
  // Text marks make the middle of the page darker than its margin.
  cv::Mat grey;
  cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
  double lo, hi;
  cv::minMaxLoc(grey(cv::Rect(260, 200, 80, 80)), &lo, &hi);
  EXPECT_LT(lo, 100);
  EXPECT_GT(hi, 200);
}

TEST(SceneRender, EqualDescriptionsGiveEqualFramesAndTheSeedsMatter) {
  Scene scene = SingleSheet(kFrame, {320, 240}, {220, 300}, 10);
  scene.noiseSigma = 5;
  scene.blurSigma = 1;
  const cv::Mat a = RenderScene(scene), b = RenderScene(scene);
  EXPECT_EQ(cv::norm(a, b, cv::NORM_INF), 0);
  scene.noiseSeed = 2;
  const cv::Mat noisy = RenderScene(scene);
  EXPECT_GT(cv::norm(a, noisy, cv::NORM_INF), 0);
  EXPECT_NEAR(cv::mean(a)[1], cv::mean(noisy)[1], 1.0) << "noise has no bias";
  scene.noiseSigma = 0;
  scene.blurSigma = 0;
  scene.seed = 9;
  const cv::Mat otherDesk = RenderScene(scene);
  EXPECT_GT(cv::norm(a(cv::Rect(0, 0, 40, 40)), otherDesk(cv::Rect(0, 0, 40, 40)), cv::NORM_L1), 0);
}

TEST(SceneRender, EmptySizeGivesAnEmptyFrame) {
  EXPECT_TRUE(RenderScene(EmptyDesk({0, 480})).empty());
}

TEST(SceneRender, ShadowDarkensTheDeskBelowAndRightOfTheSheet) {
  Scene scene = SingleSheet(kFrame, {320, 240}, {200, 200}, 0);
  const cv::Point2f justBelow(320, 240 + 100 + 6);
  const double lit = GreyAround(RenderScene(EmptyDesk(kFrame)), justBelow);
  EXPECT_LT(GreyAround(RenderScene(scene), justBelow), lit - 5);
  scene.shadows = false;
  EXPECT_NEAR(GreyAround(RenderScene(scene), justBelow), lit, 1.0);
}

TEST(SceneRender, HandCoversWhatLiesUnderIt) {
  Scene scene = EmptyDesk(kFrame);
  scene.hand = HandReachingTo(kFrame, {320, 300});
  const cv::Mat frame = RenderScene(scene);
  const cv::Vec3b palm = frame.at<cv::Vec3b>(300, 320);
  EXPECT_GT(palm[2], palm[0] + 40) << "skin is reddish";
  const Hand& hand = *scene.hand;
  EXPECT_GT(hand.entry.y, 480) << "the user's side";
  const float t = (470 - hand.palm.y) / (hand.entry.y - hand.palm.y);
  const cv::Point2f arm = hand.palm + (hand.entry - hand.palm) * t;
  EXPECT_GT(GreyAround(frame, arm), GreyAround(frame, {40, 40}) + 20) << "the forearm reaches the border";
}

// A printed side lands where the sheet lies, turned with it; the light
// falls off to the corners and an overhead shadow darkens what it covers.
TEST(SceneRender, PrintFollowsTheSheetAndTheLightIsUneven) {
  Sheet sheet = PlaceSheet({320, 240}, {200, 300}, 90);
  sheet.print = cv::Mat(300, 200, CV_8U, cv::Scalar::all(255));
  sheet.print(cv::Rect(0, 0, 200, 30)).setTo(0);  // a black band along the print's top
  Scene scene = EmptyDesk(kFrame);
  scene.shadows = false;
  scene.sheets.push_back(sheet);
  const cv::Mat frame = RenderScene(scene);
  // Turned 90 degrees the print's top runs down the sheet's right side.
  EXPECT_LT(GreyAround(frame, {320 + 135, 240}), 60);
  EXPECT_GT(GreyAround(frame, {320 - 135, 240}), 200);
  EXPECT_GT(GreyAround(frame, {320, 240}), 200);

  scene.shadows = true;
  scene.vignetting = 0.4;
  scene.overheadShadows.push_back({{-50, -50}, {300, -50}, {-50, 300}});
  const cv::Mat lit = RenderScene(scene);
  EXPECT_NEAR(GreyAround(frame, {320, 240}), GreyAround(lit, {320, 240}), 2.0);  // the middle keeps its light
  EXPECT_LT(GreyAround(lit, {630, 470}), 0.7 * GreyAround(frame, {630, 470}));  // a corner loses 40 %
  EXPECT_LT(GreyAround(lit, {40, 40}), 0.6 * GreyAround(frame, {40, 40}));      // shaded and dimmed
}

TEST(ScenePrint, ParagraphsKeepTheMarginsAndDrawFromThePool) {
  CjkTextRenderer renderer(SongFont());
  ASSERT_TRUE(renderer.Ok());
  cv::RNG rng(3);
  const PrintedText page = SetChineseParagraphs(renderer, {400, 300}, 20, U"天地人", rng);
  ASSERT_FALSE(page.text.empty());
  for (char32_t c : page.text) EXPECT_TRUE(c == U'天' || c == U'地' || c == U'人');
  // Ink only inside the margins (8 % of each side, give or take the
  // glyphs' antialiased edge).
  const cv::Rect inside(30, 22, 400 - 60, 300 - 44);
  cv::Mat outside = page.print.clone();
  outside(inside).setTo(255);
  EXPECT_EQ(255, *std::min_element(outside.begin<uint8_t>(), outside.end<uint8_t>()));
  EXPECT_LT(*std::min_element(page.print.begin<uint8_t>(), page.print.end<uint8_t>()), 50);
  EXPECT_EQ(2, EditDistance(U"天地人人", U"天人人地"));
  EXPECT_EQ(3, EditDistance(U"天地人", U""));
}

// Chinese paragraphs as documents hold them: the text records every
// character as printed, half-width runs among full-width ones.
TEST(ScenePrint, MixedParagraphsHoldDigitsLatinAndChineseSignsAsPrinted) {
  CjkTextRenderer renderer(SongFont());
  ASSERT_TRUE(renderer.Ok());
  cv::RNG rng(9);
  const PrintedText page = SetMixedParagraphs(renderer, {900, 1200}, 24, U"天地人", rng);
  std::map<CharacterKind, int> kinds;
  for (char32_t c : page.text) ++kinds[KindOf(c)];
  EXPECT_GT(kinds[CharacterKind::kChinese], 300);
  EXPECT_GT(kinds[CharacterKind::kLatin], 60);
  EXPECT_GT(kinds[CharacterKind::kOther], 30);
  EXPECT_EQ(page.text.find(U' '), std::u32string::npos);
  for (char32_t sign : {U'，', U'。'}) EXPECT_NE(page.text.find(sign), std::u32string::npos);
  for (char32_t c : page.text)
    EXPECT_FALSE(c >= 0xFF10 && c <= 0xFF5A && KindOf(static_cast<char32_t>(c - 0xFEE0)) == CharacterKind::kLatin)
        << "letters and digits are half-width";
  EXPECT_LT(*std::min_element(page.print.begin<uint8_t>(), page.print.end<uint8_t>()), 50);

  // Each kind counted on its own: what is read as another kind is missing.
  EXPECT_EQ(1.0, KindAccuracy(U"天3地b", U"天3地b", CharacterKind::kChinese));
  EXPECT_EQ(0.5, KindAccuracy(U"天3地b", U"天3他b", CharacterKind::kChinese));
  EXPECT_EQ(0.5, KindAccuracy(U"天3地b", U"天３地b", CharacterKind::kLatin));
  EXPECT_EQ(-1.0, KindAccuracy(U"天地", U"天地", CharacterKind::kLatin));
}

// A sheet lifted toward the camera comes out wider at its top, the ground
// truth its own corners; a dim room keeps a share of the light.
TEST(ScenePrint, TiltedSheetIsATrapezoidAndADimRoomIsDarker) {
  const cv::Mat print(400, 282, CV_8U, cv::Scalar::all(255));
  DeskLight light;
  light.shadow = false;
  light.vignetting = 0.0;
  light.noise = 0.0;
  const Scene tilted = PhotographedSheet(print, kFrame, 0.0f, light, 3, 25.0f);
  const Sheet& sheet = tilted.sheets[0];
  ASSERT_EQ(4u, sheet.corners.size());
  const float top = sheet.corners[1].x - sheet.corners[0].x, bottom = sheet.corners[2].x - sheet.corners[3].x;
  EXPECT_GT(top, 1.2f * bottom);
  EXPECT_LT(sheet.corners[3].y - sheet.corners[0].y, 400 * 0.95f) << "seen foreshortened";
  const cv::Mat frame = RenderScene(tilted);
  const cv::Point2f topMiddle = (sheet.corners[0] + sheet.corners[1]) * 0.5f + cv::Point2f(0, 6);
  const cv::Point2f besideBottom = sheet.corners[3] + cv::Point2f(-(top - bottom) / 4, -6);
  EXPECT_GT(GreyAround(frame, topMiddle), 200) << "paper just inside the top edge";
  EXPECT_LT(GreyAround(frame, besideBottom), 110) << "desk beside the narrower bottom";
  // Flat, the same sheet has no corners of its own.
  EXPECT_TRUE(PhotographedSheet(print, kFrame, 0.0f, light, 3).sheets[0].corners.empty());

  light.exposure = 0.3;
  const cv::Mat dim = RenderScene(PhotographedSheet(print, kFrame, 0.0f, light, 3));
  light.exposure = 1.0;
  const cv::Mat lit = RenderScene(PhotographedSheet(print, kFrame, 0.0f, light, 3));
  EXPECT_NEAR(0.3 * GreyAround(lit, {320, 240}), GreyAround(dim, {320, 240}), 2.0);
}

// A print finer than the frame covers the sheet's size in frame pixels, and
// detail finer than a pixel comes out as its grey, flat or tilted: each
// pixel takes in its area, no stripes beat through.
TEST(ScenePrint, PrintFinerThanTheFrameIsTakenInOverEachPixel) {
  cv::Mat fine(600, 423, CV_8U);
  for (int y = 0; y < fine.rows; ++y)
    for (int x = 0; x < fine.cols; ++x) fine.at<uint8_t>(y, x) = (x + y) % 2 ? 0 : 255;
  DeskLight light;
  light.shadow = false;
  light.vignetting = 0.0;
  light.noise = 0.0;
  light.blur = 0.0;
  for (float tilt : {0.0f, 10.0f}) {
    const Scene scene = PhotographedSheet(fine, kFrame, 3.0f, light, 3, tilt, 3);
    const Sheet& sheet = scene.sheets[0];
    if (tilt == 0.0f) {
      EXPECT_NEAR(141.0f, sheet.rect.size.width, 0.5f);
      EXPECT_NEAR(200.0f, sheet.rect.size.height, 0.5f);
    }
    cv::Mat grey;
    cv::cvtColor(RenderScene(scene), grey, cv::COLOR_BGR2GRAY);
    cv::Scalar mean, spread;
    cv::meanStdDev(grey(cv::Rect(cvRound(sheet.rect.center.x) - 30, cvRound(sheet.rect.center.y) - 30, 60, 60)), mean,
                   spread);
    // Half ink, half paper: ink keeps a tenth of the paper's light.
    EXPECT_NEAR(0.55 * 240, mean[0], 12.0) << tilt;
    EXPECT_LT(spread[0], 6.0) << tilt;
  }
}

TEST(SceneSheets, RandomSheetsLieWhollyInsideTheFrameWithPaperProportions) {
  cv::RNG rng(42);
  for (int i = 0; i < 200; ++i) {
    const Sheet sheet = RandomSheet(kFrame, rng);
    const cv::Rect2f box = sheet.rect.boundingRect2f();
    EXPECT_GE(box.x, 0);
    EXPECT_GE(box.y, 0);
    EXPECT_LE(box.x + box.width, kFrame.width);
    EXPECT_LE(box.y + box.height, kFrame.height);
    const float ratio = std::max(sheet.rect.size.width, sheet.rect.size.height) /
                        std::min(sheet.rect.size.width, sheet.rect.size.height);
    EXPECT_NEAR(ratio, 1.36, 0.07);
    EXPECT_GT(sheet.rect.size.area(), 0.05 * kFrame.area());
  }
}

TEST(SceneScript, LaysAHandBroughtSheetThatThenRests) {
  const Sheet sheet = PlaceSheet({300, 220}, {200, 260}, 12, 5);
  SceneScript script(EmptyDesk(kFrame), 7);
  script.Wait(1.0).LaySheet(4.0, sheet).Wait(2.0);
  EXPECT_DOUBLE_EQ(script.Duration(), 7.0);

  EXPECT_TRUE(script.SceneAt(0.5).sheets.empty());
  const Scene carrying = script.SceneAt(1.0 + 0.2 * 4.0);
  ASSERT_EQ(carrying.sheets.size(), 1u);
  EXPECT_TRUE(carrying.hand.has_value());
  EXPECT_GT(cv::norm(carrying.sheets[0].rect.center - sheet.rect.center), 10.0) << "still on its way";

  const Scene resting = script.SceneAt(6.0);
  ASSERT_EQ(resting.sheets.size(), 1u);
  EXPECT_FALSE(resting.hand.has_value());
  EXPECT_EQ(resting.sheets[0].rect.center, sheet.rect.center);
  // Without noise, frames of a resting scene are identical.
  EXPECT_EQ(cv::norm(script.FrameAt(5.5), script.FrameAt(6.5), cv::NORM_INF), 0);
  EXPECT_EQ(script.SceneAt(100.0).sheets.size(), 1u) << "times past the end show the last scene";
}

TEST(SceneScript, SwapReplacesTheSheetAndClearingEmptiesTheDesk) {
  const Sheet first = PlaceSheet({200, 200}, {180, 240}, 0, 1);
  const Sheet second = PlaceSheet({420, 260}, {240, 180}, 30, 2);
  SceneScript script(EmptyDesk(kFrame), 7);
  script.LaySheet(2, first).LaySheet(5, second).Wait(1).ClearDesk(2).Wait(1);
  const Scene afterFirst = script.SceneAt(1.9);
  ASSERT_EQ(afterFirst.sheets.size(), 1u);
  EXPECT_EQ(afterFirst.sheets[0].rect.center, first.rect.center);
  const Scene afterSwap = script.SceneAt(7.5);
  ASSERT_EQ(afterSwap.sheets.size(), 1u);
  EXPECT_EQ(afterSwap.sheets[0].rect.center, second.rect.center);
  EXPECT_EQ(afterSwap.sheets[0].rect.angle, 30);
  EXPECT_TRUE(script.SceneAt(10.5).sheets.empty());
  EXPECT_FALSE(script.SceneAt(10.5).hand.has_value());
}

TEST(SceneScript, HandPassesOverAndLeavesTheSceneAsItWas) {
  SceneScript script(EmptyDesk(kFrame), 3);
  script.Wait(1).HandPasses(2).Wait(1);
  EXPECT_TRUE(script.SceneAt(2.0).hand.has_value());
  EXPECT_EQ(cv::norm(script.FrameAt(0.5), script.FrameAt(3.5), cv::NORM_INF), 0);
}

TEST(SceneScript, SameSeedSameFramesWithNoiseThatChangesOverTime) {
  Scene look = EmptyDesk(kFrame);
  look.noiseSigma = 3;
  SceneScript a(look, 11), b(look, 11);
  a.LaySheet(2).Wait(2);
  b.LaySheet(2).Wait(2);
  EXPECT_EQ(cv::norm(a.FrameAt(1.0), b.FrameAt(1.0), cv::NORM_INF), 0);
  EXPECT_GT(cv::norm(a.FrameAt(3.0), a.FrameAt(3.5), cv::NORM_INF), 0) << "each frame has its own noise";
  EXPECT_EQ(a.SceneAt(3.0).sheets[0].rect.center, b.SceneAt(3.0).sheets[0].rect.center);
}

}  // namespace
