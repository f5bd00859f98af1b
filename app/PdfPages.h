#pragma once
// A PDF document of image pages through libharu: each page exactly as large
// as its image, one pixel one point. Every source is read through the
// guarded picture loader; JPEG files are then embedded as they are, 1-bit
// TIFF pages as device-grey bits (black ink black), anything else is
// re-encoded as JPEG through a temporary file beside the source. libharu's
// errors are recorded by its error handler and checked after every call.
#include <string>
#include <vector>

#include <hpdf.h>
#include <opencv2/core.hpp>

class PdfPageDocument {
 public:
  // How a source file is told to be a JPEG file.
  enum class JpegTest {
    FirstJpgAtEnd,  // the first ".jpg" in the path is its last four characters
    LastExtension,  // the text after the last "." is "jpg"
  };

  PdfPageDocument();
  ~PdfPageDocument();
  PdfPageDocument(const PdfPageDocument&) = delete;
  PdfPageDocument& operator=(const PdfPageDocument&) = delete;

  // False when libharu could not create the document.
  bool Created() const { return doc_ != nullptr; }
  // Adds one page showing the image file; false when the file cannot be
  // embedded (the document is then unusable).
  bool AddImagePage(const std::string& path, JpegTest test);
  // Writes the document; an existing file of that name is replaced only by a
  // complete one. False when nothing was written.
  bool Save(const std::string& path);

  static bool IsJpegName(const std::string& path, JpegTest test);
  // Whether a picture of this size can be a page (each side 3 to 14400).
  static bool FitsPage(int width, int height);

 private:
  HPDF_Image LoadImage(const std::string& path, JpegTest test);
  HPDF_Image EmbedBilevel(const cv::Mat& pixels);
  HPDF_Image EmbedReencoded(const std::string& path, const cv::Mat& pixels);
  bool Failed() const;

  HPDF_Doc doc_ = nullptr;
  HPDF_STATUS error_ = HPDF_OK;
  // 1-bit images, whose decode parameters libharu frees only once written.
  std::vector<HPDF_Image> bilevelImages_;
  bool writeStarted_ = false;
};
