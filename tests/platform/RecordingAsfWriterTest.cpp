// The ASF writer: its profile and the edits the recording makes to it, the
// types its pins take, the capture graph builder's writer and stream
// rendering, pacing on the manual clock, and files that read back.
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/win/Encoding.h"
#include "tests/platform/RecordingTestSupport.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"

namespace {

using vq::dshow::WmStream;
using vqtest::ColourSource;
using vqtest::WriterGraph;

std::wstring TempPath(const char* name) { return vq::Utf8ToWide((vqtest::TempDir() / name).string()); }
std::string Narrow(const std::wstring& path) { return vq::WideToUtf8(path); }

std::vector<WmStream> ProfileOf(IConfigAsfWriter* writer) {
  ComPtr<IWMProfile> profile;
  EXPECT_EQ(writer->GetCurrentProfile(profile.Put()), S_OK);
  std::vector<WmStream> streams;
  EXPECT_EQ(vq::dshow::ReadWmProfile(profile.Get(), &streams), S_OK);
  return streams;
}

std::vector<std::wstring> PinNames(IBaseFilter* filter) {
  std::vector<std::wstring> names;
  ComPtr<IEnumPins> pins;
  filter->EnumPins(pins.Put());
  IPin* pin = nullptr;
  while (pins->Next(1, &pin, nullptr) == S_OK) {
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    info.pFilter->Release();
    names.push_back(info.achName);
    pin->Release();
  }
  return names;
}

// The edit the recording makes: bit rate, size and frame time of a video stream.
void EditVideoStream(IWMProfile* profile, DWORD index, int width, int height, REFERENCE_TIME frameTime) {
  ComPtr<IWMStreamConfig> stream;
  ASSERT_EQ(profile->GetStream(index, stream.Put()), S_OK);
  ASSERT_EQ(stream->SetBitrate(462500), S_OK);
  auto props = stream.As<IWMVideoMediaProps>(IID_IWMVideoMediaProps);
  ASSERT_TRUE(props);
  DWORD size = 0;
  ASSERT_EQ(props->GetMediaType(nullptr, &size), S_OK);
  std::vector<BYTE> buffer(size);
  auto* mt = reinterpret_cast<WM_MEDIA_TYPE*>(buffer.data());
  ASSERT_EQ(props->GetMediaType(mt, &size), S_OK);
  auto* vih = reinterpret_cast<WMVIDEOINFOHEADER*>(mt->pbFormat);
  vih->AvgTimePerFrame = frameTime;
  vih->bmiHeader.biWidth = width;
  vih->bmiHeader.biHeight = height;
  vih->bmiHeader.biSizeImage = GetBitmapSize(&vih->bmiHeader);
  vih->rcSource = vih->rcTarget = RECT{0, 0, width, height};
  vih->dwBitRate = 462500;
  ASSERT_EQ(props->SetMediaType(mt), S_OK);
  ASSERT_EQ(profile->ReconfigStream(stream.Get()), S_OK);
}

TEST(RecordingAsfWriter, DefaultProfileAndItsEdits) {
  WriterGraph g(TempPath("p.asf"));
  auto config = g.Config();
  auto streams = ProfileOf(config.Get());
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].type, WMMEDIATYPE_Audio);
  EXPECT_EQ(streams[0].number, 1);
  EXPECT_EQ(streams[1].type, WMMEDIATYPE_Video);
  EXPECT_EQ(streams[1].number, 2);
  EXPECT_EQ(PinNames(g.writer.Get()), (std::vector<std::wstring>{L"Audio Input 01", L"Video Input 01"}));

  ComPtr<IWMProfile> profile;
  config->GetCurrentProfile(profile.Put());
  // A stream taken out is a copy until it is put back.
  ComPtr<IWMStreamConfig> loose;
  profile->GetStream(1, loose.Put());
  loose->SetBitrate(1);
  EditVideoStream(profile.Get(), 1, 1280, 960, 1000000);
  ASSERT_EQ(config->ConfigureFilterUsingProfile(profile.Get()), S_OK);
  streams = ProfileOf(config.Get());
  EXPECT_EQ(streams[1].bitrate, 462500u);
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(streams[1].mediaType);
  ASSERT_NE(vih, nullptr);
  EXPECT_EQ(vih->bmiHeader.biWidth, 1280);
  EXPECT_EQ(vih->bmiHeader.biHeight, 960);
  EXPECT_EQ(vih->AvgTimePerFrame, 1000000);
  EXPECT_EQ(vih->bmiHeader.biSizeImage, 1280u * 960u * 3u);

  // Without the sound stream the video stream is at index 0 and the writer has one pin.
  ASSERT_EQ(profile->RemoveStreamByNumber(1), S_OK);
  EXPECT_NE(profile->RemoveStreamByNumber(1), S_OK);
  DWORD count = 0;
  profile->GetStreamCount(&count);
  ASSERT_EQ(count, 1u);
  ComPtr<IWMStreamConfig> first;
  profile->GetStream(0, first.Put());
  WORD number = 0;
  first->GetStreamNumber(&number);
  EXPECT_EQ(number, 2);
  ASSERT_EQ(config->ConfigureFilterUsingProfile(profile.Get()), S_OK);
  EXPECT_EQ(PinNames(g.writer.Get()), (std::vector<std::wstring>{L"Video Input 01"}));

  // A stream of the wrong kind or a video stream without a frame time is refused.
  ComPtr<IWMStreamConfig> video;
  profile->GetStream(0, video.Put());
  auto props = video.As<IWMMediaProps>(IID_IWMMediaProps);
  CMediaType audio = vq::dshow::MakePcmType(44100, 1);
  EXPECT_EQ(props->SetMediaType(&audio), E_INVALIDARG);
  EditVideoStream(profile.Get(), 0, 1280, 960, 0);
  EXPECT_EQ(config->ConfigureFilterUsingProfile(profile.Get()), E_INVALIDARG);
}

