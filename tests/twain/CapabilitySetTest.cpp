// The 38 capabilities of the camera source through every capability message,
// table-driven, then the constraints and the capabilities that depend on
// each other.
#include <cmath>
#include <cstring>
#include <optional>

#include "platform/twain/TwainAccess.h"
#include "tests/twain/SourceFixture.h"
#include "twain/DSMBinding.h"

namespace twaintest {
namespace {

constexpr int kAll = 0x1F;
constexpr int kRead = 0x0D;

struct CapRow {
  TW_UINT16 cap;
  TW_UINT16 itemType;
  TW_UINT16 getForm;  // for a host with DF_APP2
  int mask;
  double defaultValue;
  std::optional<double> newValue;  // a value a host may set
};

const CapRow kCaps[] = {
    {CAP_SUPPORTEDCAPS, TWTY_UINT16, TWON_ARRAY, kRead, CAP_DEVICEONLINE, {}},
    {ICAP_COMPRESSION, TWTY_UINT16, TWON_ENUMERATION, kAll, TWCP_NONE, TWCP_NONE},
    {ICAP_PLANARCHUNKY, TWTY_UINT16, TWON_ENUMERATION, kAll, TWPC_CHUNKY, TWPC_CHUNKY},
    {ICAP_UNITS, TWTY_UINT16, TWON_ENUMERATION, kAll, TWUN_INCHES, TWUN_TWIPS},
    {ICAP_XFERMECH, TWTY_UINT16, TWON_ENUMERATION, kAll, TWSX_NATIVE, TWSX_MEMORY},
    {ICAP_PIXELTYPE, TWTY_UINT16, TWON_ENUMERATION, kAll, TWPT_RGB, TWPT_GRAY},
    {CAP_UICONTROLLABLE, TWTY_BOOL, TWON_ENUMERATION, kRead, 1, {}},
    {CAP_ENABLEDSUIONLY, TWTY_BOOL, TWON_ENUMERATION, kRead, 1, {}},
    {CAP_XFERCOUNT, TWTY_INT16, TWON_ONEVALUE, kAll, -1, 3},
    {ICAP_BITORDER, TWTY_UINT16, TWON_ENUMERATION, kAll, TWBO_LSBFIRST, TWBO_MSBFIRST},
    {ICAP_IMAGEFILEFORMAT, TWTY_UINT16, TWON_ENUMERATION, kAll, TWFF_TIFF, TWFF_PDF},
    {ICAP_PIXELFLAVOR, TWTY_UINT16, TWON_ENUMERATION, kAll, TWPF_CHOCOLATE, TWPF_CHOCOLATE},
    {ICAP_SUPPORTEDSIZES, TWTY_UINT16, TWON_ENUMERATION, kAll, TWSS_USLETTER, TWSS_USLEGAL},
    {ICAP_ORIENTATION, TWTY_UINT16, TWON_ENUMERATION, kAll, TWOR_ROT0, TWOR_ROT0},
    {CAP_DEVICEONLINE, TWTY_BOOL, TWON_ENUMERATION, kRead, 1, {}},
    {CAP_INDICATORS, TWTY_BOOL, TWON_ENUMERATION, kAll, 1, 0},
    {ICAP_MAXFRAMES, TWTY_UINT16, TWON_ONEVALUE, kAll, 1, 1},
    {CAP_FEEDERENABLED, TWTY_BOOL, TWON_ENUMERATION, kAll, 1, 0},
    {CAP_DUPLEX, TWTY_UINT16, TWON_ONEVALUE, kRead, TWDX_NONE, {}},
    {CAP_DUPLEXENABLED, TWTY_BOOL, TWON_ENUMERATION, kAll, 0, 0},
    {CAP_FEEDERLOADED, TWTY_BOOL, TWON_ENUMERATION, kRead, 0, {}},
    {CAP_AUTOFEED, TWTY_BOOL, TWON_ENUMERATION, kAll, 1, 0},
    {CAP_PAPERDETECTABLE, TWTY_BOOL, TWON_ENUMERATION, kRead, 1, {}},
    {CUSTCAP_LONGDOCUMENT, TWTY_BOOL, TWON_ENUMERATION, kAll, 0, 1},
    {CUSTCAP_DOCS_IN_ADF, TWTY_UINT16, TWON_ONEVALUE, kAll, 0, 5},
    {CAP_CUSTOMDSDATA, TWTY_BOOL, TWON_ENUMERATION, kRead, 1, {}},
    {ICAP_BITDEPTH, TWTY_UINT16, TWON_ENUMERATION, kAll, 24, 24},
    {CAP_CUSTOMINTERFACEGUID, TWTY_STR255, TWON_ONEVALUE, kRead, 0, {}},
    {ICAP_GAMMA, TWTY_FIX32, TWON_ONEVALUE, kAll, 1.0, 2.2},
    {ICAP_THRESHOLD, TWTY_FIX32, TWON_RANGE, kAll, 128, 100},
    {ICAP_CONTRAST, TWTY_FIX32, TWON_RANGE, kAll, 0, 10},
    {ICAP_BRIGHTNESS, TWTY_FIX32, TWON_RANGE, kAll, 0, -10},
    {ICAP_XRESOLUTION, TWTY_FIX32, TWON_ONEVALUE, kAll, 220.05, 300},
    {ICAP_YRESOLUTION, TWTY_FIX32, TWON_ONEVALUE, kAll, 220.05, 150},
    {ICAP_PHYSICALWIDTH, TWTY_FIX32, TWON_ONEVALUE, kRead, 8.5, {}},
    {ICAP_PHYSICALHEIGHT, TWTY_FIX32, TWON_ONEVALUE, kRead, 14, {}},
    {ICAP_FRAMES, TWTY_FRAME, TWON_ENUMERATION, kAll, 0, {}},
    {ICAP_JPEGQUALITY, TWTY_INT16, TWON_ONEVALUE, kAll, 30, 80},
};

// The one-value item as a number of the row's type.
double ItemValue(const Answer& answer) {
  switch (answer.ItemType()) {
    case TWTY_FIX32: return answer.Fix32Item();
    case TWTY_INT16: return static_cast<int16_t>(answer.Item() & 0xFFFF);
    default: return answer.Item();
  }
}

TW_HANDLE OneValueOf(const CapRow& row, double value) {
  if (row.itemType == TWTY_FIX32) return OneValueFix32(static_cast<float>(value));
  return OneValue(row.itemType, static_cast<TW_UINT32>(static_cast<int32_t>(value)));
}

class Capabilities : public SourceFixture {};

TEST_F(Capabilities, ThereAreThirtyEightInTheirOwnOrder) {
  MakeSource(4);
  Answer supported = Cap(MSG_GET, CAP_SUPPORTEDCAPS);
  ASSERT_EQ(supported.rc, TWRC_SUCCESS);
  ASSERT_EQ(supported.conType, TWON_ARRAY);
  // Its own order, not the order the containers are made in.
  const std::vector<int64_t> expected = {
      CAP_DEVICEONLINE,      CAP_INDICATORS,          CAP_ENABLEDSUIONLY,   CAP_PAPERDETECTABLE,  CAP_FEEDERENABLED,
      CAP_FEEDERLOADED,      CAP_DUPLEX,              CAP_DUPLEXENABLED,    CAP_AUTOFEED,         CAP_SUPPORTEDCAPS,
      CAP_UICONTROLLABLE,    CAP_XFERCOUNT,           ICAP_BITDEPTH,        ICAP_BITORDER,        ICAP_COMPRESSION,
      ICAP_FRAMES,           ICAP_MAXFRAMES,          ICAP_IMAGEFILEFORMAT, ICAP_PHYSICALHEIGHT,  ICAP_PHYSICALWIDTH,
      ICAP_PIXELFLAVOR,      ICAP_PIXELTYPE,          ICAP_PLANARCHUNKY,    ICAP_SUPPORTEDSIZES,  ICAP_ORIENTATION,
      ICAP_UNITS,            ICAP_XFERMECH,           ICAP_XRESOLUTION,     ICAP_YRESOLUTION,     ICAP_THRESHOLD,
      ICAP_CONTRAST,         ICAP_BRIGHTNESS,         ICAP_GAMMA,           CAP_CUSTOMINTERFACEGUID,
      CUSTCAP_LONGDOCUMENT,  CUSTCAP_DOCS_IN_ADF,     CAP_CUSTOMDSDATA,     ICAP_JPEGQUALITY};
  EXPECT_EQ(supported.Items(), expected);
  // And it names every capability the table tests.
  ASSERT_EQ(expected.size(), std::size(kCaps));
  for (const CapRow& row : kCaps)
    EXPECT_NE(std::find(expected.begin(), expected.end(), row.cap), expected.end()) << row.cap;
}

TEST_F(Capabilities, EveryCapabilityAnswersEveryMessage) {
  for (bool app2 : {true, false}) {
    for (const CapRow& row : kCaps) {
      SCOPED_TRACE("cap " + std::to_string(row.cap) + (app2 ? " DF_APP2" : " 1.x host"));
      MakeSource(4, app2);

      Answer query = Cap(MSG_QUERYSUPPORT, row.cap);
      ASSERT_EQ(query.rc, TWRC_SUCCESS);
      EXPECT_EQ(query.conType, TWON_ONEVALUE);
      EXPECT_EQ(query.ItemType(), TWTY_INT32);
      EXPECT_EQ(static_cast<int>(query.Item()), row.mask);

      Answer get = Cap(MSG_GET, row.cap);
      ASSERT_EQ(get.rc, TWRC_SUCCESS);
      const bool boolAsOneValue = row.itemType == TWTY_BOOL && !app2;
      EXPECT_EQ(get.conType, boolAsOneValue ? TWON_ONEVALUE : row.getForm);
      EXPECT_EQ(get.ItemType(), row.itemType);

      Answer current = Cap(MSG_GETCURRENT, row.cap);
      Answer byDefault = Cap(MSG_GETDEFAULT, row.cap);
      ASSERT_EQ(current.rc, TWRC_SUCCESS);
      ASSERT_EQ(byDefault.rc, TWRC_SUCCESS);
      EXPECT_EQ(current.conType, TWON_ONEVALUE);
      EXPECT_EQ(byDefault.conType, TWON_ONEVALUE);
      if (row.itemType != TWTY_FRAME && row.itemType != TWTY_STR255) {
        EXPECT_NEAR(ItemValue(current), row.defaultValue, 1e-4);
        EXPECT_NEAR(ItemValue(byDefault), row.defaultValue, 1e-4);
      }

      if (row.itemType == TWTY_FRAME) continue;  // frames have tests of their own
      if (!row.newValue) {
        EXPECT_EQ(Set(row.cap, TWON_ONEVALUE, OneValueOf(row, row.defaultValue)).rc,
                  TWRC_FAILURE);
        EXPECT_EQ(Status(), TWCC_CAPBADOPERATION);
        EXPECT_EQ(Cap(MSG_RESET, row.cap).rc, TWRC_FAILURE);
        EXPECT_EQ(Status(), TWCC_CAPBADOPERATION);
        continue;
      }
      Answer set = Set(row.cap, TWON_ONEVALUE, OneValueOf(row, *row.newValue));
      EXPECT_EQ(set.rc, TWRC_SUCCESS) << "condition " << Status();
      EXPECT_NEAR(ItemValue(Cap(MSG_GETCURRENT, row.cap)), *row.newValue, 1e-4);
      EXPECT_NEAR(ItemValue(Cap(MSG_GETDEFAULT, row.cap)), row.defaultValue, 1e-4);
      Answer reset = Cap(MSG_RESET, row.cap);
      ASSERT_EQ(reset.rc, TWRC_SUCCESS);
      EXPECT_EQ(reset.conType, TWON_ONEVALUE);
      EXPECT_NEAR(ItemValue(reset), row.defaultValue, 1e-4);
    }
  }
}

TEST_F(Capabilities, SettingAndResettingIsRefusedWhileTransferring) {
  MakeSource(6);
  EXPECT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneValueFix32(300)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
  EXPECT_EQ(Cap(MSG_RESET, ICAP_XRESOLUTION).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
  EXPECT_EQ(Cap(MSG_RESETALL, 0).rc, TWRC_FAILURE);
  EXPECT_EQ(Cap(MSG_QUERYSUPPORT, CAP_DUPLEX).Item(), static_cast<TW_UINT32>(kRead));
  EXPECT_EQ(Cap(MSG_GETFIRST, ICAP_UNITS).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPBADOPERATION);
  EXPECT_EQ(Cap(MSG_GET, 0x1234).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(Send(DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
}

TEST_F(Capabilities, ResetAllRestoresEveryDefault) {
  MakeSource(5);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_BW)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneValueFix32(300)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Set(ICAP_THRESHOLD, TWON_ONEVALUE, OneValueFix32(20)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Set(CAP_AUTOFEED, TWON_ONEVALUE, OneValue(TWTY_BOOL, 0)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_RESETALL, 0).rc, TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_PIXELTYPE).Item(), TWPT_RGB);
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), Cap(MSG_GETDEFAULT, ICAP_XRESOLUTION).Fix32Item());
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_THRESHOLD).Fix32Item(), 128);
  EXPECT_EQ(Cap(MSG_GETCURRENT, CAP_AUTOFEED).Item(), 1u);
}

