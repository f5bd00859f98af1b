#include "platform/dshow/CaptureFilter.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "platform/dshow/FilterGraph.h"

using vq::dshow::CaptureFormat;
using vq::dshow::ControlKind;
using vq::dshow::ControlState;

namespace {

constexpr DWORD kReadTimeoutMs = 50;
constexpr long kCaptureBuffers = 3;

// A page list for ISpecifyPropertyPages, in task memory the caller frees.
HRESULT ListPages(CAUUID* pages, std::initializer_list<GUID> ids) {
  if (!pages) return E_POINTER;
  pages->cElems = ULONG(ids.size());
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * ids.size()));
  if (!pages->pElems) return E_OUTOFMEMORY;
  std::copy(ids.begin(), ids.end(), pages->pElems);
  return S_OK;
}

CMediaType TypeOf(const CaptureFormat& f) {
  return vq::dshow::MakeVideoType(f.subtype, f.width, f.height, f.frameInterval);
}

bool SameFormat(const CaptureFormat& f, const AM_MEDIA_TYPE& mt) {
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(mt);
  return vih && mt.majortype == MEDIATYPE_Video && mt.subtype == f.subtype && vih->bmiHeader.biWidth == f.width &&
         vih->bmiHeader.biHeight == f.height;
}

// The largest sample of a format: its bitmap's image size (YUY2 exactly, MJPG at most).
long LargestFrame(const CaptureFormat& f) {
  const CMediaType type = TypeOf(f);
  return long(vq::dshow::VideoInfo(type)->bmiHeader.biSizeImage);
}

}  // namespace

// ---- CCapturePin ----

CCapturePin::CCapturePin(CCaptureFilter* filter, CCritSec* lock)
    : CBaseOutputPin(filter, lock, L"Capture"), owner_(filter) {
  SetCategory(PIN_CATEGORY_CAPTURE);
}

HRESULT CCapturePin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<IAMStreamConfig>(iid, IID_IAMStreamConfig, this, out) ||
      vq::dshow::OfferInterface<ISpecifyPropertyPages>(iid, IID_ISpecifyPropertyPages, this, out))
    return S_OK;
  return CBaseOutputPin::QueryInterface(iid, out);
}

HRESULT CCapturePin::CheckMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  if (owner_->FormatWasSet()) return SameFormat(owner_->CurrentFormat(), *type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  for (const auto& f : owner_->Device().Formats())
    if (f.readable && SameFormat(f, *type)) return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CCapturePin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (!type) return E_POINTER;
  if (owner_->FormatWasSet()) {
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    *type = TypeOf(owner_->CurrentFormat());
    return S_OK;
  }
  int n = 0;
  for (const auto& f : owner_->Device().Formats()) {
    if (!f.readable) continue;
    if (n++ == position) {
      *type = TypeOf(f);
      return S_OK;
    }
  }
  return VFW_S_NO_MORE_ITEMS;
}

HRESULT CCapturePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  props->cBuffers = kCaptureBuffers;
  props->cbBuffer = LargestFrame(owner_->CurrentFormat());
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(props, &actual);
}

HRESULT CCapturePin::SetFormat(AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (!owner_->IsStopped()) return VFW_E_NOT_STOPPED;
  return IsConnected() ? owner_->ChangeConnectedFormat(*type) : owner_->SelectFormat(*type);
}

HRESULT CCapturePin::GetPages(CAUUID* pages) { return ListPages(pages, {CLSID_VideoStreamConfigPropertyPage}); }

