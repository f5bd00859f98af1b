#pragma once
// Input as a user's mouse and keyboard produce it, for driving windows
// without a display. Everything is posted to the calling thread's queue,
// so a modal loop (see SetModalIdleHandler, and the tests' pump) delivers it.
#include <functional>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

namespace vqplatform {

// A left click (button down and up) at a point of a window's client area.
bool ClickAt(HWND window, POINT point);
// A left click in the middle of a dialog's control; false when there is
// no such control.
bool ClickControl(HWND dialog, int id);
// A right click in the middle of a window.
bool RightClick(HWND window);
// A key press (down, its character for Tab, Enter, Escape, Backspace and
// Space, up) to the focused window.
bool PressKey(int virtualKey);
// Characters typed into the focused window.
bool TypeText(const std::wstring& text);

// Drives modal dialogs step by step: each time a modal loop has nothing to
// do, the next step runs with the dialog. When the steps run out while a
// dialog is still open, it is ended with kScriptExhausted, so a test that
// expects more than its steps do fails instead of hanging. Installed for
// the lifetime of the object.
class ModalScript {
 public:
  static constexpr INT_PTR kScriptExhausted = -2;
  using Step = std::function<void(HWND dialog)>;
  explicit ModalScript(std::vector<Step> steps);
  ~ModalScript();
  ModalScript(const ModalScript&) = delete;
  ModalScript& operator=(const ModalScript&) = delete;
  size_t StepsRun() const { return next_; }

 private:
  std::vector<Step> steps_;
  size_t next_ = 0;
};

}  // namespace vqplatform
