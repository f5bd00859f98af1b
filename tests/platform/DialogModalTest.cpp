// The dialog manager: modal loops, default and cancel buttons, tab order,
// modeless dialogs, accelerators, popup menus, message boxes and the folder
// browser without a display.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "base/PathEncoding.h"
#include "platform/win/Accelerators.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/FolderBrowser.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/InputFocus.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "platform/win/WindowActivation.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace {

using vqplatform::ModalScript;

const DialogTemplate& Form() {
  static const DialogTemplate form{
      WS_POPUP | DS_SETFONT | DS_MODALFRAME, 0, 0, 0, 160, 80, L"Form", L"MS Shell Dlg", 9,
      {
          {100, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, 7, 7, 80, 14},
          {101, WC_EDIT, L"", WS_TABSTOP, WS_EX_CLIENTEDGE, 7, 25, 80, 14},  // hidden
          {102, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | WS_DISABLED, WS_EX_CLIENTEDGE, 7, 43, 80, 14},
          {103, WC_BUTTON, L"Apply", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 100, 7, 50, 14},
          {IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP, 0, 100, 25, 50, 14},
          {IDCANCEL, WC_BUTTON, L"Cancel", WS_VISIBLE | WS_TABSTOP, 0, 100, 43, 50, 14},
      }};
  return form;
}

// A dialog procedure that ends on every button with the button's id.
INT_PTR EndOnButton(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

LRESULT CALLBACK CountingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, GetWindowLongPtrW(hwnd, GWLP_USERDATA) + 1);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class DialogModalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.lpszClassName = L"DialogModalTestOwner";
    RegisterClassW(&windowClass);
    owner_ = CreateWindowExW(0, L"DialogModalTestOwner", L"", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr, nullptr,
                             nullptr, nullptr);
    vqplatform::ClearMessageBoxLog();
  }
  void TearDown() override {
    DestroyWindow(owner_);
    UnregisterClassW(L"DialogModalTestOwner", nullptr);
  }
  HWND owner_ = nullptr;
};

TEST_F(DialogModalTest, ModalLoopDispatchesPostedMessagesAndDisablesTheOwner) {
  bool ownerEnabledDuring = true;
  ModalScript script({
      [&](HWND) {
        ownerEnabledDuring = IsWindowEnabled(owner_) != FALSE;
        PostMessageW(owner_, WM_APP, 0, 0);
        PostMessageW(owner_, WM_APP, 0, 0);
      },
      [](HWND dialog) { vqplatform::ClickControl(dialog, IDOK); },
  });
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), owner_, EndOnButton, 0), IDOK);
  EXPECT_FALSE(ownerEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_EQ(GetWindowLongPtrW(owner_, GWLP_USERDATA), 2);
}

