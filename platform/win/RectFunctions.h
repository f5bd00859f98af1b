#pragma once
// The rectangle and point helpers of the Win32 subset. Right and bottom
// edges are exclusive.
#include "platform/win/WinTypes.h"

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT destination, const RECT* source);
BOOL IsRectEmpty(const RECT* rect);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
// False (and an empty result) when the rectangles do not overlap.
BOOL IntersectRect(LPRECT destination, const RECT* a, const RECT* b);
BOOL UnionRect(LPRECT destination, const RECT* a, const RECT* b);
BOOL EqualRect(const RECT* a, const RECT* b);
