#include "ui/FxButton.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiFrames.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiRegion.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MousePointer.h"
#include "platform/win/BitmapResources.h"
#include "platform/win/SysColors.h"
#include "platform/win/WindowSurfaces.h"

#ifndef BS_PUSHLIKE
#define BS_PUSHLIKE 0x00001000L
#endif

namespace {

constexpr UINT kAlignCodes[] = {0x20, 0x21, 0x22, 0x24, 0x25, 0x26, 0x28, 0x29, 0x2A};

COLORREF Face() { return GetSysColor(COLOR_BTNFACE); }

void DeleteRegion(HRGN& region) {
  if (region) DeleteObject(region);
  region = nullptr;
}

// A 24-bit top-down DIB section and its pixels.
HBITMAP CreatePixelBitmap(int width, int height, BYTE** bits) {
  void* raw = nullptr;
  HBITMAP bitmap = vqplatform::CreateTopDownDib24(nullptr, width, height, &raw);
  *bits = static_cast<BYTE*>(raw);
  return bitmap;
}

// One ring of the rounded frame: the left and top edges with the top-left
// corner in the light colour, the rest in the dark colour.
void DrawRing(HDC dc, const RECT& rect, SIZE corner, COLORREF light, COLORREF dark, int lightWidth, int darkWidth) {
  const int l = rect.left, t = rect.top, r = rect.right - 1, b = rect.bottom - 1;
  const int cx = corner.cx, cy = corner.cy, hx = cx / 2, hy = cy / 2;
  HPEN lightPen = CreatePen(PS_SOLID, lightWidth, light);
  HPEN darkPen = CreatePen(PS_SOLID, darkWidth, dark);
  HGDIOBJ old = SelectObject(dc, lightPen);
  MoveToEx(dc, l, b - hy, nullptr);
  LineTo(dc, l, t + hy);
  Arc(dc, l, t, l + cx, t + cy, l + hx, t, l, t + hy);
  MoveToEx(dc, l + hx, t, nullptr);
  LineTo(dc, r - hx, t);
  SelectObject(dc, darkPen);
  Arc(dc, r - cx, t, r, t + cy, r, t + hy, r - hx, t);
  MoveToEx(dc, r, t + hy, nullptr);
  LineTo(dc, r, b - hy);
  Arc(dc, r - cx, b - cy, r, b, r - hx, b, r, b - hy);
  MoveToEx(dc, r - hx, b, nullptr);
  LineTo(dc, l + hx, b);
  Arc(dc, l, b - cy, l + cx, b, l, b - hy, l + hx, b);
  SelectObject(dc, old);
  DeleteObject(lightPen);
  DeleteObject(darkPen);
}

}  // namespace

CFxButton::CFxButton() = default;

CFxButton::~CFxButton() {
  if (m_tooltip.GetSafeHwnd()) m_tooltip.DestroyWindow();
  ReleaseAll();
}

void CFxButton::ReleaseAll() {
  for (State& s : m_states) {
    if (s.pictureDc) DeleteDC(s.pictureDc);
    s.pictureDc = nullptr;
    if (s.bitmap) DeleteObject(s.bitmap);
    s.bitmap = nullptr;
    DeleteRegion(s.pictureRegion);
    DeleteRegion(s.windowRegion);
  }
  if (m_backdropDc) DeleteDC(m_backdropDc);
  m_backdropDc = nullptr;
  if (m_backdropBitmap) DeleteObject(m_backdropBitmap);
  m_backdropBitmap = nullptr;
}

HDC CFxButton::PictureDc(int index) const {
  int from = m_states[index].pictureFrom;
  return from >= 0 ? m_states[from].pictureDc : nullptr;
}

HRGN CFxButton::PictureRegionOf(int index) const {
  int from = m_states[index].pictureRegionFrom;
  return from >= 0 ? m_states[from].pictureRegion : nullptr;
}

HRGN CFxButton::WindowRegionOf(int index) const {
  int from = m_states[index].windowRegionFrom;
  return from >= 0 ? m_states[from].windowRegion : nullptr;
}

HRGN CFxButton::PictureRegion(int state) const { return PictureRegionOf(Index(state)); }

int CFxButton::EdgeShift(int index) const {
  switch (m_states[index].edgeStyle) {
    case EDGE_STYLE_RAISED: return -1;
    case EDGE_STYLE_SUNKEN: return 1;
    default: return 0;
  }
}

