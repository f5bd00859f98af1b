#include "app/VorquellApp.h"

#include "app/VorquellDlg.h"
#include "platform/win/Controls.h"
#include "platform/win/GdiplusStartup.h"
#include "resources/Resources.h"

int SelectedPrefixIndex = 0;

CBrandingData& TheBrandingData() {
  static CBrandingData branding;
  return branding;
}

CVorquellApp::CVorquellApp() : CWinApp(L"Vorquell") {}

BOOL CVorquellApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  // The picture library stays started until the process ends.
  ULONG_PTR pictureLibrary = 0;
  Gdiplus::GdiplusStartupInput pictureInput;
  Gdiplus::GdiplusStartup(&pictureLibrary, &pictureInput, nullptr);
  AfxEnableControlContainer();
  SetRegistryKey(L"应用程序向导生成的本地应用程序");  // nothing is stored there
  vqres::LoadResources();
  CVorquellDlg dialog(nullptr);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  dialog.CloseImagePathServer();
  m_pMainWnd = nullptr;
  return FALSE;
}
