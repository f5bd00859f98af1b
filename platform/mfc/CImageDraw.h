#pragma once
// The drawing side of ATL's CImage, over the image's own pixel rows: a DC
// that draws straight into the image (GetDC/ReleaseDC, nested calls share
// one DC), and the image drawn onto other DCs (Draw, BitBlt, StretchBlt,
// TransparentBlt, AlphaBlend), for CImage's drawing members to forward to.
#include "platform/mfc/CImage.h"
#include "platform/win/GdiTypes.h"

namespace vqplatform {

// A bitmap handle over the image's rows (no copy); the caller deletes it
// with DeleteObject before the image is destroyed or re-created. Null for
// an empty image.
HBITMAP CreateImageBitmap(CImage& image);

// A memory DC with the image selected; every GetImageDC needs a matching
// ReleaseImageDC, the DC lives until the last one.
HDC GetImageDC(CImage& image);
void ReleaseImageDC(CImage& image);

// The whole image or a part of it, stretched with the destination DC's mode
// (SRCCOPY).
BOOL DrawImage(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc,
               int heightSrc);
BOOL DrawImage(CImage& image, HDC dst, int x, int y);
BOOL DrawImage(CImage& image, HDC dst, const RECT& destination);
BOOL ImageBitBlt(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc,
                 DWORD rop = SRCCOPY);
BOOL ImageStretchBlt(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc,
                     int heightSrc, DWORD rop = SRCCOPY);
BOOL ImageTransparentBlt(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc,
                         int widthSrc, int heightSrc, UINT key);
// Constant alpha `alpha`; `format` AC_SRC_ALPHA uses the fourth byte of a
// 32-bit image as premultiplied alpha.
BOOL ImageAlphaBlend(CImage& image, HDC dst, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc,
                     int heightSrc, BYTE alpha = 0xFF, BYTE format = AC_SRC_OVER);

}  // namespace vqplatform
