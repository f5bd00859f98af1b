#include "twain/Units.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

double ToInches(double value, int units, double resolution) {
  switch (units) {
    case TWUN_CENTIMETERS: return value / 2.54;
    case TWUN_PICAS: return value / 6.0;
    case TWUN_POINTS: return value / 72.0;
    case TWUN_TWIPS: return value / 1440.0;
    case TWUN_PIXELS: return resolution != 0.0 ? value / resolution : value;
    case MilUnits: return value / 1000.0;
    default: return value;
  }
}

double FromInches(double value, int units, double resolution) {
  switch (units) {
    case TWUN_CENTIMETERS: return value * 2.54;
    case TWUN_PICAS: return value * 6.0;
    case TWUN_POINTS: return value * 72.0;
    case TWUN_TWIPS: return value * 1440.0;
    case TWUN_PIXELS: return value * resolution;
    case MilUnits: return value * 1000.0;
    default: return value;
  }
}

// A float turned into an int32 by truncation, held inside the int32 range.
int32_t TruncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

struct PaperSize {
  TW_UINT16 code;
  float width;
  float height;
  int units;
};

// Page sizes of the TWAIN size codes (single-precision constants).
constexpr PaperSize kPaperSizes[] = {
    {1, 21.0f, 29.7f, TWUN_CENTIMETERS},     {2, 18.2f, 25.7f, TWUN_CENTIMETERS},
    {3, 8.5f, 11.0f, TWUN_INCHES},           {4, 8.5f, 14.0f, TWUN_INCHES},
    {5, 14.8f, 21.0f, TWUN_CENTIMETERS},     {6, 25.0f, 35.4f, TWUN_CENTIMETERS},
    {7, 12.5f, 17.6f, TWUN_CENTIMETERS},     {9, 11.0f, 17.0f, TWUN_INCHES},
    {10, 7.25f, 10.5f, TWUN_INCHES},         {11, 29.7f, 42.0f, TWUN_CENTIMETERS},
    {12, 35.3f, 50.0f, TWUN_CENTIMETERS},    {13, 10.5f, 14.8f, TWUN_CENTIMETERS},
    {14, 22.9f, 32.4f, TWUN_CENTIMETERS},    {15, 16.2f, 22.9f, TWUN_CENTIMETERS},
    {16, 11.4f, 16.2f, TWUN_CENTIMETERS},    {17, 168.2f, 237.8f, TWUN_CENTIMETERS},
    {18, 118.9f, 168.2f, TWUN_CENTIMETERS},  {19, 84.1f, 118.9f, TWUN_CENTIMETERS},
    {20, 59.4f, 84.1f, TWUN_CENTIMETERS},    {21, 42.0f, 59.4f, TWUN_CENTIMETERS},
    {22, 7.4f, 10.5f, TWUN_CENTIMETERS},     {23, 5.2f, 7.4f, TWUN_CENTIMETERS},
    {24, 3.7f, 5.2f, TWUN_CENTIMETERS},      {25, 2.6f, 3.7f, TWUN_CENTIMETERS},
    {26, 100.0f, 141.4f, TWUN_CENTIMETERS},  {27, 70.7f, 100.0f, TWUN_CENTIMETERS},
    {28, 50.0f, 70.7f, TWUN_CENTIMETERS},    {29, 17.6f, 25.0f, TWUN_CENTIMETERS},
    {30, 8.8f, 12.5f, TWUN_CENTIMETERS},     {31, 6.2f, 8.8f, TWUN_CENTIMETERS},
    {32, 4.4f, 6.2f, TWUN_CENTIMETERS},      {33, 3.1f, 4.4f, TWUN_CENTIMETERS},
    {34, 103.0f, 145.6f, TWUN_CENTIMETERS},  {35, 72.8f, 103.0f, TWUN_CENTIMETERS},
    {36, 51.5f, 72.8f, TWUN_CENTIMETERS},    {37, 36.4f, 51.5f, TWUN_CENTIMETERS},
    {38, 25.7f, 36.4f, TWUN_CENTIMETERS},    {39, 12.8f, 18.2f, TWUN_CENTIMETERS},
    {40, 9.1f, 12.8f, TWUN_CENTIMETERS},     {41, 6.4f, 9.1f, TWUN_CENTIMETERS},
    {42, 4.5f, 6.4f, TWUN_CENTIMETERS},      {43, 3.2f, 4.5f, TWUN_CENTIMETERS},
    {44, 91.7f, 129.7f, TWUN_CENTIMETERS},   {45, 64.8f, 91.7f, TWUN_CENTIMETERS},
    {46, 45.8f, 64.8f, TWUN_CENTIMETERS},    {47, 32.4f, 45.8f, TWUN_CENTIMETERS},
    {48, 8.1f, 11.4f, TWUN_CENTIMETERS},     {49, 5.7f, 8.1f, TWUN_CENTIMETERS},
    {50, 4.0f, 5.7f, TWUN_CENTIMETERS},      {51, 2.8f, 4.0f, TWUN_CENTIMETERS},
    {52, 5.5f, 8.5f, TWUN_INCHES},           {53, 3.5f, 2.0f, TWUN_INCHES},
};

}  // namespace

