#pragma once
// Accelerator tables: keys (virtual keys with modifiers, or characters)
// turned into WM_COMMAND messages with 1 in the high word.
#include <vector>

#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

#define FVIRTKEY 0x01
#define FNOINVERT 0x02
#define FSHIFT 0x04
#define FCONTROL 0x08
#define FALT 0x10

struct ACCEL {
  BYTE fVirt;
  WORD key;
  WORD cmd;
};

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// A table registered under the id (MAKEINTRESOURCE); null when there is none.
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
// Sends the command of a matching entry to `window`; TRUE when one matched.
int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG msg);
inline HACCEL LoadAccelerators(HINSTANCE i, LPCWSTR n) { return LoadAcceleratorsW(i, n); }
inline int TranslateAccelerator(HWND w, HACCEL t, LPMSG m) { return TranslateAcceleratorW(w, t, m); }

namespace vqplatform {
// Registers a table under an id (resources/ does it).
void RegisterAcceleratorTable(int id, std::vector<ACCEL> entries);
}  // namespace vqplatform
