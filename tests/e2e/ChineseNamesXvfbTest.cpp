// Vorquell under Chinese names, once in a process of its own under each of
// LANG=C, C.UTF-8 and zh_CN.UTF-8: the home folder, the program folder
// (Sys.ini, data.dat, the recognition model), the per-machine data folder
// and the image folder have Chinese names, and the image folder already
// holds a Chinese-named file and sub-folder and a file and a folder whose
// names are GBK bytes, not UTF-8. A user captures in each naming mode
// (prefix 合同, date and time, free name 报告 1, a Chinese barcode), to PDF,
// into a multipage TIFF, merged, printed on the file printer through the
// print dialog, recognised and recorded; opens and deletes through the
// strip; browses for the image folder in the settings sheet. Every file is
// then found where and as named, and nothing was written through a name
// that lost bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "base/PathEncoding.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Controls.h"
#include "platform/win/Dialog.h"
#include "platform/win/Encoding.h"
#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"
#include "platform/win/WordAutomation.h"
#include "tests/support/MessageBoxes.h"
#include "tests/app/OutputTestSupport.h"
#include "tests/app/PdfCheck.h"
#include "tests/e2e/PopupMenuChoice.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"
#include "ui/MultiPageDlg.h"
// Xlib last: its macros clash with names above.
#include "tests/e2e/VorquellProgramTest.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Set in the run under a locale: the folder that holds the tree below.
constexpr const char* kRunRoot = "VQ_E2E_CHINESE_NAMES_ROOT";
const std::string kGbkFile = "\xb1\xa8\xb8\xe6.jpg";  // "报告.jpg" in GBK
const std::string kGbkFolder = "\xbe\xc9";            // "旧" in GBK
const std::vector<std::string> kLines = {"文字识别的结果应当正确显示", "页面方向检测线程每隔一段时间",
                                         "检查当前文档的方向并且旋转"};

struct Tree {
  explicit Tree(const fs::path& root)
      : root(root), home(root / "用户 主目录"), program(root / "程序 文件夹"), data(root / "公共数据"),
        images(home / "扫描"), bin(root / "bin") {}
  fs::path root, home, program, data, images, bin;
};

// The one date folder the captures went to.
fs::path DateFolder(const Tree& tree) {
  const std::vector<fs::path> days = vqtest::FilesMatching(tree.images, R"(\d{8})");
  return days.empty() ? fs::path() : days[0];
}

using vqtest::ListRows;
using vqtest::Press;
using vqtest::PressLater;
using vqtest::TextOf;

