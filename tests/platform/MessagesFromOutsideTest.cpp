// Careless or hostile programs of the same user, through the listener's
// socket: only windows made reachable, and only the messages they name,
// are served, whatever the parameters; the layer's own windows never are.
// The listener keeps a bounded number of connections, stays idle while
// clients sit on them and waits instead of spinning when descriptors run
// out. Sockets of programs that have ended go at the next start, live ones
// stay, and a program that calls exit() takes its own socket away.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/Controls.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/TestInput.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/LayerWindows.h"
#include "tests/support/PeerProgram.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ThreadTimes.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using vqtest::MessageLog;

fs::path Folder() { return fs::path(std::getenv("XDG_RUNTIME_DIR")) / "vq-windows"; }
fs::path SocketOf(pid_t pid) { return Folder() / (std::to_string(pid) + ".sock"); }

// One request as an outside script makes it; "failed" when nothing was answered.
std::string Ask(const std::string& line) {
  std::optional<std::string> answer = vqplatform::Request(SocketOf(getpid()).string(), line, 60000);
  return answer ? *answer : "failed";
}

std::string Handle(HWND hwnd) { return std::to_string(reinterpret_cast<uintptr_t>(hwnd)); }

// A connection to this program's socket that says nothing; -1 on failure.
int IdleClient() {
  const sockaddr_un address = vqplatform::SocketAddress(SocketOf(getpid()).string());
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    fd = -1;
  }
  return fd;
}

// Whether the program has closed its end (at once, without waiting).
bool ClosedByProgram(int fd) {
  pollfd p{fd, POLLIN, 0};
  char byte;
  return poll(&p, 1, 0) == 1 && recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

// The listener's processor time while nothing is asked of it for a second
// (the second only sets how long idleness is watched).
long IdleMilliseconds(const vqtest::ThreadCpu& listener) {
  const long before = listener.Milliseconds();
  std::this_thread::sleep_for(1s);
  return listener.Milliseconds() - before;
}

// A spinning thread would use most of the second watched.
constexpr long kIdleMs = 100;

class MessagesFromOutsideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLog::Clear();
    vqtest::RegisterTestClass();
    ASSERT_TRUE(listening_.Listening());
  }
  void TearDown() override { MessageLog::Clear(); }
  vqplatform::ProgramListenerScope listening_;
};

TEST_F(MessagesFromOutsideTest, IdleClientsAreBoundedAndDroppedWhileANewcomerIsAnswered) {
  vqtest::ThreadCpu listener("vq-listener");
  ASSERT_TRUE(listener.Found());
  HWND window = vqtest::MakeWindow(L"Reachable", nullptr, 0, WS_OVERLAPPED);
  ASSERT_TRUE(vqplatform::MakeReachableByPrograms(window, {1280}));
  // A hundred clients connect and say nothing; another sends a line without
  // its end, another one far too long.
  std::vector<int> idle;
  for (int i = 0; i < 100; ++i) idle.push_back(IdleClient());
  ASSERT_EQ(std::count(idle.begin(), idle.end(), -1), 0);
  const int unfinished = IdleClient(), tooLong = IdleClient();
  ASSERT_EQ(send(unfinished, "FIND Reach", 10, MSG_NOSIGNAL), 10);
  const std::string longLine = "FIND " + std::string(5000, 'x') + "\n";
  ASSERT_EQ(send(tooLong, longLine.data(), longLine.size(), MSG_NOSIGNAL), ssize_t(longLine.size()));

  // A newcomer is answered: the oldest waiting connections made room (all
  // were taken in before it, in order).
  EXPECT_EQ(Ask("FIND Reachable"), "WINDOW " + Handle(window));
  EXPECT_GE(std::count_if(idle.begin(), idle.end(), ClosedByProgram), 100 - 32);
  EXPECT_LT(IdleMilliseconds(listener), kIdleMs) << "while the clients sit";
  // The rest are dropped at their deadline, unanswered.
  EXPECT_TRUE(vqtest::Pump([&] { return std::all_of(idle.begin(), idle.end(), ClosedByProgram); }));
  EXPECT_TRUE(vqtest::Pump([&] { return ClosedByProgram(unfinished) && ClosedByProgram(tooLong); }));
  for (int fd : idle) close(fd);
  close(unfinished);
  close(tooLong);
  EXPECT_LT(IdleMilliseconds(listener), kIdleMs) << "once they left";
  EXPECT_EQ(Ask("FIND Reachable"), "WINDOW " + Handle(window));
  DestroyWindow(window);
}

