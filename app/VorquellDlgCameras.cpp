// The main window's cameras: choosing the pair, opening and running them,
// switching between them, turning and exposing the shown one, and losing
// and finding either camera while the program runs.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/BrandingData.h"
#include "app/CameraModels.h"
#include "app/SettingsRanges.h"
#include "app/VorquellDlg.h"
#include "platform/dshow/Interfaces.h"
#include "platform/win/Encoding.h"
#include "platform/win/RectFunctions.h"

namespace {

constexpr long kExposure = CameraControl_Exposure;

// A selection rectangle of a frame of one size placed on a frame of another.
RECT ScaleRect(const RECT& r, int fromWidth, int fromHeight, int toWidth, int toHeight) {
  if (fromWidth <= 0 || fromHeight <= 0) return r;
  const double fx = double(toWidth) / fromWidth, fy = double(toHeight) / fromHeight;
  return RECT{LONG(r.left * fx + 0.5), LONG(r.top * fy + 0.5), LONG(r.right * fx + 0.5), LONG(r.bottom * fy + 0.5)};
}

// Tells which cameras were looked for: the box that follows names none.
void ReportCamerasLookedFor(const std::vector<CString>& cameraList) {
  std::string ids;
  for (const CString& entry : cameraList)
    ids += (ids.empty() ? "" : ", ") + vq::WideToUtf8(entry.Mid(0, 4).GetString()) + ":" +
           vq::WideToUtf8(entry.Mid(4, 4).GetString());
  std::fprintf(stderr,
               "Vorquell: no document camera of data.dat attached; looked for the USB ids (vendor:product) %s. "
               "Without a camera: VQ_VIRTUAL_CAMERA=1 Vorquell\n",
               ids.empty() ? "(none listed)" : ids.c_str());
}

}  // namespace

bool CVorquellDlg::SelectCameras() {
  CCaptureController counter(false, false);
  branding_.selectedCameraIds.clear();
  for (const CString& entry : branding_.cameraList) {
    if (counter.CountDevices(entry.Mid(0, 4), entry.Mid(4, 4)) > 0) {
      branding_.selectedCameraIds = {entry.Mid(12, 4), entry.Mid(8, 4), entry.Mid(4, 4), entry.Mid(0, 4)};
      break;
    }
  }
  if (branding_.selectedCameraIds.empty()) {
    ReportCamerasLookedFor(branding_.cameraList);
    return false;
  }
  // One spelling of the document camera's ids from here on.
  docProductId_ = branding_.selectedCameraIds[2];
  docVendorId_ = branding_.selectedCameraIds[3];
  docProductId_.MakeUpper();
  docVendorId_.MakeUpper();
  return true;
}

void CVorquellDlg::ApplyModelDefaults() {
  // A size the camera does not offer (from another camera, or edited by
  // hand) counts as not configured: pages are scaled to the configured size.
  const auto offeredOrUnset = [](const CString& vendor, const CString& product, int* width, int* height) {
    if (*width < 0 || *height < 0) return;
    const std::vector<ResolutionEntry> offered = OfferedResolutions(vendor, product);
    if (!offered.empty() && !HoldsResolution(offered, *width, *height)) *width = *height = -1;
  };
  offeredOrUnset(docVendorId_, docProductId_, &settings_.docCamWidth, &settings_.docCamHeight);
  offeredOrUnset(branding_.selectedCameraIds[1], branding_.selectedCameraIds[0], &settings_.porCamWidth,
                 &settings_.porCamHeight);
  CameraModelDefaults defaults{};
  const bool listed = LookUpModelDefaults(docVendorId_, docProductId_, &defaults);
  if (listed && (settings_.docCamWidth < 0 || settings_.docCamHeight < 0)) {
    settings_.docCamWidth = defaults.width;
    settings_.docCamHeight = defaults.height;
    settings_.xDpi = settings_.yDpi = defaults.dpi;
  }
  // A resolution not configured: the model's, or a usual one for a camera
  // that no model row lists.
  const int dpi = listed ? defaults.dpi : kUnlistedCameraDpi;
  if (settings_.xDpi < kMinDpi) settings_.xDpi = dpi;
  if (settings_.yDpi < kMinDpi) settings_.yDpi = dpi;
  if (settings_.porCamWidth < 0 || settings_.porCamHeight < 0) {
    settings_.porCamWidth = 640;
    settings_.porCamHeight = 480;
  }
}

