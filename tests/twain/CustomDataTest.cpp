// The settings block a host keeps: its golden default bytes, a round trip of
// all 21 values, and blocks that are refused without changing anything.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/twain/CapabilityRecords.h"
#include "tests/twain/TransferHost.h"
#include "twain/DSMBinding.h"

namespace twaintest {
namespace {

class CustomData : public TransferHost {
 protected:
  // MSG_GET's block copied out (and freed).
  std::vector<uint8_t> Get() {
    TW_CUSTOMDSDATA data{0, nullptr};
    EXPECT_EQ(Send(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data), TWRC_SUCCESS);
    if (!data.hData) return {};
    const auto* p = static_cast<const uint8_t*>(LockDSMMemory(data.hData));
    std::vector<uint8_t> block(p, p + data.InfoLength);
    UnlockDSMMemory(data.hData);
    FreeDSMMemory(data.hData);
    return block;
  }
  TW_UINT16 Set(const std::vector<uint8_t>& block, TW_UINT32 infoLength) {
    TW_HANDLE handle = AllocDSMMemory(static_cast<TW_UINT32>(std::max<size_t>(block.size(), 1)));
    std::memcpy(LockDSMMemory(handle), block.data(), block.size());
    UnlockDSMMemory(handle);
    TW_CUSTOMDSDATA data{infoLength, handle};
    const TW_UINT16 rc = Send(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &data);
    FreeDSMMemory(handle);
    return rc;
  }
  TW_UINT16 Set(const std::vector<uint8_t>& block) {
    return Set(block, static_cast<TW_UINT32>(block.size()));
  }
  // A refused block leaves every value as it was.
  void ExpectRefused(const std::vector<uint8_t>& block, TW_UINT32 infoLength) {
    const std::vector<uint8_t> before = Get();
    EXPECT_EQ(Set(block, infoLength), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_BADVALUE);
    EXPECT_EQ(Get(), before);
  }
};

void Put(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Record(std::vector<uint8_t>& out, TW_UINT16 cap, TW_UINT16 itemType, uint32_t value) {
  Put(out, 16, 4);
  Put(out, cap, 2);
  Put(out, 0, 2);
  Put(out, itemType, 2);
  Put(out, TWON_ONEVALUE, 2);
  Put(out, value, 4);
}

uint32_t FloatBits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

// Offset of a capability's record in a block.
size_t RecordOffset(const std::vector<uint8_t>& block, TW_UINT16 cap) {
  size_t offset = 16;
  while (offset + 16 <= block.size()) {
    uint32_t length;
    uint16_t id;
    std::memcpy(&length, &block[offset], 4);
    std::memcpy(&id, &block[offset + 4], 2);
    if (id == cap) return offset;
    offset += length;
  }
  ADD_FAILURE() << "no record of " << cap;
  return 0;
}

TEST_F(CustomData, DefaultBlockHoldsTheGoldenRecords) {
  std::vector<uint8_t> expected = {0x45, 0xF8, 0xFA, 0xA4, 0x83, 0x13, 0x36, 0x40,
                                   0xAE, 0xDC, 0x17, 0xC3, 0x96, 0x81, 0x88, 0xB4};
  Record(expected, CAP_FEEDERENABLED, TWTY_BOOL, 1);
  Record(expected, CAP_DUPLEXENABLED, TWTY_BOOL, 0);
  Record(expected, CAP_AUTOFEED, TWTY_BOOL, 1);
  Record(expected, ICAP_BITDEPTH, TWTY_UINT16, 24);
  Record(expected, ICAP_BITORDER, TWTY_UINT16, TWBO_LSBFIRST);
  Record(expected, ICAP_COMPRESSION, TWTY_UINT16, TWCP_NONE);
  Put(expected, 28, 4);
  Put(expected, ICAP_FRAMES, 2);
  Put(expected, 0, 2);
  Put(expected, TWTY_FRAME, 2);
  Put(expected, TWON_ONEVALUE, 2);
  for (uint32_t side : {11000u, 0u, 8500u, 0u}) Put(expected, side, 4);
  Record(expected, ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWFF_TIFF);
  Record(expected, ICAP_PIXELFLAVOR, TWTY_UINT16, TWPF_CHOCOLATE);
  Record(expected, ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB);
  Record(expected, ICAP_PLANARCHUNKY, TWTY_UINT16, TWPC_CHUNKY);
  Record(expected, ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWSS_USLETTER);
  Record(expected, ICAP_ORIENTATION, TWTY_UINT16, TWOR_ROT0);
  Record(expected, ICAP_UNITS, TWTY_UINT16, TWUN_INCHES);
  Record(expected, ICAP_XRESOLUTION, TWTY_FIX32, 0x435C0CCD);
  Record(expected, ICAP_YRESOLUTION, TWTY_FIX32, 0x435C0CCD);
  Record(expected, ICAP_THRESHOLD, TWTY_FIX32, FloatBits(128));
  Record(expected, ICAP_CONTRAST, TWTY_FIX32, FloatBits(0));
  Record(expected, ICAP_BRIGHTNESS, TWTY_FIX32, FloatBits(0));
  Record(expected, ICAP_GAMMA, TWTY_FIX32, FloatBits(1));
  Record(expected, CUSTCAP_LONGDOCUMENT, TWTY_BOOL, 0);
  ASSERT_EQ(expected.size(), 364u);
  EXPECT_EQ(Get(), expected);
}

TEST_F(CustomData, RoundTripRestoresAllValues) {
  const std::vector<uint8_t> defaults = Get();
  ASSERT_EQ(SetUInt16(ICAP_UNITS, TWUN_CENTIMETERS), TWRC_SUCCESS);
  ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);
  ASSERT_EQ(SetUInt16(ICAP_BITORDER, TWBO_MSBFIRST), TWRC_SUCCESS);
  ASSERT_EQ(SetUInt16(ICAP_IMAGEFILEFORMAT, TWFF_JFIF), TWRC_SUCCESS);
  ASSERT_EQ(SetUInt16(ICAP_SUPPORTEDSIZES, TWSS_USLEGAL), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_XRESOLUTION, OneValueFix32(300)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_YRESOLUTION, OneValueFix32(150)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_THRESHOLD, OneValueFix32(100)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_CONTRAST, OneValueFix32(-20)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_BRIGHTNESS, OneValueFix32(35)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_GAMMA, OneValueFix32(2.2f)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(CAP_AUTOFEED, OneValue(TWTY_BOOL, 0)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(CAP_FEEDERENABLED, OneValue(TWTY_BOOL, 0)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(CUSTCAP_LONGDOCUMENT, OneValue(TWTY_BOOL, 1)), TWRC_SUCCESS);
  ASSERT_EQ(SetCap(ICAP_FRAMES, OneValueFrame(1, 2, 10, 20)), TWRC_SUCCESS);
  const std::vector<uint8_t> changed = Get();
  ASSERT_NE(changed, defaults);
  EXPECT_EQ(changed[RecordOffset(changed, ICAP_BITDEPTH) + 12], 8) << "the grey container's";

  TW_CAPABILITY all{0, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, &all), TWRC_SUCCESS);
  ASSERT_EQ(Get(), defaults);
  ASSERT_EQ(Set(changed), TWRC_SUCCESS);
  EXPECT_EQ(Get(), changed);
}

TEST_F(CustomData, ForeignShortAndMalformedBlocksChangeNothing) {
  ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, TWPT_BW), TWRC_SUCCESS);
  const std::vector<uint8_t> good = Get();
  ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, TWPT_GRAY), TWRC_SUCCESS);

  std::vector<uint8_t> foreign = good;
  foreign[15] ^= 1;
  ExpectRefused(foreign, static_cast<TW_UINT32>(foreign.size()));
  ExpectRefused(good, 16);
  ExpectRefused(good, 0);

  // Record lengths: zero, huge, a frame record of 16 bytes, a block cut short.
  const size_t pixelType = RecordOffset(good, ICAP_PIXELTYPE);
  const size_t frames = RecordOffset(good, ICAP_FRAMES);
  for (uint32_t length : {0u, 15u, 17u, 0x7FFFFFFFu}) {
    std::vector<uint8_t> bad = good;
    std::memcpy(&bad[pixelType], &length, 4);
    ExpectRefused(bad, static_cast<TW_UINT32>(bad.size()));
  }
  std::vector<uint8_t> shortFrame = good;
  const uint32_t sixteen = 16;
  std::memcpy(&shortFrame[frames], &sixteen, 4);
  ExpectRefused(shortFrame, static_cast<TW_UINT32>(shortFrame.size()));
  std::vector<uint8_t> cut(good.begin(), good.end() - 5);
  ExpectRefused(cut, static_cast<TW_UINT32>(cut.size()));

  // A value the container refuses: every earlier record is put back.
  std::vector<uint8_t> compressed = good;
  compressed[RecordOffset(good, ICAP_COMPRESSION) + 12] = 1;
  ExpectRefused(compressed, static_cast<TW_UINT32>(compressed.size()));
  for (float odd : {NAN, INFINITY, 1e9f}) {
    std::vector<uint8_t> unreadable = good;
    std::memcpy(&unreadable[RecordOffset(good, ICAP_GAMMA) + 12], &odd, 4);
    ExpectRefused(unreadable, static_cast<TW_UINT32>(unreadable.size()));
  }
  std::vector<uint8_t> wrongType = good;
  wrongType[RecordOffset(good, ICAP_GAMMA) + 8] = TWTY_UINT16;
  ExpectRefused(wrongType, static_cast<TW_UINT32>(wrongType.size()));

  ASSERT_EQ(Set(good), TWRC_SUCCESS);
  EXPECT_EQ(Get(), good);
}

TEST_F(CustomData, OnlyInStateFour) {
  const std::vector<uint8_t> block = Get();
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  TW_CUSTOMDSDATA data{0, nullptr};
  EXPECT_EQ(Send(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &data), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
  EXPECT_EQ(Set(block), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

}  // namespace
}  // namespace twaintest
