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
  // Standard deviation of the pixel noise, grey levels, from the second
  // differences: the noise of single pixels.
  double noise = 0.0;
  // The spread of the paper between the marks, grey levels: noise of any
  // grain, that of a resampled or compressed page too.
  double paperNoise = 0.0;
  // The steps across the page's 8 x 8 grid against those inside it: about 1
  // for a page, well above for one that was JPEG-compressed hard.
  double blockiness = 1.0;
};

// Measures an 8-bit one-channel page.
PageFocus MeasurePageFocus(const cv::Mat& grey);

// True when the paper spreads wider than its single pixels' noise tells:
// grain wider than a pixel (a dim frame's noise, resampled and compressed).
bool HasGrain(const PageFocus& focus);

// Below this edge sharpness a page is soft.
constexpr double kSoftEdgeSharpness = 0.42;

// A sharpened copy of a soft page (8-bit, one channel) whose `focus` was
// measured before it was scaled by `scale`: smoothed only as far as needed
// to bring its single pixels' noise under two grey levels, smoothed across
// the blocks of a hard JPEG compression, its grain taken out by a median,
// then unsharp-masked. False, and *sharpened untouched, for a crisp or
// blank page.
bool SharpenSoftPage(const cv::Mat& grey, const PageFocus& focus, double scale, cv::Mat* sharpened);
// The same for a page measured as it is.
bool SharpenSoftPage(const cv::Mat& grey, cv::Mat* sharpened);
