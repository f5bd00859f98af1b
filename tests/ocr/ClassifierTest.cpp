// Both classifiers through the whole chain (engine, model file, normaliser,
// gradient features, projection, distance) on scalar models whose distances
// are known exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "ocr/FeatureChain.h"
#include "ocr/OCREngine.h"
#include "ocr/OCRMQDF.h"
#include "ocr/OCRMultiTpl.h"
#include "tests/ocr/ModelWriter.h"

using namespace ocrtest;

namespace {

constexpr double kTolerance = 1e-12;

struct Result {
  bool ok = false;
  std::string labels;           // the bytes up to the first NUL
  std::vector<char> raw;        // the whole buffer
  std::vector<double> distances;
};

// Loads the model and recognises the box glyph; the buffers start filled
// with 'x' and -1 so untouched entries show.
Result RecognizeBox(const ModelWriter& model, int count, bool expectLoad = true) {
  COCREngine engine;
  Result r;
  const bool loaded = engine.Load(model.Save("model.tpl").c_str());
  EXPECT_EQ(expectLoad, loaded);
  if (!loaded) return r;
  int w, h;
  const auto glyph = BoxGlyph(&w, &h);
  const int n = std::max(count, 1);
  r.raw.assign(2 * n + 1, 'x');
  r.distances.assign(n, -1.0);
  r.ok = engine.Recognize(glyph.data(), w, h, r.raw.data(), count, r.distances.data());
  r.labels = std::string(r.raw.data(), strnlen(r.raw.data(), r.raw.size()));
  return r;
}

bool LoadsAs(COCRInterface& classifier, const ModelWriter& model) {
  return classifier.Load(model.Save("direct.tpl").c_str());
}

struct DistanceCase {
  const char* name;
  double projection;                 // 1 with "Cos" (feature [1]), 0 otherwise (feature [0])
  double (*of)(double model);        // distance of a template or mean value
};
const DistanceCase kDistances[] = {
    {"Cos", 1.0, [](double t) { return 1.0 - t; }},
    {"L2", 0.0, [](double t) { return t * t; }},
    {"City", 0.0, [](double t) { return std::fabs(t); }},
};

}  // namespace

TEST(MultiTemplate, EveryDistanceGivesTheKnownLabelsAndDistances) {
  for (const DistanceCase& d : kDistances) {
    SCOPED_TRACE(d.name);
    const double a = 0.95, b = -0.6, c = 0.7;
    // With Cos the larger value is nearer; otherwise the smaller magnitude.
    const ModelWriter model = ScalarTemplateModel(d.name, d.projection, {{kShang, a}, {kXia, b}, {kDa, c}});
    std::vector<std::pair<double, std::string>> expected = {{d.of(a), kShang}, {d.of(b), kXia}, {d.of(c), kDa}};
    std::sort(expected.begin(), expected.end());

    Result r = RecognizeBox(model, 2);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(expected[0].second + expected[1].second, r.labels);
    EXPECT_NEAR(expected[0].first, r.distances[0], kTolerance);
    EXPECT_NEAR(expected[1].first, r.distances[1], kTolerance);

    r = RecognizeBox(model, 1);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(expected[0].second, r.labels);
    EXPECT_EQ('\0', r.raw[2]);
  }
}

TEST(MultiTemplate, SetsMergeTiesAndShortLists) {
  // Two sets both returning 上: it appears once, with the smaller distance.
  ModelWriter twoSets = ScalarTemplateModel("Cos", 1.0, {{kShang, 0.8}, {kXia, 0.7}});
  twoSets.Text("new").Text("ln").Text("gra").Text("cos").Text("trs").Filled(1, 512, 1.0).Text(kShang).Doubles(1, 1, {0.9});
  Result r = RecognizeBox(twoSets, 3);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(kShang + kXia, r.labels);
  EXPECT_NEAR(0.1, r.distances[0], kTolerance);
  EXPECT_NEAR(0.3, r.distances[1], kTolerance);
  EXPECT_EQ(-1.0, r.distances[2]);  // untouched
  EXPECT_EQ('\0', r.raw[4]);        // NUL after the two labels written
  EXPECT_EQ('x', r.raw[6]);         // NUL at 2k, not 2N

  // Equal distances: the template read first wins, a later equal one is dropped.
  const ModelWriter ties = ScalarTemplateModel("Cos", 1.0, {{kXia, 0.5}, {kShang, 0.5}, {kDa, 0.25}});
  r = RecognizeBox(ties, 1);
  EXPECT_EQ(kXia, r.labels);
  r = RecognizeBox(ties, 3);
  EXPECT_EQ(kXia + kDa, r.labels);

  // count below 1 works as 1.
  r = RecognizeBox(ties, 0);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(kXia, r.labels);
}

