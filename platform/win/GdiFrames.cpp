#include "platform/win/GdiFrames.h"

#include <algorithm>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/SysColors.h"

namespace {

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF color) {
  if (right <= left || bottom <= top) return;
  HBRUSH brush = CreateSolidBrush(color);
  RECT r{left, top, right, bottom};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

// One ring of an edge: top and left in one colour, bottom and right in the
// other, on the sides asked for.
void Ring(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight, UINT sides) {
  if (sides & BF_TOP) Fill(dc, r.left, r.top, r.right, r.top + 1, topLeft);
  if (sides & BF_LEFT) Fill(dc, r.left, r.top, r.left + 1, r.bottom, topLeft);
  if (sides & BF_BOTTOM) Fill(dc, r.left, r.bottom - 1, r.right, r.bottom, bottomRight);
  if (sides & BF_RIGHT) Fill(dc, r.right - 1, r.top, r.right, r.bottom, bottomRight);
}

RECT Shrink(RECT r, UINT sides) {
  if (sides & BF_LEFT) ++r.left;
  if (sides & BF_TOP) ++r.top;
  if (sides & BF_RIGHT) --r.right;
  if (sides & BF_BOTTOM) --r.bottom;
  return r;
}

// The centred square of a rectangle, for check boxes and radio buttons.
RECT Square(const RECT& r, int size) {
  size = std::min<int>(size, std::min(r.right - r.left, r.bottom - r.top));
  int left = r.left + ((r.right - r.left) - size) / 2, top = r.top + ((r.bottom - r.top) - size) / 2;
  return RECT{left, top, left + size, top + size};
}

void DrawCheckMark(HDC dc, const RECT& box, COLORREF color) {
  // A tick of three-pixel-high strokes, as the classic check box has.
  int x = box.left + (box.right - box.left - 7) / 2, y = box.top + (box.bottom - box.top - 7) / 2;
  static const int rise[7] = {2, 3, 4, 3, 2, 1, 0};
  for (int i = 0; i < 7; ++i) Fill(dc, x + i, y + rise[i], x + i + 1, y + rise[i] + 3, color);
}

BOOL DrawButton(HDC dc, LPRECT rect, UINT state) {
  UINT kind = state & 0x1F;
  bool checked = state & DFCS_CHECKED, pushed = state & DFCS_PUSHED, inactive = state & DFCS_INACTIVE;
  COLORREF inside = (pushed || inactive) ? GetSysColor(COLOR_BTNFACE) : GetSysColor(COLOR_WINDOW);
  COLORREF mark = inactive ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_WINDOWTEXT);
  if (kind == DFCS_BUTTONPUSH) {
    RECT r = *rect;
    if (state & DFCS_FLAT) {
      Ring(dc, r, GetSysColor(COLOR_WINDOWFRAME), GetSysColor(COLOR_WINDOWFRAME), BF_RECT);
      Fill(dc, r.left + 1, r.top + 1, r.right - 1, r.bottom - 1, GetSysColor(COLOR_BTNFACE));
      return TRUE;
    }
    return DrawEdge(dc, &r, (pushed || checked) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
  }
  if (kind == DFCS_BUTTONRADIO || kind == DFCS_BUTTONRADIOIMAGE || kind == DFCS_BUTTONRADIOMASK) {
    RECT box = Square(*rect, 12);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HBRUSH shadow = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    HBRUSH fill = CreateSolidBrush(inside);
    HGDIOBJ oldBrush = SelectObject(dc, shadow);
    Ellipse(dc, box.left, box.top, box.right + 1, box.bottom + 1);
    SelectObject(dc, fill);
    Ellipse(dc, box.left + 2, box.top + 2, box.right - 1, box.bottom - 1);
    if (checked) {
      HBRUSH dot = CreateSolidBrush(mark);
      SelectObject(dc, dot);
      int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
      Ellipse(dc, cx - 2, cy - 2, cx + 3, cy + 3);
      SelectObject(dc, fill);
      DeleteObject(dot);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(shadow);
    DeleteObject(fill);
    return TRUE;
  }
  // Check boxes (and three-state ones).
  RECT box = Square(*rect, 13);
  if (state & DFCS_FLAT) {
    Ring(dc, box, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), BF_RECT);
  } else {
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT);
  }
  RECT in = (state & DFCS_FLAT) ? Shrink(box, BF_RECT) : Shrink(Shrink(box, BF_RECT), BF_RECT);
  Fill(dc, in.left, in.top, in.right, in.bottom, inside);
  if (checked) DrawCheckMark(dc, in, mark);
  return TRUE;
}