TEST_F(Capabilities, BooleansAnswerByTheHostsProtocol) {
  MakeSource(4, false);
  Answer old = Cap(MSG_GET, CAP_AUTOFEED);
  EXPECT_EQ(old.conType, TWON_ONEVALUE);
  EXPECT_EQ(old.Item(), 1u);
  MakeSource(4, true);
  Answer twain2 = Cap(MSG_GET, CAP_AUTOFEED);
  ASSERT_EQ(twain2.conType, TWON_ENUMERATION);
  EXPECT_EQ(twain2.Items(), (std::vector<int64_t>{1, 0}));
  EXPECT_EQ(twain2.CurrentIndex(), 0u);
  EXPECT_EQ(twain2.DefaultIndex(), 0u);
}

TEST_F(Capabilities, EnumerationsNarrowAndResetRestores) {
  MakeSource(4);
  Answer set = Set(ICAP_PIXELTYPE, TWON_ENUMERATION,
                   Enumeration(TWTY_UINT16, {TWPT_RGB, TWPT_GRAY}, 1));
  EXPECT_EQ(set.rc, TWRC_SUCCESS);
  Answer narrowed = Cap(MSG_GET, ICAP_PIXELTYPE);
  EXPECT_EQ(narrowed.Items(), (std::vector<int64_t>{TWPT_RGB, TWPT_GRAY}));
  EXPECT_EQ(narrowed.CurrentIndex(), 1u);
  EXPECT_EQ(narrowed.DefaultIndex(), 0u) << "RGB, the default, is first now";
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_BW)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_PIXELTYPE).Item(), TWPT_GRAY);
  EXPECT_EQ(Cap(MSG_RESET, ICAP_PIXELTYPE).Item(), TWPT_RGB);
  EXPECT_EQ(Cap(MSG_GET, ICAP_PIXELTYPE).Items(),
            (std::vector<int64_t>{TWPT_BW, TWPT_GRAY, TWPT_RGB}));

  // Unknown and repeated items are skipped and reported.
  Answer partly = Set(ICAP_PIXELTYPE, TWON_ENUMERATION,
                      Enumeration(TWTY_UINT16, {7, TWPT_BW, TWPT_BW, TWPT_GRAY}, 3));
  EXPECT_EQ(partly.rc, TWRC_CHECKSTATUS);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  Answer kept = Cap(MSG_GET, ICAP_PIXELTYPE);
  EXPECT_EQ(kept.Items(), (std::vector<int64_t>{TWPT_BW, TWPT_GRAY}));
  EXPECT_EQ(kept.CurrentIndex(), 1u);

  // Nothing known: refused, list unchanged.
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ENUMERATION, Enumeration(TWTY_UINT16, {9, 10}, 0)).rc,
            TWRC_FAILURE);
  EXPECT_EQ(Cap(MSG_GET, ICAP_PIXELTYPE).Items(), (std::vector<int64_t>{TWPT_BW, TWPT_GRAY}));
  // A list claiming more items than any source offers is not read.
  TW_HANDLE huge = Enumeration(TWTY_UINT16, {TWPT_BW}, 0);
  twain::Store<TW_UINT32>(LockDSMMemory(huge), 0x7FFFFFFF, 2);
  UnlockDSMMemory(huge);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ENUMERATION, huge).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ARRAY, OneValue(TWTY_UINT16, 0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_FIX32, 0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPBADOPERATION);
}

