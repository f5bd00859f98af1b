#include "twain/TWAINDS_FreeImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <new>

#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainerFix32Range.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAIN_UI.h"

TW_IDENTITY DSIdentity = {
    0,
    {2, 1, TWLG_ENGLISH, TWCY_USA, "1.8.0release32bit"},
    2,
    1,
    DG_CONTROL | DG_IMAGE | DF_DS2,
    "Ombrecht\xC8\xED\xBC\xFE",
    "Ombrecht\xD3\xB0\xCF\xF1\xB2\xC9\xBC\xAF" "Twain",
    "Tirrowan Twain",
};

namespace {

constexpr int kAll = TWQC_GET | TWQC_SET | TWQC_GETDEFAULT | TWQC_GETCURRENT | TWQC_RESET;
constexpr int kRead = TWQC_GET | TWQC_GETDEFAULT | TWQC_GETCURRENT;

// CAP_SUPPORTEDCAPS in its own order; MSG_RESETALL walks it.
constexpr TW_UINT16 kSupportedCaps[] = {
    CAP_DEVICEONLINE,     CAP_INDICATORS,       CAP_ENABLEDSUIONLY,   CAP_PAPERDETECTABLE,
    CAP_FEEDERENABLED,    CAP_FEEDERLOADED,     CAP_DUPLEX,           CAP_DUPLEXENABLED,
    CAP_AUTOFEED,         CAP_SUPPORTEDCAPS,    CAP_UICONTROLLABLE,   CAP_XFERCOUNT,
    ICAP_BITDEPTH,        ICAP_BITORDER,        ICAP_COMPRESSION,     ICAP_FRAMES,
    ICAP_MAXFRAMES,       ICAP_IMAGEFILEFORMAT, ICAP_PHYSICALHEIGHT,  ICAP_PHYSICALWIDTH,
    ICAP_PIXELFLAVOR,     ICAP_PIXELTYPE,       ICAP_PLANARCHUNKY,    ICAP_SUPPORTEDSIZES,
    ICAP_ORIENTATION,     ICAP_UNITS,           ICAP_XFERMECH,        ICAP_XRESOLUTION,
    ICAP_YRESOLUTION,     ICAP_THRESHOLD,       ICAP_CONTRAST,        ICAP_BRIGHTNESS,
    ICAP_GAMMA,           CAP_CUSTOMINTERFACEGUID, CUSTCAP_LONGDOCUMENT, CUSTCAP_DOCS_IN_ADF,
    CAP_CUSTOMDSDATA,     ICAP_JPEGQUALITY,
};
static_assert(std::size(kSupportedCaps) == 38);

const char* CapName(TW_UINT16 cap) {
  switch (cap) {
    case CAP_SUPPORTEDCAPS: return "CAP_SUPPORTEDCAPS";
    case ICAP_COMPRESSION: return "ICAP_COMPRESSION";
    case ICAP_PLANARCHUNKY: return "ICAP_PLANARCHUNKY";
    case ICAP_UNITS: return "ICAP_UNITS";
    case ICAP_XFERMECH: return "ICAP_XFERMECH";
    case ICAP_PIXELTYPE: return "ICAP_PIXELTYPE";
    case CAP_UICONTROLLABLE: return "CAP_UICONTROLLABLE";
    case CAP_ENABLEDSUIONLY: return "CAP_ENABLEDSUIONLY";
    case CAP_XFERCOUNT: return "CAP_XFERCOUNT";
    case ICAP_BITORDER: return "ICAP_BITORDER";
    case ICAP_IMAGEFILEFORMAT: return "ICAP_IMAGEFILEFORMAT";
    case ICAP_PIXELFLAVOR: return "ICAP_PIXELFLAVOR";
    case ICAP_SUPPORTEDSIZES: return "ICAP_SUPPORTEDSIZES";
    case ICAP_ORIENTATION: return "ICAP_ORIENTATION";
    case CAP_DEVICEONLINE: return "CAP_DEVICEONLINE";
    case CAP_INDICATORS: return "CAP_INDICATORS";
    case ICAP_MAXFRAMES: return "ICAP_MAXFRAMES";
    case CAP_FEEDERENABLED: return "CAP_FEEDERENABLED";
    case CAP_DUPLEX: return "CAP_DUPLEX";
    case CAP_DUPLEXENABLED: return "CAP_DUPLEXENABLED";
    case CAP_FEEDERLOADED: return "CAP_FEEDERLOADED";
    case CAP_AUTOFEED: return "CAP_AUTOFEED";
    case CAP_PAPERDETECTABLE: return "CAP_PAPERDETECTABLE";
    case CUSTCAP_LONGDOCUMENT: return "CUSTCAP_LONGDOCUMENT";
    case CUSTCAP_DOCS_IN_ADF: return "CUSTCAP_DOCS_IN_ADF";
    case CAP_CUSTOMDSDATA: return "CAP_CUSTOMDSDATA";
    case ICAP_BITDEPTH: return "ICAP_BITDEPTH";
    case CAP_CUSTOMINTERFACEGUID: return "CAP_CUSTOMINTERFACEGUID";
    case ICAP_GAMMA: return "ICAP_GAMMA";
    case ICAP_THRESHOLD: return "ICAP_THRESHOLD";
    case ICAP_CONTRAST: return "ICAP_CONTRAST";
    case ICAP_BRIGHTNESS: return "ICAP_BRIGHTNESS";
    case ICAP_XRESOLUTION: return "ICAP_XRESOLUTION";
    case ICAP_YRESOLUTION: return "ICAP_YRESOLUTION";
    case ICAP_PHYSICALWIDTH: return "ICAP_PHYSICALWIDTH";
    case ICAP_PHYSICALHEIGHT: return "ICAP_PHYSICALHEIGHT";
    case ICAP_FRAMES: return "ICAP_FRAMES";
    case ICAP_JPEGQUALITY: return "ICAP_JPEGQUALITY";
    default: return "capability";
  }
}

template <class T>
struct Value {
  T value;
  bool isDefault = false;
};

// Fills a value-list container; the first value added is current and default
// unless a later one is marked as default.
template <class Container, class T>
Container* Filled(Container* container, std::initializer_list<Value<T>> values) {
  if (!container) return nullptr;
  for (const Value<T>& v : values)
    if (!container->Add(v.value, v.isDefault)) {
      delete container;
      return nullptr;
    }
  return container;
}

void PrepError() {
  std::cerr << "ds: There was an error while prepping the image for scanning" << std::endl;
}

}  // namespace

