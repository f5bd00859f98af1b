#pragma once
// Helpers shared by the image-file, TIFF and barcode tests.
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace imagingtest {

// Wide form of an ASCII path (the test folders are ASCII).
inline std::wstring Wide(const std::filesystem::path& path) {
  const std::string narrow = path.string();
  return std::wstring(narrow.begin(), narrow.end());
}

// A new empty folder inside the test's folder.
inline std::filesystem::path NewFolder(const std::filesystem::path& parent, const std::string& name) {
  const std::filesystem::path folder = parent / name;
  std::filesystem::create_directories(folder);
  return folder;
}

// Simulates a full disk: writes past `bytes` fail with EFBIG (SIGXFSZ ignored)
// until the object goes away.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previous_)(int) = SIG_DFL;
};

// A page of noise, which compresses badly (large files).
inline cv::Mat NoisePage(int width, int height, int type) {
  cv::Mat page(height, width, type);
  cv::randu(page, cv::Scalar::all(0), cv::Scalar::all(255));
  return page;
}

}  // namespace imagingtest
