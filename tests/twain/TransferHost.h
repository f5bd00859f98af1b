#pragma once
// A host that opens the source through DS_Entry and the test manager, sets
// capabilities, enables without a window and fetches pages; and the pictures
// it expects, built here independently of the source.
#include <gtest/gtest.h>

#include <cstdint>
#include <opencv2/core.hpp>
#include <vector>

#include "tests/twain/TestBridge.h"
#include "tests/twain/TestManager.h"
#include "twain/DSEntry.h"

namespace twaintest {

class TransferHost : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TW_UINT16 Send(TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF data) {
    return manager.Send(host, DG, DAT, MSG, data);
  }
  TW_UINT16 Status() { return manager.Status(host); }
  // MSG_SET of a one-value (the block is freed).
  TW_UINT16 SetCap(TW_UINT16 cap, TW_HANDLE block);
  TW_UINT16 SetUInt16(TW_UINT16 cap, TW_UINT16 value);
  TW_UINT16 SetResolution(float dpi);
  // The window's pages, then MSG_ENABLEDS without a window: state 6.
  TW_UINT16 EnableWith(std::vector<cv::Mat> pages);
  TW_UINT16 EndXfer(TW_UINT16* count);
  TW_IMAGEINFO ImageInfo();
  // A native transfer's DIB copied out of its block (which is freed).
  TW_UINT16 Native(std::vector<uint8_t>* dib);
  // Memory transfers of bufferRows host rows each until the page is done,
  // or `strips` of them; the unpadded rows concatenated.
  TW_UINT16 Memory(uint32_t bufferRows, bool handles, std::vector<uint8_t>* rows,
                   std::vector<TW_UINT32>* yOffsets = nullptr, int strips = 100000);

  TestBridgeScope bridge;
  TestManager manager{&DS_Entry};
  TestHost host{3};
};

// Grey levels repeat along rows and columns, equal in blue, green and red.
cv::Mat GreyRamp(int width, int height);
// Blue, green and red vary independently.
cv::Mat ColourPattern(int width, int height);

// The rows a host expects, top row first, unpadded: 1-bit (levels from the
// threshold up are white, leftmost pixel in the high bit), 8-bit grey (of a
// page whose channels are equal) or 24-bit in the order given.
std::vector<uint8_t> ExpectedRows(const cv::Mat& page, int bitsPerPixel, int threshold,
                                  bool redFirst);
// A bottom-up DIB of those rows with its header and palette.
std::vector<uint8_t> ExpectedDib(const cv::Mat& page, int bitsPerPixel, int threshold,
                                 int32_t pelsPerMetre);

}  // namespace twaintest
