// The data source's merge dialog on made-up pages: which slot takes which
// page, the join geometry, swapping and turning the arrangement, and
// deleting a page through the context menu.
#include "twain/MergeImageDlg.h"

#include <gtest/gtest.h>

#include "platform/win/Menu.h"
#include "platform/win/MessageBox.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/TestInput.h"
#include "resources/Resources.h"
#include "twain/PageJoin.h"
#include "tests/support/MessageBoxes.h"
#include "tests/support/Windows.h"

namespace {

using strenvik::CMergeImageDlg;

cv::Mat Page(int width, int height, uchar shade) { return cv::Mat(height, width, CV_8UC3, cv::Scalar(shade, shade, shade)); }

uchar At(const cv::Mat& image, int x, int y) { return image.at<cv::Vec3b>(y, x)[0]; }

void Pump() { vqtest::DispatchQueued(); }

TEST(MergePagesTest, JoinsAreWhiteWhereThePagesLeaveRoom) {
  const cv::Mat first = Page(1000, 800, 10), second = Page(600, 900, 20);
  cv::Mat out;
  strenvik::JoinImagesSideBySide(&out, first, second);
  ASSERT_EQ(out.size(), cv::Size(1600, 900));
  EXPECT_EQ(At(out, 999, 799), 10);
  EXPECT_EQ(At(out, 0, 800), 255) << "white below the first page";
  EXPECT_EQ(At(out, 1000, 899), 20);
  strenvik::StackImagesVertically(&out, first, second);
  ASSERT_EQ(out.size(), cv::Size(1000, 1700));
  EXPECT_EQ(At(out, 0, 799), 10);
  EXPECT_EQ(At(out, 0, 800), 20);
  EXPECT_EQ(At(out, 600, 800), 255) << "white right of the second page";
  strenvik::StackImagesVertically(&out, first, cv::Mat(5, 5, CV_8UC1));
  EXPECT_TRUE(out.empty());
  strenvik::JoinImagesSideBySide(&out, cv::Mat(), second);
  EXPECT_TRUE(out.empty());
}

TEST(MergePagesTest, ThirdPageReplacesTheFirstSlotAndSwapOrDirectionChangeTheMerge) {
  vqtest::ExpectedBoxes boxes;
  boxes.Expect(L"需要两张图像才能合并");
  CMergeImageDlg dialog(1, nullptr);
  dialog.AddImage(Page(40, 30, 1));  // landscape: both slots 420 x 315
  dialog.AddImage(Page(30, 60, 2));
  dialog.AddImage(cv::Mat(30, 40, CV_8UC1, cv::Scalar(9)));  // refused by the slot, the turn passes on
  dialog.AddImage(Page(40, 30, 3));
  EXPECT_EQ(dialog.Item(0)->GetRect().Size(), CSize(420, 315));
  EXPECT_EQ(dialog.Item(1)->GetRect().Size(), CSize(420, 315));
  EXPECT_EQ(At(dialog.Item(0)->GetPage(), 0, 0), 1) << "the refused grey page used up slot 0's turn";
  dialog.AddImage(Page(40, 30, 4));
  EXPECT_EQ(At(dialog.Item(0)->GetPage(), 0, 0), 4);
  EXPECT_EQ(At(dialog.Item(1)->GetPage(), 0, 0), 3);

  ASSERT_TRUE(dialog.Create(CMergeImageDlg::IDD, nullptr));
  wchar_t caption[32] = {};
  GetDlgItemTextW(dialog.GetSafeHwnd(), 6025, caption, 32);
  EXPECT_STREQ(caption, L"左右合并");
  const CRect top = dialog.Item(0)->GetRect(), bottom = dialog.Item(1)->GetRect();
  EXPECT_EQ(bottom.top, top.bottom + 7) << "one above the other";
  dialog.OnOK();
  ASSERT_EQ(dialog.m_mergedImage.size(), cv::Size(40, 60));
  EXPECT_EQ(At(dialog.m_mergedImage, 0, 0), 4);
  EXPECT_EQ(At(dialog.m_mergedImage, 0, 30), 3);

  dialog.OnSwapOrder();
  dialog.OnToggleDirection();
  GetDlgItemTextW(dialog.GetSafeHwnd(), 6025, caption, 32);
  EXPECT_STREQ(caption, L"上下合并");
  EXPECT_EQ(dialog.Item(1)->GetRect().left, 7) << "the second page leads after the swap";
  EXPECT_EQ(dialog.Item(0)->GetRect().left, 7 + 420 + 7);
  dialog.OnOK();
  ASSERT_EQ(dialog.m_mergedImage.size(), cv::Size(80, 30));
  EXPECT_EQ(At(dialog.m_mergedImage, 0, 0), 3);
  EXPECT_EQ(At(dialog.m_mergedImage, 40, 0), 4);
  EXPECT_TRUE(vqplatform::MessageBoxLog().empty());

  // Deleting a page through the context menu leaves one: OK only warns.
  vqplatform::SetPopupMenuAnswer([](const vqplatform::PopupMenuRecord& menu) {
    EXPECT_EQ(menu.texts.at(0), L"删除文件");
    return UINT(ID_STRIP_DELETE);
  });
  PostMessageW(dialog.GetSafeHwnd(), WM_THUMB_NOTIFY, 1, strenvik::CPageThumbItem::kContextMenu);
  Pump();
  vqplatform::SetPopupMenuAnswer(nullptr);
  EXPECT_FALSE(dialog.Item(1)->HasImage());
  EXPECT_TRUE(dialog.Item(0)->HasImage());
  dialog.m_mergedImage.release();
  dialog.OnOK();
  ASSERT_EQ(vqplatform::MessageBoxLog().size(), 1u);
  EXPECT_EQ(vqplatform::MessageBoxLog()[0].text, L"需要两张图像才能合并");
  EXPECT_TRUE(dialog.m_mergedImage.empty());
}

}  // namespace
