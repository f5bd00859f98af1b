#pragma once
// Grey levels below this count as dark (ink) wherever the image code decides
// pixel by pixel: despeckling and the packing of 1-bit pages.
namespace vq {
constexpr int kDarkBelow = 125;
inline bool IsDark(int grey) { return grey < kDarkBelow; }
}  // namespace vq
