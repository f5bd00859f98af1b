#include "ui/ContinuousShootDlg.h"

#include <cmath>
#include <deque>

#include <opencv2/imgproc.hpp>

#include "capture/CaptureController.h"
#include "imaging/ChangeDetection.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "platform/win/Timers.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kInterval = 1026;
constexpr int kTimedRadio = 1063;
constexpr int kAutomaticRadio = 1084;
constexpr int kCountLabel = 1067;
constexpr int kStatusLabel = 1068;
constexpr int kPause = 1032;
constexpr double kLookScale = 0.2;

enum { kNewSheet, kNoSheet, kSameSheet, kStarted, kNoVideo, kClickStart, kShotCount, kCountdown };

const wchar_t* const kSimplified[8] = {L"检测到新文档，采集图像", L"没有检测到新文档", L"当前文档已扫描，请更换文档",
                                       L"检测文档图像", L"获取视频数据失败", L"请单击开始连拍",
                                       L"当前已经拍摄%d张图像", L"%.1f秒后拍摄下一张图像"};
const wchar_t* const kEnglish[8] = {L"New doc. has been detected",
                                    L"No doc.",
                                    L"Current doc. has been scanned, please change doc.",
                                    L"Detecting image",
                                    L"Failed to get video data",
                                    L"Please click \"Start\" to continuous Capturing",
                                    L"Already shot %d image now",
                                    L"Capture next pic in %.1f seconds"};

// Only English replaces the template's texts; both Chinese languages keep them.
const ControlText kControlTexts[] = {
    {1139, {L"", L"", L"Continuous mode"}}, {kTimedRadio, {L"", L"", L"Timing"}},
    {1140, {L"", L"", L"Sec"}},             {kAutomaticRadio, {L"", L"", L"Intelligent"}},
    {kCountLabel, {L"", L"", L"Already shot 0 image now"}},
    {IDOK, {L"", L"", L"Start"}},           {kPause, {L"", L"", L"Pause"}},
    {IDCANCEL, {L"", L"", L"Stop"}},
};

}  // namespace

BEGIN_MESSAGE_MAP(CContinuousShootDlg, CDialog)
ON_BN_CLICKED(IDOK, OnStart)
ON_BN_CLICKED(kPause, OnPause)
ON_WM_TIMER()
ON_WM_DESTROY()
ON_MESSAGE(WM_CONTINUOUS_STATUS, OnStatus)
END_MESSAGE_MAP()

CContinuousShootDlg::CContinuousShootDlg(CWnd* parent, float seconds, int language)
    : CContinuousShooting(IDD, parent), m_language(language) {
  vqres::LoadResources();
  const int tenths = static_cast<int>(seconds * 10.0f);
  m_interval = tenths / 10.0f;
  m_remaining = tenths * 100;
  for (int i = 0; i < 8; ++i) m_texts[i] = kSimplified[i];
}

CContinuousShootDlg::~CContinuousShootDlg() {
  StopThread();
  if (::IsWindow(m_hWnd)) DestroyWindow();
  if (m_stopEvent) CloseHandle(m_stopEvent);
}

void CContinuousShootDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kCountLabel, m_countLabel);
  DDX_Control(dx, kStatusLabel, m_statusLabel);
  DDX_Text(dx, kInterval, m_interval);
  DDX_Radio(dx, kTimedRadio, m_mode);
}

void CContinuousShootDlg::SetLanguageTexts(int language) {
  if (language != 2) return;
  SetWindowText(L"Continuous capturing");
  SetControlTexts(*this, language, kControlTexts);
  for (int i = 0; i < 8; ++i) m_texts[i] = kEnglish[i];
}

BOOL CContinuousShootDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (CWnd* parent = GetParent()) m_parentWindow = parent->m_hWnd;
  SetLanguageTexts(m_language);
  m_countText.Format(m_texts[kShotCount], 0);
  m_countLabel.SetFontSize(8).SetFontBold(true);
  m_statusLabel.SetFontSize(8).SetFontBold(true);
  ShowStatus(m_texts[kClickStart]);
  m_mode = 0;
  if (cameraIndex == 0) {
    m_mode = 1;
    UpdateData(FALSE);
  } else {
    GetDlgItem(kAutomaticRadio)->EnableWindow(FALSE);
  }
  if (!m_stopEvent) m_stopEvent = CreateEventW(nullptr, FALSE, FALSE, L"StopInspectThread");
  GetDlgItem(kPause)->EnableWindow(FALSE);
  return TRUE;
}

void CContinuousShootDlg::ShowStatus(const CString& text) {
  m_statusText = text;
  m_statusLabel.SetText(m_statusText);
}

void CContinuousShootDlg::PostToParent(WPARAM wParam) {
  if (m_parentWindow) ::PostMessageW(m_parentWindow, WM_CONTINUOUS_SHOT, wParam, 0);
}

