#pragma once
// Windows Media profiles, as the ASF writer takes them: a list of streams,
// each with a number, a kind (audio or video), a bit rate and a media type
// (for video a video-info block with the encoded size and frame time). A
// stream taken out of a profile is a copy; ReconfigStream puts it back.
#include <vector>

#include "platform/dshow/Interfaces.h"

using WM_MEDIA_TYPE = AM_MEDIA_TYPE;
using WMVIDEOINFOHEADER = VIDEOINFOHEADER;

#define ASF_E_BUFFERTOOSMALL ((HRESULT)0xC00D07D2L)
#define NS_E_INVALID_STREAM ((HRESULT)0xC00D0BBCL)

struct IWMMediaProps : IUnknown {
  virtual HRESULT GetType(GUID* type) = 0;
  // With a null type, *size receives the bytes needed: the record followed
  // by its format block, which pbFormat then points at.
  virtual HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) = 0;
  virtual HRESULT SetMediaType(WM_MEDIA_TYPE* type) = 0;
};

struct IWMVideoMediaProps : IWMMediaProps {};

struct IWMStreamConfig : IUnknown {
  virtual HRESULT GetStreamType(GUID* type) = 0;
  virtual HRESULT GetStreamNumber(WORD* number) = 0;
  virtual HRESULT GetBitrate(DWORD* bitrate) = 0;
  virtual HRESULT SetBitrate(DWORD bitrate) = 0;
};

struct IWMProfile : IUnknown {
  virtual HRESULT GetStreamCount(DWORD* count) = 0;
  virtual HRESULT GetStream(DWORD index, IWMStreamConfig** config) = 0;
  virtual HRESULT RemoveStreamByNumber(WORD number) = 0;
  // Replaces the stream of the same number.
  virtual HRESULT ReconfigStream(IWMStreamConfig* config) = 0;
};

struct IConfigAsfWriter : IUnknown {
  // The writer takes a copy of the profile and gets one input pin per stream.
  virtual HRESULT ConfigureFilterUsingProfile(IWMProfile* profile) = 0;
  // A copy of the writer's profile, to edit and configure back.
  virtual HRESULT GetCurrentProfile(IWMProfile** profile) = 0;
};

namespace vq::dshow {

struct WmStream {
  WORD number = 0;
  GUID type = GUID_NULL;  // WMMEDIATYPE_Audio or WMMEDIATYPE_Video
  DWORD bitrate = 0;
  CMediaType mediaType;
};

// Fetches the media type of a stream's properties (size first, then the
// record with its format block behind it) into `buffer`; *type points there.
HRESULT FetchWmMediaType(IWMMediaProps* props, std::vector<BYTE>* buffer, WM_MEDIA_TYPE** type);

// A profile over a stream list (one reference).
IWMProfile* CreateWmProfile(std::vector<WmStream> streams);
// The streams of any profile, read through its interfaces.
HRESULT ReadWmProfile(IWMProfile* profile, std::vector<WmStream>* streams);
// The ASF writer's default: index 0 sound (stream number 1, WMA 64 kbit/s,
// 44.1 kHz mono), index 1 video (stream number 2, WMV2 640 x 480, 10 frames
// per second, 500 kbit/s).
std::vector<WmStream> DefaultAsfProfile();

}  // namespace vq::dshow
