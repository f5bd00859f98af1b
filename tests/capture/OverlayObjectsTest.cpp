// The canvas's overlays on their own: drawing, moving and resizing the
// selection rectangle, point turns, and the picture-in-picture box on
// screen and in captures.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "capture/SubImageBox.h"
#include "capture/TrackRectangle.h"
#include "platform/display/Cursors.h"
#include "platform/win/Messages.h"

inline void PrintTo(const CRect& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Probe : CTrackRectangle {
  using CDrawObject::m_points;
};

CRect Bounds(CDrawObject& o) { return o.GetRect(); }

// A rectangle placed, selected and drawn once at scale 1, so that its
// handles are known.
void PlaceSelected(CTrackRectangle& r, RECT at, bool constrained = false) {
  r.SetRect(at.left, at.top, at.right, at.bottom, constrained);
  r.SetSelected(true);
  CImage target;
  target.Create(600, -600, 24);
  r.Draw(&target, RECT{0, 0, 600, 600}, 1.0f);
}

void DragFrom(CDrawObject& o, POINT from, POINT to, float s = 1.0f) {
  o.OnMouseMove(0, from.x, from.y, s);  // hovering picks the part
  o.OnLButtonDown(MK_LBUTTON, from.x, from.y, s);
  o.OnMouseMove(MK_LBUTTON, to.x, to.y, s);
  o.OnLButtonUp(0, to.x, to.y, s);
}

TEST(OverlayObjectsTest, NewSelectionIsAtLeastEightyPixelsInTheDragsDirection) {
  CTrackRectangle click;
  click.OnLButtonDown(0, 100, 100, 1.0f);
  click.OnLButtonUp(0, 100, 100, 1.0f);
  EXPECT_EQ(click.GetPoints()[1], cv::Point2f(20, 20));  // no drag counts as up and left
  EXPECT_TRUE(click.IsPlaced() && click.IsSelected());
  CTrackRectangle drag;
  EXPECT_TRUE(drag.HitTest(0, 0, 1.0f));  // unplaced: claims the canvas
  drag.OnLButtonDown(0, 100, 100, 1.0f);
  drag.OnMouseMove(MK_LBUTTON, 130, 60, 1.0f);
  drag.OnLButtonUp(0, 130, 60, 1.0f);
  EXPECT_EQ(Bounds(drag), CRect(100, 20, 180, 100));
  CTrackRectangle half;
  half.OnLButtonDown(0, 50, 50, 0.5f);
  EXPECT_EQ(half.GetPoints()[0], cv::Point2f(101, 101));
}

TEST(OverlayObjectsTest, EachHandleMovesItsEdgesAndShowsItsCursor) {
  const RECT start{100, 100, 300, 300};
  const CRect expected[8] = {{120, 120, 300, 300}, {100, 120, 300, 300}, {100, 120, 320, 300}, {100, 100, 320, 300},
                             {100, 100, 320, 320}, {100, 100, 300, 320}, {120, 100, 300, 320}, {120, 100, 300, 300}};
  const POINT handles[8] = {{100, 100}, {200, 100}, {299, 100}, {299, 200},
                            {299, 299}, {200, 299}, {100, 299}, {100, 200}};
  LPCWSTR cursors[8] = {IDC_SIZENWSE, IDC_SIZENS, IDC_SIZENESW, IDC_SIZEWE,
                        IDC_SIZENWSE, IDC_SIZENS, IDC_SIZENESW, IDC_SIZEWE};
  CTrackRectangle r;
  PlaceSelected(r, start);
  for (int i = 0; i < 8; ++i) {
    r.SetRect(start.left, start.top, start.right, start.bottom, false);
    r.OnMouseMove(0, handles[i].x, handles[i].y, 1.0f);
    EXPECT_EQ(r.GetGrabbed(), i);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, cursors[i])) << i;
    DragFrom(r, handles[i], POINT{handles[i].x + 20, handles[i].y + 20});
    EXPECT_EQ(Bounds(r), expected[i]) << "handle " << i;
  }
  r.SetRect(start.left, start.top, start.right, start.bottom, false);
  DragFrom(r, POINT{200, 200}, POINT{150, 260});  // the body moves
  EXPECT_EQ(Bounds(r), CRect(50, 160, 250, 360));
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEALL));
}