int CFxButton::LargestEdgeWidth() const {
  int largest = 0;
  for (const State& s : m_states) largest = std::max(largest, s.edgeWidth);
  return largest;
}

void CFxButton::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  DWORD style = GetStyle();
  m_type = TYPE_PUSH;
  if ((style & 3) == 3) m_type = TYPE_CHECK;
  if ((style & 9) == 9) m_type = TYPE_RADIO;
  m_pushLike = (style & BS_PUSHLIKE) != 0;
  m_leftText = (style & BS_LEFTTEXT) != 0;
  SendMessage(BM_SETSTYLE, (style & 0xFFFF) | BS_OWNERDRAW, TRUE);
  m_checked = m_captured = m_hasFocus = m_hover = m_tracking = m_enteredWhilePressed = false;

  LOGFONTW font{};
  if (HFONT handle = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)))
    GetObjectW(handle, sizeof font, &font);
  else
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof font, &font);
  CString text;
  GetWindowText(text);
  GetClientRect(&m_clientRect);
  m_focusRect = m_clientRect;
  m_focusRect.DeflateRect(3, 3);
  const bool pushLike = PushLike();
  for (int i = 0; i < 4; ++i) {
    State& s = m_states[static_cast<size_t>(i)];
    s.pictureAlign = 0x25;
    s.key = s.key2 = Face();
    s.keySet = false;
    s.background = Face();
    s.fillBackground = true;
    s.caption = text;
    s.fontFace = font.lfFaceName;
    s.fontHeight = font.lfHeight;
    s.fontFlags = 0;
    s.textColour = GetSysColor(i == 3 ? COLOR_GRAYTEXT : COLOR_BTNTEXT);
    s.captionAlign = pushLike ? 0x25 : 0x24;
    s.edgeStyle = pushLike ? (i == 1 ? EDGE_STYLE_SUNKEN : EDGE_STYLE_RAISED) : EDGE_STYLE_FLAT;
    s.edgeWidth = 2;
  }
}

void CFxButton::SetBitmaps(UINT normalId, bool fillMissing, UINT pressedId, UINT hoverId, UINT disabledId) {
  const UINT ids[4] = {normalId, pressedId, hoverId, disabledId};
  HDC windowDc = ::GetDC(m_hWnd);
  for (int i = 0; i < 4; ++i) {
    if (ids[i] == 0) continue;
    HBITMAP bitmap = LoadBitmapW(nullptr, MAKEINTRESOURCEW(ids[i]));
    if (!bitmap) continue;  // an unknown id leaves the state as it was
    m_hasPictures = true;
    State& s = m_states[static_cast<size_t>(i)];
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    s.pictureSize = CSize(info.bmWidth, info.bmHeight);
    if (!s.pictureDc) s.pictureDc = CreateCompatibleDC(windowDc);
    SelectObject(s.pictureDc, bitmap);
    if (s.bitmap) DeleteObject(s.bitmap);
    s.bitmap = bitmap;
    s.pictureFrom = i;
  }
  if (windowDc) ::ReleaseDC(m_hWnd, windowDc);
  if (fillMissing && m_states[0].pictureFrom == 0) {
    for (int i = 1; i < 4; ++i) {
      if (ids[i] != 0 && m_states[static_cast<size_t>(i)].pictureFrom == i) continue;
      State& s = m_states[static_cast<size_t>(i)];
      if (s.pictureDc) DeleteDC(s.pictureDc);
      s.pictureDc = nullptr;
      s.pictureSize = m_states[0].pictureSize;
      s.pictureFrom = 0;
    }
  }
}

void CFxButton::SetTransparentColors(COLORREF normal, bool fillMissing, COLORREF pressed, COLORREF hover,
                                     COLORREF disabled) {
  const COLORREF values[4] = {normal, pressed, hover, disabled};
  const COLORREF face = Face();
  for (int i = 0; i < 4; ++i) {
    State& s = m_states[static_cast<size_t>(i)];
    if (values[i] != face) {
      s.key = values[i];
      s.keySet = true;
    } else if (fillMissing && i > 0) {
      s.key = normal;
      s.keySet = true;
    }
  }
  Redraw();
}

