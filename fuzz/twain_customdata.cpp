// A host's DAT_CUSTOMDSDATA / MSG_SET block as the data source reads it, then
// the capabilities it restored read back. Input: one flag byte (bit 0: the
// source's GUID is put in front; bit 1: InfoLength overstates the block by
// up to 255 bytes of zeros, given by the second byte), then the block.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "twain/DSMBinding.h"
#include "twain/TWAINDS_FreeImage.h"

namespace {

constexpr uint8_t kGuid[16] = {0x45, 0xF8, 0xFA, 0xA4, 0x83, 0x13, 0x36, 0x40,
                               0xAE, 0xDC, 0x17, 0xC3, 0x96, 0x81, 0x88, 0xB4};

constexpr TW_UINT16 kStoredCaps[] = {
    CAP_FEEDERENABLED, CAP_DUPLEXENABLED, CAP_AUTOFEED,       ICAP_BITDEPTH,   ICAP_BITORDER,
    ICAP_COMPRESSION,  ICAP_FRAMES,       ICAP_IMAGEFILEFORMAT, ICAP_PIXELFLAVOR, ICAP_PIXELTYPE,
    ICAP_PLANARCHUNKY, ICAP_SUPPORTEDSIZES, ICAP_ORIENTATION, ICAP_UNITS,      ICAP_XRESOLUTION,
    ICAP_YRESOLUTION,  ICAP_THRESHOLD,    ICAP_CONTRAST,      ICAP_BRIGHTNESS, ICAP_GAMMA,
    CUSTCAP_LONGDOCUMENT};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || size > 4096) return 0;
  setenv("VQ_COMMON_APPDATA", "/tmp/vq-twain-fuzz", 0);
  const bool withGuid = data[0] & 1;
  const size_t overstated = (data[0] & 2) ? data[1] : 0;
  std::vector<uint8_t> block;
  if (withGuid) block.assign(kGuid, kGuid + sizeof kGuid);
  block.insert(block.end(), data + 2, data + size);
  const size_t declared = block.size();
  block.resize(declared + overstated, 0);

  TW_IDENTITY host{};
  host.Id = 1;
  host.SupportedGroups = DG_CONTROL | DG_IMAGE | DF_APP2;
  CTWAINDS_FreeImage ds(host);
  if (ds.Initialize() != TWRC_SUCCESS) return 0;
  TW_IDENTITY source = DSIdentity;
  source.Id = 2;
  ds.DispatchTriplet(&host, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);

  TW_CUSTOMDSDATA custom{static_cast<TW_UINT32>(declared + overstated), block.data()};
  ds.DispatchTriplet(&host, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_SET, &custom);
  for (TW_UINT16 cap : kStoredCaps) {
    TW_CAPABILITY answer{cap, 0, nullptr};
    if (ds.DispatchTriplet(&host, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &answer) ==
        TWRC_SUCCESS)
      FreeDSMMemory(answer.hContainer);
  }
  TW_CUSTOMDSDATA saved{0, nullptr};
  if (ds.DispatchTriplet(&host, DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, &saved) == TWRC_SUCCESS)
    FreeDSMMemory(saved.hData);
  return 0;
}
