#pragma once
// The video source interface of the capture code: finding a camera by its
// USB ids, opening it at a frame size and format, streaming, its formats,
// camera controls, still trigger and graph events. Every operation has a
// default that reports failure or nothing.
#include <vector>

#include <opencv2/core.hpp>

#include "capture/GrabData.h"
#include "platform/mfc/CString.h"
#include "platform/win/WinTypes.h"

constexpr int VIDEO_SUBTYPE_YUY2 = 0;
constexpr int VIDEO_SUBTYPE_MJPG = 1;

// Source states.
constexpr int VIDEO_STATE_CLOSED = 0;
constexpr int VIDEO_STATE_STOPPED = 1;
constexpr int VIDEO_STATE_RUNNING = 2;

// PollEvent statuses.
constexpr int VIDEO_EVENT_NONE = 0;
constexpr int VIDEO_EVENT_DEVICE_LOST = 1;
constexpr int VIDEO_EVENT_ABORTED = 2;
constexpr int VIDEO_EVENT_OTHER_DEVICE = 3;

class CVideoBaseClass {
 public:
  virtual ~CVideoBaseClass() = default;
  virtual int EnumDevices(HWND comboBox);
  virtual void ShowStreamConfigPages(HWND owner);
  virtual void ShowFilterPages(HWND owner);
  virtual HRESULT SetVideoProcAmp(long property, long* value);
  virtual HRESULT GetVideoProcAmp(long property, long* value, long* flags);
  virtual HRESULT GetVideoProcAmpRange(long property, long* min, long* max, long* step, long* dflt, long* caps);
  virtual HRESULT SetCameraControl(long property, long value);
  virtual HRESULT GetCameraControl(long property, long* value, long* flags);
  virtual HRESULT GetCameraControlRange(long property, long* min, long* max, long* step, long* dflt, long* caps);
  virtual HRESULT Open(const wchar_t* vid, const wchar_t* pid, const wchar_t* name, HWND stillWindow, bool stillPin,
                       int index);
  virtual void SetNotifyWindow(HWND window, UINT message);
  virtual IGrabData* GetGrabData();
  virtual bool Run();
  virtual bool Stop();
  virtual int GetFormatCount();
  virtual int GetDeviceFormatCount(const wchar_t* vid, const wchar_t* pid, int index);
  virtual bool GetSubtypes(std::vector<int>& out);
  virtual bool GetDeviceSubtypes(const wchar_t* vid, const wchar_t* pid, int index, std::vector<int>& out);
  virtual int GetFormatSize(int i, int* width, int* height);
  virtual int GetDeviceFormatSize(const wchar_t* vid, const wchar_t* pid, int index, int i, int* width, int* height);
  virtual int CountDevicesById(const wchar_t* vid, const wchar_t* pid, const wchar_t* extraId);
  virtual int CountDevices(const wchar_t* vid, const wchar_t* pid);
  virtual int CountDevicesByName(const wchar_t* friendlyName);
  virtual CString GetDeviceName(const wchar_t* vid, const wchar_t* pid, int index);
  virtual cv::Mat TriggerStill();
  virtual HRESULT SetResolution(int width, int height);
  virtual void GetResolution(int* width, int* height);
  virtual HRESULT SetFormatIndex(int i);
  virtual void SetDeviceParam(int value);
  virtual bool PollEvent(int* status, long* eventCode);
  virtual void SetSubtype(int subtype);
  virtual int GetState();
};
