#include "imaging/PictureFile.h"

#include <cstring>

#include <opencv2/imgproc.hpp>

#include "base/BoundedFile.h"
#include "imaging/PictureDecoders.h"

namespace vq {

namespace {

bool StartsWith(const unsigned char* data, std::size_t size, const char* magic, std::size_t length) {
  return size >= length && std::memcmp(data, magic, length) == 0;
}

// The whole file, when it is a regular file of at most the size limit.
PictureResult ReadWholeFile(const std::string& path, std::string* bytes) {
  const FileRefusal refusal = ReadBoundedFile(path, kMaxPictureFileBytes, bytes);
  if (refusal == FileRefusal::kTooLarge) return PictureResult::kTooLarge;
  return refusal == FileRefusal::kNone ? PictureResult::kLoaded : PictureResult::kUnreadable;
}

}  // namespace

PictureFormat SniffPicture(const unsigned char* data, std::size_t size) {
  if (StartsWith(data, size, "\xFF\xD8\xFF", 3)) return PictureFormat::kJpeg;
  if (StartsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) return PictureFormat::kPng;
  if (StartsWith(data, size, "BM", 2)) return PictureFormat::kBmp;
  if (StartsWith(data, size, "II*\0", 4) || StartsWith(data, size, "MM\0*", 4)) return PictureFormat::kTiff;
  return PictureFormat::kUnknown;
}

namespace picture {

PictureResult CheckBudget(long long width, long long height) {
  if (width <= 0 || height <= 0) return PictureResult::kBroken;
  // Divided, not multiplied: sides near 2^32 would overflow a product.
  return width > kMaxPicturePixels / height ? PictureResult::kTooLarge : PictureResult::kLoaded;
}

}  // namespace picture

PictureResult ReadPictureHeader(const unsigned char* data, std::size_t size, PictureHeader* header) {
  *header = PictureHeader{};
  if (data == nullptr) return PictureResult::kNotAPicture;
  switch (SniffPicture(data, size)) {
    case PictureFormat::kJpeg: return picture::ReadJpegHeader(data, size, header);
    case PictureFormat::kPng: return picture::ReadPngHeader(data, size, header);
    case PictureFormat::kBmp: return picture::ReadBmpHeader(data, size, header);
    case PictureFormat::kTiff: return picture::ReadTiffHeader(data, size, header);
    case PictureFormat::kUnknown: break;
  }
  return PictureResult::kNotAPicture;
}

PictureResult DecodePicture(const unsigned char* data, std::size_t size, Picture* out) {
  *out = Picture{};
  PictureHeader header;
  const PictureResult checked = ReadPictureHeader(data, size, &header);
  if (checked != PictureResult::kLoaded) return checked;
  Picture decoded;
  PictureResult result = PictureResult::kBroken;
  try {
    switch (header.format) {
      case PictureFormat::kJpeg: result = picture::DecodeJpegPicture(data, size, &decoded); break;
      case PictureFormat::kPng: result = picture::DecodePngPicture(data, size, &decoded); break;
      case PictureFormat::kBmp: result = picture::DecodeBmpPicture(data, size, &decoded); break;
      case PictureFormat::kTiff: result = picture::DecodeTiffPicture(data, size, &decoded); break;
      case PictureFormat::kUnknown: return PictureResult::kNotAPicture;
    }
  } catch (const std::exception&) {
    return PictureResult::kBroken;  // OpenCV's or the allocator's exception
  }
  if (result != PictureResult::kLoaded) return result;
  const cv::Mat& pixels = decoded.pixels;
  // What every decoder promises, held once more here.
  if (pixels.empty() || pixels.depth() != CV_8U || (pixels.channels() != 1 && pixels.channels() != 3) ||
      pixels.cols != header.width || pixels.rows != header.height)
    return PictureResult::kBroken;
  decoded.format = header.format;
  *out = std::move(decoded);
  return PictureResult::kLoaded;
}

PictureResult ReadPictureFile(const std::string& path, Picture* picture) {
  *picture = Picture{};
  std::string bytes;
  const PictureResult read = ReadWholeFile(path, &bytes);
  if (read != PictureResult::kLoaded) return read;
  return DecodePicture(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), picture);
}

cv::Mat ReadPictureFileAsColour(const std::string& path) {
  Picture picture;
  if (ReadPictureFile(path, &picture) != PictureResult::kLoaded) return cv::Mat();
  if (picture.pixels.channels() == 3) return picture.pixels;
  cv::Mat colour;
  try {
    cv::cvtColor(picture.pixels, colour, cv::COLOR_GRAY2BGR);
  } catch (const std::exception&) {
    return cv::Mat();
  }
  return colour;
}

}  // namespace vq
