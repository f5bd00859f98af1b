// The print dialog on a real X server against a private CUPS server: the
// default destination comes preselected, a click picks an instance, the
// copies are typed, OK returns that destination's printer DC; the file
// printer's file can be given; Cancel cancels.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <tuple>
#include <utility>

#include "platform/display/Presenter.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/GdiDc.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Printing.h"
#include "platform/win/Window.h"
#include "tests/e2e/XServer.h"
#include "tests/support/CupsServer.h"

namespace {

using namespace std::chrono_literals;

enum { kDestinations = 101, kFile = 103, kCopies = 105 };  // the dialog's controls

// A user at the dialog: clicks and keys through the X server.
struct User {
  vqtest::XServer server;
  HWND dialog = nullptr;

  bool WaitForDialog() {
    return vqtest::WaitFor([&] {
      dialog = FindWindowW(WC_DIALOG, L"Print");
      return dialog && server.Shows(dialog);
    });
  }
  void ClickAt(HWND hwnd, RECT client) {
    POINT centre{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    ClientToScreen(hwnd, &centre);
    server.Click(centre);
  }
  void ClickControl(int id) { server.ClickControl(dialog, id); }
  // The window of the dialog's thread that has the keyboard focus.
  HWND Focus() {
    HWND focus = nullptr;
    vqtest::OnIdleModalLoop(GetWindowThreadProcessId(dialog, nullptr), [&](HWND) { focus = GetFocus(); });
    return focus;
  }
  void ClickRow(int row) {
    RECT rect{};
    SendDlgItemMessageW(dialog, kDestinations, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&rect));
    ClickAt(GetDlgItem(dialog, kDestinations), rect);
  }
  void Screenshot(const std::string& name) {
    RECT whole{};
    GetWindowRect(dialog, &whole);
    vqplatform::FlushPresenter(2000);
    server.Grab(whole).SavePng(vqtest::ScreenshotPath(name));
  }
};

// Shows the print dialog (on a thread new to libcups) while `user` works it;
// whatever goes wrong there, the dialog ends, so the test fails instead of
// hanging. The result of PrintDlgW, and CommDlgExtendedError after it.
std::pair<BOOL, DWORD> RunPrintDialog(PRINTDLGW* dialog, const std::function<void(User&)>& user) {
  std::thread driver([&] {
    User at;
    if (at.WaitForDialog()) user(at);
    vqtest::WaitFor([] { return !FindWindowW(WC_DIALOG, L"Print"); });
    if (HWND left = FindWindowW(WC_DIALOG, L"Print"))
      PostMessageW(left, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  std::pair<BOOL, DWORD> result{FALSE, 1};
  vqtest::OnFreshThread([&] {
    result.first = PrintDlgW(dialog);
    result.second = CommDlgExtendedError();
  });
  driver.join();
  return result;
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
  bool fileEnabledForQueue = true;
  PRINTDLGW dialog{};
  dialog.lStructSize = 66;
  dialog.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION;
  dialog.nCopies = 1;
  auto [accepted, error] = RunPrintDialog(&dialog, [&](User& user) {
    rows = vqtest::ListRows(GetDlgItem(user.dialog, kDestinations));
    const auto selected =
        SendDlgItemMessageW(user.dialog, kDestinations, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (selected >= 0 && size_t(selected) < rows.size()) preselected = rows[size_t(selected)];
    fileEnabledForQueue = IsWindowEnabled(GetDlgItem(user.dialog, kFile));
    user.Screenshot("print-dialog.png");
    user.ClickRow(2);  // VQ_A4/draft
    // Keys go to the window that has the focus when they arrive: typed
    // once the click has given it to the edit.
    user.ClickControl(kCopies);
    EXPECT_TRUE(vqtest::WaitFor([&] { return user.Focus() == GetDlgItem(user.dialog, kCopies); }));
    user.server.PressKey(XK_End);
    user.server.PressKey(XK_BackSpace);
    user.server.Type("2");
    EXPECT_TRUE(vqtest::WaitFor([&] { return GetDlgItemInt(user.dialog, kCopies, nullptr, FALSE) == 2; }));
    user.Screenshot("print-dialog-chosen.png");
    user.ClickControl(IDOK);
  });
  EXPECT_EQ(rows, (std::vector<std::wstring>{vqplatform::kFilePrinterName, L"VQ_A4", L"VQ_A4/draft", L"VQ_LETTER"}));
  EXPECT_EQ(preselected, L"VQ_LETTER");
  EXPECT_FALSE(fileEnabledForQueue);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(dialog.nCopies, 2);
  ASSERT_NE(dialog.hDC, nullptr);
  EXPECT_EQ(GetDeviceCaps(dialog.hDC, LOGPIXELSX), 150);          // the instance's resolution
  EXPECT_NEAR(GetDeviceCaps(dialog.hDC, PHYSICALWIDTH), 1240, 1);  // on the queue's A4
  EXPECT_TRUE(vqplatform::DeletePrinterDC(dialog.hDC));

  // The file printer asks for its file; Cancel is no failure.
  bool fileEnabledForFilePrinter = false;
  dialog.hDC = nullptr;
  std::tie(accepted, error) = RunPrintDialog(&dialog, [&](User& user) {
    user.ClickRow(0);
    vqtest::WaitFor([&] { return IsWindowEnabled(GetDlgItem(user.dialog, kFile)) != FALSE; });
    fileEnabledForFilePrinter = IsWindowEnabled(GetDlgItem(user.dialog, kFile));
    user.Screenshot("print-dialog-file-printer.png");
    user.ClickControl(IDCANCEL);
  });
  EXPECT_TRUE(fileEnabledForFilePrinter);
  EXPECT_FALSE(accepted);
  EXPECT_EQ(error, 0u);
  EXPECT_EQ(dialog.hDC, nullptr);
}

}  // namespace
