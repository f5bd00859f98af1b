#include "twain/ScanParameterDlg.h"

#include <cwchar>

#include "capture/CaptureController.h"
#include "platform/mfc/DataExchange.h"
#include "twain/CameraModels.h"
#include "ui/WaterMarkDialog.h"

namespace strenvik {

namespace {
constexpr int kXResolution = 6022, kYResolution = 6023, kSizeList = 6035;
constexpr int kCustomMark = 6043, kMarkText = 6044, kTimeMark = 6045, kMarkSize = 6046;
constexpr int kColorList = 6047, kTransparency = 6048, kTransparencyText = 6049;
constexpr int kMultiCut = 6050, kPictureInPicture = 6051;
// In the order of the watermark page's colour table.
const wchar_t* const kColorNames[] = {L"红", L"绿", L"蓝", L"白", L"黑"};

CString SizeText(int width, int height) {
  CString text;
  text.Format(L"%dx%d", width, height);
  return text;
}
}  // namespace

BEGIN_MESSAGE_MAP(CScanParameterDlg, CDialog)
ON_BN_CLICKED(kCustomMark, OnCustomMarkClicked)
ON_BN_CLICKED(kTimeMark, OnTimeMarkClicked)
ON_NOTIFY(NM_RELEASEDCAPTURE, kTransparency, OnTransparencyReleased)
END_MESSAGE_MAP()

CScanParameterDlg::CScanParameterDlg(CWnd* owner) : CDialog(IDD, owner) {}

void CScanParameterDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, kXResolution, m_xResolution);
  DDX_Text(dx, kYResolution, m_yResolution);
  DDX_Control(dx, kSizeList, m_sizeList);
  DDX_Text(dx, kMarkSize, m_markSize);
  DDX_Slider(dx, kTransparency, m_transparency);
  DDV_MinMaxInt(dx, m_transparency, 0, 100);
  DDX_Text(dx, kTransparencyText, m_transparencyText);
  DDX_Check(dx, kTimeMark, m_timeMark);
  DDX_Check(dx, kCustomMark, m_customMark);
  DDX_Text(dx, kMarkText, m_markText);
  DDX_Control(dx, kColorList, m_colorList);
  DDX_Check(dx, kMultiCut, m_multiCut);
  DDX_Check(dx, kPictureInPicture, m_pictureInPicture);
}

int& CScanParameterDlg::StoredWidth() {
  return m_settings.cameraMode == 1 ? m_settings.PortraitResolutionWidth : m_settings.ResolutionWidth;
}

int& CScanParameterDlg::StoredHeight() {
  return m_settings.cameraMode == 1 ? m_settings.PortraitResolutionHeight : m_settings.ResolutionHeight;
}

void CScanParameterDlg::FillSizeList() {
  const int count = m_captureController->GetFormatCount();
  if (count < 0) {
    m_sizeList.SetCurSel(0);
    m_sizeList.EnableWindow(FALSE);
    return;
  }
  for (int i = 0; i < count; ++i) {
    int width = 0, height = 0;
    m_captureController->GetFormatSize(i, &width, &height);
    // A size offered in several formats is listed once.
    const CString text = SizeText(width, height);
    if (m_sizeList.FindStringExact(-1, text) < 0) m_sizeList.AddString(text);
  }
  if (m_settings.cameraMode != 1)
    for (const SIZE& size : GetModelExtraSizes()) m_sizeList.AddString(SizeText(size.cx, size.cy));
  // A stored size the camera does not offer selects nothing.
  m_sizeList.SetCurSel(m_sizeList.FindStringExact(-1, SizeText(StoredWidth(), StoredHeight())));
}

BOOL CScanParameterDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  for (const wchar_t* name : kColorNames) m_colorList.AddString(name);
  SendDlgItemMessageW(m_hWnd, kTransparency, TBM_SETRANGEMIN, FALSE, 0);
  SendDlgItemMessageW(m_hWnd, kTransparency, TBM_SETRANGEMAX, TRUE, 100);
  if (m_captureController) FillSizeList();
  // The resolution edits only carry the record's values through.
  for (int id : {kXResolution, kYResolution, 6039, 6040}) GetDlgItem(id)->ShowWindow(SW_HIDE);
  m_customMark = m_settings.TextMark != FALSE;
  GetDlgItem(kMarkText)->EnableWindow(m_customMark);
  m_timeMark = m_settings.TimeMark != FALSE;
  m_markSize = m_settings.Size;
  m_colorList.SetCurSel(CWaterMarkDialog::ColorIndex(m_settings.Color));
  m_transparencyText = m_transparency = m_settings.Transparency;
  m_markText = m_settings.Content;
  m_xResolution = m_settings.XDPI;
  m_yResolution = m_settings.YDPI;
  m_multiCut = m_settings.MULTICUT;
  m_pictureInPicture = m_settings.TwoImagesInOne;
  UpdateData(FALSE);
  return TRUE;
}

void CScanParameterDlg::OnOK() {
  const int selected = m_sizeList.GetCurSel();
  if (selected >= 0) {
    CString text;
    m_sizeList.GetLBText(selected, text);
    const wchar_t* entry = text;
    wchar_t* end = nullptr;
    const long width = std::wcstol(entry, &end, 10);
    if (*end == L'x') {
      StoredWidth() = static_cast<int>(width);
      StoredHeight() = static_cast<int>(std::wcstol(end + 1, nullptr, 10));
    }
  }
  UpdateData(TRUE);
  m_settings.XDPI = m_xResolution;
  m_settings.YDPI = m_yResolution;
  m_settings.TextMark = m_customMark;
  m_settings.TimeMark = m_timeMark;
  m_settings.Size = m_markSize;
  // A colour typed into the list selects nothing: red.
  m_settings.Color = CWaterMarkDialog::ColorOfIndex(m_colorList.GetCurSel());
  m_settings.Transparency = m_transparency;
  m_settings.Content = m_markText;
  if (m_markText.IsEmpty()) m_settings.TextMark = FALSE;
  m_settings.MULTICUT = m_multiCut != 0;
  m_settings.TwoImagesInOne = m_pictureInPicture;
  CDialog::OnOK();
}

void CScanParameterDlg::OnCustomMarkClicked() {
  UpdateData(TRUE);
  if (m_customMark) m_timeMark = 0;
  GetDlgItem(kMarkText)->EnableWindow(m_customMark);
  UpdateData(FALSE);
}

void CScanParameterDlg::OnTimeMarkClicked() {
  UpdateData(TRUE);
  if (m_timeMark) {
    m_customMark = 0;
    GetDlgItem(kMarkText)->EnableWindow(FALSE);
  }
  UpdateData(FALSE);
}

void CScanParameterDlg::OnTransparencyReleased(NMHDR*, LRESULT* result) {
  UpdateData(TRUE);
  // Only a release of the mouse shows the number; keys leave it.
  m_transparencyText = m_transparency;
  UpdateData(FALSE);
  *result = 0;
}

}  // namespace strenvik
