// The source's settings as an opaque block a host keeps and gives back: a
// GUID header and one record per stored capability.
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainerFix32Range.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAINDS_FreeImage.h"

namespace {

// {A4FAF845-1383-4036-AEDC-17C3968188B4} in binary GUID layout.
constexpr uint8_t TWAIN_SOURCE_GUID[16] = {0x45, 0xF8, 0xFA, 0xA4, 0x83, 0x13, 0x36, 0x40,
                                           0xAE, 0xDC, 0x17, 0xC3, 0x96, 0x81, 0x88, 0xB4};
constexpr size_t kGuidBytes = sizeof TWAIN_SOURCE_GUID;
constexpr uint32_t kRecordBytes = 16;
constexpr uint32_t kFrameRecordBytes = 28;
// No block of this source comes near this size.
constexpr TW_UINT32 kMaxBlockBytes = 64 * 1024;

constexpr TW_UINT16 kWriteOrder[] = {
    CAP_FEEDERENABLED,    CAP_DUPLEXENABLED, CAP_AUTOFEED,        ICAP_BITDEPTH,
    ICAP_BITORDER,        ICAP_COMPRESSION,  ICAP_FRAMES,         ICAP_IMAGEFILEFORMAT,
    ICAP_PIXELFLAVOR,     ICAP_PIXELTYPE,    ICAP_PLANARCHUNKY,   ICAP_SUPPORTEDSIZES,
    ICAP_ORIENTATION,     ICAP_UNITS,        ICAP_XRESOLUTION,    ICAP_YRESOLUTION,
    ICAP_THRESHOLD,       ICAP_CONTRAST,     ICAP_BRIGHTNESS,     ICAP_GAMMA,
    CUSTCAP_LONGDOCUMENT};

// Pixel type before bit depth, units and resolutions before the frame.
constexpr TW_UINT16 kReadOrder[] = {
    CUSTCAP_LONGDOCUMENT, ICAP_BITORDER,       CAP_FEEDERENABLED, CAP_DUPLEXENABLED,
    CAP_AUTOFEED,         ICAP_UNITS,          ICAP_PIXELTYPE,    ICAP_BITDEPTH,
    ICAP_XRESOLUTION,     ICAP_YRESOLUTION,    ICAP_PIXELFLAVOR,  ICAP_PLANARCHUNKY,
    ICAP_THRESHOLD,       ICAP_IMAGEFILEFORMAT, ICAP_COMPRESSION, ICAP_CONTRAST,
    ICAP_BRIGHTNESS,      ICAP_GAMMA,          ICAP_SUPPORTEDSIZES, ICAP_ORIENTATION,
    ICAP_FRAMES};

struct RecordView {
  TW_UINT16 cap;
  TW_UINT16 reserved;
  TW_UINT16 itemType;
  TW_UINT16 conType;
  const uint8_t* value;
};

// The first record of that capability; false when there is none or any
// record before it is malformed: a length other than 16 (28 for a frame) or
// one that runs past the block.
bool FindRecord(const std::string& stream, TW_UINT16 cap, TW_UINT16 reserved, RecordView* out) {
  const auto* data = reinterpret_cast<const uint8_t*>(stream.data());
  size_t offset = 0;
  while (stream.size() - offset >= kRecordBytes) {
    const uint8_t* p = data + offset;
    const auto length = twain::Load<TW_UINT32>(p);
    RecordView record{twain::Load<TW_UINT16>(p, 4), twain::Load<TW_UINT16>(p, 6),
                      twain::Load<TW_UINT16>(p, 8), twain::Load<TW_UINT16>(p, 10), p + 12};
    const uint32_t expected = record.itemType == TWTY_FRAME ? kFrameRecordBytes : kRecordBytes;
    if (length != expected || length > stream.size() - offset) return false;
    if (record.cap == cap && record.reserved == reserved) {
      *out = record;
      return true;
    }
    offset += length;
  }
  return false;
}

// Every record well formed and the block used up by them.
bool WellFormed(const std::string& stream) {
  const auto* data = reinterpret_cast<const uint8_t*>(stream.data());
  size_t offset = 0;
  while (offset < stream.size()) {
    if (stream.size() - offset < kRecordBytes) return false;
    const auto length = twain::Load<TW_UINT32>(data + offset);
    const auto itemType = twain::Load<TW_UINT16>(data + offset, 8);
    const uint32_t expected = itemType == TWTY_FRAME ? kFrameRecordBytes : kRecordBytes;
    if (length != expected || length > stream.size() - offset) return false;
    offset += length;
  }
  return true;
}

void Append(std::string& stream, const void* bytes, size_t size) {
  stream.append(static_cast<const char*>(bytes), size);
}

}  // namespace

