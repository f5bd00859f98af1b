#include "app/ImageConversions.h"

#include <dlfcn.h>

#include <cstring>
#include <string>

#include <opencv2/imgproc.hpp>

#include "platform/win/Encoding.h"
#include "base/PathEncoding.h"

namespace {

// Grey level of each colour-table entry (at most 256 entries).
std::vector<uchar> GreyLevels(const CImage& picture) {
  int count = picture.GetMaxColorTableEntries();
  std::vector<RGBQUAD> colors(static_cast<size_t>(count));
  if (count > 0) picture.GetColorTable(0, static_cast<UINT>(count), colors.data());
  std::vector<uchar> levels(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const RGBQUAD& c = colors[static_cast<size_t>(i)];
    levels[static_cast<size_t>(i)] =
        static_cast<uchar>((299 * c.rgbRed + 587 * c.rgbGreen + 114 * c.rgbBlue + 500) / 1000);
  }
  return levels;
}

const uchar* RowOf(CImage& picture, int y) {
  return static_cast<const uchar*>(picture.GetBits()) + static_cast<ptrdiff_t>(y) * picture.GetPitch();
}

}  // namespace

int WideToAnsi(const wchar_t* text, char* buffer, int bufferSize) {
  if (!text || !buffer || bufferSize <= 0) return 0;
  return WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, text, -1, buffer, bufferSize, nullptr, nullptr);
}

cv::Mat ImageToMat(CImage& picture) {
  if (picture.IsNull() || !picture.GetBits()) return cv::Mat();
  const int width = picture.GetWidth(), height = picture.GetHeight();
  switch (picture.GetBPP()) {
    case 24: {
      cv::Mat mat(height, width, CV_8UC3);
      for (int y = 0; y < height; ++y) std::memcpy(mat.ptr(y), RowOf(picture, y), static_cast<size_t>(width) * 3);
      return mat;
    }
    case 8: {
      std::vector<uchar> levels = GreyLevels(picture);
      cv::Mat mat(height, width, CV_8UC1);
      for (int y = 0; y < height; ++y) {
        const uchar* row = RowOf(picture, y);
        uchar* out = mat.ptr(y);
        for (int x = 0; x < width; ++x) out[x] = levels[row[x]];
      }
      return mat;
    }
    case 1: {
      std::vector<uchar> levels = GreyLevels(picture);
      cv::Mat mat(height, width, CV_8UC1);
      for (int y = 0; y < height; ++y) {
        const uchar* row = RowOf(picture, y);
        uchar* out = mat.ptr(y);
        for (int x = 0; x < width; ++x) out[x] = levels[(row[x >> 3] >> (7 - (x & 7))) & 1];
      }
      return mat;
    }
    default: return cv::Mat();
  }
}

cv::Mat LoadImageAsMat(const wchar_t* path) {
  // Any path the system takes; a text that names no file loads nothing.
  if (!path || vq::PathToBytes(path).empty()) return cv::Mat();
  CImage picture;
  if (FAILED(picture.Load(path))) return cv::Mat();
  cv::Mat mat = ImageToMat(picture);
  if (mat.empty() || mat.channels() == 3) return mat;
  cv::Mat colour;
  cv::cvtColor(mat, colour, cv::COLOR_GRAY2BGR);
  return colour;
}

cv::Mat StackImagesVertically(const cv::Mat& lower, const cv::Mat& upper, int matrixType) {
  if (lower.empty() || upper.empty()) return cv::Mat();
  const int channels = CV_MAT_CN(matrixType);
  if (lower.channels() != channels || upper.channels() != channels || lower.depth() != CV_8U ||
      upper.depth() != CV_8U || CV_MAT_DEPTH(matrixType) != CV_8U)
    return cv::Mat();
  const int width = std::max(lower.cols, upper.cols);
  cv::Mat result(upper.rows + lower.rows, width, matrixType, cv::Scalar::all(255));
  upper.copyTo(result(cv::Rect(0, 0, upper.cols, upper.rows)));
  lower.copyTo(result(cv::Rect(0, upper.rows, lower.cols, lower.rows)));
  return result;
}

HMODULE GetThisModuleHandle() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&GetThisModuleHandle), &info) == 0 || !info.dli_fbase) return nullptr;
  return reinterpret_cast<HMODULE>(info.dli_fbase);
}

bool SplitPrefixList(const CString& list, std::vector<CString>* out) {
  if (!out) return false;
  std::wstring text(static_cast<const wchar_t*>(list));
  size_t start = 0;
  while (true) {
    size_t bar = text.find(L'|', start);
    std::wstring piece = text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
    if (piece.empty()) return false;
    out->push_back(CString(piece.c_str()));
    if (bar == std::wstring::npos) return true;
    start = bar + 1;
  }
}
