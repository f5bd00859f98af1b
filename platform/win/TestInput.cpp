#include "platform/win/TestInput.h"

#include "platform/win/Dialog.h"
#include "platform/win/DialogKeys.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

namespace vqplatform {
namespace {

POINT Middle(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return POINT{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
}

wchar_t CharacterOf(int virtualKey) {
  switch (virtualKey) {
    case VK_TAB: return L'\t';
    case VK_RETURN: return L'\r';
    case VK_ESCAPE: return 0x1B;
    case VK_BACK: return 0x08;
    case VK_SPACE: return L' ';
    default: return 0;
  }
}

}  // namespace

bool ClickAt(HWND window, POINT point) {
  if (!IsWindow(window)) return false;
  LPARAM where = MAKELPARAM(point.x, point.y);
  PostMessageW(window, WM_MOUSEMOVE, 0, where);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageW(window, WM_LBUTTONUP, 0, where);
  return true;
}

bool ClickControl(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control && ClickAt(control, Middle(control));
}

bool RightClick(HWND window) {
  if (!IsWindow(window)) return false;
  POINT point = Middle(window);
  PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(point.x, point.y));
  PostMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(point.x, point.y));
  return true;
}

bool PressKey(int virtualKey) {
  HWND focus = GetFocus();
  if (!focus) return false;
  PostMessageW(focus, WM_KEYDOWN, static_cast<WPARAM>(virtualKey), 1);
  if (wchar_t ch = CharacterOf(virtualKey)) PostMessageW(focus, WM_CHAR, ch, 1);
  PostMessageW(focus, WM_KEYUP, static_cast<WPARAM>(virtualKey), static_cast<LPARAM>(0xC0000001));
  return true;
}

bool TypeText(const std::wstring& text) {
  HWND focus = GetFocus();
  if (!focus) return false;
  for (wchar_t ch : text) PostMessageW(focus, WM_CHAR, ch, 1);
  return true;
}

ModalScript::ModalScript(std::vector<Step> steps) : steps_(std::move(steps)) {
  SetModalIdleHandler([this](HWND dialog) {
    if (next_ < steps_.size()) {
      steps_[next_++](dialog);
      return;
    }
    EndDialog(dialog, kScriptExhausted);
  });
}

ModalScript::~ModalScript() { SetModalIdleHandler(nullptr); }

}  // namespace vqplatform
