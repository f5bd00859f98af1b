// The preview canvas in a headless window: fitting and zooming, panning,
// the mouse routed to its overlays, quarter turns and frames of every kind.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "capture/ObjectContainer.h"
#include "platform/mfc/CImage.h"
#include "platform/win/Controls.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/Window.h"

inline void PrintTo(const CRect& r, std::ostream* out) {
  *out << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

// A picture whose pixels tell where they came from: blue = x mod 256,
// green = y mod 256, red from the 256-pixel tile.
cv::Mat PositionCard(int width, int height) {
  cv::Mat card(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      card.at<cv::Vec3b>(y, x) = cv::Vec3b(uchar(x % 256), uchar(y % 256), uchar(40 * (x / 256) + 7 * (y / 256)));
  return card;
}

// A canvas in a headless host window with an exact client size, driven by
// the messages a user's mouse produces, and read back as pixels.
class CanvasHost {
 public:
  CanvasHost(CObjectContainer& canvas, int width, int height) : canvas_(canvas) {
    vqplatform::RegisterStandardControls();
    WNDCLASSW host{};
    host.lpfnWndProc = DefWindowProcW;
    host.lpszClassName = L"VqCanvasTestHost";
    RegisterClassW(&host);
    host_ = CreateWindowExW(0, L"VqCanvasTestHost", L"", WS_POPUP | WS_VISIBLE, 0, 0, width + 20, height + 20,
                            nullptr, nullptr, nullptr, nullptr);
    canvas.Create(WC_STATIC, L"", CObjectContainer::kStyle, CRect(0, 0, width, height), CWnd::FromHandle(host_),
                  0xFFFF);
    CRect client;
    canvas.GetClientRect(&client);  // a border takes its share
    canvas.MoveWindow(0, 0, 2 * width - client.Width(), 2 * height - client.Height());
  }
  ~CanvasHost() {
    canvas_.DestroyWindow();
    DestroyWindow(host_);
  }
  LRESULT Mouse(UINT message, POINT client, WPARAM keys = 0) {
    return SendMessageW(canvas_.m_hWnd, message, keys, MAKELPARAM(client.x, client.y));
  }
  // Button down at `from`, moves in `steps`, button up at `to`.
  void Drag(POINT from, POINT to, int steps = 4) {
    Mouse(WM_LBUTTONDOWN, from, MK_LBUTTON);
    for (int i = 1; i <= steps; ++i)
      Mouse(WM_MOUSEMOVE, POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps},
            MK_LBUTTON);
    Mouse(WM_LBUTTONUP, to);
  }
  // The client area as the canvas shows it after painting (BGR).
  cv::Mat Shown() {
    UpdateWindow(canvas_.m_hWnd);
    RECT r{};
    GetClientRect(canvas_.m_hWnd, &r);
    CImage image;
    image.Create(r.right, -r.bottom, 24);
    HDC from = GetDC(canvas_.m_hWnd);
    BitBlt(image.GetDC(), 0, 0, r.right, r.bottom, from, 0, 0, SRCCOPY);
    image.ReleaseDC();
    ReleaseDC(canvas_.m_hWnd, from);
    return cv::Mat(r.bottom, r.right, CV_8UC3, image.GetBits(), size_t(image.GetPitch())).clone();
  }

 private:
  CObjectContainer& canvas_;
  HWND host_ = nullptr;
};

CRect R(int l, int t, int r, int b) { return CRect(l, t, r, b); }

TEST(PreviewCanvasTest, FirstFramesAreFittedWithTheViewNumbersOfTheirSizes) {
  struct Case {
    int cw, ch, w, h;
    float fit;
    CRect source, destination;
  } cases[] = {
      // 500/1200 as a float lies just below 5/12, so the height loses a pixel.
      {800, 500, 1600, 1200, 500.0f / 1200.0f, R(0, 0, 666, 499), R(67, 0, 733, 499)},
      {800, 600, 1280, 960, 0.625f, R(0, 0, 800, 600), R(0, 0, 800, 600)},
      {1024, 768, 640, 480, 1.0f, R(0, 0, 640, 480), R(192, 144, 832, 624)},
  };
  for (const Case& c : cases) {
    CObjectContainer canvas;
    CanvasHost host(canvas, c.cw, c.ch);
    canvas.SetImage(PositionCard(c.w, c.h));
    EXPECT_EQ(canvas.GetFitZoom(), c.fit);
    EXPECT_EQ(canvas.GetZoom(), c.fit);
    EXPECT_TRUE(canvas.IsFitMode());
    EXPECT_EQ(canvas.GetSourceRect(), c.source) << c.w;
    EXPECT_EQ(canvas.GetDestinationRect(), c.destination) << c.w;
  }
}

TEST(PreviewCanvasTest, CanvasLargerThanTheScreenShowsAllOfItsPicture) {
  const SIZE screen = vqplatform::GetScreenSize();
  vqplatform::SetScreenSize(320, 240);
  CObjectContainer canvas;
  CanvasHost host(canvas, 640, 480);
  const cv::Mat frame = PositionCard(640, 480);
  canvas.SetImage(frame);
  const cv::Mat shown = host.Shown();
  vqplatform::SetScreenSize(screen.cx, screen.cy);
  EXPECT_EQ(shown.at<cv::Vec3b>(470, 630), frame.at<cv::Vec3b>(470, 630));
  // No client height: no zoom of 0 to divide by.
  EXPECT_EQ(vqcapture::FitZoom(SIZE{1600, 1200}, SIZE{800, 0}), 1.0f);
}

TEST(PreviewCanvasTest, FramesOfEveryKindAndTheShowImageMessage) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 320, 240);
  EXPECT_EQ(SendMessageW(canvas.m_hWnd, WM_CANVAS_SHOW_IMAGE, 0, 0), 1);
  EXPECT_TRUE(canvas.GetPicture().IsNull());
  canvas.AddSelection();  // before the first frame there is no view to click in
  host.Mouse(WM_LBUTTONDOWN, POINT{10, 10});
  host.Mouse(WM_LBUTTONUP, POINT{10, 10});
  EXPECT_TRUE(canvas.GetSelectionObject()->GetPoints().empty());
  canvas.RemoveSelection();
  cv::Mat grey(240, 320, CV_8UC1, cv::Scalar(90));
  EXPECT_EQ(SendMessageW(canvas.m_hWnd, WM_CANVAS_SHOW_IMAGE, reinterpret_cast<WPARAM>(&grey), 0), 0);
  EXPECT_EQ(canvas.GetPicture().GetPixel(5, 5), RGB(90, 90, 90));
  EXPECT_EQ(host.Shown().at<cv::Vec3b>(100, 100), cv::Vec3b(90, 90, 90));
  // Zoomed in, a frame of the same size keeps the zoom; a new size refits.
  canvas.ZoomIn();
  canvas.SetImage(PositionCard(320, 240));
  EXPECT_EQ(canvas.GetZoom(), 2.0f);
  cv::Mat fourChannels(240, 320, CV_8UC4, cv::Scalar(1, 2, 3, 4));
  canvas.SetImage(fourChannels);  // not read as three-channel rows
  EXPECT_EQ(canvas.GetPicture().GetPixel(0, 0), RGB(0, 0, 0));
  canvas.SetImage(PositionCard(640, 480));
  EXPECT_TRUE(canvas.IsFitMode());
  EXPECT_EQ(canvas.GetZoom(), 0.5f);
  // Without overlays a copy comes back unchanged; no copy at all answers 1.
  CImage copy;
  copy.Create(64, 48, 24);
  copy.SetPixel(3, 4, RGB(1, 2, 3));
  EXPECT_EQ(SendMessageW(canvas.m_hWnd, WM_PREVIEW_COPY_OUT, 0, reinterpret_cast<LPARAM>(&copy)), 0);
  EXPECT_EQ(copy.GetPixel(3, 4), RGB(1, 2, 3));
  EXPECT_EQ(copy.GetPixel(4, 4), RGB(0, 0, 0));
  EXPECT_EQ(SendMessageW(canvas.m_hWnd, WM_PREVIEW_COPY_OUT, 0, 0), 1);
}

