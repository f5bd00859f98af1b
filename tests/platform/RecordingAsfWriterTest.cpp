// The ASF writer: its profile and its edits, the depths and types it takes,
// the capture graph builder's writer and stream rendering, and pacing on the
// manual clock, checked in files read back.
#include <cstring>

#include "platform/win/Encoding.h"
#include "tests/imaging/ImagingTestSupport.h"
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
  ComPtr<IWMStreamConfig> video;
  profile->GetStream(1, video.Put());
  video->SetBitrate(123456);
  ASSERT_EQ(config->ConfigureFilterUsingProfile(profile.Get()), S_OK);
  EXPECT_EQ(ProfileOf(config.Get())[1].bitrate, 500000u);
  ASSERT_EQ(profile->ReconfigStream(video.Get()), S_OK);
  ASSERT_EQ(config->ConfigureFilterUsingProfile(profile.Get()), S_OK);
  EXPECT_EQ(ProfileOf(config.Get())[1].bitrate, 123456u);

  // Without the sound stream the video stream is at index 0 and the writer has one pin.
  ASSERT_EQ(profile->RemoveStreamByNumber(1), S_OK);
  EXPECT_NE(profile->RemoveStreamByNumber(1), S_OK);
  ComPtr<IWMStreamConfig> first;
  ASSERT_EQ(profile->GetStream(0, first.Put()), S_OK);
  WORD number = 0;
  first->GetStreamNumber(&number);
  EXPECT_EQ(number, 2);
  ASSERT_EQ(config->ConfigureFilterUsingProfile(profile.Get()), S_OK);
  EXPECT_EQ(PinNames(g.writer.Get()), (std::vector<std::wstring>{L"Video Input 01"}));
  // A video stream cannot take a sound type.
  CMediaType pcm = vq::dshow::MakePcmType(44100, 1);
  EXPECT_EQ(first.As<IWMMediaProps>(IID_IWMMediaProps)->SetMediaType(&pcm), E_INVALIDARG);
}

// One 64 x 48 frame of a colour at each depth the writer takes, read back.
TEST(RecordingAsfWriter, EveryRgbDepthReadsBackInItsColour) {
  struct Depth {
    GUID subtype;
    int bits;
    uint32_t pixel;  // the colour (40, 160, 240) as a pixel of that depth
  };
  for (const Depth& d : {Depth{MEDIASUBTYPE_RGB32, 32, 0x00F0A028}, Depth{MEDIASUBTYPE_RGB24, 24, 0xF0A028},
                         Depth{MEDIASUBTYPE_RGB565, 16, (30u << 11) | (40u << 5) | 5u},
                         Depth{MEDIASUBTYPE_RGB555, 16, (30u << 10) | (20u << 5) | 5u},
                         Depth{MEDIASUBTYPE_RGB8, 8, 7}}) {
    const std::string path = Narrow(TempPath("depth.asf"));
    {
      vq::dshow::AsfMuxer muxer;
      vq::dshow::AsfVideoFormat f = vqtest::VideoFormat(64, 48, d.subtype, 1000000, 2000000);
      f.palette.assign(256, RGBQUAD{0, 0, 0, 0});
      f.palette[7] = RGBQUAD{40, 160, 240, 0};
      ASSERT_EQ(muxer.AddVideo(f), S_OK);
      ASSERT_EQ(muxer.Open(vq::Utf8ToWide(path)), S_OK);
      std::vector<BYTE> bits(size_t(64 * d.bits / 8) * 48);
      for (size_t i = 0; i < bits.size(); i += size_t(d.bits / 8)) std::memcpy(&bits[i], &d.pixel, size_t(d.bits / 8));
      EXPECT_EQ(muxer.WriteVideo(bits.data(), long(bits.size()), 0), S_OK);
      EXPECT_EQ(muxer.WriteVideo(bits.data(), long(bits.size()) - 1, 1000000), VFW_E_BUFFER_UNDERFLOW);
    }
    auto frames = vqtest::DecodeVideoFrames(path, 1);
    ASSERT_EQ(frames.size(), 1u) << d.bits;
    cv::Scalar mean = cv::mean(frames[0]);
    EXPECT_NEAR(mean[0], 40, 10) << d.bits;
    EXPECT_NEAR(mean[1], 160, 10) << d.bits;
    EXPECT_NEAR(mean[2], 240, 10) << d.bits;
  }
  WriterGraph g(TempPath("t.asf"));
  ComPtr<IPin> audio, video;
  ASSERT_EQ(g.writer->FindPin(L"Audio Input 01", audio.Put()), S_OK);
  ASSERT_EQ(g.writer->FindPin(L"Video Input 01", video.Put()), S_OK);
  CMediaType yuy2 = vq::dshow::MakeVideoType(MEDIASUBTYPE_YUY2, 64, 48, 1000000);
  CMediaType rgb24 = vq::dshow::MakeVideoType(MEDIASUBTYPE_RGB24, 64, 48, 1000000);
  CMediaType pcm = vq::dshow::MakePcmType(44100, 1);
  EXPECT_EQ(video->QueryAccept(&rgb24), S_OK);
  EXPECT_EQ(video->QueryAccept(&yuy2), S_FALSE);
  EXPECT_EQ(video->QueryAccept(&pcm), S_FALSE);
  EXPECT_EQ(audio->QueryAccept(&pcm), S_OK);
  EXPECT_EQ(audio->QueryAccept(&rgb24), S_FALSE);
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
    WriterGraph g(path);  // the default profile: 640 x 480 at 10 frames per second
    auto source = ComPtr<ColourSource>::Adopt(new ColourSource(640, 480, 1000000));
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
  EXPECT_EQ(video->width, 640);
  EXPECT_EQ(video->height, 480);
  EXPECT_EQ(video->packets, 30);
  auto frames = vqtest::DecodeVideoFrames(Narrow(path), 1);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_GT(cv::mean(frames[0](cv::Rect(0, 0, 640, 115)))[1], 245);  // the white top quarter
  cv::Scalar mean = cv::mean(frames[0](cv::Rect(0, 125, 640, 355)));
  EXPECT_NEAR(mean[0], 0x99, 6);  // blue
  EXPECT_NEAR(mean[1], 0x66, 6);
  EXPECT_NEAR(mean[2], 0x33, 6);
}

TEST(RecordingAsfWriter, AFullDiskIsReportedNotPassedOver) {
  vqplatform::ManualClockScope manual;
  WriterGraph g(TempPath("full.asf"));
  auto source = ComPtr<ColourSource>::Adopt(new ColourSource(640, 480, 1000000));
  g.Add(source.Get(), L"Source");
  ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, source.Get(), nullptr, g.writer.Get()), S_OK);
  imagingtest::FileSizeLimit full(10000);  // less than the 26 kB of these 3 s
  ASSERT_EQ(g.graph->Run(), S_OK);
  vqtest::WaitForSleepers(1);
  vqplatform::Clock::Advance(3000);
  // Written out once a second, the pictures meet the full disk while recording.
  long code = 0;
  LONG_PTR first = 0, second = 0;
  while (g.graph->GetEvent(&code, &first, &second, long(vqtest::kPatience.count() * 1000)) == S_OK &&
         code != EC_ERRORABORT) {
  }
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_TRUE(FAILED(g.graph->Stop())) << "the file could not be completed";
  // Nothing unplayable under the recording's name: what there is, is kept
  // under a name that says it was cut short.
  EXPECT_FALSE(std::filesystem::exists(vqtest::TempDir() / "full.asf"));
  EXPECT_TRUE(std::filesystem::exists(vqtest::TempDir() / "full.cut-short.asf"));
}

}  // namespace