CTWAINDS_FreeImage::CTWAINDS_FreeImage(TW_IDENTITY app) : m_application(app) {
  GetIdentity(&m_myIdentity);
  m_ui = CreateUI(this);
  m_imageSource.SetUI(m_ui);
}

CTWAINDS_FreeImage::~CTWAINDS_FreeImage() {
  m_imageSource.SetUI(nullptr);
  DestroyUI(m_ui);
  m_ui = nullptr;
}

void CTWAINDS_FreeImage::GetIdentity(TW_IDENTITY* out) { *out = DSIdentity; }

bool CTWAINDS_FreeImage::CreateCapabilities() {
  const bool enumerate = (m_application.SupportedGroups & DF_APP2) != 0;
  auto store = [&](CTWAINContainer* container, TW_UINT16 cap) {
    if (!container) {
      std::cerr << "Could not create " << CapName(cap) << std::endl;
      m_conditionCode = TWCC_LOWMEMORY;
      return false;
    }
    m_capabilities[cap].reset(container);
    return true;
  };
  auto intCap = [&](TW_UINT16 cap, TW_UINT16 type, TW_UINT16 form, int mask,
                    std::initializer_list<Value<int>> values) {
    return store(Filled(new (std::nothrow) CTWAINContainerInt(cap, type, form, mask), values),
                 cap);
  };
  auto boolCap = [&](TW_UINT16 cap, int mask, std::initializer_list<Value<bool>> values) {
    return store(Filled(new (std::nothrow) CTWAINContainerBool(cap, enumerate, mask), values),
                 cap);
  };
  auto rangeCap = [&](TW_UINT16 cap, float min, float max, float value) {
    return store(new (std::nothrow) CTWAINContainerFix32Range(cap, min, max, 1, value, kAll), cap);
  };
  auto sizeCap = [&](TW_UINT16 cap, int mask, float value) {
    auto* container =
        Filled(new (std::nothrow) CTWAINContainerFix32(cap, TWON_ONEVALUE, mask),
               {Value<float>{value, true}});
    if (!container) return store(nullptr, cap);
    m_sizes[cap].reset(container);
    return true;
  };

  auto* supported = new (std::nothrow)
      CTWAINContainerInt(CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, kRead);
  if (supported)
    for (TW_UINT16 cap : kSupportedCaps) supported->Add(cap);
  if (!store(supported, CAP_SUPPORTEDCAPS)) return false;

  constexpr TW_UINT16 U16 = TWTY_UINT16;
  constexpr TW_UINT16 ENUM = TWON_ENUMERATION;
  constexpr TW_UINT16 ONE = TWON_ONEVALUE;
  bool ok = intCap(ICAP_COMPRESSION, U16, ENUM, kAll, {{TWCP_NONE, true}}) &&
            intCap(ICAP_PLANARCHUNKY, U16, ENUM, kAll, {{TWPC_CHUNKY, true}}) &&
            intCap(ICAP_UNITS, U16, ENUM, kAll,
                   {{TWUN_INCHES, true},
                    {TWUN_PIXELS},
                    {TWUN_CENTIMETERS},
                    {TWUN_PICAS},
                    {TWUN_POINTS},
                    {TWUN_TWIPS}}) &&
            intCap(ICAP_XFERMECH, U16, ENUM, kAll,
                   {{TWSX_FILE}, {TWSX_MEMORY}, {TWSX_NATIVE, true}}) &&
            intCap(ICAP_PIXELTYPE, U16, ENUM, kAll, {{TWPT_BW}, {TWPT_GRAY}, {TWPT_RGB, true}}) &&
            boolCap(CAP_UICONTROLLABLE, kRead, {{true, true}}) &&
            boolCap(CAP_ENABLEDSUIONLY, kRead, {{true, true}}) &&
            intCap(CAP_XFERCOUNT, TWTY_INT16, ONE, kAll, {{-1, true}}) &&
            intCap(ICAP_BITORDER, U16, ENUM, kAll, {{TWBO_LSBFIRST, true}, {TWBO_MSBFIRST}}) &&
            intCap(ICAP_IMAGEFILEFORMAT, U16, ENUM, kAll,
                   {{TWFF_TIFF, true}, {TWFF_BMP}, {TWFF_JFIF}, {TWFF_PDF}});
  if (!ok) return false;
  std::strcpy(m_currentFileName, "sample.bmp");
  std::strcpy(m_defaultFileName, "sample.bmp");

  ok = intCap(ICAP_PIXELFLAVOR, U16, ENUM, kAll, {{TWPF_CHOCOLATE, true}}) &&
       intCap(ICAP_SUPPORTEDSIZES, U16, ENUM, kAll,
              {{TWSS_NONE}, {TWSS_USLETTER, true}, {TWSS_USLEGAL}}) &&
       intCap(ICAP_ORIENTATION, U16, ENUM, kAll, {{TWOR_ROT0, true}}) &&
       boolCap(CAP_DEVICEONLINE, kRead, {{true, true}, {false}}) &&
       boolCap(CAP_INDICATORS, kAll, {{true, true}, {false}}) &&
       intCap(ICAP_MAXFRAMES, U16, ONE, kAll, {{1, true}}) &&
       boolCap(CAP_FEEDERENABLED, kAll, {{false}, {true, true}}) &&
       intCap(CAP_DUPLEX, U16, ONE, kRead, {{TWDX_NONE, true}}) &&
       boolCap(CAP_DUPLEXENABLED, kAll, {{false, true}}) &&
       boolCap(CAP_FEEDERLOADED, kRead, {{true}, {false, true}}) &&
       boolCap(CAP_AUTOFEED, kAll, {{true, true}, {false}}) &&
       boolCap(CAP_PAPERDETECTABLE, kRead, {{true, true}}) &&
       boolCap(CUSTCAP_LONGDOCUMENT, kAll, {{true}, {false, true}}) &&
       intCap(CUSTCAP_DOCS_IN_ADF, U16, ONE, kAll, {{m_imageSource.GetDocsInFeeder()}}) &&
       boolCap(CAP_CUSTOMDSDATA, kRead, {{true, true}});
  if (!ok) return false;

  const std::initializer_list<std::pair<TW_UINT16, int>> depths = {
      {TWPT_BW, 1}, {TWPT_GRAY, 8}, {TWPT_RGB, 24}};
  for (auto [pixelType, depth] : depths) {
    auto* container = Filled(new (std::nothrow) CTWAINContainerInt(ICAP_BITDEPTH, U16, ENUM, kAll),
                             {Value<int>{depth, true}});
    if (!container) return store(nullptr, ICAP_BITDEPTH);
    m_bitDepths[pixelType].reset(container);
  }

  ok = store(Filled(new (std::nothrow)
                        CTWAINContainerString(CAP_CUSTOMINTERFACEGUID, TWTY_STR255, ONE, kRead),
                    {Value<std::string>{"{A4FAF845-1383-4036-AEDC-17C3968188B4}", true}}),
             CAP_CUSTOMINTERFACEGUID) &&
       store(Filled(new (std::nothrow) CTWAINContainerFix32(ICAP_GAMMA, ONE, kAll),
                    {Value<float>{1.0f, true}}),
             ICAP_GAMMA) &&
       rangeCap(ICAP_THRESHOLD, 0, 255, 128) && rangeCap(ICAP_CONTRAST, -1000, 1000, 0) &&
       rangeCap(ICAP_BRIGHTNESS, -1000, 1000, 0) && sizeCap(ICAP_XRESOLUTION, kAll, 220.05f) &&
       sizeCap(ICAP_YRESOLUTION, kAll, 220.05f) && sizeCap(ICAP_PHYSICALWIDTH, kRead, 8.5f) &&
       sizeCap(ICAP_PHYSICALHEIGHT, kRead, 14.0f);
  if (!ok) return false;

  m_frames.reset(new (std::nothrow) CTWAINContainerFrame(ICAP_FRAMES, ENUM, kAll));
  if (!m_frames) return store(nullptr, ICAP_FRAMES);
  m_frames->AddFrame(0, 0, 8500, 11000, true);
  return intCap(ICAP_JPEGQUALITY, TWTY_INT16, ONE, kAll, {{30, true}});
}

