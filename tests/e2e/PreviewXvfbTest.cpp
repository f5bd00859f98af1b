// Live previews on a real X server: the virtual camera opened by its ids
// through the capture controller into a window-thread preview (documents
// outlined, turned, a size change, copies taken from a worker thread), a
// child-window preview run by a second user-interface thread, and both
// destroyed while frames flow; a watermark added to the live preview by
// message, dragged and turned by a user's mouse, and carried into copies.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "capture/CaptureController.h"
#include "capture/WaterMarkObject.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/Com.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/VirtualCameraIds.h"
#include "platform/win/Window.h"
#include "tests/e2e/XServer.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;

const CString kVendor(vq::kVirtualCameraVendorId);
const CString kDocument(vq::kVirtualDocumentCameraProductId);
const CString kPortrait(vq::kVirtualPortraitCameraProductId);

using vqtest::Pump;

HWND MainWindow(const wchar_t* title, int x) {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"VqE2ePreviewHost";
    return RegisterClassW(&wc) != 0;
  }();
  (void)registered;
  return CreateWindowExW(0, L"VqE2ePreviewHost", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, 40, 660, 500, nullptr,
                         nullptr, nullptr, nullptr);
}

class PreviewXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    auto document = vq::dshow::VirtualCameraConfig::Document();
    document.sizes = {{640, 480}, {1280, 960}};
    vq::dshow::PlugInVirtualCamera(document);
    auto portrait = vq::dshow::VirtualCameraConfig::Portrait();
    portrait.sizes = {{640, 480}};
    vq::dshow::PlugInVirtualCamera(portrait);
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::StopPresenter();
  }
  // The document camera at 640 x 480 opened into a window-thread preview
  // of the given size in `main`; null when it does not open.
  static std::unique_ptr<CCaptureController> OpenDocumentCamera(HWND main, int width, int height) {
    auto controller = std::make_unique<CCaptureController>(true, false);
    controller->SetResolution(640, 480);
    if (controller->OpenCamera(kVendor, kDocument, nullptr, CWnd::FromHandle(main), 0, 0, width, height, false, 0) !=
        S_OK)
      return nullptr;
    return controller;
  }
  vqtest::XServer server_;
};

