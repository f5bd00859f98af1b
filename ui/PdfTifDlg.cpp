#include "ui/PdfTifDlg.h"

#include "imaging/TiffPageWriter.h"
#include "platform/win/FileSystem.h"

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
  CTiffPageWriter writer;
  if (!writer.Open(outputPath, static_cast<int>(pages.size()))) return false;
  writer.SetResolution(settings.xDpi, settings.yDpi);
  writer.SetJpegQuality(settings.jpgQuality);
  bool written = true;
  for (size_t i = 0; i < pages.size() && written; ++i) written = writer.WritePageFromFile(pages[i], PageType(i));
  writer.Close();
  if (!written) DeleteFileW(outputPath);
  return written;
}
