// The recording graph over a preview of synthetic pictures: what its files
// hold with and without a sound input, a recording stopped half way, the
// profile edits, and what a failed build leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "capture/RecordingGraph.h"
#include "platform/win/Clock.h"
#include "platform/win/Encoding.h"
#include "tests/capture/PicturePreview.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"

namespace {

class RecordingGraphTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    // Wide pictures: black bars of 120 rows above and below at 1280 x 960.
    preview_.SetPicture(cv::Mat(1080, 1920, CV_8UC3, cv::Scalar(200, 120, 40)));
  }
  void TearDown() override {
    StopRecordingGraph(&record_);
    CoUninitialize();
  }
  std::string Path(const char* name) const { return (vqtest::TempDir() / name).string(); }
  HRESULT Build(const std::string& path) {
    return BuildRecordingGraph(&record_, &preview_, vq::Utf8ToWide(path).c_str(), 1280, 960, 10, 462500);
  }
  // Runs the manual clock on by whole frames, waiting each time until the
  // streaming threads sleep again.
  static void Advance(int frames, size_t sleepers) {
    for (int i = 0; i < frames; ++i) {
      vqplatform::Clock::Advance(100);
      ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(sleepers, vqtest::kPatience));
    }
  }

  vqtest::PicturePreview preview_;
  RecordingGraph record_{};
};

TEST_F(RecordingGraphTest, WithTheVirtualMicrophoneTheFileHoldsPictureAndSound) {
  setenv("VQ_VIRTUAL_AUDIO", "1", 1);
  const std::string path = Path("both.asf");
  {
    vqplatform::ManualClockScope manual;
    ASSERT_EQ(Build(path), S_OK);
    ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(2, vqtest::kPatience));  // picture and sound
    Advance(30, 2);
    EXPECT_EQ(StopRecordingGraph(&record_), S_OK);
  }
  EXPECT_EQ(record_.graph, nullptr);
  EXPECT_EQ(record_.control, nullptr);
  EXPECT_EQ(record_.source, nullptr);

  vqtest::MediaFile file = vqtest::ReadMediaFile(path);
  ASSERT_TRUE(file.readable);
  EXPECT_EQ(file.format, "asf");
  ASSERT_EQ(file.streams.size(), 2u);
  const vqtest::MediaStream* video = file.Video();
  const vqtest::MediaStream* sound = file.Audio();
  ASSERT_TRUE(video && sound);
  EXPECT_EQ(video->codec, "wmv2");
  EXPECT_EQ(video->width, 1280);
  EXPECT_EQ(video->height, 960);
  EXPECT_NEAR(video->frameRate, 10.0, 0.01);
  EXPECT_EQ(video->packets, 30);  // 3 s at 10 frames per second
  EXPECT_EQ(sound->codec, "wmav2");
  EXPECT_EQ(sound->sampleRate, 44100);
  EXPECT_EQ(sound->packets, 65);  // 3 s of 44.1 kHz in frames of 2048

  auto frames = vqtest::DecodeVideoFrames(path, 1);
  ASSERT_EQ(frames.size(), 1u);
  const cv::Mat& f = frames[0];
  EXPECT_LT(cv::mean(f(cv::Rect(0, 0, 1280, 110)))[0], 8);    // bar above
  EXPECT_LT(cv::mean(f(cv::Rect(0, 850, 1280, 110)))[1], 8);  // bar below
  cv::Scalar middle = cv::mean(f(cv::Rect(100, 200, 1080, 560)));
  EXPECT_NEAR(middle[0], 200, 8);
  EXPECT_NEAR(middle[1], 120, 8);
  EXPECT_NEAR(middle[2], 40, 8);
}

TEST_F(RecordingGraphTest, WithoutSoundOneVideoStreamAtTheRecordingSize) {
  const std::string path = Path("video.asf");
  {
    vqplatform::ManualClockScope manual;
    ASSERT_EQ(Build(path), S_OK);
    ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience));
    Advance(5, 1);
    EXPECT_EQ(StopRecordingGraph(&record_), S_OK);
  }
  vqtest::MediaFile file = vqtest::ReadMediaFile(path);
  ASSERT_TRUE(file.readable);
  ASSERT_EQ(file.streams.size(), 1u);
  EXPECT_EQ(file.streams[0].codec, "wmv2");
  EXPECT_EQ(file.streams[0].width, 1280);
  EXPECT_EQ(file.streams[0].height, 960);
  EXPECT_EQ(file.streams[0].packets, 5);
}

