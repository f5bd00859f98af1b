#pragma once
// The framework's control classes: thin wrappers over the standard
// controls' messages.
#include "platform/mfc/CWnd.h"
#include "platform/mfc/GdiObjectClasses.h"
#include "platform/win/Controls.h"

class CButton : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_BUTTON, caption, style, rect, parent, id);
  }
  int GetCheck() const { return static_cast<int>(::SendMessageW(m_hWnd, BM_GETCHECK, 0, 0)); }
  void SetCheck(int check) { ::SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(check), 0); }
  UINT GetState() const { return static_cast<UINT>(::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0)); }
  void SetState(BOOL pushed) { ::SendMessageW(m_hWnd, BM_SETSTATE, static_cast<WPARAM>(pushed), 0); }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { ::SendMessageW(m_hWnd, BM_SETSTYLE, style, redraw); }
  // Owner-drawn buttons paint here (the parent reflects WM_DRAWITEM).
  virtual void DrawItem(LPDRAWITEMSTRUCT) {}

 protected:
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *result = TRUE;
    return TRUE;
  }
};

class CStatic : public CWnd {
 public:
  using CWnd::Create;
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF) {
    return CWnd::Create(WC_STATIC, text, style, rect, parent, id);
  }
  HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon))); }
  HICON GetIcon() const { return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, STM_GETICON, 0, 0)); }
};

class CEdit : public CWnd {
 public:
  void SetSel(int start, int end) { ::SendMessageW(m_hWnd, EM_SETSEL, static_cast<WPARAM>(start), end); }
  void ReplaceSel(LPCWSTR text) { ::SendMessageW(m_hWnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text)); }
  void LimitText(int count) { ::SendMessageW(m_hWnd, EM_LIMITTEXT, static_cast<WPARAM>(count), 0); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) {
    return static_cast<BOOL>(::SendMessageW(m_hWnd, EM_SETREADONLY, static_cast<WPARAM>(readOnly), 0));
  }
  int GetLineCount() const { return static_cast<int>(::SendMessageW(m_hWnd, EM_GETLINECOUNT, 0, 0)); }
};

class CComboBox : public CWnd {
 public:
  int AddString(LPCWSTR text) { return Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)); }
  int InsertString(int index, LPCWSTR text) {
    return Send(CB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  }
  int DeleteString(UINT index) { return Send(CB_DELETESTRING, index, 0); }
  void ResetContent() { Send(CB_RESETCONTENT, 0, 0); }
  int GetCount() const { return Send(CB_GETCOUNT, 0, 0); }
  int GetCurSel() const { return Send(CB_GETCURSEL, 0, 0); }
  int SetCurSel(int index) { return Send(CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
  int FindStringExact(int after, LPCWSTR text) const {
    return Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text));
  }
  int SelectString(int after, LPCWSTR text) {
    return Send(CB_SELECTSTRING, static_cast<WPARAM>(after), reinterpret_cast<LPARAM>(text));
  }
  void GetLBText(int index, CString& text) const;
  int GetLBTextLen(int index) const { return Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0); }
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(Send(CB_GETITEMDATA, static_cast<WPARAM>(index), 0)); }
  int SetItemData(int index, DWORD_PTR data) {
    return Send(CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
  }
  void ShowDropDown(BOOL show = TRUE) { Send(CB_SHOWDROPDOWN, static_cast<WPARAM>(show), 0); }

 private:
  int Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return static_cast<int>(::SendMessageW(m_hWnd, message, wParam, lParam));
  }
};

class CSliderCtrl : public CWnd {
 public:
  void SetRange(int minimum, int maximum, BOOL redraw = FALSE) {
    ::SendMessageW(m_hWnd, TBM_SETRANGEMIN, FALSE, minimum);
    ::SendMessageW(m_hWnd, TBM_SETRANGEMAX, static_cast<WPARAM>(redraw), maximum);
  }
  void GetRange(int& minimum, int& maximum) const {
    minimum = static_cast<int>(::SendMessageW(m_hWnd, TBM_GETRANGEMIN, 0, 0));
    maximum = static_cast<int>(::SendMessageW(m_hWnd, TBM_GETRANGEMAX, 0, 0));
  }
  int GetPos() const { return static_cast<int>(::SendMessageW(m_hWnd, TBM_GETPOS, 0, 0)); }
  void SetPos(int position) { ::SendMessageW(m_hWnd, TBM_SETPOS, TRUE, position); }
  int SetPageSize(int size) { return static_cast<int>(::SendMessageW(m_hWnd, TBM_SETPAGESIZE, 0, size)); }
  int SetLineSize(int size) { return static_cast<int>(::SendMessageW(m_hWnd, TBM_SETLINESIZE, 0, size)); }
};

