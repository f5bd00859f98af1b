#include "twain/MergeImageDlg.h"

#include "platform/mfc/CDC.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/Dialog.h"
#include "platform/win/Menu.h"
#include "resources/Resources.h"
#include "twain/CameraWindowPictures.h"
#include "twain/PageJoin.h"

namespace strenvik {
namespace {

constexpr int kDirection = 6025, kSwap = 6026;
constexpr int kMargin = 7;

}  // namespace

BEGIN_MESSAGE_MAP(CMergeImageDlg, CDialog)
ON_WM_PAINT()
ON_BN_CLICKED(kSwap, OnSwapOrder)
ON_BN_CLICKED(kDirection, OnToggleDirection)
ON_WM_MOUSEMOVE()
ON_WM_RBUTTONDOWN()
ON_MESSAGE(WM_THUMB_NOTIFY, OnThumbNotify)
ON_COMMAND(ID_STRIP_DELETE, OnDeleteImage)
ON_WM_DESTROY()
END_MESSAGE_MAP()

CMergeImageDlg::CMergeImageDlg(int topBottom, CWnd* notifyWindow)
    : CDialog(IDD, nullptr), m_notifyWindow(notifyWindow), m_topBottom(topBottom) {
  RegisterCameraWindowResources();
  for (int id = 0; id < 2; ++id) {
    auto* item = new CPageThumbItem(id);
    item->Init(WM_THUMB_NOTIFY, id, 0, 0, 1, 1, this, true);
    m_items.push_back(item);
  }
}

CMergeImageDlg::~CMergeImageDlg() {
  DestroyWindow();
  DeleteItems();
}

void CMergeImageDlg::DeleteItems() {
  for (CPageThumbItem* item : m_items) delete item;
  m_items.clear();
}

void CMergeImageDlg::AddImage(const cv::Mat& page) {
  if (page.empty() || m_items.size() != 2) return;
  if (m_pageCount == 0) {
    const int shortSide = static_cast<int>(kItemLongSide * 0.75);
    m_itemRect = page.cols > page.rows ? CRect(0, 0, kItemLongSide, shortSide) : CRect(0, 0, shortSide, kItemLongSide);
    for (CPageThumbItem* item : m_items) item->SetRect(0, 0, m_itemRect.Width(), m_itemRect.Height());
  }
  ++m_pageCount;
  for (int i = 0; i < 2; ++i) {
    if (!m_items[static_cast<size_t>(i)]->HasImage()) {
      m_items[static_cast<size_t>(i)]->SetImage(page);
      m_nextItem = 1 - i;
      return;
    }
  }
  m_items[static_cast<size_t>(m_nextItem)]->SetImage(page);
  m_nextItem = 1 - m_nextItem;
}

void CMergeImageDlg::MergeImages(cv::Mat* out, const cv::Mat& first, const cv::Mat& second, int topBottom) {
  if (topBottom)
    StackImagesVertically(out, first, second);
  else
    JoinImagesSideBySide(out, first, second);
}

BOOL CMergeImageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  Relayout();
  return TRUE;
}

void CMergeImageDlg::Relayout() {
  if (m_items.size() != 2 || !m_hWnd) return;
  const int m = kMargin, w = m_itemRect.Width(), h = m_itemRect.Height();
  CRect button, window, client;
  if (CWnd* ok = GetDlgItem(IDOK)) ok->GetClientRect(&button);
  GetWindowRect(&window);
  GetClientRect(&client);
  const int b = button.Height(), fw = window.Width() - client.Width(), fh = window.Height() - client.Height();
  CPageThumbItem* first = m_items[m_inOrder ? 0 : 1];
  CPageThumbItem* second = m_items[m_inOrder ? 1 : 0];
  first->SetRect(m, b + 2 * m, m + w, b + 2 * m + h);
  int width, height;
  if (m_topBottom) {
    SetDlgItemText(kDirection, L"左右合并");
    second->SetRect(m, b + 3 * m + h, m + w, b + 3 * m + 2 * h);
    width = w + fw + 2 * m;
    height = 2 * h + b + fh + 4 * m;
  } else {
    SetDlgItemText(kDirection, L"上下合并");
    second->SetRect(2 * m + w, b + 2 * m, 2 * m + 2 * w, b + 2 * m + h);
    width = 2 * w + fw + 3 * m;
    height = h + b + fh + 3 * m;
  }
  // It opens centred on the camera window; a later layout keeps it around
  // its centre, where the user may have moved it.
  const RECT place = vqplatform::CentredRect(SIZE{width, height}, m_hWnd);
  MoveWindow(place.left, place.top, width, height, TRUE);
  if (!m_placed) CenterWindow(m_notifyWindow);
  m_placed = true;
}

void CMergeImageDlg::OnSwapOrder() {
  m_inOrder = !m_inOrder;
  Relayout();
  if (m_hWnd) Invalidate(TRUE);
}

void CMergeImageDlg::OnToggleDirection() {
  m_topBottom = !m_topBottom;
  Relayout();
  if (m_hWnd) Invalidate(TRUE);
}

void CMergeImageDlg::OnOK() {
  if (m_items.size() != 2 || !m_items[0]->HasImage() || !m_items[1]->HasImage()) {
    MessageBox(L"需要两张图像才能合并", nullptr, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  const cv::Mat first = m_items[m_inOrder ? 0 : 1]->GetPage(), second = m_items[m_inOrder ? 1 : 0]->GetPage();
  MergeImages(&m_mergedImage, first, second, m_topBottom);
  if (m_notifyWindow && m_notifyWindow->GetSafeHwnd())
    m_notifyWindow->PostMessage(WM_MERGE_FINISHED, reinterpret_cast<WPARAM>(this), 1);
}

void CMergeImageDlg::OnCancel() {
  if (m_notifyWindow && m_notifyWindow->GetSafeHwnd())
    m_notifyWindow->PostMessage(WM_MERGE_FINISHED, reinterpret_cast<WPARAM>(this), 0);
}

void CMergeImageDlg::OnPaint() {
  CPaintDC dc(this);
  for (CPageThumbItem* item : m_items) item->Draw(&dc);
}

void CMergeImageDlg::OnMouseMove(UINT, CPoint point) { m_lastMouse = point; }

void CMergeImageDlg::OnRButtonDown(UINT flags, CPoint point) {
  m_lastMouse = point;
  for (CPageThumbItem* item : m_items) item->OnRButtonDown(flags, point.x, point.y);
}

LRESULT CMergeImageDlg::OnThumbNotify(WPARAM wParam, LPARAM lParam) {
  if (lParam != CPageThumbItem::kContextMenu) return 0;
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  m_menuItem = static_cast<int>(wParam);
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_STRIP_MENU));
  POINT screen = m_lastMouse;
  ::ClientToScreen(m_hWnd, &screen);
  TrackPopupMenu(GetSubMenu(menu, 0), TPM_LEFTALIGN, screen.x, screen.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
  return 0;
}

void CMergeImageDlg::OnDeleteImage() {
  if (m_menuItem >= 0 && m_menuItem < 2) {
    m_items[static_cast<size_t>(m_menuItem)]->Clear();
    m_items[static_cast<size_t>(m_menuItem)]->Redraw(true);
  }
  m_menuItem = -1;
}

void CMergeImageDlg::OnDestroy() {
  Default();
  DeleteItems();
}

}  // namespace strenvik
