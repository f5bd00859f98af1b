#include "capture/CameraDevices.h"

#include <cctype>
#include <cstring>

#include "platform/mfc/CString.h"

namespace vqcapture {
namespace {

constexpr size_t kNarrowLimit = 255;
constexpr size_t kExtraIdStart = 34;

ComPtr<IAMStreamConfig> StreamConfig(ICaptureGraphBuilder2* builder, IBaseFilter* camera) {
  ComPtr<IAMStreamConfig> config;
  if (builder && camera)
    builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera, IID_IAMStreamConfig, config.PutVoid());
  return config;
}

// One capability: its subtype and largest size; false when it cannot be read.
bool ReadCapability(IAMStreamConfig* config, int i, GUID* subtype, SIZE* size) {
  AM_MEDIA_TYPE* mt = nullptr;
  VIDEO_STREAM_CONFIG_CAPS caps{};
  HRESULT hr = config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps));
  if (hr != S_OK || !mt) {
    DeleteMediaType(mt);
    return false;
  }
  *subtype = mt->subtype;
  *size = caps.MaxOutputSize;
  DeleteMediaType(mt);
  return true;
}

int CapabilityCount(IAMStreamConfig* config) {
  int count = 0, size = 0;
  if (!config || FAILED(config->GetNumberOfCapabilities(&count, &size))) return 0;
  return count;
}

}  // namespace

bool NarrowLower(const wchar_t* text, std::string* out) {
  if (!text) return false;
  std::string narrow = CString(text).ToUtf8();
  if (narrow.size() > kNarrowLimit) return false;
  for (auto& c : narrow) c = char(std::tolower(static_cast<unsigned char>(c)));
  *out = std::move(narrow);
  return true;
}

bool PathMatches(const wchar_t* path, const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId) {
  std::string p, v, d, extra;
  if (!NarrowLower(path, &p) || !NarrowLower(vid, &v) || !NarrowLower(pid, &d)) return false;
  if (v.size() != 4 || d.size() != 4) return false;
  const size_t vidAt = p.find("vid"), pidAt = p.find("pid");
  if (vidAt == std::string::npos || pidAt == std::string::npos) return false;
  if (p.compare(vidAt + 4 <= p.size() ? vidAt + 4 : p.size(), 4, v) != 0) return false;
  if (p.compare(pidAt + 4 <= p.size() ? pidAt + 4 : p.size(), 4, d) != 0) return false;
  if (extraId) {
    if (!NarrowLower(extraId, &extra)) return false;
    if (p.size() < kExtraIdStart + extra.size()) return false;
    if (p.compare(kExtraIdStart, extra.size(), extra) != 0) return false;
  }
  return true;
}

bool ForEachVideoDevice(const std::function<bool(IMoniker*, IPropertyBag*)>& visit) {
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devices.PutVoid())))
    return false;
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, monikers.Put(), 0) != S_OK || !monikers)
    return false;
  monikers->Reset();
  IMoniker* m = nullptr;
  while (monikers->Next(1, &m, nullptr) == S_OK) {
    auto moniker = ComPtr<IMoniker>::Adopt(m);
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
    if (!visit(moniker.Get(), bag.Get())) break;
  }
  return true;
}

bool ReadBagString(IPropertyBag* bag, const wchar_t* name, std::wstring* out) {
  VARIANT value;
  VariantInit(&value);
  bool ok = SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal;
  if (ok) *out = value.bstrVal;
  VariantClear(&value);
  return ok;
}

int CreateQueryGraph(GraphInterfaces& graph, ComPtr<IBaseFilter>& camera, const wchar_t* vid, const wchar_t* pid,
                     int index) {
  if (FAILED(graph.Create())) return -2;
  camera = BindDeviceById(vid, pid, nullptr, index);
  return camera ? 0 : -3;
}

ComPtr<IBaseFilter> BindDeviceById(const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId, int index) {
  ComPtr<IBaseFilter> camera;
  int seen = 0;
  ForEachVideoDevice([&](IMoniker* moniker, IPropertyBag* bag) {
    std::wstring path;
    if (!ReadBagString(bag, L"DevicePath", &path) || !PathMatches(path.c_str(), vid, pid, extraId)) return true;
    if (seen++ < index) return true;
    moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.PutVoid());
    return false;
  });
  return camera;
}

ComPtr<IBaseFilter> BindDeviceByName(const wchar_t* name) {
  ComPtr<IBaseFilter> camera;
  if (!name) return camera;
  ForEachVideoDevice([&](IMoniker* moniker, IPropertyBag* bag) {
    std::wstring friendly;
    if (!ReadBagString(bag, L"FriendlyName", &friendly) || friendly != name) return true;
    moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, camera.PutVoid());
    return false;
  });
  return camera;
}

HRESULT GraphInterfaces::Create() {
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                          builder.PutVoid());
  if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.Get());
  if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaControl, control.PutVoid());
  if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IVideoWindow, window.PutVoid());
  if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaEventEx, events.PutVoid());
  return hr;
}

void GraphInterfaces::Release() {
  if (control) control->Stop();
  if (window) {
    window->put_Visible(0);
    window->put_Owner(0);
  }
  window.Reset();
  builder.Reset();
  control.Reset();
  graph.Reset();
  events.Reset();
}

int CountYuy2Formats(ICaptureGraphBuilder2* builder, IBaseFilter* camera) {
  auto config = StreamConfig(builder, camera);
  const int count = CapabilityCount(config.Get());
  int yuy2 = 0;
  for (int i = 0; i < count; ++i) {
    GUID subtype;
    SIZE size;
    if (!ReadCapability(config.Get(), i, &subtype, &size)) return -6;
    if (subtype == MEDIASUBTYPE_YUY2) ++yuy2;
  }
  return yuy2;
}

int Yuy2FormatSize(ICaptureGraphBuilder2* builder, IBaseFilter* camera, int i, int* width, int* height) {
  auto config = StreamConfig(builder, camera);
  const int count = CapabilityCount(config.Get());
  if (count <= 0) return -4;
  if (i >= count) return -5;
  int yuy2 = 0;
  for (int k = 0; k < count; ++k) {
    GUID subtype;
    SIZE size;
    if (!ReadCapability(config.Get(), k, &subtype, &size)) return -6;
    if (subtype != MEDIASUBTYPE_YUY2) continue;
    if (yuy2++ == i) {
      if (width) *width = size.cx;
      if (height) *height = size.cy;
      return 0;
    }
  }
  return -6;
}

bool FormatSubtypes(ICaptureGraphBuilder2* builder, IBaseFilter* camera, std::vector<int>& out) {
  out.clear();
  auto config = StreamConfig(builder, camera);
  const int count = CapabilityCount(config.Get());
  bool yuy2 = false, mjpg = false;
  for (int i = 0; i < count; ++i) {
    GUID subtype;
    SIZE size;
    if (!ReadCapability(config.Get(), i, &subtype, &size)) return false;
    yuy2 = yuy2 || subtype == MEDIASUBTYPE_YUY2;
    mjpg = mjpg || subtype == MEDIASUBTYPE_MJPG;
  }
  if (yuy2) out.push_back(0);
  if (mjpg) out.push_back(1);
  return true;
}

}  // namespace vqcapture