TW_INT16 CTWAINDS_FreeImage::Initialize() {
  if (!CreateCapabilities()) return TWRC_FAILURE;
  int units = TWUN_PIXELS;
  float xRes = 100, yRes = 100;
  if (getCurrentUnits(&units, &xRes, &yRes) != TWRC_SUCCESS) {
    std::cerr << "Could not getCurrentUnits" << std::endl;
    return Fail(TWCC_BUMMER);
  }
  m_frames->SetUnits(units, xRes, yRes);
  return TWRC_SUCCESS;
}

CTWAINContainerInt* CTWAINDS_FreeImage::GetBitDepthContainer() {
  auto it = m_capabilities.find(ICAP_PIXELTYPE);
  auto* pixelTypes = it == m_capabilities.end()
                         ? nullptr
                         : dynamic_cast<CTWAINContainerInt*>(it->second.get());
  int pixelType = 0;
  if (!pixelTypes || !pixelTypes->GetCurrent(&pixelType)) return nullptr;
  auto depth = m_bitDepths.find(static_cast<TW_UINT16>(pixelType));
  return depth == m_bitDepths.end() ? nullptr : depth->second.get();
}

CTWAINContainer* CTWAINDS_FreeImage::FindContainer(TW_UINT16 cap) {
  switch (cap) {
    case CUSTCAP_DOCS_IN_ADF: {
      auto* container = dynamic_cast<CTWAINContainerInt*>(CTWAINDS_Base::FindContainer(cap));
      if (container) container->SetCurrent(m_imageSource.GetDocsInFeeder());
      return container;
    }
    case ICAP_BITDEPTH: return GetBitDepthContainer();
    case ICAP_FRAMES: return m_frames.get();
    case CAP_DEVICEONLINE: {
      auto* container = dynamic_cast<CTWAINContainerBool*>(CTWAINDS_Base::FindContainer(cap));
      if (container) container->SetCurrent(true);
      return container;
    }
    case CAP_FEEDERLOADED: {
      // Asked without touching the page count.
      auto* container = dynamic_cast<CTWAINContainerBool*>(CTWAINDS_Base::FindContainer(cap));
      if (container) container->SetCurrent(m_imageSource.GetDocCount() > 0);
      return container;
    }
    case ICAP_PHYSICALWIDTH:
    case ICAP_PHYSICALHEIGHT:
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: {
      auto it = m_sizes.find(cap);
      return it == m_sizes.end() ? nullptr : it->second.get();
    }
    default: return CTWAINDS_Base::FindContainer(cap);
  }
}

