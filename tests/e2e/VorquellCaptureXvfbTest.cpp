// Captures of Vorquell on a real X server with the virtual document camera,
// worked through its window: the capture button, Space, the camera's
// snapshot button and a continuous-shooting tick each write one named JPEG
// and fill the strip ring; two
// captures in one second keep both files; the strip's menu opens and
// deletes; a QR code names the page; a trigger during a capture's modal
// dialog is dropped and logged. Then the modes: two captures merged side by
// side and printed, pages collected into a multipage TIFF and a PDF,
// capture to PDF and capture and print. Captures save their pages while
// other programs flood the program's socket with idle clients.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "imaging/WorkFiles.h"
#include "base/PathEncoding.h"
#include "capture/PreviewMessages.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Dialog.h"
#include "platform/win/DialogTemplate.h"
#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"
#include "platform/win/ProgramSockets.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/SessionEnd.h"
#include "platform/win/Shell.h"
#include "platform/win/Sound.h"
#include "platform/win/WindowRegistry.h"
#include "tests/support/MessageBoxes.h"
#include "tests/app/OutputTestSupport.h"
#include "tests/app/PdfCheck.h"
#include "tests/e2e/PopupMenuChoice.h"
#include "tests/imaging/HostilePictures.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/support/IsolatedRun.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
#include "tests/support/ThreadTimes.h"
#include "ui/ContinuousShootDlg.h"
#include "ui/MultiPageDlg.h"
// Xlib last: its macros clash with names above.
#include "tests/e2e/VorquellProgramTest.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kQrText = "INVOICE-7731";

// The files of a folder with an extension, by name.
std::vector<std::string> FilesIn(const fs::path& folder, const std::string& extension) {
  return vqtest::NamesIn(folder, ".*\\" + extension);
}

using vqtest::Collect;
using vqtest::Finish;
using vqtest::Press;

// The strip's items, and their files, from top to bottom of the window.
std::vector<CThumbItem*> StripItemsTopToBottom(const CVorquellDlg& dialog) {
  std::vector<CThumbItem*> items = dialog.StripItems();
  std::sort(items.begin(), items.end(), [](auto* a, auto* b) { return a->GetRect().top < b->GetRect().top; });
  return items;
}
std::vector<std::wstring> StripTopToBottom(const CVorquellDlg& dialog) {
  std::vector<std::wstring> files;
  for (CThumbItem* item : StripItemsTopToBottom(dialog))
    files.push_back(vq::FromFsPath(vq::ToFsPath(item->GetFilePath().GetString()).filename()));
  return files;
}

// Right-clicks a thumbnail of a window and chooses `command` from its menu;
// returns the menu's texts once the command was handled.
std::vector<std::wstring> ChooseOnItem(HWND window, const CThumbItem& item, UINT command) {
  return vqtest::ChooseFromPopupMenu(window, item.GetRect().CenterPoint(), command);
}


class VorquellCaptureXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    fs::create_directories(program_ / "icons");
    fs::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    fs::copy_file(VQ_ICON_DIR "/128.png", program_ / "icons" / "128.png");
    fs::copy_file(VQ_SHUTTER_SOUND, program_ / "paizhao.wav");
    // A page with a QR code lying on the camera.
    fs::create_directories(pages_);
    cv::imwrite((pages_ / "page.png").string(),
                outputtest::TextPage({640, 480}, outputtest::RenderQr(kQrText, 4), {380, 40}));
    auto camera = vq::dshow::VirtualCameraConfig::Document();
    camera.sizes = {{640, 480}};
    camera.content.kind = vq::dshow::VirtualContent::Kind::Folder;
    camera.content.folder = pages_;
    camera_ = vq::dshow::PlugInVirtualCamera(camera);
    vqplatform::ClearRecordedSoundCalls();
    vqplatform::ClearRecordedShellCalls();
    // Files the program opens go to a stand-in opener that notes them.
    vqtest::UseStandInOpener(vqtest::TempDir() / "bin");
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
    vqplatform::SetPopupMenuAnswer(nullptr);
    vqplatform::SetPrintDialogHook(nullptr);
    vqplatform::SetModalIdleHandler(nullptr);
  }
  // Prefix naming from IMG00001 into `folder` (images_ unless given), JPEG
  // in `colorMode`, sound on; `more` follows the keys of section IMAGE.
  void WriteSettings(int colorMode = 0, const std::string& more = "", const fs::path& folder = {}) {
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini",
                                  "[FILE]\nFOLDPATH=" + (folder.empty() ? images_ : folder).string() +
                                      "\nPREFIX=IMG\nTypeofImageName=0\n[IMAGE]\nINDEX=1\nDATEFOLDER=0\n"
                                      "DocCamWidth=640\nDocCamHeight=480\nCHANNELS=true\nXDPI=200\nYDPI=200\nCOLOR=" +
                                      std::to_string(colorMode) + "\n" + more + "[SOUND]\nPlay=true\n"));
  }
  // Runs the program in this process, its preview running, while `user`
  // works it from another thread, then closes it unless the user ends it.
  void Run(const std::function<void(HWND, CVorquellDlg&)>& user, bool closeAtEnd = true) {
    vqtest::XServer server;
    server_ = &server;
    vqtest::RunProgramInProcess(server, user, true, closeAtEnd);
    server_ = nullptr;
  }
  // Saves what the server shows of the window once it and the shown children
  // of its thread have painted (the live preview, on a thread of its own,
  // never stops) and the presenter has put that on the server.
  void Shoot(const std::string& name, HWND window) {
    struct Pending {
      DWORD thread;
      bool any;
    };
    const auto painted = [](HWND hwnd) {
      Pending pending{GetWindowThreadProcessId(hwnd, nullptr), GetUpdateRect(hwnd, nullptr, FALSE) != FALSE};
      EnumChildWindows(
          hwnd,
          [](HWND child, LPARAM any) {
            auto& p = *reinterpret_cast<Pending*>(any);
            if (GetWindowThreadProcessId(child, nullptr) == p.thread && IsWindowVisible(child) &&
                GetUpdateRect(child, nullptr, FALSE))
              p.any = true;
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&pending));
      return !pending.any;
    };
    EXPECT_TRUE(vqtest::WaitFor([&] { return painted(window) && vqplatform::FlushPresenter(2000); })) << name;
    server_->Grab(vqtest::ScreenRectOf(window)).SavePng(vqtest::ScreenshotPath(name));
  }
  size_t Jpegs() const { return FilesIn(images_, ".jpg").size(); }
  static std::wstring CounterText(HWND window) { return vqtest::TextOf(window, IDC_IMAGE_COUNTER); }
  // 拍摄, and the box saying `text` it brings shown as the user sees it,
  // saved as `shot`, and closed with its OK.
  void PressCaptureSeeing(HWND window, const std::wstring& text, const char* shot) {
    boxes_.Expect(text, vqtest::ShowBoxOnScreen);
    vqtest::OnNextDialog(window, [this, text, shot](HWND modal) {
      // Another box fails the test, and is closed so that the test ends.
      EXPECT_TRUE(vqtest::Says(modal, text)) << vq::WideToUtf8(vqtest::TextOf(modal));
      vqplatform::FlushPresenter(2000);
      Shoot(shot, modal);
      Press(modal, IDOK);
    });
    Press(window, IDC_CAPTURE);
    boxes_.Expect(text);  // shown again, answered with its OK
  }
  // Space, typed by a user who clicked the window first.
  void PressSpace(HWND window) {
    const RECT label = vqtest::ScreenRectOf(GetDlgItem(window, IDC_WINDOW_LABEL));
    server_->Click(POINT{(label.left + label.right) / 2, (label.top + label.bottom) / 2});
    server_->PressKey(XK_space);
  }

  const fs::path program_ = vqtest::TempDir() / "program";
  const fs::path images_ = vqtest::TempDir() / "images";
  const fs::path pages_ = vqtest::TempDir() / "pages";
  vqtest::ExpectedBoxes boxes_;  // the boxes a test names; any other fails it
  std::shared_ptr<vq::dshow::VirtualCamera> camera_;
  vqtest::XServer* server_ = nullptr;
};

