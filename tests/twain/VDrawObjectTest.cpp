// The zoom view's overlay type: its defaults and its point turns.
#include "twain/VDrawObject.h"

#include <gtest/gtest.h>

namespace {

class Shape : public strenvik::CVDrawObject {
 public:
  explicit Shape(std::vector<std::pair<float, float>> points) { m_points = std::move(points); }
  bool OnLButtonDown(UINT, int, int, float) override { return true; }
  void OnMouseMove(UINT, int, int, float) override {}
  void OnLButtonUp(UINT, int, int, float) override {}
  void Draw(CImage*, int, int, int, int, float) override {}
  void GetRect(RECT*) override {}
  void SetRect(int, int, int, int, int) override {}
};

TEST(VDrawObjectTest, TurnsPointsInFloatAndSwapsVisibility) {
  Shape shape({{10.5f, 20.0f}, {0.0f, 0.0f}});
  const RECT image{0, 0, 640, 480};
  shape.RotatePoints90(image);  // (479 - y, x)
  EXPECT_EQ(shape.GetPoints()[0], std::make_pair(459.0f, 10.5f));
  shape.RotatePoints270(image);  // (y, 639 - x)
  EXPECT_EQ(shape.GetPoints()[0], std::make_pair(10.5f, 180.0f));
  shape.RotatePoints180(image);  // (639 - x, 479 - y)
  EXPECT_EQ(shape.GetPoints()[0], std::make_pair(628.5f, 299.0f));
  EXPECT_EQ(shape.GetPoints()[1], std::make_pair(639.0f, 319.0f));
  EXPECT_FALSE(shape.HitTest(1, 1, 1.0f));
  EXPECT_FALSE(shape.SetVisible(true));
  EXPECT_TRUE(shape.SetVisible(false));
  EXPECT_FALSE(shape.IsVisible());
}

}  // namespace