class ChineseNamesXvfbTest : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { vqtest::UseXvfbDisplay(); }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
    vqplatform::SetModalIdleHandler(nullptr);
    vqplatform::SetPopupMenuAnswer(nullptr);
    vqplatform::SetWordAvailable(true);
  }

  // This test again, in a process started with LANG set to the locale.
  int RunUnderLocale(const fs::path& root) {
    vqtest::SpawnOptions options;
    options.set = {{"LANG", GetParam()}, {kRunRoot, root.native()}};
    options.without = {"LANG", "LC_"};
    return vqtest::RunCurrentTestAgain(options);
  }

  // In the run under the locale: the tree, the camera, the settings.
  void Prepare(const Tree& tree) {
    // As the program's own start does; fails when the locale is missing.
    ASSERT_NE(std::setlocale(LC_CTYPE, ""), nullptr) << GetParam() << " is not installed (scripts/setup)";
    for (const fs::path& folder : {tree.program, tree.data, tree.images / "旧文件", tree.images / kGbkFolder, tree.bin})
      fs::create_directories(folder);
    ASSERT_TRUE(vqtest::WriteFile(tree.images / kGbkFile, "archive"));
    ASSERT_TRUE(vqtest::WriteFile(tree.images / "报告 1.jpg", "earlier"));
    fs::copy_file(VQ_DATA_FILE, tree.program / "data.dat");
    fs::create_directories(tree.program / "icons");
    fs::copy_file(VQ_ICON_DIR "/128.png", tree.program / "icons" / "128.png");
    fs::copy_file(VQ_SHUTTER_SOUND, tree.program / "paizhao.wav");
    fs::copy_file(VQ_RECOGNITION_MODEL, tree.program / "OCR_RLDA_LN_Gra.tpl");
    ASSERT_TRUE(vqtest::WriteFile(tree.program / "Sys.ini",
                                  "[FILE]\nFOLDPATH=" + tree.images.native() +
                                      "\nPREFIX=合同\nPRECHOOSE=合同|报告\nTypeofImageName=0\n[IMAGE]\nINDEX=1\nDATEFOLDER=1\n"
                                      "DocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=1\nCOLOR=0\n"));
    setenv("HOME", tree.home.c_str(), 1);
    setenv("VQ_PROGRAM_DIR", tree.program.c_str(), 1);
    setenv("VQ_COMMON_APPDATA", tree.data.c_str(), 1);
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    // Files the program opens go to a stand-in opener that notes them.
    vqtest::UseStandInOpener(tree.bin);
    // A page of Chinese lines with a QR code whose text is Chinese.
    cv::Mat page;
    cv::cvtColor(ocrtest::PrintedLines(cv::Size(760, 520), kLines, cv::Point(40, 80)), page, cv::COLOR_GRAY2BGR);
    const cv::Mat qr = outputtest::RenderQr("发票-7731", 3, 26);
    qr.copyTo(page(cv::Rect(page.cols - qr.cols - 10, page.rows - qr.rows - 10, qr.cols, qr.rows)));
    cv::Mat desk(960, 1280, CV_8UC3, cv::Scalar(90, 90, 90));
    page.copyTo(desk(cv::Rect(260, 220, page.cols, page.rows)));
    fs::create_directories(tree.root / "相机");
    ASSERT_TRUE(cv::imwrite((tree.root / "相机" / "page.png").native(), desk));
    auto camera = vq::dshow::VirtualCameraConfig::Document();
    camera.sizes = {{1280, 960}};
    camera.content.kind = vq::dshow::VirtualContent::Kind::Folder;
    camera.content.folder = tree.root / "相机";
    vq::dshow::PlugInVirtualCamera(camera);
    vqplatform::SetWordAvailable(false);
  }

  // Runs the program while `user` works it from another thread, then closes it.
  void RunProgram(const std::function<void()>& user) {
    vqtest::RunProgramInProcess(server_, [&](HWND main, CVorquellDlg& dialog) {
      window_ = main;
      main_ = &dialog;
      user();
    });
  }
  CVorquellDlg& Main() { return *main_; }
  void Shoot(HWND window, const std::string& name) {
    server_.Shoot(window, name + "-" + GetParam() + ".png");
  }
  // Waits until a modal dialog the user opened has gone again.
  void WaitUntilClosed(HWND dialog) {
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(dialog) && IsWindowEnabled(window_); }));
  }
  // Right-clicks a strip item and chooses `command` from its menu.
  void ChooseOnItem(const CThumbItem& item, UINT command) {
    vqtest::ChooseFromPopupMenu(window_, item.GetRect().CenterPoint(), command);
  }

  void CaptureInEveryMode(const fs::path& day);
  void PrintThroughTheDialog(const Tree& tree);
  void BrowseForTheImageFolder(const Tree& tree, const fs::path& day);
  void RecogniseAndRecord();

  vqtest::ExpectedBoxes boxes_;  // the boxes a test names; any other fails it
  vqtest::XServer server_;
  HWND window_ = nullptr;
  CVorquellDlg* main_ = nullptr;
};

