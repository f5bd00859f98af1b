#pragma once
// Internal: what the standard controls share: their state kept with the
// window, the font, notifications to the parent, painting with the
// parent's colours, and the handling of the common messages.
#include <functional>
#include <memory>
#include <string>

#include "platform/win/Controls.h"
#include "platform/win/GdiTypes.h"
#include "platform/win/Window.h"

namespace vqplatform {

struct ControlBase {
  virtual ~ControlBase() = default;
  HFONT font = nullptr;
};

// The control's state, created on first use and released with the window.
template <typename State>
State& ControlState(HWND hwnd) {
  std::shared_ptr<void> stored = GetWindowAttachment(hwnd, "control");
  if (!stored) {
    auto created = std::make_shared<State>();
    SetWindowAttachment(hwnd, "control", created);
    return *created;
  }
  return *static_cast<State*>(stored.get());
}

std::wstring WindowText(HWND hwnd);
int ControlId(HWND hwnd);
DWORD ControlStyle(HWND hwnd);
RECT ClientRect(HWND hwnd);

// WM_COMMAND with the code to the parent.
void NotifyCommand(HWND control, WORD code);
// WM_NOTIFY with a bare header to the parent.
LRESULT NotifyHeader(HWND control, UINT code);

// Paints the control: BeginPaint, the parent's background for `colorMessage`
// (WM_CTLCOLORSTATIC, WM_CTLCOLORBTN or WM_CTLCOLOREDIT) over the client
// area, the control's font selected, a transparent text background; then
// `draw` and EndPaint. Without `fill` the background is left as it is
// (group boxes show what lies inside them).
void PaintControl(HWND hwnd, const ControlBase& state, UINT colorMessage,
                  const std::function<void(HDC dc, const RECT& client)>& draw, bool fill = true);
// The brush the parent gives for `colorMessage` (WM_CTLCOLORSTATIC,
// WM_CTLCOLORBTN or WM_CTLCOLOREDIT), else the system's window or face brush.
HBRUSH ParentBackground(HWND hwnd, HDC dc, UINT colorMessage);
// The text colour for an enabled or disabled control.
COLORREF TextColor(HWND hwnd);

// WM_SETFONT, WM_GETFONT, WM_ENABLE and WM_SETTEXT (which repaint), and
// WM_GETDLGCODE with `dialogCode`; true when the message was one of them.
bool HandleCommonMessage(HWND hwnd, ControlBase& state, UINT message, WPARAM wParam, LPARAM lParam,
                         LRESULT* result);
// Registers a control class with the arrow cursor and no background.
void RegisterControlClass(const wchar_t* name, WNDPROC proc);

}  // namespace vqplatform
