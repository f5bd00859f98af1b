#include "twain/DSImageSource.h"

#include <FreeImage.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <opencv2/imgproc.hpp>

#include "platform/win/Singletons.h"
#include "twain/PageGrey.h"
#include "twain/TWAIN_UI.h"

namespace {

// The host's standard output is its own: the image library's messages go to
// the standard error stream.
void FreeImageMessageHandler(FREE_IMAGE_FORMAT format, const char* message) {
  const char* name = FreeImage_GetFormatFromFIF(format);
  std::cerr << "\n*** " << (name ? name : "Unknown") << " Format" << std::endl;
  std::cerr << message << " ***" << std::endl;
}

// The image library's handler is process-wide and cannot be read back: it
// is dropped when the library carrying the source is unloaded, so that a
// host keeping the image library loaded never calls into unmapped code.
struct MessageHandler {
  MessageHandler() { FreeImage_SetOutputMessage(FreeImageMessageHandler); }
  ~MessageHandler() { FreeImage_SetOutputMessage(nullptr); }
};

// An 8-bit bitmap of a grey matrix, with the grey palette.
FIBITMAP* GreyBitmap(const cv::Mat& grey) {
  FIBITMAP* bitmap = FreeImage_Allocate(grey.cols, grey.rows, 8);
  if (!bitmap) return nullptr;
  RGBQUAD* palette = FreeImage_GetPalette(bitmap);
  for (int i = 0; i < 256; ++i)
    palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
  for (int row = 0; row < grey.rows; ++row)
    std::memcpy(FreeImage_GetScanLine(bitmap, grey.rows - 1 - row), grey.ptr(row), static_cast<size_t>(grey.cols));
  return bitmap;
}

}  // namespace

CDSImageSource::CDSImageSource() {
  FreeImage_Initialise(FALSE);
  static MessageHandler* handler = vqplatform::MakeSingleton<MessageHandler>();
  (void)handler;
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
    std::cerr << "ds: Failed - could not acquire image" << std::endl;
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
    case TWPT_BW:
    case TWPT_GRAY: {
      // Every transfer takes the one grey of the page: the rows of the
      // native and memory transfers and the file transfer's matrix alike.
      if (m_currentPage.empty()) return false;
      const cv::Mat grey = GreyOfPage(m_currentPage);
      converted = GreyBitmap(grey);
      if (!converted) return false;
      if (m_params.pixelType == TWPT_GRAY) {
        m_currentPage = grey;
        bits = 8;
        break;
      }
      // Levels from the threshold on are white, in both.
      const int threshold = static_cast<int>(m_params.threshold);
      const int level = ((threshold % 256) + 256) % 256;
      FIBITMAP* bilevel = FreeImage_Threshold(converted, static_cast<BYTE>(level));
      FreeImage_Unload(converted);
      converted = bilevel;
      if (!converted) return false;
      cv::compare(grey, level, m_currentPage, cv::CMP_GE);
      bits = 1;
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
