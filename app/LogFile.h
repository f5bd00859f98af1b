#pragma once
// Appends formatted lines to a text log. Opening the log deletes the old
// file, so it holds the lines written since. Lines from different threads
// never interleave. The file name should be an absolute path.
#include "platform/mfc/CString.h"
#include "platform/win/Sync.h"

class CLogFile {
 public:
  CLogFile();
  ~CLogFile();
  CLogFile(const CLogFile&) = delete;
  CLogFile& operator=(const CLogFile&) = delete;

  // Enables the log on this file and deletes any file of that name.
  void Open(const wchar_t* fileName);
  // Non-zero: every line starts with the local time "%m/%d/%Y %H:%M:%S : ".
  void SetTimeStamp(int on);
  // Formats one line printf-style (at most 2999 characters) and appends it
  // with a CR LF line break. 1 when written; 0 when the log is not open,
  // the format is missing or the file cannot be opened for appending.
  int Write(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  static constexpr int kTextSize = 3000;
  char text_[kTextSize];
  CString path_;
  CRITICAL_SECTION lock_;
  int enabled_ = 0;
  int timeStamp_ = 0;
};
