#pragma once
// CShowImageStatic: a static control that shows one page which the user
// zooms with the wheel and pans by dragging (the engine CZoomImageView does
// the work). A double click is announced to the parent with
// WM_PREVIEW_DBLCLK. The parent creates it with SS_NOTIFY so that it gets
// the mouse.
#include <opencv2/core.hpp>

#include "platform/mfc/CDC.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/GdiObjectClasses.h"
#include "platform/mfc/Geometry.h"
#include "twain/ZoomImageView.h"

namespace strenvik {

class CShowImageStatic : public CStatic {
 public:
  CShowImageStatic() = default;
  ~CShowImageStatic() override;

  void SetImage(const cv::Mat& page) { m_view.SetImage(page); }
  void ShowActualSize() { m_view.ShowActualSize(); }
  void FitToWindow() { m_view.FitToWindow(); }
  const CZoomImageView& View() const { return m_view; }

 protected:
  int OnCreate(LPCREATESTRUCT create);
  void OnSize(UINT type, int cx, int cy);
  void OnPaint();
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnMouseMove(UINT flags, CPoint point);
  BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  void OnLButtonDblClk(UINT flags, CPoint point);
  // A window made by Create is attached after WM_CREATE and its first
  // WM_SIZE; they are caught up here.
  void PreSubclassWindow() override;
  DECLARE_MESSAGE_MAP()

 private:
  void CreateMemoryDC();
  CRect m_client{0, 0, 0, 0};
  CZoomImageView m_view;
  CDC m_memoryDC;
  CBitmap m_memoryBitmap;
  CBitmap* m_initialBitmap = nullptr;
};

}  // namespace strenvik
