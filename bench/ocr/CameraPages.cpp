#include "bench/ocr/CameraPages.h"

#include <functional>
#include <map>

#include <opencv2/imgproc.hpp>

#include "bench/ocr/RenderedPages.h"
#include "imaging/AutoCrop.h"
#include "imaging/ImageEnhancement.h"
#include "ocr/TextOrientationDetector.h"
#include "scene/PrintedPage.h"
#include "scene/Renderer.h"

namespace ocrbench {

namespace {

const cv::Size kFrame(kFrameWidth, kFrameHeight);

std::vector<vqscene::CjkFont> Installed(const std::vector<vqscene::CjkFont>& fonts) {
  std::vector<vqscene::CjkFont> found;
  for (const auto& font : fonts)
    if (vqscene::FontInstalled(font)) found.push_back(font);
  return found;
}

std::vector<vqscene::CjkFont> LatinFonts() {
  return Installed({{"Liberation Serif", "/usr/share/fonts/truetype/liberation2/LiberationSerif-Regular.ttf", 0},
                    {"Liberation Sans", "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf", 0},
                    {"DejaVu Sans", "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 0},
                    {"DejaVu Serif", "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", 0},
                    {"Liberation Serif Bold", "/usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf", 0}});
}

// The unseen faces of regular weight.
std::vector<vqscene::CjkFont> RegularUnseenFonts() {
  std::vector<vqscene::CjkFont> fonts;
  for (const vqscene::CjkFont& font : UnseenChineseFonts())
    if (font.name.find("Bold") == std::string::npos) fonts.push_back(font);
  return fonts;
}

// A page lying turned clockwise by `angle` is brought upright counter-clockwise.
cv::Mat TurnedBy(const cv::Mat& upright, int angle) {
  return angle == 90 ? RotateImage90Clockwise(upright)
         : angle == 180 ? RotateImage180(upright)
         : angle == 270 ? RotateImage90CounterClockwise(upright)
                        : upright;
}

vqscene::DeskLight Light(cv::RNG& rng) {
  vqscene::DeskLight light;
  light.blur = rng.uniform(0.8, 1.2);
  light.noise = 3.0;
  light.vignetting = rng.uniform(0.25, 0.4);
  light.shadow = true;
  return light;
}

// Sheets of one kind photographed on a desk and cut as the recognition
// command does; `light` adjusts the desk light of each page.
struct PhotoKind {
  std::vector<int> ems;
  cv::Size frame = kFrame;
  float tilt = 0.0f;  // the top lifted toward the camera, degrees
  bool mixed = false;
  int supersample = 1;  // the print this many times finer than the frame
  std::function<void(vqscene::DeskLight&, cv::RNG&)> light;
  std::vector<vqscene::CjkFont> fonts = UnseenChineseFonts();
};

std::vector<ReadPage> MakePhotographs(const PhotoKind& kind, uint64_t seed) {
  const std::vector<vqscene::CjkFont>& fonts = kind.fonts;
  std::vector<ReadPage> pages;
  if (fonts.empty()) return pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < kind.ems.size(); ++i) {
    const vqscene::CjkFont& font = fonts[i % fonts.size()];
    vqscene::CjkTextRenderer renderer(font);
    const cv::Size sheet = vqscene::SheetPixels(kind.frame, false) * kind.supersample;
    const int em = kind.ems[i] * kind.supersample;
    const vqscene::PrintedText printed =
        kind.mixed ? vqscene::SetMixedParagraphs(renderer, sheet, em, Level1Characters(), rng)
                   : vqscene::SetChineseParagraphs(renderer, sheet, em, Level1Characters(), rng);
    const float angle = static_cast<float>(rng.uniform(-4.0, 4.0));
    vqscene::DeskLight light = Light(rng);
    if (kind.light) kind.light(light, rng);
    const cv::Mat frame = vqscene::RenderScene(
        vqscene::PhotographedSheet(printed.print, kind.frame, angle, light, rng.next(), kind.tilt, kind.supersample));
    pages.push_back({CropForRecognition(frame), printed.text,
                     std::to_string(i + 1) + " " + font.name + " " + std::to_string(kind.ems[i]) + " px"});
  }
  return pages;
}

std::vector<ReadPage> MakeTurnedScans() {
  const std::vector<vqscene::CjkFont> fonts = UnseenChineseFonts();
  static const double kTurns[] = {0.0, 1.2, -2.1, 3.3, -4.0, 5.0};
  std::vector<ReadPage> pages;
  if (fonts.empty()) return pages;
  for (size_t i = 0; i < std::size(kTurns); ++i) {
    const vqscene::CjkFont& font = fonts[i % fonts.size()];
    Page page = MakeChinesePage(font, true, 500 + i, kTurns[i]);
    pages.push_back({page.image, page.text, font.name + " turned " + std::to_string(kTurns[i]).substr(0, 4)});
  }
  return pages;
}

std::vector<ReadPage> MakeCleanPages() {
  std::vector<vqscene::CjkFont> fonts = UnseenChineseFonts();
  fonts.resize(std::min<size_t>(fonts.size(), 2));
  for (const auto& font : Installed({vqscene::SongFont(), vqscene::HeiFont()})) fonts.push_back(font);
  std::vector<ReadPage> pages;
  for (size_t i = 0; i < fonts.size(); ++i) {
    Page page = MakeChinesePage(fonts[i], false, 700 + i);
    pages.push_back({page.image, page.text, fonts[i].name});
  }
  return pages;
}

// Small print scanned rather than photographed: a whole sheet at 75 dpi,
// one blur and the scanner's noise.
std::vector<ReadPage> MakeSmallScans() {
  std::vector<ReadPage> pages;
  cv::RNG rng(8282);
  const std::vector<vqscene::CjkFont> fonts = RegularUnseenFonts();
  for (size_t i = 0; i < 2 * fonts.size(); ++i) {
    const vqscene::CjkFont& font = fonts[i % fonts.size()];
    vqscene::CjkTextRenderer renderer(font);
    const vqscene::PrintedText printed =
        vqscene::SetChineseParagraphs(renderer, cv::Size(620, 877), 12, Level1Characters(), rng);
    cv::Mat grey;
    printed.print.convertTo(grey, CV_32F, 200.0 / 255.0, 35.0);
    cv::GaussianBlur(grey, grey, cv::Size(), 0.6);
    cv::Mat noise(grey.size(), CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, 3.0);
    grey += noise;
    cv::Mat page;
    grey.convertTo(page, CV_8U);
    pages.push_back({page, printed.text, std::to_string(i + 1) + " " + font.name + " 12 px scanned"});
  }
  return pages;
}

std::vector<ReadPage> MakeReadSet(ReadSet set) {
  PhotoKind kind;
  switch (set) {
    case ReadSet::kMixed:
      kind.ems = {26, 34, 30, 38, 24, 32};
      kind.mixed = true;
      return MakePhotographs(kind, 5050);
    case ReadSet::kTilted:
      kind.ems = {30, 36, 26, 40};
      kind.tilt = 25.0f;
      return MakePhotographs(kind, 6060);
    case ReadSet::kHeadline:
      kind.ems = {80, 80, 80, 80};
      return MakePhotographs(kind, 7070);
    case ReadSet::kSmallPrint:
    case ReadSet::kTinyPrint:
      // A whole sheet in the frame of the 5 MP camera, focused sharply on
      // it; the print is set finer than the frame, as paper is, and each
      // pixel takes in its area. Small print is set in regular weights.
      kind.ems = std::vector<int>(4, set == ReadSet::kSmallPrint ? 12 : 10);
      kind.supersample = 3;
      kind.fonts = RegularUnseenFonts();
      kind.light = [](vqscene::DeskLight& light, cv::RNG& rng) { light.blur = rng.uniform(0.5, 0.7); };
      return MakePhotographs(kind, set == ReadSet::kSmallPrint ? 8080 : 8181);
    case ReadSet::kDark:
      // A dim room: a quarter of the light, the sensor's gain turned up.
      kind.ems = {28, 36, 24, 32, 40, 30};
      kind.light = [](vqscene::DeskLight& light, cv::RNG& rng) {
        light.exposure = rng.uniform(0.2, 0.3);
        light.noise = rng.uniform(6.0, 8.0);
      };
      return MakePhotographs(kind, 9090);
    case ReadSet::kCamera:
      kind.ems = {22, 40, 26, 34, 30, 38, 24, 32};
      return MakePhotographs(kind, 4040);
    case ReadSet::kTurnedScans: return MakeTurnedScans();
    case ReadSet::kSmallScans: return MakeSmallScans();
    case ReadSet::kClean: return MakeCleanPages();
  }
  return {};
}

std::vector<TurnedPage> MakeTurnedPages(TurnSet set) {
  const bool english = set == TurnSet::kEnglishFlat || set == TurnSet::kEnglishDesk;
  const bool desk = set == TurnSet::kEnglishDesk || set == TurnSet::kChineseDesk;
  const std::vector<vqscene::CjkFont> fonts = english ? LatinFonts() : UnseenChineseFonts();
  static const int kEnglishEms[] = {30, 44, 36, 56, 26};
  static const int kChineseEms[] = {26, 34, 40, 30};
  const int kinds = english ? 5 : 4;
  cv::RNG rng(english ? 31 : 37);
  std::vector<TurnedPage> pages;
  if (fonts.empty()) return pages;
  for (int i = 0; i < kinds; ++i) {
    const int em = english ? kEnglishEms[i] : kChineseEms[i];
    vqscene::CjkTextRenderer renderer(fonts[static_cast<size_t>(i) % fonts.size()]);
    const cv::Size size = desk ? vqscene::SheetPixels(kFrame, false) : cv::Size(kWidth, kHeight);
    const cv::Mat upright = english ? vqscene::SetEnglishParagraphs(renderer, size, em, rng)
                                    : vqscene::SetChineseParagraphs(renderer, size, em, Level1Characters(), rng).print;
    for (int angle = 0; angle < 360; angle += 90) {
      const cv::Mat turned = TurnedBy(upright, angle);
      if (desk) {
        const float jitter = static_cast<float>(rng.uniform(-5.0, 5.0));
        const cv::Mat frame = vqscene::RenderScene(vqscene::PhotographedSheet(turned, kFrame, jitter, Light(rng), rng.next()));
        pages.push_back({CropForOrientation(frame), angle});
      } else {
        pages.push_back({turned, angle});
      }
    }
  }
  return pages;
}

}  // namespace

std::vector<vqscene::CjkFont> UnseenChineseFonts() {
  std::vector<vqscene::CjkFont> fonts =
      Installed({{"Noto Serif CJK SC Bold", "/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc", 2},
                 {"WenQuanYi Zen Hei", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", 0},
                 {"Noto Sans CJK SC Bold", "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 2},
                 {"AR PL UMing CN", "/usr/share/fonts/truetype/arphic/uming.ttc", 0}});
  // Without them, the model's own faces.
  if (fonts.empty()) fonts = Installed({vqscene::SongFont(), vqscene::HeiFont()});
  return fonts;
}

cv::Mat CropForRecognition(const cv::Mat& frame) {
  cv::Mat page;
  if (!AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &page)) return frame;
  cv::Mat lit;
  if (CImageProcess().NormalizeBrightness(page, lit, 240)) page = lit;
  return page;
}

cv::Mat CropForOrientation(const cv::Mat& frame) {
  cv::Mat page;
  if (AutoCropDocument(frame, 0.01f, 20, 0.2f, 3, 9, 8.0, &page) && !page.empty()) return page;
  return frame;
}

const std::vector<ReadPage>& Pages(ReadSet set) { return CachedSet(set, MakeReadSet); }

const std::vector<TurnedPage>& Pages(TurnSet set) { return CachedSet(set, MakeTurnedPages); }

const char* SetName(ReadSet set) {
  switch (set) {
    case ReadSet::kCamera: return "camera pages";
    case ReadSet::kTurnedScans: return "scans turned 0-5 deg";
    case ReadSet::kClean: return "clean pages";
    case ReadSet::kMixed: return "digits and Latin among Chinese";
    case ReadSet::kTilted: return "sheets tilted 25 deg";
    case ReadSet::kHeadline: return "headlines 80 px";
    case ReadSet::kSmallPrint: return "small print 12 px";
    case ReadSet::kTinyPrint: return "small print 10 px";
    case ReadSet::kDark: return "dark, noisy frames";
    case ReadSet::kSmallScans: return "small print 12 px, scanned";
  }
  return "";
}

const char* SetName(TurnSet set) {
  switch (set) {
    case TurnSet::kEnglishFlat: return "English pages";
    case TurnSet::kEnglishDesk: return "English on the desk";
    case TurnSet::kChineseFlat: return "Chinese pages";
    case TurnSet::kChineseDesk: return "Chinese on the desk";
  }
  return "";
}

}  // namespace ocrbench
