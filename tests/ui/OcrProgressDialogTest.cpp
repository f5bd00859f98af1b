// The recognition dialog: end codes, stop during recognition, the text file
// without Word, progress and its text, Chinese pages through the own engine
// and English pages through Tesseract, the texts in three languages.
#include "base/PathEncoding.h"
#include "ui/OCRProgressDlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Shell.h"
#include "platform/win/WordAutomation.h"
#include "app/ImageOutput.h"
#include "scene/CjkText.h"
#include "scene/PrintedPage.h"
#include "scene/Renderer.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"

namespace fs = std::filesystem;

namespace {

// Records what the dialog shows at its end and closes it with OK; `onEnd`
// runs at the end message before that, `onFirstProgress` at the first report.
class WatchedOcrDlg : public COCRProgressDlg {
 public:
  using COCRProgressDlg::COCRProgressDlg;
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* out) override {
    const BOOL result = COCRProgressDlg::OnWndMsg(message, wParam, lParam, out);
    if (message != WM_OCR_PROGRESS) return result;
    if (wParam != kOcrEnd) {
      positions.push_back(progress.GetPos());
      if (positions.size() == 1 && onFirstProgress) onFirstProgress(*this);
      return result;
    }
    endCodes.push_back(static_cast<int>(lParam));
    GetDlgItemText(1086, status);
    okEnabled = ::IsWindowEnabled(GetDlgItem(IDOK)->m_hWnd);
    stopEnabled = ::IsWindowEnabled(GetDlgItem(1093)->m_hWnd);
    if (screenshot.size()) vqtest::SaveScreenshot(m_hWnd, screenshot);
    layout = vqtest::LayoutProblems(m_hWnd);
    if (onEnd) onEnd(*this);
    PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return result;
  }
  void Stop() { SendMessage(WM_COMMAND, MAKEWPARAM(1093, BN_CLICKED), 0); }

  std::vector<int> positions, endCodes;
  CString status;
  bool okEnabled = false, stopEnabled = true;
  std::string screenshot;
  std::vector<std::string> layout;
  std::function<void(WatchedOcrDlg&)> onEnd, onFirstProgress;
};

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

fs::path Program() { return vq::ToFsPath(vq::ProgramFolder()); }

// The build's model and English data in the test's program folder.
bool InstallRecognitionData() {
  if (std::string(VQ_RECOGNITION_MODEL).empty() || !fs::exists(VQ_RECOGNITION_MODEL)) return false;
  std::error_code error;
  fs::create_symlink(VQ_RECOGNITION_MODEL, Program() / "OCR_RLDA_LN_Gra.tpl", error);
  fs::create_directory_symlink(VQ_TESSDATA_DIR, Program() / "tessdata", error);
  return !error;
}

cv::Mat ChinesePage(const std::vector<std::u32string>& lines) {
  vqscene::CjkTextRenderer renderer(vqscene::SongFont());
  return vqscene::RenderTextLines(renderer, {900, 360}, lines, {40, 40}, 40, 44, 70);
}

int SameCharacters(const std::wstring& a, const std::wstring& b) {
  int same = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) same += a[i] == b[i];
  return same;
}

TEST(OcrProgressDialogTest, MissingModelAndEmptyImageEndWithTheirCodesAndDeleteTheDocument) {
  const fs::path doc = fs::current_path() / "page.doc";
  for (bool emptyImage : {false, true}) {
    std::ofstream(doc) << "stale";
    WatchedOcrDlg dialog(nullptr, 2, COCRProgressDlg::kOwnEngine);
    if (!emptyImage) dialog.SetImage(cv::Mat(100, 100, CV_8UC3, cv::Scalar::all(255)));
    dialog.SetOutputPath(vq::FromFsPath(doc).c_str());
    dialog.screenshot = emptyImage ? "" : "ocr-progress-2.png";
    EXPECT_EQ(dialog.DoModal(), IDOK);
    const int code = emptyImage ? COCRProgressDlg::kNoImage : COCRProgressDlg::kFilesMissing;
    EXPECT_EQ(dialog.endCodes, std::vector<int>{code});
    EXPECT_EQ(dialog.status, CString(emptyImage ? L"No images for OCR" : L"OCR library files are missing"));
    EXPECT_TRUE(dialog.okEnabled);
    EXPECT_FALSE(dialog.stopEnabled);
    EXPECT_EQ(dialog.GetState(), COCRProgressDlg::kIdle);
    EXPECT_FALSE(fs::exists(doc));
    EXPECT_EQ(dialog.layout, std::vector<std::string>{});
  }
}

