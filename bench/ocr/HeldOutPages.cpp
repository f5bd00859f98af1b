#include "bench/ocr/HeldOutPages.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "bench/ocr/RenderedPages.h"
#include "scene/PrintedPage.h"
#include "scene/Renderer.h"

namespace ocrbench {

namespace {

const cv::Size kFiveMegapixels(kFrameWidth, kFrameHeight), kSmallFrame(1280, 960);
const cv::Size kA4(kWidth, kHeight);  // 200 dpi
constexpr double kMargin = 0.08;      // of the page, as the scene's paragraphs keep

std::vector<vqscene::CjkFont> Installed(const std::vector<vqscene::CjkFont>& fonts) {
  std::vector<vqscene::CjkFont> found;
  for (const auto& font : fonts)
    if (vqscene::FontInstalled(font)) found.push_back(font);
  return found;
}

const vqscene::CjkFont& FontFor(const std::vector<vqscene::CjkFont>& fonts, size_t i) { return fonts[i % fonts.size()]; }

// A page as a flatbed scanner gives it: grey paper, dark grey ink, a blur, noise.
cv::Mat Scanned(const cv::Mat& print, cv::RNG& rng, double blur, double noise) {
  cv::Mat grey;
  print.convertTo(grey, CV_32F, 200.0 / 255.0, 35.0);
  if (blur > 0.0) cv::GaussianBlur(grey, grey, cv::Size(), blur);
  cv::Mat speckle(grey.size(), CV_32F);
  rng.fill(speckle, cv::RNG::NORMAL, 0.0, noise);
  grey += speckle;
  cv::Mat page;
  grey.convertTo(page, CV_8U);
  return page;
}

cv::Mat Jpeg(const cv::Mat& image, int quality) {
  std::vector<uchar> bytes;
  cv::imencode(".jpg", image, bytes, {cv::IMWRITE_JPEG_QUALITY, quality});
  return cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
}

vqscene::DeskLight OrdinaryLight(cv::RNG& rng) {
  vqscene::DeskLight light;
  light.blur = rng.uniform(0.8, 1.2);
  light.noise = rng.uniform(2.5, 4.0);
  light.vignetting = rng.uniform(0.25, 0.4);
  light.shadow = true;
  return light;
}

std::u32string RandomChinese(cv::RNG& rng, int count) {
  const std::u32string& pool = Level1Characters();
  std::u32string text;
  for (int i = 0; i < count; ++i) text.push_back(pool[rng.uniform(0, static_cast<int>(pool.size()))]);
  return text;
}

std::u32string Ascii(const std::string& s) { return std::u32string(s.begin(), s.end()); }

std::u32string WithoutBlanks(const std::u32string& text) {
  std::u32string kept;
  for (char32_t c : text)
    if (c != U' ') kept.push_back(c);
  return kept;
}

// The pen's advance over a text in one face and size; `advances` keeps each
// character's for the renderer and size it is used with.
int TextWidth(vqscene::CjkTextRenderer& renderer, const std::u32string& text, int em, std::map<char32_t, int>* advances) {
  int width = 0;
  for (char32_t c : text) {
    auto found = advances->find(c);
    if (found == advances->end()) {
      vqscene::CjkTextRenderer::Glyph glyph;
      found = advances->emplace(c, renderer.RenderGlyph(c, em, &glyph) ? glyph.advance : em / 3).first;
    }
    width += found->second;
  }
  return width;
}

// English paragraphs of words none of the tuned pages hold, set left
// aligned in `area` of the page; returns the characters without spaces.
std::u32string SetEnglishText(vqscene::CjkTextRenderer& renderer, cv::Mat& page, cv::Rect area, int em, cv::RNG& rng) {
  static const char* const kWords[] = {
      "harbour", "invoice", "winter",  "garden", "number",  "account", "river",  "station", "bridge",  "village",
      "market",  "orange",  "journey", "silver", "council", "weekly",  "answer", "friday",  "shipment", "growth",
      "meeting", "north",   "kitchen", "yellow", "planned", "survey",  "museum", "quarter", "review",  "signal",
      "a",       "in",      "to",      "was",    "for",     "by",      "on",     "is",      "at",      "from"};
  std::u32string text;
  const int lineSpacing = em * 3 / 2;
  std::map<char32_t, int> advances;
  int lineInParagraph = 0, paragraphLength = rng.uniform(3, 8);
  for (int y = area.y + em; y + em / 3 <= area.br().y; y += lineSpacing) {
    const bool last = ++lineInParagraph == paragraphLength;
    const int width = last ? area.width * rng.uniform(30, 80) / 100 : area.width;
    std::u32string line;
    while (true) {
      std::u32string word = Ascii(kWords[rng.uniform(0, static_cast<int>(std::size(kWords)))]);
      if (rng.uniform(0, 9) == 0) word[0] = static_cast<char32_t>(std::toupper(static_cast<int>(word[0])));
      const std::u32string longer = line.empty() ? word : line + U" " + word;
      if (TextWidth(renderer, longer, em, &advances) > width) break;
      line = longer;
    }
    renderer.DrawProportional(page, line, {area.x, y}, em);
    text += WithoutBlanks(line);
    if (last) {
      lineInParagraph = 0;
      paragraphLength = rng.uniform(3, 8);
      y += em / 2;
    }
  }
  return text;
}

// A dark photograph: broad light and shade, a few shapes, grain.
cv::Mat DarkPhoto(cv::Size size, cv::RNG& rng) {
  cv::Mat coarse(6, 8, CV_32F);
  rng.fill(coarse, cv::RNG::UNIFORM, 15.0, 110.0);
  cv::Mat photo;
  cv::resize(coarse, photo, size, 0, 0, cv::INTER_CUBIC);
  for (int i = 0; i < 6; ++i) {
    const cv::Point centre(rng.uniform(0, size.width), rng.uniform(0, size.height));
    const cv::Size axes(rng.uniform(20, size.width / 3), rng.uniform(20, size.height / 3));
    cv::ellipse(photo, centre, axes, rng.uniform(0.0, 180.0), 0, 360, cv::Scalar::all(rng.uniform(5.0, 140.0)),
                cv::FILLED, cv::LINE_AA);
  }
  cv::GaussianBlur(photo, photo, cv::Size(), 2.0);
  cv::Mat grain(size, CV_32F);
  rng.fill(grain, cv::RNG::NORMAL, 0.0, 8.0);
  photo += grain;
  cv::Mat out;
  photo.convertTo(out, CV_8U);
  return out;
}

std::string Label(size_t i, const std::string& what) { return std::to_string(i + 1) + " " + what; }

}  // namespace

std::vector<vqscene::CjkFont> HeldOutChineseFonts() {
  std::vector<vqscene::CjkFont> fonts =
      Installed({{"AR PL UMing TW", "/usr/share/fonts/truetype/arphic/uming.ttc", 2},
                 {"Noto Sans CJK TC Bold", "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 3},
                 {"WenQuanYi Zen Hei Sharp", "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc", 2},
                 {"Noto Serif CJK JP", "/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc", 0},
                 {"Noto Sans CJK KR", "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc", 1}});
  if (fonts.empty()) fonts = Installed({vqscene::SongFont(), vqscene::HeiFont()});
  return fonts;
}

std::vector<vqscene::CjkFont> HeldOutLatinFonts() {
  return Installed({{"Liberation Sans Bold", "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf", 0},
                    {"DejaVu Serif Condensed", "/usr/share/fonts/truetype/dejavu/DejaVuSerifCondensed.ttf", 0},
                    {"Liberation Mono", "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf", 0},
                    {"DejaVu Sans Condensed", "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf", 0}});
}

std::vector<ReadPage> DimPhotos(uint64_t seed, DimPrint print) {
  struct Kind {
    cv::Size frame;
    int em;
    double exposure, noise;
  };
  // Body text as it is read in a dim room, and print small enough to be
  // enlarged before it is read.
  static const std::vector<Kind> kBody = {{kFiveMegapixels, 26, 0.20, 7.0}, {kFiveMegapixels, 30, 0.25, 8.0},
                                          {kFiveMegapixels, 24, 0.30, 5.0}, {kFiveMegapixels, 32, 0.35, 6.0},
                                          {kSmallFrame, 18, 0.22, 6.5},     {kSmallFrame, 20, 0.28, 5.5}};
  static const std::vector<Kind> kSmall = {{kFiveMegapixels, 20, 0.20, 7.0}, {kFiveMegapixels, 18, 0.30, 5.0},
                                           {kSmallFrame, 15, 0.22, 6.5}};
  // Other sizes, exposures and noise of the same room, each in another face.
  static const std::vector<Kind> kOther = {{kFiveMegapixels, 28, 0.23, 7.5}, {kFiveMegapixels, 25, 0.33, 6.0},
                                           {kFiveMegapixels, 34, 0.21, 8.0}, {kFiveMegapixels, 22, 0.27, 5.5},
                                           {kSmallFrame, 19, 0.26, 7.0},     {kSmallFrame, 17, 0.34, 5.0}};
  const std::vector<Kind>& kKinds = print == DimPrint::kSmall ? kSmall : print == DimPrint::kOtherBody ? kOther : kBody;
  const size_t firstFont = print == DimPrint::kOtherBody ? 2 : 0;
  const std::vector<vqscene::CjkFont> fonts = HeldOutChineseFonts();
  std::vector<ReadPage> pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < kKinds.size(); ++i) {
    const Kind& kind = kKinds[i];
    const vqscene::CjkFont& font = FontFor(fonts, i + firstFont);
    vqscene::CjkTextRenderer renderer(font);
    const vqscene::PrintedText printed =
        vqscene::SetChineseParagraphs(renderer, vqscene::SheetPixels(kind.frame, false), kind.em, Level1Characters(), rng);
    vqscene::DeskLight light = OrdinaryLight(rng);
    light.exposure = kind.exposure;
    light.noise = kind.noise;
    const float angle = static_cast<float>(rng.uniform(-4.0, 4.0));
    const int quality = rng.uniform(85, 93);
    const cv::Mat frame =
        Jpeg(vqscene::RenderScene(vqscene::PhotographedSheet(printed.print, kind.frame, angle, light, rng.next())), quality);
    char what[96];
    std::snprintf(what, sizeof what, "%s %d px, exposure %.2f, noise %.1f, JPEG %d", font.name.c_str(), kind.em,
                  kind.exposure, kind.noise, quality);
    pages.push_back({CropForRecognition(frame), printed.text, Label(i, what), frame});
  }
  return pages;
}

std::vector<ReadPage> NotesBesideSheets(uint64_t seed) {
  static const int kEms[] = {28, 34, 24, 30};
  const std::vector<vqscene::CjkFont> fonts = HeldOutChineseFonts();
  std::vector<ReadPage> pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < std::size(kEms); ++i) {
    const vqscene::CjkFont& font = FontFor(fonts, i + 1);
    vqscene::CjkTextRenderer renderer(font);
    const vqscene::PrintedText printed = vqscene::SetChineseParagraphs(
        renderer, vqscene::SheetPixels(kFiveMegapixels, false), kEms[i], Level1Characters(), rng);
    const float angle = static_cast<float>(rng.uniform(-4.0, 4.0));
    vqscene::Scene scene =
        vqscene::PhotographedSheet(printed.print, kFiveMegapixels, angle, OrdinaryLight(rng), rng.next());
    // A square note of about 1 % of the frame, turned its own way, beside one
    // long side of the sheet: touching it on even pages, 10-30 px off on odd.
    const cv::RotatedRect& sheet = scene.sheets[0].rect;
    const float side = static_cast<float>(std::sqrt(0.01 * kFrameWidth * kFrameHeight) * rng.uniform(0.9, 1.1));
    const bool touching = i % 2 == 0;
    const float gap = touching ? -4.0f : static_cast<float>(rng.uniform(10.0, 30.0));
    const float toRight = rng.uniform(0, 2) ? 1.0f : -1.0f;
    const float a = sheet.angle * static_cast<float>(CV_PI / 180.0);
    const cv::Point2f across(std::cos(a), std::sin(a)), along(-std::sin(a), std::cos(a));
    const float reach = sheet.size.width / 2 + gap + side * 0.5f * 1.25f;  // its turned half-width, about
    const cv::Point2f centre =
        sheet.center + toRight * reach * across + static_cast<float>(rng.uniform(-0.3, 0.3)) * sheet.size.height * along;
    vqscene::Sheet note = vqscene::PlaceSheet(centre, {side, side}, sheet.angle + static_cast<float>(rng.uniform(10.0, 35.0)),
                                              rng.next());
    note.paper = rng.uniform(0, 2) ? cv::Scalar(110, 225, 250) : cv::Scalar(190, 160, 250);  // yellow, pink
    note.text = false;
    scene.sheets.push_back(note);
    const cv::Mat frame = vqscene::RenderScene(scene);
    pages.push_back({CropForRecognition(frame), printed.text,
                     Label(i, font.name + " " + std::to_string(kEms[i]) + " px, note " + (touching ? "touching" : "beside")),
                     frame});
  }
  return pages;
}