TW_INT16 CTWAINDS_FreeImage::ValidateCapValue(TW_UINT16 cap, TW_UINT16 conType, void* record) {
  TW_INT16 result = CTWAINDS_Base::ValidateCapValue(cap, conType, record);
  if (result != 0) return result;
  auto* p = static_cast<uint8_t*>(record);
  if (cap == CUSTCAP_DOCS_IN_ADF) {
    if (conType != TWON_ONEVALUE || !record) return 1;
    auto count = twain::Load<TW_INT16>(p, 2);
    if (count < 0) return 1;
    m_imageSource.SetDocsInFeeder(static_cast<TW_UINT16>(count));
    return 0;
  }
  if (cap == ICAP_XRESOLUTION || cap == ICAP_YRESOLUTION) {
    // Every length in pixels divides by the resolution.
    if (conType != TWON_ONEVALUE || twain::Load<TW_UINT16>(p) != TWTY_FIX32) return 0;
    TW_FIX32 value = twain::Load<TW_FIX32>(p, 2);
    return Fix32ToFloat(&value) > 0.0f ? 0 : 1;
  }
  return 0;
}

bool CTWAINDS_FreeImage::UpdateSourceParams() {
  SourceImageParams params = m_imageSource.GetParams();
  bool ok = true;
  auto missing = [&](const char* name) {
    std::cerr << "Could not get " << name << std::endl;
    ok = false;
  };
  auto* pixelTypes = FindContainerOf<CTWAINContainerInt>(ICAP_PIXELTYPE);
  if (!pixelTypes || !pixelTypes->GetCurrent(&params.pixelType)) missing("ICAP_PIXELTYPE");
  auto* x = FindContainerOf<CTWAINContainerFix32>(ICAP_XRESOLUTION);
  if (!x || !x->GetCurrent(&params.xResolution)) missing("ICAP_XRESOLUTION");
  auto* y = FindContainerOf<CTWAINContainerFix32>(ICAP_YRESOLUTION);
  if (!y || !y->GetCurrent(&params.yResolution)) missing("ICAP_YRESOLUTION");
  MilFrame frame;
  if (!m_frames || !m_frames->GetCurrentFrame(frame)) {
    missing("ICAP_FRAMES");
  } else {
    TW_FRAME pixels = frame.ToTwFrame(TWUN_PIXELS, params.xResolution, params.yResolution);
    params.width = static_cast<int32_t>(Fix32ToFloat(&pixels.Right) - Fix32ToFloat(&pixels.Left));
    params.height =
        static_cast<int32_t>(Fix32ToFloat(&pixels.Bottom) - Fix32ToFloat(&pixels.Top));
  }
  auto readRange = [&](TW_UINT16 cap, float* out) {
    auto* range = FindContainerOf<CTWAINContainerFix32Range>(cap);
    if (!range || !range->GetCurrent(out)) missing(CapName(cap));
  };
  readRange(ICAP_THRESHOLD, &params.threshold);
  readRange(ICAP_CONTRAST, &params.contrast);
  readRange(ICAP_BRIGHTNESS, &params.brightness);
  auto* gamma = FindContainerOf<CTWAINContainerFix32>(ICAP_GAMMA);
  if (!gamma || !gamma->GetCurrent(&params.gamma)) missing("ICAP_GAMMA");
  if (ok) m_imageSource.SetParams(params);
  return ok;
}