TEST(OcrProgressDialogTest, TraditionalChineseOwnEngineOnlySaysItIsUnsupported) {
  // Nothing runs: the screenshot is taken, then the user stops.
  struct Closer : WatchedOcrDlg {
    using WatchedOcrDlg::WatchedOcrDlg;
    BOOL OnInitDialog() override {
      const BOOL result = WatchedOcrDlg::OnInitDialog();
      PostMessage(WM_APP, 0, 0);
      return result;
    }
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* out) override {
      if (message != WM_APP) return WatchedOcrDlg::OnWndMsg(message, wParam, lParam, out);
      GetDlgItemText(1086, shown);
      vqtest::SaveScreenshot(m_hWnd, "ocr-progress-1.png");
      layout = vqtest::LayoutProblems(m_hWnd);
      Stop();
      return TRUE;
    }
    CString shown;
  } closer(nullptr, 1, COCRProgressDlg::kOwnEngine);
  EXPECT_EQ(closer.DoModal(), IDCANCEL);
  EXPECT_EQ(closer.shown, CString(L"目前版本不支持文本識別功能"));
  EXPECT_EQ(closer.GetState(), COCRProgressDlg::kStopped);
  EXPECT_EQ(closer.layout, std::vector<std::string>{});
}

class RecognitionData : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!InstallRecognitionData()) GTEST_SKIP() << "this build tree makes no recognition model";
    vqplatform::ClearRecordedShellCalls();
  }
  void TearDown() override { vqplatform::SetWordAvailable(true); }
};

// Without Word the GBK text goes to the ".txt" file with CR LF line breaks;
// with the stand-in the ".doc" is written. Progress rises to 100.
TEST_F(RecognitionData, ChinesePageGivesGbkTextFileWithoutWordAndDocumentWithIt) {
  const std::vector<std::u32string> lines = {U"我们今天学习中文", U"明天上午去图书馆", U"学生认真回答问题"};
  const std::wstring expected = L"我们今天学习中文\r\n明天上午去图书馆\r\n学生认真回答问题";
  const cv::Mat page = ChinesePage(lines);
  cv::Mat colour;
  cv::cvtColor(page, colour, cv::COLOR_GRAY2BGR);
  for (bool word : {false, true}) {
    vqplatform::SetWordAvailable(word);
    const fs::path doc = fs::current_path() / (word ? "word.doc" : "plain.doc");
    WatchedOcrDlg dialog(nullptr, 0, COCRProgressDlg::kOwnEngine);
    dialog.SetImage(colour);
    dialog.SetOutputPath(vq::FromFsPath(doc).c_str());
    dialog.screenshot = word ? "" : "ocr-progress-0.png";
    dialog.onEnd = [](WatchedOcrDlg&) {
      EXPECT_EQ(COCRProgressDlg::ReportOCRProgress(0.999, "\xCA\xB6\xB1\xF0"), 0);  // 识别
    };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.endCodes, std::vector<int>{COCRProgressDlg::kCompleted});
    EXPECT_EQ(dialog.GetState(), COCRProgressDlg::kFinished);
    EXPECT_EQ(dialog.status, CString(L"OCR 完成"));
    ASSERT_GE(dialog.positions.size(), 3u);
    EXPECT_EQ(dialog.positions.back(), 99);
    EXPECT_EQ(dialog.positions[dialog.positions.size() - 2], 100);
    EXPECT_EQ(COCRProgressDlg::SharedStatusText(), CString(L"识别"));
    const fs::path written = vq::ToFsPath(dialog.GetOutputPath().str());
    EXPECT_EQ(written, word ? doc : fs::path(doc).replace_extension(".txt"));
    const std::string bytes = ReadBytes(written);
    if (!word) {
      const std::wstring text = vq::GbkToWide(bytes);
      EXPECT_GE(SameCharacters(text, expected), static_cast<int>(expected.size() * 9 / 10)) << vq::WideToUtf8(text);
      EXPECT_EQ(bytes.find("\r\r"), std::string::npos);
      EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2);
    } else {
      EXPECT_EQ(bytes.rfind("{\\rtf", 0), 0u);
    }
    const auto calls = vqplatform::RecordedShellCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().target, vq::FromFsPath(written));
    EXPECT_EQ(calls.back().showCommand, SW_SHOWMAXIMIZED);
  }
}

