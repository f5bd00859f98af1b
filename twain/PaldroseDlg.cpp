#include "twain/PaldroseDlg.h"

#include <cstdlib>
#include <iostream>
#include <vector>

#include "capture/CaptureController.h"
#include "platform/mfc/CWinApp.h"
#include "platform/mfc/DataExchange.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Sync.h"
#include "platform/win/SysColors.h"
#include "platform/win/SystemMetrics.h"
#include "resources/Resources.h"
#include "twain/CameraModels.h"
#include "twain/MergeImageDlg.h"
#include "twain/PageThumbItem.h"
#include "twain/TWAIN_UI.h"
#include "ui/FxButtonSkin.h"

namespace strenvik {

int CameraModeCount = 3;

namespace {

constexpr long kExposure = 4;  // camera-control property of the exposure
constexpr wchar_t kNoCamera[] = L"未找到USB摄像头设备，或者设备被其他软件占用";
constexpr wchar_t kMainBusy[] = L"主镜头可能被占用了，无法启动";
constexpr wchar_t kMainLost[] = L"主摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";
constexpr wchar_t kSecondaryLost[] = L"副摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";

}  // namespace

BEGIN_MESSAGE_MAP(CPaldroseDlg, CDialog)
ON_BN_CLICKED(6000, OnScan)
ON_BN_CLICKED(IDCANCEL, OnCancel)
ON_BN_CLICKED(6007, OnVideoParams)
ON_BN_CLICKED(6010, OnAutoExposure)
ON_WM_HSCROLL()
ON_BN_CLICKED(6003, OnColor)
ON_BN_CLICKED(6004, OnGray)
ON_BN_CLICKED(6005, OnBlackWhite)
ON_BN_CLICKED(6012, OnUpload)
ON_MESSAGE(WM_DS_TRANSFER_STATE, OnTransferState)
ON_BN_CLICKED(6013, OnRotateLeft)
ON_BN_CLICKED(6014, OnRotate180)
ON_BN_CLICKED(6015, OnRotateRight)
ON_BN_CLICKED(6016, OnCropNone)
ON_BN_CLICKED(6017, OnCropAuto)
ON_BN_CLICKED(6018, OnCropCustom)
ON_BN_CLICKED(6021, OnScanParams)
ON_MESSAGE(WM_DS_AUTO_CAPTURE, OnAutoCapture)
ON_BN_CLICKED(6024, OnMergeCheck)
ON_BN_CLICKED(6027, OnMultiShotCheck)
ON_BN_CLICKED(6028, OnStartContinuous)
ON_BN_CLICKED(6033, OnStopContinuous)
ON_BN_CLICKED(6034, OnSwitchLens)
ON_WM_TIMER()
ON_BN_CLICKED(6031, OnPrevious)
ON_BN_CLICKED(6032, OnNext)
ON_MESSAGE(WM_THUMB_NOTIFY, OnThumbNotify)
ON_COMMAND(ID_STRIP_DELETE, OnDeleteThumb)
ON_MESSAGE(WM_MERGE_FINISHED, OnMergeFinished)
ON_WM_PAINT()
ON_WM_MOUSEMOVE()
ON_WM_RBUTTONDOWN()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

CPaldroseDlg::CPaldroseDlg() : CDialog(IDD, nullptr) {}

CPaldroseDlg::~CPaldroseDlg() {
  CloseCameras();
  DestroyWindow();
  if (m_stopEvent) CloseHandle(m_stopEvent);
}

void CPaldroseDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, 6008, m_exposureSlider);
  DDX_Text(dx, 6009, m_exposureValue);
  DDX_Control(dx, 6013, m_rotateLeftButton);
  DDX_Control(dx, 6014, m_rotate180Button);
  DDX_Control(dx, 6015, m_rotateRightButton);
  DDX_Control(dx, 6034, m_lensButton);
  DDX_Check(dx, 6027, m_multiShot);
}

