// One of each standard control from a template, each driven through the
// messages a user's mouse and keys produce, with its state and its
// notifications checked.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/Clock.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiSurface.h"
#include "platform/win/GdiText.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/MousePointer.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/SystemMetrics.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/TestEnv.h"
#include "tests/support/Windows.h"

namespace {

enum {
  kPush = 10, kCheck, kRadioA, kRadioB, kGroup, kLabel, kFrame, kEdit, kMultiLine, kDigits, kReadOnly,
  kCombo, kSlider, kProgress, kTab, kList
};

const DialogTemplate& Gallery() {
  static const DialogTemplate gallery{
      WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 0, 300, 200, L"Gallery", L"MS Shell Dlg", 9,
      {
          {kPush, WC_BUTTON, L"Push", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 7, 7, 50, 14},
          {kCheck, WC_BUTTON, L"Check", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 7, 25, 60, 10},
          {kRadioA, WC_BUTTON, L"Radio A", WS_VISIBLE | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0, 12, 50, 50, 10},
          {kRadioB, WC_BUTTON, L"Radio B", WS_VISIBLE | BS_AUTORADIOBUTTON, 0, 12, 62, 50, 10},
          {kGroup, WC_BUTTON, L"Group", WS_VISIBLE | WS_GROUP | BS_GROUPBOX, 0, 7, 40, 70, 36},
          {kLabel, WC_STATIC, L"标签 Label", WS_VISIBLE | SS_LEFT, 0, 7, 80, 70, 9},
          {kFrame, WC_STATIC, L"", WS_VISIBLE | SS_ETCHEDFRAME, 0, 7, 92, 70, 20},
          {kEdit, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 90, 7, 90, 14},
          {kMultiLine, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN, WS_EX_CLIENTEDGE, 90, 25, 90, 30},
          {kDigits, WC_EDIT, L"", WS_VISIBLE | WS_TABSTOP | ES_NUMBER, WS_EX_CLIENTEDGE, 90, 60, 40, 14},
          {kReadOnly, WC_EDIT, L"fixed", WS_VISIBLE | WS_TABSTOP | ES_READONLY, WS_EX_CLIENTEDGE, 135, 60, 45, 14},
          {kCombo, WC_COMBOBOX, L"", WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWN, 0, 90, 80, 90, 60},
          {kSlider, TRACKBAR_CLASS, L"", WS_VISIBLE | WS_TABSTOP, 0, 90, 100, 90, 15},
          {kProgress, PROGRESS_CLASS, L"", WS_VISIBLE, 0, 90, 120, 90, 10},
          {kTab, WC_TABCONTROL, L"", WS_VISIBLE | WS_TABSTOP, 0, 190, 7, 100, 60},
          {kList, WC_LISTVIEW, L"", WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, WS_EX_CLIENTEDGE, 190, 75, 100, 60},
      }};
  return gallery;
}

struct Notice {
  UINT message;
  int id;
  UINT code;
  int item;  // list item of NM_CLICK / NM_RCLICK, slider position of WM_HSCROLL
};

class ControlGalleryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = vqplatform::CreateDialogFromTemplate(
        Gallery(), nullptr,
        [this](HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
          if (message == WM_COMMAND) notices_.push_back({message, LOWORD(wParam), HIWORD(wParam), 0});
          if (message == WM_HSCROLL)
            notices_.push_back({message, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), LOWORD(wParam), HIWORD(wParam)});
          if (message == WM_NOTIFY) {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            int item = 0;
            if (header->code == NM_CLICK || header->code == NM_RCLICK)
              item = reinterpret_cast<NMITEMACTIVATE*>(lParam)->iItem;
            notices_.push_back({message, static_cast<int>(header->idFrom), header->code, item});
            if (header->code == TCN_SELCHANGING) {
              *result = vetoTabChange_ ? TRUE : FALSE;
              return true;
            }
          }
          return false;
        },
        0);
    ASSERT_NE(dialog_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
  }
  HWND Item(int id) { return GetDlgItem(dialog_, id); }
  std::wstring Text(int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog_, id, text, 256);
    return text;
  }
  void Pump() { vqtest::DispatchQueued(dialog_); }
  bool Noticed(UINT message, int id, UINT code) {
    for (const Notice& notice : notices_)
      if (notice.message == message && notice.id == id && notice.code == code) return true;
    return false;
  }
  void Focus(int id) {
    SetFocus(Item(id));
    Pump();
  }

  HWND dialog_ = nullptr;
  std::vector<Notice> notices_;
  bool vetoTabChange_ = false;
};

