#pragma once
// Recognises one captured page on a worker thread: Chinese with the
// program's own engine, English with Tesseract. The text goes into a Word
// document at the output path, or, without Word, into a text file of the
// same name ending in ".txt". Run modally after SetImage and SetOutputPath;
// afterwards GetState() == kFinished and GetOutputPath() name the file.
#include <atomic>
#include <mutex>
#include <string>

#include <opencv2/core.hpp>

#include "app/AutoWord.h"
#include "app/SysSettings.h"
#include "platform/mfc/CDialog.h"
#include "platform/mfc/ControlClasses.h"
#include "platform/mfc/DataExchange.h"
#include "platform/win/Threads.h"
#include "resources/Resources.h"

// wParam 0..100: percent done; wParam kOcrEnd: finished, lParam the end code.
#define WM_OCR_PROGRESS (WM_USER + 0xC8)

class COCRProgressDlg : public CDialog {
 public:
  enum { IDD = IDD_OCR_PROGRESS };
  enum Engine { kOwnEngine = 0, kEnglishEngine = 1 };
  enum State { kIdle = 0, kRunning = 1, kFinished = 2, kStopped = 3, kFailed = 4 };
  static constexpr WPARAM kOcrEnd = 101;
  // Past the first five: the page held no text, or the result could not
  // be written; neither leaves a file.
  enum EndCode {
    kInitFailed = 0,
    kNoImage = 1,
    kFilesMissing = 2,
    kCompleted = 3,
    kRecognitionFailed = 4,
    kNoText = 5,
    kNotWritten = 6,
    kEndCodeCount
  };

  COCRProgressDlg(CWnd* parent, int language, int engine);
  ~COCRProgressDlg() override;

  // Shares the caller's pixels; grey for the English engine.
  void SetImage(cv::Mat image) { m_image = image; }
  cv::Mat GetImage() const { return m_image; }
  void SetSettings(const CSysSettings& settings) { m_settings = settings; }
  void SetOutputPath(const CString& path);
  CString GetOutputPath() const;
  void SetState(int state) { m_state = state; }
  int GetState() const { return m_state; }

  // Asks the worker to stop unless its result is written already.
  void RequestStop();
  // Whether a worker thread has not ended yet.
  bool WorkerRunning() const;
  // Waits for the workers; false when one still runs after `patienceMs`
  // (then the dialog must outlive it).
  bool JoinThreads(DWORD patienceMs = INFINITE);

  // The engine's progress report; non-zero asks it to stop.
  static int ReportOCRProgress(double fraction, const char* message);
  // What the status line shows, shared with the progress report.
  static CString SharedStatusText();

  CProgressCtrl progress;

 protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override { OnClose(); }
  DECLARE_MESSAGE_MAP()
  void OnStop();
  void OnClose();
  LRESULT OnProgress(WPARAM wParam, LPARAM lParam);
  // Where the text lies, told when nothing opened it.
  LRESULT OnNothingOpened(WPARAM, LPARAM);
  // The own engine's worker; tests put a stand-in here.
  LPTHREAD_START_ROUTINE m_ownEngineProc = &OcrThreadProc;

 private:
  static DWORD OcrThreadProc(LPVOID dialog);
  static DWORD EnglishOcrThreadProc(LPVOID dialog);
  void SetLanguageTexts(int language);
  // Word, or the text file beside the document without it; the end code:
  // completed, no text, or not written.
  int WriteResult(const std::string& ansiText, const std::string& fileBytes);

  cv::Mat m_image;
  HANDLE m_ocrThread = nullptr;
  CSysSettings m_settings;
  mutable std::mutex m_pathLock;
  CString m_outputPath;
  std::atomic<int> m_state{kIdle};
  int m_engine;
  CString m_endTexts[kEndCodeCount];
  int m_language;
  HANDLE m_englishThread = nullptr;
  HANDLE m_stopEvent = nullptr;
  CAutoWord m_word;
};

// Writes text bytes with every line break as one CR LF; false when the file
// cannot be written.
bool WriteTextWithCrLf(const CString& path, const std::string& bytes);
