// The camera window's page strip: the multi-shot switch that adds a column
// with four page thumbnails, paging, deleting and moving pages through the
// thumbnails' context menu, and the mouse and paint forwarding to them.
#include "platform/mfc/CDC.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/Menu.h"
#include "resources/Resources.h"
#include "twain/PageThumbItem.h"
#include "twain/PaldroseDlg.h"

namespace strenvik {
namespace {

constexpr int kStripWidth = 138;
constexpr int kStripItems = 4;

}  // namespace

void CPaldroseDlg::OnMultiShotCheck() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  // Only the box is read: the exposure edit may hold no number.
  m_multiShot = IsDlgButtonChecked(6027) == BST_CHECKED ? 1 : 0;
  m_settings.MULTIPLE = m_multiShot == 1;
  CRect window;
  GetWindowRect(&window);
  if (m_multiShot == 1) {
    for (int id : {6012, 6011}) GetDlgItem(id)->ShowWindow(SW_SHOW);
    CRect button, client;
    GetDlgItem(6031)->GetWindowRect(&button);
    const int h = button.Height();
    GetClientRect(&client);
    GetDlgItem(6031)->MoveWindow(client.right + 5, 5, 66, h);
    MoveWindow(window.left, window.top, window.Width() + kStripWidth, window.Height(), TRUE);
    for (int id : {6031, 6032}) GetDlgItem(id)->ShowWindow(SW_SHOW);
    GetClientRect(&client);
    GetDlgItem(6032)->MoveWindow(client.right - 5 - 61, 5, 61, h);
    const int itemHeight = (client.Height() - h - 15) / kStripItems;
    CRect rect(client.right - 133, h + 10, client.right - 5, h + 10 + itemHeight - 5);
    DeleteThumbnails();
    for (int j = 0; j < kStripItems; ++j) {
      auto* item = new CPageThumbItem(-1);
      item->Init(WM_THUMB_NOTIFY, j, rect.left, rect.top, rect.right, rect.bottom, this, true);
      item->SetBitmapResource(IDB_STRIP_PLACEHOLDER);
      m_thumbnails.push_back(item);
      rect.OffsetRect(0, itemHeight);
    }
  } else {
    for (int id : {6012, 6011}) GetDlgItem(id)->ShowWindow(SW_HIDE);
    MoveWindow(window.left, window.top, window.Width() - kStripWidth, window.Height(), TRUE);
    DeleteThumbnails();
    m_pages.clear();
    m_pageCount = 0;
    ShowPageCount();
  }
}

void CPaldroseDlg::DeleteThumbnails() {
  for (CPageThumbItem* item : m_thumbnails) delete item;
  m_thumbnails.clear();
  m_selectedThumbnail = -1;
}

void CPaldroseDlg::RefreshThumbnails(int first) {
  const int pages = static_cast<int>(m_pages.size()), items = static_cast<int>(m_thumbnails.size());
  if (items == 0 || first + 1 > pages) return;
  for (CPageThumbItem* item : m_thumbnails) {
    item->Clear();
    item->SetBitmapResource(IDB_STRIP_PLACEHOLDER);
  }
  auto show = [&](int item, int page) {
    CPageThumbItem* thumbnail = m_thumbnails[static_cast<size_t>(item)];
    thumbnail->m_index = page;
    thumbnail->SetImage(m_pages[static_cast<size_t>(page)]);
  };
  if (first < 0) {
    const int start = pages > items ? pages - items : 0;
    for (int k = 0; k < items && start + k < pages; ++k) show(k, start + k);
  } else {
    for (int i = 0; i < items && first + i < pages; ++i) show(i, first + i);
  }
  for (CPageThumbItem* item : m_thumbnails) item->Redraw(true);
}

void CPaldroseDlg::RefreshThumbnailsAfterAdding() {
  if (m_thumbnails.empty() || m_pages.empty()) return;
  const int first = m_thumbnails.front()->m_index;
  const bool fits = static_cast<int>(m_pages.size()) - first < static_cast<int>(m_thumbnails.size());
  RefreshThumbnails(fits ? first : -1);
}

void CPaldroseDlg::OnPrevious() {
  if (m_thumbnails.empty() || m_pages.empty()) return;
  const int first = m_thumbnails.front()->m_index;
  if (first > 0) RefreshThumbnails(first - 1);
}

