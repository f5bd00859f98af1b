#include "ui/PdfTifDlg.h"

namespace {

constexpr int kItemLeft = 20;

}  // namespace

CPdfTifDlg::CPdfTifDlg(CWnd* parent, int mode) : CPageStripDlg(IDD, parent, mode, kItemLeft) {}

BOOL CPdfTifDlg::OnInitDialog() {
  const BOOL focusFirst = CPageStripDlg::OnInitDialog();
  CString caption;
  caption.Format(L"存为:%s", static_cast<const wchar_t*>(outputPath));
  SetWindowText(caption);
  return focusFirst;
}

vq::TiffPageFormat CPdfTifDlg::TiffFormat() const {
  return vq::TiffPageFormat{settings.xDpi, settings.yDpi, settings.jpgQuality};
}
