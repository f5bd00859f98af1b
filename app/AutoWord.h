#pragma once
// Writes text into a new Word document through automation of
// "Word.Application": one bold paragraph, then an empty one, saved under a
// file name. Word runs only inside WriteDocument.
#include <string>

#include "platform/mfc/CString.h"
#include "platform/win/WordAutomation.h"

// One late-bound call: kind DISPATCH_METHOD, _PROPERTYGET or _PROPERTYPUT,
// arguments in the order given. The call's result; failures are returned,
// never fatal.
HRESULT AutoWrap(int kind, VARIANT* result, IDispatch* object, const wchar_t* name, int count, ...);

class CAutoWord {
 public:
  CAutoWord();
  virtual ~CAutoWord();
  CAutoWord(const CAutoWord&) = delete;
  CAutoWord& operator=(const CAutoWord&) = delete;

  // The document's file name (a copy is kept).
  void SetFileName(const CString& path);
  // The text (ANSI code page) to insert.
  void SetText(const std::string& text);
  // 0 when the document was written; 1 when Word cannot be started or any
  // step fails (a failed save included), so the caller can fall back.
  int WriteDocument();
  // Quits a held application object.
  void QuitApplication();

 private:
  int Automate(IDispatch* application);

  CString fileName_;
  std::wstring text_;
  IDispatch* application_ = nullptr;
  bool comInitialised_ = false;
};