// Whether the program has answered on a connection (at once, without waiting).
bool Answered(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

// A window thread that does not pump (it is saving, say) holds forty SENDs:
// a FIND and a POST from others are answered while the SENDs are still
// held, and each SEND is answered BUSY once its deadline passes on the
// layer's clock, its message withdrawn and never handled.
TEST_F(MessagesFromOutsideTest, SendsHeldByAWindowThatDoesNotPumpNeverHoldUpFindOrPost) {
  vqplatform::ManualClockScope manual;
  vqtest::WindowThread held(L"Held");
  ASSERT_TRUE(vqplatform::MakeReachableByPrograms(held.Window(), {1280}));
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  MessageLog::SetHandler([release](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != WM_APP) return std::nullopt;
    WaitForSingleObject(release, INFINITE);
    return 0;
  });
  PostMessageW(held.Window(), WM_APP, 0, 0);
  ASSERT_TRUE(vqtest::Pump([] { return MessageLog::Count(WM_APP) == 1; }));

  constexpr int kSends = 40;
  std::vector<int> sends;
  for (int i = 0; i < kSends; ++i) {
    const std::string line = "SEND " + Handle(held.Window()) + " 1280 " + std::to_string(i) + " 0\n";
    sends.push_back(IdleClient());
    ASSERT_EQ(send(sends.back(), line.data(), line.size(), MSG_NOSIGNAL), ssize_t(line.size()));
  }
  ASSERT_TRUE(vqtest::Pump([] { return vqplatform::ProgramSendsWaiting() == kSends; }));
  EXPECT_EQ(Ask("FIND Held"), "WINDOW " + Handle(held.Window()));
  EXPECT_EQ(Ask("POST " + Handle(held.Window()) + " 1280 99 0"), "POSTED");
  EXPECT_EQ(std::count_if(sends.begin(), sends.end(), Answered), 0) << "the SENDs are still held";
  EXPECT_EQ(vqplatform::ProgramSendsWaiting(), size_t(kSends));

  // The workers wait on the clock for the deadline: it passes.
  ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(4, vqtest::kPatience));
  vqplatform::Clock::Advance(5000);
  for (int fd : sends) {
    const timeval patience{vqtest::kPatience.count(), 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    std::string answer;
    EXPECT_TRUE(vqplatform::ReadLine(fd, &answer));
    EXPECT_EQ(answer, "BUSY");
    close(fd);
  }
  EXPECT_EQ(vqplatform::ProgramSendsWaiting(), 0u);

  // Once it pumps again, only the posted message reaches the window.
  SetEvent(release);
  EXPECT_TRUE(vqtest::Pump([] { return MessageLog::Count(1280) >= 1; }));
  held.Stop();
  const std::vector<vqtest::LoggedMessage> arrived = MessageLog::Only({1280});
  ASSERT_EQ(arrived.size(), 1u);
  EXPECT_EQ(arrived[0].wParam, 99u);
  CloseHandle(release);
}

