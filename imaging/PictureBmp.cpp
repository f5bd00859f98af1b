// BMP pictures: the headers checked here (uncompressed 1, 4, 8, 16, 24 and
// 32 bits, or 16 and 32 bits with colour masks, every row present), then
// the pixels decoded by OpenCV, which sees only data that passed.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/PictureDecoders.h"

namespace vq::picture {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr unsigned kRgb = 0, kBitFields = 3;

unsigned Little16(const unsigned char* p) { return p[0] | (unsigned(p[1]) << 8); }
unsigned long Little32(const unsigned char* p) {
  return p[0] | (static_cast<unsigned long>(p[1]) << 8) | (static_cast<unsigned long>(p[2]) << 16) |
         (static_cast<unsigned long>(p[3]) << 24);
}

struct BmpLayout {
  long long width = 0, height = 0;  // height as stored: negative for top-down rows
  unsigned bits = 0, compression = 0, planes = 0;
  unsigned long pixelsAt = 0, infoSize = 0, colours = 0;
};

PictureResult ReadLayout(const unsigned char* data, std::size_t size, BmpLayout* bmp) {
  if (size < kFileHeader + 12) return PictureResult::kBroken;
  bmp->pixelsAt = Little32(data + 10);
  bmp->infoSize = Little32(data + 14);
  const unsigned char* info = data + kFileHeader;
  if (bmp->infoSize == 12) {  // the oldest header: 16-bit sizes
    bmp->width = Little16(info + 4);
    bmp->height = Little16(info + 6);
    bmp->planes = Little16(info + 8);
    bmp->bits = Little16(info + 10);
    return PictureResult::kLoaded;
  }
  const unsigned long known[] = {40, 52, 56, 108, 124};
  if (std::find(std::begin(known), std::end(known), bmp->infoSize) == std::end(known))
    return PictureResult::kUnsupported;
  if (size < kFileHeader + bmp->infoSize) return PictureResult::kBroken;
  bmp->width = static_cast<int32_t>(Little32(info + 4));
  bmp->height = static_cast<int32_t>(Little32(info + 8));
  bmp->planes = Little16(info + 12);
  bmp->bits = Little16(info + 14);
  bmp->compression = static_cast<unsigned>(Little32(info + 16));
  bmp->colours = Little32(info + 32);
  return PictureResult::kLoaded;
}

}  // namespace

PictureResult ReadBmpHeader(const unsigned char* data, std::size_t size, PictureHeader* header) {
  BmpLayout bmp;
  const PictureResult layout = ReadLayout(data, size, &bmp);
  if (layout != PictureResult::kLoaded) return layout;
  header->format = PictureFormat::kBmp;
  header->width = bmp.width;
  header->height = bmp.height < 0 ? -bmp.height : bmp.height;
  const PictureResult budget = CheckBudget(header->width, header->height);
  if (budget != PictureResult::kLoaded) return budget;
  const bool plain = bmp.compression == kRgb &&
                     (bmp.bits == 1 || bmp.bits == 4 || bmp.bits == 8 || bmp.bits == 16 || bmp.bits == 24 ||
                      bmp.bits == 32);
  const bool masked = bmp.compression == kBitFields && (bmp.bits == 16 || bmp.bits == 32) && bmp.infoSize >= 40;
  if (bmp.planes != 1 || !(plain || masked)) return PictureResult::kUnsupported;
  // The colour table, and every row, must be in the file.
  const unsigned long entries = bmp.bits <= 8 ? (bmp.colours ? bmp.colours : 1ul << bmp.bits) : 0;
  if (entries > (1ul << bmp.bits) && bmp.bits <= 8) return PictureResult::kBroken;
  const unsigned long long table = kFileHeader + bmp.infoSize + entries * (bmp.infoSize == 12 ? 3 : 4);
  const unsigned long long rowBytes = ((static_cast<unsigned long long>(header->width) * bmp.bits + 31) / 32) * 4;
  if (table > size || bmp.pixelsAt < kFileHeader + bmp.infoSize ||
      bmp.pixelsAt + rowBytes * static_cast<unsigned long long>(header->height) > size)
    return PictureResult::kBroken;
  return PictureResult::kLoaded;
}

PictureResult DecodeBmpPicture(const unsigned char* data, std::size_t size, Picture* picture) {
  if (size > 0x7FFFFFFF) return PictureResult::kTooLarge;
  const cv::Mat bytes(1, static_cast<int>(size), CV_8UC1, const_cast<unsigned char*>(data));
  cv::Mat pixels = cv::imdecode(bytes, cv::IMREAD_ANYCOLOR | cv::IMREAD_IGNORE_ORIENTATION);
  if (pixels.empty() || pixels.depth() != CV_8U) return PictureResult::kBroken;
  if (pixels.channels() == 4) cv::cvtColor(pixels, pixels, cv::COLOR_BGRA2BGR);
  picture->pixels = pixels;
  // A 1-bit picture is black and white only when its two colours are; one
  // with a grey or inverted-grey colour table is a grey picture.
  const bool oneBit = Little16(data + (Little32(data + 14) == 12 ? 24 : 28)) == 1;
  picture->bilevel = oneBit && pixels.channels() == 1 && cv::countNonZero((pixels != 0) & (pixels != 255)) == 0;
  return PictureResult::kLoaded;
}

}  // namespace vq::picture
