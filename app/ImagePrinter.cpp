#include "app/ImagePrinter.h"

#include <cstring>

#include "app/PdfMaker.h"
#include "app/PdfPages.h"
#include "imaging/ImageFiles.h"
#include "imaging/NarrowPath.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/GdiBlit.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"

namespace {

struct PrinterTexts {
  const char* printerMissing;
  const char* printFailure;
};

constexpr PrinterTexts kTexts[] = {
    {"没有安装打印机", "打印失败"},
    {"沒有安裝印表機", "列印失敗"},
    {"No printer is installed", "Print failure"},
};

// A 24-bit DIB section holding the picture; null for an empty picture.
HBITMAP BitmapFromImage(const cv::Mat& image) {
  if (image.empty() || image.type() != CV_8UC3) return nullptr;
  void* bits = nullptr;
  HBITMAP bitmap = vqplatform::CreateTopDownDib24(nullptr, image.cols, image.rows, &bits);
  if (!bitmap) return nullptr;
  const size_t stride = vqplatform::Dib24Stride(image.cols);
  for (int y = 0; y < image.rows; ++y)
    std::memcpy(static_cast<unsigned char*>(bits) + y * stride, image.ptr(y), size_t(image.cols) * 3);
  return bitmap;
}

}  // namespace

CImagePrinter::CImagePrinter(int language) {
  // In the data folder, never the folder the program was started from: the
  // log replaces any file of its name.
  const CString folder = vq::MachineDataFolder();
  SHCreateDirectoryExW(nullptr, folder, nullptr);
  log_.Open(vq::JoinPath(folder, L"log.log").c_str());
  log_.SetTimeStamp(1);
  SetMessages(language);
}

void CImagePrinter::SetMessages(int language) {
  if (language < 0 || language > 2) return;
  printerMissingText_ = kTexts[language].printerMissing;
  printFailureText_ = kTexts[language].printFailure;
}

void CImagePrinter::ShowFailure() { MessageBoxW(nullptr, printFailureText_, L"", MB_ICONERROR); }

bool CImagePrinter::ActualSize() const {
  return settings.printType == 0 && settings.currentCamera == 0 && settings.xDpi > 0 && settings.yDpi > 0;
}

int CImagePrinter::Print(CString imagePath) {
  PRINTDLGW dialog{};
  dialog.lStructSize = 66;
  if (CWnd* main = AfxGetMainWnd()) dialog.hwndOwner = main->GetSafeHwnd();
  dialog.Flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE | PD_NOSELECTION;
  dialog.nFromPage = dialog.nToPage = dialog.nMinPage = 1;
  dialog.nMaxPage = 65535;
  dialog.nCopies = 1;
  if (!PrintDlgW(&dialog)) {
    if (CommDlgExtendedError() != 0) ShowFailure();  // a plain cancel is no failure
    return 0;
  }
  HDC dc = dialog.hDC;
  DOCINFOW info{};
  info.cbSize = 20;
  info.lpszDocName = imagePath;
  const RECT drawArea{0, 0, vqplatform::GetPrinterDeviceCaps(dc, HORZRES),
                      vqplatform::GetPrinterDeviceCaps(dc, VERTRES)};

  bool allPrinted = true;
  for (int copy = 1; copy <= dialog.nCopies; ++copy) {
    const int started = StartDocW(dc, &info);
    log_.Write("开始打印任务状态：%d", started);
    bool printed = false;
    if (started > 0 && StartPage(dc) > 0) {
      DrawPage(dc, drawArea, imagePath);
      // A document that did not reach the printer is an interrupted job.
      printed = EndPage(dc) > 0 && EndDoc(dc) > 0;
    }
    if (started > 0 && !printed) AbortDoc(dc);  // a failed EndDoc has already dropped the document
    log_.Write(printed ? "打印任务结束" : "打印任务中断");
    allPrinted = allPrinted && printed;
  }
  vqplatform::DeletePrinterDC(dc);
  if (!allPrinted) ShowFailure();
  return allPrinted ? 1 : 0;
}

void CImagePrinter::DrawPage(HDC printerDc, const RECT& drawArea, const CString& imagePath) {
  const cv::Mat picture = ReadImageW(imagePath);
  log_.Write("Print模块pPpPicture:H=%d,W=%d", picture.rows, picture.cols);
  HBITMAP bitmap = BitmapFromImage(picture);
  log_.Write("Print模块hBitmap:%X", static_cast<unsigned>(reinterpret_cast<uintptr_t>(bitmap)));
  BITMAP record{};
  if (bitmap) GetObjectW(bitmap, sizeof record, &record);
  const int bw = record.bmWidth, bh = record.bmHeight;
  log_.Write("Print模块bitmap:H=%d,W=%d", bh, bw);
  const int areaWidth = drawArea.right - drawArea.left, areaHeight = drawArea.bottom - drawArea.top;
  const double scale = bw > 0 ? static_cast<double>(areaWidth) / bw : 0.0;
  log_.Write("Print模块pPpPicture:dScale=%f,nScaledHeight=%d", scale, static_cast<int>(bh * scale));
  if (!bitmap || bw < 1 || bh < 1) {
    if (bitmap) DeleteObject(bitmap);
    return;
  }

  int width, height;
  if (ActualSize()) {
    width = static_cast<int>(static_cast<long long>(bw) * vqplatform::GetPrinterDeviceCaps(printerDc, LOGPIXELSX) /
                             settings.xDpi);
    height = static_cast<int>(static_cast<long long>(bh) * vqplatform::GetPrinterDeviceCaps(printerDc, LOGPIXELSY) /
                              settings.yDpi);
  } else {
    const float sx = static_cast<float>(areaWidth) / static_cast<float>(bw);
    const float sy = static_cast<float>(areaHeight) / static_cast<float>(bh);
    const float f = sy < sx ? sy : sx;
    width = static_cast<int>(static_cast<float>(bw) * f);
    height = static_cast<int>(static_cast<float>(bh) * f);
  }
  const int x = (vqplatform::GetPrinterDeviceCaps(printerDc, HORZRES) - width) / 2;
  const int y = (vqplatform::GetPrinterDeviceCaps(printerDc, VERTRES) - height) / 2;

  HDC memory = CreateCompatibleDC(printerDc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SetStretchBltMode(printerDc, HALFTONE);
  StretchBlt(printerDc, x, y, width, height, memory, 0, 0, bw, bh, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
}

int CImagePrinter::SaveFileAsPdf(const wchar_t* path) {
  std::string source;
  if (!path || !vq::NarrowPath(path, &source)) return 1;
  PdfPageDocument document;
  if (!document.Created()) return 1;
  if (!document.AddImagePage(source, PdfPageDocument::JpegTest::LastExtension)) return 1;
  return document.Save(PdfPathFor(source)) ? 0 : 1;
}
