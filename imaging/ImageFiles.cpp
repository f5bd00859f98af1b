#include "imaging/ImageFiles.h"

#include <opencv2/imgcodecs.hpp>

#include "imaging/CvCompat.h"
#include "imaging/NarrowPath.h"
#include "imaging/PictureFile.h"
#include "imaging/ReplacingFile.h"

cv::Mat ReadImageW(const wchar_t* path) {
  std::string narrow;
  if (!vq::NarrowPath(path, &narrow)) return cv::Mat();
  return vq::ReadPictureFileAsColour(narrow);
}

bool WriteImageW(const wchar_t* path, cv::Mat image, std::string* placedPath, vq::CReplacingFile::Placing placing) {
  std::string narrow;
  if (!vq::NarrowPath(path, &narrow) || image.empty()) return false;
  vq::CReplacingFile file(narrow, placing);
  if (!file.Create()) return false;
  file.CloseDescriptor();
  const bool written = cvcompat::Guarded(false, [&] { return cv::imwrite(file.TempPath(), image); });
  if (!written || !file.Commit()) return false;
  if (placedPath) *placedPath = file.PlacedPath();
  return true;
}
