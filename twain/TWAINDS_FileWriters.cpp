// The base's file transfer and its two writers of the transfer buffer: a BMP
// file of the DIB and an uncompressed TIFF file.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/win/WinTypes.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAINDS_Base.h"
#include "twain/TiffWriter.h"
#include "twain/TransferLayout.h"

TW_INT16 CTWAINDS_Base::WriteBmpFile() {
  const std::string path = CurrentFileName();
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return Fail(TWCC_FILEWRITEERROR);
  TW_HANDLE block = nullptr;
  const auto failed = [&](TW_UINT16 condition) {
    file.close();
    if (block) FreeDSMMemory(block);
    std::remove(path.c_str());
    return Fail(condition);
  };
  if (BuildDIB(&block) != 0) return failed(TWCC_LOWMEMORY);
  const auto* dib = static_cast<const uint8_t*>(LockDSMMemory(block));
  if (!dib) return failed(TWCC_LOWMEMORY);
  BITMAPINFOHEADER info;
  std::memcpy(&info, dib, sizeof info);
  const uint64_t dibBytes = uint64_t{info.biSizeImage} + 4 * uint64_t{info.biClrUsed} + 40;
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfSize = static_cast<DWORD>(dibBytes + 14);
  header.bfOffBits = static_cast<DWORD>(54 + 4 * uint64_t{info.biClrUsed});
  file.write(reinterpret_cast<const char*>(&header), sizeof header);
  file.write(reinterpret_cast<const char*>(dib), static_cast<std::streamsize>(dibBytes));
  UnlockDSMMemory(block);
  file.close();
  if (!file) return failed(TWCC_FILEWRITEERROR);
  FreeDSMMemory(block);
  return TWRC_XFERDONE;
}

TW_INT16 CTWAINDS_Base::WriteTiffFile() {
  if (!TransferBufferHoldsImage()) return Fail(TWCC_BADVALUE);
  const int bits = m_imageInfo.BitsPerPixel;
  const TW_INT32 width = m_imageInfo.ImageWidth;
  const TW_INT32 height = m_imageInfo.ImageLength;
  const uint64_t rowBytes = ImageRowBytes();
  const std::string path = CurrentFileName();
  TW_UINT16 condition = TWCC_SUCCESS;
  {
    CTiffWriter writer(path, static_cast<uint32_t>(width), static_cast<uint32_t>(height), bits,
                       static_cast<uint32_t>(rowBytes));
    const TW_FIX32 x = m_imageInfo.XResolution;
    const TW_FIX32 y = m_imageInfo.YResolution;
    writer.SetXResolution(static_cast<uint32_t>(std::max<TW_INT16>(0, x.Whole)), 1);
    writer.SetYResolution(static_cast<uint32_t>(std::max<TW_INT16>(0, y.Whole)), 1);
    writer.WriteHeader();
    const auto* buffer = static_cast<const uint8_t*>(LockDSMMemory(m_transferBuffer));
    if (!buffer) {
      condition = TWCC_BADVALUE;
    } else {
      if (bits == 24) {
        std::vector<uint8_t> row(rowBytes);
        for (TW_INT32 i = 0; i < height && condition == TWCC_SUCCESS; ++i) {
          CopySwappingRedBlue(row.data(), buffer + static_cast<uint64_t>(i) * rowBytes,
                              static_cast<uint64_t>(width));
          if (!writer.WriteData(reinterpret_cast<const char*>(row.data()),
                                static_cast<int>(rowBytes)))
            condition = TWCC_FILEWRITEERROR;
        }
      } else if (!writer.WriteData(reinterpret_cast<const char*>(buffer),
                                   static_cast<int>(rowBytes * static_cast<uint64_t>(height)))) {
        condition = TWCC_FILEWRITEERROR;
      }
      UnlockDSMMemory(m_transferBuffer);
    }
  }
  if (condition != TWCC_SUCCESS) {
    std::remove(path.c_str());
    return Fail(condition);
  }
  return TWRC_XFERDONE;
}

// Sources that keep this file transfer write the transfer buffer as it is:
// uncompressed TIFF or BMP.
TW_INT16 CTWAINDS_Base::TransferFile() {
  if (m_state != 6) return Fail(TWCC_SEQERROR);
  if (AcquireImage() != TWRC_SUCCESS) return Fail(TWCC_BADVALUE);
  auto* formats = FindContainerOf<CTWAINContainerInt>(ICAP_IMAGEFILEFORMAT);
  int format = 0;
  if (!formats || !formats->GetCurrent(&format)) return Fail(TWCC_BADPROTOCOL);
  TW_INT16 result = TWRC_FAILURE;
  switch (format) {
    case TWFF_TIFF: result = WriteTiffFile(); break;
    case TWFF_BMP: result = WriteBmpFile(); break;
    default: return Fail(TWCC_BADVALUE);
  }
  if (result == TWRC_XFERDONE) m_state = 7;
  return result;
}
