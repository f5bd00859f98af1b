#pragma once
// GDI objects: pens, brushes, bitmaps and DIB sections, stock objects.
// Fonts are in GdiText.h, regions in GdiRegion.h. Objects may be shared
// between threads; a DC is used by one thread at a time.
#include "platform/win/GdiTypes.h"

HGDIOBJ GetStockObject(int index);
// Deleting a stock object does nothing; an object still selected into a DC
// lives on until it is deselected or the DC goes away.
BOOL DeleteObject(HGDIOBJ object);
DWORD GetObjectType(HGDIOBJ object);
// Fills BITMAP/DIBSECTION, LOGPEN, LOGBRUSH or LOGFONTW; with a null buffer
// returns the size needed.
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
inline int GetObject(HGDIOBJ object, int size, LPVOID buffer) { return GetObjectW(object, size, buffer); }

HPEN CreatePen(int style, int width, COLORREF color);
HPEN CreatePenIndirect(const LOGPEN* logPen);
HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles);

HBRUSH CreateSolidBrush(COLORREF color);
HBRUSH CreateHatchBrush(int hatch, COLORREF color);
HBRUSH CreatePatternBrush(HBITMAP bitmap);
HBRUSH CreateBrushIndirect(const LOGBRUSH* logBrush);

// Device-dependent bitmaps: the screen's format (32 bits) or monochrome.
HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// A DIB section of any depth (1, 4, 8, 16, 24, 32) in the row order given
// by the sign of biHeight; *bits receives the pixel store.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HBITMAP CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage);
#define CBM_INIT 0x04L

LONG GetBitmapBits(HBITMAP bitmap, LONG bytes, LPVOID bits);
LONG SetBitmapBits(HBITMAP bitmap, DWORD bytes, const void* bits);
BOOL GetBitmapDimensionEx(HBITMAP bitmap, SIZE* size);

namespace vqplatform {
// A DIB section over pixel rows that the caller owns (the format of `info`,
// rows from `rows` in the order biHeight gives): drawing changes them in
// place. The rows must outlive the bitmap and every DC it is selected into.
HBITMAP CreateDIBSectionOver(const BITMAPINFO* info, void* rows);

// A 24-bit top-down DIB section of width x height; *bits receives its rows,
// Dib24Stride(width) bytes apart. Null when it cannot be made.
HBITMAP CreateTopDownDib24(HDC dc, int width, int height, void** bits);
inline size_t Dib24Stride(int width) { return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3}; }
}  // namespace vqplatform
