#pragma once
// Per-capture processing and saving: cuts the document(s) out of a frame,
// turns each page into colour, grey or black-and-white, evens out its
// brightness, removes shadows and stamps the watermark as the settings say,
// then reads barcodes and writes the pages in the configured format. Built
// on the stack for one capture; the caller hands it a copy of the settings.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "app/SysSettings.h"
#include "platform/mfc/CString.h"

struct OutputWaterMark {
  int color = 0;  // 0x00BBGGRR
  CString text;
  int position = 4;  // 0 top-left, 1 top-right, 2 bottom-left, 3 bottom-right, 4 centre
  int transparency = 0;  // 0 opaque .. 100 invisible
  int size = 1;          // font cell height in pixels
};

class CImageOutput {
 public:
  explicit CImageOutput(int language);
  ~CImageOutput() = default;
  CImageOutput(const CImageOutput&) = delete;
  CImageOutput& operator=(const CImageOutput&) = delete;

  void SetSettings(const CSysSettings& settings);
  void SetBarcodeMessages(int language);
  // The chosen camera pair (see CBrandingData::selectedCameraIds); decides
  // the binarisation weight of the special camera model.
  void SetCameraIds(const std::vector<CString>& selectedCameraIds);

  // Cuts the frame by the crop mode and processes every page into *pages.
  // 1 for an empty frame (nothing appended), else 0.
  int ProcessFrame(const cv::Mat& frame, std::vector<cv::Mat>* pages);
  // Processes one document that is already cut out; empty in, empty out.
  void ProcessImage(cv::Mat& out, const cv::Mat& document);
  // The page text recognition reads from a frame: cut by the settings' crop
  // mode (`selection`, when given, as the crop rectangle) as a plain colour
  // page, without shadow removal, straightening, marks or further pages;
  // the largest when several are cut. Empty for an empty frame.
  cv::Mat PageForRecognition(const cv::Mat& frame, const CSysSettings& settings, const RECT* selection);

  // Fills the watermark record; false (text emptied) when position is
  // outside 0..4, transparency outside 0..100 or size below 1.
  bool SetWaterMark(const CString& text, int transparency, int position, int size, int color);
  // Stamps the record's text into an 8-bit image of one or three channels.
  void DrawWatermark(cv::Mat& image, const OutputWaterMark& mark);

  // Reads barcodes when asked (its messages are message boxes without owner
  // and with an empty caption), then writes every page under the base path
  // (no extension; "_%02d" per page when there are several). Each written
  // file is appended to *saved. Always 0.
  int SaveImages(const std::vector<cv::Mat>& pages, const CString& basePath, std::vector<CString>* saved);
  // path + ".jpg" with the settings' quality and resolution; the written
  // path, or "" when nothing was written.
  void SaveJpeg(CString& out, const cv::Mat& page, const CString& path);
  // path + ".tif" as a CCITT Group 4 page; the written path, or "".
  void SaveTiffG4(CString& out, const cv::Mat& page, const CString& path);
  // Two image files merged into one page, stacked or side by side with a
  // gap, written under target (".tif" for black-and-white, else ".jpg");
  // the written path, or "".
  void MergeFiles(CString& out, const CString& first, const CString& second, const CString& target,
                  bool stacked, int gap);

  // Barcode texts usable as file names, collected in merge and collecting modes.
  std::vector<std::string> barcodeTexts;

 private:
  double BinarizationWeight() const;
  void ToColorMode(cv::Mat& page, double weight) const;
  void RemoveShadows(cv::Mat& page) const;
  // Stamps the page when the marks are on; false when the mark settings are invalid.
  bool StampPage(cv::Mat& page);
  // Writes one page by the format table; the written path or "".
  CString WritePage(const cv::Mat& page, const CString& base);
  // The base path chosen by the barcodes, or the given one.
  CString ApplyBarcodes(const std::vector<cv::Mat>& pages, const CString& basePath);
  CString BarcodeBase(const std::string& codeText, const CString& basePath, size_t pageCount);
  void WriteBarcodeFile(const std::vector<std::string>& codes, const CString& basePath);

  CString specialCharactersMessage_;
  CString savedInMessage_;
  CString notRecognisedMessage_;
  CSysSettings settings_;
  OutputWaterMark waterMark_;
  bool specialCameraModel_ = false;
};
