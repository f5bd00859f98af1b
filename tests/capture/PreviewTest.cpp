// The two preview kinds on a frame source the test controls: margins and
// quarter turns, the preview messages' answers with and without a canvas,
// zoom and double clicks per kind, copies out, the creation failure, and the
// worker's threads (a burst of frames while it is held, destruction while it
// sends, a stop with a patience it does not meet).
#include <gtest/gtest.h>

#include <thread>

#include "capture/ObjectContainer.h"
#include "platform/win/Clock.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/capture/PreviewSupport.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;
using vqtest::GatedPreview;
using vqtest::PatternGrabData;
using vqtest::Settle;
using vqtest::PumpUntil;
using vqtest::RecordingWindow;

// A preview with its source attached, and one frame at a time through it.
template <class Kind>
struct Live {
  RecordingWindow parent;
  PatternGrabData source{64, 48};
  GatedPreview<Kind> preview;
  bool created = false;

  Live() {
    created = preview.Create(parent.Handle(), 0, 0, 320, 240);
    preview.SetMainGrabData(&source);
  }
  ~Live() { preview.SetMainGrabData(nullptr); }
  HWND Hwnd() { return preview.GetHwnd(); }
  // Posts a frame and waits (dispatching) until the worker has stepped and the window has shown it.
  cv::Mat Next() {
    const int steps = preview.steps;
    PostMessageW(Hwnd(), WM_VIDEO_FRAME, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return preview.steps > steps; }));
    EXPECT_TRUE(Settle());  // the frame is shown
    return preview.GetFrame();
  }
};

cv::Vec3b At(const cv::Mat& m, int x, int y) { return m.at<cv::Vec3b>(y, x); }

TEST(Preview, MarginsAndTurnsShapeTheShownFrame) {
  Live<CShowVideoThread> live;
  ASSERT_TRUE(live.created);
  CShowVideoPro& preview = live.preview;
  ASSERT_TRUE(preview.SetFrameMargins(2, 5, 6, 10));
  const RECT stored = preview.FrameMargins();
  EXPECT_EQ((std::vector<LONG>{stored.left, stored.top, stored.right, stored.bottom}),
            (std::vector<LONG>{4, 4, 8, 12}));
  cv::Mat frame = live.Next();
  ASSERT_EQ(frame.size(), cv::Size(52, 32));
  EXPECT_EQ(At(frame, 0, 0), cv::Vec3b(4, 4, 1));

  // 450 is a quarter turn clockwise: the canvas turns once, a second 90 turns nothing.
  EXPECT_FALSE(preview.SetRotation(45));
  ASSERT_TRUE(preview.SetRotation(450));
  EXPECT_EQ(preview.Rotation(), 90);
  EXPECT_EQ(live.preview.TheCanvas()->GetPicture().GetWidth(), 32);
  ASSERT_TRUE(preview.SetRotation(90));
  EXPECT_EQ(live.preview.TheCanvas()->GetPicture().GetWidth(), 32);
  frame = live.Next();
  ASSERT_EQ(frame.size(), cv::Size(32, 52));  // margins come off the unturned camera frame
  EXPECT_EQ(At(frame, 0, 0), cv::Vec3b(4, 35, 2));

  // A negative turn is its positive equal.
  ASSERT_TRUE(preview.SetRotation(-90));
  EXPECT_EQ(preview.Rotation(), 270);
  frame = live.Next();
  ASSERT_EQ(frame.size(), cv::Size(32, 52));
  EXPECT_EQ(At(frame, 0, 0), cv::Vec3b(55, 4, 3));

  // Steps without a fresh frame show the same crop, not a crop of the crop.
  live.source.failing = true;
  for (int i = 0; i < 3; ++i) {
    frame = live.Next();
    ASSERT_EQ(frame.size(), cv::Size(32, 52));
    EXPECT_EQ(At(frame, 0, 0), cv::Vec3b(55, 4, 3));
  }
  live.source.failing = false;

  // Unset, zero and all-consuming margins crop nothing.
  for (RECT margins : {RECT{-1, 10, 10, 10}, RECT{0, 0, 0, 0}, RECT{40, 0, 40, 0}}) {
    SendMessageW(live.Hwnd(), WM_PREVIEW_SETTING, 0, reinterpret_cast<LPARAM>(&margins));
    EXPECT_EQ(live.Next().size(), cv::Size(48, 64));
  }
}

