#include "platform/display/WindowLook.h"

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"

namespace vqplatform {
namespace {

struct Boxes {
  bool caption, close, minimise, maximise, sizing;
};

// The boxes of the caption need the system menu, as on Windows.
Boxes BoxesOf(DWORD style) {
  bool menu = (style & WS_SYSMENU) != 0;
  return Boxes{(style & WS_CAPTION) == WS_CAPTION, menu, menu && (style & WS_MINIMIZEBOX),
               menu && (style & WS_MAXIMIZEBOX), (style & WS_THICKFRAME) != 0};
}

bool HasModalFrame(const WindowLook& look) {
  return (look.exStyle & WS_EX_DLGMODALFRAME) || (look.className == WC_DIALOG && (look.style & DS_MODALFRAME));
}

}  // namespace

bool IsOverrideRedirect(const WindowLook& look) { return !IsActivatable(look.style, look.exStyle); }

const char* WindowTypeOf(const WindowLook& look) {
  if (IsOverrideRedirect(look)) {
    if (look.className == TOOLTIPS_CLASS) return "_NET_WM_WINDOW_TYPE_TOOLTIP";
    if (look.className == L"ComboLBox") return "_NET_WM_WINDOW_TYPE_DROPDOWN_MENU";
    return "_NET_WM_WINDOW_TYPE_POPUP_MENU";
  }
  // Without a caption or a dialog's frame, owned or not: no window manager
  // gives it the focus when it shows.
  if ((look.style & WS_CAPTION) != WS_CAPTION && !HasModalFrame(look)) return "_NET_WM_WINDOW_TYPE_SPLASH";
  if (look.owned) return "_NET_WM_WINDOW_TYPE_DIALOG";
  bool dialog = HasModalFrame(look) || look.className == WC_DIALOG;
  if (dialog && !(look.style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX))) return "_NET_WM_WINDOW_TYPE_DIALOG";
  return "_NET_WM_WINDOW_TYPE_NORMAL";
}

MotifHints MotifHintsOf(const WindowLook& look, MaximiseWay way) {
  Boxes boxes = BoxesOf(look.style);
  MotifHints hints;
  hints.functions = kFuncMove;
  if (boxes.close) hints.functions |= kFuncClose;
  if (boxes.minimise) hints.functions |= kFuncMinimize;
  if (boxes.maximise) hints.functions |= kFuncMaximize;
  // The size hints then keep the user from sizing it.
  if (boxes.maximise && way == MaximiseWay::ThroughResize) hints.functions |= kFuncResize;
  if (boxes.sizing) hints.functions |= kFuncResize;
  if (boxes.caption) {  // without a caption the window draws its own frame
    hints.decorations = kDecorBorder | kDecorTitle;
    if (boxes.close) hints.decorations |= kDecorMenu;
    if (boxes.minimise) hints.decorations |= kDecorMinimize;
    if (boxes.maximise) hints.decorations |= kDecorMaximize;
    if (boxes.sizing) hints.decorations |= kDecorResizeHandle;
  }
  return hints;
}

Sizing SizingOf(const WindowLook& look) {
  Boxes boxes = BoxesOf(look.style);
  if (boxes.sizing) return Sizing::Free;
  return boxes.maximise ? Sizing::MaximiseOnly : Sizing::Fixed;
}

}  // namespace vqplatform
