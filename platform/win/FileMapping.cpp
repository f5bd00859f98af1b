#include "platform/win/FileMapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "platform/win/Encoding.h"
#include "platform/win/LastError.h"
#include "platform/win/ProgramSockets.h"

namespace vqplatform {
namespace {

constexpr uint64_t kAllocationGranularity = 65536;

class MappingObject : public KernelObject {
 public:
  MappingObject(int fd, std::string name, bool created, bool writable)
      : fd_(fd), name_(std::move(name)), created_(created), writable_(writable) {}
  ~MappingObject() override {
    close(fd_);
    if (created_) shm_unlink(name_.c_str());
  }
  int Fd() const { return fd_; }
  bool Writable() const { return writable_; }

 private:
  int fd_;
  std::string name_;
  bool created_;
  bool writable_;
};

struct ViewTable {
  std::mutex mutex;
  std::map<uintptr_t, size_t> views;  // base address -> bytes
};

ViewTable& Views() {
  static auto* table = new ViewTable;  // never destroyed: views may be unmapped late
  return *table;
}

bool OwnedByThisUser(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && st.st_uid == geteuid();
}

bool WantsWrite(DWORD access) { return (access & FILE_MAP_WRITE) != 0; }

}  // namespace

std::string SharedMemoryName(LPCWSTR name) {
  std::string text = name ? vq::WideToUtf8(name) : std::string();
  if (text.empty() || text.find('/') != std::string::npos || text.size() > 200) return {};
  std::string folder = ProgramFolder(true);
  struct stat st {};
  if (folder.empty() || stat(folder.c_str(), &st) != 0) return {};
  char scope[64];
  std::snprintf(scope, sizeof scope, "/vq.%u.%llx.", static_cast<unsigned>(geteuid()),
                static_cast<unsigned long long>(st.st_ino));
  return scope + text;
}

size_t MappedViewSize(LPCVOID base) {
  ViewTable& table = Views();
  std::lock_guard lock(table.mutex);
  auto it = table.views.find(reinterpret_cast<uintptr_t>(base));
  return it == table.views.end() ? 0 : it->second;
}

}  // namespace vqplatform

using namespace vqplatform;

HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCWSTR name) {
  const uint64_t size = (uint64_t(maximumSizeHigh) << 32) | maximumSizeLow;
  const bool writable = protect == PAGE_READWRITE;
  if (file != INVALID_HANDLE_VALUE || size == 0 || (!writable && protect != PAGE_READONLY)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string shmName = SharedMemoryName(name);
  if (shmName.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  bool created = true;
  int fd = shm_open(shmName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 && errno == EEXIST) {
    created = false;
    fd = shm_open(shmName.c_str(), O_RDWR | O_CLOEXEC, 0);
  }
  if (fd < 0) {
    vq::FailWithErrno(errno);
    return nullptr;
  }
  if (!created && !OwnedByThisUser(fd)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  if (created && ftruncate(fd, static_cast<off_t>(size)) != 0) {
    vq::FailWithErrno(errno);
    close(fd);
    shm_unlink(shmName.c_str());
    return nullptr;
  }
  HANDLE handle = RegisterHandle(std::make_shared<MappingObject>(fd, shmName, created, writable));
  SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

HANDLE OpenFileMappingW(DWORD desiredAccess, BOOL, LPCWSTR name) {
  std::string shmName = SharedMemoryName(name);
  if (shmName.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  const bool writable = WantsWrite(desiredAccess);
  int fd = shm_open(shmName.c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
  if (fd < 0) {
    vq::FailWithErrno(errno);
    return nullptr;
  }
  if (!OwnedByThisUser(fd)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return RegisterHandle(std::make_shared<MappingObject>(fd, shmName, false, writable));
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytesToMap) {
  auto object = LookupHandleAs<MappingObject>(mapping);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  const bool write = WantsWrite(desiredAccess);
  if (write && !object->Writable()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  const uint64_t offset = (uint64_t(offsetHigh) << 32) | offsetLow;
  struct stat st {};
  if (fstat(object->Fd(), &st) != 0) {
    vq::FailWithErrno(errno);
    return nullptr;
  }
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  const uint64_t bytes = bytesToMap ? bytesToMap : (offset < size ? size - offset : 0);
  if (offset % kAllocationGranularity || bytes == 0 || offset + bytes > size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  void* base = mmap(nullptr, bytes, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED, object->Fd(),
                    static_cast<off_t>(offset));
  if (base == MAP_FAILED) {
    vq::FailWithErrno(errno);
    return nullptr;
  }
  ViewTable& table = Views();
  std::lock_guard lock(table.mutex);
  table.views[reinterpret_cast<uintptr_t>(base)] = bytes;
  return base;
}

BOOL UnmapViewOfFile(LPCVOID baseAddress) {
  ViewTable& table = Views();
  std::lock_guard lock(table.mutex);
  auto it = table.views.find(reinterpret_cast<uintptr_t>(baseAddress));
  if (it == table.views.end()) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  munmap(const_cast<void*>(baseAddress), it->second);
  table.views.erase(it);
  return TRUE;
}
