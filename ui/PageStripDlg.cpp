#include "ui/PageStripDlg.h"

#include <algorithm>
#include <string>

#include "platform/display/Cursors.h"
#include "platform/mfc/CDC.h"
#include "platform/win/FileSystem.h"
#include "platform/win/GdiLayered.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"
#include "resources/Resources.h"
#include "ui/DocumentPages.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kPreviousPage = 1091, kNextPage = 1092, kSave = 1032, kCancel = 1033;
// The colour key shows through; the rest is drawn at 240 of 255.
constexpr COLORREF kLayerKey = RGB(255, 250, 250);
constexpr BYTE kLayerAlpha = 240;
// The empty page picture's size when the picture is missing.
constexpr int kSlotWidth = 129, kSlotHeight = 146;
const LanguageText kUnsavedPages{
    L"已收集的%d页尚未保存为文档：\n%s\n\n是：保存文档\n否：丢弃这些页\n取消：返回",
    L"已收集的%d頁尚未儲存為文件：\n%s\n\n是：儲存文件\n否：捨棄這些頁\n取消：返回",
    L"%d collected pages have not been saved as a document:\n%s\n\nYes: save the document\nNo: discard the "
    L"pages\nCancel: go back"};

}  // namespace

BEGIN_MESSAGE_MAP(CPageStripDlg, CDialog)
ON_BN_CLICKED(kPreviousPage, OnPreviousPage)
ON_BN_CLICKED(kNextPage, OnNextPage)
ON_BN_CLICKED(kSave, OnSave)
ON_BN_CLICKED(kCancel, OnCancelButton)
ON_COMMAND(ID_PAGE_DELETE, OnDeletePage)
ON_MESSAGE(WM_THUMB_NOTIFY, OnThumbNotify)
ON_WM_CLOSE()
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_RBUTTONDOWN()
END_MESSAGE_MAP()

CPageStripDlg::CPageStripDlg(UINT templateId, CWnd* parent, int mode, int itemLeft)
    : CDialog(templateId, parent), mode(mode), itemLeft_(itemLeft) {
  vqres::LoadResources();
}

CPageStripDlg::~CPageStripDlg() {
  if (!settings.keepMergeSources)
    for (const CString& page : pages) DeleteFileW(page);
  if (m_hWnd) DestroyWindow();
  DeleteItems();
}

void CPageStripDlg::DeleteItems() {
  for (CThumbItem* item : items_) delete item;
  items_.clear();
}

BOOL CPageStripDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
  SetLayeredWindowAttributes(m_hWnd, kLayerKey, kLayerAlpha, LWA_COLORKEY | LWA_ALPHA);
  int width = kSlotWidth, height = kSlotHeight;
  CThumbItem measure(-1);
  if (measure.SetBitmapResource(IDB_EMPTY_PAGE)) {
    width = measure.GetWidth();
    height = measure.GetHeight();
  }
  for (int i = 0; i < kItemCount; ++i) {
    auto* item = new CThumbItem(-1);
    const int top = kItemTop + i * (height + kItemGap);
    item->Init(WM_THUMB_NOTIFY, i, itemLeft_, top, itemLeft_ + width, top + height, this, true);
    items_.push_back(item);
  }
  // Return means "Combine", from the start.
  ::SendMessageW(m_hWnd, DM_SETDEFID, kSave, 0);
  if (HWND save = ::GetDlgItem(m_hWnd, kSave)) ::SetFocus(save);
  return FALSE;
}

void CPageStripDlg::ShowPages(int start) {
  const int count = static_cast<int>(pages.size()), slots = static_cast<int>(items_.size());
  if (items_.empty() || start + 1 > count) return;
  for (CThumbItem* item : items_) {
    item->Clear();
    item->SetBitmapResource(IDB_EMPTY_PAGE);
  }
  int first = start;
  if (start < 0) first = count > slots ? count - slots : 0;
  for (int i = 0; i < slots && first + i < count; ++i) {
    CThumbItem* item = items_[static_cast<size_t>(i)];
    item->m_index = first + i;
    const CString& page = pages[static_cast<size_t>(first + i)];
    // A page file that no longer loads keeps its place, number and menu, so
    // it can still be deleted or moved.
    if (!item->LoadFile(page)) {
      item->SetBitmapResource(IDB_EMPTY_PAGE);
      item->SetFilePath(page);
    }
  }
  Invalidate(TRUE);
}

