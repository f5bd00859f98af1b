#include "twain/TiffWriter.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "twain/TransferLayout.h"

namespace {

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;
constexpr uint16_t kRational = 5;
constexpr uint32_t kXResolutionOffset = 158;
constexpr uint32_t kYResolutionOffset = 166;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

CTiffWriter::CTiffWriter(const std::string& path, uint32_t width, uint32_t height,
                         int bitsPerPixel, uint32_t bytesPerRow)
    : m_fileName(path) {
  const bool colour = bitsPerPixel == 24;
  const uint32_t header = static_cast<uint32_t>(GetHeaderSize());
  m_entries[0] = {256, kLong, 1, width};
  m_entries[1] = {257, kLong, 1, height};
  m_entries[2] = {258, kShort, 1, colour ? 8u : static_cast<uint32_t>(bitsPerPixel)};
  m_entries[3] = {259, kShort, 1, 1};
  m_entries[4] = {262, kShort, 1, colour ? 2u : 1u};
  m_entries[5] = {273, kShort, 1, header};
  m_entries[6] = {277, kShort, 1, colour ? 3u : 1u};
  m_entries[7] = {278, kLong, 1, height};
  m_entries[8] = {279, kLong, 1, height * bytesPerRow};
  m_entries[9] = {282, kRational, 1, kXResolutionOffset};
  m_entries[10] = {283, kRational, 1, kYResolutionOffset};
  m_entries[11] = {296, kShort, 1, 2};
}

CTiffWriter::~CTiffWriter() {
  if (m_stream) m_stream->close();
}

void CTiffWriter::SetXResolution(uint32_t numerator, uint32_t denominator) {
  m_xResolution[0] = numerator;
  m_xResolution[1] = denominator;
}

void CTiffWriter::SetYResolution(uint32_t numerator, uint32_t denominator) {
  m_yResolution[0] = numerator;
  m_yResolution[1] = denominator;
}

bool CTiffWriter::WriteHeader() {
  if (!m_stream) {
    m_stream = std::make_unique<std::ofstream>(m_fileName, std::ios::binary | std::ios::trunc);
  } else {
    m_stream->clear();
    m_stream->seekp(0);
  }
  uint8_t header[174] = {};
  header[0] = 'I';
  header[1] = 'I';
  Put16(header + 2, 42);
  Put32(header + 4, 8);
  Put16(header + 8, 12);
  uint8_t* p = header + 10;
  for (const Entry& e : m_entries) {
    Put16(p, e.tag);
    Put16(p + 2, e.type);
    Put32(p + 4, e.count);
    if (e.type == kShort)
      Put16(p + 8, static_cast<uint16_t>(e.value));
    else
      Put32(p + 8, e.value);
    p += 12;
  }
  Put32(header + 154, 0);
  Put32(header + kXResolutionOffset, m_xResolution[0]);
  Put32(header + kXResolutionOffset + 4, m_xResolution[1]);
  Put32(header + kYResolutionOffset, m_yResolution[0]);
  Put32(header + kYResolutionOffset + 4, m_yResolution[1]);
  m_dataOffset = sizeof header;
  m_stream->write(reinterpret_cast<const char*>(header), sizeof header);
  return true;
}

bool CTiffWriter::WriteData(const char* data, int bytes) {
  if (!m_stream || !m_stream->good() || bytes < 0) return false;
  m_stream->seekp(m_dataOffset);
  m_stream->write(data, bytes);
  m_dataOffset += bytes;
  return m_stream->good();
}

bool WriteUncompressedTiff(const std::string& path, const cv::Mat& page, uint32_t xDpi,
                           uint32_t yDpi) {
  if (page.empty() || page.depth() != CV_8U || (page.channels() != 1 && page.channels() != 3))
    return false;
  const int bits = page.channels() == 3 ? 24 : 8;
  const uint64_t rowBytes = CompactRowBytes(bits, static_cast<uint64_t>(page.cols));
  if (rowBytes * static_cast<uint64_t>(page.rows) > kMaxTransferBytes) return false;
  bool ok = true;
  {
    CTiffWriter writer(path, static_cast<uint32_t>(page.cols), static_cast<uint32_t>(page.rows),
                       bits, static_cast<uint32_t>(rowBytes));
    writer.SetXResolution(xDpi, 1);
    writer.SetYResolution(yDpi, 1);
    ok = writer.WriteHeader();
    std::vector<uint8_t> row(rowBytes);
    for (int y = 0; ok && y < page.rows; ++y) {
      if (bits == 24)
        CopySwappingRedBlue(row.data(), page.ptr(y), static_cast<uint64_t>(page.cols));
      else
        std::memcpy(row.data(), page.ptr(y), rowBytes);
      ok = writer.WriteData(reinterpret_cast<const char*>(row.data()), static_cast<int>(rowBytes));
    }
  }
  if (!ok) std::remove(path.c_str());
  return ok;
}
