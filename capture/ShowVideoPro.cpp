#include "capture/ShowVideoPro.h"

#include <cmath>
#include <cstring>

#include <opencv2/core.hpp>

#include "capture/ObjectContainer.h"
#include "imaging/RectCut.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Window.h"

namespace {

constexpr DWORD kWorkerWakeMs = 1000;

// Holds the preview's lock for a scope.
class Locked {
 public:
  explicit Locked(CCriticalSection& lock) : lock_(lock) { lock_.Lock(); }
  ~Locked() { lock_.Unlock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  CCriticalSection& lock_;
};

int RoundToFour(int value) { return 4 * int(std::trunc(value / 4.0 + 0.5)); }

void CloseAndForget(HANDLE* handle) {
  if (*handle) CloseHandle(*handle);
  *handle = nullptr;
}

}  // namespace

namespace vqcapture {
cv::RotatedRect TopDownRect(const cv::RotatedRect& bottomUp, int rows) {
  return cv::RotatedRect(cv::Point2f(bottomUp.center.x, float(rows - 1) - bottomUp.center.y), bottomUp.size,
                         -bottomUp.angle);
}
}  // namespace vqcapture

CShowVideoPro::CShowVideoPro() = default;

CShowVideoPro::~CShowVideoPro() = default;

// ---- operations

void CShowVideoPro::ApplyFrameMargins(RECT* frame) {
  if (!frame) return;
  const int left = marginLeft_, top = marginTop_, right = marginRight_, bottom = marginBottom_;
  if (left < 0 || top < 0 || right < 0 || bottom < 0) return;
  const RECT cropped{frame->left + left, frame->top + top, frame->right - right, frame->bottom - bottom};
  if (cropped.right > cropped.left && cropped.bottom > cropped.top) *frame = cropped;
}

bool CShowVideoPro::SetFrameMargins(int left, int top, int right, int bottom) {
  RECT margins{RoundToFour(left), RoundToFour(top), RoundToFour(right), RoundToFour(bottom)};
  SendMessageW(previewWindow_, WM_PREVIEW_SETTING, 0, reinterpret_cast<LPARAM>(&margins));
  return true;
}

bool CShowVideoPro::ApplyRotation(int angle) {
  const int turn = vqcapture::NormaliseQuarterTurn(angle);
  if (turn < 0) return false;
  if (turn != rotation_) {
    SendMessageW(previewWindow_, WM_PREVIEW_SETTING, 1, turn);
    rotation_ = turn;
  }
  return true;
}

void CShowVideoPro::ApplyAutoDetect(bool on, bool multipleDocuments, float parameter) {
  if (on) {
    detectionParameter_ = parameter;
    multipleDocuments_ = multipleDocuments;
    autoDetect_ = true;
    RemoveCanvasSelection();
  } else {
    autoDetect_ = false;
    Locked lock(lock_);
    documentRects_.clear();
  }
}

void CShowVideoPro::RemoveCanvasSelection() {
  SendMessageW(previewWindow_, WM_PREVIEW_REMOVE_OBJECT, 0, 0);
}

void CShowVideoPro::ShowSelection(bool show) {
  if (show) {
    autoDetect_ = false;
    SendMessageW(previewWindow_, WM_PREVIEW_ADD_OBJECT, 0, 0);
  } else {
    SendMessageW(previewWindow_, WM_PREVIEW_REMOVE_OBJECT, 0, 0);
  }
}

bool CShowVideoPro::GetSelection(RECT* out) {
  return SendMessageW(previewWindow_, WM_PREVIEW_QUERY_OBJECT, 0, reinterpret_cast<LPARAM>(out)) == 0;
}

bool CShowVideoPro::SetSelection(int left, int top, int right, int bottom, bool constrained) {
  PreviewSelectionRecord record{left < 0 ? 0 : left, top < 0 ? 0 : top, right, bottom, constrained};
  return SendMessageW(previewWindow_, WM_PREVIEW_ADD_OBJECT, 0, reinterpret_cast<LPARAM>(&record)) == 0;
}

bool CShowVideoPro::Show(bool show) {
  ShowWindow(previewWindow_, show ? SW_SHOW : SW_HIDE);
  return true;
}

BOOL CShowVideoPro::Move(int left, int top, int right, int bottom) {
  return MoveWindow(previewWindow_, left, top, right - left, bottom - top, TRUE);
}

cv::Mat CShowVideoPro::GetFrame() {
  cv::Mat frame;
  SendMessageW(previewWindow_, WM_PREVIEW_COPY_OUT, 2, reinterpret_cast<LPARAM>(&frame));
  return frame;
}

cv::Mat CShowVideoPro::GetFrame(int* turn) {
  Locked lock(lock_);
  *turn = lastFrameTurn_;
  return lastFrame_.clone();
}

std::vector<cv::Mat> CShowVideoPro::GetDocumentImages() {
  std::vector<cv::Mat> images;
  SendMessageW(previewWindow_, WM_PREVIEW_COPY_OUT, 3, reinterpret_cast<LPARAM>(&images));
  return images;
}

bool CShowVideoPro::AddSubImageBox(RECT box) {
  return SendMessageW(previewWindow_, WM_PREVIEW_ADD_OBJECT, 1, reinterpret_cast<LPARAM>(&box)) == 0;
}

bool CShowVideoPro::GetSubImageBoxRect(RECT* out) {
  return SendMessageW(previewWindow_, WM_PREVIEW_QUERY_OBJECT, 1, reinterpret_cast<LPARAM>(out)) == 0;
}

void CShowVideoPro::RemoveSubImageBox() { SendMessageW(previewWindow_, WM_PREVIEW_REMOVE_OBJECT, 1, 0); }

bool CShowVideoPro::AddWaterMark(WaterMarkParams params) {
  return SendMessageW(previewWindow_, WM_PREVIEW_ADD_OBJECT, 2, reinterpret_cast<LPARAM>(&params)) == 0;
}

bool CShowVideoPro::GetWaterMark(WaterMarkParams* out) {
  return SendMessageW(previewWindow_, WM_PREVIEW_QUERY_OBJECT, 2, reinterpret_cast<LPARAM>(out)) == 0;
}

void CShowVideoPro::RemoveWaterMark() { SendMessageW(previewWindow_, WM_PREVIEW_REMOVE_OBJECT, 2, 0); }

void CShowVideoPro::GetImage(CImage* picture) {
  if (!picture) return;
  if (!picture->IsNull()) picture->Destroy();
  SendMessageW(previewWindow_, WM_PREVIEW_COPY_OUT, 4, reinterpret_cast<LPARAM>(picture));
}

void CShowVideoPro::SetMainGrabData(IGrabData* grabData) {
  Locked lock(lock_);
  mainGrabData_ = grabData;
}

void CShowVideoPro::SetSecondaryGrabData(IGrabData* grabData) {
  Locked lock(lock_);
  secondaryGrabData_ = grabData;
}

std::vector<cv::RotatedRect> CShowVideoPro::DocumentRects() {
  Locked lock(lock_);
  return documentRects_;
}

// ---- worker

void CShowVideoPro::BeginCreate(HWND parent, int left, int top, int right, int bottom) {
  parentWindow_ = parent;
  rectLeft_ = left;
  rectTop_ = top;
  rectRight_ = right;
  rectBottom_ = bottom;
  CreateEvents();
}

void CShowVideoPro::CreateEvents() {
  CloseEvents();
  stopEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  frameEvent_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

void CShowVideoPro::CloseEvents() {
  CloseAndForget(&stopEvent_);
  CloseAndForget(&frameEvent_);
}

bool CShowVideoPro::StartWorker() {
  stop_ = false;
  workerThread_ = CreateThread(nullptr, 0, &CShowVideoPro::WorkerThreadProc, this, 0, nullptr);
  return workerThread_ != nullptr;
}

bool CShowVideoPro::StopWorker(DWORD patienceMs) {
  if (!workerThread_) return true;
  stop_ = true;
  if (stopEvent_) SetEvent(stopEvent_);
  if (WaitServingSentMessages(workerThread_, patienceMs) != WAIT_OBJECT_0) return false;
  CloseAndForget(&workerThread_);
  return true;
}

DWORD WINAPI CShowVideoPro::WorkerThreadProc(LPVOID self) {
  static_cast<CShowVideoPro*>(self)->WorkerThread();
  return 0;
}

void CShowVideoPro::WorkerThread() {
  const HANDLE events[2] = {stopEvent_, frameEvent_};
  while (!stop_) {
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, kWorkerWakeMs);
    if (woke == WAIT_OBJECT_0) return;
    if (woke != WAIT_OBJECT_0 + 1) continue;
    // Waits until the window has shown the frame, so at most one frame is on its way.
    if (ProcessFrame() && !stop_) SendMessageW(previewWindow_, WM_PREVIEW_FRAME_READY, 0, 1);
  }
}

bool CShowVideoPro::ProcessFrame() {
  {
    // The raw frame stays as it came: a step without a fresh frame crops the same picture again.
    Locked lock(lock_);
    int width = 0, height = 0;
    if (!mainFrame_.GetSize(&width, &height)) return false;
    RECT frame{0, 0, width, height};
    ApplyFrameMargins(&frame);
    const int turn = rotation_;
    bool turned;
    if (frame.left != 0 || frame.top != 0 || frame.right != width || frame.bottom != height) {
      cv::Mat part = mainFrame_.GetMatRect(&frame), bottomUp;
      cv::flip(part, bottomUp, 0);
      turned = displayFrame_.SetFrameRotated(bottomUp.data, bottomUp.cols, bottomUp.rows, turn);
    } else {
      turned = displayFrame_.SetFrameRotated(mainFrame_.GetBuffer(), width, height, turn);
    }
    if (!turned) return false;
    lastFrame_ = displayFrame_.GetMat();
    lastFrameTurn_ = turn;
  }
  std::vector<cv::RotatedRect> rects;
  if (autoDetect_) {
    if (multipleDocuments_)
      rects = displayFrame_.FindAndDrawDocuments(detectionParameter_);
    else
      rects.push_back(displayFrame_.FindAndDrawDocument(true, cv::RotatedRect(), detectionParameter_));
  }
  Locked lock(lock_);
  documentRects_ = std::move(rects);
  return true;
}

// ---- handlers (the thread that owns the preview window)

bool CShowVideoPro::HandlePreviewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  *result = 0;
  switch (message) {
    case WM_VIDEO_FRAME:
      TakeMainFrame();
      return true;
    case WM_VIDEO_SUB_FRAME:
      TakeSecondaryFrame();
      return true;
    case WM_PREVIEW_FRAME_READY:
      ShowProcessedFrame();
      return true;
    case WM_PREVIEW_SETTING:
      ApplySetting(wParam, lParam);
      return true;
    case WM_PREVIEW_ADD_OBJECT:
      *result = AddObject(wParam, lParam);
      return true;
    case WM_PREVIEW_REMOVE_OBJECT:
      if (CObjectContainer* canvas = Canvas()) {
        if (wParam == 0) canvas->RemoveSelection();
        if (wParam == 1) canvas->RemoveSubImageBox();
        if (wParam == 2) canvas->RemoveWaterMark();
      }
      return true;
    case WM_PREVIEW_QUERY_OBJECT:
      *result = QueryObject(wParam, lParam);
      return true;
    case WM_PREVIEW_COPY_OUT:
      *result = CopyOut(wParam, lParam);
      return true;
    default:
      return false;
  }
}

