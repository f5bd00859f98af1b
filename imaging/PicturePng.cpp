// PNG pictures: the size from the IHDR chunk, the pixels through libpng's
// simplified reader (its messages stay in the image record), reduced to
// 8-bit grey or blue-green-red; transparency is laid on white paper.
#include <png.h>

#include "imaging/PictureDecoders.h"

namespace vq::picture {

namespace {

unsigned long Big32(const unsigned char* p) {
  return (static_cast<unsigned long>(p[0]) << 24) | (static_cast<unsigned long>(p[1]) << 16) |
         (static_cast<unsigned long>(p[2]) << 8) | p[3];
}

}  // namespace

PictureResult ReadPngHeader(const unsigned char* data, std::size_t size, PictureHeader* header) {
  // Signature, then the IHDR chunk: length 13, type, width, height, ...
  if (size < 33) return PictureResult::kBroken;
  if (Big32(data + 8) != 13 || data[12] != 'I' || data[13] != 'H' || data[14] != 'D' || data[15] != 'R')
    return PictureResult::kBroken;
  header->format = PictureFormat::kPng;
  header->width = static_cast<long long>(Big32(data + 16));
  header->height = static_cast<long long>(Big32(data + 20));
  if (header->width > 0x7FFFFFFF || header->height > 0x7FFFFFFF) return PictureResult::kBroken;
  return CheckBudget(header->width, header->height);
}

PictureResult DecodePngPicture(const unsigned char* data, std::size_t size, Picture* picture) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) return PictureResult::kBroken;
  if (CheckBudget(image.width, image.height) != PictureResult::kLoaded) {
    png_image_free(&image);
    return PictureResult::kTooLarge;
  }
  const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
  image.format = colour ? PNG_FORMAT_BGR : PNG_FORMAT_GRAY;
  cv::Mat pixels(static_cast<int>(image.height), static_cast<int>(image.width), colour ? CV_8UC3 : CV_8UC1);
  const png_color paper{255, 255, 255};
  if (!png_image_finish_read(&image, &paper, pixels.data, static_cast<png_int_32>(pixels.step), nullptr)) {
    png_image_free(&image);
    return PictureResult::kBroken;
  }
  picture->pixels = pixels;
  return PictureResult::kLoaded;
}

}  // namespace vq::picture
