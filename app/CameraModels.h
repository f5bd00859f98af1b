#pragma once
// The document-camera models the program knows by their USB ids: the model
// index of each, and the capture size and resolution a model starts with
// when none is configured. Ids are 4 hexadecimal digits, matched without
// regard to case.
#include <vector>

#include "platform/mfc/CString.h"

struct CameraModelDefaults {
  int width;
  int height;
  int dpi;  // the same in x and y
};

struct CaptureSize {
  int width;
  int height;
};

// A capture size a camera is offered in.
struct ResolutionEntry {
  int formatIndex;  // the camera's format, -1 for an extra size of its model
  int width;
  int height;
};

// The model whose pages are binarised with the heavier weight.
inline constexpr int kSpecialCameraModel = 5;

// Model index 0..6 of a document camera, -1 when it is in no row.
int IdentifyCameraModel(const CString& vendorId, const CString& productId);

// The default capture size and resolution of a document camera; false, with
// *out untouched, when the camera is in no row.
bool LookUpModelDefaults(const CString& vendorId, const CString& productId, CameraModelDefaults* out);

// Capture sizes a document camera is offered beyond those it reports, in
// the order the settings list them; empty for other cameras.
std::vector<CaptureSize> ExtraCaptureSizes(const CString& vendorId, const CString& productId);

// The sizes of the first camera with the ids, each once in the camera's
// order, then the extra sizes of its model; empty when the camera reports
// none (or is not attached).
std::vector<ResolutionEntry> OfferedResolutions(const CString& vendorId, const CString& productId);
bool HoldsResolution(const std::vector<ResolutionEntry>& list, int width, int height);

// True when the chosen pair's document camera ([2] product, [3] vendor) is
// the special model; false for a list of fewer than four ids.
bool IsSpecialCameraModel(const std::vector<CString>& selectedCameraIds);
