#include "platform/win/SessionEnd.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/display/Presenter.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Threads.h"

namespace vqplatform {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// The bytes through the pipe: a signal's number, or these.
constexpr char kStopWatching = 0;
constexpr char kDisplayLost = 100;

// One pipe for the life of the process, so a writer never meets a closed
// descriptor; bytes written while no scope watches are dropped at the next.
int endPipe[2] = {-1, -1};
std::once_flag pipeMade;
std::atomic<bool> watching{false};
std::atomic<int> endRequests{0};
std::atomic<const char*> endReason{nullptr};

const char* ReasonOf(char byte) {
  switch (byte) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
    case SIGHUP: return "SIGHUP";
    default: return "the loss of the display";
  }
}

bool MakePipe() {
  std::call_once(pipeMade, [] {
    if (pipe2(endPipe, O_CLOEXEC | O_NONBLOCK) != 0) endPipe[0] = endPipe[1] = -1;
  });
  return endPipe[1] >= 0;
}

// Async-signal-safe: one write, errno kept. A full pipe already holds a request.
void Notify(char byte) {
  if (endPipe[1] < 0 || !watching.load()) return;
  const int saved = errno;
  [[maybe_unused]] ssize_t written = write(endPipe[1], &byte, 1);
  errno = saved;
}

void OnSignal(int signal) { Notify(static_cast<char>(signal)); }

void Watch(DWORD uiThread) {
  for (;;) {
    pollfd wait{endPipe[0], POLLIN, 0};
    if (poll(&wait, 1, -1) < 0 && errno != EINTR) return;
    char byte = kDisplayLost;
    const ssize_t got = read(endPipe[0], &byte, 1);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0 || byte == kStopWatching) return;
    ++endRequests;
    endReason = ReasonOf(byte);
    PostQuitToThread(uiThread, 0);
  }
}

struct ScopeState {
  struct sigaction previous[std::size(kSignals)] = {};
  std::thread watcher;
};
ScopeState scopeState;

}  // namespace

SessionEndScope::SessionEndScope() {
  if (watching.load() || !MakePipe()) return;
  owner_ = true;
  for (char stale; read(endPipe[0], &stale, 1) > 0;) {
  }
  endRequests = 0;
  endReason = nullptr;
  // The thread's id gives it its queue now, so an early signal finds it.
  scopeState.watcher = std::thread(Watch, GetCurrentThreadId());
  watching = true;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &action, &scopeState.previous[i]);
  SetDisplayLostHandler(RequestSessionEnd);
}

SessionEndScope::~SessionEndScope() {
  if (!owner_) return;
  SetDisplayLostHandler(nullptr);
  for (size_t i = 0; i < std::size(kSignals); ++i) sigaction(kSignals[i], &scopeState.previous[i], nullptr);
  // Behind any request still queued; waits for room in the unlikely full pipe.
  const char stop = kStopWatching;
  pollfd room{endPipe[1], POLLOUT, 0};
  while (write(endPipe[1], &stop, 1) != 1 && (errno == EAGAIN || errno == EINTR)) poll(&room, 1, 100);
  scopeState.watcher.join();
  watching = false;
}

int SessionEndScope::EndRequests() { return endRequests.load(); }

const char* SessionEndScope::EndReason() { return endReason.load(); }

void RequestSessionEnd() { Notify(kDisplayLost); }

}  // namespace vqplatform