// A window-thread preview whose host window never got a canvas.
class CanvasLessPreview : public CShowVideoThread {
 protected:
  CObjectContainer* Canvas() override { return nullptr; }
};

TEST(Preview, ObjectMessagesAnswerWithAndWithoutACanvas) {
  RecordingWindow parent;
  auto send = [](HWND hwnd, UINT message, WPARAM w, const void* l) {
    return SendMessageW(hwnd, message, w, reinterpret_cast<LPARAM>(l));
  };
  RECT box{10, 10, 50, 40}, out{};
  WaterMarkParams mark;
  PreviewSelectionRecord record{5, 6, 40, 30, false};
  cv::Mat copy;
  {
    CShowVideoThread preview;
    ASSERT_TRUE(preview.Create(parent.Handle(), 0, 0, 320, 240));
    const HWND hwnd = preview.GetHwnd();
    EXPECT_EQ(send(hwnd, WM_PREVIEW_QUERY_OBJECT, 0, &out), 1) << "no selection yet";
    EXPECT_EQ(send(hwnd, WM_PREVIEW_ADD_OBJECT, 0, nullptr), 0);
    EXPECT_EQ(send(hwnd, WM_PREVIEW_ADD_OBJECT, 0, &record), 0);
    EXPECT_EQ(send(hwnd, WM_PREVIEW_QUERY_OBJECT, 0, &out), 0);
    EXPECT_TRUE(preview.SetSelection(-5, -7, 30, 20, true));
    ASSERT_TRUE(preview.GetSelection(&out));
    EXPECT_EQ(out.left, 0);
    EXPECT_EQ(out.top, 0);
    EXPECT_EQ(send(hwnd, WM_PREVIEW_REMOVE_OBJECT, 0, nullptr), 0);
    EXPECT_FALSE(preview.GetSelection(&out));
    EXPECT_TRUE(preview.AddSubImageBox(box));
    EXPECT_TRUE(preview.GetSubImageBoxRect(&out));
    preview.RemoveSubImageBox();
    EXPECT_FALSE(preview.GetSubImageBoxRect(&out));
    EXPECT_FALSE(preview.GetWaterMark(&mark)) << "no watermark yet";
    mark.text = L"Mark";
    EXPECT_TRUE(preview.AddWaterMark(mark));
    EXPECT_TRUE(preview.GetWaterMark(&mark));
    preview.RemoveWaterMark();
    EXPECT_FALSE(preview.GetWaterMark(&mark));
    // Unknown kinds.
    EXPECT_EQ(send(hwnd, WM_PREVIEW_ADD_OBJECT, 3, &box), 1);
    EXPECT_EQ(send(hwnd, WM_PREVIEW_COPY_OUT, 7, &copy), 1);
    EXPECT_EQ(send(hwnd, WM_PREVIEW_REMOVE_OBJECT, 9, nullptr), 0);
    EXPECT_EQ(send(hwnd, WM_PREVIEW_SETTING, 9, nullptr), 0);
    // Before the first frame only the plain copy answers 0.
    EXPECT_EQ(send(hwnd, WM_PREVIEW_COPY_OUT, 2, &copy), 0);
    EXPECT_TRUE(copy.empty());
    std::vector<cv::Mat> documents;
    EXPECT_EQ(send(hwnd, WM_PREVIEW_COPY_OUT, 3, &documents), 1);
    CImage picture;
    EXPECT_EQ(send(hwnd, WM_PREVIEW_COPY_OUT, 4, &picture), 1);
  }
  CanvasLessPreview bare;
  ASSERT_TRUE(bare.Create(parent.Handle(), 0, 0, 320, 240));
  const HWND hwnd = bare.GetHwnd();
  EXPECT_EQ(send(hwnd, WM_PREVIEW_ADD_OBJECT, 0, nullptr), 1);
  EXPECT_EQ(send(hwnd, WM_PREVIEW_ADD_OBJECT, 1, &box), 1);
  EXPECT_EQ(send(hwnd, WM_PREVIEW_QUERY_OBJECT, 0, &out), 1);
  EXPECT_EQ(send(hwnd, WM_PREVIEW_QUERY_OBJECT, 1, &out), 1);
  EXPECT_EQ(send(hwnd, WM_PREVIEW_REMOVE_OBJECT, 1, nullptr), 0);
  EXPECT_EQ(SendMessageW(hwnd, WM_PREVIEW_SETTING, 1, 180), 0);
  EXPECT_EQ(bare.Rotation(), 0) << "a turn is stored only with a canvas";
}

