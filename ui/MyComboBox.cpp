#include "ui/MyComboBox.h"

#include "app/VorquellApp.h"
#include "ui/DialogFileName.h"

BEGIN_MESSAGE_MAP(CMyComboBox, CComboBox)
ON_CBN_SELENDOK_REFLECT(OnSelEndOk)
END_MESSAGE_MAP()

void CMyComboBox::Fill(const std::vector<CString>& prefixes) {
  ResetContent();
  prefixList.clear();
  for (const CString& prefix : prefixes) {
    AddString(prefix);
    prefixList.push_back(prefix);
  }
  AddString(kEditorEntry);
  prefixList.push_back(kEditorEntry);
}

bool CMyComboBox::RunEditor(std::vector<CString>* prefixes) {
  CDialogFileName editor(nullptr, 0);
  if (editor.DoModal() != IDOK) return false;
  *prefixes = editor.prefixes;
  return true;
}

void CMyComboBox::OnSelEndOk() {
  const int selected = GetCurSel();
  const int count = GetCount();
  if (selected == count - 1) {
    SetCurSel(SelectedPrefixIndex);
    std::vector<CString> edited;
    if (RunEditor(&edited)) {
      // The editor's list already ends with "...".
      ResetContent();
      prefixList.clear();
      for (const CString& text : edited) {
        AddString(text);
        prefixList.push_back(text);
      }
      if (SelectedPrefixIndex >= int(prefixList.size()) - 1) SelectedPrefixIndex = 0;
      SetCurSel(SelectedPrefixIndex);
    }
  } else {
    SelectedPrefixIndex = selected;
  }
  const int shown = GetCurSel();
  if (shown < 0 || shown >= int(prefixList.size())) return;
  if (prefixList[size_t(shown)] != currentPrefix) {
    currentPrefix = prefixList[size_t(shown)];
    if (CWnd* main = AfxGetMainWnd()) ::SendMessageW(main->GetSafeHwnd(), WM_PREFIX_CHANGED, 0, 0);
  }
}
