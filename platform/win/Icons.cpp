#include "platform/win/Icons.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/win/BitmapResources.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/LastError.h"
#include "platform/win/StandardIcons.h"
#include "platform/win/WindowRegistry.h"
#include "platform/win/Singletons.h"

namespace vqplatform {
namespace {

struct IconObject {
  IconPixels pixels;
  bool shared = false;
};

// Icon handles are values of their own, never reused.
struct IconTable {
  std::mutex mutex;
  std::map<uintptr_t, std::shared_ptr<const IconObject>> icons;
  std::map<UINT, HICON> resources;  // loaded resource and standard icons, by id
  std::map<UINT, IconPixels> registered;
  uintptr_t next = 0x30000000;
};

IconTable& Table() {
  static auto* table = MakeSingleton<IconTable>();  // icons may be drawn until the end
  return *table;
}

// Lock held.
HICON AddIcon(IconTable& table, IconPixels pixels, bool shared) {
  auto icon = std::make_shared<IconObject>();
  icon->pixels = std::move(pixels);
  icon->shared = shared;
  uintptr_t value = table.next;
  table.next += 4;
  table.icons[value] = std::move(icon);
  return reinterpret_cast<HICON>(value);
}

std::shared_ptr<const IconObject> FindIcon(HICON handle) {
  IconTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.icons.find(reinterpret_cast<uintptr_t>(handle));
  return found == table.icons.end() ? nullptr : found->second;
}

bool Consistent(const IconPixels& p) {
  return p.width > 0 && p.height > 0 && p.argb.size() == size_t(p.width) * size_t(p.height);
}

std::wstring IconFolder() { return vq::ProgramFolder() + L"/icons"; }

// A resource's picture: registered, else "<id>.png" in the icons folder.
bool FindIconResource(IconTable& table, UINT id, IconPixels* out) {
  {
    std::lock_guard lock(table.mutex);
    auto found = table.registered.find(id);
    if (found != table.registered.end()) {
      *out = found->second;
      return true;
    }
  }
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  if (!ReadPngFile(IconFolder() + L"/" + std::to_wstring(id) + L".png", &width, &height, &pixels)) return false;
  out->width = width;
  out->height = height;
  out->argb = std::move(pixels);
  UnpremultiplyIcon(out);
  return true;
}

}  // namespace

void RegisterIconResource(UINT id, IconPixels pixels) {
  IconTable& table = Table();
  std::lock_guard lock(table.mutex);
  table.resources.erase(id);
  if (Consistent(pixels))
    table.registered[id] = std::move(pixels);
  else
    table.registered.erase(id);
}

HICON CreateIconFromPixels(IconPixels pixels) {
  if (!Consistent(pixels)) return nullptr;
  IconTable& table = Table();
  std::lock_guard lock(table.mutex);
  return AddIcon(table, std::move(pixels), false);
}

bool GetIconPixels(HICON icon, IconPixels* out) {
  auto found = FindIcon(icon);
  if (!found) return false;
  if (out) *out = found->pixels;
  return true;
}

HICON ShownWindowIcon(HWND window, bool big) {
  std::lock_guard lock(Dispatcher::Mutex());
  WindowObject* w = FindWindowObject(window);
  if (!w) return nullptr;
  HICON own = w->icons[big ? ICON_BIG : ICON_SMALL] ? w->icons[big ? ICON_BIG : ICON_SMALL]
                                                    : w->icons[big ? ICON_SMALL : ICON_BIG];
  if (own) return own;
  const WindowClassInfo& c = *w->windowClass;
  return big ? (c.icon ? c.icon : c.smallIcon) : (c.smallIcon ? c.smallIcon : c.icon);
}

}  // namespace vqplatform

using namespace vqplatform;

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  auto id = static_cast<UINT>(reinterpret_cast<uintptr_t>(name));
  IconTable& table = Table();
  if (IS_INTRESOURCE(name) && id != 0) {
    std::lock_guard lock(table.mutex);
    auto cached = table.resources.find(id);
    if (cached != table.resources.end()) return cached->second;
  }
  IconPixels pixels;
  bool found = IS_INTRESOURCE(name) && id != 0 &&
               (instance ? FindIconResource(table, id, &pixels)
                         : (DrawStandardIcon(static_cast<int>(id), &pixels) || FindIconResource(table, id, &pixels)));
  if (!found) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  std::lock_guard lock(table.mutex);
  auto cached = table.resources.find(id);
  if (cached != table.resources.end()) return cached->second;  // loaded meanwhile
  return table.resources[id] = AddIcon(table, std::move(pixels), true);
}

BOOL DrawIcon(HDC dc, int x, int y, HICON handle) {
  auto icon = FindIcon(handle);
  if (!icon || !dc) return FALSE;
  const IconPixels& p = icon->pixels;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return FALSE;
  // AlphaBlend takes premultiplied pixels.
  auto* out = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < p.argb.size(); ++i) {
    uint32_t c = p.argb[i], a = c >> 24;
    auto channel = [&](int shift) { return ((((c >> shift) & 0xFF) * a + 127) / 255) << shift; };
    out[i] = (a << 24) | channel(16) | channel(8) | channel(0);
  }
  HDC source = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(source, bitmap);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  BOOL ok = AlphaBlend(dc, x, y, 32, 32, source, 0, 0, p.width, p.height, blend);
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(bitmap);
  return ok;
}

BOOL DestroyIcon(HICON handle) {
  IconTable& table = Table();
  std::lock_guard lock(table.mutex);
  auto found = table.icons.find(reinterpret_cast<uintptr_t>(handle));
  if (found == table.icons.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!found->second->shared) table.icons.erase(found);
  return TRUE;
}
