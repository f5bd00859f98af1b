#pragma once
// Records what the camera layer posts, sends and broadcasts to windows, for
// the duration of a test.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/WindowBridge.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

struct RecordedMessage {
  HWND window;  // null for a broadcast
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class MessageRecorder {
 public:
  MessageRecorder();
  ~MessageRecorder();
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  // Waits until `count` messages of this kind went to the window (null: broadcasts).
  bool WaitFor(HWND window, UINT message, size_t count = 1,
               std::chrono::milliseconds timeout = kPatience);
  size_t Count(HWND window, UINT message);
  std::vector<RecordedMessage> Messages();
  std::vector<std::wstring> ComboStrings(HWND combo);
  void Clear();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<RecordedMessage> messages_;
  std::vector<std::pair<HWND, std::wstring>> comboStrings_;
  vq::dshow::WindowBridge previous_;
};

// A window handle for tests; nothing behind it.
inline HWND FakeWindow(int n) { return reinterpret_cast<HWND>(static_cast<intptr_t>(0x1000 + n)); }

}  // namespace vqtest
