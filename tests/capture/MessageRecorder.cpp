#include "tests/capture/MessageRecorder.h"

namespace vqtest {

MessageRecorder::MessageRecorder() {
  vq::dshow::WindowBridge bridge;
  bridge.post = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) {
    {
      std::lock_guard lock(lock_);
      messages_.push_back({w, m, wp, lp});
    }
    changed_.notify_all();
    return TRUE;
  };
  bridge.send = [this](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    std::lock_guard lock(lock_);
    if (m == vq::dshow::kCbAddString) comboStrings_.emplace_back(w, reinterpret_cast<const wchar_t*>(lp));
    messages_.push_back({w, m, wp, 0});
    return 0;
  };
  bridge.broadcast = [this](UINT m, WPARAM wp, LPARAM lp) {
    {
      std::lock_guard lock(lock_);
      messages_.push_back({nullptr, m, wp, lp});
    }
    changed_.notify_all();
  };
  previous_ = vq::dshow::SetWindowBridge(bridge);
}

MessageRecorder::~MessageRecorder() { vq::dshow::SetWindowBridge(previous_); }

size_t MessageRecorder::Count(HWND window, UINT message) {
  std::lock_guard lock(lock_);
  size_t n = 0;
  for (const auto& m : messages_)
    if (m.window == window && m.message == message) ++n;
  return n;
}

bool MessageRecorder::WaitFor(HWND window, UINT message, size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, timeout, [&] {
    size_t n = 0;
    for (const auto& m : messages_)
      if (m.window == window && m.message == message) ++n;
    return n >= count;
  });
}

std::vector<RecordedMessage> MessageRecorder::Messages() {
  std::lock_guard lock(lock_);
  return messages_;
}

std::vector<std::wstring> MessageRecorder::ComboStrings(HWND combo) {
  std::lock_guard lock(lock_);
  std::vector<std::wstring> out;
  for (auto& [w, s] : comboStrings_)
    if (w == combo) out.push_back(s);
  return out;
}

void MessageRecorder::Clear() {
  std::lock_guard lock(lock_);
  messages_.clear();
  comboStrings_.clear();
}

}  // namespace vqtest
