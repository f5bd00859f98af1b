#pragma once
// Message boxes. Every box is recorded with its texts. An installed answer
// hook answers it without showing anything; otherwise, with a display, the
// layer's own message box dialog asks the user, and without one the box's
// default button answers.
#include <functional>
#include <string>
#include <vector>

#include "platform/win/DialogTemplate.h"
#include "platform/win/WinTypes.h"

#define MB_OK 0x00000000L
#define MB_OKCANCEL 0x00000001L
#define MB_ABORTRETRYIGNORE 0x00000002L
#define MB_YESNOCANCEL 0x00000003L
#define MB_YESNO 0x00000004L
#define MB_RETRYCANCEL 0x00000005L
#define MB_TYPEMASK 0x0000000FL
#define MB_ICONHAND 0x00000010L
#define MB_ICONQUESTION 0x00000020L
#define MB_ICONEXCLAMATION 0x00000030L
#define MB_ICONASTERISK 0x00000040L
#define MB_ICONMASK 0x000000F0L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_DEFBUTTON1 0x00000000L
#define MB_DEFBUTTON2 0x00000100L
#define MB_DEFBUTTON3 0x00000200L
#define MB_DEFMASK 0x00000F00L
#define MB_APPLMODAL 0x00000000L
#define MB_SYSTEMMODAL 0x00001000L
#define MB_TASKMODAL 0x00002000L
#define MB_TOPMOST 0x00040000L

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
inline int MessageBox(HWND o, LPCWSTR t, LPCWSTR c, UINT type) { return MessageBoxW(o, t, c, type); }

namespace vqplatform {

struct MessageBoxRecord {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
};

// Answers message boxes (tests); null goes back to the default button.
using MessageBoxAnswer = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxAnswer(MessageBoxAnswer answer);
// Every message box shown since the last ClearMessageBoxLog.
std::vector<MessageBoxRecord> MessageBoxLog();
void ClearMessageBoxLog();
// The text of the layer's box dialog `dialog` while it is open (the
// presenter puts it on the box's X window as _VQ_MESSAGE_TEXT, where tests
// find a box by what it says); false for any other window.
bool ShownMessageBoxText(HWND dialog, std::wstring* text);
// The caption of a box given none: "Error" in the user's language.
std::wstring DefaultMessageBoxCaption();
// The text of a standard button (IDOK ... IDNO) in the user's language.
std::wstring ButtonCaption(int answer);
// The answer of a box's default button.
int DefaultMessageBoxAnswer(UINT type);
// The layer's message box dialog's template: its size and its controls' places
// follow from the text, the caption and the type.
DialogTemplate MessageBoxTemplate(const std::wstring& text, const std::wstring& caption, UINT type);
// The layer's message box dialog, run modally (what MessageBoxW shows with
// a display): titled with the caption, an empty title for an empty one
// (MessageBoxW titles a box given no caption at all "Error"),
// the standard icon of the type, the text (as wide as it needs,
// up to a limit where it wraps), one button per answer of the type named in
// the user's language (LC_ALL, LC_MESSAGES or LANG: zh_CN, zh_TW, else
// English), the default
// button from MB_DEFBUTTONn; Escape answers IDCANCEL where there is a
// Cancel button (IDOK for a box with OK alone).
int RunMessageBoxDialog(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

}  // namespace vqplatform
