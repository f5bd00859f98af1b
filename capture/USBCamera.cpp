#include "capture/USBCamera.h"

#include <cstdlib>

#include "platform/dshow/StandardFilters.h"
#include "platform/dshow/WindowBridge.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/MessageBox.h"

namespace {

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

bool SameText(const CString& recorded, const wchar_t* text) { return recorded.Compare(OrEmpty(text)) == 0; }

IUnknown* Identity(IUnknown* object) {
  IUnknown* identity = nullptr;
  if (object && SUCCEEDED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))))
    identity->Release();  // only compared, never used
  return identity;
}

// Snaps a value down to the control's grid; a device that reports no step
// is taken to step by 1.
long SnapToStep(long value, long min, long step) {
  if (step <= 0) step = 1;
  return min + step * ((value - min) / step);
}

}  // namespace

CUSBCamra::CUSBCamra() { CoInitialize(nullptr); }

CUSBCamra::~CUSBCamra() {
  Close();
  CoUninitialize();
}

void CUSBCamra::Close() {
  graph_.Release();
  camera_.Reset();
  if (grab_) {
    grab_->Release();
    grab_ = nullptr;
  }
  deviceIndex_ = 0;
  built_ = false;
  state_ = VIDEO_STATE_CLOSED;
  vendorId_.Empty();
  productId_.Empty();
}

int CUSBCamra::EnumDevices(HWND comboBox) {
  if (!comboBox) return -1;
  int count = 0;
  bool listed = vqcapture::ForEachVideoDevice([&](IMoniker*, IPropertyBag* bag) {
    std::wstring name;
    if (!vqcapture::ReadBagString(bag, L"FriendlyName", &name)) return true;
    vq::dshow::SendWindowMessage(comboBox, vq::dshow::kCbAddString, 0, reinterpret_cast<LPARAM>(name.c_str()));
    ++count;
    return true;
  });
  return listed ? count : -1;
}

int CUSBCamra::CountDevicesById(const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId) {
  if (!vid || !pid) return -1;
  int count = 0;
  vqcapture::ForEachVideoDevice([&](IMoniker*, IPropertyBag* bag) {
    std::wstring path;
    if (vqcapture::ReadBagString(bag, L"DevicePath", &path) && vqcapture::PathMatches(path.c_str(), vid, pid, extraId))
      ++count;
    return true;
  });
  return count;
}

int CUSBCamra::CountDevices(const wchar_t* vid, const wchar_t* pid) { return CountDevicesById(vid, pid, nullptr); }

int CUSBCamra::CountDevicesByName(const wchar_t* friendlyName) {
  if (!friendlyName) return -1;
  int count = 0;
  vqcapture::ForEachVideoDevice([&](IMoniker*, IPropertyBag* bag) {
    std::wstring name;
    if (vqcapture::ReadBagString(bag, L"FriendlyName", &name) && name == friendlyName) ++count;
    return true;
  });
  return count;
}

CString CUSBCamra::GetDeviceName(const wchar_t* vid, const wchar_t* pid, int index) {
  CString result;
  if (!vid || !pid) return result;
  int seen = 0;
  vqcapture::ForEachVideoDevice([&](IMoniker*, IPropertyBag* bag) {
    std::wstring path, name;
    if (!vqcapture::ReadBagString(bag, L"DevicePath", &path) || !vqcapture::PathMatches(path.c_str(), vid, pid, nullptr))
      return true;
    if (seen++ < index) return true;
    if (vqcapture::ReadBagString(bag, L"FriendlyName", &name)) result = CString(name);
    return false;
  });
  return result;
}

int CUSBCamra::BindForQuery(const wchar_t* vid, const wchar_t* pid, int index) {
  if (built_ && index != deviceIndex_) return -1;
  if (graph_.Exist() && (index != deviceIndex_ || !SameText(vendorId_, vid) || !SameText(productId_, pid))) Close();
  if (graph_.Exist() && camera_) return 0;
  vendorId_ = OrEmpty(vid);
  productId_ = OrEmpty(pid);
  deviceIndex_ = index;
  const int code = vqcapture::CreateQueryGraph(graph_, camera_, vid, pid, index);
  if (code < 0) Close();
  return code;
}

