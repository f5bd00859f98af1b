// The preview canvas in a headless window: fitting and zooming, panning,
// the mouse routed to its overlays, quarter turns and frames of every kind.
#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

#include "capture/ObjectContainer.h"
#include "platform/display/Cursors.h"
#include "tests/capture/CanvasSupport.h"

namespace {

using vqtest::CanvasHost;
using vqtest::PositionCard;

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

TEST(PreviewCanvasTest, FramesOfEveryKindAndTheShowImageMessage) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 320, 240);
  EXPECT_EQ(SendMessageW(canvas.m_hWnd, WM_CANVAS_SHOW_IMAGE, 0, 0), 1);
  EXPECT_TRUE(canvas.GetPicture().IsNull());
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
  // Away from the picture's edges a step keeps the picture point at the view's centre.
  canvas.ZoomIn();
  for (int i = 0; i < 3; ++i) {
    const POINT before = vqcapture::SourceCentreInImage(canvas.GetSourceRect(), canvas.GetZoom());
    canvas.ZoomIn();
    const POINT after = vqcapture::SourceCentreInImage(canvas.GetSourceRect(), canvas.GetZoom());
    EXPECT_NEAR(after.x, before.x, 1);
    EXPECT_NEAR(after.y, before.y, 1);
  }
}

TEST(PreviewCanvasTest, WheelZoomsAboutThePointer) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 800, 500);
  canvas.SetImage(PositionCard(1600, 1200));
  const POINT pointer{500, 300};
  auto underPointer = [&] {
    return vqcapture::WindowToImage(pointer, {canvas.GetSourceRect(), canvas.GetDestinationRect()},
                                    canvas.GetZoom());
  };
  host.Wheel(pointer, 120);
  EXPECT_EQ(canvas.GetZoom(), 0.5f);
  for (float expected : {1.0f, 2.0f, 3.0f}) {
    const POINT before = underPointer();
    host.Wheel(pointer, 120);
    EXPECT_EQ(canvas.GetZoom(), expected);
    EXPECT_NEAR(underPointer().x, before.x, 1);
    EXPECT_NEAR(underPointer().y, before.y, 1);
  }
  for (int i = 0; i < 5; ++i) host.Wheel(pointer, -120);
  EXPECT_TRUE(canvas.IsFitMode());
  host.Wheel(pointer, -120);  // fit mode: no step out
  EXPECT_TRUE(canvas.IsFitMode());
  // A pointer outside the canvas turns nothing.
  host.Mouse(WM_MOUSEMOVE, POINT{900, 100});
  SendMessageW(canvas.m_hWnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(900, 100));
  EXPECT_TRUE(canvas.IsFitMode());
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
class FakeOverlay : public CDrawObject {
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
  // Until the watermark overlay exists, adding one fails and there is none to query.
  WaterMarkParams params;
  canvas.RemoveWaterMark();
  EXPECT_FALSE(canvas.AddWaterMark(params));
  EXPECT_FALSE(canvas.QueryObject(CObjectContainer::kWaterMark, &params));
  RECT box{};
  EXPECT_TRUE(canvas.QueryObject(CObjectContainer::kSubImageBox, &box));
  EXPECT_EQ(CRect(box), R(100, 100, 300, 300));
}

TEST(PreviewCanvasTest, DraggedSelectionWashesTheOutsideAndShowsItsHandles) {
  CObjectContainer canvas;
  CanvasHost host(canvas, 400, 300);
  canvas.SetImage(PositionCard(800, 600));  // at 0.5
  canvas.AddSelection();
  host.Drag(POINT{50, 40}, POINT{150, 140});
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_CROSS));
  RECT selection{};
  ASSERT_TRUE(canvas.GetSelection(&selection));
  EXPECT_EQ(CRect(selection), R(101, 81, 301, 281));  // creation points at 0.5 add a pixel
  const cv::Mat shown = host.Shown();
  cv::Mat plain;
  cv::resize(PositionCard(800, 600), plain, cv::Size(400, 300), 0, 0, cv::INTER_AREA);
  auto washed = [](cv::Vec3b v) { return cv::Vec3b(uchar((v[0] + 255) / 2), uchar((v[1] + 255) / 2), uchar((v[2] + 255) / 2)); };
  EXPECT_EQ(shown.at<cv::Vec3b>(250, 300), washed(plain.at<cv::Vec3b>(250, 300)));
  EXPECT_EQ(shown.at<cv::Vec3b>(100, 100), plain.at<cv::Vec3b>(100, 100));
  EXPECT_EQ(shown.at<cv::Vec3b>(140, 101), cv::Vec3b(255, 255, 255));  // inside the bottom middle handle
  // After a move over the bottom-right handle, dragging it resizes.
  host.Mouse(WM_MOUSEMOVE, POINT{150, 140});
  EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_SIZENWSE));
  host.Drag(POINT{150, 140}, POINT{170, 150});
  ASSERT_TRUE(canvas.GetSelection(&selection));
  EXPECT_EQ(CRect(selection), R(101, 81, 341, 301));
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
