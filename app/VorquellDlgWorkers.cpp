// The commands that run a worker dialog: continuous shooting, capture for
// text recognition and video recording, and the camera opened anew after a
// recording. Each of them counts as a capture: capture requests arriving
// while one runs (through its dialog's message loop) are dropped.
#include <memory>

#include <opencv2/imgproc.hpp>

#include "app/BrandingData.h"
#include "app/ImageOutput.h"
#include "app/SettingsRanges.h"
#include "app/VorquellDlg.h"
#include "platform/win/MessageQueue.h"
#include "ui/ContinuousShootDlg.h"
#include "ui/OCRProgressDlg.h"
#include "ui/VideoToFileDlg.h"

namespace {

constexpr float kAutoCropArea = 0.01f;
constexpr float kPortraitCropArea = 0.03f;
constexpr int kStripDocumentMode = 1;

// The thread's quit is set (a signal, Exit, a lost display), left for the loops outside.
bool QuitPending() { return vqplatform::QuitPosted(); }

}  // namespace

void CVorquellDlg::OnContinuousShooting() {
  UpdateData(TRUE);
  if (continuousDlg_) return;
  auto dialog = std::make_unique<CContinuousShootDlg>(this, continuousInterval_, settings_.language);
  if (settings_.currentCamera == 0) {
    dialog->captureController = documentController_.get();
    dialog->cameraIndex = 0;
  } else {
    dialog->captureController = portraitController_.get();
    dialog->cameraIndex = 1;
  }
  if (!dialog->Create(CContinuousShootDlg::IDD, nullptr)) return;
  dialog->ShowWindow(SW_SHOW);
  // At the bottom of the preview, centred.
  CRect preview, own;
  CWnd* area = GetDlgItem(IDC_PREVIEW_AREA);
  area->GetClientRect(&preview);
  area->ClientToScreen(&preview);
  dialog->GetWindowRect(&own);
  const int left = preview.left + (preview.Width() - own.Width()) / 2;
  dialog->MoveWindow(left, preview.bottom - own.Height(), own.Width(), own.Height(), TRUE);
  continuousDlg_ = std::move(dialog);
}

LRESULT CVorquellDlg::OnContinuousShot(WPARAM wParam, LPARAM) {
  UpdateData(TRUE);
  UpdateSettingsFromUi();
  if (!continuousDlg_) return 0;
  if (wParam == 0) {
    if (!CaptureDropped("continuous shot")) OnCapture();
  } else if (wParam == 1) {
    CloseContinuousShooting();
    UpdateData(FALSE);
  }
  return 0;
}

void CVorquellDlg::CaptureForOcr() {
  if (!documentController_ || settings_.currentCamera != 0 || CaptureDropped("recognition")) return;
  CaptureScope busy(captureBusy_);
  UpdateData(TRUE);
  UpdateSettingsFromUi();
  PlayShutterSound();
  CImageOutput output(settings_.language);
  output.SetCameraIds(branding_.selectedCameraIds);
  CString name;
  settings_.MakeFileName(name);
  // The free name's dialog is a modal loop: the camera may have gone.
  if (name.IsEmpty() || !documentController_ || settings_.currentCamera != 0) return;
  if (CameraGone(documentController_.get())) return;
  const cv::Mat frame = documentController_->GetFrame();
  if (frame.empty()) return;
  UpdateData(TRUE);

  // Recognition wants the plain page: no shadow removal, straightening,
  // marks, several pages or other colours.
  RECT selection{};
  const bool selected = documentController_->GetSelection(&selection);
  const cv::Mat page = output.PageForRecognition(frame, settings_, selected ? &selection : nullptr);
  if (page.empty()) return;

  name += L".doc";
  const bool english = settings_.engOcr != 0;
  auto dialog = std::make_unique<COCRProgressDlg>(
      this, settings_.language, english ? COCRProgressDlg::kEnglishEngine : COCRProgressDlg::kOwnEngine);
  if (english) {
    cv::Mat grey;
    cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
    dialog->SetImage(grey);
  } else {
    dialog->SetImage(page);
    dialog->SetSettings(settings_);
  }
  dialog->SetOutputPath(name);
  dialog->DoModal();
  if (dialog->WorkerRunning()) {
    // Its loop was ended from outside, as a cancel: the worker stops. At
    // the quit it is waited for once the settings are saved.
    dialog->RequestStop();
    if (QuitPending()) {
      recognitionLeft_ = std::move(dialog);
      return;
    }
    dialog->JoinThreads();
  }
  // A recognition that wrote nothing said so in its dialog and takes no number.
  if (dialog->GetState() != COCRProgressDlg::kFinished) return;
  AddFilesToStrip(dialog->GetOutputPath(), StripItems(), kStripDocumentMode, nullptr);
  settings_.imageIndex = imageCounter_ = NextImageIndex(imageCounter_);
  UpdateData(FALSE);
}

