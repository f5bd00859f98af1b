#include "app/SysSettings.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <climits>
#include <cwchar>
#include <initializer_list>
#include <string>

#include "app/SettingsRanges.h"
#include "base/PathEncoding.h"
#include "platform/win/PrivateProfile.h"

namespace {

constexpr const wchar_t* kDefaultPrefix = L"IMG";
constexpr const wchar_t* kDefaultPrefixList = L"IMG|TXT|JPG";

// The C library's decimal reading, in the 32-bit range of the Windows long.
int ToNumber(const CString& text) {
  long value = std::wcstol(text, nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

// "%d" of each number, joined by commas.
CString NumbersText(std::initializer_list<int> values) {
  char text[64];
  char* end = text;
  for (const int value : values) {
    if (end != text) *end++ = ',';
    end = std::to_chars(end, text + sizeof text, value).ptr;
  }
  return CString(std::wstring(+text, end));
}

CString FromNumber(int value) { return NumbersText({value}); }

const wchar_t* FlagText(int on) { return on ? L"TRUE" : L"FALSE"; }
const wchar_t* LowerFlagText(bool on) { return on ? L"true" : L"false"; }

// "left,top,right,bottom" read piece by piece from the comma positions.
void ParseSelection(const CString& text, int (&rect)[4]) {
  int c1 = text.Find(L',');
  int c2 = text.Find(L',', c1 + 1);
  int c3 = text.Find(L',', c2 + 1);
  rect[0] = ToNumber(text.Left(c1));
  rect[1] = ToNumber(text.Mid(c1 + 1, c2 - c1));
  rect[2] = ToNumber(text.Mid(c2 + 1, c3 - c2));
  rect[3] = ToNumber(text.Mid(c3 + 1));
}

CString SelectionText(const int (&rect)[4]) { return NumbersText({rect[0], rect[1], rect[2], rect[3]}); }

// Reads keys of one file with the rules of the settings table.
class KeyReader {
 public:
  explicit KeyReader(const CIniFile& ini) : ini_(ini) {}
  CString Text(const wchar_t* section, const wchar_t* key) const {
    return ini_.GetString(section, key);
  }
  int Number(const wchar_t* section, const wchar_t* key, int whenEmpty) const {
    CString v = Text(section, key);
    return v.IsEmpty() ? whenEmpty : ToNumber(v);
  }
  // On only for the exact text `onText`.
  bool Is(const wchar_t* section, const wchar_t* key, const wchar_t* onText) const {
    return Text(section, key) == onText;
  }
  // On when empty or "true".
  bool TrueOrEmpty(const wchar_t* section, const wchar_t* key) const {
    CString v = Text(section, key);
    return v.IsEmpty() || v == L"true";
  }

 private:
  const CIniFile& ini_;
};

// Writes keys, keeping the success chain: a chained write is made only
// while every chained write before it succeeded.
class KeyWriter {
 public:
  explicit KeyWriter(const CIniFile& ini) : ini_(ini) {}
  void Chained(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    if (chain_) chain_ = Write(section, key, value);
    else allOk_ = false;
  }
  void Always(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    Write(section, key, value);
  }
  bool AllWritten() const { return allOk_; }

 private:
  bool Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
    bool ok = ini_.WriteString(section, key, value, true);
    if (!ok) allOk_ = false;
    return ok;
  }
  const CIniFile& ini_;
  bool chain_ = true;
  bool allOk_ = true;
};

}  // namespace

CSysSettings::CSysSettings()
    : exposure(-3),
      autoExposure(true),
      rotation(0),
      colorMode(0),
      prefix(kDefaultPrefix),
      imageIndex(0),
      nameType(1),
      cutPageType(0),
      docSelection{0, 0, 100, 100},
      portraitSelection{0, 0, 100, 100},
      merge(0),
      recognize(0),
      pdfOrTif(0),
      channels(false),
      settingsTab(0),
      xDpi(96),
      yDpi(96),
      jpgQuality(80),
      imgFormat(0),
      dateMark(0),
      customMark(0),
      dateFolder(1),
      shadow(0),
      deformation(0),
      barcodeToFile(0),
      docCheck(0),
      playSound(1),
      keepMergeSources(1),
      noiseSize(1),
      twoImagesInOne(1),
      engOcr(0) {}

bool CSysSettings::OpenIniFile(const wchar_t* path) {
  if (!path || !*path) return false;
  if (iniFile.SetPath(path)) return true;
  int fd = open(vq::PathToBytes(path).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  close(fd);
  return iniFile.SetPath(path);
}

bool CSysSettings::Load() { return Load(iniFile); }

bool CSysSettings::Load(const CIniFile& source) {
  KeyReader r(source);
  for (const SettingRange& range : SettingRanges())
    if (range.key) SettingValue(*this, range) = r.Number(range.section, range.key, range.whenEmpty);
  foldPath = r.Text(L"FILE", L"FOLDPATH");
  if (foldPath.IsEmpty()) foldPath = DefaultImageFolder();
  prefix = r.Text(L"FILE", L"PREFIX");
  if (prefix.IsEmpty()) prefix = kDefaultPrefix;
  prefixList = r.Text(L"FILE", L"PRECHOOSE");
  if (prefixList.IsEmpty()) prefixList = kDefaultPrefixList;
  CString type = r.Text(L"FILE", L"TypeofImageName");
  nameType = type.IsEmpty() ? 1 : (type == L"0" ? 0 : (type == L"1" ? 1 : 2));
  playSound = r.TrueOrEmpty(L"SOUND", L"Play") ? 1 : 0;
  autoExposure = r.TrueOrEmpty(L"Camera", L"AutoExposure");
  multiCutPage = r.Is(L"IMAGE", L"ISMUTICUTPAGE", L"TRUE");
  dateMark = r.Is(L"WaterMark", L"DateMark", L"TRUE");
  customMark = r.Is(L"WaterMark", L"Custom", L"TRUE");
  markName = r.Text(L"WaterMark", L"Name");
  shadow = r.Is(L"IMAGE", L"SHADOW", L"TRUE");
  twoImagesInOne = r.Is(L"IMAGE", L"2IMAGEIN1", L"TRUE");
  engOcr = r.Is(L"OTHER", L"ENGOCR", L"TRUE");
  docCheck = r.Is(L"IMAGE", L"DOCCHECK", L"TRUE");
  deformation = r.Is(L"IMAGE", L"DEFORMATION", L"TRUE");
  barcodeToFile = r.Is(L"IMAGE", L"BARCODETOFILE", L"TRUE");
  merge = r.Is(L"OTHER", L"Merge", L"TRUE");
  recognize = r.Is(L"OTHER", L"RECOGNIZE", L"TRUE");
  CString document = r.Text(L"POSITION", L"Document");
  if (!document.IsEmpty()) ParseSelection(document, docSelection);
  CString portrait = r.Text(L"POSITION", L"Portrait");
  if (!portrait.IsEmpty()) ParseSelection(portrait, portraitSelection);
  keepMergeSources = r.Is(L"OTHER", L"SRC", L"FALSE") ? 0 : 1;
  CString lang = r.Text(L"Language", L"Current");
  language = lang == L"CNT" ? 1 : (lang == L"EN" ? 2 : 0);
  CString dateFolderText = r.Text(L"IMAGE", L"DATEFOLDER");
  dateFolder = dateFolderText.MakeUpper() == L"0" ? 0 : 1;
  channels = r.Is(L"IMAGE", L"CHANNELS", L"true");
  fastMode = r.Is(L"OTHER", L"FASTMODE", L"TRUE");
  BringIntoRange(*this);
  Save();
  return true;
}

bool CSysSettings::Save() {
  // All keys in one write of the file.
  vqplatform::ProfileWriteBatch batch(iniFile.GetPath());
  KeyWriter w(iniFile);
  w.Chained(L"FILE", L"FOLDPATH", foldPath);
  w.Chained(L"IMAGE", L"XDPI", FromNumber(xDpi));
  w.Chained(L"IMAGE", L"YDPI", FromNumber(yDpi));
  w.Chained(L"IMAGE", L"JPGQuality", FromNumber(jpgQuality));
  w.Chained(L"SOUND", L"Play", LowerFlagText(playSound != 0));
  w.Always(L"FILE", L"TypeofImageName", nameType == 0 ? L"0" : (nameType == 1 ? L"1" : L"2"));
  w.Chained(L"IMAGE", L"INDEX", FromNumber(imageIndex));
  w.Chained(L"FILE", L"PREFIX", prefix);
  w.Chained(L"FILE", L"PRECHOOSE", prefixList);
  w.Chained(L"Camera", L"Exposure", FromNumber(exposure));
  w.Chained(L"Camera", L"AutoExposure", LowerFlagText(autoExposure));
  w.Chained(L"IMAGE", L"NoiseSize", FromNumber(noiseSize));
  w.Chained(L"IMAGE", L"DocCamWidth", FromNumber(docCamWidth));
  w.Chained(L"IMAGE", L"DocCamHeight", FromNumber(docCamHeight));
  w.Chained(L"IMAGE", L"PorCamWidth", FromNumber(porCamWidth));
  w.Chained(L"IMAGE", L"PorCamHeight", FromNumber(porCamHeight));
  w.Chained(L"IMAGE", L"CutLeft", FromNumber(cutLeft));
  w.Chained(L"IMAGE", L"CutTop", FromNumber(cutTop));
  w.Chained(L"IMAGE", L"CutRight", FromNumber(cutRight));
  w.Chained(L"IMAGE", L"CutBottom", FromNumber(cutBottom));
  w.Always(L"WaterMark", L"DateMark", FlagText(dateMark));
  w.Always(L"WaterMark", L"Custom", FlagText(customMark));
  w.Always(L"WaterMark", L"Name", markName);
  w.Always(L"WaterMark", L"Color", FromNumber(markColor));
  w.Always(L"WaterMark", L"Position", FromNumber(markPosition));
  w.Always(L"WaterMark", L"Size", FromNumber(markSize));
  w.Always(L"WaterMark", L"Transparency", FromNumber(markTransparency));
  w.Chained(L"IMAGE", L"IMG_FORMAT", FromNumber(imgFormat));
  w.Chained(L"PRINT", L"TYPE", FromNumber(printType));
  w.Chained(L"IMAGE", L"PDFORTIF", FromNumber(pdfOrTif));
  w.Chained(L"IMAGE", L"CUTPAGETYPE", FromNumber(cutPageType));
  w.Chained(L"IMAGE", L"SHADOW", FlagText(shadow));
  w.Chained(L"IMAGE", L"2IMAGEIN1", FlagText(twoImagesInOne));
  w.Chained(L"OTHER", L"ENGOCR", FlagText(engOcr));
  w.Chained(L"IMAGE", L"ISMUTICUTPAGE", FlagText(multiCutPage));
  w.Chained(L"IMAGE", L"DOCCHECK", FlagText(docCheck));
  w.Chained(L"IMAGE", L"BARCODETOFILE", FlagText(barcodeToFile));
  w.Chained(L"IMAGE", L"DEFORMATION", FlagText(deformation));
  rotation %= 360;
  w.Chained(L"OTHER", L"ROTATION", FromNumber(rotation));
  w.Always(L"OTHER", L"MERGE", FlagText(merge));
  w.Always(L"OTHER", L"RECOGNIZE", FlagText(recognize));
  if (colorMode >= 0 && colorMode <= 2) w.Always(L"IMAGE", L"COLOR", FromNumber(colorMode));
  w.Always(L"POSITION", L"Document", SelectionText(docSelection));
  w.Always(L"POSITION", L"Portrait", SelectionText(portraitSelection));
  w.Always(L"OTHER", L"SRC", FlagText(keepMergeSources));
  w.Always(L"Language", L"Current", language == 1 ? L"CNT" : (language == 2 ? L"EN" : L"CN"));
  w.Always(L"OTHER", L"FASTMODE", fastMode == 1 ? L"TRUE" : L"FALSE");
  w.Always(L"IMAGE", L"DATEFOLDER", FromNumber(dateFolder));
  w.Always(L"IMAGE", L"CHANNELS", LowerFlagText(channels));
  const bool written = batch.Commit() != FALSE;
  return w.AllWritten() && written;
}
