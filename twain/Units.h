#pragma once
// Lengths in the TWAIN units, TW_FIX32 numbers and the frame record that the
// data source keeps internally (thousandths of an inch).
#include "platform/twain/Twain.h"

// Thousandths of an inch; used only inside the data source.
constexpr int MilUnits = 0x8000;

float ConvertUnits(float value, int fromUnits, int toUnits, float resolution);
TW_FIX32 FloatToFix32(float value);
float Fix32ToFloat(const TW_FIX32* value);

struct MilFrame {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  static MilFrame FromTwFrame(const TW_FRAME& frame, int units, float xRes, float yRes);
  static MilFrame FromUnits(float left, float top, float right, float bottom, int units,
                            float xRes, float yRes);
  static MilFrame FromSupportedSize(TW_UINT16 code);
  TW_FRAME ToTwFrame(int units, float xRes, float yRes) const;
  bool operator==(const MilFrame&) const = default;
};

bool SameMilFrame(const MilFrame& a, const MilFrame& b);
