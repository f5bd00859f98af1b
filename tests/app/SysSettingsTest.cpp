#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/SettingsRanges.h"
#include "app/SysSettings.h"
#include "platform/win/Encoding.h"
#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

CString C(const std::filesystem::path& p) { return CString(p.c_str()); }

std::filesystem::path IniPath() { return vqtest::TempPath("program/Sys.ini"); }

CSysSettings Loaded() {
  CSysSettings s;
  EXPECT_TRUE(s.OpenIniFile(C(IniPath())));
  EXPECT_TRUE(s.Load());
  return s;
}

int SettingsKeys(const std::string& text) { return int(std::count(text.begin(), text.end(), '=')); }

CSysSettings LoadedFrom(const std::string& content) {
  vqtest::WriteFile(IniPath(), content);
  return Loaded();
}

std::string GoldenDefaults(const std::string& folder) {
  return "[FILE]\n"
         "FOLDPATH=" + folder + "\n"
         "TypeofImageName=1\nPREFIX=IMG\nPRECHOOSE=IMG|TXT|JPG\n"
         "[IMAGE]\n"
         "XDPI=-1\nYDPI=-1\nJPGQuality=70\nINDEX=0\nNoiseSize=5\n"
         "DocCamWidth=-1\nDocCamHeight=-1\nPorCamWidth=-1\nPorCamHeight=-1\n"
         "CutLeft=0\nCutTop=0\nCutRight=0\nCutBottom=0\n"
         "IMG_FORMAT=0\nPDFORTIF=0\nCUTPAGETYPE=0\nSHADOW=FALSE\n2IMAGEIN1=FALSE\n"
         "ISMUTICUTPAGE=FALSE\nDOCCHECK=FALSE\nBARCODETOFILE=FALSE\nDEFORMATION=FALSE\n"
         "COLOR=0\nDATEFOLDER=1\nCHANNELS=false\n"
         "[SOUND]\nPlay=true\n"
         "[Camera]\nExposure=-3\nAutoExposure=true\n"
         "[WaterMark]\nDateMark=FALSE\nCustom=FALSE\nName=\nColor=255\nPosition=4\n"
         "Size=256\nTransparency=50\n"
         "[PRINT]\nTYPE=0\n"
         "[OTHER]\nENGOCR=FALSE\nROTATION=0\nMERGE=FALSE\nRECOGNIZE=FALSE\nSRC=TRUE\n"
         "FASTMODE=FALSE\n"
         "[POSITION]\nDocument=0,0,100,100\nPortrait=0,0,100,100\n"
         "[Language]\nCurrent=CN\n";
}

TEST(CSysSettings, ConstructorDefaults) {
  CSysSettings s;
  EXPECT_EQ(s.prefix, L"IMG");
  EXPECT_EQ(s.xDpi, 96);
  EXPECT_EQ(s.jpgQuality, 80);
  EXPECT_EQ(s.exposure, -3);
  EXPECT_TRUE(s.autoExposure);
  EXPECT_EQ(s.nameType, 1);
  EXPECT_EQ(s.noiseSize, 1);
  EXPECT_EQ(s.dateFolder, 1);
  EXPECT_EQ(s.keepMergeSources, 1);
  EXPECT_EQ(s.twoImagesInOne, 1);
  EXPECT_EQ(s.docSelection[2], 100);
  EXPECT_EQ(s.portraitSelection[3], 100);
  EXPECT_EQ(s.imgFormat, 0);
  EXPECT_TRUE(s.iniFile.GetPath().IsEmpty());
}

TEST(CSysSettings, CreatedFromNothingHoldsAll49KeysInTheGoldenOrder) {
  ASSERT_FALSE(std::filesystem::exists(IniPath()));
  CSysSettings s = Loaded();
  std::string folder = vqtest::TempPath("home/Ketterby").string();
  EXPECT_EQ(vqtest::ReadFile(IniPath()), GoldenDefaults(folder));
  EXPECT_EQ(s.foldPath, C(folder));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  EXPECT_EQ(s.jpgQuality, 70);
  EXPECT_EQ(s.noiseSize, 5);
  EXPECT_EQ(s.twoImagesInOne, 0);
  EXPECT_EQ(s.playSound, 1);
  EXPECT_EQ(s.keepMergeSources, 1);
  EXPECT_EQ(s.language, 0);
  // A second start changes nothing.
  Loaded();
  EXPECT_EQ(vqtest::ReadFile(IniPath()), GoldenDefaults(folder));
}

