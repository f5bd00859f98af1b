#pragma once
// What the virtual camera shows: a desk with a sheet of paper, the images of
// a folder in turn, or a scripted scene. Frames are functions of the frame
// size and the stream time alone; each distinct picture is rendered once per
// size and kept.
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>

#include "scene/Script.h"

namespace vq::dshow {

struct VirtualContent {
  enum class Kind { Desk, Folder, Script };
  Kind kind = Kind::Desk;
  std::filesystem::path folder;       // Folder: images shown in name order
  double secondsPerImage = 2.0;       // Folder: how long each image stays
  std::shared_ptr<const vqscene::SceneScript> script;  // Script: played in a loop
};

class VirtualFrameSource {
 public:
  explicit VirtualFrameSource(VirtualContent content);

  // Identifies the picture shown at a stream time; equal keys, equal pictures.
  long long KeyAt(double seconds) const;
  // The top-down BGR picture of a key at a size (shared, not to be written).
  std::shared_ptr<const cv::Mat> Picture(long long key, cv::Size size);

 private:
  cv::Mat Render(long long key, cv::Size size) const;

  VirtualContent content_;
  std::vector<std::filesystem::path> images_;
  std::mutex lock_;
  std::map<std::tuple<long long, int, int>, std::shared_ptr<const cv::Mat>> cache_;
};

// The picture of a desk with one upright sheet turned slightly, at any size.
cv::Mat RenderDeskWithSheet(cv::Size size);

}  // namespace vq::dshow