TEST_F(RecordingGraphTest, StoppedHalfWayTheFileIsComplete) {
  setenv("VQ_VIRTUAL_AUDIO", "1", 1);
  const std::string path = Path("half.asf");
  ASSERT_EQ(Build(path), S_OK);
  // Stopped on the real clock once two frames are written, with the third
  // being filled or waiting for its time.
  const auto patience = std::chrono::steady_clock::now() + vqtest::kPatience;
  while (preview_.calls < 3 && std::chrono::steady_clock::now() < patience)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(StopRecordingGraph(&record_), S_OK);
  EXPECT_EQ(StopRecordingGraph(&record_), S_FALSE);
  vqtest::MediaFile file = vqtest::ReadMediaFile(path);
  ASSERT_TRUE(file.readable);
  ASSERT_EQ(file.streams.size(), 2u);
  EXPECT_GE(file.Video()->packets, 2);
  EXPECT_GE(file.Audio()->packets, 1);
}

TEST_F(RecordingGraphTest, BadRequestsAndFailedBuildsLeaveNothingBehind) {
  EXPECT_EQ(StopRecordingGraph(&record_), S_FALSE);
  EXPECT_EQ(BuildRecordingGraph(&record_, &preview_, L"x.asf", 1280, 960, 0, 462500), E_INVALIDARG);
  EXPECT_EQ(BuildRecordingGraph(&record_, &preview_, nullptr, 1280, 960, 10, 462500), E_POINTER);

  // The parent of the file is a file: the graph is made but cannot run.
  std::ofstream(Path("file")) << "x";
  EXPECT_TRUE(FAILED(Build(Path("file") + "/r.asf")));
  EXPECT_NE(record_.graph, nullptr);
  EXPECT_NE(record_.source, nullptr);
  EXPECT_EQ(StopRecordingGraph(&record_), S_OK);
  EXPECT_EQ(record_.graph, nullptr);
  EXPECT_EQ(record_.builder, nullptr);
  EXPECT_EQ(record_.source, nullptr);

  // A second build on the same record first stops the first graph.
  const std::string first = Path("first.asf"), second = Path("second.asf");
  ASSERT_EQ(Build(first), S_OK);
  ASSERT_EQ(Build(second), S_OK);
  EXPECT_TRUE(vqtest::ReadMediaFile(first).readable);
}

TEST_F(RecordingGraphTest, ProfileEditsForSoundAndForPictureOnly) {
  auto config = [](IWMProfile* profile, bool withSound) {
    struct Sink : IConfigAsfWriter {
      std::vector<vq::dshow::WmStream> streams;
      HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
      ULONG AddRef() override { return 2; }
      ULONG Release() override { return 1; }
      HRESULT ConfigureFilterUsingProfile(IWMProfile* p) override { return vq::dshow::ReadWmProfile(p, &streams); }
      HRESULT GetCurrentProfile(IWMProfile**) override { return E_NOTIMPL; }
    } sink;
    HRESULT hr = withSound ? ConfigureAudioVideoProfile(profile, &sink, 1280, 960, 15, 462500)
                           : ConfigureVideoOnlyProfile(profile, &sink, 1280, 960, 15, 462500);
    EXPECT_EQ(hr, S_OK);
    return sink.streams;
  };
  auto profile = ComPtr<IWMProfile>::Adopt(vq::dshow::CreateWmProfile(vq::dshow::DefaultAsfProfile()));
  auto both = config(profile.Get(), true);
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1].bitrate, 462500u);
  const VIDEOINFOHEADER* vih = vq::dshow::VideoInfo(both[1].mediaType);
  EXPECT_EQ(vih->bmiHeader.biWidth, 1280);
  EXPECT_EQ(vih->bmiHeader.biHeight, 960);
  EXPECT_EQ(vih->AvgTimePerFrame, 10000000 / 15);  // the samples' frame length
  EXPECT_EQ(vih->rcTarget.right, 1280);
  EXPECT_EQ(vih->dwBitRate, 462500u);
  EXPECT_EQ(both[1].mediaType.lSampleSize, 1280u * 960u * 3u);

  auto videoOnly = config(profile.Get(), false);
  ASSERT_EQ(videoOnly.size(), 1u);
  EXPECT_EQ(videoOnly[0].number, 2);
  EXPECT_EQ(vq::dshow::VideoInfo(videoOnly[0].mediaType)->bmiHeader.biWidth, 1280);
}

}  // namespace
