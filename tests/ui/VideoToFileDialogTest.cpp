// The recording dialog: a recording of the virtual camera's preview with the
// elapsed time shown, a failed start, a recording the full disk cut short,
// and its texts in three languages.
#include "base/PathEncoding.h"
#include "ui/VideoToFileDlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cwctype>
#include <filesystem>
#include <functional>

#include "capture/CaptureController.h"
#include "imaging/WorkFiles.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Clock.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"

namespace fs = std::filesystem;

namespace {

// Clicks Start once shown, keeps every status text, clicks Stop after
// `stopAfter` texts once `recorded` holds (or at once when Start leaves the
// prompt unchanged).
class DrivenVideoDlg : public CCVideoToFile {
 public:
  using CCVideoToFile::CCVideoToFile;
  BOOL OnInitDialog() override {
    const BOOL result = CCVideoToFile::OnInitDialog();
    PostMessage(WM_APP, 0, 0);
    return result;
  }
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* out) override {
    if (message == WM_APP) {
      if (screenshot.size()) vqtest::SaveScreenshot(m_hWnd, screenshot);
      layout = vqtest::LayoutProblems(m_hWnd);
      SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      startEnabled = ::IsWindowEnabled(GetDlgItem(IDOK)->m_hWnd);
      texts.push_back(StatusText());
      if (startEnabled) PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      return TRUE;
    }
    const BOOL result = CCVideoToFile::OnWndMsg(message, wParam, lParam, out);
    if (message == WM_TIMER) {
      texts.push_back(StatusText());
      if (texts.size() == 2) GetDlgItemText(IDCANCEL, stopCaption);
      if (!stopping && static_cast<int>(texts.size()) >= stopAfter && (!recorded || recorded())) {
        stopping = true;
        PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
      }
    }
    return result;
  }
  int stopAfter = 1;
  std::function<bool()> recorded;
  bool stopping = false;
  bool startEnabled = true;
  std::vector<CString> texts;
  CString stopCaption;
  std::string screenshot;
  std::vector<std::string> layout;
};

// The seconds after the prefix, or -1 when the text is not prefix + "%.1f".
double Seconds(const CString& text, const std::wstring& prefix) {
  const std::wstring all = static_cast<const wchar_t*>(text);
  if (all.rfind(prefix, 0) != 0) return -1;
  const std::wstring number = all.substr(prefix.size());
  const size_t dot = number.find(L'.');
  if (dot == std::wstring::npos || dot + 2 != number.size() || !std::iswdigit(number.back())) return -1;
  return std::stod(number);
}

TEST(VideoToFileDialogTest, FailedStartIsShownAndStartStaysEnabled) {
  CCaptureController controller(true, false);  // no camera, no preview
  const fs::path target = fs::current_path() / "none.asf";
  for (int language : {0, 1, 2}) {
    DrivenVideoDlg dialog(nullptr, language);
    dialog.captureController = &controller;
    dialog.SetOutputPath(vq::FromFsPath(target).c_str());
    dialog.screenshot = "video-to-file-" + std::to_string(language) + ".png";
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(dialog.startEnabled);
    const wchar_t* failed[] = {L"录像失败", L"錄影失敗", L"Video recording failed"};
    EXPECT_EQ(dialog.texts, std::vector<CString>{CString(failed[language])});
    EXPECT_EQ(dialog.layout, std::vector<std::string>{}) << language;
  }
  EXPECT_FALSE(fs::exists(target));
}

