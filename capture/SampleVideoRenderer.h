#pragma once
// A video renderer filter for RGB24 samples: each sample is turned by a
// quarter-turn multiple into a frame holder, handed to an optional callback,
// optionally marked with the documents found on it, shown in the renderer's
// own "VideoTextRenderer" window and announced to a notification window
// with WM_VIDEO_SUB_FRAME.
#include <functional>
#include <mutex>
#include <vector>

#include <opencv2/core.hpp>

#include "capture/FrameHolder.h"
#include "platform/dshow/MediaSample.h"
#include "platform/dshow/RendererDrawing.h"
#include "platform/win/Window.h"

// {4D4B1600-33AC-11CF-BF30-00AA0055595A}
inline constexpr CLSID CLSID_SampleVideoRenderer = {0x4D4B1600, 0x33AC, 0x11CF,
                                                    {0xBF, 0x30, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr DWORD kSampleVideoRendererMerit = 0x200000;

class CVideoRenderer;

class CDrawVideo : public CDrawImage {
 public:
  using FrameCallback = std::function<void(const BYTE* bottomUpBgr, int width, int height, int rotation)>;
  static constexpr float kDetectionMinArea = 0.03f;

  // 0, 90, 180 or 270 (other quarter turns are normalised); false otherwise.
  bool SetRotation(int degrees);
  int Rotation() const { return rotation_; }
  void SetCallback(FrameCallback callback);
  void SetDetection(bool on);
  // Allows one document search on the next frame; frames in between reuse its result.
  void OnTimerTick();
  void SetNotifyWindow(HWND window);
  // A new, empty holder.
  void ResetHolder();
  // Copies the held picture, top-down; empty before the first frame.
  cv::Mat HeldPicture();
  bool DrawImage(IMediaSample* sample, const CMediaType& type) override;
  // Paints the client black and the held picture into the target rectangle,
  // stretched with HALFTONE when the sizes differ.
  void Paint(HDC dc, const RECT& client);

 private:
  std::mutex lock_;
  int rotation_ = 0;
  std::unique_ptr<CDPrgb24> holder_ = std::make_unique<CDPrgb24>();
  FrameCallback callback_;
  bool detection_ = false;
  bool searchAllowed_ = true;
  std::vector<cv::RotatedRect> documents_;
  HWND notifyWindow_ = nullptr;
};

class CVideoInputPin : public CRendererInputPin {
 public:
  CVideoInputPin(CVideoRenderer* renderer, HRESULT* result);
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;

 private:
  CVideoRenderer* owner_;
};

class CMVideoControl : public CBaseControlWindow, public CBaseControlVideo {
 public:
  static constexpr const wchar_t* kWindowClass = L"VideoTextRenderer";
  static constexpr UINT kClassStyle = CS_BYTEALIGNCLIENT | CS_HREDRAW | CS_VREDRAW;
  static constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  CMVideoControl(CVideoRenderer* renderer, CDrawVideo* draw);
  void OnSize(int width, int height) override;
  void OnPaint(HDC dc, const RECT& client) override;
  void OnDisplayChange() override;

 private:
  CDrawVideo* draw_;
};

class CVideoRenderer : public CBaseVideoRenderer {
 public:
  static constexpr const wchar_t* kName = L"Sample Video Renderer";
  static IUnknown* CreateInstance(IUnknown* outer, HRESULT* result);
  CVideoRenderer(IUnknown* outer, HRESULT* result);

  CRendererInputPin* GetInputPin() override { return &input_; }
  HRESULT CheckMediaType(const CMediaType* type) override;
  HRESULT SetMediaType(const CMediaType* type) override;
  HRESULT CompleteConnect(IPin* receiver) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;

  CDrawVideo& Drawing() { return draw_; }
  CMVideoControl& Control() { return control_; }
  IMemAllocator* ImageAllocator() { return imageAllocator_; }

 protected:
  ~CVideoRenderer() override;

 private:
  CCritSec lock_;
  CDrawVideo draw_;
  CVideoInputPin input_;
  CMVideoControl control_;
  IMemAllocator* imageAllocator_;  // one reference
  CMediaType mediaType_;
  bool typeRecorded_ = false;
  GUID recordedType_{};
  int lastWidth_ = 0, lastHeight_ = 0;
};

extern CFactoryTemplate g_Templates[];
extern int g_cTemplates;
