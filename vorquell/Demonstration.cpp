// A short demonstration of the program on the current X display: starts it,
// waits until its main window shows the live camera picture, saves a
// screenshot of the window, captures one page with the Space key and prints
// the page's path, closes the window as a user would and waits for the
// program to end.
//
//   vorquell_demo <program> <folder for the screenshot>
//
// Exit status 0 when the window came up live, a page was saved and the
// program ended with 0.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <cairo.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "app/SettingsLocation.h"
#include "base/PathEncoding.h"
#include "platform/win/KnownFolders.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kTitlePrefix = "Vorquell V";

std::string WindowTitle(Display* display, Window window) {
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  return title;
}

// A mapped top-level window whose title starts with the program's.
Window FindProgramWindow(Display* display) {
  Window root = DefaultRootWindow(display), parent = 0, *children = nullptr;
  unsigned int count = 0;
  Window found = 0;
  if (!XQueryTree(display, root, &root, &parent, &children, &count)) return 0;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
        WindowTitle(display, children[i]).rfind(kTitlePrefix, 0) == 0)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top-down
};

Picture Grab(Display* display, Window window) {
  Picture picture;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return picture;
  XImage* image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height), AllPlanes,
                            ZPixmap);
  if (!image) return picture;
  picture.width = attributes.width;
  picture.height = attributes.height;
  picture.pixels.resize(size_t(picture.width) * picture.height);
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      picture.pixels[size_t(y) * picture.width + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
  return picture;
}

// The preview area, in the middle of the window, is flat before the first
// frame and has many colours once a camera picture shows; the whole window
// does not tell, its smoothed texts and shaded buttons alone have many.
bool ShowsCameraPicture(const Picture& picture) {
  std::unordered_set<uint32_t> colours;
  for (int y = picture.height * 3 / 10; y < picture.height * 7 / 10; ++y)
    for (int x = picture.width * 25 / 100; x < picture.width * 65 / 100; ++x)
      colours.insert(picture.pixels[size_t(y) * picture.width + x]);
  return colours.size() > 1000;
}

bool SavePng(const Picture& picture, const std::string& path) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, picture.width, picture.height);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < picture.height; ++y)
    std::memcpy(data + size_t(y) * stride, &picture.pixels[size_t(y) * picture.width], size_t(picture.width) * 4);
  cairo_surface_mark_dirty(surface);
  const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

void RequestClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// The folder the program saves pages into, as its settings file names it.
std::filesystem::path ImageFolder() {
  const CString settings = SettingsFilePath(vq::ProgramFolder().c_str());
  std::ifstream file(vq::PathToBytes(settings.GetString()));
  std::string line;
  while (std::getline(file, line))
    if (line.rfind("FOLDPATH=", 0) == 0) return line.substr(9);
  return {};
}

// The newest file under `folder` written after `since`; empty when none.
std::filesystem::path NewestFileSince(const std::filesystem::path& folder, std::filesystem::file_time_type since) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path newest;
  auto newestTime = since;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const auto written = it->last_write_time(error);
    if (!error && written >= newestTime) {
      newest = it->path();
      newestTime = written;
    }
  }
  return newest;
}

// Presses Space in the window as a user at the keyboard would.
void PressSpace(Display* display, Window window) {
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  const KeyCode space = XKeysymToKeycode(display, XK_space);
  XTestFakeKeyEvent(display, space, True, CurrentTime);
  XTestFakeKeyEvent(display, space, False, CurrentTime);
  XFlush(display);
}

// The program's exit status, or -1 when it did not end in time.
int WaitForExit(pid_t child, std::chrono::seconds limit) {
  const auto end = Clock::now() + limit;
  while (Clock::now() < end) {
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

// The program's windows come and go while they are looked at (the splash):
// a request about a window just destroyed fails, and its caller sees that.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <program> <folder for the screenshot>\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "vorquell_demo: no X display\n");
    return 2;
  }
  XSetErrorHandler(IgnoreXError);
  pid_t child = 0;
  char* childArgs[] = {argv[1], nullptr};
  if (posix_spawn(&child, argv[1], nullptr, nullptr, childArgs, environ) != 0) {
    std::fprintf(stderr, "vorquell_demo: cannot start %s\n", argv[1]);
    return 2;
  }

  Window window = 0;
  Picture picture;
  bool live = false;
  // Generous limits: on a busy machine the program may take minutes to come up.
  const auto end = Clock::now() + std::chrono::minutes(5);
  while (Clock::now() < end && !live) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      std::fprintf(stderr, "vorquell_demo: the program ended before its window showed the camera\n");
      return 1;
    }
    if (!window) window = FindProgramWindow(display);
    if (window) {
      picture = Grab(display, window);
      live = ShowsCameraPicture(picture);
    }
  }
  const std::string path = std::string(argv[2]) + "/vorquell-live-window.png";
  if (window && SavePng(picture, path)) std::printf("Live window: %s\n", path.c_str());
  if (!live) {
    std::fprintf(stderr, "vorquell_demo: no live camera picture in the program's window\n");
    kill(child, SIGTERM);
    WaitForExit(child, std::chrono::seconds(10));
    return 1;
  }
  // One page captured: the newest file of the image folder.
  const std::filesystem::path folder = ImageFolder();
  const auto before = std::filesystem::file_time_type::clock::now();
  // A key pressed while the window is still taking the focus can go astray:
  // pressed again while no page has come.
  std::filesystem::path page;
  const auto captureEnd = Clock::now() + std::chrono::minutes(3);
  auto pressAgain = Clock::now();
  while (page.empty() && !folder.empty() && Clock::now() < captureEnd) {
    if (Clock::now() >= pressAgain) {
      PressSpace(display, window);
      pressAgain = Clock::now() + std::chrono::seconds(20);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    page = NewestFileSince(folder, before);
  }
  if (!page.empty()) std::printf("Captured page: %s\n", page.c_str());
  else std::fprintf(stderr, "vorquell_demo: no page was saved in %s\n", folder.c_str());
  RequestClose(display, window);
  const int status = WaitForExit(child, std::chrono::minutes(3));
  XCloseDisplay(display);
  if (status != 0) {
    std::fprintf(stderr, "vorquell_demo: the program did not end cleanly (%d)\n", status);
    if (status < 0) kill(child, SIGKILL);
    return 1;
  }
  std::printf("The program closed and saved its settings.\n");
  return page.empty() ? 1 : 0;
}
