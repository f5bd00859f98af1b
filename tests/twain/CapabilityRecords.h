#pragma once
// Building the records a host sends with DAT_CAPABILITY and reading the
// blocks a source answers with.
#include <cstdint>
#include <vector>

#include "platform/twain/Twain.h"

namespace twaintest {

// Host blocks (local heap, as the binding's fallback reads them).
TW_HANDLE OneValue(TW_UINT16 itemType, TW_UINT32 item);
TW_HANDLE OneValueFix32(float value);
TW_HANDLE OneValueFrame(float left, float top, float right, float bottom);
TW_HANDLE Enumeration(TW_UINT16 itemType, const std::vector<TW_UINT32>& items,
                      TW_UINT32 currentIndex);
TW_HANDLE FrameEnumeration(const std::vector<TW_FRAME>& frames);
TW_HANDLE RangeFix32(float min, float max, float step, float current);
TW_FRAME Frame(float left, float top, float right, float bottom);

// A source's answer, copied out of its block (which is freed).
struct Answer {
  TW_UINT16 rc = TWRC_FAILURE;
  TW_UINT16 conType = 0;
  std::vector<uint8_t> bytes;

  TW_UINT16 ItemType() const;
  TW_UINT32 Item() const;  // the Item of a one-value
  float Fix32Item() const;
  TW_FRAME FrameItem() const;
  TW_UINT32 NumItems() const;
  TW_UINT32 CurrentIndex() const;
  TW_UINT32 DefaultIndex() const;
  // Items of an enumeration or array, widened to 32 bits (signed types
  // sign-extended).
  std::vector<int64_t> Items() const;
  std::vector<float> Fix32Items() const;
  TW_RANGE Range() const;
};

Answer TakeAnswer(TW_UINT16 rc, const TW_CAPABILITY& cap);
float Fix32(const TW_FIX32& value);

}  // namespace twaintest
