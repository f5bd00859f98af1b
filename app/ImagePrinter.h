#pragma once
// Prints one image file on a printer the user picks, at its actual size or
// fitted to the printable area, logging each step to "log.log" in the
// per-machine data folder; and turns one image file into a one-page PDF.
#include "app/LogFile.h"
#include "app/SysSettings.h"
#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

class CImagePrinter {
 public:
  explicit CImagePrinter(int language);
  ~CImagePrinter() = default;
  CImagePrinter(const CImagePrinter&) = delete;
  CImagePrinter& operator=(const CImagePrinter&) = delete;

  void SetMessages(int language);
  // Asks for a printer and sends the copies. 1 when every copy was printed;
  // 0 when the dialog was cancelled (no message) or failed, or a document
  // could not be printed (the failure message box in both cases).
  int Print(CString imagePath);
  // Draws the image centred in the draw area of the printer DC.
  void DrawPage(HDC printerDc, const RECT& drawArea, const CString& imagePath);
  // The image as a one-page PDF of the same name (extension ".pdf"). 0 when
  // written; 1 when not (the image file is then still needed).
  int SaveFileAsPdf(const wchar_t* path);

  // Assigned by the caller: PRINT/TYPE, IMAGE/XDPI, IMAGE/YDPI and the
  // current camera decide the size on paper.
  CSysSettings settings;

 private:
  bool ActualSize() const;
  void ShowFailure();

  CLogFile log_;
  CString printerMissingText_;
  CString printFailureText_;
};
