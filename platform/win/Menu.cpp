#include "platform/win/Menu.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "platform/display/Headless.h"
#include "platform/win/DialogTemplate.h"
#include "platform/win/MessageQueue.h"

namespace {

struct MenuItem {
  UINT flags = 0;
  UINT id = 0;
  std::wstring text;
  HMENU popup = nullptr;
};

struct MenuData {
  std::vector<MenuItem> items;
};

std::recursive_mutex mutex;
std::map<uintptr_t, MenuData> menus;
// Copies: a registration does not depend on its caller's table living on.
std::map<int, std::vector<MenuItemTemplate>> templates;
vqplatform::PopupMenuAnswer answerHook;
uintptr_t nextHandle = 0x3E000;

MenuData* Find(HMENU menu) {
  auto found = menus.find(reinterpret_cast<uintptr_t>(menu));
  return found == menus.end() ? nullptr : &found->second;
}

HMENU NewMenu() {
  uintptr_t handle = ++nextHandle;
  menus[handle] = MenuData{};
  return reinterpret_cast<HMENU>(handle);
}

// The item by command id (searching submenus) or by position.
MenuItem* Locate(HMENU menu, UINT item, UINT flags) {
  MenuData* data = Find(menu);
  if (!data) return nullptr;
  if (flags & MF_BYPOSITION) return item < data->items.size() ? &data->items[item] : nullptr;
  for (MenuItem& entry : data->items) {
    if (!(entry.flags & MF_POPUP) && !(entry.flags & MF_SEPARATOR) && entry.id == item) return &entry;
    if (entry.popup)
      if (MenuItem* inner = Locate(entry.popup, item, flags)) return inner;
  }
  return nullptr;
}

MenuItem MakeItem(UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  MenuItem item;
  item.flags = flags & ~MF_BYPOSITION;
  if (flags & MF_POPUP) item.popup = reinterpret_cast<HMENU>(idOrPopup);
  else item.id = static_cast<UINT>(idOrPopup);
  if (text && !(flags & MF_SEPARATOR)) item.text = text;
  return item;
}

HMENU Build(const std::vector<MenuItemTemplate>& items, bool popup) {
  HMENU menu = popup ? CreatePopupMenu() : CreateMenu();
  for (const MenuItemTemplate& item : items) {
    if (item.flags & MF_POPUP)
      AppendMenuW(menu, item.flags, reinterpret_cast<UINT_PTR>(Build(item.popup, true)), item.text.c_str());
    else
      AppendMenuW(menu, item.flags, item.id, item.text.c_str());
  }
  return menu;
}

}  // namespace

HMENU CreateMenu() {
  std::lock_guard lock(mutex);
  return NewMenu();
}

HMENU CreatePopupMenu() { return CreateMenu(); }

