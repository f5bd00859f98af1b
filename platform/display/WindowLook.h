#pragma once
// What a window manager is told of a top-level window, decided from its
// styles alone: its window type, the functions and decorations of its
// Motif hints, and how far it may be sized. Kept apart from the X calls
// that set them, so the decisions are the same with or without a display.
#include <string>

#include "platform/win/WinTypes.h"

namespace vqplatform {

// What the properties are made from.
struct WindowLook {
  DWORD style = 0;
  DWORD exStyle = 0;
  bool owned = false;
  std::wstring className;
  RECT rect{};  // the client area on the screen
};

// _MOTIF_WM_HINTS: what the user may do with the window, and what the
// window manager draws around it.
struct MotifHints {
  long functions = 0;
  long decorations = 0;
};

// How the window manager may size the window.
enum class Sizing {
  Free,         // thick frame: the user sizes it
  MaximiseOnly, // fixed size, but the window manager may maximise it
  Fixed,        // neither sized nor maximised
};

// Some window managers (openbox) maximise only windows whose Motif hints let
// the user resize them; others (IceWM) maximise what may be maximised, but
// keep to the size increments while they do. A window that may only be
// maximised says so plainly until the window manager is seen to refuse it
// the maximise action; from then on it allows resizing and keeps the user
// from it with increments larger than any screen.
enum class MaximiseWay { Plain, ThroughResize };

// _MOTIF_WM_HINTS fields.
constexpr long kMwmFunctions = 1, kMwmDecorations = 2;
constexpr long kFuncResize = 2, kFuncMove = 4, kFuncMinimize = 8, kFuncMaximize = 16, kFuncClose = 32;
constexpr long kDecorBorder = 2, kDecorResizeHandle = 4, kDecorTitle = 8, kDecorMenu = 16, kDecorMinimize = 32,
               kDecorMaximize = 64;

// Menus, drop-down lists and tooltips go around the window manager.
bool IsOverrideRedirect(const WindowLook& look);
// The _NET_WM_WINDOW_TYPE atom's name.
const char* WindowTypeOf(const WindowLook& look);
MotifHints MotifHintsOf(const WindowLook& look, MaximiseWay way = MaximiseWay::Plain);
Sizing SizingOf(const WindowLook& look);

}  // namespace vqplatform