TEST_F(ControlGalleryTest, ButtonsClickCheckAndGroup) {
  vqplatform::ClickControl(dialog_, kPush);
  Pump();
  EXPECT_TRUE(Noticed(WM_COMMAND, kPush, BN_CLICKED));
  EXPECT_EQ(GetFocus(), Item(kPush));

  vqplatform::ClickControl(dialog_, kCheck);
  Pump();
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kCheck), static_cast<UINT>(BST_CHECKED));
  vqplatform::PressKey(VK_SPACE);
  Pump();
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kCheck), static_cast<UINT>(BST_UNCHECKED));

  // A press that leaves the button before release is no click.
  notices_.clear();
  PostMessageW(Item(kPush), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(Item(kPush), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(500, 5));
  PostMessageW(Item(kPush), WM_LBUTTONUP, 0, MAKELPARAM(500, 5));
  Pump();
  EXPECT_FALSE(Noticed(WM_COMMAND, kPush, BN_CLICKED));

  vqplatform::ClickControl(dialog_, kRadioA);
  Pump();
  vqplatform::ClickControl(dialog_, kRadioB);
  Pump();
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kRadioA), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kRadioB), static_cast<UINT>(BST_CHECKED));
  EXPECT_EQ(IsDlgButtonChecked(dialog_, kCheck), static_cast<UINT>(BST_UNCHECKED));
  // A disabled button gets no click.
  notices_.clear();
  EnableWindow(Item(kPush), FALSE);
  SendMessageW(Item(kPush), BM_CLICK, 0, 0);
  EXPECT_FALSE(Noticed(WM_COMMAND, kPush, BN_CLICKED));
}

TEST_F(ControlGalleryTest, EditsTakeTypedTextByTheirStyles) {
  Focus(kEdit);
  vqplatform::TypeText(L"abcd");
  vqplatform::PressKey(VK_BACK);
  vqplatform::PressKey(VK_HOME);
  vqplatform::PressKey(VK_DELETE);
  Pump();
  EXPECT_EQ(Text(kEdit), L"bc");
  EXPECT_TRUE(Noticed(WM_COMMAND, kEdit, EN_CHANGE));
  EXPECT_EQ(SendMessageW(Item(kEdit), EM_GETMODIFY, 0, 0), TRUE);

  Focus(kDigits);
  vqplatform::TypeText(L"12a-3");
  Pump();
  EXPECT_EQ(Text(kDigits), L"123");

  Focus(kReadOnly);
  vqplatform::TypeText(L"zz");
  vqplatform::PressKey(VK_BACK);
  Pump();
  EXPECT_EQ(Text(kReadOnly), L"fixed");

  Focus(kMultiLine);
  vqplatform::TypeText(L"one");
  vqplatform::PressKey(VK_RETURN);
  vqplatform::TypeText(L"two");
  Pump();
  EXPECT_EQ(Text(kMultiLine), L"one\r\ntwo");
  EXPECT_EQ(SendMessageW(Item(kMultiLine), EM_GETLINECOUNT, 0, 0), 2);

  // A limit cuts typing short; Tab moves on with the next edit selected whole.
  SendMessageW(Item(kEdit), EM_LIMITTEXT, 3, 0);
  Focus(kEdit);
  SendMessageW(Item(kEdit), EM_SETSEL, 2, 2);
  vqplatform::TypeText(L"xyz");
  Pump();
  EXPECT_EQ(Text(kEdit), L"bcx");
  EXPECT_TRUE(Noticed(WM_COMMAND, kEdit, EN_MAXTEXT));
  vqplatform::PressKey(VK_TAB);
  Pump();
  EXPECT_EQ(GetFocus(), Item(kMultiLine));
  DWORD start = 0, end = 0;
  SendMessageW(Item(kMultiLine), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 8u);
}

