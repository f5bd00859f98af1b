#pragma once
// The camera window's scan parameters (template 6012): the capture size of
// the current camera, the watermark that scanning stamps, multi-image crop
// and picture in picture. It edits a copy of the settings record; the camera
// window takes the record back after OK.
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "twain/TwainSettings.h"

class CCaptureController;

namespace strenvik {

class CScanParameterDlg : public CDialog {
 public:
  enum { IDD = 6012 };
  // Opens centred on its owner, the camera window, which it disables.
  explicit CScanParameterDlg(CWnd* owner);

  int m_xResolution = 0;
  int m_yResolution = 0;
  // The current camera's controller; may be null.
  CCaptureController* m_captureController = nullptr;
  CTwainSettings m_settings;

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnOK() override;
  void OnCustomMarkClicked();
  void OnTimeMarkClicked();
  void OnTransparencyReleased(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  void FillSizeList();
  // The record's capture size of the current camera.
  int& StoredWidth();
  int& StoredHeight();

  CComboBox m_sizeList;
  int m_markSize = 0;
  int m_transparency = 0;
  int m_transparencyText = 0;
  int m_timeMark = 0;
  int m_customMark = 0;
  CString m_markText;
  CComboBox m_colorList;
  int m_multiCut = 0;
  int m_pictureInPicture = 0;
};

}  // namespace strenvik
