#pragma once
// The editor of the file-name prefixes offered by the prefix combo box: one
// text in which the prefixes are separated by '|'. On OK the main window's
// list becomes that text and Sys.ini is written.
#include <vector>

#include "platform/mfc/CDialog.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

class CDialogFileName : public CDialog {
 public:
  enum { IDD = IDD_PREFIX_EDITOR };
  CDialogFileName(CWnd* parent, int language);

  // Splits the list text into `prefixes`; false when any prefix is empty.
  bool SplitPrefixes();
  // The message shown for a malformed list in this dialog's language.
  CString MalformedMessage() const;
  // Why the list text cannot be taken, in this dialog's language: a prefix
  // with a character no file name may hold gets the free-name dialog's
  // message, an empty, too long or ".." prefix the malformed-list one; empty
  // when every prefix is usable. Fills `prefixes`.
  CString RefusalMessage();

  int language;
  CString listText;
  // Filled by OK: the prefixes in text order, then "...".
  std::vector<CString> prefixes;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* dx) override;
};
