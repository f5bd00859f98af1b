#include "platform/win/Printing.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <cups/cups.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/win/Encoding.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"

namespace vqplatform {
namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kPointsPerInch = 72.0;

struct PrinterDc {
  PrintDialogChoice choice;
  bool isFile = false;
  int width = 0, height = 0;  // printer pixels
  HDC dc = nullptr;
  HBITMAP page = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  uint32_t* bits = nullptr;
  // The running document.
  cairo_surface_t* document = nullptr;
  std::string documentPath;
  std::string title;
  bool pageOpen = false;
  int jobs = 0;
};

std::mutex gLock;
std::map<HDC, std::unique_ptr<PrinterDc>> gPrinters;
PrintDialogHook gHook;
thread_local DWORD gDialogError = 0;
int gNextJob = 1;

PrinterDc* Find(HDC dc) {
  auto it = gPrinters.find(dc);
  return it == gPrinters.end() ? nullptr : it->second.get();
}

void ClearPage(PrinterDc& p) {
  RECT all{0, 0, p.width, p.height};
  FillRect(p.dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

// The target of the n-th document of a file printer: the name, then
// "name-2.pdf", "name-3.pdf" for further copies.
std::string NumberedPath(const std::string& path, int job) {
  if (job <= 1) return path;
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  const std::string stem = hasExtension ? path.substr(0, dot) : path;
  return stem + "-" + std::to_string(job) + (hasExtension ? path.substr(dot) : std::string());
}

void DiscardDocument(PrinterDc& p) {
  if (p.document) {
    cairo_surface_finish(p.document);
    cairo_surface_destroy(p.document);
    p.document = nullptr;
    ::unlink(p.documentPath.c_str());
  }
  p.pageOpen = false;
}

bool EmitPage(PrinterDc& p) {
  GdiFlush();
  cairo_surface_t* image = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(p.bits), CAIRO_FORMAT_RGB24, p.width, p.height, p.width * 4);
  cairo_t* cr = cairo_create(p.document);
  const double scale = kPointsPerInch / p.choice.dpi;
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, image, 0, 0);
  cairo_paint(cr);
  cairo_show_page(cr);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_destroy(image);
  p.pageOpen = false;
  return ok;
}

}  // namespace

std::vector<PrintDestination> ListPrintDestinations() {
  std::vector<PrintDestination> list{{kFilePrinterName, true}};
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  for (int i = 0; i < count; ++i) list.push_back({vq::Utf8ToWide(dests[i].name), false});
  cupsFreeDests(count, dests);
  return list;
}

PrintDialogHook SetPrintDialogHook(PrintDialogHook hook) {
  std::lock_guard<std::mutex> lock(gLock);
  std::swap(gHook, hook);
  return hook;
}

HDC CreatePrinterDC(const PrintDialogChoice& choice) {
  if (choice.dpi < 1 || choice.pageWidthMm <= 0 || choice.pageHeightMm <= 0) return nullptr;
  bool isFile = choice.printer == kFilePrinterName;
  if (!isFile) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const bool known = cupsGetDest(vq::WideToUtf8(choice.printer).c_str(), nullptr, count, dests) != nullptr;
    cupsFreeDests(count, dests);
    if (!known) return nullptr;
  }
  auto p = std::make_unique<PrinterDc>();
  p->choice = choice;
  p->isFile = isFile;
  p->width = static_cast<int>(std::lround(choice.pageWidthMm / kMmPerInch * choice.dpi));
  p->height = static_cast<int>(std::lround(choice.pageHeightMm / kMmPerInch * choice.dpi));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = p->width;
  info.bmiHeader.biHeight = -p->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  p->dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  p->page = p->dc ? CreateDIBSection(p->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!p->page || !bits) {
    if (p->page) DeleteObject(p->page);
    if (p->dc) DeleteDC(p->dc);
    return nullptr;
  }
  p->bits = static_cast<uint32_t*>(bits);
  p->oldBitmap = SelectObject(p->dc, p->page);
  ClearPage(*p);
  // GetDeviceCaps answers with the page, not the screen.
  const std::pair<int, int> caps[] = {
      {HORZRES, p->width},
      {VERTRES, p->height},
      {PHYSICALWIDTH, p->width},
      {PHYSICALHEIGHT, p->height},
      {PHYSICALOFFSETX, 0},
      {PHYSICALOFFSETY, 0},
      {LOGPIXELSX, choice.dpi},
      {LOGPIXELSY, choice.dpi},
      {HORZSIZE, static_cast<int>(std::lround(choice.pageWidthMm))},
      {VERTSIZE, static_cast<int>(std::lround(choice.pageHeightMm))},
  };
  for (auto [index, value] : caps) SetDeviceCapsValue(p->dc, index, value);
  HDC dc = p->dc;
  std::lock_guard<std::mutex> lock(gLock);
  gPrinters[dc] = std::move(p);
  return dc;
}

BOOL DeletePrinterDC(HDC dc) {
  std::unique_ptr<PrinterDc> p;
  {
    std::lock_guard<std::mutex> lock(gLock);
    auto it = gPrinters.find(dc);
    if (it == gPrinters.end()) return FALSE;
    p = std::move(it->second);
    gPrinters.erase(it);
  }
  DiscardDocument(*p);
  SelectObject(p->dc, p->oldBitmap);
  DeleteObject(p->page);
  DeleteDC(p->dc);
  return TRUE;
}

