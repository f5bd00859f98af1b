#include "platform/display/WindowIcon.h"

#include <X11/Xatom.h>

#include <map>
#include <vector>

#include "platform/win/Icons.h"
#include "platform/win/Window.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct ShownIcons {
  Window xwindow = 0;
  HICON big = nullptr;
  HICON small = nullptr;
};

// What each window's X window shows (display thread only).
std::map<HWND, ShownIcons>& Shown() {
  static auto* shown = MakeSingleton<std::map<HWND, ShownIcons>>();
  return *shown;
}

// Appends an icon as width, height and 0xAARRGGBB pixels; format-32
// properties are arrays of long.
void Append(HICON icon, std::vector<long>* data) {
  IconPixels pixels;
  if (!icon || !GetIconPixels(icon, &pixels)) return;
  data->push_back(pixels.width);
  data->push_back(pixels.height);
  for (uint32_t p : pixels.argb) data->push_back(static_cast<long>(p));
}

}  // namespace

void SyncWindowIcon(Display* display, Window xwindow, HWND window) {
  auto& shown = Shown();
  for (auto it = shown.begin(); it != shown.end();) it = IsWindow(it->first) ? std::next(it) : shown.erase(it);
  ShownIcons now{xwindow, ShownWindowIcon(window, true), ShownWindowIcon(window, false)};
  auto found = shown.find(window);
  if (found != shown.end() && found->second.xwindow == now.xwindow && found->second.big == now.big &&
      found->second.small == now.small)
    return;
  shown[window] = now;
  Atom property = XInternAtom(display, "_NET_WM_ICON", False);
  std::vector<long> data;
  Append(now.big, &data);
  if (now.small != now.big) Append(now.small, &data);
  if (data.empty()) {
    XDeleteProperty(display, xwindow, property);
    return;
  }
  XChangeProperty(display, xwindow, property, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

}  // namespace vqplatform
