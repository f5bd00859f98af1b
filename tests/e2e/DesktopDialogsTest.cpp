// Vorquell's dialogs as a desktop user meets them, under openbox, IceWM and
// xfwm4: each one the user opens from the main window that has a default or
// a cancel button (the settings sheet, the camera's property frame,
// recording, continuous shooting, merging and its message box, the
// multipage TIFF and PDF dialogs, the prefix editor, free naming,
// recognition ending without its model and ending with nothing recognised,
// the print dialog) shows with the keyboard focus; Return does what its
// default button does and Esc what its cancel button does, each checked
// against the button itself; after which the main window takes the keys
// again. Esc in the main window while a merge waits keeps the program and
// the pictures. The prefix list opens with every entry, each chosen by a
// click. Tab walks through every enabled control of each page of the
// settings sheet.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <ctime>
#include <tuple>
#include <vector>

#include "app/VorquellDlg.h"
#include "base/TextEncoding.h"
#include "platform/win/Controls.h"
#include "platform/win/RectFunctions.h"
#include "platform/win/WindowActivation.h"
#include "scene/Script.h"
#include "tests/support/MessageBoxes.h"
#include "tests/e2e/VorquellProgramTest.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Controls that find each dialog, and the buttons that close them.
constexpr int kSheetTab = 1117, kFrameTab = 100, kRecordStatus = 1086, kSoundPanel = 1032, kAutomatic = 1084,
              kTimed = 1063, kSwap = 1020, kArrangement = 1021, kStop = 1093, kProgress = 1095, kProgressText = 1086,
              kCopies = 105, kPreviousGroup = 1093, kNextGroup = 1094, kCombine = 1032, kCancelPages = 1033,
              kPrefixList = 1090, kFreeName = 1090, kFreeNameLabel = 1092, kStatusLine = 1094;

std::wstring TextOf(HWND window, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(window, id, text, 256);
  return text;
}

class DesktopDialogsTest : public vqtest::VorquellProgramTest {
 protected:
  explicit DesktopDialogsTest(const char* windowManager) : VorquellProgramTest(vqtest::Desktop{windowManager}) {}

  void SetUp() override {
    VorquellProgramTest::SetUp();
    if (IsSkipped()) return;
    server_.emplace();
    ASSERT_TRUE(server_->WaitForWindowManager());
    // A sheet without a word on the desk.
    vqscene::Scene desk = vqscene::EmptyDesk({1280, 960});
    desk.sheets.push_back(vqscene::PlaceSheet({640, 480}, {760, 520}, 0));
    desk.sheets.back().text = false;
    auto script = std::make_shared<vqscene::SceneScript>(desk, 1);
    script->Wait(3600);
    auto config = vq::dshow::VirtualCameraConfig::Document();
    config.sizes = {{1280, 960}};
    config.content.kind = vq::dshow::VirtualContent::Kind::Script;
    config.content.script = script;
    vq::dshow::PlugInVirtualCamera(config);
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\n"));
    // Nothing opens files here; the print dialog writes to a file.
    vqplatform::SetMessageBoxAnswer(nullptr);
  }

  void Click(HWND window, int id) { server_->ClickControl(window, id); }

  // Shown on the server with the keyboard focus, as the window manager
  // gives it to a new window of the program.
  bool ShownWithFocus(HWND window) {
    return vqtest::WaitFor([&] {
      return server_->ShowsInPlace(window) && server_->FocusedWindow() == vqplatform::PresentedXWindow(window) &&
             vqplatform::ForegroundWindowOfProcess() == window;
    });
  }

  void Shoot(HWND window, const std::string& name) {
    ASSERT_TRUE(vqplatform::FlushPresenter(2000));
    RECT r = vqtest::ScreenRectOf(window);
    server_->Grab(RECT{r.left - 4, r.top - 4, r.right + 4, r.bottom + 4})
        .SavePng(vqtest::ScreenshotPath(std::string(WindowManager()) + "-" + name + ".png"));
  }

  virtual const char* WindowManager() const = 0;

  std::optional<vqtest::XServer> server_;
};

// How a dialog is ended: by its default or its cancel button, as a mouse
// user does, or by Return or Esc, which must do what those buttons do.
enum class Way { DefaultButton, Return, CancelButton, Escape };

const char* WayName(Way way) {
  switch (way) {
    case Way::DefaultButton: return "default_button";
    case Way::Return: return "return";
    case Way::CancelButton: return "cancel_button";
    default: return "escape";
  }
}