TEST(PreviewCanvasTest, ZoomLadderGoesUpToEightAndSnapsBackToFit) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 800, 500);
  canvas.ZoomIn();  // no picture: nothing
  EXPECT_EQ(canvas.GetZoom(), -1.0f);
  canvas.SetImage(PositionCard(1600, 1200));
  const float fit = canvas.GetFitZoom();
  std::vector<float> seen;
  for (int i = 0; i < 11; ++i) {
    canvas.ZoomIn();
    seen.push_back(canvas.GetZoom());
    EXPECT_FALSE(canvas.IsFitMode());
  }
  EXPECT_EQ(seen, (std::vector<float>{0.5f, 1, 2, 3, 4, 5, 6, 7, 8, 8, 8}));
  seen.clear();
  for (int i = 0; i < 10; ++i) {
    canvas.ZoomOut();
    seen.push_back(canvas.GetZoom());
  }
  EXPECT_EQ(seen, (std::vector<float>{7, 6, 5, 4, 3, 2, 1, 0.5f, fit, fit}));
  EXPECT_TRUE(canvas.IsFitMode());
  EXPECT_EQ(canvas.GetSourceRect(), R(0, 0, 666, 499));
}

TEST(PreviewCanvasTest, DragPansWithinThePictureAndScrollingDrawsWhatAFullRedrawDraws) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 400, 300);
  const cv::Mat frame = PositionCard(1600, 1200);
  canvas.SetImage(frame);
  host.Drag(POINT{200, 150}, POINT{100, 100});  // fit mode: no panning
  EXPECT_EQ(canvas.GetSourceRect(), R(0, 0, 400, 300));
  for (float zoom : {0.5f, 2.0f, 3.0f}) {
    while (canvas.GetZoom() < zoom) canvas.ZoomIn();
    ASSERT_EQ(canvas.GetZoom(), zoom);
    const CRect start = canvas.GetSourceRect();
    host.Drag(POINT{200, 150}, POINT{163, 121}, 3);  // uneven steps expose strips on both axes
    EXPECT_EQ(canvas.GetSourceRect(), start + CPoint(37, 29)) << zoom;
    const cv::Mat scrolled = host.Shown();
    canvas.SetImage(frame);  // redraws the whole view at the same place
    EXPECT_EQ(cv::norm(scrolled, host.Shown(), cv::NORM_INF), 0) << "zoom " << zoom;
  }
  host.Drag(POINT{390, 290}, POINT{5000, 5000}, 2);  // far past the top-left corner
  EXPECT_EQ(canvas.GetSourceRect(), R(0, 0, 400, 300));
  host.Drag(POINT{10, 10}, POINT{-5000, -5000}, 2);
  EXPECT_EQ(canvas.GetSourceRect(), R(4800 - 400, 3600 - 300, 4800, 3600));
}

