// The listener: one socket per program in the private runtime folder, one
// thread accepting, one short-lived thread per request, so a request that
// waits for a busy window never holds up another one.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/Encoding.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Sync.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

// A client that connects and says nothing is dropped after this long.
constexpr int kClientTimeoutMs = 5000;

// A decimal integer, negative ones as their two's complement.
std::optional<uint64_t> ParseNumber(std::string_view text) {
  const char* end = text.data() + text.size();
  if (!text.empty() && text[0] == '-') {
    int64_t value = 0;
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end) return std::nullopt;
    return static_cast<uint64_t>(value);
  }
  uint64_t value = 0;
  auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end || text.empty()) return std::nullopt;
  return value;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    size_t space = text.find(' ');
    words.push_back(text.substr(0, space));
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
  }
  return words;
}

bool IsOwnTopLevelWindow(HWND hwnd) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* window = FindWindowObject(hwnd);
  return window && !window->parent;
}

// "SEND <window> <message> <wParam> <lParam>" and its POST twin.
std::string AnswerMessage(bool send, const std::vector<std::string_view>& words) {
  if (words.size() != 5) return "ERROR";
  auto window = ParseNumber(words[1]), message = ParseNumber(words[2]);
  auto wParam = ParseNumber(words[3]), lParam = ParseNumber(words[4]);
  if (!window || !message || !wParam || !lParam || *message > 0xFFFFFFFFu) return "ERROR";
  HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(*window));
  const UINT number = static_cast<UINT>(*message);
  if (!IsProgramMessage(number) || !IsOwnTopLevelWindow(hwnd)) return "NONE";
  if (!send) return PostMessageW(hwnd, number, WPARAM(*wParam), LPARAM(*lParam)) ? "POSTED" : "NONE";
  LRESULT result = SendMessageW(hwnd, number, WPARAM(*wParam), LPARAM(*lParam));
  return "RESULT " + std::to_string(static_cast<int64_t>(result));
}

std::string Answer(const std::string& line) {
  std::string_view text(line);
  if (text.substr(0, 5) == "FIND ") {
    std::wstring title = vq::Utf8ToWide(text.substr(5));
    HWND found = FindOwnTopLevelWindow(nullptr, title.c_str());
    return found ? "WINDOW " + std::to_string(reinterpret_cast<uintptr_t>(found)) : "NONE";
  }
  std::vector<std::string_view> words = SplitWords(text);
  if (!words.empty() && words[0] == "SEND") return AnswerMessage(true, words);
  if (!words.empty() && words[0] == "POST") return AnswerMessage(false, words);
  return "ERROR";
}

class Listener {
 public:
  bool Start() {
    std::lock_guard startStop(startStop_);
    if (socket_ >= 0) return true;
    std::string folder = ProgramFolder(true);
    if (folder.empty()) return false;
    path_ = folder + "/" + std::to_string(getpid()) + ".sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    unlink(path_.c_str());  // left by an ended program that had this pid
    socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (socket_ < 0 || wake_ < 0 || bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(socket_, 32) != 0 || !(acceptThread_ = CreateThread(nullptr, 0, AcceptLoop, this, 0, nullptr))) {
      CloseAll();
      unlink(path_.c_str());
      return false;
    }
    return true;
  }

  void Stop() {
    std::lock_guard startStop(startStop_);
    if (socket_ < 0) return;
    unlink(path_.c_str());
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t woken = write(wake_, &one, sizeof one);
    WaitServingSentMessages(acceptThread_, INFINITE);
    CloseHandle(acceptThread_);
    acceptThread_ = nullptr;
    // Requests still reading are cut short; those waiting for a window of
    // this thread are answered while we wait.
    for (Connection& c : connections_) shutdown(c.fd, SHUT_RDWR);
    for (Connection& c : connections_) WaitServingSentMessages(c.thread, INFINITE);
    ReapEnded();
    CloseAll();
  }

 private:
  struct Connection {
    HANDLE thread;
    int fd;
  };
  static DWORD AcceptLoop(LPVOID parameter) {
    auto* self = static_cast<Listener*>(parameter);
    pollfd fds[2] = {{self->socket_, POLLIN, 0}, {self->wake_, POLLIN, 0}};
    for (;;) {
      if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
      if (fds[1].revents) break;
      if (!(fds[0].revents & POLLIN)) continue;
      int fd = accept4(self->socket_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      self->ReapEnded();
      // Nothing from another user is read, let alone delivered.
      if (!PeerIsSameUser(fd)) {
        close(fd);
        continue;
      }
      timeval tv{kClientTimeoutMs / 1000, 0};
      setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
      HANDLE thread = CreateThread(nullptr, 0, Serve, reinterpret_cast<LPVOID>(static_cast<intptr_t>(fd)), 0, nullptr);
      if (!thread) {
        close(fd);
        continue;
      }
      std::lock_guard lock(self->mutex_);
      self->connections_.push_back({thread, fd});
    }
    return 0;
  }

  // One request and its answer; the socket is closed when the thread is reaped.
  static DWORD Serve(LPVOID parameter) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(parameter));
    std::string line;
    if (ReadLine(fd, &line)) WriteAll(fd, Answer(line) + "\n");
    shutdown(fd, SHUT_RDWR);
    return 0;
  }

  void ReapEnded() {
    std::lock_guard lock(mutex_);
    std::erase_if(connections_, [](const Connection& c) {
      if (WaitForSingleObject(c.thread, 0) != WAIT_OBJECT_0) return false;
      CloseHandle(c.thread);
      close(c.fd);
      return true;
    });
  }

  void CloseAll() {
    if (socket_ >= 0) close(socket_);
    if (wake_ >= 0) close(wake_);
    socket_ = wake_ = -1;
  }

  std::mutex startStop_;
  std::mutex mutex_;  // guards connections_
  int socket_ = -1;
  int wake_ = -1;
  std::string path_;
  HANDLE acceptThread_ = nullptr;
  std::vector<Connection> connections_;
};

Listener& TheListener() {
  static auto* listener = new Listener;  // never destroyed: its threads may outlive main
  return *listener;
}

}  // namespace

bool StartProgramListener() { return TheListener().Start(); }

void StopProgramListener() { TheListener().Stop(); }

}  // namespace vqplatform
