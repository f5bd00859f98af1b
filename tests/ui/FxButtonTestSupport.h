#pragma once
// A modeless test dialog with skinned buttons, and solid test pictures with
// a black (key) frame, registered as bitmap resources.
#include <memory>
#include <vector>

#include "platform/mfc/CDialog.h"
#include "platform/win/BitmapResources.h"
#include "ui/FxButton.h"

namespace vqtest {

// A picture of one colour with a black border `frame` pixels wide.
vqplatform::BitmapPixels FramedPicture(int width, int height, int frame, COLORREF colour);
void RegisterPicture(UINT id, const vqplatform::BitmapPixels& pixels);

// Dialog 9101: push buttons 2001-2003 in a row, radio buttons 2011-2013
// (one group, with static 2014 in it), check box 2021.
class FxButtonDialog : public CDialog {
 public:
  static constexpr UINT kTemplate = 9101;
  static void RegisterTemplate();
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  std::vector<int> clicks;
};

// Skins a button as the main window does: three pictures, black key,
// corners 8 x 8, no edges, no caption, tooltip.
void SkinLikeMainWindow(CFxButton& button, UINT normal, UINT pressed, UINT hover);

// The colour of a pixel of a window as drawn.
COLORREF PixelOf(HWND window, int x, int y);

}  // namespace vqtest
