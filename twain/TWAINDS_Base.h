#pragma once
// The data source object serving one host: TWAIN state, condition code, both
// identities, the capability containers, and the routing of every triplet to
// its handler. Device-dependent operations are left to the camera source.
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/twain/Twain.h"
#include "twain/TWAINContainer.h"
#include "twain/Units.h"

class CTWAINContainerFrame;

class CTWAINDS_Base {
 public:
  CTWAINDS_Base();
  virtual ~CTWAINDS_Base();
  CTWAINDS_Base(const CTWAINDS_Base&) = delete;
  CTWAINDS_Base& operator=(const CTWAINDS_Base&) = delete;

  virtual TW_UINT16 DispatchTriplet(TW_IDENTITY* origin, TW_UINT32 DG, TW_UINT16 DAT,
                                    TW_UINT16 MSG, TW_MEMREF data);

  // Handlers per data argument type.
  virtual TW_INT16 HandleStatus(TW_UINT16 MSG, TW_STATUS* status);
  virtual TW_INT16 HandleEvent(TW_UINT16 MSG, TW_EVENT* event);
  virtual TW_INT16 HandleIdentity(TW_IDENTITY* origin, TW_UINT16 MSG, TW_IDENTITY* identity);
  virtual TW_INT16 HandlePendingXfers(TW_UINT16 MSG, TW_PENDINGXFERS* xfers);
  virtual TW_INT16 HandleCapability(TW_UINT16 MSG, TW_CAPABILITY* cap);
  virtual TW_INT16 HandleUserInterface(TW_UINT16 MSG, TW_USERINTERFACE* ui);
  virtual TW_INT16 HandleSetupFileXfer(TW_UINT16 MSG, TW_SETUPFILEXFER* setup);
  virtual TW_INT16 HandleSetupMemXfer(TW_UINT16 MSG, TW_SETUPMEMXFER* setup);
  virtual TW_INT16 HandleImageNativeXfer(TW_UINT16 MSG, TW_HANDLE* image);
  virtual TW_INT16 HandleImageFileXfer(TW_UINT16 MSG);
  virtual TW_INT16 HandleImageMemXfer(TW_UINT16 MSG, TW_IMAGEMEMXFER* xfer);
  virtual TW_INT16 HandleImageLayout(TW_UINT16 MSG, TW_IMAGELAYOUT* layout);
  virtual TW_INT16 HandleImageInfo(TW_UINT16 MSG, TW_IMAGEINFO* info);
  virtual TW_INT16 HandleExtImageInfo(TW_UINT16 MSG, TW_MEMREF data);
  virtual TW_INT16 HandleEntryPoint(TW_UINT16 MSG, TW_ENTRYPOINT* entry);
  virtual TW_INT16 HandleXferGroup(TW_UINT16 MSG, TW_UINT32* group);
  virtual TW_INT16 HandleCustomDSData(TW_UINT16 MSG, TW_CUSTOMDSDATA* data);

  // Operations of the device.
  virtual void GetIdentity(TW_IDENTITY* out) = 0;
  virtual TW_INT16 Initialize() = 0;
  virtual TW_INT16 EnableDS(TW_USERINTERFACE* ui) = 0;
  virtual TW_INT16 EnableDSUIOnly() = 0;
  virtual TW_INT16 DisableDS(TW_USERINTERFACE* ui) = 0;
  virtual TW_INT16 GetImageInfo(TW_IMAGEINFO* info) = 0;
  virtual TW_INT16 OpenDS(TW_IDENTITY* app) = 0;
  virtual TW_INT16 CloseDS() = 0;
  virtual TW_INT16 GetMemXferSizes(TW_SETUPMEMXFER* sizes) = 0;
  virtual TW_INT16 ProcessEvent(TW_EVENT* event) = 0;
  virtual TW_INT16 EndXfer(TW_PENDINGXFERS* xfers) = 0;
  virtual TW_INT16 GetPendingXfers(TW_PENDINGXFERS* xfers) = 0;
  virtual TW_INT16 ResetXfers(TW_PENDINGXFERS* xfers) = 0;
  // Fills the transfer buffer with the current page.
  virtual TW_INT16 AcquireImage() = 0;
  virtual TW_INT16 TransferNative(TW_HANDLE* image);
  virtual TW_INT16 TransferFile();
  virtual TW_INT16 TransferMemory(TW_IMAGEMEMXFER* xfer);

  // The transfer buffer as a bottom-up DIB in a new manager block: 0 when
  // built, 1 (with a condition code) when not.
  TW_INT16 BuildDIB(TW_HANDLE* out);
  // The transfer buffer written to the current file name.
  TW_INT16 WriteBmpFile();
  TW_INT16 WriteTiffFile();

  // Setup of file transfers.
  virtual TW_INT16 GetSetupFileXfer(TW_SETUPFILEXFER* setup);
  virtual TW_INT16 GetDefaultSetupFileXfer(TW_SETUPFILEXFER* setup);
  virtual TW_INT16 ResetSetupFileXfer(TW_SETUPFILEXFER* setup);
  virtual TW_INT16 SetSetupFileXfer(TW_SETUPFILEXFER* setup);