void CVorquellDlg::RecordVideo() {
  if (!documentController_ || CaptureDropped("recording")) return;
  CaptureScope busy(captureBusy_);
  UpdateData(TRUE);
  UpdateSettingsFromUi();
  CCVideoToFile dialog(this, settings_.language);
  CString name;
  settings_.MakeFileName(name);
  // The free name's dialog is a modal loop: the camera may have gone.
  if (name.IsEmpty() || !documentController_) return;
  name += L".asf";
  dialog.SetOutputPath(name);
  CRect preview = previewRect_;
  ClientToScreen(&preview);
  dialog.placement = preview;

  const bool portrait = settings_.currentCamera == 1;
  CCaptureController* camera = portrait ? portraitController_.get() : documentController_.get();
  if (camera) {
    dialog.captureController = camera;
    // Told, through recorder_, when the camera goes while it records.
    recorder_ = &dialog;
    dialog.DoModal();
    recorder_ = nullptr;
    // A camera lost meanwhile was opened anew when it came back, if it did.
    if (!dialog.CameraWasLost() && !ReopenAfterRecording(portrait)) return;
  }
  const bool autoCrop = IsDlgButtonChecked(IDC_CROP_AUTO) == BST_CHECKED;
  if (documentController_) {
    documentController_->SetRotation(documentRotation_);
    if (autoCrop) {
      settings_.cutPageType = 1;
      documentController_->SetAutoDetect(true, settings_.multiCutPage, kAutoCropArea);
    }
  }
  if (portraitController_) {
    portraitController_->SetRotation(portraitRotation_);
    if (autoCrop) {
      settings_.cutPageType = 1;
      portraitController_->SetAutoDetect(true, false, kPortraitCropArea);
    }
  }
  settings_.imageIndex = imageCounter_ = NextImageIndex(imageCounter_);
  UpdateData(FALSE);
}

bool CVorquellDlg::ReopenAfterRecording(bool portrait) {
  std::unique_ptr<CCaptureController>& camera = portrait ? portraitController_ : documentController_;
  const CString vendor = portrait ? branding_.selectedCameraIds[1] : docVendorId_;
  const CString product = portrait ? branding_.selectedCameraIds[0] : docProductId_;
  if (!camera || (!portrait && camera->CountDevices(vendor, product) < 1)) return true;
  // Opening anew replaces the preview the threads read frames from.
  StopOrientationThread();
  CloseContinuousShooting();
  RECT selection{};
  const bool hadSelection = camera->GetSelection(&selection) && selection.left < selection.right;
  if (portrait) camera->SetResolution(settings_.porCamWidth, settings_.porCamHeight);
  else camera->SetResolution(settings_.docCamWidth, settings_.docCamHeight);
  // The source's own messages while it opens are a modal loop.
  if (!OpenCameraInPreview(*camera, portrait) || !camera) {
    ReleaseController(camera);
    return true;
  }
  if (!portrait) IdentifyCameraModel(vendor, product);
  if (!camera->Run()) {
    ShowMessage(portrait ? MSG_PORTRAIT_BUSY : MSG_DEVICE_BUSY, MB_ICONSTOP);
    return false;
  }
  camera->ShowPreview(true);
  // The new preview starts without what the user set on the old one.
  if (!portrait) camera->SetFrameMargins(settings_.cutLeft, settings_.cutTop, settings_.cutRight, settings_.cutBottom);
  if (IsDlgButtonChecked(IDC_CROP_MANUAL) == BST_CHECKED) {
    camera->ShowSelection(true);
    if (hadSelection) camera->SetSelection(selection, false);
  }
  if (settings_.docCheck && documentController_) StartOrientationThread();
  return true;
}
