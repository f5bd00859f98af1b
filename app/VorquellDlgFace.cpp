// The main window's face: the skins and texts of the three languages, the
// controls that follow a maximise or restore, the painting of the
// background, the logo and the strip, and the naming and colour radios.
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "app/BrandingData.h"
#include "app/CameraModels.h"
#include "app/VorquellDlg.h"
#include "platform/mfc/CDC.h"
#include "platform/win/Icons.h"
#include "platform/win/SysColors.h"
#include "platform/win/SystemMetrics.h"
#include "ui/FxButtonSkin.h"
#include "ui/LanguageTexts.h"
#include "ui/MultiPageDlg.h"
#include "ui/ShowImageDlg.h"

namespace {

// Controls moved when the window is maximised or restored; -1 are gaps.
constexpr int kLayoutIds[46] = {1041, 1003, 1005, 1051, 1106, 1042, 1043, 1055, 1011, 1008, 1010, 1032,
                                1081, 1052, 1058, 1057, 1089, 1108, 1099, 1109, 1060, 1033, 1053, 1045,
                                1046, 1047, 1012, 1013, 1014, 1015, 1035, 1037, 1048, 1036, 1018, 1023,
                                1024, 1034, 1083, -1,   -1,   -1,   -1,   1007, 1094, 1084};

struct Pictures {
  UINT normal, hover, pressed;
};

// Buttons whose pictures carry the language's words.
struct LanguageButton {
  int id;
  Pictures pictures[3];
};
constexpr LanguageButton kLanguageButtons[] = {
    {1041, {{151, 179, 166}, {280, 278, 282}, {281, 279, 283}}},
    {1003, {{152, 180, 167}, {256, 254, 258}, {257, 255, 259}}},
    {1005, {{153, 181, 168}, {250, 248, 252}, {251, 249, 253}}},
    {1033, {{158, 186, 173}, {226, 224, 228}, {227, 225, 229}}},
    {1034, {{160, 188, 175}, {262, 260, 264}, {263, 261, 265}}},
    {1023, {{161, 189, 176}, {268, 266, 270}, {269, 267, 271}}},
    {1024, {{162, 190, 177}, {274, 272, 276}, {275, 273, 277}}},
    {1018, {{164, 191, 178}, {232, 230, 234}, {233, 231, 235}}},
    {1083, {{207, 206, 208}, {238, 236, 240}, {239, 237, 241}}},
    {1084, {{220, 221, 222}, {244, 242, 246}, {245, 243, 247}}},
};

// The small buttons: the same pictures in every language, tooltips per language.
struct SmallButton {
  int id;
  Pictures pictures;
  LanguageText tooltip;
};
const SmallButton kSmallButtons[] = {
    {1011, {154, 182, 169}, {L"左转90°", L"Rotate 90° left", L"Rotate 90° CW"}},
    {1008, {155, 183, 170}, {L"上下翻转", L"Upside down", L"Rotate 180°"}},
    {1010, {156, 184, 171}, {L"右转90°", L"Rotate 90° right", L"Rotate 90°CCW"}},
    {1032, {157, 185, 172}, {L"切换镜头", L"Change device", L"Camera Swtich"}},
    {1081, {202, 201, 203}, {L"自动对焦控制", L"Auto-focus control", L"Auto-focus"}},
};

const ControlText kControlTexts[] = {
    {1051, {L"视频控制", L"視訊流控制", L"Image control"}},
    {1106, {L"曝光度", L"曝光度", L"EV"}},
    {1055, {L"自动", L"自動", L"Auto"}},
    {1052, {L"命名方式", L"命名方式", L"File Name Rule"}},
    {1058, {L"固定前缀", L"固定首碼", L"Prefix"}},
    {1057, {L"时间命名", L"時間戳記", L"Datetime"}},
    {1089, {L"自由命名", L"個人化", L"Custom"}},
    {1108, {L"前缀：", L"首碼：", L"Prefix:"}},
    {1053, {L"图像切边", L"圖像切邊", L"Image Trimming"}},
    {1045, {L"不切边", L"不切邊", L"None"}},
    {1046, {L"校正去边", L"自動切邊", L"Auto"}},
    {1047, {L"自定义", L"自訂切邊", L"Manual"}},
    {1012, {L"图像类型", L"圖像類型", L"Image type"}},
    {1013, {L"彩色", L"彩色", L"Color"}},
    {1014, {L"灰度", L"灰度", L"Grayscale"}},
    {1015, {L"黑白", L"黑白", L"Mono"}},
    {1035, {L"合并图像", L"合併圖像", L"2 in 1"}},
    {1037, {L"保存为多页TIF文件", L"保存為多頁TIF檔", L"multipage TIF"}},
    {1048, {L"条码识别", L"條碼識別", L"Barcode"}},
    {1036, {L"保存为多页PDF文件", L"保存為多頁PDF檔", L"multipage PDF"}},
};

// Label 1094 in Traditional Chinese and English.
constexpr const wchar_t* kLabelTexts[3] = {nullptr, L"文件拍攝儀", L"Document camera"};

// Every button: rounded, borderless, black cut out; the caption is empty,
// the pictures carry the words.
void SkinButton(CFxButton& button, const Pictures& pictures, bool fillMissing, const wchar_t* tooltip) {
  FxButtonSkin skin;
  skin.normal = pictures.normal;
  skin.hover = pictures.hover;
  skin.pressed = pictures.pressed;
  skin.fillMissing = fillMissing;
  skin.keyColour = RGB(0, 0, 0);
  skin.borderWidth = 0;
  skin.caption = CString();
  skin.corner = CSize(8, 8);
  if (tooltip) {
    skin.tooltip = tooltip;
    skin.tooltipText = GetSysColor(COLOR_INFOTEXT);
    skin.tooltipBack = GetSysColor(COLOR_INFOBK);
  }
  ApplyFxButtonSkin(button, skin);
}

}  // namespace

