#pragma once
// A translucent layered dialog over an image area in which the user draws a
// selection rectangle; the parent learns of each finished drag through
// WM_SELECTION_DONE and reads the corners from the selection.
#include "platform/mfc/CDialog.h"
#include "platform/mfc/CImage.h"
#include "ui/DrawRectangle.h"

#define WM_SELECTION_DONE (WM_USER + 0x21)

class CTopDlg : public CDialog {
 public:
  // The dialog's own template (a plain popup without controls).
  static constexpr UINT IDD = 9300;
  static void RegisterTemplate();

  CTopDlg(int imageWidth, int imageHeight, CWnd* parent = nullptr);
  ~CTopDlg() override = default;

  BOOL OnInitDialog() override;
  float Zoom() const { return m_zoom; }
  RECT ImageRect() const { return m_imageRect; }
  CDrawRectangle& Selection() { return m_selection; }
  COLORREF ColourKey() const { return m_colourKey; }

 protected:
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  void OnSize(int width, int height);
  void OnPaint();
  void Forward(UINT message, WPARAM wParam, LPARAM lParam);

  int m_imageWidth;
  int m_imageHeight;
  float m_zoom = 1;
  RECT m_imageRect{0, 0, 0, 0};
  CDrawRectangle m_selection{this};
  COLORREF m_colourKey = RGB(255, 0, 255);
  COLORREF m_background = RGB(40, 40, 40);
  CImage m_backBuffer;
};
