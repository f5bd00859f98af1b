// The built Vorquell as the session ends under it, as a separate process:
// SIGTERM at idle, SIGTERM during a capture and while a capture's name
// dialog waits, SIGINT and SIGHUP, and SIGTERM and SIGHUP while the
// recording dialog is open, recording or not, each close it as its Exit
// does (exit status 0, Sys.ini saved with the right counter, a running
// recording finished, no socket left) and it says why in one line; the
// hidden work files a killed writer left are gone after the next start;
// and a display server that dies under it ends it the same way, without an
// abort.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
// Xlib last: its macros clash with names above.
#include <X11/keysym.h>

#include "tests/e2e/XServer.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kTitle = "Vorquell V71.0";

class VorquellSessionEndXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    fs::create_directories(program_ / "icons");
    fs::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    fs::copy_file(VQ_ICON_DIR "/128.png", program_ / "icons" / "128.png");
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", Settings(0)));
  }
  // Prefix naming ABC from 37 (free naming when asked) into images_.
  std::string Settings(int nameType) const {
    return "[FILE]\nFOLDPATH=" + images_.string() + "\nPREFIX=ABC\nTypeofImageName=" + std::to_string(nameType) +
           "\n[IMAGE]\nINDEX=37\nDATEFOLDER=0\nDocCamWidth=640\nDocCamHeight=480\n";
  }
  // The built program on the virtual camera, its window on `display`.
  pid_t Start(const std::string& display = "") {
    vqtest::SpawnOptions options;
    options.set = {{"VQ_VIRTUAL_CAMERA", "sizes=640x480"},
                   {"VQ_PROGRAM_DIR", program_.string()},
                   {"VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR}};
    if (!display.empty()) options.set["DISPLAY"] = display;
    options.errorLog = (vqtest::TempDir() / "stderr.txt").string();
    return vqtest::Spawn({VQ_PROGRAM_PATH}, options);
  }
  // Waits for the main window of a started program (which must not end first).
  unsigned long WaitForWindow(vqtest::XServer& server, pid_t pid) {
    std::optional<vqtest::ShownX> window;
    EXPECT_TRUE(vqtest::WaitFor([&] { return (window = server.ShownTitled(kTitle)) || vqtest::HasEnded(pid); }));
    EXPECT_TRUE(window) << "the program ended before its window showed";
    return window ? window->window : 0;
  }
  // The counter Sys.ini holds; -1 without the file. Sys.ini is removed
  // first where a test wants to see it written at the end.
  int SavedCounter() const {
    const std::string text = vqtest::ReadFile(program_ / "Sys.ini");
    std::smatch match;
    return std::regex_search(text, match, std::regex(R"(\nINDEX=(\d+)\n)")) ? std::stoi(match[1]) : -1;
  }
  size_t SocketsLeft() const { return vqtest::FilesMatching(getenv("XDG_RUNTIME_DIR"), R"(.*\.sock)", true).size(); }
  std::vector<fs::path> Pages() const { return vqtest::FilesMatching(images_, R"(ABC\d{5}\.jpg)"); }
  std::vector<fs::path> HiddenWorkFiles() const { return vqtest::FilesMatching(images_, R"(\..*\.tmp.*)", true); }
  // What the program said on its error stream: one line naming why it ended.
  void ExpectToldWhy(const std::string& reason) const {
    const std::string said = vqtest::ReadFile(vqtest::TempDir() / "stderr.txt");
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("ended on " + reason), std::string::npos) << said;
  }
  // Closes the program with a signal; its wait status.
  int EndWith(pid_t pid, int signal) {
    // Written again at the end, or not at all.
    fs::remove(program_ / "Sys.ini");
    kill(pid, signal);
    return vqtest::WaitForEnd(pid);
  }
  // Space, typed into the program's main window.
  void PressSpace(unsigned long window) {
    server_.Focus(window);
    server_.PressKey(XK_space);
  }

  const fs::path program_ = vqtest::TempDir() / "program";
  const fs::path images_ = vqtest::TempDir() / "images";
  vqtest::XServer server_;
};

TEST_F(VorquellSessionEndXvfbTest, EachSignalClosesTheProgramAsItsExitDoes) {
  for (auto [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}}) {
    const pid_t pid = Start();
    ASSERT_GT(pid, 0);
    ASSERT_NE(WaitForWindow(server_, pid), 0u);
    EXPECT_EQ(SocketsLeft(), 1u) << "the program listens";
    const int status = EndWith(pid, signal);
    EXPECT_EQ(vqtest::ExitCode(status), 0) << "signal " << signal << ", wait status " << status;
    EXPECT_EQ(SavedCounter(), 37) << "Sys.ini saved at the end";
    EXPECT_EQ(SocketsLeft(), 0u);
    ExpectToldWhy(name);
  }
}

