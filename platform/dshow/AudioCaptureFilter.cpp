#include "platform/dshow/AudioCaptureFilter.h"

#include <cstring>
#include <vector>

#include "platform/dshow/CaptureDevice.h"

namespace {

CMediaType CaptureType() {
  return vq::dshow::MakePcmType(CAudioCaptureFilter::kRate, CAudioCaptureFilter::kChannels);
}

constexpr long kBufferBytes = CAudioCaptureFilter::kBufferFrames * CAudioCaptureFilter::kChannels * 2;

}  // namespace

// ---- CAudioCapturePin ----

CAudioCapturePin::CAudioCapturePin(CAudioCaptureFilter* filter, CCritSec* lock)
    : CBaseOutputPin(filter, lock, L"Capture") {
  SetCategory(PIN_CATEGORY_CAPTURE);
}

HRESULT CAudioCapturePin::CheckMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  return *type == CaptureType() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CAudioCapturePin::GetMediaType(int position, CMediaType* type) {
  if (position < 0) return E_INVALIDARG;
  if (!type) return E_POINTER;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = CaptureType();
  return S_OK;
}

HRESULT CAudioCapturePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) {
  props->cBuffers = 4;
  props->cbBuffer = kBufferBytes;
  ALLOCATOR_PROPERTIES actual{};
  HRESULT hr = allocator->SetProperties(props, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < kBufferBytes ? E_FAIL : S_OK;
}

// ---- CAudioCaptureFilter ----

CAudioCaptureFilter::CAudioCaptureFilter(std::shared_ptr<vq::dshow::SoundDevice> device)
    : CBaseFilter(L"Audio Capture", &lock_), device_(std::move(device)), pin_(this, &lock_) {}

CAudioCaptureFilter::~CAudioCaptureFilter() { Stop(); }

CBasePin* CAudioCaptureFilter::GetPin(int n) { return n == 0 ? &pin_ : nullptr; }

HRESULT CAudioCaptureFilter::Run(REFERENCE_TIME start) {
  if (thread_.joinable()) return CBaseFilter::Run(start);
  auto stream = device_->Open(kRate, kChannels);
  if (!stream) return HRESULT_DEVICE_NOT_CONNECTED;
  HRESULT hr = CBaseFilter::Run(start);
  if (FAILED(hr)) return hr;
  clock_.Run();
  stop_ = false;
  thread_ = std::thread(&CAudioCaptureFilter::Stream, this, std::move(stream));
  return S_OK;
}

HRESULT CAudioCaptureFilter::Stop() {
  clock_.Stop();
  if (thread_.joinable()) {
    stop_ = true;
    pin_.Inactive();  // a wait for a free buffer ends
    thread_.join();
  }
  return CBaseFilter::Stop();
}

HRESULT CAudioCaptureFilter::DeliverBuffer(const int16_t* pcm, REFERENCE_TIME start) {
  IMediaSample* sample = nullptr;
  HRESULT hr = pin_.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  BYTE* target = nullptr;
  sample->GetPointer(&target);
  std::memcpy(target, pcm, kBufferBytes);
  sample->SetActualDataLength(kBufferBytes);
  REFERENCE_TIME end = start + kBufferTime;
  sample->SetTime(&start, &end);
  sample->SetSyncPoint(TRUE);
  hr = pin_.Deliver(sample);
  sample->Release();
  return hr;
}

void CAudioCaptureFilter::Stream(std::unique_ptr<vq::dshow::SoundStream> stream) {
  std::vector<int16_t> buffer(size_t(kBufferFrames) * kChannels);
  for (REFERENCE_TIME start = 0;; start += kBufferTime) {
    if (!clock_.WaitUntil(start + kBufferTime)) break;
    if (!stream->Read(buffer.data(), kBufferFrames, stop_)) {
      if (!stop_) NotifyEvent(EC_ERRORABORT, E_FAIL, 0);
      break;
    }
    // A sink that stops or refuses ends the stream.
    if (pin_.IsConnected() && DeliverBuffer(buffer.data(), start) != S_OK) break;
  }
}
