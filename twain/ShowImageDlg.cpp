#include "twain/ShowImageDlg.h"

#include "twain/CameraWindowPictures.h"

namespace strenvik {

BEGIN_MESSAGE_MAP(CShowImageDlg, CDialog)
ON_BN_CLICKED(6041, OnActualSize)
ON_BN_CLICKED(6042, OnFitToScreen)
END_MESSAGE_MAP()

CShowImageDlg::CShowImageDlg(CWnd* parent) : CDialog(IDD, parent) { RegisterCameraWindowResources(); }

BOOL CShowImageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  CRect area;
  GetClientRect(&area);
  // The button row keeps the bottom 50 pixels.
  area.bottom -= 50;
  m_view.Create(L"", 0x50800101, area, this, 0xFFFF);
  m_view.SetImage(m_page);
  return TRUE;
}

void CShowImageDlg::OnActualSize() { m_view.ShowActualSize(); }

void CShowImageDlg::OnFitToScreen() { m_view.FitToWindow(); }

}  // namespace strenvik