BOOL DestroyMenu(HMENU menu) {
  std::lock_guard lock(mutex);
  MenuData* data = Find(menu);
  if (!data) return FALSE;
  std::vector<HMENU> popups;
  for (const MenuItem& item : data->items)
    if (item.popup) popups.push_back(item.popup);
  menus.erase(reinterpret_cast<uintptr_t>(menu));
  for (HMENU popup : popups) DestroyMenu(popup);
  return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  std::lock_guard lock(mutex);
  MenuData* data = Find(menu);
  if (!data) return FALSE;
  data->items.push_back(MakeItem(flags, idOrPopup, text));
  return TRUE;
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR idOrPopup, LPCWSTR text) {
  std::lock_guard lock(mutex);
  MenuData* data = Find(menu);
  if (!data) return FALSE;
  size_t at = data->items.size();
  if (flags & MF_BYPOSITION) {
    at = std::min<size_t>(position, data->items.size());
  } else {
    for (size_t i = 0; i < data->items.size(); ++i)
      if (data->items[i].id == position && !data->items[i].popup) at = i;
  }
  data->items.insert(data->items.begin() + static_cast<std::ptrdiff_t>(at), MakeItem(flags, idOrPopup, text));
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  std::lock_guard lock(mutex);
  MenuData* data = Find(menu);
  if (!data) return FALSE;
  for (size_t i = 0; i < data->items.size(); ++i) {
    bool match = (flags & MF_BYPOSITION) ? i == position : (!data->items[i].popup && data->items[i].id == position);
    if (!match) continue;
    HMENU popup = data->items[i].popup;
    data->items.erase(data->items.begin() + static_cast<std::ptrdiff_t>(i));
    if (popup) DestroyMenu(popup);
    return TRUE;
  }
  return FALSE;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard lock(mutex);
  MenuData* data = Find(menu);
  if (!data || position < 0 || static_cast<size_t>(position) >= data->items.size()) return nullptr;
  return data->items[static_cast<size_t>(position)].popup;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard lock(mutex);
  MenuData* data = Find(menu);
  return data ? static_cast<int>(data->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard lock(mutex);
  MenuItem* item = position < 0 ? nullptr : Locate(menu, static_cast<UINT>(position), MF_BYPOSITION);
  if (!item) return static_cast<UINT>(-1);
  return item->popup ? static_cast<UINT>(-1) : item->id;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
  std::lock_guard lock(mutex);
  MenuItem* entry = Locate(menu, item, flags);
  if (!entry) return 0;
  if (buffer && maxCount > 0) {
    size_t count = std::min(entry->text.size(), static_cast<size_t>(maxCount - 1));
    std::copy(entry->text.begin(), entry->text.begin() + static_cast<std::ptrdiff_t>(count), buffer);
    buffer[count] = 0;
    return static_cast<int>(count);
  }
  return static_cast<int>(entry->text.size());
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  std::lock_guard lock(mutex);
  MenuItem* entry = Locate(menu, item, enable);
  if (!entry) return static_cast<UINT>(-1);
  UINT previous = entry->flags & (MF_GRAYED | MF_DISABLED);
  entry->flags = (entry->flags & ~(MF_GRAYED | MF_DISABLED)) | (enable & (MF_GRAYED | MF_DISABLED));
  return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  std::lock_guard lock(mutex);
  MenuItem* entry = Locate(menu, item, check);
  if (!entry) return static_cast<DWORD>(-1);
  DWORD previous = entry->flags & MF_CHECKED;
  entry->flags = (entry->flags & ~MF_CHECKED) | (check & MF_CHECKED);
  return previous;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard lock(mutex);
  MenuItem* entry = Locate(menu, item, flags);
  return entry ? entry->flags : static_cast<UINT>(-1);
}

HMENU LoadMenuW(HINSTANCE, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) return nullptr;
  std::lock_guard lock(mutex);
  auto found = templates.find(static_cast<int>(reinterpret_cast<uintptr_t>(name)));
  return found == templates.end() ? nullptr : Build(found->second, false);
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  vqplatform::PopupMenuRecord record{owner, POINT{x, y}, {}, {}, {}};
  vqplatform::PopupMenuAnswer answer;
  {
    std::lock_guard lock(mutex);
    MenuData* data = Find(menu);
    if (!data) return FALSE;
    for (const MenuItem& item : data->items) {
      record.texts.push_back(item.text);
      record.ids.push_back(item.popup ? static_cast<UINT>(-1) : item.id);
      record.states.push_back(item.flags);
    }
    answer = answerHook;
  }
  UINT chosen = 0;
  if (answer) chosen = answer(record);
  else if (!vqplatform::IsHeadless()) chosen = vqplatform::RunPopupMenu(menu, x, y, owner);
  if (chosen) {
    std::lock_guard lock(mutex);
    MenuItem* item = Locate(menu, chosen, MF_BYCOMMAND);
    if (!item || (item->flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR))) chosen = 0;
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  if (chosen && owner && !(flags & TPM_NONOTIFY)) PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
  return TRUE;
}

namespace vqplatform {

void RegisterMenuTemplate(int id, const std::vector<MenuItemTemplate>* items) {
  std::lock_guard lock(mutex);
  if (items) templates[id] = *items;
}

void SetPopupMenuAnswer(PopupMenuAnswer answer) {
  std::lock_guard lock(mutex);
  answerHook = std::move(answer);
}

}  // namespace vqplatform
