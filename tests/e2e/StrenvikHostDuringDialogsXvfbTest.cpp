// A host that acts while one of the camera window's modal loops runs (the
// scan-parameter dialog, a page's preview, the strip's popup menu, a message
// box), with a second session keeping the library loaded: MSG_DISABLEDS ends
// the loops and completes once they have unwound, MSG_CLOSEDS then destroys
// the window, and a later enable works. All through the real libStrenvik.so
// under Xvfb.
#include "tests/e2e/StrenvikXvfbFixture.h"
// Xlib's type name, not needed here, hides the manager's Status.
#undef Status

namespace {

using namespace strenviktest;

class StrenvikHostDuringDialogs : public StrenvikXvfb {
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
    ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }));
    const POINT centre = ControlCentre(window, 6002);
    const RECT preview{centre.x - 100, centre.y - 100, centre.x + 100, centre.y + 100};
    const vqtest::Screenshot start = server.Grab(preview);
    ASSERT_TRUE(vqtest::WaitFor(
        [&] { return server.Grab(preview).CountDifferences(start.pixels, start.width, start.height) > 1000; }))
        << "no preview";
  }
  // One capture into the strip (multi-shot is on): true once its first item
  // shows a page.
  bool CapturePage() {
    const RECT first = StripItem(window, 0);
    const vqtest::Screenshot empty = server.Grab(first);
    return Capture([&] { return server.Grab(first).CountDifferences(empty.pixels, empty.width, empty.height) > 2000; });
  }
  // Presses 拍摄 until `landed`. A capture that finds no frame yet (a camera
  // just opened on a busy machine) says so in a box; it is answered and the
  // capture repeated.
  bool Capture(const std::function<bool()>& landed) {
    const auto deadline = std::chrono::steady_clock::now() + vqtest::kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
      server.Click(ControlCentre(window, 6000));
      RECT box{};
      std::string title;
      auto failed = [&] {
        return FindXWindowWhere(
            [](const char* name, const RECT& r) {
              return std::strcmp(name, "Tirrowan Twain") != 0 && r.right - r.left > 80 && r.bottom - r.top > 40;
            },
            &box, &title);
      };
      if (!vqtest::WaitFor([&] { return landed() || failed(); }, 20000ms)) continue;
      if (landed()) return true;
      server.Click(POINT{(box.left + box.right) / 2, box.bottom - 33});
      vqtest::WaitFor([&] { return !failed(); }, 20000ms);
    }
    server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-capture-not-landed.png"));
    return false;
  }
  // A shown window beside the camera window that passes `wanted`.
  bool OtherWindow(const std::function<bool(const char*, const RECT&)>& wanted) {
    RECT where{};
    return FindXWindowWhere(
        [&](const char* name, const RECT& r) { return std::strcmp(name, "Tirrowan Twain") != 0 && wanted(name, r); },
        &where);
  }
  // While `dialogShown` holds: the host disables and closes its source; the
  // dialog and the window go, the other session goes on, and a new session
  // gets its page.
  void DisableAndCloseThenEnableAgain(const std::function<bool()>& dialogShown) {
    ASSERT_TRUE(dialogShown());
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    RECT gone{};
    EXPECT_TRUE(vqtest::WaitFor([&] { return !dialogShown() && !FindXWindow("Tirrowan Twain", &gone); }))
        << "the dialog ended and the window was hidden";
    EXPECT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_FAILURE) << "disabled already";
    EXPECT_EQ(manager.Status(host), TWCC_SEQERROR);
    ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
    EXPECT_TRUE(manager.IsLibraryLoaded()) << "the other session keeps the library";
    TW_UINT32 group = 0;
    EXPECT_EQ(other.Send(otherHost, DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_SUCCESS);

    Enable();
    ASSERT_TRUE(CapturePage());
    ASSERT_TRUE(Upload(window)) << "no MSG_XFERREADY";
    EXPECT_EQ(ReceiveAll(), std::vector<cv::Size>{cv::Size(1280, 960)});
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  }

  TestManager other{std::string(STRENVIK_LIBRARY_PATH)};
  TestHost otherHost{22};
  TW_USERINTERFACE ui{1, 0, nullptr};
  RECT window{};
};

TEST_F(StrenvikHostDuringDialogs, ScanParameterDialog) {
  Enable();
  server.Click(ControlCentre(window, 6021));
  RECT dialog{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("扫描参数", &dialog); }));
  DisableAndCloseThenEnableAgain([&] { return FindXWindow("扫描参数", &dialog); });
}

TEST_F(StrenvikHostDuringDialogs, PagePreview) {
  Enable();
  ASSERT_TRUE(CapturePage());
  server.Click(StripItemCentre(window, 0));
  RECT preview{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像预览", &preview); }));
  DisableAndCloseThenEnableAgain([&] { return FindXWindow("图像预览", &preview); });
}

TEST_F(StrenvikHostDuringDialogs, StripPopupMenu) {
  Enable();
  ASSERT_TRUE(CapturePage());
  const POINT at = StripItemCentre(window, 0);
  server.RightClick(at);
  // The menu opens with its corner at the pointer.
  auto menuShown = [&] {
    return OtherWindow([&](const char*, const RECT& r) { return std::abs(r.left - at.x) <= 3 && std::abs(r.top - at.y) <= 3; });
  };
  ASSERT_TRUE(vqtest::WaitFor(menuShown));
  DisableAndCloseThenEnableAgain(menuShown);
}

TEST_F(StrenvikHostDuringDialogs, MessageBox) {
  Enable();
  // Merge mode with a single page: its merge asks for a second one in a message box.
  server.Click(ControlCentre(window, 6024));
  RECT merge{};
  ASSERT_TRUE(Capture([&] { return FindXWindow("图像合并", &merge); })) << "the merge dialog";
  server.Click(ControlCentre(vqres::MergePagesTemplate(), merge, IDOK));
  auto boxShown = [&] {
    return OtherWindow(
        [](const char* name, const RECT& r) { return std::strcmp(name, "图像合并") != 0 && r.right - r.left > 200; });
  };
  ASSERT_TRUE(vqtest::WaitFor(boxShown));
  RECT box{};
  FindXWindowWhere([](const char* name, const RECT& r) { return std::strcmp(name, "图像合并") != 0 && std::strcmp(name, "Tirrowan Twain") != 0 && r.right - r.left > 200; }, &box);
  server.Grab(box).SavePng(vqtest::ScreenshotPath("strenvik-message-box-before-disable.png"));
  DisableAndCloseThenEnableAgain([&] { return boxShown() || FindXWindow("图像合并", &merge); });
}

}  // namespace