float ConvertUnits(float value, int fromUnits, int toUnits, float resolution) {
  if (fromUnits == toUnits) return value;
  double inches = ToInches(value, fromUnits, resolution);
  return static_cast<float>(FromInches(inches, toUnits, resolution));
}

TW_FIX32 FloatToFix32(float value) {
  // Values beyond the TW_FIX32 range are held at its ends.
  double scaled = static_cast<double>(value) * 65536.0 + (value < 0 ? -0.5 : 0.5);
  int32_t n = TruncateToInt32(scaled);
  TW_FIX32 fix;
  fix.Whole = static_cast<TW_INT16>(n >> 16);
  fix.Frac = static_cast<TW_UINT16>(n & 0xffff);
  return fix;
}

float Fix32ToFloat(const TW_FIX32* value) {
  float frac = static_cast<float>(static_cast<double>(value->Frac) / 65536.0);
  return static_cast<float>(value->Whole) + frac;
}

MilFrame MilFrame::FromUnits(float left, float top, float right, float bottom, int units,
                             float xRes, float yRes) {
  MilFrame frame;
  frame.left = TruncateToInt32(ConvertUnits(left, units, MilUnits, xRes));
  frame.top = TruncateToInt32(ConvertUnits(top, units, MilUnits, yRes));
  frame.right = TruncateToInt32(ConvertUnits(right, units, MilUnits, xRes));
  frame.bottom = TruncateToInt32(ConvertUnits(bottom, units, MilUnits, yRes));
  return frame;
}

MilFrame MilFrame::FromTwFrame(const TW_FRAME& frame, int units, float xRes, float yRes) {
  return FromUnits(Fix32ToFloat(&frame.Left), Fix32ToFloat(&frame.Top),
                   Fix32ToFloat(&frame.Right), Fix32ToFloat(&frame.Bottom), units, xRes, yRes);
}

TW_FRAME MilFrame::ToTwFrame(int units, float xRes, float yRes) const {
  TW_FRAME frame;
  frame.Left = FloatToFix32(ConvertUnits(static_cast<float>(left), MilUnits, units, xRes));
  frame.Top = FloatToFix32(ConvertUnits(static_cast<float>(top), MilUnits, units, yRes));
  frame.Right = FloatToFix32(ConvertUnits(static_cast<float>(right), MilUnits, units, xRes));
  frame.Bottom = FloatToFix32(ConvertUnits(static_cast<float>(bottom), MilUnits, units, yRes));
  return frame;
}

MilFrame MilFrame::FromSupportedSize(TW_UINT16 code) {
  for (const PaperSize& size : kPaperSizes) {
    if (size.code == code) return FromUnits(0, 0, size.width, size.height, size.units, 100, 100);
  }
  return MilFrame{};
}

bool SameMilFrame(const MilFrame& a, const MilFrame& b) {
  auto close = [](int32_t x, int32_t y) {
    return std::llabs(static_cast<long long>(x) - y) < 2;
  };
  return close(a.left, b.left) && close(a.top, b.top) && close(a.right, b.right) &&
         close(a.bottom, b.bottom);
}
