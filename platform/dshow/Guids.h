#pragma once
// Identifiers of the DirectShow subset: interfaces, classes, media types,
// format types, pin categories and the video- and audio-input device
// categories. Compressed video subtypes follow the FOURCC pattern; the rest
// are the layer's own values.
#include "platform/dshow/Com.h"

namespace vq::dshow {
constexpr GUID LayerGuid(uint32_t n) { return GUID{n, 0x5651, 0x4453, {0x80, 0x51, 0x56, 0x51, 0x44, 0x53, 0x48, 0x57}}; }
constexpr GUID FourCcGuid(uint32_t fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
constexpr uint32_t FourCc(char a, char b, char c, char d) {
  return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}
}  // namespace vq::dshow

// Interfaces.
inline constexpr IID IID_IPin = vq::dshow::LayerGuid(0x100);
inline constexpr IID IID_IEnumPins = vq::dshow::LayerGuid(0x101);
inline constexpr IID IID_IEnumMediaTypes = vq::dshow::LayerGuid(0x102);
inline constexpr IID IID_IMemInputPin = vq::dshow::LayerGuid(0x103);
inline constexpr IID IID_IMemAllocator = vq::dshow::LayerGuid(0x104);
inline constexpr IID IID_IMediaSample = vq::dshow::LayerGuid(0x105);
inline constexpr IID IID_IBaseFilter = vq::dshow::LayerGuid(0x106);
inline constexpr IID IID_IMediaFilter = vq::dshow::LayerGuid(0x107);
inline constexpr IID IID_IFilterGraph = vq::dshow::LayerGuid(0x108);
inline constexpr IID IID_IGraphBuilder = vq::dshow::LayerGuid(0x109);
inline constexpr IID IID_IMediaControl = vq::dshow::LayerGuid(0x10A);
inline constexpr IID IID_IMediaEvent = vq::dshow::LayerGuid(0x10B);
inline constexpr IID IID_IMediaEventEx = vq::dshow::LayerGuid(0x10C);
inline constexpr IID IID_IMediaEventSink = vq::dshow::LayerGuid(0x10D);
inline constexpr IID IID_IVideoWindow = vq::dshow::LayerGuid(0x10E);
inline constexpr IID IID_ICaptureGraphBuilder2 = vq::dshow::LayerGuid(0x10F);
inline constexpr IID IID_IAMStreamConfig = vq::dshow::LayerGuid(0x110);
inline constexpr IID IID_IAMVideoProcAmp = vq::dshow::LayerGuid(0x111);
inline constexpr IID IID_IAMCameraControl = vq::dshow::LayerGuid(0x112);
inline constexpr IID IID_IAMVideoControl = vq::dshow::LayerGuid(0x113);
inline constexpr IID IID_ICreateDevEnum = vq::dshow::LayerGuid(0x114);
inline constexpr IID IID_IEnumMoniker = vq::dshow::LayerGuid(0x115);
inline constexpr IID IID_IMoniker = vq::dshow::LayerGuid(0x116);
inline constexpr IID IID_IPropertyBag = vq::dshow::LayerGuid(0x117);
inline constexpr IID IID_ISampleGrabber = vq::dshow::LayerGuid(0x118);
inline constexpr IID IID_ISampleGrabberCB = vq::dshow::LayerGuid(0x119);
inline constexpr IID IID_ISpecifyPropertyPages = vq::dshow::LayerGuid(0x11A);
inline constexpr IID IID_IKsPropertySet = vq::dshow::LayerGuid(0x11B);
inline constexpr IID IID_IFileSinkFilter = vq::dshow::LayerGuid(0x11C);
inline constexpr IID IID_IConfigAsfWriter = vq::dshow::LayerGuid(0x11D);
inline constexpr IID IID_IWMProfile = vq::dshow::LayerGuid(0x11E);
inline constexpr IID IID_IWMStreamConfig = vq::dshow::LayerGuid(0x11F);
inline constexpr IID IID_IWMMediaProps = vq::dshow::LayerGuid(0x120);
inline constexpr IID IID_IWMVideoMediaProps = vq::dshow::LayerGuid(0x121);

// Classes.
inline constexpr CLSID CLSID_FilterGraph = vq::dshow::LayerGuid(0x200);
inline constexpr CLSID CLSID_CaptureGraphBuilder2 = vq::dshow::LayerGuid(0x201);
inline constexpr CLSID CLSID_NullRenderer = vq::dshow::LayerGuid(0x202);
inline constexpr CLSID CLSID_SampleGrabber = vq::dshow::LayerGuid(0x203);
inline constexpr CLSID CLSID_InfTee = vq::dshow::LayerGuid(0x204);
inline constexpr CLSID CLSID_SystemDeviceEnum = vq::dshow::LayerGuid(0x205);
inline constexpr CLSID CLSID_VideoInputDeviceCategory = vq::dshow::LayerGuid(0x206);
inline constexpr CLSID CLSID_VideoDecoder = vq::dshow::LayerGuid(0x207);
// The property pages of capture filters and their capture pins.
inline constexpr CLSID CLSID_VideoProcAmpPropertyPage = vq::dshow::LayerGuid(0x208);
inline constexpr CLSID CLSID_CameraControlPropertyPage = vq::dshow::LayerGuid(0x209);
inline constexpr CLSID CLSID_VideoStreamConfigPropertyPage = vq::dshow::LayerGuid(0x20A);
inline constexpr CLSID CLSID_AudioInputDeviceCategory = vq::dshow::LayerGuid(0x20B);

// Media types, subtypes and format types.
inline constexpr GUID MEDIATYPE_Video = vq::dshow::FourCcGuid(vq::dshow::FourCc('v', 'i', 'd', 's'));
inline constexpr GUID MEDIATYPE_Audio = vq::dshow::FourCcGuid(vq::dshow::FourCc('a', 'u', 'd', 's'));
inline constexpr GUID MEDIATYPE_Stream = vq::dshow::LayerGuid(0x300);
inline constexpr GUID MEDIASUBTYPE_YUY2 = vq::dshow::FourCcGuid(vq::dshow::FourCc('Y', 'U', 'Y', '2'));
inline constexpr GUID MEDIASUBTYPE_MJPG = vq::dshow::FourCcGuid(vq::dshow::FourCc('M', 'J', 'P', 'G'));
inline constexpr GUID MEDIASUBTYPE_RGB24 = vq::dshow::LayerGuid(0x301);
inline constexpr GUID FORMAT_VideoInfo = vq::dshow::LayerGuid(0x302);
inline constexpr GUID FORMAT_None = vq::dshow::LayerGuid(0x303);
inline constexpr GUID MEDIASUBTYPE_RGB8 = vq::dshow::LayerGuid(0x304);
inline constexpr GUID MEDIASUBTYPE_RGB565 = vq::dshow::LayerGuid(0x305);
inline constexpr GUID MEDIASUBTYPE_RGB555 = vq::dshow::LayerGuid(0x306);
inline constexpr GUID MEDIASUBTYPE_RGB32 = vq::dshow::LayerGuid(0x307);
inline constexpr GUID MEDIASUBTYPE_Asf = vq::dshow::LayerGuid(0x308);
inline constexpr GUID MEDIASUBTYPE_PCM = vq::dshow::LayerGuid(0x309);
inline constexpr GUID FORMAT_WaveFormatEx = vq::dshow::LayerGuid(0x30A);

// The media types of a Windows Media profile share the DirectShow values;
// the compressed subtypes follow the FOURCC pattern (the audio one with its
// wave format tag).
inline constexpr GUID WMMEDIATYPE_Video = MEDIATYPE_Video;
inline constexpr GUID WMMEDIATYPE_Audio = MEDIATYPE_Audio;
inline constexpr GUID WMFORMAT_VideoInfo = FORMAT_VideoInfo;
inline constexpr GUID WMFORMAT_WaveFormatEx = FORMAT_WaveFormatEx;
inline constexpr GUID WMMEDIASUBTYPE_WMV2 = vq::dshow::FourCcGuid(vq::dshow::FourCc('W', 'M', 'V', '2'));
inline constexpr GUID WMMEDIASUBTYPE_WMAudioV8 = vq::dshow::FourCcGuid(0x0161);

// Pin categories and the property set that reports them.
inline constexpr GUID PIN_CATEGORY_CAPTURE = vq::dshow::LayerGuid(0x400);
inline constexpr GUID PIN_CATEGORY_PREVIEW = vq::dshow::LayerGuid(0x401);
inline constexpr GUID PIN_CATEGORY_STILL = vq::dshow::LayerGuid(0x402);
inline constexpr GUID AMPROPSETID_Pin = vq::dshow::LayerGuid(0x403);
inline constexpr DWORD AMPROPERTY_PIN_CATEGORY = 0;

#ifndef BI_RGB
#define BI_RGB 0
#endif
