// The network source against a camera server on the loopback interface:
// the wire format byte for byte, opening and modes, resolution lists and
// their cache, streaming JPEG frames at every listed resolution, and
// servers that send truncated, oversized, random or no answers.
#include <chrono>
#include <random>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "capture/FrameHolder.h"
#include "capture/TcpRecords.h"
#include "capture/TcpRemoteData.h"
#include "platform/dshow/VirtualFrameSource.h"
#include "tests/capture/CameraFixture.h"
#include "tests/capture/TcpTestServer.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Waiting.h"

using vqtest::TcpRecord;
using vqtest::TcpReply;
using vqtest::TcpRequest;
using vqtest::TcpResponse;
using vqtest::TcpTestServer;

namespace {

const HWND kPreview = vqtest::FakeWindow(21);

std::vector<uint8_t> Jpeg(const cv::Mat& picture) {
  std::vector<uint8_t> bytes;
  cv::imencode(".jpg", picture, bytes);
  return bytes;
}

cv::Mat Picture(int w, int h) { return vq::dshow::RenderDeskWithSheet(cv::Size(w, h)); }

std::wstring AddressOf(const TcpTestServer& server) { return L"127.0.0.1:" + std::to_wstring(server.Port()); }

// A well-behaved server: three resolutions, frames at the one last set.
class CameraServer {
 public:
  CameraServer() : server_([this](const TcpRequest& r) { return Answer(r); }) {}
  TcpTestServer& Server() { return server_; }
  cv::Size Current() {
    std::lock_guard lock(lock_);
    return current_;
  }
  TcpReply Answer(const TcpRequest& r) {
    std::lock_guard lock(lock_);
    if (r.command == 0)
      return {TcpResponse({TcpRecord(0, "320*240"), TcpRecord(0, "640*480"), TcpRecord(0, "1024*768")})};
    if (r.command == 2) {
      int w = 0, h = 0;
      if (std::sscanf(r.text.c_str(), "%d*%d", &w, &h) == 2) current_ = cv::Size(w, h);
      return {TcpResponse({})};
    }
    if (!frames_.count(current_.area())) frames_[current_.area()] = Jpeg(Picture(current_.width, current_.height));
    return {TcpResponse({TcpRecord(1, frames_[current_.area()])}), false, 5};
  }

 private:
  std::mutex lock_;
  cv::Size current_{320, 240};
  std::map<int, std::vector<uint8_t>> frames_;
  TcpTestServer server_;
};

double MeanDifference(const cv::Mat& a, const cv::Mat& b) {
  cv::Mat d;
  cv::absdiff(a, b, d);
  cv::Scalar s = cv::mean(d);
  return (s[0] + s[1] + s[2]) / 3.0;
}

// Waits until the source holds a frame of the size; empty when none came.
cv::Mat WaitForSize(CTcpRemoteData& source, cv::Size size) {
  cv::Mat m;
  vqtest::WaitFor([&] { return (m = source.GetMat()).size() == size; });
  return m.size() == size ? m : cv::Mat();
}

class TcpSource : public ::testing::Test {
 protected:
  vqtest::MessageRecorder recorder_;
};

}  // namespace

TEST(TcpRecords, RequestsAreByteExact) {
  const std::vector<uint8_t> frame = vqcapture::BuildTcpRequest(vqcapture::kTcpGetFrame, 11);
  const uint8_t expected[] = {'2', '4', 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, ' ', ' ', ' ', ' ',
                              11,  0,   0, 0, 4, 0, 0, 0, ' ', ' ', ' ', ' '};
  EXPECT_EQ(frame, std::vector<uint8_t>(std::begin(expected), std::end(expected)));
  const std::vector<uint8_t> set = vqcapture::BuildTcpRequest(vqcapture::kTcpSetResolution, 20, "1280*960");
  ASSERT_EQ(set.size(), 32u);
  EXPECT_EQ(std::string(set.begin(), set.begin() + 4), std::string("28\0\0", 4));
  EXPECT_EQ(std::string(set.begin() + 12, set.begin() + 20), "1280*960");
  EXPECT_TRUE(vqcapture::BuildTcpRequest(vqcapture::kTcpSetResolution, 10, std::string(20, '1')).empty());
}

