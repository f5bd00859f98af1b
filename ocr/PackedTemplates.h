#pragma once
// Template vectors of one length laid out for comparing a glyph with many of
// them at once: blocks of kLanes templates, the i-th values of a block's
// templates side by side; the first halves of all blocks, then the second
// halves, so that blocks left unfinished are not read past their half. The
// processor then works on several templates per instruction, while each
// template's dot product is still summed in the very order of the cosine
// distance measure, so every distance is the same to the bit as the one
// template-by-template comparison gives.
//
// Given a limit, a block whose templates all lie provably beyond it after
// half its values is not finished: the half's sum plus the largest the other
// half can add (the product of the two halves' lengths) already puts every
// one of them beyond the limit, with a margin far above rounding.
#include <cstddef>
#include <limits>
#include <vector>

class PackedTemplates {
 public:
  static constexpr size_t kLanes = 8;

  // How the blocks are walked: portable vectors, or the processor's wider
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

  // A glyph's features with their lengths, worked out once for all blocks.
  struct Query {
    const double* features;
    double length, tailLength;
  };
  Query Prepare(const double* features) const;
  void CosineDistances(const Query& query, size_t first, size_t n, double* out,
                       double limit = std::numeric_limits<double>::infinity(),
                       Kernel kernel = Kernel::kAuto) const;

  // True when this processor runs the wide kernel.
  static bool WideKernelAvailable();

 private:
  // Blocks x half_ x kLanes, then blocks x (length_ - half_) x kLanes; zeros
  // after the last template.
  std::vector<double> values_;
  // Per template, padded like the blocks: the length of all its values and
  // of those from half_ on. Padding gets a tail of minus infinity.
  std::vector<double> lengths_, tailLengths_;
  size_t half_ = 0;  // where a block's sums are looked at: a multiple of four
  size_t count_ = 0;
  size_t length_ = 0;
};
