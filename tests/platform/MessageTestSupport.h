#pragma once
// Shared by the message and window tests: a window class whose procedure
// logs every message (with the handling thread) and can be given a handler,
// and a thread that owns a window and runs a message loop.
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace vqtest {

struct LoggedMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD threadId;
};

// Answers a message instead of DefWindowProc when it returns a value.
using TestHandler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

class MessageLog {
 public:
  static void Clear();
  static void SetHandler(TestHandler handler);
  static std::vector<LoggedMessage> Entries();
  // Messages of the given numbers, in arrival order.
  static std::vector<LoggedMessage> Only(std::initializer_list<UINT> messages);
  static size_t Count(UINT message, HWND hwnd = nullptr);
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
};

inline const wchar_t* const kTestClass = L"VqTestWindow";
void RegisterTestClass();
HWND MakeWindow(const wchar_t* title, HWND parent = nullptr, int id = 0,
                DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, LPVOID param = nullptr);

// Runs GetMessage/DispatchMessage until WM_QUIT; returns the quit code.
int RunMessageLoop();

// A thread that creates a window titled `title` (a child of `parent` with
// WS_CHILD, else owned by it) and runs a message loop until it is stopped.
class WindowThread {
 public:
  explicit WindowThread(std::wstring title, HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW);
  ~WindowThread();
  HWND Window() const { return window_; }
  DWORD ThreadId() const { return threadId_; }
  // Ends the loop and waits for the thread.
  void Stop();

 private:
  static DWORD Run(LPVOID self);
  std::wstring title_;
  HWND parent_;
  DWORD style_;
  HWND window_ = nullptr;
  HANDLE ready_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
};

// The user's language for the layer's own words (LANG, with LC_ALL and
// LC_MESSAGES cleared) for the lifetime of the object.
class LanguageScope {
 public:
  explicit LanguageScope(const char* lang);
  ~LanguageScope();
  LanguageScope(const LanguageScope&) = delete;
  LanguageScope& operator=(const LanguageScope&) = delete;

 private:
  std::optional<std::string> saved_[3];
};

}  // namespace vqtest
