#include "platform/dshow/V4l2Io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "platform/win/Singletons.h"

namespace vq::dshow {

namespace {

class SystemIo : public V4l2Io {
 public:
  int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags | O_CLOEXEC); }
  int Close(int fd) override { return ::close(fd); }
  int Ioctl(int fd, unsigned long request, void* arg) override {
    int r;
    do r = ::ioctl(fd, request, arg);
    while (r == -1 && errno == EINTR);
    return r;
  }
  void* Mmap(size_t length, int fd, off_t offset) override {
    void* p = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    return p == MAP_FAILED ? nullptr : p;
  }
  int Munmap(void* address, size_t length) override { return ::munmap(address, length); }
  ssize_t Read(int fd, void* buffer, size_t size) override { return ::read(fd, buffer, size); }
  int WaitReadable(int fd, int wakeFd, int timeoutMs) override {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int r = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (r < 0) return errno == EINTR ? 0 : -1;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return -1;
    return (fds[0].revents & POLLIN) ? 1 : 0;
  }
};

}  // namespace

std::shared_ptr<V4l2Io> SystemV4l2Io() {
  static auto* io = vqplatform::MakeSingleton<std::shared_ptr<V4l2Io>>(std::make_shared<SystemIo>());
  return *io;
}

V4l2Environment SystemV4l2Environment() {
  V4l2Environment e;
  e.io = SystemV4l2Io();
  return e;
}

}  // namespace vq::dshow