// The names of the files under a folder, each run of digits as '#', sorted:
// what a capture, merge or document left there, whatever its time.
std::string FilesUnder(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    std::string name, shape = it->path().filename().string();
    for (char ch : shape)
      if (!(std::isdigit(static_cast<unsigned char>(ch)) && !name.empty() && name.back() == '#'))
        name.push_back(std::isdigit(static_cast<unsigned char>(ch)) ? '#' : ch);
    if (name.front() != '.') names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : " ") + name;
  return joined;
}

// A file's identity and time: a save replaces Sys.ini, so both change.
std::string Stamp(const fs::path& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0) return "none";
  return std::to_string(st.st_ino) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
}

class DesktopDialogKeysTest;

// One dialog of the program that has a default or a cancel button: how the
// user opens it from the main window, how it is found, which buttons it has
// (0: none, the key still does what such a button does) and what each did,
// as the program shows it afterwards.
struct DialogCase {
  std::string name;
  std::string settings;  // more of Sys.ini
  std::function<void(DesktopDialogKeysTest& t, HWND main, CVorquellDlg& program)> open;
  std::function<HWND(HWND main, CVorquellDlg& program)> find;
  int defaultButton, cancelButton;
  // What the dialog did, beside whether it is still shown.
  std::function<std::string(DesktopDialogKeysTest& t, HWND dialog)> effect;
  std::string defaultOutcome, cancelOutcome;
  // The dialog is ready for the user (a recognition has ended).
  std::function<bool(HWND dialog)> ready = [](HWND) { return true; };
  // Done with the dialog shown, before it is ended.
  std::function<void(DesktopDialogKeysTest& t, HWND dialog)> inside;
  // Ends what the button started where the dialog stays (a recording).
  std::function<void(DesktopDialogKeysTest& t, HWND dialog)> finish;
  bool needsModel = false;
};

std::function<HWND(HWND, CVorquellDlg&)> WithControls(int id, int otherId) {
  return [id, otherId](HWND, CVorquellDlg&) { return vqtest::ShownWindowWith(id, otherId); };
}

const std::vector<DialogCase>& DialogCases();

class DesktopDialogKeysTest : public DesktopDialogsTest,
                              public ::testing::WithParamInterface<std::tuple<const char*, size_t, Way>> {
 public:
  DesktopDialogKeysTest() : DesktopDialogsTest(std::get<0>(GetParam())) {}
  const char* WindowManager() const override { return std::get<0>(GetParam()); }
  const DialogCase& Case() const { return DialogCases()[std::get<1>(GetParam())]; }
  Way TheWay() const { return std::get<2>(GetParam()); }

  using DesktopDialogsTest::Click;
  using DesktopDialogsTest::ShownWithFocus;
  vqtest::XServer& Server() { return *server_; }
  fs::path Home() const { return fs::path(std::getenv("HOME")); }
  fs::path ImageFolder() const { return Home() / "Ketterby"; }
  std::string ImageFiles() const { return FilesUnder(ImageFolder()); }
  fs::path SettingsFile() const { return program_ / "Sys.ini"; }
  // The settings file's stamp when the dialog was found.
  std::string settingsStamp;

  // The merge mode's first capture: the merge dialog opens.
  void FirstMergeCapture(HWND main, CVorquellDlg& program) {
    Click(main, IDC_MERGE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(main, IDC_MERGE) == BST_CHECKED; }));
    Click(main, IDC_CAPTURE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return program.MergeDialog() && IsWindowVisible(program.MergeDialog()->m_hWnd); }));
    // Where the window manager put it, with the keys, before it is clicked.
    if (program.MergeDialog()) {
      EXPECT_TRUE(ShownWithFocus(program.MergeDialog()->m_hWnd));
    }
  }
  // Both pictures of the merge dialog filled.
  void TwoMergeCaptures(HWND main, CVorquellDlg& program) {
    FirstMergeCapture(main, program);
    if (!program.MergeDialog()) return;  // failed already
    // Work files are named by the second: the next capture waits for a
    // name of its own.
    const std::string first = vq::WideToUtf8(program.MergeDialog()->Item(0)->GetFilePath().GetString());
    EXPECT_TRUE(vqtest::WaitFor([&] {
      char now[16] = {};
      const std::time_t t = std::time(nullptr);
      std::tm local{};
      std::strftime(now, sizeof now, "%Y%m%d%H%M%S", localtime_r(&t, &local));
      return first.find(now) == std::string::npos;
    }));
    Click(main, IDC_CAPTURE);
    EXPECT_TRUE(vqtest::WaitFor([&] {
      CShowImageDlg* merge = program.MergeDialog();
      return merge && !merge->Item(0)->GetFilePath().IsEmpty() && !merge->Item(1)->GetFilePath().IsEmpty();
    })) << "the second capture did not reach the merge dialog";
    // The click on 拍摄 gave the keys to the main window: the user takes
    // the merge dialog up again with a click on its first picture.
    CShowImageDlg* merge = program.MergeDialog();
    if (!merge) return;
    POINT picture = merge->Item(0)->GetRect().CenterPoint();
    ClientToScreen(merge->m_hWnd, &picture);
    server_->Click(picture);
  }
  // The collecting mode's box ticked and one page captured: the multipage
  // dialog opens.
  void CollectOnePage(HWND main, CVorquellDlg& program, int box) {
    Click(main, box);
    EXPECT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(main, box) == BST_CHECKED; }));
    Click(main, IDC_CAPTURE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return program.MultiPageDialog() && !program.MultiPageDialog()->pages.empty(); }));
  }
};

