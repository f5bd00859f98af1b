#include "platform/mfc/DataExchange.h"

#include <cerrno>
#include <cwchar>

#include "platform/win/Controls.h"

namespace {

// The standard texts of a failed validation.
void Complain(const CString& text) { ::MessageBoxW(nullptr, text, L"", MB_ICONEXCLAMATION); }

bool ParseInteger(const CString& text, long long* value) {
  CString trimmed = text;
  trimmed.Trim();
  if (trimmed.IsEmpty()) return false;
  wchar_t* end = nullptr;
  errno = 0;
  *value = wcstoll(trimmed.GetString(), &end, 10);
  return errno == 0 && end && *end == 0;
}

bool ParseReal(const CString& text, double* value) {
  CString trimmed = text;
  trimmed.Trim();
  if (trimmed.IsEmpty()) return false;
  wchar_t* end = nullptr;
  errno = 0;
  *value = wcstod(trimmed.GetString(), &end);
  return errno == 0 && end && *end == 0;
}

CString ControlText(HWND control) {
  CString text;
  CWnd::FromHandle(control)->GetWindowText(text);
  return text;
}

template <typename Integer>
void ExchangeInteger(CDataExchange* dx, int id, Integer& value, long long minimum, long long maximum) {
  if (dx->m_failed) return;
  HWND control = dx->PrepareEditCtrl(id);
  if (!control) return;
  if (!dx->m_bSaveAndValidate) {
    ::SetWindowTextW(control, std::to_wstring(value).c_str());
    return;
  }
  long long parsed = 0;
  if (!ParseInteger(ControlText(control), &parsed) || parsed < minimum || parsed > maximum) {
    Complain(L"Please enter an integer.");
    dx->Fail();
    return;
  }
  value = static_cast<Integer>(parsed);
}

template <typename Real>
void ExchangeReal(CDataExchange* dx, int id, Real& value) {
  if (dx->m_failed) return;
  HWND control = dx->PrepareEditCtrl(id);
  if (!control) return;
  if (!dx->m_bSaveAndValidate) {
    CString text;
    text.Format(L"%g", static_cast<double>(value));
    ::SetWindowTextW(control, text);
    return;
  }
  double parsed = 0;
  if (!ParseReal(ControlText(control), &parsed)) {
    Complain(L"Please enter a number.");
    dx->Fail();
    return;
  }
  value = static_cast<Real>(parsed);
}

void RangeFailed(CDataExchange* dx, const CString& text) {
  Complain(text);
  dx->Fail();
}

}  // namespace

HWND CDataExchange::PrepareCtrl(int id) {
  HWND control = m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, id) : nullptr;
  if (control) {
    m_lastControl = control;
    m_lastIsEdit = false;
  }
  return control;
}

HWND CDataExchange::PrepareEditCtrl(int id) {
  HWND control = PrepareCtrl(id);
  if (control) m_lastIsEdit = true;
  return control;
}

void CDataExchange::Fail() {
  m_failed = true;
  if (!m_bSaveAndValidate || !m_lastControl) return;
  ::SetFocus(m_lastControl);
  if (m_lastIsEdit) ::SendMessageW(m_lastControl, EM_SETSEL, 0, -1);
}

void DDX_Text(CDataExchange* dx, int id, CString& value) {
  if (dx->m_failed) return;
  HWND control = dx->PrepareEditCtrl(id);
  if (!control) return;
  if (dx->m_bSaveAndValidate)
    value = ControlText(control);
  else if (ControlText(control) != value)
    ::SetWindowTextW(control, value);
}

