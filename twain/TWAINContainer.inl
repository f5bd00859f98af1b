// Template members of the capability containers; included by TWAINContainer.h.
#include <algorithm>
#include <cstring>

#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"

template <class Fill>
TW_HANDLE MakeBlock(TW_UINT32 bytes, Fill fill) {
  TW_HANDLE handle = AllocDSMMemory(bytes);
  if (!handle) return nullptr;
  auto* data = static_cast<uint8_t*>(LockDSMMemory(handle));
  if (!data) {
    FreeDSMMemory(handle);
    return nullptr;
  }
  std::memset(data, 0, bytes);
  fill(data);
  UnlockDSMMemory(handle);
  return handle;
}

template <class T>
int CTWAINValueListContainer<T>::FindIn(const std::vector<T>& list, const T& value) const {
  for (size_t i = 0; i < list.size(); ++i)
    if (Same(list[i], value)) return static_cast<int>(i);
  return -1;
}

template <class T>
bool CTWAINValueListContainer<T>::Add(const T& value, bool isDefault) {
  m_currentList.push_back(value);
  m_defaultList.push_back(value);
  if (m_defaultIndex < 0 || isDefault) {
    m_currentIndex = FindIn(m_currentList, value);
    m_defaultIndex = FindIn(m_defaultList, value);
  }
  return true;
}

template <class T>
bool CTWAINValueListContainer<T>::SetCurrent(const T& value) {
  if (m_conType == TWON_ONEVALUE) {
    m_currentList.assign(1, value);
    m_currentIndex = 0;
    return true;
  }
  int index = Find(value);
  if (index < 0) return false;
  m_currentIndex = index;
  return true;
}

template <class T>
bool CTWAINValueListContainer<T>::GetCurrent(T* value) const {
  if (m_currentIndex < 0 || m_currentIndex >= static_cast<int>(m_currentList.size())) return false;
  *value = m_currentList[m_currentIndex];
  return true;
}

template <class T>
bool CTWAINValueListContainer<T>::GetDefault(T* value) const {
  if (!(m_mask & TWQC_GETDEFAULT)) return false;
  if (m_defaultIndex < 0 || m_defaultIndex >= static_cast<int>(m_defaultList.size())) return false;
  *value = m_defaultList[m_defaultIndex];
  return true;
}

template <class T>
bool CTWAINValueListContainer<T>::Reset() {
  m_currentList = m_defaultList;
  m_currentIndex = m_defaultIndex;
  return true;
}

template <class T>
TW_HANDLE CTWAINValueListContainer<T>::BuildContainer(TW_UINT16 msg) {
  TW_UINT16 form = GetContainerTypeFor(msg);
  if (msg == MSG_GETCURRENT || msg == MSG_GETDEFAULT || form == TWON_ONEVALUE) {
    T value;
    bool found = msg == MSG_GETDEFAULT
                     ? (m_defaultIndex >= 0 && m_defaultIndex < int(m_defaultList.size()))
                     : (m_currentIndex >= 0 && m_currentIndex < int(m_currentList.size()));
    if (!found) return nullptr;
    value = msg == MSG_GETDEFAULT ? m_defaultList[m_defaultIndex] : m_currentList[m_currentIndex];
    return MakeBlock(2 + OneValueItemSize(), [&](uint8_t* p) {
      twain::Store<TW_UINT16>(p, m_itemType);
      WriteOneValueItem(value, p + 2);
    });
  }
  const int width = GetItemSize(m_itemType);
  const auto count = static_cast<TW_UINT32>(m_currentList.size());
  if (form == TWON_ENUMERATION) {
    T defaultValue;
    int defaultIndex = 0;
    if (GetDefault(&defaultValue)) defaultIndex = std::max(0, Find(defaultValue));
    return MakeBlock(14 + count * width + ListPadding(), [&](uint8_t* p) {
      twain::Store<TW_UINT16>(p, m_itemType);
      twain::Store<TW_UINT32>(p, count, 2);
      twain::Store<TW_UINT32>(p, static_cast<TW_UINT32>(std::max(0, m_currentIndex)), 6);
      twain::Store<TW_UINT32>(p, static_cast<TW_UINT32>(defaultIndex), 10);
      for (TW_UINT32 i = 0; i < count; ++i) WriteItem(m_currentList[i], p + 14 + i * width);
    });
  }
  return MakeBlock(6 + count * width + ListPadding(), [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, m_itemType);
    twain::Store<TW_UINT32>(p, count, 2);
    for (TW_UINT32 i = 0; i < count; ++i) WriteItem(m_currentList[i], p + 6 + i * width);
  });
}

template <class T>
TW_INT16 CTWAINValueListContainer<T>::SetOneValue(const T& value, TW_INT16* condition) {
  if (m_conType == TWON_ARRAY) {
    *condition = TWCC_CAPBADOPERATION;
    return TWRC_FAILURE;
  }
  if (!SetCurrent(value)) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  return TWRC_SUCCESS;
}

template <class T>
TW_INT16 CTWAINValueListContainer<T>::SetEnumeration(const uint8_t* record, TW_INT16* condition) {
  const auto itemType = twain::Load<TW_UINT16>(record);
  const auto count = twain::Load<TW_UINT32>(record, 2);
  const auto hostIndex = static_cast<int64_t>(twain::Load<TW_UINT32>(record, 6));
  const int width = GetItemSize(itemType);
  int64_t newIndex = hostIndex;
  TW_INT16 result = TWRC_SUCCESS;
  std::vector<T> taken;
  for (TW_UINT32 i = 0; i < count; ++i) {
    T value = ReadItem(record + 14 + static_cast<size_t>(i) * width, itemType);
    if (FindIn(m_defaultList, value) >= 0 && FindIn(taken, value) < 0) {
      taken.push_back(value);
      continue;
    }
    if (static_cast<int64_t>(i) < hostIndex) --newIndex;
    result = TWRC_CHECKSTATUS;
    *condition = TWCC_BADVALUE;
  }
  if (taken.empty()) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  m_currentList = std::move(taken);
  if (newIndex < 0 || newIndex >= static_cast<int64_t>(m_currentList.size())) {
    m_currentIndex = 0;
    *condition = TWCC_BADVALUE;
    return TWRC_CHECKSTATUS;
  }
  m_currentIndex = static_cast<int>(newIndex);
  return result;
}

template <class T>
TW_INT16 CTWAINValueListContainer<T>::SetFromCapability(const TW_CAPABILITY* cap,
                                                         TW_INT16* condition) {
  *condition = TWCC_SUCCESS;
  LockedBlock block(cap->hContainer);
  if (!block) {
    *condition = TWCC_LOWMEMORY;
    return TWRC_FAILURE;
  }
  const uint8_t* record = block.get();
  const auto itemType = twain::Load<TW_UINT16>(record);
  if (cap->ConType == TWON_ONEVALUE) {
    if (!IsValidItemType(itemType)) {
      *condition = TWCC_CAPBADOPERATION;
      return TWRC_FAILURE;
    }
    return SetOneValue(ReadItem(record + 2, itemType), condition);
  }
  if (cap->ConType == TWON_ENUMERATION) {
    if (!IsValidItemType(itemType)) {
      *condition = BadEnumerationTypeCondition();
      return TWRC_FAILURE;
    }
    const auto count = twain::Load<TW_UINT32>(record, 2);
    if (count == 0 || count > kMaxHostItems) {
      *condition = TWCC_BADVALUE;
      return TWRC_FAILURE;
    }
    return SetEnumeration(record, condition);
  }
  *condition = TWCC_BADVALUE;
  return TWRC_FAILURE;
}
