// The sample video renderer: RGB24-only media types, samples drawn into its
// holder (padded rows, both row orders, quarter turns), the callback and the
// frame notification, size-change and window events reaching the graph, and
// its factory-table entry.
#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "capture/GrabData.h"
#include "capture/SampleVideoRenderer.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/VirtualFrameSource.h"
#include "tests/capture/MessageRecorder.h"
#include "tests/capture/TestSource.h"

using vq::dshow::MakeVideoType;
using vqtest::TestSource;

namespace {

const HWND kNotify = vqtest::FakeWindow(31);

// A picture as a 24-bit DIB: rows padded to four bytes, bottom-up unless topDown.
std::vector<BYTE> Dib(const cv::Mat& picture, bool topDown) {
  const size_t row = size_t(picture.cols) * 3, stride = (row + 3) & ~size_t(3);
  std::vector<BYTE> dib(stride * size_t(picture.rows), 0xEE);
  for (int y = 0; y < picture.rows; ++y)
    std::memcpy(dib.data() + stride * size_t(y), picture.ptr(topDown ? y : picture.rows - 1 - y), row);
  return dib;
}

CMediaType TopDown(CMediaType type) {
  auto* vi = reinterpret_cast<VIDEOINFOHEADER*>(type.Format());
  vi->bmiHeader.biHeight = -vi->bmiHeader.biHeight;
  return type;
}

struct RendererGraph {
  ComPtr<CFilterGraph> graph = ComPtr<CFilterGraph>::Adopt(new CFilterGraph());
  ComPtr<IBaseFilter> renderer;
  ComPtr<TestSource> source;
  HRESULT connected;

  explicit RendererGraph(const CMediaType& type) : source(ComPtr<TestSource>::Adopt(new TestSource(type))) {
    HRESULT hr;
    renderer = ComPtr<IBaseFilter>::Adopt(static_cast<IBaseFilter*>(CVideoRenderer::CreateInstance(nullptr, &hr)));
    graph->AddFilter(source.Get(), L"Source");
    graph->AddFilter(renderer.Get(), L"Renderer");
    connected = source->GetPin(0)->Connect(Renderer()->GetPin(0), nullptr);
  }
  CVideoRenderer* Renderer() { return static_cast<CVideoRenderer*>(renderer.Get()); }
  bool NextEvent(long* code, LONG_PTR* p1) {
    auto events = graph.As<IMediaEventEx>(IID_IMediaEventEx);
    LONG_PTR p2 = 0;
    if (events->GetEvent(code, p1, &p2, 0) != S_OK) return false;
    events->FreeEventParams(*code, *p1, p2);
    return true;
  }
  bool Run() { return graph.As<IMediaControl>(IID_IMediaControl)->Run() == S_OK; }
  ~RendererGraph() { graph.As<IMediaControl>(IID_IMediaControl)->Stop(); }
};

}  // namespace

TEST(SampleVideoRenderer, AcceptsOnlyTwentyFourBitRgb) {
  HRESULT hr = E_FAIL;
  auto renderer = ComPtr<IBaseFilter>::Adopt(static_cast<IBaseFilter*>(CVideoRenderer::CreateInstance(nullptr, &hr)));
  ASSERT_EQ(hr, S_OK);
  auto* r = static_cast<CVideoRenderer*>(renderer.Get());
  EXPECT_EQ(r->CheckMediaType(nullptr), VFW_E_TYPE_NOT_ACCEPTED);
  EXPECT_EQ(r->CheckMediaType(&static_cast<const CMediaType&>(MakeVideoType(MEDIASUBTYPE_YUY2, 64, 48, 0))),
            VFW_E_TYPE_NOT_ACCEPTED);
  CMediaType wrongDepth = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 0);
  reinterpret_cast<VIDEOINFOHEADER*>(wrongDepth.Format())->bmiHeader.biBitCount = 32;
  EXPECT_EQ(r->CheckMediaType(&wrongDepth), VFW_E_TYPE_NOT_ACCEPTED);
  CMediaType noFormat = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 0);
  noFormat.ResetFormatBuffer();
  EXPECT_EQ(r->CheckMediaType(&noFormat), VFW_E_TYPE_NOT_ACCEPTED);
  const CMediaType rgb = MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 0);
  EXPECT_EQ(r->CheckMediaType(&rgb), S_OK);

  RendererGraph yuy2(MakeVideoType(MEDIASUBTYPE_YUY2, 64, 48, 0));
  EXPECT_TRUE(FAILED(yuy2.connected));
}

