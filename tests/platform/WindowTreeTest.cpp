// Windows on one thread: classes, creation messages, the tree, rectangles,
// text, window data, visibility and enabling.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "tests/platform/MessageTestSupport.h"

namespace {

using vqtest::kTestClass;
using vqtest::MakeWindow;
using vqtest::MessageLog;

class WindowTree : public ::testing::Test {
 protected:
  void SetUp() override {
    MessageLog::Clear();
    vqtest::RegisterTestClass();
  }
  void TearDown() override {
    for (HWND w : created_)
      if (IsWindow(w)) DestroyWindow(w);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    MessageLog::Clear();
  }
  HWND Make(const wchar_t* title, HWND parent = nullptr, int id = 0,
            DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, LPVOID param = nullptr) {
    HWND w = MakeWindow(title, parent, id, style, param);
    created_.push_back(w);
    return w;
  }
  std::vector<HWND> created_;
};

TEST_F(WindowTree, ClassesRegisterOnceByNameWithoutRegardToCase) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = MessageLog::Procedure;
  windowClass.lpszClassName = L"vqtestwindow";
  EXPECT_EQ(RegisterClassW(&windowClass), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  windowClass.lpszClassName = L"CaptureCanvas";
  windowClass.lpfnWndProc = nullptr;
  EXPECT_EQ(RegisterClassW(&windowClass), 0) << "a class needs a procedure";
  windowClass.lpfnWndProc = MessageLog::Procedure;
  ASSERT_NE(RegisterClassW(&windowClass), 0);
  WNDCLASSW info{};
  ASSERT_TRUE(GetClassInfoW(nullptr, L"CAPTURECANVAS", &info));
  EXPECT_EQ(info.lpfnWndProc, MessageLog::Procedure);

  EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  HWND canvas = CreateWindowExW(0, L"CaptureCanvas", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(canvas, nullptr);
  wchar_t name[32];
  EXPECT_EQ(GetClassNameW(canvas, name, 32), 13);
  EXPECT_STREQ(name, L"CaptureCanvas");
  EXPECT_FALSE(UnregisterClassW(L"CaptureCanvas", nullptr)) << "windows of the class exist";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  DestroyWindow(canvas);
  EXPECT_TRUE(UnregisterClassW(L"CaptureCanvas", nullptr));
  EXPECT_FALSE(GetClassInfoW(nullptr, L"CaptureCanvas", &info));
}

TEST_F(WindowTree, CreationSendsItsMessagesWithTheCreationData) {
  static LPVOID seenParam;
  static std::wstring seenName;
  MessageLog::SetHandler([](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      seenParam = create->lpCreateParams;
      seenName = create->lpszName;
    }
    return std::nullopt;
  });
  int marker = 0;
  HWND window = Make(L"Preview", nullptr, 0, WS_POPUP, &marker);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(seenParam, &marker);
  EXPECT_EQ(seenName, L"Preview");
  std::vector<UINT> order;
  for (const auto& m : MessageLog::Entries()) order.push_back(m.message);
  std::vector<UINT> expected = {WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE};
  EXPECT_EQ(order, expected);
  auto size = MessageLog::Only({WM_SIZE});
  EXPECT_EQ(LOWORD(size[0].lParam), 200);
  EXPECT_EQ(HIWORD(size[0].lParam), 100);
  wchar_t text[16];
  GetWindowTextW(window, text, 16);
  EXPECT_STREQ(text, L"Preview");
}

TEST_F(WindowTree, RefusedCreationLeavesNoWindow) {
  MessageLog::SetHandler([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_CREATE) return -1;
    return std::nullopt;
  });
  EXPECT_EQ(Make(L"Refused"), nullptr);
  EXPECT_EQ(MessageLog::Count(WM_DESTROY), 1u);
  EXPECT_EQ(MessageLog::Count(WM_NCDESTROY), 1u);
  EXPECT_EQ(FindWindowW(nullptr, L"Refused"), nullptr);

  MessageLog::Clear();
  MessageLog::SetHandler([](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (message == WM_NCCREATE) return FALSE;
    return std::nullopt;
  });
  EXPECT_EQ(Make(L"Refused early"), nullptr);
  EXPECT_EQ(MessageLog::Count(WM_CREATE), 0u);
  EXPECT_EQ(MessageLog::Count(WM_DESTROY), 0u);
  EXPECT_EQ(MessageLog::Count(WM_NCDESTROY), 1u);
  // A child needs a parent.
  EXPECT_EQ(Make(L"Orphan", nullptr, 5, WS_CHILD), nullptr);
}

