#pragma once
// Turns a list of image files into one PDF document, one page per file.
#include <string>
#include <vector>

#include <hpdf.h>

#include "platform/mfc/CString.h"

class CPdfMaker {
 public:
  CPdfMaker() = default;
  ~CPdfMaker() { Free(); }
  CPdfMaker(const CPdfMaker&) = delete;
  CPdfMaker& operator=(const CPdfMaker&) = delete;

  // The target: the path with its extension (a "." in the file name, not in
  // a folder name) replaced by ".pdf". False when the path is missing or
  // names no file (the stored path is then emptied).
  bool SetPath(const wchar_t* path);
  CString GetPath() const;
  // Writes one page per path, in order. 0 when the document was written; 1
  // when it was not (no target, no page, or a page that cannot be embedded):
  // no file is left then.
  int WriteFiles(std::vector<std::string> paths);
  // Frees a held document (WriteFiles holds none after it returns).
  void Free();

 private:
  HPDF_Doc document_ = nullptr;
  std::string path_;
};

// The path with the extension of its file name (if any) replaced by ".pdf".
std::string PdfPathFor(const std::string& path);
