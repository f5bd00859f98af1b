// Fuzzes the data source's settings file as its camera window loads it:
// any bytes as "TwainPara*.ini". The loaded record must be within its
// ranges, and what Load saved must load again as the same record.
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "twain/TwainSettings.h"

namespace {

const std::wstring& SettingsPath() {
  static const std::wstring path = [] {
    const char* base = std::getenv("TMPDIR");
    std::string name = std::string(base && *base ? base : "/tmp") + "/TwainParaXXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) std::abort();
    close(fd);
    static const std::string kept = name;
    std::atexit([] { std::remove(kept.c_str()); });
    return std::wstring(name.begin(), name.end());
  }();
  return path;
}

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring& path = SettingsPath();
  FILE* file = std::fopen(std::string(path.begin(), path.end()).c_str(), "wb");
  if (!file) return 0;
  const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
  std::fclose(file);
  if (!written) return 0;

  CTwainSettings first;
  Check(first.Open(path.c_str()));
  Check(first.Load());
  Check(first.FirstValueOutOfRange().empty());
  CTwainSettings second;
  Check(second.Open(path.c_str()));
  second.Load();
  // Angles are saved with six decimals and texts as they are: a NUL cuts a
  // text and outer blanks and one pair of quotes go at each read, so texts
  // are compared once free of quotes, the rest once settled.
  const auto hasQuotes = [](const CString& text) { return text.Find(L'"') >= 0 || text.Find(L'\'') >= 0; };
  const CString secondContent = second.Content;
  second.Content = first.Content;
  Check(SameRecord(first, second, false));
  second.Content = secondContent;
  CTwainSettings third;
  Check(third.Open(path.c_str()));
  third.Load();
  if (hasQuotes(second.Content)) third.Content = second.Content;
  Check(SameRecord(second, third, true));
  return 0;
}
