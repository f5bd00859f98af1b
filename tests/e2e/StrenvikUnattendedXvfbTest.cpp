// Hosts that want no user interface, through the real libStrenvik.so with a
// display at hand: an enable that finds no camera fails at once with its
// reason on the standard error stream and shows no box; nothing the source
// does reaches the host's standard output.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "tests/support/Waiting.h"

#include "tests/e2e/StrenvikXvfbFixture.h"
// Xlib's type name, not needed here, hides the manager's Status.
#undef Status

namespace {

using namespace strenviktest;

// While it lives, what the process writes to a descriptor goes to a file.
class CapturedDescriptor {
 public:
  CapturedDescriptor(int fd, const std::string& path) : fd_(fd), path_(path) {
    fflush(nullptr);
    saved_ = dup(fd);
    const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, fd);
    close(file);
  }
  ~CapturedDescriptor() { Stop(); }
  // Restores the descriptor; what was written.
  std::string Stop() {
    if (saved_ >= 0) {
      fflush(nullptr);
      dup2(saved_, fd_);
      close(saved_);
      saved_ = -1;
    }
    return vqtest::ReadFile(path_);
  }

 private:
  int fd_;
  std::string path_;
  int saved_ = -1;
};

using StrenvikUnattended = StrenvikXvfb;

TEST_F(StrenvikUnattended, EnableWithoutCameraFailsAtOnceWithoutABox) {
  unsetenv("VQ_VIRTUAL_CAMERA");  // no camera at all
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  CapturedDescriptor out(1, vqtest::TempPath("stdout.txt").string());
  CapturedDescriptor err(2, vqtest::TempPath("stderr.txt").string());
  const auto start = std::chrono::steady_clock::now();
  TW_USERINTERFACE ui{0, 0, nullptr};
  std::future<TW_UINT16> enable =
      std::async(std::launch::async, [&] { return Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui); });
  // Generous for a loaded machine; a box waiting for a person never returns.
  const bool returned = enable.wait_for(60s) == std::future_status::ready;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  const bool boxShown = OtherWindow(81, 0).has_value();
  // So that the test ends.
  if (!returned) vqtest::KnownMessageBox(L"未找到USB摄像头设备，或者设备被其他软件占用", MB_ICONEXCLAMATION).Press(server);
  const TW_UINT16 result = enable.get();
  const std::string written = out.Stop();
  const std::string reasons = err.Stop();
  std::cerr << "unattended enable without a camera returned after " << elapsed.count() << " ms\n";
  RecordProperty("unattended_enable_without_camera_ms", static_cast<int>(elapsed.count()));

  EXPECT_TRUE(returned) << "an unattended enable waits for nobody";
  EXPECT_FALSE(boxShown) << "no message box";
  EXPECT_EQ(result, TWRC_FAILURE);
  EXPECT_EQ(manager.Status(host), TWCC_OPERATIONERROR);
  EXPECT_NE(reasons.find("未找到USB摄像头设备"), std::string::npos) << reasons;
  EXPECT_EQ(written, "") << "nothing on the host's standard output";
  EXPECT_EQ(manager.CloseDS(host), TWRC_SUCCESS) << "the source is back in state 4";
}

TEST_F(StrenvikUnattended, GreyAndBlackAndWhitePagesWriteNothingToStandardOutput) {
  CapturedDescriptor out(1, vqtest::TempPath("stdout.txt").string());
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  for (TW_UINT16 pixelType : {TWPT_GRAY, TWPT_BW}) {
    ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, pixelType), TWRC_SUCCESS);
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(ReceiveAll().size(), 1u);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_EQ(out.Stop(), "");
}

}  // namespace

namespace {

// Hosts that wait for the announcement without pausing: one asks DAT_EVENT
// again and again (its answer may carry it), one spins on the flag its
// callback sets, calling nothing. Each is told of every page, once.
TEST_F(StrenvikUnattended, TightlyPollingHostsAreToldOfTheirPages) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  for (const bool askEvents : {true, false}) {
    SCOPED_TRACE(askEvents ? "DAT_EVENT" : "the callback's flag");
    const int before = xferReady;
    int answered = 0;
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    const auto end = std::chrono::steady_clock::now() + vqtest::kPatience;
    for (long turn = 0; xferReady == before && answered == 0; ++turn) {
      if (askEvents) {
        TW_EVENT event{nullptr, MSG_NULL};
        if (Send(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event) == TWRC_DSEVENT && event.TWMessage == MSG_XFERREADY)
          ++answered;
      }
      if (turn % (1 << 20) == 0 && std::chrono::steady_clock::now() > end) break;
    }
    EXPECT_EQ(answered + xferReady - before, 1) << "told once";
    EXPECT_EQ(ReceiveAll().size(), 1u);
    // Nothing more is held for the host.
    TW_EVENT event{nullptr, MSG_NULL};
    EXPECT_EQ(Send(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_NULL);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  EXPECT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
}

// A host that loads the library itself keeps it loaded between its sources:
// every source it opens, not only the first, takes its pages unattended
// (each camera window waits for its own camera's first frames).
TEST_F(StrenvikUnattended, EverySourceOfAProcessScansUnattended) {
  std::atomic<int> told{0};
  auto route = twaintest::SourceRoute::Directly(STRENVIK_LIBRARY_PATH, [&](TW_UINT16 message) {
    if (message == MSG_XFERREADY) ++told;
  });
  for (int source = 0; source < 2; ++source) {
    SCOPED_TRACE("source " + std::to_string(source + 1));
    ASSERT_EQ(route->Open(), TWRC_SUCCESS);
    const int before = told;
    TW_USERINTERFACE ui{0, 0, nullptr};
    ASSERT_EQ(route->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_TRUE(vqtest::WaitFor([&] { return told > before; }));
    TW_HANDLE dib = nullptr;
    EXPECT_EQ(route->Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
    TestManager::EntryPoints().DSM_MemFree(dib);
    TW_PENDINGXFERS pending{};
    EXPECT_EQ(route->Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(route->Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(route->Close(), TWRC_SUCCESS);
  }
}

}  // namespace
