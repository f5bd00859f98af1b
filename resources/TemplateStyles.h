#pragma once
// Styles shared by the dialog templates: visible children, push buttons,
// check boxes, radio groups, group boxes, labels, edits, lists, sliders.
#include "platform/win/Controls.h"
#include "platform/win/Window.h"

namespace vqres {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kPush = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefaultPush = kChild | WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kCheck = kChild | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD kRadioFirst = kChild | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON;
constexpr DWORD kRadio = kChild | BS_AUTORADIOBUTTON;
constexpr DWORD kGroupBox = kChild | WS_GROUP | BS_GROUPBOX;
constexpr DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr DWORD kRightLabel = kChild | WS_GROUP | SS_RIGHT;
constexpr DWORD kFrame = WS_CHILD | SS_BLACKFRAME;
constexpr DWORD kEdit = kChild | WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
constexpr DWORD kDropList = kChild | WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kSlider = kChild | WS_TABSTOP | WS_GROUP | TBS_BOTH | TBS_NOTICKS;
// Child dialogs shown inside another window (pages of a tab control).
constexpr DWORD kPageDialog = WS_CHILD | DS_CONTROL | DS_SETFONT;
// Static texts without an id of their own.
constexpr int kNoId = -1;

}  // namespace vqres