void CFxButton::SetBorderWidths(int normal, bool fillMissing, int pressed, int hover, int disabled) {
  const int values[4] = {normal, pressed, hover, disabled};
  for (int i = 0; i < 4; ++i) {
    State& s = m_states[static_cast<size_t>(i)];
    if (values[i] != 2)
      s.edgeWidth = values[i];
    else if (fillMissing)
      s.edgeWidth = i == 0 ? 2 : normal;
  }
  Redraw();
}

void CFxButton::SetCaptions(const CString& normal, bool fillMissing, const CString& pressed, const CString& hover,
                            const CString& disabled) {
  const CString* values[4] = {&normal, &pressed, &hover, &disabled};
  for (int i = 0; i < 4; ++i) {
    State& s = m_states[static_cast<size_t>(i)];
    if (!values[i]->IsEmpty())
      s.caption = *values[i];
    else if (fillMissing)
      s.caption = normal;
  }
  Redraw();
}

void CFxButton::SetBackgroundFill(bool normal, bool fillMissing, bool pressed, bool hover, bool disabled) {
  const bool values[4] = {normal, pressed, hover, disabled};
  for (int i = 0; i < 4; ++i) m_states[static_cast<size_t>(i)].fillBackground = fillMissing ? normal : values[i];
  Redraw();
}

void CFxButton::SetWindowRegionFlags(bool normal, bool fillMissing, bool pressed, bool hover, bool disabled) {
  const bool values[4] = {normal, pressed, hover, disabled};
  for (int i = 0; i < 4; ++i) m_states[static_cast<size_t>(i)].applyWindowRegion = fillMissing ? normal : values[i];
  Redraw();
}

void CFxButton::SetTooltip(const CString& text, COLORREF textColour, COLORREF backColour) {
  if (!m_tooltip.GetSafeHwnd()) {
    if (!m_tooltip.Create(this, 0)) return;
    RECT client{};
    GetClientRect(&client);
    m_tooltip.AddTool(this, text, &client, 0);
    m_tooltip.Activate(TRUE);
  } else {
    // The tool added above: this window with id 0 (UpdateTipText would take
    // id 0 for a tool named by its window handle).
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = m_hWnd;
    info.uId = 0;
    info.lpszText = const_cast<LPWSTR>(text.GetString());
    m_tooltip.SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
  }
  m_tooltip.SetTipTextColor(textColour);
  m_tooltip.SetTipBkColor(backColour);
}

void CFxButton::Redraw() {
  if (m_layoutDone && m_hWnd) Invalidate(TRUE);
}

COLORREF CFxButton::DeriveEdgeColour(COLORREF base, int line, int style) {
  auto channel = [&](double c) -> int {
    double value = c;
    if (style == EDGE_STYLE_RAISED) {
      switch (line) {
        case 1: value = 255; break;
        case 2: value = c + (255 - c) * 0.4; break;
        case 3: value = c * 0.5; break;
        case 4: value = c * 0.7; break;
        default: break;
      }
    } else if (style == EDGE_STYLE_SUNKEN) {
      switch (line) {
        case 1: value = c * 0.5; break;
        case 2: value = c * 0.7; break;
        case 3: value = 255; break;
        case 4: value = c + (255 - c) * 0.4; break;
        default: break;
      }
    }
    return static_cast<int>(value);
  };
  return RGB(channel(GetRValue(base)), channel(GetGValue(base)), channel(GetBValue(base)));
}

HRGN CFxButton::RegionFromBitmap(const BYTE* bgr, int stride, int width, int height, COLORREF key1, COLORREF key2) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (!bgr || width <= 0 || height <= 0) return region;
  auto opaque = [&](const BYTE* p) {
    COLORREF colour = RGB(p[2], p[1], p[0]);
    return colour != (key1 & 0xFFFFFF) && colour != (key2 & 0xFFFFFF);
  };
  std::vector<RECT> runs;
  for (int y = 0; y < height; ++y) {
    const BYTE* row = bgr + static_cast<ptrdiff_t>(y) * stride;
    for (int x = 0; x < width;) {
      if (!opaque(row + x * 3)) {
        ++x;
        continue;
      }
      int start = x;
      while (x < width && opaque(row + x * 3)) ++x;
      runs.push_back(RECT{start, y, x, y + 1});
    }
  }
  for (const RECT& run : runs) {
    HRGN piece = CreateRectRgnIndirect(&run);
    CombineRgn(region, region, piece, RGN_OR);
    DeleteObject(piece);
  }
  return region;
}