TEST(CSysSettings, EveryKeyRoundTrips) {
  CSysSettings s = Loaded();
  s.foldPath = L"/data/\u56FE\u50CF";
  s.xDpi = 300, s.yDpi = 200, s.jpgQuality = 95, s.playSound = 0, s.nameType = 0;
  s.imageIndex = 123456, s.prefix = L"SCAN", s.prefixList = L"A|B";
  s.exposure = -7, s.autoExposure = false, s.noiseSize = 9;
  s.docCamWidth = 3264, s.docCamHeight = 2448, s.porCamWidth = 640, s.porCamHeight = 480;
  s.cutLeft = 1, s.cutTop = 2, s.cutRight = 3, s.cutBottom = 4;
  s.dateMark = 1, s.customMark = 1, s.markName = L"Ombrecht \u00A9", s.markColor = 0x00FF8040;
  s.markPosition = 2, s.markSize = 48, s.markTransparency = 0;
  s.imgFormat = 5, s.printType = 1, s.pdfOrTif = 0, s.cutPageType = 2;
  s.shadow = 1, s.twoImagesInOne = 1, s.engOcr = 1, s.multiCutPage = true, s.docCheck = 1;
  s.barcodeToFile = 1, s.deformation = 1, s.rotation = 270, s.merge = 1, s.recognize = 1;
  s.colorMode = 2, s.keepMergeSources = 0, s.language = 2, s.fastMode = 1, s.dateFolder = 0;
  s.channels = true;
  int doc[4] = {-5, 10, 2000, 1500}, por[4] = {1, 2, 3, 4};
  std::copy(doc, doc + 4, s.docSelection);
  std::copy(por, por + 4, s.portraitSelection);
  ASSERT_TRUE(s.Save());

  CSysSettings r = Loaded();
  EXPECT_EQ(r.foldPath, s.foldPath);
  EXPECT_EQ(r.xDpi, 300);
  EXPECT_EQ(r.yDpi, 200);
  EXPECT_EQ(r.jpgQuality, 95);
  EXPECT_EQ(r.playSound, 0);
  EXPECT_EQ(r.nameType, 0);
  EXPECT_EQ(r.imageIndex, 123456);
  EXPECT_EQ(r.prefix, L"SCAN");
  EXPECT_EQ(r.prefixList, L"A|B");
  EXPECT_EQ(r.exposure, -7);
  EXPECT_FALSE(r.autoExposure);
  EXPECT_EQ(r.noiseSize, 9);
  EXPECT_EQ(r.docCamWidth, 3264);
  EXPECT_EQ(r.docCamHeight, 2448);
  EXPECT_EQ(r.porCamWidth, 640);
  EXPECT_EQ(r.porCamHeight, 480);
  EXPECT_EQ(r.cutLeft + 10 * r.cutTop + 100 * r.cutRight + 1000 * r.cutBottom, 4321);
  EXPECT_EQ(r.dateMark, 1);
  EXPECT_EQ(r.customMark, 1);
  EXPECT_EQ(r.markName, s.markName);
  EXPECT_EQ(r.markColor, 0x00FF8040);
  EXPECT_EQ(r.markPosition, 2);
  EXPECT_EQ(r.markSize, 48);
  EXPECT_EQ(r.markTransparency, 0);
  EXPECT_EQ(r.imgFormat, 5);
  EXPECT_EQ(r.printType, 1);
  EXPECT_EQ(r.pdfOrTif, 0);
  EXPECT_EQ(r.cutPageType, 2);
  EXPECT_EQ(r.shadow, 1);
  EXPECT_EQ(r.twoImagesInOne, 1);
  EXPECT_EQ(r.engOcr, 1);
  EXPECT_TRUE(r.multiCutPage);
  EXPECT_EQ(r.docCheck, 1);
  EXPECT_EQ(r.barcodeToFile, 1);
  EXPECT_EQ(r.deformation, 1);
  EXPECT_EQ(r.rotation, 270);
  EXPECT_EQ(r.merge, 1);  // written as MERGE, read as Merge
  EXPECT_EQ(r.recognize, 1);
  EXPECT_EQ(r.colorMode, 2);
  EXPECT_EQ(r.keepMergeSources, 0);
  EXPECT_EQ(r.language, 2);
  EXPECT_EQ(r.fastMode, 1);
  EXPECT_EQ(r.dateFolder, 0);
  EXPECT_TRUE(r.channels);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r.docSelection[i], doc[i]);
    EXPECT_EQ(r.portraitSelection[i], por[i]);
  }
  EXPECT_EQ(vqtest::ReadFile(IniPath()).find("Merge"), std::string::npos);
}

