#pragma once
// One TCP connection to an IPv4 server with bounded waits: connecting,
// sending and receiving each give up when their whole call outlasts its
// time-out, and a receive can be abandoned between short waits when its
// caller asks to stop.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vqcapture {

class TcpConnection {
 public:
  TcpConnection() = default;
  ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  // address is a dotted IPv4 address.
  bool Connect(const std::string& address, int port, int timeoutMs);
  bool SendAll(const uint8_t* data, size_t size, int timeoutMs);
  // Fills the whole buffer; false on error, end of stream, time-out or stop.
  bool ReceiveAll(uint8_t* data, size_t size, int timeoutMs, const std::atomic<bool>* stop = nullptr);
  // Shuts down sending, then closes.
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool WaitFor(short events, std::chrono::steady_clock::time_point end, const std::atomic<bool>* stop);
  int fd_ = -1;
};

}  // namespace vqcapture
