#include "imaging/TiffPageEncoding.h"

#include <tiffio.h>

#include <opencv2/imgproc.hpp>

namespace vq {

namespace {

void SetCommonTags(TIFF* tiff, int width, int height, int bitsPerSample, int samples, int compression,
                   int photometric, int xDpi, int yDpi) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(bitsPerSample));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(samples));
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, static_cast<uint16_t>(compression));
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, static_cast<uint16_t>(photometric));
  TIFFSetField(tiff, TIFFTAG_FILLORDER, static_cast<uint16_t>(FILLORDER_MSB2LSB));
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, static_cast<uint16_t>(PLANARCONFIG_CONTIG));
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(xDpi));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(yDpi));
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, static_cast<uint16_t>(RESUNIT_INCH));
}

bool WriteStripAndDirectory(TIFF* tiff, const void* bytes, std::size_t size) {
  return TIFFWriteEncodedStrip(tiff, 0, const_cast<void*>(bytes), static_cast<tmsize_t>(size)) >= 0 &&
         TIFFWriteDirectory(tiff) != 0;
}

bool WriteJpegPage(TIFF* tiff, const cv::Mat& pixels, int photometric, const TiffPageFormat& format) {
  SetCommonTags(tiff, pixels.cols, pixels.rows, 8, pixels.channels(), COMPRESSION_JPEG, photometric, format.xDpi,
                format.yDpi);
  TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, format.jpegQuality);
  return WriteStripAndDirectory(tiff, pixels.data, pixels.total() * pixels.elemSize());
}

}  // namespace

bool CanWriteTiffPage(const cv::Mat& image, int type) {
  if (image.empty() || image.depth() != CV_8U) return false;
  switch (type) {
    case TIFF_PAGE_COLOR: return image.channels() == 3;
    case TIFF_PAGE_GRAY:
    case TIFF_PAGE_BILEVEL: return image.channels() == 1 || image.channels() == 3 || image.channels() == 4;
    default: return false;
  }
}

bool WriteTiffPage(TIFF* tiff, const cv::Mat& image, int type, const TiffPageFormat& format) {
  if (tiff == nullptr || !CanWriteTiffPage(image, type)) return false;
  cv::Mat pixels;
  switch (type) {
    case TIFF_PAGE_COLOR:
      cv::cvtColor(image, pixels, cv::COLOR_BGR2RGB);
      return WriteJpegPage(tiff, pixels, PHOTOMETRIC_RGB, format);
    case TIFF_PAGE_GRAY:
      if (image.channels() == 1) {
        pixels = image.clone();
      } else {
        cv::cvtColor(image, pixels, image.channels() == 4 ? cv::COLOR_RGBA2GRAY : cv::COLOR_RGB2GRAY);
      }
      return WriteJpegPage(tiff, pixels, PHOTOMETRIC_MINISBLACK, format);
    default: {
      BilevelPage page;
      return PackBilevelPage(image, &page) && WriteBilevelTiffPage(tiff, page, format.xDpi, format.yDpi);
    }
  }
}

void AbandonTiff(TIFF* tiff) {
  if (tiff == nullptr) return;
  const TIFFCloseProc closeFile = TIFFGetCloseProc(tiff);
  const thandle_t file = TIFFClientdata(tiff);
  TIFFCleanup(tiff);
  closeFile(file);
}

bool WriteBilevelTiffPage(TIFF* tiff, const BilevelPage& page, int xDpi, int yDpi) {
  if (tiff == nullptr || page.bits.empty()) return false;
  SetCommonTags(tiff, page.bytesPerRow * 8, page.height, 1, 1, COMPRESSION_CCITTFAX4, PHOTOMETRIC_MINISWHITE, xDpi,
                yDpi);
  return WriteStripAndDirectory(tiff, page.bits.data(), page.bits.size());
}

}  // namespace vq