TEST(CSysSettings, OutOfRangeValuesFallBackAndAreWrittenBackCorrected) {
  CSysSettings s = LoadedFrom(
      "[OTHER]\nROTATION=45\nMERGE=TRUE\n[IMAGE]\nIMG_FORMAT=6\nCOLOR=3\nPDFORTIF=-1\n"
      "[FILE]\nTypeofImageName=7\n[Language]\nCurrent=cnt\n");
  EXPECT_EQ(s.rotation, 0);
  EXPECT_EQ(s.imgFormat, 0);
  EXPECT_EQ(s.colorMode, 0);
  EXPECT_EQ(s.pdfOrTif, 0);
  EXPECT_EQ(s.nameType, 2);
  EXPECT_EQ(s.language, 0);
  EXPECT_EQ(s.merge, 1);
  CIniFile ini = s.iniFile;
  EXPECT_EQ(ini.GetString(L"OTHER", L"ROTATION"), L"0");
  EXPECT_EQ(ini.GetString(L"IMAGE", L"IMG_FORMAT"), L"0");
  EXPECT_EQ(ini.GetString(L"IMAGE", L"COLOR"), L"0");
  EXPECT_EQ(ini.GetString(L"FILE", L"TypeofImageName"), L"2");
  EXPECT_EQ(ini.GetString(L"Language", L"Current"), L"CN");
  EXPECT_EQ(LoadedFrom("[IMAGE]\nIMG_FORMAT=-1\n").imgFormat, 0);
  EXPECT_EQ(LoadedFrom("[IMAGE]\nIMG_FORMAT=5\n").imgFormat, 5);
}

TEST(CSysSettings, FlagTextsAreExactAndCaseSensitive) {
  CSysSettings s = LoadedFrom(
      "[SOUND]\nPlay=TRUE\n[IMAGE]\nSHADOW=true\nDATEFOLDER=false\nCHANNELS=TRUE\n"
      "[Camera]\nAutoExposure=yes\n[OTHER]\nSRC=false\nFASTMODE=1\n");
  EXPECT_EQ(s.playSound, 0);
  EXPECT_EQ(s.shadow, 0);
  EXPECT_EQ(s.dateFolder, 1);
  EXPECT_FALSE(s.channels);
  EXPECT_FALSE(s.autoExposure);
  EXPECT_EQ(s.keepMergeSources, 1);
  EXPECT_EQ(s.fastMode, 0);
  s = LoadedFrom("[IMAGE]\nDATEFOLDER=0\nCHANNELS=true\n[OTHER]\nSRC=FALSE\n");
  EXPECT_EQ(s.dateFolder, 0);
  EXPECT_TRUE(s.channels);
  EXPECT_EQ(s.keepMergeSources, 0);
}

