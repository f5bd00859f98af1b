// Windows of other programs as seen from this one: a handle per window
// found, sends that wait for the other program's answer, posts.
#include "platform/win/ProgramWindows.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/Encoding.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"

namespace vqplatform {
namespace {

// How long a look-up or a post waits for a program that does not answer.
constexpr int kLookupTimeoutMs = 5000;

// Handles of other programs' windows are odd; the process's own are even.
constexpr uintptr_t kFirstProxy = 0x7F000001;

struct Proxy {
  std::string socket;
  uintptr_t window;  // the handle in its own program
};

struct ProxyTable {
  std::mutex mutex;
  std::vector<Proxy> proxies;
};

ProxyTable& Proxies() {
  static auto* table = new ProxyTable;  // never destroyed: threads may outlive main
  return *table;
}

// The same window found twice gets the same handle.
HWND ProxyFor(const std::string& socket, uintptr_t window) {
  ProxyTable& table = Proxies();
  std::lock_guard lock(table.mutex);
  size_t index = 0;
  while (index < table.proxies.size() &&
         (table.proxies[index].socket != socket || table.proxies[index].window != window))
    ++index;
  if (index == table.proxies.size()) table.proxies.push_back({socket, window});
  return reinterpret_cast<HWND>(kFirstProxy + 2 * index);
}

std::optional<Proxy> LookupProxy(HWND hwnd) {
  const uintptr_t value = reinterpret_cast<uintptr_t>(hwnd);
  if (value < kFirstProxy || (value - kFirstProxy) % 2) return std::nullopt;
  ProxyTable& table = Proxies();
  std::lock_guard lock(table.mutex);
  const size_t index = (value - kFirstProxy) / 2;
  if (index >= table.proxies.size()) return std::nullopt;
  return table.proxies[index];
}

std::string MessageLine(const char* verb, const Proxy& proxy, UINT message, WPARAM wParam, LPARAM lParam) {
  return std::string(verb) + " " + std::to_string(proxy.window) + " " + std::to_string(message) + " " +
         std::to_string(wParam) + " " + std::to_string(static_cast<int64_t>(lParam));
}

// A send runs on a helper thread while the sender waits serving the messages
// sent to it, so two programs may send to each other at once.
struct PendingSend {
  std::string socket;
  std::string line;
  std::optional<std::string> answer;
};

DWORD RunSend(LPVOID parameter) {
  auto* send = static_cast<PendingSend*>(parameter);
  send->answer = Request(send->socket, send->line, 0);
  return 0;
}

}  // namespace

HWND FindProgramWindow(LPCWSTR title) {
  std::string text = vq::WideToUtf8(title);
  if (text.find('\n') != std::string::npos) return nullptr;
  std::string folder = ProgramFolder(false);
  if (folder.empty()) return nullptr;
  for (const std::string& socket : OtherProgramSockets(folder)) {
    // A stale socket of an ended program answers nothing and is passed over.
    std::optional<std::string> answer = Request(socket, "FIND " + text, kLookupTimeoutMs);
    if (!answer || answer->rfind("WINDOW ", 0) != 0) continue;
    try {
      return ProxyFor(socket, static_cast<uintptr_t>(std::stoull(answer->substr(7))));
    } catch (const std::exception&) {
      continue;
    }
  }
  return nullptr;
}

bool IsProgramWindow(HWND hwnd) { return LookupProxy(hwnd).has_value(); }

LRESULT SendToProgramWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::optional<Proxy> proxy = LookupProxy(hwnd);
  if (!proxy) return 0;
  PendingSend send{proxy->socket, MessageLine("SEND", *proxy, message, wParam, lParam), std::nullopt};
  HANDLE helper = CreateThread(nullptr, 0, RunSend, &send, 0, nullptr);
  if (!helper) return 0;
  WaitServingSentMessages(helper, INFINITE);
  CloseHandle(helper);
  if (!send.answer || send.answer->rfind("RESULT ", 0) != 0) {
    // BUSY: the window's thread did not take the message in time.
    SetLastError(send.answer == "BUSY" ? ERROR_TIMEOUT : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  try {
    return static_cast<LRESULT>(std::stoll(send.answer->substr(7)));
  } catch (const std::exception&) {
    return 0;
  }
}

BOOL PostToProgramWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  std::optional<Proxy> proxy = LookupProxy(hwnd);
  std::optional<std::string> answer;
  if (proxy) answer = Request(proxy->socket, MessageLine("POST", *proxy, message, wParam, lParam), kLookupTimeoutMs);
  if (answer != "POSTED") {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace vqplatform
