#pragma once
// One call that skins a CFxButton from named per-state values, so callers
// never depend on the order of the button's per-state setters.
#include <optional>

#include "platform/mfc/CString.h"
#include "platform/mfc/Geometry.h"
#include "ui/FxButton.h"

struct FxButtonSkin {
  // Bitmap ids; 0 leaves a state to be filled from the normal picture.
  UINT normal = 0;
  UINT pressed = 0;
  UINT hover = 0;
  UINT disabled = 0;
  // Whether states without a picture take the normal one.
  bool fillMissing = true;
  // Colour cut out of every picture (unset: nothing is transparent).
  std::optional<COLORREF> keyColour;
  // Edge width of every state (unset: the button's default edges).
  std::optional<int> borderWidth;
  // Caption of every state (unset: the window text stays the caption).
  std::optional<CString> caption;
  // Corner ellipse of the rounded outline; 0 x 0 keeps the outline square.
  CSize corner{0, 0};
  CString tooltip;  // empty: no tooltip
  COLORREF tooltipText = 0;
  COLORREF tooltipBack = 0xFFFFFF;
};

// Sets the pictures, key colour, edges, captions and corner, lays the
// button out without a backdrop, then sets the tooltip.
void ApplyFxButtonSkin(CFxButton& button, const FxButtonSkin& skin);
