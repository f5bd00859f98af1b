#include "ui/ImageParaDialog.h"

#include <array>
#include <utility>

#include "app/CameraModels.h"
#include "app/SettingsRanges.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kXDpi = 1038, kYDpi = 1039, kQuality = 1040, kResolution = 1006;
constexpr int kCutLeft = 1069, kCutTop = 1070, kCutRight = 1071, kCutBottom = 1072;

// Radio button of each image format, by format value 0..5.
constexpr std::array<int, 6> kFormatButtons = {1063, 1022, 1075, 1076, 1021, 1111};

const ControlText kTexts[] = {
    {1130, {L"图像XDPI：", L"橫向DPI：", L"Hor. DPI: "}},
    {1131, {L"图像YDPI：", L"縱向DPI：", L"Vert. DPI: "}},
    {1132, {L"JPG图像质量：低", L"JPG品質：      差", L"JPG quality:    Low"}},
    {1112, {L"高", L"優", L"High"}},
    {1133, {L"图像分辨率：", L"解析度：", L"Resolution: "}},
    {1134, {L"切割范围：左", L"頁邊裁剪：左", L"Trim:       Left"}},
    {1135, {L"      上 ", L"      上", L"   Top"}},
    {1136, {L"      右 ", L"      右", L" Right"}},
    {1137, {L"      下 ", L"      下", L"Bottom"}},
    {1138, {L"图像格式：", L"圖像格式：", L"Image format:"}},
    {1063, {L"默认", L"預設", L"Default"}},
};

struct ModelDefaults {
  int dpi;
  int width;
  int height;
};

// By camera model index 0..6.
constexpr std::array<ModelDefaults, 7> kModelDefaults = {{
    {215, 2592, 1944},
    {215, 2592, 1944},
    {270, 3264, 2448},
    {310, 3742, 2806},
    {330, 4000, 3000},
    {310, 3840, 2748},
    {310, 3742, 2806},
}};

CString SizeText(int width, int height) {
  CString text;
  text.Format(L"%d*%d", width, height);
  return text;
}

}  // namespace

CImageParaDialog::CImageParaDialog(CWnd* parent) : CDialog(IDD, parent) { vqres::LoadResources(); }

BOOL CImageParaDialog::OnInitDialog() {
  SendDlgItemMessageW(m_hWnd, kQuality, TBM_SETRANGEMIN, FALSE, 0);
  SendDlgItemMessageW(m_hWnd, kQuality, TBM_SETRANGEMAX, TRUE, 100);
  return CDialog::OnInitDialog();
}

void CImageParaDialog::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, kXDpi, xDpi_);
  DDV_MinMaxInt(dx, xDpi_, kMinDpi, kMaxDpi);
  DDX_Text(dx, kYDpi, yDpi_);
  DDV_MinMaxInt(dx, yDpi_, kMinDpi, kMaxDpi);
  DDX_Slider(dx, kQuality, jpgQuality_);
  DDV_MinMaxInt(dx, jpgQuality_, 0, kMaxJpegQuality);
  DDX_Control(dx, kResolution, resolutionBox_);
  // Margins beyond any frame would overflow where the preview rounds them.
  for (auto [id, margin] : {std::pair{kCutLeft, &cutLeft_}, {kCutTop, &cutTop_}, {kCutRight, &cutRight_},
                            {kCutBottom, &cutBottom_}}) {
    DDX_Text(dx, id, *margin);
    DDV_MinMaxInt(dx, *margin, 0, kMaxMargin);
  }
}

bool CImageParaDialog::HasResolution(int width, int height) const {
  return HoldsResolution(resolutions_, width, height);
}

bool CImageParaDialog::BuildResolutionList(const CString& vendorId, const CString& productId) {
  resolutions_ = OfferedResolutions(vendorId, productId);
  return !resolutions_.empty();
}