// Button, Space, the camera's snapshot button, a continuous-shooting tick:
// one JPEG, one counter step, one strip item and one shutter sound each.
enum class Trigger { Button, Space, SnapshotButton, ContinuousTick };

class VorquellTriggerXvfbTest : public VorquellCaptureXvfbTest, public ::testing::WithParamInterface<Trigger> {
 protected:
  void Pull(HWND window) {
    switch (GetParam()) {
      case Trigger::Button: Press(window, IDC_CAPTURE); break;
      case Trigger::Space: PressSpace(window); break;
      case Trigger::SnapshotButton: camera_->PressSnapshotButton(); break;
      case Trigger::ContinuousTick:
        Press(window, IDC_CONTINUOUS);
        PostMessageW(window, WM_CONTINUOUS_SHOT, 0, 0);
        break;
    }
  }
};

TEST_P(VorquellTriggerXvfbTest, SavesOneNamedPageIntoTheStrip) {
  WriteSettings();
  Run([&](HWND window, CVorquellDlg& dialog) {
    // Work files left in the data folder go with the first capture.
    const fs::path data = vq::ToFsPath(vq::CommonAppDataFolder()) / "Ombrecht Software";
    for (const char* work : {"tmp.bmp", "tmp.jpg"}) ASSERT_TRUE(vqtest::WriteFile(data / work, "old"));
    Pull(window);
    // Most triggers are posted: the capture has ended once the counter moved on.
    ASSERT_TRUE(vqtest::WaitFor([&] { return CounterText(window) == L"2"; }));
    EXPECT_EQ(FilesIn(images_, ".jpg"), std::vector<std::string>{"IMG00001.jpg"});
    EXPECT_EQ(dialog.StripCounter(), 1u);
    ASSERT_EQ(vqplatform::RecordedSoundCalls().size(), 1u);
    EXPECT_EQ(vqplatform::RecordedSoundCalls().front().name, L"paizhao.wav");
    EXPECT_EQ(vqplatform::RecordedSoundCalls().front().flags, DWORD(SND_FILENAME | SND_ASYNC));
    EXPECT_TRUE(vqplatform::MessageBoxLog().empty()) << vq::WideToUtf8(vqplatform::MessageBoxLog()[0].text);
    EXPECT_FALSE(fs::exists(data / "tmp.bmp"));
    EXPECT_FALSE(fs::exists(data / "tmp.jpg"));
    EXPECT_EQ(cv::imread((images_ / "IMG00001.jpg").string()).size(), cv::Size(640, 480));
    if (GetParam() == Trigger::ContinuousTick) SendMessageW(window, WM_CONTINUOUS_SHOT, 1, 0);
  });
  // The counter went on; Sys.ini keeps it.
  EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=2\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Triggers, VorquellTriggerXvfbTest,
                         ::testing::Values(Trigger::Button, Trigger::Space, Trigger::SnapshotButton,
                                           Trigger::ContinuousTick));

TEST_F(VorquellCaptureXvfbTest, TheStripRingShowsTheNewestPagesAndItsMenuOpensAndDeletes) {
  WriteSettings();
  Run([&](HWND window, CVorquellDlg& dialog) {
    // Five captures: the oldest shown is the second; seven: the fourth.
    for (int i = 0; i < 5; ++i) Press(window, IDC_CAPTURE);
    EXPECT_EQ(StripTopToBottom(dialog),
              (std::vector<std::wstring>{L"IMG00002.jpg", L"IMG00003.jpg", L"IMG00004.jpg", L"IMG00005.jpg"}));
    for (int i = 0; i < 2; ++i) Press(window, IDC_CAPTURE);
    EXPECT_EQ(StripTopToBottom(dialog),
              (std::vector<std::wstring>{L"IMG00004.jpg", L"IMG00005.jpg", L"IMG00006.jpg", L"IMG00007.jpg"}));
    InvalidateRect(window, nullptr, TRUE);
    Shoot("vorquell-strip-after-seven.png", window);

    // The menu of the second item from the top: open (recorded), delete.
    CThumbItem* second = StripItemsTopToBottom(dialog)[1];
    const std::wstring secondFile = second->GetFilePath().GetString();
    for (UINT command : {UINT(ID_THUMB_OPEN), UINT(ID_THUMB_DELETE)})
      EXPECT_EQ(ChooseOnItem(window, *second, command), (std::vector<std::wstring>{L"删除文件", L"浏览文件"}));
    ASSERT_TRUE(vqtest::WaitFor([] { return !vqplatform::RecordedShellCalls().empty(); }));
    const auto opened = vqplatform::RecordedShellCalls();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].verb, L"open");
    EXPECT_EQ(opened[0].target, secondFile);
    EXPECT_TRUE(vqtest::WaitFor([] { return fs::exists(vqtest::TempDir() / "bin" / "opened"); }));
    EXPECT_TRUE(vqtest::WaitFor([&] { return !fs::exists(vq::ToFsPath(secondFile)); }));
    EXPECT_TRUE(second->GetFilePath().IsEmpty());
    // With no program on PATH to open files, opening one tells the user so.
    {
      const std::string path = getenv("PATH");
      setenv("PATH", (vqtest::TempDir() / "bin" / "没有").c_str(), 1);
      vqplatform::ClearMessageBoxLog();
      CThumbItem* third = StripItemsTopToBottom(dialog)[2];
      boxes_.ExpectStarting(L"\"" + std::wstring(third->GetFilePath().GetString()) + L"\" cannot be opened");
      ChooseOnItem(window, *third, ID_THUMB_OPEN);
      setenv("PATH", path.c_str(), 1);
      const auto told = vqplatform::MessageBoxLog();
      ASSERT_EQ(told.size(), 1u);
      EXPECT_NE(told[0].text.find(third->GetFilePath().GetString()), std::wstring::npos);
      EXPECT_NE(told[0].text.find(L"xdg-open"), std::wstring::npos) << vq::WideToUtf8(told[0].text);
      EXPECT_EQ(told[0].caption, vqplatform::DefaultMessageBoxCaption()) << "titled as a box given no caption";
      EXPECT_EQ(vqplatform::RecordedShellCalls().size(), 1u) << "nothing more was opened";
    }
    // The next capture takes the ring's next slot (the top one), not the emptied one.
    Press(window, IDC_CAPTURE);
    EXPECT_EQ(StripTopToBottom(dialog),
              (std::vector<std::wstring>{L"", L"IMG00006.jpg", L"IMG00007.jpg", L"IMG00008.jpg"}));
  });
  EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=9\n"), std::string::npos);
}