void CFxButton::AlignImageRect(CRect& rect, const CRect& face, UINT align) const {
  if (std::find(std::begin(kAlignCodes), std::end(kAlignCodes), align) == std::end(kAlignCodes)) return;
  const int width = rect.Width(), height = rect.Height();
  int x = face.left, y = face.top;
  switch (align & 3) {
    case 1: x = face.left + face.Width() / 2 - width / 2; break;
    case 2: x = face.right - width; break;
    default: break;
  }
  switch (align & 12) {
    case 4: y = face.top + face.Height() / 2 - height / 2; break;
    case 8: y = face.bottom - height; break;
    default: break;
  }
  rect.SetRect(x, y, x + width, y + height);
}

void CFxButton::BuildStateRegion(int state) {
  const int i = Index(state);
  State& s = m_states[static_cast<size_t>(i)];
  HDC source = PictureDc(i);
  if (!source) return;
  const int width = s.pictureRect.Width(), height = s.pictureRect.Height();
  if (width <= 0 || height <= 0) return;
  BYTE* bits = nullptr;
  HBITMAP scaled = CreatePixelBitmap(width, height, &bits);
  if (!scaled) return;
  HDC scaledDc = CreateCompatibleDC(source);
  HGDIOBJ old = SelectObject(scaledDc, scaled);
  StretchBlt(scaledDc, 0, 0, width, height, source, 0, 0, s.pictureSize.cx, s.pictureSize.cy, SRCCOPY);
  if (s.keySet) {
    DeleteRegion(s.pictureRegion);
    s.pictureRegion = RegionFromBitmap(bits, ((width * 3) + 3) & ~3, width, height, s.key, s.key2);
    OffsetRgn(s.pictureRegion, s.pictureRect.left, s.pictureRect.top);
    s.pictureRegionBuilt = true;
    s.pictureRegionFrom = i;
  }
  SelectObject(scaledDc, old);
  DeleteDC(scaledDc);
  DeleteObject(scaled);
}

