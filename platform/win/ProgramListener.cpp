// The listener: one socket per program in the private runtime folder and a
// bounded set of connections, whatever the clients do. One thread accepts,
// reads request lines (poll, a deadline per connection) and answers FIND
// and POST itself; a SEND, which waits for its window, goes to one of a few
// worker threads, so a busy window never holds up a look-up. Connections
// still reading and SENDs waiting for a window have bounds of their own, so
// SENDs held by a window thread that does not pump never take the places
// of later requests: over the first bound the oldest connection still
// reading is dropped, over the second a SEND is answered BUSY at once, and
// every SEND is answered BUSY once its window's thread has not taken it
// within kSendDeadline (the layer's clock): by its worker, or, while every
// worker waits for a window that took its SEND, by the expiry thread. When descriptors run short the
// listener stops accepting for a moment instead of spinning, and never
// takes the last ones the program needs for its own files.
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramRequests.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"

namespace vqplatform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxConnections = 32;
constexpr size_t kMaxWaitingSends = 64;
constexpr int kWorkers = 4;
// How long a SEND waits for its window's thread to take the message.
constexpr uint64_t kSendDeadlineMs = 5000;
// A client that connects and does not finish its line is dropped after this long.
constexpr auto kClientTimeout = std::chrono::seconds(5);
// How long accepting pauses when no descriptor could be had.
constexpr auto kBackOff = std::chrono::milliseconds(100);

// The socket this process listens on, for exit(): a program that ends
// without stopping the listener still takes its socket away.
char g_socketPath[sizeof(sockaddr_un::sun_path)];
std::atomic<pid_t> g_socketOwner{0};

void RemoveSocketAtExit() {
  // A forked child that calls exit() leaves its parent's socket alone.
  if (g_socketOwner.load() == getpid()) unlink(g_socketPath);
}

// Whether a connection on `fd` would leave the program too few descriptors
// for its own files: descriptors are handed out lowest first, so every one
// below `fd` is in use.
bool TooFewDescriptorsLeft(int fd) {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return false;
  const rlim_t kept = std::min<rlim_t>(64, limit.rlim_cur / 8);
  return rlim_t(fd) + kept >= limit.rlim_cur;
}

