#pragma once
// Data exchange between a window's controls and its members. When a
// validation fails, the user sees the standard message, the control gets
// the focus and the rest of the exchange is skipped (UpdateData returns
// FALSE).
#include "platform/mfc/CString.h"
#include "platform/mfc/CWnd.h"

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate) : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  HWND m_lastControl = nullptr;
  bool m_lastIsEdit = false;
  bool m_failed = false;

  HWND PrepareCtrl(int id);
  HWND PrepareEditCtrl(int id);
  // Focuses the last control prepared and stops the exchange.
  void Fail();
};

void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Text(CDataExchange* dx, int id, int& value);
void DDX_Text(CDataExchange* dx, int id, UINT& value);
void DDX_Text(CDataExchange* dx, int id, long& value);
void DDX_Text(CDataExchange* dx, int id, double& value);
void DDX_Text(CDataExchange* dx, int id, float& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The index of the checked button in the group that starts at `id`; -1
// when none is checked.
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_Slider(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& index);
void DDX_CBString(CDataExchange* dx, int id, CString& value);
// Attaches the control object to the control on the first exchange.
void DDX_Control(CDataExchange* dx, int id, CWnd& control);

void DDV_MinMaxInt(CDataExchange* dx, int value, int minimum, int maximum);
void DDV_MinMaxUInt(CDataExchange* dx, UINT value, UINT minimum, UINT maximum);
void DDV_MinMaxDouble(CDataExchange* dx, double value, double minimum, double maximum);
void DDV_MinMaxFloat(CDataExchange* dx, float value, float minimum, float maximum);
void DDV_MaxChars(CDataExchange* dx, const CString& value, int count);
