// Windows on a real X server: the file-name dialog typed into and closed
// through X input, the splash window, the window manager's close request.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "app/BrandingData.h"
#include "app/BrandingDataWriter.h"
#include "app/SplashDlg.h"
#include "platform/display/Presenter.h"
#include "platform/win/Dialog.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiLayered.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiPaint.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/Icons.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/TestInput.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "resources/Resources.h"
#include "tests/e2e/XServer.h"
#include "tests/e2e/XServer.h"
#include "ui/CustomFileNameDlg.h"

namespace {

using namespace std::chrono_literals;

using vqtest::LayerImage;
using vqtest::ScreenRectOf;
using vqtest::ShownOnServer;
using vqtest::WaitFor;

class XvfbWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    vqres::LoadResources();
    ASSERT_TRUE(server_.Connected());
  }
  void TearDown() override { vqplatform::StopPresenter(); }
  vqtest::XServer server_;
};

// The headless run of the same dialog: what it shows first, and the name.
struct HeadlessRun {
  vqplatform::WindowImage firstLook;
  CString name;
  INT_PTR result = 0;
};

HeadlessRun RunFileNameDialogHeadless() {
  setenv("VQ_HEADLESS", "1", 1);
  HeadlessRun run;
  CCustomFileNameDlg dialog(nullptr, 0, 2);
  vqplatform::ModalScript script({
      [&](HWND d) { run.firstLook = LayerImage(d); },
      [](HWND d) { vqplatform::ClickControl(d, 1090); },
      [](HWND) { vqplatform::TypeText(L"scan01"); },
      [](HWND d) { vqplatform::ClickControl(d, IDOK); },
  });
  run.result = dialog.DoModal();
  run.name = dialog.GetName();
  unsetenv("VQ_HEADLESS");
  return run;
}

TEST_F(XvfbWindowsTest, FileNameDialogIsTypedIntoAndClosedThroughXInput) {
  HeadlessRun headless = RunFileNameDialogHeadless();
  ASSERT_EQ(headless.result, IDOK);
  ASSERT_EQ(headless.name, CString(L"scan01"));

  std::atomic<HWND> dialogWindow{nullptr};
  std::atomic<bool> driverDone{false};
  size_t differencesFromLayer = SIZE_MAX, differencesFromHeadless = SIZE_MAX, typedDifferences = SIZE_MAX;
  std::thread driver([&] {
    vqtest::XServer server;
    HWND dialog = nullptr;
    // Whatever goes wrong, the dialog ends, so the test fails instead of hanging.
    auto cancelIfOpen = [&] {
      if (WaitFor([&] { return !IsWindow(FindWindowW(WC_DIALOG, nullptr)); })) return;
      WaitFor([&] {  // message boxes first, then the dialog
        PostMessageW(FindWindowW(WC_DIALOG, nullptr), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        std::this_thread::sleep_for(100ms);
        return !IsWindow(FindWindowW(WC_DIALOG, nullptr));
      }, 10000ms);
    };
    if (!WaitFor([&] { return (dialog = FindWindowW(WC_DIALOG, nullptr)) && vqplatform::PresentedXWindow(dialog); })) {
      cancelIfOpen();
      return;
    }
    dialogWindow = dialog;
    vqtest::Screenshot first = ShownOnServer(server, dialog, &differencesFromLayer);
    first.SavePng(vqtest::ScreenshotPath("file-name-dialog.png"));
    differencesFromHeadless = first.CountDifferences(headless.firstLook);

    server.ClickControl(dialog, 1090);
    server.Type("scan01");
    WaitFor([&] { return GetWindowTextLengthW(GetDlgItem(dialog, 1090)) == 6; });
    vqtest::Screenshot typed = ShownOnServer(server, dialog, &typedDifferences);
    typed.SavePng(vqtest::ScreenshotPath("file-name-dialog-typed.png"));
    server.ClickControl(dialog, IDOK);
    driverDone = true;
    cancelIfOpen();
  });
  CCustomFileNameDlg dialog(nullptr, 0, 2);
  INT_PTR result = dialog.DoModal();
  driver.join();

  ASSERT_NE(dialogWindow.load(), nullptr) << "the dialog never reached the X server";
  EXPECT_TRUE(driverDone);
  EXPECT_EQ(differencesFromLayer, 0u) << "the server shows other pixels than the layer drew";
  EXPECT_EQ(differencesFromHeadless, 0u) << "the server shows other pixels than the headless run";
  EXPECT_EQ(typedDifferences, 0u);
  EXPECT_EQ(result, headless.result);
  EXPECT_EQ(std::wstring(static_cast<LPCWSTR>(dialog.GetName())), std::wstring(static_cast<LPCWSTR>(headless.name)));
}

BrandingPicture SplashPicture(int width, int height) {
  BrandingPicture p;
  p.width = width;
  p.height = height;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      bool band = (x / 40 + y / 40) % 2 == 0;
      p.bgr.push_back(static_cast<uint8_t>(band ? 200 : x % 256));
      p.bgr.push_back(static_cast<uint8_t>(band ? 60 : y % 256));
      p.bgr.push_back(static_cast<uint8_t>(band ? 20 : 255 - x % 256));
    }
  return p;
}

