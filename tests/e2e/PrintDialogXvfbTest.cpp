// The print dialog on a real X server against a private CUPS server: the
// default destination comes preselected, a click picks an instance, the
// copies are typed, OK returns that destination's printer DC and Cancel
// cancels.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/display/Presenter.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/GdiDc.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Printing.h"
#include "platform/win/Window.h"
#include "tests/e2e/XServer.h"
#include "tests/support/CupsServer.h"

namespace {

using namespace std::chrono_literals;

enum { kDestinations = 101, kFile = 103, kCopies = 105 };  // the dialog's controls

HWND WaitForPrintDialog() {
  for (int i = 0; i < 500; ++i) {
    HWND dialog = FindWindowW(WC_DIALOG, L"Print");
    if (dialog && vqplatform::PresentedXWindow(dialog) && vqplatform::FlushPresenter(2000)) return dialog;
    std::this_thread::sleep_for(10ms);
  }
  return nullptr;
}

POINT CentreOnScreen(HWND hwnd, RECT client) {
  POINT centre{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
  ClientToScreen(hwnd, &centre);
  return centre;
}

POINT ControlCentre(HWND dialog, int id) {
  RECT client{};
  GetClientRect(GetDlgItem(dialog, id), &client);
  return CentreOnScreen(GetDlgItem(dialog, id), client);
}

std::wstring RowText(HWND list, int row) {
  wchar_t text[64] = {};
  LVITEMW item{};
  item.pszText = text;
  item.cchTextMax = 64;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return text;
}

// Whatever goes wrong in a driver, the dialog ends, so the test fails
// instead of hanging.
void CancelIfStillOpen() {
  for (int i = 0; i < 500 && FindWindowW(WC_DIALOG, L"Print"); ++i) std::this_thread::sleep_for(10ms);
  if (HWND left = FindWindowW(WC_DIALOG, L"Print"))
    PostMessageW(left, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

class PrintDialogXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override { vqtest::UseXvfbDisplay(); }
  void TearDown() override { vqplatform::StopPresenter(); }
};

TEST_F(PrintDialogXvfbTest, DefaultIsPreselectedAndTheClickedInstanceWithTypedCopiesIsReturned) {
  vqtest::CupsServer cups;
  VQ_SKIP_WITHOUT_CUPS(cups);
  ASSERT_TRUE(cups.AddLetterAndA4Queues());
  ASSERT_TRUE(cups.Command("lpoptions -p VQ_A4/draft -o Resolution=150dpi"));
  ASSERT_TRUE(cups.Command("lpoptions -d VQ_LETTER"));

  std::vector<std::wstring> rows;
  std::wstring preselected;
  std::atomic<bool> fileEnabledForQueue{true};
  std::thread driver([&] {
    vqtest::XServer server;
    HWND dialog = WaitForPrintDialog();
    if (!dialog) return CancelIfStillOpen();
    HWND list = GetDlgItem(dialog, kDestinations);
    for (int i = 0; i < SendMessageW(list, LVM_GETITEMCOUNT, 0, 0); ++i) rows.push_back(RowText(list, i));
    preselected = RowText(list, static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                                               LVNI_SELECTED)));
    fileEnabledForQueue = IsWindowEnabled(GetDlgItem(dialog, kFile)) != FALSE;
    RECT whole{};
    GetWindowRect(dialog, &whole);
    server.Grab(whole).SavePng(vqtest::ScreenshotPath("print-dialog.png"));

    RECT row{};
    SendMessageW(list, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));  // VQ_A4/draft
    server.Click(CentreOnScreen(list, row));
    // Keys go to the window that has the focus when they arrive, which can
    // be before the click on the edit was handled: try again then.
    for (int attempt = 0; attempt < 5 && GetDlgItemInt(dialog, kCopies, nullptr, FALSE) != 2; ++attempt) {
      server.Click(ControlCentre(dialog, kCopies));
      std::this_thread::sleep_for(100ms);
      server.PressKey(XK_End);
      server.PressKey(XK_BackSpace);
      server.Type("2");
      for (int i = 0; i < 100 && GetDlgItemInt(dialog, kCopies, nullptr, FALSE) != 2; ++i)
        std::this_thread::sleep_for(10ms);
    }
    vqplatform::FlushPresenter(2000);
    server.Grab(whole).SavePng(vqtest::ScreenshotPath("print-dialog-chosen.png"));
    server.Click(ControlCentre(dialog, IDOK));
    CancelIfStillOpen();
  });
  PRINTDLGW dialog{};
  dialog.lStructSize = 66;
  dialog.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION;
  dialog.nCopies = 1;
  BOOL accepted = FALSE;
  vqtest::OnFreshThread([&] { accepted = PrintDlgW(&dialog); });
  driver.join();

  EXPECT_EQ(rows, (std::vector<std::wstring>{vqplatform::kFilePrinterName, L"VQ_A4", L"VQ_A4/draft", L"VQ_LETTER"}));
  EXPECT_EQ(preselected, L"VQ_LETTER");
  EXPECT_FALSE(fileEnabledForQueue);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(dialog.nCopies, 2);
  ASSERT_NE(dialog.hDC, nullptr);
  EXPECT_EQ(GetDeviceCaps(dialog.hDC, LOGPIXELSX), 150);          // the instance's resolution
  EXPECT_NEAR(GetDeviceCaps(dialog.hDC, PHYSICALWIDTH), 1240, 1);  // on the queue's A4
  EXPECT_TRUE(vqplatform::DeletePrinterDC(dialog.hDC));

  // Cancel is no failure.
  std::thread canceller([&] {
    vqtest::XServer server;
    if (HWND shown = WaitForPrintDialog()) server.Click(ControlCentre(shown, IDCANCEL));
    CancelIfStillOpen();
  });
  dialog.hDC = nullptr;
  DWORD error = 1;
  vqtest::OnFreshThread([&] {
    accepted = PrintDlgW(&dialog);
    error = CommDlgExtendedError();
  });
  canceller.join();
  EXPECT_FALSE(accepted);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(dialog.hDC, nullptr);
}

}  // namespace
