#pragma once
// Dialogs: created from templates (DialogTemplate.h), modal with a loop
// that dispatches posted messages until EndDialog, or modeless. The dialog
// manager gives tab order, default and cancel buttons, radio groups and
// the first focus.
#include <functional>
#include <string>

#include "platform/win/DialogTemplate.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7
#define IDCLOSE 8
#define IDHELP 9

#define WC_DIALOG L"#32770"
// The dialog class's extra bytes: a dialog procedure that handles a
// message whose answer is not its return value stores the answer at
// DWLP_MSGRESULT and returns TRUE.
#define DWLP_MSGRESULT 0
#define DWLP_DLGPROC (DWLP_MSGRESULT + static_cast<int>(sizeof(LRESULT)))
#define DWLP_USER (DWLP_DLGPROC + static_cast<int>(sizeof(void*)))
#define DLGWINDOWEXTRA 30
#define DM_GETDEFID (WM_USER + 0)
#define DM_SETDEFID (WM_USER + 1)
#define DC_HASDEFID 0x534B
#define WM_NEXTDLGCTL 0x0028

using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
HWND CreateDialogIndirectParamW(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param);
INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND parent, DLGPROC proc, LPARAM param);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, const DialogTemplate* dialogTemplate, HWND parent, DLGPROC proc,
                                LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL IsDialogMessageW(HWND dialog, LPMSG msg);
LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR buffer, int maxCount);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
UINT GetDlgItemInt(HWND dialog, int id, BOOL* translated, BOOL isSigned);
BOOL SetDlgItemInt(HWND dialog, int id, UINT value, BOOL isSigned);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL CheckRadioButton(HWND dialog, int firstId, int lastId, int checkId);
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, BOOL previous);

inline HWND CreateDialogParam(HINSTANCE i, LPCWSTR t, HWND p, DLGPROC d, LPARAM l) {
  return CreateDialogParamW(i, t, p, d, l);
}
inline INT_PTR DialogBoxParam(HINSTANCE i, LPCWSTR t, HWND p, DLGPROC d, LPARAM l) {
  return DialogBoxParamW(i, t, p, d, l);
}
inline BOOL IsDialogMessage(HWND d, LPMSG m) { return IsDialogMessageW(d, m); }
inline LRESULT DefDlgProc(HWND d, UINT m, WPARAM w, LPARAM l) { return DefDlgProcW(d, m, w, l); }
inline UINT GetDlgItemText(HWND d, int id, LPWSTR b, int n) { return GetDlgItemTextW(d, id, b, n); }
inline BOOL SetDlgItemText(HWND d, int id, LPCWSTR t) { return SetDlgItemTextW(d, id, t); }
inline LRESULT SendDlgItemMessage(HWND d, int id, UINT m, WPARAM w, LPARAM l) {
  return SendDlgItemMessageW(d, id, m, w, l);
}

namespace vqplatform {

// A dialog's message handler in place of a DLGPROC: true when it handled
// the message, with the result in *result (the framework classes use it).
using DialogHandler = std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>;

// Creates a dialog from a template; `handler` sees every message first,
// WM_INITDIALOG (with `param`) included. Invisible dialogs stay hidden.
HWND CreateDialogFromTemplate(const DialogTemplate& dialogTemplate, HWND parent, DialogHandler handler, LPARAM param);
// Runs a modal loop for a created dialog: the owner is disabled, posted
// messages are pre-translated (DialogKeys.h) and dispatched through the
// dialog's IsDialogMessage until EndDialog; then
// the owner is enabled and the dialog destroyed. Returns EndDialog's
// result, or -1 when the loop ended because of WM_QUIT (which is posted
// again) or the dialog was destroyed. A `destroy` given destroys the dialog
// instead (the framework's own DestroyWindow).
INT_PTR RunModalDialog(HWND dialog, HWND owner, const std::function<void()>& destroy = nullptr);
bool IsModalDialogEnded(HWND dialog);

// Tests: called with the dialog each time a modal loop has nothing to do;
// the handler drives it with input (TestInput.h). Null removes it.
using ModalIdleHandler = std::function<void(HWND dialog)>;
void SetModalIdleHandler(ModalIdleHandler handler);
// The installed handler (other modal loops of the layer call it too).
ModalIdleHandler CurrentModalIdleHandler();

// A window rectangle of that size centred on a shown window (the work area
// without one), moved into the work area where it reaches out of it.
RECT CentredRect(SIZE size, HWND over);
// CentredRect on a window's owner, moved down where it would cover the
// owner's title bar and the work area has room below.
RECT CentredOnOwner(SIZE size, HWND owner);

// Repaints a window and all its visible descendants now (parents first),
// so a saved picture shows every control.
void RepaintWindowTree(HWND window);

}  // namespace vqplatform