HRESULT CCapturePin::GetFormat(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  CMediaType mt = TypeOf(owner_->CurrentFormat());
  *type = CreateMediaType(&mt);
  return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CCapturePin::GetNumberOfCapabilities(int* count, int* size) {
  if (!count || !size) return E_POINTER;
  *count = int(owner_->Device().Formats().size());
  *size = int(sizeof(VIDEO_STREAM_CONFIG_CAPS));
  return S_OK;
}

HRESULT CCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
  if (!type || !caps) return E_POINTER;
  *type = nullptr;
  auto formats = owner_->Device().Formats();
  if (index < 0 || index >= int(formats.size())) return S_FALSE;
  const CaptureFormat& f = formats[size_t(index)];
  if (!f.readable) return E_FAIL;
  CMediaType mt = TypeOf(f);
  VIDEO_STREAM_CONFIG_CAPS c{};
  c.guid = FORMAT_VideoInfo;
  c.InputSize = c.MinCroppingSize = c.MaxCroppingSize = c.MinOutputSize = c.MaxOutputSize = SIZE{f.width, f.height};
  c.CropGranularityX = c.CropGranularityY = c.CropAlignX = c.CropAlignY = 1;
  c.OutputGranularityX = c.OutputGranularityY = 1;
  c.MinFrameInterval = c.MaxFrameInterval = f.frameInterval;
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(mt);
  c.MinBitsPerSecond = c.MaxBitsPerSecond = LONG(vih->dwBitRate & 0x7FFFFFFF);
  std::memcpy(caps, &c, sizeof(c));
  *type = CreateMediaType(&mt);
  return *type ? S_OK : E_OUTOFMEMORY;
}

// ---- CStillPin ----

CStillPin::CStillPin(CCaptureFilter* filter, CCritSec* lock) : CBaseOutputPin(filter, lock, L"Still"), owner_(filter) {
  SetCategory(PIN_CATEGORY_STILL);
}

HRESULT CStillPin::CheckMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  return SameFormat(owner_->CurrentFormat(), *type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CStillPin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = TypeOf(owner_->CurrentFormat());
  return S_OK;
}

HRESULT CStillPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  props->cBuffers = 1;
  props->cbBuffer = LargestFrame(owner_->CurrentFormat());
  ALLOCATOR_PROPERTIES actual{};
  return allocator->SetProperties(props, &actual);
}

// ---- control facets ----

template <class Itf, ControlKind Kind>
HRESULT CControlFacet<Itf, Kind>::QueryInterface(REFIID iid, void** out) {
  return owner_->QueryInterface(iid, out);
}
template <class Itf, ControlKind Kind>
ULONG CControlFacet<Itf, Kind>::AddRef() {
  return owner_->AddRef();
}
template <class Itf, ControlKind Kind>
ULONG CControlFacet<Itf, Kind>::Release() {
  return owner_->Release();
}

template <class Itf, ControlKind Kind>
HRESULT CControlFacet<Itf, Kind>::GetRange(long property, long* min, long* max, long* step, long* dflt, long* caps) {
  if (!min || !max || !step || !dflt || !caps) return E_POINTER;
  ControlState s{};
  HRESULT hr = owner_->Device().GetControl(Kind, property, &s);
  if (FAILED(hr)) return hr;
  *min = s.min;
  *max = s.max;
  *step = s.step;
  *dflt = s.dflt;
  *caps = s.caps;
  return S_OK;
}

template <class Itf, ControlKind Kind>
HRESULT CControlFacet<Itf, Kind>::Set(long property, long value, long flags) {
  return owner_->Device().SetControl(Kind, property, value, flags);
}

template <class Itf, ControlKind Kind>
HRESULT CControlFacet<Itf, Kind>::Get(long property, long* value, long* flags) {
  if (!value || !flags) return E_POINTER;
  ControlState s{};
  HRESULT hr = owner_->Device().GetControl(Kind, property, &s);
  if (FAILED(hr)) return hr;
  *value = s.value;
  *flags = s.flags;
  return S_OK;
}

template class CControlFacet<IAMVideoProcAmp, ControlKind::VideoProcAmp>;
template class CControlFacet<IAMCameraControl, ControlKind::CameraControl>;

// ---- CCaptureFilter ----

CCaptureFilter::CCaptureFilter(std::shared_ptr<vq::dshow::CaptureDevice> device)
    : CBaseFilter(L"Video Capture", &lock_),
      device_(std::move(device)),
      capture_(this, &lock_),
      procAmp_(this),
      cameraControl_(this) {
  if (device_->HasStillPin()) still_ = std::make_unique<CStillPin>(this, &lock_);
}