void CImageParaDialog::SelectResolution(int width, int height) {
  // Whole entries only: a prefix would take "1280*720" for 1280 x 72.
  int found = resolutionBox_.FindStringExact(-1, SizeText(width, height));
  if (found >= 0) resolutionBox_.SetCurSel(found);
}

void CImageParaDialog::CheckFormat(int format) {
  if (format < 0 || format >= static_cast<int>(kFormatButtons.size())) format = 0;
  for (size_t i = 0; i < kFormatButtons.size(); ++i)
    CheckDlgButton(kFormatButtons[i], static_cast<int>(i) == format ? BST_CHECKED : BST_UNCHECKED);
}

bool CImageParaDialog::SetSettings(CSysSettings settings) {
  const bool portrait = settings.currentCamera == 1;
  const bool listed = portrait ? BuildResolutionList(settings.portraitVendorId, settings.portraitProductId)
                               : BuildResolutionList(settings.docVendorId, settings.docProductId);
  xDpi_ = settings.xDpi;
  yDpi_ = settings.yDpi;
  jpgQuality_ = settings.jpgQuality;
  cutLeft_ = settings.cutLeft;
  cutTop_ = settings.cutTop;
  cutRight_ = settings.cutRight;
  cutBottom_ = settings.cutBottom;
  language_ = settings.language;
  resolutionBox_.ResetContent();
  for (const ResolutionEntry& entry : resolutions_) resolutionBox_.AddString(SizeText(entry.width, entry.height));
  resolutionBox_.SetCurSel(0);
  if (portrait)
    SelectResolution(settings.porCamWidth, settings.porCamHeight);
  else
    SelectResolution(settings.docCamWidth, settings.docCamHeight);
  CheckFormat(settings.imgFormat);
  UpdateData(FALSE);
  SetLanguageTexts(language_);
  return listed;
}

bool CImageParaDialog::Save(CSysSettings* out) {
  if (!UpdateData(TRUE)) return false;
  out->jpgQuality = jpgQuality_;
  out->xDpi = xDpi_;
  out->yDpi = yDpi_;
  out->cutLeft = cutLeft_;
  out->cutTop = cutTop_;
  out->cutRight = cutRight_;
  out->cutBottom = cutBottom_;
  const int selected = resolutionBox_.GetCurSel();
  if (selected >= 0 && selected < static_cast<int>(resolutions_.size())) {
    const ResolutionEntry& entry = resolutions_[static_cast<size_t>(selected)];
    if (out->currentCamera == 1) {
      out->porCamWidth = entry.width;
      out->porCamHeight = entry.height;
    } else {
      out->docCamWidth = entry.width;
      out->docCamHeight = entry.height;
    }
  }
  for (size_t i = 0; i < kFormatButtons.size(); ++i)
    if (IsDlgButtonChecked(kFormatButtons[i]) == BST_CHECKED) out->imgFormat = static_cast<int>(i);
  return true;
}

bool CImageParaDialog::Defaults(int cameraModel) {
  jpgQuality_ = 70;
  cutLeft_ = cutTop_ = cutRight_ = cutBottom_ = 0;
  CheckFormat(0);
  SendDlgItemMessageW(m_hWnd, kQuality, TBM_SETPOS, TRUE, jpgQuality_);
  for (int id : {kCutLeft, kCutTop, kCutRight, kCutBottom}) SetDlgItemInt(id, 0);
  // An unknown model has no default dpi or size: what the fields hold stays.
  if (cameraModel < 0 || cameraModel >= static_cast<int>(kModelDefaults.size())) return false;
  const ModelDefaults& model = kModelDefaults[static_cast<size_t>(cameraModel)];
  xDpi_ = yDpi_ = model.dpi;
  SetDlgItemInt(kXDpi, static_cast<UINT>(model.dpi));
  SetDlgItemInt(kYDpi, static_cast<UINT>(model.dpi));
  SelectResolution(model.width, model.height);
  return true;
}

void CImageParaDialog::SetLanguageTexts(int language) { SetControlTexts(*this, language, kTexts); }