TEST(TcpRecords, ResponsesAreBoundedAndWalkedRecordByRecord) {
  size_t length = 0;
  const uint8_t field[12] = {'1', '2', '3', 'x', '9'};
  ASSERT_TRUE(vqcapture::ParseTcpResponseLength(field, 1024, &length));
  EXPECT_EQ(length, 123u);
  EXPECT_FALSE(vqcapture::ParseTcpResponseLength(field, 100, &length));  // larger than the buffer
  const uint8_t none[12] = {' ', '1'};
  EXPECT_FALSE(vqcapture::ParseTcpResponseLength(none, 1024, &length));
  const uint8_t huge[12] = {'9', '9', '9', '9', '9', '9', '9', '9', '9', '9', '9', '9'};
  EXPECT_FALSE(vqcapture::ParseTcpResponseLength(huge, SIZE_MAX, &length));
  const uint8_t zero[12] = {'0'};
  ASSERT_TRUE(vqcapture::ParseTcpResponseLength(zero, 1024, &length));
  EXPECT_EQ(length, 0u);

  std::vector<std::pair<int, int>> sizes;
  size_t jpegBytes = 0;
  vqcapture::TcpRecordHandlers h;
  h.resolution = [&](int w, int hh) { sizes.emplace_back(w, hh); };
  h.jpeg = [&](const uint8_t*, size_t n) { jpegBytes += n; };
  std::vector<uint8_t> body;
  for (const auto& r : {TcpRecord(0, "1600*1200"), TcpRecord(7, "skip"), TcpRecord(1, std::string(5, 'j')),
                        TcpRecord(0, "123456*7890"),  /* 11 characters: fits */
                        TcpRecord(0, "1234567*8901"), /* 12: refused */
                        TcpRecord(0, "640x480"), TcpRecord(0, "0*480"), TcpRecord(0, "*")})
    body.insert(body.end(), r.begin(), r.end());
  EXPECT_EQ(vqcapture::ParseTcpResponse(body.data(), body.size(), h), 8u);
  EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{1600, 1200}, {123456, 7890}}));
  EXPECT_EQ(jpegBytes, 5u);

  // A record reaching past the body, or with a negative length, ends the walk.
  auto cut = TcpRecord(1, std::string(10, 'j'));
  EXPECT_EQ(vqcapture::ParseTcpResponse(cut.data(), cut.size() - 1, h), 0u);
  std::vector<uint8_t> negative = {1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0};
  EXPECT_EQ(vqcapture::ParseTcpResponse(negative.data(), negative.size(), h), 0u);
  EXPECT_EQ(vqcapture::ParseTcpResponse(body.data(), 0, h), 0u);
}

TEST_F(TcpSource, OpensWithPortAndModeAndRemembersEarlyRequests) {
  CameraServer camera;
  CTcpRemoteData source;
  EXPECT_EQ(source.Open(AddressOf(camera.Server()).c_str(), L"3", nullptr, nullptr, false, 0), E_FAIL);
  EXPECT_EQ(source.GetState(), 0);
  EXPECT_EQ(source.Open(L"127.0.0.1:0", L"1", nullptr, nullptr, false, 0), E_FAIL);
  EXPECT_EQ(source.Open(L"not an address", L"1", nullptr, nullptr, false, 0), E_FAIL);

  EXPECT_EQ(source.SetResolution(1280, 960), S_FALSE);
  EXPECT_TRUE(camera.Server().Requests().empty());
  ASSERT_EQ(source.Open(AddressOf(camera.Server()).c_str(), L"1", nullptr, nullptr, false, 0), S_OK);
  EXPECT_EQ(source.GetState(), 1);
  EXPECT_EQ(source.Mode(), 11);
  EXPECT_EQ(source.Port(), camera.Server().Port());
  auto requests = camera.Server().Requests();
  ASSERT_EQ(requests.size(), 1u);  // the probe sends nothing, then the pending size
  EXPECT_EQ(requests[0].command, 2);
  EXPECT_EQ(requests[0].text, "1280*960");
  EXPECT_EQ(requests[0].lengthField, std::string("28\0\0", 4));
  EXPECT_EQ(requests[0].mode, 11);

  // A pending format index 0 is not applied; 2 is, as the third size of the list.
  CTcpRemoteData second;
  EXPECT_EQ(second.SetFormatIndex(0), S_FALSE);
  ASSERT_EQ(second.Open(AddressOf(camera.Server()).c_str(), L"20", nullptr, nullptr, false, 0), S_OK);
  EXPECT_EQ(camera.Server().Requests().size(), 1u);
  CTcpRemoteData third;
  EXPECT_EQ(third.SetFormatIndex(2), S_FALSE);
  ASSERT_EQ(third.Open(AddressOf(camera.Server()).c_str(), L"20", nullptr, nullptr, false, 0), S_OK);
  requests = camera.Server().Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].command, 0);
  EXPECT_EQ(requests[2].text, "1024*768");
  EXPECT_EQ(requests[2].mode, 20);
}

