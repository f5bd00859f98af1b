// The generated skin pictures: every bitmap id of the main window's buttons
// loads at its button's pixel size with the key colour outside a rounded
// face and a caption on it; a row of real skinned buttons in their three
// looks is saved as a picture.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/win/BitmapResources.h"
#include "platform/win/DialogUnits.h"
#include "platform/win/GdiObjects.h"
#include "platform/win/MousePointer.h"
#include "platform/win/SysColors.h"
#include "platform/win/TestInput.h"
#include "resources/Resources.h"
#include "tests/ui/FxButtonTestSupport.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/support/Windows.h"

namespace {

struct ButtonIds {
  int control;
  int ids[9];  // normal / hover / pressed for three languages, 0 when shared
};

const ButtonIds kButtons[] = {
    {1041, {151, 179, 166, 280, 278, 282, 281, 279, 283}}, {1003, {152, 180, 167, 256, 254, 258, 257, 255, 259}},
    {1005, {153, 181, 168, 250, 248, 252, 251, 249, 253}}, {1033, {158, 186, 173, 226, 224, 228, 227, 225, 229}},
    {1034, {160, 188, 175, 262, 260, 264, 263, 261, 265}}, {1023, {161, 189, 176, 268, 266, 270, 269, 267, 271}},
    {1024, {162, 190, 177, 274, 272, 276, 275, 273, 277}}, {1018, {164, 191, 178, 232, 230, 234, 233, 231, 235}},
    {1083, {207, 206, 208, 238, 236, 240, 239, 237, 241}}, {1084, {220, 221, 222, 244, 242, 246, 245, 243, 247}},
    {1011, {154, 182, 169}}, {1008, {155, 183, 170}}, {1010, {156, 184, 171}}, {1032, {157, 185, 172}},
    {1081, {202, 201, 203}},
};

class SkinPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef VQ_SKIN_BITMAP_DIR
    setenv("VQ_BITMAP_DIR", VQ_SKIN_BITMAP_DIR, 1);
#else
    GTEST_SKIP() << "built without the skin pictures";
#endif
  }
  void TearDown() override { unsetenv("VQ_BITMAP_DIR"); }
};

SIZE ButtonSize(int control) {
  const DialogTemplate& dialog = vqres::MainWindowTemplate();
  HFONT font = vqplatform::CreateDialogFont(dialog.fontFace.empty() ? L"MS Shell Dlg" : dialog.fontFace.c_str(),
                                            dialog.pointSize ? dialog.pointSize : 8);
  vqplatform::DialogBaseUnits base = vqplatform::BaseUnitsOfFont(font);
  DeleteObject(font);
  for (const DialogItemTemplate& item : dialog.items)
    if (item.id == control) {
      RECT r = vqplatform::DialogUnitsToPixels(RECT{item.x, item.y, item.x + item.cx, item.y + item.cy}, base);
      return SIZE{r.right - r.left, r.bottom - r.top};
    }
  return SIZE{0, 0};
}

TEST_F(SkinPicturesTest, EveryButtonPictureHasItsButtonsSizeKeyCornersAndACaption) {
  for (const ButtonIds& button : kButtons) {
    SIZE size = ButtonSize(button.control);
    ASSERT_GT(size.cx, 0) << button.control;
    for (int id : button.ids) {
      if (id == 0) continue;
      vqplatform::BitmapPixels pixels;
      ASSERT_TRUE(vqplatform::FindBitmapResource(static_cast<UINT>(id), &pixels)) << id;
      EXPECT_EQ(pixels.width, size.cx) << id;
      EXPECT_EQ(pixels.height, size.cy) << id;
      auto at = [&](int x, int y) {
        const uint8_t* p = &pixels.bgr[static_cast<size_t>((y * pixels.width + x) * 3)];
        return RGB(p[2], p[1], p[0]);
      };
      EXPECT_EQ(at(0, 0), RGB(0, 0, 0)) << id;
      EXPECT_EQ(at(pixels.width - 1, pixels.height - 1), RGB(0, 0, 0)) << id;
      int key = 0, caption = 0;
      for (int y = 0; y < pixels.height; ++y)
        for (int x = 0; x < pixels.width; ++x) {
          COLORREF c = at(x, y);
          if (c == RGB(0, 0, 0)) ++key;
          if (GetRValue(c) > 230 && GetGValue(c) > 230 && GetBValue(c) > 230) ++caption;
        }
      EXPECT_LT(key, 40) << id;       // only the corners
      EXPECT_GT(caption, 15) << id;   // white caption strokes
    }
  }
  HBITMAP slot = LoadBitmapW(nullptr, MAKEINTRESOURCEW(165));
  ASSERT_NE(slot, nullptr);
  BITMAP info{};
  GetObjectW(slot, sizeof info, &info);
  EXPECT_EQ(info.bmWidth, 129);
  EXPECT_EQ(info.bmHeight, 146);
  DeleteObject(slot);
  EXPECT_EQ(LoadBitmapW(nullptr, MAKEINTRESOURCEW(9999)), nullptr);
}

TEST_F(SkinPicturesTest, RowOfSkinnedButtonsInTheirThreeLooks) {
  vqtest::FxButtonDialog::RegisterTemplate();
  vqtest::FxButtonDialog dialog;
  ASSERT_TRUE(dialog.Create(vqtest::FxButtonDialog::kTemplate));
  CFxButton buttons[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(buttons[i].SubclassDlgItem(2001 + i, &dialog));
    vqtest::SkinLikeMainWindow(buttons[i], 151, 166, 179);  // settings: normal, pressed, hover
  }
  auto pump = [&] {
    vqtest::DispatchQueued(dialog.m_hWnd);
  };
  pump();
  RECT client{};
  GetClientRect(buttons[1].m_hWnd, &client);
  vqplatform::MoveMouse(buttons[1].m_hWnd, POINT{client.right / 2, client.bottom / 2});
  pump();
  buttons[2].SetState(TRUE);
  pump();
  EXPECT_EQ(buttons[0].CurrentState(), CFxButton::STATE_NORMAL);
  EXPECT_EQ(buttons[1].CurrentState(), CFxButton::STATE_HOVER);
  EXPECT_EQ(buttons[2].CurrentState(), CFxButton::STATE_PRESSED);
  // The picture's caption is white in every look; the faces differ.
  COLORREF faces[3];
  for (int i = 0; i < 3; ++i) faces[i] = vqtest::PixelOf(buttons[i].m_hWnd, 3, client.bottom - 4);
  EXPECT_NE(faces[0], faces[1]);
  EXPECT_NE(faces[0], faces[2]);
  EXPECT_NE(vqtest::SaveScreenshot(dialog.m_hWnd, "skinned-buttons.png"), "");
  dialog.DestroyWindow();
}

}  // namespace