TEST(OverlayObjectsTest, ResizesBelowEightyPixelsAreRefused) {
  CTrackRectangle r;
  PlaceSelected(r, RECT{100, 100, 200, 200});
  DragFrom(r, POINT{199, 150}, POINT{169, 150});  // width 70
  EXPECT_EQ(Bounds(r), CRect(100, 100, 200, 200));
  DragFrom(r, POINT{199, 150}, POINT{189, 150});  // width 90
  EXPECT_EQ(Bounds(r), CRect(100, 100, 190, 200));
  // Exactly 80 wide is enough, exactly 80 high is not.
  PlaceSelected(r, RECT{0, 0, 100, 100});
  DragFrom(r, POINT{50, 99}, POINT{50, 79});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 100, 100));
  DragFrom(r, POINT{99, 50}, POINT{79, 50});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 80, 100));
  // 79 x 100 grows, but does not shrink.
  PlaceSelected(r, RECT{0, 0, 79, 100});
  DragFrom(r, POINT{39, 99}, POINT{39, 94});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 79, 100));
  DragFrom(r, POINT{78, 50}, POINT{83, 50});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 84, 100));
  // At 80 x 80 any change that shrinks a side is refused.
  PlaceSelected(r, RECT{0, 0, 80, 80});
  DragFrom(r, POINT{79, 79}, POINT{89, 74});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 80, 80));
  DragFrom(r, POINT{79, 79}, POINT{89, 89});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 90, 90));
  // A constrained rectangle keeps its ratio.
  PlaceSelected(r, RECT{0, 0, 200, 100}, true);
  DragFrom(r, POINT{100, 99}, POINT{100, 109});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 220, 110));
  PlaceSelected(r, RECT{0, 0, 200, 0}, true);  // no ratio to keep
  DragFrom(r, POINT{199, 0}, POINT{250, 0});
  EXPECT_EQ(Bounds(r), CRect(0, 0, 200, 0));
}

TEST(OverlayObjectsTest, QuarterTurnsOfPointsAndRoundedBounds) {
  Probe p;
  p.m_points = {{10, 20}};
  const RECT picture{0, 0, 640, 480};
  p.RotatePoints90(picture);
  EXPECT_EQ(p.m_points[0], cv::Point2f(459, 10));
  p.m_points = {{10, 20}};
  p.RotatePoints270(picture);
  EXPECT_EQ(p.m_points[0], cv::Point2f(20, 629));
  p.m_points = {{10.5f, 20}};
  p.RotatePoints180(picture);
  EXPECT_EQ(p.m_points[0], cv::Point2f(628.5f, 459));
  p.m_points = {{10.5f, 20.4f}, {100.49f, 50.5f}};
  EXPECT_EQ(Bounds(p), CRect(11, 20, 100, 51));
  p.m_points.clear();
  EXPECT_EQ(Bounds(p), CRect(0, 0, 0, 0));
}

TEST(OverlayObjectsTest, BoxTurnsByTheEffectiveAngle) {
  EXPECT_DOUBLE_EQ(CSubImageBox::EffectiveTurn(-0.2), -0.2);
  EXPECT_NEAR(CSubImageBox::EffectiveTurn(-1.0), 0.5708, 1e-4);  // -32.7 degrees on screen
  EXPECT_DOUBLE_EQ(CSubImageBox::EffectiveTurn(kPi / 4), -kPi / 4);
  EXPECT_NEAR(CSubImageBox::EffectiveTurn(1.2), 1.2 - kPi / 2, 1e-12);
  const CSubImageBox::TurnSquare square = CSubImageBox::TurnSquareFor(320, 240);
  EXPECT_EQ(square.side, 400);
  EXPECT_EQ(square.offset, cv::Point(40, 80));
}