void CFxButton::UpdateLayout(HBITMAP backdrop, int /*reserved*/, UINT disableFlags, int check) {
  if (m_type != TYPE_PUSH) SendMessage(BM_SETCHECK, static_cast<WPARAM>(check & 0xFF));
  if (backdrop) {
    SetBackgroundFill(false, true, false, false, false);
    CRect inParent;
    GetWindowRect(&inParent);
    if (CWnd* parent = GetParent()) parent->ScreenToClient(&inParent);
    HDC windowDc = ::GetDC(m_hWnd);
    if (m_backdropDc) DeleteDC(m_backdropDc);
    if (m_backdropBitmap) DeleteObject(m_backdropBitmap);
    m_backdropBitmap = CreateCompatibleBitmap(windowDc, m_clientRect.Width(), m_clientRect.Height());
    m_backdropDc = CreateCompatibleDC(windowDc);
    SelectObject(m_backdropDc, m_backdropBitmap);
    HDC sourceDc = CreateCompatibleDC(windowDc);
    HGDIOBJ old = SelectObject(sourceDc, backdrop);
    BitBlt(m_backdropDc, 0, 0, m_clientRect.Width(), m_clientRect.Height(), sourceDc, inParent.left, inParent.top,
           SRCCOPY);
    SelectObject(sourceDc, old);
    DeleteDC(sourceDc);
    ::ReleaseDC(m_hWnd, windowDc);
  }
  for (State& s : m_states)
    for (int line = 1; line <= 4; ++line)
      s.edge[static_cast<size_t>(line - 1)] = DeriveEdgeColour(s.background, line, s.edgeStyle);

  if (PushLike()) {
    for (State& s : m_states)
      if (s.captionRect.IsRectEmpty()) s.captionRect = m_clientRect;
  } else {
    const int gw = m_glyphRect.Width(), gh = m_glyphRect.Height();
    for (State& s : m_states) s.captionRect = m_clientRect;
    if (!m_leftText) {
      m_glyphRect.OffsetRect(0, m_clientRect.Height() / 2 - gh / 2);
      for (State& s : m_states) s.captionRect.left += gw + 6;
    } else {
      m_glyphRect.OffsetRect(m_clientRect.Width() - gw - 2, (m_clientRect.Height() - gh) / 2);
      for (State& s : m_states) s.captionRect.left += 4;
    }
  }

  CRect face = m_clientRect;
  const int inset = LargestEdgeWidth() + 1;
  face.DeflateRect(inset, inset);
  for (int i = 0; i < 4; ++i) {
    State& s = m_states[static_cast<size_t>(i)];
    if (!HasPicture(i)) continue;
    m_hasPictures = true;
    if (!s.pictureRect.IsRectEmpty()) continue;
    s.pictureRect.SetRect(0, 0, s.pictureSize.cx, s.pictureSize.cy);
    AlignImageRect(s.pictureRect, face, s.pictureAlign);
  }
  for (int state : {STATE_NORMAL, STATE_HOVER, STATE_PRESSED, STATE_DISABLED})
    if (HasPicture(Index(state))) BuildStateRegion(state);

  if (m_cornerSize.cx != 0 || m_cornerSize.cy != 0) {
    m_cornerSize.cx = std::min<LONG>(m_cornerSize.cx, m_clientRect.Width());
    m_cornerSize.cy = std::min<LONG>(m_cornerSize.cy, m_clientRect.Height());
    SetWindowRegionFlags(true, true, true, true, true);
    State& normal = m_states[0];
    DeleteRegion(normal.windowRegion);
    normal.windowRegion = CreateRoundRectRgn(m_clientRect.left, m_clientRect.top, m_clientRect.right,
                                             m_clientRect.bottom, m_cornerSize.cx, m_cornerSize.cy);
    normal.windowRegionBuilt = true;
    for (State& s : m_states) s.windowRegionFrom = 0;
  }
  if (m_states[0].windowRegionBuilt) m_states[0].windowRegionFrom = 0;
  if (m_states[0].pictureRegionBuilt) m_states[0].pictureRegionFrom = 0;
  for (int i = 1; i < 4; ++i) {
    State& s = m_states[static_cast<size_t>(i)];
    if (s.windowRegion && m_states[0].windowRegion && EqualRgn(s.windowRegion, m_states[0].windowRegion)) {
      DeleteRegion(s.windowRegion);
      s.windowRegionFrom = 0;
    }
    if (s.pictureRegion && m_states[0].pictureRegion && EqualRgn(s.pictureRegion, m_states[0].pictureRegion)) {
      DeleteRegion(s.pictureRegion);
      s.pictureRegionFrom = 0;
    }
  }
  if (disableFlags != 0xFFFFFFFF) {
    if (disableFlags & 1) SetBackgroundFill(false, true, false, false, false);
    if (disableFlags & 2) m_drawCaption = false;
    if (disableFlags & 4) m_hasPictures = false;
    if (disableFlags & 8) m_drawEdges = false;
    if (disableFlags & 16) m_drawFocusRect = false;
  }
  OnMouseMove(0, 0, false);
  m_layoutDone = true;
}

bool CFxButton::CursorOverButton() const {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  return ::WindowFromPoint(cursor) == m_hWnd;
}