void ChineseNamesXvfbTest::CaptureInEveryMode(const fs::path& day) {
  // 合同 with the counter; 合同00001 is there already, so the capture takes
  // the next free suffix.
  ASSERT_TRUE(vqtest::WriteFile(day / "合同00001.jpg", "earlier"));
  ASSERT_TRUE(vqtest::WriteFile(day / "报告 1.jpg", "earlier"));
  ASSERT_TRUE(vqtest::WriteFile(day / kGbkFile, "archive"));
  Press(window_, IDC_CAPTURE);
  EXPECT_TRUE(fs::exists(day / "合同00001_1.jpg"));
  Press(window_, IDC_NAME_DATETIME);
  Press(window_, IDC_CAPTURE);
  EXPECT_EQ(vqtest::NamesIn(day, R"(\d{14}\.jpg)").size(), 1u);
  // The free name, typed into the name dialog; 报告 1 is there already.
  Press(window_, IDC_NAME_FREE);
  vqtest::OnNextDialog(window_, [&](HWND modal) {
    SetDlgItemTextW(modal, 1090, L"报告 1");
    Press(modal, IDOK);
  });
  Press(window_, IDC_CAPTURE);
  EXPECT_TRUE(fs::exists(day / "报告 1_1.jpg"));
  Press(window_, IDC_NAME_PREFIX);
  // Named by its QR code.
  Press(window_, IDC_BARCODE);
  Press(window_, IDC_CAPTURE);
  EXPECT_TRUE(fs::exists(day / "发票-7731.jpg"));
  Press(window_, IDC_BARCODE);
  Press(window_, IDC_CAPTURE_PDF);
  // Two pages collected into a multipage TIFF, two merged into one.
  ASSERT_NE(vqtest::Collect(window_, Main(), IDC_MULTIPAGE_TIF, 2), nullptr);
  ASSERT_TRUE(vqtest::Finish(Main()));
  Press(window_, IDC_MULTIPAGE_TIF);
  Press(window_, IDC_MERGE);
  Press(window_, IDC_CAPTURE);
  Press(window_, IDC_CAPTURE);
  ASSERT_NE(Main().MergeDialog(), nullptr);
  Press(Main().MergeDialog()->m_hWnd, IDOK);
  ASSERT_TRUE(vqtest::WaitFor([&] { return Main().MergeDialog() == nullptr; }));
  Press(window_, IDC_MERGE);
  // The strip opens its newest page and deletes the barcode page; the image
  // folder is opened too.
  std::vector<CThumbItem*> items = Main().StripItems();
  const auto itemOf = [&](const fs::path& file) -> CThumbItem* {
    for (CThumbItem* item : items)
      if (vq::ToFsPath(item->GetFilePath().GetString()) == file) return item;
    return nullptr;
  };
  // The merged page joins the strip once the window has handled the end of
  // the merge, and the items then move up a place: they are read once the
  // window is back in its message loop.
  ASSERT_TRUE(vqtest::WaitFor([&] {
    items = Main().StripItems();
    return itemOf(day / "合同00008.jpg") != nullptr;
  })) << "the merged page in the strip";
  SendMessageW(window_, WM_NULL, 0, 0);
  CThumbItem* barcode = itemOf(day / "发票-7731.jpg");
  CThumbItem* tiff = itemOf(day / "合同00006.tif");
  ASSERT_NE(barcode, nullptr);
  ASSERT_NE(tiff, nullptr);
  ChooseOnItem(*tiff, ID_THUMB_OPEN);
  ChooseOnItem(*barcode, ID_THUMB_DELETE);
  EXPECT_TRUE(vqtest::WaitFor([&] { return !fs::exists(day / "发票-7731.jpg"); }));
  Press(window_, IDC_BROWSE_IMAGES);
}

void ChineseNamesXvfbTest::PrintThroughTheDialog(const Tree& tree) {
  // 复印: the print dialog offers print.pdf in the Chinese home folder.
  PressLater(window_, IDC_COPY);
  // The dialog speaks the user's language: Chinese where the locale is.
  const bool chinese = std::string(GetParam()).rfind("zh_CN", 0) == 0;
  HWND print = nullptr;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    print = FindWindowW(WC_DIALOG, chinese ? L"打印" : L"Print");
    return print && IsWindowVisible(print) && server_.Shows(print);
  }));
  HWND list = GetDlgItem(print, 101);
  const std::vector<std::wstring> rows = ListRows(list);
  const auto file = std::find(rows.begin(), rows.end(), chinese ? L"PDF 文件" : vqplatform::kFilePrinterName);
  ASSERT_NE(file, rows.end());
  LVITEMW select{};
  select.stateMask = select.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, WPARAM(file - rows.begin()), reinterpret_cast<LPARAM>(&select));
  EXPECT_EQ(vq::ToFsPath(TextOf(print, 103)), tree.home / "print.pdf");
  Shoot(print, "chinese-names-print-dialog");
  Press(print, IDOK);
  WaitUntilClosed(print);
}

