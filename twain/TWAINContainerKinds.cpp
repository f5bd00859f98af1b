#include "twain/TWAINContainerKinds.h"

#include <algorithm>

CTWAINContainerBool::CTWAINContainerBool(TW_UINT16 cap, bool enumerate, int mask)
    : CTWAINValueListContainer(cap, TWTY_BOOL, TWON_ENUMERATION, mask), m_enumerate(enumerate) {}

TW_UINT16 CTWAINContainerBool::GetContainerTypeFor(TW_UINT16 msg) const {
  return (msg == MSG_GET && m_enumerate) ? TWON_ENUMERATION : TWON_ONEVALUE;
}

bool CTWAINContainerBool::ReadItem(const uint8_t* p, TW_UINT16) const {
  return twain::Load<TW_UINT16>(p) != 0;
}

void CTWAINContainerBool::WriteItem(const bool& value, uint8_t* p) const {
  twain::Store<TW_UINT16>(p, value ? 1 : 0);
}

void CTWAINContainerBool::WriteOneValueItem(const bool& value, uint8_t* p) const {
  twain::Store<TW_UINT32>(p, value ? 1 : 0);
}

CTWAINContainerInt::CTWAINContainerInt(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT16 conType,
                                       int mask)
    : CTWAINValueListContainer(cap, itemType, conType, mask) {}

bool CTWAINContainerInt::IsValidItemType(TW_UINT16 itemType) const {
  return itemType <= TWTY_BOOL;
}

bool CTWAINContainerInt::GetCurrent(int* value) const {
  if (!(m_mask & TWQC_GETCURRENT)) return false;
  return CTWAINValueListContainer::GetCurrent(value);
}

int CTWAINContainerInt::ReadItem(const uint8_t* p, TW_UINT16 itemType) const {
  switch (itemType) {
    case TWTY_INT8: return twain::Load<TW_INT8>(p);
    case TWTY_INT16: return twain::Load<TW_INT16>(p);
    case TWTY_UINT8: return twain::Load<TW_UINT8>(p);
    case TWTY_UINT16:
    case TWTY_BOOL: return twain::Load<TW_UINT16>(p);
    default: return static_cast<int>(twain::Load<TW_UINT32>(p));
  }
}

void CTWAINContainerInt::WriteItem(const int& value, uint8_t* p) const {
  switch (GetItemSize(m_itemType)) {
    case 1: twain::Store<TW_UINT8>(p, static_cast<TW_UINT8>(value)); break;
    case 2: twain::Store<TW_UINT16>(p, static_cast<TW_UINT16>(value)); break;
    default: twain::Store<TW_UINT32>(p, static_cast<TW_UINT32>(value)); break;
  }
}

void CTWAINContainerInt::WriteOneValueItem(const int& value, uint8_t* p) const {
  twain::Store<TW_UINT32>(p, static_cast<TW_UINT32>(value));
}

CTWAINContainerFix32::CTWAINContainerFix32(TW_UINT16 cap, TW_UINT16 conType, int mask)
    : CTWAINValueListContainer(cap, TWTY_FIX32, conType, mask) {}

float CTWAINContainerFix32::ReadItem(const uint8_t* p, TW_UINT16) const {
  TW_FIX32 fix = twain::Load<TW_FIX32>(p);
  return Fix32ToFloat(&fix);
}

void CTWAINContainerFix32::WriteItem(const float& value, uint8_t* p) const {
  twain::Store(p, FloatToFix32(value));
}

CTWAINContainerFrame::CTWAINContainerFrame(TW_UINT16 cap, TW_UINT16 conType, int mask)
    : CTWAINValueListContainer(cap, TWTY_FRAME, conType, mask) {}

bool CTWAINContainerFrame::GetCurrentFrame(MilFrame& frame) const {
  if (!(m_mask & TWQC_GETCURRENT)) return false;
  return GetCurrent(&frame);
}

bool CTWAINContainerFrame::GetDefaultFrame(MilFrame& frame) const { return GetDefault(&frame); }

bool CTWAINContainerFrame::AddFrame(int left, int top, int right, int bottom, bool isDefault) {
  return Add(MilFrame{left, top, right, bottom}, isDefault);
}

bool CTWAINContainerFrame::SetCurrentFrame(const MilFrame& frame) {
  if (m_defaultIndex < 0) return false;
  m_currentList.assign(1, frame);
  m_currentIndex = 0;
  return true;
}

void CTWAINContainerFrame::SetUnits(int units, float xRes, float yRes) {
  m_units = units;
  m_xRes = xRes;
  m_yRes = yRes;
}

MilFrame CTWAINContainerFrame::ReadItem(const uint8_t* p, TW_UINT16) const {
  return MilFrame::FromTwFrame(twain::Load<TW_FRAME>(p), m_units, m_xRes, m_yRes);
}

void CTWAINContainerFrame::WriteItem(const MilFrame& value, uint8_t* p) const {
  twain::Store(p, value.ToTwFrame(m_units, m_xRes, m_yRes));
}

TW_INT16 CTWAINContainerFrame::SetOneValue(const MilFrame& value, TW_INT16* condition) {
  if (m_conType != TWON_ONEVALUE && m_conType != TWON_ENUMERATION) {
    *condition = TWCC_CAPBADOPERATION;
    return TWRC_FAILURE;
  }
  if (!SetCurrentFrame(value)) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINContainerFrame::SetEnumeration(const uint8_t* record, TW_INT16*) {
  // The host's frames replace the current list; no comparison with the
  // default list. The caller has refused an empty list.
  const auto count = twain::Load<TW_UINT32>(record, 2);
  std::vector<MilFrame> frames;
  for (TW_UINT32 i = 0; i < count; ++i)
    frames.push_back(ReadItem(record + 14 + static_cast<size_t>(i) * 16, TWTY_FRAME));
  m_currentList = std::move(frames);
  m_currentIndex = 0;
  return TWRC_SUCCESS;
}

CTWAINContainerString::CTWAINContainerString(TW_UINT16 cap, TW_UINT16 itemType,
                                             TW_UINT16 conType, int mask)
    : CTWAINValueListContainer(cap, itemType, conType, mask), m_itemSize(GetItemSize(itemType)) {}

std::string CTWAINContainerString::ReadItem(const uint8_t* p, TW_UINT16) const {
  const auto* text = reinterpret_cast<const char*>(p);
  return std::string(text, std::find(text, text + m_itemSize, '\0'));
}

void CTWAINContainerString::WriteItem(const std::string& value, uint8_t* p) const {
  // Always leaves the terminating zero inside the item.
  size_t bytes = std::min(value.size(), static_cast<size_t>(m_itemSize - 1));
  std::memcpy(p, value.data(), bytes);
}
