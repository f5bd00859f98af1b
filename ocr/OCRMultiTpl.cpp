#include "ocr/OCRMultiTpl.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "ocr/CandidateSet.h"
#include "ocr/ModelReading.h"
#include "ocr/DistanceMeasurer.h"
#include "ocr/ModelText.h"

namespace {

// Offers every template of `packed` to `best`, a chunk at a time on the
// stack; templates that cannot be admitted need not be finished.
void NearestTemplates(const PackedTemplates& packed, const double* features, CandidateSet<size_t>* best) {
  constexpr size_t kChunk = 8 * PackedTemplates::kLanes;
  double d[kChunk];
  const PackedTemplates::Query query = packed.Prepare(features);
  for (size_t first = 0; first < packed.Count(); first += kChunk) {
    const size_t n = std::min(kChunk, packed.Count() - first);
    packed.CosineDistances(query, first, n, d, best->Limit());
    for (size_t i = 0; i < n; ++i)
      if (best->Admits(d[i])) best->Offer(d[i], first + i);
  }
}

// The `count` means nearest to the features (a heap of the nearest so far
// sets the screening limit).
std::vector<size_t> NearestMeans(const PackedTemplates& means, const double* features, size_t count) {
  constexpr size_t kChunk = 8 * PackedTemplates::kLanes;
  double d[kChunk];
  std::vector<std::pair<double, size_t>> heap;  // the largest distance on top
  heap.reserve(count + 1);
  const PackedTemplates::Query query = means.Prepare(features);
  for (size_t first = 0; first < means.Count(); first += kChunk) {
    const size_t n = std::min(kChunk, means.Count() - first);
    const double limit = heap.size() < count ? std::numeric_limits<double>::infinity() : heap.front().first;
    means.CosineDistances(query, first, n, d, limit);
    for (size_t i = 0; i < n; ++i) {
      if (heap.size() == count && !(d[i] < heap.front().first)) continue;
      heap.emplace_back(d[i], first + i);
      std::push_heap(heap.begin(), heap.end());
      if (heap.size() > count) {
        std::pop_heap(heap.begin(), heap.end());
        heap.pop_back();
      }
    }
  }
  std::vector<size_t> nearest;
  for (const auto& entry : heap) nearest.push_back(entry.second);
  return nearest;
}

}  // namespace

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
    } else if (EqualsNoCase(text, "GEO")) {
      if (!geometry_.Read(file)) return false;
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
      const size_t length = static_cast<size_t>(rows) * static_cast<size_t>(cols);
      std::vector<const double*> vectors;
      for (const OCRMatrixPtr& pattern : set.templates) vectors.push_back(MatrixData<double>(pattern.get()));
      set.packed.Assign(vectors, length);
      AssignMeans(&set, length);
    }
  }
  return true;
}

void COCRMultiTpl::AssignMeans(TemplateSet* set, size_t length) {
  std::map<std::string, size_t> labelIndex;
  std::vector<std::vector<double>> sums;
  set->members.clear();
  for (size_t t = 0; t < set->templates.size(); ++t) {
    const auto [found, added] = labelIndex.emplace(set->labels[t], sums.size());
    if (added) {
      sums.emplace_back(length, 0.0);
      set->members.emplace_back();
    }
    const double* v = MatrixData<double>(set->templates[t].get());
    for (size_t i = 0; i < length; ++i) sums[found->second][i] += v[i];
    set->members[found->second].push_back(t);
  }
  // Not worth it unless the labels have several templates each.
  if (sums.size() <= kNearestMeans || set->templates.size() < 2 * sums.size()) {
    set->members.clear();
    return;
  }
  std::vector<const double*> vectors;
  for (std::vector<double>& sum : sums) {
    double norm = 0.0;
    for (double v : sum) norm += v * v;
    if (norm > 0.0)
      for (double& v : sum) v /= std::sqrt(norm);
    vectors.push_back(sum.data());
  }
  // The leading values of a discriminant projection tell the most: the
  // means are compared over those alone.
  set->means.Assign(vectors, set->chain.projection ? std::min(length, kMeanLength) : length);
}

void COCRMultiTpl::Release() {
  sets_.clear();
  geometry_.Clear();
}

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
    const double* x = MatrixData<double>(features.get());
    if (!set.members.empty()) {
      // The templates of the labels whose means lie nearest, in template
      // order, screened a block at a time like all the others would be.
      std::vector<size_t> compared;
      for (size_t mean : NearestMeans(set.means, x, std::max(kNearestMeans, static_cast<size_t>(n) + 8)))
        compared.insert(compared.end(), set.members[mean].begin(), set.members[mean].end());
      std::sort(compared.begin(), compared.end());
      const PackedTemplates::Query query = set.packed.Prepare(x);
      constexpr size_t kLanes = PackedTemplates::kLanes;
      double d[kLanes];
      for (size_t i = 0; i < compared.size();) {
        const size_t first = compared[i] / kLanes * kLanes;
        for (size_t j = i; j < compared.size(); ++j)
          if (compared[j] >= first + kLanes) {
            set.packed.Prefetch(compared[j]);
            break;
          }
        // Only the compared templates' distances: the others of the block
        // would be read from memory for nothing.
        unsigned lanes = 0;
        for (size_t j = i; j < compared.size() && compared[j] < first + kLanes; ++j) lanes |= 1u << (compared[j] - first);
        set.packed.CosineDistances(query, first, std::min(kLanes, set.packed.Count() - first), d, best.Limit(),
                                   PackedTemplates::Kernel::kAuto, lanes);
        for (; i < compared.size() && compared[i] < first + kLanes; ++i)
          if (best.Admits(d[compared[i] - first])) best.Offer(d[compared[i] - first], compared[i]);
      }
    } else {
      NearestTemplates(set.packed, x, &best);
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