// A stop during recognition: the next report answers 3, the thread ends,
// the dialog closes after it with state 3 and the document deleted.
using ThreadRecognition = RecognitionData;

TEST_F(ThreadRecognition, StopDuringRecognitionEndsWithStateThree) {
  std::vector<std::u32string> lines(5, U"我们今天学习中文大家都很高兴见面");
  const fs::path doc = fs::current_path() / "stopped.doc";
  WatchedOcrDlg dialog(nullptr, 2, COCRProgressDlg::kOwnEngine);
  dialog.SetImage(ChinesePage(lines));
  dialog.SetOutputPath(vq::FromFsPath(doc).c_str());
  dialog.onFirstProgress = [](WatchedOcrDlg& self) { self.Stop(); };
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.GetState(), COCRProgressDlg::kStopped);
  EXPECT_FALSE(fs::exists(doc));
  EXPECT_FALSE(fs::exists(fs::path(doc).replace_extension(".txt")));
}

TEST_F(RecognitionData, EnglishPageGoesThroughTesseractAsUtf8) {
  vqplatform::SetWordAvailable(false);
  cv::Mat page(200, 900, CV_8U, cv::Scalar(255));
  cv::putText(page, "The quick brown fox", {30, 80}, cv::FONT_HERSHEY_SIMPLEX, 1.6, cv::Scalar(0), 3);
  cv::putText(page, "jumps over the dog", {30, 160}, cv::FONT_HERSHEY_SIMPLEX, 1.6, cv::Scalar(0), 3);
  const fs::path doc = vqtest::TempDir() / "english.doc";
  {
    // Asked to stop before it reads, the engine stops at the first word.
    WatchedOcrDlg stopped(nullptr, 2, COCRProgressDlg::kEnglishEngine);
    stopped.SetImage(page);
    stopped.SetOutputPath(vq::FromFsPath(doc).c_str());
    stopped.RequestStop();
    EXPECT_EQ(stopped.DoModal(), IDOK);
    EXPECT_EQ(stopped.endCodes, std::vector<int>{COCRProgressDlg::kRecognitionFailed});
    EXPECT_EQ(stopped.GetState(), COCRProgressDlg::kStopped);
    EXPECT_FALSE(fs::exists(fs::path(doc).replace_extension(".txt")));
  }
  WatchedOcrDlg dialog(nullptr, 2, COCRProgressDlg::kEnglishEngine);
  dialog.SetImage(page);
  dialog.SetOutputPath(vq::FromFsPath(doc).c_str());
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.positions, (std::vector<int>{30, 100}));
  EXPECT_EQ(dialog.endCodes, std::vector<int>{COCRProgressDlg::kCompleted});
  EXPECT_EQ(dialog.status, CString(L"OCR is completed"));
  EXPECT_EQ(dialog.GetState(), COCRProgressDlg::kFinished);
  const std::string bytes = ReadBytes(fs::path(doc).replace_extension(".txt"));
  EXPECT_NE(bytes.find("quick brown fox\r\njumps over the dog"), std::string::npos) << bytes;
}

