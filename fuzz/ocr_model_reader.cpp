// Fuzzes the model-file reader and both classifiers: the input is written as
// a model file, loaded by the engine and, when it loads, used on a glyph.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/InputFile.h"
#include "ocr/FileOperator.h"
#include "ocr/OCREngine.h"

namespace {

std::string& ModelPath() {
  static std::string path = [] {
    char name[] = "/tmp/ocr_model_reader_XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    std::atexit([] { std::remove(ModelPath().c_str()); });
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = ModelPath();
  if (!fuzzinput::WriteFreshFile(path, data, size)) return 0;

  CCmmFileOperatorImp reader;
  if (reader.Open(path, false) == 0) {
    while (OCRMatrix* record = reader.ReadRecord()) ReleaseMatrix(&record);
    reader.Close();
  }

  COCREngine engine;
  if (engine.Load(path.c_str())) {
    uint8_t glyph[12 * 10] = {};
    for (int i = 2; i < 10; ++i) glyph[i * 10 + 3] = glyph[5 * 10 + i - 1] = 200;
    for (int count : {1, 3}) {
      char labels[2 * 3 + 1];
      double distances[3];
      engine.Recognize(glyph, 10, 12, labels, count, distances);
    }
  }
  return 0;
}
