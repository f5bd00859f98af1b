// The display's input, headless: what the presenter hands over for a
// top-level window reaches the right window of the owning thread as the
// messages of a user's mouse and keyboard.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/display/Cursors.h"
#include "platform/display/InputDelivery.h"
#include "platform/win/Controls.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/Windows.h"

namespace {

using vqplatform::MouseAction;
using vqplatform::MouseInput;

struct Seen {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message >= WM_MOUSEMOVE && message <= WM_MOUSEWHEEL) || message == WM_KEYDOWN || message == WM_KEYUP ||
      message == WM_CHAR || message == WM_SETCURSOR || message == WM_COMMAND)
    g_seen.push_back(Seen{hwnd, message, wParam, lParam});
  if (message == WM_SETCURSOR && GetWindowLongPtrW(hwnd, GWLP_USERDATA) == 1) {
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

class DisplayInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_seen.clear();
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = L"VqDisplayInputTest";
    RegisterClassW(&wc);
    wc.style = 0;
    wc.lpszClassName = L"VqDisplayInputTestPlain";
    RegisterClassW(&wc);
    top_ = CreateWindowExW(0, L"VqDisplayInputTest", L"top", WS_POPUP | WS_VISIBLE, 100, 50, 400, 300, nullptr,
                           nullptr, nullptr, nullptr);
    left_ = CreateWindowExW(0, L"VqDisplayInputTest", L"", WS_CHILD | WS_VISIBLE, 10, 10, 100, 100, top_,
                            reinterpret_cast<HMENU>(1), nullptr, nullptr);
    plain_ = CreateWindowExW(0, L"VqDisplayInputTestPlain", L"", WS_CHILD | WS_VISIBLE, 200, 10, 100, 100, top_,
                             reinterpret_cast<HMENU>(2), nullptr, nullptr);
    vqtest::DispatchQueued();
    g_seen.clear();
  }
  void TearDown() override {
    ReleaseCapture();
    SetFocus(nullptr);
    DestroyWindow(top_);
  }

  void Mouse(MouseAction action, POINT screen, DWORD time = 0, int button = 1) {
    MouseInput in;
    in.action = action;
    in.button = button;
    in.screen = screen;
    in.timeMs = time;
    vqplatform::DeliverMouse(top_, in);
    vqtest::DispatchQueued();
  }
  std::vector<Seen> Take(UINT message) {
    std::vector<Seen> found;
    for (const Seen& s : g_seen)
      if (s.message == message) found.push_back(s);
    return found;
  }

  HWND top_ = nullptr, left_ = nullptr, plain_ = nullptr;
};

TEST_F(DisplayInputTest, PressGoesToTheChildUnderThePointerInItsClientCoordinates) {
  Mouse(MouseAction::Press, POINT{100 + 10 + 30, 50 + 10 + 40});
  Mouse(MouseAction::Release, POINT{100 + 10 + 30, 50 + 10 + 40});
  auto down = Take(WM_LBUTTONDOWN), up = Take(WM_LBUTTONUP);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(down[0].hwnd, left_);
  EXPECT_EQ(GET_X_LPARAM(down[0].lParam), 30);
  EXPECT_EQ(GET_Y_LPARAM(down[0].lParam), 40);
  EXPECT_TRUE(down[0].wParam & MK_LBUTTON);
  ASSERT_EQ(up.size(), 1u);
  EXPECT_FALSE(up[0].wParam & MK_LBUTTON);
  // Between the children the top-level window itself takes it.
  Mouse(MouseAction::Press, POINT{100 + 150, 50 + 200}, 5000, 3);
  auto right = Take(WM_RBUTTONDOWN);
  ASSERT_EQ(right.size(), 1u);
  EXPECT_EQ(right[0].hwnd, top_);
}

TEST_F(DisplayInputTest, SecondQuickPressIsADoubleClickOnlyForClassesThatAskForIt) {
  POINT onLeft{130, 80}, onPlain{330, 80};
  Mouse(MouseAction::Press, onLeft, 1000);
  Mouse(MouseAction::Release, onLeft, 1050);
  Mouse(MouseAction::Press, onLeft, 1200);
  EXPECT_EQ(Take(WM_LBUTTONDBLCLK).size(), 1u);
  // A third press starts over.
  Mouse(MouseAction::Press, onLeft, 1300);
  EXPECT_EQ(Take(WM_LBUTTONDBLCLK).size(), 1u);
  // Too slow: two single presses.
  Mouse(MouseAction::Press, onLeft, 5000);
  Mouse(MouseAction::Press, onLeft, 5000 + 501);
  EXPECT_EQ(Take(WM_LBUTTONDBLCLK).size(), 1u);
  g_seen.clear();
  Mouse(MouseAction::Press, onPlain, 9000);
  Mouse(MouseAction::Press, onPlain, 9100);
  EXPECT_EQ(Take(WM_LBUTTONDBLCLK).size(), 0u);
  EXPECT_EQ(Take(WM_LBUTTONDOWN).size(), 2u);
}