TEST_F(VorquellCaptureXvfbTest, PagesAreNamedByTimeByBarcodeOrFreelyWhileTriggersMeanwhileAreDropped) {
  WriteSettings();
  Run([&](HWND window, CVorquellDlg& dialog) {
    // Named by date and time: two captures in one second keep both files.
    Press(window, IDC_NAME_DATETIME);
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    ASSERT_EQ(Jpegs(), 2u);
    EXPECT_EQ(vqtest::NamesIn(images_, R"(\d{14}(_\d+)?\.jpg)").size(), 2u);

    // Barcode naming: the page is named by its QR code.
    Press(window, IDC_BARCODE);
    Press(window, IDC_CAPTURE);
    EXPECT_TRUE(fs::exists(images_ / (std::string(kQrText) + ".jpg")));
    Press(window, IDC_BARCODE);

    // Free naming: while the name dialog is open, every trigger is dropped
    // and logged; the capture then ends with the given name.
    Press(window, IDC_NAME_FREE);
    std::atomic<int> idleRuns{0};
    vqplatform::SetModalIdleHandler([&](HWND modal) {
      if (modal == window) return;
      // A name dialog of a capture that should have been dropped is cancelled.
      if (idleRuns++) {
        SendMessageW(modal, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CAPTURE, BN_CLICKED), 0);
      SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_ACCEL_CAPTURE, 1), 0);
      SendMessageW(window, WM_VIDEO_STILL_READY, 0, 0);
      SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_CAPTURE_PDF, BN_CLICKED), 0);
      SetDlgItemTextW(modal, 1090, L"given");
      SendMessageW(modal, WM_COMMAND, IDOK, 0);
    });
    const unsigned stripBefore = dialog.StripCounter();
    Press(window, IDC_CAPTURE);
    vqplatform::SetModalIdleHandler(nullptr);
    EXPECT_TRUE(fs::exists(images_ / "given.jpg"));
    EXPECT_EQ(dialog.StripCounter(), stripBefore + 1) << "only the capture that opened the dialog";
    const std::string log = vqtest::ReadFile(vq::ToFsPath(vq::CommonAppDataFolder()) / "Ombrecht Software" / "capture.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    EXPECT_NE(log.find("capture to PDF dropped"), std::string::npos);
    EXPECT_FALSE(dialog.CaptureRunning());
  });
  // The counter went on with every capture that saved; Sys.ini keeps it.
  EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=5\n"), std::string::npos);
}

