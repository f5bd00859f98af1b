#pragma once
// The end of the user's session reaches a program as its own way out.
// While a SessionEndScope lives, SIGTERM, SIGINT and SIGHUP (logout,
// shutdown, kill, Ctrl-C) and a lost X connection ask the thread that made
// the scope to quit (its quit flag, as PostQuitMessage sets it): every
// modal loop ends, the outermost loop too, and the program closes the way
// it does when the user quits it, on its own thread, with its settings
// saved and its threads joined.
//
// The signal handler only writes a byte into a pipe; a watcher thread
// turns it into the quit.
#include "platform/win/WinTypes.h"

namespace vqplatform {

class SessionEndScope {
 public:
  // Takes over the three signals and the display's loss for the calling
  // thread's program.
  SessionEndScope();
  // Gives the signals back their previous handling.
  ~SessionEndScope();
  SessionEndScope(const SessionEndScope&) = delete;
  SessionEndScope& operator=(const SessionEndScope&) = delete;

  // How many times the session was asked to end (signals and lost
  // connections) while the scope lived.
  static int EndRequests();
  // What asked last ("SIGTERM", "SIGINT", "SIGHUP", "the loss of the
  // display"); null when nothing did.
  static const char* EndReason();

 private:
  bool owner_ = false;  // only the first of nested scopes acts
};

// Asks the program to end as a lost display does; from any thread.
// Nothing happens without a scope.
void RequestSessionEnd();

}  // namespace vqplatform
