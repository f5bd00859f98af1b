// Every triplet of the source in every TWAIN state from 3 to 7: it succeeds
// in the states that allow it and fails with TWCC_SEQERROR elsewhere.
#include <cstring>
#include <set>
#include <string>

#include "tests/support/TestEnv.h"
#include "tests/twain/SourceFixture.h"
#include "twain/DSMBinding.h"

namespace twaintest {
namespace {

// Fresh records for one triplet; blocks the source answers are freed.
struct Records {
  TW_CAPABILITY capGet{ICAP_PIXELTYPE, 0, nullptr};
  TW_CAPABILITY capSet{ICAP_PIXELTYPE, TWON_ONEVALUE, OneValue(TWTY_UINT16, TWPT_GRAY)};
  TW_HANDLE setBlock = capSet.hContainer;
  TW_EVENT event{nullptr, 0};
  TW_IDENTITY identity{};
  TW_PENDINGXFERS pending{};
  TW_SETUPMEMXFER memSetup{};
  TW_SETUPFILEXFER fileSetup{};
  TW_STATUS status{};
  TW_USERINTERFACE uiShown{1, 0, nullptr};
  TW_UINT32 group = DG_IMAGE;
  TW_CUSTOMDSDATA custom{};
  TW_ENTRYPOINT entry = TestManager::EntryPoints();
  TW_IMAGEINFO info{};
  TW_IMAGELAYOUT layout{};
  TW_HANDLE native = nullptr;
  TW_IMAGEMEMXFER memXfer{};

