#pragma once
// The application object: its main window and its message loop, which
// offers each message to the target window's PreTranslateMessage chain.
#include "platform/mfc/CString.h"
#include "platform/mfc/CWnd.h"

class CWinApp {
 public:
  explicit CWinApp(LPCWSTR appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // Runs the message loop until WM_QUIT; returns ExitInstance's code.
  virtual int Run();
  // True when a message was consumed by a window's PreTranslateMessage.
  BOOL PreTranslateMessage(MSG* msg);

  CWnd* m_pMainWnd = nullptr;
  CString m_pszAppName;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK);
