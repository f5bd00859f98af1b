#include "ui/AdvancedSettingDialog.h"

#include "app/FileNaming.h"
#include "app/IniFile.h"
#include "app/SettingsRanges.h"
#include "platform/dshow/Com.h"
#include "platform/win/Clock.h"
#include "platform/win/FolderBrowser.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kDateFolder = 1097, kShadow = 1087, kDeformation = 1088, kMultiCut = 1113, kBarcode = 1107;
constexpr int kFastMode = 1116, kDocCheck = 1105, kSound = 1055, kKeepSources = 1093, kNoiseSize = 1062;
constexpr int kFolder = 1016, kBrowse = 1017, kActualSize = 1079, kLanguageBox = 1118, kLanguageLabel = 1120;
constexpr int kTwoImagesInOne = 1142, kEnglishOcr = 1143;

const ControlText kTexts[] = {
    {1121, {L"存储路径", L"儲存位置", L"Storage Path"}},
    {1017, {L"存储设置", L"修改設定", L"Change Path"}},
    {1097, {L"保存至日期文件夹", L"儲存到日期資料夾", L"Save in date folder"}},
    {1122, {L"打印设置", L"列印設定", L"Printing Setting"}},
    {1079, {L"原比例打印", L"同比例列印", L"1:1 print"}},
    {1080, {L"缩放打印", L"適合比例列印", L"Scaled print"}},
    {1123, {L"其他设置", L"其他設定", L"Other Settings"}},
    {1087, {L"去阴影", L"淡化光影", L"Shadow removal"}},
    {1113, {L"多目标自动切边", L"識別多個物件", L"Multi-object capture"}},
    {1107, {L"条码到文本", L"將條碼符號儲存到.txt", L"Scan barcode to TXT"}},
    {1105, {L"文档方向检测", L"檔案方向檢驗", L"Auto rotate screen"}},
    {1055, {L"拍摄音", L"通知音", L"Shutter Sound"}},
    {1093, {L"保留合并素材", L"儲存原始檔", L"Reserve images for merging"}},
    {1119, {L"要去除的噪点大小：", L"噪聲點尺寸判定線：", L"Max noise point:"}},
    {1120, {L"选择语言：", L"語言設定：", L"Language:"}},
    {1088, {L"文档形变处理", L"修正檔案形狀", L"Repair Doc. deformation"}},
    {1116, {L"开启高速模式", L"高速模式", L"Start device with high-speed mode"}},
    {1142, {L"画中画模式", L"畫中畫預覽", L"PIP Mode"}},
    {1143, {L"英文OCR", L"英文文字辨識", L"OCR for english file"}},
};

const wchar_t* const kLanguageNames[] = {L"中文(简体)", L"中文(繁體)", L"English"};

// The window the sheet runs in, so the folder browser is modal to it.
HWND TopLevelOf(HWND window) {
  while (window && (GetWindowLongW(window, GWL_STYLE) & WS_CHILD)) window = GetParent(window);
  return window;
}

}  // namespace

CString TodayFolderName() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return DateText(now);
}

BEGIN_MESSAGE_MAP(CAdvancedSettingDialog, CDialog)
ON_BN_CLICKED(kBrowse, OnBrowseFolder)
END_MESSAGE_MAP()

CAdvancedSettingDialog::CAdvancedSettingDialog(CWnd* parent) : CDialog(IDD, parent) { vqres::LoadResources(); }

BOOL CAdvancedSettingDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  for (const wchar_t* name : kLanguageNames) languageBox_.AddString(name);
  return TRUE;
}

void CAdvancedSettingDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Check(dx, kDateFolder, dateFolder_);
  DDX_Check(dx, kShadow, shadow_);
  DDX_Check(dx, kDeformation, deformation_);
  DDX_Check(dx, kMultiCut, multiCut_);
  DDX_Check(dx, kBarcode, barcodeToFile_);
  DDX_Check(dx, kFastMode, fastMode_);
  DDX_Check(dx, kDocCheck, docCheck_);
  DDX_Check(dx, kSound, playSound_);
  DDX_Check(dx, kKeepSources, keepSources_);
  DDX_Text(dx, kNoiseSize, noiseSize_);
  DDV_MinMaxInt(dx, noiseSize_, kMinNoiseSize, kMaxNoiseSize);
  DDX_Text(dx, kFolder, folder_);
  DDX_Radio(dx, kActualSize, printMode_);
  DDX_Control(dx, kLanguageBox, languageBox_);
  DDX_Check(dx, kTwoImagesInOne, twoImagesInOne_);
}

