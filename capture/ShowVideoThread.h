#pragma once
// The preview that runs its own window on a thread of its own: a host
// window of the class "ShowVideoWindow" whose client area the canvas fills.
// The application's thread only sends it messages.
#include <atomic>

#include "capture/ShowVideoPro.h"

class CShowVideoThread : public CShowVideoPro {
 public:
  static constexpr const wchar_t* kWindowClass = L"ShowVideoWindow";

  CShowVideoThread();
  // Ends the worker, then the window thread, answering what they send meanwhile.
  ~CShowVideoThread() override;

  // Returns once the host window exists; false when it could not be created.
  bool Create(HWND parent, int left, int top, int right, int bottom) override;
  // False while there is no canvas.
  bool SetRotation(int angle) override;
  void SetAutoDetect(bool on, bool multipleDocuments, float parameter) override;
  void Zoom(bool zoomIn) override;

 protected:
  CObjectContainer* Canvas() override { return canvas_; }
  void RenderOverlays(CImage* picture) override;

 private:
  static DWORD WINAPI WindowThreadProc(LPVOID self);
  void WindowThread();
  static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateCanvas(HWND host);
  void FitCanvas(HWND host);

  HANDLE windowThread_ = nullptr;
  CObjectContainer* canvas_ = nullptr;  // the window thread's
  std::atomic<bool> hasCanvas_{false};
  HANDLE windowDone_ = nullptr;  // set once the host window exists, or could not be made
};
