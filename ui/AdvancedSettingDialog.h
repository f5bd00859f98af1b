#pragma once
// The advanced page of the settings sheet: the image folder and its date
// sub-folder, print mode, processing and capture options, noise size,
// picture-in-picture and English text recognition. The language box is
// hidden; the page carries the language through.
#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

// Today's local date as "%04d%02d%02d".
CString TodayFolderName();

class CAdvancedSettingDialog : public CDialog {
 public:
  enum { IDD = IDD_ADVANCED_PAGE };
  explicit CAdvancedSettingDialog(CWnd* parent = nullptr);

  bool SetSettings(CSysSettings settings);
  // False, leaving `out` alone, when the noise size is not valid (after the
  // range message).
  bool Save(CSysSettings* out);
  bool Defaults();
  void SetLanguageTexts(int language);

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnBrowseFolder();
  DECLARE_MESSAGE_MAP()

 private:
  int dateFolder_ = 0;
  int shadow_ = 0;
  int deformation_ = 0;
  int multiCut_ = 0;
  int barcodeToFile_ = 0;
  int fastMode_ = 0;
  int docCheck_ = 0;
  int playSound_ = 0;
  int keepSources_ = 0;
  int noiseSize_ = 1;
  int language_ = 0;
  CString folder_;
  int printMode_ = 0;
  CComboBox languageBox_;
  int twoImagesInOne_ = 0;
  int engOcr_ = 0;
};
