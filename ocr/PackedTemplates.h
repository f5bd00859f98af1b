#pragma once
// Template vectors of one length laid out for comparing a glyph with many of
// them at once: blocks of kLanes templates, the i-th values of a block's
// templates side by side. The processor then works on several templates per
// instruction, while each template's dot product is still summed in the very
// order of the cosine distance measure, so every distance is the same to the
// bit as the one template-by-template comparison gives.
#include <cstddef>
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
  // first being a multiple of kLanes and first + n at most Count().
  void CosineDistances(const double* features, size_t first, size_t n, double* out,
                       Kernel kernel = Kernel::kAuto) const;

  // True when this processor runs the wide kernel.
  static bool WideKernelAvailable();

 private:
  std::vector<double> values_;  // blocks x length x kLanes, zeros after the last template
  size_t count_ = 0;
  size_t length_ = 0;
};