int CUSBCamra::GetDeviceFormatCount(const wchar_t* vid, const wchar_t* pid, int index) {
  int code = BindForQuery(vid, pid, index);
  if (code < 0) return code;
  return vqcapture::CountYuy2Formats(graph_.builder.Get(), camera_.Get());
}

int CUSBCamra::GetDeviceFormatSize(const wchar_t* vid, const wchar_t* pid, int index, int i, int* width,
                                   int* height) {
  int code = BindForQuery(vid, pid, index);
  if (code < 0) return code;
  return vqcapture::Yuy2FormatSize(graph_.builder.Get(), camera_.Get(), i, width, height);
}

bool CUSBCamra::GetDeviceSubtypes(const wchar_t* vid, const wchar_t* pid, int index, std::vector<int>& out) {
  out.clear();
  if (BindForQuery(vid, pid, index) < 0) return false;
  return vqcapture::FormatSubtypes(graph_.builder.Get(), camera_.Get(), out);
}

int CUSBCamra::GetFormatCount() {
  if (!graph_.Exist()) return -1;
  return GetDeviceFormatCount(vendorId_, productId_, deviceIndex_);
}

int CUSBCamra::GetFormatSize(int i, int* width, int* height) {
  if (!graph_.Exist()) return -1;
  return GetDeviceFormatSize(vendorId_, productId_, deviceIndex_, i, width, height);
}

bool CUSBCamra::GetSubtypes(std::vector<int>& out) {
  out.clear();
  if (!graph_.Exist()) return false;
  return GetDeviceSubtypes(vendorId_, productId_, deviceIndex_, out);
}

void CUSBCamra::ChooseFormatIndex() {
  const CString vid = vendorId_, pid = productId_;
  const int count = GetDeviceFormatCount(vid, pid, deviceIndex_);
  if (frameHeight_ < 0 && frameWidth_ < 0) {
    if (formatIndex_ < 0 || formatIndex_ >= count) formatIndex_ = 0;
  } else {
    const long long wanted = static_cast<long long>(frameWidth_) * frameHeight_;
    long long best = 100000000;
    for (int i = 0; i < count; ++i) {
      int w = 0, h = 0;
      if (GetDeviceFormatSize(vid, pid, deviceIndex_, i, &w, &h) != 0) continue;
      const long long difference = std::llabs(static_cast<long long>(w) * h - wanted);
      if (difference < best) {
        best = difference;
        formatIndex_ = i;
      }
    }
  }
  int w = 0, h = 0;
  if (GetDeviceFormatSize(vid, pid, deviceIndex_, formatIndex_, &w, &h) == 0) {
    frameWidth_ = w;
    frameHeight_ = h;
  }
}

void CUSBCamra::SetCaptureFormat() {
  ComPtr<IAMStreamConfig> config;
  if (FAILED(graph_.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera_.Get(),
                                           IID_IAMStreamConfig, config.PutVoid())))
    return;
  int count = 0, size = 0;
  if (FAILED(config->GetNumberOfCapabilities(&count, &size))) return;
  const GUID& wanted = subtype_ == VIDEO_SUBTYPE_MJPG ? MEDIASUBTYPE_MJPG : MEDIASUBTYPE_YUY2;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)) != S_OK || !mt) {
      DeleteMediaType(mt);
      continue;
    }
    const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(*mt);
    const bool fits = vih && vih->bmiHeader.biWidth == frameWidth_ && vih->bmiHeader.biHeight == frameHeight_ &&
                      mt->subtype == wanted;
    if (fits) config->SetFormat(mt);
    DeleteMediaType(mt);
    if (fits) return;
  }
}

