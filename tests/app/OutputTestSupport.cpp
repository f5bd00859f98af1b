#include "tests/app/OutputTestSupport.h"

#include <zint.h>

#include <opencv2/imgproc.hpp>

#include "scene/Renderer.h"
#include "scene/Scene.h"

namespace outputtest {

cv::Mat RenderQr(const std::string& data, int scale, int eci) {
  zint_symbol* symbol = ZBarcode_Create();
  symbol->symbology = BARCODE_QRCODE;
  symbol->scale = static_cast<float>(scale);
  symbol->input_mode = DATA_MODE;
  symbol->eci = eci;
  cv::Mat rendered;
  if (ZBarcode_Encode_and_Buffer(symbol, reinterpret_cast<const unsigned char*>(data.data()),
                                 static_cast<int>(data.size()), 0) < ZINT_ERROR) {
    const cv::Mat rgb(symbol->bitmap_height, symbol->bitmap_width, CV_8UC3, symbol->bitmap);
    cv::cvtColor(rgb, rendered, cv::COLOR_RGB2BGR);
    cv::copyMakeBorder(rendered, rendered, 20, 20, 20, 20, cv::BORDER_CONSTANT, cv::Scalar::all(255));
  }
  ZBarcode_Delete(symbol);
  return rendered;
}

cv::Mat TextPage(cv::Size size, const cv::Mat& symbol, cv::Point at) {
  cv::Mat page(size, CV_8UC3, cv::Scalar::all(250));
  for (int y = 40; y + 12 < size.height; y += 36)
    cv::rectangle(page, cv::Rect(size.width / 3, y, size.width / 2, 10), cv::Scalar(30, 30, 30), cv::FILLED);
  if (!symbol.empty()) symbol.copyTo(page(cv::Rect(at, symbol.size())));
  return page;
}

cv::Mat DeskWithSheets(int count, cv::Size frame) {
  vqscene::Scene scene = vqscene::EmptyDesk(frame);
  const float step = static_cast<float>(frame.width) / static_cast<float>(count);
  for (int i = 0; i < count; ++i) {
    const cv::Point2f centre(step * (static_cast<float>(i) + 0.5f), frame.height / 2.0f);
    const cv::Size2f sheet(step * 0.7f, frame.height * 0.6f);
    scene.sheets.push_back(vqscene::PlaceSheet(centre, sheet, 3.0f, static_cast<std::uint64_t>(i + 1)));
  }
  return vqscene::RenderScene(scene);
}

CSysSettings PlainSettings() {
  CSysSettings s;
  s.colorMode = 0;
  s.imgFormat = 0;
  s.cutPageType = 0;
  s.recognize = 0;
  s.merge = 0;
  s.pdfOrTif = 0;
  s.dateMark = 0;
  s.customMark = 0;
  s.shadow = 0;
  s.noiseSize = 0;
  s.xDpi = s.yDpi = 200;
  s.jpgQuality = 90;
  return s;
}

}  // namespace outputtest
