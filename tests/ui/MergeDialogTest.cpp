// The merge dialog as the capture command drives it: captures filling its
// two pictures, its layout, merging real files, printing to the file
// printer, and its end in every way with the owner told once.
#include "ui/ShowImageDlg.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "platform/mfc/CImage.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/Printing.h"
#include "platform/win/TestInput.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"

namespace fs = std::filesystem;
using vqtest::Pump;
using vqtest::Wide;
using vqtest::WriteCapture;

namespace {

constexpr int kArrangement = 1021, kSwap = 1020, kPrint = 1032;

CRect ClientRectOf(const CThumbItem* item) { return item->GetRect(); }

class MergeDialogTest : public ::testing::Test {
 protected:
  // The capture command's first capture in merge mode.
  CShowImageDlg* Open(const std::vector<std::string>& files, int language = 0, int colorMode = 0) {
    settings.colorMode = colorMode;
    settings.language = language;
    auto* dialog = new CShowImageDlg(1, &owner, language);
    dialog->SetSettings(settings);
    for (const std::string& file : files) dialog->AddImage(Wide(file));
    dialog->SetSettings(settings);
    dialog->outputName = Wide(vqtest::TempPath("merged").string());
    EXPECT_TRUE(dialog->Create(CShowImageDlg::IDD, nullptr));
    dialog->ShowWindow(SW_SHOW);
    owner.mergeDialog = dialog;
    Pump(dialog->m_hWnd);
    return dialog;
  }
  void Click(int id) {
    HWND dialog = owner.mergeDialog->m_hWnd;
    vqplatform::ClickControl(dialog, id);
    Pump(dialog);
  }

  vqtest::OwnerWindow owner;
  vqtest::MenuAndBoxAnswers answers;
  CSysSettings settings;
};

TEST_F(MergeDialogTest, PicturesTakeTheirSizeFromTheFirstCaptureAndTheNewestReplacesTheOlder) {
  const std::string wide = WriteCapture("wide.jpg", {400, 300}, cv::Scalar(0, 0, 255));
  const std::string tall = WriteCapture("tall.jpg", {300, 400}, cv::Scalar(255, 0, 0));
  const std::string third = WriteCapture("third.jpg", {400, 300}, cv::Scalar(0, 255, 0));
  const std::string fourth = WriteCapture("fourth.jpg", {400, 300}, cv::Scalar(0, 255, 255));

  // An unreadable first file does nothing; the next one counts as the first.
  auto* dialog = new CShowImageDlg(1, &owner, 0);
  dialog->AddImage(Wide(vqtest::TempPath("missing.jpg").string()));
  dialog->AddImage(Wide(wide));
  EXPECT_EQ(ClientRectOf(dialog->Item(0)), CRect(0, 0, 360, 240));
  EXPECT_EQ(ClientRectOf(dialog->Item(1)), CRect(0, 0, 360, 240));
  dialog->AddImage(Wide(tall));  // fitted into the same 360 x 240
  EXPECT_EQ(dialog->Item(1)->GetFilePath(), Wide(tall));
  EXPECT_EQ(dialog->Item(1)->GetHeight(), 236);
  EXPECT_LT(dialog->Item(1)->GetWidth(), 200);
  dialog->AddImage(Wide(third));
  dialog->AddImage(Wide(fourth));
  EXPECT_EQ(dialog->Item(0)->GetFilePath(), Wide(third));
  EXPECT_EQ(dialog->Item(1)->GetFilePath(), Wide(fourth));
  delete dialog;  // never shown: nothing to tell anyone

  // A portrait first capture gives 360 x 320 pictures.
  dialog = new CShowImageDlg(1, &owner, 0);
  dialog->AddImage(Wide(tall));
  EXPECT_EQ(ClientRectOf(dialog->Item(0)), CRect(0, 0, 360, 320));
  delete dialog;
  EXPECT_EQ(owner.closingCalls, 0);

  // "删除文件" empties a picture (the file stays); the next capture fills it.
  dialog = Open({wide, tall, third});
  answers.choice = ID_THUMB_DELETE;
  const CRect second = dialog->Item(1)->GetRect();
  vqtest::RightClickAt(dialog->m_hWnd, second.CenterPoint());
  ASSERT_EQ(answers.offered, (std::vector<std::wstring>{L"删除文件", L"浏览文件"}));
  EXPECT_TRUE(dialog->Item(1)->GetFilePath().IsEmpty());
  EXPECT_TRUE(fs::exists(tall));
  dialog->AddImage(Wide(fourth));
  EXPECT_EQ(dialog->Item(1)->GetFilePath(), Wide(fourth));
  EXPECT_EQ(dialog->Item(0)->GetFilePath(), Wide(third));
  // With one picture emptied, OK asks for two.
  answers.choice = ID_THUMB_DELETE;
  vqtest::RightClickAt(dialog->m_hWnd, dialog->Item(0)->GetRect().CenterPoint());
  Click(IDOK);
  EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"需要2张图片才能合并"});
  EXPECT_EQ(owner.mergeDialog, dialog);
  dialog->DestroyWindow();
}