// An overlay that takes clicks inside a rectangle and records what it is asked.
class FakeOverlay : public CWaterMarkObject {
 public:
  explicit FakeOverlay(RECT area) : area_(area) {}
  bool OnLButtonDown(UINT, int x, int y, float) override { return CRect(area_).PtInRect(CPoint(x, y)); }
  void OnMouseMove(UINT, int, int, float) override {}
  void OnLButtonUp(UINT, int, int, float) override {}
  void Draw(CImage*, RECT view, float s) override {
    drawnView = view;
    drawnScale = s;
    selectedWhileDrawn = m_selected;
  }
  RECT GetRect() override { return area_; }
  void SetRect(int, int, int, int, bool) override {}
  RECT drawnView{};
  float drawnScale = 0;
  bool selectedWhileDrawn = true;

 private:
  RECT area_;
};

class CanvasWithMark : public CObjectContainer {
 public:
  FakeOverlay* PlaceFakeMark(RECT area) {
    auto* mark = new FakeOverlay(area);
    SetWaterMarkObject(mark);
    return mark;
  }
};

TEST(PreviewCanvasTest, ClicksTryTheBoxThenTheWatermarkThenTheSelection) {
  CanvasWithMark canvas;
  CanvasHost host(canvas, 640, 480);
  canvas.SetImage(PositionCard(640, 480));  // 1:1, so scaled points are window points
  ASSERT_TRUE(canvas.SetSelection(RECT{0, 0, 400, 400}, false));
  ASSERT_TRUE(canvas.AddSubImageBox(RECT{100, 100, 300, 300}));
  FakeOverlay* mark = canvas.PlaceFakeMark(RECT{150, 150, 350, 350});
  struct Click {
    POINT at;
    CDrawObject* taker;
  } clicks[] = {{{200, 200}, canvas.GetSubImageBox()}, {{320, 320}, mark}, {{380, 380}, canvas.GetSelectionObject()}};
  for (const Click& c : clicks) {
    for (CDrawObject* o : {static_cast<CDrawObject*>(canvas.GetSubImageBox()), static_cast<CDrawObject*>(mark),
                           static_cast<CDrawObject*>(canvas.GetSelectionObject())})
      o->SetSelected(true);
    host.Mouse(WM_LBUTTONDOWN, c.at, MK_LBUTTON);
    host.Mouse(WM_LBUTTONUP, c.at);
    EXPECT_EQ(canvas.GetActiveObject(), c.taker);
    EXPECT_EQ(canvas.GetSubImageBox()->IsSelected(), c.taker == canvas.GetSubImageBox());
    EXPECT_EQ(mark->IsSelected(), c.taker == mark);
    EXPECT_EQ(canvas.GetSelectionObject()->IsSelected(), c.taker == canvas.GetSelectionObject());
  }
  // A click on nothing leaves the active object; a double click deselects
  // the selection.
  host.Mouse(WM_LBUTTONDOWN, POINT{600, 450});
  EXPECT_EQ(canvas.GetActiveObject(), canvas.GetSelectionObject());
  host.Mouse(WM_LBUTTONDBLCLK, POINT{380, 380});
  EXPECT_FALSE(canvas.GetSelectionObject()->IsSelected());
  // Copies carry the mark unselected, at full size and scale 1.
  mark->SetSelected(true);
  CImage copy;
  copy.Create(640, 480, 24);
  EXPECT_EQ(SendMessageW(canvas.m_hWnd, WM_PREVIEW_COPY_OUT, 0, reinterpret_cast<LPARAM>(&copy)), 0);
  EXPECT_EQ(CRect(mark->drawnView), R(0, 0, 640, 480));
  EXPECT_EQ(mark->drawnScale, 1.0f);
  EXPECT_FALSE(mark->selectedWhileDrawn);
  EXPECT_TRUE(mark->IsSelected());
  // A real mark: made once, later adds give it new parameters; queried, it
  // tells where it is now.
  canvas.RemoveWaterMark();
  WaterMarkParams params;
  EXPECT_FALSE(canvas.QueryObject(CObjectContainer::kWaterMark, &params));
  params.text = L"Mark";
  params.fontHeight = 30;
  params.rect = RECT{300, 200, 300, 200};
  EXPECT_TRUE(canvas.AddWaterMark(params));
  CWaterMarkObject* real = canvas.GetWaterMarkObject();
  params.rect = RECT{100, 80, 120, 100};
  EXPECT_TRUE(canvas.AddWaterMark(params));
  EXPECT_EQ(canvas.GetWaterMarkObject(), real);
  WaterMarkParams back;
  ASSERT_TRUE(canvas.QueryObject(CObjectContainer::kWaterMark, &back));
  EXPECT_EQ(CRect(back.rect).CenterPoint(), CPoint(110, 90));
  EXPECT_EQ(back.text, CString(L"Mark"));
  canvas.RemoveWaterMark();
  EXPECT_FALSE(canvas.QueryObject(CObjectContainer::kWaterMark, &back));
  RECT box{};
  EXPECT_TRUE(canvas.QueryObject(CObjectContainer::kSubImageBox, &box));
  EXPECT_EQ(CRect(box), R(100, 100, 300, 300));
}

