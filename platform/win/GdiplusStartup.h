#pragma once
// Starting and stopping the picture library: the layer's drawing needs no
// start, so these only hand out and take back a token.
#include "platform/win/WinTypes.h"

namespace Gdiplus {

enum Status { Ok = 0, GenericError = 1, InvalidParameter = 2 };

struct GdiplusStartupInput {
  UINT GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput {
  void* NotificationHook = nullptr;
  void* NotificationUnhook = nullptr;
};

inline Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput*) {
  if (!token || !input) return InvalidParameter;
  *token = 1;
  return Ok;
}

inline void GdiplusShutdown(ULONG_PTR) {}

}  // namespace Gdiplus
