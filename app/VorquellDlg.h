#pragma once
// The main window of the program: a modal dialog (template 102) that brings
// the cameras up, shows the live preview, runs the user's commands and takes
// everything down again. One message map; the sources are split by concern:
//   VorquellDlg.cpp          message map, start-up, shutdown, settings
//   VorquellDlgCameras.cpp   camera selection, opening, switching, rotation,
//                            exposure, device changes
//   VorquellDlgGrab.cpp      grab and process
//   VorquellDlgMessages.cpp  the message texts in three languages
//   VorquellDlgFace.cpp      layout table, language, skins, painting,
//                            resizing, naming and colour radios
//   VorquellDlgControls.cpp  crop radios, focus, automatic exposure, the
//                            camera's pages, the image folder
//   VorquellDlgThreads.cpp   the worker threads and dialogs that use a camera
//   VorquellDlgOutside.cpp   the image server probe, the image-path
//                            requests, the companion notice
//   VorquellDlgSettings.cpp  the settings sheet and applying what it changed
//   VorquellDlgCapture.cpp   the capture command, its variants and the mode
//                            check boxes
//   VorquellDlgStrip.cpp     the thumbnail strip and the results of the
//                            merge and multipage dialogs
//   VorquellDlgWorkers.cpp   continuous shooting, text recognition and
//                            recording, and the camera reopened after it
//   VorquellDlgSession.cpp   leaving with collected pages, the session's
//                            end, leftovers of an earlier run
//
// Controller lifetime: every thread that uses a capture controller (the
// orientation thread, the continuous-shooting dialog's thread) is stopped
// and joined before that controller is deleted or replaced. The camera rule
// of the nested modal loops is stated where the controllers are owned.
#include <atomic>
#include <map>
#include <memory>
#include <vector>

#include <opencv2/core.hpp>

#include "app/DriveList.h"
#include "app/ImagePathServer.h"
#include "app/LogFile.h"
#include "app/SysSettings.h"
#include "capture/CaptureController.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/win/Threads.h"
#include "resources/Resources.h"
#include "ui/FxButton.h"
#include "ui/MyComboBox.h"
#include "ui/ShowImageDlg.h"
#include "ui/ThumbItem.h"

class CBrandingData;
class CCVideoToFile;
class CImageOutput;
class CContinuousShooting;
class CMultiPageDlg;
class COCRProgressDlg;

// Timer of the exposure poll.
#define TIMER_EXPOSURE_POLL 100

// Control ids of template 102 used by more than one file.
enum MainWindowControl {
  IDC_PREVIEW_AREA = 1007,
  IDC_HOST_FRAME = 1078,
  IDC_WINDOW_LABEL = 1094,
  IDC_SETTINGS = 1041,
  IDC_VIDEO_PAGES = 1003,
  IDC_EXIT = 1005,
  IDC_EXPOSURE_SLIDER = 1042,
  IDC_EXPOSURE_VALUE = 1043,
  IDC_AUTO_EXPOSURE = 1055,
  IDC_ROTATE_LEFT = 1011,
  IDC_ROTATE_180 = 1008,
  IDC_ROTATE_RIGHT = 1010,
  IDC_SWITCH_CAMERA = 1032,
  IDC_FOCUS = 1081,
  IDC_NAME_PREFIX = 1058,
  IDC_NAME_DATETIME = 1057,
  IDC_NAME_FREE = 1089,
  IDC_PREFIX_COMBO = 1099,
  IDC_IMAGE_COUNTER = 1060,
  IDC_BROWSE_IMAGES = 1033,
  IDC_CROP_NONE = 1045,
  IDC_CROP_AUTO = 1046,
  IDC_CROP_MANUAL = 1047,
  IDC_COLOR = 1013,
  IDC_GRAY = 1014,
  IDC_MONO = 1015,
  IDC_MERGE = 1035,
  IDC_MULTIPAGE_TIF = 1037,
  IDC_BARCODE = 1048,
  IDC_ONE_PDF = 1036,
  IDC_CAPTURE = 1018,
  IDC_CAPTURE_PDF = 1024,
  IDC_COPY = 1023,
  IDC_RECOGNIZE = 1034,
  IDC_RECORD = 1083,
  IDC_CONTINUOUS = 1084,
  IDC_STREAM_PAGES = 1002,  // a command only: no control has this id
  // Accelerator table 205: Space, 'o' and 'p'.
  ID_ACCEL_CAPTURE = 32774,
  ID_ACCEL_CAPTURE_PDF = 32778,
  ID_ACCEL_COPY = 32775,
};

