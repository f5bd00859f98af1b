// The main window's face on a virtual camera: the three languages, the
// naming and colour radios and the counter, the painted background and the
// minimised icon, the image folder and the camera's stream pages, the
// special model's layout, and the prefix combo box with its editor.
#include <cstdlib>
#include <filesystem>
#include <map>

#include "app/VorquellApp.h"
#include "platform/dshow/Interfaces.h"
#include "platform/win/Clock.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/Shell.h"
#include "platform/win/TestInput.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/vorquell/MainWindowFixture.h"
#include "ui/DialogFileName.h"

namespace {

// A window's rectangle in the client coordinates of `parent`.
RECT PlaceIn(HWND parent, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
  for (POINT& p : corners) ScreenToClient(parent, &p);
  return RECT{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

class MainWindowFace : public vqtest::MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    std::filesystem::create_directories(vqtest::TempDir() / "program" / "icons");
    std::filesystem::copy_file(VQ_ICON_DIR "/128.png", vqtest::TempDir() / "program" / "icons" / "128.png");
  }
  vqtest::OpenMainWindow& StartOnCameraPair() {
    Plug(L"5651", L"d0c0");
    Plug(L"5651", L"d0c1");
    WriteDataFile("5651d0c05651d0c1;");
    return Start();
  }
  std::wstring Text(int id) const {
    wchar_t text[64] = {};
    GetDlgItemTextW(window_->GetSafeHwnd(), id, text, 64);
    return text;
  }
  std::wstring Tooltip(int id) {
    CFxButton& button = window_->Button(id);
    wchar_t text[64] = {};
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.hwnd = button.GetSafeHwnd();
    info.lpszText = text;
    SendMessageW(button.TooltipWindow(), TTM_GETTEXTW, 64, reinterpret_cast<LPARAM>(&info));
    return text;
  }
  // Every control's rectangle in the window's client coordinates.
  std::map<int, CRect> Places() const {
    std::map<int, CRect> places;
    for (HWND c = GetWindow(window_->GetSafeHwnd(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (GetDlgCtrlID(c) > 0) places[GetDlgCtrlID(c)] = CRect(PlaceIn(window_->GetSafeHwnd(), c));
    return places;
  }
  uint32_t Pixel(int x, int y) const {
    vqplatform::RepaintWindowTree(window_->GetSafeHwnd());
    vqplatform::WindowImage image;
    EXPECT_TRUE(vqplatform::ComposeWindowImage(window_->GetSafeHwnd(), &image));
    return image.pixels.at(size_t(y) * image.width + x);
  }
  LRESULT Command(int id, int code = BN_CLICKED) {
    HWND control = GetDlgItem(window_->GetSafeHwnd(), id);
    return SendMessageW(window_->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  }
  void Click(int id) { SendDlgItemMessageW(window_->GetSafeHwnd(), id, BM_CLICK, 0, 0); }
};

TEST_F(MainWindowFace, LanguagesSetTextsTooltipsAndPicturesAndOtherValuesChangeNothing) {
  vqtest::OpenMainWindow& window = StartOnCameraPair();
  EXPECT_EQ(Text(1051), L"视频控制");
  EXPECT_EQ(Text(IDC_CROP_AUTO), L"校正去边");
  EXPECT_EQ(Tooltip(IDC_ROTATE_LEFT), L"左转90°");
  for (int id : kSkinnedButtons) EXPECT_TRUE(window.Button(id).Caption(CFxButton::STATE_NORMAL).IsEmpty()) << id;
  // No pointer came near the buttons: after the tooltips' delay (on the
  // layer's clock, moved by hand) none shows.
  {
    vqplatform::ManualClockScope manual;
    ASSERT_TRUE(vqtest::Settle());
    vqplatform::Clock::Advance(700);
    ASSERT_TRUE(vqtest::Settle());
  }
  for (int id : {IDC_ROTATE_LEFT, IDC_FOCUS}) EXPECT_FALSE(IsWindowVisible(window.Button(id).TooltipWindow())) << id;
  const auto captureLook = [&] {
    vqplatform::WindowImage image;
    vqplatform::RepaintWindowTree(window.GetSafeHwnd());
    vqplatform::ComposeWindowImage(window.Button(IDC_CAPTURE).GetSafeHwnd(), &image);
    return image.pixels;
  };
  const auto simplified = captureLook();
  vqtest::SaveScreenshot(window.GetSafeHwnd(), "main-window-zh-cn.png");

  // Traditional Chinese texts, English tooltips on the five small buttons.
  window.ApplyLanguage(1);
  EXPECT_EQ(Text(1051), L"視訊流控制");
  EXPECT_EQ(Text(IDC_NAME_PREFIX), L"固定首碼");
  EXPECT_EQ(Text(IDC_ONE_PDF), L"保存為多頁PDF檔");
  EXPECT_EQ(Tooltip(IDC_ROTATE_LEFT), L"Rotate 90° left");
  EXPECT_EQ(Tooltip(IDC_SWITCH_CAMERA), L"Change device");
  EXPECT_NE(captureLook(), simplified) << "the capture button shows its Traditional Chinese picture";
  vqtest::SaveScreenshot(window.GetSafeHwnd(), "main-window-zh-tw.png");

  window.ApplyLanguage(2);
  EXPECT_EQ(Text(1051), L"Image control");
  EXPECT_EQ(Text(IDC_COLOR), L"Color");
  EXPECT_EQ(Text(IDC_WINDOW_LABEL), L"Document camera");
  EXPECT_EQ(Tooltip(IDC_ROTATE_RIGHT), L"Rotate 90°CCW");
  EXPECT_EQ(Tooltip(IDC_FOCUS), L"Auto-focus");
  const auto english = captureLook();
  EXPECT_NE(english, simplified);
  window.ApplyLanguage(3);
  EXPECT_EQ(Text(1051), L"Image control");
  EXPECT_EQ(captureLook(), english);
  vqtest::SaveScreenshot(window.GetSafeHwnd(), "main-window-en.png");

  window.LoadMessageTexts(1);
  const CString traditional = window.MessageText(CVorquellDlg::MSG_BARCODE_NOT_NAME);
  window.LoadMessageTexts(0);
  EXPECT_EQ(traditional, window.MessageText(CVorquellDlg::MSG_BARCODE_NOT_NAME));
}

TEST_F(MainWindowFace, NamingAndColourRadiosCounterAndMessagesToTheWindow) {
  WriteSettings("[FILE]\nTypeofImageName=0\n");
  vqtest::OpenMainWindow& window = StartOnCameraPair();
  const HWND hwnd = window.GetSafeHwnd();
  const auto enabled = [&] {
    return std::pair{IsWindowEnabled(GetDlgItem(hwnd, IDC_PREFIX_COMBO)) != FALSE,
                     IsWindowEnabled(GetDlgItem(hwnd, IDC_IMAGE_COUNTER)) != FALSE};
  };
  EXPECT_EQ(IsDlgButtonChecked(hwnd, IDC_NAME_PREFIX), UINT(BST_CHECKED));
  EXPECT_EQ(enabled(), std::pair(true, true));
  Click(IDC_NAME_DATETIME);
  EXPECT_EQ(enabled(), std::pair(false, false));
  Click(IDC_NAME_PREFIX);
  EXPECT_EQ(enabled(), std::pair(true, true));
  Click(IDC_NAME_FREE);
  EXPECT_EQ(enabled(), std::pair(false, false));
  window.UpdateSettingsFromUi();
  EXPECT_EQ(window.settings_.nameType, 2);

  SetDlgItemTextW(hwnd, IDC_IMAGE_COUNTER, L"37");
  EXPECT_EQ(window.settings_.imageIndex, 37);
  EXPECT_EQ(SendMessageW(hwnd, WM_USER + 0x21, 1, 1), 0);
  EXPECT_EQ(Text(IDC_IMAGE_COUNTER), L"37") << "message 1057 does nothing";
  EXPECT_EQ(SendMessageW(hwnd, WM_PREFIX_CHANGED, 0, 0), 0);
  EXPECT_EQ(Text(IDC_IMAGE_COUNTER), L"0");
  EXPECT_EQ(window.settings_.imageIndex, 0);

  for (auto [radio, mode] : {std::pair{IDC_MONO, 2}, {IDC_GRAY, 1}, {IDC_COLOR, 0}}) {
    Click(radio);
    EXPECT_EQ(window.settings_.colorMode, mode);
  }

  // 浏览图像 opens the target folder.
  vqplatform::ClearRecordedShellCalls();
  Click(IDC_BROWSE_IMAGES);
  const auto calls = vqplatform::RecordedShellCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].verb + L" " + calls[0].target, L"explore " + std::wstring(window.settings_.currentFolder));
}

TEST_F(MainWindowFace, BackgroundGroupBoxesMinimisedIconAndStreamPages) {
  vqtest::OpenMainWindow& window = StartOnCameraPair();
  const HWND hwnd = window.GetSafeHwnd();
  const auto places = Places();
  // Between the preview and the right column, and inside the camera group
  // below its buttons.
  const RECT preview = places.at(IDC_PREVIEW_AREA), group = places.at(1051), focus = places.at(IDC_FOCUS);
  EXPECT_EQ(Pixel(preview.right + 2, preview.top + 40), 0xF3F3F3u);
  EXPECT_EQ(Pixel(group.left + 4, (focus.bottom + group.bottom) / 2), 0xEEEEEEu);

  const HICON icon = reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(hwnd, WM_QUERYDRAGICON, 0, 0)), icon);
  // The live preview, a window of another thread, would cover the centre.
  window.DocumentController()->ShowPreview(false);
  ShowWindow(hwnd, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(hwnd));
  RECT client{};
  GetClientRect(hwnd, &client);
  if (client.right > 0 && client.bottom > 0) {
    EXPECT_NE(Pixel(client.right / 2, client.bottom / 2), 0xF3F3F3u) << "the icon, not the background";
  }
  ShowWindow(hwnd, SW_RESTORE);
  window.DocumentController()->ShowPreview(true);

  // Command 1002: the document camera's stream pages, owned by the window.
  HWND owner = nullptr;
  vqplatform::ModalScript script({[&](HWND frame) {
    owner = GetWindow(frame, GW_OWNER);
    vqplatform::ClickControl(frame, IDCANCEL);
  }});
  SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_STREAM_PAGES, 0), 0);
  EXPECT_EQ(script.StepsRun(), 1u);
  EXPECT_EQ(owner, hwnd);
}

