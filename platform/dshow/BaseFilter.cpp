#include "platform/dshow/BaseFilter.h"

#include <cwchar>

namespace {

void CopyName(wchar_t* target, size_t capacity, const std::wstring& name) {
  size_t n = std::min(name.size(), capacity - 1);
  std::wmemcpy(target, name.data(), n);
  target[n] = L'\0';
}

// Snapshot enumerator of a filter's pins.
class PinEnumerator : public IEnumPins {
 public:
  explicit PinEnumerator(std::vector<IPin*> pins) : pins_(std::move(pins)) {
    for (IPin* p : pins_) p->AddRef();
  }
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (vq::dshow::OfferInterface<IEnumPins>(iid, IID_IUnknown, this, out) ||
        vq::dshow::OfferInterface<IEnumPins>(iid, IID_IEnumPins, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  VQ_COM_REFCOUNT
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override {
    if (!pins) return E_POINTER;
    ULONG n = 0;
    while (n < count && pos_ < pins_.size()) {
      pins[n] = pins_[pos_++];
      pins[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    pos_ = std::min(pins_.size(), pos_ + count);
    return pos_ < pins_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }

 private:
  ~PinEnumerator() override {
    for (IPin* p : pins_) p->Release();
  }
  vq::dshow::RefCount refs_;
  std::vector<IPin*> pins_;
  size_t pos_ = 0;
};

// Snapshot enumerator of a pin's preferred media types.
class TypeEnumerator : public IEnumMediaTypes {
 public:
  explicit TypeEnumerator(std::vector<CMediaType> types) : types_(std::move(types)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (vq::dshow::OfferInterface<IEnumMediaTypes>(iid, IID_IUnknown, this, out) ||
        vq::dshow::OfferInterface<IEnumMediaTypes>(iid, IID_IEnumMediaTypes, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  VQ_COM_REFCOUNT
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    if (!types) return E_POINTER;
    ULONG n = 0;
    while (n < count && pos_ < types_.size()) types[n++] = CreateMediaType(&types_[pos_++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    pos_ = std::min(types_.size(), pos_ + count);
    return pos_ < types_.size() ? S_OK : S_FALSE;
  }
  HRESULT Reset() override {
    pos_ = 0;
    return S_OK;
  }

 private:
  vq::dshow::RefCount refs_;
  std::vector<CMediaType> types_;
  size_t pos_ = 0;
};

}  // namespace

// ---- CBaseFilter ----

CBaseFilter::CBaseFilter(const wchar_t* name, CCritSec* lock) : lock_(lock), name_(name ? name : L"") {}

HRESULT CBaseFilter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<IBaseFilter>(iid, IID_IUnknown, this, out) ||
      vq::dshow::OfferInterface<IBaseFilter>(iid, IID_IBaseFilter, this, out) ||
      vq::dshow::OfferInterface<IMediaFilter>(iid, IID_IMediaFilter, this, out))
    return S_OK;
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CBaseFilter::Release() {
  ULONG n = refs_.Drop();
  if (n == 0) delete this;
  return n;
}

HRESULT CBaseFilter::Stop() {
  CAutoLock lock(lock_);
  HRESULT result = S_OK;
  if (state_ != State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        HRESULT hr = pin->Inactive();
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
      }
    }
  }
  state_ = State_Stopped;
  return result;
}

HRESULT CBaseFilter::Pause() {
  CAutoLock lock(lock_);
  if (state_ == State_Stopped) {
    for (int i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        HRESULT hr = pin->Active();
        if (FAILED(hr)) return hr;
      }
    }
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME) {
  CAutoLock lock(lock_);
  if (state_ == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  state_ = State_Running;
  return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  CAutoLock lock(lock_);
  *state = state_;
  return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  std::vector<IPin*> list;
  for (int i = 0; i < GetPinCount(); ++i)
    if (CBasePin* p = GetPin(i)) list.push_back(p);
  *pins = new PinEnumerator(std::move(list));
  return S_OK;
}

HRESULT CBaseFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (int i = 0; i < GetPinCount(); ++i) {
    CBasePin* p = GetPin(i);
    if (p && p->Name() == id) {
      *pin = p;
      p->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  CopyName(info->achName, MAX_FILTER_NAME, name_);
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  CAutoLock lock(lock_);
  graph_ = graph;
  name_ = name ? name : L"";
  eventSink_ = nullptr;
  if (graph && SUCCEEDED(graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&eventSink_))))
    eventSink_->Release();  // the graph owns the filter, not the other way round
  return S_OK;
}

bool CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  // Under the lock, so a graph leaving (JoinFilterGraph with null) waits for
  // an event on its way in.
  CAutoLock lock(lock_);
  return eventSink_ && SUCCEEDED(eventSink_->Notify(code, param1, param2));
}

bool CBaseFilter::IsActive() {
  CAutoLock lock(lock_);
  return state_ != State_Stopped;
}

bool CBaseFilter::IsStopped() { return !IsActive(); }

// ---- CBasePin ----

CBasePin::CBasePin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name, PIN_DIRECTION dir)
    : filter_(filter), lock_(lock), name_(name ? name : L""), dir_(dir) {}

CBasePin::~CBasePin() {
  if (connected_) connected_->Release();
}

HRESULT CBasePin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<IPin>(iid, IID_IUnknown, this, out) ||
      vq::dshow::OfferInterface<IPin>(iid, IID_IPin, this, out) ||
      vq::dshow::OfferInterface<IKsPropertySet>(iid, IID_IKsPropertySet, this, out))
    return S_OK;
  *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) { return VFW_S_NO_MORE_ITEMS; }

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
  mt_ = *type;
  return S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT CBasePin::BreakConnect() { return S_OK; }

static bool MatchesPartial(const AM_MEDIA_TYPE* partial, const CMediaType& mt) {
  if (!partial) return true;
  if (partial->majortype != GUID_NULL && partial->majortype != mt.majortype) return false;
  if (partial->subtype != GUID_NULL && partial->subtype != mt.subtype) return false;
  if (partial->formattype != GUID_NULL && partial->formattype != mt.formattype) return false;
  return true;
}

HRESULT CBasePin::TryConnect(IPin* receiver, const CMediaType& type) {
  if (CheckMediaType(&type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  HRESULT hr = receiver->ReceiveConnection(this, &type);
  if (FAILED(hr)) return hr;
  connected_ = receiver;
  connected_->AddRef();
  SetMediaType(&type);
  hr = CompleteConnect(receiver);
  if (FAILED(hr)) {
    receiver->Disconnect();
    Disconnect();
    return hr;
  }
  return S_OK;
}

HRESULT CBasePin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
  if (!receiver) return E_POINTER;
  CAutoLock lock(lock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION other;
  receiver->QueryDirection(&other);
  if (other == dir_) return VFW_E_CANNOT_CONNECT;
  if (type && type->majortype != GUID_NULL && type->subtype != GUID_NULL && type->formattype != GUID_NULL)
    return TryConnect(receiver, CMediaType(*type));
  CMediaType candidate;
  for (int i = 0; GetMediaType(i, &candidate) == S_OK; ++i)
    if (MatchesPartial(type, candidate) && SUCCEEDED(TryConnect(receiver, candidate))) return S_OK;
  ComPtr<IEnumMediaTypes> theirs;
  if (SUCCEEDED(receiver->EnumMediaTypes(theirs.Put()))) {
    AM_MEDIA_TYPE* mt = nullptr;
    while (theirs->Next(1, &mt, nullptr) == S_OK) {
      CMediaType c(*mt);
      DeleteMediaType(mt);
      if (MatchesPartial(type, c) && SUCCEEDED(TryConnect(receiver, c))) return S_OK;
    }
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
  if (!connector || !type) return E_POINTER;
  CAutoLock lock(lock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  CMediaType mt(*type);
  if (CheckMediaType(&mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  connected_ = connector;
  connected_->AddRef();
  SetMediaType(&mt);
  HRESULT hr = CompleteConnect(connector);
  if (FAILED(hr)) {
    Disconnect();
    return hr;
  }
  return S_OK;
}

HRESULT CBasePin::Disconnect() {
  CAutoLock lock(lock_);
  if (!connected_) return S_FALSE;
  BreakConnect();
  connected_->Release();
  connected_ = nullptr;
  mt_ = CMediaType();
  return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  CAutoLock lock(lock_);
  *pin = connected_;
  if (!connected_) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CAutoLock lock(lock_);
  if (!connected_) {
    std::memset(type, 0, sizeof(*type));
    return VFW_E_NOT_CONNECTED;
  }
  return CopyMediaType(type, &mt_);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = dir_;
  CopyName(info->achName, MAX_PIN_NAME, name_);
  return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* dir) {
  if (!dir) return E_POINTER;
  *dir = dir_;
  return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  CMediaType mt(*type);
  return CheckMediaType(&mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  std::vector<CMediaType> list;
  CMediaType mt;
  for (int i = 0; GetMediaType(i, &mt) == S_OK; ++i) list.push_back(mt);
  *types = new TypeEnumerator(std::move(list));
  return S_OK;
}

HRESULT CBasePin::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength, DWORD* returned) {
  if (set != AMPROPSETID_Pin || id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED_VALUE;
  if (!data) return E_POINTER;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  if (category_ == GUID_NULL) return E_PROP_ID_UNSUPPORTED_VALUE;
  std::memcpy(data, &category_, sizeof(GUID));
  if (returned) *returned = sizeof(GUID);
  return S_OK;
}

// ---- CBaseOutputPin ----

CBaseOutputPin::CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBasePin(filter, lock, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() { CBaseOutputPin::BreakConnect(); }

HRESULT CBaseOutputPin::CompleteConnect(IPin* receiver) {
  ComPtr<IMemInputPin> input;
  if (FAILED(receiver->QueryInterface(IID_IMemInputPin, input.PutVoid()))) return VFW_E_NO_ALLOCATOR;
  ComPtr<IMemAllocator> allocator = ComPtr<IMemAllocator>::Adopt(CMemAllocator::Create());
  ALLOCATOR_PROPERTIES props{};
  HRESULT hr = DecideBufferSize(allocator.Get(), &props);
  if (FAILED(hr)) return hr;
  hr = input->NotifyAllocator(allocator.Get(), FALSE);
  if (FAILED(hr)) return hr;
  input_ = input.Detach();
  allocator_ = allocator.Detach();
  return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (allocator_) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  if (input_) {
    input_->Release();
    input_ = nullptr;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::Active() { return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR; }

HRESULT CBaseOutputPin::Inactive() { return allocator_ ? allocator_->Decommit() : S_OK; }

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                                          DWORD flags) {
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, start, end, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!input_) return VFW_E_NOT_CONNECTED;
  return input_->Receive(sample);
}

// ---- CBaseInputPin ----

CBaseInputPin::CBaseInputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name)
    : CBasePin(filter, lock, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() { CBaseInputPin::BreakConnect(); }

HRESULT CBaseInputPin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<IMemInputPin>(iid, IID_IMemInputPin, this, out)) return S_OK;
  return CBasePin::QueryInterface(iid, out);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(lock_);
  if (!allocator_) allocator_ = CMemAllocator::Create();
  *allocator = allocator_;
  allocator_->AddRef();
  return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL) {
  if (!allocator) return E_POINTER;
  CAutoLock lock(lock_);
  allocator->AddRef();
  if (allocator_) allocator_->Release();
  allocator_ = allocator;
  return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (filter_->IsStopped()) return VFW_E_WRONG_STATE;
  return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
  if (allocator_) {
    allocator_->Release();
    allocator_ = nullptr;
  }
  return S_OK;
}

namespace vq::dshow {

GUID PinCategory(IPin* pin) {
  GUID category = GUID_NULL;
  ComPtr<IKsPropertySet> props;
  if (pin && SUCCEEDED(pin->QueryInterface(IID_IKsPropertySet, props.PutVoid()))) {
    DWORD returned = 0;
    if (FAILED(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, sizeof(GUID), &returned)))
      category = GUID_NULL;
  }
  return category;
}

std::wstring FilterName(IBaseFilter* filter) {
  FILTER_INFO info{};
  if (!filter || FAILED(filter->QueryFilterInfo(&info))) return {};
  if (info.pGraph) info.pGraph->Release();
  return info.achName;
}

}  // namespace vq::dshow
