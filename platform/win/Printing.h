#pragma once
// Printing: the print dialog call, printer DCs and print jobs. Destinations
// are the CUPS printers and a file printer that writes PDF files. A printer
// DC is a memory DC over a white page bitmap at the printer's resolution;
// each finished page goes into a cairo PDF document, which the file printer
// keeps and a CUPS printer submits when the document ends. Without a display
// the dialog is answered by a hook (tests, automation); without one it is
// cancelled.
#include <functional>
#include <string>
#include <vector>

#include "platform/win/GdiTypes.h"

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

struct PrintDestination {
  std::wstring name;
  bool isFile = false;  // the PDF file printer
};

// The file printer's name in the destination list.
inline constexpr const wchar_t* kFilePrinterName = L"PDF file";

// The file printer first, then the CUPS destinations.
std::vector<PrintDestination> ListPrintDestinations();

// What the dialog's user chose.
struct PrintDialogChoice {
  std::wstring printer = kFilePrinterName;
  int copies = 1;
  int dpi = 150;              // the printer's resolution
  double pageWidthMm = 210;   // A4 portrait unless set
  double pageHeightMm = 297;
  std::string outputFile;     // the file printer's target (a document's lpszOutput wins)
};

// Answers PrintDlgW in place of a user: fills *choice and returns true to
// print, false to cancel. Null removes the hook. Returns the previous hook.
using PrintDialogHook = std::function<bool(const std::vector<PrintDestination>& destinations,
                                           PrintDialogChoice* choice)>;
PrintDialogHook SetPrintDialogHook(PrintDialogHook hook);

// A printer DC for a destination; null when the destination is unknown.
HDC CreatePrinterDC(const PrintDialogChoice& choice);
// Deletes a printer DC with its page and any unfinished document.
BOOL DeletePrinterDC(HDC dc);
bool IsPrinterDC(HDC dc);
// GetDeviceCaps itself answers for printer DCs (HORZRES, VERTRES,
// PHYSICALWIDTH and PHYSICALHEIGHT in printer pixels, LOGPIXELSX/Y the
// resolution, HORZSIZE/VERTSIZE in mm); this is the same call.
int GetPrinterDeviceCaps(HDC dc, int index);

}  // namespace vqplatform
