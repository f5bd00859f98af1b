// The multipage dialog as a one-PDF or multipage-TIFF run uses it: pages
// collected, paged through, moved and deleted from their menu, written and
// read back, and the page files' fate when it closes.
#include "ui/MultiPageDlg.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <opencv2/imgcodecs.hpp>

#include "platform/win/GdiLayered.h"
#include "platform/win/TestInput.h"
#include "tests/app/PdfCheck.h"
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

constexpr int kPreviousGroup = 1093, kPreviousPage = 1091, kNextPage = 1092, kNextGroup = 1094;
constexpr int kSave = 1032, kCancel = 1033;

class MultiPageDialogTest : public ::testing::Test {
 protected:
  // The capture command's first capture of a run.
  CMultiPageDlg* Open(int mode, int language = 0, const char* output = "document") {
    dialog = new CMultiPageDlg(&owner, mode, language);
    dialog->settings.keepMergeSources = 0;
    dialog->outputPath = Wide(vqtest::TempPath(std::string(output) + (mode == 1 ? ".tif" : ".pdf")).string());
    EXPECT_TRUE(dialog->Create(CMultiPageDlg::IDD, &owner));
    dialog->ShowWindow(SW_SHOW);
    return dialog;
  }
  // Page files named A, B, ... of distinct widths (in colour mode unless given).
  std::vector<std::string> AddPages(int count, int colorMode = 0) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
      std::string name(1, static_cast<char>('A' + static_cast<int>(names_.size())));
      names_.push_back(name);
      files.push_back(WriteCapture(name + ".jpg", {200 + 20 * i, 150}, cv::Scalar(40 * i, 80, 200)));
      dialog->settings.colorMode = colorMode;
      EXPECT_TRUE(dialog->AddFile(Wide(files.back())));
    }
    Pump(dialog->m_hWnd);
    return files;
  }
  std::string Order() const {
    std::string order;
    for (const CString& page : dialog->pages) order += fs::path(page.ToUtf8()).stem().string();
    return order;
  }
  std::vector<int> Shown() const {
    std::vector<int> shown;
    for (const CThumbItem* item : dialog->Items()) shown.push_back(item->m_index);
    return shown;
  }
  void Click(int id) {
    vqplatform::ClickControl(dialog->m_hWnd, id);
    Pump(dialog->m_hWnd);
  }
  // Chooses a menu entry on the picture of a shown page.
  void ChooseOnPage(int page, UINT command) {
    answers.choice = command;
    for (const CThumbItem* item : dialog->Items())
      if (item->m_index == page) vqtest::RightClickAt(dialog->m_hWnd, item->GetRect().CenterPoint());
  }
  void TearDown() override { delete dialog; }

  vqtest::OwnerWindow owner;
  vqtest::MenuAndBoxAnswers answers;
  CMultiPageDlg* dialog = nullptr;

 private:
  std::vector<std::string> names_;
};

TEST_F(MultiPageDialogTest, StripShowsTheNewestPagesAndPagesByOneAndByFour) {
  vqtest::SkinBitmaps skins;
  Open(0);
  AddPages(3);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, -1}));
  EXPECT_FALSE(dialog->Items()[3]->IsNull());  // the empty slot picture
  EXPECT_TRUE(dialog->Items()[3]->GetFilePath().IsEmpty());
  for (int id : {kPreviousGroup, kPreviousPage, kNextPage, kNextGroup}) Click(id);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, -1}));
  // A file already listed is not added again.
  EXPECT_TRUE(dialog->AddFile(dialog->pages[0]));
  EXPECT_EQ(dialog->pages.size(), 3u);

  AddPages(3);  // six pages: the last four
  EXPECT_EQ(Shown(), (std::vector<int>{2, 3, 4, 5}));
  Click(kPreviousGroup);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 3}));
  Click(kPreviousPage);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 3}));
  Click(kNextPage);
  EXPECT_EQ(Shown(), (std::vector<int>{1, 2, 3, 4}));
  Click(kNextGroup);
  EXPECT_EQ(Shown(), (std::vector<int>{2, 3, 4, 5}));
  Click(kNextPage);
  EXPECT_EQ(Shown(), (std::vector<int>{2, 3, 4, 5}));
  // Its window is drawn at 240 of 255 with the light key colour see-through.
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(dialog->m_hWnd, &key, &alpha, &flags));
  EXPECT_EQ(key, RGB(255, 250, 250));
  EXPECT_EQ(alpha, 240);
}