// The skinned buttons, in the order of CVorquellDlg::buttons_.
inline constexpr int kSkinnedButtons[15] = {1041, 1003, 1005, 1011, 1008, 1010, 1032, 1033,
                                            1034, 1023, 1024, 1018, 1081, 1083, 1084};

class CVorquellDlg : public CDialog, public CMergeDialogOwner {
 public:
  enum { IDD = IDD_MAIN_WINDOW };

  // The message texts of the window, chosen by the language.
  enum MessageId {
    MSG_NO_DOCUMENT_CAMERA,
    MSG_FOLDER_FAILED,
    MSG_DEVICE_BUSY,
    MSG_BARCODE_NOT_NAME,
    MSG_MAKING_TIF,
    MSG_MAKING_PDF,
    MSG_PORTRAIT_BUSY,
    MSG_COMBINING,
    MSG_DOC_RESOLUTION,
    MSG_POR_RESOLUTION,
    MSG_ONE_RECORDER,
    MSG_UNPLUGGED,
    MSG_COUNT
  };

  // `branding` is read at start-up; null takes the process's one.
  explicit CVorquellDlg(CWnd* parent, CBrandingData* branding = nullptr);
  ~CVorquellDlg() override;

  // Start-up and shutdown (VorquellDlg.cpp).
  BOOL OnInitDialog() override;
  BOOL DestroyWindow() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  BOOL InitSettingsAndFolders();
  // The per-machine data folder where work files live, made when missing;
  // its path ends in '/'; empty when it cannot be made.
  CString EnterDataFolder();
  void UpdateSettingsFromUi();
  CSysSettings* GetSettings(CSysSettings* out) const;
  void SetPrefixList(const CString& list);

  // Message texts (VorquellDlgMessages.cpp); other languages change nothing.
  void LoadMessageTexts(int language);
  const CString& MessageText(MessageId id) const { return messageTexts_[id]; }

  // Cameras (VorquellDlgCameras.cpp).
  void IdentifyCameraModel(const CString& vendorId, const CString& productId);
  bool ShowDocumentCamera();
  bool ShowPortraitCamera();

  // The current camera's documents, rescaled to the configured capture size
  // and processed; empty when nothing was captured (VorquellDlgGrab.cpp).
  std::vector<cv::Mat> GrabAndProcess();
  // Brings a page of a camera running at `running` to the `configured`
  // capture size (factors within 0.001 of 1 leave it alone).
  static void RescalePage(cv::Mat& page, cv::Size running, cv::Size configured);

  // Settings (VorquellDlgSettings.cpp). Applies a record edited by the
  // settings sheet to the cameras, language, orientation thread and crop
  // mode, then takes and saves it; false, with the live record and Sys.ini
  // unchanged, when a camera could not be reopened or does not run.
  bool ApplySettings(CSysSettings updated);
  // Whether a new capture size of a camera is applied (either value changed).
  static bool DocumentSizeChangeApplies(const CSysSettings& before, const CSysSettings& after);
  static bool PortraitSizeChangeApplies(const CSysSettings& before, const CSysSettings& after);

  // Lets outside programs find this window by its caption and ask it for
  // the image path; nothing else of the program is theirs to reach.
  void MakeReachableByOutsidePrograms();
  // 0 to go on, -1 when a running image server refuses the camera.
  int ProbeImageServer();
  // The page handed out to outside programs asking for the image path: the
  // capture command calls it with the last page it saved.
  void SetLastSavedPage(const CString& path);
  // Releases the mapping of the image-path requests (the application, once
  // the modal run has returned).
  void CloseImagePathServer() { imagePathServer_.Close(); }

  // Capture (VorquellDlgCapture.cpp). One capture at a time: a trigger that
  // comes while a capture runs (its dialogs included, and the commands of
  // VorquellDlgWorkers.cpp) is dropped and logged in "capture.log" of the
  // data folder.
  void OnCapture();
  void CaptureToPdf();
  void CaptureAndPrint();
  bool CaptureRunning() const { return captureBusy_; }

  // Strip (VorquellDlgStrip.cpp). Mode 0 shows the picture of `thumbSource`
  // (or of the path), mode 1 the text-page placeholder.
  void AddFilesToStrip(const wchar_t* path, std::vector<CThumbItem*> items, int mode, const wchar_t* thumbSource);
  std::vector<CThumbItem*> StripItems() const;
  unsigned StripCounter() const { return stripCounter_; }
  void SetMergedFilePath(const CString& path) override;
  void MergeDialogClosing(CShowImageDlg* dialog) override;
  void KeepUnmergedFiles(const std::vector<CString>& paths, const CString& mergedName) override;
  CShowImageDlg* MergeDialog() const { return mergeDlg_; }
  CMultiPageDlg* MultiPageDialog() const { return multiPageDlg_.get(); }

