#pragma once
// Page finishing: shadow removal, brightness normalisation, binarisation,
// despeckling and overlay blending. Images are 8-bit, one channel or three
// (B, G, R). No state is kept, so different threads may work on different images.
#include <opencv2/core.hpp>

#include "imaging/DarkPixels.h"

// Where BlendAtCorner puts the overlay's top-left corner.
enum BlendPosition {
  BLEND_TOP_LEFT = 0,
  BLEND_TOP_RIGHT = 1,
  BLEND_BOTTOM_LEFT = 2,
  BLEND_BOTTOM_RIGHT = 3,
  BLEND_CENTER = 4,
};

class CImageProcess {
 public:
  virtual ~CImageProcess() = default;

  // Flattens an uneven background to about 245 while ink keeps its value. On
  // colour pages pixels whose chroma is at or below threshold (0..255, else 50)
  // become neutral grey. False for an empty source or one that is not 8-bit
  // with one or three channels.
  bool RemoveShadow(const cv::Mat& source, cv::Mat& destination, int threshold);

  // Scales the page so that its bright part averages about target. A page
  // whose bright part is already brighter, or a uniform page, is copied as it
  // is. False for an empty source or one that is not 8-bit with one or three channels.
  bool NormalizeBrightness(const cv::Mat& source, cv::Mat& destination, int target);

  // Blends overlay into destination with its top-left corner at (x, y) and the
  // given opacity (clamped to 0..100); pixels where a given mask is 0 and
  // pixels outside the destination are left alone. A three-channel overlay on
  // a grey destination is turned grey, a grey overlay on a three-channel
  // destination is spread to three channels; other differing channel counts,
  // non-8-bit images, and a mask that is not 8-bit one-channel of the
  // overlay's size give false with nothing changed.
  bool BlendAt(cv::Mat& destination, cv::Mat overlay, int x, int y, int opacity, cv::Mat mask);

  // BlendAt at a corner or the centre (BlendPosition); false for another position.
  bool BlendAtCorner(cv::Mat& destination, int position, cv::Mat overlay, int opacity, cv::Mat mask);
};

// Black-and-white page: 255 paper, 0 ink, one channel of the input's size.
// Local contrast decides near strokes (morphSize window, weight of the local
// range), a background estimate (median over blurSize at a tenth of the size)
// decides elsewhere. Empty for an empty or non-8-bit input.
cv::Mat BinarizeDocument(int morphSize, cv::Mat image, int blurSize, double weight);

// Gaussian adaptive threshold: 255 where a pixel is above its weighted
// neighbourhood mean minus C, else 0. A colour source is turned grey with the
// weights 0.299, 0.587, 0.114 on channels 1, 2, 3. destination is left empty
// for an empty source or a block size that is not odd and at least 3.
void AdaptiveBinarize(const cv::Mat& source, int blockSize, int C, cv::Mat& destination);

// Turns white every 8-connected dark component of fewer than maxPixels
// pixels. False for an image that is not 8-bit one-channel.
bool RemoveSmallSpots(cv::Mat& image, int maxPixels);
