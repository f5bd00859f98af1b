// What happens while one of the main window's modal loops runs. The
// document camera pulled out while a camera command's dialog is open, then
// the dialog closed as a user closes it: nothing is used after its end, the
// user is told, and the preview comes back when the camera does; a
// recording cut short this way leaves a playable file. A mode box cleared
// while its dialog shows a message of its own leaves that dialog alone.
// The commands run through the window's message handling, as a click on
// their buttons does.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "platform/dshow/Guids.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/TestInput.h"
#include "platform/win/Window.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/vorquell/MainWindowFixture.h"
#include "ui/MultiPageDlg.h"
#include "ui/VideoToFileDlg.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kRecorderStatus = 1086;
constexpr int kFileNameEdit = 1090;
constexpr int kSheetTab = 1117;
constexpr int kFastModeBox = 1116;
constexpr int kAdvancedPageControl = 1062;

std::wstring TextOf(HWND window, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, id, text, 256);
  return text;
}

// Drives the modal loops a command runs: when a loop is idle the current
// step runs, again until it returns true. A step still unfinished after two
// minutes, or a loop left when the steps ran out, ends that loop and fails.
class DialogScript {
 public:
  using Step = std::function<bool(HWND dialog)>;
  explicit DialogScript(std::vector<Step> steps) : steps_(std::move(steps)) {
    vqplatform::SetModalIdleHandler([this](HWND dialog) { Idle(dialog); });
  }
  ~DialogScript() { vqplatform::SetModalIdleHandler(nullptr); }
  bool Done() const { return next_ == steps_.size() && !failed_; }
  size_t Dialogs() const { return dialogs_.size(); }

 private:
  void Idle(HWND dialog) {
    dialogs_.insert(dialog);
    const auto now = std::chrono::steady_clock::now();
    if (next_ < steps_.size() && steps_[next_](dialog)) {
      ++next_, stepStarted_ = now;
    } else if (next_ >= steps_.size() || now - stepStarted_ > 2min) {
      if (!failed_) ADD_FAILURE() << "a dialog left open at step " << next_;
      failed_ = true;
      EndDialog(dialog, vqplatform::ModalScript::kScriptExhausted);
    } else {
      std::this_thread::sleep_for(5ms);
    }
  }

  std::vector<Step> steps_;
  size_t next_ = 0;
  bool failed_ = false;
  std::chrono::steady_clock::time_point stepStarted_ = std::chrono::steady_clock::now();
  std::set<HWND> dialogs_;
};

DialogScript::Step Do(std::function<void()> action) {
  return [action](HWND) { return action(), true; };
}
DialogScript::Step ClickOn(int id) {
  return [id](HWND dialog) { return vqplatform::ClickControl(dialog, id); };
}

class NestedLoopTest : public vqtest::MainWindowTest {
 protected:
  // The window on the document camera, its preview running.
  vqtest::OpenMainWindow& StartLive() {
    document_ = Plug(L"5651", L"d0c0");
    WriteDataFile("5651d0c05651d0c1;");
    Start();
    EXPECT_TRUE(vqtest::Pump([&] { return LiveDocumentCamera(); }, 2min));
    return *window_;
  }
  // What a click on a button of the main window sends it.
  void Command(int id) {
    HWND main = window_->GetSafeHwnd();
    SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(main, id)));
  }
  DialogScript::Step Unplug() { return Do([this] { document_->Unplug(); }); }
  DialogScript::Step Replug() { return Do([this] { document_->Replug(); }); }
  DialogScript::Step UntilCameraGone() {
    return [this](HWND) { return window_->DocumentController() == nullptr; };
  }
  DialogScript::Step UntilCameraBack() {
    return [this](HWND) { return LiveDocumentCamera(); };
  }
  bool LiveDocumentCamera() const {
    CCaptureController* camera = window_->DocumentController();
    return camera && !camera->GetFrame().empty();
  }
  std::wstring Unplugged() const { return window_->MessageText(CVorquellDlg::MSG_UNPLUGGED).GetString(); }
  // The user was told once; the camera comes back with its preview.
  void ExpectToldAndBackOnReplug() {
    EXPECT_EQ(window_->DocumentController(), nullptr);
    const std::vector<std::wstring> boxes = Boxes();
    EXPECT_EQ(std::count(boxes.begin(), boxes.end(), Unplugged()), 1);
    document_->Replug();
    ASSERT_TRUE(vqtest::Pump([&] { return LiveDocumentCamera(); }, 2min)) << "the preview comes back";
    CCaptureController& camera = *window_->DocumentController();
    EXPECT_TRUE(IsWindowVisible(camera.Preview()->GetHwnd()));
    EXPECT_EQ(camera.MainSource()->GetState(), VIDEO_STATE_RUNNING);
  }
  static std::vector<fs::path> FilesEndingIn(const std::string& extension) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(vqtest::TempDir()))
      if (entry.path().extension() == extension) found.push_back(entry.path());
    return found;
  }

  std::shared_ptr<vq::dshow::VirtualCamera> document_;
};