TEST_F(WindowTree, TreeQueriesFindChildrenByIdAndWindowsByTitle) {
  HWND dialog = Make(L"Tollwyn - V2.2");
  HWND slider = Make(L"", dialog, 1042, WS_CHILD | WS_VISIBLE);
  HWND edit = Make(L"", dialog, 1043, WS_CHILD | WS_VISIBLE);
  HWND inner = Make(L"", edit, 1, WS_CHILD);
  EXPECT_EQ(GetDlgItem(dialog, 1043), edit);
  EXPECT_EQ(GetDlgItem(dialog, 1), nullptr) << "only direct children";
  EXPECT_EQ(GetDlgCtrlID(slider), 1042);
  EXPECT_EQ(GetDlgCtrlID(dialog), 0);
  EXPECT_EQ(GetParent(inner), edit);
  EXPECT_EQ(GetParent(dialog), nullptr);
  EXPECT_TRUE(IsChild(dialog, inner));
  EXPECT_FALSE(IsChild(inner, dialog));
  EXPECT_EQ(GetWindow(dialog, GW_CHILD), slider);
  EXPECT_EQ(GetWindow(slider, GW_HWNDNEXT), edit);
  EXPECT_EQ(GetWindow(edit, GW_HWNDNEXT), nullptr);
  EXPECT_EQ(GetWindow(edit, GW_HWNDPREV), slider);

  std::vector<HWND> children;
  EnumChildWindows(
      dialog,
      [](HWND w, LPARAM lp) {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  EXPECT_EQ(children, (std::vector<HWND>{slider, edit, inner}));

  HWND other = Make(L"Image");
  EXPECT_EQ(FindWindowW(nullptr, L"tollwyn - v2.2"), dialog);
  EXPECT_EQ(FindWindowW(kTestClass, L"Image"), other);
  EXPECT_EQ(FindWindowW(L"OtherClass", L"Image"), nullptr);
  EXPECT_EQ(FindWindowW(nullptr, L"Shell_TrayWnd"), nullptr);
  SetWindowTextW(slider, L"Image");
  EXPECT_EQ(FindWindowW(nullptr, L"Image"), other) << "children are not searched";

  std::vector<HWND> topLevel;
  EnumWindows(
      [](HWND w, LPARAM lp) {
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&topLevel));
  EXPECT_NE(std::find(topLevel.begin(), topLevel.end(), dialog), topLevel.end());
  EXPECT_NE(std::find(topLevel.begin(), topLevel.end(), other), topLevel.end());
  EXPECT_EQ(std::find(topLevel.begin(), topLevel.end(), slider), topLevel.end());
  int visited = 0;
  EXPECT_FALSE(EnumWindows([](HWND, LPARAM lp) { return ++*reinterpret_cast<int*>(lp) < 1 ? TRUE : FALSE; },
                           reinterpret_cast<LPARAM>(&visited)));
  EXPECT_EQ(visited, 1);
}

TEST_F(WindowTree, RectanglesAreRelativeToTheParentsClientArea) {
  HWND top = Make(L"Top");
  ASSERT_TRUE(MoveWindow(top, 100, 50, 640, 480, TRUE));
  HWND child = Make(L"", top, 1007, WS_CHILD | WS_VISIBLE);
  MessageLog::Clear();
  ASSERT_TRUE(MoveWindow(child, 10, 20, 320, 240, FALSE));
  RECT rect;
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.left, 110);
  EXPECT_EQ(rect.top, 70);
  EXPECT_EQ(rect.right, 430);
  EXPECT_EQ(rect.bottom, 310);
  GetClientRect(child, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.right, 320);
  EXPECT_EQ(rect.bottom, 240);
  POINT point{5, 6};
  ClientToScreen(child, &point);
  EXPECT_EQ(point.x, 115);
  EXPECT_EQ(point.y, 76);
  ScreenToClient(top, &point);
  EXPECT_EQ(point.x, 15);
  EXPECT_EQ(point.y, 26);
  EXPECT_EQ(MessageLog::Count(WM_SIZE, child), 1u);
  EXPECT_EQ(MessageLog::Count(WM_MOVE, child), 1u);

  // Unchanged geometry sends nothing; a pure move sends only WM_MOVE.
  MessageLog::Clear();
  MoveWindow(child, 10, 20, 320, 240, TRUE);
  EXPECT_EQ(MessageLog::Entries().size(), 0u);
  SetWindowPos(child, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(MessageLog::Count(WM_SIZE), 0u);
  EXPECT_EQ(MessageLog::Count(WM_MOVE), 1u);
  SetWindowPos(child, nullptr, 0, 0, 50, -5, SWP_NOMOVE | SWP_NOZORDER);
  GetWindowRect(child, &rect);
  EXPECT_EQ(rect.left, 130);
  EXPECT_EQ(rect.right - rect.left, 50);
  EXPECT_EQ(rect.bottom - rect.top, 0) << "negative sizes become empty";

  HWND second = Make(L"", top, 1008, WS_CHILD);
  EXPECT_EQ(GetWindow(top, GW_CHILD), child);
  SetWindowPos(second, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(top, GW_CHILD), second);
  SetWindowPos(second, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(GetWindow(top, GW_CHILD), child);
}

TEST_F(WindowTree, TextIsCopiedWithinTheBufferSize) {
  HWND window = Make(L"");
  ASSERT_TRUE(SetWindowTextW(window, L"扫描 V71.0"));
  EXPECT_EQ(GetWindowTextLengthW(window), 8);
  wchar_t small[4] = {L'x', L'x', L'x', L'x'};
  EXPECT_EQ(GetWindowTextW(window, small, 4), 3);
  EXPECT_STREQ(small, L"扫描 ");
  wchar_t full[16];
  EXPECT_EQ(GetWindowTextW(window, full, 16), 8);
  EXPECT_STREQ(full, L"扫描 V71.0");
  EXPECT_EQ(GetWindowTextW(window, full, 0), 0);
  SetWindowTextW(window, nullptr);
  EXPECT_EQ(GetWindowTextLengthW(window), 0);
  EXPECT_FALSE(SetWindowTextW(reinterpret_cast<HWND>(0x42), L"x"));
  EXPECT_EQ(GetWindowTextW(reinterpret_cast<HWND>(0x42), full, 16), 0);
  EXPECT_EQ(full[0], L'\0');
}

LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 9) return 9;
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, 0));
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

