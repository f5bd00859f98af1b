#include "platform/mfc/CWinApp.h"

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
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (PreTranslateMessage(&msg)) continue;
    HWND top = msg.hwnd;
    while (top && ::GetParent(top) && (::GetWindowLongW(top, GWL_STYLE) & WS_CHILD)) top = ::GetParent(top);
    if (top && vqplatform::GetWindowAttachment(top, "dialog") && ::IsDialogMessageW(top, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return ExitInstance();
}

CWinApp* AfxGetApp() { return theApp; }

CWnd* AfxGetMainWnd() { return theApp ? theApp->m_pMainWnd : nullptr; }

int AfxMessageBox(LPCWSTR text, UINT type) {
  CWnd* main = AfxGetMainWnd();
  return ::MessageBoxW(main ? main->GetSafeHwnd() : nullptr, text, theApp ? theApp->m_pszAppName.GetString() : L"",
                       type);
}
