#pragma once
// The merge dialog: the two most recent captures as two thumbnails, one
// above the other or side by side, in either order; OK merges them into
// one file, Print prints the merged picture. It is modeless and owns
// itself: made with new, it deletes itself once its window is gone, after
// posting WM_MERGE_FINISHED to its owner. Return is OK (the focus starts
// on it), Esc Cancel. The pictures it holds when it goes without merging
// them (Cancel, the close box, a failed merge, the owner closing it) are
// handed to the owner, which keeps them as pages.
#include <vector>

#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/CString.h"
#include "resources/Resources.h"
#include "ui/ThumbItem.h"

// Posted to the owner when the dialog's window goes: wParam the dialog (no
// longer there when the message arrives: compare it, never use it), lParam 0.
#define WM_MERGE_FINISHED (WM_USER + 0x35)

class CShowImageDlg;

// What the owner window (the main window) does for its merge dialog. The
// dialog finds it as its parent window.
class CMergeDialogOwner {
 public:
  // The file the dialog wrote: empty after a cancel or a failed merge.
  virtual void SetMergedFilePath(const CString& path) = 0;
  // Called while the dialog's window is destroyed, before the dialog
  // deletes itself: the owner drops its pointer here, so no capture that
  // arrives before WM_MERGE_FINISHED reaches a dialog that is gone.
  virtual void MergeDialogClosing(CShowImageDlg* dialog) = 0;
  // The pictures of a dialog that went without merging them, which the
  // owner keeps as pages, and the merged file's base name (outputName);
  // called before MergeDialogClosing.
  virtual void KeepUnmergedFiles(const std::vector<CString>& paths, const CString& mergedName) {
    (void)paths;
    (void)mergedName;
  }

 protected:
  ~CMergeDialogOwner() = default;
};

class CShowImageDlg : public CDialog {
 public:
  enum { IDD = IDD_SHOW_IMAGE };
  static constexpr int kItemSize = 320;
  static constexpr int kMargin = 7;

  // topBottom non-zero: one above the other. Make it with new only.
  CShowImageDlg(int topBottom, CWnd* parent, int language);
  // Deleting the dialog while its window is there destroys the window
  // (the owner is told as for any other end) without a second delete.
  ~CShowImageDlg() override;

  void SetSettings(CSysSettings settings);
  // Shows a captured file: the first two fill the two pictures, later ones
  // replace the older of the two. The first file that loads sizes both.
  void AddImage(const CString& path);
  void RedrawAll();

  // Folder and base name of the merged file, without extension.
  CString outputName;

  const CThumbItem* Item(int index) const { return items_[static_cast<size_t>(index)]; }
  bool IsTopBottom() const { return topBottom_ != 0; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void PostNcDestroy() override;
  DECLARE_MESSAGE_MAP()

  void OnPaint();
  void OnSwap();
  void OnToggleArrangement();
  void OnPrint();
  void OnDestroy();
  void OnMouseMove(UINT flags, CPoint point);
  void OnRButtonDown(UINT flags, CPoint point);
  LRESULT OnThumbNotify(WPARAM wParam, LPARAM lParam);
  void OnClearItem();
  void OnViewItem();

 private:
  void SetLanguageTexts(int language);
  void Layout();
  // Both pictures hold a file; else the two-images message.
  bool CheckTwoImages();
  CThumbItem* First() const { return items_[order_ ? 0 : 1]; }
  CThumbItem* Second() const { return items_[order_ ? 1 : 0]; }
  CMergeDialogOwner* Owner() const;
  void DeleteItems();
  // The pictures still held and not merged, that are still on disk.
  std::vector<CString> UnmergedPictures() const;

  int language_;
  CString leftRightText_;
  CString topBottomText_;
  CString twoImagesText_;
  std::vector<CThumbItem*> items_;
  CSysSettings settings_;
  CWnd* parent_;
  CRect itemRect_{0, 0, 0, 0};
  int topBottom_;
  int order_ = 1;
  int imagesAdded_ = 0;
  int nextItem_ = 0;
  int menuItem_ = -1;
  CPoint mousePoint_{0, 0};
  bool deleting_ = false;  // the destructor runs: no self-deletion
  bool merged_ = false;    // OK wrote the merged file: its pictures are used
};