TEST_F(WindowTree, WindowDataHoldsUserDataProceduresStylesAndExtraBytes) {
  HWND window = Make(L"Data");
  int owner = 0;
  EXPECT_EQ(SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&owner)), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&owner));

  // Subclassing keeps the old procedure in the extra bytes and chains to it.
  LONG_PTR previous = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass));
  EXPECT_EQ(previous, reinterpret_cast<LONG_PTR>(MessageLog::Procedure));
  SetWindowLongPtrW(window, 0, previous);
  EXPECT_EQ(SendMessageW(window, WM_USER + 9, 0, 0), 9);
  EXPECT_EQ(MessageLog::Count(WM_USER + 9), 0u);
  SendMessageW(window, WM_USER + 10, 0, 0);
  EXPECT_EQ(MessageLog::Count(WM_USER + 10), 1u);

  EXPECT_EQ(GetWindowLongPtrW(window, static_cast<int>(sizeof(LONG_PTR))), 0);
  EXPECT_EQ(GetWindowLongPtrW(window, static_cast<int>(2 * sizeof(LONG_PTR))), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE, WS_VISIBLE);
  SetWindowLongW(window, GWL_EXSTYLE, WS_EX_LAYERED);
  EXPECT_EQ(GetWindowLongW(window, GWL_EXSTYLE), WS_EX_LAYERED);
  HWND child = Make(L"", window, 1099, WS_CHILD);
  EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 1099);
  EXPECT_EQ(GetWindowLongPtrW(child, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(window));
}

TEST_F(WindowTree, VisibilityAndEnablingReportThePreviousState) {
  HWND parent = Make(L"Parent", nullptr, 0, WS_OVERLAPPEDWINDOW);
  HWND child = Make(L"", parent, 1, WS_CHILD | WS_VISIBLE);
  EXPECT_FALSE(IsWindowVisible(child)) << "a hidden parent hides its children";
  MessageLog::Clear();
  EXPECT_FALSE(ShowWindow(parent, SW_SHOW));
  EXPECT_TRUE(IsWindowVisible(child));
  EXPECT_TRUE(ShowWindow(parent, SW_SHOW));
  auto shown = MessageLog::Only({WM_SHOWWINDOW});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].wParam, static_cast<WPARAM>(TRUE));
  EXPECT_TRUE(ShowWindow(child, SW_HIDE));
  EXPECT_FALSE(IsWindowVisible(child));

  MessageLog::Clear();
  ShowWindow(parent, SW_SHOWMAXIMIZED);
  EXPECT_TRUE(IsZoomed(parent));
  auto sizes = MessageLog::Only({WM_SIZE});
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  ShowWindow(parent, SW_RESTORE);
  EXPECT_FALSE(IsZoomed(parent));
  EXPECT_EQ(MessageLog::Only({WM_SIZE}).back().wParam, static_cast<WPARAM>(SIZE_RESTORED));

  MessageLog::Clear();
  EXPECT_FALSE(EnableWindow(child, FALSE)) << "was enabled";
  EXPECT_FALSE(IsWindowEnabled(child));
  EXPECT_TRUE(EnableWindow(child, FALSE)) << "was disabled";
  EXPECT_TRUE(EnableWindow(child, TRUE));
  EXPECT_TRUE(IsWindowEnabled(child));
  EXPECT_EQ(MessageLog::Count(WM_ENABLE), 2u);
}

TEST_F(WindowTree, AttachmentsLiveUntilTheWindowIsDestroyed) {
  HWND window = Make(L"Attached");
  auto surface = std::make_shared<int>(5);
  std::weak_ptr<int> watch = surface;
  vqplatform::SetWindowAttachment(window, "surface", surface);
  surface.reset();
  EXPECT_EQ(*std::static_pointer_cast<int>(vqplatform::GetWindowAttachment(window, "surface")), 5);
  EXPECT_EQ(vqplatform::GetWindowAttachment(window, "other"), nullptr);
  DestroyWindow(window);
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(vqplatform::GetWindowAttachment(window, "surface"), nullptr);
}

}  // namespace
