#pragma once
// The document-camera models the data source knows by their USB ids: the
// largest frame size of each and the scan resolution of its frame sizes.
#include <functional>
#include <vector>

#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

// The four process-wide id strings: four upper-case hexadecimal digits each,
// as they appear in a USB device path.
struct CameraIdStrings {
  CString mainVendor;
  CString mainProduct;
  CString secondaryVendor;
  CString secondaryProduct;

  static CameraIdStrings& Get();
};

// When no camera with the main ids is attached, takes the ids of the first
// known camera pair whose document camera is (count: attached cameras with
// a vendor and product id); the virtual pair is the last tried.
// True when the main ids name an attached camera afterwards.
bool SelectAttachedModel(const std::function<int(const wchar_t* vendor, const wchar_t* product)>& count);

// Largest frame size of the attached main camera's model; false (outputs
// unchanged) for a model outside the tables.
bool GetModelMaxResolution(int* width, int* height);

// Scan resolution of a frame size (either orientation) of the main camera's
// model; false (outputs unchanged) when the model or the size has none.
bool GetModelResolutionDpi(int width, int height, float* xDpi, float* yDpi);

// Capture sizes the main camera's model offers beyond the sizes its driver
// lists, in list order; none for other models.
std::vector<SIZE> GetModelExtraSizes();