TEST_F(Capabilities, BooleansRefuseOtherItemTypes) {
  MakeSource(4);
  EXPECT_EQ(Set(CAP_INDICATORS, TWON_ONEVALUE, OneValue(TWTY_UINT16, 0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPBADOPERATION);
  EXPECT_EQ(Cap(MSG_GETCURRENT, CAP_INDICATORS).Item(), 1u);
  EXPECT_EQ(Set(ICAP_GAMMA, TWON_ONEVALUE, OneValue(TWTY_UINT16, 3)).rc, TWRC_FAILURE);
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_GAMMA).Fix32Item(), 1.0f);
}

TEST_F(Capabilities, BitDepthFollowsPixelType) {
  MakeSource(4);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_BITDEPTH).Item(), 24u);
  EXPECT_EQ(Set(ICAP_BITDEPTH, TWON_ONEVALUE, OneValue(TWTY_UINT16, 8)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_GRAY)).rc,
            TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_GET, ICAP_BITDEPTH).Items(), (std::vector<int64_t>{8}));
  EXPECT_EQ(Set(ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_BW)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_BITDEPTH).Item(), 1u);
}

TEST_F(Capabilities, ValueRulesOfTheSource) {
  MakeSource(4);
  auto xferCount = [&](int16_t count) {
    return Set(CAP_XFERCOUNT, TWON_ONEVALUE, OneValue(TWTY_INT16, static_cast<uint16_t>(count)));
  };
  EXPECT_EQ(xferCount(0).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(xferCount(-2).rc, TWRC_FAILURE);
  EXPECT_EQ(xferCount(-1).rc, TWRC_SUCCESS);
  EXPECT_EQ(xferCount(3).rc, TWRC_SUCCESS);
  EXPECT_EQ(static_cast<int16_t>(Cap(MSG_GETCURRENT, CAP_XFERCOUNT).Item()), 3);

  EXPECT_EQ(Set(ICAP_MAXFRAMES, TWON_ONEVALUE, OneValue(TWTY_UINT16, 2)).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(ICAP_MAXFRAMES, TWON_ENUMERATION, Enumeration(TWTY_UINT16, {1}, 0)).rc,
            TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Set(ICAP_MAXFRAMES, TWON_ONEVALUE, OneValue(TWTY_UINT16, 1)).rc, TWRC_SUCCESS);

  EXPECT_EQ(Set(ICAP_GAMMA, TWON_ONEVALUE, OneValueFix32(0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(ICAP_GAMMA, TWON_ONEVALUE, OneValueFix32(-1)).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(CAP_FEEDERENABLED, TWON_ENUMERATION, Enumeration(TWTY_BOOL, {1}, 0)).rc,
            TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);

  // A resolution of zero or less would divide every pixel length by it.
  EXPECT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneValueFix32(0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(ICAP_YRESOLUTION, TWON_ONEVALUE, OneValueFix32(-300)).rc, TWRC_FAILURE);
  EXPECT_NEAR(Cap(MSG_GETCURRENT, ICAP_XRESOLUTION).Fix32Item(), 220.05, 1e-4);

  EXPECT_EQ(Set(CUSTCAP_DOCS_IN_ADF, TWON_ONEVALUE, OneValue(TWTY_UINT16, 0xFFFF)).rc,
            TWRC_FAILURE);
  EXPECT_EQ(Set(CUSTCAP_DOCS_IN_ADF, TWON_ONEVALUE, OneValue(TWTY_UINT16, 5)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_GETCURRENT, CUSTCAP_DOCS_IN_ADF).Item(), 5u);
  EXPECT_EQ(ds->GetImageSource().GetDocsInFeeder(), 5);
}

TEST_F(Capabilities, RangesFitValuesOntoTheirSteps) {
  MakeSource(4);
  Answer fitted = Set(ICAP_THRESHOLD, TWON_ONEVALUE, OneValueFix32(127.6f));
  EXPECT_EQ(fitted.rc, TWRC_CHECKSTATUS);
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_THRESHOLD).Fix32Item(), 127);
  EXPECT_EQ(Set(ICAP_THRESHOLD, TWON_ONEVALUE, OneValueFix32(300)).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_THRESHOLD).Fix32Item(), 127);

  Answer narrowed = Set(ICAP_BRIGHTNESS, TWON_RANGE, RangeFix32(-100, 100, 2, 10));
  EXPECT_EQ(narrowed.rc, TWRC_SUCCESS);
  TW_RANGE range = Cap(MSG_GET, ICAP_BRIGHTNESS).Range();
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&range.MinValue)), -100);
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&range.MaxValue)), 100);
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&range.StepSize)), 2);
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&range.DefaultValue)), 0);
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&range.CurrentValue)), 10);
  // Off the narrowed steps: the step below is taken and the default range
  // comes back.
  EXPECT_EQ(Set(ICAP_BRIGHTNESS, TWON_ONEVALUE, OneValueFix32(11)).rc, TWRC_CHECKSTATUS);
  EXPECT_FLOAT_EQ(Cap(MSG_GETCURRENT, ICAP_BRIGHTNESS).Fix32Item(), 10);
  TW_RANGE widened = Cap(MSG_GET, ICAP_BRIGHTNESS).Range();
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&widened.StepSize)), 1);
  EXPECT_EQ(Cap(MSG_RESET, ICAP_BRIGHTNESS).rc, TWRC_SUCCESS);
  TW_RANGE restored = Cap(MSG_GET, ICAP_BRIGHTNESS).Range();
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&restored.MinValue)), -1000);
  EXPECT_FLOAT_EQ(Fix32(twain::Load<TW_FIX32>(&restored.StepSize)), 1);

  EXPECT_EQ(Set(ICAP_CONTRAST, TWON_RANGE, RangeFix32(100, -100, 1, 0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(ICAP_CONTRAST, TWON_RANGE, RangeFix32(-100, 100, 0, 0)).rc, TWRC_FAILURE);
  EXPECT_EQ(Set(ICAP_CONTRAST, TWON_RANGE, RangeFix32(-100, 100, 3, 0)).rc, TWRC_FAILURE)
      << "100 is not on a step of 3 from -100";
  EXPECT_EQ(Set(ICAP_CONTRAST, TWON_RANGE, RangeFix32(-2000, 100, 1, 0)).rc, TWRC_FAILURE);
  Answer rounded = Set(ICAP_CONTRAST, TWON_RANGE, RangeFix32(0, 10, 2.5f, 5));
  EXPECT_EQ(rounded.rc, TWRC_CHECKSTATUS) << "a step of 2.5 becomes 3 whole steps";
}

TEST_F(Capabilities, StringsKeepTheirTerminator) {
  MakeSource(4);
  Answer guid = Cap(MSG_GETCURRENT, CAP_CUSTOMINTERFACEGUID);
  ASSERT_EQ(guid.rc, TWRC_SUCCESS);
  ASSERT_EQ(guid.bytes.size(), 258u);
  EXPECT_STREQ(reinterpret_cast<const char*>(guid.bytes.data() + 2),
               "{A4FAF845-1383-4036-AEDC-17C3968188B4}");
}

class Frames : public SourceFixture {
 protected:
  TW_FRAME CurrentFrame() { return Cap(MSG_GETCURRENT, ICAP_FRAMES).FrameItem(); }
  void ExpectFrame(const TW_FRAME& frame, float left, float top, float right, float bottom,
                   double tolerance) {
    EXPECT_NEAR(Fix32(frame.Left), left, tolerance);
    EXPECT_NEAR(Fix32(frame.Top), top, tolerance);
    EXPECT_NEAR(Fix32(frame.Right), right, tolerance);
    EXPECT_NEAR(Fix32(frame.Bottom), bottom, tolerance);
  }
};

TEST_F(Frames, AnswerInEveryUnit) {
  MakeSource(4);
  ASSERT_EQ(Set(ICAP_XRESOLUTION, TWON_ONEVALUE, OneValueFix32(200)).rc, TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_YRESOLUTION, TWON_ONEVALUE, OneValueFix32(300)).rc, TWRC_SUCCESS);
  struct Row {
    TW_UINT16 units;
    float right;
    float bottom;
  };
  const Row rows[] = {{TWUN_INCHES, 8.5f, 11},       {TWUN_CENTIMETERS, 21.59f, 27.94f},
                      {TWUN_PICAS, 51, 66},          {TWUN_POINTS, 612, 792},
                      {TWUN_TWIPS, 12240, 15840},    {TWUN_PIXELS, 1700, 3300}};
  for (const Row& row : rows) {
    SCOPED_TRACE("units " + std::to_string(row.units));
    ASSERT_EQ(SetUnits(row.units), TWRC_SUCCESS);
    ExpectFrame(CurrentFrame(), 0, 0, row.right, row.bottom, 2.0 / 65536 + row.right * 1e-6);
    TW_IMAGELAYOUT layout{};
    ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
    ExpectFrame(layout.Frame, 0, 0, row.right, row.bottom, 2.0 / 65536 + row.right * 1e-6);
  }
}

