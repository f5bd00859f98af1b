// The DirectShow subset under the sources: COM creation, device monikers,
// the capture graph builder's rendering with tee and decoder, stream
// configuration and graph events.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "capture/CameraDevices.h"
#include "capture/GrabDataFilter.h"
#include "platform/dshow/FilterGraph.h"
#include "tests/capture/CameraFixture.h"

namespace {

class CaptureGraph : public vqtest::CameraTest {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override {
    vqtest::CameraTest::TearDown();
    CoUninitialize();
  }

  template <class T>
  ComPtr<T> Create(REFCLSID clsid, REFIID iid) {
    ComPtr<T> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.PutVoid()), S_OK);
    return object;
  }

  std::vector<std::wstring> FilterNames(IGraphBuilder* graph) {
    std::vector<std::wstring> names;
    for (auto& f : static_cast<CFilterGraph*>(graph)->Filters()) names.push_back(vq::dshow::FilterName(f.Get()));
    return names;
  }
};

bool Contains(const std::vector<std::wstring>& list, const std::wstring& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

TEST_F(CaptureGraph, CreationNeedsComOnTheThread) {
  std::thread other([] {
    void* out = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, &out),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(out, nullptr);
  });
  other.join();
  void* out = nullptr;
  EXPECT_EQ(CoCreateInstance(IID_IPin, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &out), REGDB_E_CLASSNOTREG);
  auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
  ComPtr<IMediaControl> control = graph.As<IMediaControl>(IID_IMediaControl);
  EXPECT_TRUE(control);
  EXPECT_FALSE(graph.As<IAMStreamConfig>(IID_IAMStreamConfig));
}

TEST_F(CaptureGraph, DevicesCarryPathAndNameAndBindToCaptureFilters) {
  auto devices = Create<ICreateDevEnum>(CLSID_SystemDeviceEnum, IID_ICreateDevEnum);
  ComPtr<IEnumMoniker> monikers;
  EXPECT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0), S_FALSE);
  EXPECT_FALSE(monikers);

  auto config = Quick();
  config.friendlyName = L"Desk Camera";
  auto camera = Plug(config);
  ASSERT_EQ(devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0), S_OK);
  IMoniker* m = nullptr;
  ASSERT_EQ(monikers->Next(1, &m, nullptr), S_OK);
  auto moniker = ComPtr<IMoniker>::Adopt(m);
  EXPECT_EQ(monikers->Next(1, &m, nullptr), S_FALSE);
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()), S_OK);
  std::wstring path, name;
  ASSERT_TRUE(vqcapture::ReadBagString(bag.Get(), L"DevicePath", &path));
  ASSERT_TRUE(vqcapture::ReadBagString(bag.Get(), L"FriendlyName", &name));
  EXPECT_EQ(path, camera->DevicePath());
  EXPECT_EQ(name, L"Desk Camera");
  EXPECT_FALSE(vqcapture::ReadBagString(bag.Get(), L"Other", &name));

  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
  EXPECT_TRUE(filter.As<IAMCameraControl>(IID_IAMCameraControl));
  EXPECT_TRUE(filter.As<IAMVideoProcAmp>(IID_IAMVideoProcAmp));
  camera->Unplug();
  EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()), HRESULT_DEVICE_NOT_CONNECTED);
}

