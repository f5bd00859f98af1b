// What other programs may reach: only windows registered as reachable, and
// only the messages each of them names. The layer's own windows take many
// messages from WM_USER on with pointers in their parameters (tooltips,
// lists, dialogs' DM_SETDEFID); from a socket those would be integers
// chosen by someone else, so nothing reaches a window that did not ask.
#include "platform/win/ProgramRequests.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/win/Encoding.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Window.h"
#include "platform/win/WindowRegistry.h"

namespace vqplatform {
namespace {

constexpr const char* kReachableKey = "vq.reachable";

using MessageList = std::vector<UINT>;  // sorted

// The messages a window takes from other programs; null when it is not
// reachable. Dispatcher lock held.
const MessageList* ReachableMessages(const WindowObject& window) {
  if (window.parent) return nullptr;
  auto it = window.attachments.find(kReachableKey);
  return it == window.attachments.end() ? nullptr : static_cast<const MessageList*>(it->second.get());
}

HWND FindReachableWindow(const std::wstring& title) {
  std::lock_guard lock(Dispatcher::Mutex());
  for (WindowObject* w : TopLevelWindows())
    if (ReachableMessages(*w) && EqualNoCase(w->text, title)) return w->handle;
  return nullptr;
}

bool TakesFromPrograms(HWND hwnd, UINT message) {
  std::lock_guard lock(Dispatcher::Mutex());
  const WindowObject* window = FindWindowObject(hwnd);
  const MessageList* messages = window ? ReachableMessages(*window) : nullptr;
  return messages && std::binary_search(messages->begin(), messages->end(), message);
}

// A decimal integer, negative ones as their two's complement.
std::optional<uint64_t> ParseNumber(std::string_view text) {
  const char* end = text.data() + text.size();
  if (!text.empty() && text[0] == '-') {
    int64_t value = 0;
    auto [at, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || at != end) return std::nullopt;
    return static_cast<uint64_t>(value);
  }
  uint64_t value = 0;
  auto [at, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || at != end || text.empty()) return std::nullopt;
  return value;
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  while (!text.empty()) {
    size_t space = text.find(' ');
    words.push_back(text.substr(0, space));
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
  }
  return words;
}

// "SEND <window> <message> <wParam> <lParam>" and its POST twin.
ProgramRequest ParseMessage(ProgramRequest::Kind kind, const std::vector<std::string_view>& words) {
  ProgramRequest request;
  if (words.size() != 5) return request;
  auto window = ParseNumber(words[1]), message = ParseNumber(words[2]);
  auto wParam = ParseNumber(words[3]), lParam = ParseNumber(words[4]);
  if (!window || !message || !wParam || !lParam || *message > 0xFFFFFFFFu) return request;
  request.kind = kind;
  request.window = *window;
  request.message = static_cast<UINT>(*message);
  request.wParam = static_cast<WPARAM>(*wParam);
  request.lParam = static_cast<LPARAM>(*lParam);
  return request;
}

}  // namespace

bool MakeReachableByPrograms(HWND hwnd, const std::vector<UINT>& messages) {
  auto list = std::make_shared<MessageList>();
  for (UINT message : messages)
    if (IsProgramMessage(message)) list->push_back(message);
  std::sort(list->begin(), list->end());
  {
    std::lock_guard lock(Dispatcher::Mutex());
    const WindowObject* window = FindWindowObject(hwnd);
    if (!window || window->parent) return false;
  }
  SetWindowAttachment(hwnd, kReachableKey, std::move(list));
  return true;
}

ProgramRequest ParseProgramRequest(std::string_view line) {
  if (line.substr(0, 5) == "FIND ") {
    ProgramRequest request;
    request.kind = ProgramRequest::Kind::Find;
    request.title = std::string(line.substr(5));
    return request;
  }
  std::vector<std::string_view> words = SplitWords(line);
  if (!words.empty() && words[0] == "SEND") return ParseMessage(ProgramRequest::Kind::Send, words);
  if (!words.empty() && words[0] == "POST") return ParseMessage(ProgramRequest::Kind::Post, words);
  return ProgramRequest{};
}

void AnswerProgramRequest(const ProgramRequest& request, const std::function<void(const std::string&)>& reply) {
  using Kind = ProgramRequest::Kind;
  if (request.kind == Kind::Find) {
    HWND found = FindReachableWindow(vq::Utf8ToWide(request.title));
    return reply(found ? "WINDOW " + std::to_string(reinterpret_cast<uintptr_t>(found)) : "NONE");
  }
  if (request.kind != Kind::Send && request.kind != Kind::Post) return reply("ERROR");
  HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(request.window));
  if (!TakesFromPrograms(hwnd, request.message)) return reply("NONE");
  if (request.kind == Kind::Post) {
    reply("POSTED");
    PostMessageW(hwnd, request.message, request.wParam, request.lParam);
    return;
  }
  LRESULT result = 0;
  if (!SendMessageBefore(hwnd, request.message, request.wParam, request.lParam, request.deadline, &result))
    return reply("BUSY");
  reply("RESULT " + std::to_string(static_cast<int64_t>(result)));
}

}  // namespace vqplatform
