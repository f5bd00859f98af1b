#include "twain/DSImageSource.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <opencv2/imgproc.hpp>

#include "twain/TWAIN_UI.h"

namespace {

void FreeImageMessageHandler(FREE_IMAGE_FORMAT format, const char* message) {
  const char* name = FreeImage_GetFormatFromFIF(format);
  std::cout << "\n*** " << (name ? name : "Unknown") << " Format" << std::endl;
  std::cout << message << " ***" << std::endl;
}

}  // namespace

CDSImageSource::CDSImageSource() {
  FreeImage_Initialise(FALSE);
  FreeImage_SetOutputMessage(FreeImageMessageHandler);
  Reset();
}

CDSImageSource::~CDSImageSource() {
  UnloadBitmap();
  FreeImage_DeInitialise();
}

void CDSImageSource::UnloadBitmap() {
  if (m_bitmap) FreeImage_Unload(m_bitmap);
  m_bitmap = nullptr;
}

bool CDSImageSource::Reset() {
  if (m_ui) m_ui->OnTransferEnd();
  m_rowsRead = 0;
  m_bytesPerRow = 0;
  m_feederCount = m_pagesLeft;
  m_pagesLeft = m_feederCount;
  m_params.pixelType = TWPT_RGB;
  m_params.width = 0;
  m_params.height = 0;
  m_params.xResolution = 200;
  m_params.yResolution = 200;
  UnloadBitmap();
  return true;
}

void CDSImageSource::SetParams(const SourceImageParams& params) {
  m_params = params;
  m_pagesLeft = m_feederCount;
}

bool CDSImageSource::FetchImagesFromUI() {
  m_pages.clear();
  m_pagesLeft = 0;
  if (!m_ui) return false;
  m_pages = m_ui->GetImages();
  m_pagesLeft = static_cast<int16_t>(std::min<size_t>(m_pages.size(), INT16_MAX));
  return !m_pages.empty();
}

bool CDSImageSource::HasMoreImages() {
  if (m_pagesLeft > 0) return true;
  m_pagesLeft = m_feederCount;
  return false;
}

bool CDSImageSource::AcquireImage() {
  UnloadBitmap();
  // A count reloaded from the feeder may exceed the pages fetched.
  if (m_pagesLeft < 1 || static_cast<size_t>(m_pagesLeft) > m_pages.size()) return false;
  const cv::Mat& page = m_pages[m_pagesLeft - 1];
  if (page.empty() || page.type() != CV_8UC3) return false;
  m_currentPage = page;
  m_bitmap = FreeImage_Allocate(page.cols, page.rows, 24);
  if (!m_bitmap) {
    std::cout << "ds: Failed - could not acquire image" << std::endl;
    return false;
  }
  for (int i = 0; i < page.rows; ++i)
    std::memcpy(FreeImage_GetScanLine(m_bitmap, page.rows - 1 - i), page.ptr(i),
                static_cast<size_t>(page.cols) * 3);
  --m_pagesLeft;
  return PrepareImage();
}

bool CDSImageSource::PrepareImage() {
  if (!m_bitmap) return false;
  if (FreeImage_GetBPP(m_bitmap) < 24) {
    FIBITMAP* converted = FreeImage_ConvertTo24Bits(m_bitmap);
    if (!converted) return false;
    UnloadBitmap();
    m_bitmap = converted;
  }
  m_bitmapWidth = FreeImage_GetWidth(m_bitmap);
  m_bitmapHeight = FreeImage_GetHeight(m_bitmap);
  m_params.width = static_cast<int32_t>(m_bitmapWidth);
  m_params.height = static_cast<int32_t>(m_bitmapHeight);
  FIBITMAP* converted = nullptr;
  int bits = 24;
  switch (static_cast<TW_UINT16>(m_params.pixelType)) {
    case TWPT_RGB: break;
    case TWPT_BW: {
      std::cout << "ds: converting to TWPT_BW..." << std::endl;
      const int threshold = static_cast<int>(m_params.threshold);
      converted = FreeImage_Threshold(m_bitmap, static_cast<BYTE>(((threshold % 256) + 256) % 256));
      if (!m_currentPage.empty()) {
        cv::Mat grey;
        cv::cvtColor(m_currentPage, grey, cv::COLOR_RGB2GRAY);
        cv::threshold(grey, m_currentPage, m_params.threshold, 255, cv::THRESH_BINARY);
      }
      bits = 1;
      if (!converted) return false;
      break;
    }
    case TWPT_GRAY: {
      std::cout << "ds: converting to TWPT_GRAY..." << std::endl;
      converted = FreeImage_ConvertTo8Bits(m_bitmap);
      if (!m_currentPage.empty()) {
        cv::Mat grey;
        cv::cvtColor(m_currentPage, grey, cv::COLOR_RGB2GRAY);
        m_currentPage = grey;
      }
      bits = 8;
      if (!converted) return false;
      break;
    }
    default: return false;
  }
  if (converted) {
    UnloadBitmap();
    m_bitmap = converted;
  }
  m_bytesPerRow = (m_bitmapWidth * static_cast<TW_UINT32>(bits) + 7) / 8;
  m_rowsRead = 0;
  return true;
}

bool CDSImageSource::GetScanStrip(void* buffer, TW_UINT32 length, TW_UINT32* written) {
  *written = 0;
  if (!buffer || m_bytesPerRow == 0 || length < m_bytesPerRow) return false;
  auto* out = static_cast<uint8_t*>(buffer);
  const TW_UINT32 fit = length / m_bytesPerRow;
  const TW_UINT32 height = static_cast<TW_UINT32>(std::max(0, m_params.height));
  const TW_UINT32 lastRow = std::min(m_bitmapHeight, height);
  TW_UINT32 copied = 0;
  while (m_bitmap && m_rowsRead < lastRow && copied < fit) {
    const BYTE* line = FreeImage_GetScanLine(m_bitmap, m_bitmapHeight - m_rowsRead - 1);
    const TW_UINT32 bytes = std::min(m_bytesPerRow, FreeImage_GetLine(m_bitmap));
    std::memcpy(out, line, bytes);
    std::memset(out + bytes, 0, m_bytesPerRow - bytes);
    out += m_bytesPerRow;
    ++m_rowsRead;
    ++copied;
    *written += m_bytesPerRow;
  }
  while (m_rowsRead < height && copied < fit) {
    std::memset(out, 0, m_bytesPerRow);
    out += m_bytesPerRow;
    ++m_rowsRead;
    ++copied;
    *written += m_bytesPerRow;
  }
  return true;
}