// Sends the answer without waiting for a client that does not read, then closes.
void AnswerAndClose(int fd, const std::string& answer) {
  const std::string line = answer + "\n";
  [[maybe_unused]] ssize_t sent = send(fd, line.data(), line.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  close(fd);
}

class Listener {
 public:
  bool Start() {
    std::lock_guard startStop(startStop_);
    if (socket_ >= 0) return true;
    std::string folder = ProgramFolder(true);
    if (folder.empty()) return false;
    RemoveEndedProgramSockets(folder);
    path_ = folder + "/" + std::to_string(getpid()) + ".sock";
    const sockaddr_un address = SocketAddress(path_);
    if (!address.sun_path[0]) return false;
    unlink(path_.c_str());  // left by an ended program that had this pid
    socket_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (socket_ < 0 || wake_ < 0 || bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      CloseAll();
      return false;
    }
    std::memcpy(g_socketPath, path_.c_str(), path_.size() + 1);
    g_socketOwner = getpid();
    static const bool atExit = std::atexit(RemoveSocketAtExit) == 0;
    (void)atExit;
    bool started = listen(socket_, 64) == 0;
    for (int i = 0; started && i < kWorkers; ++i) {
      HANDLE worker = CreateThread(nullptr, 0, WorkLoop, this, 0, nullptr);
      if (worker) workers_.push_back(worker);
      started = worker != nullptr;
    }
    if (started) started = (jobsChanged_ = CreateEventW(nullptr, FALSE, FALSE, nullptr)) != nullptr;
    if (started) started = (expiryThread_ = CreateThread(nullptr, 0, ExpiryLoop, this, 0, nullptr)) != nullptr;
    if (started) started = (pollThread_ = CreateThread(nullptr, 0, PollLoop, this, 0, nullptr)) != nullptr;
    if (!started) {
      StopThreads();
      unlink(path_.c_str());
      g_socketOwner = 0;
      CloseAll();
      return false;
    }
    return true;
  }

  void Stop() {
    std::lock_guard startStop(startStop_);
    if (socket_ < 0) return;
    unlink(path_.c_str());
    g_socketOwner = 0;
    StopThreads();
    CloseAll();
  }

 private:
  struct Reading {
    int fd;
    std::string line;
    Clock::time_point deadline;
  };
  enum class ReadResult { More, Line, Drop };

  // The requests still reading are cut short; the SENDs taken in are
  // answered, those to a window of the calling thread while it waits here.
  void StopThreads() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t woken = write(wake_, &one, sizeof one);
    if (pollThread_) {
      WaitServingSentMessages(pollThread_, INFINITE);
      CloseHandle(pollThread_);
      pollThread_ = nullptr;
    }
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    jobReady_.notify_all();
    if (expiryThread_) {
      SetEvent(jobsChanged_);
      WaitServingSentMessages(expiryThread_, INFINITE);
      CloseHandle(expiryThread_);
      expiryThread_ = nullptr;
    }
    for (HANDLE worker : workers_) {
      WaitServingSentMessages(worker, INFINITE);
      CloseHandle(worker);
    }
    workers_.clear();
    std::lock_guard lock(mutex_);
    stopping_ = false;
  }

  void CloseAll() {
    if (jobsChanged_) CloseHandle(jobsChanged_);
    jobsChanged_ = nullptr;
    if (socket_ >= 0) close(socket_);
    if (wake_ >= 0) close(wake_);
    socket_ = wake_ = -1;
  }

  static DWORD PollLoop(LPVOID parameter) {
    pthread_setname_np(pthread_self(), "vq-listener");
    static_cast<Listener*>(parameter)->Poll();
    return 0;
  }

  void Poll() {
    std::vector<Reading> reading;  // oldest first
    std::vector<pollfd> fds;
    Clock::time_point resumeAccepting{};
    for (;;) {
      const Clock::time_point now = Clock::now();
      const bool accepting = now >= resumeAccepting;
      Clock::time_point wakeAt = accepting ? Clock::time_point::max() : resumeAccepting;
      fds.assign({{wake_, POLLIN, 0}, {accepting ? socket_ : -1, POLLIN, 0}});
      for (const Reading& r : reading) {
        fds.push_back({r.fd, POLLIN, 0});
        wakeAt = std::min(wakeAt, r.deadline);
      }
      int timeoutMs = -1;
      if (wakeAt != Clock::time_point::max()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::max(wakeAt - now, Clock::duration{}));
        timeoutMs = int(wait.count());
      }
      if (poll(fds.data(), fds.size(), timeoutMs) < 0) {
        if (errno == EINTR) continue;
        resumeAccepting = Clock::now() + kBackOff;  // out of kernel memory: breathe, never spin
        poll(nullptr, 0, int(kBackOff.count()));
        continue;
      }
      if (fds[0].revents) break;
      const Clock::time_point after = Clock::now();
      std::vector<Reading> still;
      for (size_t i = 0; i < reading.size(); ++i) {
        Reading& r = reading[i];
        const ReadResult result = fds[i + 2].revents ? ReadFrom(r) : ReadResult::More;
        if (result == ReadResult::Line) {
          Dispatch(r.fd, r.line);
        } else if (result == ReadResult::Drop || after >= r.deadline) {
          close(r.fd);
        } else {
          still.push_back(std::move(r));
        }
      }
      reading = std::move(still);
      if (fds[1].revents & POLLIN) AcceptWaiting(reading, &resumeAccepting);
    }
    for (Reading& r : reading) close(r.fd);
  }

  // Takes the connections waiting, up to the bound, a few at a time so the
  // lines of those already taken are read between them.
  void AcceptWaiting(std::vector<Reading>& reading, Clock::time_point* resumeAccepting) {
    for (size_t round = 0; round < kMaxConnections; ++round) {
      int fd = accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd < 0) {
        if (errno == EINTR || errno == ECONNABORTED) continue;
        // No descriptor (or memory) to be had: the client stays queued
        // while the listener leaves the socket alone for a moment.
        if (errno != EAGAIN && errno != EWOULDBLOCK) *resumeAccepting = Clock::now() + kBackOff;
        return;
      }
      if (TooFewDescriptorsLeft(fd)) {
        close(fd);
        *resumeAccepting = Clock::now() + kBackOff;
        return;
      }
      // Nothing from another user is read, let alone delivered.
      if (!PeerIsSameUser(fd)) {
        close(fd);
        continue;
      }
      if (reading.size() >= kMaxConnections) {
        // The oldest makes room; a line of its that has come meanwhile is still served.
        Reading& oldest = reading.front();
        if (ReadFrom(oldest) == ReadResult::Line) Dispatch(oldest.fd, oldest.line);
        else close(oldest.fd);
        reading.erase(reading.begin());
      }
      reading.push_back({fd, std::string(), Clock::now() + kClientTimeout});
    }
  }

  // Reads what has arrived, up to the first '\n'.
  static ReadResult ReadFrom(Reading& r) {
    char chunk[512];
    for (;;) {
      ssize_t n = recv(r.fd, chunk, sizeof chunk, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return ReadResult::More;
      if (n <= 0) return ReadResult::Drop;  // ended before its line
      const char* newline = static_cast<const char*>(std::memchr(chunk, '\n', size_t(n)));
      r.line.append(chunk, newline ? size_t(newline - chunk) : size_t(n));
      if (r.line.size() > kMaxLine) return ReadResult::Drop;
      if (newline) return ReadResult::Line;
    }
  }

  void Dispatch(int fd, const std::string& line) {
    ProgramRequest request = ParseProgramRequest(line);
    if (request.kind != ProgramRequest::Kind::Send) {
      AnswerProgramRequest(request, [fd](const std::string& answer) { AnswerAndClose(fd, answer); });
      return;
    }
    if (waitingSends_ >= kMaxWaitingSends) return AnswerAndClose(fd, "BUSY");
    // The deadline runs from when the request came, however long it waits for a worker.
    request.deadline = GetTickCount64() + kSendDeadlineMs;
    ++waitingSends_;
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back({fd, std::move(request)});
    }
    jobReady_.notify_one();
    SetEvent(jobsChanged_);
  }

  static DWORD ExpiryLoop(LPVOID parameter) {
    pthread_setname_np(pthread_self(), "vq-send-expiry");
    static_cast<Listener*>(parameter)->Expire();
    return 0;
  }

  // Answers BUSY the SENDs still waiting for a worker at their deadline.
  void Expire() {
    for (;;) {
      DWORD wait = INFINITE;
      {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        const uint64_t now = GetTickCount64();
        for (auto job = jobs_.begin(); job != jobs_.end();) {
          if (job->request.deadline > now) {
            wait = static_cast<DWORD>(std::min<uint64_t>(wait, job->request.deadline - now));
            ++job;
            continue;
          }
          --waitingSends_;
          AnswerAndClose(job->fd, "BUSY");
          job = jobs_.erase(job);
        }
      }
      WaitForSingleObject(jobsChanged_, wait);
    }
  }

  static DWORD WorkLoop(LPVOID parameter) {
    pthread_setname_np(pthread_self(), "vq-request");
    static_cast<Listener*>(parameter)->Work();
    return 0;
  }

  void Work() {
    for (;;) {
      Job job;
      {
        std::unique_lock lock(mutex_);
        jobReady_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      // No longer waiting once its answer goes.
      AnswerProgramRequest(job.request, [&](const std::string& answer) {
        --waitingSends_;
        AnswerAndClose(job.fd, answer);
      });
    }
  }

 public:
  size_t WaitingSends() const { return waitingSends_; }

 private:

  struct Job {
    int fd = -1;
    ProgramRequest request;
  };

  std::mutex startStop_;
  int socket_ = -1;
  int wake_ = -1;
  std::string path_;
  HANDLE pollThread_ = nullptr;
  HANDLE expiryThread_ = nullptr;
  HANDLE jobsChanged_ = nullptr;  // a job came, or the listener stops
  std::vector<HANDLE> workers_;
  std::atomic<size_t> waitingSends_{0};  // SENDs taken in and not yet answered
  std::mutex mutex_;             // guards jobs_ and stopping_
  std::condition_variable jobReady_;
  std::deque<Job> jobs_;
  bool stopping_ = false;
};

Listener& TheListener() {
  static auto* listener = new Listener;  // never destroyed: its threads may outlive main
  return *listener;
}

}  // namespace

bool StartProgramListener() { return TheListener().Start(); }

void StopProgramListener() { TheListener().Stop(); }

size_t ProgramSendsWaiting() { return TheListener().WaitingSends(); }

}  // namespace vqplatform