TEST(CSysSettings, NumbersAreReadLikeTheCLibrary) {
  CSysSettings s = LoadedFrom(
      "[IMAGE]\nXDPI=  +42dpi\nYDPI=abc\nINDEX=99999999999\n[Camera]\nExposure=-0x10\n"
      "[WaterMark]\nSize=\nColor=16711680\n");
  EXPECT_EQ(s.xDpi, 42);
  EXPECT_EQ(s.yDpi, -1) << "read as 0, which is no resolution";
  EXPECT_EQ(s.imageIndex, 2147483647);
  EXPECT_EQ(s.exposure, 0);
  EXPECT_EQ(s.markSize, 256);
  EXPECT_EQ(s.markColor, 0xFF0000);
  EXPECT_EQ(s.iniFile.GetString(L"IMAGE", L"XDPI"), L"42");
}

TEST(CSysSettings, SelectionRectangles) {
  auto doc = [](const std::string& value) {
    CSysSettings s = LoadedFrom("[POSITION]\nDocument=" + value + "\n");
    return std::vector<int>(s.docSelection, s.docSelection + 4);
  };
  EXPECT_EQ(doc("10,20,300,400"), (std::vector<int>{10, 20, 300, 400}));
  EXPECT_EQ(doc("5"), (std::vector<int>{0, 0, 0, 5}));
  EXPECT_EQ(doc(""), (std::vector<int>{0, 0, 100, 100}));
  EXPECT_EQ(doc("1,2"), (std::vector<int>{1, 0, 1, 2}));
  EXPECT_EQ(doc(" 7 , 8 ,9,x"), (std::vector<int>{7, 8, 9, 0}));
  CSysSettings s = LoadedFrom("[POSITION]\nPortrait=-1,-2,-3,-4\n");
  EXPECT_EQ(s.portraitSelection[3], -4);
  EXPECT_EQ(s.iniFile.GetString(L"POSITION", L"Portrait"), L"-1,-2,-3,-4");
}

TEST(CSysSettings, RotationIsReducedWhenSaved) {
  CSysSettings s = Loaded();
  s.rotation = 450;
  EXPECT_TRUE(s.Save());
  EXPECT_EQ(s.rotation, 90);
  EXPECT_EQ(s.iniFile.GetString(L"OTHER", L"ROTATION"), L"90");
  s.colorMode = 7;  // not written
  s.nameType = 9;
  s.language = 5;
  s.fastMode = 2;
  EXPECT_TRUE(s.Save());
  EXPECT_EQ(s.iniFile.GetString(L"IMAGE", L"COLOR"), L"0");
  EXPECT_EQ(s.iniFile.GetString(L"FILE", L"TypeofImageName"), L"2");
  EXPECT_EQ(s.iniFile.GetString(L"Language", L"Current"), L"CN");
  EXPECT_EQ(s.iniFile.GetString(L"OTHER", L"FASTMODE"), L"FALSE");
}

TEST(CSysSettings, UnknownSectionsAndKeysAreKept) {
  LoadedFrom("; written by hand\n[Vendor]\nSerial=42\n[IMAGE]\nLegacy=yes\nXDPI=150\n");
  std::string text = vqtest::ReadFile(IniPath());
  EXPECT_EQ(text.rfind("; written by hand\n[Vendor]\nSerial=42\n[IMAGE]\nLegacy=yes\nXDPI=150\n", 0),
            0u);
  EXPECT_NE(text.find("[Language]\nCurrent=CN\n"), std::string::npos);
}

TEST(CSysSettings, FoldPathWithoutDriveD) {
  setenv("VQ_DRIVE_D", "", 1);
  CSysSettings s = Loaded();
  EXPECT_EQ(s.foldPath, C(vqtest::TempPath("appdata/Ketterby")));
  s = LoadedFrom("[FILE]\nFOLDPATH=/somewhere/else\n");
  EXPECT_EQ(s.foldPath, L"/somewhere/else");
}

