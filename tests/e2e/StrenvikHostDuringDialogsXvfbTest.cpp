// A host that acts while one of the camera window's modal loops runs (the
// scan-parameter dialog, a page's preview, the strip's popup menu, a message
// box), with a second session keeping the library loaded: MSG_DISABLEDS ends
// the loop and completes once it has unwound, MSG_CLOSEDS then destroys the
// window, and a later enable works. All through the real libStrenvik.so
// under Xvfb.
#include "tests/e2e/StrenvikXvfbFixture.h"
// Xlib's type name, not needed here, hides the manager's Status.
#undef Status

namespace {

using namespace strenviktest;

enum class Loop { ScanParameterDialog, PagePreview, StripPopupMenu, MessageBox };
const char* const kLoopNames[] = {"ScanParameterDialog", "PagePreview", "StripPopupMenu", "MessageBox"};

class StrenvikHostDuringDialogs : public StrenvikXvfb, public ::testing::WithParamInterface<Loop> {
 protected:
  void SetUp() override {
    StrenvikXvfb::SetUp();
    ASSERT_EQ(other.OpenDS(otherHost), TWRC_SUCCESS);
  }
  void TearDown() override {
    // Whatever a failed test left open.
    Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
    manager.CloseDS(host);
    EXPECT_EQ(other.CloseDS(otherHost), TWRC_SUCCESS);
    StrenvikXvfb::TearDown();
  }
  // Enabled with the window shown and its preview drawn.
  void Enable() {
    EnableWithWindow(&window);
    ASSERT_TRUE(PreviewLive(window)) << "no preview";
  }
  // One capture into the strip (multi-shot is on), drawn there.
  bool CapturePage() { return CaptureIntoStrip(window) && Redrawn(); }
  void OpenTheLoop() {
    switch (GetParam()) {
      case Loop::ScanParameterDialog:
        server.Click(ControlCentre(window, 6021));
        break;
      case Loop::PagePreview:
        ASSERT_TRUE(CapturePage());
        server.Click(StripItemCentre(window, 0));
        break;
      case Loop::StripPopupMenu:
        ASSERT_TRUE(CapturePage());
        server.RightClick(StripItemCentre(window, 0));
        break;
      case Loop::MessageBox: {
        // Merge mode with a single page: its merge asks for a second one.
        const std::optional<RECT> merge = OpenMerge(window);
        ASSERT_TRUE(merge) << "the merge dialog";
        server.Click(vqtest::ControlCentre(vqres::MergePagesTemplate(), *merge, IDOK));
        break;
      }
    }
  }
  // Whether the loop's window shows.
  bool LoopShown() {
    switch (GetParam()) {
      case Loop::ScanParameterDialog: return server.ShownTitled("扫描参数").has_value();
      case Loop::PagePreview: return server.ShownTitled("图像预览").has_value();
      case Loop::StripPopupMenu: {
        // The menu opens with its corner at the pointer.
        const POINT at = StripItemCentre(window, 0);
        return server.FindShown([&](const vqtest::ShownX& shown) {
          return shown.title != "Tirrowan Twain" && std::abs(shown.place.left - at.x) <= 3 &&
                 std::abs(shown.place.top - at.y) <= 3;
        }).has_value();
      }
      case Loop::MessageBox: return twoPages.Find(server).has_value();
    }
    return false;
  }

  const vqtest::KnownMessageBox twoPages{L"需要两张图像才能合并", MB_OK | MB_ICONEXCLAMATION};
  TestManager other{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost otherHost{22};
  TW_USERINTERFACE ui{1, 0, nullptr};
  RECT window{};
};

TEST_P(StrenvikHostDuringDialogs, DisableEndsTheLoopAndTheOtherSessionGoesOn) {
  Enable();
  OpenTheLoop();
  ASSERT_TRUE(vqtest::WaitFor([&] { return LoopShown(); }));
  server.Grab(window).SavePng(vqtest::ScreenshotPath(std::string("strenvik-disable-under-") + kLoopNames[int(GetParam())] + ".png"));

  // The host disables and closes its source: the loop and the window go.
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  RECT gone{};
  EXPECT_TRUE(vqtest::WaitFor([&] {
    return !LoopShown() && !FindXWindow("图像合并", &gone) && !FindXWindow("Tirrowan Twain", &gone);
  })) << "the loop ended and the window was hidden";
  EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_FAILURE) << "disabled already";
  EXPECT_EQ(manager.Status(host), TWCC_SEQERROR);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_TRUE(manager.IsLibraryLoaded()) << "the other session keeps the library";
  TW_UINT32 group = 0;
  EXPECT_EQ(other.Send(otherHost, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_SUCCESS);

  // A new session gets its page.
  Enable();
  ASSERT_TRUE(CapturePage());
  ASSERT_TRUE(Upload(window)) << "no MSG_XFERREADY";
  EXPECT_EQ(ReceiveAll(), std::vector<cv::Size>{cv::Size(1280, 960)});
  DisableAndClose();
}

INSTANTIATE_TEST_SUITE_P(Loops, StrenvikHostDuringDialogs,
                         ::testing::Values(Loop::ScanParameterDialog, Loop::PagePreview, Loop::StripPopupMenu,
                                           Loop::MessageBox),
                         [](const ::testing::TestParamInfo<Loop>& info) { return kLoopNames[int(info.param)]; });

}  // namespace
