#include "capture/RecordingGraph.h"

#include <new>
#include <vector>

#include "capture/PushSourceVideo.h"

namespace {

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

template <class T>
void ReleaseMember(T*& member) {
  if (member) member->Release();
  member = nullptr;
}

// The video stream at `index` takes the recording's size, frame time and bit
// rate, and goes back into the profile and the writer.
HRESULT ConfigureVideoStream(IWMProfile* profile, IConfigAsfWriter* writer, DWORD index, int width, int height,
                             int fps, int bitRate) {
  if (!profile || !writer) return E_POINTER;
  if (fps <= 0) return E_INVALIDARG;
  ComPtr<IWMStreamConfig> stream;
  HRESULT hr = profile->GetStream(index, stream.Put());
  if (SUCCEEDED(hr)) hr = stream->SetBitrate(DWORD(bitRate));
  ComPtr<IWMVideoMediaProps> props;
  if (SUCCEEDED(hr)) hr = stream->QueryInterface(IID_IWMVideoMediaProps, props.PutVoid());
  std::vector<BYTE> buffer;
  WM_MEDIA_TYPE* mt = nullptr;
  if (SUCCEEDED(hr)) hr = vq::dshow::FetchWmMediaType(props.Get(), &buffer, &mt);
  if (FAILED(hr)) return hr;
  if (mt->formattype != WMFORMAT_VideoInfo || mt->cbFormat < sizeof(WMVIDEOINFOHEADER)) return E_UNEXPECTED;
  auto* vih = reinterpret_cast<WMVIDEOINFOHEADER*>(mt->pbFormat);
  // The same frame length as the samples' time stamps.
  vih->AvgTimePerFrame = kUnitsPerSecond / fps;
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biSizeImage = GetBitmapSize(&vih->bmiHeader);
  vih->rcSource = vih->rcTarget = RECT{0, 0, width, height};
  vih->dwBitRate = DWORD(bitRate);
  mt->bFixedSizeSamples = TRUE;
  mt->lSampleSize = vih->bmiHeader.biSizeImage;
  hr = props->SetMediaType(mt);
  if (SUCCEEDED(hr)) hr = profile->ReconfigStream(stream.Get());
  if (FAILED(hr)) return hr;
  return writer->ConfigureFilterUsingProfile(profile);
}

}  // namespace

HRESULT ConfigureAudioVideoProfile(IWMProfile* profile, IConfigAsfWriter* writer, int width, int height, int fps,
                                   int bitRate) {
  return ConfigureVideoStream(profile, writer, 1, width, height, fps, bitRate);
}

HRESULT ConfigureVideoOnlyProfile(IWMProfile* profile, IConfigAsfWriter* writer, int width, int height, int fps,
                                  int bitRate) {
  if (!profile) return E_POINTER;
  DWORD count = 0;
  HRESULT hr = profile->GetStreamCount(&count);
  if (SUCCEEDED(hr) && count > 1) hr = profile->RemoveStreamByNumber(1);
  if (FAILED(hr)) return hr;
  return ConfigureVideoStream(profile, writer, 0, width, height, fps, bitRate);
}

bool FindAudioCaptureDevice(IBaseFilter** out) {
  if (!out) return false;
  *out = nullptr;
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                              devices.PutVoid())))
    return false;
  ComPtr<IEnumMoniker> list;
  if (devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, list.Put(), 0) != S_OK) return false;
  list->Reset();
  ComPtr<IMoniker> moniker;
  if (list->Next(1, moniker.Put(), nullptr) != S_OK) return true;
  ComPtr<IPropertyBag> bag;
  if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) {
    VARIANT name;
    VariantInit(&name);
    if (SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)))
      moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(out));
    VariantClear(&name);
  }
  return true;
}

HRESULT StopRecordingGraph(RecordingGraph* record, std::wstring* written) {
  if (!record) return E_POINTER;
  const HRESULT hr = record->control ? record->control->Stop() : S_FALSE;
  LPOLESTR name = nullptr;
  if (written && record->file && SUCCEEDED(record->file->GetCurFile(&name, nullptr)) && name) *written = name;
  CoTaskMemFree(name);
  ReleaseMember(record->file);
  // Everything a failed build left behind goes too, not only a built graph.
  ReleaseMember(record->builder);
  ReleaseMember(record->control);
  ReleaseMember(record->graph);
  ReleaseMember(record->source);
  return hr;
}

HRESULT BuildRecordingGraph(RecordingGraph* record, CShowVideoPro* preview, const wchar_t* path, int width,
                            int height, int fps, int bitRate) {
  if (!record || !path) return E_POINTER;
  if (record->graph || record->builder || record->control || record->source || record->file)
    StopRecordingGraph(record);
  if (width <= 0 || height <= 0 || fps <= 0 || bitRate <= 0) return E_INVALIDARG;

  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&record->graph));
  if (FAILED(hr)) return hr;
  hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                        reinterpret_cast<void**>(&record->builder));
  if (FAILED(hr)) return hr;
  hr = record->builder->SetFiltergraph(record->graph);
  if (FAILED(hr)) return hr;
  hr = record->graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&record->control));
  if (FAILED(hr)) return hr;

  auto* source = new (std::nothrow) CPushSourceVideo(width, height, fps);
  if (!source) return E_OUTOFMEMORY;
  record->source = source;  // the reference it was made with
  source->Pin()->SetPreview(preview);
  hr = record->graph->AddFilter(source, L"PushSourceVideo");
  if (FAILED(hr)) return hr;

  ComPtr<IBaseFilter> writer;
  hr = record->builder->SetOutputFileName(&MEDIASUBTYPE_Asf, path, writer.Put(), &record->file);
  if (FAILED(hr)) return hr;
  ComPtr<IConfigAsfWriter> config;
  hr = writer->QueryInterface(IID_IConfigAsfWriter, config.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IWMProfile> profile;

  ComPtr<IBaseFilter> audio;
  if (FindAudioCaptureDevice(audio.Put()) && audio) {
    hr = record->graph->AddFilter(audio.Get(), nullptr);
    if (FAILED(hr)) return hr;
    ComPtr<IBaseFilter> tee;
    hr = CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, tee.PutVoid());
    if (SUCCEEDED(hr)) hr = record->graph->AddFilter(tee.Get(), nullptr);
    if (FAILED(hr)) return hr;
    if (SUCCEEDED(config->GetCurrentProfile(profile.Put())) && profile) {
      hr = ConfigureAudioVideoProfile(profile.Get(), config.Get(), width, height, fps, bitRate);
      if (FAILED(hr)) return hr;
    }
    hr = record->builder->RenderStream(nullptr, nullptr, source, nullptr, writer.Get());
    if (FAILED(hr)) return hr;
    hr = record->builder->RenderStream(nullptr, &MEDIATYPE_Audio, audio.Get(), tee.Get(), writer.Get());
    if (FAILED(hr)) return hr;
  } else {
    // Declared at the recording's size: the samples are that size.
    if (SUCCEEDED(config->GetCurrentProfile(profile.Put())) && profile) {
      hr = ConfigureVideoOnlyProfile(profile.Get(), config.Get(), width, height, fps, bitRate);
      if (FAILED(hr)) return hr;
    }
    hr = record->builder->RenderStream(nullptr, &MEDIATYPE_Video, source, nullptr, writer.Get());
    if (FAILED(hr)) return hr;
  }
  return record->control->Run();
}
