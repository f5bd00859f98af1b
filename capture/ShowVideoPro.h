#pragma once
// The live preview shared by both preview kinds: a worker thread turns each
// new camera frame into the picture shown (cropped by the frame margins,
// turned, documents outlined) and the preview window's thread shows it on
// the canvas. Copies of the frame, of the documents and of the picture are
// made on request, through messages handled by the window's thread.
#include <atomic>
#include <vector>

#include <opencv2/core.hpp>

#include "capture/FrameHolder.h"
#include "capture/GrabData.h"
#include "capture/PreviewMessages.h"
#include "capture/WaterMarkParams.h"
#include "platform/mfc/CImage.h"
#include "platform/mfc/SyncObjects.h"
#include "platform/win/WinTypes.h"

class CObjectContainer;

class IShowHWnd {
 public:
  virtual HWND GetHwnd() = 0;

 protected:
  ~IShowHWnd() = default;
};

class CShowVideoPro : public IShowHWnd {
 public:
  static constexpr float kDefaultDetectionParameter = 0.03f;

  HWND GetHwnd() override { return previewWindow_; }
  virtual ~CShowVideoPro();
  CShowVideoPro(const CShowVideoPro&) = delete;
  CShowVideoPro& operator=(const CShowVideoPro&) = delete;

  virtual bool Create(HWND parent, int left, int top, int right, int bottom) = 0;
  // Crops a top-down frame rectangle by the margins; unchanged while any
  // margin is unset or negative, or when nothing would be left.
  virtual void ApplyFrameMargins(RECT* frame);
  // Multiples of 90 only; negative turns are kept as their positive equals.
  virtual bool SetRotation(int angle) = 0;
  // Rounds each margin to the nearest multiple of 4.
  virtual bool SetFrameMargins(int left, int top, int right, int bottom);
  virtual void SetAutoDetect(bool on, bool multipleDocuments, float parameter) = 0;
  virtual void ShowSelection(bool show);
  virtual bool GetSelection(RECT* out);
  virtual bool SetSelection(int left, int top, int right, int bottom, bool constrained);
  virtual bool Show(bool show);
  virtual BOOL Move(int left, int top, int right, int bottom);
  // The newest processed frame, top-down BGR; empty before the first.
  virtual cv::Mat GetFrame();
  // The same with the quarter turn the frame was shown in, which lags
  // behind a new turn until the worker has processed a frame in it.
  cv::Mat GetFrame(int* turn);
  // The documents cut out and straightened, else the selection, else the
  // whole frame, with the picture-in-picture box and watermark rendered in.
  virtual std::vector<cv::Mat> GetDocumentImages();
  virtual bool AddSubImageBox(RECT box);
  virtual bool GetSubImageBoxRect(RECT* out);
  virtual void RemoveSubImageBox();
  virtual bool AddWaterMark(WaterMarkParams params);
  virtual bool GetWaterMark(WaterMarkParams* out);
  virtual void RemoveWaterMark();
  virtual void Zoom(bool zoomIn) = 0;
  // A 24-bit picture of the frame with the overlays; empty before the first frame.
  virtual void GetImage(CImage* picture);

  // The sources the frames are pulled from (not owned); null detaches.
  void SetMainGrabData(IGrabData* grabData);
  void SetSecondaryGrabData(IGrabData* grabData);
  // The preview's lock, for whoever must change what it reads under it.
  CCriticalSection& Lock() { return lock_; }

  // State for the owner and for tests.
  int Rotation() const { return rotation_; }
  RECT FrameMargins() const { return RECT{marginLeft_, marginTop_, marginRight_, marginBottom_}; }
  bool IsAutoDetect() const { return autoDetect_; }
  std::vector<cv::RotatedRect> DocumentRects();

 protected:
  CShowVideoPro();

  // The canvas, or null while the thread kind has none.
  virtual CObjectContainer* Canvas() = 0;
  // Lets the canvas render its picture-in-picture box and watermark into a picture.
  virtual void RenderOverlays(CImage* picture) = 0;

  // Handles the preview messages shared by both kinds (frame intake, objects,
  // copies, frame shown, margins and turns); false for any other message.
  bool HandlePreviewMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // The frame step: false when no frame was produced.
  virtual bool ProcessFrame();

  // The first steps of Create: the parent and rectangle stored, the stop and frame events made anew.
  void BeginCreate(HWND parent, int left, int top, int right, int bottom);
  void CloseEvents();
  bool StartWorker();

 public:
  // Ends the worker and waits for it, answering what other threads send to
  // this one meanwhile (the worker may be sending to it). False when it
  // still runs after `patienceMs`: the preview must then outlive it.
  bool StopWorker(DWORD patienceMs = INFINITE);

 protected:
  // Stores the turn after sending it to the window (a turn that normalises to the stored one sends nothing).
  bool ApplyRotation(int angle);
  // Detection on: its parameters, and the canvas loses its selection.
  void ApplyAutoDetect(bool on, bool multipleDocuments, float parameter);
  // Removes the selection from the canvas (through its window's thread).
  virtual void RemoveCanvasSelection();

  HWND parentWindow_ = nullptr;
  HWND previewWindow_ = nullptr;
  HANDLE workerThread_ = nullptr;
  int rectLeft_ = 0, rectTop_ = 0, rectRight_ = 0, rectBottom_ = 0;
  std::atomic<bool> stop_{false};
  HANDLE stopEvent_ = nullptr;
  HANDLE frameEvent_ = nullptr;

 private:
  void CreateEvents();
  static DWORD WINAPI WorkerThreadProc(LPVOID self);
  void WorkerThread();
  void TakeMainFrame();
  void TakeSecondaryFrame();
  void ShowProcessedFrame();
  void ApplySetting(WPARAM kind, LPARAM value);
  LRESULT AddObject(WPARAM kind, LPARAM object);
  LRESULT QueryObject(WPARAM kind, LPARAM out);
  LRESULT CopyOut(WPARAM kind, LPARAM target);
  // The last frame as a 24-bit picture with the overlays; false without a frame.
  bool PictureOfLastFrame(CImage* picture, std::vector<cv::RotatedRect>* rects);
  void AppendDocuments(const cv::Mat& picture, const std::vector<cv::RotatedRect>& rects,
                       std::vector<cv::Mat>* out);

  IGrabData* mainGrabData_ = nullptr;
  IGrabData* secondaryGrabData_ = nullptr;
  CDPrgb24 displayFrame_;
  CDPrgb24 mainFrame_;
  std::atomic<bool> autoDetect_{false};
  std::atomic<bool> multipleDocuments_{false};
  std::atomic<float> detectionParameter_{kDefaultDetectionParameter};
  cv::Mat lastFrame_;
  int lastFrameTurn_ = 0;
  std::vector<cv::RotatedRect> documentRects_;
  std::atomic<int> marginLeft_{-1}, marginTop_{-1}, marginRight_{-1}, marginBottom_{-1};
  std::atomic<int> rotation_{0};
  CCriticalSection lock_;
};

namespace vqcapture {
// The rectangle of a document found in a bottom-up frame holder, in the
// top-down coordinates of a picture with `rows` rows.
cv::RotatedRect TopDownRect(const cv::RotatedRect& bottomUp, int rows);
}  // namespace vqcapture
