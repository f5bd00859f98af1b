// The main window's message map, its start-up and its shutdown.
#include "app/VorquellDlg.h"

#include <cstdio>

#include "app/BrandingData.h"
#include "app/ContinuousShooting.h"
#include "app/ImageConversions.h"
#include "app/OrientationThread.h"
#include "app/IniFile.h"
#include "app/SettingsLocation.h"
#include "app/SplashDlg.h"
#include "app/VorquellApp.h"
#include "capture/PreviewMessages.h"
#include "platform/mfc/DataExchange.h"
#include "platform/win/Accelerators.h"
#include "platform/win/Clock.h"
#include "platform/win/DialogKeys.h"
#include "platform/win/Icons.h"
#include "platform/win/InputFocus.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Sync.h"
#include "ui/ContinuousShootDlg.h"
#include "ui/MultiPageDlg.h"
#include "ui/OCRProgressDlg.h"

namespace {

constexpr const wchar_t* kDataFileName = L"data.dat";
constexpr const wchar_t* kDataFolderName = L"Ombrecht Software";
constexpr int kProgramIcon = 128;

}  // namespace

BEGIN_MESSAGE_MAP(CVorquellDlg, CDialog)
ON_WM_PAINT()
ON_WM_DESTROY()
ON_WM_TIMER()
ON_WM_HSCROLL()
ON_WM_DEVICECHANGE()
ON_BN_CLICKED(IDC_EXIT, OnExit)
ON_BN_CLICKED(IDC_ROTATE_LEFT, OnRotateLeft)
ON_BN_CLICKED(IDC_ROTATE_180, OnRotate180)
ON_BN_CLICKED(IDC_ROTATE_RIGHT, OnRotateRight)
ON_BN_CLICKED(IDC_SWITCH_CAMERA, OnSwitchCamera)
ON_MESSAGE(WM_IMAGEPATH_REQUEST, OnImagePathRequest)
ON_BN_CLICKED(IDC_SETTINGS, OnSystemParameters)
ON_MESSAGE(WM_ORIENTATION_RESULT, OnOrientationResult)
ON_BN_CLICKED(IDC_CAPTURE, OnCapture)
ON_COMMAND(ID_ACCEL_CAPTURE, OnCapture)
ON_MESSAGE(WM_VIDEO_STILL_READY, OnStillImage)
ON_BN_CLICKED(IDC_CAPTURE_PDF, CaptureToPdf)
ON_COMMAND(ID_ACCEL_CAPTURE_PDF, CaptureToPdf)
ON_BN_CLICKED(IDC_COPY, CaptureAndPrint)
ON_COMMAND(ID_ACCEL_COPY, CaptureAndPrint)
ON_BN_CLICKED(IDC_MERGE, OnMergeBox)
ON_BN_CLICKED(IDC_ONE_PDF, OnOnePdfBox)
ON_BN_CLICKED(IDC_MULTIPAGE_TIF, OnMultiPageTiffBox)
ON_BN_CLICKED(IDC_BARCODE, OnBarcodeBox)
ON_MESSAGE(WM_THUMB_NOTIFY, OnThumbNotify)
ON_MESSAGE(WM_MERGE_FINISHED, OnMergeFinished)
ON_MESSAGE(WM_MULTIPAGE_CLOSED, OnMultiPageClosed)
ON_COMMAND(ID_THUMB_DELETE, OnDeleteThumbFile)
ON_COMMAND(ID_THUMB_OPEN, OnOpenThumbFile)
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_RBUTTONDOWN()
ON_BN_CLICKED(IDC_CONTINUOUS, OnContinuousShooting)
ON_MESSAGE(WM_CONTINUOUS_SHOT, OnContinuousShot)
ON_BN_CLICKED(IDC_RECOGNIZE, CaptureForOcr)
ON_BN_CLICKED(IDC_RECORD, RecordVideo)
ON_WM_QUERYDRAGICON()
ON_WM_SIZE()
ON_BN_CLICKED(IDC_NAME_PREFIX, OnNamingPrefix)
ON_BN_CLICKED(IDC_NAME_DATETIME, OnNamingDateTime)
ON_BN_CLICKED(IDC_NAME_FREE, OnNamingFree)
ON_EN_CHANGE(IDC_IMAGE_COUNTER, OnIndexChanged)
ON_BN_CLICKED(IDC_COLOR, OnColorModeColor)
ON_BN_CLICKED(IDC_GRAY, OnColorModeGray)
ON_BN_CLICKED(IDC_MONO, OnColorModeMono)
ON_BN_CLICKED(IDC_CROP_NONE, OnCropNone)
ON_BN_CLICKED(IDC_CROP_AUTO, OnCropAuto)
ON_BN_CLICKED(IDC_CROP_MANUAL, OnCropManual)
ON_BN_CLICKED(IDC_FOCUS, OnAutoFocus)
ON_BN_CLICKED(IDC_AUTO_EXPOSURE, OnAutoExposureBox)
ON_BN_CLICKED(IDC_VIDEO_PAGES, OnVideoParameters)
ON_BN_CLICKED(IDC_BROWSE_IMAGES, OnBrowseImages)
ON_COMMAND(IDC_STREAM_PAGES, OnStreamPages)
END_MESSAGE_MAP()

