#pragma once
// The multipage dialog: collects every capture of a one-PDF (mode 0) or
// multipage-TIFF (mode 1) run as a page, in the user's language, with
// tooltips on its paging buttons and paging by four as well as by one.
// TIFF pages are written with the TIFF writer's own resolution and quality.
#include "platform/mfc/ControlClasses.h"
#include "resources/Resources.h"
#include "ui/PageStripDlg.h"

class CMultiPageDlg : public CPageStripDlg {
 public:
  enum { IDD = IDD_MULTI_PAGE };
  CMultiPageDlg(CWnd* parent, int mode, int language);

  // Adds a page file (a file already listed is ignored); in TIFF mode its
  // page type is the settings' colour mode now. False once the dialog has
  // closed: the file was not taken, so the caller keeps it.
  bool AddFile(const CString& path);
  BOOL PreTranslateMessage(MSG* msg) override;

 protected:
  BOOL OnInitDialog() override;
  // The TIFF writer's own: 200 dpi, quality 50.
  vq::TiffPageFormat TiffFormat() const override { return vq::TiffPageFormat{}; }
  DECLARE_MESSAGE_MAP()

  void OnPreviousGroup();
  void OnNextGroup();

 private:
  void SetLanguageTexts(int language);

  CString caption_;
  CString previousGroupTip_;
  CString previousPageTip_;
  CString nextPageTip_;
  CString nextGroupTip_;
  CToolTipCtrl tooltip_;
};
