#pragma once
// The seam between drawing and windows. A window DC draws into a backing
// surface that the window layer owns: one per top-level window, and one per
// window owned by a thread other than its top-level's. The window layer
// installs a SurfaceProvider; the presenter only shows those surfaces.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/GdiTypes.h"

namespace vqplatform {

struct WindowSurface {
  HBITMAP bitmap = nullptr;  // the backing surface, owned by the window layer
  POINT origin{0, 0};        // where the DC's point (0, 0) lies in the surface
  RECT visible{0, 0, 0, 0};  // what the DC may draw into, in DC coordinates
  POINT screen{0, 0};        // the DC's point (0, 0) on the screen
  HRGN shape = nullptr;      // optional: the window's region, DC coordinates (the provider's)
  std::vector<RECT> excluded;  // children and siblings the window's drawing leaves alone (DC coordinates)
};

class SurfaceProvider {
 public:
  virtual ~SurfaceProvider() = default;
  // The surface of a window's client area (client) or of the whole window.
  virtual bool SurfaceFor(HWND window, bool client, WindowSurface* out) = 0;
  // Called when a DC over the window is released; `dirty` in surface
  // coordinates covers everything drawn through it.
  virtual void SurfaceDrawn(HWND window, const RECT& dirty) {
    (void)window;
    (void)dirty;
  }
  // Visible descendants of a window that draw into surfaces of their own
  // (windows of other threads), parents before their children.
  virtual std::vector<HWND> ForeignChildren(HWND window) {
    (void)window;
    return {};
  }
};

// Installs a provider in place of the layer's own window surfaces (see
// WindowSurfaces.h); null goes back to them. Returns the previous one.
SurfaceProvider* SetSurfaceProvider(SurfaceProvider* provider);

// A DC over a window's surface, optionally clipped further by `clip` (DC
// coordinates; copied). BeginPaint builds its DC with this. Released with
// ReleaseDC or DeleteDC. Null when the window has no surface.
HDC CreateWindowSurfaceDC(HWND window, bool client, HRGN clip);

// A 32-bit top-down bitmap for a backing surface, filled white.
HBITMAP CreateSurfaceBitmap(int width, int height);

// Writes a bitmap (any depth) as PNG; false when the handle is no bitmap or
// the file cannot be written.
bool SaveBitmapAsPng(HBITMAP bitmap, const std::string& path);
// Writes a window as PNG: its own surface area with the surfaces of its
// descendants on other threads composited in.
bool SaveWindowAsPng(HWND window, const std::string& path);

// The same composed picture as pixels 0x00RRGGBB, rows top-down (what the
// presenter shows); false when the window has no surface.
struct WindowImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};
bool ComposeWindowImage(HWND window, WindowImage* out);

// The headless screen: size and resolution (96 dots per inch).
void SetScreenSize(int width, int height);
SIZE GetScreenSize();

}  // namespace vqplatform
