// The sample video renderer's window on a real X server: a graph renders the
// virtual camera into it; black before the first frame, the picture once it
// runs, stretched when the window is resized; its events reach the graph.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "capture/CameraDevices.h"
#include "capture/SampleVideoRenderer.h"
#include "platform/display/Cursors.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/e2e/XServer.h"

namespace {

using namespace std::chrono_literals;

// Mean absolute difference per channel between a screenshot and a picture of its size.
double MeanDifference(const vqtest::Screenshot& shot, const cv::Mat& bgr) {
  if (shot.width != bgr.cols || shot.height != bgr.rows) return 255;
  double sum = 0;
  for (int y = 0; y < bgr.rows; ++y)
    for (int x = 0; x < bgr.cols; ++x) {
      const uint32_t p = shot.pixels[size_t(y) * shot.width + x];
      const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
      sum += std::abs(int(p & 0xFF) - c[0]) + std::abs(int((p >> 8) & 0xFF) - c[1]) + std::abs(int(p >> 16) - c[2]);
    }
  return sum / (3.0 * bgr.total());
}

bool AllBlack(const vqtest::Screenshot& shot) {
  for (uint32_t p : shot.pixels)
    if (p & 0xFFFFFF) return false;
  return !shot.pixels.empty();
}

class SampleRendererXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    CoInitialize(nullptr);
    vq::dshow::VirtualCameraConfig config;
    config.vendorId = L"5651";
    config.productId = L"d0c0";
    config.sizes = {{640, 480}};
    config.framesPerSecond = 30;
    vq::dshow::PlugInVirtualCamera(config);
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::StopPresenter();
    CoUninitialize();
  }
};

bool NextEvent(IMediaEventEx* events, long wanted) {
  return vqtest::WaitFor([&] {
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
      events->FreeEventParams(code, p1, p2);
      if (code == wanted) return true;
    }
    return false;
  });
}

TEST_F(SampleRendererXvfbTest, VirtualCameraFramesAreDrawnIntoTheRendererWindow) {
  auto graph = ComPtr<CFilterGraph>::Adopt(new CFilterGraph());
  ComPtr<ICaptureGraphBuilder2> builder;
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                             builder.PutVoid()),
            S_OK);
  ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
  ComPtr<IBaseFilter> camera = vqcapture::BindDeviceById(L"5651", L"d0c0", nullptr, 0);
  ASSERT_TRUE(camera);
  HRESULT hr = S_OK;
  auto renderer = ComPtr<IBaseFilter>::Adopt(static_cast<IBaseFilter*>(CVideoRenderer::CreateInstance(nullptr, &hr)));
  auto* video = static_cast<CVideoRenderer*>(renderer.Get());
  ASSERT_EQ(graph->AddFilter(camera.Get(), L"Capture Filter"), S_OK);
  ASSERT_EQ(graph->AddFilter(renderer.Get(), CVideoRenderer::kName), S_OK);
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), nullptr, renderer.Get()),
            S_OK);
  auto events = graph.As<IMediaEventEx>(IID_IMediaEventEx);

  // The window: its class, styles and title; shown at the video size once connected.
  HWND window = video->Control().GetWindowHWND();
  ASSERT_TRUE(IsWindow(window));
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  EXPECT_STREQ(className, L"VideoTextRenderer");
  EXPECT_EQ(DWORD(GetWindowLongW(window, GWL_STYLE)) & CMVideoControl::kWindowStyle, CMVideoControl::kWindowStyle);
  WNDCLASSW wc{};
  ASSERT_TRUE(GetClassInfoW(nullptr, L"VideoTextRenderer", &wc));
  EXPECT_EQ(wc.style, UINT(CS_BYTEALIGNCLIENT | CS_HREDRAW | CS_VREDRAW));
  ASSERT_TRUE(vqtest::WaitFor([&] { return IsWindowVisible(window) != FALSE; }));
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);

  vqtest::XServer server;
  size_t differences = SIZE_MAX;
  vqtest::Screenshot before = vqtest::ShownOnServer(server, window, &differences);
  before.SavePng(vqtest::ScreenshotPath("renderer-before-run.png"));
  EXPECT_TRUE(AllBlack(before)) << "the background is black before the first frame";

  // Running: the held picture is copied 1:1 into the window.
  auto control = graph.As<IMediaControl>(IID_IMediaControl);
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(vqtest::WaitFor([&] { return video->FramesDrawn() >= 3; }));
  ASSERT_EQ(control->Stop(), S_OK);
  const cv::Mat held = video->Drawing().HeldPicture();
  ASSERT_EQ(held.size(), cv::Size(640, 480));
  vqtest::Screenshot shown = vqtest::ShownOnServer(server, window, &differences);
  shown.SavePng(vqtest::ScreenshotPath("renderer-running.png"));
  EXPECT_EQ(differences, 0u);
  EXPECT_LT(MeanDifference(shown, held), 1.0);

  // A smaller window: the target follows the client and the picture is area-resampled into it.
  SetWindowPos(window, nullptr, 0, 0, 400, 300, SWP_NOMOVE | SWP_NOZORDER);
  ASSERT_TRUE(vqtest::WaitFor([&] { return video->Drawing().GetTargetRect().right == 400; }));
  EXPECT_EQ(video->Drawing().GetTargetRect().bottom, 300);
  cv::Mat expected;
  cv::resize(held, expected, cv::Size(400, 300), 0, 0, cv::INTER_AREA);
  vqtest::Screenshot stretched;
  // The repaint comes through the window's own thread.
  vqtest::WaitFor([&] {
    stretched = vqtest::ShownOnServer(server, window, &differences);
    return MeanDifference(stretched, expected) < 4.0;
  });
  stretched.SavePng(vqtest::ScreenshotPath("renderer-stretched.png"));
  EXPECT_LT(MeanDifference(stretched, expected), 4.0);

  // Cursor, activation, display change and close.
  video->Control().HideCursor(true);
  EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, WPARAM(window), HTCLIENT), TRUE);
  EXPECT_EQ(GetCursor(), nullptr);
  video->Control().HideCursor(false);
  SendMessageW(window, WM_ACTIVATEAPP, TRUE, 0);
  EXPECT_TRUE(NextEvent(events.Get(), EC_ACTIVATE));
  const int version = video->Drawing().DisplayFormatVersion();
  SendMessageW(window, WM_DISPLAYCHANGE, 24, 0);
  EXPECT_EQ(video->Drawing().DisplayFormatVersion(), version + 1);
  EXPECT_GT(video->Drawing().DisplayBitsPerPixel(), 0);
  const unsigned long xwindow = vqplatform::PresentedXWindow(window);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(NextEvent(events.Get(), EC_USERABORT));
  EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindowVisible(window); }));
  EXPECT_TRUE(IsWindow(window)) << "closing hides the window";
  ASSERT_TRUE(vqplatform::FlushPresenter(2000));
  EXPECT_TRUE(vqtest::WaitFor([&] { return !server.IsShown(xwindow); }));
}

}  // namespace
