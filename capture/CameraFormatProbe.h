#pragma once
// Answers which YUY2 frame sizes a camera offers without opening it for
// streaming: it binds the camera on a private set of graph interfaces and
// reads the capabilities of its capture pin. Used on one thread.
#include "capture/CameraDevices.h"
#include "capture/SampleGrabberCallback.h"
#include "platform/mfc/CString.h"

class CCameraFormatProbe {
 public:
  CCameraFormatProbe();
  ~CCameraFormatProbe();
  CCameraFormatProbe(const CCameraFormatProbe&) = delete;
  CCameraFormatProbe& operator=(const CCameraFormatProbe&) = delete;

  // The number of YUY2 sizes of the index-th device carrying vid and pid;
  // -2 no graph interfaces, -3 no such device, -6 unreadable capability.
  int GetFormatCount(const wchar_t* vid, const wchar_t* pid, int index);
  // 0 and the i-th YUY2 size of the bound device; -1 nothing bound, -4 no
  // capabilities, -5 i beyond them, -6 unreadable or no such size.
  int GetFormatSize(int i, int* width, int* height);

 private:
  int Bind(const wchar_t* vid, const wchar_t* pid, int index);
  void Close();

  vqcapture::GraphInterfaces graph_;
  ComPtr<IBaseFilter> camera_;
  CString vendorId_;
  CString productId_;
  int deviceIndex_ = 0;
  CSampleGrabberCallback callback_;
};