namespace {

// Columns of paragraphs side by side, each a share of the page's width.
std::vector<ReadPage> Columns(bool chinese, int columns, uint64_t seed) {
  const std::vector<vqscene::CjkFont> fonts = chinese ? HeldOutChineseFonts() : HeldOutLatinFonts();
  std::vector<ReadPage> pages;
  if (fonts.empty()) return pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < 2; ++i) {
    const vqscene::CjkFont& font = FontFor(fonts, i + static_cast<size_t>(columns));
    const int em = (chinese ? 30 : 34) - 4 * static_cast<int>(i);
    vqscene::CjkTextRenderer renderer(font);
    cv::Mat print(kA4, CV_8U, cv::Scalar::all(255));
    std::u32string text;
    const int width = kWidth / columns, margin = static_cast<int>(kMargin * width);
    for (int c = 0; c < columns; ++c) {
      if (chinese) {
        const vqscene::PrintedText column =
            vqscene::SetChineseParagraphs(renderer, {width, kHeight}, em, Level1Characters(), rng);
        column.print.copyTo(print(cv::Rect(c * width, 0, width, kHeight)));
        text += column.text;
      } else {
        const cv::Rect area(c * width + margin, static_cast<int>(kMargin * kHeight), width - 2 * margin,
                            static_cast<int>((1 - 2 * kMargin) * kHeight));
        text += SetEnglishText(renderer, print, area, em, rng);
      }
    }
    pages.push_back({Scanned(print, rng, 0.9, 4.0), text,
                     Label(i, font.name + " " + std::to_string(em) + " px, " + std::to_string(columns) + " columns")});
  }
  return pages;
}

}  // namespace