void CContinuousShootDlg::OnStart() {
  UpdateData(TRUE);
  GetDlgItem(IDOK)->EnableWindow(FALSE);
  if (m_mode == 0) {
    m_remaining = static_cast<int>(m_interval * 1000.0f);
    CString text;
    text.Format(m_texts[kCountdown], m_remaining / 1000.0);
    ShowStatus(text);
    SetTimer(TIMER_CONTINUOUS_COUNTDOWN, 1000, nullptr);
  } else {
    ShowStatus(m_texts[kStarted]);
    if (!m_thread) {
      m_running = true;
      ResetEvent(m_stopEvent);
      m_thread = CreateThread(nullptr, 0, &NewDocumentThreadProc, this, 0, nullptr);
    }
  }
  GetDlgItem(kPause)->EnableWindow(TRUE);
}

void CContinuousShootDlg::OnTimer(UINT_PTR id) {
  if (m_mode != 0 || id != TIMER_CONTINUOUS_COUNTDOWN) return;
  m_remaining -= 1000;
  if (m_remaining <= 0) {
    m_remaining = static_cast<int>(m_interval * 1000.0f);
    ++m_shotCount;
    m_countText.Format(m_texts[kShotCount], m_shotCount);
    m_countLabel.SetText(m_countText);
    PostToParent(0);
  }
  CString text;
  text.Format(m_texts[kCountdown], m_remaining / 1000.0);
  ShowStatus(text);
}

void CContinuousShootDlg::OnPause() {
  StopThread();
  if (m_mode == 0) KillTimer(TIMER_CONTINUOUS_COUNTDOWN);
  ShowStatus(m_texts[kClickStart]);
  GetDlgItem(kPause)->EnableWindow(FALSE);
  GetDlgItem(IDOK)->EnableWindow(TRUE);
}

void CContinuousShootDlg::OnCancel() {
  StopThread();
  PostToParent(1);
}

void CContinuousShootDlg::OnDestroy() {
  StopThread();
}

bool CContinuousShootDlg::StopThread(DWORD patienceMs) {
  if (!m_thread) return true;
  SetEvent(m_stopEvent);
  m_running = false;
  const bool ended = WaitServingSentMessages(m_thread, patienceMs) == WAIT_OBJECT_0;
  // A thread left running is not waited for again when the window goes.
  CloseHandle(m_thread);
  m_thread = nullptr;
  return ended;
}

LRESULT CContinuousShootDlg::OnStatus(WPARAM, LPARAM status) {
  switch (status) {
    case kStatusNewSheet:
      ShowStatus(m_texts[kNewSheet]);
      ++m_shotCount;
      m_countText.Format(m_texts[kShotCount], m_shotCount);
      m_countLabel.SetText(m_countText);
      break;
    case kStatusNoSheet:
      ShowStatus(m_texts[kNoSheet]);
      break;
    case kStatusSameSheet:
      ShowStatus(m_texts[kSameSheet]);
      break;
    case kStatusNoVideo:
      ShowStatus(m_texts[kNoVideo]);
      break;
    default:
      m_countLabel.SetText(m_countText);
      m_statusLabel.SetText(m_statusText);
      break;
  }
  return 0;
}

// Looks at the live picture every period; shoots once per sheet that came to
// rest since the look before last. Posts only, so joining it cannot deadlock.
DWORD CContinuousShootDlg::NewDocumentThreadProc(LPVOID parameter) {
  auto* dialog = static_cast<CContinuousShootDlg*>(parameter);
  const HWND window = dialog->m_hWnd;
  std::deque<cv::Mat> history(3);
  while (dialog->m_running) {
    if (WaitForSingleObject(dialog->m_stopEvent, kLookPeriodMs) != WAIT_TIMEOUT) break;
    if (!dialog->captureController) {
      ::PostMessageW(window, WM_CONTINUOUS_STATUS, 0, kStatusNoVideo);
      continue;
    }
    cv::Mat frame = dialog->captureController->GetFrame();
    if (!frame.empty()) cv::resize(frame, frame, cv::Size(), kLookScale, kLookScale, cv::INTER_LINEAR);
    switch (JudgeSheet(history[0], history[1], frame, kChangedAreaRatio)) {
      case SheetVerdict::NewSheet:
        dialog->PostToParent(0);
        ::PostMessageW(window, WM_CONTINUOUS_STATUS, 0, kStatusNewSheet);
        break;
      case SheetVerdict::NoSheet:
        ::PostMessageW(window, WM_CONTINUOUS_STATUS, 0, kStatusNoSheet);
        break;
      case SheetVerdict::SameSheet:
        ::PostMessageW(window, WM_CONTINUOUS_STATUS, 0, kStatusSameSheet);
        break;
      case SheetVerdict::Changing:
        break;
    }
    history.pop_front();
    history.push_back(frame);
  }
  return 0;
}
