// The printing layer under the image printer: destinations, printer DCs and
// the document calls, on the PDF file printer.
#include "platform/win/Printing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/win/Encoding.h"
#include "platform/win/GdiDc.h"
#include "platform/win/GdiDraw.h"
#include "platform/win/GdiObjects.h"
#include "tests/app/PdfCheck.h"
#include "tests/support/CupsServer.h"
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

TEST(Printing, CupsDestinationsBringTheirPageAndSavedOptionsToDcAndJob) {
  vqtest::CupsServer cups;
  VQ_SKIP_WITHOUT_CUPS(cups);
  ASSERT_TRUE(cups.AddLetterAndA4Queues());
  // Saved in the test's home folder: an option of the queue, an instance
  // with its own medium and resolution, and that instance as the default.
  ASSERT_TRUE(cups.Command("lpoptions -p VQ_LETTER -o job-priority=33"));
  ASSERT_TRUE(cups.Command("lpoptions -p VQ_LETTER/draft -o media=A4 -o Resolution=150dpi -o print-quality=3"));
  ASSERT_TRUE(cups.Command("lpoptions -d VQ_LETTER/draft"));

  vqtest::OnFreshThread([&] {
    std::vector<std::wstring> titles, defaults;
    for (const auto& destination : vqplatform::ListPrintDestinations()) {
      titles.push_back(destination.Title());
      if (destination.isDefault) defaults.push_back(destination.Title());
    }
    EXPECT_EQ(titles, (std::vector<std::wstring>{vqplatform::kFilePrinterName, L"VQ_A4", L"VQ_LETTER", L"VQ_LETTER/draft"}));
    EXPECT_EQ(defaults, std::vector<std::wstring>{L"VQ_LETTER/draft"});

    // The dialog comes up on the default; a DC per destination measures its page.
    vqplatform::PrintDialogChoice preset;
    vqplatform::SetPrintDialogHook([&](const auto&, vqplatform::PrintDialogChoice* choice) {
      preset = *choice;
      return true;
    });
    PRINTDLGW dialog{};
    dialog.lStructSize = 66;
    dialog.Flags = PD_RETURNDC;
    dialog.nCopies = 1;
    ASSERT_TRUE(PrintDlgW(&dialog));
    vqplatform::SetPrintDialogHook(nullptr);
    EXPECT_EQ(preset.printer, L"VQ_LETTER");
    EXPECT_EQ(preset.instance, L"draft");
    HDC draft = dialog.hDC;

    struct Expected {
      const wchar_t* name;
      int dpi;
      double widthPt, heightPt;
    };
    auto checkCaps = [](HDC dc, const Expected& page) {
      SCOPED_TRACE(testing::Message() << vq::WideToUtf8(page.name));
      ASSERT_NE(dc, nullptr);
      auto pixels = [&](double points) { return points / 72 * page.dpi; };
      EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), page.dpi);
      EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), page.dpi);
      EXPECT_NEAR(GetDeviceCaps(dc, PHYSICALWIDTH), pixels(page.widthPt), 1.5);
      EXPECT_NEAR(GetDeviceCaps(dc, PHYSICALHEIGHT), pixels(page.heightPt), 1.5);
      EXPECT_NEAR(GetDeviceCaps(dc, PHYSICALOFFSETX), pixels(vqtest::CupsServer::kLeftPt), 1);
      EXPECT_NEAR(GetDeviceCaps(dc, PHYSICALOFFSETY), pixels(vqtest::CupsServer::kTopPt), 1);
      EXPECT_NEAR(GetDeviceCaps(dc, HORZRES),
                  pixels(page.widthPt - vqtest::CupsServer::kLeftPt - vqtest::CupsServer::kRightPt), 2);
      EXPECT_NEAR(GetDeviceCaps(dc, VERTRES),
                  pixels(page.heightPt - vqtest::CupsServer::kTopPt - vqtest::CupsServer::kBottomPt), 2);
    };
    checkCaps(draft, {L"VQ_LETTER/draft", 150, 595, 842});
    vqplatform::PrintDialogChoice choice;
    choice.printer = L"VQ_LETTER";
    HDC letter = vqplatform::CreatePrinterDC(choice);
    checkCaps(letter, {L"VQ_LETTER", 300, 612, 792});
    choice.printer = L"VQ_A4";
    HDC a4 = vqplatform::CreatePrinterDC(choice);
    checkCaps(a4, {L"VQ_A4", 600, 595, 842});
    choice.printer = L"VQ_LETTER";
    choice.instance = L"gone";  // an instance nobody saved is no destination
    EXPECT_EQ(vqplatform::CreatePrinterDC(choice), nullptr);

    // StartDoc creates the job; an aborted document cancels it.
    DOCINFOW info{20, L"scan 1", nullptr, nullptr, 0};
    const int aborted = StartDocW(draft, &info);
    ASSERT_GT(aborted, 0);
    EXPECT_GT(AbortDoc(draft), 0);
    EXPECT_FALSE(cups.WaitForJob(aborted));
    EXPECT_EQ(cups.JobAttributes(aborted)["job-state"], "canceled");

    // A finished document carries the instance's and the queue's saved options.
    const int job = StartDocW(draft, &info);
    ASSERT_GT(job, aborted);
    RECT bar{0, 0, 150, 300};  // 1 x 2 inches in the printable area's corner
    FillRect(draft, &bar, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ASSERT_GT(EndPage(draft), 0);
    ASSERT_GT(EndDoc(draft), 0);
    ASSERT_TRUE(cups.WaitForJob(job));
    auto attributes = cups.JobAttributes(job);
    EXPECT_EQ(attributes["job-name"], "scan 1");
    EXPECT_EQ(attributes["print-quality"], "draft");
    EXPECT_EQ(attributes["job-priority"], "33");
    EXPECT_EQ(attributes["media"], "A4");
    const std::string out = cups.OutputOf("VQ_LETTER");
    EXPECT_EQ(pdfcheck::PageSizes(out), std::vector<std::string>{"595 x 842"});
    const cv::Rect ink = pdfcheck::DarkBounds(pdfcheck::RenderGrey(out, 1, 72));
    EXPECT_NEAR(ink.x, vqtest::CupsServer::kLeftPt, 1);
    EXPECT_NEAR(ink.y, vqtest::CupsServer::kTopPt, 1);
    EXPECT_NEAR(ink.width, 72, 1);
    EXPECT_NEAR(ink.height, 144, 1);

    // A queue that rejects jobs fails the document at its start.
    ASSERT_TRUE(cups.Command("cupsreject VQ_A4"));
    EXPECT_EQ(StartDocW(a4, &info), SP_ERROR);
    for (HDC dc : {draft, letter, a4}) EXPECT_TRUE(vqplatform::DeletePrinterDC(dc));
  });
}
