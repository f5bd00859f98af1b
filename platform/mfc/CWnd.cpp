#include "platform/mfc/CWnd.h"

#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "platform/display/Cursors.h"
#include "platform/mfc/DataExchange.h"
#include "platform/win/Singletons.h"
#include "platform/win/Timers.h"

namespace {

constexpr const char* kPermanent = "cwnd";
constexpr const char* kTemporary = "cwnd-temporary";

}  // namespace

CWnd::~CWnd() {
  if (m_permanent && m_hWnd) Detach();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto holder = std::static_pointer_cast<CWnd*>(vqplatform::GetWindowAttachment(hwnd, kPermanent));
  return holder ? *holder : nullptr;
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd || !::IsWindow(hwnd)) return nullptr;
  if (CWnd* permanent = FromHandlePermanent(hwnd)) return permanent;
  auto temporary = std::static_pointer_cast<CWnd>(vqplatform::GetWindowAttachment(hwnd, kTemporary));
  if (!temporary) {
    temporary = std::make_shared<CWnd>();
    temporary->m_hWnd = hwnd;
    vqplatform::SetWindowAttachment(hwnd, kTemporary, temporary);
  }
  return temporary.get();
}

BOOL CWnd::Attach(HWND hwnd) {
  if (!hwnd || m_hWnd) return FALSE;
  m_hWnd = hwnd;
  m_permanent = true;
  vqplatform::SetWindowAttachment(hwnd, kPermanent, std::make_shared<CWnd*>(this));
  return TRUE;
}

HWND CWnd::Detach() {
  HWND hwnd = m_hWnd;
  if (hwnd && m_permanent && FromHandlePermanent(hwnd) == this) {
    if (m_superProc && ::IsWindow(hwnd))
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
    vqplatform::SetWindowAttachment(hwnd, kPermanent, nullptr);
  }
  m_superProc = nullptr;
  m_hWnd = nullptr;
  m_permanent = false;
  return hwnd;
}

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (!Attach(hwnd)) return FALSE;
  m_superProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&VqSubclassProc)));
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  return parent ? SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id))) : FALSE;
}

namespace {

thread_local CWnd* pendingCreate = nullptr;

LRESULT CALLBACK FrameworkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!CWnd::FromHandlePermanent(hwnd) && pendingCreate) {
    CWnd* window = pendingCreate;
    pendingCreate = nullptr;
    window->Attach(hwnd);
  }
  return VqSubclassProc(hwnd, message, wParam, lParam);
}

bool IsFrameworkClass(LPCWSTR className) {
  WNDCLASSW info{};
  return className && ::GetClassInfoW(nullptr, className, &info) && info.lpfnWndProc == &FrameworkProc;
}

}  // namespace

LPCWSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon) {
  static std::mutex mutex;
  // Kept: the class names are the registered classes' own.
  static auto& names = *vqplatform::MakeSingleton<std::set<std::wstring>>();
  std::wstring name = L"VqWnd:" + std::to_wstring(classStyle) + L":" +
                      std::to_wstring(reinterpret_cast<uintptr_t>(cursor)) + L":" +
                      std::to_wstring(reinterpret_cast<uintptr_t>(background)) + L":" +
                      std::to_wstring(reinterpret_cast<uintptr_t>(icon));
  std::lock_guard lock(mutex);
  auto [stored, added] = names.insert(name);
  if (added) {
    WNDCLASSW windowClass{};
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = &FrameworkProc;
    windowClass.hCursor = cursor;
    windowClass.hbrBackground = background;
    windowClass.hIcon = icon;
    windowClass.lpszClassName = stored->c_str();
    ::RegisterClassW(&windowClass);
  }
  return stored->c_str();
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                    UINT id, LPVOID param) {
  if (m_hWnd) return FALSE;
  CREATESTRUCTW create{param,
                       nullptr,
                       (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr,
                       parent ? parent->GetSafeHwnd() : nullptr,
                       static_cast<int>(rect.bottom - rect.top),
                       static_cast<int>(rect.right - rect.left),
                       static_cast<int>(rect.top),
                       static_cast<int>(rect.left),
                       static_cast<LONG>(style),
                       windowName ? windowName : L"",
                       className,
                       exStyle};
  if (!PreCreateWindow(create)) return FALSE;
  className = create.lpszClass ? create.lpszClass : AfxRegisterWndClass(CS_DBLCLKS);
  bool framework = IsFrameworkClass(className);
  if (framework) pendingCreate = this;
  HWND hwnd = ::CreateWindowExW(create.dwExStyle, className, create.lpszName, static_cast<DWORD>(create.style), create.x,
                                create.y, create.cx, create.cy, create.hwndParent, create.hMenu, nullptr,
                                create.lpCreateParams);
  if (framework) {
    pendingCreate = nullptr;
    return hwnd && m_hWnd == hwnd ? TRUE : FALSE;
  }
  return hwnd ? SubclassWindow(hwnd) : FALSE;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id);
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

void CWnd::CenterWindow(CWnd* alternateOwner) {
  if (!m_hWnd) return;
  HWND over = alternateOwner ? alternateOwner->GetSafeHwnd() : ::GetWindow(m_hWnd, GW_OWNER);
  RECT own{};
  ::GetWindowRect(m_hWnd, &own);
  RECT placed = vqplatform::CentredRect(SIZE{own.right - own.left, own.bottom - own.top}, over);
  ::SetWindowPos(m_hWnd, nullptr, placed.left, placed.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

namespace {
// The window whose controls' notifications are ignored while its data is
// exchanged: setting a control's text must not run a handler that
// exchanges the half-written data back.
thread_local HWND lockedOutWindow = nullptr;
}  // namespace

BOOL CWnd::UpdateData(BOOL saveAndValidate) {
  const HWND previous = lockedOutWindow;
  lockedOutWindow = m_hWnd;
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  lockedOutWindow = previous;
  return exchange.m_failed ? FALSE : TRUE;
}

void CWnd::DoDataExchange(CDataExchange*) {}

CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }

void CWnd::GetWindowText(CString& text) const {
  int length = ::GetWindowTextLengthW(m_hWnd);
  std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
  int copied = ::GetWindowTextW(m_hWnd, buffer.data(), length + 1);
  buffer.resize(static_cast<size_t>(copied > 0 ? copied : 0));
  text = CString(buffer);
}

int CWnd::GetDlgItemText(int id, CString& text) const {
  HWND control = ::GetDlgItem(m_hWnd, id);
  if (!control) {
    text.Empty();
    return 0;
  }
  FromHandle(control)->GetWindowText(text);
  return text.GetLength();
}

void CWnd::ScreenToClient(LPRECT rect) const {
  POINT topLeft{rect->left, rect->top}, bottomRight{rect->right, rect->bottom};
  ::ScreenToClient(m_hWnd, &topLeft);
  ::ScreenToClient(m_hWnd, &bottomRight);
  *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

void CWnd::ClientToScreen(LPRECT rect) const {
  POINT topLeft{rect->left, rect->top}, bottomRight{rect->right, rect->bottom};
  ::ClientToScreen(m_hWnd, &topLeft);
  ::ClientToScreen(m_hWnd, &bottomRight);
  *rect = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapse, proc); }

BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }

BOOL CWnd::PreCreateWindow(CREATESTRUCTW&) { return TRUE; }

namespace {

// Removes and adds style bits; FALSE when nothing changes.
BOOL ChangeStyleBits(HWND hwnd, int index, DWORD remove, DWORD add) {
  DWORD style = static_cast<DWORD>(::GetWindowLongW(hwnd, index));
  DWORD changed = (style & ~remove) | add;
  if (changed == style) return FALSE;
  ::SetWindowLongW(hwnd, index, static_cast<LONG>(changed));
  return TRUE;
}

}  // namespace

BOOL CWnd::ModifyStyleEx(DWORD remove, DWORD add, UINT) { return ChangeStyleBits(m_hWnd, GWL_EXSTYLE, remove, add); }

namespace {
thread_local int waitCursorDepth = 0;
thread_local HCURSOR cursorBeforeWait = nullptr;
}  // namespace

void CWnd::BeginWaitCursor() {
  HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  if (waitCursorDepth++ == 0) cursorBeforeWait = previous;
}

void CWnd::EndWaitCursor() {
  if (waitCursorDepth == 0) return;
  if (--waitCursorDepth == 0) ::SetCursor(cursorBeforeWait);
}

void CWnd::RestoreWaitCursor() {
  if (waitCursorDepth > 0) ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
}

CWaitCursor::CWaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}

