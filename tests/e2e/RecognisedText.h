#pragma once
// What the recognition tests of the program share: the camera's picture of
// a printed page, and the text read back from what the recognition wrote.
#include <regex>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace vqtest {

// A 1280 x 960 camera picture: an upright white page on a grey desk.
inline cv::Mat DeskWithPage(const cv::Mat& greyPage) {
  cv::Mat page, desk(960, 1280, CV_8UC3, cv::Scalar(90, 90, 90));
  cv::cvtColor(greyPage, page, cv::COLOR_GRAY2BGR);
  page.copyTo(desk(cv::Rect((desk.cols - page.cols) / 2, (desk.rows - page.rows) / 2, page.cols, page.rows)));
  return desk;
}

// Characters at the same place in both texts.
inline int SameCharacters(const std::wstring& a, const std::wstring& b) {
  int same = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) same += a[i] == b[i];
  return same;
}

// The characters an RTF document writes as \uN? escapes, in order.
inline std::wstring RtfEscapedText(const std::string& rtf) {
  std::wstring text;
  static const std::regex escape(R"(\\u(-?\d+)\?)");
  for (std::sregex_iterator it(rtf.begin(), rtf.end(), escape), end; it != end; ++it)
    text += wchar_t(std::stoi((*it)[1]) & 0xFFFF);
  return text;
}

}  // namespace vqtest
