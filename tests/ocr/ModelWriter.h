#pragma once
// Writes model files for the tests with explicit little-endian headers,
// independently of the engine's own record writer.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ocrtest {

// GBK codes of a few glyphs.
inline const std::string kShang = "\xC9\xCF";  // 上
inline const std::string kXia = "\xCF\xC2";    // 下
inline const std::string kDa = "\xB4\xF3";     // 大

class ModelWriter {
 public:
  ModelWriter& Record(int32_t rows, int32_t cols, int32_t type, std::string_view elements);
  ModelWriter& Text(std::string_view text);
  ModelWriter& Doubles(int32_t rows, int32_t cols, const std::vector<double>& values);
  ModelWriter& Filled(int32_t rows, int32_t cols, double value);
  const std::string& Bytes() const { return bytes_; }
  // Offsets at which records end.
  const std::vector<size_t>& RecordEnds() const { return ends_; }
  // Writes the model into the test's folder; returns its path.
  std::string Save(const std::string& name) const;

 private:
  std::string bytes_;
  std::vector<size_t> ends_;
};

// Scalar models: the features are projected onto one all-`projection` row,
// so every glyph gives the feature [1] (projection 1 with "Cos") or [0]
// (projection 0) and the model alone sets every distance.
struct ScalarTemplate {
  std::string label;
  double value;
};
ModelWriter ScalarTemplateModel(const std::string& distance, double projection,
                                const std::vector<ScalarTemplate>& templates);
struct ScalarClass {
  std::string label;
  double mean, weight, divisor, constant;
};
ModelWriter ScalarMQDFModel(const std::string& distance, double projection, const std::vector<ScalarClass>& classes);

// A glyph with ink: a hollow square of side 20 in a 30 x 30 image.
std::vector<uint8_t> BoxGlyph(int* width, int* height);

}  // namespace ocrtest