// Windows that took their SENDs and are still handling them hold every
// worker: a later SEND is still answered BUSY at its deadline, never
// handled, and the taken ones get their results once handled.
TEST_F(MessagesFromOutsideTest, SendsTakenByEveryWorkerNeverHoldUpTheDeadlineOfLaterSends) {
  vqplatform::ManualClockScope manual;
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  MessageLog::SetHandler([release](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message != 1280) return std::nullopt;
    WaitForSingleObject(release, INFINITE);
    return 7;
  });
  std::vector<std::unique_ptr<vqtest::WindowThread>> windows;
  std::vector<int> taken;
  for (int i = 0; i < 4; ++i) {
    windows.push_back(std::make_unique<vqtest::WindowThread>(L"Busy " + std::to_wstring(i)));
    ASSERT_TRUE(vqplatform::MakeReachableByPrograms(windows.back()->Window(), {1280}));
    const std::string line = "SEND " + Handle(windows.back()->Window()) + " 1280 0 0\n";
    taken.push_back(IdleClient());
    ASSERT_EQ(send(taken.back(), line.data(), line.size(), MSG_NOSIGNAL), ssize_t(line.size()));
  }
  ASSERT_TRUE(vqtest::Pump([] { return MessageLog::Count(1280) == 4; })) << "each window handles its SEND";
  const std::string line = "SEND " + Handle(windows[0]->Window()) + " 1280 1 0\n";
  const int later = IdleClient();
  ASSERT_EQ(send(later, line.data(), line.size(), MSG_NOSIGNAL), ssize_t(line.size()));
  ASSERT_TRUE(vqtest::Pump([] { return vqplatform::ProgramSendsWaiting() == 5; }));

  ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(1, vqtest::kPatience));
  vqplatform::Clock::Advance(5000);
  const timeval patience{vqtest::kPatience.count(), 0};
  setsockopt(later, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
  std::string answer;
  EXPECT_TRUE(vqplatform::ReadLine(later, &answer));
  EXPECT_EQ(answer, "BUSY") << "while every worker still waits";
  close(later);

  SetEvent(release);
  for (int fd : taken) {
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    EXPECT_TRUE(vqplatform::ReadLine(fd, &answer));
    EXPECT_EQ(answer, "RESULT 7");
    close(fd);
  }
  for (auto& window : windows) window->Stop();
  EXPECT_EQ(MessageLog::Count(1280), 4u) << "the late SEND was never handled";
  CloseHandle(release);
}