// Activation moves with the modal dialog and back: the owner saves the
// focus of its control when the dialog comes and gets it back when it goes;
// while it runs, activating the disabled owner activates the dialog.
TEST_F(DialogModalTest, ModalDialogTakesTheActivationAndGivesTheOwnersFocusBack) {
  std::vector<WPARAM> ownerActivations;
  DialogTemplate visible = Form();
  visible.style |= WS_VISIBLE;
  HWND form = vqplatform::CreateDialogFromTemplate(visible, nullptr, [&](HWND, UINT message, WPARAM wParam, LPARAM,
                                                                          LRESULT*) {
    if (message == WM_ACTIVATE) ownerActivations.push_back(LOWORD(wParam));
    return false;
  }, 0);
  ASSERT_NE(form, nullptr);
  HWND apply = GetDlgItem(form, 103);
  SetFocus(apply);
  EXPECT_EQ(GetActiveWindow(), form);
  HWND activeDuring = nullptr, redirected = nullptr;
  ModalScript script({
      [&](HWND dialog) {
        activeDuring = GetActiveWindow();
        redirected = vqplatform::ActivateTopLevel(form, WA_CLICKACTIVE);  // a click on the disabled owner
        vqplatform::ClickControl(dialog, IDOK);
      },
  });
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), form, EndOnButton, 0), IDOK);
  EXPECT_NE(activeDuring, form);
  EXPECT_EQ(redirected, activeDuring);
  EXPECT_EQ(GetActiveWindow(), form);
  EXPECT_EQ(GetFocus(), apply);
  EXPECT_EQ(ownerActivations, (std::vector<WPARAM>{WA_ACTIVE, WA_INACTIVE, WA_ACTIVE}));
  DestroyWindow(form);
  EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST_F(DialogModalTest, QuitEndsTheLoopAndIsPostedAgain) {
  ModalScript script({[](HWND) { PostQuitMessage(3); }});
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), owner_, EndOnButton, 0), -1);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(DialogModalTest, EnterPressesTheDefaultButtonAndEscapeCancels) {
  {
    ModalScript script({[](HWND) { vqplatform::PressKey(VK_RETURN); }});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), owner_, EndOnButton, 0), 103);
  }
  {
    ModalScript script({[](HWND) { vqplatform::PressKey(VK_ESCAPE); }});
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), owner_, EndOnButton, 0), IDCANCEL);
  }
  {
    // Enter on a focused push button presses that one; a disabled cancel
    // button makes Escape do nothing.
    ModalScript script({
        [](HWND dialog) {
          EnableWindow(GetDlgItem(dialog, IDCANCEL), FALSE);
          vqplatform::PressKey(VK_ESCAPE);
        },
        [](HWND dialog) {
          SetFocus(GetDlgItem(dialog, IDOK));
          vqplatform::PressKey(VK_RETURN);
        },
    });
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), owner_, EndOnButton, 0), IDOK);
  }
}

TEST_F(DialogModalTest, TabSkipsHiddenAndDisabledControlsAndWraps) {
  std::vector<int> visited;
  ModalScript script({
      [&](HWND) {
        visited.push_back(GetDlgCtrlID(GetFocus()));
        for (int i = 0; i < 4; ++i) vqplatform::PressKey(VK_TAB);
      },
      [&](HWND) {
        visited.push_back(GetDlgCtrlID(GetFocus()));
        vqplatform::SetKeyDown(VK_SHIFT, true);
        vqplatform::PressKey(VK_TAB);
      },
      [&](HWND dialog) {
        vqplatform::SetKeyDown(VK_SHIFT, false);
        visited.push_back(GetDlgCtrlID(GetFocus()));
        EndDialog(dialog, 9);
      },
  });
  EXPECT_EQ(DialogBoxIndirectParamW(nullptr, &Form(), owner_, EndOnButton, 0), 9);
  EXPECT_EQ(visited, (std::vector<int>{100, 100, IDCANCEL}));
}

TEST_F(DialogModalTest, TemplatesAreFoundByIdAndMissingOnesFail) {
  vqplatform::RegisterDialogTemplate(4711, &Form());
  ModalScript script({[](HWND dialog) { vqplatform::ClickControl(dialog, IDCANCEL); }});
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4711), owner_, EndOnButton, 0), IDCANCEL);
  EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4712), owner_, EndOnButton, 0), -1);
  EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4712), owner_, EndOnButton, 0), nullptr);
}