TEST(RecordingAsfWriter, PinsTakeRgbVideoAndPcmSound) {
  WriterGraph g(TempPath("t.asf"));
  ComPtr<IPin> audioPin, videoPin;
  ASSERT_EQ(g.writer->FindPin(L"Audio Input 01", audioPin.Put()), S_OK);
  ASSERT_EQ(g.writer->FindPin(L"Video Input 01", videoPin.Put()), S_OK);
  struct Case {
    int bits;
    DWORD compression;
    DWORD greenMask;
    GUID subtype;
  };
  for (const Case& c : {Case{32, BI_RGB, 0, MEDIASUBTYPE_RGB32}, Case{24, BI_RGB, 0, MEDIASUBTYPE_RGB24},
                        Case{16, BI_BITFIELDS, 0x07E0, MEDIASUBTYPE_RGB565},
                        Case{16, BI_BITFIELDS, 0x03E0, MEDIASUBTYPE_RGB555}, Case{8, BI_RGB, 0, MEDIASUBTYPE_RGB8}}) {
    VIDEOINFO vi{};
    vi.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, 48, 1, WORD(c.bits), c.compression, 0, 0, 0, 0, 0};
    vi.dwBitMasks[0] = c.greenMask == 0x07E0 ? 0xF800 : 0x7C00;
    vi.dwBitMasks[1] = c.greenMask;
    vi.dwBitMasks[2] = 0x001F;
    EXPECT_EQ(GetBitmapSubtype(&vi.bmiHeader), c.subtype) << c.bits;
    CMediaType mt;
    mt.SetType(&MEDIATYPE_Video);
    mt.SetSubtype(&c.subtype);
    mt.SetFormatType(&FORMAT_VideoInfo);
    mt.SetFormat(reinterpret_cast<const BYTE*>(&vi), sizeof(vi));
    EXPECT_EQ(videoPin->QueryAccept(&mt), S_OK) << c.bits;
    EXPECT_EQ(audioPin->QueryAccept(&mt), S_FALSE) << c.bits;
    // A subtype that does not match its bitmap header is refused.
    mt.SetSubtype(c.bits == 24 ? &MEDIASUBTYPE_RGB32 : &MEDIASUBTYPE_RGB24);
    EXPECT_EQ(videoPin->QueryAccept(&mt), S_FALSE) << c.bits;
  }
  CMediaType yuy2 = vq::dshow::MakeVideoType(MEDIASUBTYPE_YUY2, 64, 48, 1000000);
  EXPECT_EQ(videoPin->QueryAccept(&yuy2), S_FALSE);
  CMediaType pcm = vq::dshow::MakePcmType(44100, 1);
  EXPECT_EQ(audioPin->QueryAccept(&pcm), S_OK);
  EXPECT_EQ(videoPin->QueryAccept(&pcm), S_FALSE);
  EXPECT_EQ(GetBitmapSize(&vq::dshow::VideoInfo(yuy2)->bmiHeader), 64u * 48u * 2u);
}

TEST(RecordingAsfWriter, OutputFileNameAndRenderStreamTryEveryFreeInput) {
  const std::wstring path = TempPath("r.asf");
  WriterGraph g(path);
  ComPtr<IBaseFilter> found;
  ASSERT_EQ(g.graph->FindFilterByName(L"ASF Writer", found.Put()), S_OK);
  EXPECT_EQ(found.Get(), g.writer.Get());
  auto sink = g.writer.As<IFileSinkFilter>(IID_IFileSinkFilter);
  LPOLESTR name = nullptr;
  ASSERT_EQ(sink->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(std::wstring(name), path);
  CoTaskMemFree(name);
  ComPtr<IBaseFilter> other;
  EXPECT_EQ(g.builder->SetOutputFileName(&MEDIASUBTYPE_RGB24, path.c_str(), other.Put(), nullptr), E_INVALIDARG);

  // The sound input comes first; a video source still finds the video input.
  auto first = ComPtr<ColourSource>::Adopt(new ColourSource(64, 48, 1000000));
  auto second = ComPtr<ColourSource>::Adopt(new ColourSource(64, 48, 1000000));
  g.Add(first.Get(), L"First");
  g.Add(second.Get(), L"Second");
  ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, first.Get(), nullptr, g.writer.Get()), S_OK);
  ComPtr<IPin> videoPin, connected;
  g.writer->FindPin(L"Video Input 01", videoPin.Put());
  EXPECT_EQ(videoPin->ConnectedTo(connected.Put()), S_OK);
  // Only the sound input is left, and it refuses video.
  EXPECT_TRUE(FAILED(g.builder->RenderStream(nullptr, &MEDIATYPE_Video, second.Get(), nullptr, g.writer.Get())));
}

