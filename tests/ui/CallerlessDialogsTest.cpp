// The dialogs no part of the program opens, driven as a maker would: the
// timed-shots list with its thumbnails, and the page strip that writes
// TIFF pages at the settings' resolution and quality.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <opencv2/imgproc.hpp>

#include "app/ImageConversions.h"
#include "platform/mfc/CImage.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/Shell.h"
#include "platform/win/TestInput.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/LayoutCheck.h"
#include "tests/ui/ScreenshotSupport.h"
#include "ui/PdfTifDlg.h"
#include "ui/PicDlg.h"

namespace fs = std::filesystem;
using vqtest::Pump;
using vqtest::Wide;
using vqtest::WriteCapture;

namespace {

constexpr int kList = 1066, kCount = 1064;

std::vector<std::string> Shots(int count) {
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i)
    files.push_back(WriteCapture("shot" + std::to_string(i) + ".jpg", {320, 240}, cv::Scalar(30 * i, 120, 220 - 20 * i),
                                 {0.1 * (i % 5), 0.2, 0.3, 0.3}));
  return files;
}

// A thumbnail of a file as the list's picture: a bitmap of the list's size.
void AddShot(CPicDlg& dialog, const std::string& file, int colorMode) {
  cv::Mat picture = LoadImageAsMat(Wide(file)), small;
  cv::resize(picture, small, cv::Size(dialog.thumbWidth, dialog.thumbHeight), 0, 0, cv::INTER_AREA);
  void* bits = nullptr;
  CBitmap bitmap;
  bitmap.Attach(vqplatform::CreateTopDownDib24(nullptr, small.cols, small.rows, &bits));
  for (int y = 0; y < small.rows; ++y)
    std::memcpy(static_cast<uchar*>(bits) + y * vqplatform::Dib24Stride(small.cols), small.ptr(y),
                static_cast<size_t>(small.cols) * 3);
  const int image = dialog.imageList.Add(&bitmap, nullptr);
  dialog.files.push_back(Wide(file));
  dialog.colorModes.push_back(colorMode);
  dialog.list.InsertItem(dialog.list.GetItemCount(), Wide(fs::path(file).filename().string()), image);
}

RECT ItemRect(HWND list, int index) {
  RECT rect{};
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
  return rect;
}

