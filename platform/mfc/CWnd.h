#pragma once
// The framework's window class: a CWnd is attached to an HWND, routes the
// window's messages through its message map and exchanges data with its
// controls (DoDataExchange / UpdateData).
#include "platform/mfc/CString.h"
#include "platform/mfc/Geometry.h"
#include "platform/mfc/MessageMap.h"
#include "platform/win/Dialog.h"
#include "platform/win/Icons.h"
#include "platform/win/InputFocus.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"

class CDataExchange;

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }  // NOLINT

  // The object attached to a window, or a temporary one that lives as long
  // as the window; null for no window.
  static CWnd* FromHandle(HWND hwnd);
  static CWnd* FromHandlePermanent(HWND hwnd);
  BOOL Attach(HWND hwnd);
  HWND Detach();
  // Attaches this object to a dialog's control and routes the control's
  // messages through this object's map first.
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  BOOL SubclassWindow(HWND hwnd);

  // Creates a window and attaches this object to it. A class from
  // AfxRegisterWndClass (or null, a plain framework class) routes every
  // message from the first one through this object; other classes are
  // subclassed once created.
  BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                CWnd* parent, UINT id, LPVOID param = nullptr);
  BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  virtual BOOL DestroyWindow();
  virtual BOOL PreTranslateMessage(MSG* msg);
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

  CWnd* GetDlgItem(int id) const;
  CWnd* GetParent() const;
  int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
  void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
  void SetDlgItemText(int id, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }
  int GetDlgItemText(int id, CString& text) const;
  UINT GetDlgItemInt(int id, BOOL* translated = nullptr, BOOL isSigned = TRUE) const {
    return ::GetDlgItemInt(m_hWnd, id, translated, isSigned);
  }
  void SetDlgItemInt(int id, UINT value, BOOL isSigned = TRUE) { ::SetDlgItemInt(m_hWnd, id, value, isSigned); }
  void CheckDlgButton(int id, UINT check) { ::CheckDlgButton(m_hWnd, id, check); }
  UINT IsDlgButtonChecked(int id) const { return ::IsDlgButtonChecked(m_hWnd, id); }
  void CheckRadioButton(int first, int last, int check) { ::CheckRadioButton(m_hWnd, first, last, check); }
  BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
  BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
  BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
  BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
  void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
  void InvalidateRect(const RECT* rect, BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, rect, erase); }
  void UpdateWindow() { ::UpdateWindow(m_hWnd); }
  void GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
  void GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
  void ScreenToClient(LPRECT rect) const;
  void ClientToScreen(LPRECT rect) const;
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, x, y, width, height, repaint);
  }
  void MoveWindow(const RECT* rect, BOOL repaint = TRUE) {
    ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
  }
  CWnd* SetFocus();
  // A top-level window centred on `alternateOwner`, else on its owner (the
  // work area without one), inside the work area.
  void CenterWindow(CWnd* alternateOwner = nullptr);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
  }
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
  }
  UINT_PTR SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc);
  BOOL KillTimer(UINT_PTR id);
  int MessageBox(LPCWSTR text, LPCWSTR caption = nullptr, UINT type = MB_OK) {
    return ::MessageBoxW(m_hWnd, text, caption, type);
  }
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
  DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_EXSTYLE)); }
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  // The window's big or small icon (WM_SETICON); returns the previous one.
  HICON SetIcon(HICON icon, BOOL bigIcon) {
    return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
  }
  HICON GetIcon(BOOL bigIcon) const {
    return reinterpret_cast<HICON>(::SendMessageW(m_hWnd, WM_GETICON, bigIcon ? ICON_BIG : ICON_SMALL, 0));
  }
  // Tips come from the tooltip controls the windows create themselves.
  BOOL EnableToolTips(BOOL enable = TRUE) { return enable; }
  // The hourglass until EndWaitCursor (see CWaitCursor).
  void BeginWaitCursor();
  void EndWaitCursor();
  void RestoreWaitCursor();

  // Message handling: WindowProc runs OnWndMsg, then Default handling.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Messages a parent reflects to the control they concern (WM_DRAWITEM);
  // TRUE when the control handled it.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Default();

 protected:
  virtual void DoDataExchange(CDataExchange* dx);
  // May change the creation parameters before CreateEx makes the window;
  // FALSE cancels the creation.
  virtual BOOL PreCreateWindow(CREATESTRUCTW& create);
  virtual void PostNcDestroy() {}
  // Runs once a window has been subclassed by this object.
  virtual void PreSubclassWindow() {}
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
  // Runs the map's entry for a message, if any.
  bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  WNDPROC m_superProc = nullptr;  // a subclassed control's own procedure
  const MSG* m_currentMessage = nullptr;

 private:
  friend LRESULT CALLBACK VqSubclassProc(HWND, UINT, WPARAM, LPARAM);
  bool m_permanent = false;
};

// A scroll message names its control as a CScrollBar*; the control is usually
// a slider, so the pointer must stay a plain window (comparing it with the
// slider's own object, or asking its id, is what handlers do).
using CScrollBar = CWnd;

// Shows the hourglass for its lifetime; the cursor before comes back after.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
  void Restore();

 private:
  HCURSOR previous_;
};

// Routes a window's messages to its attached CWnd (used by CDialog and
// subclassed controls).
LRESULT CALLBACK VqSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// A framework window class with these attributes (registered once); its
// windows are routed to the CWnd that creates them.
LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                            HICON icon = nullptr);