CVorquellDlg::CVorquellDlg(CWnd* parent, CBrandingData* branding)
    : CDialog(IDD, parent),
      branding_(branding ? *branding : TheBrandingData()),
      icon_(LoadIconW(nullptr, MAKEINTRESOURCEW(kProgramIcon))),
      orientationThreadProc_(&OrientationThreadProc) {
  vqres::LoadResources();
  for (int& id : layoutTable_) id = -1;
}

CVorquellDlg::~CVorquellDlg() {
  // Normally DestroyWindow has let everything go; this covers a window
  // that was never created.
  StopOrientationThread();
  CloseCameras();
  multiPageDlg_.reset();
}

void CVorquellDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Check(dx, IDC_BARCODE, settings_.recognize);
  DDV_MinMaxFloat(dx, continuousInterval_, 0.5f, 3600.0f);
  DDX_Text(dx, IDC_EXPOSURE_VALUE, exposureValue_);
  DDX_Control(dx, IDC_EXPOSURE_SLIDER, exposureSlider_);
  for (int i = 0; i < 14; ++i) DDX_Control(dx, kSkinnedButtons[i], buttons_[i]);
  DDX_Control(dx, IDC_PREFIX_COMBO, prefixCombo_);
  DDX_Text(dx, IDC_IMAGE_COUNTER, imageCounter_);
  DDX_Radio(dx, IDC_NAME_PREFIX, namingMode_);
  DDX_Control(dx, IDC_CONTINUOUS, buttons_[14]);
}

BOOL CVorquellDlg::PreTranslateMessage(MSG* msg) {
  // While the merge dialog is open the main window keeps the keys for the
  // next capture; Esc there is the merge dialog's (its Cancel, which keeps
  // the pictures as pages), never the end of the program.
  if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE && mergeDlg_ && mergeDlg_->GetSafeHwnd() &&
      (msg->hwnd == m_hWnd || ::IsChild(m_hWnd, msg->hwnd)) &&
      !(vqplatform::DialogCode(::GetFocus(), msg) & DLGC_WANTALLKEYS)) {
    vqplatform::PressCancel(mergeDlg_->GetSafeHwnd());
    return TRUE;
  }
  if (accelerators_ && TranslateAcceleratorW(m_hWnd, accelerators_, msg)) return TRUE;
  return CDialog::PreTranslateMessage(msg);
}

void CVorquellDlg::ShowMessage(MessageId message, UINT icon) {
  // A box shown while the quit request waits would close at once.
  if (quitRequested_) return;
  MessageBox(messageTexts_[message], L"", MB_OK | icon);
}

BOOL CVorquellDlg::QuitStartUp(MessageId message, UINT icon) {
  ShowMessage(message, icon);
  PostQuitMessage(0);
  quitRequested_ = true;
  return FALSE;
}