void CFxButton::DrawItem(LPDRAWITEMSTRUCT item) {
  if (::GetCapture() == m_hWnd && m_captured) {
    const bool pushed = (GetState() & BST_PUSHED) != 0;
    if (CursorOverButton()) {
      m_hover = true;
      if (!pushed) {
        SetState(TRUE);
        return;
      }
    } else {
      m_hover = false;
      if (pushed) {
        SetState(FALSE);
        return;
      }
    }
  }
  int state = STATE_NORMAL;
  if (item->itemState & ODS_DISABLED)
    state = STATE_DISABLED;
  else if ((item->itemState & ODS_SELECTED) || m_checked)
    state = STATE_PRESSED;
  else if (m_hover)
    state = STATE_HOVER;
  m_currentState = state;
  m_hasFocus = (item->itemState & ODS_FOCUS) != 0;
  const int i = Index(state);
  const bool rounded = m_cornerSize.cx != 0 || m_cornerSize.cy != 0;
  HDC target = item->hDC;
  if (rounded) SelectClipRgn(target, WindowRegionOf(i));

  const int width = m_clientRect.Width(), height = m_clientRect.Height();
  HDC memory = CreateCompatibleDC(target);
  HBITMAP faceBitmap = CreateCompatibleBitmap(target, width, height);
  HGDIOBJ oldBitmap = SelectObject(memory, faceBitmap);
  HGDIOBJ oldFont = SelectObject(memory, reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT)));
  CDC* dc = CDC::FromHandle(memory);
  if (m_backdropDc) DrawBackdrop(state, dc);
  if (!rounded) {
    if (m_states[static_cast<size_t>(i)].fillBackground) DrawBackground(dc, m_clientRect, state);
  } else {
    DrawRoundedFrame(dc, state);
  }
  if (m_hasPictures && HasPicture(i)) DrawImage(dc, state);
  if (m_drawCaption) DrawCaption(dc, m_clientRect, state);
  if (m_drawEdges && !rounded) DrawBorder(dc, m_clientRect, state);
  if (m_hasFocus && m_drawFocusRect) DrawFocus(dc, state);

  const State& s = m_states[static_cast<size_t>(i)];
  if (s.applyWindowRegion && WindowRegionOf(i) && PictureDc(i)) {
    HRGN copy = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(copy, WindowRegionOf(i), nullptr, RGN_COPY);
    SetWindowRgn(m_hWnd, copy, FALSE);
  } else {
    SetWindowRgn(m_hWnd, nullptr, FALSE);
  }
  BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  if (oldFont) SelectObject(memory, oldFont);
  SelectObject(memory, oldBitmap);
  DeleteObject(faceBitmap);
  DeleteDC(memory);
  if (rounded) SelectClipRgn(target, nullptr);
}

void CFxButton::DrawBackdrop(int state, CDC* dc) {
  int shift = EdgeShift(Index(state));
  BitBlt(dc->GetSafeHdc(), 0, 0, m_clientRect.Width(), m_clientRect.Height(), m_backdropDc, shift, shift, SRCCOPY);
}

void CFxButton::DrawBackground(CDC* dc, const CRect& rect, int state) {
  dc->FillSolidRect(rect, m_states[static_cast<size_t>(Index(state))].background);
}

void CFxButton::DrawBorder(CDC* dc, const CRect& rect, int state) {
  const State& s = m_states[static_cast<size_t>(Index(state))];
  if (s.edgeWidth >= 1) dc->Draw3dRect(rect, s.edge[0], s.edge[2]);
  if (s.edgeWidth >= 2) {
    CRect inner = rect;
    inner.DeflateRect(1, 1);
    dc->Draw3dRect(inner, s.edge[1], s.edge[3]);
  }
}

void CFxButton::DrawRoundedFrame(CDC* dc, int state) {
  const State& s = m_states[static_cast<size_t>(Index(state))];
  if (s.fillBackground) DrawBackground(dc, m_clientRect, state);
  if (!m_drawEdges) return;
  HDC h = dc->GetSafeHdc();
  HGDIOBJ oldBrush = SelectObject(h, GetStockObject(NULL_BRUSH));
  if (s.edgeWidth >= 2) {
    CRect inner = m_clientRect;
    inner.DeflateRect(1, 1);
    DrawRing(h, inner, m_cornerSize, s.edge[1], s.edge[3], 3, 2);
  }
  if (s.edgeWidth >= 1) DrawRing(h, m_clientRect, m_cornerSize, s.edge[0], s.edge[2], 1, 1);
  SelectObject(h, oldBrush);
}

void CFxButton::DrawImage(CDC* dc, int state) {
  const int i = Index(state);
  const State& s = m_states[static_cast<size_t>(i)];
  HDC h = dc->GetSafeHdc();
  CRect rect = s.pictureRect;
  HRGN clip = CreateRectRgn(0, 0, 0, 0);
  if (HRGN region = PictureRegionOf(i); region && m_states[static_cast<size_t>(s.pictureRegionFrom)].pictureRegionBuilt)
    CombineRgn(clip, region, nullptr, RGN_COPY);
  else
    SetRectRgn(clip, m_clientRect.left, m_clientRect.top, m_clientRect.right, m_clientRect.bottom);
  const int shift = EdgeShift(i);
  rect.OffsetRect(shift, shift);
  OffsetRgn(clip, shift, shift);
  if (s.keySet) SelectClipRgn(h, clip);
  if (state == STATE_DISABLED && s.pictureFrom == 0) {
    HBRUSH light = CreateSolidBrush(DeriveEdgeColour(s.background, 1, EDGE_STYLE_RAISED));
    HBRUSH dark = CreateSolidBrush(DeriveEdgeColour(s.background, 4, EDGE_STYLE_RAISED));
    if (s.keySet) {
      FillRgn(h, clip, light);
      OffsetRgn(clip, -1, -1);
      SelectClipRgn(h, clip);
      FillRgn(h, clip, dark);
      OffsetRgn(clip, 1, 1);
      SelectClipRgn(h, clip);
    } else {
      FillRect(h, rect, light);
      CRect moved = rect;
      moved.OffsetRect(-1, -1);
      FillRect(h, moved, dark);
    }
    DeleteObject(light);
    DeleteObject(dark);
  } else {
    SetStretchBltMode(h, HALFTONE);
    StretchBlt(h, rect.left, rect.top, rect.Width(), rect.Height(), PictureDc(i), 0, 0, s.pictureSize.cx,
               s.pictureSize.cy, SRCCOPY);
  }
  SelectClipRgn(h, nullptr);
  DeleteObject(clip);
}

