#include "ocr/GlyphRecognition.h"

#include <cstdio>

#include "ocr/OCREngine.h"

void PrintModelLoadError(const char* modelPath) {
  std::fprintf(stderr, "Text recognition cannot start: the recognition model \"%s\" is missing or damaged.\n",
               modelPath ? modelPath : "");
  std::fflush(stderr);
}

COCREngine* LoadRecognitionEngine(const char* modelPath) {
  auto* engine = new COCREngine;
  if (modelPath && engine->Load(modelPath)) return engine;
  PrintModelLoadError(modelPath);
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