TEST_F(MainWindowFace, TheSpecialModelHidesTheRecorderAndMovesTheButtons) {
  vq::dshow::VirtualCameraConfig model;
  model.vendorId = L"2e1a";
  model.productId = L"0106";
  vq::dshow::PlugInVirtualCamera(model);
  WriteDataFile("2e1a01062e1a0107;");
  vqtest::OpenMainWindow& window = Start();
  const HWND hwnd = window.GetSafeHwnd();
  const auto places = Places();
  const auto templatePlace = [&](int left, int top, int width, int height) {
    RECT r{left, top, left + width, top + height};
    MapDialogRect(hwnd, &r);
    return CRect(r);
  };
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, IDC_RECORD)));
  for (int id : {1106, 1042, 1043, 1055}) EXPECT_FALSE(IsWindowVisible(GetDlgItem(hwnd, id))) << id;
  EXPECT_EQ(CRect(places.at(IDC_CAPTURE)), templatePlace(453, 253, 138, 21) + CPoint(0, 6));
  EXPECT_EQ(CRect(places.at(IDC_RECOGNIZE)), templatePlace(453, 325, 138, 21) + CPoint(0, 24));
  EXPECT_EQ(CRect(places.at(IDC_FOCUS)), templatePlace(563, 68, 23, 21) + CPoint(0, -25));
  EXPECT_EQ(CRect(places.at(IDC_CONTINUOUS)), templatePlace(453, 373, 138, 21)) << "not moved";
}