TEST_F(ControlGalleryTest, ClickPlacesTheCaretBetweenTheNearestCharacters) {
  HWND edit = Item(kEdit);
  SetWindowTextW(edit, L"abcdef");
  HDC dc = GetDC(edit);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(edit, WM_GETFONT, 0, 0)));
  SIZE three{}, four{};
  GetTextExtentPoint32W(dc, L"abc", 3, &three);
  GetTextExtentPoint32W(dc, L"abcd", 4, &four);
  SelectObject(dc, old);
  ReleaseDC(edit, dc);
  const int margin = 4;  // client edge and inset
  vqplatform::ClickAt(edit, POINT{margin + three.cx + (four.cx - three.cx) / 4, 5});
  Pump();
  vqplatform::TypeText(L"X");
  Pump();
  EXPECT_EQ(Text(kEdit), L"abcXdef");
  vqplatform::ClickAt(edit, POINT{1, 5});
  Pump();
  vqplatform::TypeText(L"<");
  Pump();
  EXPECT_EQ(Text(kEdit), L"<abcXdef");
}

TEST_F(ControlGalleryTest, ComboOpensMovesAndAcceptsWithKeys) {
  HWND combo = Item(kCombo);
  for (const wchar_t* text : {L"IMG", L"DOC", L"SCAN"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
  RECT rect{};
  GetClientRect(combo, &rect);
  EXPECT_LT(rect.bottom, 40);  // the field, not the dropped list's height
  vqplatform::ClickControl(dialog_, kCombo);
  Pump();
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), TRUE);
  EXPECT_TRUE(Noticed(WM_COMMAND, kCombo, CBN_DROPDOWN));
  vqplatform::PressKey(VK_DOWN);
  vqplatform::PressKey(VK_DOWN);
  vqplatform::PressKey(VK_RETURN);
  Pump();
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 1);
  EXPECT_EQ(Text(kCombo), L"DOC");
  EXPECT_TRUE(Noticed(WM_COMMAND, kCombo, CBN_SELCHANGE));
  EXPECT_TRUE(Noticed(WM_COMMAND, kCombo, CBN_SELENDOK));
  EXPECT_EQ(SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0), FALSE);
  EXPECT_TRUE(IsWindow(dialog_));  // Enter closed the list, not the dialog
  EXPECT_EQ(SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"scan")), 2);
  vqplatform::TypeText(L"X");
  Pump();
  EXPECT_EQ(Text(kCombo), L"DOCX");
  EXPECT_TRUE(Noticed(WM_COMMAND, kCombo, CBN_EDITCHANGE));
}

