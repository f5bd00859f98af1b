#pragma once
// The frame-grabbing filter at the end of a camera's preview stream: it keeps
// a copy of every RGB24 frame and posts a notify message to the preview,
// which then pulls the frame through IGrabData.
#include "capture/FrameHolder.h"
#include "capture/GrabData.h"
#include "platform/dshow/TransformFilter.h"

class CGrabDataFilter : public CTransformFilter, public IGrabData {
 public:
  CGrabDataFilter();

  HRESULT CheckInputType(const CMediaType* in) override;
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT Receive(IMediaSample* sample) override;

  bool GetFrame(CDPrgb24* destination) override;
  cv::Mat GetMat() override;
  bool ReservedA(int, int, int, int) override { return false; }
  bool ReservedB(int, int, int, int) override { return false; }

  // Sets where frames are announced (null window: nowhere), under the lock.
  void SetNotify(HWND window, UINT message);

 private:
  // Copies a sample's frame into the holder when it holds a whole frame.
  void KeepFrame(const BYTE* data, long length, const VIDEOINFOHEADER& format);

  UINT notifyMessage_ = 0;
  CDPrgb24 holder_;
  HWND notifyWindow_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  CCritSec lock_;
  std::vector<BYTE> packed_;  // rows of a padded frame, unpadded
};