void CFxButton::DrawCaption(CDC* dc, const CRect& /*rect*/, int state) {
  const int i = Index(state);
  const State& s = m_states[static_cast<size_t>(i)];
  HDC h = dc->GetSafeHdc();
  LOGFONTW description{};
  wcsncpy(description.lfFaceName, s.fontFace, LF_FACESIZE - 1);
  description.lfHeight = s.fontHeight;
  description.lfWeight = (s.fontFlags & 0x20) ? FW_BOLD : 0;
  description.lfItalic = (s.fontFlags & 0x40) ? 1 : 0;
  description.lfUnderline = (s.fontFlags & 0x80) ? 1 : 0;
  description.lfStrikeOut = (s.fontFlags & 0x100) ? 1 : 0;
  description.lfCharSet = DEFAULT_CHARSET;
  description.lfQuality = ANTIALIASED_QUALITY;
  HFONT font = CreateFontIndirectW(&description);
  HGDIOBJ oldFont = SelectObject(h, font);
  COLORREF oldColour = SetTextColor(h, s.textColour);
  CRect area = s.captionRect;
  if (area == m_clientRect) {
    const int inset = LargestEdgeWidth() + 1;
    area.DeflateRect(inset, inset);
  }
  const int shift = EdgeShift(i);
  area.OffsetRect(shift, shift);
  int oldMode = SetBkMode(h, TRANSPARENT);
  const wchar_t* text = s.caption;
  if (state == STATE_DISABLED) {
    CRect moved = area;
    moved.OffsetRect(1, 1);
    SetTextColor(h, DeriveEdgeColour(s.background, 1, EDGE_STYLE_RAISED));
    DrawTextW(h, text, -1, moved, s.captionAlign);
    SetTextColor(h, DeriveEdgeColour(s.background, 4, EDGE_STYLE_RAISED));
    DrawTextW(h, text, -1, area, s.captionAlign);
  } else {
    DrawTextW(h, text, -1, area, s.captionAlign);
  }
  SetTextColor(h, oldColour);
  SetBkMode(h, oldMode);
  if (m_type != TYPE_PUSH && !m_pushLike) {
    UINT mark = m_type == TYPE_RADIO ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
    int check = state == STATE_DISABLED ? 2 : static_cast<int>(SendMessage(BM_GETCHECK));
    if (check == 1) mark |= DFCS_CHECKED;
    if (state == STATE_DISABLED) mark |= DFCS_INACTIVE;
    CRect glyph = m_glyphRect;
    DrawFrameControl(h, glyph, DFC_BUTTON, mark);
  }
  SelectObject(h, oldFont);
  DeleteObject(font);
}

void CFxButton::DrawFocus(CDC* dc, int state) {
  HDC h = dc->GetSafeHdc();
  if (PushLike()) {
    DrawFocusRect(h, m_focusRect);
    return;
  }
  const State& s = m_states[static_cast<size_t>(Index(state))];
  SIZE caption{0, 0}, space{0, 0};
  GetTextExtentPoint32W(h, s.caption, s.caption.GetLength(), &caption);
  GetTextExtentPoint32W(h, L" ", 1, &space);
  CRect focus(0, 0, caption.cx + space.cx, caption.cy);
  focus.OffsetRect(m_leftText ? space.cx : m_glyphRect.Width() + 2 * space.cx,
                   (s.captionRect.Height() - caption.cy) / 2);
  DrawFocusRect(h, focus);
}

