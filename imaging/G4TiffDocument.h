#pragma once
// A black-and-white TIFF document kept in memory as 1-bit pages; every added
// page rewrites the whole file (CCITT Group 4 pages with page numbers).
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "imaging/BilevelPage.h"
#include "imaging/ReplacingFile.h"

class CG4TiffDocument {
 public:
  // Results of AddPage.
  enum AddResult { ADD_WRITTEN = 0, ADD_EMPTY_PAGE = 1, ADD_FILE_FAILED = 2 };

  CG4TiffDocument();
  ~CG4TiffDocument();
  CG4TiffDocument(const CG4TiffDocument&) = delete;
  CG4TiffDocument& operator=(const CG4TiffDocument&) = delete;

  // Stores the file's path; false (and the name emptied) when it names no file.
  bool SetFileName(const wchar_t* path);
  // False with nothing changed when either value is below 1.
  bool SetResolution(int x, int y);
  // Packs the page (a colour page is turned grey first) and rewrites the file
  // with every page held. ADD_EMPTY_PAGE for an empty or unusable page
  // (nothing added); ADD_FILE_FAILED when the file cannot be written: the
  // page stays held and the previous file is left as it was.
  int AddPage(const cv::Mat& page);

  // The file's path; after the first write, where that write placed it.
  std::string fileName;
  // How the first write places the file when one is already there (kFreeName
  // for a new document: another writer's file is never replaced); the later
  // pages replace the document's own file.
  vq::CReplacingFile::Placing firstPlacing = vq::CReplacingFile::Placing::kReplace;
  std::vector<std::unique_ptr<BilevelPage>> pages;
  int xDpi = 96;
  int yDpi = 96;

 private:
  bool WriteAllPages(const std::string& path) const;
};

// Appends an image file as a bilevel page (grey below 125 black): 0 when the
// page was added and the file rewritten, 1 when the file gives no image (the
// document is left as it was), else what AddPage returns.
int AppendBilevelPageFromFile(CG4TiffDocument* document, const wchar_t* path);