// Whether the dialog still shows, and what it did.
std::string Outcome(DesktopDialogKeysTest& t, const DialogCase& c, HWND dialog) {
  const bool shown = IsWindow(dialog) && IsWindowVisible(dialog);
  return std::string(shown ? "open" : "closed") + "; " + (c.effect ? c.effect(t, dialog) : "");
}

const std::vector<DialogCase>& DialogCases() {
  const auto clicks = [](int button) {
    return [button](DesktopDialogKeysTest& t, HWND main, CVorquellDlg&) { t.Click(main, button); };
  };
  const auto settingsSaved = [](DesktopDialogKeysTest& t, HWND) {
    return Stamp(t.SettingsFile()) == t.settingsStamp ? std::string("Sys.ini unchanged") : std::string("Sys.ini saved");
  };
  const auto images = [](DesktopDialogKeysTest& t, HWND) { return t.ImageFiles(); };
  // What a dialog that starts something with its default button shows.
  const auto started = [](DesktopDialogKeysTest&, HWND dialog) {
    return std::string(IsWindow(dialog) && !IsWindowEnabled(GetDlgItem(dialog, IDOK)) ? "started" : "idle");
  };
  const auto recognitionEnded = [](HWND dialog) { return IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE; };
  // Stops with the button that ends it.
  const auto stops = [](DesktopDialogKeysTest& t, HWND dialog) {
    if (!IsWindow(dialog) || !IsWindowVisible(dialog)) return;
    t.Click(dialog, IDCANCEL);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) << "did not stop";
  };
  static const std::vector<DialogCase> cases{
      {"settings", "", clicks(IDC_SETTINGS), WithControls(kSheetTab, IDOK), IDOK, IDCANCEL, settingsSaved,
       "closed; Sys.ini saved", "closed; Sys.ini unchanged", nullptr, nullptr, nullptr, false},
      {"camera-properties", "", clicks(IDC_VIDEO_PAGES), WithControls(kFrameTab, IDOK), IDOK, IDCANCEL, nullptr,
       "closed; ", "closed; ", nullptr, nullptr, nullptr, false},
      {"recording", "", clicks(IDC_RECORD), WithControls(kRecordStatus, kSoundPanel), IDOK, IDCANCEL, started,
       "open; started", "closed; idle", nullptr, nullptr, stops, false},
      {"continuous", "", clicks(IDC_CONTINUOUS), WithControls(kAutomatic, kTimed), IDOK, IDCANCEL, started,
       "open; started", "closed; idle", nullptr, nullptr, stops, false},
      // Merging: OK merges the two captures; Cancel keeps them as pages
      // named as the merged file would have been (date and time naming).
      {"merge", "",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg& program) { t.TwoMergeCaptures(main, program); },
       WithControls(kSwap, kArrangement), IDOK, IDCANCEL, images, "closed; #.jpg Tmp#.jpg Tmp#.jpg",
       "closed; #.jpg #_#.jpg", nullptr, nullptr, nullptr, false},
      // OK with one picture asks for two, in a box without a caption; Return
      // and Esc close it as its OK does.
      {"merge-message-box", "",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg& program) {
         t.FirstMergeCapture(main, program);
         t.Click(program.MergeDialog()->m_hWnd, IDOK);
       },
       [](HWND, CVorquellDlg& program) {
         CShowImageDlg* merge = program.MergeDialog();
         HWND owner = merge ? merge->m_hWnd : nullptr;
         return owner ? vqtest::ShownWindow([&](HWND w) { return GetWindow(w, GW_OWNER) == owner; }) : nullptr;
       },
       IDOK, 0,
       [](DesktopDialogKeysTest& t, HWND dialog) {
         if (IsWindow(dialog)) {
           wchar_t title[32] = L"?";
           GetWindowTextW(dialog, title, 32);
           EXPECT_EQ(std::wstring(title), L"") << "a box given an empty caption";
         }
         return t.ImageFiles();
       },
       "closed; Tmp#.jpg", "closed; Tmp#.jpg", nullptr,
       nullptr,
       [](DesktopDialogKeysTest& t, HWND) {
         HWND merge = vqtest::ShownWindowWith(kSwap, kArrangement);
         ASSERT_NE(merge, nullptr) << "the merge dialog went with its box";
         EXPECT_TRUE(t.ShownWithFocus(merge)) << "the merge dialog has not the keys again";
         t.Click(merge, IDCANCEL);
         EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(merge); }));
       },
       false},
      // Collecting pages: Combine writes the document, Cancel drops the
      // pages (their files stay, as the settings keep merge sources).
      {"multipage-tiff", "",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg& program) {
         t.CollectOnePage(main, program, IDC_MULTIPAGE_TIF);
       },
       WithControls(kPreviousGroup, kNextGroup), kCombine, kCancelPages, images, "closed; #.tif Tmp#.jpg",
       "closed; Tmp#.jpg", nullptr,
       nullptr, nullptr, false},
      {"multipage-pdf", "",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg& program) { t.CollectOnePage(main, program, IDC_ONE_PDF); },
       WithControls(kPreviousGroup, kNextGroup), kCombine, kCancelPages, images, "closed; #.pdf Tmp#.jpg",
       "closed; Tmp#.jpg", nullptr,
       nullptr, nullptr, false},
      // The prefix editor, opened by the prefix list's last entry: Tab leaves
      // the list as it is and moves on; OK saves it.
      {"prefix-editor", "[FILE]\nTypeofImageName=0\n",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg&) {
         HWND combo = GetDlgItem(main, IDC_PREFIX_COMBO);
         t.Click(main, IDC_PREFIX_COMBO);
         RECT list{};
         ASSERT_TRUE(vqtest::WaitFor([&] {
           HWND shown = FindWindowW(L"ComboLBox", nullptr);
           return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) && shown && t.Server().Shows(shown) &&
                  SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
         })) << "the list did not open";
         const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
         const int row = (list.bottom - list.top - 2) / count;
         t.Server().Click(POINT{(list.left + list.right) / 2, list.top + 1 + (count - 1) * row + row / 2});
       },
       WithControls(kPrefixList, IDOK), IDOK, IDCANCEL, settingsSaved, "closed; Sys.ini saved",
       "closed; Sys.ini unchanged", nullptr,
       [](DesktopDialogKeysTest& t, HWND dialog) {
         const std::wstring list = TextOf(dialog, kPrefixList);
         EXPECT_EQ(list, L"IMG|TXT|JPG");
         t.Server().PressKey(XK_Tab);
         EXPECT_TRUE(vqtest::WaitFor([&] {
           HWND focus = nullptr;
           vqtest::OnIdleModalLoop(GetWindowThreadProcessId(dialog, nullptr), [&](HWND) { focus = GetFocus(); });
           return focus == GetDlgItem(dialog, IDOK);
         })) << "Tab did not move on to OK";
         EXPECT_EQ(TextOf(dialog, kPrefixList), list) << "Tab went into the list";
       },
       nullptr, false},
      // Free naming asks for the capture's name: OK saves it so, Cancel
      // takes nothing.
      {"free-name", "[FILE]\nTypeofImageName=2\n", clicks(IDC_CAPTURE), WithControls(kFreeName, kFreeNameLabel), IDOK,
       IDCANCEL, images, "closed; page.jpg", "closed; ", nullptr,
       [](DesktopDialogKeysTest& t, HWND dialog) {
         t.Server().Type("page");
         EXPECT_TRUE(vqtest::WaitFor([&] { return TextOf(dialog, kFreeName) == L"page"; }));
       },
       nullptr, false},
      // Recognition: without its model, then a page without text.
      {"recognition-without-model", "",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg&) { t.Click(main, IDC_RECOGNIZE); },
       WithControls(kStop, kProgress), IDOK, 0,
       [](DesktopDialogKeysTest&, HWND dialog) {
         return IsWindow(dialog) ? vq::WideToUtf8(TextOf(dialog, kProgressText)) : std::string();
       },
       "closed; ", "closed; ", recognitionEnded,
       [](DesktopDialogKeysTest&, HWND dialog) { EXPECT_EQ(TextOf(dialog, kProgressText), L"OCR 库文件丢失"); }, nullptr,
       false},
      {"recognition-without-text", "",
       [](DesktopDialogKeysTest& t, HWND main, CVorquellDlg&) { t.Click(main, IDC_RECOGNIZE); },
       WithControls(kStop, kProgress), IDOK, 0, nullptr, "closed; ", "closed; ", recognitionEnded,
       [](DesktopDialogKeysTest&, HWND dialog) { EXPECT_EQ(TextOf(dialog, kProgressText), L"OCR 失败或者被停止"); },
       nullptr, true},
      // Capture and print: OK prints to the file printer's file.
      {"print", "", clicks(IDC_COPY), WithControls(kCopies, IDOK), IDOK, IDCANCEL,
       [](DesktopDialogKeysTest& t, HWND) { return std::string(fs::exists(t.Home() / "print.pdf") ? "printed" : "not printed"); },
       "closed; printed", "closed; not printed", nullptr, nullptr, nullptr, false},
  };
  return cases;
}