TEST_F(ControlGalleryTest, ComboListPicksTheClickedItem) {
  HWND combo = Item(kCombo);
  for (const wchar_t* text : {L"IMG", L"DOC", L"SCAN"}) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  vqplatform::ClickControl(dialog_, kCombo);
  Pump();
  HWND list = FindWindowW(L"ComboLBox", nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(IsWindowVisible(list));
  RECT field{}, dropped{};
  GetWindowRect(combo, &field);
  GetWindowRect(list, &dropped);
  EXPECT_EQ(dropped.top, field.bottom);
  EXPECT_EQ(dropped.left, field.left);
  RECT rows{};
  GetClientRect(list, &rows);
  vqplatform::ClickAt(list, POINT{5, rows.bottom - 3});  // the last row
  Pump();
  EXPECT_EQ(SendMessageW(combo, CB_GETCURSEL, 0, 0), 2);
  EXPECT_EQ(Text(kCombo), L"SCAN");
  EXPECT_TRUE(Noticed(WM_COMMAND, kCombo, CBN_SELENDOK));
  EXPECT_TRUE(Noticed(WM_COMMAND, kCombo, CBN_CLOSEUP));
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(GetFocus(), combo);
}

// A drop-down list whose created height leaves no room for a list (the
// main window's prefix list: 13 dialog units) opens with up to 30 rows,
// never past the work area (above the field where there is no room below);
// a longer list scrolls with the keys and the wheel, keeps the current item
// in view and paints and picks from its first row shown.
class ComboListTest : public ::testing::Test {
 protected:
  void Open(int items, short y) {
    const DialogTemplate t{WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 0, 120, 500, L"Combo", L"MS Shell Dlg", 9,
                           {{kCombo, WC_COMBOBOX, L"", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 10, y,
                             60, 13}}};
    dialog_ = vqplatform::CreateDialogFromTemplate(t, nullptr, nullptr, 0);
    ASSERT_NE(dialog_, nullptr);
    combo_ = GetDlgItem(dialog_, kCombo);
    for (int i = 0; i < items; ++i) {
      const std::wstring text = L"P" + std::to_wstring(i);
      SendMessageW(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    SetFocus(combo_);
    SendMessageW(combo_, CB_SHOWDROPDOWN, TRUE, 0);
    Pump();
    list_ = FindWindowW(L"ComboLBox", nullptr);
    ASSERT_NE(list_, nullptr);
  }
  void TearDown() override {
    if (IsWindow(dialog_)) DestroyWindow(dialog_);
    vqplatform::SetWorkArea(RECT{0, 0, 0, 0});
  }
  void Pump() { vqtest::DispatchQueued(dialog_); }
  RECT Dropped() {
    RECT rect{};
    SendMessageW(combo_, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&rect));
    return rect;
  }
  bool SameAsDropped(const RECT& rect) {
    const RECT dropped = Dropped();
    return EqualRect(&rect, &dropped) != FALSE;
  }
  int RowHeight() {
    HDC dc = GetDC(combo_);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(combo_, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(combo_, dc);
    return metrics.tmHeight + 2;
  }
  int Rows() { return static_cast<int>((Dropped().bottom - Dropped().top - 2) / RowHeight()); }
  LRESULT Top() { return SendMessageW(combo_, CB_GETTOPINDEX, 0, 0); }
  LRESULT Current() { return SendMessageW(combo_, CB_GETCURSEL, 0, 0); }

  HWND dialog_ = nullptr, combo_ = nullptr, list_ = nullptr;
};

TEST_F(ComboListTest, AShortTemplateStillShowsEveryEntryOfAShortList) {
  Open(4, 10);
  RECT field{}, dropped{};
  GetWindowRect(combo_, &field);
  GetWindowRect(list_, &dropped);
  EXPECT_EQ(dropped.top, field.bottom);
  EXPECT_EQ(dropped.bottom - dropped.top, 4 * RowHeight() + 2) << "every entry, nothing more";
  EXPECT_TRUE(SameAsDropped(dropped));
  // Each row picks its own entry.
  for (int i = 3; i >= 0; --i) {
    if (!IsWindow(list_)) {
      SendMessageW(combo_, CB_SHOWDROPDOWN, TRUE, 0);
      Pump();
      list_ = FindWindowW(L"ComboLBox", nullptr);
    }
    vqplatform::ClickAt(list_, POINT{5, 1 + i * RowHeight() + RowHeight() / 2});
    Pump();
    EXPECT_EQ(Current(), i);
    EXPECT_FALSE(IsWindow(list_));
  }
}

TEST_F(ComboListTest, ALongListScrollsWithKeysAndWheelAndPicksFromItsFirstRowShown) {
  vqplatform::SetWorkArea(RECT{0, 0, 1024, 700});
  Open(60, 10);
  EXPECT_EQ(Rows(), 30) << "the default number of rows";
  EXPECT_EQ(Top(), 0);
  for (int i = 0; i < 35; ++i) vqplatform::PressKey(VK_DOWN);
  Pump();
  EXPECT_EQ(Current(), 34);
  EXPECT_EQ(Top(), 34 - 30 + 1) << "the current item kept in view at the bottom";
  EXPECT_EQ(SendMessageW(combo_, CB_GETDROPPEDSTATE, 0, 0), TRUE);
  // The wheel scrolls the open list, three rows a notch, within its ends.
  PostMessageW(combo_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  Pump();
  EXPECT_EQ(Top(), 2);
  PostMessageW(combo_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-10 * WHEEL_DELTA)), 0);
  Pump();
  EXPECT_EQ(Top(), 30) << "no further than the last page";
  EXPECT_EQ(Current(), 34) << "the wheel scrolls, it does not choose";
  // A click picks the row under it, counted from the first row shown.
  vqplatform::ClickAt(list_, POINT{5, 1 + 2 * RowHeight() + RowHeight() / 2});
  Pump();
  EXPECT_EQ(Current(), 32);
  // Opened again it shows the current item; Home and End reach the ends.
  SendMessageW(combo_, CB_SHOWDROPDOWN, TRUE, 0);
  Pump();
  EXPECT_LE(Top(), 32);
  EXPECT_GT(Top() + Rows(), 32);
  vqplatform::PressKey(VK_END);
  Pump();
  EXPECT_EQ(Current(), 59);
  EXPECT_EQ(Top(), 30);
  vqplatform::PressKey(VK_HOME);
  Pump();
  EXPECT_EQ(Current(), 0);
  EXPECT_EQ(Top(), 0);
  // The scroll bar's lower arrow scrolls by a row.
  list_ = FindWindowW(L"ComboLBox", nullptr);
  RECT client{};
  GetClientRect(list_, &client);
  vqplatform::ClickAt(list_, POINT{client.right - 4, client.bottom - 4});
  Pump();
  EXPECT_EQ(Top(), 1);
  EXPECT_EQ(Current(), 0) << "a click on the scroll bar chooses nothing";
  EXPECT_TRUE(IsWindow(list_));
  // A closed box's wheel steps through the entries.
  vqplatform::PressKey(VK_ESCAPE);
  Pump();
  EXPECT_EQ(SendMessageW(combo_, CB_GETDROPPEDSTATE, 0, 0), FALSE);
  PostMessageW(combo_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  Pump();
  EXPECT_EQ(Current(), 1);
}

TEST_F(ComboListTest, TheListStaysInTheWorkAreaAboveTheFieldWhereThereIsNoRoomBelow) {
  vqplatform::SetWorkArea(RECT{0, 0, 1024, 400});
  Open(60, 200);  // dialog units: the field lies low on the 400-pixel work area
  RECT field{}, dropped{};
  GetWindowRect(combo_, &field);
  GetWindowRect(list_, &dropped);
  ASSERT_GT(field.top, 200) << "the field is in the lower half";
  EXPECT_EQ(dropped.bottom, field.top) << "opened above the field";
  EXPECT_GE(dropped.top, 0);
  EXPECT_LT(Rows(), 30);
  EXPECT_EQ((dropped.bottom - dropped.top - 2) % RowHeight(), 0) << "whole rows";
}

TEST_F(ControlGalleryTest, SliderMovesByKeysAndByDragging) {
  HWND slider = Item(kSlider);
  SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, 10));
  Focus(kSlider);
  vqplatform::PressKey(VK_RIGHT);
  Pump();
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 1);
  EXPECT_TRUE(Noticed(WM_HSCROLL, kSlider, TB_LINEDOWN));
  vqplatform::PressKey(VK_END);
  Pump();
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 10);
  RECT rect{};
  GetClientRect(slider, &rect);
  vqplatform::ClickAt(slider, POINT{0, rect.bottom / 2});
  Pump();
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 0);
  EXPECT_TRUE(Noticed(WM_HSCROLL, kSlider, TB_THUMBPOSITION));
  EXPECT_TRUE(Noticed(WM_NOTIFY, kSlider, NM_RELEASEDCAPTURE));
  SendMessageW(slider, TBM_SETPOS, TRUE, 99);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 10);
}

