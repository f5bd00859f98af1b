#pragma once
// Media types of the DirectShow subset: AM_MEDIA_TYPE with its video-info
// format block, the stream capabilities of a capture pin, and CMediaType,
// the owning wrapper the base classes use.
#include "platform/dshow/Guids.h"

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);

// A video-info block with room for what follows the bitmap header: the
// colour masks of BI_BITFIELDS types or the palette of indexed ones, so
// &bmiHeader can be handed to GDI as a BITMAPINFO.
struct TRUECOLORINFO {
  DWORD dwBitMasks[3];
  RGBQUAD bmiColors[256];
};

struct VIDEOINFO : VIDEOINFOHEADER {
  union {
    RGBQUAD bmiColors[256];
    DWORD dwBitMasks[3];
    TRUECOLORINFO TrueColorInfo;
  };
};

#define WAVE_FORMAT_PCM 1
#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// Bytes of the pixels of a DIB: rows padded to 4 bytes, times |height|.
DWORD GetBitmapSize(const BITMAPINFOHEADER* header);
// The RGB subtype of an uncompressed bitmap header (16-bit BI_BITFIELDS
// tells 565 from 555 by its green mask), else GUID_NULL.
GUID GetBitmapSubtype(const BITMAPINFOHEADER* header);

struct VIDEO_STREAM_CONFIG_CAPS {
  GUID guid;
  ULONG VideoStandard;
  SIZE InputSize;
  SIZE MinCroppingSize;
  SIZE MaxCroppingSize;
  int CropGranularityX;
  int CropGranularityY;
  int CropAlignX;
  int CropAlignY;
  SIZE MinOutputSize;
  SIZE MaxOutputSize;
  int OutputGranularityX;
  int OutputGranularityY;
  int StretchTapsX;
  int StretchTapsY;
  int ShrinkTapsX;
  int ShrinkTapsY;
  LONGLONG MinFrameInterval;
  LONGLONG MaxFrameInterval;
  LONG MinBitsPerSecond;
  LONG MaxBitsPerSecond;
};

// Frees the format block and the extra interface of a media type.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// Frees a media type allocated with CoTaskMemAlloc, and the type itself.
void DeleteMediaType(AM_MEDIA_TYPE* mt);
// Deep copy into an empty target.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A new task-memory copy, for interfaces that hand media types out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  CMediaType(const AM_MEDIA_TYPE& mt);
  CMediaType(const CMediaType& mt);
  CMediaType& operator=(const AM_MEDIA_TYPE& mt);
  CMediaType& operator=(const CMediaType& mt);
  ~CMediaType();

  HRESULT Set(const AM_MEDIA_TYPE& mt);
  void InitMediaType();
  bool IsValid() const { return majortype != GUID_NULL; }
  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  ULONG GetSampleSize() const { return lSampleSize; }
  void SetType(const GUID* t) { majortype = *t; }
  void SetSubtype(const GUID* t) { subtype = *t; }
  void SetFormatType(const GUID* t) { formattype = *t; }
  void SetSampleSize(ULONG size);
  void SetTemporalCompression(BOOL on) { bTemporalCompression = on; }
  BYTE* AllocFormatBuffer(ULONG length);
  bool SetFormat(const BYTE* format, ULONG length);
  void ResetFormatBuffer();
  bool operator==(const CMediaType& other) const;
  bool operator!=(const CMediaType& other) const { return !(*this == other); }
};

namespace vq::dshow {

// The video-info block of a type, or null when it has none.
const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE& mt);
// The wave format of an audio type, or null when it has none.
const WAVEFORMATEX* WaveFormat(const AM_MEDIA_TYPE& mt);

// 16-bit PCM audio: rate and channels, fixed-size samples of one block.
CMediaType MakePcmType(int samplesPerSecond, int channels);

// A video type with a video-info block: YUY2 (16 bits), MJPG (compressed,
// biSizeImage the largest frame) or RGB24 (bottom-up). frameInterval is in
// 100-ns units.
CMediaType MakeVideoType(REFGUID subtype, int width, int height, REFERENCE_TIME frameInterval);

}  // namespace vq::dshow
