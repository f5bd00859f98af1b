#include "platform/dshow/WmProfile.h"

#include <algorithm>
#include <cstring>

namespace {

using vq::dshow::WmStream;

class StreamConfig : public IWMStreamConfig, public IWMVideoMediaProps {
 public:
  explicit StreamConfig(WmStream stream) : stream_(std::move(stream)) {}
  const WmStream& Stream() const { return stream_; }

  HRESULT QueryInterface(REFIID iid, void** out) override {
    using vq::dshow::OfferInterface;
    if (!out) return E_POINTER;
    if (OfferInterface<IWMStreamConfig>(iid, IID_IUnknown, this, out) ||
        OfferInterface<IWMStreamConfig>(iid, IID_IWMStreamConfig, this, out) ||
        OfferInterface<IWMMediaProps>(iid, IID_IWMMediaProps, this, out))
      return S_OK;
    if (stream_.type == WMMEDIATYPE_Video && OfferInterface<IWMVideoMediaProps>(iid, IID_IWMVideoMediaProps, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    ULONG n = refs_.Drop();
    if (n == 0) delete this;
    return n;
  }

  HRESULT GetStreamType(GUID* type) override { return Copy(stream_.type, type); }
  HRESULT GetStreamNumber(WORD* number) override { return Copy(stream_.number, number); }
  HRESULT GetBitrate(DWORD* bitrate) override { return Copy(stream_.bitrate, bitrate); }
  HRESULT SetBitrate(DWORD bitrate) override {
    stream_.bitrate = bitrate;
    return S_OK;
  }

  HRESULT GetType(GUID* type) override { return Copy(stream_.mediaType.majortype, type); }
  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override {
    if (!size) return E_POINTER;
    const CMediaType& mt = stream_.mediaType;
    const DWORD needed = DWORD(sizeof(WM_MEDIA_TYPE) + mt.cbFormat);
    if (!type) {
      *size = needed;
      return S_OK;
    }
    if (*size < needed) {
      *size = needed;
      return ASF_E_BUFFERTOOSMALL;
    }
    *type = mt;
    type->pUnk = nullptr;
    type->pbFormat = mt.cbFormat ? reinterpret_cast<BYTE*>(type + 1) : nullptr;
    if (mt.cbFormat) std::memcpy(type->pbFormat, mt.pbFormat, mt.cbFormat);
    *size = needed;
    return S_OK;
  }
  HRESULT SetMediaType(WM_MEDIA_TYPE* type) override {
    if (!type) return E_POINTER;
    if (type->majortype != stream_.type || (type->cbFormat && !type->pbFormat)) return E_INVALIDARG;
    return stream_.mediaType.Set(*type);
  }

 private:
  template <class T>
  static HRESULT Copy(const T& value, T* out) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
  }

  vq::dshow::RefCount refs_;
  WmStream stream_;
};

class Profile : public IWMProfile {
 public:
  explicit Profile(std::vector<WmStream> streams) : streams_(std::move(streams)) {}
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (vq::dshow::OfferInterface<IWMProfile>(iid, IID_IUnknown, this, out) ||
        vq::dshow::OfferInterface<IWMProfile>(iid, IID_IWMProfile, this, out))
      return S_OK;
    *out = nullptr;
    return E_NOINTERFACE;
  }
  VQ_COM_REFCOUNT

  HRESULT GetStreamCount(DWORD* count) override {
    if (!count) return E_POINTER;
    *count = DWORD(streams_.size());
    return S_OK;
  }
  HRESULT GetStream(DWORD index, IWMStreamConfig** config) override {
    if (!config) return E_POINTER;
    *config = nullptr;
    if (index >= streams_.size()) return E_INVALIDARG;
    *config = new StreamConfig(streams_[index]);
    return S_OK;
  }
  HRESULT RemoveStreamByNumber(WORD number) override {
    auto it = FindNumber(number);
    if (it == streams_.end()) return NS_E_INVALID_STREAM;
    streams_.erase(it);
    return S_OK;
  }
  HRESULT ReconfigStream(IWMStreamConfig* config) override {
    if (!config) return E_POINTER;
    std::vector<WmStream> one;
    HRESULT hr = ReadStream(config, &one);
    if (FAILED(hr)) return hr;
    auto it = FindNumber(one.front().number);
    if (it == streams_.end() || it->type != one.front().type) return NS_E_INVALID_STREAM;
    *it = std::move(one.front());
    return S_OK;
  }