HRESULT CUSBCamra::BuildStillBranch() {
  // A camera without a still pin keeps its preview and has no snapshot button.
  ComPtr<IPin> stillPin;
  if (FAILED(graph_.builder->FindPin(camera_.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, nullptr, FALSE, 0,
                                     stillPin.Put())))
    return S_OK;
  ComPtr<IBaseFilter> grabber, renderer;
  HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                grabber.PutVoid());
  if (SUCCEEDED(hr)) hr = graph_.graph->AddFilter(grabber.Get(), L"SampleGrab");
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.PutVoid());
  if (SUCCEEDED(hr)) hr = graph_.graph->AddFilter(renderer.Get(), L"NullRender");
  if (SUCCEEDED(hr))
    hr = graph_.builder->RenderStream(&PIN_CATEGORY_STILL, &MEDIATYPE_Video, camera_.Get(), grabber.Get(),
                                      renderer.Get());
  if (FAILED(hr)) return hr;
  ComPtr<ISampleGrabber> sampleGrabber;
  if (SUCCEEDED(grabber->QueryInterface(IID_ISampleGrabber, sampleGrabber.PutVoid()))) {
    sampleGrabber->SetOneShot(FALSE);
    sampleGrabber->SetBufferSamples(TRUE);
    sampleGrabber->SetCallback(&stillCallback_, 0);
    stillCallback_.SetWindow(stillWindow_);
    AM_MEDIA_TYPE mt{};
    hr = sampleGrabber->GetConnectedMediaType(&mt);
    if (FAILED(hr)) return hr;
    if (const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(mt))
      stillCallback_.SetStillSize(vih->bmiHeader.biWidth, vih->bmiHeader.biHeight);
    FreeMediaType(mt);
  }
  return S_OK;
}

HRESULT CUSBCamra::Open(const wchar_t* vid, const wchar_t* pid, const wchar_t* name, HWND stillWindow, bool stillPin,
                        int index) {
  if (!name && (!vid || !pid)) return E_POINTER;
  Close();
  vendorId_ = OrEmpty(vid);
  productId_ = OrEmpty(pid);
  stillWindow_ = stillWindow;
  deviceIndex_ = index;

  HRESULT hr = graph_.Create();
  if (FAILED(hr)) {
    MessageBoxW(nullptr, L"Failed to get video interfaces!", L"", MB_OK);
    Close();
    return hr;
  }
  if (name && (!vid || !pid))
    camera_ = vqcapture::BindDeviceByName(name);
  else
    camera_ = vqcapture::BindDeviceById(vid, pid, name, 0);
  if (!camera_) {
    Close();
    return S_FALSE;
  }
  ChooseFormatIndex();

  hr = graph_.graph->AddFilter(camera_.Get(), L"Capture Filter");
  if (SUCCEEDED(hr)) SetCaptureFormat();
  ComPtr<IBaseFilter> renderer;
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, renderer.PutVoid());
  if (SUCCEEDED(hr)) hr = graph_.graph->AddFilter(renderer.Get(), L"NullRender");
  if (SUCCEEDED(hr)) {
    grab_ = new CGrabDataFilter();
    hr = graph_.graph->AddFilter(grab_, L"GrabDataFilter");
    grab_->SetNotify(frameWindow_, frameMessage_);
  }
  if (SUCCEEDED(hr))
    hr = graph_.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera_.Get(), grab_, renderer.Get());
  if (FAILED(hr)) {
    AfxMessageBox(L"Can't build the graph", MB_OK);
    Close();
    return hr;
  }
  built_ = true;
  state_ = VIDEO_STATE_STOPPED;
  stillPin_ = stillPin;
  if (stillPin) {
    hr = BuildStillBranch();
    if (FAILED(hr)) {
      Close();
      return hr;
    }
  }
  return S_OK;
}

void CUSBCamra::SetNotifyWindow(HWND window, UINT message) {
  frameWindow_ = window;
  frameMessage_ = message;
  if (grab_) grab_->SetNotify(window, message);
}

IGrabData* CUSBCamra::GetGrabData() { return grab_; }