  Records() {
    identity = DSIdentity;
    identity.Id = 55;
    const std::string page = vqtest::TempPath("page.bmp").string();
    std::strncpy(fileSetup.FileName, page.c_str(), sizeof fileSetup.FileName - 1);
    fileSetup.Format = TWFF_BMP;
    layout.Frame = Frame(0, 0, 4, 5);
  }
  ~Records() {
    for (TW_HANDLE block : {capGet.hContainer, capSet.hContainer, native, custom.hData})
      if (block && block != setBlock) FreeDSMMemory(block);
    FreeDSMMemory(setBlock);
  }
};

enum class InState { Success, NotDSEvent, RefusedOtherwise };

struct Row {
  const char* name;
  TW_UINT32 DG;
  TW_UINT16 DAT;
  TW_UINT16 MSG;
  TW_MEMREF (*data)(Records&);
  std::set<int> states;
  InState inState = InState::Success;
};

const Row kRows[] = {
    {"CAPABILITY GET", DG_CONTROL, DAT_CAPABILITY, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.capGet; }, {3, 4, 5, 6, 7}},
    {"CAPABILITY GETCURRENT", DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, [](Records& r) -> TW_MEMREF { return &r.capGet; }, {3, 4, 5, 6, 7}},
    {"CAPABILITY GETDEFAULT", DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, [](Records& r) -> TW_MEMREF { return &r.capGet; }, {3, 4, 5, 6, 7}},
    {"CAPABILITY QUERYSUPPORT", DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, [](Records& r) -> TW_MEMREF { return &r.capGet; }, {3, 4, 5, 6, 7}},
    {"CAPABILITY SET", DG_CONTROL, DAT_CAPABILITY, MSG_SET, [](Records& r) -> TW_MEMREF { return &r.capSet; }, {3, 4, 5}},
    {"CAPABILITY RESET", DG_CONTROL, DAT_CAPABILITY, MSG_RESET, [](Records& r) -> TW_MEMREF { return &r.capGet; }, {3, 4, 5}},
    {"CAPABILITY RESETALL", DG_CONTROL, DAT_CAPABILITY, MSG_RESETALL, [](Records&) -> TW_MEMREF { return nullptr; }, {3, 4, 5}},
    {"EVENT PROCESSEVENT", DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, [](Records& r) -> TW_MEMREF { return &r.event; }, {5, 6, 7}, InState::NotDSEvent},
    {"IDENTITY GET", DG_CONTROL, DAT_IDENTITY, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.identity; }, {3, 4, 5, 6, 7}},
    {"IDENTITY CLOSEDS", DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, [](Records& r) -> TW_MEMREF { return &r.identity; }, {4}},
    {"PENDINGXFERS GET", DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.pending; }, {6}},
    {"PENDINGXFERS ENDXFER", DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, [](Records& r) -> TW_MEMREF { return &r.pending; }, {6, 7}},
    {"PENDINGXFERS RESET", DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, [](Records& r) -> TW_MEMREF { return &r.pending; }, {5, 6, 7}},
    {"SETUPMEMXFER GET", DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.memSetup; }, {4, 5, 6}},
    {"SETUPFILEXFER GET", DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.fileSetup; }, {4, 5, 6}},
    {"SETUPFILEXFER GETDEFAULT", DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, [](Records& r) -> TW_MEMREF { return &r.fileSetup; }, {4, 5, 6}},
    {"SETUPFILEXFER SET", DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, [](Records& r) -> TW_MEMREF { return &r.fileSetup; }, {4, 5, 6}},
    {"SETUPFILEXFER RESET", DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, [](Records& r) -> TW_MEMREF { return &r.fileSetup; }, {4}},
    {"STATUS GET", DG_CONTROL, DAT_STATUS, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.status; }, {3, 4, 5, 6, 7}},
    {"USERINTERFACE ENABLEDS", DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, [](Records& r) -> TW_MEMREF { return &r.uiShown; }, {4}},
    {"USERINTERFACE ENABLEDSUIONLY", DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, [](Records& r) -> TW_MEMREF { return &r.uiShown; }, {4}},
    {"USERINTERFACE DISABLEDS", DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, [](Records& r) -> TW_MEMREF { return &r.uiShown; }, {5}},
    {"XFERGROUP GET", DG_CONTROL, DAT_XFERGROUP, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.group; }, {3, 4, 5, 6, 7}},
    {"XFERGROUP SET", DG_CONTROL, DAT_XFERGROUP, MSG_SET, [](Records& r) -> TW_MEMREF { return &r.group; }, {3, 4, 5, 6, 7}},
    {"CUSTOMDSDATA GET", DG_CONTROL, DAT_CUSTOMDSDATA, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.custom; }, {4}, InState::RefusedOtherwise},
    {"ENTRYPOINT SET", DG_CONTROL, DAT_ENTRYPOINT, MSG_SET, [](Records& r) -> TW_MEMREF { return &r.entry; }, {3, 4, 5, 6, 7}},
    {"IMAGEINFO GET", DG_IMAGE, DAT_IMAGEINFO, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.info; }, {6, 7}},
    {"IMAGELAYOUT GET", DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.layout; }, {4, 5, 6}},
    {"IMAGELAYOUT GETDEFAULT", DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, [](Records& r) -> TW_MEMREF { return &r.layout; }, {4, 5, 6}},
    {"IMAGELAYOUT SET", DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, [](Records& r) -> TW_MEMREF { return &r.layout; }, {4}},
    {"IMAGELAYOUT RESET", DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, [](Records& r) -> TW_MEMREF { return &r.layout; }, {4}},
    {"IMAGENATIVEXFER GET", DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.native; }, {6}, InState::RefusedOtherwise},
    {"IMAGEMEMXFER GET", DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, [](Records& r) -> TW_MEMREF { return &r.memXfer; }, {6, 7}, InState::RefusedOtherwise},
    {"IMAGEFILEXFER GET", DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, [](Records&) -> TW_MEMREF { return nullptr; }, {6}, InState::RefusedOtherwise},
};

class StateMatrix : public SourceFixture {};

