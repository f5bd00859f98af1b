// Thumbnails of real files (JPEG, G4 TIFF, a ".GIF" holding JPEG data), their
// placement, drawing and the notifications their parent receives.
#include "ui/ThumbItem.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <opencv2/imgcodecs.hpp>

#include "app/BrandingData.h"
#include "platform/display/Cursors.h"
#include "platform/mfc/CImageDraw.h"
#include "platform/win/Encoding.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Shell.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/FxButtonTestSupport.h"

namespace {

std::string WriteJpeg(const std::string& name, int width, int height) {
  cv::Mat image(height, width, CV_8UC3, cv::Scalar(30, 140, 220));
  std::string path = vqtest::TempPath(name).string();
  std::string jpeg = path + ".jpg";
  cv::imwrite(jpeg, image, {cv::IMWRITE_JPEG_QUALITY, 95});
  std::rename(jpeg.c_str(), path.c_str());
  return path;
}

// A black-on-white page stored with CCITT G4.
std::string WriteG4Tiff(const std::string& name, int width, int height) {
  std::string path = vqtest::TempPath(name).string();
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, height);
  std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8));
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);  // white
    if (y >= height / 4 && y < height * 3 / 4)
      for (int x = width / 4; x < width * 3 / 4; ++x) row[static_cast<size_t>(x / 8)] |= 0x80 >> (x % 8);
    TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0);
  }
  TIFFClose(tiff);
  return path;
}

CString Wide(const std::string& path) { return CString(vq::Utf8ToWide(path).c_str()); }

class ThumbItemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vqtest::FxButtonDialog::RegisterTemplate();
    ASSERT_TRUE(dialog_.Create(vqtest::FxButtonDialog::kTemplate));
    vqplatform::ClearRecordedShellCalls();
  }
  void TearDown() override { dialog_.DestroyWindow(); }
  // The WM_THUMB_NOTIFY messages waiting for the dialog, as (id, kind).
  std::vector<std::pair<WPARAM, LPARAM>> TakeNotifications() {
    std::vector<std::pair<WPARAM, LPARAM>> found;
    MSG msg{};
    while (PeekMessageW(&msg, dialog_.m_hWnd, WM_THUMB_NOTIFY, WM_THUMB_NOTIFY, PM_REMOVE))
      found.emplace_back(msg.wParam, msg.lParam);
    return found;
  }
  vqtest::FxButtonDialog dialog_;
};

TEST_F(ThumbItemTest, WidePictureFillsTheWidthAndIsCentred) {
  CThumbItem item(3);
  item.Init(WM_THUMB_NOTIFY, 3, 10, 20, 110, 100, &dialog_, false);  // 100 x 80
  ASSERT_TRUE(item.LoadFile(Wide(WriteJpeg("wide.jpg", 400, 100))));
  // Width limits: 100 - 2 - 2 wide; height trunc(100/400*100/2) = 12 each side, less 1.
  EXPECT_EQ(item.GetWidth(), 96);
  EXPECT_EQ(item.GetHeight(), 22);
  COLORREF middle = item.GetPixel(48, 11);
  EXPECT_NEAR(GetRValue(middle), 220, 6);
  EXPECT_NEAR(GetBValue(middle), 30, 6);
}

TEST_F(ThumbItemTest, G4TiffKeepsItsBlackInk) {
  CThumbItem item(1);
  item.Init(WM_THUMB_NOTIFY, 1, 0, 0, 82, 82, &dialog_, true);
  ASSERT_TRUE(item.LoadFile(Wide(WriteG4Tiff("page.tif", 400, 400))));
  EXPECT_EQ(item.GetWidth(), 78);  // a square fills the width first
  EXPECT_EQ(item.GetHeight(), 80);
  int centre = item.GetWidth() / 2;
  EXPECT_LT(GetRValue(item.GetPixel(centre, centre)), 40);  // ink
  EXPECT_GT(GetRValue(item.GetPixel(2, 2)), 215);           // paper
}

TEST_F(ThumbItemTest, GifNamedJpegLoadsAndBadInputGivesNoPicture) {
  CThumbItem item(2);
  item.Init(WM_THUMB_NOTIFY, 2, 0, 0, 60, 60, &dialog_, false);
  EXPECT_TRUE(item.LoadFile(Wide(WriteJpeg("photo.GIF", 120, 90))));
  EXPECT_FALSE(item.IsNull());
  vqtest::WriteFile(vqtest::TempPath("broken.jpg"), "not a picture");
  EXPECT_FALSE(item.LoadFile(Wide(vqtest::TempPath("broken.jpg").string())));
  EXPECT_TRUE(item.IsNull());
  item.SetRect(0, 0, 0, 40);
  EXPECT_FALSE(item.LoadFile(Wide(WriteJpeg("ok.jpg", 50, 50))));
  EXPECT_TRUE(item.IsNull());
}

