#include "platform/display/Cursors.h"

#include <atomic>
#include <cstdint>

namespace vqplatform {
namespace {

// Cursor handles are the IDC_ number in a range no object handle uses.
constexpr uintptr_t kCursorBase = 0x7C000000;
constexpr int kSystemCursors[] = {32512, 32513, 32514, 32515, 32642, 32643, 32644, 32645, 32646, 32649};

std::atomic<HCURSOR> g_cursor{nullptr};
std::atomic<int64_t> g_position{0};

}  // namespace

int SystemCursorId(HCURSOR cursor) {
  auto value = reinterpret_cast<uintptr_t>(cursor);
  if (value <= kCursorBase) return 0;
  int id = static_cast<int>(value - kCursorBase);
  for (int known : kSystemCursors)
    if (known == id) return id;
  return 0;
}

void SetCursorPosition(POINT screen) {
  g_position = (static_cast<int64_t>(screen.x) << 32) | static_cast<uint32_t>(screen.y);
}

}  // namespace vqplatform

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (instance || !IS_INTRESOURCE(name)) return nullptr;
  auto cursor = reinterpret_cast<HCURSOR>(vqplatform::kCursorBase + reinterpret_cast<uintptr_t>(name));
  return vqplatform::SystemCursorId(cursor) ? cursor : nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) { return vqplatform::g_cursor.exchange(cursor); }

HCURSOR GetCursor() { return vqplatform::g_cursor.load(); }

BOOL GetCursorPos(LPPOINT point) {
  if (!point) return FALSE;
  int64_t packed = vqplatform::g_position.load();
  point->x = static_cast<LONG>(packed >> 32);
  point->y = static_cast<LONG>(static_cast<int32_t>(packed & 0xFFFFFFFF));
  return TRUE;
}
