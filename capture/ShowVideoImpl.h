#pragma once
// The preview without a window thread: the preview is itself the canvas, a
// child window of the caller's window, run by the caller's thread. Only the
// worker runs beside it, and frames are shown only while the caller's
// thread dispatches messages.
#include "capture/ObjectContainer.h"
#include "capture/ShowVideoPro.h"

class CShowVideoImpl : public CShowVideoPro, public CObjectContainer {
 public:
  CShowVideoImpl();
  // Ends the worker while answering the frames it sends to this thread, then
  // the canvas window goes.
  ~CShowVideoImpl() override;

  // Creates the canvas window in the calling thread; false when it could not.
  bool Create(HWND parent, int left, int top, int right, int bottom) override;
  bool SetRotation(int angle) override;
  void SetAutoDetect(bool on, bool multipleDocuments, float parameter) override;
  // Zooms the canvas directly.
  void Zoom(bool zoomIn) override;

 protected:
  CObjectContainer* Canvas() override { return this; }
  void RenderOverlays(CImage* picture) override { CObjectContainer::RenderOverlays(picture); }
  void RemoveCanvasSelection() override { RemoveSelection(); }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
