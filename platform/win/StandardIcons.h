#pragma once
// Internal: the pictures of the standard icons, and the conversion of
// cairo's premultiplied pixels to an icon's plain ones.
#include "platform/win/Icons.h"

namespace vqplatform {

// The picture of a standard icon by its IDI_ number; false for others.
bool DrawStandardIcon(int id, IconPixels* out);
// Divides each colour by its pixel's alpha.
void UnpremultiplyIcon(IconPixels* icon);

}  // namespace vqplatform
