#pragma once
// A multipage TIFF file written page by page: JPEG colour and grey pages and
// CCITT Group 4 black-and-white pages, each with the resolution and its page
// number (index, total).
#include <string>

#include <opencv2/core.hpp>

#include "imaging/TiffPageEncoding.h"

class CTiffPageWriter {
 public:
  CTiffPageWriter();
  ~CTiffPageWriter();
  CTiffPageWriter(const CTiffPageWriter&) = delete;
  CTiffPageWriter& operator=(const CTiffPageWriter&) = delete;

  // Creates the file for pageCount pages. False when a file is already open
  // (it stays open), the path is longer than the system takes, or libtiff cannot create it.
  bool Open(const wchar_t* path, int pageCount);
  void SetResolution(int xDpi, int yDpi);
  // Stores the JPEG quality of colour and grey pages, raised to 25 when lower.
  void SetJpegQuality(int quality);
  // Writes the next page (TiffPageType). False when no file is open, all
  // announced pages are written, the image does not suit the type, or the
  // write fails; only written pages are counted. After a failed write
  // (a full disk) the file is given up: the pages before stay readable and
  // later pages are refused.
  bool WritePage(const cv::Mat& image, int type);
  // Reads an image file (three channels) and writes it as the next page.
  // False, with nothing written, when the file cannot be read; the page
  // totals of the document are then corrected at Close.
  bool WritePageFromFile(const wchar_t* path, int type);
  // Appends one page of the type to the TIFF file at path (created when
  // missing), with this writer's resolution and quality and without page
  // number; independent of the writer's own file.
  bool AppendPageToFile(const cv::Mat& image, const wchar_t* path, int type);
  // Closes the open file. Page totals are rewritten when fewer pages than
  // announced were written; a file that received no page at all through
  // either way is removed, since it would hold no image.
  void Close();

  int xDpi = 200;
  int yDpi = 200;
  int pageCount = 0;
  int pagesWritten = 0;
  int jpegQuality = 50;
  TIFF* tiff = nullptr;

 private:
  vq::TiffPageFormat Format() const;
  void CorrectPageTotals() const;

  std::string path_;
};
