#include "capture/TurnedPicture.h"

#include <cmath>

#include <opencv2/imgproc.hpp>

namespace vqcapture {

int SquareSide(int width, int height) {
  return static_cast<int>(std::sqrt(double(width) * width + double(height) * height));
}

cv::Mat TurnSquare(const cv::Mat& square, double degrees) {
  const int d = square.cols;
  const cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(d * 0.5f, d * 0.5f), degrees, 1.0);
  cv::Mat turned;
  cv::warpAffine(square, turned, turn, cv::Size(d, d), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar());
  return turned;
}

void TurnInSquare(const cv::Mat& picture, double degrees, const cv::Scalar& fill, cv::Mat* turned, cv::Mat* mask) {
  const int d = SquareSide(picture.cols, picture.rows);
  const cv::Rect placed((d - picture.cols) / 2, (d - picture.rows) / 2, picture.cols, picture.rows);
  cv::Mat square(d, d, picture.type(), fill);
  picture.copyTo(square(placed));
  cv::Mat lies = cv::Mat::zeros(d, d, CV_8UC1);
  cv::rectangle(lies, placed, cv::Scalar(255), cv::FILLED, cv::LINE_8);
  *turned = TurnSquare(square, degrees);
  *mask = TurnSquare(lies, degrees);
}

void LayCovered(const cv::Mat& picture, const cv::Mat& mask, CImage* target, int left, int top, double weight) {
  if (!target || target->IsNull() || target->GetBPP() != 24 || picture.type() != CV_8UC3 ||
      mask.size() != picture.size())
    return;
  BYTE* bits = static_cast<BYTE*>(target->GetBits());
  for (int i = 0; i < mask.rows; ++i) {
    const int y = top + i;
    if (y < 0 || y >= target->GetHeight()) continue;
    const BYTE* m = mask.ptr<BYTE>(i);
    const BYTE* p = picture.ptr<BYTE>(i);
    BYTE* row = bits + ptrdiff_t(y) * target->GetPitch();
    for (int j = 0; j < mask.cols; ++j) {
      const int x = left + j;
      if (m[j] != 255 || x < 0 || x >= target->GetWidth()) continue;
      for (int c = 0; c < 3; ++c)
        row[x * 3 + c] = static_cast<BYTE>(weight * row[x * 3 + c] + (1 - weight) * p[j * 3 + c]);
    }
  }
}

}  // namespace vqcapture
