#include "app/LogFile.h"

#include <cstdarg>
#include <cstdio>

#include "base/PathEncoding.h"
#include "platform/win/Clock.h"
#include "platform/win/FileSystem.h"

CLogFile::CLogFile() {
  text_[0] = '\0';
  InitializeCriticalSection(&lock_);
}

CLogFile::~CLogFile() { DeleteCriticalSection(&lock_); }

void CLogFile::Open(const wchar_t* fileName) {
  enabled_ = 1;
  path_ = fileName;
  if (!path_.IsEmpty()) DeleteFileW(path_);
}

void CLogFile::SetTimeStamp(int on) { timeStamp_ = on; }

int CLogFile::Write(const char* format, ...) {
  if (path_.IsEmpty() || !format) return 0;
  EnterCriticalSection(&lock_);
  va_list args;
  va_start(args, format);
  if (std::vsnprintf(text_, kTextSize, format, args) < 0) text_[0] = '\0';
  va_end(args);

  int result = 0;
  if (FILE* file = std::fopen(vq::PathToBytes(path_.str()).c_str(), "a")) {
    if (timeStamp_) {
      SYSTEMTIME now;
      GetLocalTime(&now);
      std::fprintf(file, "%02u/%02u/%04u %02u:%02u:%02u : ", now.wMonth, now.wDay, now.wYear,
                   now.wHour, now.wMinute, now.wSecond);
    }
    std::fprintf(file, "%s\r\n", text_);
    result = std::fclose(file) == 0 ? 1 : 0;
  }
  LeaveCriticalSection(&lock_);
  return result;
}
