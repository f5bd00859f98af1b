// Vorquell's main window on a user's desktop, under openbox, IceWM and
// xfwm4: on a laptop's screen with a panel it maximises into the work area,
// every control in sight, and comes back so from the taskbar; restored it
// fits the work area, and maximised again after a drag it fills it; the
// settings sheet opens centred on it in each state. Dragged two hundred
// times by its title bar it stays where the last drag left it, the program
// running all along.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "app/VorquellDlg.h"
#include "platform/win/RectFunctions.h"
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

// A laptop's desktop: its window manager, its screen, and a panel of 30
// pixels along one side (IceWM's own at the bottom besides).
struct PanelDesktop {
  const char* windowManager;
  int width, height;
  vqtest::XServer::Side side;
};
void PrintTo(const PanelDesktop& desktop, std::ostream* out) {
  *out << desktop.windowManager << " " << desktop.width << "x" << desktop.height;
}

class PanelDesktopTest : public DesktopMainWindowTest, public ::testing::WithParamInterface<PanelDesktop> {
 protected:
  PanelDesktopTest()
      : DesktopMainWindowTest(vqtest::Desktop{GetParam().windowManager, GetParam().width, GetParam().height}) {}
  void SetUp() override {
    DesktopMainWindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_NE(server_->AddPanel(GetParam().side, 30), 0u) << "the panel's strip stayed in the work area";
    area_ = server_->WorkArea();
  }

  // The program and the server agree where the main window is, maximised
  // or not; a restored window's frame, a maximised one's client area (its
  // borders may be off the screen) and every control lie in the work area,
  // where the user sees the camera's pictures.
  void ExpectPlaced(HWND main, bool maximised, bool inWorkArea, const std::string& state) {
    SCOPED_TRACE(state);
    const unsigned long xwindow = vqplatform::PresentedXWindow(main);
    RECT frame{}, client{};
    // A window too big for the work area is fitted after the window
    // manager placed it: the second placement is waited for.
    ASSERT_TRUE(vqtest::WaitFor([&] {
      frame = server_->FrameRectOnScreen(xwindow);
      client = vqtest::ClientRectOnScreen(main);
      return !IsIconic(main) && bool(IsZoomed(main)) == maximised && SameRect(frame, vqtest::ScreenRectOf(main)) &&
             SameRect(server_->ClientRectOnScreen(xwindow), client) &&
             (!inWorkArea || Inside(maximised ? client : frame, area_));
    })) << "frame " << Text(frame) << " client " << Text(client) << (IsZoomed(main) ? " maximised" : "")
        << " work area " << Text(area_);
    if (!inWorkArea) return;
    RECT reach{};
    IntersectRect(&reach, &area_, &client);
    for (HWND control = GetWindow(main, GW_CHILD); control; control = GetWindow(control, GW_HWNDNEXT)) {
      RECT r{};
      EXPECT_TRUE(!IsWindowVisible(control) ||
                  vqtest::WaitFor([&] { return Inside(r = vqtest::ScreenRectOf(control), reach); }))
          << "control " << GetDlgCtrlID(control) << " at " << Text(r) << " is out of " << Text(reach);
    }
    // A second of pictures (15) put on the server since, the last as the layer drew it.
    const auto presents = [&] {
      const std::vector<long> count = server_->ReadProperty(xwindow, "_VQ_PRESENTS").items;
      return count.empty() ? 0 : count.front();
    };
    const long start = presents();
    size_t differences = SIZE_MAX;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      if (presents() < start + 15) return false;
      vqtest::ShownOnServer(*server_, main, &differences);
      return differences == 0;
    })) << differences << " pixels differ";
    server_->Grab(RECT{0, 0, GetParam().width, GetParam().height})
        .SavePng(vqtest::ScreenshotPath(Name() + "-" + state + ".png"));
  }

  // The settings sheet opens centred on the main window (its frame's
  // centre within 3 pixels), and is cancelled.
  void ExpectSheetCentred(HWND main) {
    server_->ClickControl(main, IDC_SETTINGS);
    HWND sheet = nullptr;
    ASSERT_TRUE(vqtest::WaitFor(
        [&] { return (sheet = vqtest::ShownWindowWith(1117, IDOK)) && server_->ShowsInPlace(sheet); }));
    const RECT shown = server_->FrameRectOnScreen(vqplatform::PresentedXWindow(sheet));
    const RECT over = server_->FrameRectOnScreen(vqplatform::PresentedXWindow(main));
    const std::string place = Text(shown) + " on " + Text(over);
    EXPECT_LE(std::abs((shown.left + shown.right) - (over.left + over.right)), 6) << place;
    EXPECT_LE(std::abs((shown.top + shown.bottom) - (over.top + over.bottom)), 6) << place;
    server_->ClickControl(sheet, IDCANCEL);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(sheet); }));
  }

  // A point of the title bar, clear of its buttons.
  POINT TitleBar(HWND main) {
    const unsigned long xwindow = vqplatform::PresentedXWindow(main);
    const RECT frame = server_->FrameRectOnScreen(xwindow);
    return POINT{frame.left + (frame.right - frame.left) / 3, frame.top + server_->FrameExtents(xwindow).top / 2};
  }
  void DoubleClickTitleBar(HWND main) {
    ASSERT_TRUE(vqtest::WaitFor([&] { return server_->PointerFree(); }));
    server_->DoubleClick(TitleBar(main));
  }

  static std::string Text(const RECT& r) {
    return std::to_string(r.left) + ", " + std::to_string(r.top) + " to " + std::to_string(r.right) + ", " +
           std::to_string(r.bottom);
  }
  std::string Name() const { return std::string(GetParam().windowManager) + "-" + std::to_string(GetParam().width); }

  RECT area_{};
};

