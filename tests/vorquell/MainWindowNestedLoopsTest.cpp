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
#include "tests/support/Files.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/vorquell/MainWindowFixture.h"
#include "ui/MultiPageDlg.h"
#include "ui/VideoToFileDlg.h"
#include "tests/support/Windows.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int kRecorderStatus = 1086;
constexpr int kFileNameEdit = 1090;
constexpr int kSheetTab = 1117;
constexpr int kFastModeBox = 1116;
constexpr int kAdvancedPageControl = 1062;

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
 public:
  using MainWindowTest::Boxes;
  using MainWindowTest::boxes_;
  using MainWindowTest::window_;
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

  std::shared_ptr<vq::dshow::VirtualCamera> document_;
};

// Ticks fast mode on the settings sheet's advanced page and accepts.
std::vector<DialogScript::Step> ChooseFastMode() {
  const auto tab = [](HWND sheet) { return ::GetDlgItem(sheet, kSheetTab); };
  return {[tab](HWND sheet) { return vqtest::ClickTab(tab(sheet), 2); },
          [tab](HWND sheet) {
            return vqplatform::ClickControl(vqtest::PageWith(tab(sheet), kAdvancedPageControl), kFastModeBox);
          },
          ClickOn(IDOK)};
}

class MainWindowCameraLoss;
using Steps = std::vector<DialogScript::Step>;

// A camera command's dialog open when the document camera is pulled out.
struct CameraLoss {
  const char* name;
  int command;
  const char* settings;  // Sys.ini before the start
  // Before the command, the window live.
  void (*prepare)(MainWindowCameraLoss&);
  // The steps of the command's loops before the camera goes, and after.
  Steps (*before)(MainWindowCameraLoss&);
  Steps (*after)(MainWindowCameraLoss&);
  // What the user finds then.
  void (*check)(MainWindowCameraLoss&, const DialogScript&);
  bool toldAndBackOnReplug;
};
void PrintTo(const CameraLoss& loss, std::ostream* out) { *out << loss.name; }

class MainWindowCameraLoss : public NestedLoopTest, public ::testing::WithParamInterface<CameraLoss> {
 public:
  std::wstring status_;
  bool startEnabled_ = true;
  int exposure_ = 0;
  std::shared_ptr<vq::dshow::VirtualCamera> portrait_;
};

TEST_P(MainWindowCameraLoss, TheCommandStopsTheUserIsToldAndTheCameraComesBack) {
  const CameraLoss& loss = GetParam();
  boxes_.Expect(L"高拍仪设备被拔出或接触不良，请检查！");
  if (*loss.settings) WriteSettings(loss.settings);
  if (loss.command == IDC_SWITCH_CAMERA) portrait_ = Plug(L"5651", L"d0c1");
  StartLive();
  boxes_.Expect(Unplugged());
  if (loss.prepare) loss.prepare(*this);
  Steps steps = loss.before ? loss.before(*this) : Steps{};
  for (const Steps& more : {Steps{Unplug(), UntilCameraGone()}, loss.after(*this)})
    steps.insert(steps.end(), more.begin(), more.end());
  DialogScript script(steps);
  Command(loss.command);
  EXPECT_TRUE(script.Done());
  loss.check(*this, script);
  if (loss.toldAndBackOnReplug) ExpectToldAndBackOnReplug();
}

constexpr int kRecordedFrames = 3;

