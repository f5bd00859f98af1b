#include "imaging/G4TiffDocument.h"

#include <tiffio.h>

#include <opencv2/imgproc.hpp>

#include "imaging/ImageFiles.h"
#include "imaging/NarrowPath.h"
#include "imaging/ReplacingFile.h"
#include "imaging/TiffPageEncoding.h"

CG4TiffDocument::CG4TiffDocument() = default;

CG4TiffDocument::~CG4TiffDocument() = default;

bool CG4TiffDocument::SetFileName(const wchar_t* path) {
  fileName.clear();
  return vq::NarrowPath(path, &fileName);
}

bool CG4TiffDocument::SetResolution(int x, int y) {
  if (x < 1 || y < 1) return false;
  xDpi = x;
  yDpi = y;
  return true;
}

bool CG4TiffDocument::WriteAllPages(const std::string& path) const {
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  if (tiff == nullptr) return false;
  bool written = TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, static_cast<uint32_t>(FILETYPE_PAGE)) != 0;
  const auto total = static_cast<uint16_t>(pages.size());
  for (std::size_t i = 0; written && i < pages.size(); ++i) {
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(i), total);
    written = vq::WriteBilevelTiffPage(tiff, *pages[i], xDpi, yDpi);
  }
  if (!written) {
    vq::AbandonTiff(tiff);
    return false;
  }
  TIFFClose(tiff);
  return true;
}

int CG4TiffDocument::AddPage(const cv::Mat& page) {
  auto packed = std::make_unique<BilevelPage>();
  if (!PackBilevelPage(page, packed.get())) return ADD_EMPTY_PAGE;
  pages.push_back(std::move(packed));
  vq::CReplacingFile file(fileName, firstPlacing);
  if (!file.Create()) return ADD_FILE_FAILED;
  file.CloseDescriptor();
  if (!WriteAllPages(file.TempPath()) || !file.Commit()) return ADD_FILE_FAILED;
  fileName = file.PlacedPath();
  firstPlacing = vq::CReplacingFile::Placing::kReplace;
  return ADD_WRITTEN;
}

int AppendBilevelPageFromFile(CG4TiffDocument* document, const wchar_t* path) {
  cv::Mat image = ReadImageW(path);
  if (image.empty() || !document) return CG4TiffDocument::ADD_EMPTY_PAGE;
  cv::Mat grey;
  cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
  return document->AddPage(grey);
}
