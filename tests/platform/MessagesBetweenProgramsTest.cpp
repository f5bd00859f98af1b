// Windows of other programs: peer programs started for the tests are found
// by title through the private runtime folder and exchange messages with
// this one; stale sockets, other folders and other users stay out.
#include <gtest/gtest.h>

#include <sys/fsuid.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/TestInput.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/PeerProgram.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace {

namespace fs = std::filesystem;
using vqtest::MessageLog;
using vqtest::PeerProgram;

fs::path Folder() { return fs::path(std::getenv("XDG_RUNTIME_DIR")) / "vq-windows"; }

class MessagesBetweenProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLog::Clear();
    vqtest::RegisterTestClass();
    ASSERT_TRUE(listening_.Listening());
    tester_ = vqtest::MakeWindow(L"Tester", nullptr, 0, WS_OVERLAPPED);
    ASSERT_TRUE(vqplatform::MakeReachableByPrograms(tester_, {1501, 1502, 1600, 1601}));
  }
  void TearDown() override {
    DestroyWindow(tester_);
    MessageLog::Clear();
  }
  vqplatform::ProgramListenerScope listening_;
  HWND tester_ = nullptr;
};

TEST_F(MessagesBetweenProgramsTest, PeersAreFoundByTitleAnswerSendsAndTakePosts) {
  PeerProgram server("VorquellServer", {"--answer", "1109=51", "--takes", "32769"});
  PeerProgram quiet("图像 peer");
  ASSERT_TRUE(server.WaitFor("ready") && quiet.WaitFor("ready"));
  EXPECT_EQ(fs::status(Folder()).permissions() & fs::perms::all, fs::perms::owner_all);

  HWND found = FindWindowW(nullptr, L"vorquellSERVER");  // titles match without regard to case
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(FindWindowW(nullptr, L"VorquellServer"), found);
  EXPECT_EQ(SendMessageW(found, 1109, 0, 0), 51);
  EXPECT_TRUE(server.Recorded("got 1109 0 0"));
  HWND other = FindWindowW(nullptr, L"图像 peer");
  ASSERT_NE(other, nullptr);
  EXPECT_NE(other, found);
  EXPECT_EQ(SendMessageW(other, 1109, 0, 0), 0);  // a window that does not know the message
  EXPECT_TRUE(PostMessageW(found, 0x8001, 7, -3));
  EXPECT_TRUE(server.WaitFor("got 32769 7 -3"));

  // Only integer messages cross: system messages never arrive.
  EXPECT_FALSE(PostMessageW(found, WM_CLOSE, 0, 0));
  EXPECT_EQ(SendMessageW(found, WM_SETTEXT, 0, 0), 0);
  EXPECT_EQ(FindWindowW(nullptr, L"Nobody"), nullptr);
  EXPECT_EQ(FindWindowW(L"VqWindowPeer", L"VorquellServer"), nullptr);  // by class: this program only

  // The program's own window of that title comes first.
  HWND own = vqtest::MakeWindow(L"VorquellServer", nullptr, 0, WS_OVERLAPPED);
  EXPECT_EQ(FindWindowW(nullptr, L"VorquellServer"), own);
  DestroyWindow(own);
  server.Kill();
  EXPECT_EQ(SendMessageW(found, 1109, 0, 0), 0);  // its program has ended
  EXPECT_FALSE(PostMessageW(found, 1109, 0, 0));
}

TEST_F(MessagesBetweenProgramsTest, TwoProgramsSendToEachOtherWhileEachWaits) {
  const DWORD self = GetCurrentThreadId();
  MessageLog::SetHandler([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == 1501) return 9;
    return std::nullopt;
  });
  PeerProgram peer("Peer", {"--answer", "1500=7", "--send-back", "1500:Tester:1501", "--request", "Tester:1502"});
  ASSERT_TRUE(peer.WaitFor("answer 1502 0"));  // its own send, answered by this thread's pumping
  HWND window = FindWindowW(nullptr, L"Peer");
  ASSERT_NE(window, nullptr);
  // While this thread waits for 1500, the peer's send of 1501 reaches the
  // tester window on this thread and is answered.
  EXPECT_EQ(SendMessageW(window, 1500, 1, 2), 7);
  EXPECT_TRUE(peer.Recorded("answer 1501 9"));
  auto inbound = MessageLog::Only({1501, 1502});
  ASSERT_EQ(inbound.size(), 2u);
  for (const auto& m : inbound) EXPECT_EQ(m.threadId, self);
  EXPECT_EQ(inbound[0].message, 1502u);
}