TEST_F(Frames, SetInOneUnitReadInAnother) {
  MakeSource(4);
  ASSERT_EQ(SetUnits(TWUN_CENTIMETERS), TWRC_SUCCESS);
  EXPECT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, OneValueFrame(2.54f, 5.08f, 12.7f, 15.24f)).rc,
            TWRC_SUCCESS);
  ASSERT_EQ(SetUnits(TWUN_INCHES), TWRC_SUCCESS);
  ExpectFrame(CurrentFrame(), 1, 2, 5, 6, 2e-3);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_SUPPORTEDSIZES).Item(), TWSS_NONE);
}

TEST_F(Frames, AreClampedToThePhysicalArea) {
  MakeSource(4);
  Answer set = Set(ICAP_FRAMES, TWON_ONEVALUE, OneValueFrame(1, 1, 10, 20));
  EXPECT_EQ(set.rc, TWRC_CHECKSTATUS);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  ExpectFrame(twain::Load<TW_FRAME>(set.bytes.data(), 2), 1, 1, 8.5f, 14, 1e-3);
  ExpectFrame(CurrentFrame(), 1, 1, 8.5f, 14, 1e-3);
  // Reversed sides become the whole width.
  EXPECT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, OneValueFrame(5, -1, 2, 3)).rc, TWRC_CHECKSTATUS);
  ExpectFrame(CurrentFrame(), 0, 0, 8.5f, 3, 1e-3);
}

