#pragma once
// The output pin of the recording's source: every sample is the preview's
// current picture (with its overlays) fitted into the sample size with its
// aspect kept, at the bit depth agreed with the writer, stamped n x the frame
// length. The pin does not wait: the writer downstream sets the pace.
#include <atomic>

#include "platform/dshow/SourceFilter.h"
#include "platform/win/WinTypes.h"

class CShowVideoPro;

// Where a w x h picture lands in a W x H sample: scaled to fill one side,
// centred on the other.
RECT FitPictureRect(int sampleWidth, int sampleHeight, int pictureWidth, int pictureHeight);

class CPushPinVideo : public CSourceStream {
 public:
  CPushPinVideo(HRESULT* result, CSource* filter, int width, int height, int fps);

  // Positions 0-4: RGB32, RGB24, RGB565, RGB555, RGB8, all bottom-up.
  HRESULT GetMediaType(int position, CMediaType* type) override;
  // Fixed-size bottom-up RGB of the pin's size; top-down types are refused.
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT FillBuffer(IMediaSample* sample) override;
  // Quality messages are not acted on.
  HRESULT Notify(IBaseFilter* self, Quality quality) override;

  // The preview whose pictures are recorded (not owned); without one the
  // samples are black.
  void SetPreview(CShowVideoPro* preview);
  REFERENCE_TIME FrameLength() const { return frameLength_; }
  int CurrentBitDepth() const { return currentBitDepth_; }
  // Samples filled so far; all but the newest have passed the writer.
  int FramesFilled() const { return frameNumber_; }

 private:
  std::atomic<int> frameNumber_{0};  // read by other threads
  REFERENCE_TIME frameLength_;
  int currentBitDepth_ = 32;
  CMediaType mediaType_;
  CCritSec sharedState_;
  int width_;
  int height_;
  CShowVideoPro* preview_ = nullptr;
};