// Raised box with a small glyph: a cross or an arrow.
BOOL DrawGlyphBox(HDC dc, LPRECT rect, UINT type, UINT state) {
  RECT r = *rect;
  DrawEdge(dc, &r, (state & DFCS_PUSHED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_MIDDLE);
  COLORREF color = (state & DFCS_INACTIVE) ? GetSysColor(COLOR_GRAYTEXT) : GetSysColor(COLOR_BTNTEXT);
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  UINT glyph = state & 0xFF;
  if (type == DFC_CAPTION && glyph == DFCS_CAPTIONCLOSE) {
    for (int i = -3; i <= 3; ++i) {
      Fill(dc, cx + i, cy + i, cx + i + 1, cy + i + 1, color);
      Fill(dc, cx + i, cy - i, cx + i + 1, cy - i + 1, color);
    }
  } else if (type == DFC_SCROLL) {
    bool vertical = glyph == DFCS_SCROLLUP || glyph == DFCS_SCROLLDOWN || glyph == DFCS_SCROLLCOMBOBOX;
    bool backwards = glyph == DFCS_SCROLLUP || glyph == DFCS_SCROLLLEFT;
    // Row (or column) i of the triangle is 7 - 2i wide; the widest sits
    // on the side the arrow points away from.
    for (int i = 0; i < 4; ++i) {
      int step = backwards ? 1 - i : i - 2;
      if (vertical) {
        Fill(dc, cx - 3 + i, cy + step, cx + 4 - i, cy + step + 1, color);
      } else {
        Fill(dc, cx + step, cy - 3 + i, cx + step + 1, cy + 4 - i, color);
      }
    }
  } else {
    Fill(dc, cx - 3, cy, cx + 4, cy + 1, color);
  }
  return TRUE;
}

// Menu marks: the glyph alone, in the DC's text colour, on what is there.
BOOL DrawMenuMark(HDC dc, LPRECT rect, UINT state) {
  const RECT& r = *rect;
  COLORREF color = GetTextColor(dc);
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  switch (state & 0xFF) {
    case DFCS_MENUCHECK: {
      // A tick: a short stroke down to the right, a long one up, two
      // pixels thick.
      HPEN pen = CreatePen(PS_SOLID, 1, color);
      HGDIOBJ oldPen = SelectObject(dc, pen);
      int x = cx - 4, y = cy - 1;
      for (int thick = 0; thick < 2; ++thick) {
        MoveToEx(dc, x, y + thick, nullptr);
        LineTo(dc, x + 3, y + 3 + thick);
        LineTo(dc, x + 9, y - 3 + thick);
      }
      SelectObject(dc, oldPen);
      DeleteObject(pen);
      return TRUE;
    }
    case DFCS_MENUBULLET: {
      HBRUSH brush = CreateSolidBrush(color);
      HGDIOBJ oldBrush = SelectObject(dc, brush);
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
      Ellipse(dc, cx - 3, cy - 3, cx + 3, cy + 3);
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      DeleteObject(brush);
      return TRUE;
    }
    default: Fill(dc, cx - 3, cy, cx + 4, cy + 1, color); return TRUE;
  }
}

}  // namespace

BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags) {
  if (!rect) return FALSE;
  RECT r = *rect;
  UINT sides = flags & BF_RECT;
  if (flags & BF_FLAT) {
    Ring(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNSHADOW), sides);
    r = Shrink(r, sides);
  } else {
    // Outer ring, then inner ring one pixel in.
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) {
      if (edge & BDR_RAISEDOUTER) {
        Ring(dc, r, GetSysColor(COLOR_3DLIGHT), GetSysColor(COLOR_3DDKSHADOW), sides);
      } else {
        Ring(dc, r, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT), sides);
      }
      r = Shrink(r, sides);
    }
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) {
      if (edge & BDR_RAISEDINNER) {
        Ring(dc, r, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_BTNSHADOW), sides);
      } else {
        Ring(dc, r, GetSysColor(COLOR_3DDKSHADOW), GetSysColor(COLOR_3DLIGHT), sides);
      }
      r = Shrink(r, sides);
    }
  }
  if (flags & BF_MIDDLE) Fill(dc, r.left, r.top, r.right, r.bottom, GetSysColor(COLOR_BTNFACE));
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
  if (!rect) return FALSE;
  switch (type) {
    case DFC_BUTTON: return DrawButton(dc, rect, state);
    case DFC_CAPTION:
    case DFC_SCROLL: return DrawGlyphBox(dc, rect, type, state);
    case DFC_MENU: return DrawMenuMark(dc, rect, state);
    default: return FALSE;
  }
}
