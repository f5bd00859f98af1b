#pragma once
// Dialog templates as C++ tables: the dialog's style, position and size in
// dialog units, caption and font, and its controls in tab order. Templates
// are registered by id (resources/ does it) and found by id.
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

// Dialog styles.
#define DS_ABSALIGN 0x01L
#define DS_SYSMODAL 0x02L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_NOIDLEMSG 0x100L
#define DS_SETFOREGROUND 0x200L
#define DS_3DLOOK 0x0004L
#define DS_FIXEDSYS 0x0008L
#define DS_CONTROL 0x0400L
#define DS_CENTER 0x0800L
#define DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)

#define MAKEINTRESOURCEW(id) (reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(id))))
#define MAKEINTRESOURCE MAKEINTRESOURCEW
#define IS_INTRESOURCE(p) ((reinterpret_cast<ULONG_PTR>(p) >> 16) == 0)

struct DialogItemTemplate {
  int id;
  std::wstring className;  // "Button", "Static", "Edit", "ComboBox", or a registered class
  std::wstring text;
  DWORD style;  // WS_CHILD is implied
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
};

struct DialogTemplate {
  DWORD style;
  DWORD exStyle;
  short x, y, cx, cy;  // dialog units
  std::wstring caption;
  std::wstring fontFace;  // "MS Shell Dlg" when empty
  int pointSize;          // 8 when 0
  std::vector<DialogItemTemplate> items;
};

namespace vqplatform {

// Registers a template under an id (replacing an earlier one); the table
// must outlive its use.
void RegisterDialogTemplate(int id, const DialogTemplate* dialogTemplate);
// The template of an id, or null.
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace vqplatform
