#include "app/CameraModels.h"

#include <initializer_list>

#include "capture/CameraFormatProbe.h"

namespace {

struct ModelRow {
  int index;
  const wchar_t* vendor;
  std::initializer_list<const wchar_t*> products;
};

// Tried in this order; the first row that matches wins.
const ModelRow kModelRows[] = {
    {0, L"2E1A", {L"0101", L"0102", L"0103", L"0104"}},
    {1, L"2E1A", {L"0105"}},
    {3, L"2E1A", {L"0107"}},
    {4, L"2E1C", {L"0301"}},
    {5, L"2E1A", {L"0106", L"0108"}},
    {2, L"2E1B", {L"0201", L"0202"}},
    {6, L"1D6B", {L"0102"}},  // the virtual document camera
};

struct DefaultsRow {
  const wchar_t* vendor;
  const wchar_t* product;
  CameraModelDefaults defaults;
};

constexpr CameraModelDefaults k5Mp{2592, 1944, 215};
constexpr CameraModelDefaults k10Mp{3742, 2806, 310};
constexpr CameraModelDefaults k10MpWide{3840, 2748, 310};
constexpr CameraModelDefaults k8Mp{3264, 2448, 270};
constexpr CameraModelDefaults k12Mp{4000, 3000, 330};

const DefaultsRow kDefaultRows[] = {
    {L"2E1A", L"0101", k5Mp},      {L"2E1A", L"0102", k5Mp},      {L"2E1A", L"0103", k5Mp},
    {L"2E1A", L"0104", k5Mp},      {L"2E1A", L"0105", k10Mp},     {L"2E1B", L"0201", k10Mp},
    {L"2E1B", L"0202", k10MpWide}, {L"2E1A", L"0107", k8Mp},      {L"2E1C", L"0301", k8Mp},
    {L"2E1A", L"0106", k12Mp},     {L"2E1A", L"0108", k12Mp},     {L"1D6B", L"0102", k5Mp},
};

struct ExtraSizesRow {
  const wchar_t* vendor;
  const wchar_t* product;
  std::initializer_list<CaptureSize> sizes;
};

const ExtraSizesRow kExtraSizeRows[] = {
    {L"2E1A", L"0105", {{3742, 2806}}},
    {L"2E1A", L"0106", {{3742, 2806}, {4000, 3000}}},
    {L"2E1A", L"0107", {{3742, 2806}, {3264, 2448}}},
    {L"2E1B", L"0201", {{3742, 2806}}},
};

bool Same(const CString& id, const wchar_t* tableId) { return id.CompareNoCase(tableId) == 0; }

}  // namespace

int IdentifyCameraModel(const CString& vendorId, const CString& productId) {
  for (const ModelRow& row : kModelRows) {
    if (!Same(vendorId, row.vendor)) continue;
    for (const wchar_t* product : row.products)
      if (Same(productId, product)) return row.index;
  }
  return -1;
}

bool LookUpModelDefaults(const CString& vendorId, const CString& productId, CameraModelDefaults* out) {
  for (const DefaultsRow& row : kDefaultRows) {
    if (Same(vendorId, row.vendor) && Same(productId, row.product)) {
      *out = row.defaults;
      return true;
    }
  }
  return false;
}

std::vector<CaptureSize> ExtraCaptureSizes(const CString& vendorId, const CString& productId) {
  for (const ExtraSizesRow& row : kExtraSizeRows)
    if (Same(vendorId, row.vendor) && Same(productId, row.product)) return row.sizes;
  return {};
}

std::vector<ResolutionEntry> OfferedResolutions(const CString& vendorId, const CString& productId) {
  std::vector<ResolutionEntry> list;
  CCameraFormatProbe probe;
  const int count = probe.GetFormatCount(vendorId, productId, 0);
  for (int i = 0; i < count; ++i) {
    int width = 0, height = 0;
    if (probe.GetFormatSize(i, &width, &height) != 0) continue;
    if (!HoldsResolution(list, width, height)) list.push_back({i, width, height});
  }
  if (list.empty()) return list;
  for (const CaptureSize& size : ExtraCaptureSizes(vendorId, productId))
    if (!HoldsResolution(list, size.width, size.height)) list.push_back({-1, size.width, size.height});
  return list;
}

bool HoldsResolution(const std::vector<ResolutionEntry>& list, int width, int height) {
  for (const ResolutionEntry& entry : list)
    if (entry.width == width && entry.height == height) return true;
  return false;
}

bool IsSpecialCameraModel(const std::vector<CString>& selectedCameraIds) {
  if (selectedCameraIds.size() < 4) return false;
  return IdentifyCameraModel(selectedCameraIds[3], selectedCameraIds[2]) == kSpecialCameraModel;
}
