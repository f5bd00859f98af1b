#include "twain/TWAINDS_Base.h"

#include <cstring>

#include "twain/DSMBinding.h"
#include "twain/DSNotifications.h"
#include "twain/TWAINContainerKinds.h"

CTWAINDS_Base::CTWAINDS_Base() = default;

CTWAINDS_Base::~CTWAINDS_Base() {
  m_myIdentity = TW_IDENTITY{};
  m_appIdentity = TW_IDENTITY{};
  if (m_transferBuffer) FreeDSMMemory(m_transferBuffer);
}

TW_UINT16 CTWAINDS_Base::DispatchTriplet(TW_IDENTITY* origin, TW_UINT32 DG, TW_UINT16 DAT,
                                         TW_UINT16 MSG, TW_MEMREF data) {
  if (DG == DG_CONTROL) {
    switch (DAT) {
      case DAT_CAPABILITY: return HandleCapability(MSG, static_cast<TW_CAPABILITY*>(data));
      case DAT_EVENT: return HandleEvent(MSG, static_cast<TW_EVENT*>(data));
      case DAT_IDENTITY: return HandleIdentity(origin, MSG, static_cast<TW_IDENTITY*>(data));
      case DAT_PENDINGXFERS: return HandlePendingXfers(MSG, static_cast<TW_PENDINGXFERS*>(data));
      case DAT_SETUPMEMXFER: return HandleSetupMemXfer(MSG, static_cast<TW_SETUPMEMXFER*>(data));
      case DAT_SETUPFILEXFER:
        return HandleSetupFileXfer(MSG, static_cast<TW_SETUPFILEXFER*>(data));
      case DAT_STATUS: return HandleStatus(MSG, static_cast<TW_STATUS*>(data));
      case DAT_USERINTERFACE:
        return HandleUserInterface(MSG, static_cast<TW_USERINTERFACE*>(data));
      case DAT_XFERGROUP: return HandleXferGroup(MSG, static_cast<TW_UINT32*>(data));
      case DAT_CUSTOMDSDATA: return HandleCustomDSData(MSG, static_cast<TW_CUSTOMDSDATA*>(data));
      case DAT_ENTRYPOINT: return HandleEntryPoint(MSG, static_cast<TW_ENTRYPOINT*>(data));
      default: return Fail(TWCC_BADPROTOCOL);
    }
  }
  if (DG == DG_IMAGE) {
    switch (DAT) {
      case DAT_IMAGEINFO: return HandleImageInfo(MSG, static_cast<TW_IMAGEINFO*>(data));
      case DAT_IMAGELAYOUT: return HandleImageLayout(MSG, static_cast<TW_IMAGELAYOUT*>(data));
      case DAT_IMAGEMEMXFER: return HandleImageMemXfer(MSG, static_cast<TW_IMAGEMEMXFER*>(data));
      case DAT_IMAGENATIVEXFER: return HandleImageNativeXfer(MSG, static_cast<TW_HANDLE*>(data));
      case DAT_IMAGEFILEXFER: return HandleImageFileXfer(MSG);
      case DAT_EXTIMAGEINFO: return HandleExtImageInfo(MSG, data);
      default: return Fail(TWCC_CAPUNSUPPORTED);
    }
  }
  return Fail(TWCC_CAPUNSUPPORTED);
}

TW_INT16 CTWAINDS_Base::HandleStatus(TW_UINT16 MSG, TW_STATUS* status) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (!status) return Fail(TWCC_BADVALUE);
  status->ConditionCode = m_conditionCode;
  m_conditionCode = TWCC_SUCCESS;
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::HandleEvent(TW_UINT16 MSG, TW_EVENT* event) {
  if (MSG != MSG_PROCESSEVENT) return Fail(TWCC_BADPROTOCOL);
  return ProcessEvent(event);
}

