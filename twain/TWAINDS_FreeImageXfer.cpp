// The camera source's acquisition of a page into the transfer buffer and its
// file transfer.
#include <algorithm>
#include <cstdio>
#include <opencv2/imgproc.hpp>

#include "base/PathEncoding.h"
#include "imaging/G4TiffDocument.h"
#include "imaging/ImageFiles.h"
#include "twain/DSMBinding.h"
#include "twain/PageGrey.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAINDS_FreeImage.h"
#include "twain/TiffWriter.h"
#include "twain/TransferLayout.h"

namespace {

constexpr uint64_t kStripBytes = 64000;

int WholeDpi(TW_FIX32 resolution) { return std::max<int>(0, resolution.Whole); }

}  // namespace

TW_INT16 CTWAINDS_FreeImage::AcquireImage() {
  if (m_cancelRequested) {
    m_cancelRequested = false;
    return TWRC_CANCEL;
  }
  if (m_state != 6) return Fail(TWCC_SEQERROR);
  m_rowsSent = 0;
  if (m_pageAcquired) return TWRC_SUCCESS;
  const TW_INT32 width = m_imageInfo.ImageWidth;
  const TW_INT32 height = m_imageInfo.ImageLength;
  if (width < 1 || height < 1) return Fail(TWCC_CAPUNSUPPORTED);
  const uint64_t rowBytes = ImageRowBytes();
  const uint64_t total = rowBytes * static_cast<uint64_t>(height);
  ReleaseTransferBuffer();
  if (total > kMaxTransferBytes) return Fail(TWCC_LOWMEMORY);
  // The source's own: a transfer in progress as the host ends is freed
  // without the manager.
  m_transferBuffer = AllocLocalMemory(static_cast<TW_UINT32>(total));
  if (!m_transferBuffer) return Fail(TWCC_LOWMEMORY);
  m_transferBytes = total;
  auto* buffer = static_cast<uint8_t*>(LockDSMMemory(m_transferBuffer));
  if (!buffer) {
    ReleaseTransferBuffer();
    return Fail(TWCC_LOWMEMORY);
  }
  // Strips of whole rows, at least one row even when a row exceeds a strip.
  const uint64_t stripRows = std::max<uint64_t>(1, kStripBytes / rowBytes);
  uint64_t remaining = total;
  uint8_t* position = buffer;
  while (remaining > 0) {
    const uint64_t strip = std::min(remaining, stripRows * rowBytes);
    TW_UINT32 written = 0;
    if (!m_imageSource.GetScanStrip(position, static_cast<TW_UINT32>(strip), &written) ||
        written == 0 || written % rowBytes != 0 || written > remaining)
      break;
    position += written;
    remaining -= written;
  }
  UnlockDSMMemory(m_transferBuffer);
  // A page that could not be read out whole is not delivered.
  if (remaining != 0) {
    ReleaseTransferBuffer();
    return Fail(TWCC_BUMMER);
  }
  m_pageAcquired = true;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::TransferFile() {
  if (m_state != 6) return Fail(TWCC_SEQERROR);
  if (AcquireImage() != TWRC_SUCCESS) return Fail(TWCC_BADVALUE);
  auto* formats = FindContainerOf<CTWAINContainerInt>(ICAP_IMAGEFILEFORMAT);
  int format = 0;
  if (!formats || !formats->GetCurrent(&format)) return Fail(TWCC_BADPROTOCOL);
  auto* qualities = FindContainerOf<CTWAINContainerInt>(ICAP_JPEGQUALITY);
  int quality = 30;
  if (!qualities || !qualities->GetCurrent(&quality) || quality < 1 || quality > 100) quality = 30;
  const TW_INT16 result = WriteTransferFile(format, quality);
  if (result == TWRC_XFERDONE) m_state = 7;
  return result;
}

TW_INT16 CTWAINDS_FreeImage::WriteTransferFile(int format, int quality) {
  if (format == TWFF_BMP) return WriteBmpFile();
  if (format != TWFF_TIFF && format != TWFF_JFIF) return Fail(TWCC_BADVALUE);
  cv::Mat page = m_imageSource.GetCurrentImage();
  if (page.empty()) return Fail(TWCC_BUMMER);
  const std::string path = CurrentFileName();
  const std::wstring widePath = vq::PathFromBytes(path);
  const int xDpi = WholeDpi(m_imageInfo.XResolution);
  const int yDpi = WholeDpi(m_imageInfo.YResolution);
  const TW_UINT16 pixelType = m_imageInfo.PixelType;
  bool written = false;
  try {
    if (format == TWFF_TIFF && pixelType == TWPT_BW) {
      CG4TiffDocument document;
      document.SetFileName(widePath.c_str());
      document.SetResolution(xDpi, yDpi);
      written = document.AddPage(page) == CG4TiffDocument::ADD_WRITTEN;
    } else {
      if (pixelType != TWPT_RGB) page = GreyOfPage(page);
      if (format == TWFF_TIFF)
        written = WriteUncompressedTiff(path, page, static_cast<uint32_t>(xDpi),
                                        static_cast<uint32_t>(yDpi));
      else
        written = SaveJpeg(widePath.c_str(), page, nullptr, static_cast<short>(xDpi),
                           static_cast<short>(yDpi), quality);
    }
  } catch (const cv::Exception&) {
    written = false;
  }
  if (!written) return Fail(TWCC_FILEWRITEERROR);
  return TWRC_XFERDONE;
}