class MainWindowCameraLoss : public NestedLoopTest {};
class MainWindowModeDialogs : public NestedLoopTest {};

TEST_F(MainWindowCameraLoss, ARecordingCutShortLeavesAPlayableFileAndTheDialogSaysWhy) {
  vqtest::OpenMainWindow& window = StartLive();
  constexpr int kFrames = 3;
  std::wstring status;
  bool startEnabled = true;
  DialogScript script({ClickOn(IDOK), [&](HWND) { return window.DocumentController()->RecordedFrames() >= kFrames; },
                       Unplug(), UntilCameraGone(), [&](HWND dialog) {
                         vqtest::SaveScreenshot(dialog, "recording-camera-lost.png");
                         status = TextOf(dialog, kRecorderStatus);
                         startEnabled = IsWindowEnabled(::GetDlgItem(dialog, IDOK));
                         return vqplatform::ClickControl(dialog, IDCANCEL);
                       }});
  Command(IDC_RECORD);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(status, Unplugged()) << "the dialog says why it stopped";
  EXPECT_FALSE(startEnabled);
  EXPECT_FALSE(window.CaptureRunning());
  const std::vector<fs::path> recordings = FilesEndingIn(".asf");
  ASSERT_EQ(recordings.size(), 1u);
  const vqtest::MediaFile file = vqtest::ReadMediaFile(recordings[0].string());
  ASSERT_TRUE(file.readable);
  ASSERT_NE(file.Video(), nullptr);
  EXPECT_EQ(file.Video()->width, 1280);
  EXPECT_GE(file.Video()->packets, kFrames);
  // The writer completed the file: its length agrees with the frames it holds.
  EXPECT_NEAR(file.seconds, file.Video()->packets / double(CCVideoToFile::kFramesPerSecond), 0.15);
  EXPECT_FALSE(vqtest::DecodeVideoFrames(recordings[0].string(), 1).empty());
  ExpectToldAndBackOnReplug();
}

TEST_F(MainWindowCameraLoss, RecognitionStopsWhenTheCameraGoesWhileTheNameIsAskedFor) {
  WriteSettings("[FILE]\nTypeofImageName=2\n");
  vqtest::OpenMainWindow& window = StartLive();
  DialogScript script({Unplug(), UntilCameraGone(), [](HWND dialog) {
                         SetDlgItemTextW(dialog, kFileNameEdit, L"识别的页");
                         return vqplatform::ClickControl(dialog, IDOK);
                       }});
  Command(IDC_RECOGNIZE);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(script.Dialogs(), 1u) << "no recognition without a page";
  EXPECT_TRUE(FilesEndingIn(".doc").empty() && FilesEndingIn(".txt").empty());
  EXPECT_FALSE(window.CaptureRunning());
  ExpectToldAndBackOnReplug();
}

TEST_F(MainWindowCameraLoss, CameraPagesClosedAfterTheCameraWent) {
  vqtest::OpenMainWindow& window = StartLive();
  const int exposure = window.Settings().exposure;
  DialogScript script({Unplug(), UntilCameraGone(), ClickOn(IDCANCEL)});
  Command(IDC_VIDEO_PAGES);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(window.Settings().exposure, exposure) << "nothing read from a camera that is gone";
  ExpectToldAndBackOnReplug();
}

