#pragma once
// Continuous capturing without touching the program: by a countdown timer,
// or (document camera only) whenever a new sheet comes to rest under the
// camera. The dialog never captures itself: it posts WM_CONTINUOUS_SHOT
// with wParam 0 to its parent for each shot, and wParam 1 when the user
// stops, after which the parent deletes it. Create it modeless with
// Create(IDD, parent) after setting the camera index and the controller.
#include <atomic>

#include "app/ContinuousShooting.h"
#include "platform/mfc/CString.h"
#include "platform/mfc/DataExchange.h"
#include "resources/Resources.h"
#include "ui/Label.h"

class CCaptureController;

#define WM_CONTINUOUS_SHOT (WM_USER + 0x30)
#define WM_CONTINUOUS_STATUS (WM_USER + 0x32)

class CContinuousShootDlg : public CContinuousShooting {
 public:
  enum { IDD = IDD_CONTINUOUS_SHOOT };
  static constexpr UINT_PTR TIMER_CONTINUOUS_COUNTDOWN = 2;
  static constexpr DWORD kLookPeriodMs = 800;
  // The share of the frame that may change between two looks at one scene.
  static constexpr float kChangedAreaRatio = 0.05f;
  enum Status { kStatusNewSheet = 0, kStatusNoSheet = 1, kStatusSameSheet = 2, kStatusNoVideo = 3 };

  // `seconds` is truncated to tenths.
  CContinuousShootDlg(CWnd* parent, float seconds, int language);
  ~CContinuousShootDlg() override;

  // Set by the owner before the window is made: 0 document camera, 1
  // portrait camera; the controller of that camera, which must outlive the
  // dialog (not owned).
  int cameraIndex = 0;
  CCaptureController* captureController = nullptr;

  // Stops and joins the detection thread, if one runs. False when it still
  // runs after `patienceMs`: it is forgotten here, and the dialog must be
  // kept for it to the end of the process.
  bool StopThread(DWORD patienceMs = INFINITE);
  bool StopInspectThread(DWORD patienceMs) override { return StopThread(patienceMs); }

  float Interval() const { return m_interval; }
  int Remaining() const { return m_remaining; }
  int ShotCount() const { return m_shotCount; }
  const CString& StatusText() const { return m_statusText; }
  const CString& CountText() const { return m_countText; }
  bool ThreadRunning() const { return m_thread != nullptr; }

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  DECLARE_MESSAGE_MAP()
  void OnStart();
  void OnPause();
  void OnTimer(UINT_PTR id);
  void OnDestroy();
  LRESULT OnStatus(WPARAM wParam, LPARAM lParam);

 private:
  static DWORD NewDocumentThreadProc(LPVOID dialog);
  void SetLanguageTexts(int language);
  void ShowStatus(const CString& text);
  void PostToParent(WPARAM wParam);

  CString m_texts[8];
  int m_language;
  float m_interval;
  int m_remaining;
  int m_shotCount = 0;
  HANDLE m_stopEvent = nullptr;
  HANDLE m_thread = nullptr;
  std::atomic<bool> m_running{false};
  CLabel m_countLabel;
  CLabel m_statusLabel;
  CString m_countText, m_statusText;
  int m_mode = 0;  // 0 timed, 1 automatic
  HWND m_parentWindow = nullptr;
};
