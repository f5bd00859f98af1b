#include "platform/win/Accelerators.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/win/DialogTemplate.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"

namespace {

std::mutex mutex;
std::map<int, std::vector<ACCEL>> registered;
std::map<uintptr_t, std::vector<ACCEL>> tables;
uintptr_t nextHandle = 0x5A000;

HACCEL AddTable(std::vector<ACCEL> entries) {
  uintptr_t handle = ++nextHandle;
  tables[handle] = std::move(entries);
  return reinterpret_cast<HACCEL>(handle);
}

bool ModifiersMatch(BYTE flags) {
  bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
  return shift == ((flags & FSHIFT) != 0) && control == ((flags & FCONTROL) != 0) && alt == ((flags & FALT) != 0);
}

}  // namespace

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
  if (!entries || count <= 0) return nullptr;
  std::lock_guard lock(mutex);
  return AddTable(std::vector<ACCEL>(entries, entries + count));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  std::lock_guard lock(mutex);
  return tables.erase(reinterpret_cast<uintptr_t>(table)) ? TRUE : FALSE;
}

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  std::lock_guard lock(mutex);
  auto found = registered.find(static_cast<int>(reinterpret_cast<uintptr_t>(name)));
  return found == registered.end() ? nullptr : AddTable(found->second);
}

int TranslateAcceleratorW(HWND window, HACCEL table, LPMSG msg) {
  if (!window || !msg) return FALSE;
  bool key = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  bool character = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!key && !character) return FALSE;
  WORD command = 0;
  bool found = false;
  {
    std::lock_guard lock(mutex);
    auto entries = tables.find(reinterpret_cast<uintptr_t>(table));
    if (entries == tables.end()) return FALSE;
    for (const ACCEL& entry : entries->second) {
      bool virtualKey = (entry.fVirt & FVIRTKEY) != 0;
      if (virtualKey != key || entry.key != msg->wParam) continue;
      if (virtualKey && !ModifiersMatch(entry.fVirt)) continue;
      command = entry.cmd;
      found = true;
      break;
    }
  }
  if (!found) return FALSE;
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(command, 1), 0);
  return TRUE;
}

namespace vqplatform {
void RegisterAcceleratorTable(int id, std::vector<ACCEL> entries) {
  std::lock_guard lock(mutex);
  registered[id] = std::move(entries);
}
}  // namespace vqplatform
