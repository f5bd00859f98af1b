// The watermark overlay on its own: the text it shows, where it sits, how
// it blends into pictures, and how the mouse selects, moves and turns it.
#include <gtest/gtest.h>

#include <cmath>

#include <opencv2/imgcodecs.hpp>

#include "base/PathEncoding.h"
#include "capture/WaterMarkObject.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/GdiObjectClasses.h"
#include "platform/win/Clock.h"
#include "platform/win/Messages.h"
#include "tests/imaging/HostilePictures.h"
#include "tests/support/IsolatedRun.h"
#include "tests/support/TestEnv.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Probe : CWaterMarkObject {
  using CWaterMarkObject::m_mask;
  using CWaterMarkObject::MeasureContent;
};

WaterMarkParams TextMark(const wchar_t* text, RECT at, int transparency = 0, float angle = 0) {
  WaterMarkParams p;
  p.color = RGB(255, 0, 0);
  p.kind = CWaterMarkObject::kText;
  p.rect = at;
  p.text = text;
  p.transparency = transparency;
  p.fontHeight = 40;
  p.angle = angle;
  return p;
}

SIZE ArialExtent(const wchar_t* text, int height) {
  CDC dc;
  dc.CreateCompatibleDC(nullptr);
  CFont font;
  font.CreateFont(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0x20, L"Arial");
  dc.SelectObject(&font);
  return dc.GetTextExtent(text, int(wcslen(text)));
}

cv::Mat Pixels(CImage& image) {
  return cv::Mat(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetBits(), size_t(image.GetPitch()));
}

// A white picture with the mark drawn into it at scale 1.
cv::Mat DrawnOnWhite(CWaterMarkObject& mark, int width = 400, int height = 300) {
  CImage picture;
  picture.Create(width, -height, 24);
  Pixels(picture).setTo(cv::Scalar::all(255));
  mark.Draw(&picture, RECT{0, 0, width, height}, 1.0f);
  return Pixels(picture).clone();
}

double SideLength(const std::vector<cv::Point2f>& p, size_t i) { return cv::norm(p[(i + 1) % 4] - p[i]); }

TEST(WaterMarkObjectTest, TextsOfEveryKind) {
  vqplatform::ManualClockScope clock(SYSTEMTIME{2024, 3, 2, 5, 7, 8, 9, 0});
  CWaterMarkObject mark;
  const struct {
    int kind;
    const wchar_t* text;
  } cases[] = {{0, L"A"}, {1, L""}, {2, L"2024/03/05-07:08:09"}, {3, L"2024/03/05-07:08:09  A"}, {7, L""}};
  for (const auto& c : cases) {
    WaterMarkParams p = TextMark(L"A", RECT{0, 0, 0, 0});
    p.kind = c.kind;
    mark.SetParams(p);
    EXPECT_EQ(mark.BuildText(), CString(c.text)) << c.kind;
  }
}

TEST(WaterMarkObjectTest, BoxIsTheContentWithItsMarginCentredAndTurned) {
  Probe mark;
  mark.SetParams(TextMark(L"", RECT{0, 0, 100, 100}));
  EXPECT_TRUE(mark.GetPoints().empty());  // nothing to show: no corners, nothing drawn
  EXPECT_EQ(cv::countNonZero(DrawnOnWhite(mark).reshape(1) != 255), 0);
  const SIZE extent = ArialExtent(L"Vorquell", 40);
  ASSERT_GT(extent.cx, 0);
  mark.SetParams(TextMark(L"Vorquell", RECT{180, 130, 220, 170}));
  const CRect box(200 - (extent.cx + 20) / 2, 150 - (extent.cy + 20) / 2, 0, 0);
  EXPECT_EQ(CRect(mark.GetParams().rect),
            CRect(box.left, box.top, box.left + extent.cx + 20, box.top + extent.cy + 20));
  EXPECT_EQ(mark.GetPoints().size(), 4u);

  // A quarter turn swaps the bounds' sides about the same centre.
  mark.SetParams(TextMark(L"Vorquell", RECT{180, 130, 220, 170}, 0, float(kPi / 2)));
  const CRect turned = mark.GetParams().rect;
  EXPECT_NEAR(turned.Width(), extent.cy + 20, 1);
  EXPECT_NEAR(turned.Height(), extent.cx + 20, 1);
  EXPECT_NEAR(turned.CenterPoint().x, 200, 1);

  // A picture mark of 300 x 400 renders a 500 x 500 mask at scale 1; one
  // that cannot be loaded has no content.
  cv::imwrite(vqtest::TempPath("mark.png").string(), cv::Mat(400, 300, CV_8UC3, cv::Scalar(200, 0, 0)));
  WaterMarkParams picture = TextMark(vq::FromFsPath(vqtest::TempPath("mark.png")).c_str(), RECT{200, 150, 200, 150});
  picture.kind = CWaterMarkObject::kImageFile;
  Probe image;
  image.SetParams(picture);
  EXPECT_EQ(CRect(image.GetParams().rect), CRect(50, -50, 350, 350));
  DrawnOnWhite(image);
  EXPECT_EQ(image.m_mask.size(), cv::Size(500, 500));
  // A file that is not there gives no content; one in a folder deeper than
  // 260 bytes is loaded like any other.
  std::filesystem::path deep = vqtest::TempDir();
  while (deep.string().size() < 300) deep /= "水印图片";
  std::filesystem::create_directories(deep);
  ASSERT_TRUE(cv::imwrite((deep / "mark.png").string(), cv::Mat(40, 30, CV_8UC3)));
  for (const auto& [path, width] : {std::pair{vqtest::TempPath("missing.png"), 0}, std::pair{deep / "mark.png", 30}}) {
    picture.text = vq::FromFsPath(path).c_str();
    image.SetParams(picture);
    EXPECT_EQ(image.MeasureContent().cx, width) << path;
    if (width == 0) {
      EXPECT_EQ(CRect(image.GetParams().rect), CRect(50, -50, 350, 350)) << "kept";
    }
  }
}

