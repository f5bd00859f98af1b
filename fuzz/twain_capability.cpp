// A host's DAT_CAPABILITY / MSG_SET record and its DAT_ENTRYPOINT record, as
// the data source parses them. Input: capability index (1 byte), container
// form (1 byte), entry-point size (1 byte), then the record's bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "twain/DSMBinding.h"
#include "twain/TWAINDS_FreeImage.h"

namespace {

// Every capability the source offers, plus one it does not.
constexpr TW_UINT16 kCaps[] = {
    CAP_SUPPORTEDCAPS,   ICAP_COMPRESSION,   ICAP_PLANARCHUNKY,       ICAP_UNITS,
    ICAP_XFERMECH,       ICAP_PIXELTYPE,     CAP_UICONTROLLABLE,      CAP_ENABLEDSUIONLY,
    CAP_XFERCOUNT,       ICAP_BITORDER,      ICAP_IMAGEFILEFORMAT,    ICAP_PIXELFLAVOR,
    ICAP_SUPPORTEDSIZES, ICAP_ORIENTATION,   CAP_DEVICEONLINE,        CAP_INDICATORS,
    ICAP_MAXFRAMES,      CAP_FEEDERENABLED,  CAP_DUPLEX,              CAP_DUPLEXENABLED,
    CAP_FEEDERLOADED,    CAP_AUTOFEED,       CAP_PAPERDETECTABLE,     CUSTCAP_LONGDOCUMENT,
    CUSTCAP_DOCS_IN_ADF, CAP_CUSTOMDSDATA,   ICAP_BITDEPTH,           CAP_CUSTOMINTERFACEGUID,
    ICAP_GAMMA,          ICAP_THRESHOLD,     ICAP_CONTRAST,           ICAP_BRIGHTNESS,
    ICAP_XRESOLUTION,    ICAP_YRESOLUTION,   ICAP_PHYSICALWIDTH,      ICAP_PHYSICALHEIGHT,
    ICAP_FRAMES,         ICAP_JPEGQUALITY,   0x7777,
};

// A host block large enough for the longest list a source reads.
constexpr size_t kBlockSize = 14 + CTWAINContainer::kMaxHostItems * 1026;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  setenv("VQ_COMMON_APPDATA", "/tmp/vq-twain-fuzz", 0);
  static std::vector<uint8_t> block(kBlockSize);
  std::memset(block.data(), 0, block.size());
  std::memcpy(block.data(), data + 3, std::min(size - 3, block.size()));

  TW_IDENTITY host{};
  host.Id = 1;
  host.SupportedGroups = DG_CONTROL | DG_IMAGE | (data[0] & 0x80 ? DF_APP2 : 0);
  CTWAINDS_FreeImage ds(host);
  if (ds.Initialize() != TWRC_SUCCESS) return 0;
  TW_IDENTITY source = DSIdentity;
  source.Id = 2;
  ds.DispatchTriplet(&host, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);

  TW_CAPABILITY cap{kCaps[data[0] % std::size(kCaps)], static_cast<TW_UINT16>(data[1] % 8),
                    block.data()};
  ds.DispatchTriplet(&host, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap);
  for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
    TW_CAPABILITY answer{cap.Cap, 0, nullptr};
    if (ds.DispatchTriplet(&host, DG_CONTROL, DAT_CAPABILITY, msg, &answer) == TWRC_SUCCESS)
      FreeDSMMemory(answer.hContainer);
  }
  TW_IMAGELAYOUT layout{};
  std::memcpy(&layout, block.data(), sizeof layout);
  ds.DispatchTriplet(&host, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout);

  // The entry-point record: only its first Size bytes exist.
  std::vector<uint8_t> entry(std::min<size_t>(data[2], sizeof(TW_ENTRYPOINT)));
  if (entry.size() >= 4) {
    const TW_UINT32 declared = static_cast<TW_UINT32>(entry.size());
    std::memcpy(entry.data(), &declared, 4);
    SetDSMEntryPoints(reinterpret_cast<TW_ENTRYPOINT*>(entry.data()));
    SetDSMEntryPoints(nullptr);
  }
  return 0;
}