CWaitCursor::~CWaitCursor() { ::SetCursor(previous_); }

void CWaitCursor::Restore() { ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)); }

BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT) { return ChangeStyleBits(m_hWnd, GWL_STYLE, remove, add); }

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) return OnCommand(wParam, lParam);
  if (message == WM_NOTIFY) return OnNotify(wParam, lParam, result);
  if (message == WM_DRAWITEM && lParam) {
    CWnd* control = FromHandlePermanent(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem);
    if (control && control != this && control->OnChildNotify(message, wParam, lParam, result)) return TRUE;
  }
  return Dispatch(message, wParam, lParam, result) ? TRUE : FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  LRESULT ignored = 0;
  if (lParam && lockedOutWindow && lockedOutWindow == m_hWnd) return TRUE;
  CWnd* control = lParam ? FromHandlePermanent(reinterpret_cast<HWND>(lParam)) : nullptr;
  if (control && control != this && control->Dispatch(WM_REFLECT_BASE + WM_COMMAND, wParam, lParam, &ignored))
    return TRUE;
  return Dispatch(WM_COMMAND, wParam, lParam, &ignored) ? TRUE : FALSE;
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* header = reinterpret_cast<const NMHDR*>(lParam);
  CWnd* control = header ? FromHandlePermanent(header->hwndFrom) : nullptr;
  if (control && control != this && control->Dispatch(WM_REFLECT_BASE + WM_NOTIFY, wParam, lParam, result))
    return TRUE;
  return Dispatch(WM_NOTIFY, wParam, lParam, result) ? TRUE : FALSE;
}

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_superProc) return ::CallWindowProcW(m_superProc, m_hWnd, message, wParam, lParam);
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  if (!m_currentMessage) return 0;
  return DefWindowProc(m_currentMessage->message, m_currentMessage->wParam, m_currentMessage->lParam);
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, entries};
  return &map;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const { return GetThisMessageMap(); }

bool CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  UINT code = 0, id = 0;
  if (message == WM_COMMAND || message == WM_REFLECT_BASE + WM_COMMAND) {
    code = lParam ? HIWORD(wParam) : 0;
    id = LOWORD(wParam);
  } else if (message == WM_NOTIFY || message == WM_REFLECT_BASE + WM_NOTIFY) {
    auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header) return false;
    code = header->code;
    id = static_cast<UINT>(header->idFrom);
  }
  bool routed = message == WM_COMMAND || message == WM_NOTIFY || message == WM_REFLECT_BASE + WM_COMMAND ||
                message == WM_REFLECT_BASE + WM_NOTIFY;
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->message; ++entry) {
      if (entry->message != message) continue;
      if (routed && (entry->code != code || id < entry->id || id > entry->lastId)) continue;
      MSG current{m_hWnd, message, wParam, lParam, 0, {0, 0}};
      const MSG* previous = m_currentMessage;
      m_currentMessage = &current;
      bool handled = entry->thunk(this, wParam, lParam, result);
      m_currentMessage = previous;
      return handled;
    }
  }
  return false;
}

LRESULT CALLBACK VqSubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* window = CWnd::FromHandlePermanent(hwnd);
  if (!window) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  WNDPROC super = window->m_superProc;
  LRESULT result = window->WindowProc(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    window->m_hWnd = nullptr;
    window->m_superProc = nullptr;
    window->m_permanent = false;
    window->PostNcDestroy();
  }
  (void)super;
  return result;
}