void CShowVideoPro::TakeMainFrame() {
  Locked lock(lock_);
  if (!mainGrabData_) return;
  mainGrabData_->GetFrame(&mainFrame_);
  SetEvent(frameEvent_);
}

void CShowVideoPro::TakeSecondaryFrame() {
  Locked lock(lock_);
  if (!secondaryGrabData_) return;
  CDPrgb24 frame;
  int width = 0, height = 0;
  if (!secondaryGrabData_->GetFrame(&frame) || !frame.GetSize(&width, &height)) return;
  if (CObjectContainer* canvas = Canvas()) canvas->SetSubImage(frame.GetBuffer(), width, height);
}

void CShowVideoPro::ShowProcessedFrame() {
  CObjectContainer* canvas = Canvas();
  if (canvas) canvas->SetImage(displayFrame_.GetMat());
  bool turned = false;
  double angle = 0.0;
  {
    Locked lock(lock_);
    if (autoDetect_ && !documentRects_.empty()) {
      turned = true;
      angle = documentRects_.front().angle * (-CV_PI / 180.0);
    }
  }
  if (canvas && canvas->GetSubImageBox()) canvas->GetSubImageBox()->SetTurn(turned, angle);
}

void CShowVideoPro::ApplySetting(WPARAM kind, LPARAM value) {
  if (kind == 0) {
    const RECT* margins = reinterpret_cast<const RECT*>(value);
    if (!margins) return;
    marginLeft_ = margins->left;
    marginTop_ = margins->top;
    marginRight_ = margins->right;
    marginBottom_ = margins->bottom;
  } else if (kind == 1) {
    CObjectContainer* canvas = Canvas();
    if (!canvas) return;
    const int angle = int(value), d = rotation_ - angle;
    if (d == 90 || d == -270)
      canvas->Rotate270();
    else if (d == -90 || d == 270)
      canvas->Rotate90();
    else if (d == 180 || d == -180)
      canvas->Rotate180();
    rotation_ = angle;
  }
}

