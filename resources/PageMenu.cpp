// Menu 212: the context menu of a page in a page strip: delete it, or move
// it before another page ("插入" holds "1之前"; the strip appends the rest).
#include "platform/win/Menu.h"
#include "resources/Resources.h"

namespace vqres {

const std::vector<MenuItemTemplate>& PageMenu() {
  static const std::vector<MenuItemTemplate> menu{
      {MF_POPUP,
       0,
       L"",
       {{MF_STRING, ID_PAGE_DELETE, L"删除", {}},
        {MF_POPUP, 0, L"插入", {{MF_STRING, ID_PAGE_INSERT_FIRST, L"1之前", {}}}}}},
  };
  return menu;
}

}  // namespace vqres
