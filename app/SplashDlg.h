#pragma once
// The splash window: the branding data's splash picture, centred on the
// screen at the picture's size, shown while the cameras open. Start-up
// creates it modeless, shows it and deletes it later.
#include "app/BrandingData.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/CImage.h"

#define IDD_SPLASH 146

class CSplashDlg : public CDialog {
 public:
  enum { IDD = IDD_SPLASH };
  // The picture is taken from `branding` when the window is created.
  CSplashDlg(CWnd* parent, CBrandingData& branding);

  const CImage& Picture() const { return picture_; }

 protected:
  int OnCreate(LPCREATESTRUCT create);
  void OnPaint();
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

 private:
  CBrandingData& branding_;
  CImage picture_;
};