  static HRESULT ReadStream(IWMStreamConfig* config, std::vector<WmStream>* into) {
    WmStream s;
    HRESULT hr = config->GetStreamNumber(&s.number);
    if (SUCCEEDED(hr)) hr = config->GetStreamType(&s.type);
    if (SUCCEEDED(hr)) hr = config->GetBitrate(&s.bitrate);
    ComPtr<IWMMediaProps> props;
    if (SUCCEEDED(hr)) hr = config->QueryInterface(IID_IWMMediaProps, props.PutVoid());
    std::vector<BYTE> buffer;
    WM_MEDIA_TYPE* mt = nullptr;
    if (SUCCEEDED(hr)) hr = vq::dshow::FetchWmMediaType(props.Get(), &buffer, &mt);
    if (FAILED(hr)) return hr;
    mt->pUnk = nullptr;
    s.mediaType = *mt;
    into->push_back(std::move(s));
    return S_OK;
  }

 private:
  std::vector<WmStream>::iterator FindNumber(WORD number) {
    return std::find_if(streams_.begin(), streams_.end(), [&](const WmStream& s) { return s.number == number; });
  }

  vq::dshow::RefCount refs_;
  std::vector<WmStream> streams_;
};

}  // namespace

namespace vq::dshow {

HRESULT FetchWmMediaType(IWMMediaProps* props, std::vector<BYTE>* buffer, WM_MEDIA_TYPE** type) {
  if (!props || !buffer || !type) return E_POINTER;
  DWORD size = 0;
  HRESULT hr = props->GetMediaType(nullptr, &size);
  if (FAILED(hr)) return hr;
  buffer->assign(std::max<size_t>(size, sizeof(WM_MEDIA_TYPE)), 0);
  *type = reinterpret_cast<WM_MEDIA_TYPE*>(buffer->data());
  return props->GetMediaType(*type, &size);
}

IWMProfile* CreateWmProfile(std::vector<WmStream> streams) { return new Profile(std::move(streams)); }

HRESULT ReadWmProfile(IWMProfile* profile, std::vector<WmStream>* streams) {
  if (!profile || !streams) return E_POINTER;
  streams->clear();
  DWORD count = 0;
  HRESULT hr = profile->GetStreamCount(&count);
  for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
    ComPtr<IWMStreamConfig> config;
    hr = profile->GetStream(i, config.Put());
    if (SUCCEEDED(hr)) hr = Profile::ReadStream(config.Get(), streams);
  }
  return hr;
}

std::vector<WmStream> DefaultAsfProfile() {
  WmStream sound;
  sound.number = 1;
  sound.type = WMMEDIATYPE_Audio;
  sound.bitrate = 64000;
  sound.mediaType = MakePcmType(44100, 1);
  sound.mediaType.SetSubtype(&WMMEDIASUBTYPE_WMAudioV8);

  WmStream video;
  video.number = 2;
  video.type = WMMEDIATYPE_Video;
  video.bitrate = 500000;
  constexpr int kWidth = 640, kHeight = 480;
  constexpr REFERENCE_TIME kFrameTime = 1000000;
  WMVIDEOINFOHEADER vih{};
  vih.rcSource = vih.rcTarget = RECT{0, 0, kWidth, kHeight};
  vih.dwBitRate = video.bitrate;
  vih.AvgTimePerFrame = kFrameTime;
  vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih.bmiHeader.biWidth = kWidth;
  vih.bmiHeader.biHeight = kHeight;
  vih.bmiHeader.biPlanes = 1;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = FourCc('W', 'M', 'V', '2');
  vih.bmiHeader.biSizeImage = GetBitmapSize(&vih.bmiHeader);
  video.mediaType.SetType(&WMMEDIATYPE_Video);
  video.mediaType.SetSubtype(&WMMEDIASUBTYPE_WMV2);
  video.mediaType.SetFormatType(&WMFORMAT_VideoInfo);
  video.mediaType.SetTemporalCompression(TRUE);
  video.mediaType.SetFormat(reinterpret_cast<const BYTE*>(&vih), sizeof(vih));
  video.mediaType.SetSampleSize(0);

  std::vector<WmStream> streams;
  streams.push_back(std::move(sound));
  streams.push_back(std::move(video));
  return streams;
}

}  // namespace vq::dshow