const CameraLoss kCameraLosses[] = {
    // A recording cut short leaves a playable file, and the dialog says why.
    {"Recording", IDC_RECORD, "", nullptr,
     [](MainWindowCameraLoss& t) -> Steps {
       return {ClickOn(IDOK), [&t](HWND) { return t.window_->DocumentController()->RecordedFrames() >= kRecordedFrames; }};
     },
     [](MainWindowCameraLoss& t) -> Steps {
       return {[&t](HWND dialog) {
         vqtest::SaveScreenshot(dialog, "recording-camera-lost.png");
         t.status_ = vqtest::TextOf(dialog, kRecorderStatus);
         t.startEnabled_ = IsWindowEnabled(::GetDlgItem(dialog, IDOK));
         return vqplatform::ClickControl(dialog, IDCANCEL);
       }};
     },
     [](MainWindowCameraLoss& t, const DialogScript&) {
       EXPECT_EQ(t.status_, t.Unplugged()) << "the dialog says why it stopped";
       EXPECT_FALSE(t.startEnabled_);
       EXPECT_FALSE(t.window_->CaptureRunning());
       const std::vector<fs::path> recordings = vqtest::FilesMatching(vqtest::TempDir(), R"(.*\.asf)", true);
       ASSERT_EQ(recordings.size(), 1u);
       const vqtest::MediaFile file = vqtest::ReadMediaFile(recordings[0].string());
       ASSERT_TRUE(file.readable);
       ASSERT_NE(file.Video(), nullptr);
       EXPECT_EQ(file.Video()->width, 1280);
       EXPECT_GE(file.Video()->packets, kRecordedFrames);
       // The writer completed the file: its length agrees with the frames it holds.
       EXPECT_NEAR(file.seconds, file.Video()->packets / double(CCVideoToFile::kFramesPerSecond), 0.15);
       EXPECT_FALSE(vqtest::DecodeVideoFrames(recordings[0].string(), 1).empty());
     },
     true},
    // Recognition stops when the camera goes while the page's name is asked for.
    {"Recognition", IDC_RECOGNIZE, "[FILE]\nTypeofImageName=2\n", nullptr, nullptr,
     [](MainWindowCameraLoss&) -> Steps {
       return {[](HWND dialog) {
         SetDlgItemTextW(dialog, kFileNameEdit, L"识别的页");
         return vqplatform::ClickControl(dialog, IDOK);
       }};
     },
     [](MainWindowCameraLoss& t, const DialogScript& script) {
       EXPECT_EQ(script.Dialogs(), 1u) << "no recognition without a page";
       EXPECT_EQ(vqtest::FilesMatching(vqtest::TempDir(), R"(.*\.(doc|txt))", true), std::vector<fs::path>{});
       EXPECT_FALSE(t.window_->CaptureRunning());
     },
     true},
    // The camera's property pages closed after the camera went read nothing from it.
    {"CameraPages", IDC_VIDEO_PAGES, "", [](MainWindowCameraLoss& t) { t.exposure_ = t.window_->Settings().exposure; },
     nullptr, [](MainWindowCameraLoss&) -> Steps { return {ClickOn(IDCANCEL)}; },
     [](MainWindowCameraLoss& t, const DialogScript&) { EXPECT_EQ(t.window_->Settings().exposure, t.exposure_); },
     true},
    // Fast mode changed while the camera is out is used when it comes back.
    {"FastModeWhileOut", IDC_SETTINGS, "[IMAGE]\nXDPI=200\nYDPI=200\nDocCamWidth=1280\nDocCamHeight=960\n",
     [](MainWindowCameraLoss& t) { ASSERT_EQ(t.window_->Settings().offersMjpg, 1); }, nullptr,
     [](MainWindowCameraLoss&) { return ChooseFastMode(); },
     [](MainWindowCameraLoss& t, const DialogScript&) {
       EXPECT_EQ(t.window_->Settings().fastMode, 1) << "the record was taken";
       EXPECT_NE(vqtest::ReadFile(vqtest::TempDir() / "program" / "Sys.ini").find("FASTMODE=TRUE"), std::string::npos);
       t.ExpectToldAndBackOnReplug();
       vq::dshow::CaptureFormat format{};
       ASSERT_TRUE(t.document_->LastStreamFormat(&format));
       EXPECT_TRUE(format.subtype == MEDIASUBTYPE_MJPG) << "the camera came back in the new mode";
     },
     false},
    // Fast mode changed after the camera came back keeps what the window
    // changed: the camera came back without automatic crop, and the sheet's
    // older copy does not bring it back.
    {"FastModeAfterComingBack", IDC_SETTINGS,
     "[IMAGE]\nXDPI=200\nYDPI=200\nDocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=1\n",
     [](MainWindowCameraLoss& t) { ASSERT_TRUE(t.window_->DocumentController()->IsAutoDetect()); }, nullptr,
     [](MainWindowCameraLoss& t) {
       Steps steps{t.Replug(), t.UntilCameraBack()};
       for (auto& step : ChooseFastMode()) steps.push_back(step);
       return steps;
     },
     [](MainWindowCameraLoss& t, const DialogScript&) {
       EXPECT_EQ(t.window_->Settings().fastMode, 1);
       EXPECT_EQ(t.window_->Settings().cutPageType, 0);
       EXPECT_EQ(t.window_->IsDlgButtonChecked(IDC_CROP_NONE), BST_CHECKED);
       ASSERT_NE(t.window_->DocumentController(), nullptr);
       EXPECT_FALSE(t.window_->DocumentController()->IsAutoDetect());
       EXPECT_TRUE(vqtest::Pump([&] { return t.LiveDocumentCamera(); }, 2min));
       vq::dshow::CaptureFormat format{};
       ASSERT_TRUE(t.document_->LastStreamFormat(&format));
       EXPECT_TRUE(format.subtype == MEDIASUBTYPE_MJPG);
     },
     false},
    // The switch to the portrait camera, whose reopen at another size fails,
    // stops when the document camera goes under the busy message.
    {"SwitchUnderThePortraitBusyMessage", IDC_SWITCH_CAMERA, "",
     [](MainWindowCameraLoss& t) {
       ASSERT_NE(t.window_->PortraitController(), nullptr);
       t.window_->settings_.porCamWidth = 1280;
       t.window_->settings_.porCamHeight = 960;
       t.portrait_->SetBusy(true);
       vqtest::DispatchQueued();
       // On screen, with a modal loop of its own.
       t.boxes_.Expect(t.window_->MessageText(CVorquellDlg::MSG_PORTRAIT_BUSY).GetString(), vqtest::ShowBoxOnScreen);
     },
     nullptr, [](MainWindowCameraLoss&) -> Steps { return {ClickOn(IDOK)}; },
     [](MainWindowCameraLoss& t, const DialogScript&) {
       const std::wstring busy = t.window_->MessageText(CVorquellDlg::MSG_PORTRAIT_BUSY).GetString();
       EXPECT_EQ(t.Boxes(), (std::vector<std::wstring>{busy, t.Unplugged()}));
       EXPECT_EQ(t.window_->PortraitController(), nullptr);
     },
     true},
};

