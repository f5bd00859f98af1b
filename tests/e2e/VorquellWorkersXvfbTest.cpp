// Vorquell on a real X server with a virtual camera showing a printed page
// on a desk, worked by a user's clicks: 文字识别 writes the GBK text file
// without Word and the ".doc" with it, Chinese through the own engine and
// English through Tesseract; 录像 records an .asf of 1280 x 960 as long as
// the dialog showed, after which the camera runs again with its margins,
// selection and automatic crop.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Dialog.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "platform/win/WordAutomation.h"
#include "tests/support/MessageBoxes.h"
#include "tests/e2e/RecognisedText.h"
#include "tests/e2e/VorquellProgramTest.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/MediaReadBack.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using vqtest::DeskWithPage;
using vqtest::RtfEscapedText;
using vqtest::SameCharacters;

const std::vector<std::string> kChineseLines = {"文字识别的结果应当正确显示", "页面方向检测线程每隔一段时间",
                                                "检查当前文档的方向并且旋转", "预览窗口使文字保持正立状态"};

cv::Mat EnglishPage() {
  cv::Mat page(700, 900, CV_8U, cv::Scalar(255));
  cv::putText(page, "The quick brown fox", {60, 250}, cv::FONT_HERSHEY_SIMPLEX, 1.8, cv::Scalar(0), 4);
  cv::putText(page, "jumps over the dog", {60, 400}, cv::FONT_HERSHEY_SIMPLEX, 1.8, cv::Scalar(0), 4);
  return page;
}

using vqtest::TextOf;

class VorquellWorkersXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::UseXvfbDisplay();
    server_.emplace();
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
    fs::create_directories(program_);
    fs::copy_file(VQ_DATA_FILE, program_ / "data.dat");
    fs::create_symlink(VQ_RECOGNITION_MODEL, program_ / "OCR_RLDA_LN_Gra.tpl");
    fs::create_directory_symlink(VQ_TESSDATA_DIR, program_ / "tessdata");
    // The texts the program opens go to a stand-in opener that notes them.
    vqtest::UseStandInOpener(vqtest::TempDir() / "bin");
  }
  void TearDown() override {
    vq::dshow::RemoveVirtualCameras();
    vqplatform::SetMessageBoxAnswer(nullptr);
    vqplatform::SetModalIdleHandler(nullptr);
    vqplatform::SetWordAvailable(true);
  }
  // The document camera showing one picture.
  void PlugCameraShowing(const cv::Mat& picture) {
    const fs::path pages = vqtest::TempDir() / "pages";
    fs::create_directories(pages);
    ASSERT_TRUE(cv::imwrite((pages / "page.png").string(), picture));
    auto config = vq::dshow::VirtualCameraConfig::Document();
    config.sizes = {{1280, 960}};
    config.content.kind = vq::dshow::VirtualContent::Kind::Folder;
    config.content.folder = pages;
    vq::dshow::PlugInVirtualCamera(config);
  }
  // Runs the program while `user` works it from another thread, then closes it.
  void RunProgram(const std::function<void()>& user) {
    vqtest::RunProgramInProcess(*server_, [&](HWND main, CVorquellDlg& dialog) {
      window_ = main;
      main_ = &dialog;
      user();
    });
  }
  // Runs `work` on the program's thread, from its idle message loop.
  void OnProgramThread(const std::function<void(CVorquellDlg&)>& work) {
    ASSERT_TRUE(vqtest::OnIdleModalLoop(GetWindowThreadProcessId(window_, nullptr), [&](HWND) { work(*main_); }));
  }
  void Click(HWND window, int id) { server_->ClickControl(window, id); }
  void Shoot(HWND window, const std::string& name) { server_->Shoot(window, name); }
  // Clicks 文字识别 and waits for the end of the recognition: its dialog.
  HWND RecognitionDone() {
    constexpr int kStop = 1093, kProgress = 1095;
    Click(window_, IDC_RECOGNIZE);
    HWND dialog = nullptr;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      dialog = vqtest::ShownWindowWith(kStop, kProgress);
      return dialog && IsWindowEnabled(GetDlgItem(dialog, IDOK));
    }));
    return dialog;
  }
  // A dialog of the program shown, then closed with `button`.
  void ShootAndClose(HWND dialog, const std::string& screenshot, int button = IDOK) {
    Shoot(dialog, screenshot);
    Click(dialog, button);
    EXPECT_TRUE(vqtest::WaitFor([&] { return !IsWindow(dialog) && IsWindowEnabled(window_); }));
  }
  // A recognition shown and closed with OK: the file it wrote.
  fs::path Recognise(const std::string& screenshot) {
    const int before = FilesIn(".doc") + FilesIn(".txt");
    HWND dialog = RecognitionDone();
    if (!dialog) return {};
    ShootAndClose(dialog, screenshot);
    EXPECT_EQ(FilesIn(".doc") + FilesIn(".txt"), before + 1);
    return newest_;
  }
  // Clicks 录像, records for at least `seconds` (and until the file holds a
  // picture) and stops; checks the file against the time the dialog was open.
  void Record(double seconds, const std::string& screenshot) {
    constexpr int kStatus = 1086;
    const int before = FilesIn(".asf");
    Click(window_, IDC_RECORD);
    HWND recorder = nullptr;
    ASSERT_TRUE(vqtest::WaitFor([&] {
      recorder = vqtest::ShownWindowWith(kStatus, 1032);
      return recorder && server_->Shows(recorder);
    }));
    const auto began = std::chrono::steady_clock::now();
    Click(recorder, IDOK);
    const auto elapsed = [&] {
      const std::wstring text = TextOf(recorder, kStatus);
      const size_t number = text.find_first_of(L"0123456789");
      return number == std::wstring::npos ? 0.0 : std::stod(text.substr(number));
    };
    EXPECT_TRUE(vqtest::WaitFor([&] { return elapsed() >= seconds; }));
    // Written under its hidden name while it goes on: no file under its own name yet.
    EXPECT_TRUE(vqtest::WaitFor([&] {
      if (FilesIn(".recording") != 1) return false;
      const vqtest::MediaFile partial = vqtest::ReadMediaFile(newest_.string());
      return partial.Video() && partial.Video()->packets >= 1;
    })) << "a picture is written while the recording goes on";
    EXPECT_EQ(FilesIn(".asf"), before);
    ShootAndClose(recorder, screenshot, IDCANCEL);
    const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    EXPECT_EQ(FilesIn(".recording"), 0);
    ASSERT_EQ(FilesIn(".asf"), before + 1);
    const vqtest::MediaFile file = vqtest::ReadMediaFile(newest_.string());
    ASSERT_TRUE(file.readable);
    ASSERT_NE(file.Video(), nullptr);
    EXPECT_EQ(file.Video()->width, 1280);
    EXPECT_EQ(file.Video()->height, 960);
    // Relations that hold however busy the machine is: pictures at no more
    // than ten a second of the file's time, all within the recording.
    EXPECT_GE(file.Video()->packets, 1);
    EXPECT_GT(file.seconds, 0);
    EXPECT_LE(file.seconds, ran + 0.2);
    EXPECT_LE(file.Video()->packets, file.seconds * 10 + 1);
  }
  // The document camera's newest frame once it runs again, its selection
  // and whether it detects documents.
  cv::Mat CameraAfterRecording(RECT* selection, bool* autoCrop) {
    cv::Mat frame;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      OnProgramThread([&](CVorquellDlg& main) {
        CCaptureController* camera = main.DocumentController();
        frame = camera ? camera->GetFrame() : cv::Mat();
        if (camera) camera->GetSelection(selection), *autoCrop = camera->IsAutoDetect();
      });
      return !frame.empty();
    })) << "the camera runs again";
    return frame;
  }
  int FilesIn(const std::string& extension) {
    int count = 0;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(vqtest::TempDir() / "home", error))
      if (entry.path().extension() == extension) {
        ++count;
        if (!fs::exists(newest_) || fs::last_write_time(entry) >= fs::last_write_time(newest_)) newest_ = entry.path();
      }
    return count;
  }

  const fs::path program_ = vqtest::TempDir() / "program";
  vqtest::ExpectedBoxes boxes_;  // the boxes a test names; any other fails it
  std::optional<vqtest::XServer> server_;
  HWND window_ = nullptr;
  CVorquellDlg* main_ = nullptr;
  fs::path newest_;
};