void CVorquellDlg::InitLayoutTable() {
  for (int& id : layoutTable_) id = -1;
  for (int i = 0; i < 46; ++i) layoutTable_[i] = kLayoutIds[i];
  GetClientRect(&savedClientRect_);
  laidOutSize_ = SIZE{savedClientRect_.right, savedClientRect_.bottom};
}

CFxButton& CVorquellDlg::Button(int id) {
  const int* found = std::find(std::begin(kSkinnedButtons), std::end(kSkinnedButtons), id);
  return buttons_[found - std::begin(kSkinnedButtons)];
}

void CVorquellDlg::ApplyLanguage(int language) {
  if (language < 0 || language > 2) return;
  // Only the settings button takes its missing pictures from the normal one.
  for (const LanguageButton& b : kLanguageButtons)
    SkinButton(Button(b.id), b.pictures[language], b.id == IDC_SETTINGS, nullptr);
  for (const SmallButton& b : kSmallButtons) SkinButton(Button(b.id), b.pictures, false, b.tooltip.In(language));
  Invalidate(TRUE);
  UpdateWindow();
  for (const ControlText& c : kControlTexts) SetDlgItemText(c.id, c.text.In(language));
  SetDlgItemText(IDC_WINDOW_LABEL, language == 0 ? windowLabelText_.GetString() : kLabelTexts[language]);
}

void CVorquellDlg::ApplyAlternativeLayout() {
  if (!IsSpecialCameraModel(branding_.selectedCameraIds)) return;
  const auto move = [this](int id, int dy) {
    CWnd* control = GetDlgItem(id);
    RECT r{};
    control->GetWindowRect(&r);
    ScreenToClient(&r);
    control->MoveWindow(r.left, r.top + dy, r.right - r.left, r.bottom - r.top, TRUE);
  };
  GetDlgItem(IDC_RECORD)->ShowWindow(SW_HIDE);
  int down = 0;
  for (int id : {IDC_CAPTURE, IDC_CAPTURE_PDF, IDC_COPY, IDC_RECOGNIZE}) move(id, down += 6);
  for (int id : {1106, 1042, 1043, 1055}) GetDlgItem(id)->ShowWindow(SW_HIDE);
  for (int id : {IDC_ROTATE_LEFT, IDC_ROTATE_180, IDC_ROTATE_RIGHT, IDC_SWITCH_CAMERA, IDC_FOCUS}) move(id, -25);
}

void CVorquellDlg::RememberColumn() {
  // The controls are still where the last size placed them.
  layoutSize_ = laidOutSize_;
  for (int id : layoutTable_) {
    CWnd* control = id == -1 ? nullptr : GetDlgItem(id);
    if (!control) continue;
    RECT r{};
    control->GetWindowRect(&r);
    ScreenToClient(&r);
    layoutPlaces_[id] = r;
  }
}

