#pragma once
// The software exposure search: steps a camera's exposure up, then down,
// from where it stands, letting each value settle for three seconds, and
// keeps the one whose live picture shows the paper nearest a brightness of
// 190. A progress bar shows the steps; Enter and Escape do nothing. Run it
// modally with the controller set; it ends with OK once the exposure is set.
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

class CCaptureController;

class CAutoExposureDlg : public CDialog {
 public:
  enum { IDD = IDD_AUTO_EXPOSURE };
  static constexpr int kTargetBrightness = 190;
  static constexpr DWORD kSettleMs = 3000;

  explicit CAutoExposureDlg(CWnd* parent = nullptr);

  // The controller to work on, set by whoever makes the dialog.
  CCaptureController* controller = nullptr;
  // The exposure the search set.
  long exposure = 0;
  CProgressCtrl progress;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}
  DECLARE_MESSAGE_MAP()
  void OnTimer(UINT_PTR id);

 private:
  // The paper brightness of the live picture; -1 without a picture.
  int Measure();
  // Dispatches the thread's messages for `ms` milliseconds; false when the
  // wait was ended (the quit, the thread's loops told to end) or the dialog
  // went away meanwhile.
  bool WaitDispatching(DWORD ms);
  // Sets one value, lets it settle and measures it; false when the search
  // has to stop without a result.
  bool Try(long value, int* brightness);
  void Search();
};
