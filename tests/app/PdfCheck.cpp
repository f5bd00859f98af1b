#include "tests/app/PdfCheck.h"

#include <cstdio>
#include <sstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/support/Processes.h"

namespace pdfcheck {

std::vector<std::string> PageSizes(const std::string& pdf) {
  std::string info;
  if (vqtest::RunShell("pdfinfo -f 1 -l 1000 '" + pdf + "' 2>/dev/null", &info) != 0) return {};
  std::vector<std::string> sizes;
  std::istringstream lines(info);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t at = line.find(" size: ");
    if (line.rfind("Page", 0) != 0 || at == std::string::npos) continue;
    std::string size = line.substr(at + 7);
    size = size.substr(0, size.find(" pts"));
    size.erase(0, size.find_first_not_of(' '));
    sizes.push_back(size);
  }
  return sizes;
}

cv::Mat RenderGrey(const std::string& pdf, int page, int dpi) {
  const std::string prefix = pdf + ".render";
  const std::string p = std::to_string(page);
  if (vqtest::RunShell("pdftoppm -gray -singlefile -png -r " + std::to_string(dpi) + " -f " + p + " -l " + p + " '" +
                       pdf + "' '" + prefix + "' 2>/dev/null") != 0)
    return {};
  cv::Mat grey = cv::imread(prefix + ".png", cv::IMREAD_GRAYSCALE);
  std::remove((prefix + ".png").c_str());
  return grey;
}

cv::Rect DarkBounds(const cv::Mat& grey) { return cv::boundingRect(grey < 128); }

}  // namespace pdfcheck