TEST(Preview, ZoomAndDoubleClickReachTheirTargetsPerKind) {
  {
    Live<CShowVideoThread> live;
    ASSERT_TRUE(live.created);
    live.Next();
    CObjectContainer* canvas = live.preview.TheCanvas();
    const float fit = canvas->GetZoom();
    live.preview.Zoom(true);  // (5, 0)
    EXPECT_GT(canvas->GetZoom(), fit);
    live.preview.Zoom(false);  // (5, 1)
    EXPECT_EQ(canvas->GetZoom(), fit);
    SendMessageW(canvas->GetSafeHwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(10, 10));
    EXPECT_TRUE(PumpUntil([&] { return live.parent.Count(WM_PREVIEW_DBLCLK) > 0; }));
    EXPECT_TRUE(Settle());
    EXPECT_EQ(live.parent.Count(WM_PREVIEW_DBLCLK), 1);
    EXPECT_EQ(live.parent.LastWParam(WM_PREVIEW_DBLCLK), 0u);
    EXPECT_EQ(live.parent.LastLParam(WM_PREVIEW_DBLCLK), 0);
  }
  Live<CShowVideoImpl> live;
  ASSERT_TRUE(live.created);
  live.Next();
  const float fit = live.preview.GetZoom();
  SendMessageW(live.Hwnd(), WM_PREVIEW_SETTING, 5, 0);
  EXPECT_EQ(live.preview.GetZoom(), fit) << "the child kind has no zoom message";
  live.preview.Zoom(true);
  EXPECT_GT(live.preview.GetZoom(), fit);
  SendMessageW(live.Hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(10, 10));
  EXPECT_TRUE(Settle());
  EXPECT_EQ(live.parent.Count(WM_PREVIEW_DBLCLK), 1);
}

TEST(Preview, CopiesOutFollowDetectionAndSelection) {
  Live<CShowVideoImpl> live;
  ASSERT_TRUE(live.created);
  CShowVideoPro& preview = live.preview;
  CImage picture;
  EXPECT_TRUE(preview.GetFrame().empty());
  EXPECT_TRUE(preview.GetDocumentImages().empty());
  preview.GetImage(&picture);
  EXPECT_TRUE(picture.IsNull());

  const cv::Mat frame = live.Next();
  ASSERT_EQ(frame.size(), cv::Size(64, 48));
  preview.GetImage(&picture);
  ASSERT_EQ(picture.GetWidth(), 64);
  EXPECT_EQ(picture.GetPixel(10, 20), RGB(1, 20, 10));
  std::vector<cv::Mat> images = preview.GetDocumentImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(cv::norm(images[0], frame, cv::NORM_INF), 0) << "the whole frame without a selection";

  ASSERT_TRUE(preview.SetSelection(10, 12, 30, 40, false));
  images = preview.GetDocumentImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(cv::norm(images[0], frame(cv::Rect(10, 12, 20, 28)), cv::NORM_INF), 0);

  // Detection on: the single detector finds no page in the pattern and takes the whole frame.
  preview.SetAutoDetect(true, false, 0.03f);
  RECT out{};
  EXPECT_FALSE(preview.GetSelection(&out)) << "detection removes the selection";
  live.Next();
  EXPECT_EQ(preview.DocumentRects().size(), 1u);
  images = preview.GetDocumentImages();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0].size(), frame.size());
  preview.SetAutoDetect(false, false, 0.03f);
  EXPECT_TRUE(preview.DocumentRects().empty()) << "turning detection off empties the list at once";
}

