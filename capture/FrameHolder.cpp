#include "capture/FrameHolder.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include <opencv2/imgproc.hpp>

#include "base/PathEncoding.h"
#include "imaging/DocumentDetection.h"
#include "platform/mfc/CString.h"
#include "platform/win/MessageBox.h"

namespace vqcapture {

int NormaliseQuarterTurn(int angle) {
  const int a = ((angle % 360) + 360) % 360;
  return a % 90 == 0 ? a : -1;
}

void DrawDocumentOutline(cv::Mat& frame, const cv::RotatedRect& rect) {
  const double cx = rect.center.x, cy = rect.center.y;
  const double hw = rect.size.width / 2.0, hh = rect.size.height / 2.0;
  const double theta = rect.angle * CV_PI / 180.0;
  const double c = std::cos(theta), s = std::sin(theta);
  const double dx[5] = {-hw, hw, hw, -hw, -hw};
  const double dy[5] = {-hh, -hh, hh, hh, -hh};
  cv::Point corners[5];
  for (int i = 0; i < 5; ++i) {
    corners[i].x = int(cx + dx[i] * c - dy[i] * s + 0.5);
    corners[i].y = int(cy + dx[i] * s + dy[i] * c + 0.5);
  }
  for (int i = 0; i < 4; ++i) cv::line(frame, corners[i], corners[i + 1], cv::Scalar(255, 0, 0), 9, cv::LINE_8, 0);
}

}  // namespace vqcapture

namespace {

constexpr LONG kPixelsPerMetreAt96Dpi = 3780;

// Copies a bottom-up frame turned by a normalised quarter turn.
void TurnCopy(const BYTE* src, BYTE* dst, int w, int h, int angle) {
  const size_t pixels = size_t(w) * size_t(h);
  if (angle == 0) {
    std::memcpy(dst, src, pixels * 3);
  } else if (angle == 180) {
    for (size_t k = 0; k < pixels; ++k) std::memcpy(dst + k * 3, src + (pixels - 1 - k) * 3, 3);
  } else if (angle == 90) {
    for (int i = 0; i < w; ++i) {
      BYTE* row = dst + size_t(i) * size_t(h) * 3;
      for (int j = 0; j < h; ++j) std::memcpy(row + size_t(j) * 3, src + (size_t(j) * w + (w - 1 - i)) * 3, 3);
    }
  } else {  // 270
    for (int i = 0; i < w; ++i) {
      BYTE* row = dst + size_t(i) * size_t(h) * 3;
      for (int j = 0; j < h; ++j) std::memcpy(row + size_t(j) * 3, src + (size_t(h - 1 - j) * w + i) * 3, 3);
    }
  }
}

void PutWord(std::vector<BYTE>& out, size_t at, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out[at + size_t(i)] = BYTE(value >> (8 * i));
}

}  // namespace

// ---- CBasePR: every operation fails ----

bool CBasePR::SetFrameRotated(const BYTE*, int, int, int) { return false; }
bool CBasePR::RotateCopy(const BYTE*, BYTE*, int, int, int) { return false; }
bool CBasePR::ReservedOp(int, int, int) { return false; }
bool CBasePR::SaveBitmap(const wchar_t*, const RECT*) { return false; }
bool CBasePR::SaveFrameBitmap(const wchar_t*) { return false; }
BYTE* CBasePR::GetBuffer() { return nullptr; }
BYTE** CBasePR::GetBufferAddress() { return nullptr; }
bool CBasePR::GetSize(int*, int*) { return false; }
cv::Mat CBasePR::GetMat() { return {}; }
cv::Mat CBasePR::GetMatRect(const RECT*) { return {}; }

// ---- CDPrgb24 ----

CDPrgb24::~CDPrgb24() { delete[] buffer_; }

bool CDPrgb24::Reserve(int width, int height) {
  const bool sameShape = (width == width_ && height == height_) || (width == height_ && height == width_);
  if (buffer_ && sameShape) return true;
  delete[] buffer_;
  buffer_ = nullptr;
  width_ = height_ = 0;
  const size_t bytes = size_t(width) * size_t(height) * 3;
  if (bytes == 0) return true;
  buffer_ = new (std::nothrow) BYTE[bytes];
  return buffer_ != nullptr;
}

bool CDPrgb24::SetFrame(const BYTE* data, int width, int height) {
  if (!data || width <= 0 || height <= 0) return false;
  if (!Reserve(width, height) || !buffer_) return false;
  width_ = width;
  height_ = height;
  std::memcpy(buffer_, data, size_t(width) * size_t(height) * 3);
  return true;
}

bool CDPrgb24::SetFrameRotated(const BYTE* data, int width, int height, int angle) {
  const int turn = vqcapture::NormaliseQuarterTurn(angle);
  if (!data || turn < 0 || width < 0 || height < 0) return false;
  if (!Reserve(width, height)) return false;
  if (!buffer_) {  // a 0 x 0 frame
    width_ = width;
    height_ = height;
    return true;
  }
  TurnCopy(data, buffer_, width, height, turn);
  const bool quarter = turn == 90 || turn == 270;
  width_ = quarter ? height : width;
  height_ = quarter ? width : height;
  return true;
}

