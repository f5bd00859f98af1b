#include "app/VorquellApp.h"

#include "app/VorquellDlg.h"
#include "resources/Resources.h"

int SelectedPrefixIndex = 0;

CBrandingData& TheBrandingData() {
  static CBrandingData branding;
  return branding;
}

CVorquellApp::CVorquellApp() : CWinApp(L"Vorquell") {}

BOOL CVorquellApp::InitInstance() {
  // Common controls, the picture library and the control container need no
  // start here; the registry key names nothing the program stores.
  vqres::LoadResources();
  CVorquellDlg dialog(nullptr);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
