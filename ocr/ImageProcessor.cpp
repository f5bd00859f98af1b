#include "ocr/ImageProcessor.h"

#include <algorithm>
#include <vector>

namespace {

// Direction offsets, index 1..8.
constexpr int kDx[9] = {0, 1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[9] = {0, 0, 1, 1, 1, 0, -1, -1, -1};

bool IsInk(const OCRMatrix* image, int x, int y) { return CImageProcessor::Pixel(image, x, y) != 0; }

}  // namespace

int CImageProcessor::Pixel(const OCRMatrix* image, int x, int y) {
  if (!image || !image->data || image->type != OCR_U8 || x < 0 || y < 0 || x >= image->cols || y >= image->rows)
    return 0;
  return MatrixData<uint8_t>(image)[static_cast<size_t>(y) * image->cols + x];
}

int CImageProcessor::RunLength(const OCRMatrix* image, int x, int y, int direction) const {
  if (direction < 1 || direction > 8) return -1;
  int length = 0;
  for (int cx = x + kDx[direction], cy = y + kDy[direction]; IsInk(image, cx, cy);
       cx += kDx[direction], cy += kDy[direction])
    ++length;
  return length;
}

int CImageProcessor::LongestLine(const OCRMatrix* image, int x, int y) const {
  int longest = 0;
  for (int d = 1; d <= 4; ++d) longest = std::max(longest, RunLength(image, x, y, d + 4) + RunLength(image, x, y, d));
  return longest;
}

int CImageProcessor::CountNeighbours(const OCRMatrix* image, int x, int y) const {
  int count = 0;
  for (int d = 1; d <= 8; ++d) count += IsInk(image, x + kDx[d], y + kDy[d]) ? 1 : 0;
  return count;
}

int CImageProcessor::CrossingNumber(const OCRMatrix* image, int x, int y) const {
  // up, up-right, right, down-right, down, down-left, left, up-left, up
  static constexpr int ring[9] = {7, 8, 1, 2, 3, 4, 5, 6, 7};
  int crossings = 0;
  for (int i = 0; i < 8; ++i) {
    const bool from = IsInk(image, x + kDx[ring[i]], y + kDy[ring[i]]);
    const bool to = IsInk(image, x + kDx[ring[i + 1]], y + kDy[ring[i + 1]]);
    if (!from && to) ++crossings;
  }
  return crossings;
}

bool CImageProcessor::IsStaircasePixel(const OCRMatrix* image, int x, int y) const {
  if (!image || x <= 0 || y <= 0 || x >= image->cols - 1 || y >= image->rows - 1) return false;
  const bool L = IsInk(image, x - 1, y), R = IsInk(image, x + 1, y);
  const bool U = IsInk(image, x, y - 1), D = IsInk(image, x, y + 1);
  const bool UL = IsInk(image, x - 1, y - 1), UR = IsInk(image, x + 1, y - 1);
  const bool DL = IsInk(image, x - 1, y + 1), DR = IsInk(image, x + 1, y + 1);
  const int line = LongestLine(image, x, y);
  if (!L && !UL && !U && !UR && !R && D) return line < LongestLine(image, x, y + 1);
  if (!L && !DL && !D && !DR && !R && U) return line < LongestLine(image, x, y - 1);
  if (!U && !UL && !L && !DL && !D && R) return line < LongestLine(image, x + 1, y);
  if (!U && !UR && !R && !DR && !D && L) return line < LongestLine(image, x - 1, y);
  return false;
}

OCRMatrix* CImageProcessor::SmoothStaircases(const OCRMatrix* image) const {
  OCRMatrix* out = CloneMatrix(image);
  if (!out || out->type != OCR_U8 || !out->data) return out;
  uint8_t* p = MatrixData<uint8_t>(out);
  for (int y = 1; y < image->rows - 1; ++y)
    for (int x = 1; x < image->cols - 1; ++x)
      if (IsInk(image, x, y) && IsStaircasePixel(image, x, y)) p[static_cast<size_t>(y) * image->cols + x] = 0;
  return out;
}

OCRMatrix* CImageProcessor::Thin(const OCRMatrix* image) const {
  OCRMatrix* work = CloneMatrix(image);
  if (!work || work->type != OCR_U8 || !work->data || work->rows < 3) return work;
  const int rows = work->rows, cols = work->cols;
  uint8_t* p = MatrixData<uint8_t>(work);
  std::vector<size_t> marked;
  auto in = [image](int x, int y) { return Pixel(image, x, y); };

  // One pass: marks deletable pixels, then removes them; returns how many.
  auto pass = [&](bool passA) {
    marked.clear();
    for (int y = 1; y <= rows - 2; ++y)
      for (int x = 1; x <= cols - 2; ++x) {
        if (!p[static_cast<size_t>(y) * cols + x]) continue;
        const int n = CountNeighbours(work, x, y);
        if (n < 3 || n > 6 || CrossingNumber(work, x, y) != 1) continue;
        const int ul = in(x - 1, y - 1), ur = in(x + 1, y - 1), dl = in(x - 1, y + 1), dr = in(x + 1, y + 1);
        const bool keep = passA ? (dr * dl * ur != 0 || dr * dl * ul != 0) : (ur * ul * dr != 0 || ur * ul * dl != 0);
        if (!keep) marked.push_back(static_cast<size_t>(y) * cols + x);
      }
    for (size_t i : marked) p[i] = 0;
    return marked.size();
  };
  while (true) {
    pass(true);
    if (pass(false) == 0) break;
  }
  return work;
}
