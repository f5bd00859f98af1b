#include "platform/win/ProgramSockets.h"

#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vqplatform {
namespace {

bool IsPrivateFolder(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

void SetTimeouts(int fd, int timeoutMs) {
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

// The pid of a socket named "<pid>.sock", or 0.
pid_t SocketPid(const char* name) {
  char* end = nullptr;
  long pid = std::strtol(name, &end, 10);
  return pid > 0 && end != name && std::strcmp(end, ".sock") == 0 ? static_cast<pid_t>(pid) : 0;
}

// Refused at once: bound by nobody who listens. A full queue or a
// connection made means a program is there.
bool NobodyAccepts(const std::string& path) {
  const sockaddr_un address = SocketAddress(path);
  if (!address.sun_path[0]) return false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return false;
  const bool refused = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
                       errno == ECONNREFUSED;
  close(fd);
  return refused;
}

}  // namespace

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() < sizeof address.sun_path) std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

std::string ProgramFolder(bool create) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = runtime && *runtime ? std::string(runtime) + "/vq-windows"
                                           : "/tmp/vq-windows-" + std::to_string(geteuid());
  if (create && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return IsPrivateFolder(folder) ? folder : std::string();
}

std::vector<std::string> OtherProgramSockets(const std::string& folder) {
  std::vector<std::string> sockets;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return sockets;
  while (dirent* entry = readdir(dir)) {
    pid_t pid = SocketPid(entry->d_name);
    if (pid && pid != getpid()) sockets.push_back(folder + "/" + entry->d_name);
  }
  closedir(dir);
  std::sort(sockets.begin(), sockets.end());
  return sockets;
}

void RemoveEndedProgramSockets(const std::string& folder) {
  for (const std::string& path : OtherProgramSockets(folder)) {
    const pid_t pid = SocketPid(path.c_str() + folder.size() + 1);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) continue;
    // A program starting right now has bound but not yet listened: its
    // process is alive, so its socket stays.
    const bool ended = kill(pid, 0) != 0 && errno == ESRCH;
    if (ended && NobodyAccepts(path)) unlink(path.c_str());
  }
}

bool PeerIsSameUser(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == geteuid();
}

bool ReadLine(int fd, std::string* line) {
  line->clear();
  char chunk[512];
  for (;;) {
    ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    const char* newline = static_cast<const char*>(std::memchr(chunk, '\n', size_t(n)));
    line->append(chunk, newline ? size_t(newline - chunk) : size_t(n));
    if (line->size() > kMaxLine) return false;
    if (newline) return true;
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

std::optional<std::string> Request(const std::string& socketPath, const std::string& line, int timeoutMs) {
  const sockaddr_un address = SocketAddress(socketPath);
  if (!address.sun_path[0]) return std::nullopt;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  if (timeoutMs > 0) SetTimeouts(fd, timeoutMs);
  std::optional<std::string> answer;
  std::string text;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && PeerIsSameUser(fd) &&
      WriteAll(fd, line + "\n") && ReadLine(fd, &text))
    answer = std::move(text);
  close(fd);
  return answer;
}

}  // namespace vqplatform
