// JPEG pictures: the frame header found by walking the markers, the pixels
// decoded by libjpeg (DecodeJpeg, which checks the size again itself).
#include "imaging/ImageFiles.h"
#include "imaging/PictureDecoders.h"

namespace vq::picture {

namespace {

unsigned Big16(const unsigned char* p) { return (unsigned(p[0]) << 8) | p[1]; }

// Frame types the decoder takes: baseline, extended and progressive, with
// Huffman or arithmetic coding. Lossless and hierarchical frames are not.
bool IsDecodableFrame(unsigned char marker) {
  return marker == 0xC0 || marker == 0xC1 || marker == 0xC2 || marker == 0xC9 || marker == 0xCA;
}

bool IsOtherFrame(unsigned char marker) {
  return marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC &&
         !IsDecodableFrame(marker);
}

}  // namespace

PictureResult ReadJpegHeader(const unsigned char* data, std::size_t size, PictureHeader* header) {
  std::size_t at = 2;  // after the start-of-image marker
  while (at < size) {
    if (data[at] != 0xFF) return PictureResult::kBroken;
    while (at < size && data[at] == 0xFF) ++at;  // fill bytes
    if (at >= size) break;
    const unsigned char marker = data[at++];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) return PictureResult::kBroken;  // data before any frame
    if (size - at < 2) break;
    const std::size_t length = Big16(data + at);
    if (length < 2 || length > size - at) break;
    if (IsOtherFrame(marker)) return PictureResult::kUnsupported;
    if (IsDecodableFrame(marker)) {
      if (length < 8) return PictureResult::kBroken;
      const unsigned char* frame = data + at + 2;
      const unsigned precision = frame[0], components = frame[5];
      if (precision != 8 || (components != 1 && components != 3)) return PictureResult::kUnsupported;
      header->format = PictureFormat::kJpeg;
      header->height = Big16(frame + 1);
      header->width = Big16(frame + 3);
      return CheckBudget(header->width, header->height);
    }
    at += length;
  }
  return PictureResult::kBroken;  // the file ends before a frame header
}

PictureResult DecodeJpegPicture(const unsigned char* data, std::size_t size, Picture* picture) {
  if (size > 0x7FFFFFFF) return PictureResult::kTooLarge;
  picture->pixels = DecodeJpeg(data, static_cast<int>(size));
  return picture->pixels.empty() ? PictureResult::kBroken : PictureResult::kLoaded;
}

}  // namespace vq::picture