std::vector<ReadPage> ChineseColumns(int columns, uint64_t seed) { return Columns(true, columns, seed); }
std::vector<ReadPage> EnglishColumns(int columns, uint64_t seed) { return Columns(false, columns, seed); }

namespace {

std::string Digits(cv::RNG& rng, int least, int most) { return std::to_string(rng.uniform(least, most + 1)); }

std::u32string Date(cv::RNG& rng) {
  char date[16];
  const int year = rng.uniform(2019, 2026), month = rng.uniform(1, 13), day = rng.uniform(1, 29);
  if (rng.uniform(0, 2))
    std::snprintf(date, sizeof date, "%d-%02d-%02d", year, month, day);
  else
    std::snprintf(date, sizeof date, "%d.%d.%d", year, month, day);
  return Ascii(date);
}

std::u32string Price(cv::RNG& rng) {
  char price[16];
  std::snprintf(price, sizeof price, "%d.%02d", rng.uniform(1, 2000), rng.uniform(0, 100));
  return Ascii(price);
}

// A ruled table: a title line, then a header row and rows of a name,
// a quantity, a price and a date, every cell boxed by rules.
ReadPage RuledTable(vqscene::CjkTextRenderer& renderer, int em, bool chinese, cv::RNG& rng, const std::string& label) {
  cv::Mat print(kA4, CV_8U, cv::Scalar::all(255));
  std::u32string text;
  const int left = static_cast<int>(kMargin * kWidth), right = kWidth - left;
  int y = static_cast<int>(kMargin * kHeight);
  const std::u32string title = chinese ? RandomChinese(rng, 12) : Ascii("Quarterly order list");
  renderer.DrawProportional(print, title, {left, y + em}, em);
  text += WithoutBlanks(title);
  y += 2 * em;
  static const double kShares[] = {0.32, 0.16, 0.22, 0.30};
  std::vector<int> edges{left};
  for (double share : kShares) edges.push_back(edges.back() + static_cast<int>(share * (right - left)));
  edges.back() = right;
  const int rowHeight = em * 2, rows = 13;
  const int thickness = rng.uniform(2, 4);
  for (int r = 0; r <= rows; ++r) {
    std::vector<std::u32string> cells;
    if (r == 0)
      cells = chinese ? std::vector<std::u32string>{U"名称", U"数量", U"单价", U"日期"}
                      : std::vector<std::u32string>{U"Item", U"Qty", U"Price", U"Date"};
    else
      cells = {chinese ? RandomChinese(rng, rng.uniform(2, 5)) : Ascii(r % 2 ? "Paper A4" : "Toner"),
               Ascii(Digits(rng, 1, 999)), Price(rng), Date(rng)};
    if (!chinese && r > 0) {
      static const char* const kItems[] = {"Paper A4", "Toner", "Stapler", "Folder", "Envelope", "Marker", "Binder"};
      cells[0] = Ascii(kItems[rng.uniform(0, static_cast<int>(std::size(kItems)))]);
    }
    for (size_t c = 0; c < cells.size(); ++c) {
      renderer.DrawProportional(print, cells[c], {edges[c] + em / 2, y + rowHeight / 2 + em * 35 / 100}, em);
      text += WithoutBlanks(cells[c]);
    }
    y += rowHeight;
  }
  const int top = static_cast<int>(kMargin * kHeight) + 2 * em, bottom = top + (rows + 1) * rowHeight;
  for (int r = 0; r <= rows + 1; ++r)
    cv::line(print, {left, top + r * rowHeight}, {right, top + r * rowHeight}, cv::Scalar::all(0), thickness);
  for (int edge : edges) cv::line(print, {edge, top}, {edge, bottom}, cv::Scalar::all(0), thickness);
  return {Scanned(print, rng, 0.9, 4.0), text, label};
}

}  // namespace

