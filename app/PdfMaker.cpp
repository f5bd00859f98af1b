#include "app/PdfMaker.h"

#include "app/PdfPages.h"
#include "imaging/NarrowPath.h"

std::string PdfPathFor(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dot = path.rfind('.');
  const bool inName = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (inName ? path.substr(0, dot) : path) + ".pdf";
}

bool CPdfMaker::SetPath(const wchar_t* path) {
  std::string narrow;
  if (!path || !*path || !vq::NarrowPath(path, &narrow)) {
    path_.clear();
    return false;
  }
  path_ = PdfPathFor(narrow);
  return true;
}

CString CPdfMaker::GetPath() const { return CString(path_.c_str()); }

int CPdfMaker::WriteFiles(std::vector<std::string> paths) {
  if (path_.empty() || paths.empty()) return 1;
  PdfPageDocument document;
  if (!document.Created()) return 1;
  for (const std::string& path : paths)
    if (!document.AddImagePage(path, PdfPageDocument::JpegTest::FirstJpgAtEnd)) return 1;
  return document.Save(path_) ? 0 : 1;
}

void CPdfMaker::Free() {
  if (document_) HPDF_Free(document_);
  document_ = nullptr;
}
