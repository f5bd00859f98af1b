#pragma once
// USB vendor and product ids of the simulated cameras: the virtual camera
// reports them, and the default data file lists them as its camera pair.
#include <cstdint>

namespace vq {

inline constexpr uint16_t kVirtualCameraVendor = 0x1d6b;
inline constexpr uint16_t kVirtualDocumentCameraProduct = 0x0102;
inline constexpr uint16_t kVirtualPortraitCameraProduct = 0x0103;

// The same ids as the 4 hexadecimal digits of device paths and camera lists.
inline constexpr const char* kVirtualCameraVendorId = "1d6b";
inline constexpr const char* kVirtualDocumentCameraProductId = "0102";
inline constexpr const char* kVirtualPortraitCameraProductId = "0103";

}  // namespace vq
