// The classes CoCreateInstance knows, registered once at the first COM
// initialisation, and the camera providers of the device enumeration.
#include <mutex>

#include "platform/dshow/CaptureGraphBuilder.h"
#include "platform/dshow/DeviceEnumerator.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/StandardFilters.h"
#include "platform/dshow/VideoDecoder.h"
#include "platform/dshow/V4l2Enumerator.h"
#include "platform/dshow/VirtualCamera.h"

namespace vq::dshow {

void RegisterBuiltinClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterClass(CLSID_FilterGraph, [] { return static_cast<IUnknown*>(static_cast<IGraphBuilder*>(new CFilterGraph())); });
    RegisterClass(CLSID_CaptureGraphBuilder2, [] { return static_cast<IUnknown*>(new CCaptureGraphBuilder2()); });
    RegisterClass(CLSID_NullRenderer, [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new CNullRenderer())); });
    RegisterClass(CLSID_SampleGrabber, [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new CSampleGrabber())); });
    RegisterClass(CLSID_InfTee, [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new CInfTee())); });
    RegisterClass(CLSID_VideoDecoder, [] { return static_cast<IUnknown*>(static_cast<IBaseFilter*>(new CVideoDecoder())); });
    RegisterClass(CLSID_SystemDeviceEnum, [] { return static_cast<IUnknown*>(new CSystemDeviceEnum()); });
    RegisterVirtualCameraProvider();
    RegisterV4l2CameraProvider();
  });
}

}  // namespace vq::dshow