TEST_F(MessagesFromOutsideTest, WithoutDescriptorsTheListenerWaitsInsteadOfSpinning) {
  vqtest::ThreadCpu listener("vq-listener");
  ASSERT_TRUE(listener.Found());
  HWND window = vqtest::MakeWindow(L"Reachable", nullptr, 0, WS_OVERLAPPED);
  ASSERT_TRUE(vqplatform::MakeReachableByPrograms(window, {1280}));
  const std::string socketPath = SocketOf(getpid()).string();
  const sockaddr_un address = vqplatform::SocketAddress(socketPath);
  int go[2], report[2];
  ASSERT_EQ(pipe2(go, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
  constexpr int kClients = 8;
  // Clients in another process, which has descriptors: each asks for the
  // window once this one has none left, and counts the answers it gets.
  const pid_t child = vqtest::RunInChild([&] {
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives a test that failed
    char byte;
    if (read(go[0], &byte, 1) != 1) return 1;
    int fds[kClients];
    for (int& fd : fds) {
      fd = socket(AF_UNIX, SOCK_STREAM, 0);
      if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
          send(fd, "FIND Reachable\n", 15, MSG_NOSIGNAL) != 15)
        return 2;
    }
    if (write(report[1], "c", 1) != 1) return 3;
    char answered = 0;
    for (int fd : fds) {
      char text[64];
      answered += read(fd, text, sizeof text) > 7;
    }
    return write(report[1], &answered, 1) == 1 ? 0 : 4;
  });
  ASSERT_GT(child, 0);
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  // The next descriptor this process would get is past the limit.
  const int lowestFree = open("/dev/null", O_RDONLY | O_CLOEXEC);
  close(lowestFree);
  rlimit none = saved;
  none.rlim_cur = rlim_t(lowestFree);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  char byte = 0;
  const bool connected = write(go[1], "g", 1) == 1 && read(report[0], &byte, 1) == 1 && byte == 'c';
  const long spent = connected ? IdleMilliseconds(listener) : -1;
  setrlimit(RLIMIT_NOFILE, &saved);
  ASSERT_TRUE(connected);
  EXPECT_LT(spent, kIdleMs) << "while accepting finds no descriptor";
  // With descriptors back, the waiting clients are answered.
  char answered = 0;
  EXPECT_EQ(read(report[0], &answered, 1), 1);
  EXPECT_EQ(answered, kClients);
  EXPECT_EQ(vqtest::ExitCode(vqtest::WaitForEnd(child)), 0);
  for (int fd : {go[0], go[1], report[0], report[1]}) close(fd);
  DestroyWindow(window);
}

TEST_F(MessagesFromOutsideTest, SocketsOfEndedProgramsGoAtStartAndLiveOnesStay) {
  std::vector<fs::path> ended;
  for (int i = 0; i < 3; ++i) {
    vqtest::PeerProgram gone("Gone");
    ASSERT_TRUE(gone.WaitFor("ready"));
    ended.push_back(SocketOf(gone.Pid()));
    gone.Kill();  // ends without removing its socket
    ASSERT_TRUE(fs::exists(ended.back()));
  }
  vqtest::PeerProgram alive("Alive");
  ASSERT_TRUE(alive.WaitFor("ready"));
  const fs::path live = SocketOf(alive.Pid());
  // A program starting at this moment: bound, not yet listening, running.
  const fs::path starting = SocketOf(getppid());
  const sockaddr_un address = vqplatform::SocketAddress(starting.string());
  const int bound = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(bind(bound, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  // A file that only looks like a socket of an ended program.
  const fs::path notASocket = Folder() / (ended.back().stem().string() + "0.sock");
  ASSERT_TRUE(vqtest::WriteFile(notASocket, "text"));

  // The next start, of this program or of another one, clears the ended ones.
  vqplatform::StopProgramListener();
  ASSERT_TRUE(vqplatform::StartProgramListener());
  for (const fs::path& socket : ended) EXPECT_FALSE(fs::exists(socket)) << socket;
  EXPECT_TRUE(fs::exists(live));
  EXPECT_TRUE(fs::exists(starting));
  EXPECT_TRUE(fs::exists(notASocket));
  EXPECT_NE(FindWindowW(nullptr, L"Alive"), nullptr);
  close(bound);
}

TEST_F(MessagesFromOutsideTest, AProgramTakesItsSocketAwayWhenItEndsAndWhenItCallsExit) {
  for (const char* way : {"--quit-on", "--exit-on"}) {
    vqtest::PeerProgram leaving("Leaving", {way, "1600"});
    ASSERT_TRUE(leaving.WaitFor("ready"));
    const fs::path socket = SocketOf(leaving.Pid());
    ASSERT_TRUE(fs::exists(socket));
    HWND window = FindWindowW(nullptr, L"Leaving");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(PostMessageW(window, 1600, 0, 0)) << way;
    EXPECT_EQ(leaving.WaitForExit(), 0) << way;
    EXPECT_FALSE(fs::exists(socket)) << way;
  }
}

// The sweep over every message is long, so it stays out of the thread
// sanitizer's selection (suites named Message...).
using ReachableWindowsTest = MessagesFromOutsideTest;

TEST_F(ReachableWindowsTest, OnlyTheyTakeOnlyTheMessagesTheyNameWhateverTheParameters) {
  // A window of its own thread, so the sends from the socket are answered
  // while this thread asks.
  vqtest::WindowThread reachable(L"Reachable", nullptr, WS_OVERLAPPED);
  const std::vector<UINT> named{1280, 0x8000, 0xBFFF};
  ASSERT_TRUE(vqplatform::MakeReachableByPrograms(reachable.Window(), {1280, 0x8000, 0xBFFF, WM_CLOSE, 0xC000}));
  // The layer's own windows as a program has them.
  const vqtest::LayerWindows layer = vqtest::MakeLayerWindows(vqtest::kTestClass);
  ASSERT_TRUE(layer.Made());
  const HWND dialog = layer.dialog, tooltip = layer.tooltip;
  EXPECT_FALSE(vqplatform::MakeReachableByPrograms(GetDlgItem(dialog, IDOK), {1280})) << "a child window";
  const LRESULT defaultButton = SendMessageW(dialog, DM_GETDEFID, 0, 0);

  // FIND answers the reachable window only, whatever the title asked.
  EXPECT_EQ(Ask("FIND rEACHABLE"), "WINDOW " + Handle(reachable.Window()));
  for (const char* title : {"", "Dialog", "Plain", "Reach", "Reachable ", "OK"})
    EXPECT_EQ(Ask(std::string("FIND ") + title), "NONE") << title;

  // The layer's windows take pointers in these; from outside each is NONE
  // and none arrives (the tooltip line once ended the program).
  EXPECT_EQ(Ask("SEND " + Handle(tooltip) + " 1031 1 1094795585"), "NONE");
  EXPECT_EQ(Ask("SEND " + Handle(dialog) + " " + std::to_string(DM_SETDEFID) + " 12345 0"), "NONE");
  std::vector<UINT> pointerTaking{TTM_ADDTOOLW, TTM_UPDATETIPTEXTW, LVM_INSERTITEMW, LVM_GETITEMTEXTW,
                                  TCM_INSERTITEMW, DM_SETDEFID};
  for (UINT m = WM_USER; m <= 0xBFFF; m += 61) pointerTaking.push_back(m);
  int answeredOtherwise = 0;
  for (HWND hwnd : layer.All())
    for (UINT m : pointerTaking)
      for (const char* verb : {"SEND ", "POST "})
        answeredOtherwise += Ask(verb + Handle(hwnd) + " " + std::to_string(m) + " 1 1094795585") != "NONE";
  EXPECT_EQ(answeredOtherwise, 0);
  vqtest::DispatchQueued();
  EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), defaultButton);

  // Every message from WM_USER to 0xBFFF, sent with junk parameters to the
  // window FIND returns, and posted: the named ones arrive with the
  // integers sent, every other one is NONE.
  static const char* junk[][2] = {{"1", "1094795585"}, {"18446744073709551615", "-9223372036854775808"}, {"0", "-1"}};
  std::atomic<int> wrong{0};
  std::vector<std::thread> askers;
  constexpr UINT kAskers = 4;  // as several programs at once
  for (UINT first = WM_USER; first < WM_USER + kAskers; ++first)
    askers.emplace_back([&, first] {
      for (UINT m = first; m <= 0xBFFF; m += kAskers) {
        const bool takes = std::find(named.begin(), named.end(), m) != named.end();
        const std::string tail = " " + std::to_string(m) + " " + junk[m % 3][0] + " " + junk[m % 3][1];
        wrong += Ask("SEND " + Handle(reachable.Window()) + tail) != (takes ? "RESULT 0" : "NONE");
        // Posts pass the same check: every eighth is enough to show it.
        if (takes || m % 8 == 0)
          wrong += Ask("POST " + Handle(reachable.Window()) + tail) != (takes ? "POSTED" : "NONE");
      }
    });
  for (std::thread& asker : askers) asker.join();
  EXPECT_EQ(wrong, 0);
  for (UINT outside : {UINT(WM_CLOSE), 0xC000u, 0xFFFFFFFFu})
    EXPECT_EQ(Ask("SEND " + Handle(reachable.Window()) + " " + std::to_string(outside) + " 0 0"), "NONE");
  ASSERT_TRUE(vqtest::Pump([&] { return MessageLog::Only({1280, 0x8000, 0xBFFF}).size() == 6; }));
  for (const auto& m : MessageLog::Only({1280, 0x8000, 0xBFFF})) {
    EXPECT_EQ(m.hwnd, reachable.Window());
    EXPECT_EQ(std::to_string(m.wParam), junk[m.message % 3][0]);
    EXPECT_EQ(std::to_string(m.lParam), junk[m.message % 3][1]);
  }
  EXPECT_EQ(MessageLog::Count(WM_CLOSE, reachable.Window()), 0u);

  // A reachable window that ends takes its reachability with it.
  reachable.Stop();
  EXPECT_EQ(Ask("FIND Reachable"), "NONE");
  layer.Destroy();
}

}  // namespace
