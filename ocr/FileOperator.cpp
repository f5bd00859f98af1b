#include "ocr/FileOperator.h"

#include <unistd.h>

#include <bit>
#include <cstring>

#include "base/BoundedFile.h"

static_assert(std::endian::native == std::endian::little,
              "model records are stored in the machine's byte order");

namespace {

// The built model is about 20 MB; ten times that is no model of ours.
constexpr std::uint64_t kMaxModelFileBytes = 256ull << 20;

}  // namespace

CCmmFileOperatorImp::~CCmmFileOperatorImp() { Close(); }

int CCmmFileOperatorImp::OpenWithMode(std::string path, const char* mode) {
  if (write_ || read_ || !mode) return 1;
  write_ = std::fopen(path.c_str(), mode);
  return write_ ? 0 : 1;
}

int CCmmFileOperatorImp::Open(std::string path, bool forWriting) {
  if (write_ || read_) return 1;
  if (forWriting) return OpenWithMode(path, "wb");
  // Without blocking on a FIFO or device, and only a file of a model's size.
  const vq::BoundedOpen file = vq::OpenBoundedFile(path, kMaxModelFileBytes);
  if (!file) return 1;
  read_ = fdopen(file.fd, "rb");
  if (!read_) {
    close(file.fd);
    return 1;
  }
  unread_ = static_cast<long long>(file.size);
  return 0;
}

bool CCmmFileOperatorImp::ReadInt32(int32_t* value) {
  uint8_t bytes[4];
  if (std::fread(bytes, 1, 4, read_) != 4) return false;
  unread_ -= 4;
  *value = static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                static_cast<uint32_t>(bytes[2]) << 16 |
                                static_cast<uint32_t>(bytes[3]) << 24);
  return true;
}

OCRMatrix* CCmmFileOperatorImp::ReadRecord() {
  if (!read_ || unread_ == 0) return nullptr;
  int32_t rows = 0, cols = 0, type = 0;
  OCRMatrix* record = nullptr;
  if (ReadInt32(&rows) && ReadInt32(&cols) && ReadInt32(&type)) record = ReadRecordBody(rows, cols, type);
  if (!record) damaged_ = true;
  return record;
}

OCRMatrix* CCmmFileOperatorImp::ReadRecordBody(int32_t rows, int32_t cols, int32_t type) {
  if (rows < 0 || cols < 0) return nullptr;
  const unsigned long long count = static_cast<unsigned long long>(rows) * static_cast<unsigned long long>(cols);
  const int size = OCRElementSize(type);
  if (size == 0) return count <= 1 ? CreateMatrix(type, rows, cols) : nullptr;
  // The elements must be in the file before anything is allocated for them.
  if (unread_ < 0 || count > static_cast<unsigned long long>(unread_) / static_cast<unsigned>(size))
    return nullptr;
  OCRMatrixPtr record(CreateMatrix(type, rows, cols));
  if (!record) return nullptr;
  if (count > 0) {
    const size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(size);
    if (std::fread(record->data, 1, bytes, read_) != bytes) return nullptr;
    unread_ -= static_cast<long long>(bytes);
  }
  return record.release();
}

int CCmmFileOperatorImp::WriteRecord(const OCRMatrix* record) {
  if (!write_ || !record) return 1;
  const int32_t header[3] = {record->rows, record->cols, record->type};
  for (int32_t value : header) {
    const uint32_t u = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                              static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
    if (std::fwrite(bytes, 1, 4, write_) != 4) return 1;
  }
  const size_t count = OCRElementCount(record);
  const int size = OCRElementSize(record->type);
  if (count == 0 || size == 0) return 0;
  if (!record->data) return 1;
  return std::fwrite(record->data, static_cast<size_t>(size), count, write_) == count ? 0 : 1;
}

int CCmmFileOperatorImp::Close() {
  if (write_) std::fclose(write_);
  if (read_) std::fclose(read_);
  write_ = nullptr;
  read_ = nullptr;
  unread_ = 0;
  damaged_ = false;
  return 0;
}

int CCmmFileOperatorImp::WriteString(const char* text) {
  if (!text) return 1;
  const size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT32_MAX)) return 1;
  OCRMatrixPtr record(CreateMatrix(OCR_U8, 1, static_cast<int>(length)));
  if (!record) return 1;
  if (length > 0) std::memcpy(record->data, text, length);
  return WriteRecord(record.get());
}
