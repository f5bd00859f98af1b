#pragma once
// Turning the dark regions that touch the image edge white, as far as they
// lie within 50 pixels of the edge: what is left of the desk around a page
// after black-and-white conversion. Works in place on an 8-bit one-channel
// mask; dark means a value below 125.
#include <opencv2/core.hpp>

// Fills from every dark edge pixel (top row, bottom row, left column, right
// column, in that order). False only for an empty mask or one that is not
// 8-bit with one channel (left as it was).
bool FillDarkBorder(cv::Mat& mask);

// Whitens the seed and the dark pixels 8-connected to it, without entering
// the inner part of the image beyond the 50-pixel border band.
void FloodFillDarkFromSeed(cv::Mat& mask, cv::Point seed);
