#pragma once
// The pages the data source hands to the host: taken from the camera window
// at the start of an upload and prepared one at a time in the pixel type the
// host chose.
#include <opencv2/core.hpp>
#include <vector>

#include "platform/twain/Twain.h"

struct FIBITMAP;
class CTWAIN_UI;

struct SourceImageParams {
  int32_t pixelType = TWPT_RGB;
  int32_t width = 0;
  int32_t height = 0;
  float xResolution = 200;
  float yResolution = 200;
  float gamma = 0;
  float contrast = 0;
  float brightness = 0;
  float threshold = 0;
};

class CDSImageSource {
 public:
  CDSImageSource();
  ~CDSImageSource();
  CDSImageSource(const CDSImageSource&) = delete;
  CDSImageSource& operator=(const CDSImageSource&) = delete;

  bool Reset();
  SourceImageParams GetParams() const { return m_params; }
  void SetParams(const SourceImageParams& params);
  bool FetchImagesFromUI();
  // Prepares the next page in the order of the camera window's list.
  bool AcquireImage();
  bool PrepareImage();
  // Copies whole unpadded rows, top row first, into buffer.
  bool GetScanStrip(void* buffer, TW_UINT32 length, TW_UINT32* written);
  cv::Mat GetCurrentImage() const { return m_currentPage; }
  int16_t GetDocCount() const { return m_pagesLeft; }
  bool HasMoreImages();
  int16_t GetDocsInFeeder() const { return m_feederCount; }
  void SetDocsInFeeder(TW_UINT16 count) { m_feederCount = static_cast<int16_t>(count); }
  void SetUI(CTWAIN_UI* ui) { m_ui = ui; }
  TW_UINT32 GetBytesPerRow() const { return m_bytesPerRow; }

 private:
  void UnloadBitmap();

  SourceImageParams m_params;
  std::vector<cv::Mat> m_pages;
  cv::Mat m_currentPage;
  FIBITMAP* m_bitmap = nullptr;
  TW_UINT32 m_rowsRead = 0;
  TW_UINT32 m_bytesPerRow = 0;
  int16_t m_pagesLeft = 0;
  int16_t m_feederCount = 0;
  TW_UINT32 m_bitmapWidth = 0;
  TW_UINT32 m_bitmapHeight = 0;
  CTWAIN_UI* m_ui = nullptr;
};
