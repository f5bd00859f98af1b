#pragma once
// Picture files that once ended or froze the programs when they read them
// back from the image folder, rebuilt byte by byte, and the little-endian
// TIFF builder the tests make other damaged files with.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hostile {

struct TiffEntry {
  uint16_t tag;
  uint32_t value;  // SHORT for the tags that are SHORT in practice, LONG otherwise
};

// TIFF tags used here.
enum : uint16_t {
  kWidth = 256, kLength = 257, kBitsPerSample = 258, kCompression = 259, kPhotometric = 262,
  kStripOffsets = 273, kSamplesPerPixel = 277, kRowsPerStrip = 278, kStripByteCounts = 279,
  kPlanarConfig = 284,
};

// One directory with the entries (sorted here) and one strip after it;
// StripOffsets and StripByteCounts are filled in from the strip.
inline std::string TiffFile(std::vector<TiffEntry> entries, const std::string& strip) {
  auto put16 = [](std::string& s, uint32_t v) { s += char(v & 0xFF), s += char((v >> 8) & 0xFF); };
  auto put32 = [&](std::string& s, uint32_t v) { put16(s, v & 0xFFFF), put16(s, v >> 16); };
  entries.push_back({kStripOffsets, 0});
  entries.push_back({kStripByteCounts, static_cast<uint32_t>(strip.size())});
  std::sort(entries.begin(), entries.end(), [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
  const uint32_t stripAt = 8 + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
  std::string file = "II*";
  file += '\0';
  put32(file, 8);
  put16(file, static_cast<uint32_t>(entries.size()));
  for (const TiffEntry& e : entries) {
    const bool isShort = e.tag == kBitsPerSample || e.tag == kCompression || e.tag == kPhotometric ||
                         e.tag == kSamplesPerPixel || e.tag == kPlanarConfig;
    put16(file, e.tag);
    put16(file, isShort ? 3 : 4);
    put32(file, 1);
    const uint32_t value = e.tag == kStripOffsets ? stripAt : e.value;
    if (isShort) put16(file, value), put16(file, 0);
    else put32(file, value);
  }
  put32(file, 0);
  return file + strip;
}

// A Group 4 page whose directory was damaged to say eight 1-bit samples per
// pixel: FreeImage asserted on such a strip and aborted the whole process.
inline std::string DamagedTiffStrip() {
  return TiffFile({{kWidth, 64}, {kLength, 16}, {kBitsPerSample, 1}, {kCompression, 4}, {kPhotometric, 0},
                   {kSamplesPerPixel, 8}, {kRowsPerStrip, 16}, {kPlanarConfig, 1}},
                  std::string(40, '\0'));
}

// The start of an OpenEXR header (magic number, version 2) whose first
// attribute name never ends, 29 bytes: behind a ".jpg" name FreeImage still
// sent it to OpenEXR's header reader, which never returned.
inline std::string ExrHeader() {
  std::string file = "\x76\x2f\x31\x01";
  file += std::string("\x02\0\0\0", 4);
  return file + std::string(21, 'a');
}

// A Group 4 TIFF of under 200 bytes declaring 16392 x 65320 pixels in one
// strip: OpenCV's TIFF decoder asked for about 7.5 GB for it.
inline std::string HugeG4Tiff() {
  std::string strip;
  for (int i = 0; i < 15; ++i) strip += std::string("\x26\xa0\0\0", 4);
  return TiffFile({{kWidth, 16392}, {kLength, 65320}, {kBitsPerSample, 1}, {kCompression, 4}, {kPhotometric, 0},
                   {kSamplesPerPixel, 1}, {kRowsPerStrip, 65320}, {kPlanarConfig, 1}},
                  strip);
}

// The three under the names they arrive with in the image folder.
inline std::vector<std::pair<std::string, std::string>> NamedFiles() {
  return {{"damaged.tif", DamagedTiffStrip()}, {"picture.jpg", ExrHeader()}, {"huge.tif", HugeG4Tiff()}};
}

}  // namespace hostile
