#pragma once
// The one grey of a page, wherever the data source needs it: the camera
// window's grey mode and every transfer of a grey or black-and-white page.
#include <opencv2/core.hpp>

// The grey of an 8-bit page whose channels are blue, green, red (the pages'
// order), weighed red 0.299, green 0.587, blue 0.114; a one-channel page is
// its own grey.
cv::Mat GreyOfPage(const cv::Mat& page);
