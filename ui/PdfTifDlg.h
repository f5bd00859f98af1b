#pragma once
// A page strip for one multipage document, a sibling of the multipage
// dialog: whoever makes it fills its pages and page types and calls
// ShowPages. It pages by one only, speaks Simplified Chinese, and writes
// TIFF pages with the settings' resolution and JPEG quality.
#include "resources/Resources.h"
#include "ui/PageStripDlg.h"

class CPdfTifDlg : public CPageStripDlg {
 public:
  enum { IDD = IDD_PDF_TIF };
  // Mode 0 PDF, 1 multipage TIFF.
  CPdfTifDlg(CWnd* parent, int mode);

 protected:
  BOOL OnInitDialog() override;
  vq::TiffPageFormat TiffFormat() const override;
};