TEST_F(StateMatrix, EachTripletSucceedsInItsStatesAndIsASequenceErrorElsewhere) {
  for (const Row& row : kRows) {
    for (int state = 3; state <= 7; ++state) {
      SCOPED_TRACE(std::string(row.name) + " in state " + std::to_string(state));
      MakeSource(state);
      Records records;
      TW_UINT16 rc = Send(row.DG, row.DAT, row.MSG, row.data(records));
      TW_UINT16 condition = Status();
      if (!row.states.count(state)) {
        EXPECT_EQ(rc, TWRC_FAILURE);
        EXPECT_EQ(condition, TWCC_SEQERROR);
      } else if (row.inState == InState::Success) {
        EXPECT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_CHECKSTATUS) << "rc " << rc;
      } else if (row.inState == InState::NotDSEvent) {
        EXPECT_EQ(rc, TWRC_NOTDSEVENT);
      } else {
        EXPECT_NE(condition, TWCC_SEQERROR);
      }
      ds.reset();
    }
  }
}

TEST_F(StateMatrix, OpenOnAnOpenSourceIsASecondConnection) {
  MakeSource(3);
  Records records;
  EXPECT_EQ(Send(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &records.identity), TWRC_SUCCESS);
  EXPECT_EQ(IdOf(*ds->GetDSIdentity()), 55u);
  for (int state = 4; state <= 7; ++state) {
    MakeSource(state);
    Records again;
    again.identity.Id = 99;
    EXPECT_EQ(Send(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &again.identity), TWRC_FAILURE);
    EXPECT_EQ(Status(), TWCC_MAXCONNECTIONS);
    EXPECT_EQ(IdOf(*ds->GetDSIdentity()), 55u) << "a refused open keeps the source's Id";
    EXPECT_EQ(ds->GetState(), state);
  }
}

