#include "platform/dshow/CaptureGraphBuilder.h"

#include <vector>

#include "platform/dshow/AsfWriter.h"
#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/StandardFilters.h"

namespace {

bool IsConnected(IPin* pin) {
  ComPtr<IPin> other;
  return SUCCEEDED(pin->ConnectedTo(other.Put()));
}

// The pins of a filter in a direction that are not connected, in pin order.
std::vector<ComPtr<IPin>> FreePins(IBaseFilter* filter, PIN_DIRECTION wanted) {
  std::vector<ComPtr<IPin>> free;
  ComPtr<IEnumPins> pins;
  if (!filter || FAILED(filter->EnumPins(pins.Put()))) return free;
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    auto held = ComPtr<IPin>::Adopt(pin);
    PIN_DIRECTION dir;
    if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == wanted && !IsConnected(pin)) free.push_back(held);
  }
  return free;
}

ComPtr<IPin> FreePin(IBaseFilter* filter, PIN_DIRECTION wanted) {
  auto free = FreePins(filter, wanted);
  return free.empty() ? ComPtr<IPin>() : free.front();
}

// Connects `out` to the first free input of `filter` that takes it (a
// multiplexer has an input per stream, and only one fits).
HRESULT ConnectToFreeInput(IGraphBuilder* graph, IPin* out, IBaseFilter* filter) {
  auto inputs = FreePins(filter, PINDIR_INPUT);
  if (inputs.empty()) return VFW_E_NOT_FOUND;
  HRESULT hr = VFW_E_CANNOT_CONNECT;
  for (auto& in : inputs) {
    hr = graph->Connect(out, in.Get());
    if (SUCCEEDED(hr)) return hr;
  }
  return hr;
}

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
  PIN_INFO info{};
  if (FAILED(pin->QueryPinInfo(&info))) return {};
  return ComPtr<IBaseFilter>::Adopt(info.pFilter);
}

}  // namespace

CCaptureGraphBuilder2::~CCaptureGraphBuilder2() {
  if (graph_) graph_->Release();
}

HRESULT CCaptureGraphBuilder2::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<ICaptureGraphBuilder2>(iid, IID_IUnknown, this, out) ||
      vq::dshow::OfferInterface<ICaptureGraphBuilder2>(iid, IID_ICaptureGraphBuilder2, this, out))
    return S_OK;
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT CCaptureGraphBuilder2::SetFiltergraph(IGraphBuilder* graph) {
  if (!graph) return E_POINTER;
  if (graph_) return E_UNEXPECTED;
  graph_ = graph;
  graph_->AddRef();
  return S_OK;
}

HRESULT CCaptureGraphBuilder2::GetFiltergraph(IGraphBuilder** graph) {
  if (!graph) return E_POINTER;
  *graph = graph_;
  if (!graph_) return E_UNEXPECTED;
  graph_->AddRef();
  return S_OK;
}

HRESULT CCaptureGraphBuilder2::FindPin(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID*,
                                       BOOL unconnected, int index, IPin** pin) {
  if (!source || !pin) return E_POINTER;
  *pin = nullptr;
  ComPtr<IBaseFilter> filter;
  if (FAILED(source->QueryInterface(IID_IBaseFilter, filter.PutVoid()))) return E_NOINTERFACE;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return E_FAIL;
  IPin* p = nullptr;
  int found = 0;
  while (pins->Next(1, &p, nullptr) == S_OK) {
    auto held = ComPtr<IPin>::Adopt(p);
    PIN_DIRECTION d;
    if (FAILED(p->QueryDirection(&d)) || d != dir) continue;
    if (category && vq::dshow::PinCategory(p) != *category) continue;
    if (unconnected && IsConnected(p)) continue;
    if (found++ == index) {
      *pin = held.Detach();
      return S_OK;
    }
  }
  return E_FAIL;
}

HRESULT CCaptureGraphBuilder2::FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter,
                                             REFIID iid, void** out) {
  if (!filter || !out) return E_POINTER;
  *out = nullptr;
  if (!category && SUCCEEDED(filter->QueryInterface(iid, out))) return S_OK;
  for (int i = 0;; ++i) {
    ComPtr<IPin> pin;
    if (FAILED(FindPin(filter, PINDIR_OUTPUT, category, type, FALSE, i, pin.Put()))) break;
    if (SUCCEEDED(pin->QueryInterface(iid, out))) return S_OK;
  }
  return E_NOINTERFACE;
}

