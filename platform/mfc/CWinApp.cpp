#include "platform/mfc/CWinApp.h"

#include "platform/win/DialogKeys.h"
#include "platform/win/ModalLoops.h"

namespace {
CWinApp* theApp = nullptr;

// From the message's window up through its parents to its top-level
// window, each framework window may take the message (a dialog takes its
// input). Owners are not asked: a key in a message box or a modeless
// dialog is no accelerator of the main window.
BOOL WalkPreTranslateTree(MSG* msg) {
  for (HWND hwnd = msg->hwnd; hwnd; hwnd = (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) ? ::GetParent(hwnd) : nullptr)
    if (CWnd* window = CWnd::FromHandlePermanent(hwnd))
      if (window->PreTranslateMessage(msg)) return TRUE;
  return FALSE;
}

}  // namespace

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName ? appName : L"") { theApp = this; }

CWinApp::~CWinApp() {
  if (theApp == this) theApp = nullptr;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) { return WalkPreTranslateTree(msg); }

int CWinApp::Run() {
  InstallPreTranslation();
  vqplatform::RunThreadLoop();
  return ExitInstance();
}

BOOL AfxPreTranslateMessage(MSG* msg) { return theApp ? theApp->PreTranslateMessage(msg) : WalkPreTranslateTree(msg); }

void InstallPreTranslation() {
  static const bool installed = [] {
    vqplatform::SetPreTranslateHook([](MSG* msg) { return AfxPreTranslateMessage(msg) != FALSE; });
    return true;
  }();
  (void)installed;
}

CWinApp* AfxGetApp() { return theApp; }

CWnd* AfxGetMainWnd() { return theApp ? theApp->m_pMainWnd : nullptr; }

int AfxMessageBox(LPCWSTR text, UINT type) {
  CWnd* main = AfxGetMainWnd();
  // Without an application object there is no name: the box is given none.
  return ::MessageBoxW(main ? main->GetSafeHwnd() : nullptr, text, theApp ? theApp->m_pszAppName.GetString() : nullptr,
                       type);
}