void ChineseNamesXvfbTest::BrowseForTheImageFolder(const Tree& tree, const fs::path& day) {
  PressLater(window_, IDC_SETTINGS);
  HWND sheet = nullptr, page = nullptr;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    sheet = vqtest::ShownWindowWith(1117, IDOK);
    for (HWND p = sheet ? GetWindow(GetDlgItem(sheet, 1117), GW_CHILD) : nullptr; p; p = GetWindow(p, GW_HWNDNEXT))
      if (GetDlgItem(p, 1017)) page = p;
    return page != nullptr;
  }));
  PressLater(page, 1017);
  // The browser starts in the Chinese home folder; a double click opens 扫描,
  // which lists its Chinese sub-folder and leaves out the one named in GBK.
  HWND browser = nullptr;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    browser = FindWindowW(nullptr, L"Browse for Folder");
    return browser && IsWindowVisible(browser);
  }));
  HWND list = GetDlgItem(browser, 101);
  EXPECT_EQ(ListRows(list), (std::vector<std::wstring>{L"..", L"扫描"}));
  RECT row{};
  SendMessageW(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
  PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(row.left + 3, (row.top + row.bottom) / 2));
  EXPECT_TRUE(vqtest::WaitFor([&] { return vq::ToFsPath(TextOf(browser, 102)) == tree.images; }));
  EXPECT_EQ(ListRows(list), (std::vector<std::wstring>{L"..", vq::FromFsPath(day.filename()), L"旧文件"}));
  Shoot(browser, "chinese-names-folder-browser");
  Press(browser, IDOK);
  EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(browser); }));
  EXPECT_EQ(vq::ToFsPath(TextOf(page, 1016)), tree.images);
  Press(sheet, IDCANCEL);
  WaitUntilClosed(sheet);
}

void ChineseNamesXvfbTest::RecogniseAndRecord() {
  // 文字识别 with the model of the Chinese program folder.
  PressLater(window_, IDC_RECOGNIZE);
  HWND recognition = nullptr;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    recognition = vqtest::ShownWindowWith(1093, 1095);
    return recognition && IsWindowEnabled(GetDlgItem(recognition, IDOK));
  }));
  Press(recognition, IDOK);
  WaitUntilClosed(recognition);
  // 录像 for a second.
  PressLater(window_, IDC_RECORD);
  HWND recorder = nullptr;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (recorder = vqtest::ShownWindowWith(1086, 1032)) != nullptr; }));
  Press(recorder, IDOK);
  const auto elapsed = [&] {
    const std::wstring text = TextOf(recorder, 1086);
    const size_t number = text.find_first_of(L"0123456789");
    return number == std::wstring::npos ? 0.0 : std::stod(text.substr(number));
  };
  EXPECT_TRUE(vqtest::WaitFor([&] { return elapsed() >= 1.0; }));
  Press(recorder, IDCANCEL);
  WaitUntilClosed(recorder);
}