// Too tall for the work area with its frame, the window shows maximised
// there; minimised and restored from the taskbar it comes back so.
TEST_P(PanelDesktopTest, MaximisedInTheWorkAreaAfterStartAndMinimise) {
  RunInProcess(*server_, [&](HWND main) {
    ExpectPlaced(main, true, true, "started");
    ExpectSheetCentred(main);
    const unsigned long xwindow = vqplatform::PresentedXWindow(main);
    server_->MinimiseAsTaskbar(xwindow);
    ASSERT_TRUE(vqtest::WaitFor([&] { return IsIconic(main) && !server_->IsShown(xwindow); }));
    server_->ActivateAsTaskbar(xwindow);
    ExpectPlaced(main, true, true, "unminimised");
    ExpectSheetCentred(main);
  });
}

// Restored by a double-click on its title bar, the window fits the work
// area; dragged away and maximised again, it fills it.
TEST_P(PanelDesktopTest, RestoredIntoTheWorkAreaThenDraggedAndMaximised) {
  RunInProcess(*server_, [&](HWND main) {
    ExpectPlaced(main, true, true, "started");
    DoubleClickTitleBar(main);
    ExpectPlaced(main, false, true, "restored");
    ExpectSheetCentred(main);
    const unsigned long xwindow = vqplatform::PresentedXWindow(main);
    const RECT before = server_->FrameRectOnScreen(xwindow);
    const POINT grip = TitleBar(main);
    server_->Drag(grip, POINT{grip.x + 60, grip.y + 40}, 4, [&] {
      return server_->FrameRectOnScreen(xwindow).left > before.left;
    });
    ExpectPlaced(main, false, false, "dragged");
    DoubleClickTitleBar(main);
    ExpectPlaced(main, true, true, "maximised");
    ExpectSheetCentred(main);
  });
}

using Side = vqtest::XServer::Side;
INSTANTIATE_TEST_SUITE_P(WindowManagers, PanelDesktopTest,
                         ::testing::Values(PanelDesktop{"openbox", 1366, 768, Side::kBottom},
                                           PanelDesktop{"openbox", 1280, 720, Side::kTop},
                                           PanelDesktop{"icewm", 1366, 768, Side::kBottom},
                                           PanelDesktop{"icewm", 1280, 720, Side::kTop},
                                           PanelDesktop{"xfwm4", 1366, 768, Side::kBottom},
                                           PanelDesktop{"xfwm4", 1280, 720, Side::kTop}),
                         [](const auto& info) {
                           return std::string(info.param.windowManager) + "_" + std::to_string(info.param.width);
                         });

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
