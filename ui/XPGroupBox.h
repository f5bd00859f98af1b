#pragma once
// An owner-painted group box: a rounded outline with its title set into it
// (framed style), or a title bar over a filled body (windowed style).
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/CString.h"
#include "platform/win/GdiTypes.h"

class CXPGroupBox : public CButton {
 public:
  enum Style { kFramed = 0, kWindowed = 1 };
  enum Alignment { kLeft = 0, kCentre = 1, kRight = 2 };

  CXPGroupBox();
  ~CXPGroupBox() override;

  virtual CXPGroupBox& SetBorderColor(COLORREF colour);
  virtual CXPGroupBox& SetTitleTextColor(COLORREF colour);
  virtual CXPGroupBox& SetBackgroundColors(COLORREF title, COLORREF client);
  virtual CXPGroupBox& SetBackgroundColor(COLORREF colour);
  virtual CXPGroupBox& SetStyle(int style);
  virtual CXPGroupBox& SetTitle(const CString& text);
  virtual CXPGroupBox& SetFontBold(bool bold);
  // Face names longer than 31 characters are cut to 31.
  virtual CXPGroupBox& SetFontName(const CString& face, BYTE charset = DEFAULT_CHARSET);
  virtual CXPGroupBox& SetFontUnderline(bool on);
  virtual CXPGroupBox& SetFontItalic(bool on);
  virtual CXPGroupBox& SetFontSize(int points);
  virtual CXPGroupBox& SetLogFont(const LOGFONTW& font);
  virtual CXPGroupBox& SetTitleAlignment(int alignment);

  const CString& GetTitle() const { return m_title; }
  const LOGFONTW& GetLogFont() const { return m_logFont; }
  // The rectangle the title was last drawn into (client coordinates).
  RECT GetTitleRect() const { return m_titleRect; }

 protected:
  BOOL PreCreateWindow(CREATESTRUCTW& create) override;
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void RecreateFont();
  void UpdateSurface();
  void OnPaint();

  CString m_title;
  COLORREF m_borderColour;
  COLORREF m_titleBackground;
  COLORREF m_clientBackground;
  COLORREF m_titleTextColour;
  int m_style = kFramed;
  int m_alignment = kLeft;
  LOGFONTW m_logFont{};
  HFONT m_font = nullptr;
  RECT m_titleRect{0, 0, 0, 0};
};
