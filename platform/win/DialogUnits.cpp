#include "platform/win/DialogUnits.h"

#include <cwchar>

#include "platform/win/Dialog.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace vqplatform {

DialogBaseUnits BaseUnitsOfFont(HFONT font) {
  static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  DialogBaseUnits base;
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return base;
  HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
  SIZE extent{0, 0};
  TEXTMETRICW metrics{};
  GetTextExtentPoint32W(dc, kLetters, 52, &extent);
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  DeleteDC(dc);
  base.x = (extent.cx / 26 + 1) / 2;
  base.y = metrics.tmHeight;
  return base;
}

RECT DialogUnitsToPixels(const RECT& units, const DialogBaseUnits& base) {
  return RECT{MulDiv(units.left, base.x, 4), MulDiv(units.top, base.y, 8), MulDiv(units.right, base.x, 4),
              MulDiv(units.bottom, base.y, 8)};
}

HFONT CreateDialogFont(const wchar_t* face, int pointSize) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(pointSize > 0 ? pointSize : 8, 96, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  const wchar_t* name = face && *face ? face : L"MS Shell Dlg";
  wcsncpy(font.lfFaceName, name, LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

}  // namespace vqplatform

BOOL MapDialogRect(HWND dialog, LPRECT rect) {
  if (!rect) return FALSE;
  auto font = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  if (!IsWindow(dialog)) return FALSE;
  *rect = vqplatform::DialogUnitsToPixels(*rect, vqplatform::BaseUnitsOfFont(font));
  return TRUE;
}

LONG GetDialogBaseUnits() {
  vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(nullptr);
  return MAKELONG(base.x, base.y);
}
