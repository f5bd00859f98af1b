// The merge dialog as the capture command drives it: captures filling its
// two pictures, its layout, merging real files, printing to the file
// printer, and its end in every way with the owner told once.
#include "ui/ShowImageDlg.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Printing.h"
#include "platform/win/TestInput.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"

namespace fs = std::filesystem;
using vqtest::Wide;
using vqtest::WriteCapture;

namespace {

constexpr int kArrangement = 1021, kSwap = 1020, kPrint = 1032;

class MergeDialogTest : public ::testing::Test {
 protected:
  // The capture command's first capture in merge mode.
  CShowImageDlg* Open(const std::vector<std::string>& files, int language = 0, int colorMode = 0) {
    settings.colorMode = colorMode;
    settings.language = language;
    auto* dialog = new CShowImageDlg(1, &owner, language);
    dialog->SetSettings(settings);
    for (const std::string& file : files) dialog->AddImage(Wide(file));
    dialog->outputName = Wide(vqtest::TempPath("merged").string());
    EXPECT_TRUE(dialog->Create(CShowImageDlg::IDD, nullptr));
    dialog->ShowWindow(SW_SHOW);
    return owner.mergeDialog = dialog;
  }
  void Click(int id) {
    HWND dialog = owner.mergeDialog->m_hWnd;
    vqplatform::ClickControl(dialog, id);
    vqtest::Pump(dialog);
  }
  void ChooseOnItem(int item, UINT command) {
    answers.choice = command;
    vqtest::RightClickAt(owner.mergeDialog->m_hWnd, owner.mergeDialog->Item(item)->GetRect().CenterPoint());
  }

  vqtest::OwnerWindow owner;
  vqtest::MenuAndBoxAnswers answers;
  CSysSettings settings;
  const std::string red_ = WriteCapture("red.jpg", {400, 300}, cv::Scalar(0, 0, 255));
  const std::string blue_ = WriteCapture("blue.jpg", {400, 300}, cv::Scalar(255, 0, 0));
};

TEST_F(MergeDialogTest, PicturesTakeTheirSizeFromTheFirstCaptureAndTheNewestReplacesTheOlder) {
  const std::string tall = WriteCapture("tall.jpg", {300, 400}, cv::Scalar(0, 255, 0));
  // An unreadable first file does nothing; the next one counts as the first.
  auto* dialog = new CShowImageDlg(1, &owner, 0);
  dialog->AddImage(Wide(vqtest::TempPath("missing.jpg").string()));
  dialog->AddImage(Wide(red_));
  EXPECT_EQ(dialog->Item(1)->GetRect(), CRect(0, 0, 360, 240));
  dialog->AddImage(Wide(tall));  // fitted into the same 360 x 240
  EXPECT_EQ(CSize(dialog->Item(1)->GetWidth(), dialog->Item(1)->GetHeight()), CSize(178, 236));
  dialog->AddImage(Wide(blue_));  // the third replaces the first, the fourth the second
  dialog->AddImage(Wide(red_));
  EXPECT_EQ(dialog->Item(0)->GetFilePath(), Wide(blue_));
  EXPECT_EQ(dialog->Item(1)->GetFilePath(), Wide(red_));
  delete dialog;  // never shown: nobody to tell
  dialog = new CShowImageDlg(1, &owner, 0);
  dialog->AddImage(Wide(tall));  // a portrait first capture
  EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(0, 0, 360, 320));
  delete dialog;
  EXPECT_EQ(owner.closingCalls, 0);

  // "删除文件" empties a picture, not the disk; the next capture fills it.
  Open({red_, tall, blue_});
  ChooseOnItem(1, ID_THUMB_DELETE);
  ASSERT_EQ(answers.offered, (std::vector<std::wstring>{L"删除文件", L"浏览文件"}));
  EXPECT_TRUE(owner.mergeDialog->Item(1)->GetFilePath().IsEmpty());
  EXPECT_TRUE(fs::exists(tall));
  owner.mergeDialog->AddImage(Wide(red_));
  EXPECT_EQ(owner.mergeDialog->Item(1)->GetFilePath(), Wide(red_));
  // With a picture emptied OK asks for two.
  ChooseOnItem(0, ID_THUMB_DELETE);
  Click(IDOK);
  EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"需要2张图片才能合并"});
  EXPECT_NE(owner.mergeDialog, nullptr);
  owner.mergeDialog->DestroyWindow();
}

