// TIFF pictures through libtiff, on the bytes in memory: the first page's
// tags are checked against what the programs write (1-bit pages
// uncompressed, LZW or Group 4; 8-bit grey or RGB pages uncompressed, LZW
// or JPEG; in strips, one plane) and its size against the budget before a
// strip is read. libtiff's errors and warnings go to this reader only, and
// any error refuses the picture.
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "imaging/PictureDecoders.h"

namespace vq::picture {

namespace {

// libtiff's own allocations for one picture: tag arrays, and strip copies
// where the data cannot be used in place (bits stored in reverse order).
constexpr tmsize_t kMaxLibraryAllocation = 128 << 20;

struct MemoryFile {
  const unsigned char* data;
  toff_t size;
  toff_t at = 0;
  int errors = 0;
};

tsize_t Read(thandle_t handle, tdata_t buffer, tsize_t wanted) {
  auto* file = static_cast<MemoryFile*>(handle);
  if (wanted <= 0 || file->at >= file->size) return 0;
  const toff_t n = std::min<toff_t>(static_cast<toff_t>(wanted), file->size - file->at);
  std::memcpy(buffer, file->data + file->at, static_cast<std::size_t>(n));
  file->at += n;
  return static_cast<tsize_t>(n);
}

tsize_t Write(thandle_t, tdata_t, tsize_t) { return 0; }

toff_t Seek(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = file->at;
  else if (whence == SEEK_END) base = file->size;
  else if (whence != SEEK_SET) return static_cast<toff_t>(-1);
  if (offset > ~toff_t(0) - base) return static_cast<toff_t>(-1);
  file->at = base + offset;  // past the end reads nothing
  return file->at;
}

int Close(thandle_t) { return 0; }
toff_t Size(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }

int Map(thandle_t handle, tdata_t* base, toff_t* size) {
  auto* file = static_cast<MemoryFile*>(handle);
  *base = const_cast<unsigned char*>(file->data);  // read only: the file is opened "r"
  *size = file->size;
  return 1;
}

void Unmap(thandle_t, tdata_t, toff_t) {}

int CountError(TIFF*, void* user, const char*, const char*, va_list) {
  ++static_cast<MemoryFile*>(user)->errors;
  return 1;  // handled: nothing is printed
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle Open(MemoryFile* file) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, CountError, file);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreWarning, file);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibraryAllocation);
  TIFF* tiff = TIFFClientOpenExt("picture", "r", file, Read, Write, Seek, Close, Size, Map, Unmap, options);
  TIFFOpenOptionsFree(options);
  return TiffHandle(tiff);
}

// The first page as the programs write it.
struct Page {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, compression = 0, photometric = 0, planar = 0;
  bool Bilevel() const { return bits == 1; }
};

PictureResult CheckPage(TIFF* tiff, Page* page) {
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page->width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page->height))
    return PictureResult::kBroken;
  const PictureResult budget = CheckBudget(page->width, page->height);
  if (budget != PictureResult::kLoaded) return budget;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &page->bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &page->samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &page->compression);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &page->planar);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page->photometric)) return PictureResult::kUnsupported;
  if (TIFFIsTiled(tiff) || page->planar != PLANARCONFIG_CONTIG) return PictureResult::kUnsupported;
  const uint16_t c = page->compression, p = page->photometric;
  const bool grey = p == PHOTOMETRIC_MINISWHITE || p == PHOTOMETRIC_MINISBLACK;
  bool known = false;
  if (page->bits == 1 && page->samples == 1)
    known = grey && (c == COMPRESSION_NONE || c == COMPRESSION_LZW || c == COMPRESSION_CCITTFAX4);
  else if (page->bits == 8 && page->samples == 1)
    known = grey && (c == COMPRESSION_NONE || c == COMPRESSION_LZW || c == COMPRESSION_JPEG);
  else if (page->bits == 8 && page->samples == 3)
    known = (p == PHOTOMETRIC_RGB && (c == COMPRESSION_NONE || c == COMPRESSION_LZW || c == COMPRESSION_JPEG)) ||
            (p == PHOTOMETRIC_YCBCR && c == COMPRESSION_JPEG);
  return known ? PictureResult::kLoaded : PictureResult::kUnsupported;
}

