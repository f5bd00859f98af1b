#pragma once
// The application object of the program and the objects that live as long
// as the process: the branding data and the prefix index shared with the
// prefix combo box.
#include "app/BrandingData.h"
#include "platform/mfc/CWinApp.h"

class CVorquellApp : public CWinApp {
 public:
  CVorquellApp();
  // The whole life of the program: runs the main window modally; always
  // FALSE, so the process ends when it returns.
  BOOL InitInstance() override;

  // Handed out by the image-path server: the last saved page, set through
  // CVorquellDlg::SetLastSavedPage.
  CString imagePath;
};

// The process's one branding data, read by the main window at start-up.
CBrandingData& TheBrandingData();

// The list index of the selected file prefix (-1: none).
extern int SelectedPrefixIndex;
