#pragma once
// Template vectors of one length laid out for comparing a glyph with many of
// them at once, and for turning most of them away cheaply. The distance of a
// template that may be among the candidates is summed in doubles in the very
// order of the cosine distance measure, so it is the same to the bit as the
// one template-by-template comparison gives.
//
// The others are screened in floats, which halve the memory read and double
// the templates per instruction: blocks of kLanes templates, the i-th values
// of a block side by side; the first halves of all blocks, then the second
// halves. After half the values, a block whose templates' sums plus the most
// the other half can add (the product of the two halves' lengths) lie beyond
// the limit is left; after all of them, each template whose float sum lies
// beyond it. The margin on these bounds is far above the rounding of floats.
#include <cstddef>
#include <limits>
#include <vector>

class PackedTemplates {
 public:
  static constexpr size_t kLanes = 8;

  // How the blocks are screened: portable vectors, or the processor's wider
  // ones where it has them. Both give the same values.
  enum class Kernel { kAuto, kPortable, kWide };

  // Replaces the contents; every vector holds `length` doubles.
  void Assign(const std::vector<const double*>& vectors, size_t length);
  size_t Count() const { return count_; }
  size_t Length() const { return length_; }

  // Writes 1 - (template . features) for templates first .. first + n - 1,
  // first being a multiple of kLanes and first + n at most Count(). A
  // template of a block left unfinished gets +infinity: its distance is
  // greater than `limit`.
  void CosineDistances(const double* features, size_t first, size_t n, double* out,
                       double limit = std::numeric_limits<double>::infinity(),
                       Kernel kernel = Kernel::kAuto) const {
    CosineDistances(Prepare(features), first, n, out, limit, kernel);
  }

  // A glyph's features with their lengths and as floats, worked out once
  // for all blocks.
  struct Query {
    const double* features;
    std::vector<float> rounded;
    double length, tailLength;
  };
  Query Prepare(const double* features) const;
  // Lanes of each block (bit l: template first + l of the block) whose
  // distances are wanted; the others get +infinity without their distance
  // being worked out.
  static constexpr unsigned kAllLanes = (1u << kLanes) - 1;
  void CosineDistances(const Query& query, size_t first, size_t n, double* out,
                       double limit = std::numeric_limits<double>::infinity(),
                       Kernel kernel = Kernel::kAuto, unsigned lanes = kAllLanes) const;

  // Asks the processor to fetch the start of the block holding template t
  // while other work goes on: blocks compared in no order are far apart.
  void Prefetch(size_t t) const;

  // The distance of template t alone, the same as CosineDistances gives it.
  double CosineDistance(const double* features, size_t t) const;

  // True when this processor runs the wide kernel.
  static bool WideKernelAvailable();

 private:
  // Longer vectors are not screened: float rounding could outgrow the margin.
  static constexpr size_t kMaxScreenedLength = 512;

  // The templates one after the other, for the distances in doubles.
  std::vector<double> exact_;
  // The screening blocks: blocks x half_ x kLanes, then blocks x (length_ -
  // half_) x kLanes floats; zeros after the last template.
  std::vector<float> rounded_;
  // Per template, padded like the blocks: the length of all its values and
  // of those from half_ on. Padding gets a tail of minus infinity.
  std::vector<float> lengths_, tailLengths_;
  size_t half_ = 0;  // where a block's sums are looked at: a multiple of four
  size_t count_ = 0;
  size_t length_ = 0;
};