// Opens the dialog, sees it shown with the focus, ends it the parameter's
// way and sees what that did: Return what the default button does, Esc what
// the cancel button does; then the main window takes the keys again.
TEST_P(DesktopDialogKeysTest, ReturnAndEscDoWhatTheDefaultAndCancelButtonsDo) {
  const DialogCase& c = Case();
  const Way way = TheWay();
  const bool byDefault = way == Way::DefaultButton || way == Way::Return;
  const int button = byDefault ? c.defaultButton : c.cancelButton;
  if ((way == Way::DefaultButton || way == Way::CancelButton) && button == 0)
    GTEST_SKIP() << "the dialog has no such button";
  const fs::path model = program_ / "OCR_RLDA_LN_Gra.tpl";
  fs::remove(model);
  if (c.needsModel) {
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this tree has no recognition model";
    fs::create_symlink(VQ_RECOGNITION_MODEL, model);
  }
  if (!c.settings.empty()) {
    ASSERT_TRUE(vqtest::WriteFile(SettingsFile(), vqtest::ReadFile(SettingsFile()) + c.settings));
  }
  vqtest::RunProgramInProcess(*server_, [&](HWND main, CVorquellDlg& program) {
    SCOPED_TRACE(c.name + " " + WayName(way));
    c.open(*this, main, program);
    HWND dialog = nullptr;
    ASSERT_TRUE(vqtest::WaitFor([&] { return (dialog = c.find(main, program)) && (!c.ready || c.ready(dialog)); })) << "not shown";
    EXPECT_TRUE(ShownWithFocus(dialog)) << "no keys";
    settingsStamp = Stamp(SettingsFile());
    if (way == Way::DefaultButton) Shoot(dialog, c.name);
    if (c.inside) c.inside(*this, dialog);
    switch (way) {
      case Way::Return: server_->PressKey(XK_Return); break;
      case Way::Escape: server_->PressKey(XK_Escape); break;
      default: Click(dialog, button); break;
    }
    const std::string expected = byDefault ? c.defaultOutcome : c.cancelOutcome;
    std::string outcome;
    // What the program does for a button takes it moments, not minutes.
    vqtest::WaitFor([&] { return (outcome = Outcome(*this, c, dialog)) == expected; }, 30s);
    EXPECT_EQ(outcome, expected);
    if (c.finish) c.finish(*this, dialog);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) << "still shown";
    EXPECT_TRUE(vqtest::WaitFor([&] {
      return IsWindowEnabled(main) && vqplatform::ForegroundWindowOfProcess() == main &&
             server_->FocusedWindow() == vqplatform::PresentedXWindow(main);
    })) << "the main window has not the keys again: enabled " << IsWindowEnabled(main) << ", foreground "
        << vqplatform::ForegroundWindowOfProcess() << " (main " << main << "), X focus " << server_->FocusedWindow()
        << " (main's " << vqplatform::PresentedXWindow(main) << ")";
  });
}

