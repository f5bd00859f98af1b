#include "app/SettingsRanges.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "app/FileNaming.h"
#include "app/SysSettings.h"
#include "platform/win/Encoding.h"

namespace {

using S = CSysSettings;

// Rows of the table. A number that is clamped, one that is replaced when
// outside, one of a selection rectangle's corners.
constexpr SettingRange Clamped(const char* name, const wchar_t* section, const wchar_t* key, int whenEmpty, int low,
                               int high, int S::*field) {
  return {name, section, key, whenEmpty, low, high, 1, true, 0, field, nullptr, 0};
}
constexpr SettingRange Replaced(const char* name, const wchar_t* section, const wchar_t* key, int whenEmpty, int low,
                                int high, int replacement, int S::*field, int step = 1) {
  return {name, section, key, whenEmpty, low, high, step, false, replacement, field, nullptr, 0};
}
constexpr SettingRange Corner(const char* name, int (S::*corners)[4], int corner) {
  return {name, nullptr, nullptr, 0, -kMaxSelectionCoordinate, kMaxSelectionCoordinate, 1, true, 0, nullptr,
          corners, corner};
}

const SettingRange kRanges[] = {
    Replaced("xDpi", L"IMAGE", L"XDPI", -1, kMinDpi, kMaxDpi, -1, &S::xDpi),
    Replaced("yDpi", L"IMAGE", L"YDPI", -1, kMinDpi, kMaxDpi, -1, &S::yDpi),
    Clamped("jpgQuality", L"IMAGE", L"JPGQuality", 70, 0, kMaxJpegQuality, &S::jpgQuality),
    Replaced("nameType", nullptr, nullptr, 1, 0, 2, 2, &S::nameType),
    Clamped("imageIndex", L"IMAGE", L"INDEX", 0, 0, INT_MAX, &S::imageIndex),
    Clamped("exposure", L"Camera", L"Exposure", -3, -kMaxExposureMagnitude, kMaxExposureMagnitude, &S::exposure),
    Clamped("noiseSize", L"IMAGE", L"NoiseSize", 5, kMinNoiseSize, kMaxNoiseSize, &S::noiseSize),
    Replaced("docCamWidth", L"IMAGE", L"DocCamWidth", -1, 1, kMaxCaptureSide, -1, &S::docCamWidth),
    Replaced("docCamHeight", L"IMAGE", L"DocCamHeight", -1, 1, kMaxCaptureSide, -1, &S::docCamHeight),
    Replaced("porCamWidth", L"IMAGE", L"PorCamWidth", -1, 1, kMaxCaptureSide, -1, &S::porCamWidth),
    Replaced("porCamHeight", L"IMAGE", L"PorCamHeight", -1, 1, kMaxCaptureSide, -1, &S::porCamHeight),
    Clamped("cutLeft", L"IMAGE", L"CutLeft", 0, 0, kMaxMargin, &S::cutLeft),
    Clamped("cutTop", L"IMAGE", L"CutTop", 0, 0, kMaxMargin, &S::cutTop),
    Clamped("cutRight", L"IMAGE", L"CutRight", 0, 0, kMaxMargin, &S::cutRight),
    Clamped("cutBottom", L"IMAGE", L"CutBottom", 0, 0, kMaxMargin, &S::cutBottom),
    Replaced("markColor", L"WaterMark", L"Color", 255, 0, kMaxColor, 255, &S::markColor),
    Replaced("markPosition", L"WaterMark", L"Position", 4, 0, 4, 4, &S::markPosition),
    Clamped("markSize", L"WaterMark", L"Size", 256, 1, kMaxWatermarkSize, &S::markSize),
    Clamped("markTransparency", L"WaterMark", L"Transparency", 50, 0, kMaxTransparency, &S::markTransparency),
    Replaced("imgFormat", L"IMAGE", L"IMG_FORMAT", 0, 0, 5, 0, &S::imgFormat),
    Replaced("printType", L"PRINT", L"TYPE", 0, 0, 1, 0, &S::printType),
    Replaced("pdfOrTif", L"IMAGE", L"PDFORTIF", 0, 0, 2, 0, &S::pdfOrTif),
    Replaced("cutPageType", L"IMAGE", L"CUTPAGETYPE", 0, 0, 2, 0, &S::cutPageType),
    // Quarter turns only.
    Replaced("rotation", L"OTHER", L"ROTATION", 0, 0, 270, 0, &S::rotation, 90),
    Replaced("colorMode", L"IMAGE", L"COLOR", 0, 0, 2, 0, &S::colorMode),
    Corner("docSelection.left", &S::docSelection, 0),
    Corner("docSelection.top", &S::docSelection, 1),
    Corner("docSelection.right", &S::docSelection, 2),
    Corner("docSelection.bottom", &S::docSelection, 3),
    Corner("portraitSelection.left", &S::portraitSelection, 0),
    Corner("portraitSelection.top", &S::portraitSelection, 1),
    Corner("portraitSelection.right", &S::portraitSelection, 2),
    Corner("portraitSelection.bottom", &S::portraitSelection, 3),
    Replaced("language", nullptr, nullptr, 0, 0, 2, 0, &S::language),
};

bool InRange(const SettingRange& range, int value) {
  if (!range.clamp && value == range.replacement) return true;
  return value >= range.low && value <= range.high && (value - range.low) % range.step == 0;
}

// The pieces of a '|'-separated list, empty ones included.
std::vector<CString> Pieces(const CString& list) {
  std::vector<CString> pieces;
  int start = 0;
  for (int bar = list.Find(L'|'); bar >= 0; bar = list.Find(L'|', start)) {
    pieces.push_back(list.Mid(start, bar - start));
    start = bar + 1;
  }
  pieces.push_back(list.Mid(start));
  return pieces;
}

std::string Describe(const char* field, int value) { return std::string(field) + "=" + std::to_string(value); }
std::string Describe(const char* field, const CString& value) {
  return std::string(field) + "=" + vq::WideToUtf8(value.GetString());
}

}  // namespace

