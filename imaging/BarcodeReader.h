#pragma once
// Barcode and QR-code reading with ZBar. Results alternate the symbology's
// name ("EAN-13", "CODE-128", "QR-Code", ...) and the decoded text, in the
// order ZBar reports the symbols; partial symbols are never listed.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

// The adaptive threshold applied before scanning a page that is not yet two-level.
struct BarcodeParams {
  BarcodeParams() = default;
  int blockSize = 131;
  int C = 30;
};

// Empties *results, then scans the page (a copy of it: adaptive threshold
// first unless isBinary). False for an empty page or when ZBar cannot start;
// true otherwise, also when nothing was found.
bool DecodeBarcodes(const cv::Mat& page, std::vector<std::string>* results, const BarcodeParams* params,
                    bool isBinary);

// Scans a grey copy of the page (colour turned grey with the weights 0.299,
// 0.587, 0.114 on channels 1, 2, 3) and appends what it finds. Returns true
// when it failed: ZBar could not start or the page is unusable.
bool ScanBarcodesZBar(std::vector<std::string>* results, const cv::Mat& page);