TEST(MultiTemplate, GlyphWithoutInkLeavesTheOutputsAlone) {
  COCREngine engine;
  ASSERT_TRUE(engine.Load(ScalarTemplateModel("Cos", 1.0, {{kShang, 0.9}}).Save("m.tpl").c_str()));
  std::vector<uint8_t> blank(100, 0);
  char labels[3] = {'a', 'b', 'c'};
  double distance = 7.0;
  EXPECT_FALSE(engine.Recognize(blank.data(), 10, 10, labels, 1, &distance));
  EXPECT_EQ('a', labels[0]);
  EXPECT_EQ(7.0, distance);
  // A null distance array is allowed.
  int w, h;
  const auto glyph = BoxGlyph(&w, &h);
  EXPECT_TRUE(engine.Recognize(glyph.data(), w, h, labels, 1, nullptr));
  EXPECT_EQ(kShang, std::string(labels, 2));
  engine.Unload();
  EXPECT_FALSE(engine.Recognize(glyph.data(), w, h, labels, 1, nullptr));
  engine.Release();
  EXPECT_FALSE(engine.Recognize(glyph.data(), w, h, labels, 1, nullptr));
}

TEST(MultiTemplate, BrokenModelsFailToLoad) {
  auto header = [] { return ModelWriter().Text("NEW").Text("LN").Text("GRA"); };
  struct Case {
    const char* what;
    ModelWriter model;
  };
  const std::string longName = "GRA" + std::string(97, 'x');  // 100 bytes
  const Case cases[] = {
      {"unknown distance", header().Text("Euclid").Text(kShang).Filled(1, 512, 0)},
      {"unknown extractor", ModelWriter().Text("NEW").Text("LN").Text("GRB").Text("Cos").Text(kShang).Filled(1, 512, 0)},
      {"name over 99 bytes", ModelWriter().Text("NEW").Text("LN").Text(longName).Text("Cos").Text(kShang).Filled(1, 512, 0)},
      {"label without template", header().Text("Cos").Text(kShang)},
      {"numeric record where a tag belongs", header().Text("Cos").Text(kShang).Filled(1, 512, 0).Filled(1, 1, 0)},
      {"set without templates", header().Text("Cos")},
      {"template of the wrong shape", header().Text("Cos").Text(kShang).Filled(1, 511, 0)},
      {"projection that does not fit", header().Text("Cos").Text("TRS").Filled(1, 500, 1).Text(kShang).Filled(1, 1, 0)},
      {"label with a NUL byte", header().Text("Cos").Text(std::string("\0a", 2)).Filled(1, 512, 0)},
      {"non-finite template", header().Text("Cos").Text(kShang).Filled(1, 512, std::numeric_limits<double>::quiet_NaN())},
      {"header cut short", ModelWriter().Text("NEW").Text("LN")},
  };
  for (const Case& c : cases) {
    COCREngine engine;
    EXPECT_FALSE(engine.Load(c.model.Save("broken.tpl").c_str())) << c.what;
  }
  // A name of exactly 99 bytes and other element types load.
  COCREngine engine;
  const std::string name99 = "GRA" + std::string(96, 'x');
  std::string floats(512 * 4, '\0');
  EXPECT_TRUE(engine.Load(ModelWriter().Text("NEW").Text("LN").Text(name99).Text("City").Text(kShang)
                              .Record(1, 512, 4, floats).Save("ok.tpl").c_str()));
  // A label before the first set.
  COCRMultiTpl direct;
  EXPECT_FALSE(LoadsAs(direct, ModelWriter().Text(kShang).Filled(1, 512, 0)));
}

TEST(MQDF, EveryDistanceGivesTheKnownScores) {
  for (const DistanceCase& d : kDistances) {
    SCOPED_TRACE(d.name);
    const double x = d.projection;  // the glyph's feature
    const std::vector<ScalarClass> classes = {{kShang, 0.9, 0.0, 1.0, 0.05}, {kXia, 0.5, 1.0, 2.0, 0.2}};
    Result r = RecognizeBox(ScalarMQDFModel(d.name, d.projection, classes), 2);
    ASSERT_TRUE(r.ok);
    std::vector<std::pair<double, std::string>> expected;
    for (const auto& c : classes)
      expected.push_back({(x - c.mean) * (x - c.mean) * (1 + c.weight) / c.divisor + c.constant, c.label});
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected[0].second + expected[1].second, r.labels);
    EXPECT_NEAR(expected[0].first, r.distances[0], kTolerance);
    EXPECT_NEAR(expected[1].first, r.distances[1], kTolerance);
  }
  // The worked example: 上 0.06, 下 0.45.
  Result r = RecognizeBox(ScalarMQDFModel("Cos", 1.0, {{kShang, 0.9, 0, 1, 0.05}, {kXia, 0.5, 0, 1, 0.2}}), 2);
  EXPECT_EQ(kShang + kXia, r.labels);
  EXPECT_NEAR(0.06, r.distances[0], kTolerance);
  EXPECT_NEAR(0.45, r.distances[1], kTolerance);
}

