#pragma once
// The watermark page of the settings sheet: date-time and custom marks,
// position, size, colour and transparency.
#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"

class CWaterMarkDialog : public CDialog {
 public:
  enum { IDD = IDD_WATERMARK_PAGE };
  explicit CWaterMarkDialog(CWnd* parent = nullptr);

  bool SetSettings(CSysSettings settings);
  // False, leaving `out` alone, when a field holds no valid value or a
  // custom mark has no text (after telling the user).
  bool Save(CSysSettings* out);
  bool Defaults();
  void SetLanguageTexts(int language);
  const CString& EmptyTextMessage() const { return emptyMessage_; }

  // The colour box's index of a stored colour (0, red, for any other value)
  // and the colour of an index (red for none).
  static int ColorIndex(int color);
  static int ColorOfIndex(int index);

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnCustomCheck();
  void OnTransparencyReleased(NMHDR* header, LRESULT* result);
  // Every move of the slider, by mouse or keys (lParam the slider).
  LRESULT OnHScroll(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

 private:
  void ShowTransparency();

  int language_ = 0;
  CString emptyMessage_;
  CString text_;
  CComboBox positionBox_;
  int size_ = 0;
  CComboBox colorBox_;
  int transparency_ = 0;
  int transparencyShown_ = 0;
  int dateMark_ = 0;
  int customMark_ = 0;
};
