#include "ocr/OCRMQDF.h"

#include <cmath>
#include <limits>

#include "ocr/CandidateSet.h"
#include "ocr/ModelReading.h"
#include "ocr/ModelText.h"

double ComputeMQDFDistance(const OCRMatrix* x, const OCRMatrix* mean, const OCRMatrix* eigenvectors,
                           const OCRMatrix* weights, double divisor, double constant) {
  constexpr double kFar = std::numeric_limits<double>::infinity();
  if (!x || !mean || !eigenvectors || !weights || x->type != OCR_DOUBLE) return kFar;
  const int d = x->rows;
  const int k = eigenvectors->rows;
  if (OCRElementCount(x) < static_cast<size_t>(d) || OCRElementCount(mean) < static_cast<size_t>(d) ||
      OCRElementCount(weights) < static_cast<size_t>(k))
    return kFar;
  OCRMatrixPtr delta(CreateMatrix(OCR_DOUBLE, d, 1));
  if (!delta) return kFar;
  double s = 0.0;
  for (int j = 0; j < d; ++j) {
    const double v = MatrixData<double>(x)[j] - OCRElementAsDouble(mean, j);
    MatrixData<double>(delta.get())[j] = v;
    s += v * v;
  }
  double t = 0.0;
  if (k > 0) {
    OCRMatrixPtr p(MultiplyMatrix(eigenvectors, delta.get()));
    if (!p) return kFar;
    for (int i = 0; i < k; ++i) {
      const double pi = MatrixData<double>(p.get())[i];
      t += OCRElementAsDouble(weights, i) * pi * pi;
    }
  }
  return (s + t) / divisor + constant;
}

bool COCRMQDF::Load(const char* modelPath) {
  return ReadModelFile(modelPath, [this](CFileOperator& file) { return ReadModel(file) && CheckShapes(); });
}

bool COCRMQDF::ReadModel(CFileOperator& file) {
  while (OCRMatrixPtr record = NextRecord(file)) {
    std::string tag;
    if (!ReadName(record.get(), kMaxTagLength, &tag)) return false;
    if (EqualsNoCase(tag, "NEW:MQDF") || EqualsNoCase(tag, "NEW:RLDA_PLUS_MQDF")) {
      classes_.clear();
      labels_.clear();
      haveClassList_ = true;
    } else if (EqualsNoCase(tag, "GEO")) {
      if (!geometry_.Read(file)) return false;
    } else if (!tag.empty() && tag[0] == '+') {
      if (!haveClassList_ || !ReadClass(file, tag.substr(1))) return false;
    } else if (tag.size() >= 2 && tag[0] == '-') {
      const char option = static_cast<char>(tag[1] & ~0x20);
      if (option == 'T' && !EqualsNoCase(tag, "-TRS")) continue;
      if (option != 'F' && option != 'N' && option != 'S' && option != 'T') continue;
      OCRMatrixPtr value = NextRecord(file);
      if (!value) return false;
      if (option == 'T') {
        if (!MakeFiniteDoubles(value)) return false;
        chain_.projection = std::move(value);
        continue;
      }
      std::string name;
      if (!ReadName(value.get(), kMaxTagLength, &name)) return false;
      if (option == 'F') {
        chain_.extractor = CreateFeatureExtractor(name);
        if (!chain_.extractor) return false;
      } else if (option == 'N') {
        chain_.normalizer = CreateImageNormalizer(name);
        if (!chain_.normalizer) return false;
      } else if (!chain_.SetDistance(name)) {
        return false;
      }
    }
  }
  // A record that could not be read whole is damage, not the end.
  if (!file.AtEnd()) return false;
  return haveClassList_;
}

bool COCRMQDF::ReadClass(CFileOperator& file, const std::string& label) {
  // Labels are two-byte character codes.
  if (label.size() != 2 || label[0] == '\0' || label[1] == '\0') return false;
  OCRMatrixPtr parts[5];
  for (auto& part : parts) {
    part = NextRecord(file);
    if (!part || !MakeFiniteDoubles(part)) return false;
  }
  if (OCRElementCount(parts[3].get()) < 1 || OCRElementCount(parts[4].get()) < 1) return false;
  MQDFClassRecord entry;
  entry.divisor = MatrixData<double>(parts[3].get())[0];
  entry.constant = MatrixData<double>(parts[4].get())[0];
  if (!(entry.divisor > 0.0)) return false;
  entry.mean = std::move(parts[0]);
  entry.eigenvectors = std::move(parts[1]);
  entry.weights = std::move(parts[2]);
  classes_.push_back(std::move(entry));
  labels_.push_back(label);
  return true;
}

bool COCRMQDF::CheckShapes() {
  int rows = 0, cols = 0;
  if (!chain_.Complete() || classes_.empty() || !chain_.FeatureShape(true, &rows, &cols)) return false;
  for (MQDFClassRecord& c : classes_) {
    if (!FitShape(c.mean.get(), rows, 1)) return false;
    if (c.eigenvectors->cols != rows && OCRElementCount(c.eigenvectors.get()) != 0) return false;
    if (OCRElementCount(c.eigenvectors.get()) == 0) FitShape(c.eigenvectors.get(), 0, rows);
    if (OCRElementCount(c.weights.get()) < static_cast<size_t>(c.eigenvectors->rows)) return false;
  }
  return true;
}

void COCRMQDF::Release() {
  chain_ = FeatureChain();
  classes_.clear();
  labels_.clear();
  geometry_.Clear();
  haveClassList_ = false;
}

bool COCRMQDF::Recognize(const uint8_t* image, int width, int height, char* labels, int count, double* distances) {
  const int n = count < 1 ? 1 : count;
  if (!chain_.Complete() || classes_.empty() || !labels || !GlyphHasInk(image, width, height)) return false;
  try {
    OCRMatrixPtr features(chain_.Compute(image, width, height, true));
    if (!features) return false;

    CandidateSet<size_t> coarse(n < 20 ? 20 : static_cast<size_t>(n));
    for (size_t i = 0; i < classes_.size(); ++i) {
      double d = 0.0;
      if (chain_.distance->Distance(classes_[i].mean.get(), features.get(), &d) == 0) coarse.Offer(d, i);
    }
    // From the largest coarse distance down; among equal scores the first visited stays.
    CandidateSet<size_t> fine(coarse.Items().size());
    for (auto it = coarse.Items().rbegin(); it != coarse.Items().rend(); ++it) {
      const MQDFClassRecord& c = classes_[it->second];
      fine.Offer(ComputeMQDFDistance(features.get(), c.mean.get(), c.eigenvectors.get(), c.weights.get(), c.divisor,
                                     c.constant),
                 it->second);
    }
    WriteCandidates(fine.Items(), n, [this](size_t i) -> const std::string& { return labels_[i]; }, labels, distances);
    labels[2 * n] = '\0';
  } catch (const std::exception&) {
    return false;
  }
  return true;
}