BOOL CVorquellDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  MakeReachableByOutsidePrograms();
  InitLayoutTable();
  SetIcon(icon_, TRUE);
  SetIcon(icon_, FALSE);

  const CString programFolder = vq::ProgramFolder();
  if (branding_.Load(vq::JoinPath(programFolder, kDataFileName).c_str()) == -1) {
    // No usable data file: the program ends, saying why on its error stream.
    std::fprintf(stderr, "Vorquell: the data file %s; the program ends\n", branding_.loadFailure.c_str());
    PostQuitMessage(0);
    quitRequested_ = true;
  }
  if (!branding_.windowTitle.IsEmpty()) {
    CString caption;
    caption.Format(L"%s V%d.%d", branding_.windowTitle.GetString(), 71, 0);
    SetWindowText(caption);
  }
  InitSettingsAndFolders();
  LoadMessageTexts(settings_.language);

  if (!SelectCameras()) return QuitStartUp(MSG_NO_DOCUMENT_CAMERA, MB_ICONEXCLAMATION);
  ApplyModelDefaults();

  // The splash goes on every way out of the start-up.
  const auto closeSplash = [](CSplashDlg* s) {
    if (s->GetSafeHwnd()) s->DestroyWindow();
    delete s;
  };
  std::unique_ptr<CSplashDlg, decltype(closeSplash)> splash(nullptr, closeSplash);
  if (!branding_.splashImage.IsNull()) {
    splash.reset(new CSplashDlg(this, branding_));
    splash->Create(CSplashDlg::IDD, this);
    // Shown, not activated: the keys are the main window's once it shows.
    splash->ShowWindow(SW_SHOWNOACTIVATE);
    splash->UpdateWindow();
  }

  CWnd* label = GetDlgItem(IDC_WINDOW_LABEL);
  if (branding_.showLabel && !branding_.labelText.IsEmpty()) {
    windowLabelText_ = branding_.labelText;
    label->SetWindowText(windowLabelText_);
  }
  if (!branding_.showLabel) label->ShowWindow(SW_HIDE);

  imageCounter_ = settings_.imageIndex;
  namingMode_ = settings_.nameType;
  GetDlgItem(IDC_PREFIX_COMBO)->EnableWindow(namingMode_ == 0);
  GetDlgItem(IDC_IMAGE_COUNTER)->EnableWindow(namingMode_ == 0);
  FillPrefixList();

  dataFolder_ = EnterDataFolder();
  if (dataFolder_.IsEmpty()) ShowMessage(MSG_FOLDER_FAILED, MB_ICONEXCLAMATION);
  ClearLeftoversOfEarlierRuns();
  PlacePreviewRectangle();
  if (ProbeImageServer() == -1) return QuitStartUp(MSG_DEVICE_BUSY, MB_ICONEXCLAMATION);
  if (!OpenAndRunCameras()) return FALSE;

  // The splash stays up for a second while the first frames come.
  if (splash) {
    Sleep(1000);
    splash.reset();
  }
  if (settings_.cutLeft || settings_.cutTop || settings_.cutRight || settings_.cutBottom)
    documentController_->SetFrameMargins(settings_.cutLeft, settings_.cutTop, settings_.cutRight,
                                         settings_.cutBottom);
  settings_.docVendorId = docVendorId_;
  settings_.docProductId = docProductId_;
  settings_.portraitVendorId = branding_.selectedCameraIds[1];
  settings_.portraitProductId = branding_.selectedCameraIds[0];

  ApplyLanguage(settings_.language);
  CreateStripAndLogo();
  InitExposureControls();
  UpdateData(FALSE);
  SetTimer(TIMER_EXPOSURE_POLL, 1000, nullptr);
  RestoreControlsFromSettings();
  accelerators_ = LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(IDR_MAIN_ACCELERATORS));
  // Registered as the program always did; nothing handles them.
  RegisterHotKey(m_hWnd, 0, MOD_WIN, VK_SPACE);
  RegisterHotKey(m_hWnd, 1, MOD_WIN, VK_F1);
  RegisterHotKey(m_hWnd, 2, MOD_WIN, VK_DIVIDE);
  if (settings_.docCheck) StartOrientationThread();
  ApplyAlternativeLayout();
  startedUp_ = true;
  return TRUE;
}

BOOL CVorquellDlg::InitSettingsAndFolders() {
  const SettingsPlace place = FindSettingsPlace(vq::ProgramFolder());
  const bool kept = settings_.OpenIniFile(place.file);
  CIniFile carried;
  settings_.Load(carried.SetPath(place.carriedFrom) ? carried : settings_.iniFile);
  const CString notice = SettingsPlaceNotice(place, kept, settings_.language);
  // Not over a quit already asked for: the box would close at once.
  if (!notice.IsEmpty() && !quitRequested_) MessageBox(notice, L"Sys.ini", MB_OK | MB_ICONEXCLAMATION);
  driveList_.Fill();
  if (driveList_.substituteDrive == 1) {
    settings_.foldPath.Replace(L"D:\\", L"C:\\");
    settings_.currentFolder.Replace(L"D:\\", L"C:\\");
    settings_.Save();
  }
  SYSTEMTIME today{};
  GetLocalTime(&today);
  CString date;
  date.Format(L"%04d%02d%02d", today.wYear, today.wMonth, today.wDay);
  settings_.currentFolder = settings_.dateFolder ? vq::JoinPath(settings_.foldPath, date) : settings_.foldPath;
  if (!FolderExists(settings_.foldPath) && !CreateFolderTree(settings_.foldPath)) return FALSE;
  if (!FolderExists(settings_.currentFolder) && !CreateFolderTree(settings_.currentFolder)) return FALSE;
  UpdateData(FALSE);
  return TRUE;
}

CString CVorquellDlg::EnterDataFolder() {
  const CString folder = vq::JoinPath(vq::CommonAppDataFolder(), kDataFolderName);
  if (!CreateFolderTree(folder)) return L"";
  return folder + L"/";
}

