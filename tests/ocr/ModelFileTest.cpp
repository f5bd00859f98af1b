// The model file: records read from hand-written bytes, the writer, kind
// dispatch and damaged files.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

#include "ocr/ComponentFactory.h"
#include "ocr/FileOperator.h"
#include "ocr/ModelText.h"
#include "ocr/OCREngine.h"
#include "tests/ocr/ModelWriter.h"
#include "tests/support/TestEnv.h"

using namespace ocrtest;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

// A hand-written model fragment: kind, a 1 x 1 double, a label, a class tag,
// a 2 x 3 int32 record, a 1 x 2 float record and an empty record.
const std::string kGolden =
    Bytes({0x01, 0, 0, 0, 0x08, 0, 0, 0, 0x01, 0, 0, 0, 'N', 'E', 'W', ':', 'M', 'Q', 'D', 'F'}) +
    Bytes({0x01, 0, 0, 0, 0x01, 0, 0, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}) +
    Bytes({0x01, 0, 0, 0, 0x02, 0, 0, 0, 0x01, 0, 0, 0, 0xC9, 0xCF}) +
    Bytes({0x01, 0, 0, 0, 0x03, 0, 0, 0, 0x01, 0, 0, 0, 0x2B, 0xC9, 0xCF}) +
    Bytes({0x02, 0, 0, 0, 0x03, 0, 0, 0, 0x02, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0,
           0x00, 0, 0, 0x80, 0x7F, 0, 0, 0, 0x10, 0, 0, 0}) +
    Bytes({0x01, 0, 0, 0, 0x02, 0, 0, 0, 0x04, 0, 0, 0, 0, 0, 0xC0, 0x3F, 0, 0, 0x20, 0xC1}) +
    Bytes({0x00, 0, 0, 0, 0x07, 0, 0, 0, 0x05, 0, 0, 0});

OCRMatrixPtr Read(CFileOperator& file) { return OCRMatrixPtr(file.ReadRecord()); }

std::unique_ptr<CFileOperator> OpenBytes(const std::string& bytes, const std::string& name = "model.tpl") {
  const auto path = vqtest::TempPath(name);
  vqtest::WriteFile(path, bytes);
  auto file = CreateFileOperator("cmm");
  EXPECT_EQ(0, file->Open(path.string(), false));
  return file;
}

bool LoadBytes(const std::string& bytes, const std::string& name = "model.tpl") {
  const auto path = vqtest::TempPath(name);
  vqtest::WriteFile(path, bytes);
  COCREngine engine;
  return engine.Load(path.string().c_str());
}

}  // namespace

TEST(ModelFile, HandWrittenRecordsReadIntoTheExpectedMatrices) {
  auto file = OpenBytes(kGolden);
  OCRMatrixPtr kind = Read(*file);
  ASSERT_TRUE(IsTextRecord(kind.get()));
  EXPECT_EQ("NEW:MQDF", RecordText(kind.get()));

  OCRMatrixPtr one = Read(*file);
  ASSERT_TRUE(one);
  EXPECT_EQ(OCR_DOUBLE, one->type);
  EXPECT_EQ(1, one->rows);
  EXPECT_EQ(1, one->cols);
  EXPECT_EQ(1.0, MatrixData<double>(one.get())[0]);

  EXPECT_EQ(kShang, RecordText(Read(*file).get()));
  EXPECT_EQ("+" + kShang, RecordText(Read(*file).get()));

  OCRMatrixPtr ints = Read(*file);
  ASSERT_TRUE(ints);
  EXPECT_EQ(OCR_INT32, ints->type);
  EXPECT_EQ(2, ints->rows);
  EXPECT_EQ(3, ints->cols);
  const int32_t expected[6] = {1, -1, 256, INT32_MIN, 127, 16};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(expected[i], MatrixData<int32_t>(ints.get())[i]) << i;

  OCRMatrixPtr floats = Read(*file);
  ASSERT_TRUE(floats);
  EXPECT_EQ(OCR_FLOAT, floats->type);
  EXPECT_EQ(1.5f, MatrixData<float>(floats.get())[0]);
  EXPECT_EQ(-10.0f, MatrixData<float>(floats.get())[1]);

  OCRMatrixPtr empty = Read(*file);
  ASSERT_TRUE(empty);
  EXPECT_EQ(0, empty->rows);
  EXPECT_EQ(7, empty->cols);
  EXPECT_EQ(0u, OCRElementCount(empty.get()));

  EXPECT_FALSE(Read(*file));
  EXPECT_TRUE(file->AtEnd());
}

