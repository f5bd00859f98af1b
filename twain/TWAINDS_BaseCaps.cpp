// Capability handling of the data source object: messages, validation of the
// host's values, dependent capabilities and the frame clamp.
#include <algorithm>
#include <climits>
#include <vector>

#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"
#include "twain/TWAINContainerFix32Range.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAINDS_Base.h"

CTWAINContainer* CTWAINDS_Base::FindContainer(TW_UINT16 cap) {
  auto it = m_capabilities.find(cap);
  if (it == m_capabilities.end()) {
    m_conditionCode = TWCC_CAPUNSUPPORTED;
    return nullptr;
  }
  return it->second.get();
}

CTWAINContainerFrame* CTWAINDS_Base::FindFrameContainer() {
  return FindContainerOf<CTWAINContainerFrame>(ICAP_FRAMES);
}

TW_INT16 CTWAINDS_Base::HandleCapability(TW_UINT16 MSG, TW_CAPABILITY* cap) {
  if (MSG == MSG_RESETALL) {
    if (m_state >= 6) return Fail(TWCC_SEQERROR);
    auto* supported = FindContainerOf<CTWAINContainerInt>(CAP_SUPPORTEDCAPS);
    if (!supported) return Fail(TWCC_BADCAP);
    const std::vector<int> ids = supported->GetList();
    TW_INT16 result = TWRC_SUCCESS;
    for (int id : ids) {
      CTWAINContainer* container = FindContainer(static_cast<TW_UINT16>(id));
      if (!container || !container->IsOperationAllowed(MSG_RESET)) continue;
      if (!container->Reset()) result = Fail(TWCC_CAPUNSUPPORTED);
    }
    return result;
  }
  if (!cap) return Fail(TWCC_BADVALUE);
  CTWAINContainer* container = FindContainer(cap->Cap);
  if (!container) return TWRC_FAILURE;
  TW_INT16 result = HandleCapMessage(MSG, container, cap);
  if ((result == TWRC_SUCCESS || result == TWRC_CHECKSTATUS) &&
      (MSG == MSG_SET || MSG == MSG_RESET)) {
    TW_INT16 update = UpdateDependentCaps(MSG, cap->Cap);
    if (result == TWRC_SUCCESS && update != TWRC_SUCCESS) result = update;
  }
  return result;
}