TEST_F(MultiPageDialogTest, MovingAPagePutsItBeforeTheChosenPageAndDeletingRemovesItsFile) {
  Open(1);
  AddPages(2, 0);
  AddPages(2, 2);  // A B colour, C D black-and-white
  // "3之前" on A: before C.
  ChooseOnPage(0, ID_PAGE_INSERT_FIRST + 2);
  EXPECT_EQ(answers.offered, (std::vector<std::wstring>{L"删除", L"插入"}));
  EXPECT_EQ(Order(), "BACD");
  EXPECT_EQ(dialog->pageTypes, (std::vector<int>{0, 0, 2, 2}));
  // "2之前" on D: before A.
  ChooseOnPage(3, ID_PAGE_INSERT_FIRST + 1);
  EXPECT_EQ(Order(), "BDAC");
  EXPECT_EQ(dialog->pageTypes, (std::vector<int>{0, 2, 0, 2}));
  // "1之前" on C moves it to the front; an entry past the last page is not there.
  ChooseOnPage(3, ID_PAGE_INSERT_FIRST);
  EXPECT_EQ(Order(), "CBDA");
  ChooseOnPage(0, ID_PAGE_INSERT_FIRST + 4);
  EXPECT_EQ(Order(), "CBDA");
  // "删除" on page 2: its file goes, its type with it.
  const std::string removed = dialog->pages[1].ToUtf8();
  ChooseOnPage(1, ID_PAGE_DELETE);
  EXPECT_EQ(Order(), "CDA");
  EXPECT_EQ(dialog->pageTypes, (std::vector<int>{2, 2, 0}));
  EXPECT_FALSE(fs::exists(removed));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, -1}));

  // Five pages, page 2 deleted: the strip shows the remaining four.
  delete dialog;
  Open(0, 0, "five");
  AddPages(5);
  Click(kPreviousPage);
  ChooseOnPage(1, ID_PAGE_DELETE);
  EXPECT_EQ(dialog->pages.size(), 4u);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(MultiPageDialogTest, CombinedTiffHoldsThePagesInListOrderAtTheWriterDefaults) {
  Open(1);
  dialog->settings.xDpi = dialog->settings.yDpi = 300;  // not used: the writer's own 200 dpi
  dialog->settings.jpgQuality = 90;
  std::vector<std::string> files = AddPages(1, 0);  // A colour
  dialog->settings.colorMode = 1;
  files.push_back(WriteCapture("grey.jpg", {260, 150}, cv::Scalar::all(128)));
  dialog->AddFile(Wide(files.back()));
  dialog->settings.colorMode = 2;
  files.push_back(WriteCapture("ink.tif", {304, 150}, cv::Scalar::all(255), {0.1, 0.1, 0.5, 0.5}));
  dialog->AddFile(Wide(files.back()));
  // A grey file recorded while the colour mode said colour still makes a page.
  dialog->settings.colorMode = 0;
  files.push_back(WriteCapture("late.jpg", {320, 150}, cv::Scalar::all(90)));
  cv::imwrite(files.back(), cv::Mat(150, 320, CV_8UC1, cv::Scalar(90)));
  dialog->AddFile(Wide(files.back()));
  files.push_back(WriteCapture("dropped.jpg", {340, 150}, cv::Scalar::all(60)));
  dialog->AddFile(Wide(files.back()));
  Pump(dialog->m_hWnd);
  ChooseOnPage(4, ID_PAGE_DELETE);
  ChooseOnPage(2, ID_PAGE_INSERT_FIRST);  // ink first
  Click(kSave);

  const auto pages = imagingtest::ReadTiff(vqtest::TempPath("document.tif"));
  ASSERT_EQ(pages.size(), 4u);
  const uint16_t compression[] = {COMPRESSION_CCITTFAX4, COMPRESSION_JPEG, COMPRESSION_JPEG, COMPRESSION_JPEG};
  const uint16_t samples[] = {1, 3, 1, 3};
  const uint32_t widths[] = {304, 200, 260, 320};
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(pages[i].compression, compression[i]) << i;
    EXPECT_EQ(pages[i].samples, samples[i]) << i;
    EXPECT_EQ(pages[i].width, widths[i]) << i;
    EXPECT_FLOAT_EQ(pages[i].xResolution, 200) << i;
    EXPECT_FLOAT_EQ(pages[i].yResolution, 200) << i;
    if (compression[i] == COMPRESSION_JPEG) {
      EXPECT_EQ(imagingtest::FirstQuantValue(pages[i].jpegTables), 16) << i;  // quality 50
    }
  }
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(40, 60)[0], 50);  // the ink block
  Pump();
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1);
  EXPECT_TRUE(dialog->IsClosed());
  // A capture arriving before the owner deletes the dialog is refused.
  EXPECT_FALSE(dialog->AddFile(Wide(WriteCapture("after.jpg", {200, 150}, cv::Scalar::all(200)))));
  delete dialog;  // as the owner does on WM_MULTIPAGE_CLOSED
  dialog = nullptr;
  for (const std::string& file : files) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(vqtest::TempPath("after.jpg")));
}