bool CUSBCamra::Run() {
  if (!graph_.control || FAILED(graph_.control->Run())) return false;
  state_ = VIDEO_STATE_RUNNING;
  return true;
}

bool CUSBCamra::Stop() {
  if (!graph_.control || FAILED(graph_.control->Stop())) return false;
  state_ = VIDEO_STATE_STOPPED;
  return true;
}

int CUSBCamra::GetState() { return state_; }

HRESULT CUSBCamra::Reopen() {
  if (!graph_.Exist() || !grab_ || vendorId_.IsEmpty() || productId_.IsEmpty()) return S_OK;
  const CString vid = vendorId_, pid = productId_;
  return Open(vid, pid, nullptr, stillWindow_, stillPin_, deviceIndex_);
}

HRESULT CUSBCamra::SetResolution(int width, int height) {
  if (width == frameWidth_ && height == frameHeight_) return S_OK;
  frameWidth_ = width;
  frameHeight_ = height;
  return Reopen();
}

void CUSBCamra::GetResolution(int* width, int* height) {
  if (width) *width = frameWidth_;
  if (height) *height = frameHeight_;
}

HRESULT CUSBCamra::SetFormatIndex(int i) {
  if (i == formatIndex_) return S_OK;
  formatIndex_ = i;
  frameWidth_ = frameHeight_ = -1;
  return Reopen();
}

void CUSBCamra::SetSubtype(int subtype) { subtype_ = subtype; }

void CUSBCamra::SetDeviceParam(int value) { deviceParam_ = value; }

template <class Control>
HRESULT CUSBCamra::WithControl(REFIID iid, const std::function<HRESULT(Control*)>& use) {
  if (!camera_) return E_POINTER;
  ComPtr<Control> control;
  if (FAILED(camera_->QueryInterface(iid, control.PutVoid()))) return E_FAIL;
  return use(control.Get());
}

HRESULT CUSBCamra::SetCameraControl(long property, long value) {
  return WithControl<IAMCameraControl>(IID_IAMCameraControl, [&](IAMCameraControl* control) {
    long min, max, step, dflt, caps;
    HRESULT hr = control->GetRange(property, &min, &max, &step, &dflt, &caps);
    if (FAILED(hr)) return hr;
    if (value < min || value > max) return control->Set(property, value, CameraControl_Flags_Auto);
    return control->Set(property, SnapToStep(value, min, step), CameraControl_Flags_Manual);
  });
}

HRESULT CUSBCamra::SetVideoProcAmp(long property, long* value) {
  if (!value) return E_POINTER;
  return WithControl<IAMVideoProcAmp>(IID_IAMVideoProcAmp, [&](IAMVideoProcAmp* control) {
    long min, max, step, dflt, caps;
    HRESULT hr = control->GetRange(property, &min, &max, &step, &dflt, &caps);
    if (FAILED(hr)) return hr;
    if (*value < min || *value > max) {
      *value = dflt;
      hr = control->Set(property, dflt, VideoProcAmp_Flags_Manual);
    }
    if (*value >= min && *value <= max) {
      *value = SnapToStep(*value, min, step);
      hr = control->Set(property, *value, VideoProcAmp_Flags_Manual);
    }
    return hr;
  });
}

HRESULT CUSBCamra::GetVideoProcAmp(long property, long* value, long* flags) {
  return WithControl<IAMVideoProcAmp>(IID_IAMVideoProcAmp,
                                      [&](IAMVideoProcAmp* c) { return c->Get(property, value, flags); });
}

HRESULT CUSBCamra::GetVideoProcAmpRange(long property, long* min, long* max, long* step, long* dflt, long* caps) {
  return WithControl<IAMVideoProcAmp>(
      IID_IAMVideoProcAmp, [&](IAMVideoProcAmp* c) { return c->GetRange(property, min, max, step, dflt, caps); });
}

HRESULT CUSBCamra::GetCameraControl(long property, long* value, long* flags) {
  return WithControl<IAMCameraControl>(IID_IAMCameraControl,
                                       [&](IAMCameraControl* c) { return c->Get(property, value, flags); });
}

