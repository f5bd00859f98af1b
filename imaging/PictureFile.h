#pragma once
// The one loader of pictures read back from the user's folders (captured
// pages, merges, the multipage dialog's pages). Those files may have been
// replaced, copied in from elsewhere or truncated by a crash, so only the
// formats the programs write are decoded, each recognised by its content
// (never by its name) and handed to its own library only:
//   JPEG  libjpeg(-turbo): greyscale and colour, baseline or progressive
//   PNG   libpng: any bit depth and colour type, reduced to 8-bit grey or colour
//   BMP   header checked here, pixels by OpenCV: uncompressed 1, 4, 8, 24, 32 bits
//   TIFF  libtiff, first page only: 1-bit (uncompressed, LZW, CCITT Group 4),
//         8-bit grey and 8-bit RGB (uncompressed, LZW, JPEG) in strips
// The declared size is read before anything else; pictures of more than
// kMaxPicturePixels are refused before any pixel memory is taken, and so
// are files larger than kMaxPictureFileBytes. The libraries' messages are
// kept off the program's output. Failures are return values.
#include <cstddef>
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>

namespace vq {

// 100 million pixels: twenty 5 MP camera pages, or a merge of two 50 MP
// pages; decoded in colour that is 300 MB.
inline constexpr long long kMaxPicturePixels = 100'000'000;
// The largest file read: an uncompressed colour picture at the pixel
// budget with room for its headers.
inline constexpr std::uint64_t kMaxPictureFileBytes = 3ull * kMaxPicturePixels + (16ull << 20);

enum class PictureFormat { kUnknown, kJpeg, kPng, kBmp, kTiff };

enum class PictureResult {
  kLoaded,
  kUnreadable,   // no such file, not a regular file, or a read error
  kNotAPicture,  // none of the four formats
  kTooLarge,     // declares more than kMaxPicturePixels, or the file is too large
  kUnsupported,  // one of the formats in a variant the programs do not write
  kBroken,       // the data does not decode
};

// A format's declared picture, read from its header without decoding.
struct PictureHeader {
  PictureFormat format = PictureFormat::kUnknown;
  long long width = 0;
  long long height = 0;
};

struct Picture {
  PictureFormat format = PictureFormat::kUnknown;
  // 8-bit, rows top down: one channel (grey) or three (blue, green, red).
  cv::Mat pixels;
  // Stored with one bit per pixel (TIFF and BMP): pixels are 0 or 255.
  bool bilevel = false;
};

// The format by its first bytes.
PictureFormat SniffPicture(const unsigned char* data, std::size_t size);
// The declared size of a picture in memory: kLoaded with the header filled
// in, or why there is none (kTooLarge when it declares too many pixels).
PictureResult ReadPictureHeader(const unsigned char* data, std::size_t size, PictureHeader* header);
// Decodes a picture held in memory into *picture (left empty on failure).
PictureResult DecodePicture(const unsigned char* data, std::size_t size, Picture* picture);
// Reads and decodes a picture file, by UTF-8 path.
PictureResult ReadPictureFile(const std::string& path, Picture* picture);

// The picture as three channels (a grey one repeated); empty on failure.
cv::Mat ReadPictureFileAsColour(const std::string& path);

}  // namespace vq
