#pragma once
// A host that opens the source through the test manager, sets capabilities,
// enables without a window and fetches pages: the source linked into the
// test (DS_Entry, its pages given through the test bridge), or the built
// library capturing on the virtual camera. And the pictures it expects,
// built here independently of the source.
#include <gtest/gtest.h>

#include <cstdint>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "tests/twain/TestBridge.h"
#include "tests/twain/TestManager.h"
#include "twain/DSEntry.h"

namespace twaintest {

class TransferHost : public ::testing::Test {
 protected:
  TransferHost() : manager(&DS_Entry) {}
  explicit TransferHost(const char* library) : manager(std::string(library)) {}
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

  // The built library's enable without a window: it captures a page and
  // announces it; back once the host has been told (state 6).
  TW_UINT16 EnableUnattended();
  // The rows of a native transfer's DIB as a memory transfer gives them:
  // top row first, unpadded, red first.
  static std::vector<uint8_t> RowsOfDib(const std::vector<uint8_t>& dib);

  TestBridgeScope bridge;
  TestManager manager;
  TestHost host{3};
};

// The document camera for the built library: the virtual camera of model A
// at 320 x 240 whose only picture is ColourPattern, and the settings file
// that captures at that size, unrotated.
void UsePatternCamera();

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
