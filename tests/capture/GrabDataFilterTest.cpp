// The frame-grabbing filter and the still-pin callback, driven with media
// types and samples of their own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include <opencv2/core.hpp>

#include "capture/GrabDataFilter.h"
#include "capture/SampleGrabberCallback.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/StandardFilters.h"
#include "tests/capture/MessageRecorder.h"
#include "tests/capture/TestSource.h"

using vq::dshow::MakeVideoType;
using vqtest::TestSource;

namespace {

struct Connected {
  ComPtr<CGrabDataFilter> grab = ComPtr<CGrabDataFilter>::Adopt(new CGrabDataFilter());
  ComPtr<TestSource> source;
  HRESULT hr;
  explicit Connected(const CMediaType& type) : source(ComPtr<TestSource>::Adopt(new TestSource(type))) {
    hr = source->GetPin(0)->Connect(grab->GetPin(0), nullptr);
  }
  // Connected pins hold their filters; outside a graph the test breaks the link.
  ~Connected() {
    grab->GetPin(0)->Disconnect();
    source->GetPin(0)->Disconnect();
  }
};

std::vector<BYTE> Frame(int w, int h, BYTE value) { return std::vector<BYTE>(size_t(w) * h * 3, value); }

}  // namespace

TEST(GrabDataFilter, AcceptsOnlyRgb24VideoWithVideoInfo) {
  CGrabDataFilter* raw = new CGrabDataFilter();
  auto grab = ComPtr<CGrabDataFilter>::Adopt(raw);
  CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 333333);
  EXPECT_EQ(grab->CheckInputType(&rgb), S_OK);
  CMediaType yuy2 = MakeVideoType(MEDIASUBTYPE_YUY2, 64, 48, 333333);
  CMediaType mjpg = MakeVideoType(MEDIASUBTYPE_MJPG, 64, 48, 333333);
  EXPECT_EQ(grab->CheckInputType(&yuy2), E_FAIL);
  EXPECT_EQ(grab->CheckInputType(&mjpg), E_FAIL);
  CMediaType noInfo = rgb;
  noInfo.SetFormatType(&FORMAT_None);
  EXPECT_EQ(grab->CheckInputType(&noInfo), E_INVALIDARG);
  EXPECT_EQ(grab->CheckInputType(nullptr), E_POINTER);

  CMediaType other = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 50, 333333);
  EXPECT_EQ(grab->CheckTransform(&rgb, &rgb), S_OK);
  EXPECT_EQ(grab->CheckTransform(&rgb, &other), E_INVALIDARG);
  EXPECT_EQ(grab->CheckTransform(&yuy2, &rgb), E_FAIL);
  EXPECT_EQ(grab->CheckTransform(&rgb, nullptr), E_POINTER);
}

TEST(GrabDataFilter, OffersExactlyTheInputTypeOnceConnected) {
  auto grab = ComPtr<CGrabDataFilter>::Adopt(new CGrabDataFilter());
  CMediaType out;
  EXPECT_EQ(grab->GetMediaType(0, &out), E_UNEXPECTED);
  EXPECT_EQ(grab->DecideBufferSize(nullptr, nullptr), E_UNEXPECTED);

  Connected c(MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 333333));
  ASSERT_EQ(c.hr, S_OK);
  EXPECT_EQ(c.grab->GetMediaType(-1, &out), E_INVALIDARG);
  EXPECT_EQ(c.grab->GetMediaType(1, &out), VFW_S_NO_MORE_ITEMS);
  ASSERT_EQ(c.grab->GetMediaType(0, &out), S_OK);
  EXPECT_TRUE(out == MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 333333));

  Connected refused(MakeVideoType(MEDIASUBTYPE_YUY2, 64, 48, 333333));
  EXPECT_TRUE(FAILED(refused.hr));
}

TEST(GrabDataFilter, KeepsEveryFrameAndAnnouncesIt) {
  vqtest::MessageRecorder recorder;
  Connected c(MakeVideoType(MEDIASUBTYPE_RGB24, 8, 4, 333333));
  ASSERT_EQ(c.hr, S_OK);
  CDPrgb24 destination;
  EXPECT_FALSE(c.grab->GetFrame(&destination));
  EXPECT_TRUE(c.grab->GetMat().empty());
  EXPECT_FALSE(destination.GetSize(nullptr, nullptr));

  // Without a window the frame is kept but nothing is posted.
  CMediaSample* in = new CMediaSample(8 * 4 * 3);
  CMediaSample* out = new CMediaSample(8 * 4 * 3);
  BYTE* p = nullptr;
  in->GetPointer(&p);
  std::memset(p, 77, 8 * 4 * 3);
  p[0] = 1;  // first byte: bottom-left pixel
  in->SetActualDataLength(8 * 4 * 3);
  REFERENCE_TIME start = 500, end = 900;
  in->SetTime(&start, &end);
  in->SetSyncPoint(TRUE);
  in->SetDiscontinuity(TRUE);
  ASSERT_EQ(c.grab->Transform(in, out), S_OK);
  EXPECT_EQ(recorder.Messages().size(), 0u);
  ASSERT_TRUE(c.grab->GetFrame(&destination));
  int w = 0, h = 0;
  ASSERT_TRUE(destination.GetSize(&w, &h));
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(destination.GetBuffer()[0], 1);
  cv::Mat m = c.grab->GetMat();
  EXPECT_EQ(m.at<cv::Vec3b>(3, 0)[0], 1);  // bottom row of the picture
  // The output sample carries the data, times and flags.
  REFERENCE_TIME s = 0, e = 0;
  EXPECT_EQ(out->GetTime(&s, &e), S_OK);
  EXPECT_EQ(s, 500);
  EXPECT_EQ(e, 900);
  EXPECT_EQ(out->IsSyncPoint(), S_OK);
  EXPECT_EQ(out->IsDiscontinuity(), S_OK);
  EXPECT_EQ(out->IsPreroll(), S_FALSE);
  EXPECT_EQ(out->GetActualDataLength(), 8 * 4 * 3);

  c.grab->SetNotify(vqtest::FakeWindow(1), WM_VIDEO_FRAME);
  ASSERT_EQ(c.grab->Transform(in, out), S_OK);
  EXPECT_EQ(recorder.Count(vqtest::FakeWindow(1), WM_VIDEO_FRAME), 1u);
  EXPECT_EQ(c.grab->Transform(nullptr, out), E_POINTER);
  in->Release();
  out->Release();
}

