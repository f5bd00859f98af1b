#pragma once
// The capability containers: one object per capability with its item type,
// its container form, its values (current and default) and the operations it
// allows. They build the records answered to the host and take the records
// the host sets.
#include <cstdint>
#include <vector>

#include "platform/twain/Twain.h"

class CTWAINContainer {
 public:
  CTWAINContainer(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT16 conType, int mask);
  virtual ~CTWAINContainer() = default;
  CTWAINContainer(const CTWAINContainer&) = delete;
  CTWAINContainer& operator=(const CTWAINContainer&) = delete;

  // Form of the answer: the own form for MSG_GET, a one-value otherwise.
  virtual TW_UINT16 GetContainerTypeFor(TW_UINT16 msg) const;
  // A new block (manager memory) with the answer to MSG_GET, MSG_GETCURRENT
  // or MSG_GETDEFAULT; null when it cannot be allocated or there is no value.
  virtual TW_HANDLE BuildContainer(TW_UINT16 msg) = 0;
  // Takes the host's record; *condition is 0 unless something was refused.
  virtual TW_INT16 SetFromCapability(const TW_CAPABILITY* cap, TW_INT16* condition) = 0;
  virtual bool Reset() = 0;
  virtual bool IsValidItemType(TW_UINT16 itemType) const;

  TW_UINT16 GetCapId() const { return m_cap; }
  TW_UINT16 GetItemType() const { return m_itemType; }
  TW_UINT16 GetContainerType() const { return m_conType; }
  int GetMask() const { return m_mask; }
  int GetCurrentIndex() const { return m_currentIndex; }
  int GetDefaultIndex() const { return m_defaultIndex; }
  bool IsOperationAllowed(TW_UINT16 msg) const;

  // Bytes of one item of the type in a list; 0 for unknown types.
  static int GetItemSize(TW_UINT16 itemType);

  // Largest item count taken from a host's list; our lists are far shorter.
  static constexpr TW_UINT32 kMaxHostItems = 1024;

 protected:
  TW_UINT16 m_cap;
  TW_UINT16 m_itemType;
  TW_UINT16 m_conType;
  int m_currentIndex = -1;
  int m_defaultIndex = -1;
  int m_mask;
};

// A block of manager memory locked for the scope of the object.
class LockedBlock {
 public:
  explicit LockedBlock(TW_HANDLE handle);
  ~LockedBlock();
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  uint8_t* get() const { return m_data; }
  explicit operator bool() const { return m_data != nullptr; }

 private:
  TW_HANDLE m_handle;
  uint8_t* m_data;
};

// Allocates a zero-filled block of manager memory and fills it through fill
// (called with the locked address); null when allocation fails.
template <class Fill>
TW_HANDLE MakeBlock(TW_UINT32 bytes, Fill fill);

// The kinds that keep a list of values: a current list the host may choose
// from now and a default list with every value the container was built with.
template <class T>
class CTWAINValueListContainer : public CTWAINContainer {
 public:
  using CTWAINContainer::CTWAINContainer;

  TW_HANDLE BuildContainer(TW_UINT16 msg) override;
  TW_INT16 SetFromCapability(const TW_CAPABILITY* cap, TW_INT16* condition) override;
  bool Reset() override;

  bool Add(const T& value, bool isDefault = false);
  bool SetCurrent(const T& value);
  bool GetCurrent(T* value) const;
  bool GetDefault(T* value) const;
  int Find(const T& value) const { return FindIn(m_currentList, value); }
  const std::vector<T>& GetList() const { return m_currentList; }
  // Offers a value for now without making it part of the default list.
  void AppendToCurrentList(const T& value) { m_currentList.push_back(value); }

 protected:
  virtual bool Same(const T& a, const T& b) const { return a == b; }
  // Reads one item of the record's type at p.
  virtual T ReadItem(const uint8_t* p, TW_UINT16 itemType) const = 0;
  // Writes one item in its list width.
  virtual void WriteItem(const T& value, uint8_t* p) const = 0;
  // Writes the Item of a one-value record (after ItemType).
  virtual void WriteOneValueItem(const T& value, uint8_t* p) const { WriteItem(value, p); }
  virtual int OneValueItemSize() const { return GetItemSize(m_itemType); }
  // Extra byte the enumerations and arrays of some kinds carry.
  virtual int ListPadding() const { return 0; }
  // Condition for an enumeration of the wrong item type.
  virtual TW_INT16 BadEnumerationTypeCondition() const { return TWCC_CAPBADOPERATION; }
  // Takes one value from a one-value record.
  virtual TW_INT16 SetOneValue(const T& value, TW_INT16* condition);
  // Takes a host's enumeration (narrowing the current list by default).
  virtual TW_INT16 SetEnumeration(const uint8_t* record, TW_INT16* condition);
  int FindIn(const std::vector<T>& list, const T& value) const;

  std::vector<T> m_currentList;
  std::vector<T> m_defaultList;
};

#include "twain/TWAINContainer.inl"
