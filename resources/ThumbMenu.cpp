// Menu 147: the context menu of a thumbnail (the main window's strip and
// the merge dialog): delete the file, open it.
#include "platform/win/Menu.h"
#include "resources/Resources.h"

namespace vqres {

const std::vector<MenuItemTemplate>& ThumbMenu() {
  static const std::vector<MenuItemTemplate> menu{
      {MF_POPUP, 0, L"", {{MF_STRING, ID_THUMB_DELETE, L"删除文件", {}}, {MF_STRING, ID_THUMB_OPEN, L"浏览文件", {}}}},
  };
  return menu;
}

}  // namespace vqres
