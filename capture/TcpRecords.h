#pragma once
// The camera server's wire format: a request is a 4-byte ASCII length and a
// body of a command record and a mode record; a response is a 12-byte ASCII
// length and a body of records. A record is int32 type, int32 n (both
// little-endian) and n data bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vqcapture {

constexpr int kTcpListResolutions = 0;
constexpr int kTcpGetFrame = 1;
constexpr int kTcpSetResolution = 2;
constexpr int kTcpRecordResolution = 0;
constexpr int kTcpRecordJpeg = 1;
constexpr size_t kTcpRequestLengthBytes = 4;
constexpr size_t kTcpResponseLengthBytes = 12;
constexpr size_t kTcpStreamBodyLimit = 3689600;
constexpr size_t kTcpControlBodyLimit = 1024;
constexpr size_t kTcpResolutionTextLimit = 11;
constexpr size_t kTcpSizeTextLimit = 19;

// The whole request: length field and body. The text is the data of a
// set-resolution command; the other commands carry four spaces. Empty when
// the text is too long.
std::vector<uint8_t> BuildTcpRequest(int command, int mode, const std::string& text = {});

// The body length of a response length field: the decimal number up to the
// first non-digit. False when it is no number or larger than limit.
bool ParseTcpResponseLength(const uint8_t* field, size_t limit, size_t* length);

struct TcpRecordHandlers {
  std::function<void(int width, int height)> resolution;
  std::function<void(const uint8_t* data, size_t size)> jpeg;
};

// Walks the records of a body while a whole record lies within it. Resolution
// texts longer than the limit, without a "*" or with sizes that are not
// positive are skipped; so are records of other types. Returns the number of
// records walked.
size_t ParseTcpResponse(const uint8_t* body, size_t size, const TcpRecordHandlers& handlers);

// "W*H" into its numbers; false for anything else.
bool ParseTcpResolutionText(const uint8_t* text, size_t size, int* width, int* height);

}  // namespace vqcapture
