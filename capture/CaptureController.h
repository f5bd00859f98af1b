#pragma once
// The applications' one door to a camera: the controller owns the camera's
// video source, an optional secondary source shown as picture in picture,
// and the live preview, and hands out frames and detected documents as
// OpenCV matrices. Used on the user-interface thread; GetFrame and
// GetDocumentImages also from worker threads, which must be stopped before
// the controller is deleted or its camera reopened.
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "capture/ShowVideoPro.h"
#include "capture/VideoBaseClass.h"
#include "platform/mfc/CWnd.h"

struct RecordingGraph;

class CCaptureController {
 public:
  // ownWindowThread: a preview with its own window thread (else a child
  // window run by the caller's thread); remoteSource: the network source.
  CCaptureController(bool ownWindowThread, bool remoteSource);
  // Stops the sources, detaches them from the preview and deletes both.
  ~CCaptureController();
  CCaptureController(const CCaptureController&) = delete;
  CCaptureController& operator=(const CCaptureController&) = delete;

  // Attached devices with these ids; -1 for a null id.
  int CountDevices(const wchar_t* vid, const wchar_t* pid);
  // Opens the camera into a new preview at the rectangle of parent; the graph
  // is built but stopped. S_FALSE when no such camera is attached (the
  // preview is still made); a failure code deletes the source.
  HRESULT OpenCamera(const wchar_t* vid, const wchar_t* pid, const wchar_t* name, CWnd* parent, int left, int top,
                     int right, int bottom, bool stillPin, int index);
  bool Run();
  bool Stop();
  // Ends the preview's worker within `patienceMs` (the program's exit);
  // false when it still runs: the controller must then outlive it.
  bool StopPreviewWorker(DWORD patienceMs) { return !preview_ || preview_->StopWorker(patienceMs); }
  // Rebuilds an open camera's graph at the new size and leaves it stopped.
  HRESULT SetResolution(int width, int height);
  void GetResolution(int* width, int* height);
  void SetSubtype(int subtype);
  bool GetSubtypes(std::vector<int>& out);
  void CloseSecondaryCamera();

  HRESULT SetCameraControl(long property, long value);
  HRESULT GetCameraControl(long property, long* value, long* flags);
  HRESULT GetCameraControlRange(long property, long* min, long* max, long* step, long* dflt, long* flags);
  void ShowStreamConfigPages(HWND owner);
  void ShowFilterPages(HWND owner);

  void SetPreviewRect(int left, int top, int right, int bottom);
  void MovePreviewWindow();
  bool ShowPreview(bool show);
  // Multiples of 90 only, negative ones as their positive equals (-90 is 270).
  void SetRotation(int angle);
  // False for a negative margin or without a preview.
  bool SetFrameMargins(int left, int top, int right, int bottom);
  void SetAutoDetect(bool on, bool multiDocument, float minAreaRatio);
  bool IsAutoDetect() const { return autoDetect_; }
  void ShowSelection(bool show);
  bool GetSelection(RECT* out);
  bool SetSelection(RECT rect, bool constrained);

  // The newest processed frame (top-down BGR); empty without a preview or frame.
  cv::Mat GetFrame();
  // The same with the quarter turn the frame was shown in (0 without a preview).
  cv::Mat GetFrame(int* turn);
  // The documents cut out, else the selection, else the whole frame.
  std::vector<cv::Mat> GetDocumentImages();

  // Operations the data source's camera window uses.
  // Opens a second camera into the preview's picture-in-picture box (run
  // when the main camera runs). E_FAIL without a preview or main source, or
  // when the camera cannot be opened or run.
  HRESULT OpenSecondaryCamera(const wchar_t* vid, const wchar_t* pid, RECT box);
  // The secondary camera's newest frame; empty without one.
  cv::Mat GetSecondaryFrame();
  bool GetWaterMark(WaterMarkParams* out);
  // Whether the main source's camera was reported unplugged, or its stream
  // broken off: its pending events are read here, and a loss is
  // remembered. A controller whose camera is lost gives no more pictures to
  // save.
  bool CameraLost();
  int GetFormatCount();
  int GetFormatSize(int i, int* width, int* height);

  // Records the preview (with its overlays) into an ASF file, with the sound
  // of the first sound input where there is one; a recording in progress is
  // ended first. E_POINTER without a preview, else the graph's result.
  HRESULT StartRecording(const wchar_t* path, int width, int height, int fps, int bitRate);
  // Completes the file; E_POINTER when nothing is recording. *written, when
  // given, receives where the file went (RecordingGraph.h).
  HRESULT StopRecording(std::wstring* written = nullptr);

  // For the programs and tests: what the controller holds.
  CShowVideoPro* Preview() const { return preview_; }
  CVideoBaseClass* MainSource() const { return mainSource_; }
  HWND ParentWindow() const { return parentWindow_; }
  int Rotation() const { return rotation_; }
  // Pictures the recording in progress has passed to its file; 0 when none.
  int RecordedFrames() const;

 private:
  CVideoBaseClass* CreateSource();
  // The main source, created on first need; null when it cannot be made.
  CVideoBaseClass* EnsureMainSource();
  void DetachMain();

  bool ownWindowThread_;
  bool remoteSource_;
  int previewLeft_ = 0, previewTop_ = 0, previewRight_ = 0, previewBottom_ = 0;
  CShowVideoPro* preview_ = nullptr;
  CVideoBaseClass* mainSource_ = nullptr;
  CVideoBaseClass* secondarySource_ = nullptr;
  HWND parentWindow_ = nullptr;
  bool autoDetect_ = false;
  bool cameraLost_ = false;
  int rotation_ = 0;
  RecordingGraph* recording_ = nullptr;
};
