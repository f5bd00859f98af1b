#pragma once
// The data source's camera window: a modeless dialog (template 6000) with
// the live preview of the document camera and of an optional portrait
// camera, its controls, and the list of captured pages the host receives.
// It lives on the data source's user-interface thread and reaches the data
// source only through the bridge.
#include <memory>
#include <vector>

#include <opencv2/core.hpp>

#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "twain/PagePipeline.h"
#include "twain/TwainSettings.h"
#include "ui/FxButton.h"

class CCaptureController;
class CTWAINDS_FreeImage;
class CMFC_UI;

namespace strenvik {
class CPageThumbItem;
class CMergeImageDlg;
}  // namespace strenvik

// Bridge to camera window: wParam 0 an upload started, 1 the transfers ended;
// the window itself posts kTransferNotStarted (its pages stay listed).
#define WM_DS_TRANSFER_STATE (WM_USER + 16)
// Continuous shooting to camera window: capture now.
#define WM_DS_AUTO_CAPTURE (WM_USER + 17)
#define TIMER_CAMERA_STATUS 1001

namespace strenvik {

constexpr WPARAM kTransferNotStarted = 2;

// How many camera modes the lens button cycles through: 3, or 2 once the
// picture-in-picture mode failed in this process.
extern int CameraModeCount;

class CPaldroseDlg : public CDialog {
 public:
  enum { IDD = 6000 };
  CPaldroseDlg();
  ~CPaldroseDlg() override;

  void SetDataSource(CTWAINDS_FreeImage* ds) { m_dataSource = ds; }
  CTWAINDS_FreeImage* DataSource() const { return m_dataSource; }
  void SetUI(CMFC_UI* ui) { m_ui = ui; }
  // For a host that wants no user interface: no message box, the reasons
  // go to the standard error stream.
  void SetUnattended(bool unattended) { m_unattended = unattended; }

  // 1 when the main camera runs (also when it already ran), 0 after a
  // failure that was shown.
  int OpenCamera();
  void SyncFromCapabilities();
  bool CaptureWithoutUI();
  // Stops the workers, saves the settings and closes both cameras.
  void CloseCameras();
  // The processed pages of one capture of the current camera.
  std::vector<cv::Mat> CaptureImages();
  // Dispatches this thread's messages for the given time; false when the
  // wait was ended first.
  bool PumpMessages(DWORD milliseconds);

  // The pages waiting for upload, oldest first.
  std::vector<cv::Mat>& Pages() { return m_pages; }
  CTwainSettings& Settings() { return m_settings; }
  CCaptureController* MainController() const { return m_mainController; }
  CCaptureController* SecondaryController() const { return m_secondaryController; }
  int MainRotation() const { return m_mainRotation; }
  int SecondaryRotation() const { return m_secondaryRotation; }
  int PageCount() const { return m_pageCount; }
  bool IsShooting() const { return m_shootThread != nullptr; }

  // Command handlers (also driven by tests).
  void OnScan();
  void OnUpload();
  void OnColor();
  void OnGray();
  void OnBlackWhite();
  void OnRotateLeft();
  void OnRotate180();
  void OnRotateRight();
  void OnCropNone();
  void OnCropAuto();
  void OnCropCustom();
  void OnSwitchLens();
  void OnVideoParams();
  void OnAutoExposure();
  void OnScanParams();
  void OnMergeCheck();
  void OnMultiShotCheck();
  void OnStartContinuous();
  void OnStopContinuous();
  void OnPrevious();
  void OnNext();
  void OnDeleteThumb();
  // Shows the pages from this index in the strip; -1 shows the last pages.
  void RefreshThumbnails(int firstIndex);
  // The strip's items (four while multi-shot is on) and the open merge dialog.
  const std::vector<CPageThumbItem*>& Thumbnails() const { return m_thumbnails; }
  CMergeImageDlg* MergeDialog() const { return m_mergeDialog; }

 protected:
  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  void OnCancel() override;
  void OnTimer(UINT_PTR id);
  void OnHScroll(UINT code, UINT position, CScrollBar* bar);
  LRESULT OnTransferState(WPARAM wParam, LPARAM lParam);
  LRESULT OnAutoCapture(WPARAM wParam, LPARAM lParam);
  LRESULT OnThumbNotify(WPARAM wParam, LPARAM lParam);
  LRESULT OnMergeFinished(WPARAM wParam, LPARAM lParam);
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnPaint();
  void OnMouseMove(UINT flags, CPoint point);
  void OnRButtonDown(UINT flags, CPoint point);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()

  // Continuous shooting: posts WM_DS_AUTO_CAPTURE for each new sheet at rest.
  static DWORD ContinuousShootThread(void* window);

 private:
  // `place` stepped clear of the other camera windows of the process.
  RECT ClearOfOtherCameraWindows(RECT place) const;
  // The controller of the current camera mode; null when it is absent.
  CCaptureController* CurrentController() const;
  // Exposure from the main camera into slider, edit and automatic box.
  void ReadExposure();
  void ApplyCropType(int type);
  // 0 none, 1 automatic, 2 the user's selection, on the current camera.
  void SetCropMode(int type);
  void StoreSelections();
  void StoreWaterMarkPositions();
  void ShowPageCount();
  void AddPages(const std::vector<cv::Mat>& pages);
  // After pages came in: the strip keeps its first page when the pages from
  // there on fit, else it shows the last pages.
  void RefreshThumbnailsAfterAdding();
  void DeleteThumbnails();
  void DeleteMergeDialog();
  // Merge mode: the pages of a capture go into the merge dialog.
  void AddPagesToMergeDialog(const std::vector<cv::Mat>& pages);
  // A camera opened anew at a capture size, running and turned; null (after
  // the message when `report`) when it cannot be opened or run.
  CCaptureController* ReopenCamera(const wchar_t* vid, const wchar_t* pid, int width, int height, int rotation,
                                   bool report);
  // A message for the person at the window; without one (unattended, or
  // the window hidden when `onlyWhenShown`) it goes to the standard error.
  void Tell(const wchar_t* text, const wchar_t* caption, UINT type, bool onlyWhenShown = false);
  HRESULT OpenController(CCaptureController* controller, const wchar_t* vid, const wchar_t* pid, int width,
                         int height);

  std::vector<cv::Mat> m_pages;
  CCaptureController* m_mainController = nullptr;
  CCaptureController* m_secondaryController = nullptr;
  CCaptureController* m_currentController = nullptr;
  CTWAINDS_FreeImage* m_dataSource = nullptr;
  CMFC_UI* m_ui = nullptr;
  int m_pageCount = 0;
  CTwainSettings m_settings;
  RECT m_previewRect{};
  int m_mainRotation = 0;
  int m_secondaryRotation = 0;
  bool m_capturing = false;
  bool m_unattended = false;
  // Until the first unattended capture after a camera opened: a camera just
  // opened may deliver its first frames late. Each window, in each load of
  // the library, has its own.
  bool m_cameraJustOpened = false;
  CSliderCtrl m_exposureSlider;
  int m_exposureValue = 0;
  CFxButton m_rotateLeftButton;
  CFxButton m_rotate180Button;
  CFxButton m_rotateRightButton;
  int m_multiShot = 0;
  CFxButton m_lensButton;
  // Unnamed, so that two windows never share it.
  HANDLE m_stopEvent = nullptr;
  HANDLE m_shootThread = nullptr;
  std::vector<CPageThumbItem*> m_thumbnails;
  int m_selectedThumbnail = -1;
  CPoint m_mousePoint{0, 0};
  CMergeImageDlg* m_mergeDialog = nullptr;
};

}  // namespace strenvik
