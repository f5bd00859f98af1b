#pragma once
// A windowless thumbnail of an image file: a reduced copy of the picture,
// the file's path and a rectangle in its parent window. It draws itself when
// the parent paints, follows the parent's mouse handlers (hover frame,
// selection, hand cursor), opens the file when the selected item is clicked
// and posts WM_THUMB_NOTIFY to the parent.
#include "platform/mfc/CDC.h"
#include "platform/mfc/CImage.h"
#include "platform/mfc/CString.h"
#include "platform/mfc/CWnd.h"
#include "platform/mfc/Geometry.h"

class CBrandingData;

// wParam: item id; lParam: kThumbOpened or kThumbContextMenu.
#define WM_THUMB_NOTIFY (WM_USER + 0x50)

// Where an item shows a picture of width x height: its shape fitted into
// the item rectangle and deflated by one pixel.
CRect ThumbPictureRect(const CRect& item, double width, double height);
// The item's frame: raised while hovered, pressed while selected and
// hovered, grey otherwise when `frame` is set.
void DrawThumbFrame(HDC dc, const CRect& item, bool hover, bool selected, bool frame);
// A bitmap resource as the image's picture; false (and no picture) when
// there is no such bitmap.
bool LoadBitmapResourceInto(CImage* image, UINT id);

class CThumbItem : public CImage {
 public:
  static constexpr LPARAM kThumbOpened = 1;
  static constexpr LPARAM kThumbContextMenu = 2;

  explicit CThumbItem(int id);
  virtual ~CThumbItem();
  CThumbItem(const CThumbItem&) = delete;
  CThumbItem& operator=(const CThumbItem&) = delete;

  bool Init(UINT message, int id, int left, int top, int right, int bottom, CWnd* parent, bool frame);
  CRect GetRect() const { return m_rect; }
  void SetRect(int left, int top, int right, int bottom) { m_rect.SetRect(left, top, right, bottom); }
  // Loads a picture file reduced to fit the rectangle; false (and no
  // picture) when the file cannot be loaded or the rectangle is empty.
  bool LoadFile(const CString& path);
  // Shows a bitmap resource as the picture.
  bool SetBitmapResource(UINT id);
  void Clear();
  void SetFilePath(const CString& path) { m_filePath = path; }
  CString GetFilePath() const { return m_filePath; }
  void Draw(CDC* dc);
  void Redraw();
  void ResetState();

  bool OnLButtonDown(UINT flags, int x, int y);
  bool OnLButtonUp(UINT flags, int x, int y);
  bool OnRButtonDown(UINT flags, int x, int y);
  bool OnMouseMove(UINT flags, int x, int y);
  bool SetHandCursorIfHit(UINT flags, int x, int y);
  bool OpenLinkIfHit(UINT flags, int x, int y);

  // The branding data whose link the logo opens; the owner keeps it alive.
  static void SetBrandingData(const CBrandingData* branding);

  bool IsHover() const { return m_hover; }
  bool IsSelected() const { return m_selected; }
  int GetId() const { return m_id; }

  // Page number shown on the picture (index + 1); -1 shows none.
  int m_index = -1;

 private:
  bool HasPicture() const { return !IsNull(); }
  bool Inside(int x, int y) const { return m_rect.PtInRect(CPoint(x, y)); }
  bool IgnoresMouse() const { return m_id == -1; }
  void Notify(LPARAM what);
  void SetHandCursor();

  CString m_filePath;
  UINT m_message = WM_THUMB_NOTIFY;
  int m_id;
  CRect m_rect{0, 0, 0, 0};
  CWnd* m_parent = nullptr;
  bool m_hover = false;
  bool m_selected = false;
  bool m_frame = false;
};

// The main window's logo: an item that ignores the thumbnail mouse handling.
class CLogoItem : public CThumbItem {
 public:
  CLogoItem() : CThumbItem(-1) {}
};