namespace {

std::vector<ReadPage> Tables(bool chinese, uint64_t seed) {
  const std::vector<vqscene::CjkFont> fonts = chinese ? HeldOutChineseFonts() : HeldOutLatinFonts();
  std::vector<ReadPage> pages;
  if (fonts.empty()) return pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < 2; ++i) {
    const vqscene::CjkFont& font = FontFor(fonts, chinese ? i + 3 : i);
    const int em = (chinese ? 30 : 32) - 4 * static_cast<int>(i);
    vqscene::CjkTextRenderer renderer(font);
    pages.push_back(RuledTable(renderer, em, chinese, rng, Label(i, font.name + " " + std::to_string(em) + " px table")));
  }
  return pages;
}

}  // namespace

std::vector<ReadPage> ChineseTables(uint64_t seed) { return Tables(true, seed); }
std::vector<ReadPage> EnglishTables(uint64_t seed) { return Tables(false, seed); }

std::vector<ReadPage> JpegScans(uint64_t seed, bool compressed) {
  static const int kQualities[] = {20, 30, 30, 40};
  const std::vector<vqscene::CjkFont> fonts = HeldOutChineseFonts();
  std::vector<ReadPage> pages;
  for (size_t i = 0; i < std::size(kQualities); ++i) {
    const vqscene::CjkFont& font = FontFor(fonts, i);
    Page page = MakeChinesePage(font, true, seed + i);
    const std::string what = font.name + (compressed ? ", JPEG " + std::to_string(kQualities[i]) : ", uncompressed");
    pages.push_back({compressed ? Jpeg(page.image, kQualities[i]) : page.image, page.text, Label(i, what)});
  }
  return pages;
}

