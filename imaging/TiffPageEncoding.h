#pragma once
// Writing one page into an open libtiff file: the tags of the page type, the
// whole page as strip 0, then the directory. Shared by the TIFF writers.
#include <opencv2/core.hpp>

#include "imaging/BilevelPage.h"

typedef struct tiff TIFF;

// Page types.
enum TiffPageType {
  TIFF_PAGE_COLOR = 0,     // three channels, JPEG, photometric RGB
  TIFF_PAGE_GRAY = 1,      // 8-bit grey, JPEG, photometric min-is-black
  TIFF_PAGE_BILEVEL = 2,   // 1-bit, CCITT Group 4, photometric min-is-white
};

namespace vq {

struct TiffPageFormat {
  int xDpi = 200;
  int yDpi = 200;
  int jpegQuality = 50;
};

// True when an image of this kind can be written as a page of that type.
bool CanWriteTiffPage(const cv::Mat& image, int type);

// Writes the page with its tags and directory. Tags set by the caller before
// (page number, subfile type) go into the same directory. False when the
// image does not suit the type (nothing is set then) or libtiff fails to
// write the strip or the directory; after such a write failure the handle
// must be given up with AbandonTiff.
bool WriteTiffPage(TIFF* tiff, const cv::Mat& image, int type, const TiffPageFormat& format);

// Writes a packed 1-bit page (CCITT Group 4) with its directory.
bool WriteBilevelTiffPage(TIFF* tiff, const BilevelPage& page, int xDpi, int yDpi);

// Releases a handle without writing what is pending (a half-written page's
// directory), unlike TIFFClose.
void AbandonTiff(TIFF* tiff);

}  // namespace vq
