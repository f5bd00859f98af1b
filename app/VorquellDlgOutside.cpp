// The main window and the programs beside it: the image server asked at
// start-up and the image-path requests answered while it runs
// (app/ImagePathServer.h does the work).
#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"

namespace {

CVorquellApp* TheApp() { return dynamic_cast<CVorquellApp*>(AfxGetApp()); }

}  // namespace

int CVorquellDlg::ProbeImageServer() { return ::ProbeImageServer(); }

void CVorquellDlg::SetLastSavedPage(const CString& path) {
  if (CVorquellApp* app = TheApp()) app->imagePath = path;
}

LRESULT CVorquellDlg::OnImagePathRequest(WPARAM, LPARAM) {
  // A window run without the application object hands out an empty path.
  const CVorquellApp* app = TheApp();
  return imagePathServer_.AnswerRequest(app ? app->imagePath : CString());
}
