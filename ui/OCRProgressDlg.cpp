#include "ui/OCRProgressDlg.h"

#include <cstdio>
#include <memory>

#include <opencv2/imgproc.hpp>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>

#include "base/PathEncoding.h"
#include "imaging/ReplacingFile.h"
#include "ocr/DocOCR.h"
#include "ocr/PageLayout.h"
#include "platform/win/Encoding.h"
#include "platform/win/FileSystem.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Shell.h"
#include "platform/win/Sync.h"
#include "platform/win/Threads.h"
#include "ui/LanguageTexts.h"

namespace {

constexpr int kProgress = 1095;
constexpr int kStatusLine = 1086;
constexpr int kStop = 1093;
constexpr int kEnglishStartPercent = 30;

// The progress report receives no context: the dialog whose own-engine
// thread runs, and the status text, are shared.
std::atomic<COCRProgressDlg*> progressTarget{nullptr};
std::mutex statusLock;
CString sharedStatus;

void SetSharedStatus(const CString& text) {
  std::lock_guard<std::mutex> hold(statusLock);
  sharedStatus = text;
}

const ControlText kControlTexts[] = {
    {1096, {L"", L"      識別進度：", L"Identification progress"}},
    {1098, {L"", L"      進度反饋：", L"Progress feedback:"}},
    {IDOK, {L"", L"確認", L"OK"}},
    {kStop, {L"", L"停止", L"Stop"}},
};
// Every end is told in every language, the first included.
const LanguageText kEndTexts[COCRProgressDlg::kEndCodeCount] = {
    {L"OCR 初始化失败", L"OCR 初始化失敗", L"OCR Initialization failed"},
    {L"没有采集到图像", L"沒有採集到圖像", L"No images for OCR"},
    {L"OCR 库文件丢失", L"OCR 庫文件丟失", L"OCR library files are missing"},
    {L"OCR 完成", L"OCR 完成", L"OCR is completed"},
    {L"OCR 失败或者被停止", L"OCR 失敗或者被停止", L"OCR failure or OCR "},
    {L"没有识别出文字，没有保存文件", L"沒有識別出文字，沒有儲存檔案", L"No text was recognised; nothing was saved"},
    {L"识别结果无法保存", L"識別結果無法儲存", L"The recognised text could not be saved"},
};

// Said when nothing opens the written result: where it lies.
const LanguageText kNotOpenedText = {L"无法打开识别结果。文字已保存在：\n%s", L"無法開啟識別結果。文字已儲存在：\n%s",
                                     L"The recognised text could not be opened. It was saved in:\n%s"};

// Recognised text that holds nothing but blanks and line breaks is none.
bool HoldsText(const std::string& text) { return text.find_first_not_of(" \t\r\n\f\v") != std::string::npos; }

std::string ProgramFile(const wchar_t* name) { return vq::PathToBytes(vq::JoinPath(vq::ProgramFolder(), name)); }

}  // namespace

BEGIN_MESSAGE_MAP(COCRProgressDlg, CDialog)
ON_BN_CLICKED(kStop, OnStop)
ON_MESSAGE(WM_OCR_PROGRESS, OnProgress)
ON_MESSAGE(WM_VQ_NOTHING_OPENED, OnNothingOpened)
ON_WM_CLOSE()
END_MESSAGE_MAP()

COCRProgressDlg::COCRProgressDlg(CWnd* parent, int language, int engine)
    : CDialog(IDD, parent), m_engine(engine), m_language(language) {
  vqres::LoadResources();
}

COCRProgressDlg::~COCRProgressDlg() {
  JoinThreads();
  COCRProgressDlg* self = this;
  progressTarget.compare_exchange_strong(self, nullptr);
  if (m_stopEvent) CloseHandle(m_stopEvent);
}

void COCRProgressDlg::SetOutputPath(const CString& path) {
  std::lock_guard<std::mutex> hold(m_pathLock);
  m_outputPath = path;
}

CString COCRProgressDlg::GetOutputPath() const {
  std::lock_guard<std::mutex> hold(m_pathLock);
  return m_outputPath;
}

CString COCRProgressDlg::SharedStatusText() {
  std::lock_guard<std::mutex> hold(statusLock);
  return sharedStatus;
}

void COCRProgressDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kProgress, progress);
}

void COCRProgressDlg::SetLanguageTexts(int language) {
  SetControlTexts(*this, language, kControlTexts);
  for (int i = 0; i < kEndCodeCount; ++i) m_endTexts[i] = kEndTexts[i].In(language);
}