INSTANTIATE_TEST_SUITE_P(Commands, MainWindowCameraLoss, ::testing::ValuesIn(kCameraLosses),
                         [](const ::testing::TestParamInfo<CameraLoss>& info) { return info.param.name; });

using MainWindowModeDialogs = NestedLoopTest;

TEST_F(MainWindowModeDialogs, TheMergeDialogStaysWhileItsOwnMessageIsOpen) {
  vqtest::OpenMainWindow& window = StartLive();
  HWND main = window.GetSafeHwnd();
  window.CheckDlgButton(IDC_MERGE, BST_CHECKED);
  Command(IDC_MERGE);
  Command(IDC_CAPTURE);
  ASSERT_NE(window.MergeDialog(), nullptr);
  HWND merge = window.MergeDialog()->GetSafeHwnd();
  // OK with one picture: the dialog's own message, while the user clears the box.
  boxes_.Expect(L"需要2张图片才能合并", vqtest::ShowBoxOnScreen);
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
  window.CheckDlgButton(IDC_MULTIPAGE_TIF, BST_CHECKED);
  Command(IDC_MULTIPAGE_TIF);
  Command(IDC_CAPTURE);
  ASSERT_NE(window.MultiPageDialog(), nullptr);
  HWND pages = window.MultiPageDialog()->GetSafeHwnd();
  // Clearing the box asks about the page; meanwhile the user cancels the
  // dialog itself, then answers Yes.
  boxes_.ExpectStarting(L"已收集的1页尚未保存为文档", vqtest::ShowBoxOnScreen);
  DialogScript script({[pages](HWND) { return vqplatform::ClickControl(pages, kMultiPageCancel); },
                       [&](HWND) { return window.MultiPageDialog() == nullptr; }, ClickOn(IDYES)});
  window.CheckDlgButton(IDC_MULTIPAGE_TIF, BST_UNCHECKED);
  Command(IDC_MULTIPAGE_TIF);
  EXPECT_TRUE(script.Done());
  EXPECT_EQ(vqtest::FilesMatching(vqtest::TempDir(), R"(.*\.tif)", true).size(), 1u) << "the answer was kept";
  EXPECT_FALSE(IsWindow(pages));
}

}  // namespace
