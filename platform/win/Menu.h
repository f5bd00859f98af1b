#pragma once
// Menus: item lists with ids, texts, states and submenus. Popup menus
// opened with TrackPopupMenu are answered by the menu hook when one is
// installed (tests pick an item), shown as the layer's menu window with a
// display, and dismissed otherwise.
#include <functional>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

#define MF_STRING 0x00000000L
#define MF_ENABLED 0x00000000L
#define MF_UNCHECKED 0x00000000L
#define MF_BYCOMMAND 0x00000000L
#define MF_GRAYED 0x00000001L
#define MF_DISABLED 0x00000002L
#define MF_CHECKED 0x00000008L
#define MF_POPUP 0x00000010L
#define MF_SEPARATOR 0x00000800L
#define MF_BYPOSITION 0x00000400L
#define TPM_LEFTALIGN 0x0000L
#define TPM_TOPALIGN 0x0000L
#define TPM_LEFTBUTTON 0x0000L
#define TPM_RIGHTBUTTON 0x0002L
#define TPM_NONOTIFY 0x0080L
#define TPM_RETURNCMD 0x0100L

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
HMENU GetSubMenu(HMENU menu, int position);
int GetMenuItemCount(HMENU menu);
UINT GetMenuItemID(HMENU menu, int position);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
// Previous state (MF_GRAYED / MF_CHECKED bits) or -1 for a missing item.
UINT EnableMenuItem(HMENU menu, UINT item, UINT enable);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT check);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// A menu made from the template registered under the id.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
// With TPM_RETURNCMD the chosen id (0 when dismissed); otherwise the
// choice is posted to `owner` as WM_COMMAND and the result is TRUE.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
inline BOOL AppendMenu(HMENU m, UINT f, UINT_PTR i, LPCWSTR t) { return AppendMenuW(m, f, i, t); }
inline HMENU LoadMenu(HINSTANCE i, LPCWSTR n) { return LoadMenuW(i, n); }

struct MenuItemTemplate {
  UINT flags;
  UINT id;
  std::wstring text;
  std::vector<MenuItemTemplate> popup;  // items of a MF_POPUP entry
};

namespace vqplatform {

void RegisterMenuTemplate(int id, const std::vector<MenuItemTemplate>* items);

struct PopupMenuRecord {
  HWND owner;
  POINT where;
  std::vector<std::wstring> texts;  // top-level items; separators are ""
  std::vector<UINT> ids;
  std::vector<UINT> states;
};
// Picks the id of the chosen item (0 dismisses); disabled items cannot be
// chosen. Null removes the hook.
using PopupMenuAnswer = std::function<UINT(const PopupMenuRecord&)>;
void SetPopupMenuAnswer(PopupMenuAnswer answer);

// The layer's popup menu window at a screen point, tracked in a loop of its
// own until an enabled item is clicked or chosen with Enter (its id), or the
// menu is dismissed with Escape or a click elsewhere (0). TrackPopupMenu
// uses it when a display is there and no hook answers. The modal idle
// handler (Dialog.h) drives it in tests; when it leaves nothing to do, the
// menu is dismissed.
UINT RunPopupMenu(HMENU menu, int x, int y, HWND owner);

}  // namespace vqplatform
