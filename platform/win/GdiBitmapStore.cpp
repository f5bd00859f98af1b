// The pixel store of bitmaps and DIB sections and its working view.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/win/GdiInternal.h"

namespace vqplatform::gdi {

namespace {

bool SizeAndDepthOk(int width, int height, int bpp) {
  // Limits keep every size computation inside int and refuse absurd sizes.
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

}  // namespace

bool BitmapObject::Init(int width, int height, const PixelFormat& format, bool topDown, bool dibSection,
                        void* store) {
  width_ = width;
  height_ = height;
  format_ = format;
  topDown_ = topDown;
  dibSection_ = dibSection;
  stride_ = PixelFormat::StrideFor(width, format.Bpp());
  if (store) {
    store_ = static_cast<BYTE*>(store);
    ownsStore_ = false;
  } else {
    store_ = static_cast<BYTE*>(std::calloc(size_t(stride_) * size_t(height), 1));
    if (!store_) return false;
  }
  const DWORD* m = format.Masks();
  bool standard32 = format.Bpp() == 32 && m[0] == 0x00FF0000u && m[1] == 0x0000FF00u && m[2] == 0x000000FFu;
  if (standard32 && topDown) {
    viewIsStore_ = true;
    viewData_ = store_;
    viewStride_ = stride_;
    view_ = cairo_image_surface_create_for_data(store_, CAIRO_FORMAT_RGB24, width, height, stride_);
  } else {
    view_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    viewData_ = cairo_image_surface_get_data(view_);
    viewStride_ = cairo_image_surface_get_stride(view_);
  }
  return cairo_surface_status(view_) == CAIRO_STATUS_SUCCESS && viewData_;
}

std::shared_ptr<BitmapObject> BitmapObject::Create(int width, int height, const PixelFormat& format,
                                                   bool topDown, bool dibSection, const void* bits) {
  if (!SizeAndDepthOk(width, height, format.Bpp())) return nullptr;
  std::shared_ptr<BitmapObject> bitmap(new BitmapObject());
  if (!bitmap->Init(width, height, format, topDown, dibSection, nullptr)) return nullptr;
  if (bits) std::memcpy(bitmap->store_, bits, size_t(bitmap->stride_) * size_t(height));
  return bitmap;
}

std::shared_ptr<BitmapObject> BitmapObject::CreateOver(int width, int height, const PixelFormat& format,
                                                       bool topDown, void* store) {
  if (!store || !SizeAndDepthOk(width, height, format.Bpp())) return nullptr;
  std::shared_ptr<BitmapObject> bitmap(new BitmapObject());
  if (!bitmap->Init(width, height, format, topDown, true, store)) return nullptr;
  return bitmap;
}

BitmapObject::~BitmapObject() {
  if (view_) cairo_surface_destroy(view_);
  if (ownsStore_) std::free(store_);
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
