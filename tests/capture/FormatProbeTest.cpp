// The device-format probe on virtual cameras.
#include "capture/CameraFormatProbe.h"
#include "tests/capture/CameraFixture.h"

namespace {
class FormatProbe : public vqtest::CameraTest {};
}  // namespace

TEST_F(FormatProbe, NothingBoundAnswersMinusOne) {
  CCameraFormatProbe probe;
  int w = 0, h = 0;
  EXPECT_EQ(probe.GetFormatSize(0, &w, &h), -1);
  EXPECT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 0), -3);
  EXPECT_EQ(probe.GetFormatSize(0, &w, &h), -1);
}

TEST_F(FormatProbe, ListsYuy2SizesInCapabilityOrder) {
  auto c = Quick();
  c.sizes = {{1600, 1200}, {640, 480}, {2048, 1536}};
  Plug(c);
  CCameraFormatProbe probe;
  ASSERT_EQ(probe.GetFormatCount(L"5651", L"D0C0", 0), 3);
  std::vector<cv::Size> sizes;
  for (int i = 0; i < 3; ++i) {
    int w = 0, h = 0;
    ASSERT_EQ(probe.GetFormatSize(i, &w, &h), 0);
    sizes.emplace_back(w, h);
  }
  EXPECT_EQ(sizes, c.sizes);
  int w = 0, h = 0;
  EXPECT_EQ(probe.GetFormatSize(6, &w, &h), -5);  // six capabilities with the MJPG ones
  EXPECT_EQ(probe.GetFormatSize(3, &w, &h), -6);
}

TEST_F(FormatProbe, MjpgOnlyCameraHasNoSizes) {
  auto c = Quick();
  c.yuy2 = false;
  Plug(c);
  CCameraFormatProbe probe;
  EXPECT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 0), 0);
  int w = 0, h = 0;
  EXPECT_EQ(probe.GetFormatSize(0, &w, &h), -6);
}

TEST_F(FormatProbe, AnotherIndexRebindsTheSameIdsKeepTheBinding) {
  auto first = Quick();
  first.sizes = {{640, 480}, {1280, 960}};
  auto second = Quick();
  second.sizes = {{800, 600}};
  auto one = Plug(first);
  Plug(second);
  CCameraFormatProbe probe;
  ASSERT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 0), 2);
  ASSERT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 1), 1);
  int w = 0, h = 0;
  ASSERT_EQ(probe.GetFormatSize(0, &w, &h), 0);
  EXPECT_EQ(cv::Size(w, h), cv::Size(800, 600));
  ASSERT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 0), 2);
  // The same query reuses the bound camera: it still answers after the
  // camera left the device list; another index binds anew and finds none.
  one->Unplug();
  ASSERT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 0), 2);
  ASSERT_EQ(probe.GetFormatSize(1, &w, &h), 0);
  EXPECT_EQ(cv::Size(w, h), cv::Size(1280, 960));
  EXPECT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 1), -3);
  EXPECT_EQ(probe.GetFormatSize(0, &w, &h), -1);
}

TEST_F(FormatProbe, UnreadableCapabilityKeepsTheBinding) {
  auto c = Quick();
  c.unreadableFormat = 1;
  Plug(c);
  CCameraFormatProbe probe;
  EXPECT_EQ(probe.GetFormatCount(L"5651", L"d0c0", 0), -6);
  int w = 0, h = 0;
  EXPECT_EQ(probe.GetFormatSize(0, &w, &h), 0);
  EXPECT_EQ(cv::Size(w, h), cv::Size(640, 480));
}
