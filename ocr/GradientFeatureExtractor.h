#pragma once
// "GRA": Sobel gradients split over 8 directions and spread over an 8 x 8
// zone grid; 1 x 512 floats at index (zoneRow * 8 + zoneCol) * 8 + direction.
#include <vector>

#include "ocr/FeatureExtractor.h"

class CGradientFeatureExtractorImp : public CFeatureExtractor {
 public:
  OCRMatrix* Extract(const OCRMatrix* image, int unused) override;

  // Scales the values of at least 1 so that their mean becomes 200.
  static void NormalizeIntensity(std::vector<float>& values);
  // Adds gradient g at angle theta (sector s = theta / 45 degrees) of a pixel
  // whose centre lies at (a, b) in zone units to the histogram.
  void DistributeGradient(double a, double b, double s, double g, double theta, float* histogram) const;

 private:
  // Adds the two directions' parts of a pixel at (a, b) in zone units.
  void AddToZones(double a, double b, int k, double first, double second, float* histogram) const;

  int zoneRows_ = 8;
  int zoneCols_ = 8;
  int directions_ = 8;
};
