#include "ocr/GlyphRecognition.h"

#include <cstdio>

#include "ocr/OCREngine.h"

void PrintModelLoadError() {
  // "[CDocOCR::Initialize] 初始化字符模板失败"
  std::fputs("[CDocOCR::Initialize] \xB3\xF5\xCA\xBC\xBB\xAF\xD7\xD6\xB7\xFB\xC4\xA3\xB0\xE5\xCA\xA7\xB0\xDC", stdout);
  std::fputs("\n", stdout);
  std::fflush(stdout);
}

COCREngine* LoadRecognitionEngine(const char* modelPath) {
  auto* engine = new COCREngine;
  if (modelPath && engine->Load(modelPath)) return engine;
  PrintModelLoadError();
  engine->Release();
  delete engine;
  return nullptr;
}

void ReleaseRecognitionEngine(COCREngine*& engine) {
  if (!engine) return;
  engine->Unload();
  engine->Release();
  delete engine;
  engine = nullptr;
}

bool RecognizeGlyphWith(COCREngine* engine, int count, const cv::Mat& glyph, std::string* labels,
                        std::vector<double>* distances) {
  if (!engine || glyph.empty() || glyph.type() != CV_8UC1 || count < 1) return false;
  // The engine takes rows x cols bytes without row padding.
  const cv::Mat packed = glyph.isContinuous() ? glyph : glyph.clone();
  std::vector<char> labelBuffer(2 * static_cast<size_t>(count) + 1, '\0');
  std::vector<double> distanceBuffer(static_cast<size_t>(count), 0.0);
  if (!engine->Recognize(packed.data, packed.cols, packed.rows, labelBuffer.data(), count, distanceBuffer.data()))
    return false;
  *labels = labelBuffer.data();
  distances->insert(distances->end(), distanceBuffer.begin(), distanceBuffer.end());
  return true;
}