TEST(CSysSettings, UnwritableFileKeepsTheDefaultsAndReportsFailure) {
  CSysSettings s;
  EXPECT_FALSE(s.OpenIniFile(C(vqtest::TempPath("missing/Sys.ini"))));
  EXPECT_TRUE(s.Load());
  EXPECT_EQ(s.prefix, L"IMG");
  EXPECT_EQ(s.jpgQuality, 70);
  EXPECT_FALSE(s.Save());
  EXPECT_FALSE(std::filesystem::exists(vqtest::TempPath("missing")));

  // Bound, then its folder replaced by a file: every write fails.
  CSysSettings t = Loaded();
  std::filesystem::remove_all(vqtest::TempPath("program"));
  vqtest::WriteFile(vqtest::TempPath("program"), "x");
  EXPECT_FALSE(t.Save());
}

// Values read from a file that cannot be written go on in another one, the
// counter included, and the file read is left as it was; through the
// memory door the same text loads and is written back alike.
TEST(CSysSettings, ValuesReadFromOneFileGoOnInAnother) {
  const std::string original = "[IMAGE]\nINDEX=7\nXDPI=999\n[FILE]\nPREFIX=\u626b\u63cf\n[Language]\nCurrent=EN\n";
  const auto readOnly = vqtest::TempPath("\u53ea\u8bfb/Sys.ini");
  std::filesystem::create_directories(readOnly.parent_path());
  ASSERT_TRUE(vqtest::WriteFile(readOnly, original));
  CIniFile source;
  ASSERT_TRUE(source.SetPath(C(readOnly)));
  CSysSettings s;
  ASSERT_TRUE(s.OpenIniFile(C(IniPath())));
  EXPECT_TRUE(s.Load(source));
  EXPECT_EQ(vqtest::ReadFile(readOnly), original);
  const CSysSettings again = Loaded();
  EXPECT_EQ(std::vector<int>({again.imageIndex, again.language, again.xDpi}), std::vector<int>({7, 2, -1}));
  EXPECT_EQ(again.prefix, L"\u626b\u63cf");
  EXPECT_EQ(SettingsKeys(vqtest::ReadFile(IniPath())), 49);

  CSysSettings inMemory;
  inMemory.iniFile = CIniFile::InMemory(original);
  inMemory.Load();
  LoadedFrom(original);
  EXPECT_EQ(inMemory.iniFile.MemoryBytes(), vqtest::ReadFile(IniPath()));
}

TEST(CSysSettings, CopiesAreIndependent) {
  CSysSettings a = Loaded();
  CSysSettings b(a);
  b.prefix = L"OTHER";
  b.docSelection[0] = 77;
  EXPECT_EQ(a.prefix, L"IMG");
  EXPECT_EQ(a.docSelection[0], 0);
  EXPECT_EQ(b.iniFile.GetPath(), a.iniFile.GetPath());
  a = b;
  EXPECT_EQ(a.docSelection[0], 77);
}