bool CTWAINDS_FreeImage::WriteCapRecord(std::string& stream, TW_UINT16 cap, TW_UINT16 reserved,
                                        TW_UINT16 conType) {
  CTWAINContainer* container = FindContainer(cap);
  if (!container || conType != TWON_ONEVALUE) return false;
  uint8_t record[kFrameRecordBytes] = {};
  uint32_t length = kRecordBytes;
  if (auto* flag = dynamic_cast<CTWAINContainerBool*>(container)) {
    bool value = false;
    if (!flag->GetCurrent(&value)) return false;
    twain::Store<int32_t>(record, value ? 1 : 0, 12);
  } else if (auto* number = dynamic_cast<CTWAINContainerInt*>(container)) {
    int value = 0;
    if (!number->GetCurrent(&value)) return false;
    twain::Store<int32_t>(record, value, 12);
  } else if (auto* fix32 = dynamic_cast<CTWAINContainerFix32*>(container)) {
    float value = 0;
    if (!fix32->GetCurrent(&value)) return false;
    twain::Store(record, value, 12);
  } else if (auto* range = dynamic_cast<CTWAINContainerFix32Range*>(container)) {
    float value = 0;
    if (!range->GetCurrent(&value)) return false;
    twain::Store(record, value, 12);
  } else if (auto* frames = dynamic_cast<CTWAINContainerFrame*>(container)) {
    MilFrame frame;
    if (!frames->GetCurrentFrame(frame)) return false;
    length = kFrameRecordBytes;
    twain::Store<int32_t>(record, frame.bottom, 12);
    twain::Store<int32_t>(record, frame.left, 16);
    twain::Store<int32_t>(record, frame.right, 20);
    twain::Store<int32_t>(record, frame.top, 24);
  } else {
    return false;
  }
  twain::Store<TW_UINT32>(record, length);
  twain::Store<TW_UINT16>(record, cap, 4);
  twain::Store<TW_UINT16>(record, reserved, 6);
  twain::Store<TW_UINT16>(record, container->GetItemType(), 8);
  twain::Store<TW_UINT16>(record, conType, 10);
  Append(stream, record, length);
  return true;
}