// The picture is a file the user picks: one declaring 16392 x 65320 pixels
// in 200 bytes gives no content and takes no pixel memory.
TEST(WaterMarkObjectTest, AHostilePictureGivesNoContentAndTakesNoMemory) {
  const auto path = vqtest::TempPath("huge.tif");
  ASSERT_TRUE(vqtest::WriteFile(path, hostile::HugeG4Tiff()));
  WaterMarkParams picture = TextMark(vq::FromFsPath(path).c_str(), RECT{200, 150, 200, 150});
  picture.kind = CWaterMarkObject::kImageFile;
  const auto measure = [&] {
    Probe mark;
    mark.SetParams(picture);
    EXPECT_EQ(mark.MeasureContent().cx, 0);
  };
  vqtest::IsolationLimits limits;
  limits.maxResidentGrowthMb = 32;
  limits.maxVirtualGrowthMb = 256;
  EXPECT_ISOLATED(nullptr, measure, limits);
}

TEST(WaterMarkObjectTest, BlendKeepsTheTransparencysShareOfTheOldPixel) {
  const struct {
    int transparency;
    cv::Vec3b covered;
  } cases[] = {{0, {0, 0, 255}}, {-20, {0, 0, 255}}, {50, {127, 127, 255}}, {100, {255, 255, 255}}, {150, {255, 255, 255}}};
  for (const auto& c : cases) {
    CWaterMarkObject mark;
    mark.SetParams(TextMark(L"Mark", RECT{200, 150, 200, 150}, c.transparency, 0.3f));
    const cv::Mat drawn = DrawnOnWhite(mark);
    int covered = 0, other = 0;
    for (auto it = drawn.begin<cv::Vec3b>(); it != drawn.end<cv::Vec3b>(); ++it) {
      if (*it == c.covered && *it != cv::Vec3b(255, 255, 255)) ++covered;
      else if (*it != cv::Vec3b(255, 255, 255)) ++other;
    }
    EXPECT_EQ(other, 0) << c.transparency;  // every covered pixel fully: no partial weights
    EXPECT_EQ(covered > 200, c.transparency < 100) << c.transparency;
  }
  // A turned picture mark leaves the pixels along its interpolated edge
  // untouched: every pixel is the picture's or the old one.
  cv::imwrite(vqtest::TempPath("mark.png").string(), cv::Mat(100, 160, CV_8UC3, cv::Scalar(200, 30, 0)));
  WaterMarkParams picture = TextMark(vq::FromFsPath(vqtest::TempPath("mark.png")).c_str(), RECT{200, 150, 200, 150}, 0, 0.5f);
  picture.kind = CWaterMarkObject::kImageFile;
  CWaterMarkObject image;
  image.SetParams(picture);
  const cv::Mat drawn = DrawnOnWhite(image);
  int painted = 0, mixed = 0;
  for (auto it = drawn.begin<cv::Vec3b>(); it != drawn.end<cv::Vec3b>(); ++it) {
    if (*it == cv::Vec3b(200, 30, 0)) ++painted;
    else if (*it != cv::Vec3b(255, 255, 255)) ++mixed;
  }
  EXPECT_GT(painted, 100 * 160 * 8 / 10);
  EXPECT_EQ(mixed, 0);
}

