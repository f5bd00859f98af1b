#include "twain/TwainSettings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <type_traits>

#include "base/PathEncoding.h"
#include "platform/win/Clock.h"
#include "platform/win/Encoding.h"
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
  if (isReal) {
    text.Format(format, value);
  } else {
    // "%d" without the formatter's buffer: most keys are integers.
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, static_cast<int>(value)).ptr;
    text = CString(std::wstring(+digits, end));
  }
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

// The one table of the file's integer keys: Load reads them by it (the
// value when the key is empty, else the leading integer, or for a flag
// whether the value is its "on" text), and it brings them into range and
// checks them. Outside [low, high], or off its steps, a value is clamped to
// the nearest bound or replaced by `fallback` where a bound means nothing.
// Built over a record or a const one alike.
template <class Record>
auto IntRanges(Record& s) {
  using Int = std::conditional_t<std::is_const_v<Record>, const int, int>;
  struct IntRange {
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* onText;  // a flag's; null for a number
    int whenEmpty;
    Int* value;
    int low, high, step;
    bool clamp;
    int fallback;
  };
  constexpr const wchar_t* kNumber = nullptr;
  return std::to_array<IntRange>({
      {L"IMAGE", L"XDPI", kNumber, 200, &s.XDPI, 1, kMaxDpi, 1, false, 200},
      {L"IMAGE", L"YDPI", kNumber, 200, &s.YDPI, 1, kMaxDpi, 1, false, 200},
      {L"IMAGE", L"JPGQuality", kNumber, 25, &s.JPGQuality, 1, 100, 1, true, 0},
      {L"Camera", L"Exposure", kNumber, -3, &s.Exposure, -kMaxExposureMagnitude, kMaxExposureMagnitude, 1, true, 0},
      {L"IMAGE", L"NoiseSize", kNumber, 1, &s.NoiseSize, 1, kMaxNoiseSize, 1, true, 0},
      {L"IMAGE", L"ResolutionWidth", kNumber, -1, &s.ResolutionWidth, -1, kMaxSide, 1, false, -1},
      {L"IMAGE", L"ResolutionHeight", kNumber, -1, &s.ResolutionHeight, -1, kMaxSide, 1, false, -1},
      {L"IMAGE", L"PortraitResolutionWidth", kNumber, -1, &s.PortraitResolutionWidth, -1, kMaxSide, 1, false, -1},
      {L"IMAGE", L"PortraitResolutionHeight", kNumber, -1, &s.PortraitResolutionHeight, -1, kMaxSide, 1, false, -1},
      {L"IMAGE", L"PIXELTYPE", kNumber, -1, &s.PIXELTYPE, -1, 2, 1, false, -1},
      {L"IMAGE", L"CUTPAGETYPE", kNumber, 0, &s.CUTPAGETYPE, 0, 2, 1, false, 0},
      // Any other angle turns the preview as 270 does.
      {L"Camera", L"RotateAngle", kNumber, 270, &s.RotateAngle, 0, 270, 90, false, 270},
      {L"IMAGE", L"CutLeft", kNumber, -1, &s.crop.left, -kMaxSide, kMaxSide, 1, true, 0},
      {L"IMAGE", L"CutTop", kNumber, -1, &s.crop.top, -kMaxSide, kMaxSide, 1, true, 0},
      {L"IMAGE", L"CutRight", kNumber, -1, &s.crop.right, -kMaxSide, kMaxSide, 1, true, 0},
      {L"IMAGE", L"CutBottom", kNumber, -1, &s.crop.bottom, -kMaxSide, kMaxSide, 1, true, 0},
      {L"WaterMark", L"TimeMark", L"TRUE", 0, &s.TimeMark, 0, 1, 1, false, 0},
      {L"WaterMark", L"TextMark", L"TRUE", 0, &s.TextMark, 0, 1, 1, false, 0},
      {L"WaterMark", L"Color", kNumber, 255, &s.Color, 0, 0xFFFFFF, 1, false, 255},
      {L"WaterMark", L"Size", kNumber, 72, &s.Size, 1, kMaxWatermarkSize, 1, true, 0},
      {L"WaterMark", L"Transparency", kNumber, 50, &s.Transparency, 0, 100, 1, true, 0},
      {L"WaterMark", L"C1POSX", kNumber, -1, &s.C1POSX, -kMaxSide, kMaxSide, 1, true, 0},
      {L"WaterMark", L"C1POSY", kNumber, -1, &s.C1POSY, -kMaxSide, kMaxSide, 1, true, 0},
      {L"WaterMark", L"C2POSX", kNumber, -1, &s.C2POSX, -kMaxSide, kMaxSide, 1, true, 0},
      {L"WaterMark", L"C2POSY", kNumber, -1, &s.C2POSY, -kMaxSide, kMaxSide, 1, true, 0},
      {L"IMAGE", L"2IMAGEIN1", L"TRUE", 0, &s.TwoImagesInOne, 0, 1, 1, false, 0},
  });
}

template <class Range>
bool InRange(const Range& range) {
  const int value = *range.value;
  return value >= range.low && value <= range.high && (value - range.low) % range.step == 0;
}

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
  auto readFlag = [&](const wchar_t* section, const wchar_t* key, bool fallback, const wchar_t* trueText) {
    CString value = ini.GetString(section, key);
    return value.IsEmpty() ? fallback : value == trueText;
  };
  auto readReal = [&](const wchar_t* section, const wchar_t* key) {
    CString value = ini.GetString(section, key);
    return value.IsEmpty() ? 0.0f : LeadingReal(value);
  };
  for (const auto& range : IntRanges(*this)) {
    const CString value = ini.GetString(range.section, range.key);
    if (range.onText) *range.value = value == range.onText;
    else *range.value = value.IsEmpty() ? range.whenEmpty : LeadingInt(value);
  }
  AutoExposure = readFlag(L"Camera", L"AutoExposure", true, L"true");
  MULTIPLE = readFlag(L"IMAGE", L"MULTIPLE", true, L"true");
  MULTICUT = readFlag(L"IMAGE", L"MULTICUT", false, L"true");
  Content = ini.GetString(L"WaterMark", L"Content");
  C1Angle = readReal(L"WaterMark", L"C1Angle");
  C2Angle = readReal(L"WaterMark", L"C2Angle");
  BringIntoRange();
  Save();
  return true;
}

void CTwainSettings::BringIntoRange() {
  for (const auto& range : IntRanges(*this))
    if (!InRange(range)) *range.value = range.clamp ? std::clamp(*range.value, range.low, range.high) : range.fallback;
  for (float* angle : {&C1Angle, &C2Angle})
    if (!IsAngle(*angle)) *angle = std::isfinite(*angle) ? std::fmod(*angle, kMaxAngle) : 0.0f;
}

std::string CTwainSettings::FirstValueOutOfRange() const {
  for (const auto& range : IntRanges(*this))
    if (!InRange(range)) return vq::WideToUtf8(range.key) + "=" + std::to_string(*range.value);
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
