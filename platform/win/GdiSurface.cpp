#include "platform/win/GdiSurface.h"

#include <atomic>

#include "platform/win/GdiDcInternal.h"

namespace vqplatform::gdi {

HDC NewWindowDc(HWND window, const WindowSurface& surface, HRGN clip);

namespace {

std::atomic<SurfaceProvider*> g_provider{nullptr};
std::atomic<int> g_screenWidth{1920};
std::atomic<int> g_screenHeight{1080};

}  // namespace

void CloseDc(HDC handle, const std::shared_ptr<DcObject>& dc) {
  if (dc->kind == DcObject::Kind::Window && !RectIsEmpty(dc->dirty)) {
    if (SurfaceProvider* provider = g_provider.load()) provider->SurfaceDrawn(dc->window, dc->dirty);
  }
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
  SurfaceProvider* provider = g_provider.load();
  WindowSurface surface;
  if (!provider || !window || !provider->SurfaceFor(window, client, &surface)) return nullptr;
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

bool WritePng(BitmapObject& bitmap, const RECT& area, const std::string& path) {
  RECT r = IntersectRects(area, RECT{0, 0, bitmap.Width(), bitmap.Height()});
  if (RectIsEmpty(r)) return false;
  bitmap.Load(r);
  cairo_surface_flush(bitmap.View());
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, r.right - r.left, r.bottom - r.top);
  cairo_t* cr = cairo_create(out);
  cairo_set_source_surface(cr, bitmap.View(), -r.left, -r.top);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  bool ok = cairo_surface_write_to_png(out, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(out);
  return ok;
}

}  // namespace

bool SaveBitmapAsPng(HBITMAP handle, const std::string& path) {
  auto bitmap = BitmapFromHandle(handle);
  if (!bitmap) return false;
  return WritePng(*bitmap, RECT{0, 0, bitmap->Width(), bitmap->Height()}, path);
}

bool SaveWindowAsPng(HWND window, const std::string& path) {
  SurfaceProvider* provider = g_provider.load();
  WindowSurface surface;
  if (!provider || !window || !provider->SurfaceFor(window, false, &surface)) return false;
  auto bitmap = BitmapFromHandle(surface.bitmap);
  if (!bitmap) return false;
  return WritePng(*bitmap, OffsetRectBy(NormalizeRect(surface.visible), surface.origin), path);
}

void SetScreenSize(int width, int height) {
  if (width <= 0 || height <= 0) return;
  g_screenWidth = width;
  g_screenHeight = height;
}

SIZE GetScreenSize() { return SIZE{g_screenWidth.load(), g_screenHeight.load()}; }

}  // namespace vqplatform
