// The entry of the Vorquell program: the user's character-type locale for
// the input method, the listener through which outside programs find the
// main window by its caption, then the application object, which runs the
// main window.
#include <clocale>

#include "app/VorquellApp.h"
#include "platform/win/ProgramWindows.h"

int main() {
  std::setlocale(LC_CTYPE, "");
  // Without it the program runs on, unseen by the outside programs.
  vqplatform::ProgramListenerScope listening;
  CVorquellApp app;
  app.InitInstance();
  return app.ExitInstance();
}
