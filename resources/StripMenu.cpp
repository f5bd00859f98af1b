// Menu 6014: the context menu of a page in the camera window's strip and in
// its merge dialog: delete the page, or move it to a position ("移动至"
// holds "第01位"; the strip appends the other positions).
#include "platform/win/Menu.h"
#include "resources/Resources.h"

namespace vqres {

const std::vector<MenuItemTemplate>& StripMenu() {
  static const std::vector<MenuItemTemplate> menu{
      {MF_POPUP,
       0,
       L"菜单",
       {{MF_STRING, ID_STRIP_DELETE, L"删除文件", {}},
        {MF_POPUP, 0, L"移动至", {{MF_STRING, ID_STRIP_MOVE_FIRST, L"第01位", {}}}}}},
  };
  return menu;
}

}  // namespace vqres