void CPageStripDlg::OnPreviousPage() {
  if (PagesOverflow() && FirstShown() > 0) ShowPages(FirstShown() - 1);
}

void CPageStripDlg::OnNextPage() {
  if (PagesOverflow() && items_.back()->m_index + 1 != static_cast<int>(pages.size())) ShowPages(FirstShown() + 1);
}

int CPageStripDlg::PageType(size_t page) const {
  return page < pageTypes.size() ? pageTypes[page] : settings.colorMode;
}

CPageStripDlg::WriteResult CPageStripDlg::WriteDocument(HWND owner, int language, bool mayAsk) {
  if (pages.empty()) return WriteResult::kWritten;
  std::vector<size_t> leftOut;
  if (!ChooseReadablePages(owner, mayAsk, language, pages, mode == 0, outputPath, &leftOut)) return WriteResult::kKept;
  const std::vector<CString> allPages = pages;
  const std::vector<int> allTypes = pageTypes;
  for (auto page = leftOut.rbegin(); page != leftOut.rend(); ++page) {
    pages.erase(pages.begin() + static_cast<std::ptrdiff_t>(*page));
    if (*page < pageTypes.size()) pageTypes.erase(pageTypes.begin() + static_cast<std::ptrdiff_t>(*page));
  }
  HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  bool written = false;
  if (mode == 1) {
    std::vector<int> types;
    for (size_t i = 0; i < pages.size(); ++i) types.push_back(PageType(i));
    const vq::TiffPageFormat format = TiffFormat();
    written = WriteTiffDocument(outputPath, pages, types, format.xDpi, format.yDpi, format.jpegQuality);
  } else {
    written = WritePdfDocument(outputPath, pages);
  }
  SetCursor(previous);
  if (written) return WriteResult::kWritten;
  pages = allPages;
  pageTypes = allTypes;
  return WriteResult::kFailed;
}

// A document that is not written keeps the dialog and its pages, so
// nothing captured is lost; the user can try again or cancel.
void CPageStripDlg::OnSave() {
  if (closed_) return;
  const WriteResult result = WriteDocument(m_hWnd, language_, true);
  if (result == WriteResult::kFailed) ReportDocumentNotSaved(m_hWnd, language_, outputPath);
  if (result != WriteResult::kWritten) {
    ShowPages(-1);
    return;
  }
  OnClose();
  EndDialog(IDCANCEL);
}

CPageStripDlg::CloseAnswer CPageStripDlg::AskBeforeClosing(HWND owner, int language) {
  if (closed_ || pages.empty()) return CloseAnswer::kDiscarded;
  CString question;
  question.Format(kUnsavedPages.In(language), static_cast<int>(pages.size()), outputPath.GetString());
  const int answer = ::MessageBoxW(owner, question, L"", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON1);
  if (answer == IDNO) return CloseAnswer::kDiscarded;
  if (answer != IDYES) return CloseAnswer::kStay;
  const WriteResult result = WriteDocument(owner, language, true);
  if (result == WriteResult::kFailed) ReportDocumentNotSaved(owner, language, outputPath);
  return result == WriteResult::kWritten ? CloseAnswer::kWritten : CloseAnswer::kStay;
}

void CPageStripDlg::SaveBeforeForcedClose() {
  if (closed_ || pages.empty()) return;
  // Pages that cannot become the document stay on disk.
  if (WriteDocument(nullptr, language_, false) != WriteResult::kWritten) pages.clear();
}

