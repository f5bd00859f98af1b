#pragma once
// MQDF classifier ("NEW:MQDF", "NEW:RLDA_PLUS_MQDF"): a coarse pass by the
// model's distance to each class mean keeps max(20, N) classes, which are then
// scored by the modified quadratic discriminant function.
#include <string>
#include <vector>

#include "ocr/FeatureChain.h"
#include "ocr/GlyphGeometry.h"
#include "ocr/OCRInterface.h"

struct MQDFClassRecord {
  OCRMatrixPtr mean;          // d x 1
  OCRMatrixPtr eigenvectors;  // k x d
  OCRMatrixPtr weights;       // at least k values
  double divisor = 1.0;
  double constant = 0.0;
};

// g = (|x - mean|^2 + sum_i w_i (phi_i . (x - mean))^2) / divisor + constant,
// over the first (rows of x) elements; infinity when the shapes do not fit.
double ComputeMQDFDistance(const OCRMatrix* x, const OCRMatrix* mean, const OCRMatrix* eigenvectors,
                           const OCRMatrix* weights, double divisor, double constant);

class COCRMQDF : public COCRInterface {
 public:
  // Tags and names longer than this are refused.
  static constexpr size_t kMaxTagLength = 131;

  COCRMQDF() = default;
  ~COCRMQDF() override { Release(); }
  COCRMQDF(const COCRMQDF&) = delete;
  COCRMQDF& operator=(const COCRMQDF&) = delete;

  bool Load(const char* modelPath) override;
  void Release() override;
  bool Recognize(const uint8_t* image, int width, int height, char* labels, int count, double* distances) override;
  const GlyphGeometry* Geometry() const override { return &geometry_; }

 private:
  bool ReadModel(CFileOperator& file);
  bool ReadClass(CFileOperator& file, const std::string& label);
  bool CheckShapes();

  FeatureChain chain_;
  bool haveClassList_ = false;
  std::vector<MQDFClassRecord> classes_;
  std::vector<std::string> labels_;
  GlyphGeometry geometry_;
};
