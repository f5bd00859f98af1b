#include "platform/mfc/Geometry.h"

#include <algorithm>
#include <utility>

void CRect::NormalizeRect() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
}

bool CRect::IntersectRect(const RECT& a, const RECT& b) {
  CRect ra(a), rb(b);
  CRect r(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom));
  if (ra.IsRectEmpty() || rb.IsRectEmpty() || r.IsRectEmpty()) {
    SetRectEmpty();
    return false;
  }
  *this = r;
  return true;
}

bool CRect::UnionRect(const RECT& a, const RECT& b) {
  CRect ra(a), rb(b);
  if (ra.IsRectEmpty() && rb.IsRectEmpty()) {
    SetRectEmpty();
    return false;
  }
  if (ra.IsRectEmpty()) {
    *this = rb;
  } else if (rb.IsRectEmpty()) {
    *this = ra;
  } else {
    SetRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom));
  }
  return true;
}
