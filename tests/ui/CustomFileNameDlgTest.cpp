// The name dialog driven through its window with typed keys and clicks.
#include <gtest/gtest.h>

#include "platform/win/Controls.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/Dialog.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageBox.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/ScreenshotSupport.h"
#include "ui/CustomFileNameDlg.h"

using vqplatform::ModalScript;

namespace {

constexpr int kEdit = 1090;
constexpr int kLabel = 1092;

std::wstring ItemText(HWND dialog, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(dialog, id, text, 256);
  return text;
}

class CustomFileNameDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqres::LoadResources();
    vqplatform::ClearMessageBoxLog();
  }
  void TearDown() override { vqplatform::ClearMessageBoxLog(); }
};

TEST_F(CustomFileNameDlgTest, TypedNameIsAcceptedWithEnter) {
  CCustomFileNameDlg dialog(nullptr, 0, 2);
  std::wstring label;
  ModalScript script({
      [&](HWND d) {
        label = ItemText(d, kLabel);
        EXPECT_EQ(GetFocus(), GetDlgItem(d, kEdit));
        vqplatform::TypeText(L"report 7.v2");
        vqplatform::PressKey(VK_RETURN);
      },
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetName(), L"report 7.v2");
  EXPECT_EQ(label, L"文件名:");
  EXPECT_TRUE(vqplatform::MessageBoxLog().empty());
}

TEST_F(CustomFileNameDlgTest, EveryForbiddenCharacterKeepsTheDialogOpenAndEmptiesTheEdit) {
  for (wchar_t bad : std::wstring(L"\\/:*?<>|")) {
    vqplatform::ClearMessageBoxLog();
    CCustomFileNameDlg dialog(nullptr, 0, 2);
    std::wstring afterRefusal;
    bool openAfterRefusal = false;
    ModalScript script({
        [&](HWND d) {
          (void)d;
          vqplatform::TypeText(std::wstring(L"a") + bad + L"b");
          vqplatform::PressKey(VK_RETURN);
        },
        [&](HWND d) {
          afterRefusal = ItemText(d, kEdit);
          openAfterRefusal = IsWindowVisible(d) && !vqplatform::IsModalDialogEnded(d);
          vqplatform::TypeText(L"fine");
          vqplatform::ClickControl(d, IDOK);
        },
    });
    EXPECT_EQ(dialog.DoModal(), IDOK) << static_cast<char>(bad);
    EXPECT_EQ(afterRefusal, L"") << static_cast<char>(bad);
    EXPECT_TRUE(openAfterRefusal);
    EXPECT_EQ(dialog.GetName(), L"fine");
    auto log = vqplatform::MessageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, L"File name contains unsupported characters, such as \n/ \\ : * ? < > |");
    EXPECT_EQ(log[0].caption, L"");
    EXPECT_EQ(log[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
  }
}

TEST_F(CustomFileNameDlgTest, EmptyNameIsRefusedAndSpacesAreAccepted) {
  CCustomFileNameDlg dialog(nullptr, 0, 1);
  ModalScript script({
      [](HWND d) { vqplatform::ClickControl(d, IDOK); },
      [](HWND d) {
        EXPECT_FALSE(vqplatform::IsModalDialogEnded(d));
        vqplatform::ClickControl(d, kEdit);
      },
      [](HWND d) {
        vqplatform::TypeText(L"   ");
        vqplatform::ClickControl(d, IDOK);
      },
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetName(), L"   ");
  auto log = vqplatform::MessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].text, L"檔案名不能為空!");
  EXPECT_EQ(log[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(CustomFileNameDlgTest, CancelGivesAnEmptyNameByButtonAndByEscape) {
  {
    CCustomFileNameDlg dialog(nullptr, 0, 0);
    ModalScript script({[](HWND d) {
      vqplatform::TypeText(L"typed but cancelled");
      vqplatform::ClickControl(d, IDCANCEL);
    }});
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.GetName(), L"");
  }
  {
    CCustomFileNameDlg dialog(nullptr, 0, 0);
    ModalScript script({[](HWND) {
      vqplatform::TypeText(L"x");
      vqplatform::PressKey(VK_ESCAPE);
    }});
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.GetName(), L"");
  }
}

TEST_F(CustomFileNameDlgTest, WatermarkModeLabelsTheFieldAndTabReachesTheButtons) {
  CCustomFileNameDlg dialog(nullptr, 1, 0);
  std::wstring label;
  ModalScript script({
      [&](HWND d) {
        label = ItemText(d, kLabel);
        vqplatform::TypeText(L"水印");
        vqplatform::PressKey(VK_TAB);
        vqplatform::PressKey(VK_TAB);
      },
      [](HWND d) {
        EXPECT_EQ(GetFocus(), GetDlgItem(d, IDCANCEL));
        vqplatform::PressKey(VK_SPACE);
      },
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(label, L"水印名:");
}

TEST_F(CustomFileNameDlgTest, MessagesFollowTheLanguage) {
  CCustomFileNameDlg simplified(nullptr, 0, 0);
  EXPECT_EQ(simplified.ForbiddenCharacterMessage(), L"文件名中不能包含下列任何字符:\n/ \\ : * ? < > |");
  EXPECT_EQ(simplified.EmptyNameMessage(), L"文件名不能为空！");
  simplified.SetLanguageTexts(1);
  EXPECT_EQ(simplified.ForbiddenCharacterMessage(), L"檔案名中不能包含下列任何字元:\n/ \\ : * ? < > |");
  simplified.SetLanguageTexts(7);
  EXPECT_EQ(simplified.EmptyNameMessage(), L"檔案名不能為空!");
}

TEST_F(CustomFileNameDlgTest, ScreenshotsInAllThreeLanguagesShowTheTemplateLayout) {
  const char* names[] = {"file_name_dialog_zh_cn.png", "file_name_dialog_zh_tw.png", "file_name_dialog_en.png"};
  for (int language = 0; language < 3; ++language) {
    CCustomFileNameDlg dialog(nullptr, 0, language);
    std::string saved;
    RECT client{}, edit{};
    ModalScript script({
        [](HWND) { vqplatform::TypeText(L"Scan 01"); },
        [&](HWND d) {
          saved = vqtest::SaveScreenshot(d, names[language]);
          GetClientRect(d, &client);
          GetWindowRect(GetDlgItem(d, kEdit), &edit);
          POINT origin{0, 0};
          ClientToScreen(d, &origin);
          OffsetRect(&edit, -origin.x, -origin.y);
          vqplatform::ClickControl(d, IDCANCEL);
        },
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_FALSE(saved.empty());
    std::string png = vqtest::ReadFile(saved);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // 246 x 72 dialog units in the 9-point dialog font, edit at 54, 17.
    RECT dialogUnits{0, 0, 246, 72}, editUnits{54, 17, 234, 31};
    HFONT font = vqplatform::CreateDialogFont(L"MS Shell Dlg", 9);
    vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
    DeleteObject(font);
    RECT expected = vqplatform::DialogUnitsToPixels(dialogUnits, base);
    RECT expectedEdit = vqplatform::DialogUnitsToPixels(editUnits, base);
    EXPECT_EQ(client.right, expected.right);
    EXPECT_EQ(client.bottom, expected.bottom);
    EXPECT_EQ(edit.left, expectedEdit.left);
    EXPECT_EQ(edit.top, expectedEdit.top);
  }
}

}  // namespace
