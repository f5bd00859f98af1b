#pragma once
// How sharp and how noisy a page's ink is, and the sharpening that brings a
// soft page (a desk photograph: blur about a pixel, twice resampled) back to
// the crisp strokes the line finder and the glyph reader expect. Crisp pages
// are left alone.
#include <opencv2/core.hpp>

struct PageFocus {
  // Median, over the page's strongest edges, of the gradient against the
  // local contrast: about 0.5 for crisp print, about 0.33 under a blur of a
  // pixel; 0 when the page holds no edge worth measuring.
  double edgeSharpness = 0.0;
  // Standard deviation of the pixel noise, grey levels.
  double noise = 0.0;
};

// Measures an 8-bit one-channel page.
PageFocus MeasurePageFocus(const cv::Mat& grey);

// Below this edge sharpness a page is soft.
constexpr double kSoftEdgeSharpness = 0.42;

// A sharpened copy of a soft page (8-bit, one channel): smoothed only as far
// as needed to bring its noise under two grey levels, then unsharp-masked.
// False, and *sharpened untouched, for a crisp or blank page.
bool SharpenSoftPage(const cv::Mat& grey, cv::Mat* sharpened);