std::vector<ReadPage> PagesWithPhotos(uint64_t seed) {
  const std::vector<vqscene::CjkFont> fonts = HeldOutChineseFonts();
  std::vector<ReadPage> pages;
  cv::RNG rng(seed);
  const int left = static_cast<int>(kMargin * kWidth), right = kWidth - left, top = static_cast<int>(kMargin * kHeight);
  for (size_t i = 0; i < 4; ++i) {
    const vqscene::CjkFont& font = FontFor(fonts, i + 2);
    vqscene::CjkTextRenderer renderer(font);
    const int em = i % 2 ? 28 : 32;
    cv::Mat print(kA4, CV_8U, cv::Scalar::all(255));
    std::u32string text;
    // Paragraphs above the pictures (none on the first two pages; the
    // first holds its pictures and caption alone, halfway down).
    int y = i == 0 ? 1200 : top;
    if (i >= 2) {
      const vqscene::PrintedText above =
          vqscene::SetChineseParagraphs(renderer, {kWidth, 900}, em, Level1Characters(), rng);
      above.print.copyTo(print(cv::Rect(0, 0, kWidth, 900)));
      text += above.text;
      y = 900;
    }
    // Two dark photographs (400 x 300), or a photograph and a dark block,
    // and a caption of one or two lines beside them.
    const cv::Mat first = DarkPhoto({400, 300}, rng);
    first.copyTo(print(cv::Rect(left, y, 400, 300)));
    if (i == 3)
      print(cv::Rect(left + 430, y, 300, 300)).setTo(cv::Scalar::all(rng.uniform(10, 40)));
    else
      DarkPhoto({400, 300}, rng).copyTo(print(cv::Rect(left + 430, y, 400, 300)));
    const int captionX = left + 870;
    const int perLine = (right - captionX) / (em + em / 10);
    const int captionLines = i == 0 ? 1 : 2;
    for (int l = 0; l < captionLines; ++l) {
      const std::u32string caption = RandomChinese(rng, perLine - (l + 1 == captionLines ? 3 : 0));
      renderer.DrawLine(print, caption, {captionX, y + 80 + l * em * 17 / 10}, em, em + em / 10);
      text += caption;
    }
    y += 340;
    if (i >= 1) {
      const int height = kHeight - y;
      const vqscene::PrintedText below =
          vqscene::SetChineseParagraphs(renderer, {kWidth, height}, em, Level1Characters(), rng);
      below.print.copyTo(print(cv::Rect(0, y, kWidth, height)));
      text += below.text;
    }
    const std::string what = font.name + " " + std::to_string(em) + " px, " +
                             (i == 0 ? "a caption beside two photos" : i == 3 ? "a photo and a dark block" : "two photos");
    if (i == 2) {
      // Photographed on the desk rather than scanned.
      vqscene::DeskLight light = OrdinaryLight(rng);
      cv::Mat sheet;
      cv::resize(print, sheet, vqscene::SheetPixels(kFiveMegapixels, false), 0, 0, cv::INTER_AREA);
      const cv::Mat frame = vqscene::RenderScene(
          vqscene::PhotographedSheet(sheet, kFiveMegapixels, static_cast<float>(rng.uniform(-3.0, 3.0)), light, rng.next()));
      pages.push_back({CropForRecognition(frame), text, Label(i, what + ", photographed"), frame});
    } else {
      pages.push_back({Scanned(print, rng, 0.9, 4.0), text, Label(i, what)});
    }
  }
  return pages;
}

