// Where the data source's windows open, beside the window manager, through
// the real libStrenvik.so: the scan-parameter and merge dialogs and a page's
// preview centred on their camera window, the modal ones owned by it (their
// loops disable it), and a second host's camera window stepped down and
// right of the first instead of on top of it. The screen is kept as
// pictures to look at.
#include <cstdlib>
#include <cstring>

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
    Settled(shown);
    SaveScreen(picture);
    ExpectCentredOn(shown, camera);
    const unsigned long window = server.ShownManagedWindow(title), owner = server.ShownManagedWindow("Tirrowan Twain");
    ASSERT_NE(window, 0u);
    EXPECT_EQ(server.ReadProperty(window, "WM_TRANSIENT_FOR").items, std::vector<long>{static_cast<long>(owner)});
    server.Click(ControlCentre(dialog, shown, IDCANCEL));
    ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow(title, &shown); }));
  }
  void SaveScreen(const char* name) {
    server.Grab(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)})
        .SavePng(vqtest::ScreenshotPath(name));
  }
};

TEST_F(StrenvikPlacement, DialogsOpenOnTheirCameraWindowAndASecondCameraWindowBesideTheFirst) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  RECT first{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &first); }));
  ASSERT_TRUE(PreviewLive(first));

  ExpectModalOn(first, ControlCentre(first, 6021), "扫描参数", vqres::ScanParameterTemplate(),
                "strenvik-scan-parameters-on-camera-window.png");

  // Merge mode: the first capture opens the merge dialog. A capture that
  // finds no frame yet says so in a box, which is answered: a small window
  // beside the camera window, not the merge dialog, named or not yet.
  server.Click(ControlCentre(first, 6024));
  RECT merge{};
  auto box = [](RECT* where) {
    return FindXWindowWhere(
        [](const char* name, const RECT& r) {
          return std::strcmp(name, "Tirrowan Twain") != 0 && std::strcmp(name, "图像合并") != 0 &&
                 r.right - r.left > 80 && r.bottom - r.top > 40 && r.bottom - r.top < 300;
        },
        where);
  };
  const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
  while (!FindXWindow("图像合并", &merge) && std::chrono::steady_clock::now() < deadline) {
    server.Click(ControlCentre(first, 6000));
    RECT shown{};
    vqtest::WaitFor([&] { return FindXWindow("图像合并", &merge) || box(&shown); }, 20s);
    if (!FindXWindow("图像合并", &merge) && box(&shown)) {
      server.Click(POINT{(shown.left + shown.right) / 2, shown.bottom - 33});
      vqtest::WaitFor([&] { return !box(&shown); });
    }
  }
  ASSERT_TRUE(FindXWindow("图像合并", &merge)) << "the merge dialog";
  Settled(merge);
  SaveScreen("strenvik-merge-on-camera-window.png");
  ExpectCentredOn(merge, first);
  server.Click(ControlCentre(vqres::MergePagesTemplate(), merge, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像合并", &merge); }));

  // A page in the strip (multi-shot is on), opened in its preview.
  ASSERT_TRUE(CaptureIntoStrip(first));
  ExpectModalOn(first, StripItemCentre(first, 0), "图像预览", vqres::PagePreviewTemplate(),
                "strenvik-preview-on-camera-window.png");

  // A second host shows its camera window while the first one is open.
  TestManager other{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost otherHost{22};
  ASSERT_EQ(other.OpenDS(otherHost), TWRC_SUCCESS);
  ASSERT_EQ(other.Send(otherHost, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  RECT second{};
  ASSERT_TRUE(vqtest::WaitFor([&] {
    return FindXWindowWhere(
        [&](const char* name, const RECT& r) {
          return std::strcmp(name, "Tirrowan Twain") == 0 && (r.left != first.left || r.top != first.top);
        },
        &second);
  })) << "two camera windows, not on top of each other";
  SaveScreen("strenvik-two-camera-windows.png");
  EXPECT_GE(second.left - first.left, 16);
  EXPECT_GE(second.top - first.top, 16);
  EXPECT_EQ(second.right - second.left, first.right - first.left);

  EXPECT_EQ(other.Send(otherHost, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(other.CloseDS(otherHost), TWRC_SUCCESS);
  EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  EXPECT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
}

}  // namespace