  // Notifications to the host through the manager; true when it accepted,
  // or when the notification waits on the serving thread (DSNotifications.h).
  virtual bool NotifyXferReady();
  virtual bool NotifyCloseDSOK();
  virtual bool NotifyCloseDSReq();
  // A notification that waited, sent now; then what its answer means for
  // the source (a refused MSG_XFERREADY takes it back to state 5).
  TW_INT16 SendNotification(TW_UINT16 MSG);
  void HeldNotificationSent(TW_UINT16 MSG, bool accepted);
  // A held MSG_XFERREADY that the host's calls have overtaken (a reset, a
  // transfer, a disable): it is not sent any more.
  void ForgetHeldXferReady() { m_heldXferReady.reset(); }

  virtual TW_UINT16 GetConditionCode() const { return m_conditionCode; }
  virtual void SetConditionCode(TW_UINT16 code) { m_conditionCode = code; }

  // Capabilities.
  virtual CTWAINContainer* FindContainer(TW_UINT16 cap);
  virtual TW_INT16 RefreshContainer(CTWAINContainer* container);
  // 0 accepted, 1 refused, 2 accepted after the record was changed.
  virtual TW_INT16 ValidateCapValue(TW_UINT16 cap, TW_UINT16 conType, void* record);
  virtual TW_INT16 UpdateDependentCaps(TW_UINT16 MSG, TW_UINT16 cap);
  // Fits the frame into the physical area; true when it changed.
  virtual bool ConstrainFrame(MilFrame& frame);
  virtual TW_INT16 StoreCustomDSData(TW_CUSTOMDSDATA* data);
  virtual TW_INT16 LoadCustomDSData(TW_CUSTOMDSDATA* data);

  TW_INT16 HandleCapMessage(TW_UINT16 MSG, CTWAINContainer* container, TW_CAPABILITY* cap);
  TW_INT16 getCurrentUnits(int* units, float* xResolution, float* yResolution);

  TW_IDENTITY* GetDSIdentity() { return &m_myIdentity; }
  TW_IDENTITY* GetAppIdentity() { return &m_appIdentity; }
  int GetState() const { return m_state; }

 protected:
  // Condition code and TWRC_FAILURE in one step.
  TW_INT16 Fail(TW_UINT16 condition) {
    m_conditionCode = condition;
    return TWRC_FAILURE;
  }
  bool InState(int low, int high) const { return m_state >= low && m_state <= high; }
  template <class Kind>
  Kind* FindContainerOf(TW_UINT16 cap) {
    return dynamic_cast<Kind*>(FindContainer(cap));
  }
  CTWAINContainerFrame* FindFrameContainer();
  // Sends, or queues on the serving thread.
  bool Notify(TW_UINT16 MSG);
  // After a refused MSG_XFERREADY, back in state 5.
  virtual void OnXferReadyRefused() {}

  std::map<TW_UINT16, std::unique_ptr<CTWAINContainer>> m_capabilities;
  TW_UINT16 m_conditionCode = TWCC_SUCCESS;
  TW_IDENTITY m_myIdentity{};
  TW_IDENTITY m_appIdentity{};
  int m_state = 3;
  // What an announced transfer changed, until the host was told.
  struct AnnouncedTransfer {
    TW_UINT32 documents;
    TW_UINT32 pages;
    TW_PENDINGXFERS pending;
  };
  std::optional<AnnouncedTransfer> m_heldXferReady;
  void TakeBackAnnouncement(const AnnouncedTransfer& before);
  char m_currentFileName[256]{};
  char m_defaultFileName[256]{};
  TW_IMAGEINFO m_imageInfo{};
  TW_UINT32 m_documentNumber = 0;
  TW_UINT32 m_pageNumber = 0;
  TW_PENDINGXFERS m_pendingXfers{};
  TW_UINT32 m_rowsSent = 0;
  TW_HANDLE m_transferBuffer = nullptr;
  // Bytes the transfer buffer holds.
  uint64_t m_transferBytes = 0;
  // The transfer buffer holds the current page, read out of the image
  // source: a transfer that failed leaves it to the next try.
  bool m_pageAcquired = false;

  // Frees the transfer buffer.
  void ReleaseTransferBuffer();
  // What the transfers of a page did (the rows sent, the page read out)
  // starts again: at every end of a transfer, a reset, a disable and an
  // enable, finished or not.
  void StartPageAgain();
  // The compact row size of the image information, and whether the transfer
  // buffer holds a whole image of it.
  uint64_t ImageRowBytes() const;
  bool TransferBufferHoldsImage() const;
  // Whether red and blue are exchanged in a transfer of an RGB image.
  bool BitOrderIsLsbFirst(bool unreadable);
  std::string CurrentFileName() const;
};