TEST_F(Frames, MoreFramesThanAllowedAreRefused) {
  MakeSource(4);
  TW_HANDLE two = FrameEnumeration({Frame(0, 0, 1, 1), Frame(1, 1, 2, 2)});
  EXPECT_EQ(Set(ICAP_FRAMES, TWON_ENUMERATION, two).rc, TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Set(ICAP_FRAMES, TWON_ENUMERATION, FrameEnumeration({Frame(0, 0, 4, 5)})).rc,
            TWRC_SUCCESS);
  ExpectFrame(CurrentFrame(), 0, 0, 4, 5, 1e-3);
  EXPECT_EQ(Set(ICAP_FRAMES, TWON_ENUMERATION, FrameEnumeration({})).rc, TWRC_FAILURE);
  ExpectFrame(CurrentFrame(), 0, 0, 4, 5, 1e-3);
}

TEST_F(Frames, FollowTheSupportedSizeAndBack) {
  MakeSource(4);
  ASSERT_EQ(Set(ICAP_SUPPORTEDSIZES, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSS_USLEGAL)).rc,
            TWRC_SUCCESS);
  ExpectFrame(CurrentFrame(), 0, 0, 8.5f, 14, 1e-3);
  ASSERT_EQ(Set(ICAP_SUPPORTEDSIZES, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSS_USLETTER)).rc,
            TWRC_SUCCESS);
  ASSERT_EQ(SetUnits(TWUN_CENTIMETERS), TWRC_SUCCESS);
  ExpectFrame(CurrentFrame(), 0, 0, 21.59f, 27.94f, 1e-3);
  // "None" is the whole physical area.
  ASSERT_EQ(Set(ICAP_SUPPORTEDSIZES, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWSS_NONE)).rc,
            TWRC_SUCCESS);
  ASSERT_EQ(SetUnits(TWUN_INCHES), TWRC_SUCCESS);
  ExpectFrame(CurrentFrame(), 0, 0, 8.5f, 14, 1e-3);
  // A frame of a known size selects it.
  ASSERT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, OneValueFrame(0, 0, 8.5f, 11)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_SUPPORTEDSIZES).Item(), TWSS_USLETTER);
  ASSERT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, OneValueFrame(0, 0, 3, 3)).rc, TWRC_SUCCESS);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_SUPPORTEDSIZES).Item(), TWSS_NONE);
}