TEST(VideoToFileDialogTest, RecordsThePreviewAndShowsTheElapsedSeconds) {
  vq::dshow::VirtualCameraConfig config;
  config.vendorId = L"5651";
  config.productId = L"d0c0";
  config.sizes = {{1280, 960}};
  config.framesPerSecond = 15;
  auto camera = vq::dshow::PlugInVirtualCamera(config);
  const fs::path target = vqtest::TempDir() / "recorded.asf", placed = vqtest::TempDir() / "recorded_1.asf";
  vqtest::OwnerWindow parent;
  {
    CCaptureController controller(true, false);
    ASSERT_EQ(controller.OpenCamera(L"5651", L"d0c0", nullptr, &parent, 0, 0, 320, 240, false, 0), S_OK);
    ASSERT_TRUE(controller.Run());
    const auto patience = std::chrono::steady_clock::now() + vqtest::kPatience;
    while (controller.GetFrame().empty() && std::chrono::steady_clock::now() < patience)
      vqtest::Pump(parent.m_hWnd), Sleep(10);
    DrivenVideoDlg dialog(&parent, 2);
    dialog.captureController = &controller;
    dialog.SetOutputPath(vq::FromFsPath(target).c_str());
    dialog.stopAfter = 11;  // the prompt, then two seconds at 200 ms
    // On a busy machine two seconds may pass before the first picture is
    // written: Stop waits for it. Until then it lies under its hidden name,
    // and a file another program makes under that name meanwhile stays.
    dialog.recorded = [&] {
      const vqtest::MediaFile partial = vqtest::ReadMediaFile(vq::RecordingNameBeside(target.string()));
      return !fs::exists(target) && partial.Video() && partial.Video()->packets >= 1 &&
             vqtest::WriteFile(target, "made meanwhile");
    };
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_FALSE(dialog.startEnabled);
    EXPECT_EQ(dialog.stopCaption, CString(L"Stop"));
    ASSERT_GE(dialog.texts.size(), 11u);
    EXPECT_EQ(dialog.texts[0], CString(L"Please click \"Start\" button to start video recording"));
    double last = 0;
    for (size_t i = 1; i < dialog.texts.size(); ++i) {
      const double seconds = Seconds(dialog.texts[i], L"Video is being recorded ");
      EXPECT_GE(seconds, last) << static_cast<const wchar_t*>(dialog.texts[i]);
      last = seconds;
    }
    EXPECT_GE(last, 1.9);
    EXPECT_EQ(controller.StopRecording(), E_POINTER);  // the dialog ended it
    EXPECT_EQ(vqtest::ReadFile(target), "made meanwhile");
    EXPECT_EQ(dialog.OutputPath(), CString(vq::FromFsPath(placed).c_str()));
    const vqtest::MediaFile file = vqtest::ReadMediaFile(placed.string());
    ASSERT_TRUE(file.readable);
    ASSERT_NE(file.Video(), nullptr);
    EXPECT_EQ(file.Video()->width, 1280);
    EXPECT_EQ(file.Video()->height, 960);
    // What holds under any load: the pictures were written, at no more than
    // ten a second of the file's time, within the time the dialog was open.
    EXPECT_GE(file.Video()->packets, 1);
    EXPECT_GT(file.seconds, 0);
    EXPECT_LE(file.seconds, ran + 0.2);
    EXPECT_LE(file.Video()->packets, file.seconds * 10 + 1);
    controller.Stop();
  }
  vq::dshow::RemoveVirtualCameras();
}

// The disk is full from the start: the recording cannot be completed; Stop
// says so, naming where what there is lies: under a name that says it was
// cut short, nothing under the recording's own name.
TEST(VideoToFileDialogTest, ARecordingTheFullDiskCutShortIsToldAndKeptAsCutShort) {
  vq::dshow::VirtualCameraConfig config;
  config.vendorId = L"5651";
  config.productId = L"d0c0";
  config.sizes = {{640, 480}};
  auto camera = vq::dshow::PlugInVirtualCamera(config);
  const fs::path target = vqtest::TempDir() / "录像.asf";
  vqtest::OwnerWindow parent;
  vqtest::MenuAndBoxAnswers answers;
  {
    CCaptureController controller(true, false);
    ASSERT_EQ(controller.OpenCamera(L"5651", L"d0c0", nullptr, &parent, 0, 0, 320, 240, false, 0), S_OK);
    ASSERT_TRUE(controller.Run());
    DrivenVideoDlg dialog(&parent, 2);
    dialog.captureController = &controller;
    dialog.SetOutputPath(vq::FromFsPath(target).c_str());
    dialog.stopAfter = 3;
    imagingtest::FileSizeLimit full(1);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    controller.Stop();
  }
  const fs::path cutShort = vqtest::TempDir() / "录像.cut-short.asf";
  EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"The recording could not be completed:\n" +
                                                           vq::FromFsPath(cutShort) +
                                                           L"\nWhat was recorded is kept in the same folder."});
  EXPECT_FALSE(fs::exists(target));
  EXPECT_TRUE(fs::exists(cutShort));
  vq::dshow::RemoveVirtualCameras();
}

}  // namespace
