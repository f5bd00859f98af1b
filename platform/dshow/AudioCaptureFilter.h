#pragma once
// The capture filter of a sound input: one output pin ("Capture", capture
// category) of 16-bit PCM at 44.1 kHz, mono, in buffers of 100 ms, and a
// streaming thread from Run to Stop. Each buffer is taken once the run has
// reached its end time on the stream clock, as a device hands over sound it
// has captured; its times follow from the sample count.
#include <atomic>
#include <memory>
#include <thread>

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/SoundDevice.h"
#include "platform/dshow/StreamClock.h"

class CAudioCaptureFilter;

class CAudioCapturePin : public CBaseOutputPin {
 public:
  CAudioCapturePin(CAudioCaptureFilter* filter, CCritSec* lock);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
};

class CAudioCaptureFilter : public CBaseFilter {
 public:
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 1;
  static constexpr int kBufferFrames = kRate / 10;
  static constexpr REFERENCE_TIME kBufferTime = 1000000;

  explicit CAudioCaptureFilter(std::shared_ptr<vq::dshow::SoundDevice> device);
  int GetPinCount() override { return 1; }
  CBasePin* GetPin(int n) override;
  // Run opens the device (a failure is the result); Stop closes it.
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT Stop() override;

 private:
  ~CAudioCaptureFilter() override;
  void Stream(std::unique_ptr<vq::dshow::SoundStream> stream);
  HRESULT DeliverBuffer(const int16_t* pcm, REFERENCE_TIME start);

  CCritSec lock_;
  std::shared_ptr<vq::dshow::SoundDevice> device_;
  CAudioCapturePin pin_;
  vq::dshow::StreamClock clock_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};
