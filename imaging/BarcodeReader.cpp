#include "imaging/BarcodeReader.h"

#include <zbar.h>

#include <cstdio>

#include <opencv2/imgproc.hpp>

#include "imaging/ImageEnhancement.h"

namespace {

// An 8-bit grey copy that owns its continuous pixels; empty when the page is unusable.
cv::Mat GreyCopy(const cv::Mat& page) {
  if (page.empty() || page.depth() != CV_8U) return cv::Mat();
  cv::Mat grey;
  switch (page.channels()) {
    case 1: grey = page.clone(); break;
    case 3: cv::cvtColor(page, grey, cv::COLOR_RGB2GRAY); break;
    case 4: cv::cvtColor(page, grey, cv::COLOR_RGBA2GRAY); break;
    default: break;
  }
  return grey;
}

}  // namespace

bool ScanBarcodesZBar(std::vector<std::string>* results, const cv::Mat& page) {
  const cv::Mat grey = GreyCopy(page);
  if (grey.empty() || results == nullptr) return true;
  zbar::zbar_processor_t* processor = zbar::zbar_processor_create(0);
  if (processor == nullptr) return true;
  if (zbar::zbar_processor_init(processor, nullptr, 0) != 0) {
    std::fprintf(stderr, "%s", zbar::zbar_processor_error_string(processor, 0));
    zbar::zbar_processor_destroy(processor);
    return true;
  }
  zbar::zbar_image_t* image = zbar::zbar_image_create();
  zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
  zbar::zbar_image_set_size(image, static_cast<unsigned>(grey.cols), static_cast<unsigned>(grey.rows));
  zbar::zbar_image_set_data(image, grey.data, grey.total(), nullptr);
  zbar::zbar_process_image(processor, image);
  for (const zbar::zbar_symbol_t* symbol = zbar::zbar_image_first_symbol(image); symbol != nullptr;
       symbol = zbar::zbar_symbol_next(symbol)) {
    const zbar::zbar_symbol_type_t type = zbar::zbar_symbol_get_type(symbol);
    if (type == zbar::ZBAR_PARTIAL) continue;
    results->emplace_back(zbar::zbar_get_symbol_name(type));
    // The text is taken by its length: binary payloads may hold zero bytes.
    results->emplace_back(zbar::zbar_symbol_get_data(symbol), zbar::zbar_symbol_get_data_length(symbol));
  }
  zbar::zbar_image_destroy(image);
  zbar::zbar_processor_destroy(processor);
  return false;
}

bool DecodeBarcodes(const cv::Mat& page, std::vector<std::string>* results, const BarcodeParams* params,
                    bool isBinary) {
  if (results == nullptr) return false;
  results->clear();
  if (page.empty()) return false;
  if (isBinary) return !ScanBarcodesZBar(results, page);
  const BarcodeParams defaults;
  const BarcodeParams& used = params != nullptr ? *params : defaults;
  cv::Mat binary;
  AdaptiveBinarize(page, used.blockSize, used.C, binary);
  if (binary.empty()) return false;
  return !ScanBarcodesZBar(results, binary);
}
