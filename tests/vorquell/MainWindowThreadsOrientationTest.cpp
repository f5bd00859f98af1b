// The orientation thread on a virtual camera showing a page laid sideways,
// its quiet end without the model, and results for an earlier turn dropped.
#include <filesystem>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/OrientationThread.h"
#include "platform/win/Clock.h"
#include "tests/ocr/PrintedText.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/vorquell/MainWindowFixture.h"

namespace {

class MainWindowThreadsOrientation : public vqtest::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // OpenCV's pool is not instrumented: its workers would only add noise.
    cv::setNumThreads(1);
  }
  // A document camera streaming the pictures of `folder` (none: its desk).
  void PlugDocumentCamera(const std::filesystem::path& folder = {}) {
    vq::dshow::VirtualCameraConfig config;
    config.sizes = {{1280, 960}};
    config.framesPerSecond = 30;
    if (!folder.empty()) {
      config.content.kind = vq::dshow::VirtualContent::Kind::Folder;
      config.content.folder = folder;
    }
    vq::dshow::PlugInVirtualCamera(config);
    WriteDataFile(vq::WideToUtf8(vq::dshow::VirtualVendorId() + vq::dshow::VirtualDocumentProductId()) + ";");
  }
  void Post(int angle, int previewTurn) {
    window_->SendMessage(WM_ORIENTATION_RESULT, 1, OrientationResult(angle, previewTurn));
  }
};

TEST_F(MainWindowThreadsOrientation, EndsQuietlyWithoutTheModelAndTheProgramRunsOn) {
  PlugDocumentCamera();
  WriteSettings("[IMAGE]\nDOCCHECK=TRUE\n");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.DocumentController(), nullptr);
  EXPECT_TRUE(vqtest::Pump([&] { return window.orientationThread_ == nullptr; }));
  EXPECT_EQ(window.DocumentRotation(), 0);
  EXPECT_TRUE(Boxes().empty());
  // The preview runs on.
  EXPECT_TRUE(vqtest::Pump([&] { return !window.DocumentController()->GetFrame().empty(); }));
}

TEST_F(MainWindowThreadsOrientation, TurnsThePreviewBackAndDropsResultsForAnEarlierTurn) {
  PlugDocumentCamera();
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.DocumentController(), nullptr);
  // A page turned a quarter clockwise is brought back a quarter counter-clockwise.
  Post(90, 0);
  EXPECT_EQ(window.DocumentRotation(), 270);
  EXPECT_EQ(window.DocumentController()->Rotation(), 270);
  // Queued behind it: the same page seen before the turn, now stale.
  Post(90, 0);
  EXPECT_EQ(window.DocumentRotation(), 270);
  Post(180, 270);
  EXPECT_EQ(window.DocumentRotation(), 90);
  Post(0, 90);
  EXPECT_EQ(window.DocumentController()->Rotation(), 90);
}

TEST_F(MainWindowThreadsOrientation, ShowsAPageLaidSidewaysUprightAndStopsAtOnce) {
  if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
  std::filesystem::copy_file(VQ_RECOGNITION_MODEL, vqtest::TempDir() / "program" / "OCR_RLDA_LN_Gra.tpl");
  const cv::Mat desk = ocrtest::DeskWithPageTurnedClockwise();
  const std::filesystem::path folder = vqtest::TempDir() / "pages";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(cv::imwrite((folder / "page.png").string(), desk));
  PlugDocumentCamera(folder);
  WriteSettings("[IMAGE]\nDOCCHECK=TRUE\n");
  vqtest::OpenMainWindow& window = Start();
  ASSERT_NE(window.DocumentController(), nullptr);
  ASSERT_TRUE(vqtest::Pump([&] { return window.DocumentRotation() != 0; }));
  EXPECT_EQ(window.DocumentRotation(), 270);
  // Upright now: the next cycles (on the layer's clock, moved by hand)
  // leave the preview as it is.
  vqplatform::ManualClockScope still;
  for (int step = 0; step < 15; ++step) {
    ASSERT_TRUE(vqtest::Settle());
    vqplatform::Clock::Advance(100);
  }
  ASSERT_TRUE(vqtest::Settle());
  EXPECT_EQ(window.DocumentRotation(), 270);
  EXPECT_NE(window.orientationThread_, nullptr);
  vqtest::SaveScreenshot(window.GetSafeHwnd(), "orientation-upright.png");
  // With the layer's clock standing still the thread's 300 ms wait never
  // times out: only the stop event can end it.
  const uint64_t before = vqplatform::Clock::NowMs();
  window.StopOrientationThread();
  EXPECT_EQ(vqplatform::Clock::NowMs(), before);
  EXPECT_EQ(window.orientationThread_, nullptr);
}

}  // namespace