TEST_F(ControlGalleryTest, ProgressClampsAndStepsAround) {
  HWND progress = Item(kProgress);
  SendMessageW(progress, PBM_SETRANGE32, 0, 50);
  EXPECT_EQ(SendMessageW(progress, PBM_SETPOS, 60, 0), 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 50);
  SendMessageW(progress, PBM_SETPOS, 45, 0);
  SendMessageW(progress, PBM_SETSTEP, 10, 0);
  SendMessageW(progress, PBM_STEPIT, 0, 0);
  EXPECT_EQ(SendMessageW(progress, PBM_GETPOS, 0, 0), 5);
}

TEST_F(ControlGalleryTest, TabsChangeByClickUnlessVetoed) {
  HWND tab = Item(kTab);
  const wchar_t* names[] = {L"Image", L"Mark", L"More"};
  for (int i = 0; i < 3; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<LPWSTR>(names[i]);
    SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
  }
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 0);
  RECT second{};
  SendMessageW(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  vqplatform::ClickAt(tab, POINT{(second.left + second.right) / 2, (second.top + second.bottom) / 2});
  Pump();
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
  EXPECT_TRUE(Noticed(WM_NOTIFY, kTab, TCN_SELCHANGE));
  vetoTabChange_ = true;
  vqplatform::PressKey(VK_RIGHT);
  Pump();
  EXPECT_EQ(SendMessageW(tab, TCM_GETCURSEL, 0, 0), 1);
  RECT page{};
  GetClientRect(tab, &page);
  RECT display = page;
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  EXPECT_GT(display.top, second.bottom);
  EXPECT_LT(display.right, page.right);
}