TEST_F(VorquellSessionEndXvfbTest, TermDuringACaptureKeepsTheCounterOfWhatWasSavedAndLeavesNoWorkFile) {
  // Work files of writers killed mid-write, in the image folder, a date
  // folder under it, the data folder and the settings file's; one of a
  // writer still running.
  const pid_t ended = vqtest::EndedProcess();
  const std::string stale = ".ABC00036.jpg." + std::to_string(ended) + "-0-5e1.tmp.jpg";
  const std::string live = ".ABC00035.jpg." + std::to_string(getpid()) + "-0-5e1.tmp.jpg";
  const fs::path data = fs::path(getenv("VQ_COMMON_APPDATA")) / "Ombrecht Software";
  for (const fs::path& folder : {images_, images_ / "20240105", data, program_}) {
    fs::create_directories(folder);
    ASSERT_TRUE(vqtest::WriteFile(folder / stale, "half a page"));
  }
  ASSERT_TRUE(vqtest::WriteFile(images_ / live, "being written"));

  pid_t pid = Start();
  ASSERT_GT(pid, 0);
  unsigned long window = WaitForWindow(server_, pid);
  ASSERT_NE(window, 0u);
  for (const fs::path& folder : {images_, images_ / "20240105", data, program_})
    EXPECT_FALSE(fs::exists(folder / stale)) << folder << ": removed at start";
  EXPECT_TRUE(fs::exists(images_ / live)) << "its writer runs";
  fs::remove(images_ / live);

  // Space, and the signal as soon as the page is on disk, while the capture
  // goes on to the strip and the counter: the counter saved counts it.
  PressSpace(window);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !Pages().empty(); }));
  int status = EndWith(pid, SIGTERM);
  EXPECT_EQ(vqtest::ExitCode(status), 0) << status;
  EXPECT_EQ(Pages(), std::vector<fs::path>{images_ / "ABC00037.jpg"});
  EXPECT_EQ(SavedCounter(), 38);
  EXPECT_EQ(HiddenWorkFiles(), std::vector<fs::path>{});
  EXPECT_EQ(SocketsLeft(), 0u);

  // A capture that waits in its name dialog: the dialog goes, nothing is
  // saved, the program closes.
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", Settings(2)));
  pid = Start();
  ASSERT_GT(pid, 0);
  window = WaitForWindow(server_, pid);
  ASSERT_NE(window, 0u);
  PressSpace(window);
  ASSERT_TRUE(vqtest::WaitFor([&] { return server_.ShownWindows().size() >= 2; })) << "the name dialog";
  status = EndWith(pid, SIGTERM);
  EXPECT_EQ(vqtest::ExitCode(status), 0) << status;
  EXPECT_EQ(Pages().size(), 1u);
  EXPECT_EQ(SavedCounter(), 37) << "as the settings had it";
  EXPECT_EQ(HiddenWorkFiles(), std::vector<fs::path>{});
  EXPECT_EQ(SocketsLeft(), 0u);
}

TEST_F(VorquellSessionEndXvfbTest, ADisplayServerThatDiesEndsTheProgramWithoutAnAbort) {
  // A display server of its own, since this one goes.
  int numberPipe[2];
  ASSERT_EQ(pipe(numberPipe), 0);
  vqtest::SpawnOptions passing;
  passing.descriptor3 = numberPipe[1];
  const pid_t server =
      vqtest::Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, passing);
  close(numberPipe[1]);
  ASSERT_GT(server, 0);
  std::string number;
  char c = 0;
  while (read(numberPipe[0], &c, 1) == 1 && c != '\n') number += c;
  close(numberPipe[0]);
  ASSERT_FALSE(number.empty()) << "Xvfb did not start";
  const std::string name = ":" + number;

  const pid_t pid = Start(name);
  ASSERT_GT(pid, 0);
  {
    vqtest::XServer own(name);
    ASSERT_TRUE(own.Connected());
    EXPECT_NE(WaitForWindow(own, pid), 0u);
  }
  fs::remove(program_ / "Sys.ini");
  kill(server, SIGTERM);
  vqtest::WaitForEnd(server);
  const int status = vqtest::WaitForEnd(pid);
  EXPECT_EQ(vqtest::ExitCode(status), 0) << "wait status " << status;
  EXPECT_EQ(SavedCounter(), 37) << "Sys.ini saved at the end";
  EXPECT_EQ(SocketsLeft(), 0u);
  ExpectToldWhy("the loss of the display");
}