bool CTWAINDS_FreeImage::StartScan() {
  if (!UpdateSourceParams()) {
    PrepError();
    m_conditionCode = TWCC_BADVALUE;
    return false;
  }
  if (!m_imageSource.FetchImagesFromUI()) return false;
  // The host takes as many pages as its CAP_XFERCOUNT says, -1 every one.
  int wanted = -1;
  auto* xferCount = FindContainerOf<CTWAINContainerInt>(CAP_XFERCOUNT);
  if (!xferCount || !xferCount->GetCurrent(&wanted) || wanted < 1) wanted = -1;
  m_batchLeft = wanted;
  if (wanted > 0) m_pendingXfers.Count = static_cast<TW_UINT16>(std::min<int>(wanted, m_imageSource.GetDocCount()));
  StartPageAgain();
  m_ui->OnTransferStart();
  return m_imageSource.AcquireImage();
}

void CTWAINDS_FreeImage::OnXferReadyRefused() { m_ui->OnTransferNotStarted(); }

bool CTWAINDS_FreeImage::RequestCancel() {
  m_cancelRequested = true;
  return true;
}

TW_INT16 CTWAINDS_FreeImage::OpenDS(TW_IDENTITY* app) {
  if (m_appIdentity.Id != 0) return Fail(TWCC_MAXCONNECTIONS);
  if (m_state != 3) return Fail(TWCC_SEQERROR);
  m_appIdentity = *app;
  m_documentNumber = 0;
  m_pageNumber = 0;
  if (!m_imageSource.Reset()) return Fail(TWCC_BUMMER);
  m_state = 4;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::CloseDS() {
  if (m_state != 4) return Fail(TWCC_SEQERROR);
  m_appIdentity = TW_IDENTITY{};
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::EnableDS(TW_USERINTERFACE* ui) {
  if (m_state != 4) return Fail(TWCC_SEQERROR);
  if (!ui) return Fail(TWCC_BADVALUE);
  m_state = 5;
  m_cancelRequested = false;
  StartPageAgain();
  if (!m_ui->OpenCameraWindow(ui->ShowUI != 0)) {
    m_state = 4;
    return Fail(TWCC_OPERATIONERROR);
  }
  int count = -1;
  auto* xferCount = FindContainerOf<CTWAINContainerInt>(CAP_XFERCOUNT);
  if (!xferCount || !xferCount->GetCurrent(&count)) count = -1;
  m_pendingXfers.Count = static_cast<TW_UINT16>(count);
  m_documentNumber = 0;
  m_pageNumber = 0;
  bool indicators = false;
  auto* indicatorCap = FindContainerOf<CTWAINContainerBool>(CAP_INDICATORS);
  if (!indicatorCap || !indicatorCap->GetCurrent(&indicators)) indicators = false;
  if (ui->ShowUI) {
    if (m_ui->ShowUI(*ui, false, indicators) != TWRC_SUCCESS) {
      m_state = 4;
      return Fail(TWCC_OPERATIONERROR);
    }
    return TWRC_SUCCESS;
  }
  // Without a user interface the bridge is told first, so that the capture
  // below, which announces the transfer, is the last step of the enable.
  if (m_ui->ShowUI(*ui, false, indicators) != TWRC_SUCCESS) {
    m_state = 4;
    return Fail(TWCC_OPERATIONERROR);
  }
  if (!UpdateSourceParams()) {
    PrepError();
    m_state = 4;
    return Fail(TWCC_BADVALUE);
  }
  if (!m_ui->CaptureWithoutUI()) {
    m_state = 4;
    return Fail(TWCC_SEQERROR);
  }
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::EnableDSUIOnly() {
  if (m_state != 4) return Fail(TWCC_SEQERROR);
  m_state = 5;
  TW_USERINTERFACE ui{1, 0, nullptr};
  // The window without its camera would show nothing to set.
  if (!m_ui->OpenCameraWindow(true) || m_ui->ShowUI(ui, true, false) != TWRC_SUCCESS) {
    m_state = 4;
    return Fail(TWCC_OPERATIONERROR);
  }
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::DisableDS(TW_USERINTERFACE*) {
  if (m_state != 5) return Fail(TWCC_SEQERROR);
  m_ui->HideUI();
  m_ui->OnTransferEnd();
  StartPageAgain();
  m_state = 4;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::ProcessEvent(TW_EVENT* event) {
  if (!InState(5, 7)) return Fail(TWCC_SEQERROR);
  if (!event) return Fail(TWCC_BADVALUE);
  TW_INT16 result = m_ui->IsDSEvent(event) ? TWRC_DSEVENT : TWRC_NOTDSEVENT;
  event->TWMessage = MSG_NULL;
  return result;
}

TW_INT16 CTWAINDS_FreeImage::EndXfer(TW_PENDINGXFERS* xfers) {
  if (!InState(6, 7)) return Fail(TWCC_SEQERROR);
  if (!xfers) return Fail(TWCC_BADVALUE);
  TW_INT16 result = TWRC_SUCCESS;
  // Finished or cut short, this page's transfer is over.
  StartPageAgain();
  m_pendingXfers.Count = static_cast<TW_UINT16>(m_imageSource.GetDocCount());
  if (!m_imageSource.HasMoreImages()) m_pendingXfers.Count = 0;
  if (m_batchLeft > 0) {
    // The pages past what the host wants are not offered.
    --m_batchLeft;
    m_pendingXfers.Count = static_cast<TW_UINT16>(std::min<int>(m_pendingXfers.Count, m_batchLeft));
  }
  if (m_cancelRequested) {
    m_cancelRequested = false;
    m_pendingXfers.Count = 0;
  }
  if (m_pendingXfers.Count != 0) {
    bool autoFeed = false;
    auto* feed = FindContainerOf<CTWAINContainerBool>(CAP_AUTOFEED);
    if (!feed || !feed->GetCurrent(&autoFeed)) autoFeed = false;
    if (autoFeed && !m_imageSource.AcquireImage()) {
      PrepError();
      result = Fail(TWCC_BUMMER);
    }
    GetImageInfo(&m_imageInfo);
    m_state = 6;
  } else {
    m_state = 5;
    m_ui->OnTransferEnd();
  }
  xfers->Count = m_pendingXfers.Count;
  xfers->EOJ = m_pendingXfers.EOJ;
  return result;
}

TW_INT16 CTWAINDS_FreeImage::GetPendingXfers(TW_PENDINGXFERS* xfers) {
  if (m_state != 6) return Fail(TWCC_SEQERROR);
  if (!xfers) return Fail(TWCC_BADVALUE);
  xfers->Count = m_pendingXfers.Count;
  xfers->EOJ = m_pendingXfers.EOJ;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::ResetXfers(TW_PENDINGXFERS* xfers) {
  // A disabled source (state 4) is not enabled by a reset.
  if (!InState(5, 7)) return Fail(TWCC_SEQERROR);
  if (!xfers) return Fail(TWCC_BADVALUE);
  m_pendingXfers.Count = 0;
  StartPageAgain();
  m_state = 5;
  m_ui->OnTransferEnd();
  xfers->Count = m_pendingXfers.Count;
  xfers->EOJ = m_pendingXfers.EOJ;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::GetImageInfo(TW_IMAGEINFO* info) {
  std::memset(info, 0, sizeof *info);
  if (m_state < 6) return Fail(TWCC_SEQERROR);
  const SourceImageParams params = m_imageSource.GetParams();
  info->XResolution = FloatToFix32(params.xResolution);
  info->YResolution = FloatToFix32(params.yResolution);
  info->ImageWidth = params.width;
  info->ImageLength = params.height;
  switch (static_cast<TW_UINT16>(params.pixelType)) {
    case TWPT_BW:
      info->PixelType = TWPT_BW;
      info->BitsPerPixel = 1;
      info->SamplesPerPixel = 1;
      info->BitsPerSample[0] = 1;
      break;
    case TWPT_GRAY:
      info->PixelType = TWPT_GRAY;
      info->BitsPerPixel = 8;
      info->SamplesPerPixel = 1;
      info->BitsPerSample[0] = 8;
      break;
    default:
      info->PixelType = TWPT_RGB;
      info->BitsPerPixel = 24;
      info->SamplesPerPixel = 3;
      info->BitsPerSample[0] = info->BitsPerSample[1] = info->BitsPerSample[2] = 8;
      break;
  }
  info->Planar = 0;
  info->Compression = TWCP_NONE;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::GetMemXferSizes(TW_SETUPMEMXFER* sizes) {
  if (!InState(4, 6)) return Fail(TWCC_SEQERROR);
  sizes->MinBufSize = 15300;
  sizes->MaxBufSize = 65536;
  sizes->Preferred = 65536;
  auto hostRow = [](int64_t bits, int64_t width) {
    return static_cast<TW_UINT32>((bits * width + 31) / 32 * 4);
  };
  if (m_state == 6) {
    sizes->MinBufSize = hostRow(m_imageInfo.BitsPerPixel, m_imageInfo.ImageWidth);
    return TWRC_SUCCESS;
  }
  int depth = 24;
  float xRes = 600;
  CTWAINContainerInt* depths = GetBitDepthContainer();
  if (!depths) {
    std::cerr << "Could not get ICAP_BITDEPTH" << std::endl;
    return Fail(TWCC_BUMMER);
  }
  depths->GetCurrent(&depth);
  auto* x = FindContainerOf<CTWAINContainerFix32>(ICAP_XRESOLUTION);
  if (!x) {
    std::cerr << "Could not get ICAP_XRESOLUTION" << std::endl;
    return Fail(TWCC_BUMMER);
  }
  x->GetCurrent(&xRes);
  MilFrame frame;
  if (!m_frames || !m_frames->GetCurrentFrame(frame)) {
    std::cerr << "Could not get ICAP_FRAMES" << std::endl;
    return Fail(TWCC_BUMMER);
  }
  TW_FRAME pixels = frame.ToTwFrame(TWUN_PIXELS, xRes, xRes);
  auto width = static_cast<int64_t>(Fix32ToFloat(&pixels.Right) - Fix32ToFloat(&pixels.Left));
  sizes->MinBufSize = hostRow(depth, width);
  return TWRC_SUCCESS;
}

bool CTWAINDS_FreeImage::NotifyCloseDSOK() {
  if (m_state != 5) {
    m_conditionCode = TWCC_SEQERROR;
    return false;
  }
  if (!UpdateSourceParams()) return false;
  return CTWAINDS_Base::NotifyCloseDSOK();
}

bool CTWAINDS_FreeImage::ReadFrameInUnits(const MilFrame& frame, TW_FRAME* out) {
  int units = TWUN_PIXELS;
  float xRes = 100, yRes = 100;
  TW_INT16 result = getCurrentUnits(&units, &xRes, &yRes);
  *out = frame.ToTwFrame(units, xRes, yRes);
  return result == TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_FreeImage::HandleImageLayout(TW_UINT16 MSG, TW_IMAGELAYOUT* layout) {
  switch (MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
      if (!InState(4, 6)) return Fail(TWCC_SEQERROR);
      break;
    case MSG_SET:
    case MSG_RESET:
      if (m_state != 4) return Fail(TWCC_SEQERROR);
      break;
    default: break;
  }
  if (!layout || !m_frames) return Fail(TWCC_BADVALUE);
  if (MSG != MSG_GET && MSG != MSG_GETCURRENT && MSG != MSG_GETDEFAULT && MSG != MSG_SET &&
      MSG != MSG_RESET)
    return Fail(TWCC_BADPROTOCOL);

  TW_INT16 result = TWRC_SUCCESS;
  if (MSG == MSG_SET) {
    int units = TWUN_PIXELS;
    float xRes = 100, yRes = 100;
    if (getCurrentUnits(&units, &xRes, &yRes) != TWRC_SUCCESS) result = TWRC_FAILURE;
    MilFrame frame = MilFrame::FromTwFrame(layout->Frame, units, xRes, yRes);
    TW_FRAME record = layout->Frame;
    if (ConstrainFrame(frame)) {
      record = frame.ToTwFrame(units, xRes, yRes);
      layout->Frame = record;
      result = TWRC_CHECKSTATUS;
    }
    TW_HANDLE block = MakeBlock(sizeof(TW_ONEVALUE_FRAME), [&](uint8_t* p) {
      twain::Store<TW_UINT16>(p, TWTY_FRAME);
      twain::Store(p, record, 2);
    });
    if (!block) {
      result = Fail(TWCC_CAPBADOPERATION);
    } else {
      TW_CAPABILITY cap{ICAP_FRAMES, TWON_ONEVALUE, block};
      RefreshContainer(m_frames.get());
      TW_INT16 condition = TWCC_SUCCESS;
      TW_INT16 set = m_frames->SetFromCapability(&cap, &condition);
      FreeDSMMemory(block);
      if (set == TWRC_FAILURE) {
        result = Fail(static_cast<TW_UINT16>(condition));
      } else {
        UpdateDependentCaps(MSG_SET, ICAP_FRAMES);
      }
    }
    if (layout->DocumentNumber != 0xFFFFFFFF) m_documentNumber = layout->DocumentNumber;
    if (layout->PageNumber != 0xFFFFFFFF) m_pageNumber = layout->PageNumber;
    return result;
  }
  if (MSG == MSG_RESET) {
    auto* sizes = FindContainerOf<CTWAINContainerInt>(ICAP_SUPPORTEDSIZES);
    if (!sizes || !sizes->Reset())
      result = Fail(TWCC_CAPBADOPERATION);
    else
      UpdateDependentCaps(MSG_RESET, ICAP_SUPPORTEDSIZES);
  }
  MilFrame frame;
  bool found = MSG == MSG_GETDEFAULT ? m_frames->GetDefaultFrame(frame)
                                     : m_frames->GetCurrentFrame(frame);
  if (!found) return Fail(TWCC_CAPBADOPERATION);
  ReadFrameInUnits(frame, &layout->Frame);
  layout->FrameNumber = static_cast<TW_UINT32>(m_frames->Find(frame));
  layout->DocumentNumber = m_documentNumber;
  layout->PageNumber = m_pageNumber;
  return result;
}
