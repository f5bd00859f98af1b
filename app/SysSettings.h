#pragma once
// The settings record of the program and its file Sys.ini: one field per
// key, a few fields that live only while the program runs, and the INI
// accessor bound to the file. Copies are independent; the owner assigns an
// edited copy back and saves.
#include "app/IniFile.h"
#include "platform/mfc/CString.h"

class CSysSettings {
 public:
  CSysSettings();
  CSysSettings(const CSysSettings&) = default;
  CSysSettings& operator=(const CSysSettings&) = default;
  ~CSysSettings() = default;

  // Binds the accessor to the file, creating it empty when missing; false
  // when it can neither be found nor created.
  bool OpenIniFile(const wchar_t* path);
  // Reads all 49 keys with their defaults and range rules, brings every
  // value into its range (SettingsRanges.h), then writes the whole file back
  // (Save). Always true.
  bool Load();
  // The same, reading from another accessor (a file that cannot be written,
  // whose values go on in this one's).
  bool Load(const CIniFile& source);
  // Writes all 49 keys in their fixed order. False when any write failed.
  bool Save();
  // Capture names (SysSettingsFileNames.cpp): the next base path without
  // extension, "" when the name dialog is cancelled or the naming mode is
  // unknown; the base path of temporary captures; the watermark text.
  void MakeFileName(CString& fileName) const;
  CString MakeWorkFileName() const;
  CString GetWatermarkText() const;

  CString docVendorId, docProductId;            // run time, upper case
  CString portraitVendorId, portraitProductId;  // run time
  int docCamWidth = -1, docCamHeight = -1;      // -1: not configured
  int porCamWidth = -1, porCamHeight = -1;
  int currentCamera = 0;  // run time: 0 document, 1 portrait camera
  int cameraModel = -1;   // run time: 0..6, -1 unknown
  int exposure;
  bool autoExposure;
  int rotation;   // 0, 90, 180, 270
  int colorMode;  // 0 colour, 1 grey, 2 black-and-white
  CString prefix;
  CString prefixList;  // separated by '|'
  int imageIndex;
  int nameType;     // 0 prefix + counter, 1 date and time, 2 asked
  int cutPageType;  // 0 none, 1 automatic, 2 selection rectangle
  int docSelection[4];       // left, top, right, bottom
  int portraitSelection[4];  // left, top, right, bottom
  int cropRect[4] = {0, 0, 0, 0};  // run time
  int merge;
  int recognize;
  int pdfOrTif;           // 0 off, 1 multipage TIFF, 2 PDF
  CString currentFolder;  // run time
  bool channels;
  int language = 0;  // 0 Simplified Chinese, 1 Traditional Chinese, 2 English
  int settingsTab;   // run time
  int xDpi, yDpi;
  int jpgQuality;
  int cutLeft = 0, cutTop = 0, cutRight = 0, cutBottom = 0;
  int imgFormat;  // 0..5
  int dateMark;
  int customMark;
  CString markName;
  int markPosition = 4;  // 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right, 4 centre
  int markSize = 256;
  int markTransparency = 50;
  int markColor = 255;  // 0x00BBGGRR
  int dateFolder;
  CString foldPath;
  int printType = 0;  // 0 actual size, 1 fit to page
  int shadow;
  int deformation;
  bool multiCutPage = false;
  int barcodeToFile;
  int fastMode = 0;
  int offersMjpg = 0;  // run time
  int docCheck;
  int playSound;
  int keepMergeSources;
  int noiseSize;
  int twoImagesInOne;
  int engOcr;
  CIniFile iniFile;
};
