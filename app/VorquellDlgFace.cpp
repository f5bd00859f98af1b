// The main window's face: the table of controls that follow a resize, the
// texts of the language and the painting of the logo and the strip. The
// buttons keep the texts of the template and their plain look for now.
#include "app/VorquellDlg.h"
#include "platform/mfc/CDC.h"

namespace {

// Controls moved when the window is maximised or restored; -1 are gaps.
constexpr int kLayoutIds[46] = {1041, 1003, 1005, 1051, 1106, 1042, 1043, 1055, 1011, 1008, 1010, 1032,
                                1081, 1052, 1058, 1057, 1089, 1108, 1099, 1109, 1060, 1033, 1053, 1045,
                                1046, 1047, 1012, 1013, 1014, 1015, 1035, 1037, 1048, 1036, 1018, 1023,
                                1024, 1034, 1083, -1,   -1,   -1,   -1,   1007, 1094, 1084};

}  // namespace

void CVorquellDlg::InitLayoutTable() {
  for (int& id : layoutTable_) id = -1;
  for (int i = 0; i < 46; ++i) layoutTable_[i] = kLayoutIds[i];
}

void CVorquellDlg::ApplyLanguage(int language) {
  if (language < 0 || language > 2) return;
  if (language == 0) SetDlgItemText(IDC_WINDOW_LABEL, windowLabelText_);
}

void CVorquellDlg::OnPaint() {
  CPaintDC dc(this);
  for (auto& item : strip_) item->Draw(&dc);
  if (logo_) logo_->Draw(&dc);
}
