#include "tests/twain/CapabilityRecords.h"

#include <cstring>

#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainer.h"
#include "twain/Units.h"

namespace twaintest {
namespace {

template <class Fill>
TW_HANDLE Block(size_t bytes, Fill fill) {
  TW_HANDLE handle = AllocDSMMemory(static_cast<TW_UINT32>(bytes));
  auto* p = static_cast<uint8_t*>(LockDSMMemory(handle));
  std::memset(p, 0, bytes);
  fill(p);
  UnlockDSMMemory(handle);
  return handle;
}

}  // namespace

TW_FRAME Frame(float left, float top, float right, float bottom) {
  return TW_FRAME{FloatToFix32(left), FloatToFix32(top), FloatToFix32(right),
                  FloatToFix32(bottom)};
}

float Fix32(const TW_FIX32& value) { return Fix32ToFloat(&value); }

TW_HANDLE OneValue(TW_UINT16 itemType, TW_UINT32 item) {
  return Block(6, [&](uint8_t* p) {
    twain::Store(p, itemType);
    twain::Store(p, item, 2);
  });
}

TW_HANDLE OneValueFix32(float value) {
  return Block(6, [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, TWTY_FIX32);
    twain::Store(p, FloatToFix32(value), 2);
  });
}

TW_HANDLE OneValueFrame(float left, float top, float right, float bottom) {
  return Block(18, [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, TWTY_FRAME);
    twain::Store(p, Frame(left, top, right, bottom), 2);
  });
}

TW_HANDLE Enumeration(TW_UINT16 itemType, const std::vector<TW_UINT32>& items,
                      TW_UINT32 currentIndex) {
  const int width = CTWAINContainer::GetItemSize(itemType);
  return Block(14 + items.size() * width, [&](uint8_t* p) {
    twain::Store(p, itemType);
    twain::Store(p, static_cast<TW_UINT32>(items.size()), 2);
    twain::Store(p, currentIndex, 6);
    for (size_t i = 0; i < items.size(); ++i) std::memcpy(p + 14 + i * width, &items[i], width);
  });
}

TW_HANDLE FrameEnumeration(const std::vector<TW_FRAME>& frames) {
  return Block(14 + frames.size() * 16, [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, TWTY_FRAME);
    twain::Store(p, static_cast<TW_UINT32>(frames.size()), 2);
    for (size_t i = 0; i < frames.size(); ++i) twain::Store(p, frames[i], 14 + i * 16);
  });
}

TW_HANDLE RangeFix32(float min, float max, float step, float current) {
  return Block(22, [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, TWTY_FIX32);
    twain::Store(p, FloatToFix32(min), 2);
    twain::Store(p, FloatToFix32(max), 6);
    twain::Store(p, FloatToFix32(step), 10);
    twain::Store(p, FloatToFix32(current), 18);
  });
}

Answer TakeAnswer(TW_UINT16 rc, const TW_CAPABILITY& cap) {
  Answer answer;
  answer.rc = rc;
  answer.conType = cap.ConType;
  if ((rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) && cap.hContainer) {
    auto* p = static_cast<uint8_t*>(LockDSMMemory(cap.hContainer));
    size_t size = 0;
    switch (cap.ConType) {
      case TWON_ONEVALUE: size = 18; break;  // the longest non-string one-value
      case TWON_RANGE: size = 22; break;
      case TWON_ENUMERATION: {
        TW_UINT16 type = twain::Load<TW_UINT16>(p);
        size = 14 + twain::Load<TW_UINT32>(p, 2) * CTWAINContainer::GetItemSize(type);
        break;
      }
      case TWON_ARRAY: {
        TW_UINT16 type = twain::Load<TW_UINT16>(p);
        size = 6 + twain::Load<TW_UINT32>(p, 2) * CTWAINContainer::GetItemSize(type);
        break;
      }
    }
    if (cap.ConType == TWON_ONEVALUE && twain::Load<TW_UINT16>(p) != TWTY_FRAME) {
      TW_UINT16 type = twain::Load<TW_UINT16>(p);
      size = 2 + std::max(4, CTWAINContainer::GetItemSize(type));
    }
    answer.bytes.assign(p, p + size);
    UnlockDSMMemory(cap.hContainer);
    FreeDSMMemory(cap.hContainer);
  }
  return answer;
}

TW_UINT16 Answer::ItemType() const { return twain::Load<TW_UINT16>(bytes.data()); }
TW_UINT32 Answer::Item() const { return twain::Load<TW_UINT32>(bytes.data(), 2); }
float Answer::Fix32Item() const { return Fix32(twain::Load<TW_FIX32>(bytes.data(), 2)); }
TW_FRAME Answer::FrameItem() const { return twain::Load<TW_FRAME>(bytes.data(), 2); }
TW_UINT32 Answer::NumItems() const { return twain::Load<TW_UINT32>(bytes.data(), 2); }
TW_UINT32 Answer::CurrentIndex() const { return twain::Load<TW_UINT32>(bytes.data(), 6); }
TW_UINT32 Answer::DefaultIndex() const { return twain::Load<TW_UINT32>(bytes.data(), 10); }

std::vector<int64_t> Answer::Items() const {
  const TW_UINT16 type = ItemType();
  const int width = CTWAINContainer::GetItemSize(type);
  const size_t first = conType == TWON_ARRAY ? 6 : 14;
  std::vector<int64_t> items;
  for (TW_UINT32 i = 0; i < NumItems(); ++i) {
    const uint8_t* p = bytes.data() + first + i * width;
    switch (type) {
      case TWTY_INT8: items.push_back(twain::Load<int8_t>(p)); break;
      case TWTY_INT16: items.push_back(twain::Load<int16_t>(p)); break;
      case TWTY_INT32: items.push_back(twain::Load<int32_t>(p)); break;
      case TWTY_UINT8: items.push_back(twain::Load<uint8_t>(p)); break;
      case TWTY_UINT16:
      case TWTY_BOOL: items.push_back(twain::Load<uint16_t>(p)); break;
      default: items.push_back(twain::Load<uint32_t>(p)); break;
    }
  }
  return items;
}

std::vector<float> Answer::Fix32Items() const {
  std::vector<float> items;
  for (TW_UINT32 i = 0; i < NumItems(); ++i)
    items.push_back(Fix32(twain::Load<TW_FIX32>(bytes.data(), 14 + i * 4)));
  return items;
}

TW_RANGE Answer::Range() const { return twain::Load<TW_RANGE>(bytes.data()); }

}  // namespace twaintest
