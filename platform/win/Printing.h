#pragma once
// Printing: the print dialog call, printer DCs and print jobs. Destinations
// are the CUPS destinations (queues and their saved instances) and a file
// printer that writes PDF files. A printer DC is a memory DC over a white
// bitmap of the printable area at the printer's resolution; each finished
// page goes onto the medium of a cairo PDF document, which the file printer
// keeps and a CUPS destination submits as the document of the job that
// StartDoc created. The dialog is the layer's own; a hook answers it in its
// place (tests, automation), and without a display and a hook it is
// cancelled.
#include <functional>
#include <string>
#include <vector>

#include "platform/win/GdiTypes.h"
#include "platform/win/PrintingDestinations.h"

#define PD_ALLPAGES 0x00000000u
#define PD_NOSELECTION 0x00000004u
#define PD_RETURNDC 0x00000100u
#define PD_USEDEVMODECOPIESANDCOLLATE 0x00040000u

#define CDERR_GENERALCODES 0x0000u
#define PDERR_PRINTERNOTFOUND 0x100Bu
#define PDERR_CREATEICFAILURE 0x100Au

#define SP_ERROR (-1)

struct PRINTDLGW {
  DWORD lStructSize;
  HWND hwndOwner;
  HGLOBAL hDevMode;
  HGLOBAL hDevNames;
  HDC hDC;
  DWORD Flags;
  WORD nFromPage;
  WORD nToPage;
  WORD nMinPage;
  WORD nMaxPage;
  WORD nCopies;
  HINSTANCE hInstance;
  LPARAM lCustData;
  void* lpfnPrintHook;
  void* lpfnSetupHook;
  LPCWSTR lpPrintTemplateName;
  LPCWSTR lpSetupTemplateName;
  HGLOBAL hPrintTemplate;
  HGLOBAL hSetupTemplate;
};
using LPPRINTDLGW = PRINTDLGW*;

struct DOCINFOW {
  int cbSize;
  LPCWSTR lpszDocName;
  LPCWSTR lpszOutput;  // the file printer's target when given
  LPCWSTR lpszDatatype;
  DWORD fwType;
};

// Shows the print dialog; with PD_RETURNDC the chosen printer's DC is in
// hDC and the copies the program must send itself in nCopies. FALSE when
// cancelled (CommDlgExtendedError 0) or failed (its code).
BOOL PrintDlgW(LPPRINTDLGW dialog);
DWORD CommDlgExtendedError();

// Jobs on a printer DC. StartDocW gives a job id above 0, or SP_ERROR.
int StartDocW(HDC dc, const DOCINFOW* info);
int EndDoc(HDC dc);    // above 0 when the document was written or submitted
int AbortDoc(HDC dc);  // the document is discarded
int StartPage(HDC dc);  // a fresh white page
int EndPage(HDC dc);    // the page goes into the document

namespace vqplatform {

// The file printer's name in the destination list.
inline constexpr const wchar_t* kFilePrinterName = L"PDF file";

// The file printer first, then the CUPS destinations; the CUPS default is
// marked (else nothing is).
std::vector<PrintDestination> ListPrintDestinations();

// What the dialog's user chose.
struct PrintDialogChoice {
  std::wstring printer = kFilePrinterName;
  std::wstring instance;  // of a CUPS queue
  int copies = 1;
  std::string outputFile;  // the file printer's target (a document's lpszOutput wins)
  // The file printer's page; CUPS destinations bring their own.
  int dpi = 150;
  double pageWidthMm = 210;  // A4 portrait unless set
  double pageHeightMm = 297;
};

// Answers PrintDlgW in place of a user: *choice comes preset with the
// default destination (the file printer when CUPS has none) and the
// caller's copies; the hook fills it and returns true to print, false to
// cancel. Null removes the hook. Returns the previous hook.
using PrintDialogHook = std::function<bool(const std::vector<PrintDestination>& destinations,
                                           PrintDialogChoice* choice)>;
PrintDialogHook SetPrintDialogHook(PrintDialogHook hook);

// The layer's print dialog, run modally: the destinations with the preset
// one selected, the file printer's target file, the number of copies, OK
// and Cancel. True with *choice filled on OK; OK stays open while no
// destination is selected, the copies are not 1 to 9999 or the file
// printer has no target.
bool RunPrintDialog(HWND owner, const std::vector<PrintDestination>& destinations, PrintDialogChoice* choice);

// A page raster's limit: A4 and Letter at 600 dpi (144 MB) stay within it.
inline constexpr double kMaxPagePixels = 36e6;

// A printer DC for a destination; null when the destination is unknown.
// Its resolution is the destination's, lowered where a page would pass
// kMaxPagePixels.
HDC CreatePrinterDC(const PrintDialogChoice& choice);
// Deletes a printer DC with its page and any unfinished document.
BOOL DeletePrinterDC(HDC dc);
bool IsPrinterDC(HDC dc);
// GetDeviceCaps itself answers for printer DCs (HORZRES and VERTRES the
// printable area, PHYSICALWIDTH and PHYSICALHEIGHT the medium,
// PHYSICALOFFSETX/Y the printable area's corner on it, all in printer
// pixels; LOGPIXELSX/Y the resolution; HORZSIZE/VERTSIZE the printable area
// in mm); this is the same call.
int GetPrinterDeviceCaps(HDC dc, int index);

}  // namespace vqplatform