CCaptureFilter::~CCaptureFilter() {
  device_->RemoveListener(this);
  StopStreaming();
}

HRESULT CCaptureFilter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IAMVideoProcAmp) {
    *out = static_cast<IAMVideoProcAmp*>(&procAmp_);
    AddRef();
    return S_OK;
  }
  if (iid == IID_IAMCameraControl) {
    *out = static_cast<IAMCameraControl*>(&cameraControl_);
    AddRef();
    return S_OK;
  }
  if (vq::dshow::OfferInterface<IAMVideoControl>(iid, IID_IAMVideoControl, this, out) ||
      vq::dshow::OfferInterface<ISpecifyPropertyPages>(iid, IID_ISpecifyPropertyPages, this, out))
    return S_OK;
  return CBaseFilter::QueryInterface(iid, out);
}

int CCaptureFilter::GetPinCount() { return still_ ? 2 : 1; }

CBasePin* CCaptureFilter::GetPin(int n) {
  if (n == 0) return &capture_;
  if (n == 1) return still_.get();
  return nullptr;
}

CaptureFormat CCaptureFilter::CurrentFormat() {
  CAutoLock lock(&lock_);
  auto formats = device_->Formats();
  if (formats.empty()) return CaptureFormat{MEDIASUBTYPE_YUY2, 0, 0, 0};
  if (formatIndex_ < 0 || formatIndex_ >= int(formats.size())) return formats.front();
  return formats[size_t(formatIndex_)];
}

bool CCaptureFilter::FormatWasSet() {
  CAutoLock lock(&lock_);
  return formatSet_;
}

HRESULT CCaptureFilter::SelectFormat(const AM_MEDIA_TYPE& type) {
  CAutoLock lock(&lock_);
  auto formats = device_->Formats();
  for (size_t i = 0; i < formats.size(); ++i) {
    if (formats[i].readable && SameFormat(formats[i], type)) {
      formatIndex_ = int(i);
      formatSet_ = true;
      return S_OK;
    }
  }
  return VFW_E_INVALIDMEDIATYPE;
}

HRESULT CCaptureFilter::ChangeConnectedFormat(const AM_MEDIA_TYPE& type) {
  int previousIndex;
  bool previousSet;
  {
    CAutoLock lock(&lock_);
    previousIndex = formatIndex_;
    previousSet = formatSet_;
  }
  std::vector<IPin*> outputs{&capture_};
  if (still_) outputs.push_back(still_.get());
  return vq::dshow::RenegotiateDownstream(
      graph_, outputs, [&] { return SelectFormat(type); },
      [&] {
        CAutoLock lock(&lock_);
        formatIndex_ = previousIndex;
        formatSet_ = previousSet;
      });
}

HRESULT CCaptureFilter::GetPages(CAUUID* pages) {
  return ListPages(pages, {CLSID_VideoProcAmpPropertyPage, CLSID_CameraControlPropertyPage});
}

HRESULT CCaptureFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  HRESULT hr = CBaseFilter::JoinFilterGraph(graph, name);
  device_->RemoveListener(this);
  if (graph) device_->AddListener(this);
  return hr;
}

HRESULT CCaptureFilter::Stop() {
  StopStreaming();
  return CBaseFilter::Stop();
}

HRESULT CCaptureFilter::Pause() {
  StopStreaming();
  return CBaseFilter::Pause();
}

HRESULT CCaptureFilter::Run(REFERENCE_TIME start) {
  if (!device_->IsPresent()) return HRESULT_DEVICE_NOT_CONNECTED;
  HRESULT hr = CBaseFilter::Run(start);
  if (FAILED(hr)) return hr;
  // A camera that another program holds cannot run; the graph stops again.
  return StartStreaming();
}

