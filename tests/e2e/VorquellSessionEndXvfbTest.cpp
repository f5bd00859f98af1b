// The built Vorquell as the session ends under it, as a separate process:
// SIGTERM at idle, SIGTERM during a capture and while a capture's name
// dialog waits, SIGINT and SIGHUP, and SIGTERM and SIGHUP while the
// recording dialog is open, recording or not, each close it as its Exit
// does (exit status 0, Sys.ini saved with the right counter, a running
// recording finished, no socket left) and it says why in one line; the
// hidden work files a killed writer left are gone after the next start;
// and a display server that dies under it ends it the same way, without an
// abort.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <tuple>
#include <vector>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
// Xlib last: its macros clash with names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "tests/e2e/XServer.h"

extern char** environ;

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kTitle = "Vorquell V71.0";

// Starts a program with these variables added to the environment; its id.
pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& variables,
            int passedDescriptor = -1, const std::string& errorLog = "") {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!variables.count(entry.substr(0, entry.find('=')))) env.push_back(entry);
  }
  for (const auto& [name, value] : variables) env.push_back(name + "=" + value);
  std::vector<char*> envp, args;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> argvCopy = argv;
  for (std::string& a : argvCopy) args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The display server's number comes back through descriptor 3.
  if (passedDescriptor >= 0) posix_spawn_file_actions_adddup2(&actions, passedDescriptor, 3);
  if (!errorLog.empty())
    posix_spawn_file_actions_addopen(&actions, 2, errorLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The raw wait status once the process ended; -1 when it did not in time
// (it is killed then).
int WaitForEnd(pid_t pid, std::chrono::seconds limit = 120s) {
  int status = 0;
  const bool ended = vqtest::WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
  if (ended) return status;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
  return -1;
}

std::string TitleOf(Display* display, Window window) {
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False), name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, name, 0, 256, False, utf8, &type, &format, &count, &after, &data) ==
          Success && data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return title;
}

// The viewable top-level windows of the server, by title.
std::vector<std::pair<Window, std::string>> ShownWindows(Display* display) {
  std::vector<std::pair<Window, std::string>> shown;
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });  // windows may go while listed
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count; ++i) {
      XWindowAttributes a{};
      if (XGetWindowAttributes(display, children[i], &a) && a.map_state == IsViewable)
        shown.emplace_back(children[i], TitleOf(display, children[i]));
    }
    if (children) XFree(children);
  }
  return shown;
}

Window MainWindow(Display* display) {
  for (const auto& [window, title] : ShownWindows(display))
    if (title == kTitle) return window;
  return 0;
}

std::vector<fs::path> Matching(const fs::path& folder, const std::regex& pattern, bool recursive = false) {
  std::vector<fs::path> found;
  std::error_code error;
  if (!fs::exists(folder)) return found;
  auto check = [&](const fs::directory_entry& entry) {
    if (std::regex_match(entry.path().filename().string(), pattern)) found.push_back(entry.path());
  };
  if (recursive)
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) check(entry);
  else
    for (const auto& entry : fs::directory_iterator(folder, error)) check(entry);
  return found;
}

// The id of a process that has ended.
pid_t EndedProcess() {
  const pid_t child = fork();
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);
  return child;
}

class VorquellSessionEndXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    fs::create_directories(program_ / "icons");
    fs::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    fs::copy_file(VQ_ICON_DIR "/128.png", program_ / "icons" / "128.png");
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", Settings(0)));
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }
  // Prefix naming ABC from 37 (free naming when asked) into images_.
  std::string Settings(int nameType) const {
    return "[FILE]\nFOLDPATH=" + images_.string() + "\nPREFIX=ABC\nTypeofImageName=" + std::to_string(nameType) +
           "\n[IMAGE]\nINDEX=37\nDATEFOLDER=0\nDocCamWidth=640\nDocCamHeight=480\n";
  }
  // The built program on the virtual camera, its window on `display`.
  pid_t Start(const std::string& display = "") {
    std::map<std::string, std::string> variables{{"VQ_VIRTUAL_CAMERA", "sizes=640x480"},
                                                 {"VQ_PROGRAM_DIR", program_.string()},
                                                 {"VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR}};
    if (!display.empty()) variables["DISPLAY"] = display;
    return Spawn({VQ_PROGRAM_PATH}, variables, -1, (vqtest::TempDir() / "stderr.txt").string());
  }
  // Waits for the main window of a started program (which must not end first).
  Window WaitForWindow(Display* display, pid_t pid) {
    Window window = 0;
    int status = 0;
    EXPECT_TRUE(vqtest::WaitFor([&] { return (window = MainWindow(display)) || waitpid(pid, &status, WNOHANG) == pid; },
                                60s));
    EXPECT_NE(window, 0u) << "the program ended before its window showed";
    return window;
  }
  // The counter Sys.ini holds; -1 without the file. Sys.ini is removed
  // first where a test wants to see it written at the end.
  int SavedCounter() const {
    const std::string text = vqtest::ReadFile(program_ / "Sys.ini");
    std::smatch match;
    return std::regex_search(text, match, std::regex(R"(\nINDEX=(\d+)\n)")) ? std::stoi(match[1]) : -1;
  }
  size_t SocketsLeft() const {
    return Matching(getenv("XDG_RUNTIME_DIR"), std::regex(R"(.*\.sock)"), true).size();
  }
  std::vector<fs::path> Pages() const { return Matching(images_, std::regex(R"(ABC\d{5}\.jpg)")); }
  std::vector<fs::path> HiddenWorkFiles() const { return Matching(images_, std::regex(R"(\..*\.tmp.*)"), true); }
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
    return WaitForEnd(pid);
  }

  const fs::path program_ = vqtest::TempDir() / "program";
  const fs::path images_ = vqtest::TempDir() / "images";
  Display* display_ = nullptr;
};

TEST_F(VorquellSessionEndXvfbTest, EachSignalClosesTheProgramAsItsExitDoes) {
  for (auto [signal, name] : {std::pair{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGHUP, "SIGHUP"}}) {
    const pid_t pid = Start();
    ASSERT_GT(pid, 0);
    ASSERT_NE(WaitForWindow(display_, pid), 0u);
    EXPECT_EQ(SocketsLeft(), 1u) << "the program listens";
    const int status = EndWith(pid, signal);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << ", wait status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(SavedCounter(), 37) << "Sys.ini saved at the end";
    EXPECT_EQ(SocketsLeft(), 0u);
    ExpectToldWhy(name);
  }
}

TEST_F(VorquellSessionEndXvfbTest, TermDuringACaptureKeepsTheCounterOfWhatWasSavedAndLeavesNoWorkFile) {
  // Work files of writers killed mid-write, in the image folder, a date
  // folder under it, the data folder and the settings file's; one of a
  // writer still running.
  const pid_t ended = EndedProcess();
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
  Window window = WaitForWindow(display_, pid);
  ASSERT_NE(window, 0u);
  for (const fs::path& folder : {images_, images_ / "20240105", data, program_})
    EXPECT_FALSE(fs::exists(folder / stale)) << folder << ": removed at start";
  EXPECT_TRUE(fs::exists(images_ / live)) << "its writer runs";
  fs::remove(images_ / live);

  // Space, and the signal as soon as the page is on disk, while the capture
  // goes on to the strip and the counter: the counter saved counts it.
  XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  const KeyCode space = XKeysymToKeycode(display_, XK_space);
  XTestFakeKeyEvent(display_, space, True, CurrentTime);
  XTestFakeKeyEvent(display_, space, False, CurrentTime);
  XSync(display_, False);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !Pages().empty(); }));
  int status = EndWith(pid, SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Pages(), std::vector<fs::path>{images_ / "ABC00037.jpg"});
  EXPECT_EQ(SavedCounter(), 38);
  EXPECT_EQ(HiddenWorkFiles(), std::vector<fs::path>{});
  EXPECT_EQ(SocketsLeft(), 0u);

  // A capture that waits in its name dialog: the dialog goes, nothing is
  // saved, the program closes.
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", Settings(2)));
  pid = Start();
  ASSERT_GT(pid, 0);
  window = WaitForWindow(display_, pid);
  ASSERT_NE(window, 0u);
  XSetInputFocus(display_, window, RevertToParent, CurrentTime);
  XTestFakeKeyEvent(display_, space, True, CurrentTime);
  XTestFakeKeyEvent(display_, space, False, CurrentTime);
  XSync(display_, False);
  ASSERT_TRUE(vqtest::WaitFor([&] { return ShownWindows(display_).size() >= 2; })) << "the name dialog";
  status = EndWith(pid, SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Pages().size(), 1u);
  EXPECT_EQ(SavedCounter(), 37) << "as the settings had it";
  EXPECT_EQ(HiddenWorkFiles(), std::vector<fs::path>{});
  EXPECT_EQ(SocketsLeft(), 0u);
}

