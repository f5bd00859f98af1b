// Builds the recognition model "OCR_RLDA_LN_Gra.tpl" from the free CJK fonts:
// the GB2312 level-1 characters printed at several sizes, blurred and noisy,
// cut and measured by the engine's own chain, then a discriminant projection
// and one template per character and type style, compared by cosine. That
// read whole pages best; "--kind mqdf" makes an MQDF model to compare with.
// The model is remade only when its inputs change.
//
//   vq_make_recognition_model <model> [--kind mqdf|templates] [--dims N]
//       [--eigenvectors K] [--threads T] [--evaluate]
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ocr/FeatureChain.h"
#include "ocr/OCREngine.h"
#include "tools/RecognitionModelGlyphs.h"
#include "tools/RecognitionModelTraining.h"

namespace {

// The level-1 characters come first among the classes.
constexpr int kChineseClasses = 3755;
// Template groups: the type styles, the styles of small print, the fonts.
constexpr int kStyles = 3;
constexpr int kFontGroups = 2 * kStyles;

// Raise when the training changes in a way the inputs below do not show.
constexpr int kRecipeVersion = 10;

struct Options {
  std::string output;
  std::string kind = "templates";
  int dims = 96;
  int eigenvectors = 8;
  int threads = 4;
  double regularisation = 0.01;
  double medianDistance = 0.08;  // where the median correct reading lands
  // The same for templates: the scale the recogniser's distances are set
  // for, whatever the projection's length.
  double templateMedianDistance = 0.0486;
  bool evaluate = false;
};

const std::vector<PrintVariant> kTrainingPrints = {
    {24, 0.0, 0.0, 255, 0, 0},   {30, 0.0, 0.0, 255, 0, 0},  {38, 0.0, 0.0, 255, 0, 0},
    {48, 0.0, 0.0, 255, 0, 0},   {28, 0.8, 4.0, 245, 20, 0}, {34, 1.1, 5.0, 235, 30, 0},
    {42, 1.4, 6.0, 225, 45, 0},  {32, 0.6, 3.0, 250, 10, 1}, {44, 0.6, 3.0, 250, 10, -1},
    // Small print photographed, as the recogniser enlarges it.
    {10, 0.6, 3.0, 240, 40, 0, 2.5, true}, {12, 0.8, 3.0, 240, 40, 0, 2.5, true},
    {12, 0.5, 3.0, 240, 40, 0, 2.5, true}, {14, 0.9, 3.0, 240, 50, 0, 2.0, true},
};
// Sizes and scans the training never saw, for --evaluate.
const std::vector<PrintVariant> kCheckPrints = {
    {26, 0.0, 0.0, 255, 0, 0}, {33, 1.0, 5.0, 240, 25, 0}, {40, 1.3, 6.0, 220, 50, 0}, {52, 0.0, 0.0, 255, 0, 0}};

// The fonts found, each with its type style (Song, Hei, Kai): the templates
// are per character and style.
struct TrainingFonts {
  std::vector<vqscene::CjkFont> fonts;
  std::vector<int> styles;
};
TrainingFonts FindTrainingFonts() {
  const std::pair<vqscene::CjkFont, int> all[] = {{vqscene::SongFont(), 0}, {vqscene::SungtiFont(), 0},
                                                  {vqscene::HeiFont(), 1},  {vqscene::SansFont(), 1},
                                                  {vqscene::KaiFont(), 2}};
  TrainingFonts found;
  for (const auto& [font, style] : all)
    if (vqscene::FontInstalled(font)) {
      found.fonts.push_back(font);
      found.styles.push_back(style);
    }
  return found;
}

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// Everything the model depends on: the recipe, the fonts, and what the
// engine's chain makes of a probe glyph (so a changed normaliser or feature
// extractor remakes the model).
std::string CacheKey(const Options& options, const std::vector<vqscene::CjkFont>& fonts,
                     const std::vector<ModelCharacter>& characters) {
  std::ostringstream key;
  key << "recipe " << kRecipeVersion << ' ' << options.kind << ' ' << options.dims << ' ' << options.eigenvectors
      << ' ' << options.regularisation << ' ' << options.medianDistance << ' ' << options.templateMedianDistance << ' '
      << characters.size() << '\n';
  for (const PrintVariant& v : kTrainingPrints)
    key << v.pixels << ',' << v.blur << ',' << v.noise << ',' << v.paper << ',' << v.ink << ',' << v.weight << ','
        << v.enlarge << ',' << v.photographed << ';';
  for (const auto& font : fonts) {
    struct stat info {};
    stat(font.path.c_str(), &info);
    key << '\n' << font.path << ' ' << font.face << ' ' << info.st_size << ' ' << info.st_mtime;
  }
  const GlyphSamples probe = MeasureGlyphs({characters.front(), characters.back()}, {fonts.front()},
                                           {kTrainingPrints[4]}, 1, 1);
  for (const ModelCharacter& c : characters) key << c.gbk;
  key << "\nprobe " << std::hex
      << Fnv1a(std::string(reinterpret_cast<const char*>(probe.features.data),
                           probe.features.total() * probe.features.elemSize()));
  return key.str();
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The median unscaled discriminant of each sample's own class.
double MedianOwnDiscriminant(const MQDFModel& model, const cv::Mat& projected, const std::vector<int>& classes) {
  std::vector<double> values;
  for (int i = 0; i < projected.rows; i += 7)
    values.push_back(Discriminant(model, model.classes[classes[i]], projected.ptr<double>(i)));
  std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
  return values[values.size() / 2];
}

bool Train(const Options& options, const GlyphSamples& samples, const std::vector<ModelCharacter>& characters,
           const std::vector<int>& styles, const std::string& path) {
  const int classCount = static_cast<int>(characters.size());
  std::vector<std::string> labels;
  for (const ModelCharacter& c : characters) labels.push_back(c.gbk);
  const std::vector<double> geometry =
      MeasureGeometry(samples.places, samples.classes, samples.fonts, classCount, kChineseClasses);
  if (options.kind == "templates") {
    // Chinese characters get a template per type style, and one more per
    // style for enlarged small print; the few letters, digits and signs,
    // whose faces differ more, one per font. The projection spreads the
    // classes of all print, small print photographed among it.
    std::vector<int> groups;
    for (size_t i = 0; i < samples.fonts.size(); ++i) {
      const bool enlarged = kTrainingPrints[samples.variants[i]].enlarge != 1.0;
      groups.push_back(samples.classes[i] >= kChineseClasses ? kFontGroups + samples.fonts[i]
                       : enlarged                            ? kStyles + styles[samples.fonts[i]]
                                                             : styles[samples.fonts[i]]);
    }
    TemplateModel model =
        TrainTemplates(samples.features, samples.classes, groups, classCount, options.dims, options.regularisation,
                       options.threads, options.templateMedianDistance);
    model.geometry = geometry;
    return WriteTemplateModel(path, model, labels);
  }
  const cv::Mat projection =
      TrainProjection(samples.features, samples.classes, classCount, options.dims, options.regularisation,
                      options.threads);
  const cv::Mat projected = Project(samples.features, projection);
  MQDFModel model = TrainMQDF(projected, samples.classes, classCount, options.eigenvectors);
  model.projection = projection;
  model.scale = options.medianDistance / MedianOwnDiscriminant(model, projected, samples.classes);
  model.geometry = geometry;
  return WriteMQDFModel(path, model, labels);
}

// Reads prints the training never saw with the written model.
void Evaluate(const Options& options, const std::vector<ModelCharacter>& characters,
              const std::vector<vqscene::CjkFont>& fonts) {
  COCREngine engine;
  if (!engine.Load(options.output.c_str())) {
    std::fprintf(stderr, "the model does not load\n");
    return;
  }
  for (size_t f = 0; f < fonts.size(); ++f) {
    vqscene::CjkTextRenderer renderer(fonts[f]);
    for (const PrintVariant& variant : kCheckPrints) {
      cv::RNG rng(99);
      int tried = 0, correct = 0, rejected = 0, wrongAccepted = 0;
      std::vector<double> own;
      const auto start = std::chrono::steady_clock::now();
      for (size_t c = 0; c < characters.size(); c += 3) {
        const cv::Mat glyph = PrintedGlyph(renderer, characters[c].codes[0], variant, rng);
        if (glyph.empty()) continue;
        const cv::Mat packed = glyph.clone();
        char label[3] = {};
        double distance = 0.0;
        if (!engine.Recognize(packed.data, packed.cols, packed.rows, label, 1, &distance)) continue;
        ++tried;
        const bool right = characters[c].gbk == std::string(label, 2);
        correct += right ? 1 : 0;
        rejected += distance >= 0.32 ? 1 : 0;
        wrongAccepted += !right && distance < 0.32 ? 1 : 0;
        if (right) own.push_back(distance);
      }
      std::sort(own.begin(), own.end());
      auto quantile = [&](double q) { return own.empty() ? 0.0 : own[static_cast<size_t>(q * (own.size() - 1))]; };
      std::printf("%-22s %2dpx blur %.1f noise %4.1f: %5.1f %% of %d right, %4.1f %% rejected, %4.1f %% wrong "
                  "but accepted; own distance median %.3f, 90 %% %.3f; %.0f us a glyph\n",
                  fonts[f].name.c_str(), variant.pixels, variant.blur, variant.noise, 100.0 * correct / tried, tried,
                  100.0 * rejected / tried, 100.0 * wrongAccepted / tried, quantile(0.5), quantile(0.9),
                  1e6 * Seconds(start) / tried);
    }
  }
}

bool ParseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
    if (arg == "--kind") options->kind = value();
    else if (arg == "--dims") options->dims = std::atoi(value());
    else if (arg == "--eigenvectors") options->eigenvectors = std::atoi(value());
    else if (arg == "--threads") options->threads = std::max(1, std::atoi(value()));
    else if (arg == "--evaluate") options->evaluate = true;
    else if (!arg.empty() && arg[0] != '-' && options->output.empty()) options->output = arg;
    else return false;
  }
  return !options->output.empty() && (options->kind == "mqdf" || options->kind == "templates") && options->dims >= 0 &&
         (options->dims > 0 || options->kind == "templates") &&
         options->dims <= 512 && options->eigenvectors >= 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fprintf(stderr,
                 "usage: %s <model> [--kind mqdf|templates] [--dims N] [--eigenvectors K] [--threads T] "
                 "[--evaluate]\n",
                 argv[0]);
    return 2;
  }
  const TrainingFonts training = FindTrainingFonts();
  const std::vector<vqscene::CjkFont>& fonts = training.fonts;
  const std::vector<ModelCharacter> characters = ModelCharacters();
  if (fonts.empty() || characters.size() <= static_cast<size_t>(kChineseClasses)) {
    std::fprintf(stderr, "no CJK font or no GBK conversion: run scripts/setup\n");
    return 1;
  }
  const std::string keyPath = options.output + ".key";
  const std::string key = CacheKey(options, fonts, characters);
  std::error_code error;
  if (!options.evaluate && std::filesystem::exists(options.output, error) && ReadText(keyPath) == key) {
    // Up to date: only the time stamp moves, so the build sees it done.
    std::filesystem::last_write_time(options.output, std::filesystem::file_time_type::clock::now(), error);
    std::printf("recognition model up to date\n");
    return 0;
  }

  const auto start = std::chrono::steady_clock::now();
  const GlyphSamples samples = MeasureGlyphs(characters, fonts, kTrainingPrints, options.threads, 1);
  std::printf("measured %d glyphs in %zu fonts in %.1f s\n", samples.features.rows, fonts.size(), Seconds(start));
  const std::string partial = options.output + ".part";
  if (!Train(options, samples, characters, training.styles, partial)) {
    std::fprintf(stderr, "cannot write %s\n", partial.c_str());
    std::filesystem::remove(partial, error);
    return 1;
  }
  std::filesystem::rename(partial, options.output, error);
  if (error) {
    std::fprintf(stderr, "cannot write %s\n", options.output.c_str());
    return 1;
  }
  std::ofstream(keyPath, std::ios::binary) << key;
  std::printf("wrote %s (%.1f MB) in %.1f s\n", options.output.c_str(),
              std::filesystem::file_size(options.output, error) / 1e6, Seconds(start));
  if (options.evaluate) Evaluate(options, characters, fonts);
  return 0;
}
