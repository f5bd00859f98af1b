#include "platform/win/BitmapResources.h"

#include <cairo.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>

#include "base/PathEncoding.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/LastError.h"
#include "platform/win/Singletons.h"

namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}
std::map<UINT, vqplatform::BitmapPixels>& Registered() {
  static auto* registered = vqplatform::MakeSingleton<std::map<UINT, vqplatform::BitmapPixels>>();
  return *registered;
}

bool ReadPng(const std::wstring& path, vqplatform::BitmapPixels* out) {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  if (!vqplatform::ReadPngFile(path, &width, &height, &pixels)) return false;
  out->width = width;
  out->height = height;
  out->bgr.resize(pixels.size() * 3);
  // Premultiplied: a transparent pixel becomes black.
  for (size_t i = 0; i < pixels.size(); ++i) {
    out->bgr[i * 3] = static_cast<uint8_t>(pixels[i] & 0xFF);
    out->bgr[i * 3 + 1] = static_cast<uint8_t>((pixels[i] >> 8) & 0xFF);
    out->bgr[i * 3 + 2] = static_cast<uint8_t>((pixels[i] >> 16) & 0xFF);
  }
  return true;
}

HBITMAP ToDibSection(const vqplatform::BitmapPixels& pixels) {
  void* bits = nullptr;
  HBITMAP bitmap = vqplatform::CreateTopDownDib24(nullptr, pixels.width, pixels.height, &bits);
  if (!bitmap) return nullptr;
  const size_t rowBytes = static_cast<size_t>(pixels.width) * 3;
  const size_t stride = vqplatform::Dib24Stride(pixels.width);
  for (int y = 0; y < pixels.height; ++y)
    std::memcpy(static_cast<uint8_t*>(bits) + stride * static_cast<size_t>(y),
                pixels.bgr.data() + rowBytes * static_cast<size_t>(y), rowBytes);
  return bitmap;
}

}  // namespace

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name) {
  auto id = reinterpret_cast<uintptr_t>(name);
  vqplatform::BitmapPixels pixels;
  if (id == 0 || id > 0xFFFF || !vqplatform::FindBitmapResource(static_cast<UINT>(id), &pixels)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return ToDibSection(pixels);
}

namespace vqplatform {

bool ReadPngFile(const std::wstring& path, int* width, int* height, std::vector<uint32_t>* pixels) {
  std::string file = vq::PathToBytes(path);
  cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
  bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
  cairo_format_t format = ok ? cairo_image_surface_get_format(surface) : CAIRO_FORMAT_INVALID;
  ok = ok && (format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24);
  if (ok) {
    cairo_surface_flush(surface);
    int w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    *width = w;
    *height = h;
    pixels->resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
      std::memcpy(pixels->data() + static_cast<size_t>(y) * static_cast<size_t>(w),
                  data + static_cast<size_t>(y) * static_cast<size_t>(stride), static_cast<size_t>(w) * 4);
      if (format == CAIRO_FORMAT_RGB24)
        for (int x = 0; x < w; ++x) (*pixels)[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] |= 0xFF000000u;
    }
  }
  cairo_surface_destroy(surface);
  return ok;
}

void RegisterBitmapResource(UINT id, BitmapPixels pixels) {
  std::lock_guard<std::mutex> guard(Lock());
  if (pixels.width <= 0 || pixels.height <= 0 ||
      pixels.bgr.size() != static_cast<size_t>(pixels.width) * static_cast<size_t>(pixels.height) * 3)
    Registered().erase(id);
  else
    Registered()[id] = std::move(pixels);
}

std::wstring BitmapResourceFolder() {
  if (std::wstring folder = vq::PathFromEnvironment("VQ_BITMAP_DIR"); !folder.empty()) return folder;
  return vq::ProgramFolder() + L"/bitmaps";
}

bool FindBitmapResource(UINT id, BitmapPixels* out) {
  {
    std::lock_guard<std::mutex> guard(Lock());
    auto found = Registered().find(id);
    if (found != Registered().end()) {
      if (out) *out = found->second;
      return true;
    }
  }
  BitmapPixels pixels;
  if (!ReadPng(BitmapResourceFolder() + L"/" + std::to_wstring(id) + L".png", &pixels)) return false;
  if (out) *out = std::move(pixels);
  return true;
}

}  // namespace vqplatform
