#include "ui/VideoToFileDlg.h"

#include "capture/CaptureController.h"
#include "platform/win/Clock.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Shell.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kStatusLabel = 1086;
constexpr int kSoundPanel = 1032;

const ControlText kControlTexts[] = {
    {IDOK, {L"", L"開始錄影", L"Start"}},
    {kSoundPanel, {L"", L"管理音訊裝置", L"Manage audio devices"}},
    {IDCANCEL, {L"", L"取消", L"Cancel"}},
};
const LanguageText kCaption{L"视频录制", L"錄影", L"Video recording"};
const LanguageText kPrompt{L"请单击开始录像按钮", L"請按一下“開始錄影”按鈕",
                           L"Please click \"Start\" button to start video recording"};
const LanguageText kRecording{L"视频录制中，录制时长：", L"錄影中,錄製時長為", L"Video is being recorded "};
const LanguageText kStop{L"停止录像", L"停止", L"Stop"};
const LanguageText kFailed{L"录像失败", L"錄影失敗", L"Video recording failed"};
const LanguageText kNotCompleted{L"录像没有完整保存：\n%s\n已录制的部分保留在同一文件夹中。",
                                 L"錄影沒有完整儲存：\n%s\n已錄製的部分保留在同一資料夾中。",
                                 L"The recording could not be completed:\n%s\nWhat was recorded is kept in the same folder."};

}  // namespace

BEGIN_MESSAGE_MAP(CCVideoToFile, CDialog)
ON_BN_CLICKED(IDOK, OnStart)
ON_BN_CLICKED(kSoundPanel, OnSoundPanel)
ON_WM_TIMER()
END_MESSAGE_MAP()

CCVideoToFile::CCVideoToFile(CWnd* parent, int language) : CDialog(IDD, parent), m_language(language) {
  vqres::LoadResources();
}

void CCVideoToFile::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kStatusLabel, m_statusLabel);
}

void CCVideoToFile::SetLanguageTexts(int language) {
  if (language != 1 && language != 2) return;
  SetWindowText(kCaption.In(language));
  SetControlTexts(*this, language, kControlTexts);
  m_promptText = kPrompt.In(language);
  m_recordingText = kRecording.In(language);
  m_stopText = kStop.In(language);
  m_failedText = kFailed.In(language);
}

BOOL CCVideoToFile::OnInitDialog() {
  CDialog::OnInitDialog();
  SetLanguageTexts(m_language);
  m_statusLabel.SetFontSize(8).SetFontBold(true);
  ShowStatus(m_promptText);
  GetDlgItemText(IDCANCEL, m_closeText);
  if (placement.right > placement.left) {
    CRect own;
    GetWindowRect(&own);
    const int left = placement.left + ((placement.right - placement.left) - own.Width()) / 2;
    MoveWindow(left, placement.bottom - own.Height(), own.Width(), own.Height(), TRUE);
  }
  return TRUE;
}

void CCVideoToFile::ShowStatus(const CString& text) {
  m_statusText = text;
  m_statusLabel.SetText(m_statusText);
}

void CCVideoToFile::OnStart() {
  if (!captureController) return;
  if (FAILED(captureController->StartRecording(m_outputPath, kWidth, kHeight, kFramesPerSecond, kBitRate))) {
    captureController->StopRecording();  // lets the failed graph go
    ShowStatus(m_failedText);
    return;
  }
  m_recording = true;
  SetTimer(TIMER_RECORD_CLOCK, kClockMs, nullptr);
  GetDlgItem(IDOK)->EnableWindow(FALSE);
  SetDlgItemText(IDCANCEL, m_stopText);
  m_startTick = GetTickCount();
}

void CCVideoToFile::OnTimer(UINT_PTR) {
  if (!m_recording) return;  // a tick queued before the camera went
  const DWORD elapsed = GetTickCount() - m_startTick;
  CString text;
  text.Format(L"%s%.1f", static_cast<const wchar_t*>(m_recordingText), elapsed / 1000.0);
  ShowStatus(text);
}

void CCVideoToFile::OnStop() {
  // A recording that cannot be completed (a full disk) is told of, by the
  // name it was kept under.
  std::wstring written;
  const HRESULT stopped = captureController ? captureController->StopRecording(&written) : S_OK;
  if (!written.empty()) m_outputPath = written.c_str();
  if (FAILED(stopped) && m_recording) {
    CString text;
    text.Format(kNotCompleted.In(m_language), static_cast<const wchar_t*>(m_outputPath));
    MessageBox(text, L"", MB_OK | MB_ICONERROR);
  }
  m_recording = false;
  EndDialog(IDCANCEL);
}

void CCVideoToFile::CameraLost(const CString& message) {
  if (!captureController) return;
  if (m_recording) captureController->StopRecording();
  captureController = nullptr;
  m_recording = false;
  m_cameraLost = true;
  if (!GetSafeHwnd()) return;
  KillTimer(TIMER_RECORD_CLOCK);
  GetDlgItem(IDOK)->EnableWindow(FALSE);
  SetDlgItemText(IDCANCEL, m_closeText);
  ShowStatus(message);
}

void CCVideoToFile::OnSoundPanel() {
  ShellExecuteW(m_hWnd, L"open", L"rundll32.exe", L"shell32.dll,Control_RunDLL mmsys.cpl,,1", nullptr,
                SW_SHOWNORMAL);
}
