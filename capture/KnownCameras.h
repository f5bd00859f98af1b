#pragma once
// The camera pairs both programs look for, in the order they are tried: the
// document camera of each model the programs know, with the maker's
// portrait camera, then the simulated pair. The default data.dat lists
// them; the data source takes the first whose document camera is attached.
// Ids are the 4 hexadecimal digits of device paths.
#include "platform/win/VirtualCameraIds.h"

namespace vq {

struct CameraPairIds {
  const char* documentVendor;
  const char* documentProduct;
  const char* portraitVendor;
  const char* portraitProduct;
};

inline constexpr const char* kPortraitCameraVendorId = "2E1A";
inline constexpr const char* kPortraitCameraProductId = "0110";

#define VQ_KNOWN_MODEL(vendor, product) {vendor, product, kPortraitCameraVendorId, kPortraitCameraProductId}
inline constexpr CameraPairIds kKnownCameraPairs[] = {
    VQ_KNOWN_MODEL("2E1A", "0101"), VQ_KNOWN_MODEL("2E1A", "0102"), VQ_KNOWN_MODEL("2E1A", "0103"),
    VQ_KNOWN_MODEL("2E1A", "0104"), VQ_KNOWN_MODEL("2E1A", "0105"), VQ_KNOWN_MODEL("2E1A", "0106"),
    VQ_KNOWN_MODEL("2E1A", "0107"), VQ_KNOWN_MODEL("2E1A", "0108"), VQ_KNOWN_MODEL("2E1B", "0201"),
    VQ_KNOWN_MODEL("2E1B", "0202"), VQ_KNOWN_MODEL("2E1C", "0301"),
    {kVirtualCameraVendorId, kVirtualDocumentCameraProductId, kVirtualCameraVendorId,
     kVirtualPortraitCameraProductId},
};
#undef VQ_KNOWN_MODEL

}  // namespace vq
