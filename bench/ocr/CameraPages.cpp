#include "bench/ocr/CameraPages.h"

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

std::vector<ReadPage> MakeCameraPages() {
  const std::vector<vqscene::CjkFont> fonts = UnseenChineseFonts();
  static const int kEms[] = {22, 40, 26, 34, 30, 38, 24, 32};
  std::vector<ReadPage> pages;
  if (fonts.empty()) return pages;
  cv::RNG rng(4040);
  for (size_t i = 0; i < std::size(kEms); ++i) {
    const vqscene::CjkFont& font = fonts[i % fonts.size()];
    vqscene::CjkTextRenderer renderer(font);
    const vqscene::PrintedText printed =
        vqscene::SetChineseParagraphs(renderer, vqscene::SheetPixels(kFrame, false), kEms[i], Level1Characters(), rng);
    const float angle = static_cast<float>(rng.uniform(-4.0, 4.0));
    const cv::Mat frame = vqscene::RenderScene(vqscene::PhotographedSheet(printed.print, kFrame, angle, Light(rng), rng.next()));
    pages.push_back({CropForRecognition(frame), printed.text, font.name + " " + std::to_string(kEms[i]) + " px"});
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

const std::vector<ReadPage>& Pages(ReadSet set) {
  static std::map<ReadSet, std::vector<ReadPage>> cache;
  std::vector<ReadPage>& pages = cache[set];
  if (pages.empty())
    pages = set == ReadSet::kCamera ? MakeCameraPages() : set == ReadSet::kTurnedScans ? MakeTurnedScans()
                                                                                         : MakeCleanPages();
  return pages;
}

const std::vector<TurnedPage>& Pages(TurnSet set) {
  static std::map<TurnSet, std::vector<TurnedPage>> cache;
  std::vector<TurnedPage>& pages = cache[set];
  if (pages.empty()) pages = MakeTurnedPages(set);
  return pages;
}

const char* SetName(ReadSet set) {
  return set == ReadSet::kCamera ? "camera pages" : set == ReadSet::kTurnedScans ? "scans turned 0-5 deg" : "clean pages";
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
