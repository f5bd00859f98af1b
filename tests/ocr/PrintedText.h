#pragma once
// Printed Chinese text for the recognition tests: GBK labels from UTF-8
// literals, lines and pages drawn with the scenes' CJK text renderer, and
// synthetic stroke-like marks.
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/win/Encoding.h"
#include "scene/CjkText.h"

namespace ocrtest {

inline std::string Gbk(const std::string& utf8) { return vq::WideToGbk(vq::Utf8ToWide(utf8)); }
inline std::string Utf8(const std::string& gbk) { return vq::WideToUtf8(vq::GbkToWide(gbk)); }
inline std::u32string Codes(const std::string& utf8) {
  const std::wstring wide = vq::Utf8ToWide(utf8);
  return std::u32string(wide.begin(), wide.end());
}

// Lines of text at 200 dpi and about 14 points, in the Song face unless
// another is given.
constexpr int kEm = 40;
constexpr int kPitch = 44;
constexpr int kLineSpacing = 72;
inline cv::Mat PrintedLines(cv::Size size, const std::vector<std::string>& utf8Lines, cv::Point origin,
                            const vqscene::CjkFont& font = vqscene::SongFont()) {
  vqscene::CjkTextRenderer renderer(font);
  std::vector<std::u32string> lines;
  for (const std::string& line : utf8Lines) lines.push_back(Codes(line));
  return vqscene::RenderTextLines(renderer, size, lines, origin, kEm, kPitch, kLineSpacing);
}

// A 1280 x 960 camera picture: a white page (700 x 900) of six Chinese lines lying a
// quarter turn clockwise on a grey desk.
inline cv::Mat DeskWithPageTurnedClockwise() {
  const cv::Mat lines = PrintedLines(cv::Size(700, 900),
                                     {"文字识别的结果应当正确显示", "页面方向检测线程每隔一段时间",
                                      "检查当前文档的方向并且旋转", "预览窗口使文字保持正立状态",
                                      "这是一个测试页面包含中文字", "扫描仪拍摄的文档需要校正"},
                                     cv::Point(40, 120));
  cv::Mat page, turned, desk(960, 1280, CV_8UC3, cv::Scalar(90, 90, 90));
  cv::cvtColor(lines, page, cv::COLOR_GRAY2BGR);
  cv::rotate(page, turned, cv::ROTATE_90_CLOCKWISE);
  turned.copyTo(desk(cv::Rect((desk.cols - turned.cols) / 2, (desk.rows - turned.rows) / 2, turned.cols, turned.rows)));
  return desk;
}

// A hollow rectangle with strokes 3 pixels wide, in ink 0.
inline void DrawFrame(cv::Mat& page, cv::Rect box) {
  for (int t = 0; t < 3; ++t) {
    page(cv::Rect(box.x, box.y + t, box.width, 1)).setTo(0);
    page(cv::Rect(box.x, box.y + box.height - 1 - t, box.width, 1)).setTo(0);
    page(cv::Rect(box.x + t, box.y, 1, box.height)).setTo(0);
    page(cv::Rect(box.x + box.width - 1 - t, box.y, 1, box.height)).setTo(0);
  }
}

// A hollow square of `side` pixels.
inline void DrawBox(cv::Mat& page, int x, int y, int side) { DrawFrame(page, cv::Rect(x, y, side, side)); }

}  // namespace ocrtest
