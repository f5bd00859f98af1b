#include "platform/win/GdiSurface.h"

#include <atomic>

#include "platform/win/GdiDcInternal.h"
#include "platform/win/WindowSurfaces.h"

namespace vqplatform::gdi {

HDC NewWindowDc(HWND window, const WindowSurface& surface, HRGN clip);

namespace {

std::atomic<SurfaceProvider*> g_provider{nullptr};
std::atomic<int> g_screenWidth{1920};
std::atomic<int> g_screenHeight{1080};

}  // namespace

SurfaceProvider& ActiveProvider() {
  SurfaceProvider* provider = g_provider.load();
  return provider ? *provider : WindowSurfaces();
}

void CloseDc(HDC handle, const std::shared_ptr<DcObject>& dc) {
  if (dc->kind == DcObject::Kind::Window && !RectIsEmpty(dc->dirty)) ActiveProvider().SurfaceDrawn(dc->window, dc->dirty);
  dc->Unselect();
  dc->state = DcState();
  dc->saved.clear();
  UnregisterObject(handle);
}

}  // namespace vqplatform::gdi

namespace vqplatform {

using namespace gdi;

SurfaceProvider* SetSurfaceProvider(SurfaceProvider* provider) { return g_provider.exchange(provider); }

HDC CreateWindowSurfaceDC(HWND window, bool client, HRGN clip) {
  WindowSurface surface;
  if (!window || !ActiveProvider().SurfaceFor(window, client, &surface)) return nullptr;
  return NewWindowDc(window, surface, clip);
}

HBITMAP CreateSurfaceBitmap(int width, int height) {
  auto bitmap = BitmapObject::Create(width, height, PixelFormat(32, {}), true, false);
  if (!bitmap) return nullptr;
  std::fill_n(reinterpret_cast<uint32_t*>(bitmap->Bits()), size_t(width) * height, 0x00FFFFFFu);
  cairo_surface_mark_dirty(bitmap->View());
  return MakeHandle<HBITMAP>(bitmap);
}

namespace {

// Copies the visible part of a surface area into `out` at `at`.
void CopyArea(BitmapObject& bitmap, const RECT& area, cairo_surface_t* out, POINT at) {
  RECT r = IntersectRects(area, RECT{0, 0, bitmap.Width(), bitmap.Height()});
  if (RectIsEmpty(r)) return;
  bitmap.Load(r);
  cairo_surface_flush(bitmap.View());
  cairo_t* cr = cairo_create(out);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, at.x + (r.left - area.left), at.y + (r.top - area.top), r.right - r.left, r.bottom - r.top);
  cairo_clip(cr);
  cairo_set_source_surface(cr, bitmap.View(), at.x - area.left, at.y - area.top);
  cairo_paint(cr);
  cairo_destroy(cr);
}

bool WritePng(cairo_surface_t* image, const std::string& path) {
  return cairo_surface_write_to_png(image, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace

bool SaveBitmapAsPng(HBITMAP handle, const std::string& path) {
  auto bitmap = BitmapFromHandle(handle);
  if (!bitmap) return false;
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, bitmap->Width(), bitmap->Height());
  CopyArea(*bitmap, RECT{0, 0, bitmap->Width(), bitmap->Height()}, out, POINT{0, 0});
  bool ok = WritePng(out, path);
  cairo_surface_destroy(out);
  return ok;
}

namespace {

// The window's surface area with its foreign children, as a new RGB24
// surface; null when there is nothing to show.
cairo_surface_t* ComposeWindow(HWND window) {
  SurfaceProvider& provider = ActiveProvider();
  WindowSurface surface;
  if (!window || !provider.SurfaceFor(window, false, &surface)) return nullptr;
  auto bitmap = BitmapFromHandle(surface.bitmap);
  RECT visible = NormalizeRect(surface.visible);
  if (!bitmap || RectIsEmpty(visible)) return nullptr;
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, visible.right, visible.bottom);
  CopyArea(*bitmap, OffsetRectBy(RECT{0, 0, visible.right, visible.bottom}, surface.origin), out, POINT{0, 0});
  for (HWND child : provider.ForeignChildren(window)) {
    WindowSurface s;
    if (!provider.SurfaceFor(child, false, &s)) continue;
    auto childBitmap = BitmapFromHandle(s.bitmap);
    if (!childBitmap) continue;
    RECT v = NormalizeRect(s.visible);
    POINT at{s.screen.x - surface.screen.x + v.left, s.screen.y - surface.screen.y + v.top};
    CopyArea(*childBitmap, OffsetRectBy(v, s.origin), out, at);
  }
  cairo_surface_flush(out);
  return out;
}

}  // namespace

bool SaveWindowAsPng(HWND window, const std::string& path) {
  cairo_surface_t* out = ComposeWindow(window);
  if (!out) return false;
  bool ok = WritePng(out, path);
  cairo_surface_destroy(out);
  return ok;
}

bool ComposeWindowImage(HWND window, WindowImage* image) {
  cairo_surface_t* out = ComposeWindow(window);
  if (!out) return false;
  int width = cairo_image_surface_get_width(out), height = cairo_image_surface_get_height(out);
  int stride = cairo_image_surface_get_stride(out);
  const unsigned char* data = cairo_image_surface_get_data(out);
  image->width = width;
  image->height = height;
  image->pixels.resize(size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + size_t(y) * stride);
    for (int x = 0; x < width; ++x) image->pixels[size_t(y) * width + x] = row[x] & 0x00FFFFFFu;
  }
  cairo_surface_destroy(out);
  return true;
}

void SetScreenSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  g_screenWidth = width;
  g_screenHeight = height;
}

SIZE GetScreenSize() { return SIZE{g_screenWidth.load(), g_screenHeight.load()}; }

}  // namespace vqplatform