std::span<const SettingRange> SettingRanges() { return kRanges; }

int& SettingValue(CSysSettings& s, const SettingRange& range) {
  return range.corners ? (s.*range.corners)[range.corner] : s.*range.field;
}

int SettingValue(const CSysSettings& s, const SettingRange& range) {
  return range.corners ? (s.*range.corners)[range.corner] : s.*range.field;
}

PrefixFault CheckPrefix(const CString& prefix) {
  if (prefix.IsEmpty()) return PrefixFault::kEmpty;
  if (HasForbiddenNameCharacter(prefix)) return PrefixFault::kForbiddenCharacter;
  if (prefix.Find(L"..") >= 0) return PrefixFault::kDotDot;
  if (prefix.GetLength() > kMaxPrefixLength) return PrefixFault::kTooLong;
  return PrefixFault::kNone;
}

CString UsablePrefix(const CString& prefix, const wchar_t* fallback) {
  const CString cut = prefix.Left(kMaxPrefixLength);
  return CheckPrefix(cut) == PrefixFault::kNone ? cut : CString(fallback);
}

CString UsablePrefixList(const CString& list, const wchar_t* fallback) {
  CString usable;
  for (const CString& piece : Pieces(list)) {
    const CString cut = piece.Left(kMaxPrefixLength);
    if (CheckPrefix(cut) != PrefixFault::kNone) continue;
    if (!usable.IsEmpty()) usable += L"|";
    usable += cut;
  }
  return usable.IsEmpty() ? CString(fallback) : usable;
}

int NextImageIndex(int index) { return index < 0 || index == INT_MAX ? 0 : index + 1; }

void BringIntoRange(CSysSettings& s) {
  for (const SettingRange& range : kRanges) {
    int& value = SettingValue(s, range);
    if (!InRange(range, value)) value = range.clamp ? std::clamp(value, range.low, range.high) : range.replacement;
  }
  s.prefix = UsablePrefix(s.prefix, L"IMG");
  s.prefixList = UsablePrefixList(s.prefixList, L"IMG|TXT|JPG");
  // The two modes exclude each other, as their boxes make them; merging is
  // the one the start-up restores last.
  if (s.merge) s.pdfOrTif = 0;
}

std::string FirstValueOutOfRange(const CSysSettings& s) {
  for (const SettingRange& range : kRanges)
    if (!InRange(range, SettingValue(s, range))) return Describe(range.name, SettingValue(s, range));
  if (s.merge && s.pdfOrTif) return Describe("merge with pdfOrTif", s.pdfOrTif);
  if (CheckPrefix(s.prefix) != PrefixFault::kNone) return Describe("prefix", s.prefix);
  for (const CString& piece : Pieces(s.prefixList))
    if (CheckPrefix(piece) != PrefixFault::kNone) return Describe("prefixList", s.prefixList);
  return {};
}
