#include "ui/DialogFileName.h"

#include "app/VorquellDlg.h"
#include "platform/mfc/CWinApp.h"
#include "platform/win/MessageBox.h"
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
  const std::wstring text(listText.GetString());
  size_t start = 0;
  for (;;) {
    const size_t bar = text.find(L'|', start);
    const std::wstring piece = text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
    if (piece.empty()) return false;
    prefixes.push_back(piece.c_str());
    if (bar == std::wstring::npos) return true;
    start = bar + 1;
  }
}

CString CDialogFileName::MalformedMessage() const {
  if (language == 1) return L"檔案名首碼格式不正確！";
  if (language == 2) return L"Illegal file name prefix";
  return L"文件名前缀格式不正确！";
}

void CDialogFileName::OnOK() {
  UpdateData(TRUE);
  if (!SplitPrefixes()) {
    prefixes.clear();
    MessageBox(MalformedMessage(), L"", MB_OK | MB_ICONERROR);
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
