// Response bodies and length fields come from a network peer: any bytes must
// be walked without reading outside them, and every resolution handed on
// must be positive. The first 12 bytes are taken as a length field.
#include <cstdint>
#include <cstdlib>

#include "capture/TcpRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < vqcapture::kTcpResponseLengthBytes) return 0;
  size_t length = 0;
  if (vqcapture::ParseTcpResponseLength(data, vqcapture::kTcpControlBodyLimit, &length) &&
      length > vqcapture::kTcpControlBodyLimit)
    std::abort();
  const uint8_t* body = data + vqcapture::kTcpResponseLengthBytes;
  const size_t bodySize = size - vqcapture::kTcpResponseLengthBytes;
  size_t jpegBytes = 0;
  vqcapture::TcpRecordHandlers handlers;
  handlers.resolution = [](int w, int h) {
    if (w <= 0 || h <= 0) std::abort();
  };
  handlers.jpeg = [&](const uint8_t* p, size_t n) {
    if (p < body || p + n > body + bodySize) std::abort();
    jpegBytes += n;
  };
  vqcapture::ParseTcpResponse(body, bodySize, handlers);
  if (jpegBytes > bodySize) std::abort();
  return 0;
}