void CVorquellDlg::IdentifyCameraModel(const CString& vendorId, const CString& productId) {
  settings_.cameraModel = ::IdentifyCameraModel(vendorId, productId);
}

void CVorquellDlg::PlacePreviewRectangle() {
  // The preview area in this window's client coordinates, whatever frame the
  // window manager puts around the window.
  RECT area{};
  GetDlgItem(IDC_PREVIEW_AREA)->GetWindowRect(&area);
  ScreenToClient(&area);
  InflateRect(&area, -1, -1);
  previewRect_ = area;
}

bool CVorquellDlg::OpenCameraInPreview(CCaptureController& camera, bool portrait) {
  const CString& vendor = portrait ? branding_.selectedCameraIds[1] : docVendorId_;
  const CString& product = portrait ? branding_.selectedCameraIds[0] : docProductId_;
  return camera.OpenCamera(vendor, product, nullptr, this, previewRect_.left, previewRect_.top, previewRect_.right,
                           previewRect_.bottom, settings_.channels, portrait ? 1 : 0) == S_OK;
}

bool CVorquellDlg::OpenDocumentCamera() {
  ReleaseController(documentController_);
  documentController_ = std::make_unique<CCaptureController>(true, false);
  CCaptureController& camera = *documentController_;
  if (camera.CountDevices(docVendorId_, docProductId_) <= 0) return false;
  camera.SetResolution(settings_.docCamWidth, settings_.docCamHeight);
  camera.SetSubtype(settings_.fastMode == 1 ? 1 : 0);
  // The source's own messages while it opens are a modal loop.
  if (!OpenCameraInPreview(camera, false) || documentController_.get() != &camera) return false;
  IdentifyCameraModel(docVendorId_, docProductId_);
  shownCamera_ = 0;
  return true;
}

void CVorquellDlg::OpenPortraitCamera() {
  ReleaseController(portraitController_);
  portraitController_ = std::make_unique<CCaptureController>(true, false);
  CCaptureController& camera = *portraitController_;
  if (camera.CountDevices(branding_.selectedCameraIds[1], branding_.selectedCameraIds[0]) > 0) {
    camera.SetResolution(settings_.porCamWidth, settings_.porCamHeight);
    if (OpenCameraInPreview(camera, true)) {
      camera.Stop();
      camera.ShowPreview(false);
      return;
    }
  }
  ReleaseController(portraitController_);
}

void CVorquellDlg::ShowPreviews(bool document, bool portrait) {
  GetDlgItem(IDC_PREVIEW_AREA)->ShowWindow(SW_HIDE);
  GetDlgItem(IDC_HOST_FRAME)->ShowWindow(SW_HIDE);
  if (documentController_) documentController_->ShowPreview(document);
  if (portraitController_) portraitController_->ShowPreview(portrait);
}

BOOL CVorquellDlg::OpenAndRunCameras() {
  const bool opened = OpenDocumentCamera();
  std::vector<int> subtypes;
  if (documentController_ && documentController_->GetSubtypes(subtypes) &&
      std::count(subtypes.begin(), subtypes.end(), 1))
    settings_.offersMjpg = 1;
  if (!opened) {
    ReleaseController(documentController_);
    return QuitStartUp(MSG_NO_DOCUMENT_CAMERA, MB_ICONEXCLAMATION);
  }
  // The hidden host frame takes the preview area's place.
  RECT area{};
  GetDlgItem(IDC_PREVIEW_AREA)->GetWindowRect(&area);
  ScreenToClient(&area);
  GetDlgItem(IDC_HOST_FRAME)->MoveWindow(&area);
  OpenPortraitCamera();
  if (!documentController_) return QuitStartUp(MSG_NO_DOCUMENT_CAMERA, MB_ICONEXCLAMATION);
  if (!documentController_->Run()) return QuitStartUp(MSG_DEVICE_BUSY, MB_ICONSTOP);
  ShowPreviews(true, false);
  return TRUE;
}

