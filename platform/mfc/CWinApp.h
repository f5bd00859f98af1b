#pragma once
// The application object: its main window and its message loop, which
// offers each message to the target window's PreTranslateMessage chain
// (as every message loop of the layer does once the framework is in use).
#include "platform/mfc/CString.h"
#include "platform/mfc/CWnd.h"
#include "platform/win/Icons.h"

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

  // The program's icon resources and the standard icons (LoadIcon).
  HICON LoadIcon(UINT id) const { return ::LoadIconW(nullptr, MAKEINTRESOURCEW(id)); }
  HICON LoadIcon(LPCWSTR name) const { return ::LoadIconW(nullptr, name); }
  HICON LoadStandardIcon(LPCWSTR name) const { return ::LoadIconW(nullptr, name); }
  // Settings live in INI files here; the key is only kept.
  void SetRegistryKey(LPCWSTR key) { m_pszRegistryKey = key ? key : L""; }

  CWnd* m_pMainWnd = nullptr;
  CString m_pszAppName;
  CString m_pszRegistryKey;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
// The framework's pre-translation of a message: the application's, else
// the walk from the message's window up to its top-level window.
BOOL AfxPreTranslateMessage(MSG* msg);
// Makes every message loop of the layer pre-translate through the framework
// (done by the first dialog and by Run).
void InstallPreTranslation();
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK);

// Controls are the layer's own: there is no container to enable.
inline void AfxEnableControlContainer() {}

// One module here: switching module state changes nothing.
struct AFX_MODULE_STATE {};
inline AFX_MODULE_STATE* AfxGetStaticModuleState() {
  static AFX_MODULE_STATE state;
  return &state;
}
#define AFX_MANAGE_STATE(state) ((void)(state))
