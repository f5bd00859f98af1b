#include "tests/twain/TransferHost.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>

#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "tests/support/TestEnv.h"
#include "tests/twain/CapabilityRecords.h"
#include "twain/DSMBinding.h"

namespace twaintest {

void TransferHost::SetUp() { ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS); }

void TransferHost::TearDown() {
  TW_PENDINGXFERS pending{};
  Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
  TW_USERINTERFACE ui{};
  Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
  EXPECT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  SetDSMEntryPoints(nullptr);
}

TW_UINT16 TransferHost::SetCap(TW_UINT16 cap, TW_HANDLE block) {
  TW_CAPABILITY record{cap, TWON_ONEVALUE, block};
  const TW_UINT16 rc = Send(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &record);
  FreeDSMMemory(block);
  return rc;
}

TW_UINT16 TransferHost::SetUInt16(TW_UINT16 cap, TW_UINT16 value) {
  return SetCap(cap, OneValue(TWTY_UINT16, value));
}

TW_UINT16 TransferHost::SetResolution(float dpi) {
  const TW_UINT16 x = SetCap(ICAP_XRESOLUTION, OneValueFix32(dpi));
  const TW_UINT16 y = SetCap(ICAP_YRESOLUTION, OneValueFix32(dpi));
  return x != TWRC_SUCCESS ? x : y;
}

TW_UINT16 TransferHost::EnableWith(std::vector<cv::Mat> pages) {
  Script().pages = std::move(pages);
  TW_USERINTERFACE ui{0, 0, nullptr};
  return Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

TW_UINT16 TransferHost::EnableUnattended() {
  manager.TakeNotifications();
  TW_USERINTERFACE ui{0, 0, nullptr};
  const TW_UINT16 rc = Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
  if (rc != TWRC_SUCCESS) return rc;
  return manager.WaitForNotification(MSG_XFERREADY, vqtest::kPatience) ? TWRC_SUCCESS : TWRC_FAILURE;
}

std::vector<uint8_t> TransferHost::RowsOfDib(const std::vector<uint8_t>& dib) {
  int32_t width = 0, height = 0;
  uint16_t bits = 0;
  uint32_t colours = 0;
  std::memcpy(&width, dib.data() + 4, 4);
  std::memcpy(&height, dib.data() + 8, 4);
  std::memcpy(&bits, dib.data() + 14, 2);
  std::memcpy(&colours, dib.data() + 32, 4);
  const size_t rowBytes = (static_cast<size_t>(bits) * width + 7) / 8;
  const size_t padded = (static_cast<size_t>(bits) * width + 31) / 32 * 4;
  const uint8_t* pixels = dib.data() + 40 + 4 * colours;
  std::vector<uint8_t> rows;
  for (int32_t y = height - 1; y >= 0; --y) {
    const uint8_t* row = pixels + y * padded;
    rows.insert(rows.end(), row, row + rowBytes);
    if (bits == 24)
      for (size_t x = rows.size() - rowBytes; x < rows.size(); x += 3) std::swap(rows[x], rows[x + 2]);
  }
  return rows;
}

TW_UINT16 TransferHost::EndXfer(TW_UINT16* count) {
  TW_PENDINGXFERS pending{};
  const TW_UINT16 rc = Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
  *count = pending.Count;
  return rc;
}

TW_IMAGEINFO TransferHost::ImageInfo() {
  TW_IMAGEINFO info{};
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
  return info;
}

TW_UINT16 TransferHost::Native(std::vector<uint8_t>* dib) {
  TW_HANDLE handle = nullptr;
  const TW_UINT16 rc = Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
  dib->clear();
  if (rc != TWRC_XFERDONE) {
    EXPECT_EQ(handle, nullptr);
    return rc;
  }
  const auto* p = static_cast<const uint8_t*>(LockDSMMemory(handle));
  uint32_t imageBytes = 0, colours = 0;
  std::memcpy(&imageBytes, p + 20, 4);
  std::memcpy(&colours, p + 32, 4);
  dib->assign(p, p + 40 + 4 * colours + imageBytes);
  UnlockDSMMemory(handle);
  FreeDSMMemory(handle);
  return rc;
}

TW_UINT16 TransferHost::Memory(uint32_t bufferRows, bool handles, std::vector<uint8_t>* rows,
                               std::vector<TW_UINT32>* yOffsets, int strips) {
  TW_SETUPMEMXFER sizes{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
  const TW_UINT32 hostRow = sizes.MinBufSize;
  const TW_IMAGEINFO info = ImageInfo();
  const size_t rowBytes = (static_cast<size_t>(info.BitsPerPixel) * info.ImageWidth + 7) / 8;
  const TW_UINT32 length = hostRow * bufferRows;
  rows->clear();
  TW_UINT16 rc = TWRC_FAILURE;
  for (int strip = 0; strip < strips; ++strip) {
    std::vector<uint8_t> own(length, 0xEE);
    TW_HANDLE block = handles ? AllocDSMMemory(length) : nullptr;
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory.Flags = handles ? TWMF_HANDLE | TWMF_APPOWNS : TWMF_POINTER | TWMF_APPOWNS;
    xfer.Memory.Length = length;
    xfer.Memory.TheMem = handles ? block : own.data();
    rc = Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
    const uint8_t* data = handles ? static_cast<const uint8_t*>(LockDSMMemory(block)) : own.data();
    if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
      EXPECT_EQ(+xfer.BytesPerRow, hostRow);
      EXPECT_EQ(+xfer.BytesWritten, hostRow * xfer.Rows);
      EXPECT_EQ(+xfer.Columns, static_cast<TW_UINT32>(info.ImageWidth));
      if (yOffsets) yOffsets->push_back(+xfer.YOffset);
      const TW_UINT32 stripRows = xfer.Rows;
      for (TW_UINT32 r = 0; r < stripRows; ++r)
        rows->insert(rows->end(), data + r * hostRow, data + r * hostRow + rowBytes);
    }
    if (handles) {
      UnlockDSMMemory(block);
      FreeDSMMemory(block);
    }
    if (rc != TWRC_SUCCESS) return rc;
  }
  return rc;
}

void UsePatternCamera() {
  const std::filesystem::path pictures = vqtest::TempPath("相机");
  std::filesystem::create_directories(pictures);
  ASSERT_TRUE(cv::imwrite((pictures / "page.png").string(), ColourPattern(320, 240)));
  setenv("VQ_VIRTUAL_CAMERA", ("vid=2E1A,pid=0101,sizes=320x240,folder=" + pictures.string()).c_str(), 1);
  const std::string settings = vq::WideToUtf8(vq::MachineDataFolder());
  std::filesystem::create_directories(settings);
  std::ofstream(settings + "/TwainPara0101.ini")
      << "[IMAGE]\nResolutionWidth=320\nResolutionHeight=240\n[Camera]\nRotateAngle=0\n";
}

cv::Mat GreyRamp(int width, int height) {
  cv::Mat page(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto level = static_cast<uint8_t>((x * 7 + y * 3) % 256);
      page.at<cv::Vec3b>(y, x) = cv::Vec3b(level, level, level);
    }
  return page;
}

cv::Mat ColourPattern(int width, int height) {
  cv::Mat page(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      page.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uint8_t>(x * 5), static_cast<uint8_t>(y * 3),
                                           static_cast<uint8_t>(x + 2 * y + 1));
  return page;
}

std::vector<uint8_t> ExpectedRows(const cv::Mat& page, int bitsPerPixel, int threshold,
                                  bool redFirst) {
  const size_t rowBytes = (static_cast<size_t>(bitsPerPixel) * page.cols + 7) / 8;
  std::vector<uint8_t> rows(rowBytes * page.rows, 0);
  for (int y = 0; y < page.rows; ++y) {
    uint8_t* row = rows.data() + y * rowBytes;
    for (int x = 0; x < page.cols; ++x) {
      const cv::Vec3b bgr = page.at<cv::Vec3b>(y, x);
      if (bitsPerPixel == 1) {
        if (bgr[0] >= threshold) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      } else if (bitsPerPixel == 8) {
        row[x] = bgr[0];
      } else {
        row[3 * x] = redFirst ? bgr[2] : bgr[0];
        row[3 * x + 1] = bgr[1];
        row[3 * x + 2] = redFirst ? bgr[0] : bgr[2];
      }
    }
  }
  return rows;
}

namespace {
void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}
}  // namespace

