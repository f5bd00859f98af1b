#include "twain/CameraModels.h"

#include <cmath>
#include <cwchar>

#include "capture/KnownCameras.h"
#include "platform/win/Singletons.h"

namespace {

enum class Model { A, B, C, D, E, Unknown };

struct ModelKey {
  const wchar_t* vendor;
  const wchar_t* product;
  Model model;
};

// Vendor 2E1A makes models A, B, C and E; B is also sold under 2E1B and D
// under 2E1C.
constexpr ModelKey kModels[] = {
    {L"2E1A", L"0101", Model::A}, {L"2E1A", L"0102", Model::A}, {L"2E1A", L"0103", Model::A},
    {L"2E1A", L"0104", Model::A}, {L"2E1A", L"0105", Model::B}, {L"2E1B", L"0201", Model::B},
    {L"2E1A", L"0106", Model::C}, {L"2E1C", L"0301", Model::D}, {L"2E1A", L"0107", Model::E},
};

Model MainModel() {
  const CameraIdStrings& ids = CameraIdStrings::Get();
  for (const ModelKey& key : kModels)
    if (ids.mainVendor == key.vendor && ids.mainProduct == key.product) return key.model;
  return Model::Unknown;
}

struct DpiRow {
  int width;
  int height;
  float dpi;
};

bool LookUp(const DpiRow* rows, size_t count, int width, int height, float* xDpi, float* yDpi) {
  for (size_t i = 0; i < count; ++i) {
    const DpiRow& row = rows[i];
    if ((row.width == width && row.height == height) ||
        (row.width == height && row.height == width)) {
      *xDpi = *yDpi = row.dpi;
      return true;
    }
  }
  return false;
}

}  // namespace

CameraIdStrings& CameraIdStrings::Get() {
  static auto* ids = vqplatform::MakeSingleton<CameraIdStrings>(CameraIdStrings{L"2E1A", L"0101", L"2E1A", L"0110"});
  return *ids;
}

bool SelectAttachedModel(const std::function<int(const wchar_t*, const wchar_t*)>& count) {
  CameraIdStrings& ids = CameraIdStrings::Get();
  if (count(ids.mainVendor, ids.mainProduct) >= 1) return true;
  // The pairs Vorquell's default data file lists, the virtual pair included.
  for (const vq::CameraPairIds& pair : vq::kKnownCameraPairs) {
    CString vendor(pair.documentVendor), product(pair.documentProduct);
    if (count(vendor, product) < 1) continue;
    ids = {vendor, product, CString(pair.portraitVendor), CString(pair.portraitProduct)};
    ids.mainVendor.MakeUpper();
    ids.mainProduct.MakeUpper();
    ids.secondaryVendor.MakeUpper();
    ids.secondaryProduct.MakeUpper();
    return true;
  }
  return false;
}

bool GetModelMaxResolution(int* width, int* height) {
  switch (MainModel()) {
    case Model::A: *width = 2592, *height = 1944; return true;
    case Model::B: *width = 3742, *height = 2806; return true;
    case Model::C: *width = 4000, *height = 3000; return true;
    case Model::D: *width = 3840, *height = 2748; return true;
    case Model::E: *width = 3264, *height = 2448; return true;
    default: return false;
  }
}

bool GetModelResolutionDpi(int width, int height, float* xDpi, float* yDpi) {
  static const DpiRow kFirst[] = {
      {2592, 1944, 213.9f},     {2048, 1536, 168.85461f}, {1600, 1200, 132.06238f},
      {1280, 960, 109.22f},     {1280, 1024, 109.22f},
  };
  static const DpiRow kSecond[] = {
      {4000, 3000, static_cast<float>(270.651642 * std::sqrt(1.5))},
      {3742, 2806, static_cast<float>(270.651642 * std::sqrt(1.25))},
      {3264, 2448, 270.65164f},
      {2592, 1944, 215.68915f},
      {2048, 1536, 169.19637f},
      {1600, 1200, 133.68289f},
      {1280, 960, 106.96349f},
      {1280, 1024, 106.96349f},
      {1024, 768, 85.401535f},
      {800, 600, 66.885384f},
  };
  switch (MainModel()) {
    case Model::A: return LookUp(kFirst, std::size(kFirst), width, height, xDpi, yDpi);
    case Model::B:
    case Model::C:
    case Model::E: return LookUp(kSecond, std::size(kSecond), width, height, xDpi, yDpi);
    default: return false;
  }
}

std::vector<SIZE> GetModelExtraSizes() {
  switch (MainModel()) {
    case Model::B: return {{3742, 2806}};
    case Model::C: return {{3742, 2806}, {4000, 3000}};
    default: return {};
  }
}
