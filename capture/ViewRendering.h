#pragma once
// Drawing a zoomable view from its picture straight between pixel buffers
// (8-bit, three channels): reductions average the covered area (GDI's
// HALFTONE stretch), enlargements by whole steps repeat each picture pixel
// as a block (COLORONCOLOR). The view is redrawn for every camera frame, so
// this skips the round trip through device contexts.
#include <opencv2/core.hpp>

#include "capture/ViewGeometry.h"

namespace vqcapture {

// Draws the picture part of `blit` stretched onto its target rectangle of
// `view`, clipped to the view. False when the part lies outside the picture.
bool DrawPart(const cv::Mat& picture, const PartBlit& blit, cv::Mat& view);

}  // namespace vqcapture