TEST_F(StateMatrix, UnknownGroupsAndArgumentTypesAreRefused) {
  MakeSource(4);
  int dummy = 0;
  EXPECT_EQ(Send(DG_AUDIO, DAT_NULL, MSG_GET, &dummy), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(Send(DG_CONTROL, DAT_PARENT, MSG_GET, &dummy), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADPROTOCOL);
  EXPECT_EQ(Send(DG_IMAGE, DAT_EXTIMAGEINFO, MSG_GET, &dummy), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(Send(DG_IMAGE, DAT_PALETTE8, MSG_GET, &dummy), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_CAPUNSUPPORTED);
  EXPECT_EQ(Send(DG_CONTROL, DAT_STATUS, MSG_SET, &dummy), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADPROTOCOL);
}

TEST_F(StateMatrix, NullRecordsAreNeverReadAndFail) {
  for (int state = 4; state <= 6; ++state) {
    MakeSource(state);
    const std::pair<TW_UINT32, TW_UINT16> triplets[] = {
        {DAT_CAPABILITY, MSG_GET},       {DAT_EVENT, MSG_PROCESSEVENT},
        {DAT_IDENTITY, MSG_GET},         {DAT_PENDINGXFERS, MSG_ENDXFER},
        {DAT_PENDINGXFERS, MSG_GET},     {DAT_PENDINGXFERS, MSG_RESET},
        {DAT_SETUPMEMXFER, MSG_GET},     {DAT_SETUPFILEXFER, MSG_GET},
        {DAT_STATUS, MSG_GET},           {DAT_USERINTERFACE, MSG_ENABLEDS},
        {DAT_XFERGROUP, MSG_GET},        {DAT_IDENTITY, MSG_OPENDS},
    };
    for (auto [dat, msg] : triplets) {
      SCOPED_TRACE("DAT " + std::to_string(dat) + " MSG " + std::to_string(msg));
      EXPECT_EQ(Send(DG_CONTROL, static_cast<TW_UINT16>(dat), msg, nullptr), TWRC_FAILURE);
    }
    EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Send(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, nullptr), TWRC_FAILURE);
    TW_IDENTITY origin = host.identity;
    TW_IDENTITY identity = DSIdentity;
    EXPECT_EQ(ds->DispatchTriplet(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity),
              TWRC_FAILURE);
    (void)origin;
  }
}

TEST_F(StateMatrix, StatusIsReadOnce) {
  MakeSource(4);
  TW_PENDINGXFERS pending{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_FAILURE);
  TW_STATUS status{0xFFFF, 0x1234};
  EXPECT_EQ(Send(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
  EXPECT_EQ(status.ConditionCode, TWCC_SEQERROR);
  EXPECT_EQ(status.Data, 0x1234) << "the other field is left alone";
  EXPECT_EQ(Status(), TWCC_SUCCESS);
  // A later success does not clear a condition.
  EXPECT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_FAILURE);
  Records records;
  EXPECT_EQ(Send(DG_CONTROL, DAT_XFERGROUP, MSG_GET, &records.group), TWRC_SUCCESS);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

TEST_F(StateMatrix, TransferGroupIsImageOnly) {
  MakeSource(4);
  TW_UINT32 group = 0;
  EXPECT_EQ(Send(DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_SUCCESS);
  EXPECT_EQ(group, DG_IMAGE);
  group = DG_IMAGE;
  EXPECT_EQ(Send(DG_CONTROL, DAT_XFERGROUP, MSG_SET, &group), TWRC_SUCCESS);
  group = DG_CONTROL;
  EXPECT_EQ(Send(DG_CONTROL, DAT_XFERGROUP, MSG_SET, &group), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Send(DG_CONTROL, DAT_XFERGROUP, MSG_RESET, &group), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADPROTOCOL);
}

TEST_F(StateMatrix, FileTransferSetupKeepsNameAndFormat) {
  MakeSource(4);
  TW_SETUPFILEXFER setup{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
  EXPECT_STREQ(setup.FileName, "sample.bmp");
  EXPECT_EQ(setup.Format, TWFF_TIFF);

  std::strcpy(setup.FileName, "/data/scan.jpg");
  setup.Format = TWFF_JFIF;
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
  TW_SETUPFILEXFER read{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &read), TWRC_SUCCESS);
  EXPECT_STREQ(read.FileName, "/data/scan.jpg");
  EXPECT_EQ(read.Format, TWFF_JFIF);
  EXPECT_EQ(Cap(MSG_GETCURRENT, ICAP_IMAGEFILEFORMAT).Item(), TWFF_JFIF);

  // A format not offered stores nothing and fails.
  TW_SETUPFILEXFER bad{};
  std::strcpy(bad.FileName, "/data/other.png");
  bad.Format = 7;
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &bad), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_BADVALUE);
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &read), TWRC_SUCCESS);
  EXPECT_STREQ(read.FileName, "/data/scan.jpg");

  // A name filling the whole field keeps its terminator.
  TW_SETUPFILEXFER full{};
  std::memset(full.FileName, 'a', sizeof full.FileName);
  full.Format = TWFF_BMP;
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &full), TWRC_SUCCESS);
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &read), TWRC_SUCCESS);
  EXPECT_EQ(std::strlen(read.FileName), 255u);

  TW_SETUPFILEXFER defaults{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, &defaults), TWRC_SUCCESS);
  EXPECT_STREQ(defaults.FileName, "sample.bmp");
  EXPECT_EQ(defaults.Format, TWFF_TIFF);
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, &read), TWRC_SUCCESS);
  EXPECT_STREQ(read.FileName, "sample.bmp");
  EXPECT_EQ(read.Format, TWFF_TIFF);
}

TEST_F(StateMatrix, FileTransferResetOutsideStateFourIsRefused) {
  MakeSource(5);
  TW_SETUPFILEXFER setup{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, &setup), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

TEST_F(StateMatrix, CustomDataOutsideStateFourIsRefusedBeforeTheMessage) {
  MakeSource(5);
  TW_CUSTOMDSDATA custom{};
  EXPECT_EQ(Send(DG_CONTROL, DAT_CUSTOMDSDATA, MSG_RESET, &custom), TWRC_FAILURE);
  EXPECT_EQ(Status(), TWCC_SEQERROR);
}

TEST_F(StateMatrix, EventsAreNeverTheSourcesOwn) {
  MakeSource(5);
  TW_EVENT event{nullptr, 0x1234};
  EXPECT_EQ(Send(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_NOTDSEVENT);
  EXPECT_EQ(event.TWMessage, MSG_NULL);
}

}  // namespace
}  // namespace twaintest