HRESULT CCaptureGraphBuilder2::PreviewThroughTee(IBaseFilter* source, const GUID* type, IPin** pin) {
  ComPtr<IPin> capture;
  HRESULT hr = FindPin(source, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, type, FALSE, 0, capture.Put());
  if (FAILED(hr)) return hr;
  ComPtr<IBaseFilter> tee;
  ComPtr<IPin> downstream;
  if (SUCCEEDED(capture->ConnectedTo(downstream.Put()))) {
    tee = OwnerOf(downstream.Get());
    if (!tee || vq::dshow::FilterName(tee.Get()).rfind(L"Tee", 0) != 0) return VFW_E_NOT_FOUND;
  } else {
    tee = ComPtr<IBaseFilter>::Adopt(new CInfTee());
    hr = graph_->AddFilter(tee.Get(), L"Tee");
    if (FAILED(hr)) return hr;
    ComPtr<IPin> teeIn = FreePin(tee.Get(), PINDIR_INPUT);
    hr = graph_->ConnectDirect(capture.Get(), teeIn.Get(), nullptr);
    if (FAILED(hr)) {
      graph_->RemoveFilter(tee.Get());
      return hr;
    }
  }
  ComPtr<IPin> out = FreePin(tee.Get(), PINDIR_OUTPUT);
  if (!out) return VFW_E_NOT_FOUND;
  *pin = out.Detach();
  return S_OK;
}

HRESULT CCaptureGraphBuilder2::SourcePin(const GUID* category, const GUID* type, IUnknown* source, IPin** pin) {
  ComPtr<IPin> direct;
  if (SUCCEEDED(source->QueryInterface(IID_IPin, direct.PutVoid()))) {
    *pin = direct.Detach();
    return S_OK;
  }
  if (SUCCEEDED(FindPin(source, PINDIR_OUTPUT, category, type, TRUE, 0, pin))) return S_OK;
  if (category && *category == PIN_CATEGORY_PREVIEW) {
    ComPtr<IBaseFilter> filter;
    if (SUCCEEDED(source->QueryInterface(IID_IBaseFilter, filter.PutVoid())))
      return PreviewThroughTee(filter.Get(), type, pin);
  }
  return VFW_E_NOT_FOUND;
}

HRESULT CCaptureGraphBuilder2::RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                                            IBaseFilter* intermediate, IBaseFilter* sink) {
  if (!source) return E_POINTER;
  if (!graph_) return E_UNEXPECTED;
  if (!intermediate && !sink) return E_INVALIDARG;
  ComPtr<IPin> out;
  HRESULT hr = SourcePin(category, type, source, out.Put());
  if (FAILED(hr)) return hr;
  if (intermediate) {
    hr = ConnectToFreeInput(graph_, out.Get(), intermediate);
    if (FAILED(hr)) return hr;
    out = FreePin(intermediate, PINDIR_OUTPUT);
    if (!out) return sink ? VFW_E_NOT_FOUND : S_OK;
  }
  if (sink) {
    hr = ConnectToFreeInput(graph_, out.Get(), sink);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CCaptureGraphBuilder2::SetOutputFileName(const GUID* type, LPCOLESTR fileName, IBaseFilter** multiplexer,
                                                 IFileSinkFilter** sink) {
  if (!type || !fileName || !multiplexer) return E_POINTER;
  *multiplexer = nullptr;
  if (sink) *sink = nullptr;
  if (!graph_) return E_UNEXPECTED;
  if (*type != MEDIASUBTYPE_Asf) return E_INVALIDARG;
  auto writer = ComPtr<IBaseFilter>::Adopt(new CAsfWriter());
  auto fileSink = writer.As<IFileSinkFilter>(IID_IFileSinkFilter);
  HRESULT hr = fileSink->SetFileName(fileName, nullptr);
  if (SUCCEEDED(hr)) hr = graph_->AddFilter(writer.Get(), L"ASF Writer");
  if (FAILED(hr)) return hr;
  *multiplexer = writer.Detach();
  if (sink) *sink = fileSink.Detach();
  return S_OK;
}
