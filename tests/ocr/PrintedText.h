#pragma once
// Printed Chinese text for the recognition tests: GBK labels from UTF-8
// literals, lines and pages drawn with the scenes' CJK text renderer, and
// synthetic stroke-like marks.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/win/Encoding.h"
#include "scene/CjkText.h"

namespace ocrtest {

inline std::string Gbk(const std::string& utf8) { return vq::WideToGbk(vq::Utf8ToWide(utf8)); }
inline std::string Utf8(const std::string& gbk) { return vq::WideToUtf8(vq::GbkToWide(gbk)); }
inline std::u32string Codes(const std::string& utf8) {
  const std::wstring wide = vq::Utf8ToWide(utf8);
  return std::u32string(wide.begin(), wide.end());
}

// Lines of text at 200 dpi and about 14 points, in the Song face.
constexpr int kEm = 40;
constexpr int kPitch = 44;
constexpr int kLineSpacing = 72;
inline cv::Mat PrintedLines(cv::Size size, const std::vector<std::string>& utf8Lines, cv::Point origin) {
  vqscene::CjkTextRenderer renderer(vqscene::SongFont());
  std::vector<std::u32string> lines;
  for (const std::string& line : utf8Lines) lines.push_back(Codes(line));
  return vqscene::RenderTextLines(renderer, size, lines, origin, kEm, kPitch, kLineSpacing);
}

// A hollow square of `side` pixels with strokes 3 pixels wide, in ink 0.
inline void DrawBox(cv::Mat& page, int x, int y, int side) {
  for (int t = 0; t < 3; ++t) {
    page(cv::Rect(x, y + t, side, 1)).setTo(0);
    page(cv::Rect(x, y + side - 1 - t, side, 1)).setTo(0);
    page(cv::Rect(x + t, y, 1, side)).setTo(0);
    page(cv::Rect(x + side - 1 - t, y, 1, side)).setTo(0);
  }
}

}  // namespace ocrtest
