#pragma once
// Message maps: each class lists its handlers in a static table; a message
// goes to the first matching entry of the class, then of its bases. Every
// entry's thunk casts the window to the class that declared the entry.
// Entries that take a CDC* need platform/mfc/CDC.h where the map is.
#include "platform/win/Controls.h"
#include "platform/win/Messages.h"
#include "platform/win/WinTypes.h"

class CWnd;
using CScrollBar = CWnd;

struct AFX_MSGMAP_ENTRY {
  UINT message;  // 0 ends the table
  UINT code;     // notification code of WM_COMMAND / WM_NOTIFY entries
  UINT id;
  UINT lastId;
  bool (*thunk)(CWnd* window, WPARAM wParam, LPARAM lParam, LRESULT* result);
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*base)();
  const AFX_MSGMAP_ENTRY* entries;
};

#define DECLARE_MESSAGE_MAP()                  \
 protected:                                    \
  static const AFX_MSGMAP* GetThisMessageMap(); \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                \
    using ThisClass = theClass;                                                    \
    using TheBaseClass = baseClass;                                                \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                 \
  {0, 0, 0, 0, nullptr}                                                   \
  }                                                                       \
  ;                                                                       \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, entries}; \
  return &map;                                                            \
  }

#define VQ_THUNK(body) \
  [](CWnd* vqWindow, WPARAM wParam, LPARAM lParam, LRESULT* vqResult) -> bool { \
    auto* self = static_cast<ThisClass*>(vqWindow);                             \
    (void)self; (void)wParam; (void)lParam; (void)vqResult;                     \
    body;                                                                       \
    return true;                                                                \
  }

#define ON_CONTROL(code, id, fn) {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), VQ_THUNK(self->fn())},
#define ON_COMMAND(id, fn) ON_CONTROL(0, id, fn)
#define ON_COMMAND_RANGE(first, last, fn) \
  {WM_COMMAND, 0, (UINT)(first), (UINT)(last), VQ_THUNK(self->fn(LOWORD(wParam)))},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_EN_CHANGE(id, fn) ON_CONTROL(EN_CHANGE, id, fn)
#define ON_EN_KILLFOCUS(id, fn) ON_CONTROL(EN_KILLFOCUS, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)
#define ON_CBN_SELENDOK(id, fn) ON_CONTROL(CBN_SELENDOK, id, fn)
#define ON_CBN_EDITCHANGE(id, fn) ON_CONTROL(CBN_EDITCHANGE, id, fn)
// Notifications a parent reflects back to the control object that sent them.
#define WM_REFLECT_BASE 0xBC00
#define ON_CONTROL_REFLECT(code, fn) \
  {WM_REFLECT_BASE + WM_COMMAND, (UINT)(code), 0, 0xFFFF, VQ_THUNK(self->fn())},
#define ON_CBN_SELENDOK_REFLECT(fn) ON_CONTROL_REFLECT(CBN_SELENDOK, fn)
#define ON_NOTIFY_REFLECT(code, fn)                                     \
  {WM_REFLECT_BASE + WM_NOTIFY, (UINT)(code), 0, 0xFFFFFFFF,            \
   VQ_THUNK(self->fn(reinterpret_cast<NMHDR*>(lParam), vqResult))},
#define ON_NOTIFY(code, id, fn)                                                   \
  {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id),                              \
   VQ_THUNK(self->fn(reinterpret_cast<NMHDR*>(lParam), vqResult))},
#define ON_MESSAGE(message, fn) {(UINT)(message), 0, 0, 0, VQ_THUNK(*vqResult = self->fn(wParam, lParam))},
#define ON_WM_PAINT() {WM_PAINT, 0, 0, 0, VQ_THUNK(self->OnPaint())},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, VQ_THUNK(self->OnDestroy())},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, VQ_THUNK(self->OnClose())},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, VQ_THUNK(self->OnTimer(static_cast<UINT_PTR>(wParam)))},
#define ON_WM_SIZE() \
  {WM_SIZE, 0, 0, 0, VQ_THUNK(self->OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)))},
#define ON_WM_CREATE() \
  {WM_CREATE, 0, 0, 0, VQ_THUNK(*vqResult = self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam)))},
#define ON_WM_MOVE() {WM_MOVE, 0, 0, 0, VQ_THUNK(self->OnMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)))},
#define ON_WM_QUERYDRAGICON() {WM_QUERYDRAGICON, 0, 0, 0, VQ_THUNK(*vqResult = reinterpret_cast<LRESULT>(self->OnQueryDragIcon()))},
#define ON_WM_ERASEBKGND() \
  {WM_ERASEBKGND, 0, 0, 0, VQ_THUNK(*vqResult = self->OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wParam))))},
