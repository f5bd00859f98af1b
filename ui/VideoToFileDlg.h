#pragma once
// Records the live picture of a camera into an ASF file and shows how long
// the recording runs. Run it modally with the controller, the output path
// and the preview's screen rectangle set; Stop ends the recording and the
// dialog. A start that fails is shown, and Start stays enabled. The owner
// calls CameraLost before the controller goes while the dialog is open.
#include "platform/mfc/CDialog.h"
#include "platform/mfc/CString.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"
#include "ui/Label.h"

class CCaptureController;

class CCVideoToFile : public CDialog {
 public:
  enum { IDD = IDD_VIDEO_TO_FILE };
  static constexpr UINT_PTR TIMER_RECORD_CLOCK = 1;
  static constexpr UINT kClockMs = 200;
  static constexpr int kWidth = 1280, kHeight = 960, kFramesPerSecond = 10, kBitRate = 462500;

  CCVideoToFile(CWnd* parent, int language);

  void SetOutputPath(const wchar_t* path) { m_outputPath = path ? path : L""; }
  // Once stopped, where the recording went: a free name beside the one set
  // when that was taken meanwhile, or the name it was kept under when cut
  // short.
  const CString& OutputPath() const { return m_outputPath; }
  // Not owned; the camera to record.
  CCaptureController* captureController = nullptr;
  // The preview's screen rectangle: the dialog sits centred on its bottom edge.
  RECT placement{};

  const CString& StatusText() const { return m_statusText; }

  // The camera is going: a recording in progress is finished (the file stays
  // playable), the controller is forgotten, `message` is shown and only
  // closing is left.
  void CameraLost(const CString& message);
  bool CameraWasLost() const { return m_cameraLost; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnCancel() override { OnStop(); }
  DECLARE_MESSAGE_MAP()
  void OnStart();
  void OnStop();
  void OnSoundPanel();
  void OnTimer(UINT_PTR id);

 private:
  void SetLanguageTexts(int language);
  void ShowStatus(const CString& text);

  CString m_promptText = L"请单击开始录像按钮";
  CString m_recordingText = L"视频录制中，录制时长：";
  CString m_stopText = L"停止录像";
  CString m_failedText = L"录像失败";
  int m_language;
  CString m_outputPath;
  CLabel m_statusLabel;
  CString m_statusText;
  DWORD m_startTick = 0;
  bool m_recording = false;
  bool m_cameraLost = false;
  CString m_closeText;  // button 2 before a recording starts
};