// Decodes every strip into `rows` (height rows of `rowBytes`).
bool ReadStrips(TIFF* tiff, const Page& page, unsigned char* rows, tmsize_t rowBytes, const MemoryFile& file) {
  if (TIFFScanlineSize(tiff) != rowBytes) return false;
  uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > page.height) rowsPerStrip = page.height;
  const uint32_t strips = (page.height + rowsPerStrip - 1) / rowsPerStrip;
  if (TIFFNumberOfStrips(tiff) < strips) return false;
  for (uint32_t strip = 0; strip < strips; ++strip) {
    const uint32_t first = strip * rowsPerStrip;
    const tmsize_t wanted = static_cast<tmsize_t>(std::min(rowsPerStrip, page.height - first)) * rowBytes;
    if (TIFFReadEncodedStrip(tiff, strip, rows + static_cast<std::size_t>(first) * rowBytes, wanted) != wanted ||
        file.errors > 0)
      return false;
  }
  return true;
}

// 1-bit rows (leftmost pixel in the high bit) as 0 and 255 bytes: set
// bits are black when ink is stored as 1, white otherwise.
cv::Mat ExpandBits(const unsigned char* bits, tmsize_t rowBytes, int width, int height, bool inkIsOne) {
  unsigned char patterns[256][8];
  for (int byte = 0; byte < 256; ++byte)
    for (int bit = 0; bit < 8; ++bit)
      patterns[byte][bit] = ((byte >> (7 - bit)) & 1) != inkIsOne ? 255 : 0;
  cv::Mat pixels(height, width, CV_8UC1);
  const int whole = width / 8, rest = width % 8;
  for (int y = 0; y < height; ++y) {
    const unsigned char* in = bits + static_cast<std::size_t>(y) * rowBytes;
    unsigned char* out = pixels.ptr(y);
    for (int i = 0; i < whole; ++i) std::memcpy(out + i * 8, patterns[in[i]], 8);
    if (rest) std::memcpy(out + whole * 8, patterns[in[whole]], static_cast<std::size_t>(rest));
  }
  return pixels;
}

}  // namespace

PictureResult ReadTiffHeader(const unsigned char* data, std::size_t size, PictureHeader* header) {
  MemoryFile file{data, size};
  TiffHandle tiff = Open(&file);
  if (!tiff) return PictureResult::kBroken;
  Page page;
  const PictureResult checked = CheckPage(tiff.get(), &page);
  header->format = PictureFormat::kTiff;
  header->width = page.width;
  header->height = page.height;
  return checked;
}

PictureResult DecodeTiffPicture(const unsigned char* data, std::size_t size, Picture* picture) {
  MemoryFile file{data, size};
  TiffHandle tiff = Open(&file);
  Page page;
  if (!tiff) return PictureResult::kBroken;
  const PictureResult checked = CheckPage(tiff.get(), &page);
  if (checked != PictureResult::kLoaded) return checked;
  const int width = static_cast<int>(page.width), height = static_cast<int>(page.height);
  const bool inkIsOne = page.photometric == PHOTOMETRIC_MINISWHITE;

  if (page.Bilevel()) {
    const tmsize_t rowBytes = (width + 7) / 8;
    std::vector<unsigned char> bits(static_cast<std::size_t>(rowBytes) * height);
    if (!ReadStrips(tiff.get(), page, bits.data(), rowBytes, file)) return PictureResult::kBroken;
    picture->pixels = ExpandBits(bits.data(), rowBytes, width, height, inkIsOne);
    picture->bilevel = true;
    return PictureResult::kLoaded;
  }

  // JPEG pages stored as YCbCr are handed over as RGB.
  if (page.photometric == PHOTOMETRIC_YCBCR && !TIFFSetField(tiff.get(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
    return PictureResult::kBroken;
  cv::Mat pixels(height, width, page.samples == 3 ? CV_8UC3 : CV_8UC1);
  if (!ReadStrips(tiff.get(), page, pixels.data, static_cast<tmsize_t>(pixels.step), file))
    return PictureResult::kBroken;
  if (page.samples == 3) cv::cvtColor(pixels, pixels, cv::COLOR_RGB2BGR);
  else if (inkIsOne) cv::bitwise_not(pixels, pixels);
  picture->pixels = pixels;
  return PictureResult::kLoaded;
}

}  // namespace vq::picture