namespace {

cv::Mat TurnedBy(const cv::Mat& upright, int angle) {
  cv::Mat turned;
  if (angle == 90) cv::rotate(upright, turned, cv::ROTATE_90_CLOCKWISE);
  else if (angle == 180) cv::rotate(upright, turned, cv::ROTATE_180);
  else if (angle == 270) cv::rotate(upright, turned, cv::ROTATE_90_COUNTERCLOCKWISE);
  else turned = upright;
  return turned;
}

}  // namespace

std::vector<TurnedPage> SmallPrintTurns(uint64_t seed) {
  std::vector<vqscene::CjkFont> fonts;
  for (const vqscene::CjkFont& font : HeldOutChineseFonts())
    if (font.name.find("Bold") == std::string::npos) fonts.push_back(font);
  std::vector<TurnedPage> pages;
  if (fonts.empty()) return pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < 3; ++i) {
    vqscene::CjkTextRenderer renderer(FontFor(fonts, i));
    const vqscene::PrintedText printed =
        vqscene::SetChineseParagraphs(renderer, cv::Size(620, 877), 10, Level1Characters(), rng);
    const cv::Mat upright = Scanned(printed.print, rng, 0.6, 3.0);
    for (int angle = 0; angle < 360; angle += 90) pages.push_back({TurnedBy(upright, angle), angle});
  }
  return pages;
}

std::vector<TurnedPage> EnglishDeskTurns(uint64_t seed) {
  static const int kEms[] = {32, 40, 28};
  const std::vector<vqscene::CjkFont> fonts = HeldOutLatinFonts();
  std::vector<TurnedPage> pages;
  if (fonts.empty()) return pages;
  cv::RNG rng(seed);
  const cv::Size size = vqscene::SheetPixels(kFiveMegapixels, false);
  for (size_t i = 0; i < std::size(kEms); ++i) {
    vqscene::CjkTextRenderer renderer(FontFor(fonts, i));
    cv::Mat print(size, CV_8U, cv::Scalar::all(255));
    const int mx = static_cast<int>(kMargin * size.width), my = static_cast<int>(kMargin * size.height);
    SetEnglishText(renderer, print, cv::Rect(mx, my, size.width - 2 * mx, size.height - 2 * my), kEms[i], rng);
    for (int angle = 0; angle < 360; angle += 90) {
      const float jitter = static_cast<float>(rng.uniform(-5.0, 5.0));
      const cv::Mat frame = vqscene::RenderScene(
          vqscene::PhotographedSheet(TurnedBy(print, angle), kFiveMegapixels, jitter, OrdinaryLight(rng), rng.next()));
      pages.push_back({CropForOrientation(frame), angle});
    }
  }
  return pages;
}

