// Feeds arbitrary bytes to the settings record as the content of Sys.ini:
// Load must bring every value into its range, and what it writes back must
// load again to the same numbers and flags (texts may lose one more pair of
// quotes, as profile files read them).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/SettingsRanges.h"
#include "app/SysSettings.h"
#include "base/PathEncoding.h"

namespace {

// A private folder for the file and for the default image folder Load may
// create, made once.
const std::string& Folder() {
  static const std::string folder = [] {
    char name[] = "/tmp/vq-fuzz-settings-XXXXXX";
    std::string made = mkdtemp(name) ? name : "/tmp";
    setenv("HOME", made.c_str(), 1);
    setenv("VQ_DRIVE_D", made.c_str(), 1);
    setenv("VQ_COMMON_APPDATA", made.c_str(), 1);
    return made;
  }();
  return folder;
}

CSysSettings LoadedFrom(const std::wstring& path) {
  CSysSettings settings;
  if (!settings.OpenIniFile(path.c_str())) abort();
  settings.Load();
  return settings;
}

std::vector<int> Numbers(const CSysSettings& s) {
  std::vector<int> n = {s.docCamWidth, s.docCamHeight, s.porCamWidth, s.porCamHeight, s.exposure, s.autoExposure,
                        s.rotation, s.colorMode, s.imageIndex, s.nameType, s.cutPageType, s.merge, s.recognize,
                        s.pdfOrTif, s.channels, s.language, s.xDpi, s.yDpi, s.jpgQuality, s.cutLeft, s.cutTop,
                        s.cutRight, s.cutBottom, s.imgFormat, s.dateMark, s.customMark, s.markPosition, s.markSize,
                        s.markTransparency, s.markColor, s.dateFolder, s.printType, s.shadow, s.deformation,
                        s.multiCutPage, s.barcodeToFile, s.fastMode, s.docCheck, s.playSound, s.keepMergeSources,
                        s.noiseSize, s.twoImagesInOne, s.engOcr};
  n.insert(n.end(), s.docSelection, s.docSelection + 4);
  n.insert(n.end(), s.portraitSelection, s.portraitSelection + 4);
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = Folder() + "/Sys.ini";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  if (size) std::fwrite(data, 1, size, file);
  std::fclose(file);
  const std::wstring widePath = vq::PathFromBytes(path);

  const CSysSettings loaded = LoadedFrom(widePath);
  const std::string outside = FirstValueOutOfRange(loaded);
  if (!outside.empty()) {
    std::fprintf(stderr, "loaded out of range: %s\n", outside.c_str());
    abort();
  }
  const CSysSettings again = LoadedFrom(widePath);
  if (Numbers(again) != Numbers(loaded) || !FirstValueOutOfRange(again).empty()) {
    std::fprintf(stderr, "the written file loads to other values\n");
    abort();
  }
  return 0;
}