TW_INT16 CTWAINDS_Base::HandleCapMessage(TW_UINT16 MSG, CTWAINContainer* container,
                                         TW_CAPABILITY* cap) {
  if (MSG == MSG_QUERYSUPPORT) {
    TW_HANDLE block = MakeBlock(6, [&](uint8_t* p) {
      twain::Store<TW_UINT16>(p, TWTY_INT32);
      twain::Store<TW_INT32>(p, container->GetMask(), 2);
    });
    if (!block) return TWRC_FAILURE;
    cap->ConType = TWON_ONEVALUE;
    cap->hContainer = block;
    return TWRC_SUCCESS;
  }
  if (!container->IsOperationAllowed(MSG)) return Fail(TWCC_CAPBADOPERATION);
  if (container->GetItemType() > TWTY_STR255) return Fail(TWCC_CAPBADOPERATION);
  TW_UINT16 answerMsg = MSG;
  switch (MSG) {
    case MSG_GET:
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT: break;
    case MSG_SET: {
      if (m_state >= 6) return Fail(TWCC_SEQERROR);
      TW_INT16 refreshed = RefreshContainer(container);
      if (refreshed != TWRC_SUCCESS) return refreshed;
      TW_INT16 validation;
      {
        LockedBlock record(cap->hContainer);
        if (!record) return Fail(TWCC_LOWMEMORY);
        validation = ValidateCapValue(cap->Cap, cap->ConType, record.get());
      }
      if (validation != 0) m_conditionCode = TWCC_BADVALUE;
      if (validation == 1) return TWRC_FAILURE;
      TW_INT16 condition = TWCC_SUCCESS;
      TW_INT16 result = container->SetFromCapability(cap, &condition);
      if (result != TWRC_SUCCESS) m_conditionCode = static_cast<TW_UINT16>(condition);
      if (result == TWRC_FAILURE) return result;
      return validation == 2 ? TWRC_CHECKSTATUS : result;
    }
    case MSG_RESET:
      if (m_state >= 6) return Fail(TWCC_SEQERROR);
      container->Reset();
      answerMsg = MSG_GETCURRENT;
      break;
    default: return Fail(TWCC_CAPBADOPERATION);
  }
  TW_INT16 refreshed = RefreshContainer(container);
  if (refreshed != TWRC_SUCCESS) return refreshed;
  TW_HANDLE block = container->BuildContainer(answerMsg);
  if (!block) return Fail(TWCC_LOWMEMORY);
  cap->ConType = container->GetContainerTypeFor(answerMsg);
  cap->hContainer = block;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::RefreshContainer(CTWAINContainer* container) {
  if (container->GetCapId() != ICAP_FRAMES) return TWRC_SUCCESS;
  auto* frames = dynamic_cast<CTWAINContainerFrame*>(container);
  if (!frames) return TWRC_FAILURE;
  int units = TWUN_PIXELS;
  float xRes = 100, yRes = 100;
  TW_INT16 result = getCurrentUnits(&units, &xRes, &yRes);
  frames->SetUnits(units, xRes, yRes);
  return result;
}

TW_INT16 CTWAINDS_Base::getCurrentUnits(int* units, float* xResolution, float* yResolution) {
  TW_INT16 result = TWRC_SUCCESS;
  auto* x = FindContainerOf<CTWAINContainerFix32>(ICAP_XRESOLUTION);
  if (!x || !x->GetCurrent(xResolution)) result = Fail(TWCC_OPERATIONERROR);
  auto* y = FindContainerOf<CTWAINContainerFix32>(ICAP_YRESOLUTION);
  if (!y || !y->GetCurrent(yResolution)) result = Fail(TWCC_OPERATIONERROR);
  auto* u = FindContainerOf<CTWAINContainerInt>(ICAP_UNITS);
  if (!u || !u->GetCurrent(units)) result = Fail(TWCC_OPERATIONERROR);
  return result;
}

TW_INT16 CTWAINDS_Base::ValidateCapValue(TW_UINT16 cap, TW_UINT16 conType, void* record) {
  auto* p = static_cast<uint8_t*>(record);
  const auto itemType = twain::Load<TW_UINT16>(p);
  switch (cap) {
    case CAP_XFERCOUNT: {
      if (conType != TWON_ONEVALUE) return 1;
      auto count = twain::Load<TW_INT16>(p, 2);
      return (count == -1 || count > 0) ? 0 : 1;
    }
    case CAP_FEEDERENABLED:
      if (conType != TWON_ONEVALUE) {
        m_conditionCode = TWCC_CAPBADOPERATION;
        return 1;
      }
      return itemType == TWTY_BOOL ? 0 : 1;
    case ICAP_GAMMA: {
      if (conType != TWON_ONEVALUE || itemType != TWTY_FIX32) return 1;
      TW_FIX32 gamma = twain::Load<TW_FIX32>(p, 2);
      return Fix32ToFloat(&gamma) > 0.0f ? 0 : 1;
    }
    case ICAP_MAXFRAMES:
      if (conType != TWON_ONEVALUE) {
        m_conditionCode = TWCC_CAPBADOPERATION;
        return 1;
      }
      return (itemType == TWTY_UINT16 && twain::Load<TW_UINT32>(p, 2) == 1) ? 0 : 1;
    case ICAP_FRAMES: break;
    default: return 0;
  }
  int units = TWUN_PIXELS;
  float xRes = 100, yRes = 100;
  TW_INT16 result = getCurrentUnits(&units, &xRes, &yRes) == TWRC_SUCCESS ? 0 : 1;
  // Clamps the frame at offset and writes it back when it changed.
  auto constrainAt = [&](size_t offset) {
    MilFrame frame = MilFrame::FromTwFrame(twain::Load<TW_FRAME>(p, offset), units, xRes, yRes);
    if (!ConstrainFrame(frame)) return false;
    twain::Store(p, frame.ToTwFrame(units, xRes, yRes), offset);
    return true;
  };
  if (conType == TWON_ONEVALUE && itemType == TWTY_FRAME) {
    if (constrainAt(2)) result = 2;
  } else if (conType == TWON_ENUMERATION) {
    auto* maxFrames = FindContainerOf<CTWAINContainerInt>(ICAP_MAXFRAMES);
    if (!maxFrames) {
      m_conditionCode = TWCC_BUMMER;
      return 1;
    }
    int most = 0;
    const auto count = twain::Load<TW_UINT32>(p, 2);
    if (!maxFrames->GetCurrent(&most) || most < 0 || static_cast<TW_UINT32>(most) < count) {
      m_conditionCode = TWCC_BADVALUE;
      return 1;
    }
    if (itemType == TWTY_FRAME) {
      for (TW_UINT32 i = 0; i < count; ++i)
        if (constrainAt(14 + static_cast<size_t>(i) * sizeof(TW_FRAME))) result = 2;
    }
  }
  return result;
}

bool CTWAINDS_Base::ConstrainFrame(MilFrame& frame) {
  // Limits in thousandths of an inch.
  auto limit = [&](TW_UINT16 cap, int32_t fallback) {
    auto* container = FindContainerOf<CTWAINContainerFix32>(cap);
    float inches = 0;
    if (!container || !container->GetCurrent(&inches)) return fallback;
    double mils = static_cast<double>(inches) * 1000.0;
    return static_cast<int32_t>(std::clamp(mils, 0.0, static_cast<double>(INT_MAX)));
  };
  const int32_t maxWidth = limit(ICAP_PHYSICALWIDTH, INT_MAX);
  const int32_t maxHeight = limit(ICAP_PHYSICALHEIGHT, INT_MAX);
  const int32_t minWidth = limit(ICAP_MINIMUMWIDTH, 0);
  const int32_t minHeight = limit(ICAP_MINIMUMHEIGHT, 0);

  bool changed = false;
  auto fit = [&](int32_t& low, int32_t& high, int32_t most, int32_t least) {
    const int32_t oldLow = low, oldHigh = high;
    if (low < 0) low = 0;
    if (high <= 0 || high > most) high = most;
    if (low >= high) {
      low = 0;
      high = most;
    }
    const int64_t size = static_cast<int64_t>(high) - low;
    if (size < least) {
      low = static_cast<int32_t>(std::max<int64_t>(0, low - (least - size)));
      high = static_cast<int32_t>(
          std::min<int64_t>(INT_MAX, low + std::max<int64_t>(least, int64_t{high} - low)));
    }
    changed = changed || low != oldLow || high != oldHigh;
  };
  fit(frame.left, frame.right, maxWidth, minWidth);
  fit(frame.top, frame.bottom, maxHeight, minHeight);
  return changed;
}

TW_INT16 CTWAINDS_Base::UpdateDependentCaps(TW_UINT16, TW_UINT16 cap) {
  switch (cap) {
    case ICAP_SUPPORTEDSIZES: {
      auto* sizes = FindContainerOf<CTWAINContainerInt>(ICAP_SUPPORTEDSIZES);
      auto* frames = FindFrameContainer();
      if (!sizes || !frames) return Fail(TWCC_CAPBADOPERATION);
      int size = TWSS_NONE;
      sizes->GetCurrent(&size);
      MilFrame frame = MilFrame::FromSupportedSize(static_cast<TW_UINT16>(size));
      ConstrainFrame(frame);
      frames->SetCurrentFrame(frame);
      return TWRC_SUCCESS;
    }
    case ICAP_FRAMES: {
      auto* sizes = FindContainerOf<CTWAINContainerInt>(ICAP_SUPPORTEDSIZES);
      auto* frames = FindFrameContainer();
      if (!sizes || !frames) return Fail(TWCC_CAPBADOPERATION);
      MilFrame current;
      frames->GetCurrentFrame(current);
      for (int size : sizes->GetList()) {
        if (SameMilFrame(current, MilFrame::FromSupportedSize(static_cast<TW_UINT16>(size)))) {
          sizes->SetCurrent(size);
          return TWRC_SUCCESS;
        }
      }
      // No size fits: "none" becomes current, offered for now only.
      if (sizes->Find(TWSS_NONE) < 0) sizes->AppendToCurrentList(TWSS_NONE);
      sizes->SetCurrent(TWSS_NONE);
      return TWRC_SUCCESS;
    }
    case ICAP_UNITS:
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: {
      auto* frames = FindFrameContainer();
      if (!frames) return Fail(TWCC_BUMMER);
      int units = TWUN_PIXELS;
      float xRes = 100, yRes = 100;
      if (getCurrentUnits(&units, &xRes, &yRes) != TWRC_SUCCESS) return Fail(TWCC_BUMMER);
      frames->SetUnits(units, xRes, yRes);
      return TWRC_SUCCESS;
    }
    default: return TWRC_SUCCESS;
  }
}
