#include "platform/win/MessageBox.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/display/Headless.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/GdiText.h"
#include "platform/win/Icons.h"
#include "platform/win/InputFocus.h"
#include "platform/win/UserLanguage.h"
#include "platform/win/Window.h"

namespace vqplatform {
namespace {

std::mutex mutex;
MessageBoxAnswer answerHook;
std::vector<MessageBoxRecord> log;
std::map<HWND, std::wstring> shownBoxes;  // the box dialogs open now, with their texts

}  // namespace

void SetMessageBoxAnswer(MessageBoxAnswer answer) {
  std::lock_guard lock(mutex);
  answerHook = std::move(answer);
}

std::vector<MessageBoxRecord> MessageBoxLog() {
  std::lock_guard lock(mutex);
  return log;
}

bool ShownMessageBoxText(HWND dialog, std::wstring* text) {
  std::lock_guard lock(mutex);
  auto it = shownBoxes.find(dialog);
  if (it == shownBoxes.end()) return false;
  *text = it->second;
  return true;
}

void ClearMessageBoxLog() {
  std::lock_guard lock(mutex);
  log.clear();
}

namespace {

// The answers of a box type, in button order.
std::vector<int> Answers(UINT type) {
  static const int kButtons[][3] = {{IDOK, 0, 0},          {IDOK, IDCANCEL, 0},  {IDABORT, IDRETRY, IDIGNORE},
                                    {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO, 0},     {IDRETRY, IDCANCEL, 0}};
  UINT kind = type & MB_TYPEMASK;
  if (kind > MB_RETRYCANCEL) kind = MB_OK;
  std::vector<int> answers;
  for (int answer : kButtons[kind])
    if (answer) answers.push_back(answer);
  return answers;
}

size_t DefaultIndex(UINT type, size_t count) {
  size_t which = (type & MB_DEFMASK) >> 8;
  return which < count ? which : 0;
}

// The standard icon of a box type, or null.
LPCWSTR IconName(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return IDI_HAND;
    case MB_ICONQUESTION: return IDI_QUESTION;
    case MB_ICONEXCLAMATION: return IDI_EXCLAMATION;
    case MB_ICONASTERISK: return IDI_ASTERISK;
    default: return nullptr;
  }
}

constexpr int kIconId = 20;

// Pixels to dialog units, rounded up.
int ToUnits(int pixels, int base, int units) { return base > 0 ? (pixels * units + base - 1) / base : 0; }

// The text's extent in dialog units of the message box font.
SIZE TextUnits(const std::wstring& text, int maxWidthUnits, const DialogBaseUnits& base) {
  HFONT font = CreateDialogFont(L"MS Shell Dlg", 9);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  RECT measure{0, 0, MulDiv(maxWidthUnits, base.x, 4), 0};
  DrawTextW(dc, text.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(font);
  return SIZE{ToUnits(measure.right, base.x, 4), ToUnits(measure.bottom, base.y, 8)};
}

}  // namespace

int DefaultMessageBoxAnswer(UINT type) {
  std::vector<int> answers = Answers(type);
  return answers[DefaultIndex(type, answers.size())];
}

std::wstring DefaultMessageBoxCaption() { return InUserLanguage(L"错误", L"錯誤", L"Error"); }

std::wstring ButtonCaption(int answer) {
  static const wchar_t* const kTexts[][3] = {
      {L"确定", L"確定", L"OK"},   {L"取消", L"取消", L"Cancel"}, {L"中止", L"中止", L"Abort"},
      {L"重试", L"重試", L"Retry"}, {L"忽略", L"略過", L"Ignore"}, {L"是", L"是", L"Yes"},
      {L"否", L"否", L"No"}};
  const wchar_t* const* row = kTexts[answer >= IDOK && answer <= IDNO ? answer - IDOK : IDNO - IDOK];
  return InUserLanguage(row[0], row[1], row[2]);
}

DialogTemplate MessageBoxTemplate(const std::wstring& text, const std::wstring& caption, UINT type) {
  constexpr short kMargin = 10, kButtonWidth = 50, kButtonHeight = 14, kGap = 6, kIconGap = 8;
  std::vector<int> answers = Answers(type);
  size_t defaultIndex = DefaultIndex(type, answers.size());
  HFONT font = CreateDialogFont(L"MS Shell Dlg", 9);
  DialogBaseUnits base = BaseUnitsOfFont(font);
  DeleteObject(font);
  // Icon at the left, the text beside it, centred on the icon when shorter.
  LPCWSTR iconName = IconName(type);
  HICON icon = iconName ? LoadIconW(nullptr, iconName) : nullptr;
  short iconWidth = icon ? static_cast<short>(ToUnits(32, base.x, 4)) : 0;
  short iconHeight = icon ? static_cast<short>(ToUnits(32, base.y, 8)) : 0;
  SIZE textSize = TextUnits(text, 280, base);
  short textWidth = static_cast<short>(std::max<int>(textSize.cx, 1));
  short textHeight = static_cast<short>(std::max<int>(textSize.cy, 8));
  short rowHeight = std::max(textHeight, iconHeight);
  short textLeft = static_cast<short>(kMargin + (icon ? iconWidth + kIconGap : 0));
  short buttonsWidth = static_cast<short>(answers.size() * kButtonWidth + (answers.size() - 1) * kGap);
  short width = static_cast<short>(std::max<int>(textLeft + textWidth, kMargin + buttonsWidth) + kMargin);
  short height = static_cast<short>(kMargin + rowHeight + kGap + kButtonHeight + kMargin);
  DialogTemplate box{WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT, 0, 0, 0, width, height,
                     caption, L"MS Shell Dlg", 9, {}};
  if (icon) box.items.push_back({kIconId, WC_STATIC, L"", WS_VISIBLE | SS_ICON, 0, kMargin, kMargin, iconWidth, iconHeight});
  box.items.push_back({-1, WC_STATIC, text, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, textLeft,
                       static_cast<short>(kMargin + (rowHeight - textHeight) / 2), textWidth, textHeight});
  short left = static_cast<short>((width - buttonsWidth) / 2);
  for (size_t i = 0; i < answers.size(); ++i) {
    DWORD style = WS_VISIBLE | WS_TABSTOP | (i == defaultIndex ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (i == 0 ? WS_GROUP : 0);
    box.items.push_back({answers[i], WC_BUTTON, ButtonCaption(answers[i]), style, 0,
                         static_cast<short>(left + i * (kButtonWidth + kGap)), static_cast<short>(kMargin + rowHeight + kGap),
                         kButtonWidth, kButtonHeight});
  }
  return box;
}

int RunMessageBoxDialog(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
  const DialogTemplate box = MessageBoxTemplate(text, caption, type);
  std::vector<int> answers = Answers(type);
  size_t defaultIndex = DefaultIndex(type, answers.size());
  LPCWSTR iconName = IconName(type);
  HICON icon = iconName ? LoadIconW(nullptr, iconName) : nullptr;
  bool hasCancel = std::find(answers.begin(), answers.end(), IDCANCEL) != answers.end();
  bool okAlone = answers.size() == 1;
  HWND dialog = CreateDialogFromTemplate(
      box, owner,
      [&](HWND hwnd, UINT message, WPARAM wParam, LPARAM, LRESULT* result) {
        if (message == WM_INITDIALOG) {
          {
            std::lock_guard lock(mutex);
            shownBoxes[hwnd] = text;
          }
          if (icon) SendDlgItemMessageW(hwnd, kIconId, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
          SetFocus(GetDlgItem(hwnd, answers[defaultIndex]));
          *result = FALSE;
          return true;
        }
        if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED) return false;
        int id = LOWORD(wParam);
        if (id == IDCANCEL && !hasCancel) {
          if (!okAlone) return true;
          id = IDOK;
        }
        EndDialog(hwnd, id);
        return true;
      },
      0);
  if (!dialog) return DefaultMessageBoxAnswer(type);
  INT_PTR result = RunModalDialog(dialog, owner);
  {
    std::lock_guard lock(mutex);
    shownBoxes.erase(dialog);
  }
  return result > 0 ? static_cast<int>(result) : DefaultMessageBoxAnswer(type);
}

}  // namespace vqplatform

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  vqplatform::MessageBoxRecord record{owner, text ? text : L"", caption ? caption : vqplatform::DefaultMessageBoxCaption(),
                                      type};
  vqplatform::MessageBoxAnswer answer;
  {
    std::lock_guard lock(vqplatform::mutex);
    vqplatform::log.push_back(record);
    answer = vqplatform::answerHook;
  }
  if (answer) return answer(record);
  if (!vqplatform::IsHeadless()) return vqplatform::RunMessageBoxDialog(owner, record.text, record.caption, type);
  return vqplatform::DefaultMessageBoxAnswer(type);
}