TEST(ModelFile, WriterProducesTheSameBytes) {
  const auto path = vqtest::TempPath("written.tpl");
  CCmmFileOperatorImp writer;
  ASSERT_EQ(0, writer.Open(path.string(), true));
  EXPECT_EQ(1, writer.Open(path.string(), false));  // already open
  EXPECT_EQ(0, writer.WriteString("NEW:MQDF"));
  OCRMatrixPtr one(CreateMatrix(OCR_DOUBLE, 1, 1));
  MatrixData<double>(one.get())[0] = 1.0;
  EXPECT_EQ(0, writer.WriteRecord(one.get()));
  EXPECT_EQ(0, writer.WriteString(kShang.c_str()));
  EXPECT_EQ(0, writer.WriteString(("+" + kShang).c_str()));
  writer.Close();
  EXPECT_EQ(kGolden.substr(0, 20 + 20 + 14 + 15), vqtest::ReadFile(path));

  CCmmFileOperatorImp closed;
  EXPECT_EQ(1, closed.WriteRecord(one.get()));
  EXPECT_EQ(1, closed.Open((vqtest::TempDir() / "no" / "such" / "file").string(), false));
}

TEST(ModelFile, DamagedRecordsReadAsNullWithoutHugeAllocations) {
  struct Case {
    const char* what;
    std::string bytes;
  };
  const std::string header1x2 = Bytes({1, 0, 0, 0, 2, 0, 0, 0, 5, 0, 0, 0});
  const Case cases[] = {
      {"truncated elements", header1x2 + std::string(15, '\0')},
      {"truncated header", Bytes({1, 0, 0, 0, 2, 0})},
      {"negative rows", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 1, 0, 0, 0, 'a'})},
      {"negative cols", Bytes({1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 'a', 'b'})},
      {"huge dimensions", Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 5, 0, 0, 0}) + std::string(64, 'x')},
      {"more elements than the file holds", Bytes({0, 0, 1, 0, 0, 0, 1, 0, 1, 0, 0, 0}) + std::string(100, 'x')},
      {"unknown type with elements", Bytes({2, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0})},
  };
  for (const Case& c : cases) {
    auto file = OpenBytes(c.bytes);
    EXPECT_FALSE(Read(*file)) << c.what;
    EXPECT_FALSE(file->AtEnd()) << c.what;
  }
  // An unknown type holds no elements; one or no element reads without data.
  auto file = OpenBytes(Bytes({1, 0, 0, 0, 1, 0, 0, 0, 9, 0, 0, 0}));
  OCRMatrixPtr odd = Read(*file);
  ASSERT_TRUE(odd);
  EXPECT_EQ(9, odd->type);
  EXPECT_EQ(nullptr, odd->data);
}

TEST(ModelFile, KindRecordChoosesTheClassifier) {
  const std::string ones = ModelWriter().Filled(1, 512, 1.0).Bytes();
  auto mqdf = [&](const std::string& kind) {
    ModelWriter m;
    m.Text(kind).Text("-n").Text("ln").Text("-f").Text("gra").Text("-s").Text("cos").Text("-trs");
    return m.Bytes() + ones + ModelWriter().Text("+" + kShang).Doubles(1, 1, {0.9}).Doubles(1, 1, {1}).Doubles(1, 1, {0}).Doubles(1, 1, {1}).Doubles(1, 1, {0.05}).Bytes();
  };
  EXPECT_TRUE(LoadBytes(mqdf("new:mqdf")));
  EXPECT_TRUE(LoadBytes(mqdf("NEW:RLDA_PLUS_MQDF")));
  EXPECT_FALSE(LoadBytes(mqdf("NEW:MQDFX")));
  EXPECT_TRUE(LoadBytes(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}}).Bytes()));
  EXPECT_FALSE(LoadBytes(""));
  EXPECT_FALSE(LoadBytes(ModelWriter().Record(2, 3, 1, "NEWNEW").Bytes()));
  EXPECT_FALSE(LoadBytes(ModelWriter().Doubles(1, 1, {1.0}).Bytes()));
  EXPECT_FALSE(LoadBytes(ModelWriter().Text("OLD").Bytes()));
  COCREngine engine;
  EXPECT_FALSE(engine.Load((vqtest::TempDir() / "missing.tpl").string().c_str()));
  EXPECT_FALSE(engine.Load(nullptr));
  EXPECT_FALSE(engine.Load(vqtest::TempDir().string().c_str()));  // a folder
}

