#pragma once
// The USB camera source: a capture graph around one video-input device,
// found by its USB vendor and product id (or friendly name), ending in the
// frame-grabbing filter, with an optional still-pin branch for the snapshot
// button. Used from the thread that created it.
#include "capture/CameraDevices.h"
#include "capture/GrabDataFilter.h"
#include "capture/SampleGrabberCallback.h"
#include "capture/VideoBaseClass.h"

class CUSBCamra : public CVideoBaseClass {
 public:
  CUSBCamra();
  ~CUSBCamra() override;
  CUSBCamra(const CUSBCamra&) = delete;
  CUSBCamra& operator=(const CUSBCamra&) = delete;

  int EnumDevices(HWND comboBox) override;
  void ShowStreamConfigPages(HWND owner) override;
  void ShowFilterPages(HWND owner) override;
  HRESULT SetVideoProcAmp(long property, long* value) override;
  HRESULT GetVideoProcAmp(long property, long* value, long* flags) override;
  HRESULT GetVideoProcAmpRange(long property, long* min, long* max, long* step, long* dflt, long* caps) override;
  HRESULT SetCameraControl(long property, long value) override;
  HRESULT GetCameraControl(long property, long* value, long* flags) override;
  HRESULT GetCameraControlRange(long property, long* min, long* max, long* step, long* dflt, long* caps) override;
  HRESULT Open(const wchar_t* vid, const wchar_t* pid, const wchar_t* name, HWND stillWindow, bool stillPin,
               int index) override;
  void SetNotifyWindow(HWND window, UINT message) override;
  IGrabData* GetGrabData() override;
  bool Run() override;
  bool Stop() override;
  int GetFormatCount() override;
  int GetDeviceFormatCount(const wchar_t* vid, const wchar_t* pid, int index) override;
  bool GetSubtypes(std::vector<int>& out) override;
  bool GetDeviceSubtypes(const wchar_t* vid, const wchar_t* pid, int index, std::vector<int>& out) override;
  int GetFormatSize(int i, int* width, int* height) override;
  int GetDeviceFormatSize(const wchar_t* vid, const wchar_t* pid, int index, int i, int* width, int* height) override;
  int CountDevicesById(const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId) override;
  int CountDevices(const wchar_t* vid, const wchar_t* pid) override;
  int CountDevicesByName(const wchar_t* friendlyName) override;
  CString GetDeviceName(const wchar_t* vid, const wchar_t* pid, int index) override;
  cv::Mat TriggerStill() override;
  HRESULT SetResolution(int width, int height) override;
  void GetResolution(int* width, int* height) override;
  HRESULT SetFormatIndex(int i) override;
  void SetDeviceParam(int value) override;
  bool PollEvent(int* status, long* eventCode) override;
  void SetSubtype(int subtype) override;
  int GetState() override;

 private:
  void Close();
  // Opens again with the recorded identity after a size or format change.
  HRESULT Reopen();
  // Makes sure the camera named by vid, pid and index is bound for a
  // format query: 0, or the query's negative code.
  int BindForQuery(const wchar_t* vid, const wchar_t* pid, int index);
  void ChooseFormatIndex();
  void SetCaptureFormat();
  HRESULT BuildStillBranch();
  template <class Control>
  HRESULT WithControl(REFIID iid, const std::function<HRESULT(Control*)>& use);
  void RestoreState(int previous);

  vqcapture::GraphInterfaces graph_;
  ComPtr<IBaseFilter> camera_;
  CGrabDataFilter* grab_ = nullptr;  // one reference
  int deviceParam_ = 1850000;
  int frameHeight_ = -1;
  int frameWidth_ = -1;
  int formatIndex_ = 0;
  CString vendorId_;
  CString productId_;
  int deviceIndex_ = 0;
  bool built_ = false;
  int state_ = VIDEO_STATE_CLOSED;
  CSampleGrabberCallback stillCallback_;
  HWND stillWindow_ = nullptr;
  bool stillPin_ = false;
  int subtype_ = VIDEO_SUBTYPE_YUY2;
  HWND frameWindow_ = nullptr;
  UINT frameMessage_ = 0;
};
