#include "platform/win/MessageBox.h"

#include <mutex>

#include "platform/win/Dialog.h"

namespace vqplatform {
namespace {

std::mutex mutex;
MessageBoxAnswer answerHook;
std::vector<MessageBoxRecord> log;

}  // namespace

void SetMessageBoxAnswer(MessageBoxAnswer answer) {
  std::lock_guard lock(mutex);
  answerHook = std::move(answer);
}

std::vector<MessageBoxRecord> MessageBoxLog() {
  std::lock_guard lock(mutex);
  return log;
}

void ClearMessageBoxLog() {
  std::lock_guard lock(mutex);
  log.clear();
}

int DefaultMessageBoxAnswer(UINT type) {
  static const int kButtons[][3] = {{IDOK, 0, 0},          {IDOK, IDCANCEL, 0},  {IDABORT, IDRETRY, IDIGNORE},
                                    {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, 0},     {IDRETRY, IDCANCEL, 0}};
  UINT kind = type & MB_TYPEMASK;
  if (kind > MB_RETRYCANCEL) kind = MB_OK;
  UINT which = (type & MB_DEFMASK) >> 8;
  if (which > 2 || kButtons[kind][which] == 0) which = 0;
  return kButtons[kind][which];
}

}  // namespace vqplatform

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  vqplatform::MessageBoxRecord record{owner, text ? text : L"", caption ? caption : L"Error", type};
  vqplatform::MessageBoxAnswer answer;
  {
    std::lock_guard lock(vqplatform::mutex);
    vqplatform::log.push_back(record);
    answer = vqplatform::answerHook;
  }
  return answer ? answer(record) : vqplatform::DefaultMessageBoxAnswer(type);
}
