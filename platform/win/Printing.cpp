#include "platform/win/Printing.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "base/PathEncoding.h"
#include "platform/display/Headless.h"
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
  PrinterPage page;              // with the DC's resolution
  int width = 0, height = 0;     // the printable area in printer pixels
  int offsetX = 0, offsetY = 0;  // its corner on the medium
  int paperWidth = 0, paperHeight = 0;
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ oldBitmap = nullptr;
  uint32_t* bits = nullptr;
  // The running document.
  cairo_surface_t* document = nullptr;
  std::string documentPath;
  std::string title;
  bool pageOpen = false;
  int cupsJob = 0;  // the CUPS job the document goes to
  int jobs = 0;     // documents of the file printer
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
  if (p.cupsJob > 0) CancelCupsJob(p.choice.printer, p.cupsJob);
  p.cupsJob = 0;
  p.pageOpen = false;
}

bool EmitPage(PrinterDc& p) {
  GdiFlush();
  cairo_surface_t* image = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(p.bits), CAIRO_FORMAT_RGB24, p.width, p.height, p.width * 4);
  cairo_t* cr = cairo_create(p.document);
  cairo_scale(cr, kPointsPerInch / p.page.dpiX, kPointsPerInch / p.page.dpiY);
  cairo_set_source_surface(cr, image, p.offsetX, p.offsetY);
  cairo_paint(cr);
  cairo_show_page(cr);
  const bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
  cairo_destroy(cr);
  cairo_surface_destroy(image);
  p.pageOpen = false;
  return ok;
}

int Pixels(double mm, int dpi) { return static_cast<int>(std::lround(mm / kMmPerInch * dpi)); }

// The page a choice prints on, its resolution within kMaxPagePixels.
bool PageOf(const PrintDialogChoice& choice, bool isFile, PrinterPage* page) {
  if (isFile) {
    *page = PrinterPage{};
    page->dpiX = page->dpiY = choice.dpi;
    page->widthMm = choice.pageWidthMm;
    page->heightMm = choice.pageHeightMm;
  } else if (!CupsDestinationPage(choice.printer, choice.instance, page)) {
    return false;
  }
  if (page->dpiX < 1 || page->dpiY < 1 || page->widthMm <= 0 || page->heightMm <= 0) return false;
  if (page->leftMm + page->rightMm >= page->widthMm || page->topMm + page->bottomMm >= page->heightMm) return false;
  const double pixels = page->widthMm * page->heightMm / (kMmPerInch * kMmPerInch) * page->dpiX * page->dpiY;
  if (pixels > kMaxPagePixels) {
    const double factor = std::sqrt(kMaxPagePixels / pixels);
    page->dpiX = std::max(1, static_cast<int>(page->dpiX * factor));
    page->dpiY = std::max(1, static_cast<int>(page->dpiY * factor));
  }
  return true;
}

}  // namespace

std::vector<PrintDestination> ListPrintDestinations() {
  PrintDestination file;
  file.name = kFilePrinterName;
  file.isFile = true;
  std::vector<PrintDestination> list{file};
  for (PrintDestination& destination : ListCupsDestinations()) list.push_back(std::move(destination));
  return list;
}

PrintDialogHook SetPrintDialogHook(PrintDialogHook hook) {
  std::lock_guard<std::mutex> lock(gLock);
  std::swap(gHook, hook);
  return hook;
}