#define ON_WM_CTLCOLOR()                                                                                   \
  {WM_CTLCOLORBTN, 0, 0, 0, VQ_THUNK(*vqResult = reinterpret_cast<LRESULT>(self->OnCtlColor(                \
                                 CDC::FromHandle(reinterpret_cast<HDC>(wParam)),                           \
                                 CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), CTLCOLOR_BTN)))},       \
  {WM_CTLCOLORSTATIC, 0, 0, 0, VQ_THUNK(*vqResult = reinterpret_cast<LRESULT>(self->OnCtlColor(             \
                                    CDC::FromHandle(reinterpret_cast<HDC>(wParam)),                        \
                                    CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), CTLCOLOR_STATIC)))}, \
  {WM_CTLCOLOREDIT, 0, 0, 0, VQ_THUNK(*vqResult = reinterpret_cast<LRESULT>(self->OnCtlColor(               \
                                  CDC::FromHandle(reinterpret_cast<HDC>(wParam)),                          \
                                  CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), CTLCOLOR_EDIT)))},     \
  {WM_CTLCOLORDLG, 0, 0, 0, VQ_THUNK(*vqResult = reinterpret_cast<LRESULT>(self->OnCtlColor(                \
                                 CDC::FromHandle(reinterpret_cast<HDC>(wParam)),                           \
                                 CWnd::FromHandle(reinterpret_cast<HWND>(lParam)), CTLCOLOR_DLG)))},
#define ON_WM_SETCURSOR()                                                                                  \
  {WM_SETCURSOR, 0, 0, 0,                                                                                  \
   VQ_THUNK(*vqResult = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), \
                                          HIWORD(lParam)))},
#define ON_WM_SETFOCUS() {WM_SETFOCUS, 0, 0, 0, VQ_THUNK(self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))))},
#define ON_WM_KILLFOCUS() \
  {WM_KILLFOCUS, 0, 0, 0, VQ_THUNK(self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam))))},
#define ON_WM_SYSCOLORCHANGE() {WM_SYSCOLORCHANGE, 0, 0, 0, VQ_THUNK(self->OnSysColorChange())},
#define ON_WM_MOUSELEAVE() {WM_MOUSELEAVE, 0, 0, 0, VQ_THUNK(self->OnMouseLeave())},
#define ON_WM_SHOWWINDOW() \
  {WM_SHOWWINDOW, 0, 0, 0, VQ_THUNK(self->OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam)))},
#define ON_WM_DEVICECHANGE() \
  {WM_DEVICECHANGE, 0, 0, 0, VQ_THUNK(*vqResult = self->OnDeviceChange(static_cast<UINT>(wParam), static_cast<DWORD_PTR>(lParam)))},
#define VQ_KEY_ENTRY(message, fn)                                                                          \
  {message, 0, 0, 0,                                                                                       \
   VQ_THUNK(self->fn(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam)))},
#define ON_WM_KEYDOWN() VQ_KEY_ENTRY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() VQ_KEY_ENTRY(WM_KEYUP, OnKeyUp)
#define ON_WM_CHAR() VQ_KEY_ENTRY(WM_CHAR, OnChar)
#define VQ_MOUSE_ENTRY(message, fn)                                                                    \
  {message, 0, 0, 0,                                                                                   \
   VQ_THUNK(self->fn(static_cast<UINT>(wParam), CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))))},
#define ON_WM_LBUTTONDOWN() VQ_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() VQ_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() VQ_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() VQ_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_MOUSEMOVE() VQ_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_RBUTTONUP() VQ_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEHOVER() VQ_MOUSE_ENTRY(WM_MOUSEHOVER, OnMouseHover)
// BOOL OnMouseWheel(UINT flags, short delta, CPoint screenPoint); its result is the message's.
#define ON_WM_MOUSEWHEEL()                                                                                 \
  {WM_MOUSEWHEEL, 0, 0, 0,                                                                                 \
   VQ_THUNK(*vqResult = self->OnMouseWheel(LOWORD(wParam), static_cast<short>(HIWORD(wParam)),             \
                                           CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam))))},
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_STATIC 6
#define ON_WM_HSCROLL()                                                                              \
  {WM_HSCROLL, 0, 0, 0,                                                                              \
   VQ_THUNK(self->OnHScroll(LOWORD(wParam), HIWORD(wParam),                                           \
                            CWnd::FromHandle(reinterpret_cast<HWND>(lParam))))},
