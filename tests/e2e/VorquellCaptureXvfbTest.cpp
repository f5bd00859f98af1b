// Captures of Vorquell on a real X server with the virtual document camera,
// worked through its window: the capture button, Space, the camera's
// snapshot button and a continuous-shooting tick each write one named JPEG
// and fill the strip ring; two
// captures in one second keep both files; the strip's menu opens and
// deletes; a QR code names the page; a trigger during a capture's modal
// dialog is dropped and logged. Then the modes: two captures merged side by
// side and printed, pages collected into a multipage TIFF and a PDF,
// capture to PDF and capture and print.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "capture/PreviewMessages.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Dialog.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/Shell.h"
#include "platform/win/Sound.h"
#include "tests/app/OutputTestSupport.h"
#include "tests/app/PdfCheck.h"
#include "tests/imaging/HostilePictures.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/support/IsolatedRun.h"
#include "tests/support/TestEnv.h"
#include "ui/ContinuousShootDlg.h"
#include "ui/MultiPageDlg.h"
// Xlib last: its macros clash with names above.
#include "tests/e2e/XServer.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kQrText = "INVOICE-7731";

// The files of a folder with an extension, by name.
std::vector<std::string> FilesIn(const fs::path& folder, const std::string& extension) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == extension) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The pages pdfinfo reports.
int PdfPages(const fs::path& pdf) { return int(pdfcheck::PageSizes(pdf.string()).size()); }

// A BM_CLICK on a control of a window, sent from the user's thread: returns
// when the handler it starts has ended.
void Press(HWND window, int id) { SendMessageW(GetDlgItem(window, id), BM_CLICK, 0, 0); }

// The strip's items, and their files, from top to bottom of the window.
std::vector<CThumbItem*> StripItemsTopToBottom(const CVorquellDlg& dialog) {
  std::vector<CThumbItem*> items = dialog.StripItems();
  std::sort(items.begin(), items.end(), [](auto* a, auto* b) { return a->GetRect().top < b->GetRect().top; });
  return items;
}
std::vector<std::wstring> StripTopToBottom(const CVorquellDlg& dialog) {
  std::vector<std::wstring> files;
  for (CThumbItem* item : StripItemsTopToBottom(dialog))
    files.push_back(fs::path(item->GetFilePath().GetString()).filename().wstring());
  return files;
}

