#include "twain/TWAINContainerFix32Range.h"

#include <cmath>

#include "twain/Units.h"

namespace {

float ReadFix32(const uint8_t* p, size_t offset) {
  TW_FIX32 fix = twain::Load<TW_FIX32>(p, offset);
  return Fix32ToFloat(&fix);
}

// Steps of size step that fit into span, truncated toward zero.
float WholeSteps(float span, float step) { return std::trunc(span / step); }

}  // namespace

CTWAINContainerFix32Range::CTWAINContainerFix32Range(TW_UINT16 cap, float min, float max,
                                                     float step, float defaultValue, int mask)
    : CTWAINContainer(cap, TWTY_FIX32, TWON_RANGE, mask),
      m_current{min, max, step, defaultValue},
      m_default{min, max, step, defaultValue} {}

int CTWAINContainerFix32Range::FitToRange(float min, float max, float step, float* value) {
  if (*value < min || *value > max) return -1;
  if (min == max) return *value == min ? 0 : -1;
  if (!(step > 0)) return 0;  // a range without steps takes any value inside
  float s = static_cast<float>(min + WholeSteps(*value - min, step) * step);
  if (*value == s) return 0;
  *value = s;
  return 1;
}

bool CTWAINContainerFix32Range::GetCurrent(float* value) const {
  *value = m_current.value;
  return true;
}

bool CTWAINContainerFix32Range::GetDefault(float* value) const {
  *value = m_default.value;
  return true;
}

bool CTWAINContainerFix32Range::SetCurrent(float value) {
  TW_INT16 condition = 0;
  return SetOneValue(value, &condition) != TWRC_FAILURE;
}

bool CTWAINContainerFix32Range::Reset() {
  m_current = m_default;
  return true;
}

TW_HANDLE CTWAINContainerFix32Range::BuildContainer(TW_UINT16 msg) {
  if (msg == MSG_GET) {
    return MakeBlock(22, [&](uint8_t* p) {
      twain::Store<TW_UINT16>(p, TWTY_FIX32);
      twain::Store(p, FloatToFix32(m_current.min), 2);
      twain::Store(p, FloatToFix32(m_current.max), 6);
      twain::Store(p, FloatToFix32(m_current.step), 10);
      twain::Store(p, FloatToFix32(m_default.value), 14);
      twain::Store(p, FloatToFix32(m_current.value), 18);
    });
  }
  float value = msg == MSG_GETDEFAULT ? m_default.value : m_current.value;
  return MakeBlock(6, [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, TWTY_FIX32);
    twain::Store(p, FloatToFix32(value), 2);
  });
}

TW_INT16 CTWAINContainerFix32Range::SetOneValue(float x, TW_INT16* condition) {
  if (FitToRange(m_current.min, m_current.max, m_current.step, &x) == 0) {
    m_current.value = x;
    return TWRC_SUCCESS;
  }
  float y = x;
  int fit = FitToRange(m_default.min, m_default.max, m_default.step, &y);
  if (fit < 0) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  if (fit == 0 || y != x) m_current = m_default;
  m_current.value = y;
  return TWRC_CHECKSTATUS;
}

TW_INT16 CTWAINContainerFix32Range::SetRange(const uint8_t* record, TW_INT16* condition) {
  float min = ReadFix32(record, 2);
  float max = ReadFix32(record, 6);
  float step = ReadFix32(record, 10);
  float current = ReadFix32(record, 18);
  const float defStep = m_default.step;
  bool bad = max < min || min > current || current > max || !(step > 0) || step < defStep ||
             (min != max && (max != min + step * WholeSteps(max - min, step) || max < min + step));
  if (bad) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  TW_INT16 result = TWRC_SUCCESS;
  for (float* value : {&current, &min, &max}) {
    int fit = FitToRange(m_default.min, m_default.max, defStep, value);
    if (fit < 0) {
      *condition = TWCC_BADVALUE;
      return TWRC_FAILURE;
    }
    if (fit > 0) result = TWRC_CHECKSTATUS;
  }
  if (defStep > 0) {
    float t = std::trunc(step / defStep);
    if (t * defStep != step) result = TWRC_CHECKSTATUS;
    step = step < (t + 0.5f) * defStep ? t * defStep : (t + 1) * defStep;
  }
  if (FitToRange(min, max, step, &current) < 0) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  max = min + step * WholeSteps(max - min, step);
  m_current = Range{min, max, step, current};
  return result;
}

TW_INT16 CTWAINContainerFix32Range::SetFromCapability(const TW_CAPABILITY* cap,
                                                      TW_INT16* condition) {
  *condition = TWCC_SUCCESS;
  LockedBlock block(cap->hContainer);
  if (!block) {
    *condition = TWCC_LOWMEMORY;
    return TWRC_FAILURE;
  }
  const uint8_t* record = block.get();
  const auto itemType = twain::Load<TW_UINT16>(record);
  if (cap->ConType != TWON_ONEVALUE && cap->ConType != TWON_RANGE) {
    *condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  if (itemType != TWTY_FIX32) {
    *condition = TWCC_CAPBADOPERATION;
    return TWRC_FAILURE;
  }
  if (cap->ConType == TWON_ONEVALUE) return SetOneValue(ReadFix32(record, 2), condition);
  return SetRange(record, condition);
}