TEST(MQDF, CountsTiesAndTheCoarseCut) {
  const ModelWriter two = ScalarMQDFModel("L2", 0.0, {{kShang, 0.3, 0, 1, 0}, {kXia, 0.4, 0, 1, 0}});
  Result r = RecognizeBox(two, 0);  // count 0 works as 1
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(kShang, r.labels);
  EXPECT_EQ('\0', r.raw[2]);

  r = RecognizeBox(two, 4);  // fewer classes than N
  EXPECT_EQ(kShang + kXia, r.labels);
  EXPECT_EQ('x', r.raw[5]);
  EXPECT_EQ('\0', r.raw[8]);  // NUL at 2N
  EXPECT_EQ(-1.0, r.distances[2]);

  // Identical means: only the lower index enters the candidates.
  r = RecognizeBox(ScalarMQDFModel("L2", 0.0, {{kXia, 0.3, 0, 1, 0.1}, {kShang, 0.3, 0, 1, 0}}), 2);
  EXPECT_EQ(kXia, r.labels);
  // Equal scores: the class with the larger coarse distance stays.
  r = RecognizeBox(ScalarMQDFModel("L2", 0.0, {{kShang, 0.25, 3, 1, 0}, {kXia, 0.5, 0, 1, 0}}), 2);
  EXPECT_EQ(kXia, r.labels);
  EXPECT_EQ(0.25, r.distances[0]);

  // 26 classes with rising coarse distance; the smallest scores on classes 20..25.
  std::vector<ScalarClass> classes;
  for (int i = 0; i < 26; ++i)
    classes.push_back({std::string("A") + static_cast<char>('a' + i), 0.1 + 0.01 * i, 0, 1, i < 20 ? 1.0 : 0.0});
  const ModelWriter many = ScalarMQDFModel("L2", 0.0, classes);
  r = RecognizeBox(many, 5);
  EXPECT_EQ("AaAbAcAdAe", r.labels);  // the coarse stage kept 20
  r = RecognizeBox(many, 25);
  EXPECT_EQ("AuAvAwAxAy", r.labels.substr(0, 10));  // it kept 25
  EXPECT_EQ(50u, r.labels.size());
}

TEST(MQDF, BrokenModelsFailToLoad) {
  auto head = [](const char* distance) {
    return ModelWriter().Text("NEW:MQDF").Text("-N").Text("LN").Text("-F").Text("GRA").Text("-S").Text(distance)
        .Text("-TRS").Filled(1, 512, 1.0);
  };
  auto cls = [](ModelWriter m, const std::string& tag, double divisor = 1.0, double mean = 0.5) {
    return m.Text(tag).Doubles(1, 1, {mean}).Doubles(1, 1, {1}).Doubles(1, 1, {0}).Doubles(1, 1, {divisor}).Doubles(1, 1, {0});
  };
  struct Case {
    const char* what;
    ModelWriter model;
  };
  const Case cases[] = {
      {"no distance", cls(ModelWriter().Text("NEW:MQDF").Text("-N").Text("LN").Text("-F").Text("GRA").Text("-TRS").Filled(1, 512, 1), "+" + kShang)},
      {"unknown extractor", cls(ModelWriter().Text("NEW:MQDF").Text("-N").Text("LN").Text("-F").Text("XYZ").Text("-S").Text("Cos").Text("-TRS").Filled(1, 512, 1), "+" + kShang)},
      {"missing name after -F", ModelWriter().Text("NEW:MQDF").Text("-F")},
      {"missing projection", ModelWriter().Text("NEW:MQDF").Text("-TRS")},
      {"no classes", head("Cos")},
      {"class cut short", head("Cos").Text("+" + kShang).Doubles(1, 1, {0.5}).Doubles(1, 1, {1})},
      {"three-byte label", cls(head("Cos"), "+" + kShang + "a")},
      {"one-byte label", cls(head("Cos"), "+a")},
      {"zero divisor", cls(head("Cos"), "+" + kShang, 0.0)},
      {"NaN divisor", cls(head("Cos"), "+" + kShang, std::numeric_limits<double>::quiet_NaN())},
      {"infinite mean", cls(head("Cos"), "+" + kShang, 1.0, std::numeric_limits<double>::infinity())},
      {"tag over 131 bytes", cls(head("Cos").Text("-X" + std::string(130, 'y')), "+" + kShang)},
      {"numeric record where a tag belongs", cls(head("Cos"), "+" + kShang).Filled(1, 1, 0)},
      {"mean of the wrong length", head("Cos").Text("+" + kShang).Filled(2, 1, 0).Doubles(1, 1, {1}).Doubles(1, 1, {0}).Doubles(1, 1, {1}).Doubles(1, 1, {0})},
      {"too few weights", head("Cos").Text("+" + kShang).Doubles(1, 1, {0}).Filled(2, 1, 1).Doubles(1, 1, {0}).Doubles(1, 1, {1}).Doubles(1, 1, {0})},
  };
  for (const Case& c : cases) {
    COCREngine engine;
    EXPECT_FALSE(engine.Load(c.model.Save("broken.tpl").c_str())) << c.what;
  }
  // A tag of exactly 131 bytes is fine (and ignored), as is a second kind record.
  COCREngine engine;
  EXPECT_TRUE(engine.Load(cls(cls(head("Cos").Text("-X" + std::string(129, 'y')), "+" + kXia).Text("NEW:MQDF"), "+" + kShang)
                              .Save("ok.tpl").c_str()));
  // "+" before any kind record.
  COCRMQDF direct;
  EXPECT_FALSE(LoadsAs(direct, cls(ModelWriter(), "+" + kShang)));
}

