#pragma once
// Internal: the requests other programs make through the listener's socket
// (one line each, the README gives the protocol), parsed and answered
// against the windows this program made reachable (ProgramWindows.h).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/win/WinTypes.h"

namespace vqplatform {

struct ProgramRequest {
  enum class Kind { Invalid, Find, Send, Post };
  Kind kind = Kind::Invalid;
  std::string title;       // FIND
  uint64_t window = 0;     // SEND, POST
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  // SEND: when the window's thread must have taken the message (Clock::NowMs).
  uint64_t deadline = UINT64_MAX;
};

ProgramRequest ParseProgramRequest(std::string_view line);

// Gives `reply` the answer line (without '\n'). A SEND waits until the
// window's thread has handled the message, or answers BUSY (the message
// withdrawn, never handled) when that thread has not taken it by the
// request's deadline; the other requests never wait for a window. A POST is
// answered before the message is queued: a program that ends on the message
// must not take the sender's answer with it.
void AnswerProgramRequest(const ProgramRequest& request, const std::function<void(const std::string&)>& reply);

}  // namespace vqplatform
