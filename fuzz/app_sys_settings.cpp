// Feeds arbitrary bytes to the settings record as the content of Sys.ini,
// through the accessor's memory door (the file door is the same parser):
// Load must bring every value into its range, and what it writes back must
// load again to the same numbers and flags (texts may lose one more pair of
// quotes, as profile files read them).
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "app/SettingsRanges.h"
#include "app/SysSettings.h"

namespace {

// A private folder for the default image folder Load may create, made once.
void MakeFolder() {
  static const bool made = [] {
    char name[] = "/tmp/vq-fuzz-settings-XXXXXX";
    const char* folder = mkdtemp(name) ? name : "/tmp";
    setenv("HOME", folder, 1);
    setenv("VQ_DRIVE_D", folder, 1);
    setenv("VQ_COMMON_APPDATA", folder, 1);
    return true;
  }();
  (void)made;
}

// The record Load makes of the text, read and written back in memory.
CSysSettings LoadedFrom(std::string_view text) {
  CSysSettings settings;
  settings.iniFile = CIniFile::InMemory(text);
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
  MakeFolder();
  const CSysSettings loaded =
      LoadedFrom(std::string_view(reinterpret_cast<const char*>(data), data ? size : 0));
  const std::string outside = FirstValueOutOfRange(loaded);
  if (!outside.empty()) {
    std::fprintf(stderr, "loaded out of range: %s\n", outside.c_str());
    abort();
  }
  // Read back from what was written; its own save goes nowhere.
  CSysSettings again;
  again.Load(CIniFile::InMemory(loaded.iniFile.MemoryBytes()));
  if (Numbers(again) != Numbers(loaded) || !FirstValueOutOfRange(again).empty()) {
    std::fprintf(stderr, "the written text loads to other values\n");
    abort();
  }
  return 0;
}