void CAdvancedSettingDialog::SetLanguageTexts(int language) {
  SetControlTexts(*this, language, kTexts);
  languageBox_.SetCurSel(language == 1 || language == 2 ? language : 0);
}

bool CAdvancedSettingDialog::SetSettings(CSysSettings settings) {
  GetDlgItem(kLanguageLabel)->ShowWindow(SW_HIDE);
  GetDlgItem(kLanguageBox)->ShowWindow(SW_HIDE);
  CWnd* fastMode = GetDlgItem(kFastMode);
  fastMode->ShowWindow(settings.offersMjpg ? SW_SHOW : SW_HIDE);
  fastMode->EnableWindow(settings.currentCamera != 1);
  dateFolder_ = settings.dateFolder;
  folder_ = settings.foldPath;
  printMode_ = settings.printType;
  shadow_ = settings.shadow;
  deformation_ = settings.deformation;
  multiCut_ = settings.multiCutPage ? 1 : 0;
  barcodeToFile_ = settings.barcodeToFile;
  fastMode_ = settings.fastMode;
  docCheck_ = settings.docCheck;
  playSound_ = settings.playSound;
  keepSources_ = settings.keepMergeSources;
  noiseSize_ = settings.noiseSize;
  language_ = settings.language;
  twoImagesInOne_ = settings.twoImagesInOne;
  engOcr_ = settings.engOcr;
  SetLanguageTexts(language_);
  CheckDlgButton(kEnglishOcr, engOcr_ ? BST_CHECKED : BST_UNCHECKED);
  UpdateData(FALSE);
  return true;
}

bool CAdvancedSettingDialog::Save(CSysSettings* out) {
  if (!UpdateData(TRUE)) return false;
  out->dateFolder = dateFolder_;
  out->foldPath = folder_;
  out->currentFolder = dateFolder_ == 1 ? folder_ + L"/" + TodayFolderName() : folder_;
  out->printType = printMode_;
  out->shadow = shadow_;
  out->deformation = deformation_;
  out->multiCutPage = multiCut_ == 1;
  out->barcodeToFile = barcodeToFile_;
  out->fastMode = fastMode_;
  out->docCheck = docCheck_;
  out->playSound = playSound_;
  out->keepMergeSources = keepSources_;
  out->noiseSize = noiseSize_;
  if (languageBox_.GetCurSel() >= 0) out->language = languageBox_.GetCurSel();
  out->twoImagesInOne = twoImagesInOne_;
  out->engOcr = IsDlgButtonChecked(kEnglishOcr) == BST_CHECKED ? 1 : 0;
  return true;
}

bool CAdvancedSettingDialog::Defaults() {
  twoImagesInOne_ = 1;
  engOcr_ = 0;
  CheckDlgButton(kEnglishOcr, BST_UNCHECKED);
  dateFolder_ = 0;
  printMode_ = 0;
  folder_ = DefaultImageFolder();
  shadow_ = deformation_ = multiCut_ = barcodeToFile_ = fastMode_ = docCheck_ = playSound_ = keepSources_ = 0;
  noiseSize_ = 5;
  language_ = 0;  // the box keeps its entry, so the language stays
  UpdateData(FALSE);
  return true;
}

void CAdvancedSettingDialog::OnBrowseFolder() {
  wchar_t name[MAX_PATH] = {};
  BROWSEINFOW info{};
  info.hwndOwner = TopLevelOf(m_hWnd);
  info.pszDisplayName = name;
  info.lpszTitle = L"选择图像存储文件夹";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) folder_ = path;
    CoTaskMemFree(chosen);
  }
  SetDlgItemText(kFolder, folder_);
}
