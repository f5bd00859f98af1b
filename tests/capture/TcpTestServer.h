#pragma once
// A camera server on 127.0.0.1 for the network source's tests: it reads
// requests, records them and answers what the test's responder says, on
// one thread per connection.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vqtest {

struct TcpRequest {
  std::string lengthField;  // the 4 bytes as sent, zero bytes included
  int command = -1;
  std::string text;         // the command record's data
  int mode = -1;
};

struct TcpReply {
  std::vector<uint8_t> bytes;
  bool closeAfter = false;  // close the connection once the bytes are out
  int delayMs = 0;          // wait before answering
};

std::vector<uint8_t> TcpRecord(int type, const std::vector<uint8_t>& data);
std::vector<uint8_t> TcpRecord(int type, const std::string& text);
// The 12-byte length field and the body made of the records.
std::vector<uint8_t> TcpResponse(const std::vector<std::vector<uint8_t>>& records);

class TcpTestServer {
 public:
  using Responder = std::function<TcpReply(const TcpRequest&)>;
  explicit TcpTestServer(Responder responder);
  ~TcpTestServer();

  int Port() const { return port_; }
  std::vector<TcpRequest> Requests();
  int Connections() const { return connections_; }
  void SetResponder(Responder responder);

 private:
  void Accept();
  void Serve(int fd);
  Responder CurrentResponder();

  int listen_ = -1;
  int wake_ = -1;
  int port_ = 0;
  std::atomic<int> connections_{0};
  std::atomic<bool> stopping_{false};
  std::mutex lock_;
  Responder responder_;
  std::vector<TcpRequest> requests_;
  std::vector<std::thread> threads_;
  std::thread acceptor_;
};

}  // namespace vqtest
