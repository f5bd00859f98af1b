#pragma once
// An owner-drawn button painted from per-state pictures: each of its four
// states (normal, pressed, hover, disabled) has a picture cut out by key
// colours, a caption, a background and a 3-D edge. It can round its window
// outline, shows a hover look, carries a tooltip, and can act as a check box
// or a radio button with its own check state.
#include <array>

#include "platform/mfc/CDC.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/CString.h"
#include "platform/mfc/Geometry.h"

// Posted by a radio-type button that became checked to the other controls of
// its group.
#define WM_FXBUTTON_UNCHECK (WM_USER + 0x64)

class CFxButton : public CButton {
 public:
  static constexpr int STATE_NORMAL = 260;
  static constexpr int STATE_PRESSED = 261;
  static constexpr int STATE_HOVER = 262;
  static constexpr int STATE_DISABLED = 263;
  // Edge styles (the Win32 names EDGE_RAISED and EDGE_SUNKEN are macros).
  static constexpr int EDGE_STYLE_FLAT = 257;
  static constexpr int EDGE_STYLE_RAISED = 258;
  static constexpr int EDGE_STYLE_SUNKEN = 259;
  static constexpr int TYPE_PUSH = 270;
  static constexpr int TYPE_CHECK = 271;
  static constexpr int TYPE_RADIO = 272;

  CFxButton();
  ~CFxButton() override;

  // Each setter takes (normal, fillMissing, pressed, hover, disabled).
  void SetBitmaps(UINT normalId, bool fillMissing, UINT pressedId, UINT hoverId, UINT disabledId);
  void SetTransparentColors(COLORREF normal, bool fillMissing, COLORREF pressed, COLORREF hover,
                            COLORREF disabled);
  void SetBorderWidths(int normal, bool fillMissing, int pressed, int hover, int disabled);
  void SetCaptions(const CString& normal, bool fillMissing, const CString& pressed, const CString& hover,
                   const CString& disabled);
  void SetTooltip(const CString& text, COLORREF textColour, COLORREF backColour);
  void SetBackgroundFill(bool normal, bool fillMissing, bool pressed, bool hover, bool disabled);
  void SetWindowRegionFlags(bool normal, bool fillMissing, bool pressed, bool hover, bool disabled);
  virtual void UpdateLayout(HBITMAP backdrop, int reserved, UINT disableFlags, int check);
  virtual void BuildStateRegion(int state);
  // Repaints the whole button once the layout is done.
  void Redraw();

  void DrawItem(LPDRAWITEMSTRUCT item) override;
  virtual void DrawBackground(CDC* dc, const CRect& rect, int state);
  virtual void DrawBorder(CDC* dc, const CRect& rect, int state);
  virtual void DrawImage(CDC* dc, int state);
  virtual void DrawCaption(CDC* dc, const CRect& rect, int state);
  virtual void DrawFocus(CDC* dc, int state);
  virtual void DrawRoundedFrame(CDC* dc, int state);
  virtual void DrawBackdrop(int state, CDC* dc);

  static COLORREF DeriveEdgeColour(COLORREF base, int line, int style);
  // Union of the one-pixel-high runs of pixels of neither key colour; the
  // pixels are top-down rows of blue, green, red bytes with `stride` bytes
  // per row.
  static HRGN RegionFromBitmap(const BYTE* bgr, int stride, int width, int height, COLORREF key1, COLORREF key2);

  // Corner ellipse of the rounded window outline; set before the layout.
  CSize m_cornerSize{0, 0};

  // What the button shows: the state of the last paint, and its flags.
  int CurrentState() const { return m_currentState; }
  int ButtonType() const { return m_type; }
  bool IsChecked() const { return m_checked; }
  bool IsHover() const { return m_hover; }
  bool IsLayoutDone() const { return m_layoutDone; }
  // The picture region of a state in use (client coordinates), or null.
  HRGN PictureRegion(int state) const;
  CRect PictureRect(int state) const { return m_states[Index(state)].pictureRect; }
  int BorderWidth(int state) const { return m_states[Index(state)].edgeWidth; }
  COLORREF KeyColour(int state) const { return m_states[Index(state)].key; }
  bool KeySet(int state) const { return m_states[Index(state)].keySet; }
  CString Caption(int state) const { return m_states[Index(state)].caption; }
  HWND TooltipWindow() const { return m_tooltip.GetSafeHwnd(); }

 protected:
  void PreSubclassWindow() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct State {
    HBITMAP bitmap = nullptr;
    HDC pictureDc = nullptr;
    int pictureFrom = -1;  // state whose picture and DC are in use
    CSize pictureSize{0, 0};
    CRect pictureRect{0, 0, 0, 0};
    UINT pictureAlign = 0x25;
    COLORREF key = 0;
    COLORREF key2 = 0;
    bool keySet = false;
    HRGN pictureRegion = nullptr;
    int pictureRegionFrom = -1;
    bool pictureRegionBuilt = false;
    HRGN windowRegion = nullptr;
    int windowRegionFrom = -1;
    bool windowRegionBuilt = false;
    bool applyWindowRegion = false;
    COLORREF background = 0;
    bool fillBackground = true;
    CString caption;
    CString fontFace;
    LONG fontHeight = 0;
    UINT fontFlags = 0;
    COLORREF textColour = 0;
    UINT captionAlign = 0x25;
    CRect captionRect{0, 0, 0, 0};
    int edgeStyle = EDGE_STYLE_RAISED;
    int edgeWidth = 2;
    std::array<COLORREF, 4> edge{};
  };
  static int Index(int state) { return (state >= STATE_NORMAL && state <= STATE_DISABLED) ? state - STATE_NORMAL : 0; }
  bool HasPicture(int index) const { return m_states[index].pictureFrom >= 0; }
  HDC PictureDc(int index) const;
  HRGN PictureRegionOf(int index) const;
  HRGN WindowRegionOf(int index) const;
  int EdgeShift(int index) const;
  int LargestEdgeWidth() const;
  bool PushLike() const { return m_type == TYPE_PUSH || m_pushLike; }
  void AlignImageRect(CRect& rect, const CRect& face, UINT align) const;
  void ReleaseAll();
  void RelayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
  bool CursorOverButton() const;
  void OnSetCheck(WPARAM wParam);
  // `relay`: false for the layout's own move, which no pointer made.
  void OnMouseMove(WPARAM wParam, LPARAM lParam, bool relay = true);
  void OnLButtonDown(WPARAM wParam, LPARAM lParam);
  void OnLButtonUp(WPARAM wParam, LPARAM lParam);

  std::array<State, 4> m_states;
  int m_type = TYPE_PUSH;
  bool m_pushLike = false;
  bool m_leftText = false;
  bool m_checked = false;
  bool m_captured = false;
  bool m_hasFocus = false;
  bool m_hover = false;
  bool m_tracking = false;
  bool m_enteredWhilePressed = false;
  int m_currentState = STATE_NORMAL;
  CRect m_clientRect{0, 0, 0, 0};
  CRect m_focusRect{0, 0, 0, 0};
  CRect m_glyphRect{0, 0, 13, 13};
  HBITMAP m_backdropBitmap = nullptr;
  HDC m_backdropDc = nullptr;
  bool m_drawCaption = true;
  bool m_drawEdges = true;
  bool m_drawFocusRect = true;
  bool m_hasPictures = false;
  bool m_layoutDone = false;
  CToolTipCtrl m_tooltip;
};
