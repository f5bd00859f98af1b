#pragma once
// Reading PDF files back with poppler-utils.
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace pdfcheck {

// "W x H" in points of every page, from pdfinfo.
std::vector<std::string> PageSizes(const std::string& pdf);
inline int PageCount(const std::filesystem::path& pdf) { return int(PageSizes(pdf.string()).size()); }
// Page `page` (from 1) rasterised in grey at the given resolution.
cv::Mat RenderGrey(const std::string& pdf, int page, int dpi);
// The bounding box of pixels darker than 128.
cv::Rect DarkBounds(const cv::Mat& grey);

}  // namespace pdfcheck