TEST_F(XvfbWindowsTest, SplashShowsCentredAndClosesAfterItsSecond) {
  BrandingContent content;
  content.logo = SplashPicture(5, 3);
  content.splash = SplashPicture(400, 240);
  content.cameraList = "1A2B3C4D5E6F7A8B";
  CBrandingData branding;
  ASSERT_EQ(branding.Parse(EncodeBrandingData(content)), 0);

  // Start-up: create, show and update at once; one second later, delete.
  auto splash = std::make_unique<CSplashDlg>(nullptr, branding);
  ASSERT_TRUE(splash->Create(CSplashDlg::IDD, nullptr));
  HWND hwnd = splash->GetSafeHwnd();
  std::atomic<size_t> differences{SIZE_MAX};
  std::atomic<unsigned long> xwindow{0};
  std::thread driver([&] {
    vqtest::XServer server;
    size_t d = SIZE_MAX;
    vqtest::Screenshot shot = ShownOnServer(server, hwnd, &d);
    xwindow = vqplatform::PresentedXWindow(hwnd);
    shot.SavePng(vqtest::ScreenshotPath("splash.png"));
    differences = d;
  });
  splash->ShowWindow(SW_SHOW);
  splash->UpdateWindow();
  Sleep(1000);
  driver.join();
  RECT r = ScreenRectOf(hwnd);
  splash->DestroyWindow();
  splash.reset();

  EXPECT_EQ(r.left, (1920 - 400) / 2);
  EXPECT_EQ(r.top, (1080 - 240) / 2);
  EXPECT_EQ(differences.load(), 0u);
  ASSERT_NE(xwindow.load(), 0u);
  ASSERT_TRUE(vqplatform::FlushPresenter(2000));
  EXPECT_FALSE(server_.IsShown(xwindow));
  vqtest::Screenshot after = server_.Grab(r);
  after.SavePng(vqtest::ScreenshotPath("splash-closed.png"));
}

std::atomic<int> g_closeRequests{0};

LRESULT CALLBACK ClosingWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) ++g_closeRequests;
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(XvfbWindowsTest, WindowManagerCloseRequestArrivesAsWmClose) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ClosingWindowProc;
  wc.lpszClassName = L"VqE2eClosing";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"VqE2eClosing", L"关闭 me", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 300, 200,
                              nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  g_closeRequests = 0;
  ASSERT_TRUE(WaitFor([&] { return vqplatform::PresentedXWindow(hwnd) != 0; }));
  ASSERT_TRUE(vqplatform::FlushPresenter(2000));
  unsigned long xwindow = vqplatform::PresentedXWindow(hwnd);
  server_.RequestClose(xwindow);

  // DefWindowProc destroys the window on WM_CLOSE; its WM_DESTROY quits.
  std::atomic<bool> timedOut{false};
  std::thread watchdog([&] {
    if (!WaitFor([&] { return !IsWindow(hwnd); })) {
      timedOut = true;
      PostMessageW(hwnd, WM_QUIT, 0, 0);
    }
  });
  vqplatform::RunThreadLoop();
  watchdog.join();
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(g_closeRequests.load(), 1);
  EXPECT_FALSE(IsWindow(hwnd));
  ASSERT_TRUE(vqplatform::FlushPresenter(2000));
  EXPECT_FALSE(server_.IsShown(xwindow));
}

