#include "ui/DialogFileName.h"

#include "app/ImageConversions.h"
#include "app/SettingsRanges.h"
#include "app/VorquellDlg.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/MessageBox.h"
#include "ui/CustomFileNameDlg.h"
#include "ui/MyComboBox.h"

namespace {

constexpr int kListEdit = 1090;

// The program's main window, whose settings the editor reads and writes.
CVorquellDlg* MainWindow() { return dynamic_cast<CVorquellDlg*>(AfxGetMainWnd()); }

}  // namespace

CDialogFileName::CDialogFileName(CWnd* parent, int language) : CDialog(IDD, parent), language(language) {}

void CDialogFileName::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, kListEdit, listText);
}

BOOL CDialogFileName::OnInitDialog() {
  CDialog::OnInitDialog();
  if (CVorquellDlg* main = MainWindow()) {
    CSysSettings settings;
    main->GetSettings(&settings);
    listText = settings.prefixList;
    UpdateData(FALSE);
  }
  return TRUE;
}

bool CDialogFileName::SplitPrefixes() {
  prefixes.clear();
  return SplitPrefixList(listText, &prefixes);
}

CString CDialogFileName::MalformedMessage() const {
  if (language == 1) return L"檔案名首碼格式不正確！";
  if (language == 2) return L"Illegal file name prefix";
  return L"文件名前缀格式不正确！";
}

CString CDialogFileName::RefusalMessage() {
  if (!SplitPrefixes()) return MalformedMessage();
  for (const CString& prefix : prefixes) {
    switch (CheckPrefix(prefix)) {
      case PrefixFault::kNone: break;
      // Prefix and counter name a file in the image folder: what the
      // free-name dialog refuses in a name is refused here alike.
      case PrefixFault::kForbiddenCharacter: {
        CCustomFileNameDlg nameDialog(nullptr, 0, language);
        nameDialog.SetLanguageTexts(language);
        return nameDialog.ForbiddenCharacterMessage();
      }
      default: return MalformedMessage();
    }
  }
  return CString();
}

void CDialogFileName::OnOK() {
  UpdateData(TRUE);
  const CString refusal = RefusalMessage();
  if (!refusal.IsEmpty()) {
    prefixes.clear();
    MessageBox(refusal, L"", MB_OK | MB_ICONERROR);
    return;
  }
  prefixes.push_back(CMyComboBox::kEditorEntry);
  if (CVorquellDlg* main = MainWindow()) {
    main->SetPrefixList(listText);
    CSysSettings fresh;
    main->GetSettings(&fresh);
    fresh.Save();
  }
  EndDialog(IDOK);
}