TEST(MQDF, FeaturesWithoutProjectionBecomeAColumn) {
  // Mean 0, no weight: g is the squared length of the 512 gradient features.
  ModelWriter model;
  model.Text("NEW:MQDF").Text("-N").Text("LN").Text("-F").Text("GRA").Text("-S").Text("L2");
  model.Text("+" + kShang).Filled(512, 1, 0.0).Filled(1, 512, 0.0).Doubles(1, 1, {0}).Doubles(1, 1, {1}).Doubles(1, 1, {0});
  Result r = RecognizeBox(model, 1);
  ASSERT_TRUE(r.ok);

  FeatureChain chain;
  chain.normalizer = CreateImageNormalizer("LN");
  chain.extractor = CreateFeatureExtractor("GRA");
  chain.SetDistance("L2");
  int w, h;
  const auto glyph = BoxGlyph(&w, &h);
  OCRMatrixPtr features(chain.Compute(glyph.data(), w, h, true));
  ASSERT_TRUE(features);
  EXPECT_EQ(512, features->rows);
  double expected = 0;
  for (int i = 0; i < 512; ++i) expected += MatrixData<double>(features.get())[i] * MatrixData<double>(features.get())[i];
  EXPECT_GT(expected, 0.0);
  EXPECT_NEAR(expected, r.distances[0], expected * 1e-12);
}

TEST(MQDF, ScoreMatchesTheDirectFormula) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> value(-1, 1);
  const int d = 6, k = 3;
  auto filled = [&](int rows, int cols) {
    OCRMatrixPtr m(CreateMatrix(OCR_DOUBLE, rows, cols));
    for (int i = 0; i < rows * cols; ++i) MatrixData<double>(m.get())[i] = value(random);
    return m;
  };
  for (int trial = 0; trial < 20; ++trial) {
    OCRMatrixPtr x = filled(d, 1), mean = filled(d, 1), phi = filled(k, d), weights = filled(1, k);
    const double divisor = 0.5 + trial, constant = value(random);
    double s = 0, t = 0;
    for (int j = 0; j < d; ++j) s += std::pow(MatrixData<double>(x.get())[j] - MatrixData<double>(mean.get())[j], 2);
    for (int i = 0; i < k; ++i) {
      double p = 0;
      for (int j = 0; j < d; ++j)
        p += MatrixData<double>(phi.get())[i * d + j] * (MatrixData<double>(x.get())[j] - MatrixData<double>(mean.get())[j]);
      t += MatrixData<double>(weights.get())[i] * p * p;
    }
    EXPECT_NEAR((s + t) / divisor + constant,
                ComputeMQDFDistance(x.get(), mean.get(), phi.get(), weights.get(), divisor, constant), 1e-12);
  }
  // Eigenvectors that do not fit the features: infinitely far.
  OCRMatrixPtr x = filled(d, 1), mean = filled(d, 1), phi = filled(k, d + 1), weights = filled(1, k);
  EXPECT_TRUE(std::isinf(ComputeMQDFDistance(x.get(), mean.get(), phi.get(), weights.get(), 1, 0)));
}