void CPaldroseDlg::OnNext() {
  if (m_thumbnails.empty() || m_pages.empty()) return;
  const int first = m_thumbnails.front()->m_index;
  if (first < static_cast<int>(m_pages.size()) - 1) RefreshThumbnails(first + 1);
}

LRESULT CPaldroseDlg::OnThumbNotify(WPARAM wParam, LPARAM lParam) {
  if (lParam != CPageThumbItem::kContextMenu) return 0;
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  m_selectedThumbnail = static_cast<int>(wParam);
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_STRIP_MENU));
  HMENU popup = GetSubMenu(menu, 0);
  HMENU moveTo = GetSubMenu(popup, 1);
  for (int k = 0; k + 1 < static_cast<int>(m_pages.size()); ++k) {
    CString text;
    text.Format(L"第%02d位", k + 2);
    AppendMenuW(moveTo, MF_STRING, static_cast<UINT_PTR>(ID_STRIP_MOVE_FIRST + 1 + k), text);
  }
  POINT screen = m_mousePoint;
  ::ClientToScreen(m_hWnd, &screen);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
  return 0;
}

void CPaldroseDlg::OnDeleteThumb() {
  const int items = static_cast<int>(m_thumbnails.size());
  if (m_selectedThumbnail < 0 || m_selectedThumbnail >= items) return;
  CPageThumbItem* selected = m_thumbnails[static_cast<size_t>(m_selectedThumbnail)];
  const int target = selected->m_index;
  selected->Clear();
  selected->Redraw(true);
  if (target >= 0 && target < static_cast<int>(m_pages.size())) {
    m_pages.erase(m_pages.begin() + target);
    m_pageCount = static_cast<int>(m_pages.size());
    ShowPageCount();
  }
  // The first item is empty when it showed the deleted page.
  const int first = m_thumbnails[0]->m_index >= 0 || items < 2 ? m_thumbnails[0]->m_index
                                                                 : m_thumbnails[1]->m_index - 1;
  RefreshThumbnails(first);
  m_selectedThumbnail = -1;
}

BOOL CPaldroseDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam), pages = static_cast<int>(m_pages.size());
  if (id >= ID_STRIP_MOVE_FIRST && id < ID_STRIP_MOVE_FIRST + pages && m_selectedThumbnail >= 0 &&
      m_selectedThumbnail < static_cast<int>(m_thumbnails.size())) {
    const int target = id - ID_STRIP_MOVE_FIRST;
    const int from = m_thumbnails[static_cast<size_t>(m_selectedThumbnail)]->m_index;
    if (from >= 0 && from < pages && from != target) {
      cv::Mat page = m_pages[static_cast<size_t>(from)];
      m_pages.erase(m_pages.begin() + from);
      m_pages.insert(m_pages.begin() + target, page);
      RefreshThumbnails(-1);
    }
  }
  return CDialog::OnCommand(wParam, lParam);
}

void CPaldroseDlg::OnPaint() {
  CPaintDC dc(this);
  for (CPageThumbItem* item : m_thumbnails) item->Draw(&dc);
}

void CPaldroseDlg::OnMouseMove(UINT flags, CPoint point) {
  m_mousePoint = point;
  for (CPageThumbItem* item : m_thumbnails) item->OnMouseMove(flags, point.x, point.y);
  Default();
}

void CPaldroseDlg::OnRButtonDown(UINT flags, CPoint point) {
  m_mousePoint = point;
  for (CPageThumbItem* item : m_thumbnails) item->OnRButtonDown(flags, point.x, point.y);
  Default();
}

void CPaldroseDlg::OnLButtonDown(UINT flags, CPoint point) {
  for (CPageThumbItem* item : m_thumbnails) item->OnLButtonDown(flags, point.x, point.y);
  Default();
}

void CPaldroseDlg::OnLButtonUp(UINT flags, CPoint point) {
  // An item's preview runs modally in here, and the strip may be switched
  // off meanwhile: the list is read afresh for every item.
  for (size_t i = 0; i < m_thumbnails.size(); ++i) m_thumbnails[i]->OnLButtonUp(flags, point.x, point.y);
  Default();
}

}  // namespace strenvik
