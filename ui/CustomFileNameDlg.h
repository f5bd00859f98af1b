#pragma once
// The dialog that asks for one name: a file name (mode 0) or a watermark
// name (mode 1), with its messages in the user's language.
#include "platform/mfc/CDialog.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

class CCustomFileNameDlg : public CDialog {
 public:
  enum { IDD = IDD_CUSTOM_FILE_NAME };
  // Mode 0 file name, 1 watermark name; language 0 Simplified Chinese,
  // 1 Traditional Chinese, 2 English.
  CCustomFileNameDlg(CWnd* parent, int mode, int language);

  // The accepted name; empty unless the dialog ended with IDOK.
  CString GetName() const { return name_; }
  // Sets the two messages for language 1 or 2 (others keep the current ones).
  void SetLanguageTexts(int language);
  const CString& ForbiddenCharacterMessage() const { return forbiddenMessage_; }
  const CString& EmptyNameMessage() const { return emptyMessage_; }

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

 private:
  CString name_;
  int mode_;
  int language_;
  CString forbiddenMessage_;
  CString emptyMessage_;
};
