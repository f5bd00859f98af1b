#include "app/ImageOutput.h"

#include <algorithm>

#include <opencv2/imgproc.hpp>

#include "app/CameraModels.h"
#include "app/WatermarkRenderer.h"
#include "imaging/AutoCrop.h"
#include "imaging/DarkBorder.h"
#include "imaging/ImageEnhancement.h"
#include "imaging/RectCut.h"

namespace {

// Detector values every crop of a capture uses.
constexpr float kMinAreaRatio = 0.01f;
constexpr int kCropMargin = 20;
constexpr int kAffineMargin = 10;
constexpr float kScale = 0.2f;
constexpr int kSobelKernel = 3;
constexpr int kMedianKernel = 9;
constexpr double kThresholdFactor = 8.0;

constexpr int kMorphSize = 21;
constexpr int kBlurSize = 301;
constexpr double kWeight = 0.4;
constexpr double kSpecialWeight = 0.5;

constexpr int kFrameBrightness = 240;
constexpr int kDocumentBrightness = 250;
constexpr int kShadowThreshold = 50;

cv::Mat ToGrey(const cv::Mat& page) {
  if (page.channels() == 1) return page.clone();
  cv::Mat grey;
  cv::cvtColor(page, grey, cv::COLOR_RGB2GRAY);
  return grey;
}

// Black-and-white page: binarised, despeckled, the desk edge whitened.
cv::Mat Binarize(const cv::Mat& page, double weight, int noiseSize) {
  cv::Mat bw = BinarizeDocument(kMorphSize, page, kBlurSize, weight);
  if (bw.empty()) return bw;
  if (noiseSize > 0) RemoveSmallSpots(bw, noiseSize);
  FillDarkBorder(bw);
  return bw;
}

void Normalize(cv::Mat& page, int target) {
  cv::Mat out;
  if (CImageProcess().NormalizeBrightness(page, out, target)) page = out;
}

struct BarcodeMessages {
  const char* specialCharacters;
  const char* savedIn;
  const char* notRecognised;
};

constexpr BarcodeMessages kBarcodeMessages[] = {
    {"条形码/二维码中含有特殊字符，不能作为文件名", "条形码/二维码内容保存在", "没有识别出条形码/二维码"},
    {"條碼/二維碼中含有特殊字元不能作為檔案名", "條碼/二維碼內容儲存在", "沒有識別出條碼/二維碼"},
    {"Barcode/QR-code contains special characters so that can not be used as file name",
     "Barcode/QR-code saved in", "It does not recognize a barcode/QR-code"},
};

}  // namespace

CImageOutput::CImageOutput(int language) { SetBarcodeMessages(language); }

void CImageOutput::SetSettings(const CSysSettings& settings) { settings_ = settings; }

void CImageOutput::SetBarcodeMessages(int language) {
  if (language < 0 || language > 2) return;
  const BarcodeMessages& m = kBarcodeMessages[language];
  specialCharactersMessage_ = m.specialCharacters;
  savedInMessage_ = m.savedIn;
  notRecognisedMessage_ = m.notRecognised;
}

void CImageOutput::SetCameraIds(const std::vector<CString>& selectedCameraIds) {
  specialCameraModel_ = IsSpecialCameraModel(selectedCameraIds);
}

double CImageOutput::BinarizationWeight() const { return specialCameraModel_ ? kSpecialWeight : kWeight; }

void CImageOutput::ToColorMode(cv::Mat& page, double weight) const {
  if (settings_.colorMode == 1) {
    page = ToGrey(page);
  } else if (settings_.colorMode == 2) {
    cv::Mat bw = Binarize(page, weight, settings_.noiseSize);
    if (!bw.empty()) page = bw;
  }
}

void CImageOutput::RemoveShadows(cv::Mat& page) const {
  if (!settings_.shadow) return;
  if (settings_.colorMode == 0) {
    cv::Mat mask = Binarize(page, BinarizationWeight(), settings_.noiseSize);
    if (mask.empty()) return;
    page.setTo(page.channels() == 3 ? cv::Scalar(255, 255, 255) : cv::Scalar(255), mask == 255);
  } else if (settings_.colorMode == 1) {
    cv::Mat out;
    if (CImageProcess().RemoveShadow(page, out, kShadowThreshold)) page = out;
  }
}

