// Where the data source's windows open, beside the window manager, through
// the real libStrenvik.so: the scan-parameter and merge dialogs and a page's
// preview centred on their camera window, the modal ones owned by it (their
// loops disable it), and a second host's camera window stepped down and
// right of the first instead of on top of it. The screen is kept as
// pictures to look at.
#include <cstdlib>

#include "platform/win/SystemMetrics.h"
#include "tests/e2e/StrenvikXvfbFixture.h"

namespace {

using namespace strenviktest;

// How far the centre of a window's client area may lie from that of the one
// it is centred on: the two frames' caption heights differ.
constexpr LONG kCentreTolerance = 20;

POINT CentreOf(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class StrenvikPlacement : public StrenvikXvfb {
 protected:
  void SetUp() override {
    if (std::string why = vqtest::UseXvfbDisplayWithWindowManager(); !why.empty()) GTEST_SKIP() << why;
    StrenvikXvfb::SetUp();
  }
  void ExpectCentredOn(const RECT& dialog, const RECT& window) {
    EXPECT_LE(std::abs(CentreOf(dialog).x - CentreOf(window).x), kCentreTolerance);
    EXPECT_LE(std::abs(CentreOf(dialog).y - CentreOf(window).y), kCentreTolerance);
  }
  // A modal dialog the click opens: centred on the camera window and owned
  // by it; it is kept as a picture and cancelled.
  void ExpectModalOn(const RECT& camera, POINT click, const char* title, const DialogTemplate& dialog,
                     const char* picture) {
    server.Click(click);
    RECT shown{};
    ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow(title, &shown); })) << title;
    // Once the window manager manages it.
    unsigned long window = 0;
    ASSERT_TRUE(vqtest::WaitFor([&] { return (window = server.ShownManagedWindow(title)) != 0; }));
    const unsigned long owner = server.ShownManagedWindow("Tirrowan Twain");
    EXPECT_TRUE(Drawn(window));
    SaveScreen(picture);
    ExpectCentredOn(shown, camera);
    EXPECT_EQ(server.ReadProperty(window, "WM_TRANSIENT_FOR").items, std::vector<long>{static_cast<long>(owner)});
    server.Click(vqtest::ControlCentre(dialog, shown, IDCANCEL));
    ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow(title, &shown); }));
  }
  void SaveScreen(const char* name) {
    server.Grab(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)})
        .SavePng(vqtest::ScreenshotPath(name));
  }
};

TEST_F(StrenvikPlacement, DialogsOpenOnTheirCameraWindowAndASecondCameraWindowBesideTheFirst) {
  RECT first{};
  EnableWithWindow(&first);
  ASSERT_TRUE(PreviewLive(first));

  ExpectModalOn(first, ControlCentre(first, 6021), "扫描参数", vqres::ScanParameterTemplate(),
                "strenvik-scan-parameters-on-camera-window.png");

  // Merge mode: the first capture opens the merge dialog.
  const std::optional<RECT> opened = OpenMerge(first);
  ASSERT_TRUE(opened) << "the merge dialog";
  RECT merge = *opened;
  unsigned long mergeWindow = 0;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (mergeWindow = server.ShownManagedWindow("图像合并")) != 0; }));
  EXPECT_TRUE(Drawn(mergeWindow));
  SaveScreen("strenvik-merge-on-camera-window.png");
  ExpectCentredOn(merge, first);
  server.Click(vqtest::ControlCentre(vqres::MergePagesTemplate(), merge, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像合并", &merge); }));

  // A page in the strip (multi-shot is on), opened in its preview.
  ASSERT_TRUE(CaptureIntoStrip(first));
  ExpectModalOn(first, StripItemCentre(first, 0), "图像预览", vqres::PagePreviewTemplate(),
                "strenvik-preview-on-camera-window.png");

  // A second host shows its camera window while the first one is open.
  TestManager other{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost otherHost{22};
  ASSERT_EQ(other.OpenDS(otherHost), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(other.Send(otherHost, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  std::optional<vqtest::ShownX> second;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    return (second = server.FindShown([&](const vqtest::ShownX& shown) {
              return shown.title == "Tirrowan Twain" && (shown.place.left != first.left || shown.place.top != first.top);
            })).has_value();
  })) << "two camera windows, not on top of each other";
  SaveScreen("strenvik-two-camera-windows.png");
  EXPECT_GE(second->place.left - first.left, 16);
  EXPECT_GE(second->place.top - first.top, 16);
  EXPECT_EQ(second->place.right - second->place.left, first.right - first.left);

  EXPECT_EQ(other.Send(otherHost, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(other.CloseDS(otherHost), TWRC_SUCCESS);
  DisableAndClose();
}

}  // namespace
