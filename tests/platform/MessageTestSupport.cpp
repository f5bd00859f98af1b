#include "tests/platform/MessageTestSupport.h"

#include <algorithm>
#include <cstdlib>

namespace vqtest {
namespace {

struct LogState {
  std::mutex mutex;
  std::vector<LoggedMessage> entries;
  TestHandler handler;
};

LogState& State() {
  static auto* state = new LogState;
  return *state;
}

}  // namespace

void MessageLog::Clear() {
  std::lock_guard lock(State().mutex);
  State().entries.clear();
  State().handler = nullptr;
}

void MessageLog::SetHandler(TestHandler handler) {
  std::lock_guard lock(State().mutex);
  State().handler = std::move(handler);
}

std::vector<LoggedMessage> MessageLog::Entries() {
  std::lock_guard lock(State().mutex);
  return State().entries;
}

std::vector<LoggedMessage> MessageLog::Only(std::initializer_list<UINT> messages) {
  std::vector<LoggedMessage> result;
  for (const auto& entry : Entries())
    if (std::find(messages.begin(), messages.end(), entry.message) != messages.end()) result.push_back(entry);
  return result;
}

size_t MessageLog::Count(UINT message, HWND hwnd) {
  auto entries = Entries();
  return static_cast<size_t>(std::count_if(entries.begin(), entries.end(), [&](const LoggedMessage& e) {
    return e.message == message && (!hwnd || e.hwnd == hwnd);
  }));
}

LRESULT CALLBACK MessageLog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TestHandler handler;
  {
    std::lock_guard lock(State().mutex);
    State().entries.push_back({hwnd, message, wParam, lParam, GetCurrentThreadId()});
    handler = State().handler;
  }
  if (handler)
    if (auto result = handler(hwnd, message, wParam, lParam)) return *result;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterTestClass() {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MessageLog::Procedure;
  windowClass.cbWndExtra = 2 * sizeof(LONG_PTR);
  windowClass.lpszClassName = kTestClass;
  RegisterClassW(&windowClass);  // already registered by an earlier test is fine
}

HWND MakeWindow(const wchar_t* title, HWND parent, int id, DWORD style, LPVOID param) {
  RegisterTestClass();
  return CreateWindowExW(0, kTestClass, title, style, 0, 0, 200, 100, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, param);
}

int RunMessageLoop() {
  MSG msg;
  BOOL result;
  while ((result = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return result == 0 ? static_cast<int>(msg.wParam) : -1;
}

WindowThread::WindowThread(std::wstring title, HWND parent, DWORD style)
    : title_(std::move(title)), parent_(parent), style_(style), ready_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
  WaitForSingleObject(ready_, INFINITE);
}

WindowThread::~WindowThread() {
  Stop();
  CloseHandle(ready_);
}

void WindowThread::Stop() {
  if (!thread_) return;
  PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WindowThread::Run(LPVOID parameter) {
  auto* self = static_cast<WindowThread*>(parameter);
  self->window_ = MakeWindow(self->title_.c_str(), self->parent_, 7, self->style_);
  SetEvent(self->ready_);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}

namespace {
const char* const kLocaleVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
}  // namespace

LanguageScope::LanguageScope(const char* lang) {
  for (int i = 0; i < 3; ++i) {
    if (const char* value = std::getenv(kLocaleVariables[i])) saved_[i] = value;
    unsetenv(kLocaleVariables[i]);
  }
  setenv("LANG", lang, 1);
}

LanguageScope::~LanguageScope() {
  for (int i = 0; i < 3; ++i) {
    if (saved_[i])
      setenv(kLocaleVariables[i], saved_[i]->c_str(), 1);
    else
      unsetenv(kLocaleVariables[i]);
  }
}

}  // namespace vqtest