void CPageStripDlg::OnCancelButton() {
  OnClose();
  EndDialog(IDCANCEL);
}

void CPageStripDlg::OnClose() {
  if (!closed_ && m_pParentWnd && m_pParentWnd->GetSafeHwnd())
    ::PostMessageW(m_pParentWnd->GetSafeHwnd(), WM_MULTIPAGE_CLOSED, 0, 0);
  closed_ = true;
  DeleteItems();
  Invalidate(TRUE);
}

int CPageStripDlg::MenuPage() const {
  if (menuItem_ < 0 || menuItem_ >= static_cast<int>(items_.size())) return -1;
  return items_[static_cast<size_t>(menuItem_)]->m_index;
}

void CPageStripDlg::OnDeletePage() {
  const int page = MenuPage();
  if (page < 0 || page >= static_cast<int>(pages.size())) return;
  DeleteFileW(pages[static_cast<size_t>(page)]);
  pages.erase(pages.begin() + page);
  if (page < static_cast<int>(pageTypes.size())) pageTypes.erase(pageTypes.begin() + page);
  menuItem_ = -1;
  ShowPages(-1);
}

// "n之前" puts the page where page n stands now, before it.
void CPageStripDlg::MovePage(int from, int before) {
  const int count = static_cast<int>(pages.size());
  if (from < 0 || from >= count || before < 0 || before >= count || from == before) return;
  const int at = from < before ? before - 1 : before;
  CString page = pages[static_cast<size_t>(from)];
  pages.erase(pages.begin() + from);
  pages.insert(pages.begin() + at, page);
  if (from < static_cast<int>(pageTypes.size())) {
    const int type = pageTypes[static_cast<size_t>(from)];
    pageTypes.erase(pageTypes.begin() + from);
    pageTypes.insert(pageTypes.begin() + std::min(at, static_cast<int>(pageTypes.size())), type);
  }
  ShowPages(-1);
}

BOOL CPageStripDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const UINT id = LOWORD(wParam);
  if (lParam == 0 && id >= ID_PAGE_INSERT_FIRST && id < ID_PAGE_INSERT_FIRST + pages.size())
    MovePage(MenuPage(), static_cast<int>(id - ID_PAGE_INSERT_FIRST));
  return CDialog::OnCommand(wParam, lParam);
}

LRESULT CPageStripDlg::OnThumbNotify(WPARAM wParam, LPARAM lParam) {
  const int item = static_cast<int>(wParam);
  if (lParam != CThumbItem::kThumbContextMenu || item > static_cast<int>(pages.size()) - 1) return 0;
  menuItem_ = item;
  HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_PAGE_MENU));
  HMENU popup = GetSubMenu(menu, 0);
  HMENU insert = GetSubMenu(popup, 1);
  for (int n = 2; n <= static_cast<int>(pages.size()); ++n) {
    const std::wstring text = std::to_wstring(n) + L"之前";
    AppendMenuW(insert, MF_STRING, ID_PAGE_INSERT_FIRST + static_cast<UINT>(n - 1), text.c_str());
  }
  POINT screen = mousePoint_;
  ::ClientToScreen(m_hWnd, &screen);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, m_hWnd, nullptr);
  DestroyMenu(menu);
  return 0;
}

void CPageStripDlg::OnPaint() {
  CPaintDC dc(this);
  for (CThumbItem* item : items_) item->Draw(&dc);
}

void CPageStripDlg::OnLButtonDown(UINT flags, CPoint point) {
  for (CThumbItem* item : items_) item->OnLButtonDown(flags, point.x, point.y);
}

void CPageStripDlg::OnLButtonUp(UINT flags, CPoint point) {
  for (CThumbItem* item : items_) item->OnLButtonUp(flags, point.x, point.y);
}

void CPageStripDlg::OnRButtonDown(UINT flags, CPoint point) {
  mousePoint_ = point;
  for (CThumbItem* item : items_) item->OnRButtonDown(flags, point.x, point.y);
}
