#pragma once
// Dialog units: x pixels = MulDiv(x, baseX, 4), y pixels = MulDiv(y, baseY,
// 8), where baseX is the dialog font's average character width (the extent
// of the 52 Latin letters / 52, rounded) and baseY its text height.
#include "platform/win/GdiTypes.h"

namespace vqplatform {

struct DialogBaseUnits {
  int x = 0;
  int y = 0;
};

// The base units of a font (measured on a screen DC).
DialogBaseUnits BaseUnitsOfFont(HFONT font);
// Dialog units to pixels with the given base units.
RECT DialogUnitsToPixels(const RECT& units, const DialogBaseUnits& base);
// The dialog font of a template's face and point size (96 dots per inch).
HFONT CreateDialogFont(const wchar_t* face, int pointSize);

}  // namespace vqplatform

// Converts dialog units to pixels with the dialog's own font.
BOOL MapDialogRect(HWND dialog, LPRECT rect);
// The base units of the system font: low word x, high word y.
LONG GetDialogBaseUnits();
