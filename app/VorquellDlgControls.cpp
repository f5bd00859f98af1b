// The main window's controls that act on the running cameras at once: the
// crop radios, refocus, automatic exposure, the camera driver's pages and
// the image folder.
#include "app/VorquellDlg.h"
#include "platform/dshow/Interfaces.h"
#include "platform/win/Shell.h"

namespace {

constexpr long kExposure = CameraControl_Exposure;
constexpr long kFocus = CameraControl_Focus;
// Detection parameter of the document camera with detection on; every
// other call takes the larger one.
constexpr float kDocumentDetect = 0.01f;
constexpr float kOtherDetect = 0.03f;

}  // namespace

CCaptureController* CVorquellDlg::CropController() const {
  if (settings_.currentCamera == 0) return documentController_.get();
  if (settings_.currentCamera == 1) return portraitController_.get();
  return nullptr;
}

void CVorquellDlg::OnCropNone() {
  if (IsDlgButtonChecked(IDC_CROP_NONE)) settings_.cutPageType = 0;
  if (CCaptureController* camera = CropController()) {
    camera->ShowSelection(false);
    camera->SetAutoDetect(false, false, kOtherDetect);
  }
}

void CVorquellDlg::OnCropAuto() {
  if (IsDlgButtonChecked(IDC_CROP_AUTO)) settings_.cutPageType = 1;
  CCaptureController* camera = CropController();
  if (!camera) return;
  camera->ShowSelection(false);
  // Several documents at once only on the document camera.
  if (settings_.currentCamera == 0) camera->SetAutoDetect(true, settings_.multiCutPage, kDocumentDetect);
  else camera->SetAutoDetect(true, false, kOtherDetect);
}

void CVorquellDlg::OnCropManual() {
  if (!documentController_) return;
  if (IsDlgButtonChecked(IDC_CROP_MANUAL)) settings_.cutPageType = 2;
  if (CCaptureController* camera = CropController()) {
    // Detection goes off before the rectangle shows.
    camera->SetAutoDetect(false, false, kOtherDetect);
    camera->ShowSelection(true);
  }
}

void CVorquellDlg::OnAutoFocus() {
  if (!documentController_) return;
  long min = 0, max = 0, step = 0, dflt = 0, flags = 0;
  if (FAILED(documentController_->GetCameraControlRange(kFocus, &min, &max, &step, &dflt, &flags))) return;
  documentController_->SetCameraControl(kFocus, dflt);
  // Above the range: the camera focuses by itself again.
  documentController_->SetCameraControl(kFocus, max + 10);
}

void CVorquellDlg::OnAutoExposureBox() {
  if (!documentController_) return;
  if (IsDlgButtonChecked(IDC_AUTO_EXPOSURE)) {
    exposureSlider_.EnableWindow(FALSE);
    settings_.autoExposure = true;
    // One above the camera's own range, whatever its units: a fixed value
    // could lie inside a wide range and set the exposure by hand.
    long min = 0, max = 0, step = 0, dflt = 0, flags = 0;
    documentController_->GetCameraControlRange(kExposure, &min, &max, &step, &dflt, &flags);
    documentController_->SetCameraControl(kExposure, max + 1);
    return;
  }
  settings_.autoExposure = false;
  ReadExposureBack(true);
  UpdateData(FALSE);
  documentController_->SetCameraControl(kExposure, exposureValue_);
  exposureSlider_.EnableWindow(TRUE);
}

void CVorquellDlg::OnVideoParameters() {
  if (!documentController_) return;
  if (settings_.currentCamera == 1) {
    if (portraitController_) portraitController_->ShowFilterPages(m_hWnd);
    return;
  }
  if (settings_.currentCamera != 0) return;
  documentController_->ShowFilterPages(m_hWnd);
  // The pages are a modal loop: the camera is looked up again after it.
  bool automatic = false;
  if (!ReadExposureBack(true, &automatic)) return;
  settings_.autoExposure = automatic;
  ShowExposureMode(automatic);
  UpdateData(FALSE);
}

void CVorquellDlg::OnBrowseImages() {
  ShellExecuteW(m_hWnd, L"explore", settings_.currentFolder, nullptr, nullptr, SW_SHOW);
}

void CVorquellDlg::OnStreamPages() {
  if (documentController_) documentController_->ShowStreamConfigPages(m_hWnd);
}
