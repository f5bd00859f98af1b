// The camera window's controls: exposure, colour mode, rotation, crop mode,
// the lens button and the scan parameters.
#include "capture/CaptureController.h"
#include "platform/mfc/CWinApp.h"
#include "twain/CameraModels.h"
#include "twain/PaldroseDlg.h"
#include "twain/ScanParameterDlg.h"
#include "twain/TWAIN_UI.h"

namespace strenvik {

namespace {
constexpr long kExposure = 4;
constexpr float kDetection = 0.03f;
constexpr wchar_t kPictureInPictureFailed[] = L"双摄像头同时开启模式失败，可能原因为USB数据传输速率问题！";
}  // namespace

void CPaldroseDlg::OnVideoParams() {
  if (!m_mainController) return;
  m_mainController->ShowFilterPages(GetSafeHwnd());
  ReadExposure();
}

void CPaldroseDlg::OnAutoExposure() {
  if (!m_mainController) return;
  if (IsDlgButtonChecked(6010) == BST_CHECKED) {
    m_exposureSlider.EnableWindow(FALSE);
    // Outside the camera's range: the camera switches to automatic exposure.
    m_mainController->SetCameraControl(kExposure, 10);
  } else {
    long value = 0, flags = 0;
    m_mainController->GetCameraControl(kExposure, &value, &flags);
    m_exposureValue = static_cast<int>(value);
    m_exposureSlider.SetPos(m_exposureValue);
    m_mainController->SetCameraControl(kExposure, value);
    m_exposureSlider.EnableWindow(TRUE);
  }
  UpdateData(FALSE);
}

void CPaldroseDlg::OnHScroll(UINT, UINT, CScrollBar*) {
  if (!m_mainController) return;
  const int position = m_exposureSlider.GetPos();
  if (position == m_exposureValue) return;
  // One unit per notification, however far the slider was dragged.
  m_exposureValue += position > m_exposureValue ? 1 : -1;
  m_exposureSlider.SetPos(m_exposureValue);
  m_mainController->SetCameraControl(kExposure, m_exposureValue);
  UpdateData(FALSE);
}

void CPaldroseDlg::OnColor() {
  if (!m_ui) return;
  m_ui->SetCapInt(ICAP_PIXELTYPE, TWPT_RGB);
  m_settings.PIXELTYPE = TWPT_RGB;
}

void CPaldroseDlg::OnGray() {
  if (!m_ui) return;
  m_ui->SetCapInt(ICAP_PIXELTYPE, TWPT_GRAY);
  m_settings.PIXELTYPE = TWPT_GRAY;
}

void CPaldroseDlg::OnBlackWhite() {
  if (!m_ui) return;
  m_ui->SetCapInt(ICAP_PIXELTYPE, TWPT_BW);
  m_settings.PIXELTYPE = TWPT_BW;
}

// Turns the current camera's preview by step degrees; only the main camera's
// turn is kept in the settings.
static void Turn(int step, int cameraMode, CCaptureController* main, CCaptureController* secondary, int* mainRotation,
                 int* secondaryRotation, int* rotateAngle) {
  if (!main) return;
  if (cameraMode != 1) {
    *mainRotation = (*mainRotation + step) % 360;
    main->SetRotation(*mainRotation);
    *rotateAngle = *mainRotation;
  } else if (secondary) {
    *secondaryRotation = (*secondaryRotation + step) % 360;
    secondary->SetRotation(*secondaryRotation);
  }
}

void CPaldroseDlg::OnRotateLeft() {
  Turn(270, m_settings.cameraMode, m_mainController, m_secondaryController, &m_mainRotation, &m_secondaryRotation,
       &m_settings.RotateAngle);
}

void CPaldroseDlg::OnRotate180() {
  Turn(180, m_settings.cameraMode, m_mainController, m_secondaryController, &m_mainRotation, &m_secondaryRotation,
       &m_settings.RotateAngle);
}

void CPaldroseDlg::OnRotateRight() {
  Turn(90, m_settings.cameraMode, m_mainController, m_secondaryController, &m_mainRotation, &m_secondaryRotation,
       &m_settings.RotateAngle);
}

void CPaldroseDlg::ApplyCropType(int type) {
  const int radio = type == 1 ? 6017 : type == 2 ? 6018 : 6016;
  CheckRadioButton(6016, 6018, radio);
  switch (type) {
    case 1: OnCropAuto(); break;
    case 2: OnCropCustom(); break;
    default: OnCropNone(); break;
  }
}

void CPaldroseDlg::SetCropMode(int type) {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  const bool secondary = m_settings.cameraMode == 1;
  CCaptureController* controller = CurrentController();
  if (!controller) return;
  // The portrait camera finds one document at most.
  controller->SetAutoDetect(type == 1, type == 1 && !secondary && m_settings.MULTICUT, kDetection);
  if (type != 1) controller->ShowSelection(type == 2);
  (secondary ? m_settings.secondaryCropType : m_settings.CUTPAGETYPE) = type;
}

void CPaldroseDlg::OnCropNone() { SetCropMode(0); }
void CPaldroseDlg::OnCropAuto() { SetCropMode(1); }
void CPaldroseDlg::OnCropCustom() { SetCropMode(2); }

void CPaldroseDlg::StoreSelections() {
  RECT selection{};
  if (m_mainController && m_mainController->GetSelection(&selection)) m_settings.crop = selection;
  if (m_secondaryController && m_secondaryController->GetSelection(&selection))
    m_settings.secondarySelection = selection;
}

void CPaldroseDlg::StoreWaterMarkPositions() {
  WaterMarkParams mark{};
  auto centre = [](const WaterMarkParams& params, int* x, int* y, float* angle) {
    *x = (params.rect.left + params.rect.right) / 2;
    *y = (params.rect.top + params.rect.bottom) / 2;
    *angle = static_cast<float>(params.angle);
  };
  if (m_mainController && m_mainController->GetWaterMark(&mark))
    centre(mark, &m_settings.C1POSX, &m_settings.C1POSY, &m_settings.C1Angle);
  if (m_secondaryController && m_secondaryController->GetWaterMark(&mark))
    centre(mark, &m_settings.C2POSX, &m_settings.C2POSY, &m_settings.C2Angle);
}

void CPaldroseDlg::OnSwitchLens() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (!m_mainController || !m_secondaryController) return;
  StoreSelections();
  int& mode = m_settings.cameraMode;
  mode = (mode + 1) % CameraModeCount;
  m_mainController->ShowPreview(false);
  m_secondaryController->ShowPreview(false);
  for (int id : {6016, 6017, 6018}) CheckDlgButton(id, BST_UNCHECKED);
  if (mode == 0 || mode == 2) {
    m_secondaryController->Stop();
    m_mainController->ShowPreview(true);
    m_mainController->Run();
    GetDlgItem(6010)->EnableWindow(TRUE);
    GetDlgItem(6017)->EnableWindow(TRUE);
    ReadExposure();
    ApplyCropType(m_settings.CUTPAGETYPE);
    if (m_settings.CUTPAGETYPE == 2) m_mainController->SetSelection(m_settings.crop, false);
    if (mode == 2) {
      const CameraIdStrings& ids = CameraIdStrings::Get();
      // The portrait camera's size, then 640 x 480, then 320 x 240.
      const SIZE fallbacks[] = {{m_settings.PortraitResolutionWidth, m_settings.PortraitResolutionHeight},
                                {640, 480},
                                {320, 240}};
      bool opened = false;
      for (const SIZE& size : fallbacks) {
        m_settings.PortraitResolutionWidth = size.cx;
        m_settings.PortraitResolutionHeight = size.cy;
        if (SUCCEEDED(m_mainController->OpenSecondaryCamera(ids.secondaryVendor, ids.secondaryProduct,
                                                            RECT{0, 0, size.cx, size.cy}))) {
          opened = true;
          break;
        }
      }
      if (!opened) {
        AfxMessageBox(kPictureInPictureFailed);
        mode = 0;
        CameraModeCount = 2;
      }
    } else {
      m_mainController->CloseSecondaryCamera();
    }
  } else {
    m_mainController->Stop();
    m_secondaryController->ShowPreview(true);
    m_secondaryController->Run();
    m_exposureSlider.EnableWindow(FALSE);
    GetDlgItem(6010)->EnableWindow(FALSE);
    CheckDlgButton(6010, BST_CHECKED);
    GetDlgItem(6017)->EnableWindow(FALSE);
    ApplyCropType(m_settings.secondaryCropType);
    if (m_settings.secondaryCropType == 2) m_secondaryController->SetSelection(m_settings.secondarySelection, false);
  }
}