TEST_F(DisplayInputTest, CaptureTakesTheMouseAnywhere) {
  SetCapture(left_);
  Mouse(MouseAction::Move, POINT{100 + 390, 50 + 290});
  auto moves = Take(WM_MOUSEMOVE);
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].hwnd, left_);
  EXPECT_EQ(GET_X_LPARAM(moves[0].lParam), 390 - 10);
  EXPECT_EQ(GET_Y_LPARAM(moves[0].lParam), 290 - 10);
}

TEST_F(DisplayInputTest, DisabledWindowsTakeNoInput) {
  EnableWindow(left_, FALSE);
  Mouse(MouseAction::Press, POINT{130, 80});
  EXPECT_TRUE(Take(WM_LBUTTONDOWN).empty());
  EnableWindow(left_, TRUE);
  EnableWindow(top_, FALSE);  // the owner of a modal dialog
  Mouse(MouseAction::Press, POINT{130, 80});
  vqplatform::DeliverKey(top_, 'A', true, L"a");
  vqtest::DispatchQueued();
  EXPECT_TRUE(g_seen.empty());
  EnableWindow(top_, TRUE);
}

TEST_F(DisplayInputTest, KeysAndTextGoToTheFocusedWindow) {
  SetFocus(plain_);
  vqplatform::DeliverKey(top_, 'A', true, L"a");
  vqplatform::DeliverKey(top_, 0, true, L"中文");  // an input method's text
  vqplatform::DeliverKey(top_, VK_DELETE, true, L"\x7f");
  vqplatform::DeliverKey(top_, 'A', false, L"");
  vqtest::DispatchQueued();
  auto chars = Take(WM_CHAR);
  ASSERT_EQ(chars.size(), 3u);
  EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>(L'a'));
  EXPECT_EQ(chars[1].wParam, static_cast<WPARAM>(L'中'));
  EXPECT_EQ(chars[2].wParam, static_cast<WPARAM>(L'文'));
  for (const Seen& s : g_seen) EXPECT_EQ(s.hwnd, plain_);
  auto downs = Take(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 2u);
  EXPECT_EQ(downs[1].wParam, static_cast<WPARAM>(VK_DELETE));
  EXPECT_EQ(Take(WM_KEYUP).size(), 1u);
  // Without a focus inside the window, the window itself.
  SetFocus(nullptr);
  g_seen.clear();
  vqplatform::DeliverKey(top_, VK_RETURN, true, L"\r");
  vqtest::DispatchQueued();
  ASSERT_EQ(Take(WM_CHAR).size(), 1u);
  EXPECT_EQ(Take(WM_CHAR)[0].hwnd, top_);
}

// A busy window's thread falls behind the display: each input still goes
// where the input before it left the capture and the focus.
TEST_F(DisplayInputTest, InputAheadOfTheWindowGoesWhereTheInputBeforeItLeftCaptureAndFocus) {
  vqplatform::RegisterStandardControls();
  auto child = [&](const wchar_t* cls, int x, int id) {
    return CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE, x, 150, 80, 30, top_, reinterpret_cast<HMENU>(id),
                           nullptr, nullptr);
  };
  HWND first = child(WC_BUTTON, 10, 11);
  child(WC_BUTTON, 110, 12);
  HWND field = child(WC_EDIT, 210, 13);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(field, nullptr);
  vqtest::DispatchQueued();
  g_seen.clear();
  auto deliver = [&](MouseAction action, int x) {
    MouseInput in;
    in.action = action;
    in.screen = POINT{100 + x, 50 + 165};
    vqplatform::DeliverMouse(top_, in);
  };
  // The window handles the first press, and with it takes the capture,
  // before the display hands over the rest of this click and all the next.
  deliver(MouseAction::Move, 50);
  deliver(MouseAction::Press, 50);
  MSG msg{};
  while (msg.message != WM_LBUTTONDOWN && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  ASSERT_EQ(GetCapture(), first);
  deliver(MouseAction::Release, 50);
  for (int x : {150, 250}) {
    deliver(MouseAction::Move, x);
    deliver(MouseAction::Press, x);
    deliver(MouseAction::Release, x);
  }
  vqplatform::DeliverKey(top_, 'X', true, L"x");  // typed into the field just clicked
  vqtest::DispatchQueued();
  std::vector<int> clicked;
  for (const Seen& s : Take(WM_COMMAND))
    if (HIWORD(s.wParam) == BN_CLICKED) clicked.push_back(LOWORD(s.wParam));
  EXPECT_EQ(clicked, (std::vector<int>{11, 12}));
  EXPECT_EQ(GetFocus(), field);
  wchar_t text[8] = {};
  GetWindowTextW(field, text, 8);
  EXPECT_STREQ(text, L"x");
}