TEST_F(VorquellWorkersXvfbTest, UserRecognisesAndRecordsAChinesePage) {
  std::wstring expected;
  for (const std::string& line : kChineseLines) expected += (expected.empty() ? L"" : L"\r\n") + vq::Utf8ToWide(line);
  PlugCameraShowing(DeskWithPage(ocrtest::PrintedLines(cv::Size(760, 520), kChineseLines, cv::Point(40, 80))));
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=2\n"
                                                      "CutLeft=16\nCutTop=8\nCutRight=32\nCutBottom=24\n"));
  // Inside the page, in the coordinates of the frame within its margins.
  const RECT selection{254, 222, 994, 722};
  RunProgram([&] {
    OnProgramThread([&](CVorquellDlg& main) { main.DocumentController()->SetSelection(selection, false); });
    // Without Word: the GBK text with one CR LF per line break.
    vqplatform::SetWordAvailable(false);
    const fs::path text = Recognise("vorquell-recognition-text.png");
    EXPECT_EQ(text.extension(), ".txt");
    const std::string bytes = vqtest::ReadFile(text);
    const std::wstring recognised = vq::GbkToWide(bytes);
    EXPECT_GE(SameCharacters(recognised, expected), int(expected.size() * 9 / 10)) << vq::WideToUtf8(recognised);
    EXPECT_EQ(bytes.find("\r\r"), std::string::npos);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 3);
    // With the stand-in: the RTF ".doc".
    vqplatform::SetWordAvailable(true);
    const fs::path document = Recognise("vorquell-recognition-word.png");
    EXPECT_EQ(document.extension(), ".doc");
    const std::string rtf = vqtest::ReadFile(document);
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
    std::wstring characters = expected;
    std::erase_if(characters, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
    EXPECT_GE(SameCharacters(RtfEscapedText(rtf), characters), int(characters.size() * 9 / 10)) << rtf;

    // 录像: the file, then the camera as it was, with margins and selection.
    Record(2.5, "vorquell-recording.png");
    RECT kept{};
    bool autoCrop = true;
    const cv::Mat frame = CameraAfterRecording(&kept, &autoCrop);
    EXPECT_EQ(frame.size(), cv::Size(1280 - 16 - 32, 960 - 8 - 24)) << "the margins";
    EXPECT_EQ(std::vector<LONG>({kept.left, kept.top, kept.right, kept.bottom}),
              std::vector<LONG>({selection.left, selection.top, selection.right, selection.bottom}));
    EXPECT_FALSE(autoCrop);
    Shoot(window_, "vorquell-after-recording.png");
  });
  // Each of the two recognitions and the recording took a number.
  EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=3\n"), std::string::npos);
}

TEST_F(VorquellWorkersXvfbTest, UserRecognisesAnEnglishPageThroughTesseract) {
  PlugCameraShowing(DeskWithPage(EnglishPage()));
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=1\n"
                                                      "[OTHER]\nENGOCR=TRUE\n[Language]\nCurrent=EN\n"));
  RunProgram([&] {
    vqplatform::SetWordAvailable(false);
    const fs::path text = Recognise("vorquell-recognition-english.png");
    EXPECT_EQ(text.extension(), ".txt");
    const std::string bytes = vqtest::ReadFile(text);
    EXPECT_NE(bytes.find("quick brown fox\r\njumps over the dog"), std::string::npos) << bytes;
    // After a short recording the camera detects documents again.
    Record(1.0, "vorquell-recording-english.png");
    RECT selection{};
    bool autoCrop = false;
    EXPECT_FALSE(CameraAfterRecording(&selection, &autoCrop).empty());
    EXPECT_TRUE(autoCrop);
  });
}

// Recognition that writes nothing says so in its dialog, puts nothing into
// the strip and takes no number: a page without text through the own
// engine, and English without its data.
TEST_F(VorquellWorkersXvfbTest, RecognitionThatWritesNothingSaysSoAndTakesNoNumber) {
  PlugCameraShowing(DeskWithPage(cv::Mat(520, 760, CV_8U, cv::Scalar(255))));
  const std::string settings = "[IMAGE]\nINDEX=5\nDocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=1\n";
  for (bool english : {false, true}) {
    if (english) fs::remove(program_ / "tessdata");
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini",
                                  settings + (english ? "[OTHER]\nENGOCR=TRUE\n[Language]\nCurrent=EN\n" : "")));
    RunProgram([&] {
      constexpr int kStatus = 1086;
      unsigned strip = 0;
      OnProgramThread([&](CVorquellDlg& main) { strip = main.StripCounter(); });
      HWND dialog = RecognitionDone();
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(TextOf(dialog, kStatus), english ? L"OCR library files are missing" : L"OCR 失败或者被停止");
      ShootAndClose(dialog, english ? "vorquell-recognition-no-data.png" : "vorquell-recognition-no-text.png");
      EXPECT_EQ(FilesIn(".doc") + FilesIn(".txt"), 0);
      EXPECT_EQ(TextOf(window_, IDC_IMAGE_COUNTER), L"5");
      OnProgramThread([&](CVorquellDlg& main) { EXPECT_EQ(main.StripCounter(), strip); });
    });
    EXPECT_NE(vqtest::ReadFile(program_ / "Sys.ini").find("INDEX=5\n"), std::string::npos);
  }
}

}  // namespace
