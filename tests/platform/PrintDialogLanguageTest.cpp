// The layer's print dialog speaks the user's language, as its message boxes
// and the camera's property frame do: caption, labels, buttons and the file
// printer's row, in Simplified and Traditional Chinese and in English; the
// CUPS queues keep their names. Pictures of it in each language. Return and
// Esc end it as OK and Cancel do.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Printing.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"
#include "tests/ui/ScreenshotSupport.h"

namespace {

enum { kDestinationsLabel = 100, kDestinations, kFileLabel, kFile, kCopiesLabel, kCopies };

std::wstring TextOf(HWND hwnd) {
  wchar_t text[256] = {};
  GetWindowTextW(hwnd, text, 256);
  return text;
}

struct PrintLook {
  std::vector<std::wstring> texts;  // caption, the three labels, OK, Cancel
  std::vector<std::wstring> rows;
  std::string screenshot;
};

// Shows the dialog in `lang`, notes its words and ends it with `key`.
PrintLook Show(const char* lang, int key, bool* printed, vqplatform::PrintDialogChoice* choice) {
  vqtest::LanguageScope language(lang);
  std::vector<vqplatform::PrintDestination> destinations(2);
  destinations[0].name = vqplatform::kFilePrinterName;
  destinations[0].isFile = true;
  destinations[1].name = L"VQ_A4";
  PrintLook look;
  vqplatform::ModalScript script({[&](HWND dialog) {
    look.texts.push_back(TextOf(dialog));
    for (int id : {int(kDestinationsLabel), int(kFileLabel), int(kCopiesLabel), IDOK, IDCANCEL})
      look.texts.push_back(TextOf(GetDlgItem(dialog, id)));
    look.rows = vqtest::ListRows(GetDlgItem(dialog, kDestinations));
    const std::string locale = lang;
    look.screenshot = vqtest::SaveScreenshot(dialog, "print_dialog_" + locale.substr(0, locale.find('.')) + ".png");
    vqplatform::PressKey(key);
  }});
  choice->outputFile = vqtest::TempPath("print.pdf").string();
  *printed = vqplatform::RunPrintDialog(nullptr, destinations, choice);
  return look;
}

TEST(PrintDialogLanguage, SpeaksTheUsersLanguageAndEndsByReturnAndEsc) {
  struct Expected {
    const char* lang;
    std::vector<std::wstring> texts;
    std::wstring filePrinter;
  };
  const Expected languages[] = {
      {"zh_CN.UTF-8", {L"打印", L"打印机:", L"文件:", L"份数:", L"确定", L"取消"}, L"PDF 文件"},
      {"zh_TW.UTF-8", {L"列印", L"印表機:", L"檔案:", L"份數:", L"確定", L"取消"}, L"PDF 檔案"},
      {"en_US.UTF-8", {L"Print", L"Printer:", L"File:", L"Number of copies:", L"OK", L"Cancel"}, L"PDF file"},
  };
  for (const Expected& expected : languages) {
    SCOPED_TRACE(expected.lang);
    bool printed = false;
    vqplatform::PrintDialogChoice choice;
    PrintLook look = Show(expected.lang, VK_RETURN, &printed, &choice);
    EXPECT_EQ(look.texts, expected.texts);
    EXPECT_EQ(look.rows, (std::vector<std::wstring>{expected.filePrinter, L"VQ_A4"}));
    EXPECT_FALSE(look.screenshot.empty());
    EXPECT_TRUE(printed) << "Return is OK";
    EXPECT_EQ(choice.printer, vqplatform::kFilePrinterName) << "the row's words are not the printer's name";
    vqplatform::PrintDialogChoice cancelled;
    Show(expected.lang, VK_ESCAPE, &printed, &cancelled);
    EXPECT_FALSE(printed) << "Esc is Cancel";
  }
}

}  // namespace