TEST_F(ThumbItemTest, ClickOpensTheSelectedFileAndRightClickAsksForTheMenu) {
  CThumbItem first(7), second(8);
  first.Init(WM_THUMB_NOTIFY, 7, 0, 0, 50, 50, &dialog_, false);
  second.Init(WM_THUMB_NOTIFY, 8, 60, 0, 110, 50, &dialog_, false);
  std::string file = WriteJpeg("a.jpg", 64, 64);
  ASSERT_TRUE(first.LoadFile(Wide(file)));
  ASSERT_TRUE(second.LoadFile(Wide(WriteJpeg("b.jpg", 64, 64))));

  // Press on the first, release on the second: nothing opens.
  EXPECT_TRUE(first.OnLButtonDown(MK_LBUTTON, 10, 10));
  EXPECT_FALSE(second.OnLButtonDown(MK_LBUTTON, 10, 10));
  EXPECT_FALSE(first.OnLButtonUp(0, 70, 10));
  EXPECT_FALSE(second.OnLButtonUp(0, 70, 10));
  EXPECT_TRUE(TakeNotifications().empty());
  EXPECT_TRUE(vqplatform::RecordedShellCalls().empty());

  EXPECT_TRUE(first.OnMouseMove(0, 10, 10));
  EXPECT_TRUE(first.IsHover());
  EXPECT_TRUE(first.OnLButtonDown(MK_LBUTTON, 10, 10));
  EXPECT_TRUE(first.OnLButtonUp(0, 12, 12));
  EXPECT_FALSE(first.IsSelected());
  EXPECT_TRUE(second.OnRButtonDown(MK_RBUTTON, 80, 20));
  auto notes = TakeNotifications();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0], std::make_pair(WPARAM{7}, LPARAM{1}));
  EXPECT_EQ(notes[1], std::make_pair(WPARAM{8}, LPARAM{2}));
  auto calls = vqplatform::RecordedShellCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].target, vq::Utf8ToWide(file));
  EXPECT_EQ(calls[0].showCommand, SW_SHOWMAXIMIZED);

  // An empty item posts nothing on a right click.
  second.Clear();
  EXPECT_FALSE(second.OnRButtonDown(MK_RBUTTON, 80, 20));
  EXPECT_TRUE(TakeNotifications().empty());
}

TEST_F(ThumbItemTest, DrawingShowsPictureFramesAndPageNumber) {
  CThumbItem item(4);
  item.Init(WM_THUMB_NOTIFY, 4, 10, 10, 70, 70, &dialog_, true);
  ASSERT_TRUE(item.LoadFile(Wide(WriteJpeg("c.jpg", 64, 64))));
  item.m_index = 2;
  CImage canvas;
  ASSERT_TRUE(canvas.Create(90, -90, 24));
  HDC dc = vqplatform::GetImageDC(canvas);
  item.Draw(CDC::FromHandle(dc));
  EXPECT_EQ(GetPixel(dc, 10, 40), RGB(128, 128, 128));  // grey frame
  EXPECT_EQ(GetPixel(dc, 69, 40), RGB(128, 128, 128));
  COLORREF inside = GetPixel(dc, 50, 50);
  EXPECT_NEAR(GetRValue(inside), 220, 8);
  item.OnMouseMove(0, 40, 40);  // hover: raised frame
  item.Draw(CDC::FromHandle(dc));
  EXPECT_EQ(GetPixel(dc, 10, 40), RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(dc, 69, 40), RGB(0, 0, 0));
  vqplatform::ReleaseImageDC(canvas);
  // The number "3" is now part of the picture's own pixels (dark text).
  bool dark = false;
  for (int y = 0; y < 12 && !dark; ++y)
    for (int x = 0; x < 10; ++x)
      if (GetRValue(item.GetPixel(x, y)) < 100) dark = true;
  EXPECT_TRUE(dark);
}

TEST_F(ThumbItemTest, LogoIgnoresThumbnailClicksButOpensTheBrandingLink) {
  CLogoItem logo;
  logo.Init(WM_THUMB_NOTIFY, -1, 0, 0, 40, 40, &dialog_, false);
  ASSERT_TRUE(logo.LoadFile(Wide(WriteJpeg("logo.jpg", 40, 40))));
  EXPECT_FALSE(logo.OnLButtonDown(MK_LBUTTON, 5, 5));
  EXPECT_FALSE(logo.OnLButtonUp(0, 5, 5));
  EXPECT_FALSE(logo.OnRButtonDown(MK_RBUTTON, 5, 5));
  EXPECT_TRUE(TakeNotifications().empty());
  CBrandingData branding;
  branding.linkTarget = L"https://example.org/";
  CThumbItem::SetBrandingData(&branding);
  EXPECT_FALSE(logo.OpenLinkIfHit(0, 50, 5));
  EXPECT_TRUE(logo.OpenLinkIfHit(0, 5, 5));
  CThumbItem::SetBrandingData(nullptr);
  auto calls = vqplatform::RecordedShellCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].target, L"https://example.org/");
  EXPECT_TRUE(logo.SetHandCursorIfHit(0, 5, 5));
  EXPECT_EQ(vqplatform::SystemCursorId(GetCursor()), 32649);
}

}  // namespace
