#pragma once
// CPageThumbItem: a windowless thumbnail of a scanned page in the camera
// window's strip and in the merge dialog. It keeps the page itself (sharing
// its pixels), draws a reduced picture of it with the page number, follows
// its parent's mouse handlers (hover frame, selection, hand cursor) and
// opens the page in the preview dialog when the selected item is clicked.
// A right click posts WM_THUMB_NOTIFY (id, 2) to the parent.
#include <opencv2/core.hpp>

#include "platform/mfc/CDC.h"
#include "platform/mfc/CImage.h"
#include "platform/mfc/CString.h"
#include "platform/mfc/CWnd.h"
#include "platform/mfc/Geometry.h"
#include "ui/ThumbItem.h"

namespace strenvik {

class CPageThumbItem {
 public:
  static constexpr LPARAM kContextMenu = 2;

  explicit CPageThumbItem(int id) : m_id(id) {}
  CPageThumbItem(const CPageThumbItem&) = delete;
  CPageThumbItem& operator=(const CPageThumbItem&) = delete;

  bool Init(UINT message, int id, int left, int top, int right, int bottom, CWnd* parent, bool frame);
  void SetRect(int left, int top, int right, int bottom) { m_rect.SetRect(left, top, right, bottom); }
  CRect GetRect() const { return m_rect; }
  // Shows a bitmap resource (the strip's empty slot) as the picture.
  bool SetBitmapResource(UINT id);
  // Takes a three-channel page and makes its reduced picture; anything
  // else leaves the item as it was. False without a picture afterwards.
  bool SetImage(const cv::Mat& page);
  // The page, sharing its pixels.
  cv::Mat GetPage() const { return m_page; }
  bool HasImage() const { return !m_picture.IsNull(); }
  void Clear();
  void Draw(CDC* dc);
  // Invalidates the rectangle inflated by 3 pixels in the parent.
  void Redraw(bool erase = true);

  bool OnLButtonDown(UINT flags, int x, int y);
  // Releasing on the selected item runs the page's preview dialog.
  bool OnLButtonUp(UINT flags, int x, int y);
  bool OnRButtonDown(UINT flags, int x, int y);
  bool OnMouseMove(UINT flags, int x, int y);

  bool IsHover() const { return m_hover; }
  bool IsSelected() const { return m_selected; }
  const CImage& GetPicture() const { return m_picture; }

  // The page's position in its owner's list, shown as index + 1; -1 none.
  int m_index = -1;

 private:
  bool Inside(int x, int y) const { return m_rect.PtInRect(CPoint(x, y)); }
  // An item without id, picture or page ignores the mouse.
  bool IgnoresMouse() const { return m_id == -1 || m_picture.IsNull() || m_page.empty(); }

  UINT m_message = WM_THUMB_NOTIFY;
  int m_id;
  CRect m_rect{0, 0, 0, 0};
  CWnd* m_parent = nullptr;
  cv::Mat m_page;
  CImage m_picture;
  CString m_pathText;  // never filled; pages have no file
  bool m_hover = false;
  bool m_selected = false;
  bool m_frame = false;
};

}  // namespace strenvik
