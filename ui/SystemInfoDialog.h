#pragma once
// The settings sheet: the image, watermark and advanced pages in a tab
// control, editing a copy of the settings record. The owner hands it a
// copy with SetSettings, runs DoModal and, on IDOK, takes GetSettings()
// back (applying what changed, then saving). Cancel leaves the copy as it
// was handed over.
#include <array>
#include <memory>

#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

class CImageParaDialog;
class CWaterMarkDialog;
class CAdvancedSettingDialog;

class CSystemInfoDialog : public CDialog {
 public:
  enum { IDD = IDD_SYSTEM_INFO };
  explicit CSystemInfoDialog(CWnd* parent = nullptr);
  ~CSystemInfoDialog() override;

  void SetSettings(CSysSettings settings);
  // The edited copy; its last shown tab is the tab current at OK.
  const CSysSettings& GetSettings() const { return settings_; }
  void SetLanguageTexts(int language);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnDefaults();
  void OnTabChange(NMHDR* header, LRESULT* result);
  DECLARE_MESSAGE_MAP()

 private:
  void ShowPage(int index);

  CSysSettings settings_;
  std::array<CString, 3> tabCaptions_;
  CTabCtrl tab_;
  std::unique_ptr<CImageParaDialog> imagePage_;
  std::unique_ptr<CWaterMarkDialog> waterMarkPage_;
  std::unique_ptr<CAdvancedSettingDialog> advancedPage_;
  std::array<CDialog*, 3> pages_{};
  int shownPage_ = 0;
};
