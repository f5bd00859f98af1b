#pragma once
// The camera window's settings record and the INI file behind it:
// "TwainPara" + main product id + ".ini" in the per-machine data folder.
// The file is outside input (edited, copied between machines, damaged):
// Load brings every value it reads into the range its users rely on.
#include <string>

#include "app/IniFile.h"
#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

class CTwainSettings {
 public:
  CTwainSettings();
  CTwainSettings(const CTwainSettings&) = default;
  CTwainSettings& operator=(const CTwainSettings&) = default;

  // Binds the file, creating it empty when missing.
  bool Open(const wchar_t* path);
  // Reads every key (defaults for missing or empty ones), brings the values
  // into their ranges, then saves, so the file holds every key afterwards.
  // Always true.
  bool Load();
  // Writes every key in order; stops at the first failing one.
  bool Save();
  // The date and time when TimeMark is on, else Content when TextMark is on.
  CString GetWatermarkText() const;
  // The first loaded value outside its range, as "key=value"; empty when
  // every value is within its range.
  std::string FirstValueOutOfRange() const;

  // The file's path: the per-machine data folder, "Ombrecht Software",
  // "TwainPara" + productId + ".ini".
  static CString DefaultPath(const wchar_t* productId);

  int XDPI;
  int YDPI;
  int JPGQuality;
  int CUTPAGETYPE;
  RECT crop{};
  RECT secondarySelection{};
  int secondaryCropType;
  int Exposure;
  bool AutoExposure;
  int cameraMode;
  int NoiseSize;
  int ResolutionWidth;
  int ResolutionHeight;
  int PortraitResolutionWidth;
  int PortraitResolutionHeight;
  int PIXELTYPE = -1;
  int RotateAngle = 270;
  bool MULTIPLE = true;
  bool MULTICUT = false;
  int Size = 72;
  int Transparency = 50;
  int Color = 255;
  BOOL TimeMark = FALSE;
  BOOL TextMark = FALSE;
  CString Content;
  int C1POSX = -1;
  int C1POSY = -1;
  int C2POSX = -1;
  int C2POSY = -1;
  float C1Angle = 0;
  float C2Angle = 0;
  BOOL TwoImagesInOne = FALSE;  // key "2IMAGEIN1"
  CIniFile ini;

 private:
  void BringIntoRange();
};
