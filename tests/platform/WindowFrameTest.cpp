// A top-level window's rectangle is its frame's once the window manager's
// frame is known, as on Windows: a dialog keeps its template's client size
// inside it, moves and sizes place the frame, and a frame told late or
// changed by the window manager keeps GetWindowRect, GetClientRect, WM_MOVE
// and WM_SIZE in step.
#include <gtest/gtest.h>

#include "platform/display/FrameMemory.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"
#include "tests/support/Windows.h"

namespace {

using vqtest::MessageLog;

// A window manager's frame: 4 on the sides, a 22-pixel title bar, 6 below.
constexpr RECT kFrame{4, 22, 4, 6};

const DialogTemplate kBox{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, 30, 40, 160, 80,
                          L"Box", L"MS Shell Dlg", 9,
                          {{IDOK, WC_BUTTON, L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 55, 60, 50, 14}}};

using vqtest::ScreenRectOf;

SIZE ClientSizeOf(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return SIZE{r.right, r.bottom};
}

// A box whose messages the log records.
HWND LoggedBox() {
  HWND box = vqplatform::CreateDialogFromTemplate(kBox, nullptr, nullptr, 0);
  SetWindowLongPtrW(box, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageLog::Procedure));
  MessageLog::Clear();
  return box;
}

class WindowFrameTest : public ::testing::Test {
 protected:
  void SetUp() override { vqtest::RegisterTestClass(); }
  void TearDown() override {
    vqplatform::ForgetFrames();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
};

TEST_F(WindowFrameTest, KnownFrameSurroundsTheTemplatesClientAreaAndMovesAndSizesPlaceIt) {
  HWND bare = vqplatform::CreateDialogFromTemplate(kBox, nullptr, nullptr, 0);
  const RECT bareWindow = ScreenRectOf(bare);
  const SIZE client = ClientSizeOf(bare);
  EXPECT_EQ(bareWindow.right - bareWindow.left, client.cx) << "without a frame the window is its client area";
  DestroyWindow(bare);

  vqplatform::RememberFrame(vqplatform::WindowLook{kBox.style, WS_EX_CONTROLPARENT, false, WC_DIALOG, RECT{}}, kFrame);
  HWND box = LoggedBox();
  RECT window = ScreenRectOf(box);
  EXPECT_EQ(window.left, bareWindow.left);
  EXPECT_EQ(window.top, bareWindow.top);
  EXPECT_EQ(window.right - window.left, client.cx + 8);
  EXPECT_EQ(window.bottom - window.top, client.cy + 28);
  EXPECT_EQ(ClientSizeOf(box).cx, client.cx);
  POINT origin{0, 0};
  ClientToScreen(box, &origin);
  EXPECT_EQ(origin.x, window.left + 4);
  EXPECT_EQ(origin.y, window.top + 22);

  // Moved by its window rectangle: WM_MOVE tells the client area's corner.
  const int width = window.right - window.left, height = window.bottom - window.top;
  ASSERT_TRUE(MoveWindow(box, 200, 100, width, height, TRUE));
  EXPECT_EQ(ScreenRectOf(box).left, 200);
  EXPECT_EQ(MessageLog::Count(WM_SIZE, box), 0u);
  auto moves = MessageLog::Only({WM_MOVE});
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].lParam, MAKELPARAM(204, 122));

  // Widened by 100: the client area takes all of it.
  MessageLog::Clear();
  SetWindowPos(box, nullptr, 0, 0, width + 100, height, SWP_NOMOVE | SWP_NOZORDER);
  auto sizes = MessageLog::Only({WM_SIZE});
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].lParam, MAKELPARAM(client.cx + 100, client.cy));
  // Smaller than its frame: an empty client area, not a negative one.
  SetWindowPos(box, nullptr, 0, 0, 5, 10, SWP_NOMOVE | SWP_NOZORDER);
  EXPECT_EQ(ClientSizeOf(box).cx, 0);
  EXPECT_EQ(ClientSizeOf(box).cy, 0);
  DestroyWindow(box);
}

TEST_F(WindowFrameTest, FrameToldLateOrChangedByTheWindowManagerKeepsTheRectanglesInStep) {
  HWND box = LoggedBox();  // the frame not known yet, as for the first window
  const RECT before = ScreenRectOf(box);
  const SIZE client = ClientSizeOf(box);

  // Told before the window shows: the corner stays, the client area moves in.
  vqplatform::ApplyWindowFrame(box, kFrame);
  RECT window = ScreenRectOf(box);
  EXPECT_EQ(window.left, before.left);
  EXPECT_EQ(window.top, before.top);
  EXPECT_EQ(window.bottom, before.bottom + 28);
  EXPECT_EQ(ClientSizeOf(box).cx, client.cx);
  auto moves = MessageLog::Only({WM_MOVE});
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].lParam, MAKELPARAM(before.left + 4, before.top + 22));
  EXPECT_EQ(MessageLog::Count(WM_SIZE, box), 0u);

  // Maximised by the window manager, which then draws only a title bar.
  MessageLog::Clear();
  const RECT maximisedFrame{0, 19, 0, 0};
  vqplatform::ApplySystemPlacement(box, RECT{0, 19, 1280, 1000}, WS_MAXIMIZE, WS_MAXIMIZE, &maximisedFrame);
  window = ScreenRectOf(box);
  EXPECT_EQ(window.top, 0);
  EXPECT_EQ(window.bottom, 1000);
  auto sizes = MessageLog::Only({WM_SIZE});
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  EXPECT_EQ(sizes[0].lParam, MAKELPARAM(1280, 981));
  DestroyWindow(box);
}

}  // namespace
