// Sound inputs: which ALSA devices count, the audio input category with and
// without the virtual microphone, and ALSA's capture path (on its "null"
// device, the one every machine has) into an ASF file.
#include <cstdlib>

#include "platform/dshow/AudioCaptureFilter.h"
#include "platform/dshow/DeviceEnumerator.h"
#include "platform/win/Encoding.h"
#include "tests/platform/RecordingTestSupport.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"

namespace {

std::vector<std::wstring> AudioCategory() {
  std::vector<std::wstring> names;
  auto devices = ComPtr<ICreateDevEnum>::Adopt(new CSystemDeviceEnum());
  ComPtr<IEnumMoniker> list;
  if (devices->CreateClassEnumerator(CLSID_AudioInputDeviceCategory, list.Put(), 0) != S_OK) return names;
  IMoniker* moniker = nullptr;
  while (list->Next(1, &moniker, nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid());
    VARIANT name;
    VariantInit(&name);
    EXPECT_EQ(bag->Read(L"FriendlyName", &name, nullptr), S_OK);
    names.push_back(name.bstrVal);
    VariantClear(&name);
    if (names.size() == 1) {
      ComPtr<IBaseFilter> filter;
      EXPECT_EQ(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.PutVoid()), S_OK);
      ComPtr<IPin> pin;
      EXPECT_EQ(filter->FindPin(L"Capture", pin.Put()), S_OK);
      EXPECT_EQ(vq::dshow::PinCategory(pin.Get()), PIN_CATEGORY_CAPTURE);
    }
    moniker->Release();
  }
  return names;
}

TEST(RecordingSound, AlsaNullIsNotACaptureDevice) {
  EXPECT_FALSE(vq::dshow::IsAlsaCaptureHint("null", nullptr));
  EXPECT_FALSE(vq::dshow::IsAlsaCaptureHint("null", "Input"));
  EXPECT_FALSE(vq::dshow::IsAlsaCaptureHint("dmix:CARD=PCH", "Output"));
  EXPECT_TRUE(vq::dshow::IsAlsaCaptureHint("default", nullptr));
  EXPECT_TRUE(vq::dshow::IsAlsaCaptureHint("dsnoop:CARD=PCH", "Input"));
  for (const auto& device : vq::dshow::AlsaCaptureDevices()) EXPECT_NE(device->Name(), "null");
}

TEST(RecordingSound, TheVirtualMicrophoneIsListedOnlyWhenSwitchedOn) {
  const size_t alsa = vq::dshow::AlsaCaptureDevices().size();
  CoInitialize(nullptr);
  auto without = AudioCategory();
  EXPECT_EQ(without.size(), alsa);
  setenv("VQ_VIRTUAL_AUDIO", "0", 1);
  EXPECT_EQ(AudioCategory().size(), alsa);
  setenv("VQ_VIRTUAL_AUDIO", "1", 1);
  auto with = AudioCategory();
  ASSERT_EQ(with.size(), alsa + 1);
  EXPECT_EQ(with.front(), L"Virtual Microphone");
  CoUninitialize();
}

TEST(RecordingSound, AlsaCapturePathRecordsIntoTheFile) {
  const std::string path = (vqtest::TempDir() / "sound.asf").string();
  vqplatform::ManualClockScope manual;
  {
    vqtest::WriterGraph g(vq::Utf8ToWide(path));
    auto sound = ComPtr<IBaseFilter>::Adopt(
        new CAudioCaptureFilter(vq::dshow::AlsaSoundDevice("null", L"Null")));
    auto video = ComPtr<vqtest::ColourSource>::Adopt(new vqtest::ColourSource(320, 240, 1000000));
    g.Add(sound.Get(), nullptr);
    g.Add(video.Get(), L"Video");
    ASSERT_EQ(g.builder->RenderStream(nullptr, nullptr, video.Get(), nullptr, g.writer.Get()), S_OK);
    ASSERT_EQ(g.builder->RenderStream(nullptr, &MEDIATYPE_Audio, sound.Get(), nullptr, g.writer.Get()), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    vqtest::WaitForSleepers(2);
    for (int i = 0; i < 10; ++i) {
      vqplatform::Clock::Advance(100);
      vqtest::WaitForSleepers(2);
    }
    ASSERT_EQ(g.graph->Stop(), S_OK);
  }
  vqtest::MediaFile file = vqtest::ReadMediaFile(path);
  ASSERT_TRUE(file.readable);
  ASSERT_EQ(file.streams.size(), 2u);
  // The profile's order: sound is stream 1.
  EXPECT_FALSE(file.streams[0].video);
  EXPECT_EQ(file.streams[0].codec, "wmav2");
  EXPECT_EQ(file.streams[0].sampleRate, 44100);
  // One second of sound in frames of 2048 samples, the last one padded.
  EXPECT_EQ(file.streams[0].packets, 22);
  EXPECT_EQ(file.streams[1].packets, 10);
}

}  // namespace