bool CDPrgb24::RotateCopy(const BYTE* src, BYTE* dst, int width, int height, int angle) {
  const int turn = vqcapture::NormaliseQuarterTurn(angle);
  if (!src || !dst || turn < 0 || width < 0 || height < 0) return false;
  TurnCopy(src, dst, width, height, turn);
  return true;
}

bool CDPrgb24::ReservedOp(int, int, int) { return false; }

bool CDPrgb24::GetSize(int* width, int* height) {
  if (!buffer_ || !width || !height) return false;
  *width = width_;
  *height = height_;
  return true;
}

bool CDPrgb24::InsideFrame(const RECT* rect) const {
  return buffer_ && rect && rect->left >= 0 && rect->top >= 0 && rect->right <= width_ && rect->bottom <= height_ &&
         rect->left <= rect->right && rect->top <= rect->bottom;
}

cv::Mat CDPrgb24::GetMatRect(const RECT* rect) {
  if (!InsideFrame(rect)) return {};
  const int rows = rect->bottom - rect->top, cols = rect->right - rect->left;
  cv::Mat out(rows, cols, CV_8UC3);
  for (int n = 0; n < rows; ++n) {
    const BYTE* src = buffer_ + (size_t(height_ - 1 - rect->top - n) * width_ + rect->left) * 3;
    std::memcpy(out.ptr<BYTE>(n), src, size_t(cols) * 3);
  }
  return out;
}

cv::Mat CDPrgb24::GetMat() {
  RECT whole{0, 0, width_, height_};
  return GetMatRect(&whole);
}

bool CDPrgb24::WriteBmp(const wchar_t* path, const RECT& rect, LONG pixelsPerMetre, bool showFailure) {
  const std::string narrow = path ? vq::PathToBytes(path) : std::string();
  std::FILE* file = std::fopen(narrow.c_str(), "wb");
  if (!file) {
    if (showFailure) MessageBoxW(nullptr, L"CDPrgb24::SaveBitmap() - hf = INVALID_HANDLE_VALUE!", L"", MB_OK);
    return false;
  }
  const int cols = rect.right - rect.left, rows = rect.bottom - rect.top;
  const size_t rowSize = (size_t(cols) * 3 + 3) & ~size_t(3);
  std::vector<BYTE> header(54, 0);
  header[0] = 'B';
  header[1] = 'M';
  PutWord(header, 2, uint32_t(rowSize * size_t(rows) + 54), 4);
  PutWord(header, 10, 54, 4);
  PutWord(header, 14, 40, 4);
  PutWord(header, 18, uint32_t(cols), 4);
  PutWord(header, 22, uint32_t(rows), 4);
  PutWord(header, 26, 1, 2);
  PutWord(header, 28, 24, 2);
  PutWord(header, 38, uint32_t(pixelsPerMetre), 4);
  PutWord(header, 42, uint32_t(pixelsPerMetre), 4);
  bool ok = std::fwrite(header.data(), 1, header.size(), file) == header.size();
  std::vector<BYTE> row(rowSize, 0);
  for (int n = rows - 1; ok && n >= 0; --n) {
    const BYTE* src = buffer_ + (size_t(height_ - 1 - rect.top - n) * width_ + rect.left) * 3;
    std::memcpy(row.data(), src, size_t(cols) * 3);
    ok = std::fwrite(row.data(), 1, rowSize, file) == rowSize;
  }
  ok = (std::fclose(file) == 0) && ok;
  if (!ok) std::remove(narrow.c_str());
  return ok;
}

bool CDPrgb24::SaveBitmap(const wchar_t* path, const RECT* rect) {
  if (!path || !InsideFrame(rect)) return false;
  return WriteBmp(path, *rect, kPixelsPerMetreAt96Dpi, true);
}

bool CDPrgb24::SaveFrameBitmap(const wchar_t* path) {
  if (!path || !buffer_) return false;
  return WriteBmp(path, RECT{0, 0, width_, height_}, 0, false);
}

cv::Mat CDPrgb24::WrapBuffer() { return cv::Mat(height_, width_, CV_8UC3, buffer_); }

cv::RotatedRect CDPrgb24::FindAndDrawDocument(bool detect, cv::RotatedRect rect, float minAreaRatio) {
  if (!buffer_) return cv::RotatedRect();
  cv::Mat frame = WrapBuffer();
  if (detect && !FindDocumentRect(&rect, 9, 3, 0.2f, minAreaRatio, frame, 8.0))
    rect = cv::RotatedRect(cv::Point2f(float(width_ / 2), float(height_ / 2)), cv::Size2f(float(width_), float(height_)),
                           0.0f);
  vqcapture::DrawDocumentOutline(frame, rect);
  return rect;
}

std::vector<cv::RotatedRect> CDPrgb24::FindAndDrawDocuments(float minAreaRatio, std::vector<cv::RotatedRect> work) {
  if (!buffer_) return {};
  cv::Mat frame = WrapBuffer();
  if (!FindDocumentRects(&work, 9, 3, 0.2f, minAreaRatio, frame, 8.0)) {
    work.assign(1, cv::RotatedRect(cv::Point2f(float(width_ / 2), float(height_ / 2)),
                                   cv::Size2f(float(width_), float(height_)), 0.0f));
  }
  for (const auto& r : work) vqcapture::DrawDocumentOutline(frame, r);
  return work;
}
