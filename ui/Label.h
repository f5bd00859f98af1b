#pragma once
// A static text control that paints its own text: colour, font, solid,
// gradient or no background, border or sunken edge, 3-D text, flashing text,
// rotation, and an optional link that opens a web or mail address or tells
// the parent. Every setter returns the label so calls can be chained.
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/CString.h"
#include "platform/win/GdiTypes.h"

// Sent to the parent in WM_NOTIFY when a notifying link is clicked.
#define NM_LINKCLICK 0x8200

class CLabel : public CStatic {
 public:
  static constexpr UINT_PTR TIMER_LABEL_FLASH = 1;
  static constexpr UINT kFlashMs = 500;
  enum FlashKind { kFlashNone = 0, kFlashText = 1, kFlashBackground = 2 };
  enum LinkMode { kLinkNone = 0, kLinkWeb = 1, kLinkMail = 2 };

  CLabel();
  ~CLabel() override;

  virtual CLabel& SetBkColor(COLORREF colour, COLORREF second = 0, bool gradient = false);
  virtual CLabel& SetTextColor(COLORREF colour);
  virtual CLabel& SetText(const CString& text);
  virtual CLabel& SetFontBold(bool bold);
  virtual CLabel& SetFontName(const CString& face, BYTE charset = DEFAULT_CHARSET);
  virtual CLabel& SetFontUnderline(bool on);
  virtual CLabel& SetFontItalic(bool on);
  virtual CLabel& SetFontSize(int points);
  virtual CLabel& SetSunken(bool on);
  virtual CLabel& SetBorder(bool on);
  virtual CLabel& SetTransparent(bool on);
  virtual CLabel& FlashText(bool on);
  virtual CLabel& FlashBackground(bool on);
  virtual CLabel& SetLink(bool on, int notifyParent);
  virtual CLabel& SetLinkCursor(HCURSOR cursor);
  virtual CLabel& SetText3D(bool on, bool downRight);
  virtual CLabel& SetRotationAngle(int degrees, bool rotate);
  virtual CLabel& SetText3DColor(COLORREF colour);
  virtual CLabel& SetLogFont(const LOGFONTW& font);
  virtual CLabel& SetMailLink(bool on, int notifyParent);
  virtual CLabel& SetLinkUrl(const CString& target);

  // Fills `rect` with bands from colour1 (left) to colour2 (right).
  static void FillGradient(HDC dc, const RECT& rect, COLORREF colour1, COLORREF colour2, int steps);

  bool IsFlashOn() const { return m_flashOn; }
  int GetFlashKind() const { return m_flashKind; }
  bool HasBackgroundBrush() const { return m_backgroundBrush != nullptr; }
  const LOGFONTW& GetLogFont() const { return m_logFont; }

 protected:
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void ReconstructFont();
  void Refresh();
  void Paint();
  void PaintContent(HDC dc, const RECT& client, const CString& text);
  UINT FormatFlags(const CString& text) const;
  void OnLinkClick();
  void StopFlashTimer();
  CLabel& SetLinkMode(int mode, int notifyParent);

  COLORREF m_textColour;
  COLORREF m_3dColour = RGB(255, 255, 255);
  HBRUSH m_defaultBrush = nullptr;
  HBRUSH m_backgroundBrush = nullptr;
  COLORREF m_background = 0;
  COLORREF m_background2 = 0;
  bool m_gradient = false;
  LOGFONTW m_logFont{};
  HFONT m_font = nullptr;
  bool m_flashOn = false;
  bool m_flashTimerRunning = false;
  int m_flashKind = kFlashNone;
  int m_linkMode = kLinkNone;
  int m_notifyParent = 0;
  CString m_linkTarget;
  HCURSOR m_linkCursor = nullptr;
  bool m_transparent = false;
  bool m_text3D = false;
  bool m_3dDownRight = true;
  bool m_rotated = false;
};