TEST(GrabDataFilter, ShortSamplesAreSkippedAndPaddedRowsUnpadded) {
  // 6 pixels wide: 18 bytes a row, padded to 20 in a DIB.
  Connected c(MakeVideoType(MEDIASUBTYPE_RGB24, 6, 3, 333333));
  ASSERT_EQ(c.hr, S_OK);
  CMediaSample* in = new CMediaSample(20 * 3);
  CMediaSample* out = new CMediaSample(20 * 3);
  BYTE* p = nullptr;
  in->GetPointer(&p);
  for (int y = 0; y < 3; ++y) {
    std::memset(p + 20 * y, 10 * (y + 1), 18);
    p[20 * y + 18] = p[20 * y + 19] = 0xEE;  // padding
  }
  in->SetActualDataLength(20 * 3);
  ASSERT_EQ(c.grab->Transform(in, out), S_OK);
  CDPrgb24 held;
  ASSERT_TRUE(c.grab->GetFrame(&held));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 18; ++x) ASSERT_EQ(held.GetBuffer()[18 * y + x], 10 * (y + 1)) << y << "," << x;

  // A sample too short for a whole frame leaves the last frame in place.
  in->SetActualDataLength(10);
  ASSERT_EQ(c.grab->Transform(in, out), S_OK);
  CDPrgb24 again;
  ASSERT_TRUE(c.grab->GetFrame(&again));
  EXPECT_EQ(again.GetBuffer()[18 * 2], 30);
  in->Release();
  out->Release();
}

TEST(GrabDataFilter, ReadersAlwaysSeeWholeFramesWhileStreaming) {
  vqtest::MessageRecorder recorder;
  auto graph = ComPtr<CFilterGraph>::Adopt(new CFilterGraph());
  CMediaType type = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 333333);
  auto source = ComPtr<TestSource>::Adopt(new TestSource(type));
  auto grab = ComPtr<CGrabDataFilter>::Adopt(new CGrabDataFilter());
  auto sink = ComPtr<CNullRenderer>::Adopt(new CNullRenderer());
  ASSERT_EQ(graph->AddFilter(source.Get(), L"Source"), S_OK);
  ASSERT_EQ(graph->AddFilter(grab.Get(), L"GrabDataFilter"), S_OK);
  ASSERT_EQ(graph->AddFilter(sink.Get(), L"NullRender"), S_OK);
  ASSERT_EQ(graph->Connect(source->GetPin(0), grab->GetPin(0)), S_OK);
  ASSERT_EQ(graph->Connect(grab->GetPin(1), sink->GetPin(0)), S_OK);
  grab->SetNotify(vqtest::FakeWindow(2), WM_VIDEO_FRAME);
  ASSERT_EQ(graph->Run(), S_OK);

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done) {
      cv::Mat m = grab->GetMat();
      if (m.empty()) continue;
      double lo, hi;
      cv::minMaxLoc(m.reshape(1), &lo, &hi);
      if (lo != hi) ++torn;
    }
  });
  for (int i = 0; i < 200; ++i) ASSERT_EQ(source->Push(Frame(64, 48, BYTE(i)), i * 1000), S_OK);
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(recorder.Count(vqtest::FakeWindow(2), WM_VIDEO_FRAME), 200u);
  graph->Stop();
  // A stopped filter refuses samples.
  EXPECT_TRUE(FAILED(source->Push(Frame(64, 48, 1), 0)));
}

TEST(SampleGrabberCallback, PostsOneStillReadyPerSample) {
  vqtest::MessageRecorder recorder;
  CSampleGrabberCallback callback;
  callback.SetWindow(vqtest::FakeWindow(3));
  CMediaSample* sample = new CMediaSample(16);
  EXPECT_EQ(callback.SampleCB(0.0, sample), E_NOTIMPL);
  EXPECT_EQ(callback.SampleCB(0.1, sample), E_NOTIMPL);
  sample->Release();
  EXPECT_EQ(recorder.Count(vqtest::FakeWindow(3), WM_VIDEO_STILL_READY), 2u);
  EXPECT_EQ(callback.BufferCB(0.0, nullptr, 0), E_NOTIMPL);

  void* out = nullptr;
  EXPECT_EQ(callback.QueryInterface(IID_ISampleGrabberCB, &out), S_OK);
  EXPECT_EQ(out, static_cast<ISampleGrabberCB*>(&callback));
  EXPECT_EQ(callback.QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(callback.QueryInterface(IID_IBaseFilter, &out), E_NOTIMPL);
  EXPECT_EQ(callback.QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(callback.AddRef(), 1u);
  EXPECT_EQ(callback.Release(), 2u);
}