void CVorquellDlg::InitExposureControls() {
  long min = 0, max = 0, step = 0, dflt = 0, flags = 0;
  documentController_->GetCameraControlRange(kExposure, &min, &max, &step, &dflt, &flags);
  exposureSlider_.SetRange(min, max, FALSE);
  // A stored value outside this camera's range (another camera's, or an
  // edit) means nothing to it: the camera's default is taken instead.
  if (min < max && (settings_.exposure < min || settings_.exposure > max)) settings_.exposure = int(dflt);
  if (settings_.autoExposure) {
    documentController_->SetCameraControl(kExposure, max + 1);
    exposureSlider_.EnableWindow(FALSE);
    CheckDlgButton(IDC_AUTO_EXPOSURE, BST_CHECKED);
  } else {
    exposureSlider_.EnableWindow(TRUE);
    documentController_->SetCameraControl(kExposure, settings_.exposure);
    CheckDlgButton(IDC_AUTO_EXPOSURE, BST_UNCHECKED);
  }
  exposureValue_ = settings_.exposure;
  exposureSlider_.SetPos(settings_.exposure);
}

bool CVorquellDlg::ReadExposureBack(bool store, bool* automatic) {
  if (!documentController_) return false;
  long value = 0, flags = 0;
  documentController_->GetCameraControl(kExposure, &value, &flags);
  exposureSlider_.SetPos(value);
  exposureValue_ = value;
  if (store) settings_.exposure = value;
  if (automatic) *automatic = flags == CameraControl_Flags_Auto;
  return true;
}

void CVorquellDlg::ShowExposureMode(bool automatic) {
  exposureSlider_.EnableWindow(!automatic);
  CheckDlgButton(IDC_AUTO_EXPOSURE, automatic ? BST_CHECKED : BST_UNCHECKED);
}

void CVorquellDlg::ExposureFromCamera() {
  if (!documentController_) return;
  long min = 0, max = 0, step = 0, dflt = 0, caps = 0;
  documentController_->GetCameraControlRange(kExposure, &min, &max, &step, &dflt, &caps);
  GetDlgItem(IDC_AUTO_EXPOSURE)->EnableWindow(TRUE);
  exposureSlider_.SetRange(min, max, FALSE);
  bool automatic = false;
  ReadExposureBack(false, &automatic);
  ShowExposureMode(automatic);
  UpdateData(FALSE);
}

void CVorquellDlg::RestoreCropMode() {
  CCaptureController* current = settings_.currentCamera == 0 ? documentController_.get() : portraitController_.get();
  if (settings_.cutPageType == 1) {
    CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_AUTO);
    if (settings_.currentCamera == 0) documentController_->SetAutoDetect(true, settings_.multiCutPage, 0.01f);
  } else if (settings_.cutPageType == 2) {
    CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_MANUAL);
    if (current) {
      current->SetAutoDetect(false, false, 0.03f);
      current->ShowSelection(true);
      const int* stored = settings_.currentCamera == 0 ? settings_.docSelection : settings_.portraitSelection;
      current->SetSelection(RECT{stored[0], stored[1], stored[2], stored[3]}, false);
    }
  } else {
    CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_NONE);
  }
}

void CVorquellDlg::OnTimer(UINT_PTR id) {
  if (id == TIMER_EXPOSURE_POLL && IsDlgButtonChecked(IDC_AUTO_EXPOSURE) && ReadExposureBack(true)) {
    CString text;
    text.Format(L"%d", exposureValue_);
    SetDlgItemText(IDC_EXPOSURE_VALUE, text);
  }
  Default();
}

