#pragma once
// Internal: the requests other programs make through the listener's socket
// (one line each, the README gives the protocol), parsed and answered
// against the windows this program made reachable (ProgramWindows.h).
#include <cstdint>
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
};

ProgramRequest ParseProgramRequest(std::string_view line);

// The answer line (without '\n'). A SEND waits until the window's thread
// has handled the message; the other requests never wait for a window.
std::string AnswerProgramRequest(const ProgramRequest& request);

}  // namespace vqplatform
