#include "capture/TcpRecords.h"

#include <cstring>

namespace vqcapture {

namespace {

void PutInt32(std::vector<uint8_t>& out, int32_t value) {
  const uint32_t v = uint32_t(value);
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

int32_t GetInt32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
}

void PutRecord(std::vector<uint8_t>& out, int type, const std::string& data) {
  PutInt32(out, type);
  PutInt32(out, int32_t(data.size()));
  out.insert(out.end(), data.begin(), data.end());
}

// A decimal number of at most maxDigits digits; false when there are none.
bool ParseDecimal(const uint8_t* text, size_t size, size_t maxDigits, long long* value) {
  long long v = 0;
  size_t digits = 0;
  for (; digits < size && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
    if (digits == maxDigits) return false;
    v = v * 10 + (text[digits] - '0');
  }
  if (digits == 0) return false;
  *value = v;
  return true;
}

}  // namespace

std::vector<uint8_t> BuildTcpRequest(int command, int mode, const std::string& text) {
  if (command == kTcpSetResolution && (text.empty() || text.size() > kTcpSizeTextLimit)) return {};
  std::vector<uint8_t> body;
  PutRecord(body, command, command == kTcpSetResolution ? text : "    ");
  PutRecord(body, mode, "    ");
  std::vector<uint8_t> request(kTcpRequestLengthBytes, 0);
  const std::string length = std::to_string(body.size());
  std::memcpy(request.data(), length.data(), length.size());  // at most 39 bytes: two digits
  request.insert(request.end(), body.begin(), body.end());
  return request;
}

bool ParseTcpResponseLength(const uint8_t* field, size_t limit, size_t* length) {
  long long v = 0;
  if (!ParseDecimal(field, kTcpResponseLengthBytes, 11, &v) || v < 0 || size_t(v) > limit) return false;
  *length = size_t(v);
  return true;
}

bool ParseTcpResolutionText(const uint8_t* text, size_t size, int* width, int* height) {
  if (size == 0 || size > kTcpResolutionTextLimit) return false;
  const uint8_t* star = static_cast<const uint8_t*>(std::memchr(text, '*', size));
  if (!star) return false;
  long long w = 0, h = 0;
  const size_t before = size_t(star - text), after = size - before - 1;
  if (!ParseDecimal(text, before, 6, &w) || !ParseDecimal(star + 1, after, 6, &h) || w <= 0 || h <= 0) return false;
  *width = int(w);
  *height = int(h);
  return true;
}

size_t ParseTcpResponse(const uint8_t* body, size_t size, const TcpRecordHandlers& handlers) {
  size_t offset = 0, records = 0;
  while (size - offset >= 8) {
    const int32_t type = GetInt32(body + offset);
    const int32_t n = GetInt32(body + offset + 4);
    if (n < 0 || size_t(n) > size - offset - 8) break;
    const uint8_t* data = body + offset + 8;
    if (type == kTcpRecordJpeg) {
      if (handlers.jpeg) handlers.jpeg(data, size_t(n));
    } else if (type == kTcpRecordResolution) {
      int w, h;
      if (handlers.resolution && ParseTcpResolutionText(data, size_t(n), &w, &h)) handlers.resolution(w, h);
    }
    offset += 8 + size_t(n);
    ++records;
  }
  return records;
}

}  // namespace vqcapture
