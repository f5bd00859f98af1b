#include "imaging/BarcodeReader.h"

#include <gtest/gtest.h>
#include <zint.h>

#include <algorithm>
#include <string>
#include <vector>

#include <opencv2/imgproc.hpp>

namespace {

using Symbols = std::vector<std::string>;

// A symbol rendered by an independent encoder, black on white, with a quiet zone.
cv::Mat RenderSymbol(int symbology, const std::string& data, int scale) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = symbology;
  symbol->scale = static_cast<float>(scale);
  symbol->show_hrt = 0;
  symbol->input_mode = DATA_MODE;
  cv::Mat rendered;
  if (ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                                 static_cast<int>(data.size()), 0) < ZINT_ERROR) {
    const cv::Mat rgb(symbol->bitmap_height, symbol->bitmap_width, CV_8UC3, symbol->bitmap);
    cv::cvtColor(rgb, rendered, cv::COLOR_RGB2GRAY);
    cv::copyMakeBorder(rendered, rendered, 20, 20, 30, 30, cv::BORDER_CONSTANT, cv::Scalar(255));
  }
  ZBarcode_Delete(symbol);
  return rendered;
}

// A white page of the given size with the symbols placed at the given corners.
cv::Mat PageWith(const std::vector<std::pair<cv::Mat, cv::Point>>& symbols, cv::Size size = {900, 700}) {
  cv::Mat page(size, CV_8UC1, cv::Scalar(255));
  for (const auto& [symbol, at] : symbols) symbol.copyTo(page(cv::Rect(at, symbol.size())));
  return page;
}

}  // namespace

TEST(DecodeBarcodes, Ean13AndQrOnOnePageGiveTypeBeforeText) {
  const cv::Mat ean = RenderSymbol(BARCODE_EANX, "590123412345", 3);
  const cv::Mat qr = RenderSymbol(BARCODE_QRCODE, "abc", 6);
  ASSERT_FALSE(ean.empty());
  ASSERT_FALSE(qr.empty());
  Symbols found;
  ASSERT_TRUE(DecodeBarcodes(PageWith({{ean, {40, 40}}, {qr, {500, 300}}}), &found, nullptr, false));
  ASSERT_EQ(found.size(), 4u);
  Symbols sorted = {found[0] + "=" + found[1], found[2] + "=" + found[3]};
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted, (Symbols{"EAN-13=5901234123457", "QR-Code=abc"}));
}

TEST(DecodeBarcodes, Code128OnAColourPageLeavesThePageAlone) {
  const cv::Mat code = RenderSymbol(BARCODE_CODE128, "VQ-2026/page 7", 2);
  ASSERT_FALSE(code.empty());
  cv::Mat page;
  cv::cvtColor(PageWith({{code, {40, 200}}}, {1000, 500}), page, cv::COLOR_GRAY2BGR);
  page(cv::Rect(0, 0, 1000, 100)).setTo(cv::Scalar(200, 120, 40));
  const cv::Mat before = page.clone();
  Symbols found;
  const BarcodeParams params;
  EXPECT_EQ(params.blockSize, 131);
  EXPECT_EQ(params.C, 30);
  ASSERT_TRUE(DecodeBarcodes(page, &found, &params, false));
  EXPECT_EQ(found, (Symbols{"CODE-128", "VQ-2026/page 7"}));
  EXPECT_EQ(cv::norm(page, before, cv::NORM_INF), 0);
}

TEST(DecodeBarcodes, TextIsTakenByItsLength) {
  const std::string payload("id\0tail", 7);
  const cv::Mat qr = RenderSymbol(BARCODE_QRCODE, payload, 6);
  ASSERT_FALSE(qr.empty());
  Symbols found;
  ASSERT_TRUE(DecodeBarcodes(PageWith({{qr, {100, 100}}}), &found, nullptr, true));
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], "QR-Code");
  EXPECT_EQ(found[1], payload);
}

TEST(DecodeBarcodes, EmptyAndBlankPages) {
  Symbols found = {"stale", "entries"};
  EXPECT_FALSE(DecodeBarcodes(cv::Mat(), &found, nullptr, false));
  EXPECT_TRUE(found.empty());
  found = {"stale", "entries"};
  EXPECT_TRUE(DecodeBarcodes(cv::Mat(300, 400, CV_8UC1, cv::Scalar(255)), &found, nullptr, false));
  EXPECT_TRUE(found.empty());
}

TEST(DecodeBarcodes, BinaryFlagSkipsTheThreshold) {
  const cv::Mat qr = RenderSymbol(BARCODE_QRCODE, "binary", 6);
  ASSERT_FALSE(qr.empty());
  const cv::Mat page = PageWith({{qr, {100, 100}}});
  // A constant so large that the threshold turns everything to paper.
  BarcodeParams washOut;
  washOut.C = 300;
  Symbols thresholded, asIs;
  ASSERT_TRUE(DecodeBarcodes(page, &thresholded, &washOut, false));
  EXPECT_TRUE(thresholded.empty());
  ASSERT_TRUE(DecodeBarcodes(page, &asIs, &washOut, true));
  EXPECT_EQ(asIs, (Symbols{"QR-Code", "binary"}));
}

TEST(DecodeBarcodes, LowContrastGreyPageIsReadAfterTheThreshold) {
  const cv::Mat qr = RenderSymbol(BARCODE_QRCODE, "faint", 6);
  ASSERT_FALSE(qr.empty());
  cv::Mat page(700, 900, CV_8UC1, cv::Scalar(140));
  page(cv::Rect(cv::Point(100, 100), qr.size())).setTo(60, qr < 128);
  Symbols found;
  ASSERT_TRUE(DecodeBarcodes(page, &found, nullptr, false));
  EXPECT_EQ(found, (Symbols{"QR-Code", "faint"}));
}
