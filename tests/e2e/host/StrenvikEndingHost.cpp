// A TWAIN host that ends while its source is still open, as hosts do: it
// loads libStrenvik.so itself or through the test manager, sets the JPEG
// quality the camera window keeps, shows the window, brings the source to a
// state (7m: a memory transfer with one strip of the page taken), then
// exits, or unloads the library and exits, or returns from main (which
// unloads it), or closes the source first as a careful host would; or forks
// a child that exits at once, waits for it and closes. The manager aborts
// the process when the source calls it once it has begun to end.
//
//   strenvik_ending_host LIBRARY direct|manager 4|5|6|7|7m exit|unload|return|close|fork
//
// It writes "state N" once there, and how many exit handlers the library
// registered, and how many of them after its first open had returned: every process-wide object
// the source uses must be made before its end is registered, or be kept to
// the end, so that none goes before the source that still uses it. After an
// unload it writes whether the library is gone and the process-wide
// handlers it had set are its own again. After a fork it writes how the
// child ended.
#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tests/twain/TestManager.h"
// After the manager's names, which Xlib's macros would change.
#include <FreeImage.h>
#include <X11/Xlib.h>

namespace {

std::string g_library;  // the real path of the library
std::atomic<bool> g_opened{false};
std::atomic<int> g_handlers{0};       // registered by the library
std::atomic<int> g_laterHandlers{0};  // of those, after its first open

std::mutex g_mutex;
std::condition_variable g_told;
int g_xferReady = 0;

int HostXError(Display*, XErrorEvent*) { return 0; }
int HostXIoError(Display*) { return 0; }

}  // namespace

// Every exit handler of the process passes here first.
extern "C" int __cxa_atexit(void (*function)(void*), void* argument, void* dso) {
  using Register = int (*)(void (*)(void*), void*, void*);
  static const auto next = reinterpret_cast<Register>(dlsym(RTLD_NEXT, "__cxa_atexit"));
  Dl_info where{};
  char real[PATH_MAX];
  if (dso && dladdr(dso, &where) && where.dli_fname && realpath(where.dli_fname, real) && g_library == real) {
    ++g_handlers;
    if (g_opened) ++g_laterHandlers;
  }
  return next(function, argument, dso);
}

// How a forked child that exits at once ends: its status, or -1 when it
// still runs after a minute (it is killed then).
int ForkedChildEnd() {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return -2;
  if (child == 0) std::exit(0);
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  int status = 0;
  while (waitpid(child, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s LIBRARY direct|manager 4|5|6|7|7m exit|unload|return|close|fork\n", argv[0]);
    return 2;
  }
  twaintest::TestManager::RefuseCallsOnceEnding();
  char real[PATH_MAX];
  if (!realpath(argv[1], real)) return 2;
  g_library = real;
  const std::string route = argv[2], end = argv[4];
  const int state = std::atoi(argv[3]);
  const bool memory = std::string(argv[3]) == "7m";
  auto notified = [](TW_UINT16 message) {
    std::lock_guard lock(g_mutex);
    if (message == MSG_XFERREADY) ++g_xferReady;
    g_told.notify_all();
  };
  std::unique_ptr<twaintest::SourceRoute> source = route == "direct"
                                                       ? twaintest::SourceRoute::Directly(argv[1], notified)
                                                       : twaintest::SourceRoute::ThroughManager(argv[1], notified);
  auto call = [&](TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
    return source->Call(DG, DAT, MSG, data);
  };
  // Enabled without a window, back in state 6 once told.
  auto enableUnattended = [&] {
    const int before = g_xferReady;
    TW_USERINTERFACE ui{0, 0, nullptr};
    if (call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) return false;
    std::unique_lock lock(g_mutex);
    return g_told.wait_for(lock, std::chrono::minutes(3), [&] { return g_xferReady > before; });
  };
  TW_USERINTERFACE shown{1, 0, nullptr};
  TW_HANDLE dib = nullptr;
  TW_PENDINGXFERS pending{};

  XSetErrorHandler(HostXError);
  XSetIOErrorHandler(HostXIoError);
  if (source->Open() != TWRC_SUCCESS) return 3;
  g_opened = true;
  // A one-value capability set.
  auto set = [&](TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 item) {
    TW_HANDLE value = std::calloc(6, 1);
    std::memcpy(value, &itemType, 2);
    std::memcpy(static_cast<char*>(value) + 2, &item, 4);
    TW_CAPABILITY capability{cap, TWON_ONEVALUE, value};
    const bool done = call(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &capability) == TWRC_SUCCESS;
    std::free(value);
    return done;
  };
  if (!set(ICAP_JPEGQUALITY, TWTY_INT16, 77)) return 4;
  if (memory && !set(ICAP_XFERMECH, TWTY_UINT16, TWSX_MEMORY)) return 4;
  // The window takes the quality into its settings when it is shown.
  if (call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &shown) != TWRC_SUCCESS) return 5;
  if (state != 5) {
    if (call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &shown) != TWRC_SUCCESS) return 6;
    if (!enableUnattended()) return 7;
    if (memory) {
      // One strip of the page: the transfer is in progress.
      TW_SETUPMEMXFER sizes{};
      if (call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes) != TWRC_SUCCESS) return 8;
      std::string strip(sizes.MinBufSize, '\0');
      TW_IMAGEMEMXFER xfer{};
      xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, sizes.MinBufSize, strip.data()};
      if (call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer) != TWRC_SUCCESS) return 8;
    } else if (state == 7 || state == 4) {
      if (call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib) != TWRC_XFERDONE) return 8;
      std::free(dib);
    }
    if (state == 4 && (call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS ||
                       call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &shown) != TWRC_SUCCESS))
      return 9;
  }
  std::printf("state %d\nexit handlers of the library: %d, after its first open: %d\n", state, g_handlers.load(),
              g_laterHandlers.load());
  std::fflush(stdout);

  if (end == "fork") std::printf("forked child: ended with %d\n", ForkedChildEnd());
  if (end == "return") return 0;  // the route goes with main's objects: the library is unloaded
  if (end == "close" || end == "fork") {
    call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
    call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &shown);
    if (source->Close() != TWRC_SUCCESS) return 10;
  }
  if (end == "unload" || end == "close") {
    source->Unload();
    const bool gone = !dlopen(real, RTLD_LAZY | RTLD_NOLOAD);
    const bool own = XSetErrorHandler(HostXError) == HostXError && XSetIOErrorHandler(HostXIoError) == HostXIoError;
    // The image library stays loaded with the host: its handler must not
    // point into the unloaded library.
    FreeImage_OutputMessageProc(FIF_UNKNOWN, "a message after the unload");
    std::printf("after the unload: library %s, X handlers %s\n", gone ? "gone" : "loaded",
                own ? "the host's" : "the library's");
  }
  std::exit(0);
}