class CProgressCtrl : public CWnd {
 public:
  void SetRange(short lower, short upper) { ::SendMessageW(m_hWnd, PBM_SETRANGE, 0, MAKELPARAM(lower, upper)); }
  void SetRange32(int lower, int upper) {
    ::SendMessageW(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(lower), upper);
  }
  int SetPos(int position) { return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETPOS, static_cast<WPARAM>(position), 0)); }
  int GetPos() const { return static_cast<int>(::SendMessageW(m_hWnd, PBM_GETPOS, 0, 0)); }
  int SetStep(int step) { return static_cast<int>(::SendMessageW(m_hWnd, PBM_SETSTEP, static_cast<WPARAM>(step), 0)); }
  int StepIt() { return static_cast<int>(::SendMessageW(m_hWnd, PBM_STEPIT, 0, 0)); }
};

class CTabCtrl : public CWnd {
 public:
  LONG InsertItem(int index, LPCWSTR text);
  int GetItemCount() const { return static_cast<int>(::SendMessageW(m_hWnd, TCM_GETITEMCOUNT, 0, 0)); }
  int GetCurSel() const { return static_cast<int>(::SendMessageW(m_hWnd, TCM_GETCURSEL, 0, 0)); }
  int SetCurSel(int index) { return static_cast<int>(::SendMessageW(m_hWnd, TCM_SETCURSEL, static_cast<WPARAM>(index), 0)); }
  void AdjustRect(BOOL larger, LPRECT rect) {
    ::SendMessageW(m_hWnd, TCM_ADJUSTRECT, static_cast<WPARAM>(larger), reinterpret_cast<LPARAM>(rect));
  }
  BOOL DeleteAllItems() { return static_cast<BOOL>(::SendMessageW(m_hWnd, TCM_DELETEALLITEMS, 0, 0)); }
};

// Pictures of one size for list views; owns its list.
class CImageList {
 public:
  CImageList() = default;
  ~CImageList() { DeleteImageList(); }
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;

  HIMAGELIST m_hImageList = nullptr;
  operator HIMAGELIST() const { return m_hImageList; }  // NOLINT
  BOOL Create(int width, int height, UINT flags, int initial, int grow);
  BOOL DeleteImageList();
  int Add(CBitmap* bitmap, CBitmap* mask);
  BOOL Remove(int index) { return ImageList_Remove(m_hImageList, index); }
  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
};

class CListCtrl : public CWnd {
 public:
  int InsertItem(int index, LPCWSTR text);
  int InsertItem(int index, LPCWSTR text, int image);
  int InsertColumn(int column, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  // The list's previous image list of that kind (LVSIL_NORMAL, LVSIL_SMALL).
  HIMAGELIST SetImageList(CImageList* list, int kind) {
    return reinterpret_cast<HIMAGELIST>(::SendMessageW(m_hWnd, LVM_SETIMAGELIST, static_cast<WPARAM>(kind),
                                                       reinterpret_cast<LPARAM>(list ? list->m_hImageList : nullptr)));
  }
  BOOL EnsureVisible(int index, BOOL partialOk) {
    return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), partialOk));
  }
  // The item's picture index, -1 for none.
  int GetItemImage(int index) const;
  BOOL SetItemImage(int index, int image);
  int GetItemCount() const { return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)); }
  CString GetItemText(int index, int subItem) const;
  BOOL SetItemText(int index, int subItem, LPCWSTR text);
  BOOL DeleteItem(int index) { return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0)); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(::SendMessageW(m_hWnd, LVM_DELETEALLITEMS, 0, 0)); }
  int GetNextItem(int start, int flags) const {
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(start), flags));
  }
  BOOL SetItemState(int index, UINT state, UINT mask);
  UINT GetItemState(int index, UINT mask) const {
    return static_cast<UINT>(::SendMessageW(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
  }
  BOOL SetItemData(int index, DWORD_PTR data);
  DWORD_PTR GetItemData(int index) const;
};

class CToolTipCtrl : public CWnd {
 public:
  ~CToolTipCtrl() override;
  // A top-level tooltip window owned by `parent`.
  BOOL Create(CWnd* parent, DWORD style = 0);
  BOOL AddTool(CWnd* control, LPCWSTR text);
  BOOL AddTool(CWnd* window, LPCWSTR text, const RECT* rect, UINT_PTR toolId);
  void UpdateTipText(LPCWSTR text, CWnd* control, UINT_PTR toolId = 0);
  void Activate(BOOL active) { ::SendMessageW(m_hWnd, TTM_ACTIVATE, static_cast<WPARAM>(active), 0); }
  void SetTipTextColor(COLORREF color) { ::SendMessageW(m_hWnd, TTM_SETTIPTEXTCOLOR, color, 0); }
  void SetTipBkColor(COLORREF color) { ::SendMessageW(m_hWnd, TTM_SETTIPBKCOLOR, color, 0); }
  void SetDelayTime(UINT delay) { ::SendMessageW(m_hWnd, TTM_SETDELAYTIME, TTDT_AUTOMATIC, static_cast<LPARAM>(delay)); }
  void SetDelayTime(DWORD kind, int delay) { ::SendMessageW(m_hWnd, TTM_SETDELAYTIME, kind, delay); }
  void RelayEvent(MSG* msg) { ::SendMessageW(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg)); }
};
