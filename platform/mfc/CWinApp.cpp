#include "platform/mfc/CWinApp.h"

#include "platform/win/ModalLoops.h"

namespace {
CWinApp* theApp = nullptr;
}

CWinApp::CWinApp(LPCWSTR appName) : m_pszAppName(appName ? appName : L"") { theApp = this; }

CWinApp::~CWinApp() {
  if (theApp == this) theApp = nullptr;
}

BOOL CWinApp::PreTranslateMessage(MSG* msg) {
  for (HWND hwnd = msg->hwnd; hwnd; hwnd = ::GetParent(hwnd))
    if (CWnd* window = CWnd::FromHandlePermanent(hwnd))
      if (window->PreTranslateMessage(msg)) return TRUE;
  return FALSE;
}

int CWinApp::Run() {
  vqplatform::RunThreadLoop([this](MSG* msg) {
    if (PreTranslateMessage(msg)) return true;
    HWND top = msg->hwnd;
    while (top && ::GetParent(top) && (::GetWindowLongW(top, GWL_STYLE) & WS_CHILD)) top = ::GetParent(top);
    return top && vqplatform::GetWindowAttachment(top, "dialog") && ::IsDialogMessageW(top, msg);
  });
  return ExitInstance();
}

CWinApp* AfxGetApp() { return theApp; }

CWnd* AfxGetMainWnd() { return theApp ? theApp->m_pMainWnd : nullptr; }

int AfxMessageBox(LPCWSTR text, UINT type) {
  CWnd* main = AfxGetMainWnd();
  return ::MessageBoxW(main ? main->GetSafeHwnd() : nullptr, text, theApp ? theApp->m_pszAppName.GetString() : L"",
                       type);
}