TEST(PreviewCanvasTest, QuarterTurnsTurnThePictureAndTheSelection) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 400, 300);
  EXPECT_TRUE(canvas.Rotate90());  // nothing held: still true
  canvas.SetImage(PositionCard(640, 480));
  canvas.SetSelection(RECT{10, 20, 110, 120}, false);
  ASSERT_TRUE(canvas.Rotate90());
  EXPECT_EQ(canvas.GetPicture().GetWidth(), 480);
  // The old top-left pixel is now at the top-right.
  EXPECT_EQ(canvas.GetPicture().GetPixel(479, 0), RGB(0, 0, 0));
  EXPECT_EQ(canvas.GetPicture().GetPixel(479 - 20, 10), RGB(0, 20, 10));
  RECT selection{};
  canvas.GetSelection(&selection);
  EXPECT_EQ(CRect(selection), R(359, 10, 459, 110));
  EXPECT_EQ(canvas.GetFitZoom(), 300.0f / 640.0f);
  ASSERT_TRUE(canvas.Rotate270());
  canvas.GetSelection(&selection);
  EXPECT_EQ(CRect(selection), R(10, 20, 110, 120));
  EXPECT_EQ(canvas.GetPicture().GetPixel(10, 20), RGB(0, 20, 10));
  ASSERT_TRUE(canvas.Rotate180());
  EXPECT_EQ(canvas.GetPicture().GetPixel(639 - 10, 479 - 20), RGB(0, 20, 10));
  canvas.GetSelection(&selection);
  EXPECT_EQ(CRect(selection), R(529, 359, 629, 459));
}

}  // namespace