TEST_P(ChineseNamesXvfbTest, EveryFileIsFoundWhereAndAsNamed) {
  if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
  if (const char* root = std::getenv(kRunRoot)) {
    const Tree tree{fs::path(root)};
    Prepare(tree);
    if (HasFatalFailure()) return;
    RunProgram([&] {
      fs::path day;
      bool live = false;
      EXPECT_TRUE(vqtest::WaitFor([&] {
        vqtest::OnIdleModalLoop(GetWindowThreadProcessId(window_, nullptr), [&](HWND) {
          day = vq::ToFsPath(Main().Settings().currentFolder.GetString());
          live = Main().DocumentController() && !Main().DocumentController()->GetFrame().empty();
        });
        return live;
      })) << "the camera runs";
      ASSERT_EQ(day.parent_path(), tree.images);
      CaptureInEveryMode(day);
      PrintThroughTheDialog(tree);
      BrowseForTheImageFolder(tree, day);
      RecogniseAndRecord();
      Shoot(window_, "chinese-names-main-window");
      // The openers run on their own: the TIFF, the folder and the text.
      EXPECT_TRUE(vqtest::WaitFor([&] {
        const std::string opened = vqtest::ReadFile(tree.bin / "opened");
        return std::count(opened.begin(), opened.end(), '\n') == 3;
      }));
    });
    return;
  }

  // The run under the locale, then what it left.
  const Tree tree{vqtest::TempDir()};
  ASSERT_EQ(RunUnderLocale(tree.root), 0) << "the run under LANG=" << GetParam();
  const fs::path day = DateFolder(tree);
  ASSERT_FALSE(day.empty());
  // Every mode's file under its name; the files that were there untouched.
  for (const char* name : {"合同00001.jpg", "报告 1.jpg"}) EXPECT_EQ(vqtest::ReadFile(day / name), "earlier") << name;
  EXPECT_EQ(vqtest::ReadFile(day / kGbkFile), "archive");
  EXPECT_EQ(vqtest::ReadFile(tree.images / kGbkFile), "archive");
  EXPECT_TRUE(fs::is_directory(tree.images / kGbkFolder));
  EXPECT_TRUE(fs::is_directory(tree.images / "旧文件"));
  EXPECT_FALSE(cv::imread((day / "合同00001_1.jpg").native()).empty());
  EXPECT_EQ(vqtest::NamesIn(day, R"(\d{14}\.jpg)").size(), 1u);
  EXPECT_FALSE(cv::imread((day / "报告 1_1.jpg").native()).empty());
  EXPECT_FALSE(fs::exists(day / "发票-7731.jpg")) << "deleted through the strip";
  EXPECT_EQ(pdfcheck::PageCount(day / "合同00005.pdf"), 1);
  EXPECT_EQ(imagingtest::ReadTiff(day / "合同00006.tif").size(), 2u);
  const cv::Mat merged = cv::imread((day / "合同00008.jpg").native());
  EXPECT_GT(merged.rows, merged.cols) << "two landscape pages one above the other";
  // The print on the file printer, the recognised text, the recording.
  EXPECT_EQ(pdfcheck::PageCount(tree.home / "print.pdf"), 1);
  const std::string text = vqtest::ReadFile(day / "合同00010.txt");
  EXPECT_EQ(text.rfind(ocrtest::Gbk(kLines[0]) + "\r\n", 0), 0u) << ocrtest::Utf8(text);
  const vqtest::MediaFile recording = vqtest::ReadMediaFile((day / "合同00011.asf").native());
  EXPECT_TRUE(recording.readable);
  EXPECT_NE(recording.Video(), nullptr);
  // The shell opened the TIFF, the image folder and the recognised text by
  // their names (each opener runs on its own, in any order).
  std::vector<std::string> opened = vqtest::LinesOf(tree.bin / "opened");
  std::sort(opened.begin(), opened.end());
  EXPECT_EQ(opened, (std::vector<std::string>{day.native(), (day / "合同00006.tif").native(),
                                               (day / "合同00010.txt").native()}));
  // Sys.ini in the Chinese program folder kept the folder and the counter.
  const std::string settings = vqtest::ReadFile(tree.program / "Sys.ini");
  EXPECT_NE(settings.find("FOLDPATH=" + tree.images.native() + "\n"), std::string::npos) << settings;
  EXPECT_NE(settings.find("INDEX=12\n"), std::string::npos) << settings;
  EXPECT_TRUE(fs::is_directory(tree.data / "Ombrecht Software"));
  // Nothing anywhere was written through a name that lost bytes.
  for (const auto& entry : fs::recursive_directory_iterator(tree.root))
    EXPECT_EQ(entry.path().native().find("\xEF\xBF\xBD"), std::string::npos) << entry.path().native();
}

INSTANTIATE_TEST_SUITE_P(Locales, ChineseNamesXvfbTest, ::testing::Values("C", "C.UTF-8", "zh_CN.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                           return name;
                         });

}  // namespace