TEST_F(MergeDialogTest, LayoutPutsThePicturesUnderTheButtonRowAndSizesTheWindow) {
  CShowImageDlg* dialog = Open({WriteCapture("a.jpg", {400, 300}, cv::Scalar(0, 0, 255)),
                                WriteCapture("b.jpg", {400, 300}, cv::Scalar(255, 0, 0))});
  CRect window, client, ok;
  dialog->GetWindowRect(&window);
  dialog->GetClientRect(&client);
  dialog->GetDlgItem(IDOK)->GetWindowRect(&ok);
  const int m = 7, B = ok.Height(), dx = window.Width() - client.Width(), dy = window.Height() - client.Height();
  EXPECT_EQ(window.TopLeft(), CPoint(0, 0));
  // One above the other.
  EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(m, B + 2 * m, m + 360, B + 2 * m + 240));
  EXPECT_EQ(dialog->Item(1)->GetRect(), CRect(m, B + 3 * m + 240, m + 360, B + 3 * m + 480));
  EXPECT_EQ(window.Size(), CSize(360 + dx + 2 * m, 480 + dy + B + 4 * m));
  CString text;
  dialog->GetDlgItemText(kArrangement, text);
  EXPECT_EQ(text, L"左右合并");
  // Side by side, then swapped: item 1 comes first.
  Click(kArrangement);
  Click(kSwap);
  dialog->GetWindowRect(&window);
  EXPECT_EQ(dialog->Item(1)->GetRect(), CRect(m, B + 2 * m, m + 360, B + 2 * m + 240));
  EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(2 * m + 360, B + 2 * m, 2 * m + 720, B + 2 * m + 240));
  EXPECT_EQ(window.Size(), CSize(720 + dx + 3 * m, 240 + dy + B + 3 * m));
  dialog->GetDlgItemText(kArrangement, text);
  EXPECT_EQ(text, L"上下合并");
  // The buttons stay above the pictures.
  dialog->ScreenToClient(&ok);
  EXPECT_LE(ok.bottom, dialog->Item(0)->GetRect().top);
  dialog->DestroyWindow();
}

TEST_F(MergeDialogTest, MergeAfterSwapPutsThePictureShownFirstFirst) {
  // Side by side in colour: the second capture, swapped to the left.
  const std::string red = WriteCapture("red.jpg", {400, 300}, cv::Scalar(0, 0, 255));
  const std::string blue = WriteCapture("blue.jpg", {400, 300}, cv::Scalar(255, 0, 0));
  settings.keepMergeSources = 0;
  Open({red, blue});
  Click(kArrangement);
  Click(kSwap);
  Click(IDOK);
  EXPECT_EQ(owner.mergeDialog, nullptr);
  ASSERT_EQ(owner.mergedPaths.size(), 1u);
  const std::string merged = vqtest::TempPath("merged.jpg").string();
  EXPECT_EQ(owner.mergedPaths[0], Wide(merged));
  cv::Mat picture = cv::imread(merged);
  ASSERT_EQ(picture.size(), cv::Size(800, 300));
  EXPECT_GT(picture.at<cv::Vec3b>(150, 100)[0], 200);  // blue on the left
  EXPECT_GT(picture.at<cv::Vec3b>(150, 700)[2], 200);  // red on the right
  EXPECT_FALSE(fs::exists(red));  // the sources go when they are not kept
  EXPECT_FALSE(fs::exists(blue));

  // One above the other in black-and-white: a G4 TIFF, swapped order.
  const std::string upper = WriteCapture("upper.jpg", {400, 300}, cv::Scalar::all(255), {0, 0, 0.25, 0.25});
  const std::string lower = WriteCapture("lower.jpg", {400, 300}, cv::Scalar::all(255), {0.75, 0.75, 0.25, 0.25});
  settings.keepMergeSources = 1;
  Open({upper, lower}, 0, 2);
  Click(kSwap);
  Click(IDOK);
  ASSERT_EQ(owner.mergedPaths.size(), 2u);
  const auto pages = imagingtest::ReadTiff(vqtest::TempPath("merged.tif"));
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0].compression, COMPRESSION_CCITTFAX4);
  ASSERT_EQ(pages[0].pixels.size(), cv::Size(400, 600));
  // "lower" now on top: its block at its bottom right, "upper"'s at the top left of the second half.
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(280, 380)[0], 50);
  EXPECT_GT(pages[0].pixels.at<cv::Vec3b>(20, 20)[0], 200);
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(320, 20)[0], 50);
  EXPECT_TRUE(fs::exists(upper));  // kept
  EXPECT_EQ(owner.Count(WM_MERGE_FINISHED), 2);
}

