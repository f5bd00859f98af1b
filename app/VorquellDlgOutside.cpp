// The main window and the programs beside it: the window made reachable,
// the image server asked at start-up and the image-path requests answered
// while it runs (app/ImagePathServer.h does the work).
#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "platform/win/ProgramWindows.h"

namespace {

CVorquellApp* TheApp() { return dynamic_cast<CVorquellApp*>(AfxGetApp()); }

}  // namespace

void CVorquellDlg::MakeReachableByOutsidePrograms() {
  // The request's parameters carry nothing, so junk in them is harmless.
  vqplatform::MakeReachableByPrograms(GetSafeHwnd(), {WM_IMAGEPATH_REQUEST});
}

int CVorquellDlg::ProbeImageServer() { return ::ProbeImageServer(); }

void CVorquellDlg::SetLastSavedPage(const CString& path) {
  if (CVorquellApp* app = TheApp()) app->imagePath = path;
}

LRESULT CVorquellDlg::OnImagePathRequest(WPARAM, LPARAM) {
  // A window run without the application object hands out an empty path.
  const CVorquellApp* app = TheApp();
  return imagePathServer_.AnswerRequest(app ? app->imagePath : CString());
}
