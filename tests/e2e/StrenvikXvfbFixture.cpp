#include "tests/e2e/StrenvikXvfbFixture.h"

#include <dirent.h>

#include <optional>
// Xlib's macros come last: they clash with the names above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace strenviktest {

std::string ThreadNames() {
  std::string names;
  if (DIR* dir = opendir("/proc/self/task")) {
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      names += name + " ";
    }
    closedir(dir);
  }
  return names;
}

bool FindXWindowWhere(const std::function<bool(const char*, const RECT&)>& wanted, RECT* screen,
                      std::string* title) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const Atom utf8Name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned count = 0;
  bool found = false;
  std::optional<vqtest::XErrorsIgnored> ignored(display);
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned i = 0; i < count && !found; ++i) {
      Atom type = 0;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* name = nullptr;
      XGetWindowProperty(display, children[i], utf8Name, 0, 256, False, utf8, &type, &format, &items, &after, &name);
      const char* text = name ? reinterpret_cast<char*>(name) : "";
      XWindowAttributes attributes{};
      if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable) {
        int x = 0, y = 0;
        Window child = 0;
        XTranslateCoordinates(display, children[i], root, 0, 0, &x, &y, &child);
        const RECT where{x, y, x + attributes.width, y + attributes.height};
        if (wanted(text, where)) {
          if (title) *title = text;
          *screen = where;
          found = true;
        }
      }
      if (name) XFree(name);
    }
    if (children) XFree(children);
  }
  ignored.reset();
  XCloseDisplay(display);
  return found;
}

}  // namespace strenviktest
