#pragma once
// CMergeImageDlg (template 6013): joins two scanned pages into one, side by
// side or one above the other, in either order. The camera window opens it
// modeless and feeds it pages; OK merges and posts WM_MERGE_FINISHED
// (wParam the dialog, lParam 1) to the camera window, which reads the
// result and deletes the dialog; cancel posts lParam 0. The dialog never
// closes itself.
#include <vector>

#include <opencv2/core.hpp>

#include "platform/mfc/CDialog.h"
#include "twain/PageThumbItem.h"
#include "twain/TwainSettings.h"

#ifndef WM_MERGE_FINISHED
#define WM_MERGE_FINISHED (WM_USER + 0x35)
#endif

namespace strenvik {

class CMergeImageDlg : public CDialog {
 public:
  enum { IDD = 6013 };
  static constexpr int kItemLongSide = 420;

  // topBottom non-zero: one above the other.
  CMergeImageDlg(int topBottom, CWnd* notifyWindow);
  ~CMergeImageDlg() override;

  void SetSettings(const CTwainSettings& settings) { m_settings = settings; }
  // The first two pages fill the two slots; later ones replace the slots
  // alternately. The first page's shape sizes both slots.
  void AddImage(const cv::Mat& page);
  static void MergeImages(cv::Mat* out, const cv::Mat& first, const cv::Mat& second, int topBottom);

  // The result of the last merge; read by the camera window.
  cv::Mat m_mergedImage;

  const CPageThumbItem* Item(int index) const { return m_items[static_cast<size_t>(index)]; }
  bool IsTopBottom() const { return m_topBottom != 0; }
  bool IsInOrder() const { return m_inOrder != 0; }

  // Command handlers (also driven by tests).
  void OnSwapOrder();
  void OnToggleDirection();
  void OnDeleteImage();
  void OnOK() override;
  void OnCancel() override;

 protected:
  BOOL OnInitDialog() override;
  void OnPaint();
  void OnMouseMove(UINT flags, CPoint point);
  void OnRButtonDown(UINT flags, CPoint point);
  LRESULT OnThumbNotify(WPARAM wParam, LPARAM lParam);
  void OnDestroy();
  DECLARE_MESSAGE_MAP()

 private:
  void Relayout();
  void DeleteItems();

  std::vector<CPageThumbItem*> m_items;
  CTwainSettings m_settings;
  CWnd* m_notifyWindow;
  CRect m_itemRect{0, 0, 0, 0};
  int m_topBottom;
  int m_inOrder = 1;
  int m_pageCount = 0;
  int m_nextItem = 0;
  int m_menuItem = -1;
  bool m_placed = false;  // laid out once
  CPoint m_lastMouse{0, 0};
};

}  // namespace strenvik