TEST_F(MessagesBetweenProgramsTest, StaleSocketsAndOtherRuntimeFoldersAreSkipped) {
  PeerProgram gone("Gone");
  ASSERT_TRUE(gone.WaitFor("ready"));
  gone.Kill();  // ends without removing its socket
  ASSERT_TRUE(fs::exists(Folder() / (std::to_string(gone.Pid()) + ".sock")));
  // A program of another runtime folder, like one of a test running beside this one.
  const std::string mine = std::getenv("XDG_RUNTIME_DIR");
  fs::create_directory(vqtest::TempPath("elsewhere"));
  setenv("XDG_RUNTIME_DIR", vqtest::TempPath("elsewhere").c_str(), 1);
  PeerProgram elsewhere("Elsewhere");
  setenv("XDG_RUNTIME_DIR", mine.c_str(), 1);
  EXPECT_EQ(FindWindowW(nullptr, L"Gone"), nullptr);
  // The next program to start removes the sockets of those that ended.
  PeerProgram alive("Alive");
  ASSERT_TRUE(alive.WaitFor("ready") && elsewhere.WaitFor("ready"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()), 2);  // this program's too
  EXPECT_EQ(FindWindowW(nullptr, L"Elsewhere"), nullptr);
  EXPECT_NE(FindWindowW(nullptr, L"Alive"), nullptr);

  // A runtime folder that is a link (or open to others) is never used.
  fs::create_directory(vqtest::TempPath("linked"));
  fs::create_directory_symlink(Folder(), vqtest::TempPath("linked") / "vq-windows");
  setenv("XDG_RUNTIME_DIR", vqtest::TempPath("linked").c_str(), 1);
  EXPECT_EQ(FindWindowW(nullptr, L"Alive"), nullptr);
  setenv("XDG_RUNTIME_DIR", mine.c_str(), 1);
}

// One request as an outside script makes it; no allocation, so a forked
// child may use it. The bytes answered, or -1.
ssize_t RawExchange(const sockaddr_un& address, const char* line, char* answer, size_t capacity) {
  int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ssize_t total = -1;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, line, std::strlen(line), MSG_NOSIGNAL) == ssize_t(std::strlen(line))) {
    total = 0;
    for (ssize_t n; total < ssize_t(capacity) - 1 && (n = read(fd, answer + total, capacity - 1 - size_t(total))) > 0;)
      total += n;
    answer[total] = 0;
  }
  close(fd);
  return total;
}

// The protocol as an outside script speaks it, first as this user, then as
// another one, whose requests are dropped unread.
TEST_F(MessagesBetweenProgramsTest, RawRequestsOfThisUserOnlyAreServed) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string path = (Folder() / (std::to_string(getpid()) + ".sock")).string();
  std::strcpy(address.sun_path, path.c_str());
  auto exchange = [&](const std::string& line) {
    char answer[256];
    return RawExchange(address, line.c_str(), answer, sizeof answer) < 0 ? std::string("failed") : std::string(answer);
  };
  const std::string window = std::to_string(reinterpret_cast<uintptr_t>(tester_));
  EXPECT_EQ(exchange("FIND tester\n"), "WINDOW " + window + "\n");
  EXPECT_EQ(exchange("POST " + window + " 1600 5 6\n"), "POSTED\n");
  EXPECT_EQ(exchange("POST 12345 1600 5 6\n"), "NONE\n");
  EXPECT_EQ(exchange("SEND " + window + " 1600 x 6\n"), "ERROR\n");
  vqtest::DispatchQueued();
  EXPECT_EQ(MessageLog::Count(1600), 1u);

  if (geteuid() != 0) GTEST_SKIP() << "another user's request needs root to make";
  const std::string post = "POST " + window + " 1601 0 0\n";
  const int status = vqtest::WaitForEnd(vqtest::RunInChild([&] {
    // Another user, still able to reach the socket through root's file access.
    if (seteuid(65534) != 0) return 100;
    setfsuid(0);
    char answer[64];
    // Dropped before or after its request was written: nothing answered.
    return static_cast<int>(std::max<ssize_t>(RawExchange(address, post.c_str(), answer, sizeof answer), 0));
  }));
  EXPECT_EQ(vqtest::ExitCode(status), 0) << "bytes answered to another user";
  vqtest::DispatchQueued();
  EXPECT_EQ(MessageLog::Count(1601), 0u);
}

}  // namespace
