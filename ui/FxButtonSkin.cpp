#include "ui/FxButtonSkin.h"

void ApplyFxButtonSkin(CFxButton& button, const FxButtonSkin& skin) {
  if (skin.caption) button.SetCaptions(*skin.caption, true, *skin.caption, *skin.caption, *skin.caption);
  button.SetBitmaps(skin.normal, skin.fillMissing, skin.pressed, skin.hover, skin.disabled);
  if (skin.keyColour) {
    const COLORREF key = *skin.keyColour;
    button.SetTransparentColors(key, true, key, key, key);
  }
  button.m_cornerSize = skin.corner;
  if (skin.borderWidth) {
    const int width = *skin.borderWidth;
    button.SetBorderWidths(width, true, width, width, width);
  }
  button.UpdateLayout(nullptr, 0, 0xFFFFFFFF, 0);
  if (!skin.tooltip.IsEmpty()) button.SetTooltip(skin.tooltip, skin.tooltipText, skin.tooltipBack);
}
