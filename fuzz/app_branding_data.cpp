// Feeds arbitrary bytes to the branding data reader as the content of
// "data.dat": it must accept or reject them without reading out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/BrandingData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CBrandingData branding;
  int rc = branding.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (rc == 0 && !branding.logoImage.IsNull()) {
    // Touch every pixel that was copied in.
    volatile COLORREF sink = 0;
    for (int y = 0; y < branding.logoImage.GetHeight(); ++y)
      sink = sink + branding.logoImage.GetPixel(branding.logoImage.GetWidth() - 1, y);
  }
  return 0;
}
