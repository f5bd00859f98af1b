#pragma once
// Record-by-record access to model files.
#include <cstdio>
#include <string>

#include "ocr/OCRMatrix.h"

class CFileOperator {
 public:
  virtual ~CFileOperator() = default;
  // Opens the write stream with a C fopen mode; 0 on success, 1 on failure.
  virtual int OpenWithMode(std::string path, const char* mode) = 0;
  // Opens for writing ("wb") or reading ("rb"); 0 on success, 1 on failure.
  virtual int Open(std::string path, bool forWriting) = 0;
  // The next record, owned by the caller; null at the end of the stream or
  // when the record is damaged.
  virtual OCRMatrix* ReadRecord() = 0;
  // 0 when the whole record was written, else 1.
  virtual int WriteRecord(const OCRMatrix* record) = 0;
  virtual int Close() = 0;
  // Writes the text as a one-row byte record; 1 when not supported.
  virtual int WriteString(const char* text) { (void)text; return 1; }
  // True when the read stream has been consumed to its last byte, so a null
  // ReadRecord meant the end and not a damaged record.
  virtual bool AtEnd() const = 0;
};

// Model files on disk: little-endian int32 rows, cols and element type, then
// the elements row by row.
class CCmmFileOperatorImp : public CFileOperator {
 public:
  CCmmFileOperatorImp() = default;
  ~CCmmFileOperatorImp() override;
  CCmmFileOperatorImp(const CCmmFileOperatorImp&) = delete;
  CCmmFileOperatorImp& operator=(const CCmmFileOperatorImp&) = delete;

  int OpenWithMode(std::string path, const char* mode) override;
  int Open(std::string path, bool forWriting) override;
  OCRMatrix* ReadRecord() override;
  int WriteRecord(const OCRMatrix* record) override;
  int Close() override;
  int WriteString(const char* text) override;
  bool AtEnd() const override { return read_ && unread_ == 0 && !damaged_; }

 private:
  bool ReadInt32(int32_t* value);
  OCRMatrix* ReadRecordBody(int32_t rows, int32_t cols, int32_t type);

  FILE* write_ = nullptr;
  FILE* read_ = nullptr;
  long long unread_ = 0;  // bytes of the read stream not yet consumed
  bool damaged_ = false;  // a record could not be read whole
};
