// The preview canvas on a real X server, fed with scene frames through
// WM_CANVAS_SHOW_IMAGE and driven by a user's mouse: a selection drawn by
// dragging, the wheel zooming about the pointer, a drag panning, and a
// picture-in-picture box that shows a second camera's frame and moves.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <opencv2/imgproc.hpp>

#include "capture/ObjectContainer.h"
#include "platform/display/Presenter.h"
#include "platform/win/Controls.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "scene/Renderer.h"
#include "scene/Scene.h"
#include "tests/e2e/XServer.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 800, kHeight = 600;

class CanvasXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    ASSERT_TRUE(server_.Connected());
    vqplatform::RegisterStandardControls();
    WNDCLASSW host{};
    host.lpfnWndProc = DefWindowProcW;
    host.lpszClassName = L"VqCanvasXvfbHost";
    RegisterClassW(&host);
    host_ = CreateWindowExW(0, L"VqCanvasXvfbHost", L"Preview canvas", WS_POPUP | WS_VISIBLE, 200, 100, kWidth,
                            kHeight, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(canvas_.Create(WC_STATIC, L"", CObjectContainer::kStyle, CRect(0, 0, kWidth, kHeight),
                               CWnd::FromHandle(host_), 0xFFFF));
    frame_ = vqscene::RenderScene(vqscene::SingleSheet(cv::Size(1600, 1200), {820, 610}, {1000, 760}, 6));
    ASSERT_TRUE(PumpUntil([&] { return vqplatform::PresentedXWindow(host_) != 0; }));
  }
  void TearDown() override {
    canvas_.DestroyWindow();
    DestroyWindow(host_);
    vqplatform::StopPresenter();
  }

  // Feeds the frame (every 10 ms at most, as a camera would) and serves
  // the window's messages until the condition holds.
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = vqtest::kPatience) {
    auto next = std::chrono::steady_clock::now();
    return vqtest::Pump([&] {
      if (std::chrono::steady_clock::now() >= next) {
        SendMessageW(canvas_.m_hWnd, WM_CANVAS_SHOW_IMAGE, reinterpret_cast<WPARAM>(&frame_), 0);
        next = std::chrono::steady_clock::now() + 10ms;
      }
      return done();
    }, limit);
  }
  POINT Screen(int x, int y) {
    POINT p{x, y};
    ClientToScreen(canvas_.m_hWnd, &p);
    return p;
  }
  // What the server shows once it shows what the layer drew; saved as PNG.
  vqtest::Screenshot Shot(const std::string& name) {
    vqtest::Screenshot shot;
    RECT screen{};
    GetWindowRect(host_, &screen);
    PumpUntil([&] {
      if (!vqplatform::FlushPresenter(2000)) return false;
      vqplatform::WindowImage layer;
      vqplatform::ComposeWindowImage(host_, &layer);
      shot = server_.Grab(screen);
      return shot.CountDifferences(layer) == 0;
    });
    EXPECT_TRUE(shot.SavePng(vqtest::ScreenshotPath(name)));
    return shot;
  }
  cv::Vec3b PixelOf(const vqtest::Screenshot& shot, int x, int y) {
    uint32_t p = shot.pixels[size_t(y) * shot.width + x];
    return cv::Vec3b(uchar(p), uchar(p >> 8), uchar(p >> 16));
  }
  POINT UnderPointer(POINT client) {
    return vqcapture::WindowToImage(client, {canvas_.GetSourceRect(), canvas_.GetDestinationRect()},
                                    canvas_.GetZoom());
  }

  vqtest::XServer server_;
  HWND host_ = nullptr;
  CObjectContainer canvas_;
  cv::Mat frame_;
};

