#include "tests/e2e/StrenvikXvfbFixture.h"

#include <dirent.h>

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

namespace {

bool HasChildren(Display* display, Window window) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  if (children) XFree(children);
  return count > 0;
}

// Looks through `parent`'s children, and under a window manager through the
// children of its frames, which carry no name of their own.
bool FindBelow(Display* display, Window parent, int depth,
               const std::function<bool(const char*, const RECT&)>& wanted, RECT* screen, std::string* title) {
  const Atom utf8Name = XInternAtom(display, "_NET_WM_NAME", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Window root = 0, ignoredParent = 0, *children = nullptr;
  unsigned count = 0;
  bool found = false;
  if (!XQueryTree(display, parent, &root, &ignoredParent, &children, &count)) return false;
  for (unsigned i = 0; i < count && !found; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* name = nullptr;
    XGetWindowProperty(display, children[i], utf8Name, 0, 256, False, utf8, &type, &format, &items, &after, &name);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable) {
      const char* text = name ? reinterpret_cast<char*>(name) : "";
      int x = 0, y = 0;
      Window child = 0;
      XTranslateCoordinates(display, children[i], root, 0, 0, &x, &y, &child);
      const RECT where{x, y, x + attributes.width, y + attributes.height};
      // A window manager's frame holds the named window, beside nameless
      // parts of its own; a nameless top-level window (a popup menu) holds
      // nothing.
      if (!name && depth > 0 && HasChildren(display, children[i])) {
        found = FindBelow(display, children[i], depth - 1, wanted, screen, title);
      } else if ((name || parent == root) && wanted(text, where)) {
        if (title) *title = text;
        *screen = where;
        found = true;
      }
    }
    if (name) XFree(name);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

bool FindXWindowWhere(const std::function<bool(const char*, const RECT&)>& wanted, RECT* screen,
                      std::string* title) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  bool found = false;
  {
    vqtest::XErrorsIgnored ignored(display);  // windows may go while looked at
    found = FindBelow(display, DefaultRootWindow(display), 2, wanted, screen, title);
  }
  XCloseDisplay(display);
  return found;
}

}  // namespace strenviktest
