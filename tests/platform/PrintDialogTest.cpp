// The layer's print dialog driven headless: the file printer's target,
// what OK refuses, and what it returns.
#include <gtest/gtest.h>

#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Printing.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"

namespace {

using vqplatform::ModalScript;
enum { kDestinations = 101, kFile = 103, kCopies = 105 };

void ClickRow(HWND dialog, int row) {
  HWND list = GetDlgItem(dialog, kDestinations);
  RECT rect{};
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  vqplatform::ClickAt(list, POINT{rect.left + 3, (rect.top + rect.bottom) / 2});
}

TEST(PrintDialog, FilePrinterNeedsATargetAndCopiesMustBeACount) {
  std::vector<vqplatform::PrintDestination> destinations(3);
  destinations[0].name = vqplatform::kFilePrinterName;
  destinations[0].isFile = true;
  destinations[1].name = destinations[2].name = L"office";
  destinations[2].instance = L"duplex";
  vqtest::WriteFile(vqtest::TempPath("home/print.pdf"), "an earlier print");

  vqplatform::PrintDialogChoice choice;
  choice.printer = L"office";
  choice.instance = L"duplex";
  choice.copies = 3;
  bool fileEnabledAtStart = true, fileEnabledForFilePrinter = false;
  std::wstring offeredFile;
  ModalScript script({
      [&](HWND dialog) {
        EXPECT_EQ(SendDlgItemMessageW(dialog, kDestinations, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED),
                  2);
        EXPECT_EQ(GetDlgItemInt(dialog, kCopies, nullptr, FALSE), 3u);
        fileEnabledAtStart = IsWindowEnabled(GetDlgItem(dialog, kFile));
        ClickRow(dialog, 0);
      },
      [&](HWND dialog) {
        fileEnabledForFilePrinter = IsWindowEnabled(GetDlgItem(dialog, kFile));
        wchar_t file[MAX_PATH] = {};
        GetDlgItemTextW(dialog, kFile, file, MAX_PATH);
        offeredFile = file;
        SetDlgItemTextW(dialog, kFile, L"");
        vqplatform::ClickControl(dialog, IDOK);  // no target: stays open
      },
      [&](HWND dialog) {
        SetDlgItemTextW(dialog, kFile, L"/tmp/out.pdf");
        SetDlgItemTextW(dialog, kCopies, L"0");
        vqplatform::ClickControl(dialog, IDOK);  // no copies: stays open
      },
      [&](HWND dialog) {
        SetDlgItemTextW(dialog, kCopies, L"2");
        vqplatform::ClickControl(dialog, IDOK);
      },
  });
  ASSERT_TRUE(vqplatform::RunPrintDialog(nullptr, destinations, &choice));
  EXPECT_EQ(script.StepsRun(), 4u);
  EXPECT_FALSE(fileEnabledAtStart);
  EXPECT_TRUE(fileEnabledForFilePrinter);
  EXPECT_EQ(offeredFile, (vqtest::TempPath("home") / "print_1.pdf").wstring());  // print.pdf is taken
  EXPECT_EQ(choice.printer, vqplatform::kFilePrinterName);
  EXPECT_EQ(choice.instance, L"");
  EXPECT_EQ(choice.copies, 2);
  EXPECT_EQ(choice.outputFile, "/tmp/out.pdf");

  // Cancel leaves the choice as it was.
  ModalScript cancel({[](HWND dialog) { vqplatform::ClickControl(dialog, IDCANCEL); }});
  EXPECT_FALSE(vqplatform::RunPrintDialog(nullptr, destinations, &choice));
  EXPECT_EQ(choice.copies, 2);
}

}  // namespace