bool IsPrinterDC(HDC dc) {
  std::lock_guard<std::mutex> lock(gLock);
  return Find(dc) != nullptr;
}

int GetPrinterDeviceCaps(HDC dc, int index) { return GetDeviceCaps(dc, index); }

}  // namespace vqplatform

using vqplatform::PrinterDc;

BOOL PrintDlgW(LPPRINTDLGW dialog) {
  vqplatform::gDialogError = 0;
  if (!dialog || dialog->lStructSize == 0) {
    vqplatform::gDialogError = CDERR_GENERALCODES + 1;  // CDERR_STRUCTSIZE
    return FALSE;
  }
  vqplatform::PrintDialogHook hook;
  {
    std::lock_guard<std::mutex> lock(vqplatform::gLock);
    hook = vqplatform::gHook;
  }
  if (!hook) return FALSE;  // no one to ask: cancelled
  vqplatform::PrintDialogChoice choice;
  choice.copies = dialog->nCopies > 0 ? dialog->nCopies : 1;
  if (!hook(vqplatform::ListPrintDestinations(), &choice)) return FALSE;
  if (dialog->Flags & PD_RETURNDC) {
    HDC dc = vqplatform::CreatePrinterDC(choice);
    if (!dc) {
      vqplatform::gDialogError = PDERR_PRINTERNOTFOUND;
      return FALSE;
    }
    dialog->hDC = dc;
  }
  // Neither destination makes copies itself: the program sends each one.
  dialog->nCopies = static_cast<WORD>(choice.copies < 1 ? 1 : choice.copies);
  return TRUE;
}

DWORD CommDlgExtendedError() { return vqplatform::gDialogError; }

int StartDocW(HDC dc, const DOCINFOW* info) {
  std::lock_guard<std::mutex> lock(vqplatform::gLock);
  PrinterDc* p = vqplatform::Find(dc);
  if (!p || p->document) return SP_ERROR;
  p->title = info && info->lpszDocName ? vq::WideToUtf8(info->lpszDocName) : std::string("document");
  if (p->isFile) {
    std::string target = info && info->lpszOutput ? vq::WideToUtf8(info->lpszOutput) : p->choice.outputFile;
    if (target.empty()) return SP_ERROR;
    p->documentPath = vqplatform::NumberedPath(target, ++p->jobs);
  } else {
    char temporary[] = "/tmp/vq-print-XXXXXX";
    const int fd = ::mkstemp(temporary);
    if (fd < 0) return SP_ERROR;
    ::close(fd);
    p->documentPath = temporary;
  }
  const double widthPt = p->width * vqplatform::kPointsPerInch / p->choice.dpi;
  const double heightPt = p->height * vqplatform::kPointsPerInch / p->choice.dpi;
  p->document = cairo_pdf_surface_create(p->documentPath.c_str(), widthPt, heightPt);
  if (cairo_surface_status(p->document) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(p->document);
    p->document = nullptr;
    return SP_ERROR;
  }
  vqplatform::ClearPage(*p);
  p->pageOpen = true;  // drawing before StartPage lands on the first page
  return vqplatform::gNextJob++;
}

int StartPage(HDC dc) {
  std::lock_guard<std::mutex> lock(vqplatform::gLock);
  PrinterDc* p = vqplatform::Find(dc);
  if (!p || !p->document) return SP_ERROR;
  vqplatform::ClearPage(*p);
  p->pageOpen = true;
  return 1;
}

int EndPage(HDC dc) {
  std::lock_guard<std::mutex> lock(vqplatform::gLock);
  PrinterDc* p = vqplatform::Find(dc);
  if (!p || !p->document || !p->pageOpen) return SP_ERROR;
  return vqplatform::EmitPage(*p) ? 1 : SP_ERROR;
}

int EndDoc(HDC dc) {
  std::lock_guard<std::mutex> lock(vqplatform::gLock);
  PrinterDc* p = vqplatform::Find(dc);
  if (!p || !p->document) return SP_ERROR;
  bool ok = !p->pageOpen || vqplatform::EmitPage(*p);
  cairo_surface_finish(p->document);
  ok = ok && cairo_surface_status(p->document) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(p->document);
  p->document = nullptr;
  if (!ok) {
    ::unlink(p->documentPath.c_str());
    return SP_ERROR;
  }
  if (!p->isFile) {
    const int job = cupsPrintFile(vq::WideToUtf8(p->choice.printer).c_str(), p->documentPath.c_str(),
                                  p->title.c_str(), 0, nullptr);
    ::unlink(p->documentPath.c_str());
    if (job <= 0) return SP_ERROR;
  }
  return 1;
}

int AbortDoc(HDC dc) {
  std::lock_guard<std::mutex> lock(vqplatform::gLock);
  PrinterDc* p = vqplatform::Find(dc);
  if (!p || !p->document) return SP_ERROR;
  vqplatform::DiscardDocument(*p);
  return 1;
}
