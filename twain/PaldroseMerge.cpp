// The camera window's merge mode: captures go into the merge dialog, whose
// result comes back as one page.
#include <memory>
#include <utility>

#include "platform/mfc/CWinApp.h"
#include "platform/win/ModalLoops.h"
#include "twain/MergeImageDlg.h"
#include "twain/PaldroseDlg.h"

namespace strenvik {

void CPaldroseDlg::OnMergeCheck() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (IsDlgButtonChecked(6024) != BST_CHECKED) DeleteMergeDialog();
}

void CPaldroseDlg::DeleteMergeDialog() {
  // Its own handlers may be further down the stack (a box of its own).
  vqplatform::DeleteAtTopLevel(std::unique_ptr<CMergeImageDlg>(std::exchange(m_mergeDialog, nullptr)));
}

void CPaldroseDlg::AddPagesToMergeDialog(const std::vector<cv::Mat>& pages) {
  if (pages.empty()) return;
  size_t next = 0;
  if (!m_mergeDialog) {
    m_mergeDialog = new CMergeImageDlg(1, this);
    m_mergeDialog->SetSettings(m_settings);
    m_mergeDialog->AddImage(pages[next++]);
    m_mergeDialog->Create(CMergeImageDlg::IDD, nullptr);
    m_mergeDialog->ShowWindow(SW_SHOW);
    SetFocus();
  }
  for (; next < pages.size(); ++next) m_mergeDialog->AddImage(pages[next]);
  if (m_mergeDialog->GetSafeHwnd()) m_mergeDialog->Invalidate(TRUE);
}

LRESULT CPaldroseDlg::OnMergeFinished(WPARAM, LPARAM merged) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  CheckDlgButton(6024, BST_UNCHECKED);
  if (!m_mergeDialog) return 0;
  if (merged) {
    // An empty result leaves the dialog open.
    if (m_mergeDialog->m_mergedImage.empty()) return 0;
    AddPages({m_mergeDialog->m_mergedImage});
    ShowPageCount();
    DeleteMergeDialog();
    RefreshThumbnailsAfterAdding();
    if (IsDlgButtonChecked(6027) != BST_CHECKED) OnUpload();
  } else {
    DeleteMergeDialog();
  }
  return 0;
}

}  // namespace strenvik
