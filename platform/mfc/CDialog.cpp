#include "platform/mfc/CDialog.h"

#include "platform/mfc/CWinApp.h"
#include "platform/win/DialogKeys.h"

HWND CDialog::CreateFromTemplate(bool modal) {
  InstallPreTranslation();
  const DialogTemplate* found = vqplatform::FindDialogTemplate(static_cast<int>(m_templateId));
  if (!found || m_hWnd) return nullptr;
  DialogTemplate dialogTemplate = *found;
  if (modal) dialogTemplate.style &= ~WS_VISIBLE;
  HWND parent = m_pParentWnd ? m_pParentWnd->GetSafeHwnd() : nullptr;
  if (!parent && modal && AfxGetMainWnd() != this) parent = AfxGetMainWnd() ? AfxGetMainWnd()->GetSafeHwnd() : nullptr;
  HWND dialog = vqplatform::CreateDialogFromTemplate(
      dialogTemplate, parent,
      [this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        if (!m_hWnd && message != WM_NCDESTROY) Attach(hwnd);
        if (m_hWnd != hwnd) return false;
        if (message == WM_NCDESTROY) {
          Detach();
          PostNcDestroy();
          return false;
        }
        return OnWndMsg(message, wParam, lParam, result) != FALSE;
      },
      0);
  return dialog;
}

INT_PTR CDialog::DoModal() {
  HWND dialog = CreateFromTemplate(true);
  if (!dialog) return -1;
  // Ended dialogs go through the virtual DestroyWindow, where dialogs do
  // their last work.
  return vqplatform::RunModalDialog(dialog, ::GetParent(dialog), [this] { DestroyWindow(); });
}

BOOL CDialog::Create(UINT templateId, CWnd* parent) {
  m_templateId = templateId;
  if (parent) m_pParentWnd = parent;
  return CreateFromTemplate(false) ? TRUE : FALSE;
}

void CDialog::EndDialog(int result) {
  if (m_hWnd) ::EndDialog(m_hWnd, result);
}

BOOL CDialog::PreTranslateMessage(MSG* msg) {
  // Keys and clicks of the dialog and its controls go through the dialog
  // manager, modal or modeless.
  if (!m_hWnd || !vqplatform::IsInputMessage(msg->message)) return FALSE;
  if (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)) return FALSE;
  return ::IsDialogMessageW(m_hWnd, msg);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_INITDIALOG) {
    *result = OnInitDialog();
    return TRUE;
  }
  if (CWnd::OnWndMsg(message, wParam, lParam, result)) return TRUE;
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    if (LOWORD(wParam) == IDOK) {
      OnOK();
      return TRUE;
    }
    if (LOWORD(wParam) == IDCANCEL) {
      OnCancel();
      return TRUE;
    }
  }
  return FALSE;
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefDlgProcW(m_hWnd, message, wParam, lParam);
}