INSTANTIATE_TEST_SUITE_P(
    WindowManagers, DesktopDialogKeysTest,
    ::testing::Combine(::testing::Values("openbox", "icewm", "xfwm4"),
                       ::testing::Range<size_t>(0, DialogCases().size()),
                       ::testing::Values(Way::DefaultButton, Way::Return, Way::CancelButton, Way::Escape)),
    [](const auto& info) {
      std::string name = std::string(std::get<0>(info.param)) + "_" + DialogCases()[std::get<1>(info.param)].name +
                         "_" + WayName(std::get<2>(info.param));
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

class DesktopMainWindowKeysTest : public DesktopDialogsTest, public ::testing::WithParamInterface<const char*> {
 protected:
  DesktopMainWindowKeysTest() : DesktopDialogsTest(GetParam()) {}
  const char* WindowManager() const override { return GetParam(); }
  fs::path ImageFolder() const { return fs::path(std::getenv("HOME")) / "Ketterby"; }
};

// The prefix list (13 dialog units high in the main window's template)
// opens under its field with every entry, TXT, JPG and the editor's "..."
// included, and a click on each row chooses it.
TEST_P(DesktopMainWindowKeysTest, ThePrefixListOpensWithEveryEntryAndEachIsChosenByAClick) {
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", vqtest::ReadFile(program_ / "Sys.ini") + "[FILE]\nTypeofImageName=0\n"));
  RunInProcess(*server_, [&](HWND main) {
    HWND combo = GetDlgItem(main, IDC_PREFIX_COMBO);
    ASSERT_TRUE(IsWindowEnabled(combo));
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    ASSERT_EQ(count, 4);
    const std::vector<std::wstring> entries{L"IMG", L"TXT", L"JPG"};
    for (int pick : {1, 2, 0}) {
      SCOPED_TRACE(pick);
      Click(main, IDC_PREFIX_COMBO);
      RECT list{};
      HWND shown = nullptr;
      ASSERT_TRUE(vqtest::WaitFor([&] {
        shown = FindWindowW(L"ComboLBox", nullptr);
        return SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) && shown && server_->Shows(shown) &&
               SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
      })) << "the list did not open";
      const RECT field = vqtest::ScreenRectOf(combo);
      EXPECT_EQ(list.top, field.bottom) << "under its field";
      EXPECT_EQ(SendMessageW(combo, CB_GETTOPINDEX, 0, 0), 0);
      const int row = static_cast<int>(list.bottom - list.top - 2) / count;
      EXPECT_EQ(list.bottom - list.top, count * row + 2) << "every entry, whole rows";
      EXPECT_GE(row, 14) << "a row as high as its text";
      if (pick == 1) {
        ASSERT_TRUE(vqplatform::FlushPresenter(2000));
        server_->Grab(RECT{field.left - 40, field.top - 30, list.right + 40, list.bottom + 10})
            .SavePng(vqtest::ScreenshotPath(std::string(GetParam()) + "-prefix-list-open.png"));
      }
      server_->Click(POINT{(list.left + list.right) / 2, list.top + 1 + pick * row + row / 2});
      EXPECT_TRUE(vqtest::WaitFor([&] {
        return !SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) && SendMessageW(combo, CB_GETCURSEL, 0, 0) == pick;
      })) << "the click did not choose it";
      EXPECT_EQ(TextOf(main, IDC_PREFIX_COMBO), entries[static_cast<size_t>(pick)]);
    }
  });
}