TEST_F(ControlGalleryTest, ListViewSelectsAndReportsClickedRows) {
  HWND list = Item(kList);
  for (int i = 0; i < 3; ++i) {
    std::wstring text = L"Row " + std::to_wstring(i);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = i;
    item.pszText = text.data();
    item.lParam = 100 + i;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  RECT row{};
  SendMessageW(list, LVM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
  vqplatform::ClickAt(list, POINT{row.left + 5, (row.top + row.bottom) / 2});
  Pump();
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 2);
  ASSERT_FALSE(notices_.empty());
  bool clickedRow2 = false;
  for (const Notice& notice : notices_) clickedRow2 |= notice.code == NM_CLICK && notice.item == 2;
  EXPECT_TRUE(clickedRow2);
  vqplatform::RightClick(list);
  Pump();
  EXPECT_TRUE(Noticed(WM_NOTIFY, kList, NM_RCLICK));
  wchar_t text[32] = {};
  LVITEMW get{};
  get.pszText = text;
  get.cchTextMax = 32;
  SendMessageW(list, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&get));
  EXPECT_STREQ(text, L"Row 1");
}

TEST_F(ControlGalleryTest, TooltipShowsAfterItsDelayOverItsTool) {
  vqplatform::ManualClockScope clock;
  HWND tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASS, L"", WS_POPUP, 0, 0, 0, 0, dialog_, nullptr, nullptr, nullptr);
  ASSERT_NE(tooltip, nullptr);
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND;
  info.hwnd = dialog_;
  info.uId = reinterpret_cast<UINT_PTR>(Item(kPush));
  info.lpszText = const_cast<LPWSTR>(L"左转90°");
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOMATIC, 150);
  SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, RGB(0, 0, 255), 0);
  EXPECT_EQ(SendMessageW(tooltip, TTM_GETTIPTEXTCOLOR, 0, 0), static_cast<LRESULT>(RGB(0, 0, 255)));
  MSG move{Item(kPush), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3), 0, {0, 0}};
  SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
  Pump();
  EXPECT_FALSE(IsWindowVisible(tooltip));
  vqplatform::Clock::Advance(uint64_t{200});
  Pump();
  EXPECT_TRUE(IsWindowVisible(tooltip));
  EXPECT_EQ(vqplatform::TooltipText(tooltip, dialog_, info.uId), L"左转90°");
  MSG away{dialog_, WM_MOUSEMOVE, 0, MAKELPARAM(590, 390), 0, {0, 0}};
  SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&away));
  EXPECT_FALSE(IsWindowVisible(tooltip));
  // Shown again, it hides by itself once the pointer is elsewhere, though
  // no move outside the tool is relayed.
  RECT tool{};
  GetWindowRect(Item(kPush), &tool);
  SetCursorPos(tool.left + 3, tool.top + 3);
  SendMessageW(tooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
  vqplatform::Clock::Advance(uint64_t{200});
  Pump();
  EXPECT_TRUE(IsWindowVisible(tooltip));
  vqplatform::Clock::Advance(uint64_t{200});
  Pump();
  EXPECT_TRUE(IsWindowVisible(tooltip)) << "the pointer is still over its tool";
  SetCursorPos(tool.right + 200, tool.bottom + 200);
  vqplatform::Clock::Advance(uint64_t{200});
  Pump();
  EXPECT_FALSE(IsWindowVisible(tooltip));
  DestroyWindow(tooltip);
}

TEST_F(ControlGalleryTest, PictureOfTheGallery) {
  CheckDlgButton(dialog_, kCheck, BST_CHECKED);
  CheckDlgButton(dialog_, kRadioA, BST_CHECKED);
  SetDlgItemTextW(dialog_, kEdit, L"text 文字");
  SetFocus(Item(kEdit));
  SendMessageW(Item(kEdit), EM_SETSEL, 5, 7);
  SendMessageW(Item(kProgress), PBM_SETPOS, 60, 0);
  SendMessageW(Item(kSlider), TBM_SETPOS, TRUE, 30);
  std::string path = vqtest::TempPath("gallery.png").string();
  vqplatform::RepaintWindowTree(dialog_);
  ASSERT_TRUE(vqplatform::SaveWindowAsPng(dialog_, path));
  if (const char* folder = std::getenv("VQ_SCREENSHOT_DIR")) vqplatform::SaveWindowAsPng(dialog_, std::string(folder) + "/gallery.png");
  EXPECT_EQ(vqtest::ReadFile(path).substr(1, 3), "PNG");
}

}  // namespace
