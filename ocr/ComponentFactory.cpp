#include "ocr/ComponentFactory.h"

#include "ocr/CICLPFFeatureExtractor.h"
#include "ocr/CrossLineFeatureExtractor.h"
#include "ocr/GaborFeatureExtractors.h"
#include "ocr/GradientFeatureExtractor.h"
#include "ocr/HVHistogramsFeatureExtractor.h"
#include "ocr/ModelText.h"
#include "ocr/PeripheralFeatureExtractor.h"
#include "ocr/StrokePosFeatureExtractor.h"

std::unique_ptr<CFileOperator> CreateFileOperator(const std::string& name) {
  if (EqualsNoCase(name, "Cmm")) return std::make_unique<CCmmFileOperatorImp>();
  return nullptr;
}

std::unique_ptr<CImageNormalizer> CreateImageNormalizer(const std::string& name) {
  if (StartsWithNoCase(name, "LN")) return std::make_unique<CLinearNormalizerImp>();
  if (StartsWithNoCase(name, "BI")) return std::make_unique<CBiMomentNormalizerImp>();
  if (StartsWithNoCase(name, "B2")) return std::make_unique<CB2MomentNormalizerImp>();
  return nullptr;
}

std::unique_ptr<CFeatureExtractor> CreateFeatureExtractor(const std::string& name) {
  if (EqualsNoCase(name, "None")) return std::make_unique<CFeatureExtractor>();
  if (StartsWithNoCase(name, "HVH")) return std::make_unique<CHVHistogramsFeatureExtractorImp>(name);
  if (StartsWithNoCase(name, "CCF")) return std::make_unique<CCICLPFFeatureExtractorImp>();
  if (StartsWithNoCase(name, "PPF")) return std::make_unique<CPeripheralFeatureExtractorImp>();
  if (StartsWithNoCase(name, "GBF")) return std::unique_ptr<CFeatureExtractor>(CGaborBFeatureExtractorImp::Create(name));
  if (StartsWithNoCase(name, "StrokePos")) return std::make_unique<CStrokePosFeatureExtractorImp>();
  if (EqualsNoCase(name, "CrossLine")) return std::make_unique<CCrossLineFeatureExtractor>();
  if (StartsWithNoCase(name, "GAB")) return std::unique_ptr<CFeatureExtractor>(CGaborMagFeatureExtractorImp::Create(name));
  if (StartsWithNoCase(name, "GRA")) return std::make_unique<CGradientFeatureExtractorImp>();
  return nullptr;
}

std::unique_ptr<CDistanceMeasurer> CreateDistanceMeasurer(const std::string& name) {
  if (EqualsNoCase(name, "City")) return std::make_unique<CCityDistanceMeasurerImp>();
  if (EqualsNoCase(name, "L2")) return std::make_unique<CL2DistanceMeasurerImp>();
  if (EqualsNoCase(name, "Cos")) return std::make_unique<CCosineDistanceMeasurerImp>();
  return nullptr;
}