TEST_F(DialogModalTest, ModelessDialogsLiveUntilDestroyed) {
  DialogTemplate visible = Form();
  visible.style |= WS_VISIBLE;
  HWND dialog = CreateDialogIndirectParamW(nullptr, &visible, owner_, EndOnButton, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_TRUE(IsWindowEnabled(owner_));
  SetDlgItemTextW(dialog, 100, L"42");
  BOOL translated = FALSE;
  EXPECT_EQ(GetDlgItemInt(dialog, 100, &translated, TRUE), 42u);
  EXPECT_TRUE(translated);
  SetDlgItemTextW(dialog, 100, L"4x2");
  GetDlgItemInt(dialog, 100, &translated, TRUE);
  EXPECT_FALSE(translated);
  EXPECT_TRUE(DestroyWindow(dialog));
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogModalTest, AcceleratorsTurnKeysIntoCommands) {
  ACCEL entries[] = {{FVIRTKEY, VK_SPACE, 32774}, {0, L'o', 32778}, {FVIRTKEY | FCONTROL, 'P', 32775}};
  HACCEL table = CreateAcceleratorTableW(entries, 3);
  ASSERT_NE(table, nullptr);
  std::vector<int> commands;
  DialogTemplate visible = Form();
  HWND dialog = vqplatform::CreateDialogFromTemplate(
      visible, nullptr,
      [&](HWND, UINT message, WPARAM wParam, LPARAM, LRESULT*) {
        if (message == WM_COMMAND && HIWORD(wParam) == 1) commands.push_back(LOWORD(wParam));
        return false;
      },
      0);
  MSG space{dialog, WM_KEYDOWN, VK_SPACE, 0, 0, {0, 0}};
  MSG letter{dialog, WM_CHAR, L'o', 0, 0, {0, 0}};
  MSG plainP{dialog, WM_KEYDOWN, 'P', 0, 0, {0, 0}};
  EXPECT_TRUE(TranslateAcceleratorW(dialog, table, &space));
  EXPECT_TRUE(TranslateAcceleratorW(dialog, table, &letter));
  EXPECT_FALSE(TranslateAcceleratorW(dialog, table, &plainP));
  vqplatform::SetKeyDown(VK_CONTROL, true);
  EXPECT_TRUE(TranslateAcceleratorW(dialog, table, &plainP));
  vqplatform::SetKeyDown(VK_CONTROL, false);
  EXPECT_EQ(commands, (std::vector<int>{32774, 32778, 32775}));
  EXPECT_TRUE(DestroyAcceleratorTable(table));
  EXPECT_FALSE(TranslateAcceleratorW(dialog, table, &space));
  DestroyWindow(dialog);
}

TEST_F(DialogModalTest, PopupMenusAreAnsweredByTheHook) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 32786, L"删除");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING | MF_GRAYED, 32787, L"Insert");
  vqplatform::PopupMenuRecord seen{};
  UINT pick = 32786;
  vqplatform::SetPopupMenuAnswer([&](const vqplatform::PopupMenuRecord& record) {
    seen = record;
    return pick;
  });
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 10, 20, 0, owner_, nullptr), 32786);
  ASSERT_EQ(seen.texts.size(), 3u);
  EXPECT_EQ(seen.texts[0], L"删除");
  EXPECT_EQ(seen.where.y, 20);
  pick = 32787;  // grayed: not chosen
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr), 0);
  EnableMenuItem(menu, 32787, MF_ENABLED);
  EXPECT_TRUE(TrackPopupMenu(menu, 0, 0, 0, 0, owner_, nullptr));
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, owner_, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(LOWORD(msg.wParam), 32787);
  vqplatform::SetPopupMenuAnswer(nullptr);
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner_, nullptr), 0);
  std::vector<MenuItemTemplate> table{{MF_POPUP, 0, L"", {{MF_STRING, 5, L"Five", {}}}}};
  vqplatform::RegisterMenuTemplate(147, &table);
  HMENU loaded = LoadMenuW(nullptr, MAKEINTRESOURCEW(147));
  HMENU popup = GetSubMenu(loaded, 0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuItemID(popup, 0), 5u);
  DestroyMenu(loaded);
  DestroyMenu(menu);
}