// Ticks fast mode on the settings sheet's advanced page and accepts.
std::vector<DialogScript::Step> ChooseFastMode() {
  const auto tab = [](HWND sheet) { return ::GetDlgItem(sheet, kSheetTab); };
  return {[tab](HWND sheet) {
            RECT rect{};
            SendMessageW(tab(sheet), TCM_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&rect));
            return vqplatform::ClickAt(tab(sheet), POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2});
          },
          [tab](HWND sheet) {
            for (HWND page = GetWindow(tab(sheet), GW_CHILD); page; page = GetWindow(page, GW_HWNDNEXT))
              if (::GetDlgItem(page, kAdvancedPageControl)) return vqplatform::ClickControl(page, kFastModeBox);
            return false;
          },
          ClickOn(IDOK)};
}

TEST_F(MainWindowCameraLoss, FastModeChangedWhileTheCameraIsOutIsUsedWhenItComesBack) {
  WriteSettings("[IMAGE]\nXDPI=200\nYDPI=200\nDocCamWidth=1280\nDocCamHeight=960\n");  // values the sheet keeps
  vqtest::OpenMainWindow& window = StartLive();
  ASSERT_EQ(window.Settings().offersMjpg, 1);
  std::vector<DialogScript::Step> steps{Unplug(), UntilCameraGone()};
  for (auto& step : ChooseFastMode()) steps.push_back(step);
  DialogScript script(steps);
  Command(IDC_SETTINGS);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(window.Settings().fastMode, 1) << "the record was taken";
  EXPECT_NE(vqtest::ReadFile(vqtest::TempDir() / "program" / "Sys.ini").find("FASTMODE=TRUE"), std::string::npos);
  ExpectToldAndBackOnReplug();
  vq::dshow::CaptureFormat format{};
  ASSERT_TRUE(document_->LastStreamFormat(&format));
  EXPECT_TRUE(format.subtype == MEDIASUBTYPE_MJPG) << "the camera came back in the new mode";
}

TEST_F(MainWindowCameraLoss, FastModeChangedAfterTheCameraCameBackKeepsWhatTheWindowChanged) {
  WriteSettings("[IMAGE]\nXDPI=200\nYDPI=200\nDocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=1\n");
  vqtest::OpenMainWindow& window = StartLive();
  ASSERT_TRUE(window.DocumentController()->IsAutoDetect());
  std::vector<DialogScript::Step> steps{Unplug(), UntilCameraGone(), Replug(), UntilCameraBack()};
  for (auto& step : ChooseFastMode()) steps.push_back(step);
  DialogScript script(steps);
  Command(IDC_SETTINGS);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(window.Settings().fastMode, 1);
  // The camera came back without automatic crop; the sheet's older copy
  // does not bring it back.
  EXPECT_EQ(window.Settings().cutPageType, 0);
  EXPECT_EQ(window.IsDlgButtonChecked(IDC_CROP_NONE), BST_CHECKED);
  ASSERT_NE(window.DocumentController(), nullptr);
  EXPECT_FALSE(window.DocumentController()->IsAutoDetect());
  EXPECT_TRUE(vqtest::Pump([&] { return LiveDocumentCamera(); }, 2min));
  vq::dshow::CaptureFormat format{};
  ASSERT_TRUE(document_->LastStreamFormat(&format));
  EXPECT_TRUE(format.subtype == MEDIASUBTYPE_MJPG);
}

// The message as a box on screen, with a modal loop of its own.
vqplatform::MessageBoxAnswer ShownOnScreen(std::function<bool(const vqplatform::MessageBoxRecord&)> which) {
  return [which](const vqplatform::MessageBoxRecord& box) {
    return which(box) ? vqplatform::RunMessageBoxDialog(box.owner, box.text, box.caption, box.type) : IDOK;
  };
}

