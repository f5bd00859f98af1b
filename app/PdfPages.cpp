#include "app/PdfPages.h"

#include <tiffio.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <memory>
#include <vector>

#include "imaging/ImageFiles.h"
#include "imaging/ReplacingFile.h"
#include "platform/win/Encoding.h"
#include "platform/win/PathEncoding.h"

namespace {

constexpr int kReencodeQuality = 75;

void PdfErrorHandler(HPDF_STATUS errorNo, HPDF_STATUS detailNo, void* userData) {
  std::printf("ERROR: error_no=%04X, detail_no=%u\n", static_cast<unsigned>(errorNo),
              static_cast<unsigned>(detailNo));
  HPDF_STATUS* error = static_cast<HPDF_STATUS*>(userData);
  if (*error == HPDF_OK) *error = errorNo;
}

std::string LowerExtension(const std::string& path) {
  std::string tail = path.size() >= 4 ? path.substr(path.size() - 4) : path;
  for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return tail;
}

// Closes a libtiff handle.
struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

void SilenceTiff(const char*, const char*, va_list) {}

}  // namespace

PdfPageDocument::PdfPageDocument() {
  doc_ = HPDF_New(PdfErrorHandler, &error_);
  if (!doc_) {
    std::printf("error: cannot create PdfDoc object\n");
    return;
  }
  HPDF_SetPageMode(doc_, HPDF_PAGE_MODE_USE_NONE);
  HPDF_SetCompressionMode(doc_, HPDF_COMP_ALL);
}

PdfPageDocument::~PdfPageDocument() {
  if (doc_) HPDF_Free(doc_);
}

bool PdfPageDocument::Failed() const { return error_ != HPDF_OK; }

bool PdfPageDocument::IsJpegName(const std::string& path, JpegTest test) {
  if (test == JpegTest::FirstJpgAtEnd) {
    const size_t at = path.find(".jpg");
    return at != std::string::npos && at + 4 == path.size();
  }
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && path.compare(dot + 1, std::string::npos, "jpg") == 0;
}

HPDF_Image PdfPageDocument::LoadBilevelTiff(const std::string& path, bool* isBilevel) {
  *isBilevel = false;
  TIFFErrorHandler oldError = TIFFSetErrorHandler(SilenceTiff);
  TIFFErrorHandler oldWarning = TIFFSetWarningHandler(SilenceTiff);
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "r"));
  TIFFSetErrorHandler(oldError);
  TIFFSetWarningHandler(oldWarning);
  if (!tif) return nullptr;
  uint16_t bits = 0, samples = 1, photometric = PHOTOMETRIC_MINISWHITE;
  uint32_t width = 0, height = 0;
  TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  if (bits != 1 || samples != 1 || width == 0 || height == 0) return nullptr;
  *isBilevel = true;

  const size_t rowBytes = (width + 7) / 8;
  if (static_cast<size_t>(TIFFScanlineSize(tif.get())) != rowBytes) return nullptr;
  std::vector<unsigned char> data(rowBytes * height, 0);
  for (uint32_t row = 0; row < height; ++row)
    if (TIFFReadScanline(tif.get(), data.data() + row * rowBytes, row, 0) < 0) return nullptr;
  // Device grey reads 0 as black: ink stored as 1 is turned over.
  if (photometric == PHOTOMETRIC_MINISWHITE)
    for (unsigned char& byte : data) byte = static_cast<unsigned char>(~byte);
  return HPDF_LoadRawImageFromMem(doc_, data.data(), width, height, HPDF_CS_DEVICE_GRAY, 1);
}

HPDF_Image PdfPageDocument::LoadReencoded(const std::string& path) {
  const cv::Mat image = ReadImageW(vq::PathFromBytes(path).c_str());
  if (image.empty()) {
    std::printf("error: cannot read image %s\n", path.c_str());
    return nullptr;
  }
  const std::string temporary = path + ".jpg";
  const std::wstring wideTemporary = vq::PathFromBytes(temporary);
  if (!SaveJpeg(wideTemporary.c_str(), image, nullptr, 96, 96, kReencodeQuality)) return nullptr;
  HPDF_Image embedded = IsReadableJpeg(temporary) ? HPDF_LoadJpegImageFromFile(doc_, temporary.c_str()) : nullptr;
  ::unlink(temporary.c_str());
  return embedded;
}

// True when the file holds a JPEG picture that decodes (libharu's own
// reader does not clean up after data it refuses).
bool PdfPageDocument::IsReadableJpeg(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::vector<unsigned char> bytes;
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(file);
  return bytes.size() < 0x7fffffff && !DecodeJpeg(bytes.data(), static_cast<int>(bytes.size())).empty();
}

HPDF_Image PdfPageDocument::LoadImage(const std::string& path, JpegTest test) {
  if (IsJpegName(path, test)) {
    if (!IsReadableJpeg(path)) {
      std::printf("error: cannot read JPEG %s\n", path.c_str());
      return nullptr;
    }
    return HPDF_LoadJpegImageFromFile(doc_, path.c_str());
  }
  if (LowerExtension(path) == ".tif") {
    bool isBilevel = false;
    HPDF_Image image = LoadBilevelTiff(path, &isBilevel);
    if (isBilevel) return image;
  }
  return LoadReencoded(path);
}

bool PdfPageDocument::AddImagePage(const std::string& path, JpegTest test) {
  if (!doc_ || Failed()) return false;
  HPDF_Image image = LoadImage(path, test);
  if (!image || Failed()) return false;
  HPDF_Page page = HPDF_AddPage(doc_);
  if (!page || Failed()) return false;
  const HPDF_REAL width = static_cast<HPDF_REAL>(HPDF_Image_GetWidth(image));
  const HPDF_REAL height = static_cast<HPDF_REAL>(HPDF_Image_GetHeight(image));
  HPDF_Page_SetWidth(page, width);
  HPDF_Page_SetHeight(page, height);
  HPDF_Page_DrawImage(page, image, 0, 0, width, height);
  return !Failed();
}

bool PdfPageDocument::Save(const std::string& path) {
  if (!doc_ || Failed() || HPDF_GetCurrentPage(doc_) == nullptr) return false;
  // The document is written to memory first, then to a work file beside the
  // target that replaces it only when complete.
  if (HPDF_SaveToStream(doc_) != HPDF_OK || Failed()) return false;
  const HPDF_UINT32 expected = HPDF_GetStreamSize(doc_);
  std::vector<HPDF_BYTE> bytes(expected);
  HPDF_UINT32 size = expected;
  if (expected == 0 || HPDF_ReadFromStream(doc_, bytes.data(), &size) != HPDF_OK || Failed() || size != expected)
    return false;
  return vq::WriteReplacing(path, bytes.data(), bytes.size());
}
