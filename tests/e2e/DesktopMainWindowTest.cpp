// Vorquell's main window on a user's desktop, under openbox and under IceWM:
// on a laptop's 1366 x 768 screen (IceWM with its panel at the bottom) it
// maximises into the work area, its last buttons and its status line in
// sight; dragged two hundred times by its title bar it stays where the last
// drag left it, the program running all along.
#include <gtest/gtest.h>

#include <string>

#include "app/VorquellDlg.h"
#include "tests/e2e/VorquellProgramTest.h"

namespace {

using namespace std::chrono_literals;

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

using vqtest::SameRect;

RECT Moved(const RECT& r, LONG dx, LONG dy) { return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy}; }

class DesktopMainWindowTest : public vqtest::VorquellProgramTest {
 protected:
  explicit DesktopMainWindowTest(vqtest::Desktop desktop) : VorquellProgramTest(std::move(desktop)) {}
  void SetUp() override {
    VorquellProgramTest::SetUp();
    if (IsSkipped()) return;
    server_.emplace();
    ASSERT_TRUE(server_->WaitForWindowManager());
    vq::dshow::PlugInVirtualCamera(vq::dshow::VirtualCameraConfig::Document());
  }
  std::optional<vqtest::XServer> server_;
};

class LaptopScreenTest : public DesktopMainWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  LaptopScreenTest() : DesktopMainWindowTest(vqtest::Desktop{GetParam(), 1366, 768}) {}
};

TEST_P(LaptopScreenTest, MainWindowFitsTheWorkAreaOrMaximises) {
  // IceWM sets the work area once its panel is up.
  RECT area{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return (area = server_->WorkArea()).bottom > 0; }));
  if (std::string(GetParam()) == "icewm") {
    EXPECT_LT(area.bottom, 768) << "no panel";
  }
  RunInProcess(*server_, [&](HWND main) {
    const unsigned long xwindow = vqplatform::PresentedXWindow(main);
    RECT frame{};
    // Too tall for the work area with its frame: maximised there, where the
    // program and the server agree.
    EXPECT_TRUE(vqtest::WaitFor([&] {
      frame = server_->FrameRectOnScreen(xwindow);
      return IsZoomed(main) && SameRect(frame, vqtest::ScreenRectOf(main)) &&
             SameRect(server_->ClientRectOnScreen(xwindow), vqtest::ClientRectOnScreen(main));
    })) << "frame " << frame.left << ", " << frame.top << ", " << frame.right << ", " << frame.bottom;
    // The window manager may put a maximised window's borders off the
    // screen; its client area lies in the work area.
    const RECT client = vqtest::ClientRectOnScreen(main);
    EXPECT_TRUE(Inside(client, area)) << "client area " << client.left << ", " << client.top << ", " << client.right
                                      << ", " << client.bottom;
    // The layout followed: the status line in the work area, the column's
    // last button where the user can click it.
    EXPECT_TRUE(vqtest::WaitFor([&] { return Inside(vqtest::ScreenRectOf(GetDlgItem(main, IDC_WINDOW_LABEL)), area); }))
        << "the status line is out of sight";
    RECT last{};
    EXPECT_TRUE(vqtest::WaitFor([&] { return Inside(last = vqtest::ScreenRectOf(GetDlgItem(main, IDC_CONTINUOUS)), area); }))
        << "the continuous-shooting button is not all in sight: " << last.top << " to " << last.bottom << " of "
        << area.bottom;
    size_t differences = SIZE_MAX;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      vqtest::ShownOnServer(*server_, main, &differences);
      return differences == 0;
    })) << differences << " pixels differ";
    server_->Grab(RECT{0, 0, 1366, 768})
        .SavePng(vqtest::ScreenshotPath(std::string(GetParam()) + "-laptop-screen.png"));
  });
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, LaptopScreenTest, ::testing::Values("openbox", "icewm", "xfwm4"),
                         [](const auto& info) { return std::string(info.param); });

class DraggedMainWindowTest : public DesktopMainWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  DraggedMainWindowTest() : DesktopMainWindowTest(vqtest::Desktop{GetParam()}) {}
};

TEST_P(DraggedMainWindowTest, TwoHundredDragsLeaveTheWindowWhereTheLastOnePutIt) {
  RunInProcess(*server_, [&](HWND main) {
    const unsigned long xwindow = vqplatform::PresentedXWindow(main);
    RECT expected{};
    ASSERT_TRUE(vqtest::WaitFor([&] {
      expected = server_->FrameRectOnScreen(xwindow);
      return SameRect(expected, vqtest::ScreenRectOf(main));
    }));
    const LONG titleTop = server_->FrameExtents(xwindow).top;
    constexpr int kDrags = 200;
    for (int drag = 1; drag <= kDrags; ++drag) {
      // Targets over a stretch of the screen away from its edges (which
      // hold a window dragged near them), no two drags from one point (a
      // second press there would be a double click on the title bar).
      const LONG dx = 100 + (drag * 37) % 240 - expected.left;
      const LONG dy = 80 + (drag * 53) % 140 - expected.top;
      const LONG gripX = expected.left + (drag % 2 ? 150 : 300) + drag % 7;
      const POINT grip{gripX, expected.top + titleTop / 2};
      ASSERT_TRUE(vqtest::WaitFor([&] { return server_->PointerFree(); })) << "the last drag never ended";
      expected = Moved(expected, dx, dy);
      RECT frame{};
      server_->Drag(grip, POINT{grip.x + dx, grip.y + dy}, 4, [&] {
        return SameRect(frame = server_->FrameRectOnScreen(xwindow), expected);
      });
      ASSERT_TRUE(vqtest::WaitFor([&] { return SameRect(frame = server_->FrameRectOnScreen(xwindow), expected); }))
          << "drag " << drag << " left the frame at " << frame.left << ", " << frame.top << ", not at "
          << expected.left << ", " << expected.top;
      if (drag % 20 == 0 || drag == kDrags) {
        ASSERT_TRUE(vqtest::WaitFor([&] { return SameRect(vqtest::ScreenRectOf(main), expected); }))
            << "after drag " << drag << " the program has its window elsewhere";
        EXPECT_TRUE(IsWindow(main) && server_->Shows(main));
      }
    }
    EXPECT_TRUE(vqtest::Stays([&] { return SameRect(server_->FrameRectOnScreen(xwindow), expected); }, 300ms))
        << "the window moved back";
    EXPECT_TRUE(SameRect(vqtest::ScreenRectOf(main), expected));
    EXPECT_TRUE(SameRect(server_->ClientRectOnScreen(xwindow), vqtest::ClientRectOnScreen(main)));
    EXPECT_FALSE(IsZoomed(main)) << "a drag became a double click";
    server_->Grab(RECT{0, 0, 1920, 1080}).SavePng(vqtest::ScreenshotPath(std::string(GetParam()) + "-dragged.png"));
  });
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, DraggedMainWindowTest, ::testing::Values("openbox", "icewm", "xfwm4"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
