#pragma once
// The drawing side of a video renderer: its window control (a window of its
// own, run by a thread of its own, whose events are reported to the graph;
// source and target rectangles, the video size) and the image drawer that
// knows the target rectangle, the window it draws into and whether the
// renderer's own allocator is in use.
#include <atomic>
#include <mutex>

#include "platform/dshow/RendererBase.h"

class CBaseControlWindow {
 public:
  explicit CBaseControlWindow(CBaseVideoRenderer* renderer) : renderer_(renderer) {}
  // The window must be gone (DoneWithWindow) before a derived part ends.
  virtual ~CBaseControlWindow();

  // Creates the window, hidden, on a thread of its own that runs it until
  // DoneWithWindow; false when it cannot be created.
  bool PrepareWindow(const wchar_t* className, UINT classStyle, DWORD windowStyle, const wchar_t* title);
  // Destroys the window and ends its thread.
  void DoneWithWindow();

  HWND GetWindowHWND() const { return window_; }
  bool IsVisible() const { return visible_; }
  bool IsCursorHidden() const { return cursorHidden_; }
  void HideCursor(bool hidden) { cursorHidden_ = hidden; }
  // The size the window takes when it is next shown.
  void SetDefaultWindowSize(int width, int height) {
    preferredWidth_ = width;
    preferredHeight_ = height;
  }
  // Shows the window (at its default size when one is set).
  void ActivateWindow();
  // The window procedure's handling of the messages a renderer window gets.
  virtual LRESULT OnReceiveMessage(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnSize(int width, int height) = 0;
  // Draws the client area (a black background by default).
  virtual void OnPaint(HDC dc, const RECT& client);
  virtual void OnDisplayChange() {}

 protected:
  CBaseVideoRenderer* renderer_;
  std::atomic<HWND> window_{nullptr};
  std::atomic<bool> visible_{false};
  std::atomic<bool> cursorHidden_{false};
  int preferredWidth_ = 0, preferredHeight_ = 0;

 private:
  static DWORD WINAPI WindowThreadProc(LPVOID self);
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void RunWindow();

  HANDLE thread_ = nullptr;
  HANDLE created_ = nullptr;
  const wchar_t* className_ = nullptr;
  UINT classStyle_ = 0;
  DWORD windowStyle_ = 0;
  const wchar_t* title_ = nullptr;
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

  void SetTargetRect(const RECT& rect) {
    std::lock_guard lock(targetLock_);
    target_ = rect;
  }
  RECT GetTargetRect() const {
    std::lock_guard lock(targetLock_);
    return target_;
  }
  void ResetPaletteVersion() { paletteVersion_ = 0; }
  int PaletteVersion() const { return paletteVersion_; }
  void NotifyAllocator(bool usingImageAllocator) { usingImageAllocator_ = usingImageAllocator; }
  bool UsingImageAllocator() const { return usingImageAllocator_; }
  void ResetDrawContext() { SetTargetRect(RECT{}); }
  // The window drawn into; a drawn sample repaints its target there.
  void SetDrawWindow(HWND window) { window_ = window; }
  HWND DrawWindow() const { return window_; }
  // The screen's pixel format is read again (after a display change).
  void RefreshDisplayFormat();
  int DisplayBitsPerPixel() const { return displayBits_; }
  int DisplayFormatVersion() const { return displayVersion_; }
  virtual bool DrawImage(IMediaSample* sample, const CMediaType& type) = 0;

 protected:
  std::atomic<HWND> window_{nullptr};
  RECT target_{};
  int displayBits_ = 0;
  int displayVersion_ = 0;
  mutable std::mutex targetLock_;
  int paletteVersion_ = 0;
  bool usingImageAllocator_ = false;
};
