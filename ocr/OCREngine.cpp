#include "ocr/OCREngine.h"

#include <new>

#include "ocr/ComponentFactory.h"
#include "ocr/GlyphGeometry.h"
#include "ocr/ModelText.h"
#include "ocr/OCRMQDF.h"
#include "ocr/OCRMultiTpl.h"

bool COCREngine::Load(const char* modelPath) {
  if (!modelPath) return false;
  try {
    auto file = CreateFileOperator("Cmm");
    if (!file || file->Open(modelPath, false) != 0) return false;
    OCRMatrixPtr kind(file->ReadRecord());
    file->Close();
    if (!IsTextRecord(kind.get())) return false;
    const std::string text = RecordText(kind.get());
    if (EqualsNoCase(text, "NEW"))
      classifier_ = std::make_unique<COCRMultiTpl>();
    else if (EqualsNoCase(text, "NEW:MQDF") || EqualsNoCase(text, "NEW:RLDA_PLUS_MQDF"))
      classifier_ = std::make_unique<COCRMQDF>();
    else
      return false;
    return classifier_->Load(modelPath);
  } catch (const std::exception&) {
    return false;
  }
}

bool COCREngine::Recognize(const uint8_t* image, int width, int height, char* labels, int count, double* distances) {
  if (!classifier_ || !image || !labels || width <= 0 || height <= 0) return false;
  return classifier_->Recognize(image, width, height, labels, count, distances);
}

const GlyphGeometry* COCREngine::Geometry() const {
  const GlyphGeometry* geometry = classifier_ ? classifier_->Geometry() : nullptr;
  return geometry && !geometry->Empty() ? geometry : nullptr;
}

void COCREngine::Unload() {
  if (classifier_) classifier_->Release();
}

void COCREngine::Release() { classifier_.reset(); }
