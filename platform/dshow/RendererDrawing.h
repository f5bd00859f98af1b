#pragma once
// The drawing side of a video renderer: its window control (events the
// window reports to the graph, source and target rectangles, the video
// size) and the image drawer that knows the target rectangle and whether
// the renderer's own allocator is in use. The renderer runs window-less
// here: no window is created and drawing goes to the drawer's own target.
#include "platform/dshow/RendererBase.h"

class CBaseControlWindow {
 public:
  explicit CBaseControlWindow(CBaseVideoRenderer* renderer) : renderer_(renderer) {}
  virtual ~CBaseControlWindow() = default;

  HWND GetWindowHWND() const { return window_; }
  bool IsVisible() const { return visible_; }
  bool IsCursorHidden() const { return cursorHidden_; }
  void HideCursor(bool hidden) { cursorHidden_ = hidden; }
  void ActivateWindow() { visible_ = true; }
  // The window procedure's handling of the messages a renderer window gets.
  virtual LRESULT OnReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnSize(int width, int height) = 0;

 protected:
  CBaseVideoRenderer* renderer_;
  HWND window_ = nullptr;
  bool visible_ = false;
  bool cursorHidden_ = false;
};

class CBaseControlVideo {
 public:
  explicit CBaseControlVideo(CBaseVideoRenderer* renderer) : renderer_(renderer) {}
  virtual ~CBaseControlVideo() = default;

  void SetVideoSize(int width, int height);
  void SetDefaultSourceRect();
  void SetDefaultTargetRect();
  RECT GetSourceRect() const { return source_; }
  RECT GetTargetRect() const { return target_; }
  // Tells the graph that the video has a new size.
  void OnVideoSizeChange();

 protected:
  CBaseVideoRenderer* renderer_;
  int videoWidth_ = 0, videoHeight_ = 0;
  RECT source_{}, target_{};
};

class CDrawImage {
 public:
  CDrawImage() = default;
  virtual ~CDrawImage() = default;

  void SetTargetRect(const RECT& rect) { target_ = rect; }
  RECT GetTargetRect() const { return target_; }
  void ResetPaletteVersion() { paletteVersion_ = 0; }
  int PaletteVersion() const { return paletteVersion_; }
  void NotifyAllocator(bool usingImageAllocator) { usingImageAllocator_ = usingImageAllocator; }
  bool UsingImageAllocator() const { return usingImageAllocator_; }
  void ResetDrawContext() { target_ = RECT{}; }
  virtual bool DrawImage(IMediaSample* sample, const CMediaType& type) = 0;

 protected:
  RECT target_{};
  int paletteVersion_ = 0;
  bool usingImageAllocator_ = false;
};