TEST_F(TcpSource, ResolutionListIsHeldPerAddressAndLastModeDigit) {
  CameraServer camera;
  CTcpRemoteData source;
  const std::wstring address = AddressOf(camera.Server());
  EXPECT_EQ(source.GetFormatCount(), -1);  // no server yet
  ASSERT_EQ(source.GetDeviceFormatCount(address.c_str(), L"10", 0), 3);
  EXPECT_EQ(source.GetDeviceFormatCount(address.c_str(), L"20", 0), 3);
  EXPECT_EQ(camera.Server().Requests().size(), 1u);  // 20 shares the list of 10
  int w = 0, h = 0;
  EXPECT_EQ(source.GetDeviceFormatSize(address.c_str(), L"0", 0, 1, &w, &h), 0);
  EXPECT_EQ(cv::Size(w, h), cv::Size(640, 480));
  EXPECT_EQ(source.GetDeviceFormatSize(address.c_str(), L"0", 0, 3, &w, &h), -1);
  EXPECT_EQ(camera.Server().Requests().size(), 1u);
  EXPECT_EQ(source.CountDevices(address.c_str(), L"11"), 1);  // another list
  EXPECT_EQ(camera.Server().Requests().size(), 2u);
  EXPECT_EQ(camera.Server().Requests()[1].mode, 11);
  EXPECT_EQ(source.CountDevices(L"127.0.0.1:1", L"10"), 0);  // nobody listens there
}

TEST_F(TcpSource, StreamsJpegFramesAtEveryListedResolution) {
  CameraServer camera;
  CTcpRemoteData source;
  source.SetNotifyWindow(kPreview, WM_VIDEO_FRAME);
  ASSERT_EQ(source.Open(AddressOf(camera.Server()).c_str(), L"0", nullptr, nullptr, false, 0), S_OK);
  ASSERT_TRUE(source.Run());
  EXPECT_EQ(source.GetState(), 2);
  EXPECT_TRUE(source.Run());
  const int count = source.GetFormatCount();
  ASSERT_EQ(count, 3);
  for (int i = 0; i < count; ++i) {
    int w = 0, h = 0;
    ASSERT_EQ(source.GetFormatSize(i, &w, &h), 0);
    ASSERT_EQ(source.SetFormatIndex(i), S_OK);
    cv::Mat frame = WaitForSize(source, cv::Size(w, h));
    ASSERT_FALSE(frame.empty()) << w << "x" << h;
    EXPECT_LT(MeanDifference(frame, Picture(w, h)), 4.0);
    int rw = 0, rh = 0;
    source.GetResolution(&rw, &rh);
    EXPECT_EQ(cv::Size(rw, rh), cv::Size(w, h));
    CDPrgb24 held;
    ASSERT_TRUE(source.GetFrame(&held));
    cv::Mat bottomRow(1, w, CV_8UC3, held.GetBuffer());
    EXPECT_LT(MeanDifference(bottomRow, frame.row(h - 1)), 1.0);
  }
  EXPECT_TRUE(recorder_.WaitFor(kPreview, WM_VIDEO_FRAME, 3));
  EXPECT_EQ(source.SetFormatIndex(3), E_FAIL);
  for (const auto& r : camera.Server().Requests()) EXPECT_EQ(r.mode, 10);
  EXPECT_TRUE(source.Stop());
  EXPECT_EQ(source.GetState(), 1);
}

