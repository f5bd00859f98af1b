// The pixel store of bitmaps and DIB sections and its working view.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/win/GdiInternal.h"

namespace vqplatform::gdi {

std::shared_ptr<BitmapObject> BitmapObject::Create(int width, int height, const PixelFormat& format,
                                                   bool topDown, bool dibSection, const void* bits) {
  // Limits keep every size computation inside int and refuse absurd sizes.
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return nullptr;
  int bpp = format.Bpp();
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return nullptr;
  std::shared_ptr<BitmapObject> bitmap(new BitmapObject());
  bitmap->width_ = width;
  bitmap->height_ = height;
  bitmap->format_ = format;
  bitmap->topDown_ = topDown;
  bitmap->dibSection_ = dibSection;
  bitmap->stride_ = PixelFormat::StrideFor(width, bpp);
  size_t bytes = size_t(bitmap->stride_) * size_t(height);
  bitmap->store_ = static_cast<BYTE*>(std::calloc(bytes, 1));
  if (!bitmap->store_) return nullptr;
  if (bits) std::memcpy(bitmap->store_, bits, bytes);

  const DWORD* m = format.Masks();
  bool standard32 = bpp == 32 && m[0] == 0x00FF0000u && m[1] == 0x0000FF00u && m[2] == 0x000000FFu;
  if (standard32 && topDown) {
    bitmap->viewIsStore_ = true;
    bitmap->viewData_ = bitmap->store_;
    bitmap->viewStride_ = bitmap->stride_;
    bitmap->view_ = cairo_image_surface_create_for_data(bitmap->store_, CAIRO_FORMAT_RGB24, width, height,
                                                        bitmap->stride_);
  } else {
    bitmap->view_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    bitmap->viewData_ = cairo_image_surface_get_data(bitmap->view_);
    bitmap->viewStride_ = cairo_image_surface_get_stride(bitmap->view_);
  }
  if (cairo_surface_status(bitmap->view_) != CAIRO_STATUS_SUCCESS || !bitmap->viewData_) return nullptr;
  return bitmap;
}

BitmapObject::~BitmapObject() {
  if (view_) cairo_surface_destroy(view_);
  std::free(store_);
}

bool BitmapObject::Clip(const RECT& r, RECT* out) const {
  out->left = std::max<LONG>(r.left, 0);
  out->top = std::max<LONG>(r.top, 0);
  out->right = std::min<LONG>(r.right, width_);
  out->bottom = std::min<LONG>(r.bottom, height_);
  return out->left < out->right && out->top < out->bottom;
}

void BitmapObject::Load(const RECT& r) {
  if (viewIsStore_) return;
  RECT c;
  if (!Clip(r, &c)) return;
  cairo_surface_flush(view_);
  for (LONG y = c.top; y < c.bottom; ++y) format_.Decode(StoredRow(y), c.left, c.right - c.left, ViewRow(y) + c.left);
  cairo_surface_mark_dirty_rectangle(view_, c.left, c.top, c.right - c.left, c.bottom - c.top);
}

void BitmapObject::Save(const RECT& r) {
  RECT c;
  if (!Clip(r, &c)) return;
  cairo_surface_flush(view_);
  if (viewIsStore_) return;
  for (LONG y = c.top; y < c.bottom; ++y) format_.Encode(ViewRow(y) + c.left, c.left, c.right - c.left, StoredRow(y));
}

}  // namespace vqplatform::gdi