TEST_F(VorquellCaptureXvfbTest, ModesMergeCollectAndPrintCaptures) {
  boxes_.Expect(L"正在把图像合并为多页TIF文件");
  boxes_.ExpectStarting(L"PDF文件没有保存：\n");
  WriteSettings();
  int printJobs = 0;
  vqplatform::SetPrintDialogHook([&](const auto&, vqplatform::PrintDialogChoice* choice) {
    choice->printer = vqplatform::kFilePrinterName;
    choice->outputFile = (vqtest::TempDir() / ("printed" + std::to_string(printJobs++) + ".pdf")).string();
    return true;
  });
  Run([&](HWND window, CVorquellDlg& dialog) {
    // 合并图像: two captures in one second open one merge dialog with both.
    Press(window, IDC_MERGE);
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MergeDialog(), nullptr);
    EXPECT_EQ(FilesIn(images_, ".jpg").size(), 2u) << "two work files, none overwritten";
    EXPECT_EQ(dialog.StripCounter(), 0u);
    HWND merge = dialog.MergeDialog()->m_hWnd;
    Press(merge, 1021);  // side by side
    Shoot("vorquell-merge-dialog.png", merge);
    Press(merge, 1032);  // print
    EXPECT_EQ(pdfcheck::PageCount(vqtest::TempDir() / "printed0.pdf"), 1);
    Press(merge, IDOK);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.StripCounter() == 1; }));
    EXPECT_EQ(dialog.MergeDialog(), nullptr);
    const cv::Mat merged = cv::imread((images_ / "IMG00001.jpg").string());
    EXPECT_EQ(merged.cols, 2 * 640);
    EXPECT_EQ(merged.rows, 480);
    EXPECT_EQ(StripTopToBottom(dialog)[0], L"IMG00001.jpg");
    // Cleared while a merge dialog is open: the dialog goes, its picture
    // joins the strip as a page.
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MergeDialog(), nullptr);
    Press(window, IDC_MERGE);
    EXPECT_EQ(dialog.MergeDialog(), nullptr);
    SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_EQ(dialog.StripCounter(), 2u);
    EXPECT_EQ(StripTopToBottom(dialog)[1], L"IMG00003.jpg");

    // 存储为多页TIF: pages collect in the multipage dialog; one deleted, the
    // last moved first, saved as a TIFF of JPEG pages at 200 dpi.
    CMultiPageDlg* pages = Collect(window, dialog, IDC_MULTIPAGE_TIF, 3);
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->pages.size(), 3u);
    EXPECT_EQ(dialog.StripCounter(), 3u) << "one strip item for the coming document";
    const std::vector<CString> captured = pages->pages;
    Shoot("vorquell-multipage-dialog.png", pages->m_hWnd);
    // Mode boxes stay while the TIFF is made.
    Press(window, IDC_ONE_PDF);
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_ONE_PDF), 0u);
    EXPECT_EQ(vqplatform::MessageBoxLog().back().text, L"正在把图像合并为多页TIF文件");
    const auto itemShowing = [&](int page) -> const CThumbItem& {
      for (const CThumbItem* item : pages->Items())
        if (item->m_index == page) return *item;
      return *pages->Items().front();
    };
    ChooseOnItem(pages->m_hWnd, itemShowing(1), ID_PAGE_DELETE);
    ChooseOnItem(pages->m_hWnd, itemShowing(1), ID_PAGE_INSERT_FIRST);
    EXPECT_EQ(pages->pages, (std::vector<CString>{captured[2], captured[0]}));
    EXPECT_FALSE(fs::exists(vq::ToFsPath(captured[1].GetString())));
    const fs::path tiff = images_ / "IMG00004.tif";
    EXPECT_EQ(StripTopToBottom(dialog)[2], vq::FromFsPath(tiff.filename()));
    ASSERT_TRUE(Finish(dialog));
    const std::vector<imagingtest::TiffPage> read = imagingtest::ReadTiff(tiff);
    ASSERT_EQ(read.size(), 2u);
    for (const imagingtest::TiffPage& page : read) {
      EXPECT_EQ(page.compression, COMPRESSION_JPEG);
      EXPECT_EQ(page.xResolution, 200.f);
      EXPECT_EQ(imagingtest::FirstQuantValue(page.jpegTables), 16) << "JPEG quality 50";
    }
    Press(window, IDC_MULTIPAGE_TIF);

    // 存储为同一PDF: two captures, one PDF of two pages.
    ASSERT_NE(Collect(window, dialog, IDC_ONE_PDF, 2), nullptr);
    ASSERT_TRUE(Finish(dialog));
    EXPECT_EQ(pdfcheck::PageCount(images_ / "IMG00007.pdf"), 2);
    Press(window, IDC_ONE_PDF);

    // 拍摄为PDF: a one-page PDF in place of the page, shown in the strip.
    const size_t jpegs = Jpegs();
    Press(window, IDC_CAPTURE_PDF);
    EXPECT_EQ(pdfcheck::PageCount(images_ / "IMG00009.pdf"), 1);
    EXPECT_EQ(Jpegs(), jpegs);
    EXPECT_EQ(StripTopToBottom(dialog).back(), L"IMG00009.pdf");
    // A PDF that cannot be written (the disk fills after the page) keeps
    // the page, the strip shows it, the user is told both names, and the
    // counter stays.
    uintmax_t pageSize = UINTMAX_MAX;
    for (const std::string& name : FilesIn(images_, ".jpg")) pageSize = std::min(pageSize, fs::file_size(images_ / name));
    signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit limited = original;
    limited.rlim_cur = pageSize + 200;
    setrlimit(RLIMIT_FSIZE, &limited);
    vqplatform::ClearMessageBoxLog();
    Press(window, IDC_CAPTURE_PDF);
    setrlimit(RLIMIT_FSIZE, &original);
    EXPECT_TRUE(fs::exists(images_ / "IMG00010.jpg"));
    EXPECT_FALSE(fs::exists(images_ / "IMG00010.pdf"));
    EXPECT_EQ(StripTopToBottom(dialog).back(), L"IMG00010.jpg");
    ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
    EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, L"PDF文件没有保存：\n" + vq::FromFsPath(images_ / "IMG00010.pdf") +
                                                       L"\n图像保存在：\n" + vq::FromFsPath(images_ / "IMG00010.jpg"));
    EXPECT_EQ(CounterText(window), L"10");

    // 复印: printed on the file printer, nothing kept, nothing counted.
    const unsigned strip = dialog.StripCounter();
    Press(window, IDC_COPY);
    EXPECT_EQ(pdfcheck::PageCount(vqtest::TempDir() / "printed1.pdf"), 1);
    EXPECT_EQ(dialog.StripCounter(), strip);
    EXPECT_TRUE(FilesIn(images_, ".bmp").empty());
    EXPECT_EQ(CounterText(window), L"10");
  });
  EXPECT_EQ(printJobs, 2);
}

TEST_F(VorquellCaptureXvfbTest, BlackAndWhiteCapturesMergeAndCollectAsG4Pages) {
  WriteSettings(2);
  Run([&](HWND window, CVorquellDlg& dialog) {
    Press(window, IDC_CAPTURE);
    const std::vector<imagingtest::TiffPage> plain = imagingtest::ReadTiff(images_ / "IMG00001.tif");
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].compression, COMPRESSION_CCITTFAX4);

    // Two captures merged: one G4 page holding both.
    Press(window, IDC_MERGE);
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MergeDialog(), nullptr);
    Press(dialog.MergeDialog()->m_hWnd, IDOK);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.StripCounter() == 2; }));
    const std::vector<imagingtest::TiffPage> merged = imagingtest::ReadTiff(images_ / "IMG00002.tif");
    ASSERT_EQ(merged.size(), 1u);
    EXPECT_EQ(merged[0].compression, COMPRESSION_CCITTFAX4);
    EXPECT_EQ(merged[0].height, plain[0].height * 2) << "one above the other";
    Press(window, IDC_MERGE);

    // Collected into a multipage TIFF: G4 pages.
    ASSERT_NE(Collect(window, dialog, IDC_MULTIPAGE_TIF, 2), nullptr);
    ASSERT_TRUE(Finish(dialog));
    const std::vector<imagingtest::TiffPage> collected = imagingtest::ReadTiff(images_ / "IMG00004.tif");
    ASSERT_EQ(collected.size(), 2u);
    for (const imagingtest::TiffPage& page : collected) EXPECT_EQ(page.compression, COMPRESSION_CCITTFAX4);
  });
}

