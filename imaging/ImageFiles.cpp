#include "imaging/ImageFiles.h"

#include <opencv2/imgcodecs.hpp>

#include "imaging/NarrowPath.h"
#include "imaging/ReplacingFile.h"

cv::Mat ReadImageW(const wchar_t* path) {
  std::string narrow;
  if (!vq::NarrowPath(path, vq::kPathBufferImage, &narrow)) return cv::Mat();
  try {
    return cv::imread(narrow, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
  } catch (const cv::Exception&) {
    return cv::Mat();
  }
}

bool WriteImageW(const wchar_t* path, cv::Mat image) {
  std::string narrow;
  if (!vq::NarrowPath(path, vq::kPathBufferImage, &narrow) || image.empty()) return false;
  vq::CReplacingFile file(narrow);
  if (!file.Create()) return false;
  file.CloseDescriptor();
  try {
    if (!cv::imwrite(file.TempPath(), image)) return false;
  } catch (const cv::Exception&) {
    return false;
  }
  return file.Commit();
}