TEST_F(MultiPageDialogTest, CombinedPdfHasOnePagePerFileInListOrder) {
  Open(0);
  AddPages(3);  // 200, 220 and 240 pixels wide
  ChooseOnPage(2, ID_PAGE_INSERT_FIRST);
  Click(kSave);
  const auto sizes = pdfcheck::PageSizes(vqtest::TempPath("document.pdf").string());
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_EQ(sizes[0], "240 x 150");
  EXPECT_EQ(sizes[1], "200 x 150");
  EXPECT_EQ(sizes[2], "220 x 150");
  Pump();
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1);
}

TEST_F(MultiPageDialogTest, ClosingWithoutSavingDeletesThePageFilesUnlessSourcesAreKept) {
  Open(1);
  std::vector<std::string> files = AddPages(2);
  Click(kCancel);
  Pump();
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1);
  EXPECT_FALSE(IsWindowVisible(dialog->m_hWnd));
  delete dialog;
  for (const std::string& file : files) EXPECT_FALSE(fs::exists(file));
  EXPECT_FALSE(fs::exists(vqtest::TempPath("document.tif")));

  // The close box with the sources kept.
  Open(0);
  dialog->settings.keepMergeSources = 1;
  files = AddPages(2);
  PostMessageW(dialog->m_hWnd, WM_CLOSE, 0, 0);
  Pump(dialog->m_hWnd);
  Pump();
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 2);
  delete dialog;
  dialog = nullptr;
  for (const std::string& file : files) EXPECT_TRUE(fs::exists(file));
  EXPECT_FALSE(fs::exists(vqtest::TempPath("document.pdf")));
}

TEST_F(MultiPageDialogTest, ADocumentThatCannotBeWrittenKeepsTheDialogAndItsPages) {
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("blocker"), "a file, not a folder"));
  for (int mode : {0, 1}) {
    Open(mode, 2, "blocker/document");
    std::vector<std::string> files = AddPages(2);
    Click(kSave);
    EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"The multipage file could not be saved"});
    vqplatform::ClearMessageBoxLog();
    Pump();
    EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 0) << mode;
    EXPECT_FALSE(dialog->IsClosed());
    EXPECT_EQ(dialog->pages.size(), 2u);
    for (const std::string& file : files) EXPECT_TRUE(fs::exists(file));
    // Once the path can be written the same pages make the document.
    dialog->outputPath = Wide(vqtest::TempPath(mode ? "document.tif" : "document.pdf").string());
    Click(kSave);
    EXPECT_TRUE(fs::exists(dialog->outputPath.ToUtf8())) << mode;
    Pump();
    EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1) << mode;
    owner.posted.clear();
    delete dialog;
    dialog = nullptr;
  }
}

TEST_F(MultiPageDialogTest, ScreenshotsInTheThreeLanguages) {
  vqtest::SkinBitmaps skins;
  const wchar_t* captions[] = {L"存为多页文件", L"儲存到多頁文件", L"Save in MultiPage File"};
  const wchar_t* combine[] = {L"合并图像", L"組合圖像", L"Combine"};
  for (int language = 0; language < 3; ++language) {
    Open(1, language);
    AddPages(3);
    const std::string name = "multipage-dialog-" + std::to_string(language) + ".png";
    EXPECT_FALSE(vqtest::SaveScreenshot(dialog->m_hWnd, name).empty());
    EXPECT_EQ(vqtest::LayoutProblems(dialog->m_hWnd), std::vector<std::string>{}) << name;
    // The strip lies between the paging buttons and the bottom buttons.
    CRect top, bottom;
    dialog->GetDlgItem(kNextGroup)->GetWindowRect(&top);
    dialog->GetDlgItem(kSave)->GetWindowRect(&bottom);
    dialog->ScreenToClient(&top);
    dialog->ScreenToClient(&bottom);
    EXPECT_LE(top.bottom, dialog->Items()[0]->GetRect().top);
    EXPECT_GE(bottom.top, dialog->Items()[3]->GetRect().bottom);
    CString text;
    dialog->GetWindowText(text);
    EXPECT_EQ(text, captions[language]);
    dialog->GetDlgItemText(kSave, text);
    EXPECT_EQ(text, combine[language]);
    delete dialog;
    dialog = nullptr;
  }
}

}  // namespace