TEST_F(DialogModalTest, TheLayersPopupMenuIsDrivenByKeysAndClicks) {
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING | MF_GRAYED, 32787, L"插入 Insert");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, 32786, L"删除 Delete");
  AppendMenuW(menu, MF_STRING | MF_CHECKED, 32788, L"Keep sources");
  {
    ModalScript script({[](HWND window) {
      if (const char* folder = std::getenv("VQ_SCREENSHOT_DIR")) {
        vqplatform::PressKey(VK_DOWN);
        vqtest::DispatchQueued();
        vqplatform::RepaintWindowTree(window);
        vqplatform::SaveWindowAsPng(window, std::string(folder) + "/popup_menu.png");
        vqplatform::PressKey(VK_UP);
      }
      vqplatform::PressKey(VK_DOWN);  // the grayed item and the separator are skipped
      vqplatform::PressKey(VK_RETURN);
    }});
    EXPECT_EQ(vqplatform::RunPopupMenu(menu, 40, 50, owner_), 32786u);
  }
  {
    UINT shownAt = 0;
    ModalScript script({[&](HWND window) {
      RECT rect{};
      GetWindowRect(window, &rect);
      shownAt = static_cast<UINT>(rect.left * 1000 + rect.top);
      GetClientRect(window, &rect);
      vqplatform::ClickAt(window, POINT{30, rect.bottom - 8});  // the last row
    }});
    EXPECT_EQ(vqplatform::RunPopupMenu(menu, 40, 50, owner_), 32788u);
    EXPECT_EQ(shownAt, 40050u);
  }
  {
    ModalScript script({[](HWND window) { vqplatform::ClickAt(window, POINT{30, 8}); },  // grayed: stays open
                        [](HWND) { vqplatform::PressKey(VK_ESCAPE); }});
    EXPECT_EQ(vqplatform::RunPopupMenu(menu, 0, 0, owner_), 0u);
    EXPECT_EQ(script.StepsRun(), 2u);
  }
  {
    ModalScript script({[&](HWND) { vqplatform::ClickAt(owner_, POINT{5, 5}); }});
    EXPECT_EQ(vqplatform::RunPopupMenu(menu, 0, 0, owner_), 0u);
  }
  EXPECT_EQ(FindWindowW(L"#32768", nullptr), nullptr);
  DestroyMenu(menu);
}

TEST_F(DialogModalTest, MessageBoxesAreRecordedAndAnswered) {
  EXPECT_EQ(MessageBoxW(owner_, L"Saved", L"", MB_OK | MB_ICONINFORMATION), IDOK);
  EXPECT_EQ(MessageBoxW(owner_, L"Again?", L"Title", MB_YESNO | MB_DEFBUTTON2), IDNO);
  vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord&) { return IDRETRY; });
  EXPECT_EQ(MessageBoxW(nullptr, L"Failed", nullptr, MB_RETRYCANCEL), IDRETRY);
  vqplatform::SetMessageBoxAnswer(nullptr);
  auto log = vqplatform::MessageBoxLog();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[1].caption, L"Title");
  EXPECT_EQ(log[2].text, L"Failed");
}

TEST_F(DialogModalTest, TheLayersMessageBoxDialogAnswersByItsButtons) {
  vqtest::LanguageScope english("en_US.UTF-8");
  {
    std::wstring shown;
    ModalScript script({[&](HWND box) {
      shown = [&] {
        wchar_t text[128] = {};
        GetWindowTextW(GetFocus(), text, 128);
        return std::wstring(text);
      }();
      if (const char* folder = std::getenv("VQ_SCREENSHOT_DIR")) {
        vqplatform::RepaintWindowTree(box);
        vqplatform::SaveWindowAsPng(box, std::string(folder) + "/message_box.png");
      }
      vqplatform::PressKey(VK_RETURN);
    }});
    EXPECT_EQ(vqplatform::RunMessageBoxDialog(owner_, L"文件名不能为空！\nSave the capture anyway?", L"",
                                              MB_YESNOCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION),
              IDNO);
    EXPECT_EQ(shown, L"No");
  }
  {
    ModalScript script({[](HWND) { vqplatform::PressKey(VK_ESCAPE); }});
    EXPECT_EQ(vqplatform::RunMessageBoxDialog(owner_, L"Failed", L"Title", MB_RETRYCANCEL), IDCANCEL);
  }
  {
    // Yes/No has no Cancel: Escape does nothing.
    ModalScript script({[](HWND) { vqplatform::PressKey(VK_ESCAPE); },
                        [](HWND box) { vqplatform::ClickControl(box, IDYES); }});
    EXPECT_EQ(vqplatform::RunMessageBoxDialog(owner_, L"Delete?", L"", MB_YESNO), IDYES);
    EXPECT_EQ(script.StepsRun(), 2u);
  }
  {
    ModalScript script({[](HWND) { vqplatform::PressKey(VK_ESCAPE); }});
    EXPECT_EQ(vqplatform::RunMessageBoxDialog(owner_, L"Done", L"", MB_OK), IDOK);
  }
}