// Esc while the merge dialog waits for its second picture reaches the main
// window (which keeps the keys for the next capture): it cancels the
// merge, the program goes on and the picture taken stays, as a page.
TEST_P(DesktopMainWindowKeysTest, EscInTheMainWindowDuringAMergeCancelsItAndKeepsThePicture) {
  vqtest::RunProgramInProcess(*server_, [&](HWND main, CVorquellDlg& program) {
    Click(main, IDC_MERGE);
    ASSERT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(main, IDC_MERGE) == BST_CHECKED; }));
    Click(main, IDC_CAPTURE);
    ASSERT_TRUE(vqtest::WaitFor([&] { return program.MergeDialog() && IsWindowVisible(program.MergeDialog()->m_hWnd); }));
    HWND merge = program.MergeDialog()->m_hWnd;
    ASSERT_TRUE(ShownWithFocus(merge));
    // The user goes back to the main window, as for the next capture.
    server_->Click(vqtest::MiddleOf(GetDlgItem(main, kStatusLine)));
    ASSERT_TRUE(vqtest::WaitFor([&] { return server_->FocusedWindow() == vqplatform::PresentedXWindow(main); }));
    server_->PressKey(XK_Escape);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(merge); })) << "the merge dialog stayed";
    EXPECT_TRUE(vqtest::Stays([&] { return IsWindow(main) && IsWindowVisible(main); }, 1s)) << "the program ended";
    EXPECT_TRUE(vqtest::WaitFor([&] { return FilesUnder(ImageFolder()) == "#.jpg"; })) << FilesUnder(ImageFolder());
    EXPECT_TRUE(vqtest::WaitFor([&] { return program.StripCounter() > 0; })) << "the page is not in the strip";
  }, false, true);
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, DesktopMainWindowKeysTest, ::testing::Values("openbox", "icewm"),
                         [](const auto& info) { return std::string(info.param); });

// The collecting modes' dialog under each window manager, and the box the
// main window shows while it collects (the merge mode refused).
class DesktopMultiPageDialogTest : public DesktopDialogsTest,
                                   public ::testing::WithParamInterface<std::tuple<const char*, int>> {
 protected:
  DesktopMultiPageDialogTest() : DesktopDialogsTest(std::get<0>(GetParam())) {}
  const char* WindowManager() const override { return std::get<0>(GetParam()); }
  int Mode() const { return std::get<1>(GetParam()); }

  // Framed by the window manager where the program has it.
  bool Framed(HWND window) {
    const unsigned long x = vqplatform::PresentedXWindow(window);
    return server_->ShowsInPlace(window) && server_->FrameExtents(x).top > 0 &&
           vqtest::SameRect(server_->FrameRectOnScreen(x), vqtest::ScreenRectOf(window));
  }
};