BOOL CPaldroseDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_pageCount = 0;
  const CameraIdStrings& ids = CameraIdStrings::Get();
  // A settings file that cannot be opened leaves the defaults in force.
  m_settings.Open(CTwainSettings::DefaultPath(ids.mainProduct));
  m_settings.Load();
  if (m_settings.ResolutionWidth < 0 || m_settings.ResolutionHeight < 0)
    GetModelMaxResolution(&m_settings.ResolutionWidth, &m_settings.ResolutionHeight);
  if (m_settings.PortraitResolutionWidth < 0 || m_settings.PortraitResolutionHeight < 0) {
    m_settings.PortraitResolutionWidth = 320;
    m_settings.PortraitResolutionHeight = 240;
  }
  int largestWidth = 0, largestHeight = 0;
  float dpi = 0;
  if (GetModelMaxResolution(&largestWidth, &largestHeight) &&
      !GetModelResolutionDpi(largestWidth, largestHeight, &dpi, &dpi)) {
    // The model without a dpi table has no exposure controls.
    for (int id : {6038, 6009, 6010, 6008}) GetDlgItem(id)->ShowWindow(SW_HIDE);
  }
  m_stopEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  for (int id : {6012, 6011, 6031, 6032}) GetDlgItem(id)->ShowWindow(SW_HIDE);
  GetDlgItem(6033)->EnableWindow(FALSE);
  if (m_settings.MULTIPLE) {
    CheckDlgButton(6027, BST_CHECKED);
    OnMultiShotCheck();
  }
  struct Skin {
    CFxButton* button;
    UINT normal, pressed, hover;
    const wchar_t* tooltip;
  };
  const Skin skins[] = {{&m_rotateLeftButton, 6002, 6001, 6003, L"左转90°"},
                        {&m_rotate180Button, 6008, 6007, 6009, L"旋转180°"},
                        {&m_rotateRightButton, 6005, 6004, 6006, L"右转90°"},
                        {&m_lensButton, 6018, 6017, 6019, L"切换镜头"}};
  for (const Skin& skin : skins) {
    FxButtonSkin look;
    look.normal = skin.normal;
    look.pressed = skin.pressed;
    look.hover = skin.hover;
    look.keyColour = RGB(0, 0, 0);
    look.borderWidth = 0;
    look.caption = CString();
    look.corner = CSize(8, 8);
    look.tooltip = skin.tooltip;
    look.tooltipText = GetSysColor(COLOR_INFOTEXT);
    look.tooltipBack = GetSysColor(COLOR_INFOBK);
    ApplyFxButtonSkin(*skin.button, look);
  }
  CenterWindow();
  RECT window{};
  GetWindowRect(&window);
  const RECT place = ClearOfOtherCameraWindows(window);
  MoveWindow(place.left, place.top, place.right - place.left, place.bottom - place.top, TRUE);
  return TRUE;
}

namespace {

struct CameraWindows {
  const CWnd* self;
  std::vector<POINT> corners;  // the others' top-left corners
};

BOOL CALLBACK CollectCameraWindow(HWND hwnd, LPARAM param) {
  auto* found = reinterpret_cast<CameraWindows*>(param);
  const CWnd* window = CWnd::FromHandlePermanent(hwnd);
  if (window && window != found->self && dynamic_cast<const CPaldroseDlg*>(window)) {
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    found->corners.push_back(POINT{rect.left, rect.top});
  }
  return TRUE;
}

}  // namespace