TEST_F(DisplayInputTest, WheelTurnsTheFocusedWindowWithScreenCoordinates) {
  SetFocus(left_);
  Mouse(MouseAction::WheelDown, POINT{330, 80});
  auto wheel = Take(WM_MOUSEWHEEL);
  ASSERT_EQ(wheel.size(), 1u);
  EXPECT_EQ(wheel[0].hwnd, left_);
  EXPECT_EQ(static_cast<short>(HIWORD(wheel[0].wParam)), -120);
  EXPECT_EQ(GET_X_LPARAM(wheel[0].lParam), 330);
}

TEST_F(DisplayInputTest, PointerMovesSetTheCursorThroughWmSetCursor) {
  SetWindowLongPtrW(left_, GWLP_USERDATA, 1);  // asks for the hand
  Mouse(MouseAction::Move, POINT{130, 80});
  EXPECT_EQ(vqplatform::SystemCursorId(GetCursor()), 32649);
  Mouse(MouseAction::Move, POINT{330, 80});  // no answer: the arrow
  EXPECT_EQ(vqplatform::SystemCursorId(GetCursor()), 32512);
  POINT at{};
  GetCursorPos(&at);
  EXPECT_EQ(at.x, 330);
  EXPECT_EQ(at.y, 80);
}

TEST(DisplayCursors, OnlySystemCursorsLoad) {
  EXPECT_NE(LoadCursorW(nullptr, IDC_CROSS), nullptr);
  EXPECT_NE(LoadCursorW(nullptr, IDC_SIZENWSE), LoadCursorW(nullptr, IDC_SIZENESW));
  EXPECT_EQ(LoadCursorW(nullptr, MAKEINTRESOURCEW(12345)), nullptr);
  EXPECT_EQ(LoadCursorW(reinterpret_cast<HINSTANCE>(1), IDC_ARROW), nullptr);
  EXPECT_EQ(LoadCursorW(nullptr, L"custom"), nullptr);
}

TEST(DisplayKeys, KeySymbolsMapToVirtualKeys) {
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_a), 'A');
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_Z), 'Z');
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_7), '7');
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_F12), VK_F1 + 11);
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_Return), VK_RETURN);
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_ISO_Left_Tab), VK_TAB);
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_Down), VK_DOWN);
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_Page_Down), VK_NEXT);
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(XK_Shift_R), VK_SHIFT);
  EXPECT_EQ(vqplatform::VirtualKeyOfKeysym(0x4E2D), 0);
}

TEST(DisplayInputThreads, InputRunsOnTheThreadOwningTheWindow) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = L"VqDisplayInputOwner";
  RegisterClassW(&wc);
  HWND top = CreateWindowExW(0, L"VqDisplayInputOwner", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                             nullptr, nullptr);
  g_seen.clear();
  std::thread display([top] { vqplatform::DeliverKey(top, 'Q', true, L"q"); });
  display.join();
  EXPECT_TRUE(g_seen.empty());  // nothing until this thread takes its messages
  vqtest::DispatchQueued();
  ASSERT_EQ(g_seen.size(), 2u);
  EXPECT_EQ(g_seen[1].wParam, static_cast<WPARAM>(L'q'));
  DestroyWindow(top);
  // A window gone before its thread looks is no error.
  std::thread late([top] { vqplatform::DeliverKey(top, 'Q', true, L"q"); });
  late.join();
  vqtest::DispatchQueued();
}

}  // namespace
