#pragma once
// The data source object of the document camera: its 38 capabilities, the
// state operations wired to the camera window through the bridge, and the
// pages through the image source.
#include <map>
#include <memory>
#include <string>

#include "twain/DSImageSource.h"
#include "twain/TWAINDS_Base.h"

class CTWAIN_UI;
class CTWAINContainerInt;
class CTWAINContainerFrame;

// Custom capabilities of this source.
constexpr TW_UINT16 CUSTCAP_LONGDOCUMENT = 0x8001;
constexpr TW_UINT16 CUSTCAP_DOCS_IN_ADF = 0x8002;

// The identity every data source object starts from; Id is overwritten by
// identity queries that reach no object.
extern TW_IDENTITY DSIdentity;

class CTWAINDS_FreeImage : public CTWAINDS_Base {
 public:
  explicit CTWAINDS_FreeImage(TW_IDENTITY app);
  ~CTWAINDS_FreeImage() override;

  TW_INT16 HandleImageLayout(TW_UINT16 MSG, TW_IMAGELAYOUT* layout) override;
  void GetIdentity(TW_IDENTITY* out) override;
  TW_INT16 Initialize() override;
  TW_INT16 EnableDS(TW_USERINTERFACE* ui) override;
  TW_INT16 EnableDSUIOnly() override;
  TW_INT16 DisableDS(TW_USERINTERFACE* ui) override;
  TW_INT16 GetImageInfo(TW_IMAGEINFO* info) override;
  TW_INT16 OpenDS(TW_IDENTITY* app) override;
  TW_INT16 CloseDS() override;
  TW_INT16 GetMemXferSizes(TW_SETUPMEMXFER* sizes) override;
  TW_INT16 ProcessEvent(TW_EVENT* event) override;
  TW_INT16 EndXfer(TW_PENDINGXFERS* xfers) override;
  TW_INT16 GetPendingXfers(TW_PENDINGXFERS* xfers) override;
  TW_INT16 ResetXfers(TW_PENDINGXFERS* xfers) override;
  TW_INT16 AcquireImage() override;
  TW_INT16 TransferFile() override;
  TW_INT16 StoreCustomDSData(TW_CUSTOMDSDATA* data) override;
  TW_INT16 LoadCustomDSData(TW_CUSTOMDSDATA* data) override;
  bool NotifyCloseDSOK() override;
  void OnXferReadyRefused() override;
  CTWAINContainer* FindContainer(TW_UINT16 cap) override;
  TW_INT16 ValidateCapValue(TW_UINT16 cap, TW_UINT16 conType, void* record) override;

  bool UpdateSourceParams();
  CTWAINContainerInt* GetBitDepthContainer();
  bool StartScan();
  bool RequestCancel();

  CTWAIN_UI* GetUI() { return m_ui; }
  CDSImageSource& GetImageSource() { return m_imageSource; }

 private:
  bool CreateCapabilities();
  // Custom data: one record per capability, appended to or found in a
  // block of records.
  bool WriteCapRecord(std::string& stream, TW_UINT16 cap, TW_UINT16 reserved,
                      TW_UINT16 conType);
  bool ReadCapRecord(const std::string& stream, TW_UINT16 cap, TW_UINT16 reserved);
  bool SaveCapsToStream(std::string& stream);
  bool LoadCapsFromStream(const std::string& stream);
  TW_INT16 WriteTransferFile(int format, int quality);
  bool ReadFrameInUnits(const MilFrame& frame, TW_FRAME* out);

  CDSImageSource m_imageSource;
  std::map<TW_UINT16, std::unique_ptr<CTWAINContainerInt>> m_bitDepths;
  std::map<TW_UINT16, std::unique_ptr<CTWAINContainer>> m_sizes;
  std::unique_ptr<CTWAINContainerFrame> m_frames;
  TW_IDENTITY m_application{};
  bool m_cancelRequested = false;
  // Pages the host still takes of the announced batch (CAP_XFERCOUNT as
  // the batch was announced); -1: as many as there are.
  int m_batchLeft = -1;
  CTWAIN_UI* m_ui = nullptr;
};
