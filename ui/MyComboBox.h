#pragma once
// The drop-down list of file-name prefixes: the user's prefixes and, last,
// the editor entry "...". Choosing a prefix makes it current and tells the
// main window; choosing "..." opens the prefix editor and reloads the list.
#include <vector>

#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/CString.h"
#include "platform/mfc/MessageMap.h"

// Sent to the main window after the current prefix changed.
#define WM_PREFIX_CHANGED (WM_USER + 0x33)

class CMyComboBox : public CComboBox {
 public:
  static constexpr const wchar_t* kEditorEntry = L"...";

  // Same texts in the same order as the control's entries, "..." last.
  std::vector<CString> prefixList;
  CString currentPrefix;

  // Empties the control and the list, then adds `prefixes` and "...".
  void Fill(const std::vector<CString>& prefixes);

 protected:
  void OnSelEndOk();
  // Runs the prefix editor; true with its list (ending in "...") on OK.
  virtual bool RunEditor(std::vector<CString>* prefixes);
  DECLARE_MESSAGE_MAP()
};
