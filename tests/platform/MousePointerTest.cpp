// The pointer: the window under it (window regions count), hover and leave
// tracking, and the test mouse going to the capture window.
#include "platform/win/GdiObjects.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/GdiRegion.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/MousePointer.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "platform/win/WindowSurfaces.h"
#include "tests/support/Windows.h"

namespace {

std::vector<UINT>* g_seen = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_seen && (message == WM_MOUSEHOVER || message == WM_MOUSELEAVE || message == WM_MOUSEMOVE ||
                 message == WM_LBUTTONUP))
    g_seen->push_back(message);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class MousePointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = L"VqPointerTest";
    RegisterClassW(&windowClass);
    top_ = CreateWindowExW(0, L"VqPointerTest", L"top", WS_POPUP | WS_VISIBLE, 100, 100, 300, 200, nullptr, nullptr,
                           nullptr, nullptr);
    left_ = CreateWindowExW(0, L"VqPointerTest", L"", WS_CHILD | WS_VISIBLE, 10, 10, 100, 50, top_, nullptr, nullptr,
                            nullptr);
    right_ = CreateWindowExW(0, L"VqPointerTest", L"", WS_CHILD | WS_VISIBLE, 150, 10, 100, 50, top_, nullptr,
                             nullptr, nullptr);
    g_seen = &seen_;
  }
  void TearDown() override {
    g_seen = nullptr;
    DestroyWindow(top_);
  }
  static void Pump() { vqtest::DispatchQueued(); }
  HWND top_ = nullptr, left_ = nullptr, right_ = nullptr;
  std::vector<UINT> seen_;
};

TEST_F(MousePointerTest, WindowUnderThePointerHonoursWindowRegions) {
  EXPECT_EQ(WindowFromPoint(POINT{100 + 20, 100 + 20}), left_);
  EXPECT_EQ(WindowFromPoint(POINT{100 + 120, 100 + 20}), top_);
  EXPECT_EQ(WindowFromPoint(POINT{5, 5}), nullptr);
  // A round shape leaves its corner to the parent.
  SetWindowRgn(left_, CreateRoundRectRgn(0, 0, 100, 50, 20, 20), FALSE);
  EXPECT_EQ(WindowFromPoint(POINT{100 + 10, 100 + 10}), top_);
  EXPECT_EQ(WindowFromPoint(POINT{100 + 60, 100 + 35}), left_);
}

TEST_F(MousePointerTest, HoverOnceAndLeaveWhenThePointerGoes) {
  vqplatform::MoveMouse(left_, POINT{20, 20});
  Pump();
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_HOVER | TME_LEAVE, left_, 1};
  ASSERT_TRUE(TrackMouseEvent(&track));
  Pump();
  TRACKMOUSEEVENT query{sizeof(TRACKMOUSEEVENT), TME_QUERY, left_, 0};
  ASSERT_TRUE(TrackMouseEvent(&query));
  EXPECT_EQ(query.dwFlags, static_cast<DWORD>(TME_LEAVE));
  vqplatform::MoveMouse(left_, POINT{30, 25});  // still inside: no leave
  Pump();
  vqplatform::MoveMouse(right_, POINT{10, 10});
  Pump();
  EXPECT_EQ(seen_, (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSEHOVER, WM_MOUSEMOVE, WM_MOUSELEAVE, WM_MOUSEMOVE}));
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, 100 + 150 + 10);
  // A cancelled leave request posts nothing.
  seen_.clear();
  TRACKMOUSEEVENT again{sizeof(TRACKMOUSEEVENT), TME_LEAVE, right_, 0};
  TrackMouseEvent(&again);
  TRACKMOUSEEVENT cancel{sizeof(TRACKMOUSEEVENT), TME_CANCEL | TME_LEAVE, right_, 0};
  TrackMouseEvent(&cancel);
  vqplatform::MoveMouse(left_, POINT{20, 20});
  Pump();
  EXPECT_EQ(seen_, (std::vector<UINT>{WM_MOUSEMOVE}));
}

// A window that stopped tracking while it held the capture (a button being
// pressed) hears of the pointer again when the capture ends, so the pointer
// leaving it afterwards is reported.
TEST_F(MousePointerTest, EndOfCaptureBringsAMoveSoLeavingIsReportedAgain) {
  vqplatform::MoveMouse(left_, POINT{20, 20});
  Pump();
  SetCapture(left_);
  seen_.clear();
  ReleaseCapture();
  Pump();
  ASSERT_EQ(seen_, (std::vector<UINT>{WM_MOUSEMOVE}));
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, left_, 0};
  ASSERT_TRUE(TrackMouseEvent(&track));
  vqplatform::MoveMouse(right_, POINT{10, 10});
  Pump();
  EXPECT_EQ(seen_, (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSELEAVE, WM_MOUSEMOVE}));
  // Releasing a capture that is not held sends nothing.
  seen_.clear();
  ReleaseCapture();
  Pump();
  EXPECT_TRUE(seen_.empty());
}

// The display saw the pointer leave the top-level window for somewhere
// else (the news comes through the window's queue): a window inside it that
// tracks the pointer is left, once.
TEST_F(MousePointerTest, PointerLeavingTheTopLevelWindowLeavesTheWindowsInIt) {
  vqplatform::MoveMouse(left_, POINT{20, 20});
  Pump();
  TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, left_, 0};
  ASSERT_TRUE(TrackMouseEvent(&track));
  seen_.clear();
  HWND elsewhere = CreateWindowExW(0, L"VqPointerTest", L"", WS_POPUP | WS_VISIBLE, 600, 100, 50, 50, nullptr,
                                   nullptr, nullptr, nullptr);
  const POINT gone{900, 900};
  vqplatform::PostPointerLeft(elsewhere, gone);  // another window: nothing ends
  Pump();
  EXPECT_TRUE(seen_.empty());
  vqplatform::PostPointerLeft(top_, gone);
  vqplatform::PostPointerLeft(top_, gone);
  Pump();
  EXPECT_EQ(seen_, (std::vector<UINT>{WM_MOUSELEAVE}));
  TRACKMOUSEEVENT query{sizeof(TRACKMOUSEEVENT), TME_QUERY, left_, 0};
  TrackMouseEvent(&query);
  EXPECT_EQ(query.dwFlags, 0u) << "tracking ended with the leave";
  POINT cursor{};
  GetCursorPos(&cursor);
  EXPECT_EQ(cursor.x, gone.x);
  DestroyWindow(elsewhere);
}

TEST_F(MousePointerTest, CaptureTakesTheMouseWhereverItIs) {
  SetCapture(left_);
  vqplatform::ReleaseLeft(right_, POINT{10, 10});
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, left_, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
  // In the capture window's coordinates: right_ is 140 pixels to the right.
  EXPECT_EQ(GET_X_LPARAM(msg.lParam), 150);
  ReleaseCapture();
  TRACKMOUSEEVENT bad{0, TME_LEAVE, left_, 0};
  EXPECT_FALSE(TrackMouseEvent(&bad));
}

}  // namespace
