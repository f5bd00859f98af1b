// The entry of the Vorquell program: the user's character-type locale for
// the input method, then the application object, which runs the main window.
#include <clocale>

#include "app/VorquellApp.h"

int main() {
  std::setlocale(LC_CTYPE, "");
  CVorquellApp app;
  app.InitInstance();
  return app.ExitInstance();
}
