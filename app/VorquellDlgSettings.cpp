// The settings command: runs the settings sheet on a copy of the live
// record and applies what changed to the cameras, the language, the
// orientation thread and the crop mode before the record is saved.
#include "app/IniFile.h"
#include "app/VorquellDlg.h"
#include "ui/SystemInfoDialog.h"

namespace {

constexpr float kAutoCropArea = 0.01f;
constexpr float kManualCropArea = 0.03f;

bool SizeChanged(int oldWidth, int oldHeight, int newWidth, int newHeight) {
  // Either value alone counts: a camera left at the old size while the
  // record holds the new one would stretch every capture unevenly.
  return oldWidth != newWidth || oldHeight != newHeight;
}

}  // namespace

bool CVorquellDlg::DocumentSizeChangeApplies(const CSysSettings& before, const CSysSettings& after) {
  return SizeChanged(before.docCamWidth, before.docCamHeight, after.docCamWidth, after.docCamHeight);
}

bool CVorquellDlg::PortraitSizeChangeApplies(const CSysSettings& before, const CSysSettings& after) {
  return SizeChanged(before.porCamWidth, before.porCamHeight, after.porCamWidth, after.porCamHeight);
}

bool CVorquellDlg::ReopenDocumentCamera(int subtype) {
  StopOrientationThread();
  CloseContinuousShooting();
  auto reopened = std::make_unique<CCaptureController>(true, false);
  ReleaseController(documentController_);
  documentController_ = std::move(reopened);
  CCaptureController& camera = *documentController_;
  camera.SetSubtype(subtype);
  // The source's own messages while it opens are a modal loop.
  if (!OpenCameraInPreview(camera, false) || documentController_.get() != &camera) return false;
  camera.ShowPreview(true);
  if (camera.SetResolution(settings_.docCamWidth, settings_.docCamHeight) != S_OK) return false;
  camera.SetFrameMargins(settings_.cutLeft, settings_.cutTop, settings_.cutRight, settings_.cutBottom);
  camera.ShowSelection(settings_.cutPageType == 2);
  if (settings_.cutPageType == 1) camera.SetAutoDetect(true, settings_.multiCutPage, kAutoCropArea);
  return true;
}

void CVorquellDlg::ClearCropFor(CCaptureController& camera, CSysSettings& updated) {
  CheckRadioButton(IDC_CROP_NONE, IDC_CROP_MANUAL, IDC_CROP_NONE);
  updated.cutPageType = 0;
  camera.ShowSelection(false);
  camera.SetAutoDetect(false, false, kManualCropArea);
}

void CVorquellDlg::OnSystemParameters() {
  if (!documentController_) return;
  CSystemInfoDialog sheet(nullptr);
  sheet.SetSettings(settings_);
  if (sheet.DoModal() != IDOK) return;
  // The window went on while the sheet was open (a camera lost or found,
  // the exposure followed): what it keeps there, and the sheet does not
  // edit, is taken as it is now, not as it was handed over.
  CSysSettings updated = sheet.GetSettings();
  updated.currentCamera = settings_.currentCamera;
  updated.cameraModel = settings_.cameraModel;
  updated.cutPageType = settings_.cutPageType;
  updated.exposure = settings_.exposure;
  updated.autoExposure = settings_.autoExposure;
  ApplySettings(updated);
}

bool CVorquellDlg::ApplySettings(CSysSettings updated) {
  const CSysSettings& old = settings_;
  const bool documentShown = old.currentCamera == 0;
  LoadMessageTexts(updated.language);
  // Ending early keeps the old record; the orientation thread, stopped for
  // a camera change, runs again as that record says.
  const auto keepOld = [this] {
    if (settings_.docCheck && documentController_) StartOrientationThread();
    return false;
  };

  bool documentChanged = false;
  // The selection lives in the controller; a reopen at the same size keeps it.
  RECT selection{};
  bool keepSelection = false;
  // Without the document camera (lost while the sheet was open) the record
  // is still taken: the camera opens with it when it comes back.
  if (documentShown && documentController_ && updated.fastMode != old.fastMode) {
    keepSelection = documentController_->GetSelection(&selection);
    if (!ReopenDocumentCamera(updated.fastMode == 1 ? 1 : 0)) return keepOld();
    documentChanged = true;
  }
  if (documentShown && documentController_ && DocumentSizeChangeApplies(old, updated)) {
    // The orientation thread reads frames while the graph is rebuilt.
    StopOrientationThread();
    ClearCropFor(*documentController_, updated);
    keepSelection = false;
    documentController_->SetResolution(updated.docCamWidth, updated.docCamHeight);
    documentChanged = true;
  }
  if (documentChanged && documentController_) {
    if (!documentController_->Run()) {
      ShowMessage(MSG_DOC_RESOLUTION, MB_ICONSTOP);
      return keepOld();
    }
    documentController_->SetRotation(documentRotation_);
    if (keepSelection) documentController_->SetSelection(selection, false);
  }
  if (documentController_ && (updated.cutLeft != old.cutLeft || updated.cutTop != old.cutTop ||
                              updated.cutRight != old.cutRight || updated.cutBottom != old.cutBottom))
    documentController_->SetFrameMargins(updated.cutLeft, updated.cutTop, updated.cutRight, updated.cutBottom);
  if (!documentShown && portraitController_ && PortraitSizeChangeApplies(old, updated)) {
    ClearCropFor(*portraitController_, updated);
    portraitController_->SetResolution(updated.porCamWidth, updated.porCamHeight);
    if (!portraitController_->Run()) {
      ShowMessage(MSG_POR_RESOLUTION, MB_ICONSTOP);
      return keepOld();
    }
    portraitController_->SetRotation(portraitRotation_);
  }
  const bool languageChanged = updated.language != old.language;
  if (languageChanged) ApplyLanguage(updated.language);

  settings_ = updated;
  // The sheet only names a newly chosen folder; captures need it to exist.
  if (!FolderExists(settings_.currentFolder)) CreateFolderTree(settings_.currentFolder);
  // The thread reads the document camera; without one it stays off.
  if (settings_.docCheck && documentController_) StartOrientationThread();
  else StopOrientationThread();
  if (settings_.cutPageType == 1 && documentController_)
    documentController_->SetAutoDetect(true, settings_.multiCutPage, kAutoCropArea);
  settings_.Save();
  return true;
}