TEST_F(XvfbWindowsTest, WindowIconsReachTheWindowManager) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.lpszClassName = L"VqE2eIcon";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, L"VqE2eIcon", L"Icon", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 80, 200, 100, nullptr,
                              nullptr, nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(WaitFor([&] { return vqplatform::PresentedXWindow(hwnd) != 0; }));
  unsigned long xwindow = vqplatform::PresentedXWindow(hwnd);
  ASSERT_TRUE(vqplatform::FlushPresenter(2000));
  EXPECT_TRUE(server_.ReadProperty(xwindow, "_NET_WM_ICON").items.empty());

  HICON big = LoadIconW(nullptr, IDI_WARNING), small = LoadIconW(nullptr, IDI_ERROR);
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  std::vector<long> icon;
  ASSERT_TRUE(WaitFor([&] {
    vqplatform::FlushPresenter(2000);
    icon = server_.ReadProperty(xwindow, "_NET_WM_ICON").items;
    return icon.size() == 2 * (2 + 32 * 32);
  }));
  vqplatform::IconPixels warning, error;
  vqplatform::GetIconPixels(big, &warning);
  vqplatform::GetIconPixels(small, &error);
  EXPECT_EQ(icon[0], 32);
  EXPECT_EQ(icon[1], 32);
  // 32-bit values, widened to long by Xlib.
  EXPECT_EQ(static_cast<uint32_t>(icon[2 + 26 * 32 + 8]), warning.argb[26 * 32 + 8]);
  EXPECT_EQ(static_cast<uint32_t>(icon[2 + 32 * 32 + 2 + 4 * 32 + 16]), error.argb[4 * 32 + 16]);
  // Removing both takes the property away.
  SendMessageW(hwnd, WM_SETICON, ICON_BIG, 0);
  SendMessageW(hwnd, WM_SETICON, ICON_SMALL, 0);
  EXPECT_TRUE(WaitFor([&] {
    vqplatform::FlushPresenter(2000);
    return server_.ReadProperty(xwindow, "_NET_WM_ICON").items.empty();
  }));
  DestroyWindow(hwnd);
}

// Left half in the colour key, right half blue.
LRESULT CALLBACK KeyedWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(hwnd, &paint);
    RECT left{0, 0, 100, 100}, right{100, 0, 200, 100};
    HBRUSH key = CreateSolidBrush(RGB(255, 0, 255)), blue = CreateSolidBrush(RGB(0, 0, 255));
    FillRect(dc, &left, key);
    FillRect(dc, &right, blue);
    DeleteObject(key);
    DeleteObject(blue);
    EndPaint(hwnd, &paint);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST_F(XvfbWindowsTest, LayeredWindowShowsWhatLiesBehindItsColourKey) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = KeyedWindowProc;
  wc.lpszClassName = L"VqE2eKeyed";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(WS_EX_LAYERED, L"VqE2eKeyed", L"", WS_POPUP, 300, 300, 200, 100, nullptr, nullptr,
                              nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(SetLayeredWindowAttributes(hwnd, RGB(255, 0, 255), 255, LWA_COLORKEY));
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  ASSERT_TRUE(WaitFor([&] { return vqplatform::PresentedXWindow(hwnd) != 0; }));
  vqtest::Screenshot shot;
  // The root window behind is black; the keyed half shows it.
  bool shown = WaitFor([&] {
    vqplatform::FlushPresenter(2000);
    shot = server_.Grab(RECT{300, 300, 500, 400});
    return shot.pixels[size_t(50) * 200 + 150] == 0x0000FF && shot.pixels[size_t(50) * 200 + 50] == 0x000000;
  });
  shot.SavePng(vqtest::ScreenshotPath("layered-colour-key.png"));
  EXPECT_TRUE(shown) << std::hex << shot.pixels[size_t(50) * 200 + 50] << " " << shot.pixels[size_t(50) * 200 + 150];
  DestroyWindow(hwnd);
}

TEST_F(XvfbWindowsTest, ChineseTextTypedThroughXReachesTheNameDialog) {
  std::thread driver([&] {
    vqtest::XServer server;
    HWND dialog = nullptr;
    if (WaitFor([&] { return (dialog = FindWindowW(WC_DIALOG, nullptr)) && vqplatform::PresentedXWindow(dialog); })) {
      vqplatform::FlushPresenter(2000);
      server.ClickControl(dialog, 1090);
      server.TypeUnicode(L"扫描");
      server.Type("7");
      WaitFor([&] { return GetWindowTextLengthW(GetDlgItem(dialog, 1090)) == 3; });
      size_t differences = 0;
      ShownOnServer(server, dialog, &differences).SavePng(vqtest::ScreenshotPath("file-name-dialog-chinese.png"));
      server.PressKey(XK_Return);  // the default button
    }
    if (!WaitFor([&] { return !IsWindow(FindWindowW(WC_DIALOG, nullptr)); }))
      PostMessageW(FindWindowW(WC_DIALOG, nullptr), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  CCustomFileNameDlg dialog(nullptr, 0, 0);
  INT_PTR result = dialog.DoModal();
  driver.join();
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(std::wstring(static_cast<LPCWSTR>(dialog.GetName())), L"扫描7");
}

}  // namespace