// Captures replaced on disk by a picture file that once aborted, froze or
// exhausted the program, before the merge and the multipage dialogs read
// them back: the program runs on, in a process of its own with a deadline
// and a memory watch, and each dialog fails as it does for any page that
// does not load.
TEST_F(VorquellCaptureXvfbTest, CapturesReplacedByHostileFilesFailTheirMergeAndPagesWithoutEndingTheProgram) {
  WriteSettings();
  for (const auto& file : hostile::NamedFiles()) {
    SCOPED_TRACE(file.first);
    const auto replace = [&](const CString& path) { ASSERT_TRUE(vqtest::WriteFile(vq::ToFsPath(path.GetString()), file.second)); };
    const auto work = [&] {
      Run([&](HWND window, CVorquellDlg& dialog) {
        // 合并图像: the second capture replaced after it was shown.
        Press(window, IDC_MERGE);
        Press(window, IDC_CAPTURE);
        Press(window, IDC_CAPTURE);
        ASSERT_NE(dialog.MergeDialog(), nullptr);
        const fs::path replaced = vq::ToFsPath(dialog.MergeDialog()->Item(1)->GetFilePath().GetString());
        replace(vq::FromFsPath(replaced).c_str());
        Press(dialog.MergeDialog()->m_hWnd, IDOK);
        SendMessageW(window, WM_NULL, 0, 0);
        EXPECT_EQ(dialog.MergeDialog(), nullptr);
        EXPECT_EQ(dialog.StripCounter(), 2u) << "no merged page: both pictures kept as pages";
        for (const std::string& name : FilesIn(images_, ".jpg"))
          if (vqtest::ReadFile(images_ / name) != file.second) {
            EXPECT_NE(cv::imread((images_ / name).string()).cols, 2 * 640) << name;
          }
        Press(window, IDC_MERGE);

        // 存储为多页TIF: the middle page replaced; asked, the TIFF leaves it out.
        ASSERT_NE(Collect(window, dialog, IDC_MULTIPAGE_TIF, 3), nullptr);
        ASSERT_EQ(dialog.MultiPageDialog()->pages.size(), 3u);
        replace(dialog.MultiPageDialog()->pages[1]);
        boxes_.ExpectStarting(L"这些页面无法读取：", IDYES);
        const bool finished = Finish(dialog);
        ASSERT_TRUE(finished);
        const std::vector<std::string> tiffs = FilesIn(images_, ".tif");
        ASSERT_EQ(tiffs.size(), 1u);
        EXPECT_EQ(imagingtest::ReadTiff(images_ / tiffs[0]).size(), 2u);
        const std::vector<std::wstring> strip = StripTopToBottom(dialog);
        EXPECT_NE(std::find(strip.begin(), strip.end(), vq::FromFsPath(fs::path(tiffs[0]))), strip.end())
            << "the strip shows the TIFF";
        Press(window, IDC_MULTIPAGE_TIF);

        // 存储为同一PDF: a replaced page is named; kept, no PDF is made and
        // the dialog keeps its pages.
        ASSERT_NE(Collect(window, dialog, IDC_ONE_PDF, 2), nullptr);
        replace(dialog.MultiPageDialog()->pages[0]);
        boxes_.ExpectStarting(L"这些页面无法读取：", IDNO);
        const size_t boxes = vqplatform::MessageBoxLog().size();
        Press(dialog.MultiPageDialog()->m_hWnd, 1032);
        SendMessageW(window, WM_NULL, 0, 0);
        EXPECT_EQ(vqplatform::MessageBoxLog().size(), boxes + 1);
        EXPECT_TRUE(FilesIn(images_, ".pdf").empty());
        ASSERT_NE(dialog.MultiPageDialog(), nullptr);
        EXPECT_EQ(dialog.MultiPageDialog()->pages.size(), 2u);
        std::this_thread::sleep_for(300ms);  // painted, for the picture only
        Shoot("vorquell-hostile-" + file.first + ".png", dialog.MultiPageDialog()->m_hWnd);
        // The program closes; the pages left collected are discarded.
        vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord& box) {
          return (box.type & MB_TYPEMASK) == MB_YESNOCANCEL ? IDNO : IDOK;
        });
      });
    };
    vqtest::IsolationLimits limits;
    limits.maxVirtualGrowthMb = 3072;
    limits.maxResidentGrowthMb = 768;
    EXPECT_ISOLATED(nullptr, work, limits);
  }
}

// Connects `count` clients to the socket from a child process that has the
// descriptors for them; they say nothing until the pipe `leave` is closed
// by the parent. Writes 'c' to `report` once all are connected, 'x' when
// the child cannot have that many descriptors. Only system calls after the
// fork.
pid_t StartIdleClients(const std::string& socketPath, int count, int report, const int leave[2]) {
  const sockaddr_un address = vqplatform::SocketAddress(socketPath);
  return vqtest::RunInChild([&] {
    close(leave[1]);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, rlim_t(count) + 1024);
    if (limit.rlim_cur < rlim_t(count) + 256 || setrlimit(RLIMIT_NOFILE, &limit) != 0)
      return write(report, "x", 1) == 1 ? 0 : 3;
    for (int i = 0; i < count; ++i) {
      const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
      if (fd < 0 || connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 2;
    }
    if (write(report, "c", 1) != 1) return 3;
    char byte;
    [[maybe_unused]] ssize_t left = read(leave[0], &byte, 1);
    return 0;  // every client leaves with the process
  });
}

TEST_F(VorquellCaptureXvfbTest, CapturesSaveTheirPagesDuringAndAfterAFloodOfIdleClients) {
  WriteSettings();
  vqplatform::ProgramListenerScope listening;
  ASSERT_TRUE(listening.Listening());
  // The usual descriptor limit for this program; more idle clients than it.
  rlimit saved{};
  getrlimit(RLIMIT_NOFILE, &saved);
  rlimit usual = saved;
  usual.rlim_cur = std::min<rlim_t>(1024, saved.rlim_max);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &usual), 0);
  const std::string socketPath = vqplatform::ProgramFolder(false) + "/" + std::to_string(getpid()) + ".sock";
  const auto find = [&] {
    std::optional<std::string> answer = vqplatform::Request(socketPath, "FIND Vorquell V71.0", 60000);
    return answer.value_or("failed");
  };
  Run([&](HWND window, CVorquellDlg&) {
    const std::string found = "WINDOW " + std::to_string(reinterpret_cast<uintptr_t>(window));
    vqtest::ThreadCpu listener("vq-listener");
    ASSERT_TRUE(listener.Found());
    const auto idleMs = [&] {  // over a second in which nothing is asked of the listener
      const long before = listener.Milliseconds();
      std::this_thread::sleep_for(1s);
      return listener.Milliseconds() - before;
    };
    int report[2], leave[2];
    ASSERT_EQ(pipe2(report, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(leave, O_CLOEXEC), 0);
    const pid_t flood = StartIdleClients(socketPath, 1100, report[1], leave);
    ASSERT_GT(flood, 0);
    char state = 0;
    ASSERT_EQ(read(report[0], &state, 1), 1);
    if (state == 'x') {
      vqtest::WaitForEnd(flood);
      GTEST_SKIP() << "no room for 1,100 descriptors under this hard limit";
    }
    ASSERT_EQ(state, 'c');
    // While they sit: the program answers, captures, and the listener rests.
    EXPECT_EQ(find(), found);
    Press(window, IDC_CAPTURE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return Jpegs() == 1; }));
    EXPECT_LT(idleMs(), 100) << "while the clients sit";
    // They leave: the same.
    close(leave[1]);
    vqtest::WaitForEnd(flood);
    EXPECT_LT(idleMs(), 100) << "once they left";
    EXPECT_EQ(find(), found);
    Press(window, IDC_CAPTURE);
    EXPECT_TRUE(vqtest::WaitFor([&] { return Jpegs() == 2; }));
    for (int fd : {report[0], report[1], leave[0]}) close(fd);
  });
  setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(FilesIn(images_, ".jpg"), (std::vector<std::string>{"IMG00001.jpg", "IMG00002.jpg"}));
}

// Answers the questions (boxes with Yes and No, and Cancel or not) in turn,
// every other box with OK, and counts both.
struct QuestionAnswers {
  explicit QuestionAnswers(std::vector<int> answers) : queue(std::move(answers)) { Install(); }
  ~QuestionAnswers() { vqplatform::SetMessageBoxAnswer(nullptr); }
  void Install() {
    vqplatform::SetMessageBoxAnswer([this](const vqplatform::MessageBoxRecord& box) {
      const UINT buttons = box.type & MB_TYPEMASK;
      if (buttons != MB_YESNOCANCEL && buttons != MB_YESNO) return IDOK;
      questions.push_back(box.text);
      const int answer = queue.empty() ? IDCANCEL : queue.front();
      if (!queue.empty()) queue.erase(queue.begin());
      return answer;
    });
  }
  std::vector<int> queue;
  std::vector<std::wstring> questions;
};

