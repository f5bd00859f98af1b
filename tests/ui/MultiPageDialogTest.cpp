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
using vqtest::Wide;
using vqtest::WriteCapture;
using Indices = std::vector<int>;

namespace {

constexpr int kPreviousGroup = 1093, kPreviousPage = 1091, kNextPage = 1092, kNextGroup = 1094;
constexpr int kSave = 1032, kCancel = 1033;

class MultiPageDialogTest : public ::testing::Test {
 protected:
  // The capture command's first capture of a run.
  void Open(int mode, int language = 0, const char* output = "document") {
    delete dialog;
    owner.posted.clear();
    dialog = new CMultiPageDlg(&owner, mode, language);
    dialog->settings.keepMergeSources = 0;
    dialog->outputPath = Wide(vqtest::TempPath(std::string(output) + (mode == 1 ? ".tif" : ".pdf")).string());
    EXPECT_TRUE(dialog->Create(CMultiPageDlg::IDD, &owner));
    dialog->ShowWindow(SW_SHOW);
  }
  // Captures named A, B, ... 200, 220, ... pixels wide, in a colour mode.
  std::vector<std::string> AddPages(int count, int colorMode = 0) {
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i, ++added_) {
      files.push_back(WriteCapture(std::string(1, char('A' + added_)) + ".jpg", {200 + 20 * i, 150}, {40.0 * i, 80, 200}));
      dialog->settings.colorMode = colorMode;
      EXPECT_TRUE(dialog->AddFile(Wide(files.back())));
    }
    vqtest::Pump(dialog->m_hWnd);
    return files;
  }
  std::string Order() const {
    std::string order;
    for (const CString& page : dialog->pages) order += fs::path(page.ToUtf8()).stem().string();
    return order;
  }
  Indices Shown() const {
    Indices shown;
    for (const CThumbItem* item : dialog->Items()) shown.push_back(item->m_index);
    return shown;
  }
  void Click(int id) {
    vqplatform::ClickControl(dialog->m_hWnd, id);
    vqtest::Pump(dialog->m_hWnd);
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
  vqtest::SkinBitmaps skins;
  CMultiPageDlg* dialog = nullptr;
  int added_ = 0;
};

TEST_F(MultiPageDialogTest, StripShowsTheNewestPagesAndPagesByOneAndByFour) {
  Open(0);
  AddPages(3);
  EXPECT_EQ(Shown(), (Indices{0, 1, 2, -1}));
  EXPECT_FALSE(dialog->Items()[3]->IsNull());  // the empty slot picture
  for (int id : {kPreviousGroup, kPreviousPage, kNextPage, kNextGroup}) Click(id);
  EXPECT_EQ(Shown(), (Indices{0, 1, 2, -1}));
  EXPECT_TRUE(dialog->AddFile(dialog->pages[0]));  // already listed: not again
  AddPages(3);
  const std::pair<int, Indices> steps[] = {{kPreviousGroup, {0, 1, 2, 3}}, {kPreviousPage, {0, 1, 2, 3}},
                                           {kNextPage, {1, 2, 3, 4}},      {kNextGroup, {2, 3, 4, 5}},
                                           {kNextPage, {2, 3, 4, 5}}};
  EXPECT_EQ(Shown(), (Indices{2, 3, 4, 5}));
  for (const auto& [button, shown] : steps) {
    Click(button);
    EXPECT_EQ(Shown(), shown) << button;
  }
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  ASSERT_TRUE(GetLayeredWindowAttributes(dialog->m_hWnd, &key, &alpha, &flags));
  EXPECT_EQ(std::make_pair(key, alpha), std::make_pair(RGB(255, 250, 250), BYTE{240}));
}

TEST_F(MultiPageDialogTest, MovingAPagePutsItBeforeTheChosenPageAndDeletingRemovesItsFile) {
  Open(1);
  AddPages(2, 0);
  AddPages(2, 2);  // A B colour, C D black-and-white
  ChooseOnPage(0, ID_PAGE_INSERT_FIRST + 2);  // A "3之前"
  EXPECT_EQ(answers.offered, (std::vector<std::wstring>{L"删除", L"插入"}));
  EXPECT_EQ(Order(), "BACD");
  ChooseOnPage(3, ID_PAGE_INSERT_FIRST + 1);  // D "2之前"
  EXPECT_EQ(Order(), "BDAC");
  EXPECT_EQ(dialog->pageTypes, (Indices{0, 2, 0, 2}));
  ChooseOnPage(3, ID_PAGE_INSERT_FIRST);  // C "1之前"
  ChooseOnPage(0, ID_PAGE_INSERT_FIRST + 4);  // there is no "5之前"
  EXPECT_EQ(Order(), "CBDA");
  const std::string removed = dialog->pages[1].ToUtf8();
  ChooseOnPage(1, ID_PAGE_DELETE);
  EXPECT_EQ(Order(), "CDA");
  EXPECT_EQ(dialog->pageTypes, (Indices{2, 2, 0}));
  EXPECT_FALSE(fs::exists(removed));
  // Five pages, page 2 deleted: the strip shows the four left.
  Open(0, 0, "five");
  AddPages(5);
  Click(kPreviousPage);
  ChooseOnPage(1, ID_PAGE_DELETE);
  EXPECT_EQ(dialog->pages.size(), 4u);
  EXPECT_EQ(Shown(), (Indices{0, 1, 2, 3}));
}

TEST_F(MultiPageDialogTest, CombinedTiffHoldsThePagesInListOrderAtTheWriterDefaults) {
  Open(1);
  dialog->settings.xDpi = dialog->settings.yDpi = 300;  // the writer keeps its own 200 dpi and quality 50
  dialog->settings.jpgQuality = 90;
  std::vector<std::string> files = AddPages(1, 0);
  const std::pair<std::string, int> more[] = {{"grey.jpg", 1}, {"ink.tif", 2}, {"late.jpg", 0}, {"dropped.jpg", 0}};
  for (const auto& [name, mode] : more) {
    files.push_back(WriteCapture(name, {name == "ink.tif" ? 304 : 260, 150}, cv::Scalar::all(255), {0.1, 0.1, 0.5, 0.5}));
    // Grey files; "late" was saved in grey while the run's colour mode still said colour.
    if (name != "ink.tif") cv::imwrite(files.back(), cv::Mat(150, 260, CV_8UC1, cv::Scalar(90)));
    dialog->settings.colorMode = mode;
    dialog->AddFile(Wide(files.back()));
  }
  vqtest::Pump(dialog->m_hWnd);
  ChooseOnPage(4, ID_PAGE_DELETE);
  ChooseOnPage(2, ID_PAGE_INSERT_FIRST);  // the ink page first
  Click(kSave);
  const auto pages = imagingtest::ReadTiff(vqtest::TempPath("document.tif"));
  ASSERT_EQ(pages.size(), 4u);
  const uint16_t compression[] = {COMPRESSION_CCITTFAX4, COMPRESSION_JPEG, COMPRESSION_JPEG, COMPRESSION_JPEG};
  const uint16_t samples[] = {1, 3, 1, 3};
  const uint32_t widths[] = {304, 200, 260, 260};
  for (size_t i = 0; i < pages.size(); ++i) {
    EXPECT_EQ(std::make_tuple(pages[i].compression, pages[i].samples, pages[i].width),
              std::make_tuple(compression[i], samples[i], widths[i])) << i;
    EXPECT_EQ(std::make_pair(pages[i].xResolution, pages[i].yResolution), std::make_pair(200.0f, 200.0f)) << i;
    EXPECT_EQ(imagingtest::FirstQuantValue(pages[i].jpegTables), i == 0 ? -1 : 16) << i;  // quality 50
  }
  EXPECT_LT(pages[0].pixels.at<cv::Vec3b>(40, 60)[0], 50);  // the ink
  vqtest::Pump();
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1);
  // A capture arriving before the owner deletes the dialog is refused.
  const std::string after = WriteCapture("after.jpg", {200, 150}, cv::Scalar::all(200));
  EXPECT_FALSE(dialog->AddFile(Wide(after)));
  delete dialog;  // as the owner does on WM_MULTIPAGE_CLOSED
  dialog = nullptr;
  for (const std::string& file : files) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_TRUE(fs::exists(after));
}