TEST_F(MergeDialogTest, LayoutAndScreenshotsInTheThreeLanguages) {
  const std::string tall = WriteCapture("tall.jpg", {300, 400}, cv::Scalar(220, 120, 40), {0.5, 0.5, 0.3, 0.3});
  const wchar_t* arrangement[] = {L"左右合并", L"左右合併", L"Vertical"};
  const wchar_t* prints[] = {L"打印", L"列印", L"Print"};
  // Opened over the main window's middle.
  owner.MoveWindow(300, 200, 800, 600, FALSE);
  owner.ShowWindow(SW_SHOWNOACTIVATE);
  for (int language = 0; language < 3; ++language) {
    CShowImageDlg* dialog = Open({red_, tall}, language);
    CRect window, client, ok;
    dialog->GetWindowRect(&window);
    dialog->GetClientRect(&client);
    dialog->GetDlgItem(IDOK)->GetWindowRect(&ok);
    const int m = 7, B = ok.Height(), dx = window.Width() - client.Width(), dy = window.Height() - client.Height();
    EXPECT_LE(std::abs(window.CenterPoint().x - 700), 1);
    EXPECT_LE(std::abs(window.CenterPoint().y - 500), 1);
    const CPoint corner = window.TopLeft();
    EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(m, B + 2 * m, m + 360, B + 2 * m + 240));  // one above the other
    EXPECT_EQ(dialog->Item(1)->GetRect(), CRect(m, B + 3 * m + 240, m + 360, B + 3 * m + 480));
    EXPECT_EQ(window.Size(), CSize(360 + dx + 2 * m, 480 + dy + B + 4 * m));
    if (language == 2) {  // side by side, swapped: item 1 first
      Click(kArrangement);
      Click(kSwap);
      dialog->GetWindowRect(&window);
      EXPECT_EQ(window.TopLeft(), corner) << "the other arrangement moved the window";
      EXPECT_EQ(dialog->Item(1)->GetRect(), CRect(m, B + 2 * m, m + 360, B + 2 * m + 240));
      EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(2 * m + 360, B + 2 * m, 2 * m + 720, B + 2 * m + 240));
      EXPECT_EQ(window.Size(), CSize(720 + dx + 3 * m, 240 + dy + B + 3 * m));
    }
    const std::string name = "merge-dialog-" + std::to_string(language) + ".png";
    EXPECT_FALSE(vqtest::SaveScreenshot(dialog->m_hWnd, name).empty());
    EXPECT_EQ(vqtest::LayoutProblems(dialog->m_hWnd), std::vector<std::string>{}) << name;
    CString text;
    dialog->GetDlgItemText(kArrangement, text);
    EXPECT_EQ(text, arrangement[language]);
    dialog->GetDlgItemText(kPrint, text);
    EXPECT_EQ(text, prints[language]);
    dialog->DestroyWindow();
  }
}

TEST_F(MergeDialogTest, MergeAfterSwapPutsThePictureShownFirstFirst) {
  // Side by side in colour, the second capture swapped to the left.
  settings.keepMergeSources = 0;
  Open({red_, blue_});
  Click(kArrangement);
  Click(kSwap);
  Click(IDOK);
  EXPECT_EQ(owner.mergeDialog, nullptr);
  const std::string merged = vqtest::TempPath("merged.jpg").string();
  EXPECT_EQ(owner.mergedPaths, std::vector<CString>{Wide(merged)});
  cv::Mat picture = cv::imread(merged);
  ASSERT_EQ(picture.size(), cv::Size(800, 300));
  EXPECT_GT(picture.at<cv::Vec3b>(150, 100)[0], 200);  // blue on the left
  EXPECT_GT(picture.at<cv::Vec3b>(150, 700)[2], 200);
  EXPECT_FALSE(fs::exists(red_));  // the sources go unless they are kept
  EXPECT_FALSE(fs::exists(blue_));

  // One above the other in black-and-white: a G4 TIFF, swapped.
  const std::string upper = WriteCapture("upper.jpg", {400, 300}, cv::Scalar::all(255), {0, 0, 0.25, 0.25});
  const std::string lower = WriteCapture("lower.jpg", {400, 300}, cv::Scalar::all(255), {0.75, 0.75, 0.25, 0.25});
  settings.keepMergeSources = 1;
  Open({upper, lower}, 0, 2);
  Click(kSwap);
  Click(IDOK);
  const auto pages = imagingtest::ReadTiff(vqtest::TempPath("merged.tif"));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].compression, COMPRESSION_CCITTFAX4);
  ASSERT_EQ(pages[0].pixels.size(), cv::Size(400, 600));
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(280, 380)[0], 50);  // "lower"'s block, now in the top half
  EXPECT_GT(pages[0].pixels.at<cv::Vec3b>(20, 20)[0], 200);
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(320, 20)[0], 50);
  EXPECT_TRUE(fs::exists(upper));
}

