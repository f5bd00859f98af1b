// The test kit's pump and its message box rule.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/ModalLoops.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;

TEST(KitPump, EndsAsSoonAsAnotherThreadMakesTheConditionHold) {
  std::atomic<bool> set{false};
  std::thread other([&] {
    std::this_thread::sleep_for(50ms);
    set = true;  // no message: the pump looks again by itself
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(vqtest::Pump([&] { return set.load(); }));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  other.join();
}

TEST(KitPump, EndsAtTheQuitAndKeepsIt) {
  for (int i = 0; i < 3; ++i) PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
  PostQuitMessage(7);
  // The messages before the quit are served; the quit ends the pump, which
  // gives up on its condition, and stays for the loops outside.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(vqtest::Pump([] { return false; }, 30s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
  MSG msg{};
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE) && msg.message == WM_APP);
  EXPECT_TRUE(vqtest::QuitQueued());
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(vqtest::QuitQueued());
}

int g_depthInHandler = -1;

LRESULT DepthProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) g_depthInHandler = vqplatform::ModalLoopDepth();
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

TEST(KitPump, ServesAnotherThreadsSendInsideOneModalLoop) {
  WNDCLASSW c{};
  c.lpfnWndProc = DepthProc;
  c.lpszClassName = L"VqKitPumpTest";
  RegisterClassW(&c);
  HWND window = CreateWindowExW(0, L"VqKitPumpTest", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  std::atomic<bool> answered{false};
  std::thread other([&] {
    SendMessageW(window, WM_APP, 0, 0);
    answered = true;
  });
  EXPECT_TRUE(vqtest::Pump([&] { return answered.load(); }));
  other.join();
  EXPECT_EQ(g_depthInHandler, 1);
  DestroyWindow(window);
}

TEST(KitPump, GivesUpAtItsLimit) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(vqtest::Pump([] { return false; }, 100ms));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 100ms);
}

TEST(ExpectedBoxes, AnswersTheBoxTheTestNamesByItsText) {
  vqtest::ExpectedBoxes boxes;
  boxes.Expect(L"保存吗？", IDNO);
  EXPECT_EQ(MessageBoxW(nullptr, L"保存吗？", L"Vorquell", MB_YESNO), IDNO);
  EXPECT_EQ(boxes.Shown(L"保存吗？"), 1);
  EXPECT_TRUE(boxes.Unexpected().empty());
}

TEST(ExpectedBoxes, AnUnexpectedBoxFailsTheTestWithItsText) {
  EXPECT_NONFATAL_FAILURE(
      {
        vqtest::ExpectedBoxes boxes;
        boxes.Expect(L"已保存");
        // Answered with its default button, and failed at the rule's end.
        EXPECT_EQ(MessageBoxW(nullptr, L"磁盘已满，无法保存", L"Vorquell", MB_OKCANCEL), IDOK);
      },
      "an unexpected message box: 磁盘已满，无法保存");
}

TEST(ExpectedBoxes, ABoxNamedByTheStartOfItsText) {
  vqtest::ExpectedBoxes boxes;
  boxes.ExpectStarting(L"无法打开文件", IDCANCEL);
  EXPECT_EQ(MessageBoxW(nullptr, L"无法打开文件 /tmp/a.jpg", L"", MB_OKCANCEL), IDCANCEL);
  EXPECT_TRUE(boxes.Unexpected().empty());
}

}  // namespace
