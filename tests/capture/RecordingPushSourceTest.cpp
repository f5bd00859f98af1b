// The recording's push source: the types its pin offers and takes, where a
// picture lands in a sample, and what each sample holds and is stamped with.
#include <gtest/gtest.h>

#include "capture/PushSourceVideo.h"
#include "platform/dshow/MediaSample.h"
#include "tests/capture/PicturePreview.h"

namespace {

struct Source {
  ComPtr<CPushSourceVideo> filter;
  CPushPinVideo* pin;
  Source(int width, int height, int fps)
      : filter(ComPtr<CPushSourceVideo>::Adopt(new CPushSourceVideo(width, height, fps))), pin(filter->Pin()) {}
};

const BITMAPINFOHEADER& Header(const CMediaType& mt) { return vq::dshow::VideoInfo(mt)->bmiHeader; }

TEST(RecordingPushSource, OffersItsTypesInOrderAndTakesOnlyBottomUpOnes) {
  Source s(1280, 960, 10);
  EXPECT_EQ(s.filter->GetPinCount(), 1);
  EXPECT_EQ(s.pin->Name(), L"Out");
  const GUID subtypes[] = {MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB565, MEDIASUBTYPE_RGB555,
                           MEDIASUBTYPE_RGB8};
  const WORD bits[] = {32, 24, 16, 16, 8};
  for (int i = 0; i < 5; ++i) {
    CMediaType mt;
    ASSERT_EQ(s.pin->GetMediaType(i, &mt), S_OK);
    const auto* vi = reinterpret_cast<const VIDEOINFO*>(mt.pbFormat);
    EXPECT_EQ(mt.subtype, subtypes[i]) << i;
    EXPECT_EQ(Header(mt).biBitCount, bits[i]);
    EXPECT_EQ(Header(mt).biWidth, 1280);
    EXPECT_EQ(Header(mt).biHeight, 960);
    EXPECT_EQ(Header(mt).biSizeImage, 1280u * 960u * bits[i] / 8);
    EXPECT_EQ(mt.lSampleSize, Header(mt).biSizeImage);
    EXPECT_FALSE(mt.bTemporalCompression);
    EXPECT_EQ(vi->AvgTimePerFrame, 0);
    if (i == 2) {
      EXPECT_EQ(vi->dwBitMasks[1], 0x07E0u);
    } else if (i == 3) {
      EXPECT_EQ(vi->dwBitMasks[0], 0x7C00u);
    } else if (i == 4) {
      EXPECT_EQ(Header(mt).biClrUsed, 256u);
    }
    EXPECT_EQ(s.pin->CheckMediaType(&mt), S_OK) << i;
  }
  CMediaType mt;
  EXPECT_EQ(s.pin->GetMediaType(-1, &mt), E_INVALIDARG);
  EXPECT_EQ(s.pin->GetMediaType(5, &mt), VFW_S_NO_MORE_ITEMS);
  EXPECT_EQ(s.pin->CheckMediaType(nullptr), E_POINTER);

  s.pin->GetMediaType(1, &mt);
  reinterpret_cast<VIDEOINFO*>(mt.pbFormat)->bmiHeader.biHeight = -960;
  EXPECT_EQ(s.pin->CheckMediaType(&mt), E_INVALIDARG) << "top-down";
  reinterpret_cast<VIDEOINFO*>(mt.pbFormat)->bmiHeader.biHeight = 960;
  reinterpret_cast<VIDEOINFO*>(mt.pbFormat)->bmiHeader.biWidth = 640;
  EXPECT_EQ(s.pin->CheckMediaType(&mt), E_INVALIDARG) << "another width";
  CMediaType yuy2 = vq::dshow::MakeVideoType(MEDIASUBTYPE_YUY2, 1280, 960, 0);
  EXPECT_EQ(s.pin->CheckMediaType(&yuy2), E_INVALIDARG);

  s.pin->GetMediaType(2, &mt);
  EXPECT_EQ(s.pin->SetMediaType(&mt), S_OK);
  EXPECT_EQ(s.pin->CurrentBitDepth(), 16);
  reinterpret_cast<VIDEOINFO*>(mt.pbFormat)->bmiHeader.biBitCount = 12;
  EXPECT_EQ(s.pin->SetMediaType(&mt), E_INVALIDARG);
  mt.ResetFormatBuffer();
  EXPECT_EQ(s.pin->SetMediaType(&mt), E_UNEXPECTED);
  EXPECT_EQ(s.pin->CurrentBitDepth(), 16);
}

TEST(RecordingPushSource, PicturesKeepTheirAspect) {
  auto same = [](RECT a, RECT b) { return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom; };
  EXPECT_TRUE(same(FitPictureRect(1280, 960, 1600, 1200), RECT{0, 0, 1280, 960}));
  EXPECT_TRUE(same(FitPictureRect(1280, 960, 1920, 1080), RECT{0, 120, 1280, 840}));
  EXPECT_TRUE(same(FitPictureRect(1280, 960, 960, 1280), RECT{280, 0, 1000, 960}));
  EXPECT_TRUE(same(FitPictureRect(1280, 960, 640, 480), RECT{0, 0, 1280, 960}));
}

// Fills one sample at the type of `position` and returns it.
std::vector<BYTE> Fill(Source& s, int position, REFERENCE_TIME* start, REFERENCE_TIME* end, BYTE junk = 0x5A) {
  CMediaType mt;
  s.pin->GetMediaType(position, &mt);
  EXPECT_EQ(s.pin->SetMediaType(&mt), S_OK);
  auto* sample = new CMediaSample(long(mt.lSampleSize));
  BYTE* bits = nullptr;
  sample->GetPointer(&bits);
  std::memset(bits, junk, mt.lSampleSize);
  EXPECT_EQ(s.pin->FillBuffer(sample), S_OK);
  EXPECT_EQ(sample->IsSyncPoint(), S_OK);
  EXPECT_EQ(sample->GetActualDataLength(), long(mt.lSampleSize));
  sample->GetTime(start, end);
  std::vector<BYTE> copy(bits, bits + mt.lSampleSize);
  sample->Release();
  return copy;
}

TEST(RecordingPushSource, SamplesAreStampedFrameByFrameAndBlackWithoutAPicture) {
  Source s(64, 48, 10);
  EXPECT_EQ(s.pin->FrameLength(), 1000000);
  vqtest::PicturePreview preview;
  s.pin->SetPreview(&preview);
  for (REFERENCE_TIME n = 0; n < 3; ++n) {
    REFERENCE_TIME start = -1, end = -1;
    auto bits = Fill(s, 0, &start, &end);
    EXPECT_EQ(start, n * 1000000);
    EXPECT_EQ(end, (n + 1) * 1000000);
    // No picture in the preview yet: black, not what the buffer held.
    EXPECT_TRUE(std::all_of(bits.begin(), bits.end(), [](BYTE b) { return b == 0; }));
  }
  EXPECT_EQ(preview.calls, 3);
  s.pin->SetPreview(nullptr);
  REFERENCE_TIME start, end;
  auto bits = Fill(s, 1, &start, &end);
  EXPECT_EQ(start, 3000000);
  EXPECT_TRUE(std::all_of(bits.begin(), bits.end(), [](BYTE b) { return b == 0; }));

  Source seven(64, 48, 7);
  EXPECT_EQ(seven.pin->FrameLength(), 1428571);
}

TEST(RecordingPushSource, APictureIsLetterboxedAtTheAgreedDepth) {
  Source s(128, 96, 10);
  vqtest::PicturePreview preview;
  // 192 x 108: bars of 12 rows above and below at 128 x 96.
  preview.SetPicture(cv::Mat(108, 192, CV_8UC3, cv::Scalar(40, 160, 240)));
  s.pin->SetPreview(&preview);
  REFERENCE_TIME start, end;
  auto rgb24 = Fill(s, 1, &start, &end);
  const size_t stride = 128 * 3;
  auto pixel = [&](int xFromLeft, int yFromTop) {
    const BYTE* p = rgb24.data() + size_t(95 - yFromTop) * stride + size_t(xFromLeft) * 3;  // bottom-up rows
    return cv::Vec3b(p[0], p[1], p[2]);
  };
  EXPECT_EQ(pixel(64, 5), cv::Vec3b(0, 0, 0));
  EXPECT_EQ(pixel(64, 90), cv::Vec3b(0, 0, 0));
  EXPECT_EQ(pixel(0, 12), cv::Vec3b(40, 160, 240));
  EXPECT_EQ(pixel(127, 83), cv::Vec3b(40, 160, 240));
  EXPECT_EQ(pixel(64, 84), cv::Vec3b(0, 0, 0));

  auto rgb32 = Fill(s, 0, &start, &end);
  EXPECT_EQ(rgb32[size_t(95 - 5) * 512 + 64 * 4], 0);
  EXPECT_EQ(rgb32[size_t(95 - 50) * 512 + 64 * 4], 40);

  // 565: red in the top five bits.
  auto rgb565 = Fill(s, 2, &start, &end);
  uint16_t middle;
  std::memcpy(&middle, rgb565.data() + size_t(48) * 256 + 64 * 2, 2);
  EXPECT_NEAR(middle >> 11, 240 >> 3, 1);
  EXPECT_NEAR((middle >> 5) & 0x3F, 160 >> 2, 1);
  EXPECT_NEAR(middle & 0x1F, 40 >> 3, 1);
}

}  // namespace