// Right-clicks a thumbnail of a window and chooses `command` from its menu;
// returns the menu's texts once the command was handled.
std::vector<std::wstring> ChooseOnItem(HWND window, const CThumbItem& item, UINT command) {
  std::vector<std::wstring> texts;
  std::atomic<bool> offered{false};
  vqplatform::SetPopupMenuAnswer([&](const vqplatform::PopupMenuRecord& menu) {
    texts = menu.texts;
    offered = true;
    return command;
  });
  const CPoint centre = item.GetRect().CenterPoint();
  const LPARAM at = MAKELPARAM(centre.x, centre.y);
  SendMessageW(window, WM_MOUSEMOVE, 0, at);
  SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, at);
  EXPECT_TRUE(vqtest::WaitFor([&] { return offered.load(); })) << command;
  SendMessageW(window, WM_NULL, 0, 0);
  vqplatform::SetPopupMenuAnswer(nullptr);
  return texts;
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
    vqplatform::ClearMessageBoxLog();
    vqplatform::SetMessageBoxAnswer([](const vqplatform::MessageBoxRecord&) { return IDOK; });
    // Files the program opens go to a stand-in opener that notes them.
    fs::create_directories(vqtest::TempDir() / "bin");
    ASSERT_TRUE(vqtest::WriteFile(vqtest::TempDir() / "bin" / "xdg-open",
                                  "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\n"));
    fs::permissions(vqtest::TempDir() / "bin" / "xdg-open", fs::perms::owner_all);
    setenv("PATH", ((vqtest::TempDir() / "bin").string() + ":" + getenv("PATH")).c_str(), 1);
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
    vqplatform::SetPopupMenuAnswer(nullptr);
    vqplatform::SetPrintDialogHook(nullptr);
    vqplatform::SetModalIdleHandler(nullptr);
  }
  // Prefix naming from IMG00001 into images_, JPEG in `colorMode`, sound on.
  void WriteSettings(int colorMode = 0) {
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini",
                                  "[FILE]\nFOLDPATH=" + images_.string() +
                                      "\nPREFIX=IMG\nTypeofImageName=0\n[IMAGE]\nINDEX=1\nDATEFOLDER=0\n"
                                      "DocCamWidth=640\nDocCamHeight=480\nCHANNELS=true\nXDPI=200\nYDPI=200\nCOLOR=" +
                                      std::to_string(colorMode) + "\n[SOUND]\nPlay=true\n"));
  }
  // Runs the program in this process while `user` works it from another
  // thread, then closes it.
  void Run(const std::function<void(HWND, CVorquellDlg&)>& user) {
    vqtest::XServer server;
    server_ = &server;
    CVorquellApp app;
    std::atomic<bool> done{false};
    std::thread worker([&] {
      HWND window = nullptr;
      const bool up = vqtest::WaitFor([&] {
        window = FindWindowW(nullptr, L"Vorquell V71.0");
        return window && vqplatform::PresentedXWindow(window);
      }, 20s);
      EXPECT_TRUE(up);
      if (up) {
        // The preview runs before the first capture.
        std::this_thread::sleep_for(1500ms);
        user(window, *static_cast<CVorquellDlg*>(app.m_pMainWnd));
        done = true;
      }
      if (window) server.RequestClose(vqplatform::PresentedXWindow(window));
    });
    app.InitInstance();
    worker.join();
    EXPECT_TRUE(done);
    server_ = nullptr;
  }
  void Shoot(const std::string& name, HWND window) {
    server_->Grab(vqtest::ScreenRectOf(window)).SavePng(vqtest::ScreenshotPath(name));
  }
  size_t Jpegs() const { return FilesIn(images_, ".jpg").size(); }

  const fs::path program_ = vqtest::TempDir() / "program";
  const fs::path images_ = vqtest::TempDir() / "images";
  const fs::path pages_ = vqtest::TempDir() / "pages";
  std::shared_ptr<vq::dshow::VirtualCamera> camera_;
  vqtest::XServer* server_ = nullptr;
};