TEST(SampleVideoRenderer, DrawsRgbSamplesIntoItsHolderAndNotifies) {
  vqtest::MessageRecorder recorder;
  const cv::Mat picture = vq::dshow::RenderDeskWithSheet(cv::Size(322, 240));  // rows padded to 968 bytes
  RendererGraph g(MakeVideoType(MEDIASUBTYPE_RGB24, 322, 240, 0));
  ASSERT_EQ(g.connected, S_OK);
  long code = 0;
  LONG_PTR p1 = 0;
  ASSERT_TRUE(g.NextEvent(&code, &p1));
  EXPECT_EQ(code, EC_VIDEO_SIZE_CHANGED);
  EXPECT_EQ(p1, LONG_PTR(240 << 16 | 322));
  EXPECT_TRUE(g.Renderer()->Control().IsVisible());
  EXPECT_EQ(g.Renderer()->Drawing().GetTargetRect().right, 322);
  EXPECT_TRUE(g.Renderer()->Drawing().HeldPicture().empty());  // a new, empty holder

  CDrawVideo& draw = g.Renderer()->Drawing();
  draw.SetNotifyWindow(kNotify);
  std::vector<std::tuple<int, int, int>> calls;
  draw.SetCallback([&](const BYTE* data, int w, int h, int rotation) {
    EXPECT_NE(data, nullptr);
    calls.emplace_back(w, h, rotation);
  });
  ASSERT_TRUE(g.Run());
  ASSERT_EQ(g.source->Push(Dib(picture, false), 0), S_OK);
  cv::Mat held = draw.HeldPicture();
  ASSERT_EQ(held.size(), picture.size());
  EXPECT_EQ(cv::norm(held, picture, cv::NORM_INF), 0.0);

  ASSERT_TRUE(draw.SetRotation(-90));
  EXPECT_EQ(draw.Rotation(), 270);
  EXPECT_FALSE(draw.SetRotation(45));
  ASSERT_EQ(g.source->Push(Dib(picture, false), 1000), S_OK);
  held = draw.HeldPicture();
  ASSERT_EQ(held.size(), cv::Size(240, 322));
  CDPrgb24 expected;
  const std::vector<BYTE> dib = Dib(picture, false);
  std::vector<BYTE> packed;
  for (int y = 0; y < 240; ++y) packed.insert(packed.end(), dib.begin() + y * 968, dib.begin() + y * 968 + 966);
  ASSERT_TRUE(expected.SetFrameRotated(packed.data(), 322, 240, 270));
  EXPECT_EQ(cv::norm(held, expected.GetMat(), cv::NORM_INF), 0.0);
  EXPECT_EQ(calls, (std::vector<std::tuple<int, int, int>>{{322, 240, 0}, {240, 322, 270}}));
  EXPECT_EQ(recorder.Count(kNotify, WM_VIDEO_SUB_FRAME), 2u);

  // A sample shorter than its frame is refused and draws nothing.
  EXPECT_TRUE(FAILED(g.source->Push(std::vector<BYTE>(968 * 239), 2000)));
  EXPECT_EQ(recorder.Count(kNotify, WM_VIDEO_SUB_FRAME), 2u);
  EXPECT_EQ(g.Renderer()->FramesDrawn(), 2);
}

TEST(SampleVideoRenderer, TopDownSamplesAndDocumentMarking) {
  const cv::Mat picture = vq::dshow::RenderDeskWithSheet(cv::Size(320, 240));
  RendererGraph g(TopDown(MakeVideoType(MEDIASUBTYPE_RGB24, 320, 240, 0)));
  ASSERT_EQ(g.connected, S_OK);
  ASSERT_TRUE(g.Run());
  ASSERT_EQ(g.source->Push(Dib(picture, true), 0), S_OK);
  EXPECT_EQ(cv::norm(g.Renderer()->Drawing().HeldPicture(), picture, cv::NORM_INF), 0.0);

  // With detection on, the sheet is outlined in the held picture.
  g.Renderer()->Drawing().SetDetection(true);
  ASSERT_EQ(g.source->Push(Dib(picture, true), 1000), S_OK);
  const cv::Mat marked = g.Renderer()->Drawing().HeldPicture();
  EXPECT_GT(cv::norm(marked, picture, cv::NORM_L1), 0.0);
  // The next frame before a timer tick reuses the outline found.
  ASSERT_EQ(g.source->Push(Dib(picture, true), 2000), S_OK);
  EXPECT_EQ(cv::norm(g.Renderer()->Drawing().HeldPicture(), marked, cv::NORM_INF), 0.0);
}

TEST(SampleVideoRenderer, WindowEventsReachTheGraph) {
  RendererGraph g(MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 0));
  ASSERT_EQ(g.connected, S_OK);
  long code = 0;
  LONG_PTR p1 = 0;
  ASSERT_TRUE(g.NextEvent(&code, &p1));  // the size change
  CMVideoControl& control = g.Renderer()->Control();
  control.OnReceiveMessage(0x0005 /* WM_SIZE */, 0, LPARAM(200 << 16 | 300));
  EXPECT_EQ(g.Renderer()->Drawing().GetTargetRect().right, 300);
  EXPECT_EQ(g.Renderer()->Drawing().GetTargetRect().bottom, 200);
  control.OnReceiveMessage(0x001C /* WM_ACTIVATEAPP */, 1, 0);
  ASSERT_TRUE(g.NextEvent(&code, &p1));
  EXPECT_EQ(code, EC_ACTIVATE);
  control.OnReceiveMessage(0x0010 /* WM_CLOSE */, 0, 0);
  EXPECT_FALSE(control.IsVisible());
  // The window's own activation changes (shown, then hidden) may come in
  // between; the close itself is one user abort.
  int aborts = 0;
  while (g.NextEvent(&code, &p1)) {
    if (code == EC_USERABORT) ++aborts;
    else EXPECT_EQ(code, EC_ACTIVATE);
  }
  EXPECT_EQ(aborts, 1);
}

TEST(SampleVideoRenderer, FactoryTableHasTheRendererOnly) {
  ASSERT_EQ(g_cTemplates, 1);
  EXPECT_STREQ(g_Templates[0].m_Name, L"Sample Video Renderer");
  EXPECT_TRUE(*g_Templates[0].m_ClsID == CLSID_SampleVideoRenderer);
  EXPECT_EQ(g_Templates[0].m_dwMerit, 0x200000u);
  HRESULT hr = E_FAIL;
  auto filter = ComPtr<IBaseFilter>::Adopt(static_cast<IBaseFilter*>(g_Templates[0].m_lpfnNew(nullptr, &hr)));
  ASSERT_EQ(hr, S_OK);
  IPin* pin = nullptr;
  ASSERT_EQ(filter->FindPin(L"Input", &pin), S_OK);
  pin->Release();
}
