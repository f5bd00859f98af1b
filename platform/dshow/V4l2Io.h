#pragma once
// The system calls the V4L2 camera code makes, behind one interface so the
// tests can put a table of fake devices in place of /dev and the kernel.
#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

namespace vq::dshow {

class V4l2Io {
 public:
  virtual ~V4l2Io() = default;
  virtual int Open(const std::string& path, int flags) = 0;
  virtual int Close(int fd) = 0;
  // Returns -1 and sets errno on failure, as ioctl does.
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  virtual void* Mmap(size_t length, int fd, off_t offset) = 0;  // nullptr on failure
  virtual int Munmap(void* address, size_t length) = 0;
  virtual ssize_t Read(int fd, void* buffer, size_t size) = 0;
  // Waits until fd is readable (1), wakeFd is readable or the time is up (0), or an error (-1).
  virtual int WaitReadable(int fd, int wakeFd, int timeoutMs) = 0;
};

// Where cameras are looked for: the device and sysfs folders and the calls.
struct V4l2Environment {
  std::string devRoot = "/dev";
  std::string sysRoot = "/sys";
  std::shared_ptr<V4l2Io> io;
};

std::shared_ptr<V4l2Io> SystemV4l2Io();
V4l2Environment SystemV4l2Environment();

}  // namespace vq::dshow
