#include "bench/ocr/RenderedPages.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "platform/win/Encoding.h"

namespace ocrbench {

namespace {

constexpr int kPitch = 34, kLineSpacing = 50, kMargin = 200;

}  // namespace

const std::u32string& Level1Characters() {
  static const std::u32string level1 = [] {
    std::u32string codes;
    for (int row = 0xB0; row <= 0xD7; ++row)
      for (int cell = 0xA1; cell <= 0xFE && !(row == 0xD7 && cell > 0xF9); ++cell) {
        const std::wstring wide = vq::GbkToWide(std::string{static_cast<char>(row), static_cast<char>(cell)});
        if (wide.size() == 1) codes.push_back(static_cast<char32_t>(wide[0]));
      }
    return codes;
  }();
  return level1;
}

std::u32string WithoutSpaces(const std::wstring& text) {
  std::u32string kept;
  for (wchar_t c : text)
    if (c != L' ' && c != L'\r' && c != L'\n' && c != L'\t') kept.push_back(static_cast<char32_t>(c));
  return kept;
}

Page MakeChinesePage(const vqscene::CjkFont& font, bool scanned, uint64_t seed, double turn) {
  const std::u32string& level1 = Level1Characters();
  cv::RNG rng(seed);
  const int perLine = (kWidth - 2 * kMargin) / kPitch;
  const int lines = (kHeight - 2 * kMargin) / kLineSpacing;
  std::vector<std::u32string> text(static_cast<size_t>(lines));
  Page page;
  for (auto& line : text) {
    for (int i = 0; i < perLine; ++i) line.push_back(level1[rng.uniform(0, static_cast<int>(level1.size()))]);
    page.text += line;
  }
  vqscene::CjkTextRenderer renderer(font);
  page.image = vqscene::RenderTextLines(renderer, {kWidth, kHeight}, text, {kMargin, kMargin}, kEm, kPitch,
                                        kLineSpacing);
  if (turn != 0.0) {
    const cv::Mat toTurned = cv::getRotationMatrix2D({kWidth / 2.0f, kHeight / 2.0f}, turn, 1.0);
    cv::warpAffine(page.image, page.image, toTurned, page.image.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar::all(255));
  }
  if (scanned) {
    cv::Mat grey;
    page.image.convertTo(grey, CV_32F, 200.0 / 255.0, 35.0);  // grey paper, dark grey ink
    cv::GaussianBlur(grey, grey, cv::Size(), 1.0);
    cv::Mat noise(grey.size(), CV_32F);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, 5.0);
    grey += noise;
    grey.convertTo(page.image, CV_8U);
  }
  return page;
}

cv::Mat MakeEnglishPage(uint64_t seed) {
  static const char* const kWords[] = {"the",   "camera", "page",    "document", "reads",  "light", "paper",
                                       "under", "office", "system",  "quickly",  "before", "white", "table",
                                       "of",    "and",    "morning", "printed",  "letter", "with",  "history"};
  cv::RNG rng(seed);
  cv::Mat page(kHeight, kWidth, CV_8U, cv::Scalar(255));
  for (int y = kMargin; y < kHeight - kMargin; y += kLineSpacing) {
    std::string line;
    while (true) {
      const std::string word = kWords[rng.uniform(0, static_cast<int>(std::size(kWords)))];
      int baseline = 0;
      const std::string longer = line.empty() ? word : line + " " + word;
      if (cv::getTextSize(longer, cv::FONT_HERSHEY_COMPLEX, 1.1, 2, &baseline).width > kWidth - 2 * kMargin) break;
      line = longer;
    }
    cv::putText(page, line, {kMargin, y + 30}, cv::FONT_HERSHEY_COMPLEX, 1.1, cv::Scalar(0), 2, cv::LINE_AA);
  }
  return page;
}

}  // namespace ocrbench