TEST_F(MainWindowCameraLoss, SwitchStopsWhenTheCameraGoesUnderThePortraitBusyMessage) {
  auto portrait = Plug(L"5651", L"d0c1");
  vqtest::OpenMainWindow& window = StartLive();
  ASSERT_NE(window.PortraitController(), nullptr);
  // Another size of the camera than it runs at: the switch reopens it.
  window.settings_.porCamWidth = 1280;
  window.settings_.porCamHeight = 960;
  portrait->SetBusy(true);  // the reopen fails
  vqplatform::PumpMessages();
  const std::wstring busy = window.MessageText(CVorquellDlg::MSG_PORTRAIT_BUSY).GetString();
  vqplatform::SetMessageBoxAnswer(ShownOnScreen([busy](const auto& box) { return box.text == busy; }));
  DialogScript script({Unplug(), UntilCameraGone(), ClickOn(IDOK)});
  Command(IDC_SWITCH_CAMERA);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(Boxes(), (std::vector<std::wstring>{busy, Unplugged()}));
  EXPECT_EQ(window.PortraitController(), nullptr);
  ExpectToldAndBackOnReplug();
}

TEST_F(MainWindowModeDialogs, TheMergeDialogStaysWhileItsOwnMessageIsOpen) {
  vqtest::OpenMainWindow& window = StartLive();
  HWND main = window.GetSafeHwnd();
  window.CheckDlgButton(IDC_MERGE, BST_CHECKED);
  Command(IDC_MERGE);
  Command(IDC_CAPTURE);
  ASSERT_NE(window.MergeDialog(), nullptr);
  HWND merge = window.MergeDialog()->GetSafeHwnd();
  // OK with one picture: the dialog's own message, while the user clears the box.
  vqplatform::SetMessageBoxAnswer(ShownOnScreen([merge](const auto& box) { return box.owner == merge; }));
  bool stillTicked = false;
  DialogScript script({[&](HWND) { return vqplatform::ClickControl(main, IDC_MERGE); }, [&](HWND box) {
                         stillTicked = window.IsDlgButtonChecked(IDC_MERGE) == BST_CHECKED;
                         return vqplatform::ClickControl(box, IDOK);
                       }});
  SendMessageW(merge, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(script.Done());
  EXPECT_TRUE(stillTicked) << "the click changed nothing while the message was open";
  ASSERT_NE(window.MergeDialog(), nullptr);
  EXPECT_EQ(window.MergeDialog()->GetSafeHwnd(), merge);
  // Once the message is gone the same click closes it.
  ASSERT_TRUE(vqplatform::ClickControl(main, IDC_MERGE));
  EXPECT_TRUE(vqtest::Pump([&] { return window.MergeDialog() == nullptr; }, 2min));
}

TEST_F(MainWindowModeDialogs, TheMultipageDialogClosedUnderTheQuestionAboutItsPagesStillWritesThem) {
  constexpr int kMultiPageCancel = 1033;
  vqtest::OpenMainWindow& window = StartLive();
  HWND main = window.GetSafeHwnd();
  window.CheckDlgButton(IDC_MULTIPAGE_TIF, BST_CHECKED);
  Command(IDC_MULTIPAGE_TIF);
  Command(IDC_CAPTURE);
  ASSERT_NE(window.MultiPageDialog(), nullptr);
  HWND pages = window.MultiPageDialog()->GetSafeHwnd();
  // Clearing the box asks about the page; meanwhile the user cancels the
  // dialog itself, then answers Yes.
  vqplatform::SetMessageBoxAnswer(ShownOnScreen([main](const auto& box) { return box.owner == main; }));
  DialogScript script({[pages](HWND) { return vqplatform::ClickControl(pages, kMultiPageCancel); },
                       [&](HWND) { return window.MultiPageDialog() == nullptr; }, ClickOn(IDYES)});
  window.CheckDlgButton(IDC_MULTIPAGE_TIF, BST_UNCHECKED);
  Command(IDC_MULTIPAGE_TIF);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(FilesEndingIn(".tif").size(), 1u) << "the answer was kept";
  EXPECT_FALSE(IsWindow(pages));
}

}  // namespace