void DDX_Text(CDataExchange* dx, int id, int& value) { ExchangeInteger(dx, id, value, INT32_MIN, INT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, UINT& value) { ExchangeInteger(dx, id, value, 0, UINT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, long& value) { ExchangeInteger(dx, id, value, INT32_MIN, INT32_MAX); }
void DDX_Text(CDataExchange* dx, int id, double& value) { ExchangeReal(dx, id, value); }
void DDX_Text(CDataExchange* dx, int id, float& value) { ExchangeReal(dx, id, value); }

namespace {

// Controls whose state is one integer: read with getMessage, written with
// setMessage carrying the value in wParam (or in lParam, wParam TRUE).
void ExchangeByMessage(CDataExchange* dx, int id, int& value, UINT getMessage, UINT setMessage,
                       bool valueInLParam) {
  if (dx->m_failed) return;
  HWND control = dx->PrepareCtrl(id);
  if (!control) return;
  if (dx->m_bSaveAndValidate)
    value = static_cast<int>(::SendMessageW(control, getMessage, 0, 0));
  else if (valueInLParam)
    ::SendMessageW(control, setMessage, TRUE, value);
  else
    ::SendMessageW(control, setMessage, static_cast<WPARAM>(value), 0);
}

}  // namespace

void DDX_Check(CDataExchange* dx, int id, int& value) {
  ExchangeByMessage(dx, id, value, BM_GETCHECK, BM_SETCHECK, false);
}

void DDX_Radio(CDataExchange* dx, int id, int& value) {
  if (dx->m_failed) return;
  HWND control = dx->PrepareCtrl(id);
  if (!control) return;
  if (dx->m_bSaveAndValidate) value = -1;
  int index = 0;
  for (HWND button = control; button; button = ::GetWindow(button, GW_HWNDNEXT), ++index) {
    if (button != control && (::GetWindowLongW(button, GWL_STYLE) & WS_GROUP)) break;
    if (dx->m_bSaveAndValidate) {
      if (::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED) value = index;
    } else {
      ::SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
    }
  }
}

void DDX_Slider(CDataExchange* dx, int id, int& value) {
  ExchangeByMessage(dx, id, value, TBM_GETPOS, TBM_SETPOS, true);
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) {
  ExchangeByMessage(dx, id, index, CB_GETCURSEL, CB_SETCURSEL, false);
}

void DDX_CBString(CDataExchange* dx, int id, CString& value) {
  if (dx->m_failed) return;
  HWND control = dx->PrepareCtrl(id);
  if (!control) return;
  if (dx->m_bSaveAndValidate) {
    value = ControlText(control);
    return;
  }
  if (::SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(value.GetString())) ==
      CB_ERR)
    ::SetWindowTextW(control, value);
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control) {
  if (control.m_hWnd || dx->m_failed) return;
  HWND hwnd = dx->PrepareCtrl(id);
  if (hwnd) control.SubclassWindow(hwnd);
}

void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum) {
  if (!dx->m_bSaveAndValidate || dx->m_failed || (value >= minimum && value <= maximum)) return;
  CString text;
  text.Format(L"Please enter an integer between %d and %d.", minimum, maximum);
  RangeFailed(dx, text);
}

void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minimum, UINT maximum) {
  if (!dx->m_bSaveAndValidate || dx->m_failed || (value >= minimum && value <= maximum)) return;
  CString text;
  text.Format(L"Please enter an integer between %u and %u.", minimum, maximum);
  RangeFailed(dx, text);
}

void DDV_MinMaxDouble(CDataExchange* dx, double value, double minimum, double maximum) {
  if (!dx->m_bSaveAndValidate || dx->m_failed || (value >= minimum && value <= maximum)) return;
  CString text;
  text.Format(L"Please enter a number between %g and %g.", minimum, maximum);
  RangeFailed(dx, text);
}

void DDV_MinMaxFloat(CDataExchange* dx, float value, float minimum, float maximum) {
  DDV_MinMaxDouble(dx, value, minimum, maximum);
}

void DDV_MaxChars(CDataExchange* dx, const CString& value, int count) {
  if (!dx->m_bSaveAndValidate || dx->m_failed || value.GetLength() <= count) return;
  CString text;
  text.Format(L"Enter no more than %d characters.", count);
  RangeFailed(dx, text);
}