TEST(Preview, CreationFailureIsReportedAndEndsTheWait) {
  vqplatform::ClearMessageBoxLog();
  {
    CShowVideoThread preview;
    EXPECT_FALSE(preview.Create(reinterpret_cast<HWND>(intptr_t(0x7fff1234)), 0, 0, 100, 100));
    EXPECT_EQ(preview.GetHwnd(), nullptr);
  }
  const auto log = vqplatform::MessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].text, L"创建视频预览窗口失败，错误码：1400");
  vqplatform::ClearMessageBoxLog();
}

TEST(PreviewThreads, BurstOfFramesWhileTheWorkerIsHeldGivesOneMoreStep) {
  Live<CShowVideoThread> live;
  ASSERT_TRUE(live.created);
  live.Next();
  const int before = live.preview.steps;
  live.preview.Hold();
  PostMessageW(live.Hwnd(), WM_VIDEO_FRAME, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return live.preview.started > before; }));
  const int pulls = live.source.pulls;
  for (int i = 0; i < 10; ++i) PostMessageW(live.Hwnd(), WM_VIDEO_FRAME, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return live.source.pulls == pulls + 10; }));
  live.preview.Open();
  ASSERT_TRUE(PumpUntil([&] { return live.preview.steps >= before + 2; }));
  ASSERT_TRUE(Settle());
  EXPECT_EQ(live.preview.steps, before + 2);
  const cv::Mat shown = live.preview.GetFrame();
  EXPECT_EQ(At(shown, 0, 0)[2], uchar(live.source.pulls)) << "the newest frame is shown";
}

TEST(PreviewThreads, DestroyingAnswersAWorkerBlockedInItsSend) {
  RecordingWindow parent;
  PatternGrabData source(64, 48);
  auto* child = new GatedPreview<CShowVideoImpl>;
  ASSERT_TRUE(child->Create(parent.Handle(), 0, 0, 320, 240));
  child->SetMainGrabData(&source);
  PostMessageW(child->GetHwnd(), WM_VIDEO_FRAME, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return source.pulls == 1; }));
  // The worker now waits in its send to this thread, which does not dispatch.
  while (child->steps < 1) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(20ms);
  delete static_cast<CShowVideoPro*>(child);

  // A window-thread preview deleted while a camera keeps posting frames.
  auto* threaded = new GatedPreview<CShowVideoThread>;
  ASSERT_TRUE(threaded->Create(parent.Handle(), 0, 0, 320, 240));
  threaded->SetMainGrabData(&source);
  const HWND hwnd = threaded->GetHwnd();
  std::atomic<bool> posting{true};
  std::thread camera([&] {
    while (posting) {
      PostMessageW(hwnd, WM_VIDEO_FRAME, 0, 0);
      std::this_thread::sleep_for(1ms);
    }
  });
  ASSERT_TRUE(PumpUntil([&] { return threaded->steps >= 3; }));
  delete static_cast<CShowVideoPro*>(threaded);
  EXPECT_FALSE(IsWindow(hwnd));
  posting = false;
  camera.join();
}

// The exit's bounded stop: a worker held in its frame step is still running
// after the patience on the layer's clock, and stops once it is let go.
template <class Kind>
void StopWithinAPatience() {
  Live<Kind> live;
  ASSERT_TRUE(live.created);
  live.preview.Hold();
  PostMessageW(live.Hwnd(), WM_VIDEO_FRAME, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return live.preview.started > 0; }));
  {
    vqplatform::ManualClockScope manual;
    std::atomic<bool> stopped{false};
    std::thread driver([&] {
      while (!stopped) {
        vqplatform::Clock::Advance(100);
        std::this_thread::yield();
      }
    });
    EXPECT_FALSE(live.preview.StopWorker(5000));
    stopped = true;
    driver.join();
  }
  live.preview.Open();
  EXPECT_TRUE(live.preview.StopWorker(INFINITE));
  EXPECT_TRUE(live.preview.StopWorker(0)) << "nothing left to stop";
}

TEST(PreviewThreads, AWorkerHeldPastThePatienceStillRunsAndStopsOnceFreed) {
  StopWithinAPatience<CShowVideoThread>();
  StopWithinAPatience<CShowVideoImpl>();
}

}  // namespace