// The dialog is framed (a colour key it draws nothing in gives it no shape)
// and leaves the main window's title bar free; the box is centred on the
// main window's frame, as the user sees both.
TEST_P(DesktopMultiPageDialogTest, IsFramedBesideTheTitleBarAndItsBoxIsCentredOnTheMainWindow) {
  const std::wstring text = Mode() == IDC_ONE_PDF ? L"正在把图像合并为多页PDF文件" : L"正在把图像合并为多页TIF文件";
  vqtest::ExpectedBoxes boxes;
  boxes.Expect(text, vqtest::ShowBoxOnScreen);
  vqtest::RunProgramInProcess(*server_, [&](HWND main, CVorquellDlg& program) {
    Click(main, Mode());
    ASSERT_TRUE(vqtest::WaitFor([&] { return IsDlgButtonChecked(main, Mode()) == BST_CHECKED; }));
    Click(main, IDC_CAPTURE);
    ASSERT_TRUE(vqtest::WaitFor([&] {
      return program.MultiPageDialog() && !program.MultiPageDialog()->pages.empty();
    }));
    HWND dialog = program.MultiPageDialog()->m_hWnd;
    ASSERT_TRUE(ShownWithFocus(dialog));
    ASSERT_TRUE(vqtest::WaitFor([&] { return Framed(dialog) && Framed(main); })) << "no frame";
    const unsigned long xdialog = vqplatform::PresentedXWindow(dialog), xmain = vqplatform::PresentedXWindow(main);
    EXPECT_FALSE(server_->BoundingShaped(xdialog));
    const RECT frame = server_->FrameRectOnScreen(xdialog), mainFrame = server_->FrameRectOnScreen(xmain);
    EXPECT_LT(frame.top, server_->ClientRectOnScreen(xdialog).top) << "no title bar";
    const RECT titleBar{mainFrame.left, mainFrame.top, mainFrame.right, server_->ClientRectOnScreen(xmain).top};
    RECT covered{};
    EXPECT_FALSE(IntersectRect(&covered, &titleBar, &frame)) << "over the main window's title bar";
    // Centred on the main window, as far as its title bar lets it.
    EXPECT_NEAR(frame.left + frame.right, mainFrame.left + mainFrame.right, 4);
    const int centredTop = (mainFrame.top + mainFrame.bottom - (frame.bottom - frame.top)) / 2;
    EXPECT_NEAR(frame.top, std::max<int>(centredTop, titleBar.bottom), 2);
    ASSERT_TRUE(vqplatform::FlushPresenter(2000));
    RECT both{};
    UnionRect(&both, &frame, &mainFrame);
    server_->Grab(both).SavePng(vqtest::ScreenshotPath(std::string(WindowManager()) + "-multipage-" +
                                                       (Mode() == IDC_ONE_PDF ? "pdf" : "tiff") + ".png"));

    Click(main, IDC_MERGE);
    HWND box = nullptr;
    ASSERT_TRUE(vqtest::WaitFor([&] {
      box = vqtest::ShownWindow([&](HWND w) { return GetWindow(w, GW_OWNER) == main && vqtest::Says(w, text); });
      return box && Framed(box);
    })) << "the box did not show";
    const RECT boxFrame = server_->FrameRectOnScreen(vqplatform::PresentedXWindow(box));
    EXPECT_NEAR(boxFrame.left + boxFrame.right, mainFrame.left + mainFrame.right, 4);
    EXPECT_NEAR(boxFrame.top + boxFrame.bottom, mainFrame.top + mainFrame.bottom, 4);
    Shoot(box, std::string("multipage-box-") + (Mode() == IDC_ONE_PDF ? "pdf" : "tiff"));
    Click(box, IDOK);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(box); }));
    EXPECT_EQ(IsDlgButtonChecked(main, IDC_MERGE), BST_UNCHECKED);
    EXPECT_EQ(boxes.Shown(text), 1);
    // The pages dropped: the program ends without asking after them.
    Click(dialog, kCancelPages);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !program.MultiPageDialog(); }));
  });
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, DesktopMultiPageDialogTest,
                         ::testing::Combine(::testing::Values("openbox", "icewm", "xfwm4"),
                                            ::testing::Values(IDC_MULTIPAGE_TIF, IDC_ONE_PDF)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)) +
                                  (std::get<1>(info.param) == IDC_ONE_PDF ? "_pdf" : "_tiff");
                         });