TEST(CallerlessDialogsTest, TimedShotsListShowsDeletesAndCombinesItsShots) {
  vqtest::OwnerWindow owner;
  vqtest::MenuAndBoxAnswers answers;
  vqplatform::ClearRecordedShellCalls();
  const std::vector<std::string> files = Shots(8);
  CPicDlg dialog(&owner);
  dialog.mode = 3;
  dialog.thumbWidth = 96;
  dialog.thumbHeight = 72;
  dialog.settings.xDpi = dialog.settings.yDpi = 300;
  dialog.settings.jpgQuality = 90;
  dialog.outputPath = Wide(vqtest::TempPath("shots.tif").string());
  ASSERT_TRUE(dialog.Create(CPicDlg::IDD, &owner));
  dialog.ShowWindow(SW_SHOW);
  vqplatform::ClickControl(dialog.m_hWnd, IDOK);  // an empty list combines nothing
  Pump(dialog.m_hWnd);
  EXPECT_FALSE(fs::exists(dialog.outputPath.ToUtf8()));
  for (size_t i = 0; i < files.size(); ++i) AddShot(dialog, files[i], i == 1 ? 1 : 0);
  HWND list = dialog.list.m_hWnd;
  Pump(dialog.m_hWnd);
  EXPECT_FALSE(vqtest::SaveScreenshot(dialog.m_hWnd, "pic-dialog.png").empty());
  EXPECT_EQ(vqtest::LayoutProblems(dialog.m_hWnd), std::vector<std::string>{});
  CString text;
  dialog.GetWindowText(text);
  EXPECT_EQ(text, L"存为:" + dialog.outputPath);
  wchar_t heading[32] = {};
  LVCOLUMNW column{LVCF_TEXT, 0, 0, heading, 32, 0};
  ASSERT_TRUE(SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
  EXPECT_STREQ(heading, L"文件名");

  // Open, then delete the third shot: its file stays, later pictures follow their items.
  RECT third = ItemRect(list, 2);
  answers.choice = ID_THUMB_OPEN;
  vqtest::RightClickAt(list, POINT{(third.left + third.right) / 2, (third.top + third.bottom) / 2});
  ASSERT_EQ(vqplatform::RecordedShellCalls().size(), 1u);
  EXPECT_EQ(vqplatform::RecordedShellCalls()[0].target, vq::Utf8ToWide(files[2]));
  answers.choice = ID_THUMB_DELETE;
  vqtest::RightClickAt(list, POINT{(third.left + third.right) / 2, (third.top + third.bottom) / 2});
  EXPECT_EQ(std::make_pair(dialog.list.GetItemCount(), dialog.imageList.GetImageCount()), std::make_pair(7, 7));
  EXPECT_EQ(dialog.colorModes, (std::vector<int>{0, 1, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(fs::exists(files[2]));
  for (int i = 0; i < 7; ++i) EXPECT_EQ(dialog.list.GetItemImage(i), i);
  EXPECT_EQ(dialog.list.GetItemText(2, 0), L"shot3.jpg");
  dialog.GetDlgItemText(kCount, text);
  EXPECT_EQ(text, L"当前已经拍摄 7 张");
  // The last shot was scrolled into view.
  RECT client{};
  GetClientRect(list, &client);
  EXPECT_LE(ItemRect(list, 6).bottom, client.bottom);
  EXPECT_LT(ItemRect(list, 0).top, 0);

  // Combine writes the seven shots in list order and leaves the dialog open.
  vqplatform::ClickControl(dialog.m_hWnd, IDOK);
  Pump(dialog.m_hWnd);
  const auto pages = imagingtest::ReadTiff(vqtest::TempPath("shots.tif"));
  ASSERT_EQ(pages.size(), 7u);
  EXPECT_EQ(pages[1].samples, 1);
  EXPECT_EQ(pages[2].samples, 3);
  EXPECT_FLOAT_EQ(pages[0].xResolution, 300);
  EXPECT_EQ(imagingtest::FirstQuantValue(pages[0].jpegTables), 3);  // quality 90
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 2);
  EXPECT_TRUE(dialog.IsWindowVisible());
  vqplatform::ClickControl(dialog.m_hWnd, IDCANCEL);
  Pump(dialog.m_hWnd);
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 3);
  for (const std::string& file : files) EXPECT_TRUE(fs::exists(file));
}

TEST(CallerlessDialogsTest, PageStripPagesByOneAndWritesAtTheSettingsResolution) {
  vqtest::SkinBitmaps skins;
  vqtest::OwnerWindow owner;
  vqtest::MenuAndBoxAnswers answers;
  const std::vector<std::string> files = Shots(5);
  auto* strip = new CPdfTifDlg(&owner, 1);
  strip->settings.keepMergeSources = 0;
  strip->settings.xDpi = strip->settings.yDpi = 300;
  strip->settings.jpgQuality = 90;
  strip->outputPath = Wide(vqtest::TempPath("strip.tif").string());
  ASSERT_TRUE(strip->Create(CPdfTifDlg::IDD, &owner));
  strip->ShowWindow(SW_SHOW);
  for (const std::string& file : files) {
    strip->pages.push_back(Wide(file));
    strip->pageTypes.push_back(file == files[4] ? 2 : 0);
  }
  strip->ShowPages(-1);
  for (int button : {1093, 1091}) {  // the last four shown; "<<" does nothing here, "<" pages by one
    EXPECT_EQ(strip->Items()[0]->m_index, 1) << button;
    vqplatform::ClickControl(strip->m_hWnd, button);
    Pump(strip->m_hWnd);
  }
  EXPECT_EQ(strip->Items()[0]->m_index, 0);
  EXPECT_EQ(strip->Items()[0]->GetRect().left, 20);
  EXPECT_FALSE(vqtest::SaveScreenshot(strip->m_hWnd, "pdftif-dialog.png").empty());
  EXPECT_EQ(vqtest::LayoutProblems(strip->m_hWnd), std::vector<std::string>{});
  CString caption;
  strip->GetWindowText(caption);
  EXPECT_EQ(caption, L"存为:" + strip->outputPath);

  // The disk full: an older document of that name stays as it was, the
  // dialog says the document was not saved and keeps its pages.
  ASSERT_TRUE(vqtest::WriteFile(vqtest::TempPath("strip.tif"), "an older document"));
  {
    imagingtest::FileSizeLimit full(64);
    vqplatform::ClickControl(strip->m_hWnd, 1032);
    Pump(strip->m_hWnd);
  }
  EXPECT_EQ(vqtest::ReadFile(vqtest::TempPath("strip.tif")), "an older document");
  ASSERT_EQ(answers.BoxTexts().size(), 1u);
  EXPECT_EQ(answers.BoxTexts()[0].rfind(L"多页文件保存失败：\n" + strip->outputPath.str(), 0), 0u);
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 0);
  EXPECT_EQ(strip->pages.size(), 5u);

  vqplatform::ClickControl(strip->m_hWnd, 1032);
  Pump(strip->m_hWnd);
  const auto pages = imagingtest::ReadTiff(vqtest::TempPath("strip.tif"));
  ASSERT_EQ(pages.size(), 5u);
  EXPECT_FLOAT_EQ(pages[0].xResolution, 300);
  EXPECT_EQ(imagingtest::FirstQuantValue(pages[0].jpegTables), 3);
  EXPECT_EQ(pages[4].compression, COMPRESSION_CCITTFAX4);
  EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1);
  delete strip;
  for (const std::string& file : files) EXPECT_FALSE(fs::exists(file));
}

}  // namespace