TEST_F(CanvasXvfbTest, SelectionZoomPanAndPictureInPictureByMouse) {
  ASSERT_TRUE(PumpUntil([&] { return canvas_.GetZoom() == 0.5f; }));
  // A selection drawn by dragging: handles, and the picture washed around it.
  canvas_.AddSelection();
  server_.Drag(Screen(200, 150), Screen(500, 400));
  RECT selection{};
  ASSERT_TRUE(PumpUntil([&] { return canvas_.GetSelectionObject()->IsSelected(); }));
  canvas_.GetSelection(&selection);
  EXPECT_EQ(CRect(selection), CRect(401, 301, 1001, 801));
  vqtest::Screenshot drawn = Shot("canvas-selection.png");
  cv::Mat fitted;
  cv::resize(frame_, fitted, cv::Size(kWidth, kHeight), 0, 0, cv::INTER_AREA);
  const cv::Vec3b outside = fitted.at<cv::Vec3b>(500, 650), inside = fitted.at<cv::Vec3b>(300, 350);
  EXPECT_EQ(PixelOf(drawn, 650, 500), cv::Vec3b(uchar((outside[0] + 255) / 2), uchar((outside[1] + 255) / 2),
                                                uchar((outside[2] + 255) / 2)));
  EXPECT_EQ(PixelOf(drawn, 350, 300), inside);
  EXPECT_EQ(PixelOf(drawn, 350, 399), cv::Vec3b(255, 255, 255));  // the bottom middle handle

  // Two wheel notches zoom to 2x about the pointer.
  const POINT pointer{650, 480};
  server_.MovePointer(Screen(pointer.x, pointer.y));
  ASSERT_TRUE(PumpUntil([&] { return true; }));
  const POINT before = UnderPointer(pointer);
  server_.Wheel(Screen(pointer.x, pointer.y), 2);
  ASSERT_TRUE(PumpUntil([&] { return canvas_.GetZoom() == 2.0f; }));
  EXPECT_NEAR(UnderPointer(pointer).x, before.x, 1);
  EXPECT_NEAR(UnderPointer(pointer).y, before.y, 1);
  Shot("canvas-zoomed.png");

  // A drag outside the selection pans by the mouse movement.
  const CRect zoomed = canvas_.GetSourceRect();
  server_.Drag(Screen(600, 400), Screen(300, 200));
  ASSERT_TRUE(PumpUntil([&] { return canvas_.GetSourceRect() == zoomed + CPoint(300, 200); }))
      << canvas_.GetSourceRect().left << "," << canvas_.GetSourceRect().top;
  Shot("canvas-panned.png");

  // Back to fit; a second camera's frame in a box, turned with a document.
  server_.Wheel(Screen(pointer.x, pointer.y), -3);
  ASSERT_TRUE(PumpUntil([&] { return canvas_.IsFitMode(); }));
  ASSERT_TRUE(canvas_.AddSubImageBox(RECT{100, 100, 740, 580}));
  cv::Mat second = vqscene::RenderScene(vqscene::SingleSheet(cv::Size(640, 480), {320, 240}, {300, 380}, 20));
  cv::flip(second, second, 0);  // the frame holder's rows run bottom-up
  SendMessageW(canvas_.m_hWnd, WM_CANVAS_SHOW_IMAGE, reinterpret_cast<WPARAM>(second.data), MAKELPARAM(640, 480));
  canvas_.GetSubImageBox()->SetTurn(true, -0.2);
  Shot("canvas-picture-in-picture.png");
  server_.Click(Screen(150, 100));
  ASSERT_TRUE(PumpUntil([&] { return canvas_.GetSubImageBox()->IsSelected(); }));
  // Farther off than a double click may be, the next press is a new one.
  const int off = 2 * GetSystemMetrics(SM_CXDOUBLECLK);
  server_.MovePointer(Screen(150 + off, 100 + off));  // hovering over the box picks it up
  PumpUntil([&] { return canvas_.GetSubImageBox()->GetGrabbed() == CTrackRectangle::kGrabBody; });
  server_.Drag(Screen(150 + off, 100 + off), Screen(350 + off, 250 + off));
  ASSERT_TRUE(PumpUntil([&] { return CRect(canvas_.GetSubImageBox()->GetRect()) == CRect(500, 400, 1140, 880); }))
      << canvas_.GetSubImageBox()->GetRect().left;
  vqtest::Screenshot moved = Shot("canvas-picture-in-picture-moved.png");
  EXPECT_NE(PixelOf(moved, 400, 300), PixelOf(moved, 100, 100));
}

}  // namespace