bool CTWAINDS_FreeImage::ReadCapRecord(const std::string& stream, TW_UINT16 cap,
                                       TW_UINT16 reserved) {
  RecordView record{};
  if (!FindRecord(stream, cap, reserved, &record)) return false;
  CTWAINContainer* container = FindContainer(cap);
  if (!container || record.itemType != container->GetItemType() ||
      record.conType != TWON_ONEVALUE)
    return false;
  if (auto* frames = dynamic_cast<CTWAINContainerFrame*>(container)) {
    MilFrame frame;
    frame.bottom = twain::Load<int32_t>(record.value);
    frame.left = twain::Load<int32_t>(record.value, 4);
    frame.right = twain::Load<int32_t>(record.value, 8);
    frame.top = twain::Load<int32_t>(record.value, 12);
    ConstrainFrame(frame);
    return frames->SetCurrentFrame(frame);
  }
  const auto raw = twain::Load<int32_t>(record.value);
  const auto real = twain::Load<float>(record.value);
  // Floats stand for TW_FIX32 values: finite and within its range.
  if (record.itemType == TWTY_FIX32 && !(std::fabs(real) < 32768.0f)) return false;
  // The value as a one-value record of its item type, for the checks.
  uint8_t oneValue[6] = {};
  twain::Store<TW_UINT16>(oneValue, record.itemType);
  if (record.itemType == TWTY_FIX32)
    twain::Store(oneValue, FloatToFix32(real), 2);
  else
    twain::Store<int32_t>(oneValue, raw, 2);
  if (ValidateCapValue(cap, TWON_ONEVALUE, oneValue) == 1) return false;
  if (auto* flag = dynamic_cast<CTWAINContainerBool*>(container)) return flag->SetCurrent(raw != 0);
  if (auto* number = dynamic_cast<CTWAINContainerInt*>(container)) return number->SetCurrent(raw);
  if (auto* fix32 = dynamic_cast<CTWAINContainerFix32*>(container)) return fix32->SetCurrent(real);
  if (auto* range = dynamic_cast<CTWAINContainerFix32Range*>(container))
    return range->SetCurrent(real);
  return false;
}

bool CTWAINDS_FreeImage::SaveCapsToStream(std::string& stream) {
  for (TW_UINT16 cap : kWriteOrder)
    if (!WriteCapRecord(stream, cap, 0, TWON_ONEVALUE)) return false;
  return true;
}

bool CTWAINDS_FreeImage::LoadCapsFromStream(const std::string& stream) {
  for (TW_UINT16 cap : kReadOrder)
    if (!ReadCapRecord(stream, cap, 0)) return false;
  return true;
}

TW_INT16 CTWAINDS_FreeImage::StoreCustomDSData(TW_CUSTOMDSDATA* data) {
  if (!data) return Fail(TWCC_BADVALUE);
  std::string records;
  if (!SaveCapsToStream(records)) return Fail(TWCC_BUMMER);
  const auto total = static_cast<TW_UINT32>(records.size() + kGuidBytes);
  TW_HANDLE block = AllocDSMMemory(total);
  if (!block) return Fail(TWCC_LOWMEMORY);
  auto* p = static_cast<uint8_t*>(LockDSMMemory(block));
  if (!p) {
    FreeDSMMemory(block);
    return Fail(TWCC_LOWMEMORY);
  }
  std::memcpy(p, TWAIN_SOURCE_GUID, kGuidBytes);
  std::memcpy(p + kGuidBytes, records.data(), records.size());
  UnlockDSMMemory(block);
  data->InfoLength = total;
  data->hData = block;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::LoadCustomDSData(TW_CUSTOMDSDATA* data) {
  if (!data) return Fail(TWCC_BADVALUE);
  const TW_UINT32 length = data->InfoLength;
  TW_HANDLE handle = data->hData;
  if (!handle || length <= kGuidBytes || length > kMaxBlockBytes) return Fail(TWCC_BADVALUE);
  const auto* p = static_cast<const uint8_t*>(LockDSMMemory(handle));
  if (!p) return Fail(TWCC_LOWMEMORY);
  if (std::memcmp(p, TWAIN_SOURCE_GUID, kGuidBytes) != 0) {
    UnlockDSMMemory(handle);
    return Fail(TWCC_BADVALUE);
  }
  const std::string records(reinterpret_cast<const char*>(p) + kGuidBytes, length - kGuidBytes);
  UnlockDSMMemory(handle);
  if (!WellFormed(records)) return Fail(TWCC_BADVALUE);
  std::string wayBack;
  if (!SaveCapsToStream(wayBack)) return Fail(TWCC_BADVALUE);
  if (LoadCapsFromStream(records)) return TWRC_SUCCESS;
  LoadCapsFromStream(wayBack);
  return Fail(TWCC_BADVALUE);
}