std::vector<uint8_t> ExpectedDib(const cv::Mat& page, int bitsPerPixel, int threshold,
                                 int32_t pelsPerMetre) {
  const std::vector<uint8_t> rows = ExpectedRows(page, bitsPerPixel, threshold, false);
  const size_t rowBytes = rows.size() / page.rows;
  const size_t padded = (rowBytes + 3) / 4 * 4;
  const uint32_t colours = bitsPerPixel == 1 ? 2 : bitsPerPixel == 8 ? 256 : 0;
  std::vector<uint8_t> dib;
  Put(dib, 40, 4);
  Put(dib, static_cast<uint32_t>(page.cols), 4);
  Put(dib, static_cast<uint32_t>(page.rows), 4);
  Put(dib, 1, 2);
  Put(dib, static_cast<uint32_t>(bitsPerPixel), 2);
  Put(dib, 0, 4);
  Put(dib, static_cast<uint32_t>(padded * page.rows), 4);
  Put(dib, static_cast<uint32_t>(pelsPerMetre), 4);
  Put(dib, static_cast<uint32_t>(pelsPerMetre), 4);
  Put(dib, colours, 4);
  Put(dib, colours, 4);
  for (uint32_t i = 0; i < colours; ++i) {
    const uint8_t level = colours == 2 ? static_cast<uint8_t>(i ? 255 : 0) : static_cast<uint8_t>(i);
    dib.insert(dib.end(), {level, level, level, 0});
  }
  for (int y = page.rows - 1; y >= 0; --y) {
    dib.insert(dib.end(), rows.begin() + y * rowBytes, rows.begin() + (y + 1) * rowBytes);
    dib.insert(dib.end(), padded - rowBytes, 0);
  }
  return dib;
}

}  // namespace twaintest
