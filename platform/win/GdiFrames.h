#pragma once
// Classic 3-D edges and frame controls in the system colours.
#include "platform/win/GdiTypes.h"

// Draws the outer and inner edge kinds of `edge` on the sides in `flags`;
// BF_MIDDLE fills the inside with the button face, BF_ADJUST shrinks *rect
// by the edges drawn.
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);
// Push buttons, check boxes and radio buttons (DFC_BUTTON); captions and
// scroll arrows as raised boxes with a simple glyph; menu marks (tick,
// bullet) alone in the DC's text colour.
BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state);

#define DFCS_CAPTIONCLOSE 0x0000
#define DFCS_CAPTIONMIN 0x0001
#define DFCS_CAPTIONMAX 0x0002
#define DFCS_CAPTIONRESTORE 0x0003
#define DFCS_SCROLLUP 0x0000
#define DFCS_SCROLLDOWN 0x0001
#define DFCS_SCROLLLEFT 0x0002
#define DFCS_SCROLLRIGHT 0x0003
#define DFCS_SCROLLCOMBOBOX 0x0005
#define DFCS_MENUCHECK 0x0001
#define DFCS_MENUBULLET 0x0002
