#include "app/SplashDlg.h"

#include <cstring>

#include "platform/mfc/CDC.h"
#include "platform/mfc/CImageDraw.h"
#include "platform/win/SystemMetrics.h"

namespace {

// Dialog 146: a bordered pop-up with the system menu and no controls; the
// window takes the picture's size when it is created.
const DialogTemplate& SplashTemplate() {
  static const DialogTemplate dialogTemplate{
      WS_POPUP | WS_BORDER | WS_SYSMENU | DS_SETFONT, 0, 0, 0, 316, 183, L"", L"MS Shell Dlg", 8, {}};
  return dialogTemplate;
}

void CopyPicture(CImage& from, CImage& to) {
  to.Destroy();
  if (from.IsNull() || !to.Create(from.GetWidth(), -from.GetHeight(), 24)) return;
  for (int y = 0; y < from.GetHeight(); ++y)
    std::memcpy(to.GetPixelAddress(0, y), from.GetPixelAddress(0, y), size_t(from.GetWidth()) * 3);
}

}  // namespace

BEGIN_MESSAGE_MAP(CSplashDlg, CDialog)
ON_WM_CREATE()
ON_WM_PAINT()
END_MESSAGE_MAP()

CSplashDlg::CSplashDlg(CWnd* parent, CBrandingData& branding) : CDialog(IDD, parent), branding_(branding) {
  if (!vqplatform::FindDialogTemplate(IDD)) vqplatform::RegisterDialogTemplate(IDD, &SplashTemplate());
}

void CSplashDlg::DoDataExchange(CDataExchange* dx) { CDialog::DoDataExchange(dx); }

int CSplashDlg::OnCreate(LPCREATESTRUCT create) {
  if (DefWindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(create)) == -1) return -1;
  CopyPicture(branding_.splashImage, picture_);
  int width = picture_.GetWidth(), height = picture_.GetHeight();
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  MoveWindow(x, y, width, height, TRUE);
  return 0;
}

void CSplashDlg::OnPaint() {
  CPaintDC dc(this);
  if (!picture_.IsNull()) vqplatform::DrawImage(picture_, dc, 0, 0);
}
