#pragma once
// An uncompressed single-strip TIFF file: a fixed 174-byte header (twelve
// directory entries and both resolutions) followed by the pixel rows.
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

class CTiffWriter {
 public:
  // bitsPerPixel is 1, 8 or 24 (24: red, green, blue rows, top row first).
  CTiffWriter(const std::string& path, uint32_t width, uint32_t height, int bitsPerPixel,
              uint32_t bytesPerRow);
  virtual ~CTiffWriter();
  CTiffWriter(const CTiffWriter&) = delete;
  CTiffWriter& operator=(const CTiffWriter&) = delete;

  void SetXResolution(uint32_t numerator, uint32_t denominator);
  void SetYResolution(uint32_t numerator, uint32_t denominator);
  // Opens (truncating) or rewinds the file and writes the header.
  bool WriteHeader();
  // Appends pixel bytes after the header; false before WriteHeader or after
  // a failed write.
  bool WriteData(const char* data, int bytes);
  static int GetHeaderSize() { return 174; }

 private:
  struct Entry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t value;
  };

  std::string m_fileName;
  int64_t m_dataOffset = 0;
  uint32_t m_xResolution[2] = {100, 1};
  uint32_t m_yResolution[2] = {100, 1};
  Entry m_entries[12];
  std::unique_ptr<std::ofstream> m_stream;
};

// Writes a one- or three-channel 8-bit page (blue, green, red) as an
// uncompressed TIFF at whole dots per inch; false when the file could not be
// completed, which then is removed.
bool WriteUncompressedTiff(const std::string& path, const cv::Mat& page, uint32_t xDpi,
                           uint32_t yDpi);