void CVorquellDlg::OnHScroll(UINT /*code*/, UINT /*position*/, CScrollBar* /*bar*/) {
  if (!documentController_ || exposureSlider_.GetPos() == exposureValue_) return;
  // One unit per notification, however far the thumb went.
  const int value = exposureValue_ + (exposureSlider_.GetPos() > exposureValue_ ? 1 : -1);
  exposureSlider_.SetPos(value);
  documentController_->SetCameraControl(kExposure, value);
  exposureValue_ = value;
  settings_.exposure = value;
  UpdateData(FALSE);
  Default();
}

void CVorquellDlg::Rotate(int angle) {
  if (!documentController_) return;
  if (settings_.currentCamera == 0) {
    documentRotation_ = (documentRotation_ + angle) % 360;
    documentController_->SetRotation(documentRotation_);
  } else if (settings_.currentCamera == 1 && portraitController_) {
    portraitRotation_ = (portraitRotation_ + angle) % 360;
    portraitController_->SetRotation(portraitRotation_);
  }
  settings_.rotation += angle;
}

void CVorquellDlg::OnRotateLeft() { Rotate(270); }
void CVorquellDlg::OnRotate180() { Rotate(180); }
void CVorquellDlg::OnRotateRight() { Rotate(90); }

void CVorquellDlg::CropRadioFrom(CCaptureController* controller) {
  if (!controller) return;
  RECT selection{};
  int radio = IDC_CROP_NONE;
  settings_.cutPageType = 0;
  if (controller->IsAutoDetect()) {
    radio = IDC_CROP_AUTO;
    settings_.cutPageType = 1;
  } else if (controller->GetSelection(&selection) && selection.left != selection.right) {
    radio = IDC_CROP_MANUAL;
    settings_.cutPageType = 2;
  }
  CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, radio);
}

void CVorquellDlg::OnSwitchCamera() {
  if (!documentController_ || !portraitController_) return;
  CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_NONE);
  settings_.cutPageType = 0;
  if (shownCamera_ == 1) {
    if (ShowDocumentCamera()) shownCamera_ = settings_.currentCamera = 0;
  } else if (shownCamera_ == 0) {
    if (ShowPortraitCamera()) {
      shownCamera_ = settings_.currentCamera = 1;
    } else {
      settings_.currentCamera = 0;
      ShowDocumentCamera();
    }
  }
  ShowCameraControls();
}

void CVorquellDlg::ShowCameraControls() {
  // Both cameras may have gone while a message was shown.
  if (!documentController_) return;
  if (settings_.currentCamera == 0) {
    GetDlgItem(IDC_CROP_AUTO)->EnableWindow(TRUE);
    CropRadioFrom(documentController_.get());
    ExposureFromCamera();
  } else {
    GetDlgItem(IDC_CROP_AUTO)->EnableWindow(FALSE);
    CropRadioFrom(portraitController_.get());
    exposureSlider_.EnableWindow(FALSE);
    GetDlgItem(IDC_AUTO_EXPOSURE)->EnableWindow(FALSE);
    CheckDlgButton(IDC_AUTO_EXPOSURE, BST_CHECKED);
  }
}

bool CVorquellDlg::ShowDocumentCamera() {
  if (!documentController_) return false;
  // Without a portrait camera (its reopen failed) the document camera is
  // still run and shown.
  if (portraitController_ && (!portraitController_->Stop() || !portraitController_->ShowPreview(false))) return false;
  if (!documentController_->Run() || !documentController_->ShowPreview(true)) return false;
  documentController_->SetPreviewRect(previewRect_.left, previewRect_.top, previewRect_.right, previewRect_.bottom);
  documentController_->MovePreviewWindow();
  return true;
}