namespace {

// The side column's big buttons, which a short client makes lower.
bool IsBigButton(int id) {
  return id == IDC_CAPTURE || id == IDC_CAPTURE_PDF || id == IDC_COPY || id == IDC_RECOGNIZE || id == IDC_RECORD ||
         id == IDC_CONTINUOUS;
}

// How far the gaps between the column's rows, and its big buttons, may be
// narrowed: a third of the gaps and seven tenths of the buttons stay.
constexpr double kLeastGap = 0.35, kLeastButton = 0.7;

// Where the side column's rows go in a client `height` pixels high, laid
// out first for `layoutHeight`: the rows of rigid controls (the group
// boxes with what they hold, the checks, the top buttons) keep their
// height; the gaps between them narrow first, then the big buttons.
class ColumnScale {
 public:
  ColumnScale(const std::map<int, RECT>& places, const std::map<int, bool>& shown, LONG layoutHeight)
      : kinds_(static_cast<size_t>(std::max<LONG>(layoutHeight, 1)), kGap) {
    for (int pass = 0; pass < 2; ++pass)
      for (const auto& [id, r] : places) {
        if (id == IDC_PREVIEW_AREA || id == IDC_WINDOW_LABEL) continue;
        const auto visible = shown.find(id);
        if (visible != shown.end() && !visible->second) continue;
        const bool big = IsBigButton(id);
        if ((pass == 0) != big) continue;  // buttons first, rigid rows over them
        for (LONG y = std::max<LONG>(0, r.top); y < std::min<LONG>(r.bottom, LONG(kinds_.size())); ++y)
          kinds_[size_t(y)] = big ? kButton : kRigid;
      }
    for (Kind k : kinds_) ++counts_[k];
  }

  // The smallest height the column fits.
  LONG Least() const {
    return LONG(std::ceil(counts_[kRigid] + kLeastGap * counts_[kGap] + kLeastButton * counts_[kButton]));
  }

  // Sets the scales for a client `height` high.
  void For(LONG height) {
    scale_[kRigid] = scale_[kGap] = scale_[kButton] = 1;
    const double deficit = double(kinds_.size()) - height;
    if (deficit <= 0) return;
    const double gaps = counts_[kGap], buttons = counts_[kButton];
    if (gaps > 0) scale_[kGap] = std::max(kLeastGap, 1 - deficit / gaps);
    const double left = deficit - (1 - scale_[kGap]) * gaps;
    if (left > 0 && buttons > 0) scale_[kButton] = std::max(kLeastButton, 1 - left / buttons);
  }

  // Where a row of the layout lies now.
  LONG Map(LONG y) const {
    double mapped = 0;
    const LONG rows = LONG(kinds_.size());
    for (LONG row = 0; row < std::min(y, rows); ++row) mapped += scale_[kinds_[size_t(row)]];
    return LONG(std::lround(mapped)) + std::max<LONG>(0, y - rows);
  }

 private:
  enum Kind { kGap, kButton, kRigid };
  std::vector<Kind> kinds_;
  double counts_[3] = {0, 0, 0};
  double scale_[3] = {1, 1, 1};
};

std::map<int, bool> ShownControls(CWnd& dialog, const std::map<int, RECT>& places) {
  std::map<int, bool> shown;
  for (const auto& [id, r] : places)
    if (CWnd* control = dialog.GetDlgItem(id)) shown[id] = (control->GetStyle() & WS_VISIBLE) != 0;
  return shown;
}

}  // namespace

SIZE CVorquellDlg::MinimumClientSize() {
  if (layoutSize_.cy == 0) RememberColumn();
  const ColumnScale scale(layoutPlaces_, ShownControls(*this, layoutPlaces_), layoutSize_.cy);
  // The preview keeps some width beside the column; the status line under
  // it stays.
  const LONG least = scale.Least();
  return SIZE{std::min<LONG>(layoutSize_.cx, 800), std::min<LONG>(layoutSize_.cy, least)};
}

void CVorquellDlg::LayOut(int cx, int cy) {
  if (layoutSize_.cy == 0) RememberColumn();
  const int dx = cx - layoutSize_.cx, dy = cy - layoutSize_.cy;
  ColumnScale scale(layoutPlaces_, ShownControls(*this, layoutPlaces_), layoutSize_.cy);
  scale.For(cy);
  for (const auto& [id, place] : layoutPlaces_) {
    CWnd* control = GetDlgItem(id);
    if (!control) continue;
    RECT r = place;
    if (id == IDC_PREVIEW_AREA) {
      r.right += dx;
      r.bottom += dy;
    } else if (id == IDC_WINDOW_LABEL) {
      r.right += dx;
      r.top += dy;
      r.bottom += dy;
    } else {
      r.left += dx;
      r.right += dx;
      // A row keeps its place in a client as high as the layout or higher;
      // in a shorter one the column's gaps narrow, then its big buttons.
      const LONG top = scale.Map(place.top);
      r.bottom = IsBigButton(id) ? std::max<LONG>(top + 1, scale.Map(place.bottom)) : top + (place.bottom - place.top);
      r.top = top;
    }
    control->MoveWindow(&r, TRUE);
    if (id != IDC_PREVIEW_AREA) continue;
    previewRect_ = r;
    for (CCaptureController* camera : {documentController_.get(), portraitController_.get()}) {
      if (!camera) continue;
      camera->SetPreviewRect(r.left, r.top, r.right, r.bottom);
      camera->MovePreviewWindow();
    }
  }
  laidOutSize_ = SIZE{cx, cy};
}

