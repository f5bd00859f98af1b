#include "platform/dshow/FilterGraph.h"

#include <chrono>
#include <cstdio>

#include "platform/dshow/WindowBridge.h"

HRESULT CFilterGraph::QueryInterface(REFIID iid, void** out) {
  using vq::dshow::OfferInterface;
  if (!out) return E_POINTER;
  if (OfferInterface<IGraphBuilder>(iid, IID_IUnknown, this, out) ||
      OfferInterface<IGraphBuilder>(iid, IID_IGraphBuilder, this, out) ||
      OfferInterface<IFilterGraph>(iid, IID_IFilterGraph, this, out) ||
      OfferInterface<IMediaControl>(iid, IID_IMediaControl, this, out) ||
      OfferInterface<IMediaEvent>(iid, IID_IMediaEvent, this, out) ||
      OfferInterface<IMediaEventEx>(iid, IID_IMediaEventEx, this, out) ||
      OfferInterface<IMediaEventSink>(iid, IID_IMediaEventSink, this, out) ||
      OfferInterface<IVideoWindow>(iid, IID_IVideoWindow, this, out))
    return S_OK;
  *out = nullptr;
  return E_NOINTERFACE;
}

CFilterGraph::~CFilterGraph() {
  StopFilters();
  for (auto& e : filters_) {
    ComPtr<IEnumPins> pins;
    if (SUCCEEDED(e.filter->EnumPins(pins.Put()))) {
      IPin* pin = nullptr;
      while (pins->Next(1, &pin, nullptr) == S_OK) {
        pin->Disconnect();
        pin->Release();
      }
    }
    e.filter->JoinFilterGraph(nullptr, nullptr);
  }
  for (auto& ev : events_) FreeEventParams(ev.code, ev.param1, ev.param2);
}

std::wstring CFilterGraph::UniqueName(const std::wstring& wanted) {
  auto taken = [&](const std::wstring& n) {
    for (auto& e : filters_)
      if (e.name == n) return true;
    return false;
  };
  if (!taken(wanted)) return wanted;
  for (int i = 1;; ++i) {
    wchar_t suffix[16];
    std::swprintf(suffix, 16, L" %04d", i);
    if (!taken(wanted + suffix)) return wanted + suffix;
  }
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  if (!filter) return E_POINTER;
  std::lock_guard lock(lock_);
  for (auto& e : filters_)
    if (e.filter.Get() == filter) return VFW_E_DUPLICATE_NAME;
  std::wstring wanted = name ? name : L"";
  std::wstring unique = UniqueName(wanted);
  HRESULT hr = filter->JoinFilterGraph(static_cast<IGraphBuilder*>(this), unique.c_str());
  if (FAILED(hr)) return hr;
  filters_.push_back({ComPtr<IBaseFilter>::Share(filter), unique});
  return unique == wanted ? S_OK : VFW_S_DUPLICATE_NAME;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* filter) {
  std::lock_guard lock(lock_);
  for (auto it = filters_.begin(); it != filters_.end(); ++it) {
    if (it->filter.Get() != filter) continue;
    ComPtr<IEnumPins> pins;
    if (SUCCEEDED(filter->EnumPins(pins.Put()))) {
      IPin* pin = nullptr;
      while (pins->Next(1, &pin, nullptr) == S_OK) {
        Disconnect(pin);
        pin->Release();
      }
    }
    filter->JoinFilterGraph(nullptr, nullptr);
    filters_.erase(it);
    return S_OK;
  }
  return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
  if (!name || !filter) return E_POINTER;
  std::lock_guard lock(lock_);
  for (auto& e : filters_) {
    if (e.name == name) {
      *filter = ComPtr<IBaseFilter>(e.filter).Detach();
      return S_OK;
    }
  }
  *filter = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) {
  if (!out || !in) return E_POINTER;
  std::lock_guard lock(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  return out->Connect(in, type);
}

HRESULT CFilterGraph::Disconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  ComPtr<IPin> other;
  if (SUCCEEDED(pin->ConnectedTo(other.Put()))) other->Disconnect();
  return pin->Disconnect();
}

HRESULT CFilterGraph::Connect(IPin* out, IPin* in) {
  if (!out || !in) return E_POINTER;
  std::lock_guard lock(lock_);
  HRESULT direct = ConnectDirect(out, in, nullptr);
  if (SUCCEEDED(direct)) return direct;
  ComPtr<IBaseFilter> decoder = ComPtr<IBaseFilter>::Adopt(vq::dshow::CreateVideoDecoder());
  if (!decoder || FAILED(AddFilter(decoder.Get(), L"Video Decoder"))) return direct;
  ComPtr<IPin> decoderIn, decoderOut;
  decoder->FindPin(L"XForm In", decoderIn.Put());
  decoder->FindPin(L"XForm Out", decoderOut.Put());
  if (decoderIn && decoderOut && SUCCEEDED(ConnectDirect(out, decoderIn.Get(), nullptr)) &&
      SUCCEEDED(ConnectDirect(decoderOut.Get(), in, nullptr)))
    return S_OK;
  RemoveFilter(decoder.Get());
  return VFW_E_CANNOT_CONNECT;
}

std::vector<ComPtr<IBaseFilter>> CFilterGraph::Filters() {
  std::lock_guard lock(lock_);
  std::vector<ComPtr<IBaseFilter>> list;
  for (auto& e : filters_) list.push_back(e.filter);
  return list;
}