TEST_F(MergeDialogTest, PrintReachesTheFilePrinterInColourWithAGapAndLeavesTheMergeSettingsAlone) {
  const std::string a = WriteCapture("a.jpg", {400, 300}, cv::Scalar(0, 0, 255));
  const std::string b = WriteCapture("b.jpg", {400, 300}, cv::Scalar(255, 0, 0));
  const std::string pdf = vqtest::TempPath("printed.pdf").string();
  const CString work = vq::JoinPath(vq::MachineDataFolder(), L"PTmp.bmp.jpg");
  cv::Mat printed;
  vqplatform::SetPrintDialogHook([&](const std::vector<vqplatform::PrintDestination>&, vqplatform::PrintDialogChoice* choice) {
    printed = cv::imread(work.ToUtf8(), cv::IMREAD_UNCHANGED);  // the merge the printer is about to load
    choice->printer = vqplatform::kFilePrinterName;
    choice->outputFile = pdf;
    return true;
  });
  CShowImageDlg* dialog = Open({a, b}, 2, 1);  // grey mode
  Click(kArrangement);
  Click(kPrint);
  vqplatform::SetPrintDialogHook(nullptr);
  ASSERT_FALSE(printed.empty());
  EXPECT_EQ(printed.size(), cv::Size(810, 300));  // side by side with a 10-pixel gap
  EXPECT_EQ(printed.channels(), 3);
  EXPECT_GT(printed.at<cv::Vec3b>(150, 100)[2], 200);
  EXPECT_GT(printed.at<cv::Vec3b>(150, 405)[1], 240);  // the white gap
  EXPECT_TRUE(fs::exists(pdf));
  EXPECT_FALSE(fs::exists(work.ToUtf8()));
  EXPECT_EQ(owner.mergeDialog, dialog);  // the dialog stays
  // OK afterwards still merges in grey.
  Click(IDOK);
  cv::Mat merged = cv::imread(vqtest::TempPath("merged.jpg").string(), cv::IMREAD_UNCHANGED);
  EXPECT_EQ(merged.channels(), 1);
  EXPECT_EQ(merged.cols, 800);
}

TEST_F(MergeDialogTest, EveryEndTellsTheOwnerOnceAndFreesTheDialogOnce) {
  const std::string a = WriteCapture("a.jpg", {400, 300}, cv::Scalar(0, 0, 255));
  const std::string b = WriteCapture("b.jpg", {400, 300}, cv::Scalar(255, 0, 0));
  int ends = 0;
  auto expectOneEnd = [&](CShowImageDlg* dialog, const char* how) {
    ++ends;
    Pump();
    EXPECT_EQ(owner.mergeDialog, nullptr) << how;
    EXPECT_EQ(owner.closingCalls, ends) << how;
    ASSERT_EQ(owner.Count(WM_MERGE_FINISHED), ends) << how;
    EXPECT_EQ(owner.posted.back().wParam, reinterpret_cast<WPARAM>(dialog)) << how;
  };
  CShowImageDlg* dialog = Open({a, b});
  Click(IDCANCEL);
  expectOneEnd(dialog, "cancel");
  EXPECT_EQ(owner.mergedPaths, std::vector<CString>{CString()});

  dialog = Open({a, b});
  PostMessageW(dialog->m_hWnd, WM_CLOSE, 0, 0);
  expectOneEnd(dialog, "close box");

  dialog = Open({a, b});
  owner.mergeDialog->DestroyWindow();  // the main window at exit
  expectOneEnd(dialog, "owner destroys the window");

  dialog = Open({a, b});
  delete owner.mergeDialog;  // the owner deletes it outright
  expectOneEnd(dialog, "owner deletes the object");

  // A capture queued before WM_MERGE_FINISHED finds no dialog any more.
  dialog = Open({a, b});
  PostMessageW(owner.m_hWnd, WM_APP, 0, 0);
  bool captureReachedDialog = false;
  dialog->DestroyWindow();
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, owner.m_hWnd, WM_APP, WM_APP, PM_REMOVE));
  if (owner.mergeDialog) {
    owner.mergeDialog->AddImage(Wide(a));
    captureReachedDialog = true;
  }
  EXPECT_FALSE(captureReachedDialog);
  expectOneEnd(dialog, "capture after the end");
}

TEST_F(MergeDialogTest, ScreenshotsInTheThreeLanguages) {
  vqtest::SkinBitmaps skins;
  const std::string a = WriteCapture("a.jpg", {400, 300}, cv::Scalar(40, 90, 220), {0.1, 0.1, 0.3, 0.3});
  const std::string b = WriteCapture("b.jpg", {300, 400}, cv::Scalar(220, 120, 40), {0.5, 0.5, 0.3, 0.3});
  const wchar_t* captions[] = {L"图像合并", L"圖像合併", L"Image combination"};
  const wchar_t* prints[] = {L"打印", L"列印", L"Print"};
  for (int language = 0; language < 3; ++language) {
    CShowImageDlg* dialog = Open({a, b}, language);
    if (language == 2) Click(kArrangement);
    const std::string name = "merge-dialog-" + std::to_string(language) + ".png";
    EXPECT_FALSE(vqtest::SaveScreenshot(dialog->m_hWnd, name).empty());
    EXPECT_EQ(vqtest::LayoutProblems(dialog->m_hWnd), std::vector<std::string>{}) << name;
    CString text;
    dialog->GetWindowText(text);
    EXPECT_EQ(text, captions[language]);
    dialog->GetDlgItemText(kPrint, text);
    EXPECT_EQ(text, prints[language]);
    dialog->DestroyWindow();
  }
}

}  // namespace