bool CImageOutput::StampPage(cv::Mat& page) {
  if (!settings_.dateMark && !settings_.customMark) return true;
  if (!SetWaterMark(settings_.GetWatermarkText(), settings_.markTransparency, settings_.markPosition,
                    settings_.markSize, settings_.markColor))
    return false;
  DrawWatermark(page, waterMark_);
  return true;
}

int CImageOutput::ProcessFrame(const cv::Mat& frame, std::vector<cv::Mat>* pages) {
  if (frame.empty() || !pages) return 1;
  std::vector<cv::Mat> cut;
  switch (settings_.cutPageType) {
    case 1: {
      cv::Mat one;
      if (settings_.multiCutPage) {
        if (!AutoCropDocuments(frame, kMinAreaRatio, kCropMargin, kScale, kSobelKernel, kMedianKernel,
                               kThresholdFactor, &cut))
          cut.assign(1, frame.clone());
      } else if (settings_.deformation) {
        AutoCropDocumentAffine(frame, kScale, kAffineMargin, kSobelKernel, kMedianKernel, kThresholdFactor, &one);
        cut.push_back(one.empty() ? frame.clone() : one);
      } else {
        AutoCropDocument(frame, kMinAreaRatio, kCropMargin, kScale, kSobelKernel, kMedianKernel,
                         kThresholdFactor, &one);
        cut.push_back(one.empty() ? frame.clone() : one);
      }
      break;
    }
    case 2: {
      const int* r = settings_.cropRect;
      CropRect(frame, &cut, r[0], r[1], r[2] - r[0], r[3] - r[1]);
      break;
    }
    default:
      cut.push_back(frame.clone());
      break;
  }

  for (cv::Mat& page : cut) {
    ToColorMode(page, BinarizationWeight());
    if (settings_.colorMode != 2) Normalize(page, kFrameBrightness);
    RemoveShadows(page);
    // Invalid mark settings leave the page unstamped rather than losing it.
    StampPage(page);
    pages->push_back(page);
  }
  return 0;
}

cv::Mat CImageOutput::PageForRecognition(const cv::Mat& frame, const CSysSettings& settings, const RECT* selection) {
  CSysSettings plain = settings;
  if (selection) std::copy_n(&selection->left, 4, plain.cropRect);
  plain.shadow = 0;
  plain.deformation = 0;
  plain.dateMark = 0;
  plain.customMark = 0;
  plain.multiCutPage = false;
  plain.colorMode = 0;
  SetSettings(plain);
  std::vector<cv::Mat> pages;
  ProcessFrame(frame, &pages);
  if (pages.empty()) return cv::Mat();
  const cv::Mat* largest = &pages[0];
  for (const cv::Mat& page : pages)
    if (page.total() > largest->total()) largest = &page;
  return *largest;
}

void CImageOutput::ProcessImage(cv::Mat& out, const cv::Mat& document) {
  if (document.empty()) {
    out = cv::Mat();
    return;
  }
  cv::Mat page = document.clone();
  ToColorMode(page, kWeight);
  if (settings_.colorMode != 2) Normalize(page, kDocumentBrightness);
  RemoveShadows(page);
  StampPage(page);
  out = page;
}

bool CImageOutput::SetWaterMark(const CString& text, int transparency, int position, int size, int color) {
  if (position < 0 || position > 4 || transparency < 0 || transparency > 100 || size < 1) {
    waterMark_.text.Empty();
    return false;
  }
  waterMark_.text = text;
  waterMark_.transparency = transparency;
  waterMark_.position = position;
  waterMark_.size = size;
  waterMark_.color = color;
  return true;
}

void CImageOutput::DrawWatermark(cv::Mat& image, const OutputWaterMark& mark) {
  if (mark.text.IsEmpty() || image.empty()) return;
  cv::Mat tile = RenderWatermarkTile(mark.text, mark.size, mark.color);
  BlendWatermarkTile(image, tile, mark.position, mark.transparency);
}
