#pragma once
// Blits and stretches between DCs and DIBs. SRCCOPY replaces the pixels
// (all four bytes of 32-bit pixels: the fourth byte is data, not alpha);
// stretching is HALFTONE (area resampling) or nearest neighbour for the
// other modes; negative extents mirror. Monochrome device bitmaps take the
// text and background colours of the DCs as GDI does; DIB sections and DIBs
// of any depth keep the colours of their own table.
#include "platform/win/GdiTypes.h"

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop);
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                int heightSrc, DWORD rop);
// Copies all source pixels but those of the key colour (nearest-neighbour
// stretching).
BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                    int heightSrc, UINT transparent);
// Constant alpha, and with AC_SRC_ALPHA per-pixel premultiplied alpha in the
// fourth byte of 32-bit sources.
BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                int heightSrc, BLENDFUNCTION blend);
BOOL GdiAlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                   int heightSrc, BLENDFUNCTION blend);
BOOL GdiTransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, int widthSrc,
                       int heightSrc, UINT transparent);

// Copies rows of a bitmap out as a DIB of the format in `info` (rows
// counted from the bottom for bottom-up DIBs). With null bits only fills in
// the header (image size) and colour table. Returns the rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
// The source rectangle is in DIB pixels counted from the top row.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int xSrc, int ySrc, int widthSrc, int heightSrc,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dc, int x, int y, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);

// The colour table of the DIB section selected into a memory DC (1, 4 and
// 8 bits); returns the entries read or written.
UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colors);
UINT SetDIBColorTable(HDC dc, UINT start, UINT count, const RGBQUAD* colors);
