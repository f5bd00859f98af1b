#include "ui/SystemInfoDialog.h"

#include "ui/AdvancedSettingDialog.h"
#include "ui/ImageParaDialog.h"
#include "ui/LanguageTexts.h"
#include "ui/WaterMarkDialog.h"

namespace {

constexpr int kTab = 1117, kDefaults = 1032;
// The pages start this far below the top of the tab control, under its tabs.
constexpr int kTabRowHeight = 20;

const LanguageText kTabCaptions[] = {
    {L"图像参数", L"圖像參數", L"Image"},
    {L"水印参数", L"浮水印參數", L"Watermark"},
    {L"高级功能", L"高階設定", L"Advanced"},
};

const ControlText kTexts[] = {
    {kDefaults, {L"默认值", L"預設值", L"Defaults"}},
    {IDOK, {L"确定", L"確認", L"Confirm"}},
    {IDCANCEL, {L"取消", L"取消", L"Cancel"}},
};

const LanguageText kCaption{L"设置系统参数", L"系統參數設定", L"Preference"};

}  // namespace

BEGIN_MESSAGE_MAP(CSystemInfoDialog, CDialog)
ON_BN_CLICKED(IDOK, OnOK)
ON_BN_CLICKED(kDefaults, OnDefaults)
ON_NOTIFY(TCN_SELCHANGE, kTab, OnTabChange)
END_MESSAGE_MAP()

CSystemInfoDialog::CSystemInfoDialog(CWnd* parent) : CDialog(IDD, parent) { vqres::LoadResources(); }

// The pages go with their windows, before the tab control they live in.
CSystemInfoDialog::~CSystemInfoDialog() = default;

void CSystemInfoDialog::SetSettings(CSysSettings settings) {
  settings_ = std::move(settings);
  shownPage_ = 0;
}

void CSystemInfoDialog::SetLanguageTexts(int language) {
  for (size_t i = 0; i < tabCaptions_.size(); ++i) tabCaptions_[i] = kTabCaptions[i].In(language);
  if (language != 1 && language != 2) return;
  SetWindowText(kCaption.In(language));
  SetControlTexts(*this, language, kTexts);
}

void CSystemInfoDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kTab, tab_);
}

BOOL CSystemInfoDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  SetLanguageTexts(settings_.language);
  RECT pageRect{};
  tab_.GetClientRect(&pageRect);
  pageRect.top += kTabRowHeight;
  imagePage_ = std::make_unique<CImageParaDialog>();
  waterMarkPage_ = std::make_unique<CWaterMarkDialog>();
  advancedPage_ = std::make_unique<CAdvancedSettingDialog>();
  pages_ = {imagePage_.get(), waterMarkPage_.get(), advancedPage_.get()};
  const UINT templates[] = {CImageParaDialog::IDD, CWaterMarkDialog::IDD, CAdvancedSettingDialog::IDD};
  for (size_t i = 0; i < pages_.size(); ++i) {
    tab_.InsertItem(static_cast<int>(i), tabCaptions_[i]);
    if (!pages_[i]->Create(templates[i], &tab_)) {
      EndDialog(IDCANCEL);
      return FALSE;
    }
    pages_[i]->MoveWindow(&pageRect, TRUE);
  }
  const int tab = settings_.settingsTab >= 0 && settings_.settingsTab < 3 ? settings_.settingsTab : 0;
  tab_.SetCurSel(tab);
  ShowPage(tab);
  imagePage_->SetSettings(settings_);
  waterMarkPage_->SetSettings(settings_);
  advancedPage_->SetSettings(settings_);
  UpdateData(FALSE);
  return TRUE;
}

void CSystemInfoDialog::ShowPage(int index) {
  shownPage_ = index;
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i]) pages_[i]->ShowWindow(static_cast<int>(i) == index ? SW_SHOW : SW_HIDE);
}

void CSystemInfoDialog::OnTabChange(NMHDR*, LRESULT* result) {
  ShowPage(tab_.GetCurSel());
  *result = 0;
}

void CSystemInfoDialog::OnOK() {
  // The pages save into a copy, so a refused page leaves the record as it
  // was; the refusing page is brought to the front with its message.
  CSysSettings edited = settings_;
  int refused = -1;
  if (!imagePage_->Save(&edited))
    refused = 0;
  else if (!waterMarkPage_->Save(&edited))
    refused = 1;
  else if (!advancedPage_->Save(&edited))
    refused = 2;
  if (refused >= 0) {
    tab_.SetCurSel(refused);
    ShowPage(refused);
    return;
  }
  edited.settingsTab = tab_.GetCurSel();
  settings_ = std::move(edited);
  EndDialog(IDOK);
}

void CSystemInfoDialog::OnDefaults() {
  // Every page resets, also when the camera model is unknown (the image
  // page then keeps its dpi and capture size).
  imagePage_->Defaults(settings_.cameraModel);
  waterMarkPage_->Defaults();
  advancedPage_->Defaults();
  UpdateData(FALSE);
}
