#include "ui/PdfTifDlg.h"

#include "ui/DocumentPages.h"

namespace {

constexpr int kItemLeft = 20;

}  // namespace

CPdfTifDlg::CPdfTifDlg(CWnd* parent, int mode) : CPageStripDlg(IDD, parent, mode, kItemLeft) {}

BOOL CPdfTifDlg::OnInitDialog() {
  CPageStripDlg::OnInitDialog();
  CString caption;
  caption.Format(L"存为:%s", static_cast<const wchar_t*>(outputPath));
  SetWindowText(caption);
  return TRUE;
}

bool CPdfTifDlg::WriteTiff() {
  std::vector<int> types;
  for (size_t i = 0; i < pages.size(); ++i) types.push_back(PageType(i));
  return WriteTiffDocument(outputPath, pages, types, settings.xDpi, settings.yDpi, settings.jpgQuality);
}
