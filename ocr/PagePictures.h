#pragma once
// Photographs and dark blocks on a page: no print is that dark over so wide
// an area. Whitened, they are neither read as text nor joined to it.
#include <opencv2/core.hpp>

// Paints over, in the paper's grey, every region of an 8-bit one-channel
// page that is darker than print can be, averaged over one and a half print
// heights, and at least four print heights across either way. Returns how
// many regions it painted over; none for a page without measured print.
int WhitenPictures(cv::Mat* grey, int printHeight);