RECT CPaldroseDlg::ClearOfOtherCameraWindows(RECT place) const {
  // Another host's camera window opened here first: this one steps down and
  // right of it, so that both can be seen, as far as the work area goes.
  constexpr LONG kStep = 32;
  RECT area{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  CameraWindows others{this, {}};
  EnumWindows(&CollectCameraWindow, reinterpret_cast<LPARAM>(&others));
  auto taken = [&](const RECT& rect) {
    for (const POINT& corner : others.corners)
      if (std::abs(corner.x - rect.left) < kStep / 2 && std::abs(corner.y - rect.top) < kStep / 2) return true;
    return false;
  };
  for (size_t step = 0; step <= others.corners.size() && taken(place); ++step) {
    const RECT next{place.left + kStep, place.top + kStep, place.right + kStep, place.bottom + kStep};
    if (next.right > area.right || next.bottom > area.bottom) break;
    place = next;
  }
  return place;
}

HRESULT CPaldroseDlg::OpenController(CCaptureController* controller, const wchar_t* vid, const wchar_t* pid, int width,
                                     int height) {
  // A size the camera cannot have leaves the camera's own.
  if (width > 0 && height > 0) controller->SetResolution(width, height);
  return controller->OpenCamera(vid, pid, nullptr, this, m_previewRect.left, m_previewRect.top, m_previewRect.right,
                                m_previewRect.bottom, false, 0);
}

int CPaldroseDlg::OpenCamera() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (m_mainController) return 1;
  GetDlgItem(6002)->GetWindowRect(&m_previewRect);
  ScreenToClient(&m_previewRect);
  const CameraIdStrings& ids = CameraIdStrings::Get();

  // A window whose main camera failed before keeps the secondary it opened.
  auto secondary = std::make_unique<CCaptureController>(false, false);
  if (!m_secondaryController && secondary->CountDevices(ids.secondaryVendor, ids.secondaryProduct) >= 1 &&
      OpenController(secondary.get(), ids.secondaryVendor, ids.secondaryProduct, m_settings.PortraitResolutionWidth,
                     m_settings.PortraitResolutionHeight) == S_OK &&
      secondary->Run()) {
    secondary->Stop();
    secondary->ShowPreview(false);
    m_secondaryController = secondary.release();
  }

  auto main = std::make_unique<CCaptureController>(false, false);
  if (OpenController(main.get(), ids.mainVendor, ids.mainProduct, m_settings.ResolutionWidth,
                     m_settings.ResolutionHeight) != S_OK) {
    Tell(kNoCamera, nullptr, MB_ICONEXCLAMATION);
    return 0;
  }
  if (!main->Run()) {
    Tell(kMainBusy, L"提示", MB_OK);
    return 0;
  }
  m_mainController = main.release();
  m_currentController = m_mainController;
  m_cameraJustOpened = true;
  ReadExposure();
  if (m_settings.CUTPAGETYPE == 1) m_mainController->SetAutoDetect(true, m_settings.MULTICUT, 0.03f);
  const RECT stored = m_settings.crop;
  ApplyCropType(m_settings.CUTPAGETYPE);
  switch (m_settings.RotateAngle) {
    case 0: break;
    case 90: OnRotateRight(); break;
    case 180: OnRotate180(); break;
    default: OnRotateLeft(); break;
  }
  if (m_settings.CUTPAGETYPE == 2) m_mainController->SetSelection(stored, false);
  SetWindowText(L"Tirrowan Twain");
  SetDlgItemText(6000, L"拍摄");
  SetTimer(TIMER_CAMERA_STATUS, 1000, nullptr);
  return 1;
}

CCaptureController* CPaldroseDlg::ReopenCamera(const wchar_t* vid, const wchar_t* pid, int width, int height,
                                               int rotation, bool report) {
  auto controller = std::make_unique<CCaptureController>(false, false);
  if (OpenController(controller.get(), vid, pid, width, height) != S_OK || !controller->Run()) {
    if (report) Tell(kNoCamera, nullptr, MB_ICONEXCLAMATION);
    return nullptr;
  }
  controller->SetRotation(rotation);
  return controller.release();
}

void CPaldroseDlg::ReadExposure() {
  if (!m_mainController) return;
  long minimum = 0, maximum = 0, step = 0, dflt = 0, caps = 0, value = 0, flags = 0;
  m_mainController->GetCameraControlRange(kExposure, &minimum, &maximum, &step, &dflt, &caps);
  m_exposureSlider.SetRange(static_cast<int>(minimum), static_cast<int>(maximum), FALSE);
  m_mainController->GetCameraControl(kExposure, &value, &flags);
  m_exposureValue = static_cast<int>(value);
  m_exposureSlider.SetPos(m_exposureValue);
  const bool automatic = flags == 1;
  CheckDlgButton(6010, automatic ? BST_CHECKED : BST_UNCHECKED);
  m_exposureSlider.EnableWindow(!automatic);
  UpdateData(FALSE);
}

