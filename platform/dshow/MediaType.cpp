#include "platform/dshow/MediaType.h"

#include <cstdlib>
#include <cstring>

void FreeMediaType(AM_MEDIA_TYPE& mt) {
  if (mt.cbFormat != 0 || mt.pbFormat) CoTaskMemFree(mt.pbFormat);
  mt.cbFormat = 0;
  mt.pbFormat = nullptr;
  if (mt.pUnk) mt.pUnk->Release();
  mt.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  FreeMediaType(*mt);
  CoTaskMemFree(mt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
  if (!target || !source) return E_POINTER;
  *target = *source;
  target->pbFormat = nullptr;
  target->cbFormat = 0;
  if (source->cbFormat && source->pbFormat) {
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (!target->pbFormat) return E_OUTOFMEMORY;
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    target->cbFormat = source->cbFormat;
  }
  if (target->pUnk) target->pUnk->AddRef();
  return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  if (FAILED(CopyMediaType(mt, source))) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

CMediaType::CMediaType() { InitMediaType(); }

CMediaType::CMediaType(const AM_MEDIA_TYPE& mt) {
  InitMediaType();
  Set(mt);
}

CMediaType::CMediaType(const CMediaType& mt) : CMediaType(static_cast<const AM_MEDIA_TYPE&>(mt)) {}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& mt) {
  Set(mt);
  return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& mt) {
  Set(mt);
  return *this;
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

void CMediaType::InitMediaType() {
  std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
  bFixedSizeSamples = TRUE;
  lSampleSize = 1;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& mt) {
  if (&mt == this) return S_OK;
  FreeMediaType(*this);
  return CopyMediaType(this, &mt);
}

void CMediaType::SetSampleSize(ULONG size) {
  if (size == 0) {
    bFixedSizeSamples = FALSE;
  } else {
    bFixedSizeSamples = TRUE;
    lSampleSize = size;
  }
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
  if (cbFormat >= length && pbFormat) return pbFormat;
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(length));
  if (!block) return nullptr;
  std::memset(block, 0, length);
  if (pbFormat) {
    std::memcpy(block, pbFormat, cbFormat);
    CoTaskMemFree(pbFormat);
  }
  pbFormat = block;
  cbFormat = length;
  return block;
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length) {
  ResetFormatBuffer();
  if (!AllocFormatBuffer(length)) return false;
  std::memcpy(pbFormat, format, length);
  return true;
}

void CMediaType::ResetFormatBuffer() {
  CoTaskMemFree(pbFormat);
  pbFormat = nullptr;
  cbFormat = 0;
}

bool CMediaType::operator==(const CMediaType& other) const {
  return majortype == other.majortype && subtype == other.subtype && formattype == other.formattype &&
         cbFormat == other.cbFormat && (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

DWORD GetBitmapSize(const BITMAPINFOHEADER* header) {
  if (!header) return 0;
  const uint64_t stride = ((uint64_t(std::abs(header->biWidth)) * header->biBitCount + 31) / 32) * 4;
  return DWORD(stride * uint64_t(std::abs(int64_t(header->biHeight))));
}

GUID GetBitmapSubtype(const BITMAPINFOHEADER* header) {
  if (!header) return GUID_NULL;
  if (header->biCompression == BI_BITFIELDS && header->biBitCount == 16) {
    // The masks follow the header.
    const auto* masks = reinterpret_cast<const DWORD*>(header + 1);
    return masks[1] == 0x07E0 ? MEDIASUBTYPE_RGB565 : MEDIASUBTYPE_RGB555;
  }
  if (header->biCompression == BI_BITFIELDS && header->biBitCount == 32) return MEDIASUBTYPE_RGB32;
  if (header->biCompression != BI_RGB) return GUID_NULL;
  switch (header->biBitCount) {
    case 8: return MEDIASUBTYPE_RGB8;
    case 16: return MEDIASUBTYPE_RGB555;
    case 24: return MEDIASUBTYPE_RGB24;
    case 32: return MEDIASUBTYPE_RGB32;
    default: return GUID_NULL;
  }
}

namespace vq::dshow {

const WAVEFORMATEX* WaveFormat(const AM_MEDIA_TYPE& mt) {
  if (mt.formattype != FORMAT_WaveFormatEx || mt.cbFormat < sizeof(WAVEFORMATEX) || !mt.pbFormat) return nullptr;
  return reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
}

CMediaType MakePcmType(int samplesPerSecond, int channels) {
  CMediaType mt;
  mt.SetType(&MEDIATYPE_Audio);
  mt.SetSubtype(&MEDIASUBTYPE_PCM);
  mt.SetFormatType(&FORMAT_WaveFormatEx);
  WAVEFORMATEX wf{};
  wf.wFormatTag = WAVE_FORMAT_PCM;
  wf.nChannels = WORD(channels);
  wf.nSamplesPerSec = DWORD(samplesPerSecond);
  wf.wBitsPerSample = 16;
  wf.nBlockAlign = WORD(channels * 2);
  wf.nAvgBytesPerSec = wf.nSamplesPerSec * wf.nBlockAlign;
  mt.SetFormat(reinterpret_cast<const BYTE*>(&wf), sizeof(wf));
  mt.SetSampleSize(wf.nBlockAlign);
  return mt;
}

const VIDEOINFOHEADER* VideoInfo(const AM_MEDIA_TYPE& mt) {
  if (mt.formattype != FORMAT_VideoInfo || mt.cbFormat < sizeof(VIDEOINFOHEADER) || !mt.pbFormat) return nullptr;
  return reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat);
}

CMediaType MakeVideoType(REFGUID subtype, int width, int height, REFERENCE_TIME frameInterval) {
  CMediaType mt;
  mt.SetType(&MEDIATYPE_Video);
  mt.SetSubtype(&subtype);
  mt.SetFormatType(&FORMAT_VideoInfo);
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = frameInterval;
  BITMAPINFOHEADER& bih = vih.bmiHeader;
  bih.biSize = sizeof(BITMAPINFOHEADER);
  bih.biWidth = width;
  bih.biHeight = height;
  bih.biPlanes = 1;
  const size_t pixels = size_t(width) * size_t(height);
  if (subtype == MEDIASUBTYPE_YUY2) {
    bih.biBitCount = 16;
    bih.biCompression = FourCc('Y', 'U', 'Y', '2');
    bih.biSizeImage = DWORD(pixels * 2);
  } else if (subtype == MEDIASUBTYPE_MJPG) {
    bih.biBitCount = 24;
    bih.biCompression = FourCc('M', 'J', 'P', 'G');
    bih.biSizeImage = DWORD(pixels * 3);
    mt.SetTemporalCompression(FALSE);
  } else {
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = DWORD(pixels * 3);
  }
  if (frameInterval > 0)
    vih.dwBitRate = DWORD(double(bih.biSizeImage) * 8.0 * 10000000.0 / double(frameInterval));
  mt.SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof(vih));
  if (subtype == MEDIASUBTYPE_MJPG)
    mt.SetSampleSize(0);
  else
    mt.SetSampleSize(bih.biSizeImage);
  return mt;
}

}  // namespace vq::dshow