// Pages as users lay them under the camera, one of each kind, cut as the
// recognition command cuts a frame (automatic crop) and read through the
// dialog into its text file: Chinese with digits and Latin words, a sheet
// tilted toward the camera, headlines, small print photographed and scanned,
// frames from a dim room (one JPEG-compressed as a camera sends it), a scan
// saved at JPEG quality 30 and a scan with dark photographs beside its text.
// Chinese characters and Latin letters and digits are counted apart.
struct PageKind {
  const char* name;
  bool boldSans;     // the bold sans face, else the light Hei face
  int em;            // pixels
  bool mixed;        // digits, Latin words and signs among the Chinese
  float tilt;        // the sheet's top lifted toward the camera, degrees
  double exposure;   // the light the camera keeps; 0: scanned, not photographed
  int cutPageType;   // the crop mode: 1 automatic for a camera frame, 0 none for a scan
  double chinese;    // least share of each read right; -1: none on the page
  double latin;
  // Small print fills a whole sheet in the 5 MP frame, printed finer than
  // the frame, under a lens focused on it.
  bool wholeFrame = false;
  int jpegQuality = 0;  // the camera's frame (or the scan) JPEG-compressed this hard; 0: not
  bool photos = false;  // a page of two dark photographs and a caption beside them
};

void PrintTo(const PageKind& kind, std::ostream* out) { *out << kind.name; }

