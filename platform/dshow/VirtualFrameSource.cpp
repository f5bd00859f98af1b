#include "platform/dshow/VirtualFrameSource.h"

#include <algorithm>
#include <cmath>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "scene/Renderer.h"
#include "scene/Scene.h"

namespace vq::dshow {
namespace {

constexpr double kScriptStep = 0.2;  // a script's picture changes at most this often (seconds)
constexpr size_t kCacheLimit = 24;

bool IsImageFile(const std::filesystem::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".bmp" || ext == ".tif" || ext == ".tiff";
}

cv::Mat Fit(const cv::Mat& picture, cv::Size size) {
  if (picture.empty()) return cv::Mat(size, CV_8UC3, cv::Scalar(0, 0, 0));
  if (picture.size() == size) return picture;
  cv::Mat out;
  cv::resize(picture, out, size, 0, 0, cv::INTER_AREA);
  return out;
}

}  // namespace

cv::Mat RenderDeskWithSheet(cv::Size size) {
  const float h = 0.8f * float(size.height);
  const cv::Size2f sheet(h / 1.414f, h);
  return vqscene::RenderScene(
      vqscene::SingleSheet(size, cv::Point2f(float(size.width) / 2.0f, float(size.height) / 2.0f), sheet, 6.0f));
}

VirtualFrameSource::VirtualFrameSource(VirtualContent content) : content_(std::move(content)) {
  if (content_.kind == VirtualContent::Kind::Folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(content_.folder, ec))
      if (entry.is_regular_file(ec) && IsImageFile(entry.path())) images_.push_back(entry.path());
    std::sort(images_.begin(), images_.end());
  }
  if (content_.kind == VirtualContent::Kind::Script && !content_.script) content_.kind = VirtualContent::Kind::Desk;
}

long long VirtualFrameSource::KeyAt(double seconds) const {
  switch (content_.kind) {
    case VirtualContent::Kind::Desk:
      return 0;
    case VirtualContent::Kind::Folder: {
      if (images_.empty()) return 0;
      const double per = content_.secondsPerImage > 0 ? content_.secondsPerImage : 1.0;
      return static_cast<long long>(std::floor(seconds / per)) % static_cast<long long>(images_.size());
    }
    case VirtualContent::Kind::Script: {
      const double length = content_.script->Duration();
      const double t = length > 0 ? std::fmod(seconds, length) : 0.0;
      return static_cast<long long>(std::floor(t / kScriptStep));
    }
  }
  return 0;
}

cv::Mat VirtualFrameSource::Render(long long key, cv::Size size) const {
  switch (content_.kind) {
    case VirtualContent::Kind::Desk:
      return RenderDeskWithSheet(size);
    case VirtualContent::Kind::Folder: {
      if (images_.empty()) return cv::Mat(size, CV_8UC3, cv::Scalar(0, 0, 0));
      cv::Mat picture;
      try {
        picture = cv::imread(images_[size_t(key)].string(), cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION);
      } catch (const cv::Exception&) {
        picture.release();
      }
      return Fit(picture, size);
    }
    case VirtualContent::Kind::Script:
      return Fit(content_.script->FrameAt(double(key) * kScriptStep), size);
  }
  return {};
}

std::shared_ptr<const cv::Mat> VirtualFrameSource::Picture(long long key, cv::Size size) {
  const auto id = std::make_tuple(key, size.width, size.height);
  {
    std::lock_guard lock(lock_);
    auto it = cache_.find(id);
    if (it != cache_.end()) return it->second;
  }
  auto picture = std::make_shared<const cv::Mat>(Render(key, size));
  std::lock_guard lock(lock_);
  if (cache_.size() >= kCacheLimit) cache_.clear();
  cache_[id] = picture;
  return picture;
}

}  // namespace vq::dshow