LRESULT CShowVideoPro::AddObject(WPARAM kind, LPARAM object) {
  CObjectContainer* canvas = Canvas();
  if (!canvas) return 1;
  switch (kind) {
    case 0:
      if (!object) {
        canvas->AddSelection();
        return 0;
      } else {
        const auto* record = reinterpret_cast<const PreviewSelectionRecord*>(object);
        return canvas->SetSelection(RECT{record->left, record->top, record->right, record->bottom},
                                    record->constrained)
                   ? 0
                   : 1;
      }
    case 1:
      return object && canvas->AddSubImageBox(*reinterpret_cast<const RECT*>(object)) ? 0 : 1;
    case 2:
      return object && canvas->AddWaterMark(*reinterpret_cast<const WaterMarkParams*>(object)) ? 0 : 1;
    default:
      return 1;
  }
}

LRESULT CShowVideoPro::QueryObject(WPARAM kind, LPARAM out) {
  CObjectContainer* canvas = Canvas();
  if (!canvas || !out) return 1;
  return canvas->QueryObject(int(kind), reinterpret_cast<void*>(out)) ? 0 : 1;
}

LRESULT CShowVideoPro::CopyOut(WPARAM kind, LPARAM target) {
  if (!target) return 1;
  switch (kind) {
    case 2: {
      Locked lock(lock_);
      *reinterpret_cast<cv::Mat*>(target) = lastFrame_.clone();
      return 0;
    }
    case 3: {
      CImage picture;
      std::vector<cv::RotatedRect> rects;
      if (!PictureOfLastFrame(&picture, &rects)) return 1;
      cv::Mat m(picture.GetHeight(), picture.GetWidth(), CV_8UC3);
      for (int r = 0; r < m.rows; ++r)
        std::memcpy(m.ptr(r), picture.GetPixelAddress(0, r), size_t(m.cols) * 3);
      AppendDocuments(m, rects, reinterpret_cast<std::vector<cv::Mat>*>(target));
      return 0;
    }
    case 4:
      return PictureOfLastFrame(reinterpret_cast<CImage*>(target), nullptr) ? 0 : 1;
    default:
      return 1;
  }
}

