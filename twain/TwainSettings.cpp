#include "twain/TwainSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "base/PathEncoding.h"
#include "platform/win/Clock.h"
#include "platform/win/KnownFolders.h"

namespace {

// The leading decimal integer after optional white space and sign; 0 when
// there is none.
int LeadingInt(const CString& text) {
  long value = std::wcstol(text.GetString(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int>(value);
}

float LeadingReal(const CString& text) {
  return static_cast<float>(std::wcstod(text.GetString(), nullptr));
}

CString Number(const wchar_t* format, double value, bool isReal) {
  CString text;
  if (isReal)
    text.Format(format, value);
  else
    text.Format(format, static_cast<int>(value));
  return text;
}

// The ranges of the loaded values. A capture side or a resolution up to
// the largest a camera offers; selection corners and watermark centres may
// lie outside the picture by as much; -1 keeps its meaning of "not set".
constexpr int kMaxSide = 16384;
constexpr int kMaxDpi = 10000;
constexpr int kMaxExposureMagnitude = 1000000;
constexpr int kMaxNoiseSize = 20;
constexpr int kMaxWatermarkSize = 1000;
constexpr float kMaxAngle = 360.0f;

// One integer field: values outside [low, high] are clamped to the nearest
// bound, or replaced by `fallback` where a bound means nothing.
struct IntRange {
  const char* key;
  int* value;
  int low, high;
  bool clamp;
  int fallback;
};

std::vector<IntRange> IntRanges(CTwainSettings& s) {
  return {
      {"XDPI", &s.XDPI, 1, kMaxDpi, false, 200},
      {"YDPI", &s.YDPI, 1, kMaxDpi, false, 200},
      {"JPGQuality", &s.JPGQuality, 1, 100, true, 0},
      {"Exposure", &s.Exposure, -kMaxExposureMagnitude, kMaxExposureMagnitude, true, 0},
      {"NoiseSize", &s.NoiseSize, 1, kMaxNoiseSize, true, 0},
      {"ResolutionWidth", &s.ResolutionWidth, -1, kMaxSide, false, -1},
      {"ResolutionHeight", &s.ResolutionHeight, -1, kMaxSide, false, -1},
      {"PortraitResolutionWidth", &s.PortraitResolutionWidth, -1, kMaxSide, false, -1},
      {"PortraitResolutionHeight", &s.PortraitResolutionHeight, -1, kMaxSide, false, -1},
      {"PIXELTYPE", &s.PIXELTYPE, -1, 2, false, -1},
      {"CUTPAGETYPE", &s.CUTPAGETYPE, 0, 2, false, 0},
      {"CutLeft", &s.crop.left, -kMaxSide, kMaxSide, true, 0},
      {"CutTop", &s.crop.top, -kMaxSide, kMaxSide, true, 0},
      {"CutRight", &s.crop.right, -kMaxSide, kMaxSide, true, 0},
      {"CutBottom", &s.crop.bottom, -kMaxSide, kMaxSide, true, 0},
      {"Color", &s.Color, 0, 0xFFFFFF, false, 255},
      {"Size", &s.Size, 1, kMaxWatermarkSize, true, 0},
      {"Transparency", &s.Transparency, 0, 100, true, 0},
      {"C1POSX", &s.C1POSX, -kMaxSide, kMaxSide, true, 0},
      {"C1POSY", &s.C1POSY, -kMaxSide, kMaxSide, true, 0},
      {"C2POSX", &s.C2POSX, -kMaxSide, kMaxSide, true, 0},
      {"C2POSY", &s.C2POSY, -kMaxSide, kMaxSide, true, 0},
      {"TimeMark", &s.TimeMark, 0, 1, false, 0},
      {"TextMark", &s.TextMark, 0, 1, false, 0},
      {"2IMAGEIN1", &s.TwoImagesInOne, 0, 1, false, 0},
  };
}

bool IsQuarterTurn(int angle) { return angle == 0 || angle == 90 || angle == 180 || angle == 270; }
bool IsAngle(float angle) { return std::isfinite(angle) && std::fabs(angle) <= kMaxAngle; }

}  // namespace

CTwainSettings::CTwainSettings()
    : XDPI(200),
      YDPI(200),
      JPGQuality(60),
      CUTPAGETYPE(0),
      secondaryCropType(0),
      Exposure(-3),
      AutoExposure(true),
      cameraMode(0),
      NoiseSize(1),
      ResolutionWidth(-1),
      ResolutionHeight(-1),
      PortraitResolutionWidth(-1),
      PortraitResolutionHeight(-1) {}

CString CTwainSettings::DefaultPath(const wchar_t* productId) {
  CString folder = vq::MachineDataFolder();
  CString name = L"TwainPara";
  name += productId;
  name += L".ini";
  return vq::JoinPath(folder, name);
}

bool CTwainSettings::Open(const wchar_t* path) {
  if (ini.SetPath(path)) return true;
  if (FILE* file = std::fopen(vq::PathToBytes(path ? path : L"").c_str(), "w")) std::fclose(file);
  return ini.SetPath(path);
}

bool CTwainSettings::Load() {
  auto read = [&](const wchar_t* section, const wchar_t* key) {
    return ini.GetString(section, key);
  };
  auto readInt = [&](const wchar_t* section, const wchar_t* key, int fallback) {
    CString value = read(section, key);
    return value.IsEmpty() ? fallback : LeadingInt(value);
  };
  auto readFlag = [&](const wchar_t* section, const wchar_t* key, bool fallback,
                      const wchar_t* trueText) {
    CString value = read(section, key);
    return value.IsEmpty() ? fallback : value == trueText;
  };
  auto readReal = [&](const wchar_t* section, const wchar_t* key) {
    CString value = read(section, key);
    return value.IsEmpty() ? 0.0f : LeadingReal(value);
  };
  XDPI = readInt(L"IMAGE", L"XDPI", 200);
  YDPI = readInt(L"IMAGE", L"YDPI", 200);
  JPGQuality = readInt(L"IMAGE", L"JPGQuality", 25);
  AutoExposure = readFlag(L"Camera", L"AutoExposure", true, L"true");
  Exposure = readInt(L"Camera", L"Exposure", -3);
  NoiseSize = readInt(L"IMAGE", L"NoiseSize", 1);
  ResolutionWidth = readInt(L"IMAGE", L"ResolutionWidth", -1);
  ResolutionHeight = readInt(L"IMAGE", L"ResolutionHeight", -1);
  PortraitResolutionWidth = readInt(L"IMAGE", L"PortraitResolutionWidth", -1);
  PortraitResolutionHeight = readInt(L"IMAGE", L"PortraitResolutionHeight", -1);
  PIXELTYPE = readInt(L"IMAGE", L"PIXELTYPE", -1);
  CUTPAGETYPE = readInt(L"IMAGE", L"CUTPAGETYPE", 0);
  MULTIPLE = readFlag(L"IMAGE", L"MULTIPLE", true, L"true");
  MULTICUT = readFlag(L"IMAGE", L"MULTICUT", false, L"true");
  RotateAngle = readInt(L"Camera", L"RotateAngle", 270);
  crop.left = readInt(L"IMAGE", L"CutLeft", -1);
  crop.top = readInt(L"IMAGE", L"CutTop", -1);
  crop.right = readInt(L"IMAGE", L"CutRight", -1);
  crop.bottom = readInt(L"IMAGE", L"CutBottom", -1);
  TimeMark = readFlag(L"WaterMark", L"TimeMark", false, L"TRUE");
  TextMark = readFlag(L"WaterMark", L"TextMark", false, L"TRUE");
  Content = read(L"WaterMark", L"Content");
  Color = readInt(L"WaterMark", L"Color", 255);
  Size = readInt(L"WaterMark", L"Size", 72);
  Transparency = readInt(L"WaterMark", L"Transparency", 50);
  C1POSX = readInt(L"WaterMark", L"C1POSX", -1);
  C1POSY = readInt(L"WaterMark", L"C1POSY", -1);
  C2POSX = readInt(L"WaterMark", L"C2POSX", -1);
  C2POSY = readInt(L"WaterMark", L"C2POSY", -1);
  C1Angle = readReal(L"WaterMark", L"C1Angle");
  C2Angle = readReal(L"WaterMark", L"C2Angle");
  TwoImagesInOne = readFlag(L"IMAGE", L"2IMAGEIN1", false, L"TRUE");
  BringIntoRange();
  Save();
  return true;
}

void CTwainSettings::BringIntoRange() {
  for (const IntRange& range : IntRanges(*this)) {
    if (*range.value >= range.low && *range.value <= range.high) continue;
    *range.value = range.clamp ? std::clamp(*range.value, range.low, range.high) : range.fallback;
  }
  // Any other angle turns the preview as 270 does.
  if (!IsQuarterTurn(RotateAngle)) RotateAngle = 270;
  for (float* angle : {&C1Angle, &C2Angle})
    if (!IsAngle(*angle)) *angle = std::isfinite(*angle) ? std::fmod(*angle, kMaxAngle) : 0.0f;
}

std::string CTwainSettings::FirstValueOutOfRange() const {
  CTwainSettings& self = const_cast<CTwainSettings&>(*this);
  for (const IntRange& range : IntRanges(self))
    if (*range.value < range.low || *range.value > range.high)
      return std::string(range.key) + "=" + std::to_string(*range.value);
  if (!IsQuarterTurn(RotateAngle)) return "RotateAngle=" + std::to_string(RotateAngle);
  if (!IsAngle(C1Angle)) return "C1Angle=" + std::to_string(C1Angle);
  if (!IsAngle(C2Angle)) return "C2Angle=" + std::to_string(C2Angle);
  return {};
}

bool CTwainSettings::Save() {
  struct Key {
    const wchar_t* section;
    const wchar_t* key;
    CString value;
  };
  auto integer = [](int value) { return Number(L"%d", value, false); };
  auto lower = [](bool value) { return CString(value ? L"true" : L"false"); };
  auto upper = [](bool value) { return CString(value ? L"TRUE" : L"FALSE"); };
  auto real = [](float value) { return Number(L"%f", value, true); };
  const Key keys[] = {
      {L"IMAGE", L"XDPI", integer(XDPI)},
      {L"IMAGE", L"YDPI", integer(YDPI)},
      {L"IMAGE", L"JPGQuality", integer(JPGQuality)},
      {L"IMAGE", L"PIXELTYPE", integer(PIXELTYPE)},
      {L"Camera", L"Exposure", integer(Exposure)},
      {L"Camera", L"AutoExposure", lower(AutoExposure)},
      {L"IMAGE", L"MULTIPLE", lower(MULTIPLE)},
      {L"IMAGE", L"MULTICUT", lower(MULTICUT)},
      {L"IMAGE", L"NoiseSize", integer(NoiseSize)},
      {L"IMAGE", L"ResolutionWidth", integer(ResolutionWidth)},
      {L"IMAGE", L"ResolutionHeight", integer(ResolutionHeight)},
      {L"IMAGE", L"PortraitResolutionWidth", integer(PortraitResolutionWidth)},
      {L"IMAGE", L"PortraitResolutionHeight", integer(PortraitResolutionHeight)},
      {L"IMAGE", L"CUTPAGETYPE", integer(CUTPAGETYPE)},
      {L"Camera", L"RotateAngle", integer(RotateAngle)},
      {L"IMAGE", L"CutLeft", integer(crop.left)},
      {L"IMAGE", L"CutTop", integer(crop.top)},
      {L"IMAGE", L"CutRight", integer(crop.right)},
      {L"IMAGE", L"CutBottom", integer(crop.bottom)},
      {L"WaterMark", L"TimeMark", upper(TimeMark)},
      {L"WaterMark", L"TextMark", upper(TextMark)},
      {L"WaterMark", L"Content", Content},
      {L"WaterMark", L"Color", integer(Color)},
      {L"WaterMark", L"Size", integer(Size)},
      {L"WaterMark", L"Transparency", integer(Transparency)},
      {L"WaterMark", L"C1POSX", integer(C1POSX)},
      {L"WaterMark", L"C1POSY", integer(C1POSY)},
      {L"WaterMark", L"C2POSX", integer(C2POSX)},
      {L"WaterMark", L"C2POSY", integer(C2POSY)},
      {L"WaterMark", L"C1Angle", real(C1Angle)},
      {L"WaterMark", L"C2Angle", real(C2Angle)},
      {L"IMAGE", L"2IMAGEIN1", upper(TwoImagesInOne)},
  };
  for (const Key& key : keys)
    if (!ini.WriteString(key.section, key.key, key.value, true)) return false;
  return true;
}

CString CTwainSettings::GetWatermarkText() const {
  if (TimeMark) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    CString text;
    text.Format(L"%04d/%02d/%02d-%02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                now.wMinute, now.wSecond);
    return text;
  }
  if (TextMark) return Content;
  return CString();
}
