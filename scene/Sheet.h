#pragma once
// A sheet of paper lying on the desk of a synthetic camera scene.
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

namespace vqscene {

struct Sheet {
  // Centre, size and turn in frame pixels, in cv::RotatedRect's convention
  // (x right, y down, angle in degrees). This is the ground truth a detector
  // should find.
  cv::RotatedRect rect;
  cv::Scalar paper{236, 240, 243};  // blue, green, red
  bool text = true;                 // rows of dark word-like marks
  std::uint64_t seed = 1;           // the layout of the marks
  // A printed side instead of the marks: an 8-bit grey picture (255 paper,
  // 0 ink) stretched over the sheet, its top along the rect's width.
  cv::Mat print;
  // A sheet seen in perspective: its corners in the frame (the print's top
  // left, top right, bottom right, bottom left). Empty for a flat sheet;
  // when set, `rect` is their minimum-area rectangle.
  std::vector<cv::Point2f> corners;
};

// The sheet's outline in the frame: its corners, or those of its rect.
std::vector<cv::Point2f> SheetOutline(const Sheet& sheet);

// A sheet of `size` pixels centred at `centre`, turned by `angle` degrees.
Sheet PlaceSheet(cv::Point2f centre, cv::Size2f size, float angle, std::uint64_t seed = 1);

// A sheet of paper proportions (A4, letter or A5, upright or lying), covering
// roughly 15 to 45 % of the frame, at a random turn, wholly inside the frame.
Sheet RandomSheet(cv::Size frame, cv::RNG& rng);

}  // namespace vqscene
