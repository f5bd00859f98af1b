#include "platform/mfc/CImageDraw.h"

#include <map>
#include <mutex>
#include <vector>

#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

// The DCs handed out by GetImageDC, by image.
struct ImageDc {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  int count = 0;
};

std::mutex& ImageDcMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<const CImage*, ImageDc>& ImageDcs() {
  static auto* dcs = vqplatform::MakeSingleton<std::map<const CImage*, ImageDc>>();
  return *dcs;
}

// A memory DC over the image for one drawing call.
class SourceDc {
 public:
  explicit SourceDc(CImage& image) : bitmap_(CreateImageBitmap(image)) {
    if (!bitmap_) return;
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
  }
  ~SourceDc() {
    if (!dc_) return;
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bitmap_);
  }
  HDC Get() const { return dc_; }

 private:
  HBITMAP bitmap_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

}  // namespace

HBITMAP CreateImageBitmap(CImage& image) {
  if (image.IsNull()) return nullptr;
  int colors = image.GetMaxColorTableEntries();
  std::vector<BYTE> buffer(sizeof(BITMAPINFOHEADER) + size_t(colors > 0 ? colors : 1) * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(buffer.data());
  int pitch = image.GetPitch();
  info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info->bmiHeader.biWidth = image.GetWidth();
  info->bmiHeader.biHeight = pitch < 0 ? image.GetHeight() : -image.GetHeight();
  info->bmiHeader.biPlanes = 1;
  info->bmiHeader.biBitCount = static_cast<WORD>(image.GetBPP());
  info->bmiHeader.biCompression = BI_RGB;
  info->bmiHeader.biClrUsed = static_cast<DWORD>(colors);
  if (colors > 0) image.GetColorTable(0, static_cast<UINT>(colors), info->bmiColors);
  // GetBits is the top row; a bottom-up image's store starts at its bottom row.
  BYTE* rows = static_cast<BYTE*>(image.GetBits());
  if (pitch < 0) rows += ptrdiff_t(image.GetHeight() - 1) * pitch;
  return CreateDIBSectionOver(info, rows);
}

HDC GetImageDC(CImage& image) {
  std::lock_guard<std::mutex> lock(ImageDcMutex());
  ImageDc& entry = ImageDcs()[&image];
  if (entry.count == 0) {
    entry.bitmap = CreateImageBitmap(image);
    if (!entry.bitmap) {
      ImageDcs().erase(&image);
      return nullptr;
    }
    entry.dc = CreateCompatibleDC(nullptr);
    entry.old = SelectObject(entry.dc, entry.bitmap);
  }
  ++entry.count;
  return entry.dc;
}

void ReleaseImageDC(CImage& image) {
  std::lock_guard<std::mutex> lock(ImageDcMutex());
  auto it = ImageDcs().find(&image);
  if (it == ImageDcs().end() || --it->second.count > 0) return;
  SelectObject(it->second.dc, it->second.old);
  DeleteDC(it->second.dc);
  DeleteObject(it->second.bitmap);
  ImageDcs().erase(it);
}

BOOL ImageStretchBlt(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc,
                     int heightSrc, DWORD rop) {
  SourceDc src(image);
  return src.Get() && StretchBlt(dst, x, y, width, height, src.Get(), xSrc, ySrc, widthSrc, heightSrc, rop);
}

BOOL ImageBitBlt(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, DWORD rop) {
  return ImageStretchBlt(image, dst, x, y, width, height, xSrc, ySrc, width, height, rop);
}

BOOL DrawImage(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc,
               int heightSrc) {
  return ImageStretchBlt(image, dst, x, y, width, height, xSrc, ySrc, widthSrc, heightSrc, SRCCOPY);
}

BOOL DrawImage(CImage& image, HDC dst, int x, int y) {
  return DrawImage(image, dst, x, y, image.GetWidth(), image.GetHeight(), 0, 0, image.GetWidth(),
                   image.GetHeight());
}

BOOL DrawImage(CImage& image, HDC dst, const RECT& d) {
  return DrawImage(image, dst, d.left, d.top, d.right - d.left, d.bottom - d.top, 0, 0, image.GetWidth(),
                   image.GetHeight());
}

BOOL ImageTransparentBlt(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc,
                         int widthSrc, int heightSrc, UINT key) {
  SourceDc src(image);
  return src.Get() && TransparentBlt(dst, x, y, width, height, src.Get(), xSrc, ySrc, widthSrc, heightSrc, key);
}

BOOL ImageAlphaBlend(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc,
                     int heightSrc, BYTE alpha, BYTE format) {
  SourceDc src(image);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, format};
  return src.Get() && AlphaBlend(dst, x, y, width, height, src.Get(), xSrc, ySrc, widthSrc, heightSrc, blend);
}

}  // namespace vqplatform