HRESULT CUSBCamra::GetCameraControlRange(long property, long* min, long* max, long* step, long* dflt, long* caps) {
  return WithControl<IAMCameraControl>(
      IID_IAMCameraControl, [&](IAMCameraControl* c) { return c->GetRange(property, min, max, step, dflt, caps); });
}

void CUSBCamra::RestoreState(int previous) {
  if (previous == VIDEO_STATE_RUNNING) Run();
}

void CUSBCamra::ShowStreamConfigPages(HWND owner) {
  if (!graph_.control) return;
  const int previous = state_;
  Stop();
  ComPtr<IAMStreamConfig> config;
  if (camera_ && SUCCEEDED(graph_.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera_.Get(),
                                                         IID_IAMStreamConfig, config.PutVoid()))) {
    ComPtr<ISpecifyPropertyPages> pages;
    if (SUCCEEDED(config->QueryInterface(IID_ISpecifyPropertyPages, pages.PutVoid()))) {
      CAUUID list{};
      if (SUCCEEDED(pages->GetPages(&list))) {
        IUnknown* object = config.Get();
        OleCreatePropertyFrame(owner, 30, 30, nullptr, 1, &object, list.cElems, list.pElems, 0, 0, nullptr);
        CoTaskMemFree(list.pElems);
      }
    }
  }
  RestoreState(previous);
}

void CUSBCamra::ShowFilterPages(HWND owner) {
  if (!camera_) return;
  ComPtr<ISpecifyPropertyPages> pages;
  if (SUCCEEDED(camera_->QueryInterface(IID_ISpecifyPropertyPages, pages.PutVoid()))) {
    CAUUID list{};
    if (SUCCEEDED(pages->GetPages(&list))) {
      const std::wstring caption = vq::dshow::FilterName(camera_.Get());
      IUnknown* object = Identity(camera_.Get());
      OleCreatePropertyFrame(owner, 0, 0, caption.c_str(), 1, &object, list.cElems, list.pElems, 0, 0, nullptr);
      CoTaskMemFree(list.pElems);
    }
  }
  RestoreState(state_);
}

cv::Mat CUSBCamra::TriggerStill() {
  if (!camera_ || !graph_.builder) return cv::Mat();
  ComPtr<IAMVideoControl> control;
  if (SUCCEEDED(camera_->QueryInterface(IID_IAMVideoControl, control.PutVoid()))) {
    ComPtr<IPin> pin;
    if (SUCCEEDED(graph_.builder->FindPin(camera_.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, nullptr, FALSE, 0,
                                          pin.Put())))
      control->SetMode(pin.Get(), VideoControlFlag_Trigger);
  }
  return cv::Mat();
}

bool CUSBCamra::PollEvent(int* status, long* eventCode) {
  if (!graph_.events || !status || !eventCode) return false;
  long code = 0;
  LONG_PTR param1 = 0, param2 = 0;
  if (FAILED(graph_.events->GetEvent(&code, &param1, &param2, 0))) {
    *status = VIDEO_EVENT_NONE;
    return true;
  }
  *eventCode = code;
  if (code == EC_ERRORABORT) {
    *status = VIDEO_EVENT_ABORTED;
  } else if (code == EC_DEVICE_LOST) {
    if (param2 != 0) {
      *status = VIDEO_EVENT_OTHER_DEVICE;
    } else {
      auto* lost = reinterpret_cast<IUnknown*>(param1);
      ComPtr<IBaseFilter> filter;
      const bool isFilter = lost && SUCCEEDED(lost->QueryInterface(IID_IBaseFilter, filter.PutVoid()));
      *status = isFilter && Identity(filter.Get()) == Identity(camera_.Get()) ? VIDEO_EVENT_DEVICE_LOST
                                                                               : VIDEO_EVENT_OTHER_DEVICE;
    }
  } else {
    *status = VIDEO_EVENT_NONE;
  }
  graph_.events->FreeEventParams(code, param1, param2);
  return true;
}