// A parameter's name with every character but letters and digits as "_".
template <class Kind>
std::string TestName(const ::testing::TestParamInfo<Kind>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

const PageKind kPageKinds[] = {
    {"digits and Latin among Chinese", true, 28, true, 0.0f, 1.0, 1, 0.98, 0.97},
    {"sheet tilted 25 degrees", false, 26, false, 25.0f, 1.0, 1, 0.98, -1},
    {"headline 80 px", true, 80, false, 0.0f, 1.0, 1, 0.92, -1},
    {"dark frame", false, 30, false, 0.0f, 0.25, 1, 0.96, -1},
    {"small print 12 px, scanned", false, 12, false, 0.0f, 0.0, 0, 0.97, -1},
    {"small print 12 px", false, 12, false, 0.0f, 1.0, 1, 0.96, -1, true},
    {"dim photo, JPEG", true, 20, false, 0.0f, 0.22, 1, 0.94, -1, false, 88},
    {"scan at JPEG 30", false, 24, false, 0.0f, 0.0, 0, 0.98, -1, false, 30},
    {"caption beside two photos", false, 30, false, 0.0f, 0.0, 0, 0.98, -1, false, 0, true},
};

const cv::Size kCameraFrame(1280, 960), kFiveMegapixels(2592, 1944);
constexpr int kFinerPrint = 3;
const char kPool[] =
    "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分对成会可主发年动同工也能下过子说产种面而方"
    "后多定行学法所民得经十三之进着等部度家电力里如水化高自二理起小物现实加量都两体制机当使点从业本去把性好应开它";

// The page of a kind as the camera (or a scanner) delivers it, and what it holds.
vqscene::PrintedText MakePage(const PageKind& kind, cv::Mat* frame) {
  const vqscene::CjkFont font = kind.boldSans
                                    ? vqscene::CjkFont{"Noto Sans CJK SC Bold", "/usr/share/fonts/opentype/noto/NotoSansCJK-Bold.ttc", 2}
                                    : vqscene::HeiFont();
  vqscene::CjkTextRenderer renderer(font);
  cv::RNG rng(static_cast<uint64_t>(kind.em) * 31 + (kind.mixed ? 7 : 0));
  const cv::Size frameSize = kind.wholeFrame ? kFiveMegapixels : kCameraFrame;
  const int fine = kind.wholeFrame ? kFinerPrint : 1;
  const cv::Size sheet = kind.exposure > 0 ? vqscene::SheetPixels(frameSize, false) * fine : cv::Size(620, 877);
  const std::wstring pool = vq::Utf8ToWide(kPool);
  const std::u32string codes(pool.begin(), pool.end());
  const int em = kind.em * fine;
  vqscene::PrintedText printed = kind.mixed ? vqscene::SetMixedParagraphs(renderer, sheet, em, codes, rng)
                                            : vqscene::SetChineseParagraphs(renderer, sheet, em, codes, rng);
  if (kind.photos) {
    // A scan at 200 dpi: a caption beside two dark photographs (400 x 300).
    cv::Mat page(2339, 1654, CV_8U, cv::Scalar::all(255));
    for (int x : {130, 560}) {
      cv::Mat coarse(6, 8, CV_32F), photo;
      rng.fill(coarse, cv::RNG::UNIFORM, 15.0, 110.0);
      cv::resize(coarse, photo, {400, 300}, 0, 0, cv::INTER_CUBIC);
      cv::Mat grain(photo.size(), CV_32F);
      rng.fill(grain, cv::RNG::NORMAL, 0.0, 8.0);
      cv::Mat(photo + grain).convertTo(page(cv::Rect(x, 420, 400, 300)), CV_8U);
    }
    const std::u32string caption = codes.substr(0, 14), second = codes.substr(14, 14);
    renderer.DrawLine(page, caption, {1000, 480}, em, em + 3);
    renderer.DrawLine(page, second, {1000, 480 + 2 * em}, em, em + 3);
    printed = {page, caption + second};
  }
  if (kind.exposure > 0) {
    vqscene::DeskLight light;
    light.blur = kind.wholeFrame ? 0.6 : 0.9;
    light.exposure = kind.exposure;
    light.noise = kind.exposure < 1.0 ? 7.0 : 3.0;  // a dim room's gain
    *frame = vqscene::RenderScene(
        vqscene::PhotographedSheet(printed.print, frameSize, 2.0f, light, 21, kind.tilt, fine));
  } else {
    cv::Mat grey;
    printed.print.convertTo(grey, CV_8U, 200.0 / 255.0, 35.0);  // grey paper, dark grey ink
    cv::GaussianBlur(grey, grey, cv::Size(), kind.photos ? 0.9 : 0.6);
    cv::cvtColor(grey, *frame, cv::COLOR_GRAY2BGR);
  }
  if (kind.jpegQuality > 0) {
    std::vector<uchar> bytes;
    cv::imencode(".jpg", *frame, bytes, {cv::IMWRITE_JPEG_QUALITY, kind.jpegQuality});
    *frame = cv::imdecode(bytes, cv::IMREAD_COLOR);
  }
  return printed;
}

class PageKindRecognition : public RecognitionData, public ::testing::WithParamInterface<PageKind> {};

TEST_P(PageKindRecognition, IsReadThroughTheDialogFromTheCameraFrame) {
  const PageKind& kind = GetParam();
  vqplatform::SetWordAvailable(false);
  cv::Mat frame;
  const vqscene::PrintedText printed = MakePage(kind, &frame);
  CSysSettings settings;
  settings.cutPageType = kind.cutPageType;
  CImageOutput output(0);
  const cv::Mat page = output.PageForRecognition(frame, settings, nullptr);
  ASSERT_FALSE(page.empty());

  const fs::path doc = vqtest::TempPath("页面/识别.doc");
  fs::create_directories(doc.parent_path());
  WatchedOcrDlg dialog(nullptr, 0, COCRProgressDlg::kOwnEngine);
  dialog.SetImage(page);
  dialog.SetOutputPath(vq::FromFsPath(doc).c_str());
  EXPECT_EQ(dialog.DoModal(), IDOK);
  ASSERT_EQ(dialog.endCodes, std::vector<int>{COCRProgressDlg::kCompleted}) << kind.name;
  const std::wstring wide = vq::GbkToWide(ReadBytes(fs::path(doc).replace_extension(".txt")));
  std::u32string read;
  for (wchar_t c : wide)
    if (c != L' ' && c != L'\r' && c != L'\n') read.push_back(static_cast<char32_t>(c));
  const double chinese = vqscene::KindAccuracy(printed.text, read, vqscene::CharacterKind::kChinese);
  const double latin = vqscene::KindAccuracy(printed.text, read, vqscene::CharacterKind::kLatin);
  EXPECT_GE(chinese, kind.chinese) << kind.name << ": " << vq::WideToUtf8(wide);
  if (kind.latin >= 0) {
    EXPECT_GE(latin, kind.latin) << kind.name << ": " << vq::WideToUtf8(wide);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, PageKindRecognition, ::testing::ValuesIn(kPageKinds),
                         TestName<PageKind>);

// Layouts read in their order through the dialog from a camera frame: two
// columns of paragraphs (read column by column) and a ruled table of names,
// quantities, prices and dates (each cell read, row by row), in Chinese by
// the own engine and in English by Tesseract. The page is set on a sheet
// photographed in the 5 MP frame and cut as the recognition command cuts
// it; a seed per page.
struct LayoutKind {
  const char* name;
  bool table;
  int engine;
  double least;        // least share of the page's characters read in order
  double leastDigits;  // the same for its letters and digits; -1: not checked
};

void PrintTo(const LayoutKind& kind, std::ostream* out) { *out << kind.name; }

const LayoutKind kLayoutKinds[] = {
    {"Chinese two columns", false, COCRProgressDlg::kOwnEngine, 0.95, -1},
    {"Chinese ruled table", true, COCRProgressDlg::kOwnEngine, 0.90, 0.95},
    {"English two columns", false, COCRProgressDlg::kEnglishEngine, 0.95, -1},
    {"English ruled table", true, COCRProgressDlg::kEnglishEngine, 0.90, 0.95},
};

const char* const kWords[] = {"paper", "camera", "office", "letter", "report", "budget", "meeting", "figure",
                              "table", "morning", "history", "question", "printed", "system", "under", "light"};

// Random words of the pool (Chinese characters or English words) up to `width` pixels.
std::u32string WordsUpTo(vqscene::CjkTextRenderer& renderer, bool english, const std::u32string& pool, int em,
                         int width, cv::RNG& rng) {
  std::u32string line;
  for (;;) {
    std::u32string next = line;
    if (english) {
      if (!next.empty()) next += U' ';
      const std::string word = kWords[rng.uniform(0, static_cast<int>(std::size(kWords)))];
      next.append(word.begin(), word.end());
    } else {
      next.push_back(pool[static_cast<size_t>(rng.uniform(0, static_cast<int>(pool.size())))]);
    }
    cv::Mat scratch(2 * em, 4 * width + 4 * em, CV_8U, cv::Scalar(255));
    const int x = english ? renderer.DrawProportional(scratch, next, {0, em}, em) : int(next.size()) * (em + em / 10);
    if (x > width) return line;
    line = next;
  }
}

// Draws one line of the page's text and keeps it, spaces left out.
void DrawText(vqscene::CjkTextRenderer& renderer, bool english, cv::Mat& print, const std::u32string& text,
              cv::Point topLeft, int em, std::u32string* truth) {
  if (english)
    renderer.DrawProportional(print, text, {topLeft.x, topLeft.y + em * 85 / 100}, em);
  else
    renderer.DrawLine(print, text, topLeft, em, em + em / 10);
  for (char32_t c : text)
    if (c != U' ') truth->push_back(c);
}

vqscene::PrintedText MakeLayout(const LayoutKind& kind, uint64_t seed) {
  const bool english = kind.engine == COCRProgressDlg::kEnglishEngine;
  vqscene::CjkTextRenderer renderer(vqscene::SongFont());
  cv::RNG rng(seed);
  const std::wstring wide = vq::Utf8ToWide(kPool);
  const std::u32string pool(wide.begin(), wide.end());
  vqscene::PrintedText page;
  page.print = cv::Mat(vqscene::SheetPixels(kFiveMegapixels, false), CV_8U, cv::Scalar(255));
  const int em = 30, left = page.print.cols / 12, right = page.print.cols - left, top = page.print.rows / 10;
  if (!kind.table) {
    const int gutter = page.print.cols / 14, width = (right - left - gutter) / 2;
    for (int column = 0; column < 2; ++column)
      for (int y = top; y + em < page.print.rows - top; y += em * 17 / 10) {
        const int wanted = rng.uniform(0, 7) == 0 ? width / 2 : width;  // a paragraph's last line
        DrawText(renderer, english, page.print, WordsUpTo(renderer, english, pool, em, wanted, rng),
                 {left + column * (width + gutter), y}, em, &page.text);
      }
    return page;
  }
  const int columns = 4, rowHeight = 2 * em, columnWidth = (right - left) / columns, rows = 14;
  for (int i = 0; i <= rows; ++i)
    cv::line(page.print, {left, top + i * rowHeight}, {right, top + i * rowHeight}, cv::Scalar(0), 2);
  for (int j = 0; j <= columns; ++j)
    cv::line(page.print, {left + j * columnWidth, top}, {left + j * columnWidth, top + rows * rowHeight},
             cv::Scalar(0), 2);
  for (int i = 0; i < rows; ++i)
    for (int j = 0; j < columns; ++j) {
      const cv::Point at(left + j * columnWidth + em / 2, top + i * rowHeight + (rowHeight - em) / 2);
      char cell[32];
      if (j == 0) {
        DrawText(renderer, english, page.print, WordsUpTo(renderer, english, pool, em, columnWidth / 2, rng), at, em,
                 &page.text);
        continue;
      }
      if (j == 1) std::snprintf(cell, sizeof cell, "%d", rng.uniform(1, 500));
      if (j == 2) std::snprintf(cell, sizeof cell, "%d.%02d", rng.uniform(1, 9999), rng.uniform(0, 100));
      if (j == 3) std::snprintf(cell, sizeof cell, "2024-%02d-%02d", rng.uniform(1, 13), rng.uniform(1, 29));
      const std::string digits = cell;
      renderer.DrawProportional(page.print, std::u32string(digits.begin(), digits.end()),
                                {at.x, at.y + em * 85 / 100}, em);
      page.text.append(digits.begin(), digits.end());
    }
  return page;
}

class LayoutRecognition : public RecognitionData, public ::testing::WithParamInterface<LayoutKind> {};

TEST_P(LayoutRecognition, IsReadInOrderThroughTheDialogFromTheCameraFrame) {
  const LayoutKind& kind = GetParam();
  vqplatform::SetWordAvailable(false);
  for (uint64_t seed : {11u, 12u}) {
    const vqscene::PrintedText printed = MakeLayout(kind, seed);
    vqscene::DeskLight light;
    const cv::Mat frame =
        vqscene::RenderScene(vqscene::PhotographedSheet(printed.print, kFiveMegapixels, 2.0f, light, seed));
    CSysSettings settings;
    settings.cutPageType = 1;
    CImageOutput output(0);
    const cv::Mat page = output.PageForRecognition(frame, settings, nullptr);
    ASSERT_FALSE(page.empty());

    const fs::path doc = vqtest::TempPath("版面/识别.doc");
    fs::create_directories(doc.parent_path());
    WatchedOcrDlg dialog(nullptr, kind.engine == COCRProgressDlg::kEnglishEngine ? 2 : 0, kind.engine);
    dialog.SetImage(page);
    dialog.SetOutputPath(vq::FromFsPath(doc).c_str());
    EXPECT_EQ(dialog.DoModal(), IDOK);
    ASSERT_EQ(dialog.endCodes, std::vector<int>{COCRProgressDlg::kCompleted}) << kind.name;
    const std::string bytes = ReadBytes(fs::path(doc).replace_extension(".txt"));
    const std::wstring wide =
        kind.engine == COCRProgressDlg::kEnglishEngine ? vq::Utf8ToWide(bytes) : vq::GbkToWide(bytes);
    std::u32string read;
    for (wchar_t c : wide)
      if (c != L' ' && c != L'\r' && c != L'\n') read.push_back(static_cast<char32_t>(c));
    const double accuracy =
        1.0 - static_cast<double>(vqscene::EditDistance(printed.text, read)) / static_cast<double>(printed.text.size());
    EXPECT_GE(accuracy, kind.least) << kind.name << " " << seed << ": " << vq::WideToUtf8(wide);
    if (kind.leastDigits >= 0) {
      EXPECT_GE(vqscene::KindAccuracy(printed.text, read, vqscene::CharacterKind::kLatin), kind.leastDigits)
          << kind.name << " " << seed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutRecognition, ::testing::ValuesIn(kLayoutKinds),
                         TestName<LayoutKind>);

// Recognition that leaves no file says so and is not finished: a page
// without text (either engine), a result that cannot be written. Every end
// is told in Simplified Chinese too.
TEST_F(RecognitionData, NothingWrittenIsAFailureInEveryLanguage) {
  vqplatform::SetWordAvailable(false);
  const cv::Mat blank(360, 900, CV_8UC3, cv::Scalar::all(255));
  struct Case {
    int engine, language;
    cv::Mat image;
    fs::path doc;
    int code;
    const wchar_t* status;
  };
  const fs::path unwritable = fs::current_path() / "a file" / "page.doc";
  std::ofstream(fs::current_path() / "a file") << "not a folder";
  cv::Mat text;
  cv::cvtColor(ChinesePage({U"我们今天学习中文"}), text, cv::COLOR_GRAY2BGR);
  const std::vector<Case> cases = {
      // The own engine refuses a page without text.
      {COCRProgressDlg::kOwnEngine, 0, blank, fs::current_path() / "blank.doc", COCRProgressDlg::kRecognitionFailed,
       L"OCR 失败或者被停止"},
      {COCRProgressDlg::kEnglishEngine, 2, blank.clone(), fs::current_path() / "blank-en.doc",
       COCRProgressDlg::kNoText, L"No text was recognised; nothing was saved"},
      {COCRProgressDlg::kOwnEngine, 0, text, unwritable, COCRProgressDlg::kNotWritten, L"识别结果无法保存"},
  };
  for (const Case& c : cases) {
    WatchedOcrDlg dialog(nullptr, c.language, c.engine);
    cv::Mat image = c.image;
    if (c.engine == COCRProgressDlg::kEnglishEngine) cv::cvtColor(c.image, image, cv::COLOR_BGR2GRAY);
    dialog.SetImage(image);
    dialog.SetOutputPath(vq::FromFsPath(c.doc).c_str());
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.endCodes, std::vector<int>{c.code}) << c.doc;
    EXPECT_EQ(dialog.status, CString(c.status));
    EXPECT_TRUE(dialog.okEnabled);
    EXPECT_NE(dialog.GetState(), COCRProgressDlg::kFinished);
    for (const char* extension : {".doc", ".txt"})
      EXPECT_FALSE(fs::exists(fs::path(c.doc).replace_extension(extension))) << c.doc << extension;
  }
  // Nothing was opened for the user.
  EXPECT_TRUE(vqplatform::RecordedShellCalls().empty());
}

}  // namespace
