#include "twain/TWAIN_UI.h"

#include <atomic>
#include <cstring>
#include <iostream>

#include "platform/display/Headless.h"
#include "platform/display/Presenter.h"
#include "platform/mfc/CWinApp.h"
#include "platform/twain/TwainAccess.h"
#include "twain/DSMBinding.h"
#include "app/IniFile.h"
#include "platform/win/KnownFolders.h"
#include "twain/TWAINContainerFix32Range.h"
#include "twain/TWAINContainerKinds.h"
#include "twain/TWAINDS_FreeImage.h"
#include "capture/CaptureController.h"
#include "twain/CameraModels.h"
#include "twain/CameraWindowPictures.h"
#include "twain/PaldroseDlg.h"

CTWAIN_UI::CTWAIN_UI(CTWAINDS_FreeImage* ds) : m_ds(ds) {
  // The camera window keeps its settings file there.
  CreateFolderTree(vq::MachineDataFolder().c_str());
}

TW_INT16 CTWAIN_UI::ShowUI(TW_USERINTERFACE ui, bool, bool) {
  m_transferAnnounced = ui.ShowUI == 0;
  return TWRC_SUCCESS;
}

void CTWAIN_UI::HideUI() { m_transferAnnounced = false; }

bool CTWAIN_UI::Scan() {
  if (!m_ds->StartScan()) return false;
  m_transferAnnounced = m_ds->NotifyXferReady();
  return m_transferAnnounced;
}

bool CTWAIN_UI::Cancel() {
  if (m_transferAnnounced) m_ds->RequestCancel();
  return m_ds->NotifyCloseDSReq();
}

bool CTWAIN_UI::ConfirmClose() { return m_ds->NotifyCloseDSOK(); }

int CTWAIN_UI::GetCapCurrentIndex(TW_UINT16 cap) {
  CTWAINContainer* container = m_ds->FindContainer(cap);
  return container ? container->GetCurrentIndex() : 0;
}

float CTWAIN_UI::GetCapFloat(TW_UINT16 cap) {
  CTWAINContainer* container = m_ds->FindContainer(cap);
  float value = 0;
  if (auto* fix32 = dynamic_cast<CTWAINContainerFix32*>(container)) {
    if (fix32->GetCurrent(&value)) return value;
  } else if (auto* range = dynamic_cast<CTWAINContainerFix32Range*>(container)) {
    if (range->GetCurrent(&value)) return value;
  }
  return 0.0f;
}

int CTWAIN_UI::GetCapInt(TW_UINT16 cap) {
  auto* container = dynamic_cast<CTWAINContainerInt*>(m_ds->FindContainer(cap));
  int value = 0;
  return (container && container->GetCurrent(&value)) ? value : 0;
}

bool CTWAIN_UI::SetCapOneValue(TW_UINT16 cap, TW_UINT32 blockSize, TW_UINT16 itemType,
                               TW_UINT32 item) {
  TW_HANDLE block = MakeBlock(blockSize, [&](uint8_t* p) {
    twain::Store<TW_UINT16>(p, itemType);
    twain::Store<TW_UINT32>(p, item, 2);
  });
  if (!block) return false;
  TW_CAPABILITY capability{cap, TWON_ONEVALUE, block};
  TW_INT16 result = m_ds->HandleCapability(MSG_SET, &capability);
  FreeDSMMemory(block);
  m_ds->SetConditionCode(TWCC_SUCCESS);
  return result == TWRC_SUCCESS || result == TWRC_CHECKSTATUS;
}

bool CTWAIN_UI::SetCapFloat(TW_UINT16 cap, float value) {
  TW_FIX32 fix = FloatToFix32(value);
  TW_UINT32 item = 0;
  std::memcpy(&item, &fix, sizeof fix);
  return SetCapOneValue(cap, 16, TWTY_FIX32, item);
}

bool CTWAIN_UI::SetCapInt(TW_UINT16 cap, int value) {
  CTWAINContainer* container = m_ds->FindContainer(cap);
  if (!container) return false;
  return SetCapOneValue(cap, 6, container->GetItemType(), static_cast<TW_UINT32>(value));
}

