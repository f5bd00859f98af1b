#pragma once
// Multi-template classifier ("NEW"): nearest templates in one or more
// template sets, each with its own feature chain; the per-set candidates are
// merged into the N best labels.
#include <string>
#include <vector>

#include "ocr/FeatureChain.h"
#include "ocr/GlyphGeometry.h"
#include "ocr/OCRInterface.h"
#include "ocr/PackedTemplates.h"

struct TemplateSet {
  FeatureChain chain;
  std::vector<OCRMatrixPtr> templates;  // the final feature shape, doubles
  std::vector<std::string> labels;      // two bytes each, parallel to templates
  // With a cosine distance, the templates again, laid out for comparing a
  // glyph with all of them in one pass.
  PackedTemplates packed;
  // With several templates a label, the unit-length means of each label's
  // templates (behind a projection, their leading values alone), compared
  // first; of the labels whose means lie nearest, the templates are
  // compared (`members`, in template order).
  PackedTemplates means;
  std::vector<std::vector<size_t>> members;
};

class COCRMultiTpl : public COCRInterface {
 public:
  // Component names longer than this are refused.
  static constexpr size_t kMaxNameLength = 99;
  // Labels whose templates are compared after their means, and the values
  // of the means compared. A label's mean pools its print at size with
  // enlarged small print and lies further from a sharp glyph than its own
  // template does: fewer labels let such a glyph's own one slip.
  static constexpr size_t kNearestMeans = 24;
  static constexpr size_t kMeanLength = 48;

  COCRMultiTpl() = default;
  ~COCRMultiTpl() override { Release(); }
  COCRMultiTpl(const COCRMultiTpl&) = delete;
  COCRMultiTpl& operator=(const COCRMultiTpl&) = delete;

  bool Load(const char* modelPath) override;
  void Release() override;
  bool Recognize(const uint8_t* image, int width, int height, char* labels, int count, double* distances) override;
  // The `count` best templates of one set, written like Recognize's result.
  bool MatchTemplateSet(const uint8_t* image, int width, int height, char* setLabels, int count,
                        double* setDistances, const TemplateSet& set) const;
  const std::vector<TemplateSet>& Sets() const { return sets_; }
  const GlyphGeometry* Geometry() const override { return &geometry_; }

 private:
  bool ReadModel(CFileOperator& file);
  bool OpenSet(CFileOperator& file);
  bool CheckShapes();
  // Builds the set's label means and their members.
  static void AssignMeans(TemplateSet* set, size_t length);

  std::vector<TemplateSet> sets_;
  GlyphGeometry geometry_;
};
