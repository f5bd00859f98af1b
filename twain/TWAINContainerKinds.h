#pragma once
// The value-list kinds of capability container: boolean, integer, FIX32,
// frame and string.
#include <string>

#include "twain/TWAINContainer.h"
#include "twain/Units.h"

class CTWAINContainerBool : public CTWAINValueListContainer<bool> {
 public:
  // With enumerate set, MSG_GET answers an enumeration, else a one-value.
  CTWAINContainerBool(TW_UINT16 cap, bool enumerate, int mask);
  TW_UINT16 GetContainerTypeFor(TW_UINT16 msg) const override;

 protected:
  bool ReadItem(const uint8_t* p, TW_UINT16 itemType) const override;
  void WriteItem(const bool& value, uint8_t* p) const override;
  void WriteOneValueItem(const bool& value, uint8_t* p) const override;
  int OneValueItemSize() const override { return 4; }
  int ListPadding() const override { return 1; }
  TW_INT16 BadEnumerationTypeCondition() const override { return TWCC_BADVALUE; }

 private:
  bool m_enumerate;
};

class CTWAINContainerInt : public CTWAINValueListContainer<int> {
 public:
  CTWAINContainerInt(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT16 conType, int mask);
  bool IsValidItemType(TW_UINT16 itemType) const override;
  bool GetCurrent(int* value) const;

 protected:
  int ReadItem(const uint8_t* p, TW_UINT16 itemType) const override;
  void WriteItem(const int& value, uint8_t* p) const override;
  void WriteOneValueItem(const int& value, uint8_t* p) const override;
  int OneValueItemSize() const override { return 4; }
  int ListPadding() const override { return 1; }
};

class CTWAINContainerFix32 : public CTWAINValueListContainer<float> {
 public:
  CTWAINContainerFix32(TW_UINT16 cap, TW_UINT16 conType, int mask);

 protected:
  float ReadItem(const uint8_t* p, TW_UINT16 itemType) const override;
  void WriteItem(const float& value, uint8_t* p) const override;
};

class CTWAINContainerFrame : public CTWAINValueListContainer<MilFrame> {
 public:
  CTWAINContainerFrame(TW_UINT16 cap, TW_UINT16 conType, int mask);

  bool GetCurrentFrame(MilFrame& frame) const;
  bool GetDefaultFrame(MilFrame& frame) const;
  bool AddFrame(int left, int top, int right, int bottom, bool isDefault);
  // Replaces the current list by the one frame; false before any default.
  bool SetCurrentFrame(const MilFrame& frame);
  // Units and resolutions in which frames are read and written.
  void SetUnits(int units, float xRes, float yRes);

 protected:
  bool Same(const MilFrame& a, const MilFrame& b) const override { return SameMilFrame(a, b); }
  MilFrame ReadItem(const uint8_t* p, TW_UINT16 itemType) const override;
  void WriteItem(const MilFrame& value, uint8_t* p) const override;
  TW_INT16 SetOneValue(const MilFrame& value, TW_INT16* condition) override;
  TW_INT16 SetEnumeration(const uint8_t* record, TW_INT16* condition) override;

 private:
  int m_units = TWUN_PIXELS;
  float m_xRes = 100;
  float m_yRes = 100;
};

class CTWAINContainerString : public CTWAINValueListContainer<std::string> {
 public:
  CTWAINContainerString(TW_UINT16 cap, TW_UINT16 itemType, TW_UINT16 conType, int mask);

 protected:
  std::string ReadItem(const uint8_t* p, TW_UINT16 itemType) const override;
  void WriteItem(const std::string& value, uint8_t* p) const override;
  int ListPadding() const override { return 1; }

 private:
  int m_itemSize;
};
