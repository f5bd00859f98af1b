#include "app/WatermarkText.h"

#include <cwchar>

#include "platform/win/Clock.h"

CString WatermarkTextOf(const CSysSettings& settings) {
  CString text;
  if (settings.dateMark) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    wchar_t stamp[64];
    std::swprintf(stamp, 64, L"%04d/%02d/%02d-%02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    text = stamp;
  }
  if (settings.customMark) {
    if (!text.IsEmpty()) text += L" ";
    text += settings.markName;
  }
  return text;
}