BOOL COCRProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SetLanguageTexts(m_language);
  if (m_engine == kEnglishEngine) {
    m_englishThread = CreateThread(nullptr, 0, &EnglishOcrThreadProc, this, 0, nullptr);
    return m_englishThread ? TRUE : FALSE;
  }
  GetDlgItem(IDOK)->EnableWindow(FALSE);
  GetDlgItem(kStop)->EnableWindow(TRUE);
  SetDlgItemText(kStatusLine, L"");
  m_state = kIdle;
  progress.SetRange32(0, 100);
  progress.SetStep(1);
  progress.SetPos(0);
  if (m_language == 1) {
    SetSharedStatus(L"目前版本不支持文本識別功能");
    SetDlgItemText(kStatusLine, SharedStatusText());
    return TRUE;
  }
  progressTarget = this;
  if (!m_stopEvent) m_stopEvent = CreateEventW(nullptr, FALSE, FALSE, L"StopRecognizeThread");
  m_ocrThread = CreateThread(nullptr, 0, m_ownEngineProc, this, 0, nullptr);
  return TRUE;
}

int COCRProgressDlg::ReportOCRProgress(double fraction, const char* message) {
  COCRProgressDlg* target = progressTarget;
  const int percent = static_cast<int>(fraction * 100.0);
  SetSharedStatus(vq::GbkToWide(message ? message : "").c_str());
  if (!target) return 0;
  ::PostMessageW(target->m_hWnd, WM_OCR_PROGRESS, static_cast<WPARAM>(percent), 0);
  return target->m_state == kStopped ? kStopped : 0;
}

int COCRProgressDlg::WriteResult(const std::string& ansiText, const std::string& fileBytes) {
  if (!HoldsText(fileBytes)) return kNoText;
  const CString path = GetOutputPath();
  m_word.SetFileName(path);
  m_word.SetText(ansiText);
  if (m_word.WriteDocument() == 0) return kCompleted;
  const CString textPath = path.GetLength() >= 3 ? path.Left(path.GetLength() - 3) + L"txt" : CString(L"txt");
  SetOutputPath(textPath);
  return WriteTextWithCrLf(textPath, fileBytes) ? kCompleted : kNotWritten;
}

DWORD COCRProgressDlg::OcrThreadProc(LPVOID parameter) {
  auto* dialog = static_cast<COCRProgressDlg*>(parameter);
  const HWND window = dialog->m_hWnd;
  auto end = [window](int code) { ::PostMessageW(window, WM_OCR_PROGRESS, kOcrEnd, code); };
  if (!progressTarget) {
    end(kInitFailed);
    return 0;
  }
  if (dialog->m_image.cols < 1) {
    end(kNoImage);
    return 0;
  }
  CDocOCR ocr;
  if (!ocr.Initialize(ProgramFile(L"OCR_RLDA_LN_Gra.tpl").c_str())) {
    end(kFilesMissing);
    return 0;
  }
  int idle = kIdle;
  dialog->m_state.compare_exchange_strong(idle, kRunning);  // a stop already asked for stays
  ocr.SetStopCheck([dialog] { return dialog->m_state == kStopped; });
  try {
    std::string text;
    if (!ocr.Recognize(dialog->m_image, &text, &ReportOCRProgress, false)) {
      dialog->m_state = kStopped;
      end(kRecognitionFailed);
      return 0;
    }
    ::PostMessageW(window, WM_OCR_PROGRESS, 100, 0);
    // Word takes text in the program's code page; the text file keeps the engine's GBK.
    const int written = dialog->WriteResult(vq::WideToAnsi(vq::GbkToWide(text)), text);
    // Only a written result counts as finished, whatever a stop meanwhile asked.
    dialog->m_state = written == kCompleted ? kFinished : kFailed;
    end(written);
  } catch (...) {
    dialog->m_state = kFailed;
  }
  return 0;
}

