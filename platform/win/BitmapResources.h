#pragma once
// Bitmap resources by id. Pictures are PNG files named "<id>.png" in the
// "bitmaps" folder beside the program (the build's generated skin pictures
// are installed there), or in $VQ_BITMAP_DIR when that is set; code can also
// register pictures of its own under an id, which win over the files.
// Each load gives a new 24-bit DIB section that the caller deletes.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/GdiTypes.h"

// A null instance or the program's; the name is MAKEINTRESOURCE(id). Null
// when there is no such picture (ERROR_RESOURCE_NAME_NOT_FOUND).
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
inline HBITMAP LoadBitmap(HINSTANCE instance, LPCWSTR name) { return LoadBitmapW(instance, name); }

namespace vqplatform {

// Top-down rows of blue, green, red bytes, width * 3 bytes each.
struct BitmapPixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> bgr;
};

// A PNG file as top-down 0xAARRGGBB pixels, alpha premultiplied; false when
// it cannot be read.
bool ReadPngFile(const std::wstring& path, int* width, int* height, std::vector<uint32_t>* pixels);

// Registers (or, with empty pixels, removes) a picture under an id.
void RegisterBitmapResource(UINT id, BitmapPixels pixels);
// The folder searched for "<id>.png".
std::wstring BitmapResourceFolder();
// The picture of an id as pixels; false when there is none.
bool FindBitmapResource(UINT id, BitmapPixels* out);

}  // namespace vqplatform