TEST_F(VorquellCaptureXvfbTest, EveryTriggerSavesANamedPageIntoTheStripRing) {
  WriteSettings();
  Run([&](HWND window, CVorquellDlg& dialog) {
    // Work files left in the data folder go with the first capture.
    const fs::path data = fs::path(vq::CommonAppDataFolder()) / "Ombrecht Software";
    for (const char* work : {"tmp.bmp", "tmp.jpg"}) ASSERT_TRUE(vqtest::WriteFile(data / work, "old"));
    // Button, Space, the camera's snapshot button, a continuous-shooting
    // tick: one JPEG, one counter step, one strip item and one shutter
    // sound each.
    const std::vector<std::function<void()>> triggers = {
        [&] { Press(window, IDC_CAPTURE); },
        [&] {
          const RECT label = vqtest::ScreenRectOf(GetDlgItem(window, IDC_WINDOW_LABEL));
          server_->Click(POINT{(label.left + label.right) / 2, (label.top + label.bottom) / 2});
          server_->PressKey(XK_space);
        },
        [&] { camera_->PressSnapshotButton(); },
        [&] {
          Press(window, IDC_CONTINUOUS);
          PostMessageW(window, WM_CONTINUOUS_SHOT, 0, 0);
        },
    };
    for (size_t i = 0; i < triggers.size(); ++i) {
      triggers[i]();
      ASSERT_TRUE(vqtest::WaitFor([&] { return Jpegs() == i + 1; }, 10s)) << "trigger " << i;
      EXPECT_TRUE(vqtest::WaitFor([&] { return dialog.StripCounter() == i + 1; }));
      char expected[32];
      std::snprintf(expected, sizeof expected, "IMG%05zu.jpg", i + 1);
      EXPECT_EQ(FilesIn(images_, ".jpg").back(), expected);
      EXPECT_EQ(vqplatform::RecordedSoundCalls().size(), i + 1);
    }
    EXPECT_FALSE(fs::exists(data / "tmp.bmp"));
    EXPECT_FALSE(fs::exists(data / "tmp.jpg"));
    const cv::Mat page = cv::imread((images_ / "IMG00001.jpg").string());
    EXPECT_EQ(page.size(), cv::Size(640, 480));
    EXPECT_EQ(vqplatform::RecordedSoundCalls().front().name, L"paizhao.wav");
    EXPECT_EQ(vqplatform::RecordedSoundCalls().front().flags, DWORD(SND_FILENAME | SND_ASYNC));
    wchar_t counter[16] = {};
    GetWindowTextW(GetDlgItem(window, IDC_IMAGE_COUNTER), counter, 16);
    EXPECT_EQ(std::wstring(counter), L"5");
    SendMessageW(window, WM_CONTINUOUS_SHOT, 1, 0);

    // Five captures: the oldest shown is the second; seven: the fourth.
    Press(window, IDC_CAPTURE);
    EXPECT_EQ(StripTopToBottom(dialog),
              (std::vector<std::wstring>{L"IMG00002.jpg", L"IMG00003.jpg", L"IMG00004.jpg", L"IMG00005.jpg"}));
    for (int i = 0; i < 2; ++i) Press(window, IDC_CAPTURE);
    EXPECT_EQ(StripTopToBottom(dialog),
              (std::vector<std::wstring>{L"IMG00004.jpg", L"IMG00005.jpg", L"IMG00006.jpg", L"IMG00007.jpg"}));
    InvalidateRect(window, nullptr, TRUE);
    std::this_thread::sleep_for(300ms);
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
    EXPECT_TRUE(vqtest::WaitFor([&] { return !fs::exists(secondFile); }));
    EXPECT_TRUE(second->GetFilePath().IsEmpty());
    // The next capture takes the ring's next slot (the top one), not the emptied one.
    Press(window, IDC_CAPTURE);
    EXPECT_EQ(StripTopToBottom(dialog),
              (std::vector<std::wstring>{L"", L"IMG00006.jpg", L"IMG00007.jpg", L"IMG00008.jpg"}));

    // Named by date and time: two captures in one second keep both files.
    Press(window, IDC_NAME_DATETIME);
    const size_t before = Jpegs();
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    const std::vector<std::string> files = FilesIn(images_, ".jpg");
    ASSERT_EQ(files.size(), before + 2);
    const auto dated = std::count_if(files.begin(), files.end(), [](const std::string& name) {
      return std::regex_match(name, std::regex(R"(\d{14}(_\d+)?\.jpg)"));
    });
    EXPECT_EQ(dated, 2);

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
    const std::string log = vqtest::ReadFile(fs::path(vq::CommonAppDataFolder()) / "Ombrecht Software" / "capture.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;
    EXPECT_NE(log.find("capture to PDF dropped"), std::string::npos);
    EXPECT_FALSE(dialog.CaptureRunning());
  });
  // The counter went on with every capture that saved; Sys.ini keeps it.
  EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=13\n"), std::string::npos);
}

TEST_F(VorquellCaptureXvfbTest, ModesMergeCollectAndPrintCaptures) {
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
    std::this_thread::sleep_for(300ms);
    Shoot("vorquell-merge-dialog.png", merge);
    Press(merge, 1032);  // print
    EXPECT_EQ(PdfPages(vqtest::TempDir() / "printed0.pdf"), 1);
    Press(merge, IDOK);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.StripCounter() == 1; }));
    EXPECT_EQ(dialog.MergeDialog(), nullptr);
    const cv::Mat merged = cv::imread((images_ / "IMG00001.jpg").string());
    EXPECT_EQ(merged.cols, 2 * 640);
    EXPECT_EQ(merged.rows, 480);
    EXPECT_EQ(StripTopToBottom(dialog)[0], L"IMG00001.jpg");
    // Cleared while a merge dialog is open: the dialog goes, nothing joins the strip.
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MergeDialog(), nullptr);
    Press(window, IDC_MERGE);
    EXPECT_EQ(dialog.MergeDialog(), nullptr);
    SendMessageW(window, WM_NULL, 0, 0);
    EXPECT_EQ(dialog.StripCounter(), 1u);

    // 存储为多页TIF: pages collect in the multipage dialog; one deleted, the
    // last moved first, saved as a TIFF of JPEG pages at 200 dpi.
    Press(window, IDC_MULTIPAGE_TIF);
    for (int i = 0; i < 3; ++i) Press(window, IDC_CAPTURE);
    CMultiPageDlg* pages = dialog.MultiPageDialog();
    ASSERT_NE(pages, nullptr);
    ASSERT_EQ(pages->pages.size(), 3u);
    EXPECT_EQ(dialog.StripCounter(), 2u) << "one strip item for the coming document";
    const std::vector<CString> captured = pages->pages;
    std::this_thread::sleep_for(300ms);
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
    EXPECT_FALSE(fs::exists(captured[1].GetString()));
    const fs::path tiff = images_ / "IMG00004.tif";
    EXPECT_EQ(StripTopToBottom(dialog)[1], tiff.filename().wstring());
    Press(pages->m_hWnd, 1032);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.MultiPageDialog() == nullptr; }));
    const std::vector<imagingtest::TiffPage> read = imagingtest::ReadTiff(tiff);
    ASSERT_EQ(read.size(), 2u);
    for (const imagingtest::TiffPage& page : read) {
      EXPECT_EQ(page.compression, COMPRESSION_JPEG);
      EXPECT_EQ(page.xResolution, 200.f);
      EXPECT_EQ(imagingtest::FirstQuantValue(page.jpegTables), 16) << "JPEG quality 50";
    }
    Press(window, IDC_MULTIPAGE_TIF);

    // 存储为同一PDF: two captures, one PDF of two pages.
    Press(window, IDC_ONE_PDF);
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MultiPageDialog(), nullptr);
    Press(dialog.MultiPageDialog()->m_hWnd, 1032);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.MultiPageDialog() == nullptr; }));
    EXPECT_EQ(PdfPages(images_ / "IMG00007.pdf"), 2);
    Press(window, IDC_ONE_PDF);

    // 拍摄为PDF: a one-page PDF in place of the page, shown in the strip.
    const size_t jpegs = Jpegs();
    Press(window, IDC_CAPTURE_PDF);
    EXPECT_EQ(PdfPages(images_ / "IMG00009.pdf"), 1);
    EXPECT_EQ(Jpegs(), jpegs);
    EXPECT_EQ(StripTopToBottom(dialog).back(), L"IMG00009.pdf");
    // A PDF that cannot be written (the disk fills after the page) keeps
    // the page, and the strip shows it.
    uintmax_t pageSize = UINTMAX_MAX;
    for (const std::string& name : FilesIn(images_, ".jpg")) pageSize = std::min(pageSize, fs::file_size(images_ / name));
    signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    rlimit limited = original;
    limited.rlim_cur = pageSize + 200;
    setrlimit(RLIMIT_FSIZE, &limited);
    Press(window, IDC_CAPTURE_PDF);
    setrlimit(RLIMIT_FSIZE, &original);
    EXPECT_TRUE(fs::exists(images_ / "IMG00010.jpg"));
    EXPECT_EQ(StripTopToBottom(dialog).back(), L"IMG00010.jpg");

    // 复印: printed on the file printer, nothing kept, nothing counted.
    const unsigned strip = dialog.StripCounter();
    Press(window, IDC_COPY);
    EXPECT_EQ(PdfPages(vqtest::TempDir() / "printed1.pdf"), 1);
    EXPECT_EQ(dialog.StripCounter(), strip);
    EXPECT_TRUE(FilesIn(images_, ".bmp").empty());
    wchar_t counter[16] = {};
    GetWindowTextW(GetDlgItem(window, IDC_IMAGE_COUNTER), counter, 16);
    EXPECT_EQ(std::wstring(counter), L"11");
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
    Press(window, IDC_MULTIPAGE_TIF);
    Press(window, IDC_CAPTURE);
    Press(window, IDC_CAPTURE);
    ASSERT_NE(dialog.MultiPageDialog(), nullptr);
    Press(dialog.MultiPageDialog()->m_hWnd, 1032);
    ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.MultiPageDialog() == nullptr; }));
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
    const auto replace = [&](const CString& path) { ASSERT_TRUE(vqtest::WriteFile(path.GetString(), file.second)); };
    const auto work = [&] {
      Run([&](HWND window, CVorquellDlg& dialog) {
        // 合并图像: the second capture replaced after it was shown.
        Press(window, IDC_MERGE);
        Press(window, IDC_CAPTURE);
        Press(window, IDC_CAPTURE);
        ASSERT_NE(dialog.MergeDialog(), nullptr);
        const fs::path replaced = dialog.MergeDialog()->Item(1)->GetFilePath().GetString();
        replace(replaced.c_str());
        Press(dialog.MergeDialog()->m_hWnd, IDOK);
        SendMessageW(window, WM_NULL, 0, 0);
        EXPECT_EQ(dialog.MergeDialog(), nullptr);
        EXPECT_EQ(dialog.StripCounter(), 0u) << "no merged page";
        for (const std::string& name : FilesIn(images_, ".jpg"))
          if (name != replaced.filename()) {
            EXPECT_NE(cv::imread((images_ / name).string()).cols, 2 * 640) << name;
          }
        Press(window, IDC_MERGE);

        // 存储为多页TIF: the middle page replaced; the TIFF leaves it out.
        Press(window, IDC_MULTIPAGE_TIF);
        for (int i = 0; i < 3; ++i) Press(window, IDC_CAPTURE);
        ASSERT_NE(dialog.MultiPageDialog(), nullptr);
        ASSERT_EQ(dialog.MultiPageDialog()->pages.size(), 3u);
        replace(dialog.MultiPageDialog()->pages[1]);
        Press(dialog.MultiPageDialog()->m_hWnd, 1032);
        ASSERT_TRUE(vqtest::WaitFor([&] { return dialog.MultiPageDialog() == nullptr; }));
        const std::vector<std::string> tiffs = FilesIn(images_, ".tif");
        ASSERT_EQ(tiffs.size(), 1u);
        EXPECT_EQ(imagingtest::ReadTiff(images_ / tiffs[0]).size(), 2u);
        const std::vector<std::wstring> strip = StripTopToBottom(dialog);
        EXPECT_NE(std::find(strip.begin(), strip.end(), fs::path(tiffs[0]).wstring()), strip.end())
            << "the strip shows the TIFF";
        Press(window, IDC_MULTIPAGE_TIF);

        // 存储为同一PDF: a replaced page makes no PDF; the dialog says so
        // and keeps its pages.
        Press(window, IDC_ONE_PDF);
        Press(window, IDC_CAPTURE);
        Press(window, IDC_CAPTURE);
        ASSERT_NE(dialog.MultiPageDialog(), nullptr);
        replace(dialog.MultiPageDialog()->pages[0]);
        const size_t boxes = vqplatform::MessageBoxLog().size();
        Press(dialog.MultiPageDialog()->m_hWnd, 1032);
        SendMessageW(window, WM_NULL, 0, 0);
        EXPECT_EQ(vqplatform::MessageBoxLog().size(), boxes + 1);
        EXPECT_TRUE(FilesIn(images_, ".pdf").empty());
        ASSERT_NE(dialog.MultiPageDialog(), nullptr);
        EXPECT_EQ(dialog.MultiPageDialog()->pages.size(), 2u);
        std::this_thread::sleep_for(300ms);  // painted, for the picture only
        Shoot("vorquell-hostile-" + file.first + ".png", dialog.MultiPageDialog()->m_hWnd);
      });
    };
    vqtest::IsolationLimits limits;
    limits.maxVirtualGrowthMb = 3072;
    limits.maxResidentGrowthMb = 768;
    EXPECT_ISOLATED(nullptr, work, limits);
  }
}

}  // namespace
