#include "capture/CaptureController.h"

#include <new>

#include "capture/PushSourceVideo.h"
#include "capture/RecordingGraph.h"
#include "capture/ShowVideoImpl.h"
#include "capture/ShowVideoThread.h"
#include "capture/TcpRemoteData.h"
#include "capture/USBCamera.h"

namespace {

// Device events read at one look; more are left for the next.
constexpr int kMaxEventsRead = 64;

}  // namespace

CCaptureController::CCaptureController(bool ownWindowThread, bool remoteSource)
    : ownWindowThread_(ownWindowThread), remoteSource_(remoteSource) {}

CCaptureController::~CCaptureController() {
  StopRecording();
  CloseSecondaryCamera();
  if (mainSource_) {
    mainSource_->Stop();
    DetachMain();
    delete mainSource_;
    mainSource_ = nullptr;
  }
  delete preview_;
  preview_ = nullptr;
}

CVideoBaseClass* CCaptureController::CreateSource() {
  if (remoteSource_) return new (std::nothrow) CTcpRemoteData;
  return new (std::nothrow) CUSBCamra;
}

CVideoBaseClass* CCaptureController::EnsureMainSource() {
  if (!mainSource_) mainSource_ = CreateSource();
  return mainSource_;
}

void CCaptureController::DetachMain() {
  mainSource_->SetNotifyWindow(nullptr, 0);
  if (preview_) preview_->SetMainGrabData(nullptr);
}

int CCaptureController::CountDevices(const wchar_t* vid, const wchar_t* pid) {
  CVideoBaseClass* source = CreateSource();
  if (!source) return 0;
  const int count = source->CountDevices(vid, pid);
  delete source;
  return count;
}

HRESULT CCaptureController::OpenCamera(const wchar_t* vid, const wchar_t* pid, const wchar_t* name, CWnd* parent,
                                       int left, int top, int right, int bottom, bool stillPin, int index) {
  StopRecording();
  HWND parentWindow = parent ? parent->GetSafeHwnd() : nullptr;
  if (!EnsureMainSource()) return E_OUTOFMEMORY;
  if (preview_) {
    mainSource_->Stop();
    preview_->SetMainGrabData(nullptr);
  }
  const HRESULT opened = mainSource_->Open(vid, pid, name, parentWindow, stillPin, index);
  if (FAILED(opened)) {
    delete mainSource_;
    mainSource_ = nullptr;
    return opened;
  }
  mainSource_->SetNotifyWindow(nullptr, 0);
  if (secondarySource_) secondarySource_->SetNotifyWindow(nullptr, 0);
  SetPreviewRect(left, top, right, bottom);
  parentWindow_ = parentWindow;

  delete preview_;
  preview_ = nullptr;
  CShowVideoPro* preview = ownWindowThread_ ? static_cast<CShowVideoPro*>(new (std::nothrow) CShowVideoThread)
                                            : static_cast<CShowVideoPro*>(new (std::nothrow) CShowVideoImpl);
  if (!preview) return E_OUTOFMEMORY;
  preview_ = preview;
  preview_->Create(parentWindow, left, top, right, bottom);
  preview_->SetMainGrabData(mainSource_->GetGrabData());
  mainSource_->SetNotifyWindow(preview_->GetHwnd(), WM_VIDEO_FRAME);
  if (secondarySource_) secondarySource_->SetNotifyWindow(preview_->GetHwnd(), WM_VIDEO_SUB_FRAME);
  return opened;
}

bool CCaptureController::Run() {
  if (!mainSource_) return false;
  if (secondarySource_ && !secondarySource_->Run()) CloseSecondaryCamera();
  return mainSource_->Run();
}

bool CCaptureController::Stop() {
  if (!mainSource_) return false;
  if (secondarySource_) secondarySource_->Stop();
  return mainSource_->Stop();
}

HRESULT CCaptureController::SetResolution(int width, int height) {
  if (!EnsureMainSource()) return E_OUTOFMEMORY;
  // The source may replace its grab filter while it rebuilds.
  if (preview_) preview_->SetMainGrabData(nullptr);
  const HRESULT result = mainSource_->SetResolution(width, height);
  if (preview_) preview_->SetMainGrabData(mainSource_->GetGrabData());
  return result;
}

