#include "ui/WaterMarkDialog.h"

#include <array>

#include "app/SettingsRanges.h"
#include "platform/win/MessageBox.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kText = 1090, kPosition = 1100, kSize = 1101, kColor = 1102;
constexpr int kTransparency = 1103, kTransparencyShown = 1104, kDateMark = 1073, kCustomMark = 1091;

const ControlText kTexts[] = {
    {1129, {L"水印內容", L"浮水印文字", L"WaterMark content"}},
    {1073, {L"时间水印", L"時間浮水印", L"Timestamp"}},
    {1091, {L"自定义水印", L"自訂浮水印", L"Custom"}},
    {1124, {L"水印位置", L"浮水印位置", L"Position"}},
    {1125, {L"水印大小", L"浮水印大小", L"Size"}},
    {1126, {L"水印颜色", L"浮水印顏色", L"Color"}},
    {1127, {L"水印透明度", L"浮水印透明度", L"Transparency"}},
};

// By position value: top left, top right, bottom left, bottom right, centre.
const LanguageText kPositions[] = {
    {L"左上", L"左上角", L"Top left Corner"},
    {L"右上", L"右上角", L"Top right Corner"},
    {L"左下", L"左下角", L"Bottom left Corner"},
    {L"右下", L"右下角", L"Bottom right Corner"},
    {L"中央", L"中間", L"Center"},
};

const LanguageText kColors[] = {
    {L"红", L"紅", L"Red"}, {L"绿", L"綠", L"Green"}, {L"蓝", L"藍", L"Blue"},
    {L"白", L"白", L"White"}, {L"黑", L"黑", L"Black"},
};
// 0x00BBGGRR of each colour entry.
constexpr std::array<int, 5> kColorValues = {255, 65280, 16711680, 16777215, 0};

const LanguageText kEmptyMessage{L"水印内容为空", L"浮水印文字沒有設定", L"Watermark Content is empty!"};

}  // namespace

BEGIN_MESSAGE_MAP(CWaterMarkDialog, CDialog)
ON_BN_CLICKED(kCustomMark, OnCustomCheck)
ON_NOTIFY(NM_RELEASEDCAPTURE, kTransparency, OnTransparencyReleased)
ON_MESSAGE(WM_HSCROLL, OnHScroll)
END_MESSAGE_MAP()

CWaterMarkDialog::CWaterMarkDialog(CWnd* parent) : CDialog(IDD, parent) { vqres::LoadResources(); }

int CWaterMarkDialog::ColorIndex(int color) {
  for (size_t i = 0; i < kColorValues.size(); ++i)
    if (kColorValues[i] == color) return static_cast<int>(i);
  return 0;
}

int CWaterMarkDialog::ColorOfIndex(int index) {
  if (index < 0 || index >= static_cast<int>(kColorValues.size())) return kColorValues[0];
  return kColorValues[static_cast<size_t>(index)];
}

BOOL CWaterMarkDialog::OnInitDialog() {
  SendDlgItemMessageW(m_hWnd, kTransparency, TBM_SETRANGEMIN, FALSE, 0);
  SendDlgItemMessageW(m_hWnd, kTransparency, TBM_SETRANGEMAX, TRUE, 100);
  CDialog::OnInitDialog();
  FillComboBox(positionBox_, 0, kPositions);
  FillComboBox(colorBox_, 0, kColors);
  return TRUE;
}

void CWaterMarkDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, kText, text_);
  DDX_Control(dx, kPosition, positionBox_);
  DDX_Control(dx, kColor, colorBox_);
  DDX_Text(dx, kSize, size_);
  DDV_MinMaxInt(dx, size_, 1, kMaxWatermarkSize);
  DDX_Slider(dx, kTransparency, transparency_);
  DDV_MinMaxInt(dx, transparency_, 0, kMaxTransparency);
  DDX_Text(dx, kTransparencyShown, transparencyShown_);
  DDX_Check(dx, kDateMark, dateMark_);
  DDX_Check(dx, kCustomMark, customMark_);
}

void CWaterMarkDialog::SetLanguageTexts(int language) {
  emptyMessage_ = kEmptyMessage.In(language);
  if (language != 1 && language != 2) return;
  SetControlTexts(*this, language, kTexts);
  FillComboBox(positionBox_, language, kPositions);
  FillComboBox(colorBox_, language, kColors);
}

bool CWaterMarkDialog::SetSettings(CSysSettings settings) {
  language_ = settings.language;
  SetLanguageTexts(language_);
  dateMark_ = settings.dateMark != 0;
  customMark_ = settings.customMark != 0;
  positionBox_.SetCurSel(settings.markPosition);
  size_ = settings.markSize;
  colorBox_.SetCurSel(ColorIndex(settings.markColor));
  transparency_ = transparencyShown_ = settings.markTransparency;
  text_ = settings.markName;
  UpdateData(FALSE);
  GetDlgItem(kText)->EnableWindow(customMark_);
  return true;
}

bool CWaterMarkDialog::Save(CSysSettings* out) {
  if (!UpdateData(TRUE)) return false;
  if (customMark_ && text_.IsEmpty()) {
    MessageBox(emptyMessage_, L"", MB_ICONERROR);
    return false;
  }
  // The slider's own position: a change by keys ends without a release.
  transparencyShown_ = transparency_;
  out->dateMark = dateMark_;
  out->customMark = customMark_;
  out->markName = text_;
  // A stored position outside the box's entries selects none and stays.
  if (positionBox_.GetCurSel() >= 0) out->markPosition = positionBox_.GetCurSel();
  out->markSize = size_;
  out->markTransparency = transparencyShown_;
  out->markColor = ColorOfIndex(colorBox_.GetCurSel());
  return true;
}

bool CWaterMarkDialog::Defaults() {
  // The text stays: it is read back before the members go to the controls.
  GetDlgItemText(kText, text_);
  dateMark_ = customMark_ = 0;
  positionBox_.SetCurSel(4);
  size_ = 96;
  colorBox_.SetCurSel(0);
  transparency_ = transparencyShown_ = 50;
  UpdateData(FALSE);
  GetDlgItem(kText)->EnableWindow(FALSE);
  return true;
}

void CWaterMarkDialog::OnCustomCheck() {
  customMark_ = IsDlgButtonChecked(kCustomMark) == BST_CHECKED;
  GetDlgItem(kText)->EnableWindow(customMark_);
}

void CWaterMarkDialog::ShowTransparency() {
  transparency_ = static_cast<int>(SendDlgItemMessageW(m_hWnd, kTransparency, TBM_GETPOS, 0, 0));
  transparencyShown_ = transparency_;
  SetDlgItemInt(kTransparencyShown, static_cast<UINT>(transparencyShown_));
}

void CWaterMarkDialog::OnTransparencyReleased(NMHDR*, LRESULT* result) {
  ShowTransparency();
  *result = 0;
}

LRESULT CWaterMarkDialog::OnHScroll(WPARAM, LPARAM lParam) {
  if (::GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == kTransparency) ShowTransparency();
  return 0;
}