TEST(ModelFile, EveryTruncationFailsUnlessItEndsAfterACompleteTemplate) {
  const ModelWriter model = ScalarTemplateModel("Cos", 1.0, {{kShang, 0.95}, {kXia, 0.7}});
  const std::string& bytes = model.Bytes();
  const auto& ends = model.RecordEnds();
  // Records: NEW LN GRA Cos TRS P label t label t; complete after a template.
  const size_t complete[] = {ends[7], ends[9]};
  for (size_t length = 0; length < bytes.size(); ++length) {
    // The long projection record is sampled; everything else is tried byte by byte.
    if (length > ends[5] - 4000 && length < ends[5] - 8 && length % 97 != 0) continue;
    const bool expected = length == complete[0];
    EXPECT_EQ(expected, LoadBytes(bytes.substr(0, length))) << "length " << length;
  }
  EXPECT_TRUE(LoadBytes(bytes));
  EXPECT_EQ(complete[1], bytes.size());

  const ModelWriter mqdf = ScalarMQDFModel("Cos", 1.0, {{kShang, 0.9, 0, 1, 0.05}});
  for (size_t end : mqdf.RecordEnds())
    EXPECT_EQ(end == mqdf.Bytes().size(), LoadBytes(mqdf.Bytes().substr(0, end))) << "end " << end;
  for (size_t length = mqdf.RecordEnds()[8]; length < mqdf.Bytes().size(); ++length)
    EXPECT_FALSE(LoadBytes(mqdf.Bytes().substr(0, length))) << "length " << length;
}

TEST(ModelFile, OversizedAndRandomFilesFailCleanly) {
  // A template whose header claims more than the file holds.
  std::string oversized = ModelWriter().Text("NEW").Text("LN").Text("GRA").Text("Cos").Text(kShang).Bytes();
  oversized += Bytes({0, 0, 0, 0x10, 0, 0, 0, 0x10, 5, 0, 0, 0}) + std::string(64, '\0');
  EXPECT_FALSE(LoadBytes(oversized));

  std::mt19937 random(1234);
  std::uniform_int_distribution<int> byte(0, 255);
  const std::string prefixes[] = {"", ModelWriter().Text("NEW").Bytes(), ModelWriter().Text("NEW:MQDF").Bytes()};
  for (int i = 0; i < 300; ++i) {
    std::string bytes = prefixes[i % 3];
    const int length = 1 + i * 7 % 600;
    for (int k = 0; k < length; ++k) bytes.push_back(static_cast<char>(byte(random)));
    EXPECT_FALSE(LoadBytes(bytes)) << "random file " << i;
  }

  // Byte flips in a valid model: loading never crashes, and whatever loads recognises safely.
  const std::string valid = ScalarMQDFModel("L2", 0.0, {{kShang, 0.9, 0, 1, 0.05}, {kXia, 0.5, 0, 1, 0.2}}).Bytes();
  int w, h;
  const auto glyph = BoxGlyph(&w, &h);
  for (int i = 0; i < 200; ++i) {
    std::string bytes = valid;
    const size_t at = static_cast<size_t>(random()) % bytes.size();
    bytes[at] = static_cast<char>(byte(random));
    const auto path = vqtest::TempPath("flipped.tpl");
    vqtest::WriteFile(path, bytes);
    COCREngine engine;
    if (engine.Load(path.string().c_str())) {
      char labels[5] = {};
      double distances[2] = {};
      engine.Recognize(glyph.data(), w, h, labels, 2, distances);
    }
  }
}

TEST(ModelFile, FuzzSeedModelsLoadExceptTheTruncatedOne) {
  const auto folder = vqtest::SourceDir() / "fuzz" / "corpus" / "ocr_model_reader";
  int loaded = 0;
  for (const char* name : {"scalar_templates.tpl", "scalar_mqdf.tpl", "peripheral_and_histograms.tpl", "projected_mqdf.tpl"}) {
    COCREngine engine;
    EXPECT_TRUE(engine.Load((folder / name).string().c_str())) << name;
    int w, h;
    const auto glyph = BoxGlyph(&w, &h);
    char labels[3];
    loaded += engine.Recognize(glyph.data(), w, h, labels, 1, nullptr) ? 1 : 0;
  }
  EXPECT_EQ(4, loaded);
  COCREngine engine;
  EXPECT_FALSE(engine.Load((folder / "truncated.tpl").string().c_str()));
}
