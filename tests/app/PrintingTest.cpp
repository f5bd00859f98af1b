// The printing layer under the image printer: destinations, printer DCs and
// the document calls, on the PDF file printer.
#include "platform/win/Printing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "tests/app/PdfCheck.h"
#include "tests/support/TestEnv.h"

namespace fs = std::filesystem;

namespace {

vqplatform::PrintDialogChoice FileChoice(const std::string& output, int dpi = 72) {
  vqplatform::PrintDialogChoice choice;
  choice.outputFile = output;
  choice.dpi = dpi;
  choice.pageWidthMm = 101.6;  // 4 x 3 inches
  choice.pageHeightMm = 76.2;
  return choice;
}

}  // namespace

TEST(Printing, FilePrinterComesFirstAndItsDcMeasuresThePage) {
  const auto list = vqplatform::ListPrintDestinations();
  ASSERT_FALSE(list.empty());
  EXPECT_TRUE(list[0].isFile);
  EXPECT_EQ(list[0].name, vqplatform::kFilePrinterName);

  HDC dc = vqplatform::CreatePrinterDC(FileChoice(vqtest::TempPath("a.pdf").string(), 300));
  ASSERT_NE(dc, nullptr);
  EXPECT_TRUE(vqplatform::IsPrinterDC(dc));
  EXPECT_EQ(vqplatform::GetPrinterDeviceCaps(dc, HORZRES), 1200);
  EXPECT_EQ(vqplatform::GetPrinterDeviceCaps(dc, VERTRES), 900);
  EXPECT_EQ(vqplatform::GetPrinterDeviceCaps(dc, LOGPIXELSX), 300);
  EXPECT_EQ(vqplatform::GetPrinterDeviceCaps(dc, LOGPIXELSY), 300);
  EXPECT_TRUE(vqplatform::DeletePrinterDC(dc));
  EXPECT_FALSE(vqplatform::IsPrinterDC(dc));

  vqplatform::PrintDialogChoice unknown = FileChoice("x.pdf");
  unknown.printer = L"no such queue";
  EXPECT_EQ(vqplatform::CreatePrinterDC(unknown), nullptr);
}

TEST(Printing, DocumentsPagesAndAborts) {
  const std::string out = vqtest::TempPath("doc.pdf").string();
  HDC dc = vqplatform::CreatePrinterDC(FileChoice(out));
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(EndPage(dc), SP_ERROR);  // no document yet
  EXPECT_EQ(EndDoc(dc), SP_ERROR);

  DOCINFOW info{20, L"two pages", nullptr, nullptr, 0};
  ASSERT_GT(StartDocW(dc, &info), 0);
  EXPECT_EQ(StartDocW(dc, &info), SP_ERROR);  // one document at a time
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RECT left{0, 0, 72, 216};  // drawn before StartPage: the first page
  FillRect(dc, &left, black);
  ASSERT_GT(EndPage(dc), 0);
  ASSERT_GT(StartPage(dc), 0);
  RECT right{216, 0, 288, 216};
  FillRect(dc, &right, black);
  ASSERT_GT(EndPage(dc), 0);
  ASSERT_GT(EndDoc(dc), 0);

  EXPECT_EQ(pdfcheck::PageSizes(out), (std::vector<std::string>{"288 x 216", "288 x 216"}));
  const cv::Rect first = pdfcheck::DarkBounds(pdfcheck::RenderGrey(out, 1, 72));
  const cv::Rect second = pdfcheck::DarkBounds(pdfcheck::RenderGrey(out, 2, 72));
  EXPECT_NEAR(first.x, 0, 1);
  EXPECT_NEAR(first.width, 72, 1);
  EXPECT_NEAR(second.x, 216, 1);  // a fresh page: the first bar is gone
  EXPECT_NEAR(second.width, 72, 1);

  // An aborted document leaves no file; a document's own output name wins.
  const std::string named = vqtest::TempPath("named.pdf").string();
  const std::wstring wideNamed(named.begin(), named.end());
  DOCINFOW toFile{20, L"aborted", wideNamed.c_str(), nullptr, 0};
  ASSERT_GT(StartDocW(dc, &toFile), 0);
  EXPECT_GT(AbortDoc(dc), 0);
  EXPECT_FALSE(fs::exists(named));
  EXPECT_FALSE(fs::exists(vqtest::TempPath("doc-2.pdf")));
  EXPECT_TRUE(vqplatform::DeletePrinterDC(dc));
}

TEST(Printing, DialogWithoutAnAnswerIsCancelled) {
  PRINTDLGW dialog{};
  dialog.lStructSize = 66;
  dialog.Flags = PD_RETURNDC;
  EXPECT_FALSE(PrintDlgW(&dialog));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  EXPECT_EQ(dialog.hDC, nullptr);

  vqplatform::SetPrintDialogHook([](const auto&, vqplatform::PrintDialogChoice* choice) {
    choice->copies = 2;
    choice->outputFile = "/dev/null";
    return true;
  });
  dialog.nCopies = 1;
  ASSERT_TRUE(PrintDlgW(&dialog));
  EXPECT_EQ(dialog.nCopies, 2);
  ASSERT_NE(dialog.hDC, nullptr);
  EXPECT_TRUE(vqplatform::DeletePrinterDC(dialog.hDC));
  vqplatform::SetPrintDialogHook(nullptr);
}