TEST_F(MultiPageDialogTest, ClosingWithoutSavingDeletesThePageFilesUnlessSourcesAreKept) {
  for (bool keep : {false, true}) {
    Open(keep ? 0 : 1);
    dialog->settings.keepMergeSources = keep;
    const std::vector<std::string> files = AddPages(2);
    if (keep) PostMessageW(dialog->m_hWnd, WM_CLOSE, 0, 0);  // the close box
    else Click(kCancel);
    vqtest::Pump(dialog->m_hWnd);
    EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1) << keep;
    delete dialog;
    dialog = nullptr;
    for (const std::string& file : files) EXPECT_EQ(fs::exists(file), keep) << file;
    EXPECT_FALSE(fs::exists(vqtest::TempPath(keep ? "document.pdf" : "document.tif")));
  }
}

TEST_F(MultiPageDialogTest, ADocumentThatCannotBeWrittenKeepsTheDialogAndItsPages) {
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("blocker"), "a file, not a folder"));
  for (int mode : {1, 0}) {
    Open(mode, 2, "blocker/document");
    std::vector<std::string> files = AddPages(3);
    Click(kSave);
    EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"The multipage file could not be saved:\n" +
                                                             dialog->outputPath.str() +
                                                             L"\nThe collected pages stay in the window."});
    vqplatform::ClearMessageBoxLog();
    vqtest::Pump();
    EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 0) << mode;
    EXPECT_EQ(dialog->pages.size(), 3u);
    for (const std::string& file : files) EXPECT_TRUE(fs::exists(file));
    // Once the path can be written the same pages make the document.
    dialog->outputPath = Wide(vqtest::TempPath(mode ? "document.tif" : "document.pdf").string());
    ChooseOnPage(2, ID_PAGE_INSERT_FIRST);
    Click(kSave);
    vqtest::Pump();
    EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1) << mode;
  }
  // The PDF: a page per file, each the size of its picture, in list order.
  EXPECT_EQ(pdfcheck::PageSizes(vqtest::TempPath("document.pdf").string()),
            (std::vector<std::string>{"240 x 150", "200 x 150", "220 x 150"}));
  EXPECT_EQ(imagingtest::ReadTiff(vqtest::TempPath("document.tif")).size(), 3u);
}

TEST_F(MultiPageDialogTest, ScreenshotsInTheThreeLanguages) {
  const wchar_t* captions[] = {L"存为多页文件", L"儲存到多頁文件", L"Save in MultiPage File"};
  const wchar_t* combine[] = {L"合并图像", L"組合圖像", L"Combine"};
  for (int language = 0; language < 3; ++language) {
    Open(1, language);
    AddPages(3);
    const std::string name = "multipage-dialog-" + std::to_string(language) + ".png";
    EXPECT_FALSE(vqtest::SaveScreenshot(dialog->m_hWnd, name).empty());
    EXPECT_EQ(vqtest::LayoutProblems(dialog->m_hWnd), std::vector<std::string>{}) << name;
    CRect top, bottom;  // the strip lies between the two rows of buttons
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
  }
}

}  // namespace
