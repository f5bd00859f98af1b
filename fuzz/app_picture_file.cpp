// Fuzzes the guarded picture loader through its memory door, then, for
// pictures of a checkable size, as the programs read pages back: the input
// is written as a file in the image folder and loaded as the merge and
// multipage dialogs and the strip load it (the image class, a thumbnail
// item, LoadImageAsMat), as printing loads it (ReadImageW) and as the PDF
// writers embed it. Every path must agree with the loader itself, and
// nothing may abort, hang or exceed the pixel budget.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <opencv2/core.hpp>

#include "app/ImageConversions.h"
#include "app/PdfPages.h"
#include "fuzz/InputFile.h"
#include "imaging/ImageFiles.h"
#include "imaging/PictureFile.h"
#include "platform/mfc/CImage.h"
#include "platform/win/Encoding.h"
#include "ui/ThumbItem.h"

namespace {

// The image class's largest side.
constexpr int kMaxImageSide = 1 << 16;
// The readers by path are tried on pictures up to this area only: their
// cost grows with it (a thumbnail resamples every pixel), their handling of
// the loader's result does not; thin pictures reach the largest sides.
constexpr long long kMaxReadBackPixels = 1 << 18;

const std::string& Folder() {
  // Never destroyed: the exit handler below still needs it.
  static const std::string& folder = *new std::string([] {
    setenv("VQ_HEADLESS", "1", 1);
    // The PDF writers' console messages are not wanted among the fuzzer's.
    if (!std::freopen("/dev/null", "w", stdout)) std::abort();
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/picture_file_XXXXXX";
    if (!mkdtemp(pattern.data())) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(Folder(), ignored);
    });
    return pattern;
  }());
  return folder;
}

void Fail(int line) {
  std::fprintf(stderr, "check failed at line %d\n", line);
  std::abort();
}
#define Check(condition) ((condition) ? (void)0 : Fail(__LINE__))

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vq::Picture picture;
  const bool loaded = vq::DecodePicture(data, size, &picture) == vq::PictureResult::kLoaded;
  const cv::Mat& pixels = picture.pixels;
  if (loaded) {
    Check(!pixels.empty() && pixels.depth() == CV_8U && (pixels.channels() == 1 || pixels.channels() == 3));
    Check(static_cast<long long>(pixels.cols) * pixels.rows <= vq::kMaxPicturePixels);
    vq::PictureHeader header;
    Check(vq::ReadPictureHeader(data, size, &header) == vq::PictureResult::kLoaded);
    Check(header.width == pixels.cols && header.height == pixels.rows && header.format == picture.format);
    if (picture.bilevel) {
      Check(pixels.channels() == 1);
      Check(cv::countNonZero((pixels != 0) & (pixels != 255)) == 0);
    }
    if (static_cast<long long>(pixels.cols) * pixels.rows > kMaxReadBackPixels) return 0;
  }

  // The name decides the PDF writer's way (JPEG embedded, 1-bit TIFF, re-encoded).
  static const char* const kNames[] = {"page.jpg", "page.tif", "page.png"};
  const std::string path = Folder() + "/" + kNames[size % 3];
  if (!fuzzinput::WriteFreshFile(path, data, size)) return 0;
  const std::wstring wide = vq::Utf8ToWide(path);

  // The merge and multipage dialogs and the strip.
  CImage image;
  const bool imageLoaded = SUCCEEDED(image.Load(wide.c_str()));
  Check(imageLoaded == (loaded && pixels.cols <= kMaxImageSide && pixels.rows <= kMaxImageSide));
  if (imageLoaded) {
    Check(image.GetWidth() == pixels.cols && image.GetHeight() == pixels.rows);
    Check(image.GetBPP() == (picture.bilevel ? 1 : pixels.channels() * 8));
  }
  CThumbItem thumbnail(0);
  thumbnail.Init(WM_THUMB_NOTIFY, 0, 0, 0, 129, 146, nullptr, true);
  if (thumbnail.LoadFile(wide.c_str())) Check(imageLoaded && thumbnail.GetBPP() == 24);
  const cv::Mat merged = LoadImageAsMat(wide.c_str());
  Check(merged.empty() != imageLoaded);
  if (imageLoaded) Check(merged.channels() == 3 && merged.cols == pixels.cols && merged.rows == pixels.rows);

  // Printing and the TIFF writers' pages.
  const cv::Mat printed = ReadImageW(wide.c_str());
  Check(printed.empty() != loaded);

  // The PDF writers.
  PdfPageDocument document;
  const bool page = document.AddImagePage(path, PdfPageDocument::JpegTest::LastExtension);
  const bool byName = PdfPageDocument::IsJpegName(path, PdfPageDocument::JpegTest::LastExtension);
  // libharu reads the JPEG it embeds itself and takes pages of its own
  // size range only; every other page is made here.
  const auto fits = [](int side) { return side >= HPDF_MIN_PAGE_SIZE && side <= HPDF_MAX_PAGE_SIZE; };
  if (!byName && (!loaded || (fits(pixels.cols) && fits(pixels.rows)))) Check(page == loaded);
  if (!loaded) Check(!page);
  Check(!std::filesystem::exists(path + ".jpg"));
  return 0;
}
