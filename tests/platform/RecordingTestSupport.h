#pragma once
// Shared by the recording tests: a push source of plain 32-bit frames on the
// source-stream base classes, a graph around the ASF writer, and a wait for
// the manual clock's sleepers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "platform/dshow/AsfMuxer.h"
#include "platform/dshow/AsfWriter.h"
#include "platform/dshow/CaptureGraphBuilder.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/SourceFilter.h"
#include "platform/win/Clock.h"
#include "tests/support/TestEnv.h"

namespace vqtest {

// Frames of one colour (BGRA bytes) under a white top quarter, bottom-up
// RGB32, stamped n x frameTime;
// after `limit` frames FillBuffer ends the stream, and `fail` makes it fail.
class ColourSource : public CSource {
 public:
  ColourSource(int width, int height, REFERENCE_TIME frameTime)
      : CSource(L"Colour Source", nullptr, GUID_NULL), pin_(new Pin(this, width, height, frameTime)) {}
  ~ColourSource() override { delete pin_; }

  std::atomic<long> filled{0};
  std::atomic<long> limit{-1};
  std::atomic<HRESULT> fail{S_OK};
  std::atomic<uint32_t> colour{0x00336699};

 private:
  class Pin : public CSourceStream {
   public:
    Pin(ColourSource* owner, int width, int height, REFERENCE_TIME frameTime)
        : CSourceStream(L"Colour", nullptr, owner, L"Out"), owner_(owner), width_(width), height_(height),
          frameTime_(frameTime) {}
    HRESULT CheckMediaType(const CMediaType* type) override {
      CMediaType mine;
      GetMediaType(0, &mine);
      return *type == mine ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
      if (position != 0) return VFW_S_NO_MORE_ITEMS;
      VIDEOINFO vi{};
      vi.AvgTimePerFrame = frameTime_;
      vi.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
      vi.bmiHeader.biSizeImage = GetBitmapSize(&vi.bmiHeader);
      *type = CMediaType();
      type->SetType(&MEDIATYPE_Video);
      type->SetSubtype(&MEDIASUBTYPE_RGB32);
      type->SetFormatType(&FORMAT_VideoInfo);
      type->SetFormat(reinterpret_cast<const BYTE*>(&vi), sizeof(vi));
      type->SetSampleSize(vi.bmiHeader.biSizeImage);
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override {
      props->cBuffers = 1;
      props->cbBuffer = long(CurrentMediaType().lSampleSize);
      ALLOCATOR_PROPERTIES actual{};
      return allocator->SetProperties(props, &actual);
    }
    HRESULT FillBuffer(IMediaSample* sample) override {
      if (owner_->limit >= 0 && owner_->filled >= owner_->limit) return S_FALSE;
      if (FAILED(owner_->fail)) return owner_->fail;
      BYTE* bits = nullptr;
      sample->GetPointer(&bits);
      // The colour, with the top quarter white (the last rows of a bottom-up frame).
      const uint32_t c = owner_->colour, white = 0x00FFFFFF;
      const long pixels = sample->GetSize() / 4, topQuarter = pixels - pixels / 4;
      for (long i = 0; i < pixels; ++i) std::memcpy(bits + 4 * i, i >= topQuarter ? &white : &c, 4);
      sample->SetActualDataLength(sample->GetSize());
      REFERENCE_TIME start = owner_->filled * frameTime_, end = start + frameTime_;
      sample->SetTime(&start, &end);
      ++owner_->filled;
      return S_OK;
    }

   private:
    ColourSource* owner_;
    int width_, height_;
    REFERENCE_TIME frameTime_;
  };
  Pin* pin_;
};

// A filter graph with a capture graph builder and an ASF writer for `path`.
struct WriterGraph {
  ComPtr<CFilterGraph> graph = ComPtr<CFilterGraph>::Adopt(new CFilterGraph());
  ComPtr<ICaptureGraphBuilder2> builder = ComPtr<ICaptureGraphBuilder2>::Adopt(new CCaptureGraphBuilder2());
  ComPtr<IBaseFilter> writer;

  explicit WriterGraph(const std::wstring& path) {
    EXPECT_EQ(builder->SetFiltergraph(graph.Get()), S_OK);
    EXPECT_EQ(builder->SetOutputFileName(&MEDIASUBTYPE_Asf, path.c_str(), writer.Put(), nullptr), S_OK);
  }
  ~WriterGraph() { graph->Stop(); }
  ComPtr<IConfigAsfWriter> Config() const { return writer.As<IConfigAsfWriter>(IID_IConfigAsfWriter); }
  IBaseFilter* Add(IBaseFilter* filter, const wchar_t* name) {
    EXPECT_TRUE(SUCCEEDED(graph->AddFilter(filter, name)));
    return filter;
  }
};

// A video stream of the muxer as large as its input bitmaps.
inline vq::dshow::AsfVideoFormat VideoFormat(int width, int height, REFGUID subtype, REFERENCE_TIME frameTime,
                                             int bitRate) {
  vq::dshow::AsfVideoFormat f;
  f.width = f.inputWidth = width;
  f.height = f.inputHeight = height;
  f.frameTime = frameTime;
  f.bitRate = bitRate;
  f.inputSubtype = subtype;
  return f;
}

// Blocks until `count` threads sleep on the manual clock.
inline void WaitForSleepers(size_t count) {
  ASSERT_TRUE(vqplatform::Clock::WaitForTimedWaiters(count, kPatience));
}

}  // namespace vqtest