TW_INT16 CTWAINDS_Base::HandleIdentity(TW_IDENTITY* origin, TW_UINT16 MSG,
                                       TW_IDENTITY* identity) {
  switch (MSG) {
    case MSG_GET:
      if (!identity) return Fail(TWCC_BADVALUE);
      *identity = m_myIdentity;
      return TWRC_SUCCESS;
    case MSG_OPENDS: {
      if (!identity || !origin) return Fail(TWCC_BADVALUE);
      // The Id the manager assigned is taken only by a successful open, so a
      // refused second open leaves the open source's identity alone.
      TW_UINT32 id = identity->Id;
      TW_INT16 result = OpenDS(origin);
      if (result == TWRC_SUCCESS) m_myIdentity.Id = id;
      return result;
    }
    case MSG_CLOSEDS: return CloseDS();
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_INT16 CTWAINDS_Base::HandlePendingXfers(TW_UINT16 MSG, TW_PENDINGXFERS* xfers) {
  switch (MSG) {
    case MSG_GET: return GetPendingXfers(xfers);
    case MSG_RESET: return ResetXfers(xfers);
    case MSG_ENDXFER: return EndXfer(xfers);
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_INT16 CTWAINDS_Base::HandleUserInterface(TW_UINT16 MSG, TW_USERINTERFACE* ui) {
  switch (MSG) {
    case MSG_DISABLEDS: return DisableDS(ui);
    case MSG_ENABLEDS: return EnableDS(ui);
    case MSG_ENABLEDSUIONLY: return EnableDSUIOnly();
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_INT16 CTWAINDS_Base::HandleSetupFileXfer(TW_UINT16 MSG, TW_SETUPFILEXFER* setup) {
  switch (MSG) {
    case MSG_GET:
    case MSG_GETDEFAULT:
    case MSG_SET:
      if (!InState(4, 6)) return Fail(TWCC_SEQERROR);
      break;
    case MSG_RESET:
      if (m_state != 4) return Fail(TWCC_SEQERROR);
      break;
    default: return Fail(TWCC_BADPROTOCOL);
  }
  if (!setup) return Fail(TWCC_BADVALUE);
  switch (MSG) {
    case MSG_GET: return GetSetupFileXfer(setup);
    case MSG_GETDEFAULT: return GetDefaultSetupFileXfer(setup);
    case MSG_SET: return SetSetupFileXfer(setup);
    default: return ResetSetupFileXfer(setup);
  }
}

TW_INT16 CTWAINDS_Base::HandleSetupMemXfer(TW_UINT16 MSG, TW_SETUPMEMXFER* setup) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (!setup) return Fail(TWCC_BADVALUE);
  return GetMemXferSizes(setup);
}

TW_INT16 CTWAINDS_Base::HandleImageNativeXfer(TW_UINT16 MSG, TW_HANDLE* image) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  return TransferNative(image);
}

TW_INT16 CTWAINDS_Base::HandleImageFileXfer(TW_UINT16 MSG) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  return TransferFile();
}

TW_INT16 CTWAINDS_Base::HandleImageMemXfer(TW_UINT16 MSG, TW_IMAGEMEMXFER* xfer) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  return TransferMemory(xfer);
}

TW_INT16 CTWAINDS_Base::HandleImageLayout(TW_UINT16, TW_IMAGELAYOUT*) {
  return Fail(TWCC_CAPUNSUPPORTED);
}

TW_INT16 CTWAINDS_Base::HandleImageInfo(TW_UINT16 MSG, TW_IMAGEINFO* info) {
  if (MSG != MSG_GET) return Fail(TWCC_BADPROTOCOL);
  if (!info) return Fail(TWCC_BADVALUE);
  return GetImageInfo(info);
}

TW_INT16 CTWAINDS_Base::HandleExtImageInfo(TW_UINT16, TW_MEMREF) {
  return Fail(TWCC_CAPUNSUPPORTED);
}

TW_INT16 CTWAINDS_Base::HandleEntryPoint(TW_UINT16 MSG, TW_ENTRYPOINT* entry) {
  if (MSG != MSG_SET) return Fail(TWCC_BADPROTOCOL);
  if (!AcceptDSMEntryPoints(entry)) return Fail(TWCC_BADVALUE);
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::HandleXferGroup(TW_UINT16 MSG, TW_UINT32* group) {
  if (!group) return Fail(TWCC_BADVALUE);
  switch (MSG) {
    case MSG_GET: *group = DG_IMAGE; return TWRC_SUCCESS;
    case MSG_SET: return *group == DG_IMAGE ? TWRC_SUCCESS : Fail(TWCC_BADVALUE);
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_INT16 CTWAINDS_Base::HandleCustomDSData(TW_UINT16 MSG, TW_CUSTOMDSDATA* data) {
  if (m_state != 4) return Fail(TWCC_SEQERROR);
  switch (MSG) {
    case MSG_GET: return StoreCustomDSData(data);
    case MSG_SET: return LoadCustomDSData(data);
    default: return Fail(TWCC_BADPROTOCOL);
  }
}

TW_INT16 CTWAINDS_Base::StoreCustomDSData(TW_CUSTOMDSDATA*) { return Fail(TWCC_BADPROTOCOL); }
TW_INT16 CTWAINDS_Base::LoadCustomDSData(TW_CUSTOMDSDATA*) { return Fail(TWCC_BADPROTOCOL); }

namespace {

void CopyFileName(char (&to)[256], const char* from) {
  std::memset(to, 0, sizeof to);
  std::memcpy(to, from, strnlen(from, sizeof to - 1));
}

}  // namespace

TW_INT16 CTWAINDS_Base::GetSetupFileXfer(TW_SETUPFILEXFER* setup) {
  auto* formats = FindContainerOf<CTWAINContainerInt>(ICAP_IMAGEFILEFORMAT);
  int format = 0;
  if (!formats || !formats->GetCurrent(&format)) return Fail(TWCC_BADPROTOCOL);
  CopyFileName(setup->FileName, m_currentFileName);
  setup->Format = static_cast<TW_UINT16>(format);
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::GetDefaultSetupFileXfer(TW_SETUPFILEXFER* setup) {
  auto* formats = FindContainerOf<CTWAINContainerInt>(ICAP_IMAGEFILEFORMAT);
  int format = 0;
  if (!formats || !formats->GetDefault(&format)) return Fail(TWCC_BADPROTOCOL);
  CopyFileName(setup->FileName, m_defaultFileName);
  setup->Format = static_cast<TW_UINT16>(format);
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::ResetSetupFileXfer(TW_SETUPFILEXFER* setup) {
  auto* formats = FindContainerOf<CTWAINContainerInt>(ICAP_IMAGEFILEFORMAT);
  if (!formats) return Fail(TWCC_BADPROTOCOL);
  CopyFileName(m_currentFileName, m_defaultFileName);
  CopyFileName(setup->FileName, m_currentFileName);
  formats->Reset();
  int format = 0;
  formats->GetCurrent(&format);
  setup->Format = static_cast<TW_UINT16>(format);
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::SetSetupFileXfer(TW_SETUPFILEXFER* setup) {
  auto* formats = FindContainerOf<CTWAINContainerInt>(ICAP_IMAGEFILEFORMAT);
  if (!formats) return Fail(TWCC_BADPROTOCOL);
  // A format that is not offered stores nothing: a failure, not a partial
  // success.
  if (!formats->SetCurrent(setup->Format)) return Fail(TWCC_BADVALUE);
  char name[256];
  std::memcpy(name, setup->FileName, sizeof name);
  name[255] = '\0';
  CopyFileName(m_currentFileName, name);
  return TWRC_SUCCESS;
}

TW_INT16 CTWAINDS_Base::SendNotification(TW_UINT16 MSG) {
  return CallDSMEntry(&m_myIdentity, &m_appIdentity, DG_CONTROL, DAT_NULL, MSG, nullptr);
}

bool CTWAINDS_Base::NotifyXferReady() {
  if (m_state != 5) {
    m_conditionCode = TWCC_SEQERROR;
    return false;
  }
  const AnnouncedTransfer before{m_documentNumber, m_pageNumber, m_pendingXfers};
  ++m_documentNumber;
  ++m_pageNumber;
  m_state = 6;
  GetImageInfo(&m_imageInfo);
  if (std::deque<HeldNotification>* held = HeldNotifications()) {
    m_heldXferReady = before;
    held->push_back({m_appIdentity.Id, MSG_XFERREADY});
    return true;
  }
  if (SendNotification(MSG_XFERREADY) == TWRC_SUCCESS) return true;
  TakeBackAnnouncement(before);
  return false;
}

void CTWAINDS_Base::HeldNotificationSent(TW_UINT16 MSG, bool accepted) {
  if (MSG != MSG_XFERREADY || !m_heldXferReady) return;
  const AnnouncedTransfer before = *m_heldXferReady;
  m_heldXferReady.reset();
  if (accepted || m_state != 6) return;
  TakeBackAnnouncement(before);
  OnXferReadyRefused();
}

void CTWAINDS_Base::TakeBackAnnouncement(const AnnouncedTransfer& before) {
  // Nobody was told: the source goes back to waiting in state 5.
  m_state = 5;
  m_documentNumber = before.documents;
  m_pageNumber = before.pages;
  m_pendingXfers = before.pending;
}

bool CTWAINDS_Base::NotifyCloseDSOK() {
  if (m_state != 5) {
    m_conditionCode = TWCC_SEQERROR;
    return false;
  }
  return Notify(MSG_CLOSEDSOK);
}

bool CTWAINDS_Base::Notify(TW_UINT16 MSG) {
  if (std::deque<HeldNotification>* held = HeldNotifications()) {
    held->push_back({m_appIdentity.Id, MSG});
    return true;
  }
  return SendNotification(MSG) == TWRC_SUCCESS;
}

bool CTWAINDS_Base::NotifyCloseDSReq() {
  if (m_state != 5) {
    m_conditionCode = TWCC_SEQERROR;
    return false;
  }
  return Notify(MSG_CLOSEDSREQ);
}