namespace {

// Half-width runs the tuned pages never hold: web and mail addresses, model
// and serial numbers, versions, dates, times, measures and English words.
std::u32string MixedToken(cv::RNG& rng) {
  static const char* const kWords[] = {"delivery", "contract", "service", "storage", "server",  "backup",
                                       "module",   "sensor",   "display", "printer", "battery", "manual",
                                       "support",  "update",   "login",   "network", "cloud",   "Express",
                                       "Standard", "Pro",      "Mini",    "Max",     "Plus",    "Lite"};
  static const char* const kEnds[] = {".com", ".cn", ".net", ".org", ".com.cn"};
  static const char* const kUnits[] = {"mm", "cm", "kg", "ml", "GB", "MHz", "V", "W", "dpi", "Hz"};
  auto word = [&] { return std::string(kWords[rng.uniform(0, static_cast<int>(std::size(kWords)))]); };
  auto capitals = [&](int n) {
    std::string c;
    for (int i = 0; i < n; ++i) c.push_back(static_cast<char>('A' + rng.uniform(0, 26)));
    return c;
  };
  char text[64];
  switch (rng.uniform(0, 10)) {
    case 0: return Ascii("www." + word() + kEnds[rng.uniform(0, static_cast<int>(std::size(kEnds)))]);
    case 1: return Ascii("https://" + word() + ".cn/" + word() + "/" + Digits(rng, 1, 99));
    case 2: return Ascii(word() + Digits(rng, 1, 99) + "@" + word() + ".com");
    case 3: return Ascii(capitals(rng.uniform(1, 4)) + "-" + Digits(rng, 100, 9999) + (rng.uniform(0, 2) ? capitals(1) : ""));
    case 4:
      std::snprintf(text, sizeof text, "V%d.%d.%d", rng.uniform(1, 10), rng.uniform(0, 10), rng.uniform(0, 30));
      return Ascii(text);
    case 5:
      std::snprintf(text, sizeof text, "%d/%02d/%02d", rng.uniform(2015, 2031), rng.uniform(1, 13), rng.uniform(1, 29));
      return Ascii(text);
    case 6:
      std::snprintf(text, sizeof text, "%02d:%02d", rng.uniform(0, 24), rng.uniform(0, 60));
      return Ascii(text);
    case 7: return Ascii(Digits(rng, 1, 999) + kUnits[rng.uniform(0, static_cast<int>(std::size(kUnits)))]);
    case 8: return Ascii("SN " + capitals(2) + Digits(rng, 10000, 99999));
    default: return Ascii(rng.uniform(0, 2) ? word() : word() + " " + word());
  }
}

// Lines of Chinese clauses, each holding half-width runs (MixedToken) set
// in the face's own proportional glyphs, `gap` apart from the Chinese.
vqscene::PrintedText MixedLinePage(vqscene::CjkTextRenderer& renderer, cv::Size size, int em, int gap, cv::RNG& rng) {
  vqscene::PrintedText page{cv::Mat(size, CV_8U, cv::Scalar::all(255)), {}};
  const int pitch = em + std::max(1, em / 10), left = static_cast<int>(kMargin * size.width);
  const int right = size.width - left, bottom = size.height - static_cast<int>(kMargin * size.height);
  int x = left, y = static_cast<int>(kMargin * size.height);
  cv::Mat scratch(1, 1, CV_8U);
  while (y + em <= bottom) {
    const bool token = x > left && rng.uniform(0, 6) == 0;
    const std::u32string piece = token ? MixedToken(rng) : RandomChinese(rng, 1);
    const int width = token ? renderer.DrawProportional(scratch, piece, {0, -em}, em) + 2 * gap : pitch;
    if (x + width > right) {
      x = left;
      y += em * 17 / 10;
      continue;
    }
    if (token) {
      x = renderer.DrawProportional(page.print, piece, {x + gap, y + em * 88 / 100}, em) + gap;
    } else {
      renderer.DrawLine(page.print, piece, {x, y}, em, pitch);
      x += pitch;
    }
    page.text += WithoutBlanks(piece);
  }
  return page;
}

}  // namespace

