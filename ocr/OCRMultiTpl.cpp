#include "ocr/OCRMultiTpl.h"

#include <algorithm>

#include "ocr/CandidateSet.h"
#include "ocr/ModelReading.h"
#include "ocr/DistanceMeasurer.h"
#include "ocr/ModelText.h"

bool COCRMultiTpl::Load(const char* modelPath) {
  return ReadModelFile(modelPath, [this](CFileOperator& file) { return ReadModel(file) && CheckShapes(); });
}

bool COCRMultiTpl::ReadModel(CFileOperator& file) {
  while (OCRMatrixPtr record = NextRecord(file)) {
    if (!IsTextRecord(record.get())) return false;
    const std::string text = RecordText(record.get());
    if (text.size() == 2) {
      if (sets_.empty() || text[0] == '\0' || text[1] == '\0') return false;
      OCRMatrixPtr pattern = NextRecord(file);
      if (!pattern || !MakeFiniteDoubles(pattern)) return false;
      sets_.back().templates.push_back(std::move(pattern));
      sets_.back().labels.push_back(text);
    } else if (EqualsNoCase(text, "TRS")) {
      OCRMatrixPtr projection = NextRecord(file);
      if (sets_.empty() || !projection || !MakeFiniteDoubles(projection)) return false;
      sets_.back().chain.projection = std::move(projection);
    } else if (EqualsNoCase(text, "NEW")) {
      if (!OpenSet(file)) return false;
    }
  }
  // A record that could not be read whole is damage, not the end.
  if (!file.AtEnd()) return false;
  return !sets_.empty();
}

bool COCRMultiTpl::OpenSet(CFileOperator& file) {
  std::string names[3];
  for (std::string& name : names) {
    OCRMatrixPtr record = NextRecord(file);
    if (!ReadName(record.get(), kMaxNameLength, &name)) return false;
  }
  TemplateSet set;
  set.chain.normalizer = CreateImageNormalizer(names[0]);
  set.chain.extractor = CreateFeatureExtractor(names[1]);
  set.chain.SetDistance(names[2]);
  if (!set.chain.Complete()) return false;
  sets_.push_back(std::move(set));
  return true;
}

bool COCRMultiTpl::CheckShapes() {
  for (TemplateSet& set : sets_) {
    int rows = 0, cols = 0;
    if (set.templates.empty() || !set.chain.FeatureShape(false, &rows, &cols)) return false;
    for (OCRMatrixPtr& pattern : set.templates)
      if (!FitShape(pattern.get(), rows, cols)) return false;
    if (set.chain.cosine) {
      std::vector<const double*> vectors;
      for (const OCRMatrixPtr& pattern : set.templates) vectors.push_back(MatrixData<double>(pattern.get()));
      set.packed.Assign(vectors, static_cast<size_t>(rows) * static_cast<size_t>(cols));
    }
  }
  return true;
}

void COCRMultiTpl::Release() { sets_.clear(); }

bool COCRMultiTpl::MatchTemplateSet(const uint8_t* image, int width, int height, char* setLabels, int count,
                                    double* setDistances, const TemplateSet& set) const {
  const int n = count < 1 ? 1 : count;
  if (!set.chain.Complete()) return false;
  OCRMatrixPtr features(set.chain.Compute(image, width, height, false));
  if (!features) return false;
  // Template order decides among equal distances: the one read first stays.
  CandidateSet<size_t> best(static_cast<size_t>(n));
  if (set.packed.Count() == set.templates.size() && set.packed.Count() > 0 && features->type == OCR_DOUBLE &&
      OCRElementCount(features.get()) == set.packed.Length()) {
    // The distances a chunk at a time, on the stack; templates that cannot
    // be admitted need not be finished.
    constexpr size_t kChunk = 8 * PackedTemplates::kLanes;
    double d[kChunk];
    const PackedTemplates::Query query = set.packed.Prepare(MatrixData<double>(features.get()));
    for (size_t first = 0; first < set.packed.Count(); first += kChunk) {
      const size_t n = std::min(kChunk, set.packed.Count() - first);
      set.packed.CosineDistances(query, first, n, d, best.Limit());
      for (size_t i = 0; i < n; ++i)
        if (best.Admits(d[i])) best.Offer(d[i], first + i);
    }
  } else {
    for (size_t i = 0; i < set.templates.size(); ++i) {
      double d = 0.0;
      if (set.chain.distance->Distance(set.templates[i].get(), features.get(), &d) == 0) best.Offer(d, i);
    }
  }
  WriteCandidates(best.Items(), n, [&set](size_t i) -> const std::string& { return set.labels[i]; }, setLabels,
                  setDistances);
  setLabels[2 * n] = '\0';
  return true;
}

bool COCRMultiTpl::Recognize(const uint8_t* image, int width, int height, char* labels, int count,
                             double* distances) {
  const int n = count < 1 ? 1 : count;
  if (!labels || !GlyphHasInk(image, width, height)) return false;
  labels[0] = '\0';
  try {
    std::vector<char> setLabels(2 * static_cast<size_t>(n) + 1, '\0');
    std::vector<double> setDistances(static_cast<size_t>(n), 0.0);
    CandidateSet<std::string> merged(static_cast<size_t>(n));
    bool any = false;
    for (const TemplateSet& set : sets_) {
      if (!MatchTemplateSet(image, width, height, setLabels.data(), n, setDistances.data(), set)) continue;
      any = true;
      // A label already merged keeps the smaller of its two distances.
      for (int d = 0; d < n && setLabels[2 * d] != '\0'; ++d) {
        double held = 0.0;
        if (merged.Remove(std::string(&setLabels[2 * d], 2), &held) && held < setDistances[d])
          setDistances[d] = held;
      }
      for (int i = 0; i < n && setLabels[2 * i] != '\0'; ++i)
        merged.Offer(setDistances[i], std::string(&setLabels[2 * i], 2));
    }
    if (!any) return false;
    WriteCandidates(merged.Items(), n, [](const std::string& label) -> const std::string& { return label; }, labels,
                    distances);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}
