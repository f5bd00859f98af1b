#include "platform/mfc/ControlClasses.h"

#include <vector>

void CComboBox::GetLBText(int index, CString& text) const {
  int length = GetLBTextLen(index);
  if (length < 0) {
    text.Empty();
    return;
  }
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  Send(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  text = buffer.data();
}

LONG CTabCtrl::InsertItem(int index, LPCWSTR text) {
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<LPWSTR>(text);
  return static_cast<LONG>(::SendMessageW(m_hWnd, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::InsertItem(int index, LPCWSTR text) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<LPWSTR>(text);
  return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::InsertItem(int index, LPCWSTR text, int image) {
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_IMAGE;
  item.iItem = index;
  item.pszText = const_cast<LPWSTR>(text);
  item.iImage = image;
  return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int CListCtrl::InsertColumn(int column, LPCWSTR heading, int format, int width, int subItem) {
  LVCOLUMNW entry{};
  entry.mask = LVCF_TEXT | LVCF_FMT;
  entry.fmt = format;
  entry.pszText = const_cast<LPWSTR>(heading);
  if (width >= 0) {
    entry.mask |= LVCF_WIDTH;
    entry.cx = width;
  }
  if (subItem >= 0) {
    entry.mask |= LVCF_SUBITEM;
    entry.iSubItem = subItem;
  }
  return static_cast<int>(::SendMessageW(m_hWnd, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&entry)));
}

int CListCtrl::GetItemImage(int index) const {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  item.iImage = -1;
  ::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return item.iImage;
}

BOOL CListCtrl::SetItemImage(int index, int image) {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = index;
  item.iImage = image;
  return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CImageList::Create(int width, int height, UINT flags, int initial, int grow) {
  DeleteImageList();
  m_hImageList = ImageList_Create(width, height, flags, initial, grow);
  return m_hImageList != nullptr;
}

BOOL CImageList::DeleteImageList() {
  if (!m_hImageList) return FALSE;
  ImageList_Destroy(m_hImageList);
  m_hImageList = nullptr;
  return TRUE;
}

int CImageList::Add(CBitmap* bitmap, CBitmap* mask) {
  return ImageList_Add(m_hImageList, bitmap ? static_cast<HBITMAP>(*bitmap) : nullptr,
                       mask ? static_cast<HBITMAP>(*mask) : nullptr);
}

CString CListCtrl::GetItemText(int index, int subItem) const {
  wchar_t buffer[1024] = {};
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  ::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return CString(buffer);
}

BOOL CListCtrl::SetItemText(int index, int subItem, LPCWSTR text) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.iSubItem = subItem;
  item.pszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemState(int index, UINT state, UINT mask) {
  LVITEMW item{};
  item.state = state;
  item.stateMask = mask;
  return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

BOOL CListCtrl::SetItemData(int index, DWORD_PTR data) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  item.lParam = static_cast<LPARAM>(data);
  return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

DWORD_PTR CListCtrl::GetItemData(int index) const {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  ::SendMessageW(m_hWnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<DWORD_PTR>(item.lParam);
}

CToolTipCtrl::~CToolTipCtrl() {
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(Detach());
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style) {
  vqplatform::RegisterStandardControls();
  HWND hwnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASS, L"", WS_POPUP | style, 0, 0, 0, 0,
                                parent ? parent->GetSafeHwnd() : nullptr, nullptr, nullptr, nullptr);
  return hwnd ? Attach(hwnd) : FALSE;
}

BOOL CToolTipCtrl::AddTool(CWnd* control, LPCWSTR text) {
  if (!control) return FALSE;
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND;
  info.hwnd = ::GetParent(control->GetSafeHwnd());
  info.uId = reinterpret_cast<UINT_PTR>(control->GetSafeHwnd());
  info.lpszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

BOOL CToolTipCtrl::AddTool(CWnd* window, LPCWSTR text, const RECT* rect, UINT_PTR toolId) {
  if (!window) return FALSE;
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = window->GetSafeHwnd();
  info.uId = toolId;
  if (rect) info.rect = *rect;
  info.lpszText = const_cast<LPWSTR>(text);
  return static_cast<BOOL>(::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::UpdateTipText(LPCWSTR text, CWnd* control, UINT_PTR toolId) {
  if (!control) return;
  TOOLINFOW info{};
  info.cbSize = sizeof(info);
  if (toolId == 0) {
    info.hwnd = ::GetParent(control->GetSafeHwnd());
    info.uId = reinterpret_cast<UINT_PTR>(control->GetSafeHwnd());
  } else {
    info.hwnd = control->GetSafeHwnd();
    info.uId = toolId;
  }
  info.lpszText = const_cast<LPWSTR>(text);
  ::SendMessageW(m_hWnd, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}