std::vector<ReadPage> MixedLines(uint64_t seed) {
  static const int kEms[] = {30, 26, 34, 24};
  const std::vector<vqscene::CjkFont> fonts = HeldOutChineseFonts();
  std::vector<ReadPage> pages;
  cv::RNG rng(seed);
  for (size_t i = 0; i < std::size(kEms); ++i) {
    const vqscene::CjkFont& font = FontFor(fonts, i);
    vqscene::CjkTextRenderer renderer(font);
    const int gap = i % 2 ? kEms[i] / 4 : 0;
    std::string what = font.name + " " + std::to_string(kEms[i]) + " px, mixed lines";
    if (i % 2 == 0) {
      // Photographed on the desk and cut as the recognition command cuts it.
      const vqscene::PrintedText printed =
          MixedLinePage(renderer, vqscene::SheetPixels(kFiveMegapixels, false), kEms[i], gap, rng);
      const float angle = static_cast<float>(rng.uniform(-4.0, 4.0));
      const cv::Mat frame = vqscene::RenderScene(
          vqscene::PhotographedSheet(printed.print, kFiveMegapixels, angle, OrdinaryLight(rng), rng.next()));
      pages.push_back({CropForRecognition(frame), printed.text, Label(i, what + ", photographed"), frame});
    } else {
      const vqscene::PrintedText printed = MixedLinePage(renderer, kA4, kEms[i], gap, rng);
      pages.push_back({Scanned(printed.print, rng, 0.9, 4.0), printed.text, Label(i, what + ", scanned")});
    }
  }
  return pages;
}

const std::vector<ReadPage>& MixedLinePages() {
  static const std::vector<ReadPage> pages = MixedLines(59414);
  return pages;
}

namespace {

std::vector<ReadPage> MakeHeldOut(HeldOutSet set) {
  switch (set) {
    case HeldOutSet::kDimPhotos: return DimPhotos(58101, DimPrint::kBody);
    case HeldOutSet::kDimSmallPrint: return DimPhotos(58151, DimPrint::kSmall);
    case HeldOutSet::kDimSecondSeeds: return DimPhotos(73217, DimPrint::kOtherBody);
    case HeldOutSet::kNotesBesideSheets: return NotesBesideSheets(58202);
    case HeldOutSet::kTwoColumnsChinese: return ChineseColumns(2, 58303);
    case HeldOutSet::kThreeColumnsChinese: return ChineseColumns(3, 58404);
    case HeldOutSet::kTablesChinese: return ChineseTables(58505);
    case HeldOutSet::kJpegScans: return JpegScans(58606, true);
    case HeldOutSet::kUncompressedScans: return JpegScans(58606, false);
    case HeldOutSet::kPagesWithPhotos: return PagesWithPhotos(58707);
    case HeldOutSet::kTwoColumnsEnglish: return EnglishColumns(2, 58808);
    case HeldOutSet::kThreeColumnsEnglish: return EnglishColumns(3, 58909);
    case HeldOutSet::kTablesEnglish: return EnglishTables(59010);
  }
  return {};
}

}  // namespace

const std::vector<ReadPage>& Pages(HeldOutSet set) { return CachedSet(set, MakeHeldOut); }

const std::vector<TurnedPage>& Pages(HeldOutTurnSet set) {
  return CachedSet(set, [](HeldOutTurnSet s) {
    return s == HeldOutTurnSet::kSmallPrintChinese ? SmallPrintTurns(59111) : EnglishDeskTurns(59212);
  });
}

const char* SetName(HeldOutSet set) {
  switch (set) {
    case HeldOutSet::kDimPhotos: return "dim photos, noise 5-8, JPEG";
    case HeldOutSet::kDimSmallPrint: return "dim photos, print 15-20 px";
    case HeldOutSet::kDimSecondSeeds: return "dim photos, second seeds";
    case HeldOutSet::kNotesBesideSheets: return "a note beside the sheet";
    case HeldOutSet::kTwoColumnsChinese: return "two columns, Chinese";
    case HeldOutSet::kThreeColumnsChinese: return "three columns, Chinese";
    case HeldOutSet::kTablesChinese: return "ruled tables, Chinese";
    case HeldOutSet::kJpegScans: return "scans at JPEG 20-40";
    case HeldOutSet::kUncompressedScans: return "the same scans uncompressed";
    case HeldOutSet::kPagesWithPhotos: return "photos and dark blocks";
    case HeldOutSet::kTwoColumnsEnglish: return "two columns, English";
    case HeldOutSet::kThreeColumnsEnglish: return "three columns, English";
    case HeldOutSet::kTablesEnglish: return "ruled tables, English";
  }
  return "";
}

const char* SetName(HeldOutTurnSet set) {
  return set == HeldOutTurnSet::kSmallPrintChinese ? "10 px Chinese print" : "English on the desk, held out";
}

bool IsEnglish(HeldOutSet set) {
  return set == HeldOutSet::kTwoColumnsEnglish || set == HeldOutSet::kThreeColumnsEnglish ||
         set == HeldOutSet::kTablesEnglish;
}

}  // namespace ocrbench