TEST(WaterMarkObjectTest, MouseSelectsInsideTheOutlineMovesTheBodyAndTurnsByCorners) {
  CWaterMarkObject mark;
  mark.SetParams(TextMark(L"Vorquell", RECT{200, 150, 200, 150}));
  const CRect box = mark.GetParams().rect;
  EXPECT_FALSE(mark.HitTest(box.CenterPoint().x, box.CenterPoint().y, 1.0f));  // not selected yet
  // Corners are handles: 10 pixels left of the top-left corner selects,
  // 11 right of the top-right corner (outside the outline) does not.
  EXPECT_TRUE(mark.OnLButtonDown(0, box.left - 10, box.top, 1.0f));
  mark.OnLButtonUp(0, box.left - 10, box.top, 1.0f);
  EXPECT_FALSE(mark.OnLButtonDown(0, box.right + 11, box.top, 1.0f));
  mark.OnLButtonUp(0, box.right + 11, box.top, 1.0f);
  EXPECT_TRUE(mark.OnLButtonDown(0, box.left + 3, box.bottom - 3, 1.0f));
  mark.OnLButtonUp(0, box.left + 3, box.bottom - 3, 1.0f);
  EXPECT_TRUE(mark.HitTest(box.left + 3, box.bottom - 3, 1.0f));

  // The body at zoom 0.5: 10 scaled pixels move the corners by 20.
  const POINT inside{box.CenterPoint().x / 2, box.CenterPoint().y / 2};
  EXPECT_TRUE(mark.OnLButtonDown(0, inside.x, inside.y, 0.5f));
  mark.OnLButtonUp(0, inside.x, inside.y, 0.5f);
  mark.OnMouseMove(0, inside.x, inside.y, 0.5f);
  EXPECT_EQ(mark.GetGrabbed(), CTrackRectangle::kGrabBody);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEALL));
  mark.OnLButtonDown(MK_LBUTTON, inside.x, inside.y, 0.5f);
  mark.OnMouseMove(MK_LBUTTON, inside.x + 10, inside.y, 0.5f);
  mark.OnLButtonUp(0, inside.x + 10, inside.y, 0.5f);
  EXPECT_EQ(CRect(mark.GetParams().rect), CRect(box.left + 20, box.top, box.right + 20, box.bottom));

  // Dragging the top-left corner a quarter turn about the centre turns the
  // mark by pi / 2 and keeps its size.
  DrawnOnWhite(mark);  // the handles are drawn at scale 1 again
  const std::vector<cv::Point2f> before = mark.GetPoints();
  const cv::Point2f c = (before[0] + before[2]) * 0.5f, corner = before[0];
  const cv::Point2f quarter(c.x - (corner.y - c.y), c.y + (corner.x - c.x));
  mark.OnMouseMove(0, int(corner.x), int(corner.y), 1.0f);
  EXPECT_EQ(mark.GetGrabbed(), 0);
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZEALL));
  mark.OnLButtonDown(MK_LBUTTON, int(corner.x), int(corner.y), 1.0f);
  mark.OnMouseMove(MK_LBUTTON, int(std::lround(quarter.x)), int(std::lround(quarter.y)), 1.0f);
  mark.OnLButtonUp(0, int(std::lround(quarter.x)), int(std::lround(quarter.y)), 1.0f);
  EXPECT_NEAR(mark.GetParams().angle, kPi / 2, 0.02);
  const std::vector<cv::Point2f> after = mark.GetPoints();
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(SideLength(after, i), SideLength(before, i), 0.01) << i;
  EXPECT_NEAR(after[0].x, quarter.x, 2.0);
  EXPECT_NEAR(after[0].y, quarter.y, 2.0);

  // Turned by 45 degrees, a click in a corner of its bounds lies outside
  // its outline and away from its corners: it does not select.
  mark.SetParams(TextMark(L"Vorquell", RECT{200, 150, 200, 150}, 0, float(kPi / 4)));
  const CRect bounds = mark.GetParams().rect;
  EXPECT_FALSE(mark.OnLButtonDown(0, bounds.left + 3, bounds.top + 3, 1.0f));
  mark.OnLButtonUp(0, bounds.left + 3, bounds.top + 3, 1.0f);
  EXPECT_TRUE(mark.OnLButtonDown(0, bounds.CenterPoint().x, bounds.CenterPoint().y, 1.0f));
}

}  // namespace