std::vector<ComPtr<IBaseFilter>> CFilterGraph::InStartOrder() {
  std::vector<ComPtr<IBaseFilter>> others, sources;
  for (auto& f : Filters()) {
    bool hasInput = false;
    ComPtr<IEnumPins> pins;
    if (SUCCEEDED(f->EnumPins(pins.Put()))) {
      IPin* pin = nullptr;
      while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION dir;
        if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_INPUT) hasInput = true;
        pin->Release();
      }
    }
    (hasInput ? others : sources).push_back(f);
  }
  for (auto& s : sources) others.push_back(s);
  return others;
}

HRESULT CFilterGraph::Run() {
  std::lock_guard lock(lock_);
  if (state_ == State_Running) return S_OK;
  auto order = InStartOrder();
  for (auto& f : order) {
    HRESULT hr = f->Pause();
    if (FAILED(hr)) {
      StopFilters();
      return hr;
    }
  }
  for (auto& f : order) {
    HRESULT hr = f->Run(0);
    if (FAILED(hr)) {
      StopFilters();
      return hr;
    }
  }
  state_ = State_Running;
  return S_OK;
}

HRESULT CFilterGraph::Pause() {
  std::lock_guard lock(lock_);
  for (auto& f : InStartOrder()) {
    HRESULT hr = f->Pause();
    if (FAILED(hr)) return hr;
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT CFilterGraph::StopFilters() {
  // Downstream first, as when starting: a sink stops taking samples (and
  // lets go of one it holds back for its time) before its sources' threads
  // are joined.
  HRESULT result = S_OK;
  for (auto& f : InStartOrder()) {
    HRESULT hr = f->Stop();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  state_ = State_Stopped;
  return result;
}

HRESULT CFilterGraph::Stop() {
  std::lock_guard lock(lock_);
  // A filter that fails to stop (a file that cannot be completed) is reported.
  return StopFilters();
}

HRESULT CFilterGraph::GetState(LONG, OAFilterState* state) {
  if (!state) return E_POINTER;
  std::lock_guard lock(lock_);
  *state = state_;
  return S_OK;
}

HRESULT CFilterGraph::GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock lock(eventLock_);
  auto ready = [&] { return !events_.empty(); };
  if (timeoutMs < 0)
    eventReady_.wait(lock, ready);
  else if (!eventReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready))
    return E_ABORT;
  Event ev = events_.front();
  events_.pop_front();
  *code = ev.code;
  *param1 = ev.param1;
  *param2 = ev.param2;
  return S_OK;
}

HRESULT CFilterGraph::FreeEventParams(long code, LONG_PTR param1, LONG_PTR) {
  if (code == EC_DEVICE_LOST && param1) reinterpret_cast<IUnknown*>(param1)->Release();
  return S_OK;
}

HRESULT CFilterGraph::SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) {
  std::lock_guard lock(eventLock_);
  notifyWindow_ = window;
  notifyMessage_ = message;
  notifyInstance_ = instance;
  return S_OK;
}

HRESULT CFilterGraph::Notify(long code, LONG_PTR param1, LONG_PTR param2) {
  OAHWND window;
  long message;
  LONG_PTR instance;
  {
    std::lock_guard lock(eventLock_);
    events_.push_back({code, param1, param2});
    window = notifyWindow_;
    message = notifyMessage_;
    instance = notifyInstance_;
  }
  eventReady_.notify_all();
  if (window) vq::dshow::PostWindowMessage(reinterpret_cast<HWND>(window), UINT(message), 0, instance);
  return S_OK;
}

HRESULT CFilterGraph::put_Visible(long) { return S_OK; }
HRESULT CFilterGraph::put_Owner(OAHWND) { return S_OK; }

namespace vq::dshow {
namespace {

struct Link {
  ComPtr<IPin> out;
  ComPtr<IPin> in;
};

// The connections from `outputs` down to the renderers, nearest first.
std::vector<Link> LinksBelow(const std::vector<IPin*>& outputs) {
  std::vector<Link> links;
  std::deque<ComPtr<IPin>> pending;
  for (IPin* pin : outputs) pending.push_back(ComPtr<IPin>::Share(pin));
  while (!pending.empty()) {
    ComPtr<IPin> out = pending.front();
    pending.pop_front();
    ComPtr<IPin> in;
    if (FAILED(out->ConnectedTo(in.Put()))) continue;
    links.push_back({out, in});
    PIN_INFO info{};
    if (FAILED(in->QueryPinInfo(&info)) || !info.pFilter) continue;
    auto filter = ComPtr<IBaseFilter>::Adopt(info.pFilter);
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) continue;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
      auto held = ComPtr<IPin>::Adopt(pin);
      PIN_DIRECTION dir;
      if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT) pending.push_back(held);
    }
  }
  return links;
}

// Connects the links in order; on a failure the ones made are taken down.
HRESULT ConnectAll(IFilterGraph* graph, const std::vector<Link>& links) {
  for (size_t i = 0; i < links.size(); ++i) {
    HRESULT hr = graph->ConnectDirect(links[i].out.Get(), links[i].in.Get(), nullptr);
    if (FAILED(hr)) {
      for (size_t j = 0; j < i; ++j) graph->Disconnect(links[j].out.Get());
      return hr;
    }
  }
  return S_OK;
}

}  // namespace

HRESULT RenegotiateDownstream(IFilterGraph* graph, const std::vector<IPin*>& outputs,
                              const std::function<HRESULT()>& change, const std::function<void()>& undo) {
  if (!graph) return VFW_E_NOT_IN_GRAPH;
  std::vector<Link> links = LinksBelow(outputs);
  for (const Link& link : links) graph->Disconnect(link.out.Get());
  HRESULT hr = change();
  if (SUCCEEDED(hr)) hr = ConnectAll(graph, links);
  if (SUCCEEDED(hr)) return hr;
  undo();
  ConnectAll(graph, links);
  return hr;
}

}  // namespace vq::dshow
