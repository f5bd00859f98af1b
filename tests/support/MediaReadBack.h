#pragma once
// Reads a media file back with libavformat: its container, its streams with
// their codecs and packet counts, and decoded video frames.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace vqtest {

struct MediaStream {
  std::string codec;  // "wmv2", "wmav2", ...
  bool video = false;
  int width = 0;
  int height = 0;
  int sampleRate = 0;
  double frameRate = 0;  // frames per second as the stream declares it
  long packets = 0;
};

struct MediaFile {
  bool readable = false;
  std::string format;  // "asf", ...
  double seconds = 0;
  std::vector<MediaStream> streams;
  // The first stream of a kind, or null.
  const MediaStream* Video() const;
  const MediaStream* Audio() const;
};

MediaFile ReadMediaFile(const std::string& path);

// The video frames of a file decoded into 8-bit BGR pictures (at most `limit`).
std::vector<cv::Mat> DecodeVideoFrames(const std::string& path, size_t limit);

}  // namespace vqtest
