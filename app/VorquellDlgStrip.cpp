// The thumbnail strip at the main window's left edge: a ring of four items
// showing the newest outputs, oldest at the top; the items' menu (open,
// delete); and the results the merge and multipage dialogs bring in.
#include "app/VorquellDlg.h"

#include "app/FileNaming.h"
#include "platform/win/FileSystem.h"
#include "platform/win/Shell.h"
#include "ui/MultiPageDlg.h"

namespace {

constexpr UINT kEmptyPicture = 165;
constexpr UINT kTextPagePicture = 194;

}  // namespace

std::vector<CThumbItem*> CVorquellDlg::StripItems() const {
  std::vector<CThumbItem*> items;
  for (const auto& item : strip_) items.push_back(item.get());
  return items;
}

void CVorquellDlg::AddFilesToStrip(const wchar_t* path, std::vector<CThumbItem*> items, int mode,
                                   const wchar_t* thumbSource) {
  const size_t n = items.size();
  if (n == 0 || !path) return;
  CThumbItem* item = items[stripCounter_ % n];
  if (mode == 1) {
    item->SetBitmapResource(kTextPagePicture);
  } else {
    item->LoadFile(thumbSource ? thumbSource : path);
  }
  item->SetFilePath(path);
  if (stripCounter_ < n) {
    item->Redraw();
    ++stripCounter_;
    return;
  }
  // Full: every item takes the place of the one above it, the oldest goes
  // to the bottom with the new file.
  const CRect last = items[n - 1]->GetRect();
  for (size_t i = n - 1; i >= 1; --i) {
    const CRect above = items[i - 1]->GetRect();
    items[i]->SetRect(above.left, above.top, above.right, above.bottom);
  }
  items[0]->SetRect(last.left, last.top, last.right, last.bottom);
  ++stripCounter_;
  for (CThumbItem* each : items) each->Redraw();
}

LRESULT CVorquellDlg::OnThumbNotify(WPARAM wParam, LPARAM lParam) {
  if (lParam != CThumbItem::kThumbContextMenu) return 0;
  menuItem_ = static_cast<int>(wParam);
  TrackThumbMenu(m_hWnd, lastMouse_, TPM_LEFTALIGN);
  return 0;
}

void CVorquellDlg::OnOpenThumbFile() {
  if (menuItem_ >= 0 && menuItem_ < static_cast<int>(strip_.size()))
    ShellExecuteW(nullptr, L"open", strip_[static_cast<size_t>(menuItem_)]->GetFilePath(), nullptr, nullptr,
                  SW_SHOWMAXIMIZED);
  menuItem_ = -1;
}

void CVorquellDlg::OnDeleteThumbFile() {
  if (menuItem_ >= 0 && menuItem_ < static_cast<int>(strip_.size())) {
    CThumbItem& item = *strip_[static_cast<size_t>(menuItem_)];
    DeleteFileW(item.GetFilePath());
    item.Clear();
    item.SetBitmapResource(kEmptyPicture);
    item.ResetState();
    item.Redraw();
  }
  menuItem_ = -1;
}

void CVorquellDlg::OnMouseMove(UINT flags, CPoint point) {
  for (auto& item : strip_) item->OnMouseMove(flags, point.x, point.y);
  if (logo_) logo_->SetHandCursorIfHit(flags, point.x, point.y);
  lastMouse_ = point;
  Default();
}

void CVorquellDlg::OnLButtonDown(UINT flags, CPoint point) {
  for (auto& item : strip_) item->OnLButtonDown(flags, point.x, point.y);
  if (logo_) logo_->OpenLinkIfHit(flags, point.x, point.y);
  Default();
}

void CVorquellDlg::OnLButtonUp(UINT flags, CPoint point) {
  for (auto& item : strip_) item->OnLButtonUp(flags, point.x, point.y);
  Default();
}

void CVorquellDlg::OnRButtonDown(UINT flags, CPoint point) {
  lastMouse_ = point;
  for (auto& item : strip_) item->OnRButtonDown(flags, point.x, point.y);
  Default();
}

void CVorquellDlg::SetMergedFilePath(const CString& path) { mergedFilePath_ = path; }

void CVorquellDlg::MergeDialogClosing(CShowImageDlg* dialog) {
  if (mergeDlg_ == dialog) mergeDlg_ = nullptr;
}

// The captures of a merge that did not happen were written under work
// names (Tmp<date><time>): they become pages named as the merged file would
// have been (the next free name each), shown in the strip.
void CVorquellDlg::KeepUnmergedFiles(const std::vector<CString>& paths, const CString& mergedName) {
  for (const CString& path : paths) {
    CString kept = path;
    if (!mergedName.IsEmpty()) {
      const int dot = path.ReverseFind(L'.'), slash = path.ReverseFind(L'/');
      const CString target = UnusedBasePath(mergedName) + (dot > slash ? path.Mid(dot) : CString());
      // Where it cannot be renamed it stays a page under its work name.
      if (MoveFileW(path, target)) kept = target;
    }
    unmergedFiles_.push_back(kept);
  }
}

LRESULT CVorquellDlg::OnMergeFinished(WPARAM, LPARAM) {
  // The dialog is gone already (MergeDialogClosing forgot it); only its
  // result is left: the merged file, or the pictures it kept as pages.
  std::vector<CString> shown = std::move(unmergedFiles_);
  unmergedFiles_.clear();
  if (!mergedFilePath_.IsEmpty()) shown.push_back(mergedFilePath_);
  for (const CString& path : shown) AddFilesToStrip(path, StripItems(), 0, nullptr);
  if (!shown.empty()) SetLastSavedPage(shown.back());
  mergedFilePath_.Empty();
  return 0;
}

LRESULT CVorquellDlg::OnMultiPageClosed(WPARAM wParam, LPARAM) {
  // A dialog opened after the closed one posted its message stays.
  if (wParam == 0 && multiPageDlg_ && multiPageDlg_->IsClosed()) CloseMultiPageDialog();
  return 1;
}
