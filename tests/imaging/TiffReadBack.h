#pragma once
// TIFF files read back with libtiff, page by page (shared by the writer
// tests and the tests of the dialogs that write multipage documents).
#include <tiffio.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include <opencv2/core.hpp>

namespace imagingtest {

// One directory of a TIFF file as libtiff reads it back.
struct TiffPage {
  uint32_t width = 0, height = 0;
  uint16_t compression = 0, photometric = 0, resolutionUnit = 0, samples = 0, bits = 0;
  float xResolution = 0, yResolution = 0;
  bool hasPageNumber = false;
  uint16_t pageIndex = 0, pageTotal = 0;
  bool hasSubfileType = false;
  uint32_t subfileType = 0;
  cv::Mat pixels;                  // decoded, B, G, R
  std::vector<unsigned char> raw;  // decoded strip 0 as stored (1-bit pages)
  std::vector<unsigned char> jpegTables;  // the JPEGTABLES stream of JPEG pages
};

inline std::vector<TiffPage> ReadTiff(const std::filesystem::path& path) {
  std::vector<TiffPage> pages;
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (tiff == nullptr) return pages;
  do {
    TiffPage page;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &page.width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &page.height);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &page.compression);
    TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &page.photometric);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &page.samples);
    TIFFGetField(tiff, TIFFTAG_BITSPERSAMPLE, &page.bits);
    TIFFGetField(tiff, TIFFTAG_XRESOLUTION, &page.xResolution);
    TIFFGetField(tiff, TIFFTAG_YRESOLUTION, &page.yResolution);
    TIFFGetField(tiff, TIFFTAG_RESOLUTIONUNIT, &page.resolutionUnit);
    page.hasPageNumber = TIFFGetField(tiff, TIFFTAG_PAGENUMBER, &page.pageIndex, &page.pageTotal) == 1;
    page.hasSubfileType = TIFFGetField(tiff, TIFFTAG_SUBFILETYPE, &page.subfileType) == 1 && page.subfileType != 0;
    uint32_t tablesSize = 0;
    void* tables = nullptr;
    if (TIFFGetField(tiff, TIFFTAG_JPEGTABLES, &tablesSize, &tables) == 1 && tables)
      page.jpegTables.assign(static_cast<unsigned char*>(tables), static_cast<unsigned char*>(tables) + tablesSize);
    std::vector<uint32_t> raster(static_cast<size_t>(page.width) * page.height);
    if (TIFFReadRGBAImageOriented(tiff, page.width, page.height, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      page.pixels.create(static_cast<int>(page.height), static_cast<int>(page.width), CV_8UC3);
      for (size_t i = 0; i < raster.size(); ++i)
        page.pixels.at<cv::Vec3b>(static_cast<int>(i)) = cv::Vec3b(static_cast<uchar>(TIFFGetB(raster[i])),
                                                                   static_cast<uchar>(TIFFGetG(raster[i])),
                                                                   static_cast<uchar>(TIFFGetR(raster[i])));
    }
    page.raw.resize(static_cast<size_t>(TIFFStripSize(tiff)));
    if (TIFFReadEncodedStrip(tiff, 0, page.raw.data(), static_cast<tmsize_t>(page.raw.size())) < 0) page.raw.clear();
    pages.push_back(std::move(page));
  } while (TIFFReadDirectory(tiff));
  TIFFClose(tiff);
  return pages;
}

// The first value of the first quantisation table in a JPEG stream (the DC
// step of the luminance table): 16 at quality 50, the standard table
// itself; -1 without one.
inline int FirstQuantValue(const std::vector<unsigned char>& stream) {
  for (size_t i = 0; i + 5 < stream.size(); ++i)
    if (stream[i] == 0xFF && stream[i + 1] == 0xDB) return stream[i + 5];
  return -1;
}

}  // namespace imagingtest
