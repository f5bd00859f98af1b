#pragma once
// The video decoder the graph inserts between a camera pin and a filter that
// wants RGB24: YUY2 or motion-JPEG in, bottom-up RGB24 of the same size out.
#include "platform/dshow/TransformFilter.h"

class CVideoDecoder : public CTransformFilter {
 public:
  CVideoDecoder();
  HRESULT CheckInputType(const CMediaType* in) override;
  HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
  HRESULT GetMediaType(int position, CMediaType* type) override;
  // Drops frames that are short or cannot be decoded.
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
};

namespace vq::dshow {
// Copies times, media times and flags from one sample to another.
void CopySampleProperties(IMediaSample* from, IMediaSample* to);
}  // namespace vq::dshow
