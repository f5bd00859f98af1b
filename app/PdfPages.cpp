#include "app/PdfPages.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <vector>

#include "base/PathEncoding.h"
#include "imaging/ImageFiles.h"
#include "imaging/PictureFile.h"
#include "imaging/ReplacingFile.h"
#include "platform/win/Encoding.h"

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
  if (!doc_) return;
  // A 1-bit image keeps its decode parameters aside until the document is
  // written, which files them in the image; a document never written would
  // be freed without them.
  if (!writeStarted_) {
    for (HPDF_Image image : bilevelImages_) {
      HPDF_Dict params = image->filterParams;
      image->filterParams = nullptr;
      if (params) HPDF_Dict_Free(params);
    }
  }
  HPDF_Free(doc_);
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

bool PdfPageDocument::FitsPage(int width, int height) {
  const auto fits = [](int side) { return side >= HPDF_MIN_PAGE_SIZE && side <= HPDF_MAX_PAGE_SIZE; };
  return fits(width) && fits(height);
}

// 1-bit rows of (width + 7) / 8 bytes; device grey reads 1 as white.
HPDF_Image PdfPageDocument::EmbedBilevel(const cv::Mat& pixels) {
  const size_t rowBytes = (static_cast<size_t>(pixels.cols) + 7) / 8;
  std::vector<unsigned char> data(rowBytes * static_cast<size_t>(pixels.rows), 0);
  for (int y = 0; y < pixels.rows; ++y) {
    const unsigned char* in = pixels.ptr(y);
    unsigned char* out = data.data() + static_cast<size_t>(y) * rowBytes;
    for (int x = 0; x < pixels.cols; ++x)
      if (in[x]) out[x >> 3] = static_cast<unsigned char>(out[x >> 3] | (0x80 >> (x & 7)));
  }
  HPDF_Image image = HPDF_LoadRawImageFromMem(doc_, data.data(), static_cast<HPDF_UINT>(pixels.cols),
                                              static_cast<HPDF_UINT>(pixels.rows), HPDF_CS_DEVICE_GRAY, 1);
  if (image) bilevelImages_.push_back(image);
  return image;
}

// Through a temporary JPEG file beside the source, removed afterwards.
HPDF_Image PdfPageDocument::EmbedReencoded(const std::string& path, const cv::Mat& pixels) {
  const std::string temporary = path + ".jpg";
  const std::wstring wideTemporary = vq::PathFromBytes(temporary);
  if (!SaveJpeg(wideTemporary.c_str(), pixels, nullptr, 96, 96, kReencodeQuality)) return nullptr;
  HPDF_Image embedded = HPDF_LoadJpegImageFromFile(doc_, temporary.c_str());
  ::unlink(temporary.c_str());
  return embedded;
}

// Every source goes through the guarded loader first, also a JPEG that is
// embedded as it is: libharu's own reader checks little of what it copies.
HPDF_Image PdfPageDocument::LoadImage(const std::string& path, JpegTest test) {
  vq::Picture picture;
  const bool loaded = vq::ReadPictureFile(path, &picture) == vq::PictureResult::kLoaded;
  if (IsJpegName(path, test)) {
    if (!loaded || picture.format != vq::PictureFormat::kJpeg) {
      std::printf("error: cannot read JPEG %s\n", path.c_str());
      return nullptr;
    }
    return HPDF_LoadJpegImageFromFile(doc_, path.c_str());
  }
  if (!loaded) {
    std::printf("error: cannot read image %s\n", path.c_str());
    return nullptr;
  }
  // A picture that cannot be a page is not embedded at all.
  if (!FitsPage(picture.pixels.cols, picture.pixels.rows)) return nullptr;
  if (picture.bilevel && LowerExtension(path) == ".tif") return EmbedBilevel(picture.pixels);
  return EmbedReencoded(path, picture.pixels);
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
  // A page outside libharu's size range is refused here: drawing on it
  // would leave the drawing state the library allocated behind.
  if (Failed()) return false;
  HPDF_Page_DrawImage(page, image, 0, 0, width, height);
  return !Failed();
}

bool PdfPageDocument::Save(const std::string& path) {
  if (!doc_ || Failed() || HPDF_GetCurrentPage(doc_) == nullptr) return false;
  // The document is written to memory first, then to a work file beside the
  // target that replaces it only when complete.
  writeStarted_ = true;
  if (HPDF_SaveToStream(doc_) != HPDF_OK || Failed()) return false;
  const HPDF_UINT32 expected = HPDF_GetStreamSize(doc_);
  std::vector<HPDF_BYTE> bytes(expected);
  HPDF_UINT32 size = expected;
  if (expected == 0 || HPDF_ReadFromStream(doc_, bytes.data(), &size) != HPDF_OK || Failed() || size != expected)
    return false;
  return vq::WriteReplacing(path, bytes.data(), bytes.size());
}