class DesktopSettingsSheetTest : public DesktopDialogsTest, public ::testing::WithParamInterface<const char*> {
 protected:
  DesktopSettingsSheetTest() : DesktopDialogsTest(GetParam()) {}
  const char* WindowManager() const override { return GetParam(); }

  // The sheet's focus, after the key, once it moved.
  HWND FocusAfter(unsigned long key, HWND before) {
    server_->PressKey(key);
    HWND focus = before;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      vqtest::OnIdleModalLoop(thread_, [&](HWND) { focus = GetFocus(); });
      return focus != before;
    })) << "the key did not move the focus";
    return focus;
  }

  DWORD thread_ = 0;
};

bool IsRadio(HWND control) {
  wchar_t name[32] = {};
  GetClassNameW(control, name, 32);
  const DWORD kind = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)) & BS_TYPEMASK;
  return std::wstring(name) == WC_BUTTON && (kind == BS_AUTORADIOBUTTON || kind == BS_RADIOBUTTON);
}

// A control, or for a radio button the first of its group.
HWND StandIn(HWND control) {
  if (!IsRadio(control)) return control;
  while (!(GetWindowLongW(control, GWL_STYLE) & WS_GROUP) && GetWindow(control, GW_HWNDPREV))
    control = GetWindow(control, GW_HWNDPREV);
  return control;
}

// What a user must reach on a page: each visible enabled control but
// labels and group boxes, a group of radio buttons once.
std::set<HWND> ControlsToReach(HWND page) {
  std::set<HWND> controls;
  for (HWND c = GetWindow(page, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(c, name, 32);
    const bool groupBox =
        std::wstring(name) == WC_BUTTON && (GetWindowLongW(c, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
    if (IsWindowVisible(c) && IsWindowEnabled(c) && std::wstring(name) != WC_STATIC && !groupBox)
      controls.insert(StandIn(c));
  }
  return controls;
}

// Each page's walk: Tab from the tab strip round to it again reaches every
// control of the page shown and the sheet's buttons; Right on the strip
// shows the next page.
TEST_P(DesktopSettingsSheetTest, TabVisitsEveryEnabledControlOfEachPage) {
  RunInProcess(*server_, [&](HWND main) {
    Click(main, IDC_SETTINGS);
    HWND sheet = nullptr;
    ASSERT_TRUE(vqtest::WaitFor([&] { return (sheet = vqtest::ShownWindowWith(kSheetTab, IDOK)) != nullptr; }));
    ASSERT_TRUE(ShownWithFocus(sheet));
    thread_ = GetWindowThreadProcessId(sheet, nullptr);
    HWND tab = GetDlgItem(sheet, kSheetTab);
    HWND focus = nullptr;
    ASSERT_TRUE(vqtest::OnIdleModalLoop(thread_, [&](HWND) { focus = GetFocus(); }));
    for (int step = 0; focus != tab && step < 40; ++step) focus = FocusAfter(XK_Tab, focus);
    ASSERT_EQ(focus, tab) << "Tab never reached the tab strip";
    HWND shown = nullptr;
    for (int page = 0; page < 3; ++page) {
      SCOPED_TRACE("page " + std::to_string(page));
      const HWND before = shown;
      if (page > 0) server_->PressKey(XK_Right);
      ASSERT_TRUE(vqtest::WaitFor([&] {
        shown = nullptr;
        for (HWND p = GetWindow(tab, GW_CHILD); p; p = GetWindow(p, GW_HWNDNEXT))
          if (IsWindowVisible(p)) shown = shown ? HWND(-1) : p;
        return shown && shown != HWND(-1) && shown != before;
      })) << "Right showed no other page";
      Shoot(sheet, "settings-page-" + std::to_string(page));
      std::set<HWND> reached;
      for (int step = 0; step < 60; ++step) {
        focus = FocusAfter(XK_Tab, focus);
        if (focus == tab) break;
        HWND control = focus;
        while (control && GetParent(control) != shown && GetParent(control) != sheet) control = GetParent(control);
        if (control) reached.insert(StandIn(control));
      }
      EXPECT_EQ(focus, tab) << "Tab did not come round to the tab strip";
      std::set<HWND> expected = ControlsToReach(shown);
      for (int id : {1032, IDOK, IDCANCEL}) expected.insert(GetDlgItem(sheet, id));
      EXPECT_EQ(reached, expected);
      EXPECT_GT(expected.size(), 7u);
    }
    server_->PressKey(XK_Escape);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(sheet); }));
  });
}

INSTANTIATE_TEST_SUITE_P(WindowManagers, DesktopSettingsSheetTest, ::testing::Values("openbox", "icewm", "xfwm4"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