void CPaldroseDlg::OnScanParams() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  GetDlgItem(6002)->GetWindowRect(&m_previewRect);
  ScreenToClient(&m_previewRect);
  CScanParameterDlg dialog(this);
  dialog.m_captureController = CurrentController();
  StoreWaterMarkPositions();
  dialog.m_settings = m_settings;
  if (dialog.DoModal() != IDOK) return;
  // The record comes back last (with the dialog's resolutions); the sizes
  // are compared with the current ones first.
  const CTwainSettings& chosen = dialog.m_settings;
  float xDpi = 0, yDpi = 0;
  if (m_ui && GetModelResolutionDpi(chosen.ResolutionWidth, chosen.ResolutionHeight, &xDpi, &yDpi)) {
    m_ui->SetCapFloat(ICAP_XRESOLUTION, xDpi);
    m_ui->SetCapFloat(ICAP_YRESOLUTION, yDpi);
  }
  const CameraIdStrings& ids = CameraIdStrings::Get();
  const int mode = m_settings.cameraMode;
  if (mode != 1 && m_mainController &&
      (chosen.ResolutionWidth != m_settings.ResolutionWidth || chosen.ResolutionHeight != m_settings.ResolutionHeight)) {
    // The shooting worker looks at the controller being replaced.
    OnStopContinuous();
    CheckRadioButton(6016, 6018, 6016);
    delete m_mainController;
    m_mainController = ReopenCamera(ids.mainVendor, ids.mainProduct, chosen.ResolutionWidth, chosen.ResolutionHeight,
                                    m_mainRotation, true);
    m_currentController = m_mainController;
    m_cameraJustOpened = true;
  } else if (mode == 1 && m_secondaryController &&
             (chosen.PortraitResolutionWidth != m_settings.PortraitResolutionWidth ||
              chosen.PortraitResolutionHeight != m_settings.PortraitResolutionHeight)) {
    delete m_secondaryController;
    m_secondaryController = ReopenCamera(ids.secondaryVendor, ids.secondaryProduct, chosen.PortraitResolutionWidth,
                                         chosen.PortraitResolutionHeight, m_secondaryRotation, false);
  }
  m_settings = chosen;
  if (m_mainController && m_mainController->IsAutoDetect())
    m_mainController->SetAutoDetect(true, m_settings.MULTICUT, kDetection);
}

}  // namespace strenvik