HRESULT CCaptureFilter::StartStreaming() {
  if (thread_.joinable()) return S_OK;
  HRESULT hr = S_OK;
  CaptureFormat format = CurrentFormat();
  auto stream = device_->OpenStream(format, &hr);
  if (!stream) return FAILED(hr) ? hr : E_FAIL;
  {
    std::lock_guard lock(streamLock_);
    stream_ = stream.get();
  }
  stopRequested_ = false;
  thread_ = std::thread(&CCaptureFilter::Stream, this, std::move(stream), format);
  return S_OK;
}

void CCaptureFilter::StopStreaming() {
  if (!thread_.joinable()) return;
  stopRequested_ = true;
  {
    std::lock_guard lock(streamLock_);
    if (stream_) stream_->Interrupt();
  }
  thread_.join();
}

HRESULT CCaptureFilter::DeliverCopy(CBaseOutputPin* pin, const BYTE* data, long length, REFERENCE_TIME start,
                                    REFERENCE_TIME end) {
  IMediaSample* sample = nullptr;
  HRESULT hr = pin->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  BYTE* target = nullptr;
  sample->GetPointer(&target);
  if (sample->GetSize() < length) {
    sample->Release();
    return VFW_E_BUFFER_OVERFLOW;
  }
  std::memcpy(target, data, size_t(length));
  sample->SetActualDataLength(length);
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(TRUE);
  hr = pin->Deliver(sample);
  sample->Release();
  return hr;
}

void CCaptureFilter::Stream(std::unique_ptr<vq::dshow::CaptureStream> stream, CaptureFormat format) {
  std::vector<BYTE> frame(size_t(LargestFrame(format)));
  REFERENCE_TIME next = 0;
  HRESULT failure = S_OK;
  while (!stopRequested_) {
    long length = 0;
    HRESULT hr = stream->ReadFrame(frame.data(), long(frame.size()), &length, kReadTimeoutMs);
    if (hr == S_FALSE) continue;
    if (FAILED(hr)) {
      failure = hr;
      break;
    }
    const REFERENCE_TIME start = next;
    next += format.frameInterval > 0 ? format.frameInterval : 1;
    if (still_ && still_->IsConnected() && stillRequested_.exchange(false))
      DeliverCopy(still_.get(), frame.data(), length, start, next);
    if (capture_.IsConnected()) {
      hr = DeliverCopy(&capture_, frame.data(), length, start, next);
      if (FAILED(hr) && hr != VFW_E_WRONG_STATE && hr != VFW_E_NOT_COMMITTED) {
        failure = hr;
        break;
      }
    }
  }
  {
    std::lock_guard lock(streamLock_);
    stream_ = nullptr;
  }
  stream.reset();
  // A lost camera has already been reported by DeviceLost.
  if (FAILED(failure) && device_->IsPresent()) NotifyEvent(EC_ERRORABORT, failure, 0);
}

void CCaptureFilter::RaiseDeviceEvent(LONG_PTR back) {
  IUnknown* self = static_cast<IBaseFilter*>(this);
  self->AddRef();
  if (!NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(self), back)) self->Release();
}

void CCaptureFilter::DeviceLost() { RaiseDeviceEvent(0); }
void CCaptureFilter::DeviceBack() { RaiseDeviceEvent(1); }
void CCaptureFilter::StillButtonPressed() { stillRequested_ = true; }

HRESULT CCaptureFilter::GetCaps(IPin* pin, long* caps) {
  if (!pin || !caps) return E_POINTER;
  *caps = (still_ && pin == static_cast<IPin*>(still_.get()))
              ? long(VideoControlFlag_Trigger | VideoControlFlag_ExternalTriggerEnable)
              : 0;
  return S_OK;
}

HRESULT CCaptureFilter::SetMode(IPin* pin, long mode) {
  if (!pin) return E_POINTER;
  if (!still_ || pin != static_cast<IPin*>(still_.get())) return E_INVALIDARG;
  if (mode & VideoControlFlag_Trigger) stillRequested_ = true;
  return S_OK;
}

HRESULT CCaptureFilter::GetMode(IPin* pin, long* mode) {
  if (!pin || !mode) return E_POINTER;
  *mode = 0;
  return S_OK;
}