TEST(RecordingAsfWriter, PacesVideoToTheManualClock) {
  const std::wstring path = TempPath("paced.asf");
  vqplatform::ManualClockScope manual;
  {
    WriterGraph g(path);
    ComPtr<IWMProfile> profile;
    g.Config()->GetCurrentProfile(profile.Put());
    profile->RemoveStreamByNumber(1);
    EditVideoStream(profile.Get(), 0, 1280, 960, 1000000);
    ASSERT_EQ(g.Config()->ConfigureFilterUsingProfile(profile.Get()), S_OK);
    auto source = ComPtr<ColourSource>::Adopt(new ColourSource(1280, 960, 1000000));
    g.Add(source.Get(), L"Source");
    ASSERT_EQ(g.builder->RenderStream(nullptr, &MEDIATYPE_Video, source.Get(), nullptr, g.writer.Get()), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    vqtest::WaitForSleepers(1);
    // The first sample waits for the end of its time.
    EXPECT_EQ(source->filled, 1);
    vqplatform::Clock::Advance(3000);
    vqtest::WaitForSleepers(1);
    EXPECT_EQ(source->filled, 31);  // 30 written, the 31st waiting
    ASSERT_EQ(g.graph->Stop(), S_OK);
    EXPECT_EQ(g.writer->Stop(), S_OK);  // a second stop changes nothing
  }
  vqtest::MediaFile file = vqtest::ReadMediaFile(Narrow(path));
  ASSERT_TRUE(file.readable);
  EXPECT_EQ(file.format, "asf");
  ASSERT_EQ(file.streams.size(), 1u);
  const vqtest::MediaStream* video = file.Video();
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->codec, "wmv2");
  EXPECT_EQ(video->width, 1280);
  EXPECT_EQ(video->height, 960);
  EXPECT_EQ(video->packets, 30);
  auto frames = vqtest::DecodeVideoFrames(Narrow(path), 1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_GT(cv::mean(frames[0](cv::Rect(0, 0, 1280, 230)))[1], 245);  // the white top quarter
  cv::Scalar mean = cv::mean(frames[0](cv::Rect(0, 250, 1280, 710)));
  EXPECT_NEAR(mean[0], 0x99, 6);  // blue
  EXPECT_NEAR(mean[1], 0x66, 6);
  EXPECT_NEAR(mean[2], 0x33, 6);
}

TEST(RecordingAsfWriter, StoppedHalfWayTheFileReadsBack) {
  const std::wstring path = TempPath("half.asf");
  {
    WriterGraph g(path);
    auto source = ComPtr<ColourSource>::Adopt(new ColourSource(320, 240, 1000000));
    g.Add(source.Get(), L"Source");
    ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, source.Get(), nullptr, g.writer.Get()), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    // Stopped on the real clock while a sample waits for its time.
    std::this_thread::sleep_for(std::chrono::milliseconds(450));
    EXPECT_EQ(g.graph->Stop(), S_OK);
    EXPECT_EQ(g.graph->Stop(), S_OK);
  }
  vqtest::MediaFile file = vqtest::ReadMediaFile(Narrow(path));
  ASSERT_TRUE(file.readable);
  ASSERT_NE(file.Video(), nullptr);
  EXPECT_GE(file.Video()->packets, 1);
  EXPECT_LE(file.Video()->packets, 5);
}

TEST(RecordingAsfWriter, AFileThatCannotBeMadeFailsTheRun) {
  std::ofstream(vqtest::TempDir() / "file") << "x";
  const std::wstring path = TempPath("file") + L"/r.asf";
  WriterGraph g(path);
  auto source = ComPtr<ColourSource>::Adopt(new ColourSource(64, 48, 1000000));
  g.Add(source.Get(), L"Source");
  ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, source.Get(), nullptr, g.writer.Get()), S_OK);
  EXPECT_TRUE(FAILED(g.graph->Run()));
  EXPECT_FALSE(static_cast<CSourceStream*>(source->GetPin(0))->IsStreaming());
  EXPECT_FALSE(std::filesystem::exists(Narrow(path)));
}

}  // namespace