TEST_F(PreviewXvfbTest, LiveVideoThroughTheControllerInBothPreviewKinds) {
  HWND main = MainWindow(L"window-thread preview", 20);
  auto controller = OpenDocumentCamera(main, 640, 480);
  ASSERT_TRUE(controller);
  controller->SetAutoDetect(true, false, 0.01f);
  ASSERT_TRUE(controller->Run());
  CShowVideoPro* preview = controller->Preview();
  const HWND host = preview->GetHwnd();
  EXPECT_EQ(GetParent(host), main);

  // Live video with the document outlined in blue.
  ASSERT_TRUE(Pump([&] { return !controller->GetFrame().empty() && !preview->DocumentRects().empty(); }));
  vqtest::Screenshot live;
  size_t differences = SIZE_MAX;
  Pump([&] {
    live = vqtest::ShownOnServer(server_, main, &differences);
    return live.BluePixels() > 1000;
  });
  live.SavePng(vqtest::ScreenshotPath("preview-live-outlined.png"));
  EXPECT_GT(live.BluePixels(), 1000) << "the document is outlined on screen";
  EXPECT_EQ(controller->GetFrame().size(), cv::Size(640, 480));

  // A quarter turn.
  controller->SetRotation(90);
  ASSERT_TRUE(Pump([&] { return controller->GetFrame().size() == cv::Size(480, 640); }));
  // The upright picture is fitted into the landscape canvas, with its background either side.
  auto besideThePicture = [](const vqtest::Screenshot& shot) { return shot.pixels[size_t(240) * shot.width + 30]; };
  vqtest::Screenshot turned;
  Pump([&] {
    turned = vqtest::ShownOnServer(server_, main, &differences);
    return besideThePicture(turned) == 0xF3F3F3 && turned.BluePixels() > 1000;
  });
  turned.SavePng(vqtest::ScreenshotPath("preview-turned-90.png"));
  EXPECT_EQ(besideThePicture(turned), 0xF3F3F3u);
  EXPECT_GT(turned.BluePixels(), 1000);

  // A new size rebuilds the graph; frames come back after Run.
  EXPECT_EQ(controller->SetResolution(1280, 960), S_OK);
  ASSERT_TRUE(controller->Run());
  ASSERT_TRUE(Pump([&] { return controller->GetFrame().size() == cv::Size(960, 1280); }));

  // Copies from a worker thread.
  std::vector<cv::Size> workerFrames;
  size_t workerDocuments = 0;
  std::thread worker([&] {
    for (int i = 0; i < 5; ++i) workerFrames.push_back(controller->GetFrame().size());
    workerDocuments = controller->GetDocumentImages().size();
  });
  Pump([&] { return workerFrames.size() == 5; });
  worker.join();
  for (const cv::Size& size : workerFrames) EXPECT_EQ(size, cv::Size(960, 1280));
  EXPECT_GE(workerDocuments, 1u);

  // A child-window preview on a second user-interface thread, destroyed while frames flow.
  std::atomic<bool> childShown{false}, childGone{false}, uiEnded{false};
  std::atomic<HWND> childWindow{nullptr};
  std::thread ui([&] {
    CoInitialize(nullptr);
    HWND second = MainWindow(L"child-window preview", 700);
    auto child = std::make_unique<CCaptureController>(false, false);
    if (child->OpenCamera(kVendor, kPortrait, nullptr, CWnd::FromHandle(second), 10, 10, 650, 490, false, 0) == S_OK &&
        child->Run()) {
      childWindow = child->Preview()->GetHwnd();
      childShown = Pump([&] { return child->GetFrame().size() == cv::Size(640, 480); });
      vqtest::XServer server;
      size_t d = SIZE_MAX;
      vqtest::Screenshot shot;
      Pump([&] {
        shot = vqtest::ShownOnServer(server, second, &d);
        return d == 0;
      });
      shot.SavePng(vqtest::ScreenshotPath("preview-child-window.png"));
      child.reset();
      childGone = !IsWindow(childWindow);
    }
    DestroyWindow(second);
    CoUninitialize();
    uiEnded = true;
  });
  // Served meanwhile: the thread's windows may send to this one's.
  EXPECT_TRUE(Pump([&] { return uiEnded.load(); }));
  ui.join();
  EXPECT_TRUE(childShown);
  EXPECT_TRUE(childGone) << "the canvas window goes with its preview";

  // The window-thread preview, destroyed while frames flow.
  controller.reset();
  EXPECT_FALSE(IsWindow(host));
  DestroyWindow(main);
}

// Pixels of a strong red, as the watermark below paints them.
int RedPixels(const vqtest::Screenshot& shot) {
  int n = 0;
  for (uint32_t p : shot.pixels) n += ((p >> 16) & 0xFF) > 150 && ((p >> 8) & 0xFF) < 90 && (p & 0xFF) < 90;
  return n;
}

