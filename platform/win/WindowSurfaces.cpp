#include "platform/win/WindowSurfaces.h"

#include <algorithm>
#include <mutex>

#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Window.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

constexpr const char* kSurfaceKey = "vq.gdi.surface";
constexpr const char* kShapeKey = "vq.gdi.shape";

// A window's region, kept as window data and deleted with it.
struct ShapeAttachment {
  ~ShapeAttachment() { DeleteObject(region); }
  HRGN region = nullptr;
};

HRGN ShapeOf(HWND window) {
  auto shape = std::static_pointer_cast<ShapeAttachment>(GetWindowAttachment(window, kShapeKey));
  return shape ? shape->region : nullptr;
}

// A surface owner's bitmap, kept as window data.
struct SurfaceAttachment {
  ~SurfaceAttachment() {
    if (bitmap) DeleteObject(bitmap);
  }
  std::mutex mutex;
  HBITMAP bitmap = nullptr;
  int width = 0;
  int height = 0;
};

bool IsChildStyle(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) != 0; }

POINT ScreenOriginOf(HWND window) {
  POINT p{0, 0};
  ClientToScreen(window, &p);
  return p;
}

// A window's rectangle relative to the point `origin` of the screen.
RECT RectFrom(HWND window, POINT origin) {
  RECT r;
  GetWindowRect(window, &r);
  OffsetRect(&r, -origin.x, -origin.y);
  return r;
}

// What a window's drawing leaves alone, relative to its own origin: its
// visible children when it has WS_CLIPCHILDREN, and the visible siblings
// above it (or above an ancestor within the surface) that have
// WS_CLIPSIBLINGS on the way.
std::vector<RECT> ClippedOut(HWND window, HWND owner) {
  std::vector<RECT> out;
  POINT origin = ScreenOriginOf(window);
  if (GetWindowLongW(window, GWL_STYLE) & WS_CLIPCHILDREN)
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (IsWindowVisible(c)) out.push_back(RectFrom(c, origin));
  for (HWND a = window; a && a != owner; a = GetParent(a)) {
    if (!(GetWindowLongW(a, GWL_STYLE) & WS_CLIPSIBLINGS)) continue;
    for (HWND s = GetWindow(a, GW_HWNDPREV); s; s = GetWindow(s, GW_HWNDPREV))
      if (IsWindowVisible(s)) out.push_back(RectFrom(s, origin));
  }
  return out;
}

// Resizes a surface to the window, keeping what fits of its pixels.
void FitSurface(SurfaceAttachment& s, int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (s.bitmap && s.width == width && s.height == height) return;
  HBITMAP fresh = CreateSurfaceBitmap(width, height);
  if (!fresh) return;
  if (s.bitmap) {
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, s.bitmap), oldTo = SelectObject(to, fresh);
    BitBlt(to, 0, 0, std::min(width, s.width), std::min(height, s.height), from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    DeleteObject(s.bitmap);
  }
  s.bitmap = fresh;
  s.width = width;
  s.height = height;
}

class WindowSurfaceProvider : public SurfaceProvider {
 public:
  bool SurfaceFor(HWND window, bool, WindowSurface* out) override {
    if (!IsWindow(window)) return false;
    HWND owner = SurfaceOwner(window);
    HBITMAP bitmap = OwnedSurface(owner);
    if (!bitmap) return false;
    RECT own;
    GetClientRect(window, &own);  // windows have no frame: client = window
    POINT screen = ScreenOriginOf(window), ownerScreen = ScreenOriginOf(owner);
    out->bitmap = bitmap;
    out->screen = screen;
    out->origin = POINT{screen.x - ownerScreen.x, screen.y - ownerScreen.y};
    // Clipped to every ancestor's client area up to the surface owner.
    RECT visible = own;
    for (HWND a = window; a != owner && IsChildStyle(a);) {
      a = GetParent(a);
      if (!a) break;
      RECT client;
      GetClientRect(a, &client);
      POINT at = ScreenOriginOf(a);
      RECT inWindow{client.left + at.x - screen.x, client.top + at.y - screen.y, client.right + at.x - screen.x,
                    client.bottom + at.y - screen.y};
      visible = RECT{std::max(visible.left, inWindow.left), std::max(visible.top, inWindow.top),
                     std::min(visible.right, inWindow.right), std::min(visible.bottom, inWindow.bottom)};
    }
    if (visible.right < visible.left) visible.right = visible.left;
    if (visible.bottom < visible.top) visible.bottom = visible.top;
    out->visible = visible;
    out->shape = ShapeOf(window);
    out->excluded = ClippedOut(window, owner);
    return true;
  }

  std::vector<HWND> ForeignChildren(HWND window) override {
    std::vector<HWND> found;
    Collect(window, &found);
    return found;
  }

 private:
  void Collect(HWND window, std::vector<HWND>* found) {
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      if (!IsWindowVisible(c)) continue;
      if (SurfaceOwner(c) == c) found->push_back(c);
      Collect(c, found);
    }
  }
};

}  // namespace

HWND SurfaceOwner(HWND window) {
  HWND owner = window;
  while (IsChildStyle(owner)) {
    HWND parent = GetParent(owner);
    if (!parent || GetWindowThreadProcessId(parent, nullptr) != GetWindowThreadProcessId(owner, nullptr)) break;
    owner = parent;
  }
  return owner;
}

HBITMAP OwnedSurface(HWND owner) {
  if (!IsWindow(owner) || SurfaceOwner(owner) != owner) return nullptr;
  auto attachment = std::static_pointer_cast<SurfaceAttachment>(GetWindowAttachment(owner, kSurfaceKey));
  if (!attachment) {
    attachment = std::make_shared<SurfaceAttachment>();
    SetWindowAttachment(owner, kSurfaceKey, attachment);
  }
  RECT r;
  GetClientRect(owner, &r);
  std::lock_guard<std::mutex> lock(attachment->mutex);
  FitSurface(*attachment, r.right - r.left, r.bottom - r.top);
  return attachment->bitmap;
}

}  // namespace vqplatform

int SetWindowRgn(HWND window, HRGN region, BOOL redraw) {
  if (!IsWindow(window)) return 0;
  std::shared_ptr<vqplatform::ShapeAttachment> shape;
  if (region) {
    shape = std::make_shared<vqplatform::ShapeAttachment>();
    shape->region = region;
  }
  vqplatform::SetWindowAttachment(window, vqplatform::kShapeKey, shape);
  if (redraw) InvalidateRect(window, nullptr, TRUE);
  return 1;
}

int GetWindowRgn(HWND window, HRGN region) {
  HRGN shape = IsWindow(window) ? vqplatform::ShapeOf(window) : nullptr;
  if (!shape || !region) return ERROR;
  return CombineRgn(region, shape, nullptr, RGN_COPY);
}

namespace vqplatform {

SurfaceProvider& WindowSurfaces() {
  static WindowSurfaceProvider* provider = MakeSingleton<WindowSurfaceProvider>();
  return *provider;
}

}  // namespace vqplatform
