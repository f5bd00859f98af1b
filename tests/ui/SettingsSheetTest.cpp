// The settings sheet driven through its pages with clicks and keys, on
// virtual cameras whose sizes fill the resolution list.
#include <gtest/gtest.h>

#include "app/IniFile.h"
#include "base/PathEncoding.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Clock.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/FolderBrowser.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"
#include "ui/ImageParaDialog.h"
#include "ui/SystemInfoDialog.h"
#include "tests/support/Windows.h"

using vqplatform::ModalScript;
using vqtest::DispatchQueued;

namespace {

constexpr int kTab = 1117;
using Ints = std::vector<int>;

std::wstring ItemText(HWND window, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, id, text, 256);
  return text;
}

std::vector<std::wstring> ComboEntries(HWND page, int id) {
  std::vector<std::wstring> entries;
  HWND box = GetDlgItem(page, id);
  for (int i = 0; i < static_cast<int>(SendMessageW(box, CB_GETCOUNT, 0, 0)); ++i) {
    wchar_t text[64] = {};
    SendMessageW(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

// The page (a child dialog inside the tab control) that holds a control.
HWND PageWith(HWND sheet, int controlId) {
  for (HWND page = GetWindow(GetDlgItem(sheet, kTab), GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
    if (GetDlgItem(page, controlId)) return page;
  return nullptr;
}
HWND ImagePage(HWND sheet) { return PageWith(sheet, 1038); }
HWND WaterMarkPage(HWND sheet) { return PageWith(sheet, 1103); }
HWND AdvancedPage(HWND sheet) { return PageWith(sheet, 1062); }

// Shown on its page, whichever page is in front.
bool ShownOnPage(HWND page, int id) { return (GetWindowLongW(GetDlgItem(page, id), GWL_STYLE) & WS_VISIBLE) != 0; }

void Click(HWND sheet, HWND window, int id) {
  ASSERT_TRUE(vqplatform::ClickControl(window, id)) << id;
  DispatchQueued(sheet);
}

void SelectTab(HWND sheet, int index) {
  HWND tab = GetDlgItem(sheet, kTab);
  RECT rect{};
  SendMessageW(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
  vqplatform::ClickAt(tab, POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
  DispatchQueued(sheet);
}

void Keys(HWND sheet, std::initializer_list<int> keys) {
  for (int key : keys) vqplatform::PressKey(key);
  DispatchQueued(sheet);
}

// Clicks into an edit, erases it from the end and types the new text.
void Retype(HWND sheet, HWND page, int id, const std::wstring& text) {
  Click(sheet, page, id);
  Keys(sheet, {VK_END});
  vqplatform::TypeText(std::wstring(40, L'\b') + text);
  DispatchQueued(sheet);
}

// Opens a list box and moves its selection by `steps` entries.
void MoveInList(HWND sheet, HWND page, int id, int steps) {
  Click(sheet, page, id);
  for (int i = 0; i < std::abs(steps); ++i) Keys(sheet, {steps > 0 ? VK_DOWN : VK_UP});
  Keys(sheet, {VK_RETURN});
}

class SettingsSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqplatform::ClearMessageBoxLog();
    vqplatform::ClearFolderBrowserLog();
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetFolderBrowserAnswer(nullptr);
    vqplatform::ClearMessageBoxLog();
  }

  static void PlugCamera(const wchar_t* vid, const wchar_t* pid, std::vector<cv::Size> sizes) {
    vq::dshow::VirtualCameraConfig camera;
    camera.vendorId = vid;
    camera.productId = pid;
    camera.sizes = std::move(sizes);
    vq::dshow::PlugInVirtualCamera(camera);
  }

  // A record as the main window hands it over, on the document camera 5651:D0C0.
  static CSysSettings Record(int language = 0) {
    CSysSettings s;
    s.language = language;
    s.docVendorId = L"5651";
    s.docProductId = L"D0C0";
    s.docCamWidth = 1280;
    s.docCamHeight = 960;
    s.xDpi = s.yDpi = 200;
    s.jpgQuality = 80;
    s.foldPath = L"/data/scans";
    s.dateFolder = 1;
    s.offersMjpg = 1;
    return s;
  }

  static std::vector<std::wstring> MessageTexts() {
    std::vector<std::wstring> texts;
    for (const auto& box : vqplatform::MessageBoxLog()) texts.push_back(box.text);
    return texts;
  }
};

TEST_F(SettingsSheetTest, RoundTripThroughTheThreePagesByMouseAndKeysAndCancelKeepsTheCopy) {
  PlugCamera(L"5651", L"d0c0", {{640, 480}, {1280, 960}, {1600, 1200}});
  const std::wstring chosen = vq::FromFsPath(vqtest::TempDir());
  vqplatform::SetFolderBrowserAnswer([&](const vqplatform::FolderBrowserRecord&) { return chosen; });
  vqplatform::ManualClockScope clock(SYSTEMTIME{2024, 3, 2, 5, 10, 0, 0, 0});

  CSystemInfoDialog sheet(nullptr);
  sheet.SetSettings(Record(2));
  HWND sheetWindow = nullptr;
  std::vector<std::wstring> sizes;
  std::wstring shownSize;
  bool customTextEnabled = false, onlyWaterMarkShown = false;
  int released = -1, afterKeys = -1;
  std::wstring shownAfterKeys;
  ModalScript script({
      [&](HWND d) {
        sheetWindow = d;
        HWND page = ImagePage(d);
        sizes = ComboEntries(page, 1006);
        shownSize = ItemText(page, 1006);
        Retype(d, page, 1038, L"300");
        Retype(d, page, 1039, L"250");
        Retype(d, page, 1069, L"12");
        Retype(d, page, 1072, L"7");
        MoveInList(d, page, 1006, 1);
        Click(d, page, 1076);
        SelectTab(d, 1);
      },
      [&](HWND d) {
        HWND page = WaterMarkPage(d);
        onlyWaterMarkShown = IsWindowVisible(page) && !IsWindowVisible(ImagePage(d)) && !IsWindowVisible(AdvancedPage(d));
        Click(d, page, 1073);
        Click(d, page, 1091);
        customTextEnabled = IsWindowEnabled(GetDlgItem(page, 1090));
        Retype(d, page, 1090, L"Archiv");
        Retype(d, page, 1101, L"120");
        MoveInList(d, page, 1102, 2);
        MoveInList(d, page, 1100, -1);
        // Keys move the slider on after a click released it.
        HWND slider = GetDlgItem(page, 1103);
        Click(d, page, 1103);
        released = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        Keys(d, {VK_RIGHT, VK_RIGHT, VK_RIGHT, VK_NEXT, VK_LEFT});
        afterKeys = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
        shownAfterKeys = ItemText(page, 1104);
        SelectTab(d, 2);
      },
      [&](HWND d) {
        HWND page = AdvancedPage(d);
        Click(d, page, 1087);
        Click(d, page, 1080);
        Retype(d, page, 1062, L"7");
        Click(d, page, 1017);
        Click(d, page, 1116);
        vqplatform::ClickControl(d, IDOK);
      },
  });
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(sizes, (std::vector<std::wstring>{L"640*480", L"1280*960", L"1600*1200"}));
  EXPECT_EQ(shownSize, L"1280*960");
  EXPECT_TRUE(onlyWaterMarkShown);
  EXPECT_TRUE(customTextEnabled);
  EXPECT_EQ(afterKeys, released + 22);
  EXPECT_EQ(shownAfterKeys, std::to_wstring(afterKeys));

  const CSysSettings& s = sheet.GetSettings();
  // dpi, quality, margins, document and portrait size, format
  EXPECT_EQ(Ints({s.xDpi, s.yDpi, s.jpgQuality, s.cutLeft, s.cutTop, s.cutBottom, s.docCamWidth, s.docCamHeight,
                  s.porCamWidth, s.imgFormat}),
            Ints({300, 250, 80, 12, 0, 7, 1600, 1200, -1, 3}));
  // marks, size, blue, bottom right, the slider's last position
  EXPECT_EQ(Ints({s.dateMark, s.customMark, s.markSize, s.markColor, s.markPosition, s.markTransparency}),
            Ints({1, 1, 120, 16711680, 3, afterKeys}));
  EXPECT_EQ(s.markName, L"Archiv");
  // shadow, scaled print, noise, fast mode, language, tab at OK
  EXPECT_EQ(Ints({s.shadow, s.printType, s.noiseSize, s.fastMode, s.language, s.settingsTab}), Ints({1, 1, 7, 1, 2, 2}));
  EXPECT_EQ(s.foldPath, CString(chosen.c_str()));
  EXPECT_EQ(s.currentFolder, CString((chosen + L"/20240305").c_str()));
  auto browsed = vqplatform::FolderBrowserLog();
  ASSERT_EQ(browsed.size(), 1u);
  EXPECT_EQ(browsed[0].owner, sheetWindow);
  EXPECT_EQ(browsed[0].title, L"选择图像存储文件夹");
  EXPECT_EQ(browsed[0].flags, 0x55u);
  EXPECT_TRUE(vqplatform::MessageBoxLog().empty());

  // Opened again it shows the tab of the last OK; Cancel keeps the copy.
  CSystemInfoDialog again(nullptr);
  again.SetSettings(s);
  int shownTab = -1;
  ModalScript cancel({[&](HWND d) {
    shownTab = static_cast<int>(SendDlgItemMessageW(d, kTab, TCM_GETCURSEL, 0, 0));
    EXPECT_TRUE(IsWindowVisible(AdvancedPage(d)));
    Click(d, AdvancedPage(d), 1087);
    Retype(d, ImagePage(d), 1038, L"100");
    vqplatform::ClickControl(d, IDCANCEL);
  }});
  EXPECT_EQ(again.DoModal(), IDCANCEL);
  EXPECT_EQ(shownTab, 2);
  EXPECT_EQ(Ints({again.GetSettings().shadow, again.GetSettings().xDpi}), Ints({1, 300}));
}

TEST_F(SettingsSheetTest, ResolutionListHoldsEachSizeOnceAndFollowsTheCurrentCamera) {
  // Model ids that add 3742 x 2806 (reported already) and 4000 x 3000.
  PlugCamera(L"2e1a", L"0106", {{1280, 960}, {640, 480}, {1280, 960}, {3742, 2806}});
  CImageParaDialog page;
  ASSERT_TRUE(page.BuildResolutionList(L"2E1A", L"0106"));
  std::vector<std::tuple<int, int, int>> list;
  for (const ResolutionEntry& e : page.Resolutions()) list.emplace_back(e.formatIndex, e.width, e.height);
  EXPECT_EQ(list, (std::vector<std::tuple<int, int, int>>{{0, 1280, 960}, {1, 640, 480}, {3, 3742, 2806}, {-1, 4000, 3000}}));
  EXPECT_TRUE(page.HasResolution(4000, 3000));
  EXPECT_FALSE(page.HasResolution(1280, 720));
  EXPECT_FALSE(page.BuildResolutionList(L"5651", L"FFFF"));
  EXPECT_TRUE(page.Resolutions().empty());

  // The portrait camera current, configured at a size it lacks: the first
  // entry is taken, and only the portrait size changes.
  CSysSettings portrait = Record();
  portrait.currentCamera = 1;
  portrait.portraitVendorId = L"2E1A";
  portrait.portraitProductId = L"0106";
  portrait.porCamWidth = 800;
  portrait.porCamHeight = 600;
  portrait.markColor = 123456;  // no colour of the box: red
  portrait.markPosition = 9;    // no position of the box: kept
  CSystemInfoDialog sheet(nullptr);
  sheet.SetSettings(portrait);
  std::wstring shownSize;
  bool fastModeVisible = false, fastModeEnabled = true;
  ModalScript script({[&](HWND d) {
    shownSize = ItemText(ImagePage(d), 1006);
    fastModeVisible = ShownOnPage(AdvancedPage(d), 1116);
    fastModeEnabled = IsWindowEnabled(GetDlgItem(AdvancedPage(d), 1116));
    vqplatform::ClickControl(d, IDOK);
  }});
  ASSERT_EQ(sheet.DoModal(), IDOK);
  EXPECT_EQ(shownSize, L"1280*960");
  EXPECT_TRUE(fastModeVisible);
  EXPECT_FALSE(fastModeEnabled);
  const CSysSettings& p = sheet.GetSettings();
  EXPECT_EQ(Ints({p.porCamWidth, p.porCamHeight, p.docCamWidth, p.markColor, p.markPosition}),
            Ints({1280, 960, 1280, 255, 9}));

  // No camera with the ids: an empty list, every other field loaded, the
  // size kept; without MJPG the fast-mode box is hidden and keeps its value.
  CSysSettings absent = Record();
  absent.docProductId = L"FFFF";
  absent.offersMjpg = 0;
  absent.fastMode = 1;
  CSystemInfoDialog empty(nullptr);
  empty.SetSettings(absent);
  std::vector<std::wstring> entries{L"?"};
  std::wstring dpi;
  ModalScript second({[&](HWND d) {
    entries = ComboEntries(ImagePage(d), 1006);
    dpi = ItemText(ImagePage(d), 1038);
    fastModeVisible = ShownOnPage(AdvancedPage(d), 1116);
    vqplatform::ClickControl(d, IDOK);
  }});
  ASSERT_EQ(empty.DoModal(), IDOK);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(dpi, L"200");
  EXPECT_FALSE(fastModeVisible);
  const CSysSettings& e = empty.GetSettings();
  EXPECT_EQ(Ints({e.docCamWidth, e.docCamHeight, e.fastMode}), Ints({1280, 960, 1}));
}

TEST_F(SettingsSheetTest, RefusedFieldsKeepTheSheetOpenOnTheirPageAndStoreNothing) {
  PlugCamera(L"5651", L"d0c0", {{640, 480}, {1280, 960}});
  CSystemInfoDialog sheet(nullptr);
  sheet.SetSettings(Record());
  std::vector<int> tabsAfterRefusal;
  std::vector<bool> open;
  HWND focusAfterDpi = nullptr, dpiEdit = nullptr;
  auto refused = [&](HWND d) {
    open.push_back(!vqplatform::IsModalDialogEnded(d));
    tabsAfterRefusal.push_back(static_cast<int>(SendDlgItemMessageW(d, kTab, TCM_GETCURSEL, 0, 0)));
  };
  ModalScript script({
      [&](HWND d) {
        Retype(d, ImagePage(d), 1038, L"401");
        vqplatform::ClickControl(d, IDOK);
      },
      [&](HWND d) {
        refused(d);
        focusAfterDpi = GetFocus();
        dpiEdit = GetDlgItem(ImagePage(d), 1038);
        Retype(d, ImagePage(d), 1038, L"400");
        SelectTab(d, 2);
        Retype(d, AdvancedPage(d), 1062, L"21");
        SelectTab(d, 0);
        vqplatform::ClickControl(d, IDOK);
      },
      [&](HWND d) {
        refused(d);
        EXPECT_TRUE(IsWindowVisible(AdvancedPage(d)));
        Retype(d, AdvancedPage(d), 1062, L"20");
        SelectTab(d, 1);
        Click(d, WaterMarkPage(d), 1091);
        SelectTab(d, 0);
        vqplatform::ClickControl(d, IDOK);
      },
      [&](HWND d) {
        refused(d);
        vqplatform::ClickControl(d, IDCANCEL);
      },
  });
  EXPECT_EQ(sheet.DoModal(), IDCANCEL);
  EXPECT_EQ(open, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(tabsAfterRefusal, (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(focusAfterDpi, dpiEdit);
  EXPECT_EQ(MessageTexts(), (std::vector<std::wstring>{L"Please enter an integer between 1 and 400.",
                                                        L"Please enter an integer between 1 and 20.", L"水印内容为空"}));
  EXPECT_EQ(vqplatform::MessageBoxLog().back().type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  // The pages that did save wrote into a copy that was dropped.
  EXPECT_EQ(Ints({sheet.GetSettings().xDpi, sheet.GetSettings().noiseSize}), Ints({200, Record().noiseSize}));
}

TEST_F(SettingsSheetTest, DefaultsResetEveryPageAlsoForAnUnknownModel) {
  PlugCamera(L"5651", L"d0c0", {{1280, 960}, {4000, 3000}});
  CSysSettings s = Record(1);
  s.cameraModel = -1;
  s.cutLeft = s.cutBottom = 5;
  s.imgFormat = 2;
  s.dateMark = s.customMark = 1;
  s.markName = L"Kept";
  s.markSize = 50;
  s.markPosition = 0;
  s.markColor = 65280;
  s.markTransparency = 10;
  s.printType = 1;
  s.shadow = s.playSound = s.docCheck = 1;
  s.noiseSize = 9;
  s.twoImagesInOne = 0;
  s.engOcr = 1;
  CSystemInfoDialog sheet(nullptr);
  sheet.SetSettings(s);
  std::wstring dpiAfterDefaults;
  ModalScript script({[&](HWND d) {
    Retype(d, ImagePage(d), 1038, L"333");
    Click(d, d, 1032);
    dpiAfterDefaults = ItemText(ImagePage(d), 1038);
    vqplatform::ClickControl(d, IDOK);
  }});
  ASSERT_EQ(sheet.DoModal(), IDOK);
  const CSysSettings& r = sheet.GetSettings();
  EXPECT_EQ(dpiAfterDefaults, L"333");
  // image page: typed dpi and the size stay, the rest resets
  EXPECT_EQ(Ints({r.xDpi, r.docCamWidth, r.jpgQuality, r.cutLeft, r.cutBottom, r.imgFormat}),
            Ints({333, 1280, 70, 0, 0, 0}));
  // watermark page: marks off, centre, 96, red, 50; the text stays
  EXPECT_EQ(Ints({r.dateMark, r.customMark, r.markPosition, r.markSize, r.markColor, r.markTransparency}),
            Ints({0, 0, 4, 96, 255, 50}));
  EXPECT_EQ(r.markName, L"Kept");
  // advanced page: actual size, options off, noise 5, picture in picture on, language kept
  EXPECT_EQ(Ints({r.printType, r.shadow, r.playSound, r.docCheck, r.engOcr, r.dateFolder, r.noiseSize,
                  r.twoImagesInOne, r.language}),
            Ints({0, 0, 0, 0, 0, 0, 5, 1, 1}));
  EXPECT_EQ(r.foldPath, DefaultImageFolder());

  // A known model takes its dpi and size.
  s.cameraModel = 4;
  CSystemInfoDialog known(nullptr);
  known.SetSettings(s);
  ModalScript second({[&](HWND d) {
    Click(d, d, 1032);
    vqplatform::ClickControl(d, IDOK);
  }});
  ASSERT_EQ(known.DoModal(), IDOK);
  const CSysSettings& k = known.GetSettings();
  EXPECT_EQ(Ints({k.xDpi, k.yDpi, k.docCamWidth, k.docCamHeight}), Ints({330, 330, 4000, 3000}));
}

TEST_F(SettingsSheetTest, PagesInThreeLanguagesShowEveryTextWhole) {
  PlugCamera(L"5651", L"d0c0", {{640, 480}, {1280, 960}, {2592, 1944}});
  const char* languages[] = {"zh_cn", "zh_tw", "en"};
  const wchar_t* captions[] = {L"设置系统参数", L"系統參數設定", L"Preference"};
  const wchar_t* lastTab[] = {L"高级功能", L"高階設定", L"Advanced"};
  for (int language = 0; language < 3; ++language) {
    for (int tab = 0; tab < 3; ++tab) {
      CSysSettings s = Record(language);
      s.settingsTab = tab;
      s.customMark = 1;
      s.markName = L"Vorquell";
      CSystemInfoDialog sheet(nullptr);
      sheet.SetSettings(s);
      std::string name = std::string("settings_") + languages[language] + "_" + std::to_string(tab) + ".png";
      std::string saved;
      std::vector<std::string> problems;
      std::wstring caption, tabText;
      ModalScript script({[&](HWND d) {
        HWND pages[] = {ImagePage(d), WaterMarkPage(d), AdvancedPage(d)};
        saved = vqtest::SaveScreenshot(d, name);
        problems = vqtest::LayoutProblems(pages[tab]);
        for (const std::string& problem : vqtest::LayoutProblems(d)) problems.push_back(problem);
        wchar_t text[64] = {};
        GetWindowTextW(d, text, 64);
        caption = text;
        TCITEMW item{TCIF_TEXT, 0, 0, text, 64, 0, 0};
        SendDlgItemMessageW(d, kTab, TCM_GETITEMW, 2, reinterpret_cast<LPARAM>(&item));
        tabText = text;
        vqplatform::ClickControl(d, IDCANCEL);
      }});
      EXPECT_EQ(sheet.DoModal(), IDCANCEL);
      EXPECT_FALSE(saved.empty()) << name;
      EXPECT_TRUE(problems.empty()) << name << ": " << ::testing::PrintToString(problems);
      EXPECT_EQ(caption, captions[language]);
      EXPECT_EQ(tabText, lastTab[language]);
    }
  }
}

}  // namespace