// The prefix combo box and its editor, with the window as the program's main window.
TEST_F(MainWindowFace, PrefixComboTellsTheWindowAndTheEditorReplacesTheList) {
  boxes_.Expect(L"文件名前缀格式不正确！");
  WriteSettings("[FILE]\nTypeofImageName=0\nPRECHOOSE=IMG|DOC|Scan\nPREFIX=DOC\n[IMAGE]\nINDEX=9\n");
  vqtest::OpenMainWindow& window = StartOnCameraPair();
  CWinApp app;
  app.m_pMainWnd = &window;
  const HWND hwnd = window.GetSafeHwnd(), combo = GetDlgItem(hwnd, IDC_PREFIX_COMBO);
  const auto choose = [&](int index) {
    SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
    Command(IDC_PREFIX_COMBO, CBN_SELENDOK);
  };
  const auto entries = [&] {
    std::vector<std::wstring> texts;
    for (int i = 0; i < int(SendMessageW(combo, CB_GETCOUNT, 0, 0)); ++i) {
      wchar_t text[32] = {};
      SendMessageW(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
      texts.push_back(text);
    }
    return texts;
  };
  EXPECT_EQ(entries(), (std::vector<std::wstring>{L"IMG", L"DOC", L"Scan", L"..."}));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);

  choose(1);
  EXPECT_EQ(Text(IDC_IMAGE_COUNTER), L"9") << "the current prefix again: no message";
  choose(2);
  EXPECT_EQ(Text(IDC_IMAGE_COUNTER), L"0");
  window.UpdateSettingsFromUi();
  EXPECT_EQ(window.settings_.prefix, CString(L"Scan"));

  // The editor, cancelled: nothing changes, the chosen prefix stays selected.
  SetDlgItemTextW(hwnd, IDC_IMAGE_COUNTER, L"4");
  vqplatform::ModalScript cancel({[](HWND editor) { vqplatform::ClickControl(editor, IDCANCEL); }});
  choose(3);
  EXPECT_EQ(cancel.StepsRun(), 1u);
  EXPECT_EQ(entries().size(), 4u);
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Text(IDC_IMAGE_COUNTER), L"4");

  // A malformed list keeps the editor open; a shorter list selects the first prefix.
  std::wstring editorText;
  vqplatform::ModalScript edit({
      [&](HWND editor) {
        wchar_t text[64] = {};
        GetDlgItemTextW(editor, 1090, text, 64);
        editorText = text;
        SetDlgItemTextW(editor, 1090, L"A||B");
        vqplatform::ClickControl(editor, IDOK);
      },
      [](HWND editor) {
        SetDlgItemTextW(editor, 1090, L"Front page|Back");
        vqplatform::ClickControl(editor, IDOK);
      },
  });
  choose(3);
  EXPECT_EQ(edit.StepsRun(), 2u);
  EXPECT_EQ(editorText, L"IMG|DOC|Scan");
  EXPECT_EQ(Boxes(), std::vector<std::wstring>{L"文件名前缀格式不正确！"});
  EXPECT_EQ(entries(), (std::vector<std::wstring>{L"Front page", L"Back", L"..."}));
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(Text(IDC_IMAGE_COUNTER), L"0");
  EXPECT_NE(vqtest::ReadFile(vqtest::TempDir() / "program" / "Sys.ini").find("PRECHOOSE=Front page|Back\n"),
            std::string::npos);
  app.m_pMainWnd = nullptr;
}

TEST(PrefixEditor, SplitPrefixesKeepsSpacesAndRejectsEmptyPrefixes) {
  CDialogFileName editor(nullptr, 2);
  editor.listText = L"a b|c|d ";
  ASSERT_TRUE(editor.SplitPrefixes());
  EXPECT_EQ(editor.prefixes, (std::vector<CString>{L"a b", L"c", L"d "}));
  editor.listText = L"one";
  ASSERT_TRUE(editor.SplitPrefixes());
  EXPECT_EQ(editor.prefixes.size(), 1u);
  for (const wchar_t* bad : {L"", L"|a", L"a|", L"a||b", L"|"}) {
    editor.listText = bad;
    EXPECT_FALSE(editor.SplitPrefixes()) << CString(bad).GetString();
  }
  EXPECT_EQ(editor.MalformedMessage(), CString(L"Illegal file name prefix"));
  EXPECT_EQ(CDialogFileName(nullptr, 7).MalformedMessage(), CString(L"文件名前缀格式不正确！"));
}

}  // namespace