TEST_F(Frames, NoneIsOfferedForNowWhenTheListLacksIt) {
  MakeSource(4);
  ASSERT_EQ(Set(ICAP_SUPPORTEDSIZES, TWON_ENUMERATION,
                Enumeration(TWTY_UINT16, {TWSS_USLETTER, TWSS_USLEGAL}, 0))
                .rc,
            TWRC_SUCCESS);
  ASSERT_EQ(Set(ICAP_FRAMES, TWON_ONEVALUE, OneValueFrame(0, 0, 2, 2)).rc, TWRC_SUCCESS);
  Answer sizes = Cap(MSG_GET, ICAP_SUPPORTEDSIZES);
  EXPECT_EQ(sizes.Items(), (std::vector<int64_t>{TWSS_USLETTER, TWSS_USLEGAL, TWSS_NONE}));
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_SUPPORTEDSIZES).Item(), TWSS_NONE);
  EXPECT_EQ(Cap(MSG_RESET, ICAP_SUPPORTEDSIZES).Item(), TWSS_USLETTER);
  EXPECT_EQ(Cap(MSG_GET, ICAP_SUPPORTEDSIZES).Items(),
            (std::vector<int64_t>{TWSS_NONE, TWSS_USLETTER, TWSS_USLEGAL}));
}

