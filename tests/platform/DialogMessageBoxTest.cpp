// The layer's message box: sized to its text, with the standard icon of
// its type and buttons named in the user's language; pictures of a box in
// each of the three languages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Icons.h"
#include "platform/win/MessageBox.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/ui/ScreenshotSupport.h"

namespace {

struct BoxLook {
  RECT window{};
  RECT text{};
  std::wstring caption;
  std::vector<std::wstring> buttons;
  HICON icon = nullptr;
  std::string screenshot;
};

std::wstring TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

// Shows a box, notes what it looks like, and answers with Enter.
BoxLook Show(const std::wstring& text, const wchar_t* caption, UINT type, const std::string& picture = "") {
  BoxLook look;
  vqplatform::ModalScript script({[&](HWND box) {
    GetWindowRect(box, &look.window);
    look.caption = TextOf(box);
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
      wchar_t cls[32] = {};
      GetClassNameW(c, cls, 32);
      DWORD style = static_cast<DWORD>(GetWindowLongW(c, GWL_STYLE));
      if (std::wstring(cls) == WC_BUTTON) look.buttons.push_back(TextOf(c));
      else if ((style & SS_TYPEMASK) == SS_ICON) look.icon = reinterpret_cast<HICON>(SendMessageW(c, STM_GETICON, 0, 0));
      else GetWindowRect(c, &look.text);
    }
    if (!picture.empty()) look.screenshot = vqtest::SaveScreenshot(box, picture);
    vqplatform::PressKey(VK_RETURN);
  }});
  std::wstring title = caption ? caption : vqplatform::DefaultMessageBoxCaption();
  vqplatform::RunMessageBoxDialog(nullptr, text, title, type);
  return look;
}

TEST(DialogMessageBox, ButtonsAndCaptionSpeakTheUsersLanguageBesideTheIconOfTheType) {
  {
    vqtest::LanguageScope language("zh_CN.UTF-8");
    BoxLook look = Show(L"是否保存当前图像？", nullptr, MB_YESNOCANCEL | MB_ICONQUESTION, "message_box_zh_cn.png");
    EXPECT_EQ(look.buttons, (std::vector<std::wstring>{L"是", L"否", L"取消"}));
    EXPECT_EQ(look.caption, L"错误");
    EXPECT_EQ(look.icon, LoadIconW(nullptr, IDI_QUESTION));
    EXPECT_FALSE(look.screenshot.empty());
  }
  {
    vqtest::LanguageScope language("zh_TW.UTF-8");
    BoxLook look = Show(L"文件攝像頭已拔出或接觸不良！", L"", MB_OKCANCEL | MB_ICONWARNING, "message_box_zh_tw.png");
    EXPECT_EQ(look.buttons, (std::vector<std::wstring>{L"確定", L"取消"}));
    EXPECT_EQ(look.caption, L"") << "an empty caption is no missing one";
    EXPECT_EQ(look.icon, LoadIconW(nullptr, IDI_WARNING));
    EXPECT_FALSE(look.screenshot.empty());
  }
  {
    vqtest::LanguageScope language("en_GB.UTF-8");
    BoxLook look = Show(L"The document camera cannot be found.", nullptr, MB_OK | MB_ICONERROR, "message_box_en.png");
    EXPECT_EQ(look.buttons, (std::vector<std::wstring>{L"OK"}));
    EXPECT_EQ(look.caption, L"Error");
    EXPECT_EQ(look.icon, LoadIconW(nullptr, IDI_ERROR));
    EXPECT_FALSE(look.screenshot.empty());
    BoxLook plain = Show(L"Saved.", L"", MB_YESNO | MB_ICONINFORMATION | MB_ICONERROR);
    EXPECT_EQ(plain.buttons, (std::vector<std::wstring>{L"Yes", L"No"}));
  }
}

TEST(DialogMessageBox, TheBoxIsAsWideAsItsTextUpToALimitWhereItWraps) {
  vqtest::LanguageScope language("en_US.UTF-8");
  BoxLook small = Show(L"Done.", L"", MB_OK);
  BoxLook medium = Show(L"The image folder cannot be created; the capture was not saved.", L"", MB_OK);
  std::wstring paragraph;
  for (int i = 0; i < 12; ++i) paragraph += L"Every word of this long notice is shown on some line of the box. ";
  BoxLook large = Show(paragraph, L"", MB_OK | MB_ICONINFORMATION, "message_box_long.png");
  auto width = [](const RECT& r) { return r.right - r.left; };
  // The short box is only as wide as its button row needs.
  EXPECT_LT(width(small.window), 150);
  EXPECT_GT(width(medium.window), width(small.window) + 100);
  EXPECT_LT(width(medium.window), width(large.window));
  // The long text wraps at the limit and grows downwards instead.
  EXPECT_LE(width(large.window), 600);
  EXPECT_GT(large.text.bottom - large.text.top, 6 * (medium.text.bottom - medium.text.top));
  // The text sits right of the icon.
  EXPECT_GE(large.text.left - large.window.left, 32 + 10);
  EXPECT_LT(medium.text.left - medium.window.left, 32);
}

}  // namespace