CMFC_UI::CMFC_UI(CTWAINDS_FreeImage* ds) : CTWAIN_UI(ds) {
  // Made with the source, before the module registers its end.
  strenvik::RegisterCameraWindowResources();
}

CMFC_UI::~CMFC_UI() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (!m_window) return;
  m_window->CloseCameras();
  delete m_window;
  m_window = nullptr;
}

TW_INT16 CMFC_UI::ShowUI(TW_USERINTERFACE ui, bool uiOnly, bool indicators) {
  CTWAIN_UI::ShowUI(ui, uiOnly, indicators);
  if (uiOnly) ui.ShowUI = 1;
  if (!ui.ShowUI) return TWRC_SUCCESS;
  if (!m_window || !m_window->GetSafeHwnd()) return TWRC_FAILURE;
  m_window->ShowWindow(SW_SHOW);
  if (!WindowsReachAPerson()) {
    m_window->ShowWindow(SW_HIDE);
    std::cerr << "ds: no display to show the camera window on" << std::endl;
    return TWRC_FAILURE;
  }
  m_window->SyncFromCapabilities();
  return TWRC_SUCCESS;
}

void CMFC_UI::HideUI() {
  CTWAIN_UI::HideUI();
  if (!m_window || !m_window->GetSafeHwnd()) return;
  m_window->ShowWindow(SW_HIDE);
  // A merge in progress goes with the pages the disable drops.
  if (m_window->MergeDialog()) {
    m_window->CheckDlgButton(6024, BST_UNCHECKED);
    m_window->OnMergeCheck();
  }
}

void CMFC_UI::CreateCameraWindow() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (m_window) return;
  // The settings file is named after the main camera: find it first.
  SelectAttachedModel([](const wchar_t* vendor, const wchar_t* product) {
    return CCaptureController(false, false).CountDevices(vendor, product);
  });
  m_window = new strenvik::CPaldroseDlg;
  m_window->SetDataSource(m_ds);
  m_window->SetUI(this);
  if (m_window->Create(strenvik::CPaldroseDlg::IDD, nullptr)) m_window->ShowWindow(SW_HIDE);
}

bool CMFC_UI::OpenCameraWindow(bool interactive) {
  CreateCameraWindow();
  if (!m_window->GetSafeHwnd()) return false;
  m_window->SetUnattended(!interactive);
  return m_window->OpenCamera() == 1;
}

std::vector<cv::Mat> CMFC_UI::GetImages() {
  if (!m_window) return {};
  const std::vector<cv::Mat>& pages = m_window->Pages();
  return std::vector<cv::Mat>(pages.rbegin(), pages.rend());
}

bool CMFC_UI::OnTransferStart() {
  return m_window && m_window->GetSafeHwnd() && m_window->PostMessage(WM_DS_TRANSFER_STATE, 0, 0);
}

bool CMFC_UI::OnTransferEnd() {
  return m_window && m_window->GetSafeHwnd() && m_window->PostMessage(WM_DS_TRANSFER_STATE, 1, 0);
}

bool CMFC_UI::CaptureWithoutUI() { return m_window && m_window->CaptureWithoutUI(); }

void CMFC_UI::OnTransferNotStarted() {
  CTWAIN_UI::OnTransferNotStarted();
  if (m_window && m_window->GetSafeHwnd()) m_window->PostMessage(WM_DS_TRANSFER_STATE, strenvik::kTransferNotStarted, 0);
}

bool CMFC_UI::WindowsReachAPerson() {
  // Asked to run without a display (tests, demonstrations), the layer's
  // windows are driven and looked at as pictures.
  if (vqplatform::IsHeadlessByRequest()) return true;
  return vqplatform::FlushPresenter(kPresenterWaitMs);
}

namespace {

std::atomic<UIFactory> g_uiFactory{nullptr};

}  // namespace

void SetUIFactory(UIFactory factory) { g_uiFactory = factory; }

CTWAIN_UI* CreateUI(CTWAINDS_FreeImage* ds) {
  if (UIFactory factory = g_uiFactory.load()) return factory(ds);
  return new CMFC_UI(ds);
}

void DestroyUI(CTWAIN_UI* ui) { delete ui; }
