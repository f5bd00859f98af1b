#include "app/SettingsRanges.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "app/FileNaming.h"
#include "app/SysSettings.h"
#include "platform/win/Encoding.h"

namespace {

int Clamp(int value, int low, int high) { return std::clamp(value, low, high); }

bool Within(int value, int low, int high) { return value >= low && value <= high; }

// A value within [low, high], or `otherwise`.
int InOr(int value, int low, int high, int otherwise) { return Within(value, low, high) ? value : otherwise; }

bool IsDpi(int dpi) { return dpi == -1 || Within(dpi, kMinDpi, kMaxDpi); }
bool IsCaptureSide(int side) { return side == -1 || Within(side, 1, kMaxCaptureSide); }

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
  s.xDpi = InOr(s.xDpi, kMinDpi, kMaxDpi, -1);
  s.yDpi = InOr(s.yDpi, kMinDpi, kMaxDpi, -1);
  s.jpgQuality = Clamp(s.jpgQuality, 0, kMaxJpegQuality);
  s.imageIndex = std::max(s.imageIndex, 0);
  s.exposure = Clamp(s.exposure, -kMaxExposureMagnitude, kMaxExposureMagnitude);
  s.noiseSize = Clamp(s.noiseSize, kMinNoiseSize, kMaxNoiseSize);
  for (int* side : {&s.docCamWidth, &s.docCamHeight, &s.porCamWidth, &s.porCamHeight})
    *side = InOr(*side, 1, kMaxCaptureSide, -1);
  for (int* margin : {&s.cutLeft, &s.cutTop, &s.cutRight, &s.cutBottom}) *margin = Clamp(*margin, 0, kMaxMargin);
  for (int i = 0; i < 4; ++i) {
    s.docSelection[i] = Clamp(s.docSelection[i], -kMaxSelectionCoordinate, kMaxSelectionCoordinate);
    s.portraitSelection[i] = Clamp(s.portraitSelection[i], -kMaxSelectionCoordinate, kMaxSelectionCoordinate);
  }
  s.cutPageType = InOr(s.cutPageType, 0, 2, 0);
  s.printType = InOr(s.printType, 0, 1, 0);
  s.markColor = InOr(s.markColor, 0, kMaxColor, 255);
  s.markPosition = InOr(s.markPosition, 0, 4, 4);
  s.markSize = Clamp(s.markSize, 1, kMaxWatermarkSize);
  s.markTransparency = Clamp(s.markTransparency, 0, kMaxTransparency);
  s.prefix = UsablePrefix(s.prefix, L"IMG");
  s.prefixList = UsablePrefixList(s.prefixList, L"IMG|TXT|JPG");
  // The two modes exclude each other, as their boxes make them; merging is
  // the one the start-up restores last.
  if (s.merge) s.pdfOrTif = 0;
}

std::string FirstValueOutOfRange(const CSysSettings& s) {
  if (!IsDpi(s.xDpi)) return Describe("xDpi", s.xDpi);
  if (!IsDpi(s.yDpi)) return Describe("yDpi", s.yDpi);
  if (!Within(s.jpgQuality, 0, kMaxJpegQuality)) return Describe("jpgQuality", s.jpgQuality);
  if (s.imageIndex < 0) return Describe("imageIndex", s.imageIndex);
  if (!Within(s.nameType, 0, 2)) return Describe("nameType", s.nameType);
  if (!Within(s.exposure, -kMaxExposureMagnitude, kMaxExposureMagnitude)) return Describe("exposure", s.exposure);
  if (!Within(s.noiseSize, kMinNoiseSize, kMaxNoiseSize)) return Describe("noiseSize", s.noiseSize);
  for (int side : {s.docCamWidth, s.docCamHeight, s.porCamWidth, s.porCamHeight})
    if (!IsCaptureSide(side)) return Describe("capture size", side);
  for (int margin : {s.cutLeft, s.cutTop, s.cutRight, s.cutBottom})
    if (!Within(margin, 0, kMaxMargin)) return Describe("margin", margin);
  for (int i = 0; i < 4; ++i) {
    if (!Within(s.docSelection[i], -kMaxSelectionCoordinate, kMaxSelectionCoordinate))
      return Describe("docSelection", s.docSelection[i]);
    if (!Within(s.portraitSelection[i], -kMaxSelectionCoordinate, kMaxSelectionCoordinate))
      return Describe("portraitSelection", s.portraitSelection[i]);
  }
  if (!Within(s.cutPageType, 0, 2)) return Describe("cutPageType", s.cutPageType);
  if (!Within(s.printType, 0, 1)) return Describe("printType", s.printType);
  if (!Within(s.imgFormat, 0, 5)) return Describe("imgFormat", s.imgFormat);
  if (!Within(s.pdfOrTif, 0, 2)) return Describe("pdfOrTif", s.pdfOrTif);
  if (s.merge && s.pdfOrTif) return Describe("merge with pdfOrTif", s.pdfOrTif);
  if (!Within(s.colorMode, 0, 2)) return Describe("colorMode", s.colorMode);
  if (!Within(s.language, 0, 2)) return Describe("language", s.language);
  if (s.rotation % 90 != 0 || !Within(s.rotation, 0, 270)) return Describe("rotation", s.rotation);
  if (!Within(s.markColor, 0, kMaxColor)) return Describe("markColor", s.markColor);
  if (!Within(s.markPosition, 0, 4)) return Describe("markPosition", s.markPosition);
  if (!Within(s.markSize, 1, kMaxWatermarkSize)) return Describe("markSize", s.markSize);
  if (!Within(s.markTransparency, 0, kMaxTransparency)) return Describe("markTransparency", s.markTransparency);
  if (CheckPrefix(s.prefix) != PrefixFault::kNone) return Describe("prefix", s.prefix);
  for (const CString& piece : Pieces(s.prefixList))
    if (CheckPrefix(piece) != PrefixFault::kNone) return Describe("prefixList", s.prefixList);
  return {};
}