bool CShowVideoPro::PictureOfLastFrame(CImage* picture, std::vector<cv::RotatedRect>* rects) {
  {
    Locked lock(lock_);
    if (lastFrame_.empty()) return false;
    if (rects) *rects = documentRects_;
    if (!picture->IsNull()) picture->Destroy();
    if (!picture->Create(lastFrame_.cols, lastFrame_.rows, 24)) return false;
    for (int r = 0; r < lastFrame_.rows; ++r)
      std::memcpy(picture->GetPixelAddress(0, r), lastFrame_.ptr(r), size_t(lastFrame_.cols) * 3);
  }
  RenderOverlays(picture);
  return true;
}

void CShowVideoPro::AppendDocuments(const cv::Mat& picture, const std::vector<cv::RotatedRect>& rects,
                                    std::vector<cv::Mat>* out) {
  if (autoDetect_ && !rects.empty()) {
    for (const cv::RotatedRect& rect : rects) {
      cv::Mat cut = CutRotatedRect(picture, vqcapture::TopDownRect(rect, picture.rows));
      if (!cut.empty()) out->push_back(cut);
    }
    return;
  }
  RECT selection{};
  if (GetSelection(&selection)) {
    const cv::Rect inside = cv::Rect(cv::Point(selection.left, selection.top),
                                     cv::Point(selection.right, selection.bottom)) &
                            cv::Rect(0, 0, picture.cols, picture.rows);
    // A selection with nothing inside the frame gives the whole frame, as no selection would.
    if (inside.width > 0 && inside.height > 0 && selection.right > selection.left &&
        selection.bottom > selection.top) {
      out->push_back(picture(inside));
      return;
    }
  }
  out->push_back(picture);
}