TEST_F(VorquellCaptureXvfbTest, CollectedPagesAreNeverDroppedWithoutTheUsersSay) {
  // Page files go once they are in the document or discarded.
  const auto writeSettings = [&] {
    WriteSettings();
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", vqtest::ReadFile(program_ / "Sys.ini") + "[OTHER]\nSRC=FALSE\n"));
  };
  writeSettings();
  std::vector<CString> pages;
  fs::path tiff;
  // Three pages collected for a multipage TIFF.
  const auto collect = [&](HWND window, CVorquellDlg& dialog) {
    ASSERT_NE(Collect(window, dialog, IDC_MULTIPAGE_TIF, 3), nullptr);
    pages = dialog.MultiPageDialog()->pages;
    ASSERT_EQ(pages.size(), 3u);
    tiff = vq::ToFsPath(dialog.MultiPageDialog()->outputPath.GetString());
  };
  const auto pagesOnDisk = [&] {
    return std::count_if(pages.begin(), pages.end(), [](const CString& p) { return fs::exists(vq::ToFsPath(p.GetString())); });
  };

  // Clearing the box, then Exit, each asks; Cancel goes back to collecting,
  // and the program runs on. Yes at the next Exit writes the document.
  {
    QuestionAnswers answers({IDCANCEL, IDYES});
    Run([&](HWND window, CVorquellDlg& dialog) {
      collect(window, dialog);
      // The first question as the user sees it, answered by a click.
      vqplatform::SetMessageBoxAnswer(nullptr);
      HWND question = nullptr;
      vqplatform::SetModalIdleHandler([&](HWND modal) {
        if (modal == window || question) return;
        question = modal;
        vqplatform::FlushPresenter(2000);
        Shoot("vorquell-collected-pages-question.png", modal);
        SendMessageW(modal, WM_COMMAND, IDCANCEL, 0);
      });
      Press(window, IDC_MULTIPAGE_TIF);
      vqplatform::SetModalIdleHandler(nullptr);
      answers.Install();
      ASSERT_NE(question, nullptr);
      EXPECT_EQ(IsDlgButtonChecked(window, IDC_MULTIPAGE_TIF), UINT(BST_CHECKED)) << "back to collecting";
      ASSERT_NE(dialog.MultiPageDialog(), nullptr);
      EXPECT_EQ(dialog.MultiPageDialog()->pages.size(), 3u);

      Press(window, IDC_EXIT);
      ASSERT_EQ(answers.questions.size(), 1u);
      EXPECT_EQ(answers.questions[0], L"已收集的3页尚未保存为文档：\n" + vq::FromFsPath(tiff) +
                                          L"\n\n是：保存文档\n否：丢弃这些页\n取消：返回");
      SendMessageW(window, WM_NULL, 0, 0);
      EXPECT_TRUE(IsWindow(window)) << "the program still runs";
      ASSERT_NE(dialog.MultiPageDialog(), nullptr);
      EXPECT_EQ(pagesOnDisk(), 3);
      Press(window, IDC_EXIT);
      EXPECT_EQ(answers.questions.size(), 2u);
    }, false);
  }
  const std::vector<imagingtest::TiffPage> written = imagingtest::ReadTiff(tiff);
  EXPECT_EQ(written.size(), 3u);
  for (const imagingtest::TiffPage& page : written) EXPECT_EQ(page.width, 640u);
  EXPECT_EQ(pagesOnDisk(), 0) << "the pages are in the document";
  EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=4\n"), std::string::npos);

  // No discards the pages and writes nothing.
  fs::remove(tiff);
  writeSettings();
  {
    QuestionAnswers answers({IDNO});
    Run([&](HWND window, CVorquellDlg& dialog) {
      collect(window, dialog);
      Press(window, IDC_EXIT);
      EXPECT_EQ(answers.questions.size(), 1u);
    }, false);
  }
  EXPECT_FALSE(fs::exists(tiff));
  EXPECT_EQ(pagesOnDisk(), 0);

  // The session ends (SIGTERM): nobody to ask, the document is written.
  fs::remove(tiff);
  writeSettings();
  {
    QuestionAnswers answers({});
    vqplatform::SessionEndScope sessionEnd;
    Run([&](HWND window, CVorquellDlg& dialog) {
      collect(window, dialog);
      raise(SIGTERM);
    }, false);
    EXPECT_EQ(answers.questions.size(), 0u);
  }
  EXPECT_EQ(imagingtest::ReadTiff(tiff).size(), 3u);
  EXPECT_EQ(pagesOnDisk(), 0);
}

TEST_F(VorquellCaptureXvfbTest, AnUnwritableImageFolderIsToldOnceAndKeepsTheCounter) {
  boxes_.ExpectStarting(L"文件名太长，图像没有保存：");
  // The image folder lies under a file: nothing can be made there.
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempDir() / "not-a-folder", "a file"));
  const fs::path blocked = vqtest::TempDir() / "not-a-folder" / "images";
  const fs::path good = vqtest::TempDir() / "good-images";
  WriteSettings(0, "", blocked);
  int printDialogs = 0;
  vqplatform::SetPrintDialogHook([&](const auto&, vqplatform::PrintDialogChoice*) { return ++printDialogs, false; });
  Run([&](HWND window, CVorquellDlg& dialog) {
    const auto counter = [&] { return CounterText(window); };
    const std::wstring told = L"图像文件夹无法写入，图像没有保存：\n" + vq::FromFsPath(blocked);
    // The capture button, Space, capture to PDF, capture and print.
    const std::vector<std::function<void()>> triggers = {
        [&] { PressCaptureSeeing(window, told, "vorquell-folder-not-writable.png"); },
        [&] { PressSpace(window); },
        [&] { Press(window, IDC_CAPTURE_PDF); },
        [&] { Press(window, IDC_COPY); },
    };
    for (size_t i = 0; i < triggers.size(); ++i) {
      vqplatform::ClearMessageBoxLog();
      triggers[i]();
      ASSERT_TRUE(vqtest::WaitFor([] { return !vqplatform::MessageBoxLog().empty(); })) << "trigger " << i;
      SendMessageW(window, WM_NULL, 0, 0);
      ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u) << "trigger " << i;
      EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, told) << "trigger " << i;
      EXPECT_EQ(vqplatform::MessageBoxLog()[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
      EXPECT_EQ(counter(), L"1") << "trigger " << i;
    }
    EXPECT_EQ(dialog.StripCounter(), 0u);
    EXPECT_EQ(printDialogs, 0) << "no blank page printed";
    EXPECT_FALSE(fs::exists(blocked));

    // A name longer than the file system takes is told as such.
    Press(window, IDC_NAME_FREE);
    vqtest::OnNextDialog(window, [&](HWND modal) {
      SetDlgItemTextW(modal, 1090, std::wstring(100, L'长').c_str());
      Press(modal, IDOK);
    });
    vqplatform::ClearMessageBoxLog();
    Press(window, IDC_CAPTURE);
    ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
    EXPECT_EQ(vqplatform::MessageBoxLog()[0].text.rfind(L"文件名太长，图像没有保存：\n" + std::wstring(80, L'长'), 0), 0u);
    Press(window, IDC_NAME_PREFIX);

    // The next capture into a good folder is saved and counted.
    vqplatform::RunOnWindowThread(window, [&] {
      CSysSettings updated = dialog.Settings();
      updated.foldPath = updated.currentFolder = vq::FromFsPath(good).c_str();
      return LRESULT(dialog.ApplySettings(updated));
    });
    vqplatform::ClearMessageBoxLog();
    Press(window, IDC_CAPTURE);
    EXPECT_TRUE(fs::exists(good / "IMG00001.jpg"));
    EXPECT_EQ(counter(), L"2");
    EXPECT_EQ(dialog.StripCounter(), 1u);
    EXPECT_TRUE(vqplatform::MessageBoxLog().empty());
  });
}