void CPaldroseDlg::SyncFromCapabilities() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  if (!m_ui) return;
  const int pixelType = m_ui->GetCapCurrentIndex(ICAP_PIXELTYPE);
  const int radio = pixelType == 0 ? 6005 : pixelType == 1 ? 6004 : pixelType == 2 ? 6003 : 0;
  for (int id : {6003, 6004, 6005}) CheckDlgButton(id, id == radio ? BST_CHECKED : BST_UNCHECKED);
  float xDpi = 0, yDpi = 0;
  if (GetModelResolutionDpi(m_settings.ResolutionWidth, m_settings.ResolutionHeight, &xDpi, &yDpi)) {
    m_ui->SetCapFloat(ICAP_XRESOLUTION, xDpi);
    m_ui->SetCapFloat(ICAP_YRESOLUTION, yDpi);
    m_settings.XDPI = static_cast<int>(xDpi);
    m_settings.YDPI = static_cast<int>(yDpi);
  }
  m_settings.JPGQuality = m_ui->GetCapInt(ICAP_JPEGQUALITY);
}

void CPaldroseDlg::OnTimer(UINT_PTR id) {
  if (id != TIMER_CAMERA_STATUS) return;
  auto lost = [](CCaptureController* controller) { return controller && controller->CameraLost(); };
  if (lost(m_mainController)) {
    KillTimer(TIMER_CAMERA_STATUS);
    Tell(kMainLost, nullptr, MB_OK, true);
  } else if (lost(m_secondaryController)) {
    KillTimer(TIMER_CAMERA_STATUS);
    Tell(kSecondaryLost, nullptr, MB_OK, true);
  }
}

void CPaldroseDlg::Tell(const wchar_t* text, const wchar_t* caption, UINT type, bool onlyWhenShown) {
  if (m_unattended || (onlyWhenShown && !IsWindowVisible())) {
    std::cerr << "ds: " << vq::WideToUtf8(text) << std::endl;
    return;
  }
  MessageBox(text, caption, type);
}

void CPaldroseDlg::OnCancel() {
  AFX_MANAGE_STATE(AfxGetStaticModuleState());
  // Only asks the host to close the source; the window stays until then.
  if (m_ui) m_ui->Cancel();
}

LRESULT CPaldroseDlg::OnTransferState(WPARAM wParam, LPARAM) {
  if (wParam > kTransferNotStarted) return 0;
  const BOOL enable = wParam != 0;
  for (int id : {6000, 6012, 6028}) GetDlgItem(id)->EnableWindow(enable);
  if (wParam == 1) {
    m_pageCount = 0;
    m_pages.clear();
    ShowPageCount();
    RefreshThumbnails(-1);
  }
  return 0;
}

void CPaldroseDlg::CloseCameras() {
  OnStopContinuous();
  StoreSelections();
  StoreWaterMarkPositions();
  if (m_mainController || m_secondaryController) m_settings.Save();
  // Deleting a controller joins its preview's workers while answering them.
  delete m_mainController;
  m_mainController = nullptr;
  m_currentController = nullptr;
  delete m_secondaryController;
  m_secondaryController = nullptr;
  DeleteThumbnails();
  DeleteMergeDialog();
}

void CPaldroseDlg::ShowPageCount() {
  CString text;
  text.Format(L"已经扫描了 %d 张图像", m_pageCount);
  SetDlgItemText(6011, text);
}

CCaptureController* CPaldroseDlg::CurrentController() const {
  return m_settings.cameraMode == 1 ? m_secondaryController : m_mainController;
}

LRESULT CPaldroseDlg::OnAutoCapture(WPARAM, LPARAM) {
  OnScan();
  return 0;
}

}  // namespace strenvik