TEST_F(TcpSource, GreyFramesAreHeldAsThreeChannels) {
  cv::Mat grey(240, 320, CV_8UC1, cv::Scalar(90));
  const auto jpeg = Jpeg(grey);
  TcpTestServer server([&](const TcpRequest&) { return TcpReply{TcpResponse({TcpRecord(1, jpeg)}), false, 5}; });
  CTcpRemoteData source;
  ASSERT_EQ(source.Open(AddressOf(server).c_str(), L"10", nullptr, nullptr, false, 0), S_OK);
  ASSERT_TRUE(source.Run());
  ASSERT_FALSE(WaitForSize(source, cv::Size(320, 240)).empty());
  CDPrgb24 held;
  ASSERT_TRUE(source.GetFrame(&held));
  EXPECT_NEAR(held.GetBuffer()[320 * 3 * 100 + 3 * 50 + 1], 90, 3);
}

TEST_F(TcpSource, SurvivesTruncatedOversizedRandomAndSilentServers) {
  const auto good = Jpeg(Picture(320, 240));
  std::mt19937 random(7);
  std::atomic<int> phase{0};
  TcpTestServer server([&](const TcpRequest& r) -> TcpReply {
    if (r.command != 1) return {TcpResponse({TcpRecord(0, "320*240")})};
    switch (phase.load()) {
      case 0: {  // a length that promises more than comes, then the end
        auto reply = TcpResponse({TcpRecord(1, good)});
        reply.resize(reply.size() / 2);
        return {reply, true};
      }
      case 1: {  // more than any buffer holds
        std::vector<uint8_t> reply(12, 0);
        std::memcpy(reply.data(), "99999999", 8);
        reply.resize(12 + 4096, 0xab);
        return {reply, true};
      }
      case 2: {  // noise
        std::vector<uint8_t> noise(200 + random() % 2000);
        for (auto& b : noise) b = uint8_t(random());
        if (random() % 2) {
          const std::string len = std::to_string(noise.size() - 12);
          std::memcpy(noise.data(), len.data(), len.size());
          noise[len.size()] = ' ';
        }
        return {noise, true};
      }
      case 3: {  // records that lie about their lengths, and a damaged JPEG
        auto broken = good;
        broken.resize(broken.size() / 3);
        std::vector<uint8_t> lying = TcpRecord(1, good);
        lying[4] = 0xff;
        lying[7] = 0x7f;
        return {TcpResponse({TcpRecord(1, broken), lying})};
      }
      case 4:  // silent
        return {{}, false, 0};
      default:
        return {TcpResponse({TcpRecord(1, good)}), false, 5};
    }
  });
  CTcpRemoteData source;
  ASSERT_EQ(source.Open(AddressOf(server).c_str(), L"10", nullptr, nullptr, false, 0), S_OK);
  ASSERT_TRUE(source.Run());
  for (int p = 0; p < 4; ++p) {
    phase = p;
    const int before = server.Connections();
    // Phase 3 answers well: the source stays connected.
    const auto until = std::chrono::steady_clock::now() + (p < 3 ? std::chrono::milliseconds(vqtest::kPatience) : std::chrono::milliseconds(300));
    while (server.Connections() < before + 3 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (p < 3) {
      EXPECT_GE(server.Connections(), before + 3) << "phase " << p;  // dropped and reconnected
    }
  }
  EXPECT_TRUE(source.GetMat().empty());  // the damaged JPEG left no frame
  phase = 5;
  EXPECT_FALSE(WaitForSize(source, cv::Size(320, 240)).empty());

  // A silent server does not hold up stopping: Stop does not wait out the
  // time the source gives a frame.
  const size_t asked = server.Requests().size();
  phase = 4;
  ASSERT_TRUE(vqtest::WaitFor([&] { return server.Requests().size() > asked; }));  // unanswered
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(source.Stop());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(CTcpRemoteData::kFrameTimeoutMs));

  // Control requests: an oversized answer fails the query and leaves the list empty.
  phase = 1;
  server.SetResponder([](const TcpRequest&) {
    std::vector<uint8_t> reply(12, 0);
    std::memcpy(reply.data(), "1025", 4);
    reply.resize(12 + 1025, 0);
    return TcpReply{reply, true};
  });
  EXPECT_EQ(source.GetDeviceFormatCount(AddressOf(server).c_str(), L"11", 0), -1);
}
