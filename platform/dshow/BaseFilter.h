#pragma once
// Base classes of filters and pins: CBaseFilter with its state and graph
// membership, CBasePin with media-type negotiation and pin categories,
// CBaseOutputPin with its allocator, CBaseInputPin with sample reception.
// Pins share the reference count of their filter.
#include <string>
#include <vector>

#include "platform/dshow/CritSec.h"
#include "platform/dshow/MediaSample.h"

class CBasePin;

class CBaseFilter : public IBaseFilter {
 public:
  CBaseFilter(const wchar_t* name, CCritSec* lock);

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override;

  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

  virtual int GetPinCount() = 0;
  virtual CBasePin* GetPin(int n) = 0;

  // Sends an event to the graph's event sink; false outside a graph.
  bool NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  bool IsActive();
  bool IsStopped();
  CCritSec* FilterLock() { return lock_; }

 protected:
  ~CBaseFilter() override = default;

  vq::dshow::RefCount refs_;
  CCritSec* lock_;
  FILTER_STATE state_ = State_Stopped;
  IFilterGraph* graph_ = nullptr;          // not referenced: the graph owns the filter
  IMediaEventSink* eventSink_ = nullptr;  // the graph's, likewise
  std::wstring name_;
};

// Forwards IUnknown to a base that implements it, for classes with several interfaces.
#define VQ_FORWARD_IUNKNOWN(Base)                                  \
  ULONG AddRef() override { return Base::AddRef(); }               \
  ULONG Release() override { return Base::Release(); }

class CBasePin : public IPin, public IKsPropertySet {
 public:
  CBasePin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name, PIN_DIRECTION dir);
  virtual ~CBasePin();

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override { return filter_->AddRef(); }
  ULONG Release() override { return filter_->Release(); }

  HRESULT Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* dir) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
  HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data, DWORD dataLength,
              DWORD* returned) override;

  virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
  // The preferred types in order; VFW_S_NO_MORE_ITEMS past the last.
  virtual HRESULT GetMediaType(int position, CMediaType* type);
  virtual HRESULT SetMediaType(const CMediaType* type);
  virtual HRESULT CompleteConnect(IPin* receiver);
  virtual HRESULT BreakConnect();
  // Streaming starts and stops.
  virtual HRESULT Active() { return S_OK; }
  virtual HRESULT Inactive() { return S_OK; }

  bool IsConnected() const { return connected_ != nullptr; }
  IPin* GetConnected() const { return connected_; }
  CMediaType& CurrentMediaType() { return mt_; }
  CBaseFilter* Filter() const { return filter_; }
  const std::wstring& Name() const { return name_; }
  PIN_DIRECTION Direction() const { return dir_; }
  void SetCategory(REFGUID category) { category_ = category; }

 protected:
  HRESULT TryConnect(IPin* receiver, const CMediaType& type);

  CBaseFilter* filter_;
  CCritSec* lock_;
  std::wstring name_;
  PIN_DIRECTION dir_;
  IPin* connected_ = nullptr;  // referenced
  CMediaType mt_;
  GUID category_ = GUID_NULL;
};

class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name);
  ~CBaseOutputPin() override;

  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) = 0;
  HRESULT CompleteConnect(IPin* receiver) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;
  HRESULT Inactive() override;
  HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end, DWORD flags);
  HRESULT Deliver(IMediaSample* sample);

 protected:
  IMemInputPin* input_ = nullptr;      // referenced
  IMemAllocator* allocator_ = nullptr;  // referenced
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(CBaseFilter* filter, CCritSec* lock, const wchar_t* name);
  ~CBaseInputPin() override;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_FORWARD_IUNKNOWN(CBasePin)
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  // Refuses samples while the filter is stopped.
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT BreakConnect() override;

 protected:
  IMemAllocator* allocator_ = nullptr;  // referenced
};

namespace vq::dshow {
// The category of a pin (GUID_NULL when it reports none).
GUID PinCategory(IPin* pin);
// The name of a filter as the graph knows it.
std::wstring FilterName(IBaseFilter* filter);
}  // namespace vq::dshow
