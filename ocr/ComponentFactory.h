#pragma once
// Name factories for the components a model file names. Names are compared
// without regard to (ASCII) letter case; an unknown name gives null.
#include <memory>
#include <string>

#include "ocr/DistanceMeasurer.h"
#include "ocr/FeatureExtractor.h"
#include "ocr/FileOperator.h"
#include "ocr/ImageNormalizer.h"

std::unique_ptr<CFileOperator> CreateFileOperator(const std::string& name);
std::unique_ptr<CImageNormalizer> CreateImageNormalizer(const std::string& name);
std::unique_ptr<CFeatureExtractor> CreateFeatureExtractor(const std::string& name);
std::unique_ptr<CDistanceMeasurer> CreateDistanceMeasurer(const std::string& name);
