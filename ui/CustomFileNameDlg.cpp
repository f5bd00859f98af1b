#include "ui/CustomFileNameDlg.h"

#include "app/FileNaming.h"

namespace {

constexpr int kNameEdit = 1090;
constexpr int kNameLabel = 1092;

}  // namespace

BEGIN_MESSAGE_MAP(CCustomFileNameDlg, CDialog)
ON_BN_CLICKED(IDOK, OnOK)
END_MESSAGE_MAP()

CCustomFileNameDlg::CCustomFileNameDlg(CWnd* parent, int mode, int language)
    : CDialog(IDD, parent),
      mode_(mode),
      language_(language),
      forbiddenMessage_(L"文件名中不能包含下列任何字符:\n/ \\ : * ? < > |"),
      emptyMessage_(L"文件名不能为空！") {
  vqres::LoadResources();  // the template is there whoever asks first
}

void CCustomFileNameDlg::SetLanguageTexts(int language) {
  if (language == 1) {
    forbiddenMessage_ = L"檔案名中不能包含下列任何字元:\n/ \\ : * ? < > |";
    emptyMessage_ = L"檔案名不能為空!";
  } else if (language == 2) {
    forbiddenMessage_ = L"File name contains unsupported characters, such as \n/ \\ : * ? < > |";
    emptyMessage_ = L"File name is empty.";
  }
}

void CCustomFileNameDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, kNameEdit, name_);
}

BOOL CCustomFileNameDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetLanguageTexts(language_);
  SetDlgItemText(kNameLabel, mode_ == 1 ? L"水印名:" : L"文件名:");
  return TRUE;
}

void CCustomFileNameDlg::OnOK() {
  UpdateData(TRUE);
  if (HasForbiddenNameCharacter(name_)) {
    MessageBox(forbiddenMessage_, L"", MB_ICONERROR);
    name_.Empty();
    SetDlgItemText(kNameEdit, L"");
    return;
  }
  if (name_.IsEmpty()) {
    MessageBox(emptyMessage_, L"", MB_ICONERROR);
    return;
  }
  EndDialog(IDOK);
}
