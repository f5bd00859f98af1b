#pragma once
// Regions (sets of pixels, right and bottom edges exclusive) and clipping.
#include "platform/win/GdiTypes.h"

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// Rounded corners of an ellipse width x height, built from pixel rows.
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height);
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateEllipticRgnIndirect(const RECT* rect);
HRGN CreatePolygonRgn(const POINT* points, int count, int fillMode);
HRGN ExtCreateRegion(const void* transform, DWORD count, const RGNDATA* data);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);
// Returns the kind of the result (NULLREGION, SIMPLEREGION, COMPLEXREGION)
// or ERROR.
int CombineRgn(HRGN destination, HRGN source1, HRGN source2, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL RectInRegion(HRGN region, const RECT* rect);
int GetRgnBox(HRGN region, LPRECT box);
DWORD GetRegionData(HRGN region, DWORD size, LPRGNDATA data);

BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
BOOL FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height);
BOOL PaintRgn(HDC dc, HRGN region);
BOOL InvertRgn(HDC dc, HRGN region);

// The clip region lives in device coordinates (viewport origins do not move
// it). A null region removes clipping.
int SelectClipRgn(HDC dc, HRGN region);
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC dc, int dx, int dy);
// 1 with a copy of the clip region in `region`, 0 without clipping, -1 on error.
int GetClipRgn(HDC dc, HRGN region);
int GetClipBox(HDC dc, LPRECT box);
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const RECT* rect);
