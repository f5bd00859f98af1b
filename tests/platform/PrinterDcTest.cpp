// Printer DCs answer GetDeviceCaps with their page, not the screen.
#include <gtest/gtest.h>

#include "platform/win/GdiDc.h"
#include "platform/win/Printing.h"
#include "tests/support/TestEnv.h"

TEST(PrinterDc, DeviceCapsAreThePage) {
  vqplatform::PrintDialogChoice choice;
  choice.outputFile = vqtest::TempPath("page.pdf").string();
  choice.dpi = 300;
  choice.pageWidthMm = 101.6;  // 4 x 3 inches
  choice.pageHeightMm = 76.2;
  HDC dc = vqplatform::CreatePrinterDC(choice);
  ASSERT_NE(dc, nullptr);
  for (auto get : {&GetDeviceCaps, &vqplatform::GetPrinterDeviceCaps}) {
    EXPECT_EQ(get(dc, HORZRES), 1200);
    EXPECT_EQ(get(dc, VERTRES), 900);
    EXPECT_EQ(get(dc, PHYSICALWIDTH), 1200);
    EXPECT_EQ(get(dc, PHYSICALHEIGHT), 900);
    EXPECT_EQ(get(dc, PHYSICALOFFSETX), 0);
    EXPECT_EQ(get(dc, LOGPIXELSX), 300);
    EXPECT_EQ(get(dc, LOGPIXELSY), 300);
    EXPECT_EQ(get(dc, HORZSIZE), 102);
    EXPECT_EQ(get(dc, VERTSIZE), 76);
    EXPECT_EQ(get(dc, BITSPIXEL), 32);
  }
  // Other DCs keep the screen's values.
  HDC memory = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSX), 96);
  EXPECT_EQ(vqplatform::GetPrinterDeviceCaps(memory, LOGPIXELSX), 96);
  DeleteDC(memory);
  EXPECT_TRUE(vqplatform::DeletePrinterDC(dc));
}