// Values a user's edit, an old version or another machine left in Sys.ini:
// each is brought into its range at load and written back so.
TEST(CSysSettings, HostileValuesAreBroughtIntoRangeAndWrittenBack) {
  struct Case {
    const char* section;
    const char* key;
    const char* stored;
    const char* loaded;  // as written back
  };
  const Case cases[] = {
      {"IMAGE", "DocCamWidth", "2147483647", "-1"},   {"IMAGE", "DocCamHeight", "45000", "-1"},
      {"IMAGE", "PorCamWidth", "0", "-1"},            {"IMAGE", "PorCamHeight", "-7", "-1"},
      {"IMAGE", "XDPI", "-5", "-1"},                  {"IMAGE", "YDPI", "401", "-1"},
      {"IMAGE", "JPGQuality", "150", "100"},          {"IMAGE", "NoiseSize", "100000", "20"},
      {"IMAGE", "INDEX", "-4", "0"},                  {"IMAGE", "CutLeft", "-10", "0"},
      {"IMAGE", "CutBottom", "2147483647", "16384"},  {"IMAGE", "CUTPAGETYPE", "3", "0"},
      {"WaterMark", "Transparency", "300", "100"},    {"WaterMark", "Transparency", "-1", "0"},
      {"WaterMark", "Size", "0", "1"},                {"WaterMark", "Size", "100000", "1000"},
      {"WaterMark", "Position", "5", "4"},            {"WaterMark", "Color", "-1", "255"},
      {"WaterMark", "Color", "16777216", "255"},      {"PRINT", "TYPE", "2", "0"},
      {"Camera", "Exposure", "-2147483648", "-1000000"},
      {"POSITION", "Document", "-99999,0,99999,2147483647", "-16384,0,16384,16384"},
  };
  for (const Case& c : cases) {
    CSysSettings s = LoadedFrom(std::string("[") + c.section + "]\n" + c.key + "=" + c.stored + "\n");
    EXPECT_EQ(FirstValueOutOfRange(s), "") << c.key << "=" << c.stored;
    EXPECT_EQ(vq::WideToUtf8(s.iniFile.GetString(vq::Utf8ToWide(c.section).c_str(), vq::Utf8ToWide(c.key).c_str())
                                 .GetString()),
              c.loaded)
        << c.key << "=" << c.stored;
  }
  // The largest sizes and values in range stay as they are.
  CSysSettings s = LoadedFrom(
      "[IMAGE]\nDocCamWidth=16384\nDocCamHeight=1\nXDPI=400\nYDPI=1\nINDEX=2147483647\nNoiseSize=1\n"
      "[WaterMark]\nTransparency=0\nSize=1000\nColor=16777215\n");
  EXPECT_EQ(std::vector<int>({s.docCamWidth, s.docCamHeight, s.xDpi, s.yDpi, s.imageIndex, s.noiseSize,
                              s.markTransparency, s.markSize, s.markColor}),
            std::vector<int>({16384, 1, 400, 1, 2147483647, 1, 0, 1000, 16777215}));
}

// The golden file with some of its lines replaced, each "KEY=old" line by "KEY=new".
std::string GoldenWith(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& lines) {
  std::string text = GoldenDefaults(folder);
  for (const auto& [key, value] : lines) {
    const size_t at = text.find("\n" + key + "=");
    EXPECT_NE(at, std::string::npos) << key;
    if (at == std::string::npos) continue;
    const size_t end = text.find('\n', at + 1);
    text.replace(at + 1, end - at - 1, key + "=" + value);
  }
  return text;
}

// A file holding hostile values in every section is written back as the
// whole file of a fresh start, byte for byte, with each value in range.
TEST(CSysSettings, AHostileFileIsWrittenBackByteForByteInRange) {
  const std::string folder = vqtest::TempPath("\u56fe\u50cf").string();
  const std::string hostile = GoldenWith(
      folder, {{"PREFIX", "../../outside/"}, {"PRECHOOSE", "A/B|..|" + std::string(80, 'Q') + "|\u53d1\u7968"},
               {"XDPI", "-5"}, {"YDPI", "70000"}, {"JPGQuality", "-7"}, {"INDEX", "-4"}, {"NoiseSize", "100000"},
               {"DocCamWidth", "2147483647"}, {"DocCamHeight", "2147483647"}, {"PorCamWidth", "60000"},
               {"PorCamHeight", "45000"}, {"CutLeft", "2147483647"}, {"CutTop", "-9"}, {"PDFORTIF", "2"},
               {"CUTPAGETYPE", "9"}, {"Exposure", "2147483647"}, {"Color", "-1"}, {"Position", "-3"},
               {"Size", "2147483647"}, {"Transparency", "300"}, {"TYPE", "7"}, {"MERGE", "TRUE"},
               {"Document", "2147483647,-2147483648,5,99999999"}});
  const std::string expected = GoldenWith(
      folder, {{"PRECHOOSE", std::string(50, 'Q') + "|\u53d1\u7968"}, {"JPGQuality", "0"}, {"NoiseSize", "20"},
               {"CutLeft", "16384"}, {"Exposure", "1000000"}, {"Size", "1000"}, {"Transparency", "100"},
               {"MERGE", "TRUE"}, {"Document", "16384,-16384,5,16384"}});
  std::filesystem::create_directories(folder);
  const CSysSettings s = LoadedFrom(hostile);
  EXPECT_EQ(FirstValueOutOfRange(s), "");
  EXPECT_EQ(vqtest::ReadFile(IniPath()), expected);
  // A second start finds nothing more to bring into range.
  Loaded();
  EXPECT_EQ(vqtest::ReadFile(IniPath()), expected);
}

