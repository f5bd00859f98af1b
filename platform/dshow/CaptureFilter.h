#pragma once
// The capture filter of a camera: a capture pin with its stream
// configuration, a still pin when the camera has one, the camera's video
// proc amp, camera control and video control, and a streaming thread that
// pushes the camera's frames while the filter runs. The filter names the
// proc amp and camera control property pages, its capture pin the stream
// format page.
#include <atomic>
#include <memory>
#include <thread>

#include "platform/dshow/BaseFilter.h"
#include "platform/dshow/CaptureDevice.h"

class CCaptureFilter;

class CCapturePin : public CBaseOutputPin, public IAMStreamConfig, public ISpecifyPropertyPages {
 public:
  CCapturePin(CCaptureFilter* filter, CCritSec* lock);
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_FORWARD_IUNKNOWN(CBaseOutputPin)

  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

  HRESULT SetFormat(AM_MEDIA_TYPE* type) override;
  HRESULT GetFormat(AM_MEDIA_TYPE** type) override;
  HRESULT GetNumberOfCapabilities(int* count, int* size) override;
  HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;
  HRESULT GetPages(CAUUID* pages) override;

 private:
  CCaptureFilter* owner_;
};

class CStillPin : public CBaseOutputPin {
 public:
  CStillPin(CCaptureFilter* filter, CCritSec* lock);
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

 private:
  CCaptureFilter* owner_;
};

// IAMVideoProcAmp and IAMCameraControl have the same members; one facet
// class serves both, routing to the device by kind.
template <class Itf, vq::dshow::ControlKind Kind>
class CControlFacet : public Itf {
 public:
  explicit CControlFacet(CCaptureFilter* owner) : owner_(owner) {}
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetRange(long property, long* min, long* max, long* step, long* dflt, long* caps) override;
  HRESULT Set(long property, long value, long flags) override;
  HRESULT Get(long property, long* value, long* flags) override;

 private:
  CCaptureFilter* owner_;
};

class CCaptureFilter : public CBaseFilter,
                       public IAMVideoControl,
                       public ISpecifyPropertyPages,
                       private vq::dshow::CaptureDeviceListener {
 public:
  explicit CCaptureFilter(std::shared_ptr<vq::dshow::CaptureDevice> device);
  HRESULT QueryInterface(REFIID iid, void** out) override;
  VQ_FORWARD_IUNKNOWN(CBaseFilter)

  int GetPinCount() override;
  CBasePin* GetPin(int n) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  // The filter hears from its camera while it is in a graph (which holds it alive).
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

  HRESULT GetCaps(IPin* pin, long* caps) override;
  HRESULT SetMode(IPin* pin, long mode) override;
  HRESULT GetMode(IPin* pin, long* mode) override;
  HRESULT GetPages(CAUUID* pages) override;

  // The format the capture pin streams: the one set, else the first.
  vq::dshow::CaptureFormat CurrentFormat();
  bool FormatWasSet();
  HRESULT SelectFormat(const AM_MEDIA_TYPE& type);
  // A new format for connected pins (filter stopped): the connections
  // below the capture and still pins are negotiated again.
  HRESULT ChangeConnectedFormat(const AM_MEDIA_TYPE& type);
  vq::dshow::CaptureDevice& Device() { return *device_; }

 private:
  ~CCaptureFilter() override;
  void DeviceLost() override;
  void DeviceBack() override;
  void StillButtonPressed() override;
  // The stream's open failure; S_OK when it streams.
  HRESULT StartStreaming();
  void StopStreaming();
  void Stream(std::unique_ptr<vq::dshow::CaptureStream> stream, vq::dshow::CaptureFormat format);
  HRESULT DeliverCopy(CBaseOutputPin* pin, const BYTE* data, long length, REFERENCE_TIME start,
                      REFERENCE_TIME end);
  void RaiseDeviceEvent(LONG_PTR back);

  CCritSec lock_;
  std::shared_ptr<vq::dshow::CaptureDevice> device_;
  CCapturePin capture_;
  std::unique_ptr<CStillPin> still_;
  CControlFacet<IAMVideoProcAmp, vq::dshow::ControlKind::VideoProcAmp> procAmp_;
  CControlFacet<IAMCameraControl, vq::dshow::ControlKind::CameraControl> cameraControl_;
  int formatIndex_ = 0;
  bool formatSet_ = false;
  std::thread thread_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> stillRequested_{false};
  std::mutex streamLock_;
  vq::dshow::CaptureStream* stream_ = nullptr;
};
