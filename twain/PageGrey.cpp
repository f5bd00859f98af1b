#include "twain/PageGrey.h"

#include <opencv2/imgproc.hpp>

cv::Mat GreyOfPage(const cv::Mat& page) {
  if (page.channels() == 1) return page;
  cv::Mat grey;
  cv::cvtColor(page, grey, page.channels() == 4 ? cv::COLOR_BGRA2GRAY : cv::COLOR_BGR2GRAY);
  return grey;
}
