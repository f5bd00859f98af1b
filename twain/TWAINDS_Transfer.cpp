// The base's native and memory transfers: the transfer buffer handed to the
// host as a DIB or copied strip by strip into the host's buffers.
#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/win/WinTypes.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAINDS_Base.h"
#include "twain/TransferLayout.h"

namespace {

// Keeps a manager block locked for a scope.
class BlockLock {
 public:
  explicit BlockLock(TW_HANDLE handle)
      : m_handle(handle), m_data(handle ? static_cast<uint8_t*>(LockDSMMemory(handle)) : nullptr) {}
  ~BlockLock() {
    if (m_data) UnlockDSMMemory(m_handle);
  }
  BlockLock(const BlockLock&) = delete;
  BlockLock& operator=(const BlockLock&) = delete;
  uint8_t* get() const { return m_data; }

 private:
  TW_HANDLE m_handle;
  uint8_t* m_data;
};

LONG PelsPerMetre(TW_FIX32 resolution) {
  constexpr float kInchesPerMetre = 39.37f;
  return static_cast<LONG>(static_cast<double>(Fix32ToFloat(&resolution)) *
                               static_cast<double>(kInchesPerMetre) +
                           0.5);
}

}  // namespace

void CTWAINDS_Base::ReleaseTransferBuffer() {
  if (m_transferBuffer) FreeDSMMemory(m_transferBuffer);
  m_transferBuffer = nullptr;
  m_transferBytes = 0;
  m_pageAcquired = false;
}

void CTWAINDS_Base::StartPageAgain() {
  m_rowsSent = 0;
  ReleaseTransferBuffer();
}

uint64_t CTWAINDS_Base::ImageRowBytes() const {
  return CompactRowBytes(static_cast<uint64_t>(m_imageInfo.BitsPerPixel),
                         static_cast<uint64_t>(m_imageInfo.ImageWidth));
}

bool CTWAINDS_Base::TransferBufferHoldsImage() const {
  const TW_INT32 width = m_imageInfo.ImageWidth;
  const TW_INT32 height = m_imageInfo.ImageLength;
  if (!m_transferBuffer || width < 1 || height < 1) return false;
  return ImageRowBytes() * static_cast<uint64_t>(height) <= m_transferBytes;
}

bool CTWAINDS_Base::BitOrderIsLsbFirst(bool unreadable) {
  auto* order = FindContainerOf<CTWAINContainerInt>(ICAP_BITORDER);
  int value = 0;
  if (!order || !order->GetCurrent(&value)) return unreadable;
  return value == TWBO_LSBFIRST;
}

std::string CTWAINDS_Base::CurrentFileName() const {
  return std::string(m_currentFileName, strnlen(m_currentFileName, sizeof m_currentFileName));
}

TW_INT16 CTWAINDS_Base::TransferNative(TW_HANDLE* image) {
  if (m_state != 6) return Fail(TWCC_SEQERROR);
  if (!image) return Fail(TWCC_BADVALUE);
  const TW_INT16 acquired = AcquireImage();
  if (acquired != TWRC_SUCCESS) return acquired;
  if (BuildDIB(image) != 0) return TWRC_FAILURE;
  m_state = 7;
  return TWRC_XFERDONE;
}