TEST(CSysSettings, PrefixesAreCutAndThoseThatLeaveTheFolderRefused) {
  const std::string tenThousand(10000, 'A');
  // The reader gives at most 259 characters; the prefix keeps 50 of them.
  EXPECT_EQ(LoadedFrom("[FILE]\nPREFIX=" + tenThousand + "\n").prefix, CString(std::wstring(50, L'A').c_str()));
  for (const char* leaving : {"../up", "a/b", "..", "x\\y", "C:"})
    EXPECT_EQ(LoadedFrom(std::string("[FILE]\nPREFIX=") + leaving + "\n").prefix, L"IMG") << leaving;
  EXPECT_EQ(LoadedFrom("[FILE]\nPREFIX=\u53d1\u7968 2024.\n").prefix, L"\u53d1\u7968 2024.");
  CSysSettings s = LoadedFrom("[FILE]\nPRECHOOSE=A||../B|" + std::string(60, 'C') + "|D/E|F\n");
  EXPECT_EQ(s.prefixList, CString((L"A|" + std::wstring(50, L'C') + L"|F").c_str()));
  EXPECT_EQ(s.iniFile.GetString(L"FILE", L"PRECHOOSE"), s.prefixList);
  EXPECT_EQ(LoadedFrom("[FILE]\nPRECHOOSE=../x|/\n").prefixList, L"IMG|TXT|JPG");
}

TEST(CSysSettings, MergingAndCollectingPagesExcludeEachOther) {
  CSysSettings both = LoadedFrom("[OTHER]\nMERGE=TRUE\n[IMAGE]\nPDFORTIF=2\n");
  EXPECT_EQ(both.merge, 1);
  EXPECT_EQ(both.pdfOrTif, 0);
  EXPECT_EQ(both.iniFile.GetString(L"IMAGE", L"PDFORTIF"), L"0");
  EXPECT_EQ(LoadedFrom("[OTHER]\nMERGE=FALSE\n[IMAGE]\nPDFORTIF=2\n").pdfOrTif, 2);
}

TEST(CSysSettings, TheCounterGoesBackToZeroAfterTheLargest) {
  EXPECT_EQ(NextImageIndex(0), 1);
  EXPECT_EQ(NextImageIndex(99999), 100000);
  EXPECT_EQ(NextImageIndex(2147483646), 2147483647);
  EXPECT_EQ(NextImageIndex(2147483647), 0);
  EXPECT_EQ(NextImageIndex(-3), 0);
}

// Sys.ini is replaced once per save, never key by key: watched through the
// folder's rename events.
TEST(CSysSettings, ASaveReplacesTheFileOnce) {
  CSysSettings s = Loaded();
  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, IniPath().parent_path().c_str(), IN_MOVED_TO | IN_CREATE), 0);
  s.imageIndex = 9, s.prefix = L"NEW", s.xDpi = 123, s.markName = L"mark", s.rotation = 90;
  ASSERT_TRUE(s.Save());
  int renames = 0, created = 0;
  alignas(inotify_event) char buffer[8192];
  for (ssize_t n; (n = read(watch, buffer, sizeof buffer)) > 0;)
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      renames += (event->mask & IN_MOVED_TO) != 0;
      created += (event->mask & IN_CREATE) != 0;
      p += sizeof(inotify_event) + event->len;
    }
  close(watch);
  EXPECT_EQ(renames, 1);
  EXPECT_EQ(created, 1) << "one file written beside it";
  const CSysSettings r = Loaded();
  EXPECT_EQ(std::vector<int>({r.imageIndex, r.xDpi, r.rotation}), std::vector<int>({9, 123, 90}));
  EXPECT_EQ(r.prefix, L"NEW");
}

}  // namespace
