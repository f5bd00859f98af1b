// Fuzzes the data source's settings file as its camera window loads it:
// any bytes as the content of "TwainPara*.ini", through the accessor's
// memory door (the file door is the same parser). The loaded record must be
// within its ranges, and what Load saved must load again as the same record.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <string_view>

#include "twain/TwainSettings.h"

namespace {

void Fail(int line) {
  std::fprintf(stderr, "check failed at line %d\n", line);
  std::abort();
}
#define Check(condition) ((condition) ? (void)0 : Fail(__LINE__))

bool SameAngle(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Every field Load reads.
bool SameRecord(const CTwainSettings& a, const CTwainSettings& b, bool withAngles) {
  return a.XDPI == b.XDPI && a.YDPI == b.YDPI && a.JPGQuality == b.JPGQuality && a.CUTPAGETYPE == b.CUTPAGETYPE &&
         a.crop.left == b.crop.left && a.crop.top == b.crop.top && a.crop.right == b.crop.right &&
         a.crop.bottom == b.crop.bottom && a.Exposure == b.Exposure && a.AutoExposure == b.AutoExposure &&
         a.NoiseSize == b.NoiseSize && a.ResolutionWidth == b.ResolutionWidth &&
         a.ResolutionHeight == b.ResolutionHeight && a.PortraitResolutionWidth == b.PortraitResolutionWidth &&
         a.PortraitResolutionHeight == b.PortraitResolutionHeight && a.PIXELTYPE == b.PIXELTYPE &&
         a.RotateAngle == b.RotateAngle && a.MULTIPLE == b.MULTIPLE && a.MULTICUT == b.MULTICUT &&
         a.Size == b.Size && a.Transparency == b.Transparency && a.Color == b.Color && a.TimeMark == b.TimeMark &&
         a.TextMark == b.TextMark && a.Content == b.Content && a.C1POSX == b.C1POSX && a.C1POSY == b.C1POSY &&
         a.C2POSX == b.C2POSX && a.C2POSY == b.C2POSY && a.TwoImagesInOne == b.TwoImagesInOne &&
         (!withAngles || (SameAngle(a.C1Angle, b.C1Angle) && SameAngle(a.C2Angle, b.C2Angle)));
}

// A record loaded from the text, which Load writes back in memory.
CTwainSettings LoadedFrom(std::string_view text) {
  CTwainSettings settings;
  settings.ini = CIniFile::InMemory(text);
  Check(settings.Load());
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CTwainSettings first = LoadedFrom(std::string_view(reinterpret_cast<const char*>(data), data ? size : 0));
  Check(first.FirstValueOutOfRange().empty());
  CTwainSettings second = LoadedFrom(first.ini.MemoryBytes());
  // Angles are saved with six decimals and texts as they are: a NUL cuts a
  // text and outer blanks and one pair of quotes go at each read, so texts
  // are compared once free of quotes and outer blanks, the rest once settled.
  const auto unsettled = [](const CString& text) {
    const bool outerBlank = !text.IsEmpty() && (std::wcschr(L" \t", text[0]) || std::wcschr(L" \t", text[text.GetLength() - 1]));
    return outerBlank || text.Find(L'"') >= 0 || text.Find(L'\'') >= 0;
  };
  const CString secondContent = second.Content;
  second.Content = first.Content;
  Check(SameRecord(first, second, false));
  second.Content = secondContent;
  CTwainSettings third = LoadedFrom(second.ini.MemoryBytes());
  if (unsettled(second.Content)) third.Content = second.Content;
  Check(SameRecord(second, third, true));
  return 0;
}
