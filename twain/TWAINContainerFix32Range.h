#pragma once
// A FIX32 capability offered as a range (minimum, maximum, step) with its
// current value; the host may narrow the range within the default one.
#include "twain/TWAINContainer.h"

class CTWAINContainerFix32Range : public CTWAINContainer {
 public:
  CTWAINContainerFix32Range(TW_UINT16 cap, float min, float max, float step, float defaultValue,
                            int mask);

  TW_HANDLE BuildContainer(TW_UINT16 msg) override;
  TW_INT16 SetFromCapability(const TW_CAPABILITY* cap, TW_INT16* condition) override;
  bool Reset() override;

  bool GetCurrent(float* value) const;
  bool GetDefault(float* value) const;
  bool SetCurrent(float value);

  // -1 outside [min, max]; 0 on a step; 1 after moving value down onto the
  // step at or below it.
  static int FitToRange(float min, float max, float step, float* value);

  struct Range {
    float min;
    float max;
    float step;
    float value;
  };
  const Range& GetCurrentRange() const { return m_current; }

 private:
  TW_INT16 SetOneValue(float value, TW_INT16* condition);
  TW_INT16 SetRange(const uint8_t* record, TW_INT16* condition);

  Range m_current;
  Range m_default;
};