TEST_F(DialogModalTest, TheLayersFolderDialogOpensSubfoldersAndReturnsTheChoice) {
  std::filesystem::path root = vqtest::TempPath("photos");
  std::filesystem::create_directories(root / "2024" / "january");
  std::filesystem::create_directories(root / "scans");
  std::filesystem::create_directories(root / ".hidden");
  vqtest::WriteFile(root / "note.txt", "not a folder");
  auto rowTexts = [](HWND dialog) {
    std::vector<std::wstring> texts;
    HWND list = GetDlgItem(dialog, 101);
    for (int i = 0; i < SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++i) {
      wchar_t text[64] = {};
      LVITEMW item{};
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      texts.push_back(text);
    }
    return texts;
  };
  auto doubleClickRow = [](HWND dialog, int row) {
    HWND list = GetDlgItem(dialog, 101);
    RECT rect{};
    SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(rect.left + 3, (rect.top + rect.bottom) / 2));
  };
  std::vector<std::wstring> first, inside;
  ModalScript script({
      [&](HWND dialog) {
        first = rowTexts(dialog);
        if (const char* folder = std::getenv("VQ_SCREENSHOT_DIR")) {
          vqplatform::RepaintWindowTree(dialog);
          vqplatform::SaveWindowAsPng(dialog, std::string(folder) + "/folder_dialog.png");
        }
        doubleClickRow(dialog, 1);  // "2024"
      },
      [&](HWND dialog) {
        inside = rowTexts(dialog);
        SetDlgItemTextW(dialog, 102, vq::FromFsPath(root / "missing").c_str());
        vqplatform::ClickControl(dialog, IDOK);  // no such folder: stays open
      },
      [&](HWND dialog) {
        SetDlgItemTextW(dialog, 102, vq::FromFsPath(root / "2024" / "january").c_str());
        vqplatform::ClickControl(dialog, IDOK);
      },
  });
  EXPECT_EQ(vqplatform::RunFolderBrowserDialog(owner_, L"选择文件夹", vq::FromFsPath(root)),
            vq::FromFsPath(root / "2024" / "january"));
  EXPECT_EQ(first, (std::vector<std::wstring>{L"..", L"2024", L"scans"}));
  EXPECT_EQ(inside, (std::vector<std::wstring>{L"..", L"january"}));
  ModalScript cancel({[](HWND dialog) { vqplatform::PressKey(VK_ESCAPE), (void)dialog; }});
  EXPECT_EQ(vqplatform::RunFolderBrowserDialog(owner_, L"", vq::FromFsPath(root)), L"");
}

TEST_F(DialogModalTest, FolderBrowserIsAnsweredByTheHook) {
  wchar_t name[MAX_PATH] = {};
  BROWSEINFOW info{owner_, nullptr, name, L"选择文件夹", 0x55, nullptr, 0, 0};
  EXPECT_EQ(SHBrowseForFolderW(&info), nullptr);  // no answer: cancelled
  vqplatform::SetFolderBrowserAnswer([](const vqplatform::FolderBrowserRecord&) { return L"/home/user/Scans/"; });
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  vqplatform::SetFolderBrowserAnswer(nullptr);
  ASSERT_NE(list, nullptr);
  wchar_t path[MAX_PATH] = {};
  EXPECT_TRUE(SHGetPathFromIDListW(list, path));
  EXPECT_STREQ(path, L"/home/user/Scans/");
  EXPECT_STREQ(name, L"Scans");
  std::free(list);
  auto log = vqplatform::FolderBrowserLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].title, L"选择文件夹");
  EXPECT_EQ(log[0].flags, 0x55u);
  vqplatform::ClearFolderBrowserLog();
}

}  // namespace