TEST_F(Frames, ImageLayoutSetsAndCounts) {
  MakeSource(4);
  TW_IMAGELAYOUT layout{};
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &layout), TWRC_SUCCESS);
  ExpectFrame(layout.Frame, 0, 0, 8.5f, 11, 1e-4);
  EXPECT_EQ(+layout.FrameNumber, 0u);
  EXPECT_EQ(+layout.DocumentNumber, 0u);
  EXPECT_EQ(+layout.PageNumber, 0u);

  TW_IMAGELAYOUT wide{Frame(0, 0, 9, 10), 0xFFFFFFFF, 4, 0};
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &wide), TWRC_CHECKSTATUS);
  ExpectFrame(wide.Frame, 0, 0, 8.5f, 10, 1e-4);
  ExpectFrame(CurrentFrame(), 0, 0, 8.5f, 10, 1e-3);
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETCURRENT, &layout), TWRC_SUCCESS);
  EXPECT_EQ(+layout.DocumentNumber, 0u);
  EXPECT_EQ(+layout.PageNumber, 4u);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_SUPPORTEDSIZES).Item(), TWSS_NONE);

  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, &layout), TWRC_SUCCESS);
  ExpectFrame(layout.Frame, 0, 0, 8.5f, 11, 1e-4);
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &layout), TWRC_SUCCESS);
  ExpectFrame(layout.Frame, 0, 0, 8.5f, 11, 1e-3);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_SUPPORTEDSIZES).Item(), TWSS_USLETTER);
  EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETNEXT, &layout), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADPROTOCOL);
}

}  // namespace
}  // namespace twaintest
