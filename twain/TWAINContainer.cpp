#include "twain/TWAINContainer.h"

CTWAINContainer::CTWAINContainer(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT16 conType, int mask)
    : m_cap(cap), m_itemType(itemType), m_conType(conType), m_mask(mask) {}

TW_UINT16 CTWAINContainer::GetContainerTypeFor(TW_UINT16 msg) const {
  return msg == MSG_GET ? m_conType : TWON_ONEVALUE;
}

bool CTWAINContainer::IsValidItemType(TW_UINT16 itemType) const { return itemType == m_itemType; }

bool CTWAINContainer::IsOperationAllowed(TW_UINT16 msg) const {
  switch (msg) {
    case MSG_GET: return (m_mask & TWQC_GET) != 0;
    case MSG_GETCURRENT: return (m_mask & TWQC_GETCURRENT) != 0;
    case MSG_GETDEFAULT: return (m_mask & TWQC_GETDEFAULT) != 0;
    case MSG_SET: return (m_mask & TWQC_SET) != 0;
    case MSG_RESET: return (m_mask & TWQC_RESET) != 0;
    default: return false;
  }
}

int CTWAINContainer::GetItemSize(TW_UINT16 itemType) {
  switch (itemType) {
    case TWTY_INT8:
    case TWTY_UINT8: return 1;
    case TWTY_INT16:
    case TWTY_UINT16:
    case TWTY_BOOL: return 2;
    case TWTY_INT32:
    case TWTY_UINT32:
    case TWTY_FIX32: return 4;
    case TWTY_FRAME: return 16;
    case TWTY_STR32: return 34;
    case TWTY_STR64: return 66;
    case TWTY_STR128: return 130;
    case TWTY_STR255: return 256;
    case TWTY_STR1024: return 1026;
    case TWTY_UNI512: return 1024;
    default: return 0;
  }
}

LockedBlock::LockedBlock(TW_HANDLE handle)
    : m_handle(handle), m_data(static_cast<uint8_t*>(LockDSMMemory(handle))) {}

LockedBlock::~LockedBlock() {
  if (m_data) UnlockDSMMemory(m_handle);
}