bool CVorquellDlg::ShowPortraitCamera() {
  if (!documentController_ || !portraitController_) return false;
  if (!documentController_->Stop()) return false;
  int width = 0, height = 0;
  portraitController_->GetResolution(&width, &height);
  RECT selection{};
  const bool hasSelection = portraitController_->GetSelection(&selection) && selection.left < selection.right;
  if (width == settings_.porCamWidth && height == settings_.porCamHeight) {
    if (!portraitController_->Run()) return false;
  } else {
    // Reopened at the configured size with the parameters of the start-up,
    // so the snapshot button stays reported.
    CloseContinuousShooting();
    ReleaseController(portraitController_);
    auto reopened = std::make_unique<CCaptureController>(true, false);
    reopened->SetResolution(settings_.porCamWidth, settings_.porCamHeight);
    const bool opened = OpenCameraInPreview(*reopened, true) && reopened->Run();
    // Both cameras may have gone while the source showed a message.
    if (!documentController_) {
      ReleaseController(reopened);
      return false;
    }
    if (!opened) {
      ReleaseController(reopened);
      ShowMessage(MSG_PORTRAIT_BUSY, MB_ICONSTOP);
      return false;
    }
    if (hasSelection)
      reopened->SetSelection(ScaleRect(selection, width, height, settings_.porCamWidth, settings_.porCamHeight),
                             false);
    portraitController_ = std::move(reopened);
  }
  settings_.currentCamera = 1;
  if (!documentController_->ShowPreview(false) || !portraitController_->ShowPreview(true)) return false;
  portraitController_->SetPreviewRect(previewRect_.left, previewRect_.top, previewRect_.right, previewRect_.bottom);
  portraitController_->MovePreviewWindow();
  return true;
}

BOOL CVorquellDlg::OnDeviceChange(UINT /*event*/, DWORD_PTR /*data*/) {
  WatchCameras();
  return TRUE;
}

void CVorquellDlg::WatchCameras() {
  if (branding_.selectedCameraIds.size() < 4) return;
  const std::vector<CString>& ids = branding_.selectedCameraIds;
  CCaptureController counter(false, false);
  const int documents = counter.CountDevices(ids[3], ids[2]);
  if (documentController_ && (documents == 0 || documentController_->CameraLost())) {
    CloseCameras();
    documentRotation_ = portraitRotation_ = 0;
    ShowMessage(MSG_UNPLUGGED, MB_ICONSTOP);
    return;
  }
  if (!documentController_) {
    if (documents > 0) Reconnect();
    return;
  }
  const int portraits = counter.CountDevices(ids[1], ids[0]);
  if (portraitController_ && (portraits == 0 || portraitController_->CameraLost())) {
    LosePortraitCamera();
  } else if (!portraitController_ && portraits > 0) {
    // Back: opened stopped and hidden, as at start-up, until switched to.
    OpenPortraitCamera();
  }
}

void CVorquellDlg::LosePortraitCamera() {
  const bool shown = settings_.currentCamera == 1 || shownCamera_ == 1;
  CloseContinuousShooting();
  ReleaseController(portraitController_);
  portraitRotation_ = 0;
  if (shown) {
    CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_NONE);
    settings_.cutPageType = 0;
    settings_.currentCamera = 0;
    ShowDocumentCamera();
    shownCamera_ = 0;
    ShowCameraControls();
  }
  ShowMessage(MSG_UNPLUGGED, MB_ICONSTOP);
}

bool CVorquellDlg::CameraGone(CCaptureController* camera) {
  if (!camera || !camera->CameraLost()) return false;
  WatchCameras();
  return true;
}

void CVorquellDlg::Reconnect() {
  if (!OpenDocumentCamera()) {
    ReleaseController(documentController_);
    return;
  }
  settings_.currentCamera = 0;
  ExposureFromCamera();
  OpenPortraitCamera();
  if (!documentController_) return;  // lost again while the portrait camera opened
  GetDlgItem(IDC_HOST_FRAME)->ShowWindow(SW_HIDE);
  CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_NONE);
  // Lost while the portrait camera was shown, the automatic crop was off.
  GetDlgItem(IDC_CROP_AUTO)->EnableWindow(TRUE);
  if (!documentController_->Run()) ShowMessage(MSG_DEVICE_BUSY, MB_ICONSTOP);
  settings_.cutPageType = 0;
  ShowPreviews(true, false);
}
