#pragma once
// The timed-shots list: the shots as a list of thumbnails with their file
// names, a count, and "Combine", which writes them into one PDF (mode 2) or
// multipage TIFF (mode 3) and posts WM_MULTIPAGE_CLOSED to the owner. It
// adds no shots itself: whoever makes it fills the files, their colour
// modes, the list and the image list, and deletes it after the message.
#include <vector>

#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"
#include "ui/PageStripDlg.h"

class CPicDlg : public CDialog {
 public:
  enum { IDD = IDD_PIC };
  explicit CPicDlg(CWnd* parent = nullptr);
  ~CPicDlg() override;

  CSysSettings settings;
  int mode = 2;  // 2 PDF, 3 multipage TIFF
  CImageList imageList;
  CListCtrl list;
  CString countText;
  // The image list's picture size; both set: the list shows pictures.
  int thumbWidth = 0;
  int thumbHeight = 0;
  int shotCount = 0;
  CString outputPath;
  int selectedItem = -1;
  std::vector<CString> files;
  std::vector<int> colorModes;  // per file: 0 colour, 1 grey, 2 black-and-white

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  // Combine; the dialog stays open.
  void OnOK() override;
  // Only tells the owner.
  void OnCancel() override;
  DECLARE_MESSAGE_MAP()

  void OnListRightClick(NMHDR* header, LRESULT* result);
  void OnDeleteFile();
  void OnOpenFile();

 private:
  void NotifyOwner();
};
