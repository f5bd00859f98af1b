#include "imaging/TiffPageWriter.h"

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <string>

#include "imaging/ImageFiles.h"
#include "imaging/NarrowPath.h"

namespace {

// A classic TIFF header alone: the file holds no directory.
constexpr off_t kHeaderOnlySize = 8;

}  // namespace

CTiffPageWriter::CTiffPageWriter() = default;

CTiffPageWriter::~CTiffPageWriter() { Close(); }

bool CTiffPageWriter::Open(const wchar_t* path, int pages) {
  if (tiff != nullptr) return false;
  Close();  // finishes a file given up after a failed write
  std::string narrow;
  if (!vq::NarrowPath(path, &narrow)) return false;
  tiff = TIFFOpen(narrow.c_str(), "w");
  if (tiff == nullptr) return false;
  path_ = narrow;
  pageCount = pages;
  pagesWritten = 0;
  return true;
}

void CTiffPageWriter::SetResolution(int x, int y) {
  xDpi = x;
  yDpi = y;
}

void CTiffPageWriter::SetJpegQuality(int quality) { jpegQuality = quality < 25 ? 25 : quality; }

vq::TiffPageFormat CTiffPageWriter::Format() const { return vq::TiffPageFormat{xDpi, yDpi, jpegQuality}; }

bool CTiffPageWriter::WritePage(const cv::Mat& image, int type) {
  if (tiff == nullptr || pagesWritten >= pageCount || !vq::CanWriteTiffPage(image, type)) return false;
  // The subfile type goes with the first page only, so a file that gets no
  // page here holds no directory of its own.
  if (pagesWritten == 0) TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(FILETYPE_PAGE));
  TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pagesWritten), static_cast<uint16_t>(pageCount));
  if (!vq::WriteTiffPage(tiff, image, type, Format())) {
    // The file cannot take more; the pages written so far stay readable.
    vq::AbandonTiff(tiff);
    tiff = nullptr;
    return false;
  }
  ++pagesWritten;
  return true;
}

bool CTiffPageWriter::WritePageFromFile(const wchar_t* path, int type) {
  const cv::Mat image = ReadImageW(path);
  if (image.empty()) return false;
  return WritePage(image, type);
}

bool CTiffPageWriter::AppendPageToFile(const cv::Mat& image, const wchar_t* path, int type) {
  std::string narrow;
  if (!vq::CanWriteTiffPage(image, type) || !vq::NarrowPath(path, &narrow)) return false;
  TIFF* file = TIFFOpen(narrow.c_str(), "a");
  if (file == nullptr) return false;
  if (!vq::WriteTiffPage(file, image, type, Format())) {
    vq::AbandonTiff(file);
    return false;
  }
  TIFFClose(file);
  return true;
}

// Rewrites the page numbers as (index, pages written) when the document holds
// fewer pages than were announced.
void CTiffPageWriter::CorrectPageTotals() const {
  TIFF* file = TIFFOpen(path_.c_str(), "r+");
  if (file == nullptr) return;
  for (int page = 0; page < pagesWritten; ++page) {
    if (!TIFFSetDirectory(file, static_cast<tdir_t>(page))) break;
    TIFFSetField(file, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(page), static_cast<uint16_t>(pagesWritten));
    if (!TIFFRewriteDirectory(file)) break;
  }
  TIFFClose(file);
}

void CTiffPageWriter::Close() {
  if (tiff != nullptr) TIFFClose(tiff);
  tiff = nullptr;
  if (path_.empty()) return;
  if (pagesWritten > 0 && pagesWritten < pageCount) CorrectPageTotals();
  struct stat st {};
  if (pagesWritten == 0 && stat(path_.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kHeaderOnlySize) {
    unlink(path_.c_str());
  }
  path_.clear();
}