void CCaptureController::GetResolution(int* width, int* height) {
  if (EnsureMainSource()) mainSource_->GetResolution(width, height);
}

void CCaptureController::SetSubtype(int subtype) {
  if (EnsureMainSource()) mainSource_->SetSubtype(subtype);
}

bool CCaptureController::GetSubtypes(std::vector<int>& out) {
  return EnsureMainSource() && mainSource_->GetSubtypes(out);
}

void CCaptureController::CloseSecondaryCamera() {
  if (preview_) preview_->RemoveSubImageBox();
  if (!secondarySource_) return;
  secondarySource_->Stop();
  secondarySource_->SetNotifyWindow(nullptr, 0);
  if (preview_) preview_->SetSecondaryGrabData(nullptr);
  delete secondarySource_;
  secondarySource_ = nullptr;
}

HRESULT CCaptureController::OpenSecondaryCamera(const wchar_t* vid, const wchar_t* pid, RECT box) {
  if (!preview_ || !mainSource_) return E_FAIL;
  CloseSecondaryCamera();
  CVideoBaseClass* source = CreateSource();
  if (!source) return E_FAIL;
  const int width = box.right > box.left ? box.right - box.left : box.left - box.right;
  const int height = box.bottom > box.top ? box.bottom - box.top : box.top - box.bottom;
  source->SetResolution(width, height);
  const HRESULT opened = source->Open(vid, pid, nullptr, nullptr, false, 0);
  if (FAILED(opened) || (mainSource_->GetState() == VIDEO_STATE_RUNNING && !source->Run())) {
    delete source;
    return E_FAIL;
  }
  secondarySource_ = source;
  secondarySource_->SetNotifyWindow(preview_->GetHwnd(), WM_VIDEO_SUB_FRAME);
  preview_->AddSubImageBox(box);
  preview_->SetSecondaryGrabData(secondarySource_->GetGrabData());
  return opened;
}

cv::Mat CCaptureController::GetSecondaryFrame() {
  if (!secondarySource_) return cv::Mat();
  IGrabData* grabData = secondarySource_->GetGrabData();
  return grabData ? grabData->GetMat() : cv::Mat();
}

bool CCaptureController::GetWaterMark(WaterMarkParams* out) { return preview_ && preview_->GetWaterMark(out); }

bool CCaptureController::CameraLost() {
  // Bounded: a source that keeps reporting cannot hold the caller here.
  for (int i = 0; mainSource_ && !cameraLost_ && i < kMaxEventsRead; ++i) {
    int status = VIDEO_EVENT_NONE;
    long eventCode = 0;
    if (!mainSource_->PollEvent(&status, &eventCode) || eventCode == 0) break;
    // A stream the camera broke off (a transfer error) gives nothing more
    // until the camera is plugged in again, as after an unplug.
    cameraLost_ = status == VIDEO_EVENT_DEVICE_LOST || status == VIDEO_EVENT_ABORTED;
  }
  return cameraLost_;
}

int CCaptureController::GetFormatCount() { return EnsureMainSource() ? mainSource_->GetFormatCount() : 0; }

int CCaptureController::GetFormatSize(int i, int* width, int* height) {
  return EnsureMainSource() ? mainSource_->GetFormatSize(i, width, height) : 0;
}

HRESULT CCaptureController::SetCameraControl(long property, long value) {
  return mainSource_ ? mainSource_->SetCameraControl(property, value) : E_POINTER;
}

HRESULT CCaptureController::GetCameraControl(long property, long* value, long* flags) {
  return mainSource_ ? mainSource_->GetCameraControl(property, value, flags) : E_POINTER;
}

HRESULT CCaptureController::GetCameraControlRange(long property, long* min, long* max, long* step, long* dflt,
                                                  long* flags) {
  return mainSource_ ? mainSource_->GetCameraControlRange(property, min, max, step, dflt, flags) : E_POINTER;
}

