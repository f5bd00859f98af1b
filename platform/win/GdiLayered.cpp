#include "platform/win/GdiLayered.h"

#include <memory>

#include "platform/win/Window.h"

namespace {

constexpr const char* kLayered = "layered-attributes";

struct LayeredAttributes {
  COLORREF key = 0;
  BYTE alpha = 255;
  DWORD flags = 0;
};

std::shared_ptr<LayeredAttributes> Attributes(HWND window) {
  return std::static_pointer_cast<LayeredAttributes>(vqplatform::GetWindowAttachment(window, kLayered));
}

BYTE Mix(BYTE over, BYTE under, BYTE alpha) {
  return static_cast<BYTE>((over * alpha + under * (255 - alpha) + 127) / 255);
}

}  // namespace

BOOL SetLayeredWindowAttributes(HWND window, COLORREF key, BYTE alpha, DWORD flags) {
  if (!IsWindow(window) || !(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED)) return FALSE;
  vqplatform::SetWindowAttachment(window, kLayered,
                                  std::make_shared<LayeredAttributes>(LayeredAttributes{key, alpha, flags}));
  return TRUE;
}

BOOL GetLayeredWindowAttributes(HWND window, COLORREF* key, BYTE* alpha, DWORD* flags) {
  if (!IsWindow(window)) return FALSE;
  auto attributes = Attributes(window);
  if (!attributes) return FALSE;
  if (key) *key = attributes->key;
  if (alpha) *alpha = attributes->alpha;
  if (flags) *flags = attributes->flags;
  return TRUE;
}

namespace vqplatform {

COLORREF ComposeLayeredPixel(HWND window, COLORREF pixel, COLORREF backdrop) {
  auto attributes = IsWindow(window) ? Attributes(window) : nullptr;
  if (!attributes) return pixel;
  if ((attributes->flags & LWA_COLORKEY) && (pixel & 0xFFFFFF) == (attributes->key & 0xFFFFFF)) return backdrop;
  if (!(attributes->flags & LWA_ALPHA)) return pixel;
  BYTE a = attributes->alpha;
  return RGB(Mix(GetRValue(pixel), GetRValue(backdrop), a), Mix(GetGValue(pixel), GetGValue(backdrop), a),
             Mix(GetBValue(pixel), GetBValue(backdrop), a));
}

}  // namespace vqplatform