TEST_F(CaptureGraph, PreviewRenderingInsertsTeeAndDecoderAndStillGoesStraight) {
  Plug(Quick());
  auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
  auto builder = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2);
  ASSERT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
  ComPtr<IBaseFilter> camera = vqcapture::BindDeviceById(L"5651", L"d0c0", nullptr, 0);
  ASSERT_TRUE(camera);
  ASSERT_EQ(graph->AddFilter(camera.Get(), L"Capture Filter"), S_OK);

  ComPtr<IAMStreamConfig> config;
  ASSERT_EQ(builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(), IID_IAMStreamConfig,
                                   config.PutVoid()),
            S_OK);
  int count = 0, size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(size, int(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  AM_MEDIA_TYPE* mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  ASSERT_EQ(config->GetStreamCaps(3, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
  EXPECT_EQ(mt->subtype, MEDIASUBTYPE_MJPG);
  EXPECT_EQ(caps.MaxOutputSize.cx, 1280);
  EXPECT_EQ(caps.MinFrameInterval, 166667);
  ASSERT_EQ(config->SetFormat(mt), S_OK);
  DeleteMediaType(mt);
  CMediaType unknown = vq::dshow::MakeVideoType(MEDIASUBTYPE_YUY2, 320, 200, 166667);
  EXPECT_EQ(config->SetFormat(&unknown), VFW_E_INVALIDMEDIATYPE);

  auto renderer = Create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
  auto renderer2 = Create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
  auto grab = ComPtr<CGrabDataFilter>::Adopt(new CGrabDataFilter());
  ASSERT_EQ(graph->AddFilter(renderer.Get(), L"NullRender"), S_OK);
  ASSERT_EQ(graph->AddFilter(grab.Get(), L"GrabDataFilter"), S_OK);
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(), grab.Get(), renderer.Get()),
            S_OK);
  auto names = FilterNames(graph.Get());
  EXPECT_TRUE(Contains(names, L"Tee"));
  EXPECT_TRUE(Contains(names, L"Video Decoder"));
  // The grab filter sees RGB24 of the camera's size.
  AM_MEDIA_TYPE connected{};
  ASSERT_EQ(grab->GetPin(0)->ConnectionMediaType(&connected), S_OK);
  EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB24);
  EXPECT_EQ(vq::dshow::VideoInfo(connected)->bmiHeader.biWidth, 1280);
  FreeMediaType(connected);

  auto grabber = Create<IBaseFilter>(CLSID_SampleGrabber, IID_IBaseFilter);
  ASSERT_EQ(graph->AddFilter(grabber.Get(), L"SampleGrab"), S_OK);
  EXPECT_EQ(graph->AddFilter(renderer2.Get(), L"NullRender"), VFW_S_DUPLICATE_NAME);
  EXPECT_TRUE(Contains(FilterNames(graph.Get()), L"NullRender 0001"));
  ASSERT_EQ(builder->RenderStream(&PIN_CATEGORY_STILL, &MEDIATYPE_Video, camera.Get(), grabber.Get(),
                                  renderer2.Get()),
            S_OK);
  ComPtr<ISampleGrabber> sampleGrabber = grabber.As<ISampleGrabber>(IID_ISampleGrabber);
  AM_MEDIA_TYPE still{};
  ASSERT_EQ(sampleGrabber->GetConnectedMediaType(&still), S_OK);
  EXPECT_EQ(still.subtype, MEDIASUBTYPE_MJPG);  // the camera's own format, no decoder
  FreeMediaType(still);
  // A second preview path takes the tee's next output.
  auto renderer3 = Create<IBaseFilter>(CLSID_NullRenderer, IID_IBaseFilter);
  ASSERT_EQ(graph->AddFilter(renderer3.Get(), L"NullRender"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(), nullptr, renderer3.Get()),
            S_OK);
  EXPECT_EQ(builder->RenderStream(&PIN_CATEGORY_STILL, &MEDIATYPE_Video, camera.Get(), nullptr, nullptr),
            E_INVALIDARG);
}

TEST_F(CaptureGraph, LostCameraEventNamesTheCaptureFilter) {
  auto device = Plug(Quick());
  auto graph = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
  ComPtr<IBaseFilter> camera = vqcapture::BindDeviceById(L"5651", L"d0c0", nullptr, 0);
  ASSERT_EQ(graph->AddFilter(camera.Get(), L"Capture Filter"), S_OK);
  auto events = graph.As<IMediaEventEx>(IID_IMediaEventEx);
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
  events->SetNotifyWindow(reinterpret_cast<OAHWND>(vqtest::FakeWindow(5)), 0x8001, 42);
  device->Unplug();
  ASSERT_EQ(events->GetEvent(&code, &p1, &p2, 0), S_OK);
  EXPECT_EQ(code, EC_DEVICE_LOST);
  EXPECT_EQ(p2, 0);
  ComPtr<IUnknown> lost = ComPtr<IUnknown>::Share(reinterpret_cast<IUnknown*>(p1)).As<IUnknown>(IID_IUnknown);
  EXPECT_EQ(lost.Get(), camera.As<IUnknown>(IID_IUnknown).Get());
  EXPECT_EQ(events->FreeEventParams(code, p1, p2), S_OK);
  ASSERT_EQ(recorder_.Count(vqtest::FakeWindow(5), 0x8001), 1u);
  for (const auto& m : recorder_.Messages())
    if (m.message == 0x8001) {
      EXPECT_EQ(m.lParam, 42);
    }
  // A graph whose camera is gone does not run.
  EXPECT_TRUE(FAILED(graph.As<IMediaControl>(IID_IMediaControl)->Run()));
}
