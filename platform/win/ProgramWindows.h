#pragma once
// Windows of other programs. A program that starts its listener keeps one
// Unix socket in the user's private runtime folder; the other programs of
// the same user then find the windows it made reachable by title
// (FindWindowW looks at the program's own windows first) and send to them
// (SendMessageW waits for the answer) or post to them (PostMessageW). Only
// integers cross: messages from WM_USER to 0xBFFF that the window named. An
// inbound message reaches its window on the window's own thread, as one
// from another thread would, and a thread waiting for its own send to
// another program still answers the sends that come in meanwhile. The
// README gives the protocol.
#include <cstddef>
#include <vector>

#include "platform/win/WinTypes.h"

namespace vqplatform {

// False when the runtime folder is unusable or the socket cannot be bound;
// true at once when already listening. Sockets left in the folder by
// programs that have ended are removed first. The socket is removed again
// by StopProgramListener, and by exit() when the program ends without it.
bool StartProgramListener();
// Removes the socket and waits for the requests under way (answering the
// messages sent to the calling thread meanwhile).
void StopProgramListener();
// SENDs from other programs taken in and not yet answered.
size_t ProgramSendsWaiting();

// Makes a top-level window of this program one that other programs find by
// its title and that takes `messages` from them (others are dropped; each
// from WM_USER to 0xBFFF). The parameters of those messages are integers
// someone else chose: list only messages the window never reads as
// pointers. Everything else from outside, the layer's own windows
// (tooltips, menus, lists, message boxes) included, answers NONE. Calling
// it again replaces the list; it ends with the window. False for a child
// window or a handle that is not a window of this program.
bool MakeReachableByPrograms(HWND hwnd, const std::vector<UINT>& messages);

class ProgramListenerScope {
 public:
  ProgramListenerScope() : listening_(StartProgramListener()) {}
  ~ProgramListenerScope() { StopProgramListener(); }
  ProgramListenerScope(const ProgramListenerScope&) = delete;
  ProgramListenerScope& operator=(const ProgramListenerScope&) = delete;
  bool Listening() const { return listening_; }

 private:
  bool listening_;
};

// The message numbers other programs may send or post.
inline bool IsProgramMessage(UINT message) { return message >= 0x0400 && message <= 0xBFFF; }

// Used by FindWindowW, SendMessageW and PostMessageW for windows that are
// not the program's own.
HWND FindProgramWindow(LPCWSTR title);
bool IsProgramWindow(HWND hwnd);
LRESULT SendToProgramWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostToProgramWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vqplatform