HDC CreatePrinterDC(const PrintDialogChoice& choice) {
  auto p = std::make_unique<PrinterDc>();
  p->choice = choice;
  p->isFile = choice.printer == kFilePrinterName;
  if (!PageOf(choice, p->isFile, &p->page)) return nullptr;
  const PrinterPage& page = p->page;
  p->paperWidth = Pixels(page.widthMm, page.dpiX);
  p->paperHeight = Pixels(page.heightMm, page.dpiY);
  p->offsetX = Pixels(page.leftMm, page.dpiX);
  p->offsetY = Pixels(page.topMm, page.dpiY);
  p->width = p->paperWidth - p->offsetX - Pixels(page.rightMm, page.dpiX);
  p->height = p->paperHeight - p->offsetY - Pixels(page.bottomMm, page.dpiY);
  if (p->width < 1 || p->height < 1) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = p->width;
  info.bmiHeader.biHeight = -p->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  p->dc = CreateCompatibleDC(nullptr);
  void* bits = nullptr;
  p->bitmap = p->dc ? CreateDIBSection(p->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!p->bitmap || !bits) {
    if (p->bitmap) DeleteObject(p->bitmap);
    if (p->dc) DeleteDC(p->dc);
    return nullptr;
  }
  p->bits = static_cast<uint32_t*>(bits);
  p->oldBitmap = SelectObject(p->dc, p->bitmap);
  ClearPage(*p);
  // GetDeviceCaps answers with the page, not the screen.
  const std::pair<int, int> caps[] = {
      {HORZRES, p->width},
      {VERTRES, p->height},
      {PHYSICALWIDTH, p->paperWidth},
      {PHYSICALHEIGHT, p->paperHeight},
      {PHYSICALOFFSETX, p->offsetX},
      {PHYSICALOFFSETY, p->offsetY},
      {LOGPIXELSX, page.dpiX},
      {LOGPIXELSY, page.dpiY},
      {HORZSIZE, static_cast<int>(std::lround(p->width * kMmPerInch / page.dpiX))},
      {VERTSIZE, static_cast<int>(std::lround(p->height * kMmPerInch / page.dpiY))},
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
  DeleteObject(p->bitmap);
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
  const std::vector<vqplatform::PrintDestination> destinations = vqplatform::ListPrintDestinations();
  vqplatform::PrintDialogChoice choice;
  choice.copies = dialog->nCopies > 0 ? dialog->nCopies : 1;
  for (const auto& destination : destinations) {
    if (!destination.isDefault) continue;
    choice.printer = destination.name;
    choice.instance = destination.instance;
  }
  bool accepted = false;
  if (hook) {
    accepted = hook(destinations, &choice);
  } else if (!vqplatform::IsHeadless()) {
    accepted = vqplatform::RunPrintDialog(dialog->hwndOwner, destinations, &choice);
  }  // else no one to ask: cancelled
  if (!accepted) return FALSE;
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
    std::string target = info && info->lpszOutput ? vq::PathToBytes(info->lpszOutput) : p->choice.outputFile;
    if (target.empty()) return SP_ERROR;
    p->documentPath = vqplatform::NumberedPath(target, ++p->jobs);
  } else {
    std::error_code error;
    std::string temporary = (std::filesystem::temp_directory_path(error) / "vq-print-XXXXXX").string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return SP_ERROR;
    ::close(fd);
    p->documentPath = temporary;
  }
  const double widthPt = p->page.widthMm / vqplatform::kMmPerInch * vqplatform::kPointsPerInch;
  const double heightPt = p->page.heightMm / vqplatform::kMmPerInch * vqplatform::kPointsPerInch;
  p->document = cairo_pdf_surface_create(p->documentPath.c_str(), widthPt, heightPt);
  if (cairo_surface_status(p->document) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(p->document);
    p->document = nullptr;
    ::unlink(p->documentPath.c_str());
    return SP_ERROR;
  }
  // A CUPS job exists from here on; its id names the document.
  const int job = p->isFile ? vqplatform::gNextJob++
                             : vqplatform::CreateCupsJob(p->choice.printer, p->choice.instance, p->title);
  if (job <= 0) {
    vqplatform::DiscardDocument(*p);
    return SP_ERROR;
  }
  if (!p->isFile) p->cupsJob = job;
  vqplatform::ClearPage(*p);
  p->pageOpen = true;  // drawing before StartPage lands on the first page
  return job;
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
  if (!p->isFile) {
    ok = ok && vqplatform::SendCupsDocument(p->choice.printer, p->cupsJob, p->documentPath, p->title);
    ::unlink(p->documentPath.c_str());
    if (!ok) vqplatform::CancelCupsJob(p->choice.printer, p->cupsJob);
    p->cupsJob = 0;
  } else if (!ok) {
    ::unlink(p->documentPath.c_str());
  }
  return ok ? 1 : SP_ERROR;
}

int AbortDoc(HDC dc) {
  std::lock_guard<std::mutex> lock(vqplatform::gLock);
  PrinterDc* p = vqplatform::Find(dc);
  if (!p || !p->document) return SP_ERROR;
  vqplatform::DiscardDocument(*p);
  return 1;
}
