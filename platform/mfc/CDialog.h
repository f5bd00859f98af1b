#pragma once
// Dialogs of the framework: modal (DoModal) or modeless (Create), from the
// template registered under the dialog's id. IDOK and IDCANCEL reach OnOK
// and OnCancel unless the message map handles them.
#include "platform/mfc/CWnd.h"

class CDialog : public CWnd {
 public:
  CDialog() = default;
  explicit CDialog(UINT templateId, CWnd* parent = nullptr) : m_templateId(templateId), m_pParentWnd(parent) {}

  // IDOK, IDCANCEL or EndDialog's value; -1 when the template is missing or
  // the dialog could not be made.
  virtual INT_PTR DoModal();
  // A modeless dialog; shown when its template has WS_VISIBLE.
  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
  void EndDialog(int result);
  virtual BOOL OnInitDialog();
  // Input for the dialog and its controls goes through the dialog manager
  // (Tab, Return, Esc, arrows).
  BOOL PreTranslateMessage(MSG* msg) override;

  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 protected:
  virtual void OnOK();
  virtual void OnCancel();
  UINT m_templateId = 0;
  CWnd* m_pParentWnd = nullptr;

 private:
  HWND CreateFromTemplate(bool modal);
};