void CVorquellDlg::FillPrefixList() {
  CSysSettings current;
  GetSettings(&current);
  std::vector<CString> pieces;
  SplitPrefixList(current.prefixList, &pieces);
  prefixCombo_.Fill(pieces);
  const int found = prefixCombo_.FindStringExact(0, current.prefix);
  prefixCombo_.SetCurSel(found);
  prefixCombo_.currentPrefix = current.prefix;
  SelectedPrefixIndex = found;
}

void CVorquellDlg::CreateStripAndLogo() {
  CRect client;
  GetClientRect(&client);
  const int h = (client.Height() - 75) / 4;
  for (int i = 0; i < 4; ++i) {
    auto item = std::make_unique<CThumbItem>(i);
    item->Init(WM_THUMB_NOTIFY, i, 5, 75 + i * h, 135, 75 + (i + 1) * h - 5, this, true);
    item->SetBitmapResource(165);
    strip_.push_back(std::move(item));
  }
  logo_ = std::make_unique<CLogoItem>();
  logo_->Init(WM_THUMB_NOTIFY, -1, 5, 10, 135, 65, this, false);
  if (logo_->Create(129, 55, 24)) {
    HDC dc = logo_->GetDC();
    if (!branding_.logoImage.IsNull()) {
      SetStretchBltMode(dc, HALFTONE);
      branding_.logoImage.StretchBlt(dc, 0, 0, 129, 55, SRCCOPY);
    }
    logo_->ReleaseDC();
  }
  CThumbItem::SetBrandingData(&branding_);
}

void CVorquellDlg::RestoreControlsFromSettings() {
  CheckDlgButton(IDC_ONE_PDF, settings_.pdfOrTif == 2);
  CheckDlgButton(IDC_MULTIPAGE_TIF, settings_.pdfOrTif == 1);
  RestoreRotation();
  RestoreCropMode();
  CheckDlgButton(IDC_BARCODE, settings_.recognize ? BST_CHECKED : BST_UNCHECKED);
  if (settings_.merge) {
    // Through its handler, which clears the collecting boxes.
    CheckDlgButton(IDC_MERGE, BST_CHECKED);
    OnMergeBox();
  }
  const int colorRadio = settings_.colorMode == 1 ? IDC_GRAY : (settings_.colorMode == 2 ? IDC_MONO : IDC_COLOR);
  CheckRadioButton(IDC_COLOR, IDC_MONO, colorRadio);
}

void CVorquellDlg::RestoreRotation() {
  const int stored = settings_.rotation;
  settings_.rotation = 0;
  if (stored == 90) OnRotateRight();
  else if (stored == 180) OnRotate180();
  else if (stored == 270) OnRotateLeft();
}

void CVorquellDlg::UpdateSettingsFromUi() {
  settings_.imageIndex = imageCounter_;
  settings_.nameType = namingMode_;
  settings_.prefix = prefixCombo_.currentPrefix;
}

CSysSettings* CVorquellDlg::GetSettings(CSysSettings* out) const {
  *out = settings_;
  return out;
}

void CVorquellDlg::SetPrefixList(const CString& list) { settings_.prefixList = list; }

void CVorquellDlg::OnExit() { OnOK(); }

BOOL CVorquellDlg::DestroyWindow() {
  // Asked to stop now, joined once the settings are saved.
  if (orientationThread_) SetEvent(orientationStopEvent_);
  // A start-up that stopped early leaves Sys.ini as Load wrote it: its
  // controls never showed the settings, so they hold nothing to keep.
  if (startedUp_) {
    RECT selection{0, 0, 0, 0};
    if (documentController_ && documentController_->GetSelection(&selection))
      std::copy_n(&selection.left, 4, settings_.docSelection);
    RECT documentSelection = selection;
    if (portraitController_ && portraitController_->GetSelection(&selection))
      std::copy_n(&selection.left, 4, settings_.portraitSelection);
    // Manual crop without a rectangle on the camera in use is stored as none.
    const RECT& current = settings_.currentCamera == 1 && portraitController_ ? selection : documentSelection;
    if (IsDlgButtonChecked(IDC_CROP_MANUAL) && current.left >= current.right) settings_.cutPageType = 0;
    UpdateData(TRUE);
    UpdateSettingsFromUi();
    settings_.rotation %= 360;
    settings_.Save();
  }

  CloseWorkersAtExit();
  logo_.reset();
  // Still open here only when the session ends without asking the user.
  if (multiPageDlg_) multiPageDlg_->SaveBeforeForcedClose();
  CloseMultiPageDialog();
  if (CShowImageDlg* merge = mergeDlg_) {
    mergeDlg_ = nullptr;
    delete merge;
  }
  strip_.clear();
  NotifyCompanionExit();
  return CDialog::DestroyWindow();
}

void CVorquellDlg::OnDestroy() {
  Default();
  for (int id = 0; id < 3; ++id) UnregisterHotKey(m_hWnd, id);
}
