#pragma once
// CPoint, CSize and CRect: the MFC value classes over POINT, SIZE and RECT.
#include "platform/win/WinTypes.h"

class CSize : public SIZE {
 public:
  CSize() : SIZE{0, 0} {}
  CSize(int cx, int cy) : SIZE{cx, cy} {}
  CSize(SIZE s) : SIZE(s) {}  // NOLINT
  bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
  bool operator!=(const SIZE& o) const { return !(*this == o); }
  CSize operator+(SIZE o) const { return CSize(cx + o.cx, cy + o.cy); }
  CSize operator-(SIZE o) const { return CSize(cx - o.cx, cy - o.cy); }
  CSize operator-() const { return CSize(-cx, -cy); }
  void operator+=(SIZE o) { cx += o.cx, cy += o.cy; }
  void operator-=(SIZE o) { cx -= o.cx, cy -= o.cy; }
};

class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(int x, int y) : POINT{x, y} {}
  CPoint(POINT p) : POINT(p) {}  // NOLINT
  void Offset(int dx, int dy) { x += dx, y += dy; }
  void Offset(POINT p) { Offset(p.x, p.y); }
  void SetPoint(int nx, int ny) { x = nx, y = ny; }
  bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
  bool operator!=(const POINT& o) const { return !(*this == o); }
  CPoint operator+(SIZE s) const { return CPoint(x + s.cx, y + s.cy); }
  CPoint operator-(SIZE s) const { return CPoint(x - s.cx, y - s.cy); }
  CSize operator-(POINT p) const { return CSize(x - p.x, y - p.y); }
  CPoint operator+(POINT p) const { return CPoint(x + p.x, y + p.y); }
  CPoint operator-() const { return CPoint(-x, -y); }
  void operator+=(SIZE s) { Offset(s.cx, s.cy); }
  void operator-=(SIZE s) { Offset(-s.cx, -s.cy); }
  void operator+=(POINT p) { Offset(p.x, p.y); }
  void operator-=(POINT p) { Offset(-p.x, -p.y); }
};

// A rectangle whose right and bottom edges are exclusive, as in GDI.
class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(int l, int t, int r, int b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}  // NOLINT
  CRect(POINT topLeft, SIZE size)
      : RECT{topLeft.x, topLeft.y, topLeft.x + size.cx, topLeft.y + size.cy} {}
  CRect(POINT topLeft, POINT bottomRight)
      : RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y} {}

  operator RECT*() { return this; }              // NOLINT
  operator const RECT*() const { return this; }  // NOLINT

  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }

  // Empty: no area (width or height not positive). Null: all four zero.
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  bool EqualRect(const RECT& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }

  void SetRect(int l, int t, int r, int b) { left = l, top = t, right = r, bottom = b; }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void CopyRect(const RECT* r) { *static_cast<RECT*>(this) = *r; }
  void OffsetRect(int dx, int dy) { left += dx, right += dx, top += dy, bottom += dy; }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void OffsetRect(SIZE s) { OffsetRect(s.cx, s.cy); }
  void MoveToXY(int x, int y) { OffsetRect(x - left, y - top); }
  void MoveToX(int x) { OffsetRect(x - left, 0); }
  void MoveToY(int y) { OffsetRect(0, y - top); }
  void InflateRect(int dx, int dy) { left -= dx, top -= dy, right += dx, bottom += dy; }
  void InflateRect(int l, int t, int r, int b) { left -= l, top -= t, right += r, bottom += b; }
  void InflateRect(SIZE s) { InflateRect(s.cx, s.cy); }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  void DeflateRect(int l, int t, int r, int b) { InflateRect(-l, -t, -r, -b); }
  void DeflateRect(SIZE s) { InflateRect(-s.cx, -s.cy); }
  void NormalizeRect();

  // Intersection and union as GDI computes them; an empty intersection
  // leaves the rectangle all zero and returns false.
  bool IntersectRect(const RECT& a, const RECT& b);
  bool UnionRect(const RECT& a, const RECT& b);

  bool operator==(const RECT& r) const { return EqualRect(r); }
  bool operator!=(const RECT& r) const { return !EqualRect(r); }
  void operator+=(POINT p) { OffsetRect(p); }
  void operator-=(POINT p) { OffsetRect(-p.x, -p.y); }
  CRect operator+(POINT p) const {
    CRect r(*this);
    r.OffsetRect(p);
    return r;
  }
  CRect operator-(POINT p) const {
    CRect r(*this);
    r.OffsetRect(-p.x, -p.y);
    return r;
  }
  CRect operator&(const RECT& o) const {
    CRect r;
    r.IntersectRect(*this, o);
    return r;
  }
  CRect operator|(const RECT& o) const {
    CRect r;
    r.UnionRect(*this, o);
    return r;
  }
};
