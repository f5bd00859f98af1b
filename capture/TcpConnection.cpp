#include "capture/TcpConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace vqcapture {

namespace {
constexpr int kSliceMs = 50;  // how often a waiting receive looks at its stop flag

std::chrono::steady_clock::time_point Deadline(int timeoutMs) {
  return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}
}  // namespace

TcpConnection::~TcpConnection() { Close(); }

bool TcpConnection::WaitFor(short events, std::chrono::steady_clock::time_point end, const std::atomic<bool>* stop) {
  for (;;) {
    if (stop && *stop) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, events, 0};
    const int r = ::poll(&p, 1, int(std::min<long long>(left.count(), kSliceMs)));
    if (r > 0) return true;  // readiness or an error the next call reports
    if (r < 0 && errno != EINTR) return false;
  }
}

bool TcpConnection::Connect(const std::string& address, int port, int timeoutMs) {
  Close();
  sockaddr_in to{};
  to.sin_family = AF_INET;
  if (port <= 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1) return false;
  to.sin_port = htons(uint16_t(port));
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd_ < 0) return false;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    int error = 0;
    socklen_t len = sizeof error;
    if (errno != EINPROGRESS || !WaitFor(POLLOUT, Deadline(timeoutMs), nullptr) ||
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0) {
      Close();
      return false;
    }
  }
  return true;
}

bool TcpConnection::SendAll(const uint8_t* data, size_t size, int timeoutMs) {
  if (fd_ < 0) return false;
  const auto end = Deadline(timeoutMs);
  while (size > 0) {
    const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (n > 0) {
      data += n;
      size -= size_t(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFor(POLLOUT, end, nullptr)) return false;
    } else {
      return false;
    }
  }
  return true;
}

bool TcpConnection::ReceiveAll(uint8_t* data, size_t size, int timeoutMs, const std::atomic<bool>* stop) {
  if (fd_ < 0) return false;
  const auto end = Deadline(timeoutMs);
  while (size > 0) {
    const ssize_t n = ::recv(fd_, data, size, 0);
    if (n > 0) {
      data += n;
      size -= size_t(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!WaitFor(POLLIN, end, stop)) return false;
    } else {
      return false;  // error, or the server closed the connection
    }
  }
  return true;
}

void TcpConnection::Close() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_WR);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace vqcapture