void CVorquellDlg::OnSize(UINT type, int, int) {
  Default();
  // The controls follow the client area whatever its size, maximised or
  // not (a window manager may maximise one way only, or restore a window
  // to a size of its own choosing); what the client area is, not what a
  // message says, places them.
  CRect client;
  GetClientRect(&client);
  // Nothing moves before the layout is known (InitLayoutTable). The
  // preview moves on its own thread: a size that comes while the layout
  // waits for it is laid out within, and this one, done after, is redone.
  bool laidOut = false;
  while (laidOutSize_.cy > 0 && type != SIZE_MINIMIZED && !::IsIconic(m_hWnd) && client.Width() > 0 &&
         client.Height() > 0 && (client.Width() != laidOutSize_.cx || client.Height() != laidOutSize_.cy)) {
    LayOut(client.Width(), client.Height());
    laidOut = true;
    GetClientRect(&client);
  }
  if (laidOut) {
    Invalidate(TRUE);
    UpdateWindow();
  }
  savedClientRect_ = client;
}

void CVorquellDlg::OnPaint() {
  CPaintDC dc(this);
  if (::IsIconic(m_hWnd)) {
    // The icon centred in the client area, as a minimised dialog draws it.
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.GetSafeHdc(), x, y, icon_);
    return;
  }
  CRect client;
  GetClientRect(&client);
  dc.FillSolidRect(&client, RGB(243, 243, 243));
  for (int id : {1051, 1052, 1053, 1012}) {
    CWnd* group = GetDlgItem(id);
    if (!group) continue;
    CRect r;
    group->GetClientRect(&r);
    group->ClientToScreen(&r);
    ScreenToClient(&r);
    dc.FillSolidRect(&r, RGB(238, 238, 238));
  }
  for (auto& item : strip_) item->Draw(&dc);
  if (logo_) logo_->Draw(&dc);
}

HCURSOR CVorquellDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(icon_); }

BOOL CVorquellDlg::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_GETMINMAXINFO && lParam) {
    // The window manager is told the smallest window the layout fits.
    CRect window, client;
    GetWindowRect(&window);
    GetClientRect(&client);
    const SIZE least = MinimumClientSize();
    auto* info = reinterpret_cast<LPMINMAXINFO>(lParam);
    info->ptMinTrackSize = POINT{least.cx + window.Width() - client.Width(), least.cy + window.Height() - client.Height()};
    if (result) *result = 0;
    return TRUE;
  }
  if (message == WM_PREFIX_CHANGED) {
    imageCounter_ = 0;
    settings_.imageIndex = 0;
    UpdateData(FALSE);
  } else if (message != WM_USER + 0x21) {  // nothing sends it; it is answered and nothing else happens
    return CDialog::OnWndMsg(message, wParam, lParam, result);
  }
  if (result) *result = 0;
  return TRUE;
}

void CVorquellDlg::OnNamingPrefix() {
  namingMode_ = 0;
  GetDlgItem(IDC_PREFIX_COMBO)->EnableWindow(TRUE);
  GetDlgItem(IDC_IMAGE_COUNTER)->EnableWindow(TRUE);
}

void CVorquellDlg::OnNamingDateTime() {
  namingMode_ = 1;
  GetDlgItem(IDC_PREFIX_COMBO)->EnableWindow(FALSE);
  GetDlgItem(IDC_IMAGE_COUNTER)->EnableWindow(FALSE);
}

void CVorquellDlg::OnNamingFree() {
  namingMode_ = 2;
  GetDlgItem(IDC_PREFIX_COMBO)->EnableWindow(FALSE);
  GetDlgItem(IDC_IMAGE_COUNTER)->EnableWindow(FALSE);
}

void CVorquellDlg::OnIndexChanged() {
  UpdateData(TRUE);
  settings_.imageIndex = imageCounter_;
}

void CVorquellDlg::OnColorModeColor() {
  UpdateData(TRUE);
  settings_.colorMode = 0;
  if (mergeDlg_ && mergeDlg_->GetSafeHwnd()) mergeDlg_->SetSettings(settings_);
}

void CVorquellDlg::OnColorModeGray() {
  UpdateData(TRUE);
  settings_.colorMode = 1;
  if (mergeDlg_ && mergeDlg_->GetSafeHwnd()) mergeDlg_->SetSettings(settings_);
}

void CVorquellDlg::OnColorModeMono() {
  settings_.colorMode = 2;
  if (mergeDlg_ && mergeDlg_->GetSafeHwnd()) mergeDlg_->SetSettings(settings_);
}
