#pragma once
// The size of a page's print, and the scale that brings it to the size the
// line finder and the glyph reader work best at. Headlines are shrunk, small
// print is enlarged; print in between is read as it is.
#include <opencv2/core.hpp>

// The height of the page's tall ink: of the connected marks of a binary
// page (ink non-zero), the height below which three quarters of the marks'
// heights lie, each mark counting by its height. Specks, marks taller than
// a quarter of the page (frames, desk) and marks over six times the median
// mark's height (photographs, dark blocks) do not count. About 0.95 of the
// em for Chinese print, the cap height for Latin; 0 for a page of fewer than
// a dozen marks.
int MeasureTextHeight(const cv::Mat& inkImage);
// The same for a grey page (8-bit, one channel), its ink found by a mean
// adaptive threshold of the block size and offset, only where measured.
int MeasurePrintHeight(const cv::Mat& grey, int blockSize, double offset);

// The factor that brings print `height` pixels high into the range read best
// (1 when it is already there or too low to be print), enlarging at most
// two and a half times and no further than keeps a page of `size` under the
// largest page read, shrinking to a quarter at the least.
double TextScale(int height, cv::Size size);
