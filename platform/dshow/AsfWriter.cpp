#include "platform/dshow/AsfWriter.h"

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "base/PathEncoding.h"

using vq::dshow::WmStream;

namespace {

bool IsRgbSubtype(REFGUID subtype) {
  return subtype == MEDIASUBTYPE_RGB8 || subtype == MEDIASUBTYPE_RGB555 || subtype == MEDIASUBTYPE_RGB565 ||
         subtype == MEDIASUBTYPE_RGB24 || subtype == MEDIASUBTYPE_RGB32;
}

HRESULT CheckVideo(const CMediaType& mt) {
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(mt);
  if (mt.majortype != MEDIATYPE_Video || !vih || !IsRgbSubtype(mt.subtype)) return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER& bih = vih->bmiHeader;
  if (bih.biWidth <= 0 || bih.biHeight == 0 || bih.biHeight == INT32_MIN) return VFW_E_TYPE_NOT_ACCEPTED;
  // What follows the header (masks or palette) must be in the block.
  size_t needed = sizeof(VIDEOINFOHEADER);
  if (bih.biCompression == BI_BITFIELDS) needed += 3 * sizeof(DWORD);
  if (bih.biBitCount == 8) needed += (bih.biClrUsed ? bih.biClrUsed : 256) * sizeof(RGBQUAD);
  if (mt.cbFormat < needed || GetBitmapSubtype(&bih) != mt.subtype) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CheckAudio(const CMediaType& mt) {
  const WAVEFORMATEX* wf = vq::dshow::WaveFormat(mt);
  if (mt.majortype != MEDIATYPE_Audio || mt.subtype != MEDIASUBTYPE_PCM || !wf) return VFW_E_TYPE_NOT_ACCEPTED;
  if (wf->wBitsPerSample != 16 || wf->nChannels < 1 || wf->nChannels > 8 || wf->nSamplesPerSec < 1000 ||
      wf->nSamplesPerSec > 192000)
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT CheckProfile(const std::vector<WmStream>& streams) {
  int audio = 0, video = 0;
  for (const auto& s : streams) {
    if (s.type == WMMEDIATYPE_Audio) {
      ++audio;
    } else if (s.type == WMMEDIATYPE_Video) {
      ++video;
      const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(s.mediaType);
      if (!vih || vih->bmiHeader.biWidth <= 0 || vih->bmiHeader.biHeight == 0 || vih->AvgTimePerFrame <= 0)
        return E_INVALIDARG;
    } else {
      return E_INVALIDARG;
    }
  }
  return audio <= 1 && video <= 1 && !streams.empty() ? S_OK : E_INVALIDARG;
}

}  // namespace

// ---- CAsfInputPin ----

CAsfInputPin::CAsfInputPin(CAsfWriter* writer, CCritSec* lock, const wchar_t* name, REFGUID kind)
    : CBaseInputPin(writer, lock, name), writer_(writer), kind_(kind) {}

HRESULT CAsfInputPin::CheckMediaType(const CMediaType* type) {
  if (!type) return E_POINTER;
  return kind_ == WMMEDIATYPE_Video ? CheckVideo(*type) : CheckAudio(*type);
}

HRESULT CAsfInputPin::Receive(IMediaSample* sample) {
  HRESULT hr = CBaseInputPin::Receive(sample);
  return hr == S_OK ? writer_->Write(this, sample) : hr;
}

// ---- CAsfWriter ----

CAsfWriter::CAsfWriter()
    : CBaseFilter(L"ASF Writer", &lock_),
      audio_(this, &lock_, L"Audio Input 01", WMMEDIATYPE_Audio),
      video_(this, &lock_, L"Video Input 01", WMMEDIATYPE_Video) {
  ComPtr<IWMProfile> profile = ComPtr<IWMProfile>::Adopt(vq::dshow::CreateWmProfile(vq::dshow::DefaultAsfProfile()));
  ConfigureFilterUsingProfile(profile.Get());
}

CAsfWriter::~CAsfWriter() { Stop(); }

HRESULT CAsfWriter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (vq::dshow::OfferInterface<IFileSinkFilter>(iid, IID_IFileSinkFilter, this, out) ||
      vq::dshow::OfferInterface<IConfigAsfWriter>(iid, IID_IConfigAsfWriter, this, out))
    return S_OK;
  return CBaseFilter::QueryInterface(iid, out);
}

int CAsfWriter::GetPinCount() {
  CAutoLock lock(&lock_);
  return int(pins_.size());
}

CBasePin* CAsfWriter::GetPin(int n) {
  CAutoLock lock(&lock_);
  return n >= 0 && n < int(pins_.size()) ? pins_[size_t(n)] : nullptr;
}

const WmStream* CAsfWriter::StreamOf(REFGUID kind) const {
  for (const auto& s : profile_)
    if (s.type == kind) return &s;
  return nullptr;
}

HRESULT CAsfWriter::SetFileName(LPCOLESTR fileName, const AM_MEDIA_TYPE*) {
  if (!fileName) return E_POINTER;
  CAutoLock lock(&lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  fileName_ = fileName;
  placed_.clear();
  return S_OK;
}

HRESULT CAsfWriter::GetCurFile(LPOLESTR* fileName, AM_MEDIA_TYPE* type) {
  if (!fileName) return E_POINTER;
  CAutoLock lock(&lock_);
  *fileName = nullptr;
  if (type) {
    std::memset(type, 0, sizeof(*type));
    type->majortype = MEDIATYPE_Stream;
    type->subtype = MEDIASUBTYPE_Asf;
  }
  const std::wstring& current = placed_.empty() ? fileName_ : placed_;
  if (current.empty()) return E_FAIL;
  const size_t bytes = (current.size() + 1) * sizeof(wchar_t);
  *fileName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!*fileName) return E_OUTOFMEMORY;
  std::memcpy(*fileName, current.c_str(), bytes);
  return S_OK;
}

HRESULT CAsfWriter::ConfigureFilterUsingProfile(IWMProfile* profile) {
  if (!profile) return E_POINTER;
  std::vector<WmStream> streams;
  HRESULT hr = vq::dshow::ReadWmProfile(profile, &streams);
  if (FAILED(hr)) return hr;
  hr = CheckProfile(streams);
  if (FAILED(hr)) return hr;
  CAutoLock lock(&lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  std::vector<CAsfInputPin*> pins;
  for (const auto& s : streams) pins.push_back(s.type == WMMEDIATYPE_Video ? &video_ : &audio_);
  for (CAsfInputPin* pin : {&audio_, &video_}) {
    if (std::find(pins.begin(), pins.end(), pin) != pins.end() || !pin->IsConnected()) continue;
    ComPtr<IPin> other;
    if (SUCCEEDED(pin->ConnectedTo(other.Put()))) other->Disconnect();
    pin->Disconnect();
  }
  profile_ = std::move(streams);
  pins_ = std::move(pins);
  return S_OK;
}

HRESULT CAsfWriter::GetCurrentProfile(IWMProfile** profile) {
  if (!profile) return E_POINTER;
  CAutoLock lock(&lock_);
  *profile = vq::dshow::CreateWmProfile(profile_);
  return S_OK;
}

HRESULT CAsfWriter::OpenFile() {
  if (fileName_.empty()) return E_UNEXPECTED;
  placed_.clear();
  auto muxer = std::make_unique<vq::dshow::AsfMuxer>();
  bool any = false;
  for (CAsfInputPin* pin : pins_) {
    if (!pin->IsConnected()) continue;
    const WmStream& stream = *StreamOf(pin->Kind());
    const CMediaType& input = pin->CurrentMediaType();
    HRESULT hr;
    if (pin->Kind() == WMMEDIATYPE_Video) {
      const VIDEOINFOHEADER* out = vq::dshow::VideoInfo(stream.mediaType);
      const auto* in = reinterpret_cast<const VIDEOINFO*>(input.pbFormat);
      vq::dshow::AsfVideoFormat f;
      f.width = out->bmiHeader.biWidth;
      f.height = std::abs(out->bmiHeader.biHeight);
      f.frameTime = out->AvgTimePerFrame;
      f.bitRate = int(stream.bitrate);
      f.inputSubtype = input.subtype;
      f.inputWidth = in->bmiHeader.biWidth;
      f.inputHeight = in->bmiHeader.biHeight;
      if (input.subtype == MEDIASUBTYPE_RGB8) {
        const DWORD colors = in->bmiHeader.biClrUsed ? in->bmiHeader.biClrUsed : 256;
        f.palette.assign(in->bmiColors, in->bmiColors + std::min<DWORD>(colors, 256));
      }
      hr = muxer->AddVideo(f);
    } else {
      const WAVEFORMATEX* out = vq::dshow::WaveFormat(stream.mediaType);
      const WAVEFORMATEX* in = vq::dshow::WaveFormat(input);
      vq::dshow::AsfAudioFormat f;
      f.sampleRate = out ? int(out->nSamplesPerSec) : 44100;
      f.channels = out ? out->nChannels : 1;
      f.bitRate = int(stream.bitrate);
      f.inputRate = int(in->nSamplesPerSec);
      f.inputChannels = in->nChannels;
      hr = muxer->AddAudio(f);
    }
    if (FAILED(hr)) return hr;
    any = true;
  }
  if (!any) return VFW_E_NOT_CONNECTED;
  HRESULT hr = muxer->Open(fileName_);
  if (FAILED(hr)) return hr;
  std::lock_guard mux(muxLock_);
  muxer_ = std::move(muxer);
  failureReported_ = false;
  return S_OK;
}

HRESULT CAsfWriter::Pause() {
  CAutoLock lock(&lock_);
  if (state_ == State_Stopped) {
    HRESULT hr = OpenFile();
    if (FAILED(hr)) return hr;
  }
  clock_.Pause();
  return CBaseFilter::Pause();
}

HRESULT CAsfWriter::Run(REFERENCE_TIME start) {
  CAutoLock lock(&lock_);
  HRESULT hr = CBaseFilter::Run(start);
  if (SUCCEEDED(hr)) clock_.Run();
  return hr;
}

HRESULT CAsfWriter::Stop() {
  // Releases the samples waiting for their time before the muxer is closed.
  clock_.Stop();
  HRESULT finished = S_OK;
  std::string placed;
  {
    std::lock_guard mux(muxLock_);
    if (muxer_) {
      finished = muxer_->Finish();
      placed = muxer_->PlacedPath();
    }
    muxer_.reset();
  }
  if (!placed.empty()) {
    CAutoLock lock(&lock_);
    placed_ = vq::PathFromBytes(placed);
  }
  HRESULT hr = CBaseFilter::Stop();
  return FAILED(finished) ? finished : hr;
}

HRESULT CAsfWriter::Write(CAsfInputPin* pin, IMediaSample* sample) {
  REFERENCE_TIME start = 0, end = 0;
  HRESULT hr = sample->GetTime(&start, &end);
  if (FAILED(hr)) return VFW_E_SAMPLE_TIME_NOT_SET;
  const bool video = pin->Kind() == WMMEDIATYPE_Video;
  if (video && !clock_.WaitUntil(hr == VFW_S_NO_STOP_TIME ? start : end)) return VFW_E_WRONG_STATE;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const long length = sample->GetActualDataLength();
  {
    std::lock_guard mux(muxLock_);
    if (!muxer_ || !muxer_->IsOpen()) return VFW_E_WRONG_STATE;
    hr = video ? muxer_->WriteVideo(data, length, start) : muxer_->WriteAudio(data, length, start);
  }
  // Outside the muxer lock: the event takes the filter's lock.
  if (FAILED(hr) && !failureReported_.exchange(true)) NotifyEvent(EC_ERRORABORT, hr, 0);
  return hr;
}