  // What the worker threads and the dialogs of other files may read.
  CCaptureController* DocumentController() const { return documentController_.get(); }
  CCaptureController* PortraitController() const { return portraitController_.get(); }
  const CSysSettings& Settings() const { return settings_; }
  const CString& DataFolder() const { return dataFolder_; }
  int ShownCamera() const { return shownCamera_; }
  int DocumentRotation() const { return documentRotation_; }

  // The orientation thread's routine, started with this window as its
  // argument when orientation checking is on (OrientationThreadProc unless
  // replaced); null starts nothing.
  void SetOrientationThreadProc(LPTHREAD_START_ROUTINE proc) { orientationThreadProc_ = proc; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;

  // Handlers.
  void OnDestroy();
  void OnExit();
  void OnTimer(UINT_PTR id);
  void OnHScroll(UINT code, UINT position, CScrollBar* bar);
  BOOL OnDeviceChange(UINT event, DWORD_PTR data);
  void OnRotateLeft();
  void OnRotate180();
  void OnRotateRight();
  void OnSwitchCamera();
  void OnSystemParameters();
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnSize(UINT type, int cx, int cy);
  void OnNamingPrefix();
  void OnNamingDateTime();
  void OnNamingFree();
  void OnIndexChanged();
  void OnColorModeColor();
  void OnColorModeGray();
  void OnColorModeMono();
  void OnCropNone();
  void OnCropAuto();
  void OnCropManual();
  void OnAutoFocus();
  void OnAutoExposureBox();
  void OnVideoParameters();
  void OnBrowseImages();
  void OnStreamPages();
  LRESULT OnOrientationResult(WPARAM wParam, LPARAM lParam);

  // Start-up steps.
  BOOL QuitStartUp(MessageId message, UINT icon);
  void ShowMessage(MessageId message, UINT icon);
  bool SelectCameras();
  void ApplyModelDefaults();
  void FillPrefixList();
  void PlacePreviewRectangle();
  BOOL OpenAndRunCameras();
  bool OpenDocumentCamera();
  void OpenPortraitCamera();
  void CreateStripAndLogo();
  void InitExposureControls();
  void RestoreControlsFromSettings();
  void RestoreCropMode();
  void RestoreRotation();

  // Camera helpers.
  // Opens a camera of the chosen pair into a new preview at the preview
  // rectangle, as every opening does: the document camera as device 0, the
  // portrait camera as device 1, the still pin as configured. True when it
  // opened.
  bool OpenCameraInPreview(CCaptureController& camera, bool portrait);
  // Reads the document camera's exposure back: the slider and the window's
  // value follow it, and so does the stored exposure with `store`. False,
  // changing nothing, without the camera. `automatic` tells whether the
  // camera sets the exposure itself.
  bool ReadExposureBack(bool store, bool* automatic = nullptr);
  // The slider and box 1055 for an automatic or a manual exposure.
  void ShowExposureMode(bool automatic);
  void Rotate(int angle);
  void ExposureFromCamera();
  void CropRadioFrom(CCaptureController* controller);
  void ShowPreviews(bool document, bool portrait);
  void Reconnect();
  // Every camera the window captures from is watched: one that is gone
  // (not counted any more, or its controller reports the loss) is let go
  // with the unplug message, the document camera with both, the portrait
  // camera alone (the document camera is shown again); one that came back
  // is opened. Continuous shooting stops with either.
  void WatchCameras();
  void LosePortraitCamera();
  // The crop radios and the exposure controls for the current camera.
  void ShowCameraControls();
  // Whether a camera is gone: then the cameras are watched at once (its
  // loss told) and nothing may be captured from it.
  bool CameraGone(CCaptureController* camera);

  // Settings helpers: the document camera opened anew with another subtype
  // at the current size, keeping margins and crop mode; the crop
  // cleared before a camera changes size.
  bool ReopenDocumentCamera(int subtype);
  void ClearCropFor(CCaptureController& camera, CSysSettings& updated);

  // Face (VorquellDlgFace.cpp).
  void InitLayoutTable();
  void ApplyLanguage(int language);
  // The other layout of the one camera model that has no recorder.
  void ApplyAlternativeLayout();
  void RememberColumn();
  // The controls placed for the client area's size, from their places in
  // the layout as first shown.
  void LayOut(int cx, int cy);
  // The smallest client area the layout fits (the window manager is told
  // so through WM_GETMINMAXINFO).
  SIZE MinimumClientSize();
  CFxButton& Button(int id);
  // The controller the crop radios act on: the shown camera's, or null.
  CCaptureController* CropController() const;

  // Threads and dialogs that use a camera (VorquellDlgThreads.cpp).
  void StartOrientationThread();
  // Asks the orientation thread to stop and joins it; false when it still
  // runs after `patienceMs` (it is then left to the end of the process).
  bool StopOrientationThread(DWORD patienceMs = INFINITE);
  // The exit's one patience for all workers together, once the settings
  // are saved: a worker still busy then (work that does not look at its
  // stop request) is left to the end of the process, and what it uses is
  // kept, never deleted under it.
  static constexpr DWORD kExitPatienceMs = 5000;
  void CloseWorkersAtExit();
  // Stops the continuous-shooting dialog's thread and deletes the dialog;
  // false when the thread still runs after `patienceMs`, the dialog kept.
  bool CloseContinuousShooting(DWORD patienceMs = INFINITE);
  // Every user of the cameras stopped or told, then both controllers let go.
  void CloseCameras();
  // Lets a controller go (see the camera rule at the members); a recording
  // dialog working on it is told first.
  void ReleaseController(std::unique_ptr<CCaptureController>& controller);

  // Capture (VorquellDlgCapture.cpp).
  LRESULT OnStillImage(WPARAM wParam, LPARAM lParam);
  void OnMergeBox();
  void OnOnePdfBox();
  void OnMultiPageTiffBox();
  void OnBarcodeBox();
  // The one-PDF and multipage-TIFF boxes: `pdfOrTif` is the box's value of
  // IMAGE/PDFORTIF, `otherMessage` the one shown while the other box's
  // dialog is open.
  void OnCollectBox(int box, int otherBox, MessageId otherMessage, int pdfOrTif);
  // True, with the request logged, while a capture runs.
  bool CaptureDropped(const char* request);
  // Marks a capture as running for its lifetime.
  class CaptureScope {
   public:
    explicit CaptureScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~CaptureScope() { busy_ = false; }
    CaptureScope(const CaptureScope&) = delete;
    CaptureScope& operator=(const CaptureScope&) = delete;

   private:
    bool& busy_;
  };
  void PlayShutterSound();
  // The work name when a mode box is ticked, else the final name.
  CString CaptureBaseName();
  // The final name for a merge or multipage result, by barcode when asked.
  CString ResultName(const CImageOutput& output, const wchar_t* extension);
  // Hands the written files to the mode's dialog or the strip; false when
  // the user cancelled the result's name.
  bool RouteCapture(const CImageOutput& output, const std::vector<CString>& written);
  // Adds a page to the open multipage dialog, opening one first when there
  // is none; false when the result's name was cancelled.
  bool AddToMultiPage(const CImageOutput& output, const CString& page, int mode, bool pdfVariant);
  // Capture to PDF: each page becomes a one-page PDF of its name, shown in
  // the strip, and the page goes. A page whose PDF cannot be written stays,
  // is shown, and is told of; false then.
  bool ConvertPagesToPdf(const std::vector<CString>& pages);
  // Closes the multipage dialog; its object outlives a nested loop that may
  // be running its code (the question about its pages).
  void CloseMultiPageDialog();
  // Whether a modeless dialog waits in a modal loop of its own (a message
  // box, its question about its pages): it is not destroyed under that loop.
  static bool InOwnModalLoop(const CWnd* dialog);
  void AdvanceImageCounter();
  void RemoveWorkFiles();

  // Strip (VorquellDlgStrip.cpp).
  LRESULT OnThumbNotify(WPARAM wParam, LPARAM lParam);
  LRESULT OnMergeFinished(WPARAM wParam, LPARAM lParam);
  LRESULT OnMultiPageClosed(WPARAM wParam, LPARAM lParam);
  void OnDeleteThumbFile();
  void OnOpenThumbFile();
  void OnMouseMove(UINT flags, CPoint point);
  void OnLButtonDown(UINT flags, CPoint point);
  void OnLButtonUp(UINT flags, CPoint point);
  void OnRButtonDown(UINT flags, CPoint point);

  // Commands that run a worker dialog (VorquellDlgWorkers.cpp).
  void OnContinuousShooting();
  LRESULT OnContinuousShot(WPARAM wParam, LPARAM lParam);
  void CaptureForOcr();
  void RecordVideo();
  // The recorded camera opened anew at its size, with its margins and
  // selection; false when it opened but does not run (the busy message shown).
  bool ReopenAfterRecording(bool portrait);

  // Leaving and the session (VorquellDlgSession.cpp). Exit, Enter, Escape
  // and the close box ask about collected pages first; a forced end (a
  // signal, a lost display: WM_QUIT) keeps them as the document.
  void OnOK() override;
  void OnCancel() override;
  // Asks about the pages of an open multipage dialog and closes it unless
  // the user chose to stay; true when it is gone.
  bool SettleCollectedPages();
  // Work files that an earlier run left in the image and data folders.
  void ClearLeftoversOfEarlierRuns();
  // Tells the user why pages could not be written under a base path: the
  // name is too long, or the folder cannot be written.
  void ReportUnsavedPages(const CString& basePath);

  // Outside programs (VorquellDlgOutside.cpp).
  LRESULT OnImagePathRequest(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

  CBrandingData& branding_;
  CString messageTexts_[MSG_COUNT];
  CString windowLabelText_;
  CSysSettings settings_;
  std::unique_ptr<CContinuousShooting> continuousDlg_;
  // A recognition whose dialog the quit ended: asked to stop, waited for at the exit.
  std::unique_ptr<COCRProgressDlg> recognitionLeft_;
  CShowImageDlg* mergeDlg_ = nullptr;  // deletes itself
  std::unique_ptr<CMultiPageDlg> multiPageDlg_;
  HICON icon_;  // window icon, large and small
  std::atomic<int> documentRotation_{0};  // read by the orientation thread
  int portraitRotation_ = 0;
  RECT previewRect_{0, 0, 0, 0};  // both previews, in client coordinates
  // The cameras. Modal loops dispatch everything, so a camera may be lost
  // inside any box or dialog a command runs. The rule: what a nested loop
  // may destroy is never used through a pointer taken before the loop; a
  // command looks its camera up again here after each loop; a dialog that
  // works on a camera is told when it goes (ReleaseController). A
  // controller let go under a nested loop, whose own code may be running it
  // (property pages, the source's messages), is stopped and deleted at the
  // top level (the layer's deferred queue).
  std::unique_ptr<CCaptureController> documentController_;
  std::unique_ptr<CCaptureController> portraitController_;
  CCVideoToFile* recorder_ = nullptr;  // the recording dialog while it runs
  std::vector<std::unique_ptr<CThumbItem>> strip_;
  std::unique_ptr<CLogoItem> logo_;
  HANDLE orientationStopEvent_ = nullptr;
  HANDLE orientationThread_ = nullptr;
  LPTHREAD_START_ROUTINE orientationThreadProc_ = nullptr;
  float continuousInterval_ = 5.0f;  // seconds
  int exposureValue_ = 0;
  CSliderCtrl exposureSlider_;
  CMyComboBox prefixCombo_;
  CFxButton buttons_[15];  // in the order of kSkinnedButtons
  int imageCounter_ = 0;
  int namingMode_ = 0;  // 0 prefix, 1 date and time, 2 free name
  int layoutTable_[128];
  RECT savedClientRect_{0, 0, 0, 0};
  // The controls' places in the layout as first shown, and that layout's
  // client size: a client of another size moves the side column
  // sideways, stretches the preview, and a client shorter than the layout
  // narrows the column's gaps, then its big buttons (ColumnScale).
  std::map<int, RECT> layoutPlaces_;
  SIZE layoutSize_{0, 0};
  SIZE laidOutSize_{0, 0};  // the client size the controls are placed for
  CDriveList driveList_;
  HACCEL accelerators_ = nullptr;
  int shownCamera_ = -1;  // -1 none yet, 0 document, 1 portrait
  CImagePathServer imagePathServer_;

  // Run-time state of the Linux build.
  CString dataFolder_;
  CString docVendorId_, docProductId_;  // upper case
  bool quitRequested_ = false;
  // Set when the start-up ran to its end: only then do the controls hold
  // the settings, and the close saves them.
  bool startedUp_ = false;

  // Capture and strip.
  // Set while a capture command (its dialogs included) runs: capture
  // requests arriving meanwhile are dropped.
  bool captureBusy_ = false;
  CLogFile captureLog_;
  bool captureLogOpen_ = false;
  unsigned stripCounter_ = 0;  // files put into the strip; never goes back
  int menuItem_ = -1;          // the item whose menu is open
  CPoint lastMouse_{0, 0};
  CString mergedFilePath_;
  std::vector<CString> unmergedFiles_;  // kept as pages by the merge dialog that went
};