void CFxButton::RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!m_tooltip.GetSafeHwnd()) return;
  MSG msg{m_hWnd, message, wParam, lParam, 0, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}};
  m_tooltip.RelayEvent(&msg);
}

void CFxButton::OnSetCheck(WPARAM wParam) {
  m_checked = wParam != 0 && m_type != TYPE_PUSH;
  if (m_type == TYPE_RADIO && m_checked) {
    HWND parent = ::GetParent(m_hWnd);
    for (HWND next = parent ? GetNextDlgGroupItem(parent, m_hWnd, FALSE) : nullptr; next && next != m_hWnd;
         next = GetNextDlgGroupItem(parent, next, FALSE))
      ::PostMessageW(next, WM_FXBUTTON_UNCHECK, 0, 0);
  }
  Redraw();
}

void CFxButton::OnMouseMove(WPARAM wParam, LPARAM lParam, bool relay) {
  if ((wParam & MK_LBUTTON) && !m_captured) {
    m_enteredWhilePressed = true;
    return;
  }
  if (relay) RelayToTooltip(WM_MOUSEMOVE, wParam, lParam);
  if (::GetCapture() == m_hWnd && m_captured) {
    SendMessage(BM_SETSTATE, CursorOverButton() ? TRUE : FALSE);
  } else if (!m_tracking) {
    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, m_hWnd, 1};
    m_tracking = ::TrackMouseEvent(&track) != FALSE;
  }
}

void CFxButton::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
  m_enteredWhilePressed = false;
  RelayToTooltip(WM_LBUTTONDOWN, wParam, lParam);
  if (m_tracking) {
    TRACKMOUSEEVENT cancel{sizeof(TRACKMOUSEEVENT), TME_CANCEL | TME_LEAVE, m_hWnd, 0};
    if (::TrackMouseEvent(&cancel)) m_tracking = false;
  }
}

void CFxButton::OnLButtonUp(WPARAM wParam, LPARAM lParam) {
  if (m_enteredWhilePressed) {
    Redraw();
    return;
  }
  if (m_type != TYPE_PUSH && CursorOverButton()) {
    if (m_type == TYPE_CHECK)
      SendMessage(BM_SETCHECK, m_checked ? 0 : 1);
    else
      SendMessage(BM_SETCHECK, 1);
  }
  RelayToTooltip(WM_LBUTTONUP, wParam, lParam);
  m_captured = false;
}

LRESULT CFxButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case BM_GETCHECK: return m_checked ? 1 : 0;
    case BM_SETCHECK: OnSetCheck(wParam); return 0;
    case WM_FXBUTTON_UNCHECK:
      if (m_type == TYPE_RADIO && m_checked) {
        m_checked = false;
        Redraw();
      }
      return 0;
    case WM_ERASEBKGND: return TRUE;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        if (m_type == TYPE_CHECK) SendMessage(BM_SETCHECK, m_checked ? 0 : 1);
        if (m_type == TYPE_RADIO) SendMessage(BM_SETCHECK, 1);
      }
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(wParam, lParam);
      if ((wParam & MK_LBUTTON) && !m_captured) return 0;
      break;
    case WM_MOUSEHOVER:
      if (!m_hover) {
        m_hover = true;
        Redraw();
      }
      return TRUE;
    case WM_MOUSELEAVE:
      m_hover = false;
      m_tracking = false;
      Redraw();
      return 0;
    case WM_LBUTTONDOWN: {
      OnLButtonDown(wParam, lParam);
      LRESULT result = CButton::WindowProc(message, wParam, lParam);
      m_captured = true;
      return result;
    }
    case WM_LBUTTONUP:
      if (m_enteredWhilePressed) {
        Redraw();
        break;
      }
      OnLButtonUp(wParam, lParam);
      break;
    case WM_LBUTTONDBLCLK: return SendMessage(WM_LBUTTONDOWN, wParam, lParam);
    case WM_SETFOCUS: m_hasFocus = true; break;
    case WM_KILLFOCUS:
      if (::GetCapture() == m_hWnd) {
        ::ReleaseCapture();
        m_captured = false;
      }
      break;
    default: break;
  }
  return CButton::WindowProc(message, wParam, lParam);
}