TEST_F(MergeDialogTest, PrintReachesTheFilePrinterInColourWithAGapAndLeavesTheMergeSettingsAlone) {
  const std::string pdf = vqtest::TempPath("printed.pdf").string();
  const std::string work = vq::WideToUtf8(vq::JoinPath(vq::MachineDataFolder(), L"PTmp.bmp.jpg"));
  cv::Mat printed;
  vqplatform::SetPrintDialogHook([&](const auto&, vqplatform::PrintDialogChoice* choice) {
    printed = cv::imread(work, cv::IMREAD_UNCHANGED);  // what the printer is about to load
    choice->printer = vqplatform::kFilePrinterName;
    choice->outputFile = pdf;
    return true;
  });
  Open({red_, blue_}, 2, 1);  // grey mode
  Click(kArrangement);
  Click(kPrint);
  vqplatform::SetPrintDialogHook(nullptr);
  ASSERT_EQ(printed.size(), cv::Size(810, 300));  // side by side with a 10-pixel gap
  ASSERT_EQ(printed.channels(), 3);
  EXPECT_GT(printed.at<cv::Vec3b>(150, 100)[2], 200);
  EXPECT_GT(printed.at<cv::Vec3b>(150, 405)[1], 200);  // the white gap
  EXPECT_TRUE(fs::exists(pdf));
  EXPECT_FALSE(fs::exists(work));
  // The dialog stays, and OK still merges in grey.
  Click(IDOK);
  EXPECT_EQ(cv::imread(vqtest::TempPath("merged.jpg").string(), cv::IMREAD_UNCHANGED).channels(), 1);
}

TEST_F(MergeDialogTest, EveryEndTellsTheOwnerOnceAndFreesTheDialogOnce) {
  struct End {
    const char* how;
    bool atOnce;  // ends before a message queued first is handled
    std::function<void(CShowImageDlg*)> run;
  };
  const End ends[] = {
      {"cancel", false, [&](CShowImageDlg*) { Click(IDCANCEL); }},
      {"close box", false, [](CShowImageDlg* d) { PostMessageW(d->m_hWnd, WM_CLOSE, 0, 0); }},
      {"owner destroys the window", true, [](CShowImageDlg* d) { d->DestroyWindow(); }},
      {"owner deletes the object", true, [](CShowImageDlg* d) { delete d; }},
  };
  int count = 0;
  for (const End& end : ends) {
    CShowImageDlg* dialog = Open({red_, blue_});
    // A capture queued before the end reaches the dialog only while it is there.
    PostMessageW(owner.m_hWnd, WM_APP, 0, 0);
    end.run(dialog);
    vqtest::Pump();
    EXPECT_EQ(owner.captureSaw, std::vector<CShowImageDlg*>{end.atOnce ? nullptr : dialog}) << end.how;
    owner.captureSaw.clear();
    EXPECT_EQ(owner.mergeDialog, nullptr) << end.how;
    EXPECT_EQ(owner.closingCalls, ++count) << end.how;
    ASSERT_EQ(owner.Count(WM_MERGE_FINISHED), count) << end.how;
    EXPECT_EQ(owner.posted.back().wParam, reinterpret_cast<WPARAM>(dialog)) << end.how;
  }
  EXPECT_EQ(owner.mergedPaths, std::vector<CString>(2));  // cancel and close box: nothing merged
}

}  // namespace
