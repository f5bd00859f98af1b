// Leaving the main window with pages collected, the end of the session, and
// the leftovers of an earlier run. Pages collected for one document are
// never dropped without the user's say: every way out the user takes asks
// first; when nobody can be asked (a signal or a lost display ends the
// session) the document is written.
#include <dirent.h>

#include <string>
#include <vector>

#include "app/SaveFailure.h"
#include "app/VorquellDlg.h"
#include "base/PathEncoding.h"
#include "imaging/WorkFiles.h"
#include "platform/dshow/AsfRecovery.h"
#include "platform/win/Encoding.h"
#include "ui/MultiPageDlg.h"

namespace {

// The date folders ("%04d%02d%02d") under an image folder.
std::vector<std::string> DateFolders(const std::string& folder) {
  std::vector<std::string> found;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return found;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() == 8 && name.find_first_not_of("0123456789") == std::string::npos)
      found.push_back(folder + "/" + name);
  }
  closedir(dir);
  return found;
}

}  // namespace

void CVorquellDlg::OnOK() {
  if (SettleCollectedPages()) CDialog::OnOK();
}

void CVorquellDlg::OnCancel() {
  if (SettleCollectedPages()) CDialog::OnCancel();
}

bool CVorquellDlg::SettleCollectedPages() {
  if (!multiPageDlg_) return true;
  if (InOwnModalLoop(multiPageDlg_.get())) return false;  // it waits for its own answer first
  if (multiPageDlg_->AskBeforeClosing(m_hWnd, settings_.language) == CPageStripDlg::CloseAnswer::kStay) return false;
  CloseMultiPageDialog();
  return true;
}

void CVorquellDlg::ClearLeftoversOfEarlierRuns() {
  std::vector<std::string> folders;
  for (const CString& folder : {settings_.foldPath, settings_.currentFolder, dataFolder_}) {
    if (folder.IsEmpty()) continue;
    folders.push_back(vq::PathToBytes(folder.str()));
  }
  if (!settings_.foldPath.IsEmpty())
    for (const std::string& dated : DateFolders(vq::PathToBytes(settings_.foldPath.str()))) folders.push_back(dated);
  // And what a save of the settings file left beside it.
  const CString settingsFile = settings_.iniFile.GetPath();
  if (const int slash = settingsFile.ReverseFind(L'/'); slash > 0)
    folders.push_back(vq::PathToBytes(settingsFile.Left(slash).str()));
  for (const std::string& folder : folders) {
    // Recordings an earlier run could not finish are finished, or kept as cut short.
    vq::dshow::SettleCutShortRecordings(folder);
    vq::RemoveLeftoverWorkFiles(folder);
  }
}

void CVorquellDlg::ReportUnsavedPages(const CString& basePath) {
  MessageBox(UnsavedFilesMessage(basePath, settings_.language), L"", MB_OK | MB_ICONERROR);
}