TEST_F(VorquellCaptureXvfbTest, AMultipageWindowThatCannotOpenKeepsThePageAndSaysWhere) {
  boxes_.ExpectStarting(L"无法打开多页文件窗口，图像保存在：");
  WriteSettings();
  vqres::LoadResources();
  // A template whose control cannot be made: the window cannot be created.
  const DialogTemplate* original = vqplatform::FindDialogTemplate(IDD_MULTI_PAGE);
  ASSERT_NE(original, nullptr);
  DialogTemplate broken = *original;
  broken.items.push_back(DialogItemTemplate{1999, L"NoSuchClass", L"", WS_VISIBLE, 0, 0, 0, 10, 10});
  Run([&](HWND window, CVorquellDlg& dialog) {
    Press(window, IDC_MULTIPAGE_TIF);
    vqplatform::RegisterDialogTemplate(IDD_MULTI_PAGE, &broken);
    vqplatform::ClearMessageBoxLog();
    Press(window, IDC_CAPTURE);
    vqplatform::RegisterDialogTemplate(IDD_MULTI_PAGE, original);
    EXPECT_EQ(dialog.MultiPageDialog(), nullptr);
    ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
    const std::wstring text = vqplatform::MessageBoxLog()[0].text;
    const std::wstring intro = L"无法打开多页文件窗口，图像保存在：\n";
    ASSERT_EQ(text.rfind(intro, 0), 0u) << vq::WideToUtf8(text);
    const fs::path page = vq::ToFsPath(text.substr(intro.size()));
    EXPECT_TRUE(fs::exists(page));
    EXPECT_EQ(StripTopToBottom(dialog).front(), vq::FromFsPath(page.filename())) << "the strip shows it";
    Press(window, IDC_MULTIPAGE_TIF);
  });
}

// Merging and a PDF both stored (an old or edited Sys.ini): the program
// starts merging only, as its boxes would have it, and captures go to the
// merge dialog alone.
TEST_F(VorquellCaptureXvfbTest, MergingAndCollectingStoredTogetherStartAsMergingOnly) {
  WriteSettings(0, "PDFORTIF=2\n[OTHER]\nMERGE=TRUE\n");
  Run([&](HWND window, CVorquellDlg& dialog) {
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_MERGE), UINT(BST_CHECKED));
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_ONE_PDF), UINT(BST_UNCHECKED));
    EXPECT_EQ(IsDlgButtonChecked(window, IDC_MULTIPAGE_TIF), UINT(BST_UNCHECKED));
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MergeDialog(), nullptr);
    EXPECT_EQ(dialog.MultiPageDialog(), nullptr) << "no capture went to a PDF";
    Press(dialog.MergeDialog()->m_hWnd, IDOK);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.StripCounter() == 1; }));
    // Both sources stay where the merge kept them, and the merged page is there.
    EXPECT_EQ(FilesIn(images_, ".jpg").size(), 3u);
    EXPECT_EQ(cv::imread((images_ / "IMG00001.jpg").string()).rows, 2 * 480);
  });
  const std::string settings = vqtest::ReadFile(program_ / "Sys.ini");
  EXPECT_NE(settings.find("MERGE=TRUE\n"), std::string::npos);
  EXPECT_NE(settings.find("PDFORTIF=0\n"), std::string::npos);
}


// The same JPEG declaring 12000 x 9000 pixels (108 megapixels) in its frame
// header: beyond the picture budget, refused before any pixel is read.
std::string As108Megapixels(std::string jpeg) {
  const size_t frame = jpeg.find("\xFF\xC0");
  if (frame == std::string::npos || frame + 9 > jpeg.size()) return std::string();
  const char sides[] = {char(9000 >> 8), char(9000 & 0xFF), char(12000 >> 8), char(12000 & 0xFF)};
  jpeg.replace(frame + 5, 4, sides, 4);
  return jpeg;
}