TW_INT16 CTWAINDS_Base::BuildDIB(TW_HANDLE* out) {
  if (!out || !TransferBufferHoldsImage()) {
    m_conditionCode = TWCC_BADVALUE;
    return 1;
  }
  *out = nullptr;
  const uint64_t bits = m_imageInfo.BitsPerPixel;
  const uint64_t width = static_cast<uint64_t>(m_imageInfo.ImageWidth);
  const uint64_t height = static_cast<uint64_t>(m_imageInfo.ImageLength);
  const uint64_t sourceRow = ImageRowBytes();
  const uint64_t dibRow = AlignedRowBytes(bits, width);
  const uint32_t palette = PaletteEntries(bits);
  const uint64_t blockSize = DibBytes(bits, width, height);
  if (blockSize > kMaxTransferBytes) {
    m_conditionCode = TWCC_LOWMEMORY;
    return 1;
  }
  BlockLock source(m_transferBuffer);
  if (!source.get()) {
    m_conditionCode = TWCC_BADVALUE;
    return 1;
  }
  TW_HANDLE block = AllocDSMMemory(static_cast<TW_UINT32>(blockSize));
  if (!block) {
    m_conditionCode = TWCC_LOWMEMORY;
    return 1;
  }
  auto* dib = static_cast<uint8_t*>(LockDSMMemory(block));
  if (!dib) {
    FreeDSMMemory(block);
    m_conditionCode = TWCC_LOWMEMORY;
    return 1;
  }
  BITMAPINFOHEADER header{};
  header.biSize = 40;
  header.biWidth = static_cast<LONG>(width);
  header.biHeight = static_cast<LONG>(height);
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(bits);
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(dibRow * height);
  header.biXPelsPerMeter = PelsPerMetre(m_imageInfo.XResolution);
  header.biYPelsPerMeter = PelsPerMetre(m_imageInfo.YResolution);
  header.biClrUsed = palette;
  header.biClrImportant = palette;
  std::memcpy(dib, &header, sizeof header);
  uint8_t* colours = dib + sizeof header;
  for (uint32_t i = 0; i < palette; ++i) {
    const uint8_t level = palette == 2 ? static_cast<uint8_t>(i * 255) : static_cast<uint8_t>(i);
    const RGBQUAD entry{level, level, level, 0};
    std::memcpy(colours + 4 * i, &entry, 4);
  }
  uint8_t* pixels = colours + 4 * palette;
  const bool swap = m_imageInfo.PixelType == TWPT_RGB && !BitOrderIsLsbFirst(true);
  for (uint64_t j = 0; j < height; ++j) {
    const uint8_t* from = source.get() + (height - 1 - j) * sourceRow;
    uint8_t* to = pixels + j * dibRow;
    if (swap)
      CopySwappingRedBlue(to, from, width);
    else
      std::memcpy(to, from, sourceRow);
  }
  UnlockDSMMemory(block);
  *out = block;
  return 0;
}

TW_INT16 CTWAINDS_Base::TransferMemory(TW_IMAGEMEMXFER* xfer) {
  if (!InState(6, 7)) return Fail(TWCC_SEQERROR);
  if (!xfer) return Fail(TWCC_BADVALUE);
  const TW_INT32 imageWidth = m_imageInfo.ImageWidth;
  const TW_INT32 imageLength = m_imageInfo.ImageLength;
  const uint64_t width = static_cast<uint64_t>(std::max(0, imageWidth));
  const uint64_t height = static_cast<uint64_t>(std::max(0, imageLength));
  const uint64_t hostRow = AlignedRowBytes(static_cast<uint64_t>(m_imageInfo.BitsPerPixel), width);
  const uint64_t sourceRow = ImageRowBytes();
  TW_MEMORY memory;
  std::memcpy(&memory, &xfer->Memory, sizeof memory);
  if (hostRow == 0 || memory.Length < hostRow) return Fail(TWCC_BADVALUE);
  // The host's buffer is checked first, so that a refused call leaves the
  // page to the next one.
  uint8_t* destination = nullptr;
  std::unique_ptr<BlockLock> hostLock;
  if (memory.Flags & TWMF_POINTER) {
    destination = static_cast<uint8_t*>(memory.TheMem);
  } else if (memory.Flags & TWMF_HANDLE) {
    hostLock = std::make_unique<BlockLock>(static_cast<TW_HANDLE>(memory.TheMem));
    destination = hostLock->get();
  }
  if (!destination) return Fail(TWCC_BADVALUE);
  if (m_rowsSent == 0) {
    const TW_INT16 acquired = AcquireImage();
    if (acquired != TWRC_SUCCESS) return acquired;
  }
  if (!TransferBufferHoldsImage() || m_rowsSent >= height) return Fail(TWCC_BADVALUE);
  BlockLock source(m_transferBuffer);
  if (!source.get()) return Fail(TWCC_BADVALUE);
  m_state = 7;
  const uint64_t rows = std::min<uint64_t>(memory.Length / hostRow, height - m_rowsSent);
  const bool swap = m_imageInfo.PixelType == TWPT_RGB && BitOrderIsLsbFirst(true);
  for (uint64_t i = 0; i < rows; ++i) {
    const uint8_t* from = source.get() + (m_rowsSent + i) * sourceRow;
    uint8_t* to = destination + i * hostRow;
    if (swap)
      CopySwappingRedBlue(to, from, width);
    else
      std::memcpy(to, from, sourceRow);
  }
  xfer->Compression = m_imageInfo.Compression;
  xfer->BytesPerRow = static_cast<TW_UINT32>(hostRow);
  xfer->Columns = static_cast<TW_UINT32>(width);
  xfer->Rows = static_cast<TW_UINT32>(rows);
  xfer->XOffset = 0;
  xfer->YOffset = m_rowsSent;
  xfer->BytesWritten = static_cast<TW_UINT32>(hostRow * rows);
  m_rowsSent += static_cast<TW_UINT32>(rows);
  if (m_rowsSent >= height) {
    m_rowsSent = 0;
    return TWRC_XFERDONE;
  }
  return TWRC_SUCCESS;
}