// Bottom-up RGB24 rows: the top `topRows` rows in one colour, the rest in another.
std::vector<BYTE> TwoBands(int width, int height, int topRows, cv::Vec3b top, cv::Vec3b rest) {
  std::vector<BYTE> pixels;
  for (int row = 0; row < height; ++row) {  // stored from the bottom row up
    cv::Vec3b c = height - 1 - row < topRows ? top : rest;
    for (int x = 0; x < width; ++x) pixels.insert(pixels.end(), {c[0], c[1], c[2]});
  }
  return pixels;
}

cv::Mat Pixels(CImage& image) {
  return cv::Mat(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetBits(), size_t(image.GetPitch()));
}

TEST(OverlayObjectsTest, BoxRendersItsPictureIntoCaptures) {
  const cv::Vec3b red(0, 0, 200), blue(200, 0, 0), sentinel(7, 7, 7);
  CSubImageBox box;
  std::vector<BYTE> picture = TwoBands(320, 240, 120, red, blue);
  box.SetSubImage(picture.data(), 320, 240);
  EXPECT_EQ(Bounds(box), CRect(0, 0, 320, 240));  // no place yet: the picture's size
  CImage capture;
  capture.Create(800, -600, 24);
  cv::Mat shown = Pixels(capture);
  // Unturned: stretched into the box, top row first.
  box.SetRect(100, 50, 260, 170, false);
  shown.setTo(sentinel);
  box.DrawSubImage(&capture);
  EXPECT_EQ(shown.at<cv::Vec3b>(55, 110), red);
  EXPECT_EQ(shown.at<cv::Vec3b>(165, 250), blue);
  EXPECT_EQ(cv::countNonZero(cv::Mat(shown != sentinel).reshape(1)), 160 * 120 * 3);
  // Turned by nothing: the picture at its own size, centred on the box.
  box.SetTurn(true, 0.0);
  shown.setTo(sentinel);
  box.DrawSubImage(&capture);
  cv::Mat covered;
  cv::inRange(shown, sentinel, sentinel, covered);
  EXPECT_EQ(cv::boundingRect(255 - covered), cv::Rect(180 - 160, 110 - 120, 320, 240) & cv::Rect(0, 0, 800, 600));
  // Turned: only pixels the mask fully covers are copied, none blended with the edge.
  std::vector<BYTE> plain = TwoBands(320, 240, 240, red, red);
  box.SetSubImage(plain.data(), 320, 240);
  box.SetRect(240, 180, 560, 420, false);
  box.SetTurn(true, -0.2);
  shown.setTo(sentinel);
  box.DrawSubImage(&capture);
  int redPixels = 0, otherPixels = 0;
  for (auto it = shown.begin<cv::Vec3b>(); it != shown.end<cv::Vec3b>(); ++it) {
    redPixels += *it == red;
    otherPixels += *it != red && *it != sentinel;
  }
  EXPECT_EQ(otherPixels, 0);
  EXPECT_NEAR(redPixels, 320 * 240, 320 * 240 / 25);
  cv::inRange(shown, red, red, covered);
  EXPECT_GT(cv::boundingRect(covered).width, 340);  // turned, so wider than the picture
}

TEST(OverlayObjectsTest, BoxMovesByDraggingButIsNotResized) {
  CSubImageBox box;
  box.SetRect(100, 100, 300, 300, false);
  EXPECT_FALSE(box.OnLButtonDown(0, 50, 50, 1.0f));
  EXPECT_TRUE(box.OnLButtonDown(0, 150, 150, 1.0f));
  box.OnLButtonUp(0, 150, 150, 1.0f);
  DragFrom(box, POINT{150, 150}, POINT{170, 160});
  EXPECT_EQ(Bounds(box), CRect(120, 110, 320, 310));
  DragFrom(box, POINT{319, 309}, POINT{339, 319});  // a corner moves it too
  EXPECT_EQ(Bounds(box), CRect(140, 120, 340, 320));
}

}  // namespace