void CCaptureController::ShowStreamConfigPages(HWND owner) {
  if (mainSource_) mainSource_->ShowStreamConfigPages(owner);
}

void CCaptureController::ShowFilterPages(HWND owner) {
  if (mainSource_) mainSource_->ShowFilterPages(owner);
}

void CCaptureController::SetPreviewRect(int left, int top, int right, int bottom) {
  previewLeft_ = left;
  previewTop_ = top;
  previewRight_ = right;
  previewBottom_ = bottom;
}

void CCaptureController::MovePreviewWindow() {
  if (preview_)
    MoveWindow(preview_->GetHwnd(), previewLeft_, previewTop_, previewRight_ - previewLeft_,
               previewBottom_ - previewTop_, TRUE);
}

bool CCaptureController::ShowPreview(bool show) { return preview_ && preview_->Show(show); }

void CCaptureController::SetRotation(int angle) {
  const int turn = vqcapture::NormaliseQuarterTurn(angle);
  if (turn < 0) return;
  rotation_ = turn;
  if (preview_) preview_->SetRotation(turn);
}

bool CCaptureController::SetFrameMargins(int left, int top, int right, int bottom) {
  if (left < 0 || top < 0 || right < 0 || bottom < 0 || !preview_) return false;
  preview_->SetFrameMargins(left, top, right, bottom);
  return true;
}

void CCaptureController::SetAutoDetect(bool on, bool multiDocument, float minAreaRatio) {
  if (preview_) {
    if (on) {
      preview_->SetAutoDetect(true, multiDocument, minAreaRatio);
      preview_->ShowSelection(false);
    } else {
      preview_->SetAutoDetect(false, false, minAreaRatio);
    }
  }
  autoDetect_ = on;
}

void CCaptureController::ShowSelection(bool show) {
  if (!preview_) return;
  if (show) {
    autoDetect_ = false;
    preview_->SetAutoDetect(false, false, CShowVideoPro::kDefaultDetectionParameter);
    preview_->ShowSelection(true);
  } else {
    preview_->ShowSelection(false);
  }
}

bool CCaptureController::GetSelection(RECT* out) {
  if (!out) return false;
  *out = RECT{0, 0, 0, 0};
  return preview_ && preview_->GetSelection(out);
}

bool CCaptureController::SetSelection(RECT rect, bool constrained) {
  return preview_ && preview_->SetSelection(rect.left, rect.top, rect.right, rect.bottom, constrained);
}

cv::Mat CCaptureController::GetFrame() { return preview_ ? preview_->GetFrame() : cv::Mat(); }

cv::Mat CCaptureController::GetFrame(int* turn) {
  *turn = 0;
  return preview_ ? preview_->GetFrame(turn) : cv::Mat();
}

std::vector<cv::Mat> CCaptureController::GetDocumentImages() {
  return preview_ ? preview_->GetDocumentImages() : std::vector<cv::Mat>();
}

HRESULT CCaptureController::StartRecording(const wchar_t* path, int width, int height, int fps, int bitRate) {
  if (!preview_) return E_POINTER;
  StopRecording();
  recording_ = new (std::nothrow) RecordingGraph{};
  if (!recording_) return E_OUTOFMEMORY;
  CoInitialize(nullptr);  // once per recording, undone when it ends
  // The graph stays attached whatever the build gives, until StopRecording.
  return BuildRecordingGraph(recording_, preview_, path, width, height, fps, bitRate);
}

HRESULT CCaptureController::StopRecording(std::wstring* written) {
  if (!recording_) return E_POINTER;
  const HRESULT stopped = StopRecordingGraph(recording_, written);
  CoUninitialize();
  delete recording_;
  recording_ = nullptr;
  return stopped;
}

int CCaptureController::RecordedFrames() const {
  if (!recording_ || !recording_->source) return 0;
  const int filled = static_cast<CPushSourceVideo*>(recording_->source)->Pin()->FramesFilled();
  return filled > 0 ? filled - 1 : 0;
}
