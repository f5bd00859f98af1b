#pragma once
// Drawing a zoomable view from its picture straight between pixel buffers
// (8-bit, three channels): reductions average the covered area (GDI's
// HALFTONE stretch), enlargements by whole steps repeat each picture pixel
// as a block (COLORONCOLOR). The view is redrawn for every camera frame, so
// this skips the round trip through device contexts.
#include <opencv2/core.hpp>

#include "capture/ViewGeometry.h"
#include "platform/mfc/CImage.h"

namespace vqcapture {

// Draws the picture part of `blit` stretched onto its target rectangle of
// `view`, clipped to the view. False when the part lies outside the picture.
bool DrawPart(const cv::Mat& picture, const PartBlit& blit, cv::Mat& view);

// The same on 24-bit images, which the views keep as their buffers.
cv::Mat WrapImage(CImage& image);
// Copies the top-left width x height pixels of one 24-bit image into
// another at (x, y), clipped to both (a SRCCOPY blit between the buffers).
void CopyImagePixels(CImage& from, CImage& to, int x, int y, int width, int height);
// The whole picture scaled by the zoom into the top-left of `view`, then
// copied into `clean`.
void RenderWholePicture(CImage& picture, float zoom, CImage& view, CImage& clean);
// One part of the scaled picture drawn into `view` with its top-left at `at`.
bool RenderScaledPart(CImage& picture, const RECT& part, float zoom, POINT at, CImage& view);
// The view moved from `oldSource` to `newSource`: the rendered overlap is
// shifted from `clean` and only the exposed strips are scaled; the result
// goes back into `clean`. False for a zoom that is not a step.
bool ScrollRendered(CImage& picture, const RECT& oldSource, const RECT& newSource, float zoom, CImage& view,
                    CImage& clean);

}  // namespace vqcapture