// Four pages collected, three of them replaced by files that cannot be
// read: each document names the three and asks; No keeps all four
// collected and writes nothing, Yes writes the one good page and leaves the
// three files on disk.
TEST_F(VorquellCaptureXvfbTest, CollectedPagesThatCannotBeReadAreNamedAndLeftOutOnlyOnYes) {
  WriteSettings();
  Run([&](HWND window, CVorquellDlg& dialog) {
    for (const int box : {IDC_MULTIPAGE_TIF, IDC_ONE_PDF}) {
      SCOPED_TRACE(box == IDC_ONE_PDF ? "PDF" : "TIFF");
      CMultiPageDlg* collected = Collect(window, dialog, box, 4);
      ASSERT_NE(collected, nullptr);
      const std::vector<CString> pages = collected->pages;
      ASSERT_EQ(pages.size(), 4u);
      const fs::path document = vq::ToFsPath(collected->outputPath.GetString());
      const auto path = [&](size_t i) { return vq::ToFsPath(pages[i].GetString()); };
      const std::string good = vqtest::ReadFile(path(0));
      ASSERT_TRUE(vqtest::WriteFile(path(1), As108Megapixels(good)));
      ASSERT_TRUE(vqtest::WriteFile(path(2), ""));
      ASSERT_TRUE(vqtest::WriteFile(path(3), good.substr(0, good.size() / 2)));
      std::wstring named = L"这些页面无法读取：\n";
      for (size_t i = 1; i < 4; ++i)
        named += L"第" + std::to_wstring(i + 1) + L"页：" + vq::FromFsPath(path(i).filename()) + L"\n";
      named += L"不含这些页面写入文档吗？\n是：写入其余页面\n否：保留全部页面";

      // No, clicked on the question as the user sees it.
      vqplatform::ClearMessageBoxLog();
      vqplatform::SetMessageBoxAnswer(nullptr);
      vqplatform::SetModalIdleHandler([&](HWND modal) {
        if (modal == window || modal == collected->m_hWnd) return;
        vqplatform::SetModalIdleHandler(nullptr);
        vqplatform::FlushPresenter(2000);
        Shoot(box == IDC_ONE_PDF ? "vorquell-unreadable-pages-pdf.png" : "vorquell-unreadable-pages-tif.png", modal);
        SendMessageW(modal, WM_COMMAND, IDNO, 0);
      });
      Press(collected->m_hWnd, 1032);
      vqplatform::SetModalIdleHandler(nullptr);
      SendMessageW(window, WM_NULL, 0, 0);
      ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
      EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, named);
      ASSERT_EQ(dialog.MultiPageDialog(), collected) << "No keeps collecting";
      EXPECT_EQ(collected->pages, pages);
      EXPECT_FALSE(fs::exists(document));

      {
        QuestionAnswers answers({IDYES});
        ASSERT_TRUE(Finish(dialog));
        EXPECT_EQ(answers.questions, std::vector<std::wstring>{named});
      }
      const size_t written =
          box == IDC_ONE_PDF ? size_t(pdfcheck::PageCount(document)) : imagingtest::ReadTiff(document).size();
      EXPECT_EQ(written, 1u);
      for (size_t i = 1; i < 4; ++i) EXPECT_TRUE(fs::exists(path(i))) << "left out and kept: " << path(i);
      Press(window, box);
    }
  });
}

// An image folder whose path is over 300 bytes, in Chinese: plain pages, a
// multipage TIFF and a multipage PDF are all written there.
TEST_F(VorquellCaptureXvfbTest, DocumentsAreWrittenInAFolderDeeperThan300Bytes) {
  fs::path deep = images_;
  while (deep.string().size() < 300) deep /= "多页文档的文件夹";
  WriteSettings(0, "", deep);
  Run([&](HWND window, CVorquellDlg& dialog) {
    Press(window, IDC_CAPTURE);
    EXPECT_TRUE(fs::exists(deep / "IMG00001.jpg"));
    for (const int box : {IDC_MULTIPAGE_TIF, IDC_ONE_PDF}) {
      ASSERT_NE(Collect(window, dialog, box, 2), nullptr);
      vqplatform::ClearMessageBoxLog();
      ASSERT_TRUE(Finish(dialog));
      EXPECT_TRUE(vqplatform::MessageBoxLog().empty());
      Press(window, box);
    }
  });
  EXPECT_GE(deep.string().size(), 300u);
  EXPECT_EQ(imagingtest::ReadTiff(deep / "IMG00002.tif").size(), 2u);
  EXPECT_EQ(pdfcheck::PageCount(deep / "IMG00004.pdf"), 2);
}

// A QR code holding a code point above U+10FFFF (bytes that are not UTF-8):
// the page falls back to the usual name, and no name with such bytes is
// ever made.
TEST_F(VorquellCaptureXvfbTest, AQrCodeBeyondUnicodeFallsBackToTheUsualName) {
  boxes_.Expect(L"条形码/二维码中含有特殊字符，不能作为文件名");
  const fs::path qrPages = vqtest::TempDir() / "qr-pages";
  fs::create_directories(qrPages);
  cv::imwrite((qrPages / "page.png").string(),
              outputtest::TextPage({640, 480}, outputtest::RenderQr("AB\xF4\x90\x80\x80" "CD", 4), {380, 40}));
  vq::dshow::RemoveVirtualCameras();
  auto camera = vq::dshow::VirtualCameraConfig::Document();
  camera.sizes = {{640, 480}};
  camera.content.kind = vq::dshow::VirtualContent::Kind::Folder;
  camera.content.folder = qrPages;
  camera_ = vq::dshow::PlugInVirtualCamera(camera);
  WriteSettings();
  Run([&](HWND window, CVorquellDlg&) {
    Press(window, IDC_BARCODE);
    vqplatform::ClearMessageBoxLog();
    Press(window, IDC_CAPTURE);
    ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
    EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, L"条形码/二维码中含有特殊字符，不能作为文件名")
        << "read, and refused as a name";
    Press(window, IDC_BARCODE);
  });
  EXPECT_EQ(vqtest::NamesIn(images_), std::vector<std::string>{"IMG00001.jpg"});
}

// The program killed (SIGKILL: a crash, a power loss) during a recording,
// then started again: nothing ever lies under the recording's name but the
// complete recording, which the next start makes from what was written.
TEST_F(VorquellCaptureXvfbTest, ARecordingKilledMidWayIsFinishedUnderItsNameAtTheNextStart) {
  WriteSettings();
  const fs::path recording = images_ / "IMG00001.asf";
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // A process of its own, recording into this test's image folder.
        const fs::path images = vqtest::TempDir().parent_path() / "images";
        WriteSettings(0, "", images);
        Run([&](HWND window, CVorquellDlg&) {
          PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_RECORD, BN_CLICKED), 0);
          HWND recorder = nullptr;
          if (!vqtest::WaitFor([&] { return (recorder = FindWindowW(nullptr, L"视频录制")) != nullptr; })) return;
          SendMessageW(recorder, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          const std::string written = vq::RecordingNameBeside((images / "IMG00001.asf").string());
          const auto pictures = [&] {
            const vqtest::MediaFile file = vqtest::ReadMediaFile(written);
            return file.Video() ? file.Video()->packets : 0;
          };
          if (vqtest::WaitFor([&] { return pictures() >= 3; })) raise(SIGKILL);
        });
      },
      ::testing::KilledBySignal(SIGKILL), "");
  EXPECT_FALSE(fs::exists(recording)) << "nothing under its name";
  EXPECT_EQ(FilesIn(images_, ".recording"), vqtest::NamesIn(images_, R"(\.IMG00001\.asf\.\d+-s\d+\.recording)"));
  EXPECT_EQ(FilesIn(images_, ".recording").size(), 1u);

  Run([&](HWND, CVorquellDlg&) {});
  const vqtest::MediaFile file = vqtest::ReadMediaFile(recording.string());
  ASSERT_TRUE(file.readable);
  ASSERT_NE(file.Video(), nullptr);
  EXPECT_GE(file.Video()->packets, 3);
  EXPECT_GT(file.seconds, 0);
  EXPECT_FALSE(vqtest::DecodeVideoFrames(recording.string(), 1).empty());
  EXPECT_TRUE(FilesIn(images_, ".recording").empty());
  EXPECT_EQ(FilesIn(images_, ".asf"), std::vector<std::string>{"IMG00001.asf"});
}

}  // namespace