// The recording dialog open, recording or not, when the session ends: the
// program ends as its Exit does, a running recording is finished, and the
// reason is told in one line.
class VorquellSessionEndInRecordingTest : public VorquellSessionEndXvfbTest,
                                          public ::testing::WithParamInterface<std::tuple<int, bool>> {
 protected:
  // Where the main window shows a button's picture, found as a user's eye
  // finds it; its middle on the screen.
  std::optional<POINT> FindPicture(unsigned long window, const std::string& picture) {
    const RECT client = server_.ClientRectOnScreen(window);
    const vqtest::Screenshot shot = server_.Grab(client);
    if (shot.pixels.empty()) return std::nullopt;
    cv::Mat screen(shot.height, shot.width, CV_8UC4, const_cast<uint32_t*>(shot.pixels.data())), bgr;
    cv::cvtColor(screen, bgr, cv::COLOR_BGRA2BGR);
    const cv::Mat wanted = cv::imread(std::string(VQ_SKIN_BITMAP_DIR) + "/" + picture, cv::IMREAD_COLOR);
    if (wanted.empty() || wanted.cols > bgr.cols || wanted.rows > bgr.rows) return std::nullopt;
    cv::Mat score;
    cv::matchTemplate(bgr, wanted, score, cv::TM_SQDIFF_NORMED);
    double best = 1;
    cv::Point at;
    cv::minMaxLoc(score, &best, nullptr, &at);
    if (best > 0.02) return std::nullopt;
    return POINT{client.left + at.x + wanted.cols / 2, client.top + at.y + wanted.rows / 2};
  }
  std::vector<fs::path> Recordings() const { return vqtest::FilesMatching(images_, R"(ABC\d{5}\.asf)"); }
  // A recording under way lies under a hidden name until it is finished.
  std::vector<fs::path> RecordingsUnderWay() const {
    return vqtest::FilesMatching(images_, R"(\.ABC\d{5}\.asf\.\d+-s\d+\.recording)");
  }
};

TEST_P(VorquellSessionEndInRecordingTest, EndsTheProgramAndKeepsTheCounter) {
  const auto [signal, recording] = GetParam();
  const pid_t pid = Start();
  ASSERT_GT(pid, 0);
  const unsigned long window = WaitForWindow(server_, pid);
  ASSERT_NE(window, 0u);
  std::optional<POINT> record;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (record = FindPicture(window, "207.png")).has_value(); }))
      << "the recording button";
  server_.Click(*record);
  std::optional<vqtest::ShownX> dialog;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (dialog = server_.ShownTitled("视频录制")).has_value(); }))
      << "the recording dialog";
  if (recording) {
    // Return starts it (the dialog's default button).
    server_.Focus(dialog->window);
    server_.PressKey(XK_Return);
    std::error_code error;
    ASSERT_TRUE(vqtest::WaitFor([&] {
      const auto found = RecordingsUnderWay();
      return found.size() == 1 && fs::file_size(found[0], error) > 0;
    })) << "a recording runs";
    server_.Grab(dialog->place).SavePng(vqtest::ScreenshotPath("vorquell-recording-at-sigterm.png"));
  }
  const int status = EndWith(pid, signal);
  EXPECT_EQ(vqtest::ExitCode(status), 0) << "wait status " << status;
  EXPECT_EQ(SavedCounter(), 38) << "the recording command took its number";
  if (recording) {
    ASSERT_EQ(Recordings().size(), 1u);
    EXPECT_EQ(RecordingsUnderWay(), std::vector<fs::path>{}) << "finished under its name";
    const vqtest::MediaFile media = vqtest::ReadMediaFile(Recordings()[0].string());
    EXPECT_TRUE(media.readable);
    ASSERT_NE(media.Video(), nullptr);
    EXPECT_GT(media.Video()->packets, 0);
  } else {
    EXPECT_EQ(Recordings(), std::vector<fs::path>{});
  }
  ExpectToldWhy(signal == SIGTERM ? "SIGTERM" : "SIGHUP");
}

INSTANTIATE_TEST_SUITE_P(Signals, VorquellSessionEndInRecordingTest,
                         ::testing::Combine(::testing::Values(SIGTERM, SIGHUP), ::testing::Values(false, true)));

}  // namespace
