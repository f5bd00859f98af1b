#include "tests/capture/TcpTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace vqtest {

namespace {

void PutInt32(std::vector<uint8_t>& out, int32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}

int32_t GetInt32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

// Reads exactly n bytes, giving up when the server stops or the peer goes.
bool ReadExactly(int fd, uint8_t* data, size_t n, const std::atomic<bool>& stopping) {
  while (n > 0) {
    pollfd p{fd, POLLIN, 0};
    if (stopping) return false;
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t r = ::recv(fd, data, n, 0);
    if (r <= 0) return false;
    data += r;
    n -= size_t(r);
  }
  return true;
}

}  // namespace

std::vector<uint8_t> TcpRecord(int type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> r;
  PutInt32(r, type);
  PutInt32(r, int32_t(data.size()));
  r.insert(r.end(), data.begin(), data.end());
  return r;
}

std::vector<uint8_t> TcpRecord(int type, const std::string& text) {
  return TcpRecord(type, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> TcpResponse(const std::vector<std::vector<uint8_t>>& records) {
  std::vector<uint8_t> body;
  for (const auto& r : records) body.insert(body.end(), r.begin(), r.end());
  std::vector<uint8_t> out(12, 0);
  const std::string length = std::to_string(body.size());
  std::memcpy(out.data(), length.data(), length.size());
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

TcpTestServer::TcpTestServer(Responder responder) : responder_(std::move(responder)) {
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof at;
  if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listen_, 16) != 0 ||
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&at), &len) != 0)
    return;
  port_ = ntohs(at.sin_port);
  acceptor_ = std::thread([this] { Accept(); });
}

TcpTestServer::~TcpTestServer() {
  stopping_ = true;
  const uint64_t one = 1;
  if (::write(wake_, &one, sizeof one) < 0) {
  }
  if (acceptor_.joinable()) acceptor_.join();
  for (auto& t : threads_) t.join();
  ::close(listen_);
  ::close(wake_);
}

std::vector<TcpRequest> TcpTestServer::Requests() {
  std::lock_guard lock(lock_);
  return requests_;
}

void TcpTestServer::SetResponder(Responder responder) {
  std::lock_guard lock(lock_);
  responder_ = std::move(responder);
}

TcpTestServer::Responder TcpTestServer::CurrentResponder() {
  std::lock_guard lock(lock_);
  return responder_;
}

void TcpTestServer::Accept() {
  for (;;) {
    pollfd fds[2] = {{listen_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    threads_.emplace_back([this, fd] { Serve(fd); });
  }
}

void TcpTestServer::Serve(int fd) {
  for (;;) {
    uint8_t lengthField[4];
    if (!ReadExactly(fd, lengthField, 4, stopping_)) break;
    const int length = std::atoi(std::string(reinterpret_cast<char*>(lengthField), 4).c_str());
    if (length < 16 || length > 4096) break;
    std::vector<uint8_t> body(size_t(length), 0);
    if (!ReadExactly(fd, body.data(), body.size(), stopping_)) break;
    TcpRequest request;
    request.lengthField.assign(reinterpret_cast<char*>(lengthField), 4);
    request.command = GetInt32(body.data());
    const int32_t n = GetInt32(body.data() + 4);
    if (n < 0 || size_t(n) + 16 > body.size()) break;
    request.text.assign(reinterpret_cast<char*>(body.data() + 8), size_t(n));
    request.mode = GetInt32(body.data() + 8 + n);
    {
      std::lock_guard lock(lock_);
      requests_.push_back(request);
    }
    const TcpReply reply = CurrentResponder()(request);
    for (int waited = 0; waited < reply.delayMs && !stopping_; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!reply.bytes.empty() && ::send(fd, reply.bytes.data(), reply.bytes.size(), MSG_NOSIGNAL) < 0) break;
    if (reply.closeAfter) break;
  }
  ::close(fd);
}

}  // namespace vqtest
