// The entry of the Vorquell program: the user's character-type locale for
// the input method, the end of the session taken as the user's own quit,
// the listener through which outside programs find the main window by its
// caption, then the application object, which runs the main window.
#include <clocale>
#include <cstdio>

#include "app/VorquellApp.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/SessionEnd.h"

int main() {
  std::setlocale(LC_CTYPE, "");
  // Made first, gone last: a signal while the listener stops does not cut
  // the program short.
  vqplatform::SessionEndScope sessionEnd;
  int status = 0;
  {
    // Without it the program runs on, unseen by the outside programs.
    vqplatform::ProgramListenerScope listening;
    CVorquellApp app;
    app.InitInstance();
    status = app.ExitInstance();
  }
  if (const char* reason = vqplatform::SessionEndScope::EndReason())
    std::fprintf(stderr, "Vorquell: ended on %s, closed as its Exit closes it\n", reason);
  return status;
}
