// Lengths in TWAIN units, FIX32 numbers and frames.
#include <gtest/gtest.h>

#include <climits>

#include "twain/Units.h"

namespace {

float RoundTrip(float value) {
  TW_FIX32 fix = FloatToFix32(value);
  return Fix32ToFloat(&fix);
}

}  // namespace

TEST(Units, ConvertsBetweenEveryUnitThroughInches) {
  EXPECT_FLOAT_EQ(ConvertUnits(1, TWUN_INCHES, TWUN_PIXELS, 300), 300);
  EXPECT_FLOAT_EQ(ConvertUnits(2.54f, TWUN_CENTIMETERS, TWUN_INCHES, 77), 1);
  EXPECT_FLOAT_EQ(ConvertUnits(1, TWUN_INCHES, TWUN_PICAS, 0), 6);
  EXPECT_FLOAT_EQ(ConvertUnits(1, TWUN_INCHES, TWUN_POINTS, 0), 72);
  EXPECT_FLOAT_EQ(ConvertUnits(1, TWUN_INCHES, TWUN_TWIPS, 0), 1440);
  EXPECT_FLOAT_EQ(ConvertUnits(8.5f, TWUN_INCHES, MilUnits, 0), 8500);
  EXPECT_FLOAT_EQ(ConvertUnits(720, TWUN_POINTS, TWUN_CENTIMETERS, 0), 25.4f);
  EXPECT_FLOAT_EQ(ConvertUnits(5, 99, 99, 0), 5);
}

TEST(Units, PixelsWithoutResolutionAreLeftAsTheyAre) {
  EXPECT_FLOAT_EQ(ConvertUnits(300, TWUN_PIXELS, TWUN_INCHES, 0), 300);
}

TEST(Units, Fix32RoundsHalfAwayFromZero) {
  TW_FIX32 half = FloatToFix32(0.5f);
  EXPECT_EQ(half.Whole, 0);
  EXPECT_EQ(half.Frac, 0x8000);
  TW_FIX32 minusHalf = FloatToFix32(-0.5f);
  EXPECT_EQ(minusHalf.Whole, -1);
  EXPECT_EQ(minusHalf.Frac, 0x8000);
  TW_FIX32 minusOneAndHalf = FloatToFix32(-1.5f);
  EXPECT_EQ(minusOneAndHalf.Whole, -2);
  EXPECT_EQ(minusOneAndHalf.Frac, 0x8000);
  EXPECT_FLOAT_EQ(RoundTrip(0.5f), 0.5f);
  EXPECT_FLOAT_EQ(RoundTrip(-0.5f), -0.5f);
  EXPECT_NEAR(RoundTrip(220.05f), 220.05f, 1.0 / 65536);
}

TEST(Units, Fix32HoldsValuesBeyondItsRangeAtItsEnds) {
  TW_FIX32 high = FloatToFix32(1e9f);
  EXPECT_EQ(high.Whole, 32767);
  EXPECT_EQ(high.Frac, 0xFFFF);
  TW_FIX32 low = FloatToFix32(-40000.0f);
  EXPECT_EQ(low.Whole, -32768);
  EXPECT_EQ(low.Frac, 0);
}

TEST(Units, FramesConvertBetweenUnitsAndThousandthsOfAnInch) {
  TW_FRAME inches{FloatToFix32(0), FloatToFix32(0), FloatToFix32(8.5f), FloatToFix32(11)};
  MilFrame frame = MilFrame::FromTwFrame(inches, TWUN_INCHES, 100, 100);
  EXPECT_EQ(frame, (MilFrame{0, 0, 8500, 11000}));
  TW_FRAME cm = frame.ToTwFrame(TWUN_CENTIMETERS, 100, 100);
  EXPECT_NEAR(Fix32ToFloat(&cm.Right), 21.59, 1.0 / 65536);
  EXPECT_NEAR(Fix32ToFloat(&cm.Bottom), 27.94, 1.0 / 65536);
  TW_FRAME pixels = frame.ToTwFrame(TWUN_PIXELS, 200, 300);
  EXPECT_FLOAT_EQ(Fix32ToFloat(&pixels.Right), 1700);
  EXPECT_FLOAT_EQ(Fix32ToFloat(&pixels.Bottom), 3300);
  EXPECT_EQ(MilFrame::FromUnits(0, 0, 1700, 3300, TWUN_PIXELS, 200, 300), frame);
}

TEST(Units, FramesWithinOneThousandthAreTheSame) {
  MilFrame a{10, 20, 30, 40};
  EXPECT_TRUE(SameMilFrame(a, MilFrame{11, 19, 31, 39}));
  EXPECT_FALSE(SameMilFrame(a, MilFrame{10, 20, 32, 40}));
  EXPECT_FALSE(SameMilFrame(MilFrame{INT_MIN, 0, 0, 0}, MilFrame{INT_MAX, 0, 0, 0}));
}

TEST(Units, SupportedSizesGiveTheirPageFrames) {
  struct Row {
    TW_UINT16 code;
    MilFrame frame;
  };
  const Row rows[] = {
      {TWSS_A4, {0, 0, 8267, 11692}},   {TWSS_USLETTER, {0, 0, 8500, 11000}},
      {TWSS_USLEGAL, {0, 0, 8500, 14000}}, {TWSS_ISOB4, {0, 0, 9842, 13937}},
      {TWSS_BUSINESSCARD, {0, 0, 3500, 2000}}, {TWSS_NONE, {}},
      {8, {}},                          {54, {}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(MilFrame::FromSupportedSize(row.code), row.frame) << "code " << row.code;
}
