#include "tests/ocr/ModelWriter.h"

#include <cstring>

#include "tests/support/TestEnv.h"

namespace ocrtest {
namespace {
void AppendInt32(std::string& out, int32_t value) {
  const uint32_t u = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((u >> shift) & 0xFF));
}
}  // namespace

ModelWriter& ModelWriter::Record(int32_t rows, int32_t cols, int32_t type, std::string_view elements) {
  AppendInt32(bytes_, rows);
  AppendInt32(bytes_, cols);
  AppendInt32(bytes_, type);
  bytes_.append(elements);
  ends_.push_back(bytes_.size());
  return *this;
}

ModelWriter& ModelWriter::Text(std::string_view text) {
  return Record(1, static_cast<int32_t>(text.size()), 1, text);
}

ModelWriter& ModelWriter::Doubles(int32_t rows, int32_t cols, const std::vector<double>& values) {
  std::string elements(values.size() * 8, '\0');
  for (size_t i = 0; i < values.size(); ++i) {
    uint64_t bits;
    std::memcpy(&bits, &values[i], 8);
    for (int b = 0; b < 8; ++b) elements[i * 8 + b] = static_cast<char>((bits >> (8 * b)) & 0xFF);
  }
  return Record(rows, cols, 5, elements);
}

ModelWriter& ModelWriter::Filled(int32_t rows, int32_t cols, double value) {
  return Doubles(rows, cols, std::vector<double>(static_cast<size_t>(rows) * cols, value));
}

std::string ModelWriter::Save(const std::string& name) const {
  const auto path = vqtest::TempPath(name);
  vqtest::WriteFile(path, bytes_);
  return path.string();
}

ModelWriter ScalarTemplateModel(const std::string& distance, double projection,
                                const std::vector<ScalarTemplate>& templates) {
  ModelWriter model;
  model.Text("NEW").Text("LN").Text("GRA").Text(distance).Text("TRS").Filled(1, 512, projection);
  for (const auto& t : templates) model.Text(t.label).Doubles(1, 1, {t.value});
  return model;
}

ModelWriter ScalarMQDFModel(const std::string& distance, double projection, const std::vector<ScalarClass>& classes) {
  ModelWriter model;
  model.Text("NEW:MQDF").Text("-N").Text("LN").Text("-F").Text("GRA").Text("-S").Text(distance);
  model.Text("-TRS").Filled(1, 512, projection);
  for (const auto& c : classes)
    model.Text("+" + c.label)
        .Doubles(1, 1, {c.mean})
        .Doubles(1, 1, {1.0})
        .Doubles(1, 1, {c.weight})
        .Doubles(1, 1, {c.divisor})
        .Doubles(1, 1, {c.constant});
  return model;
}

std::vector<uint8_t> BoxGlyph(int* width, int* height) {
  *width = 30;
  *height = 30;
  std::vector<uint8_t> glyph(30 * 30, 0);
  for (int i = 5; i < 25; ++i)
    for (int t = 0; t < 3; ++t) {
      glyph[(5 + t) * 30 + i] = glyph[(22 + t) * 30 + i] = 255;
      glyph[i * 30 + 5 + t] = glyph[i * 30 + 22 + t] = 255;
    }
  return glyph;
}

}  // namespace ocrtest