TEST_F(VorquellSessionEndXvfbTest, ADisplayServerThatDiesEndsTheProgramWithoutAnAbort) {
  // A display server of its own, since this one goes.
  int numberPipe[2];
  ASSERT_EQ(pipe(numberPipe), 0);
  const pid_t server = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, {},
                             numberPipe[1]);
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
  Display* own = XOpenDisplay(name.c_str());
  ASSERT_NE(own, nullptr);
  EXPECT_NE(WaitForWindow(own, pid), 0u);
  XCloseDisplay(own);

  fs::remove(program_ / "Sys.ini");
  kill(server, SIGTERM);
  WaitForEnd(server);
  const int status = WaitForEnd(pid);
  ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status << (WIFSIGNALED(status) ? " (killed by a signal)" : "");
  EXPECT_EQ(WEXITSTATUS(status), 0);
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
  std::optional<POINT> FindPicture(Window window, const std::string& picture) {
    vqtest::XServer server;
    const RECT client = server.ClientRectOnScreen(window);
    const vqtest::Screenshot shot = server.Grab(client);
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
  std::vector<fs::path> Recordings() const { return Matching(images_, std::regex(R"(ABC\d{5}\.asf)")); }
  // A recording under way lies under a hidden name until it is finished.
  std::vector<fs::path> RecordingsUnderWay() const {
    return Matching(images_, std::regex(R"(\.ABC\d{5}\.asf\.\d+\.recording)"));
  }
};

TEST_P(VorquellSessionEndInRecordingTest, EndsTheProgramAndKeepsTheCounter) {
  const auto [signal, recording] = GetParam();
  const pid_t pid = Start();
  ASSERT_GT(pid, 0);
  const Window window = WaitForWindow(display_, pid);
  ASSERT_NE(window, 0u);
  std::optional<POINT> record;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (record = FindPicture(window, "207.png")).has_value(); }))
      << "the recording button";
  vqtest::XServer server;
  server.Click(*record);
  Window dialog = 0;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    for (const auto& [shown, title] : ShownWindows(display_))
      if (title == "视频录制") dialog = shown;
    return dialog != 0;
  })) << "the recording dialog";
  if (recording) {
    // Return starts it (the dialog's default button).
    XSetInputFocus(display_, dialog, RevertToParent, CurrentTime);
    XSync(display_, False);
    server.PressKey(XK_Return);
    std::error_code error;
    ASSERT_TRUE(vqtest::WaitFor([&] {
      const auto found = RecordingsUnderWay();
      return found.size() == 1 && fs::file_size(found[0], error) > 0;
    })) << "a recording runs";
    server.Grab(server.ClientRectOnScreen(dialog)).SavePng(vqtest::ScreenshotPath("vorquell-recording-at-sigterm.png"));
  }
  const int status = EndWith(pid, signal);
  ASSERT_TRUE(WIFEXITED(status)) << "wait status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
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