TEST_F(PreviewXvfbTest, WaterMarkAddedByMessageIsDraggedTurnedAndCarriedIntoCopies) {
  HWND main = MainWindow(L"watermark on the live preview", 20);
  auto controller = OpenDocumentCamera(main, 660, 500);  // larger than the frame: shown at 1:1, centred
  ASSERT_TRUE(controller && controller->Run());
  const HWND preview = controller->Preview()->GetHwnd();
  const HWND canvas = GetDlgItem(preview, 0xFFFF);
  ASSERT_TRUE(Pump([&] { return !controller->GetFrame().empty(); }));
  RECT client{};
  GetClientRect(canvas, &client);
  auto screen = [&](double x, double y) {
    POINT p{(client.right - 640) / 2 + int(std::lround(x)), (client.bottom - 480) / 2 + int(std::lround(y))};
    ClientToScreen(canvas, &p);
    return p;
  };
  auto query = [&] {
    WaterMarkParams p;
    EXPECT_EQ(SendMessageW(preview, WM_PREVIEW_QUERY_OBJECT, 2, reinterpret_cast<LPARAM>(&p)), 0);
    return p;
  };
  size_t differences = SIZE_MAX;
  const int redBefore = RedPixels(vqtest::ShownOnServer(server_, main, &differences));

  WaterMarkParams params;
  params.kind = CWaterMarkObject::kText;
  params.text = L"VORQUELL";
  params.color = RGB(230, 0, 0);
  params.transparency = 20;
  params.fontHeight = 60;
  params.rect = RECT{320, 240, 320, 240};
  ASSERT_EQ(SendMessageW(preview, WM_PREVIEW_ADD_OBJECT, 2, reinterpret_cast<LPARAM>(&params)), 0);
  EXPECT_EQ(CRect(query().rect).CenterPoint(), CPoint(320, 240));
  vqtest::Screenshot shot;
  Pump([&] { return RedPixels(shot = vqtest::ShownOnServer(server_, main, &differences)) > redBefore + 1000; });
  shot.SavePng(vqtest::ScreenshotPath("preview-watermark.png"));
  EXPECT_GT(RedPixels(shot), redBefore + 1000) << "the mark shows on the live picture";

  // A click selects it; dragging its body moves it.
  server_.Click(screen(320, 240));
  // Pressed farther off than a double click may be, it is a new press.
  const POINT grip = screen(320 + 2 * GetSystemMetrics(SM_CXDOUBLECLK), 240 + 2 * GetSystemMetrics(SM_CYDOUBLECLK));
  server_.MovePointer(grip);
  server_.Drag(grip, POINT{grip.x + 60, grip.y + 30});
  ASSERT_TRUE(Pump([&] { return CRect(query().rect).CenterPoint() == CPoint(380, 270); }))
      << CRect(query().rect).CenterPoint().x << "," << CRect(query().rect).CenterPoint().y;

  // Its top-left corner dragged a quarter turn about the centre turns it.
  const CRect box = query().rect;
  const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
  server_.MovePointer(screen(box.left, box.top));
  server_.Drag(screen(box.left, box.top), screen(cx - (box.top - cy), cy + (box.left - cx)), 12);
  ASSERT_TRUE(Pump([&] { return std::fabs(query().angle - 1.5708) < 0.05; })) << query().angle;
  EXPECT_NEAR(CRect(query().rect).Width(), box.Height(), 2);
  Pump([&] {
    shot = vqtest::ShownOnServer(server_, main, &differences);
    return RedPixels(shot) > redBefore + 1000;
  });
  shot.SavePng(vqtest::ScreenshotPath("preview-watermark-turned.png"));

  // Copies of the frame carry the turned mark at full size, without handles.
  std::vector<cv::Mat> pages = controller->GetDocumentImages();
  ASSERT_EQ(pages.size(), 1u);
  cv::Mat red;
  cv::inRange(pages[0], cv::Scalar(0, 0, 150), cv::Scalar(90, 90, 255), red);
  const cv::Rect marked = cv::boundingRect(red);
  EXPECT_GT(cv::countNonZero(red), 1000);
  EXPECT_GT(marked.height, marked.width) << "turned upright";
  EXPECT_NEAR(marked.x + marked.width / 2.0, 380, 15);
  cv::Mat handles;
  cv::inRange(pages[0], cv::Scalar(255, 0, 0), cv::Scalar(255, 0, 0), handles);
  EXPECT_EQ(cv::countNonZero(handles), 0);
  cv::imwrite(vqtest::ScreenshotPath("preview-watermark-copy.png"), pages[0]);

  controller.reset();
  DestroyWindow(main);
}

}  // namespace
