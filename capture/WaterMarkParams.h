#pragma once
// The description of a watermark overlay, handed to the preview and back.
#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

struct WaterMarkParams {
  COLORREF color = 0;  // colour of text marks
  int kind = 0;        // 0 text, 1 image file, 2 date and time, 3 date and time followed by the text
  RECT rect{0, 0, 0, 0};  // picture coordinates; its centre places the mark
  CString text;           // the text of kinds 0 and 3, the image file's path for kind 1
  int transparency = 0;   // 0 opaque to 100 invisible
  int fontHeight = 0;
  float angle = 0.0f;  // radians; positive turns clockwise on screen
};