DWORD COCRProgressDlg::EnglishOcrThreadProc(LPVOID parameter) {
  auto* dialog = static_cast<COCRProgressDlg*>(parameter);
  const HWND window = dialog->m_hWnd;
  cv::Mat image = dialog->m_image;
  if (image.channels() == 3) cv::cvtColor(image, image, cv::COLOR_BGR2GRAY);
  // A table's rules go; Tesseract finds the layout itself only where the
  // text stands in columns (its own layout reads a table's cells column by
  // column), and reads the page as one block elsewhere.
  bool inColumns = false;
  if (!image.empty() && image.depth() == CV_8U && image.channels() == 1) image = PageWithoutRules(image, &inColumns);
  std::string text;
  {
    tesseract::TessBaseAPI api;
    if (api.Init(ProgramFile(L"tessdata").c_str(), "eng", tesseract::OEM_DEFAULT) != 0) {
      // Without its data the engine reads nothing: said so, no document.
      ::PostMessageW(window, WM_OCR_PROGRESS, kOcrEnd, kFilesMissing);
      return 0;
    }
    if (!image.empty() && image.depth() == CV_8U && image.channels() == 1)
      api.SetImage(image.data, image.cols, image.rows, 1, static_cast<int>(image.step));
    api.SetPageSegMode(inColumns ? tesseract::PSM_AUTO : tesseract::PSM_SINGLE_BLOCK);
    ::PostMessageW(window, WM_OCR_PROGRESS, kEnglishStartPercent, 0);
    if (!image.empty()) {
      // The engine looks at the stop word by word.
      tesseract::ETEXT_DESC monitor;
      monitor.cancel = [](void* self, int) { return static_cast<COCRProgressDlg*>(self)->m_state == kStopped; };
      monitor.cancel_this = dialog;
      if (api.Recognize(&monitor) != 0) {
        api.End();
        dialog->m_state = kStopped;
        ::PostMessageW(window, WM_OCR_PROGRESS, kOcrEnd, kRecognitionFailed);
        return 0;
      }
      std::unique_ptr<char[]> utf8(api.GetUTF8Text());
      if (utf8) text = utf8.get();
    }
    api.End();
  }
  ::PostMessageW(window, WM_OCR_PROGRESS, 100, 0);
  const int written = dialog->WriteResult(vq::WideToAnsi(vq::Utf8ToWide(text)), text);
  dialog->m_state = written == kCompleted ? kFinished : kFailed;
  ::PostMessageW(window, WM_OCR_PROGRESS, kOcrEnd, written);
  return 0;
}

LRESULT COCRProgressDlg::OnProgress(WPARAM wParam, LPARAM lParam) {
  if (wParam == kOcrEnd) {
    if (lParam >= 0 && lParam < kEndCodeCount) {
      SetSharedStatus(m_endTexts[lParam]);
      const CString path = GetOutputPath();
      if (lParam == kCompleted) {
        const HINSTANCE opened = ShellExecuteW(m_hWnd, L"open", path, nullptr, nullptr, SW_SHOWMAXIMIZED);
        if (reinterpret_cast<INT_PTR>(opened) <= 32) OnNothingOpened(0, 0);
      } else
        DeleteFileW(path);
    }
    GetDlgItem(IDOK)->EnableWindow(TRUE);
    GetDlgItem(kStop)->EnableWindow(FALSE);
  } else {
    progress.SetPos(static_cast<int>(wParam));
  }
  SetDlgItemText(kStatusLine, SharedStatusText());
  return 1;
}

LRESULT COCRProgressDlg::OnNothingOpened(WPARAM, LPARAM) {
  CString text;
  text.Format(kNotOpenedText.In(m_language), GetOutputPath().GetString());
  MessageBoxW(m_hWnd, text, L"", MB_OK | MB_ICONINFORMATION);
  return 0;
}

void COCRProgressDlg::OnStop() { PostMessage(WM_CLOSE, 0, 0); }

bool COCRProgressDlg::WorkerRunning() const {
  for (HANDLE thread : {m_ocrThread, m_englishThread})
    if (thread && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) return true;
  return false;
}

bool COCRProgressDlg::JoinThreads(DWORD patienceMs) {
  for (HANDLE* thread : {&m_ocrThread, &m_englishThread}) {
    if (!*thread) continue;
    if (WaitServingSentMessages(*thread, patienceMs) != WAIT_OBJECT_0) return false;
    CloseHandle(*thread);
    *thread = nullptr;
  }
  return true;
}

void COCRProgressDlg::RequestStop() {
  if (m_state == kFinished) return;
  if (m_stopEvent) SetEvent(m_stopEvent);
  m_state = kStopped;
}

// A worker still writing its result is waited for before the dialog ends.
void COCRProgressDlg::OnClose() {
  RequestStop();
  JoinThreads();
  EndDialog(IDCANCEL);
}

void COCRProgressDlg::OnOK() {
  JoinThreads();
  EndDialog(IDOK);
}

bool WriteTextWithCrLf(const CString& path, const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) out += '\r';
    out += bytes[i];
  }
  const std::string target = vq::PathToBytes(path.str());
  return !target.empty() && vq::WriteReplacing(target, out.data(), out.size());
}
