// Picture files in the image folder that once aborted, froze or exhausted
// the program (a damaged TIFF strip, an OpenEXR header behind a ".jpg"
// name, a tiny Group 4 TIFF declaring a huge page), fed to every dialog and
// writer that reads pages back: each runs in a process of its own with a
// deadline and a memory watch, and must end in its caller's usual failure.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/ImagePrinter.h"
#include "app/PdfMaker.h"
#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Printing.h"
#include "platform/win/TestInput.h"
#include "tests/app/PdfCheck.h"
#include "tests/imaging/HostilePictures.h"
#include "tests/imaging/TiffReadBack.h"
#include "tests/support/IsolatedRun.h"
#include "tests/support/TestEnv.h"
#include "tests/ui/CaptureDialogsSupport.h"
#include "tests/ui/ScreenshotSupport.h"
#include "ui/MultiPageDlg.h"
#include "ui/ShowImageDlg.h"

namespace fs = std::filesystem;
using vqtest::Wide;
using vqtest::WriteCapture;

namespace {

constexpr int kSave = 1032;

// One hostile file written into the test's folder; its path.
std::string Hostile(const std::pair<std::string, std::string>& file) {
  const std::string path = vqtest::TempPath("images/" + file.first).string();
  fs::create_directories(fs::path(path).parent_path());
  EXPECT_TRUE(vqtest::WriteFile(path, file.second));
  return path;
}

class HostilePicturesTest : public ::testing::Test {
 protected:
  std::string Good(const std::string& name) { return WriteCapture(name, {400, 300}, cv::Scalar(30, 160, 60)); }

  vqtest::OwnerWindow owner;
  vqtest::MenuAndBoxAnswers answers;
};

}  // namespace

// A file that does not load as the first capture leaves the dialog as it
// was (the next one counts as the first); as the second it leaves its
// picture empty, so OK asks for two pictures; one replaced after it was
// shown makes the merge fail: an empty merged path and both sources kept.
TEST_F(HostilePicturesTest, MergeDialogSkipsThemAndMergesNothing) {
  for (const auto& file : hostile::NamedFiles()) {
    SCOPED_TRACE(file.first);
    const auto feed = [&] {
      const std::string bad = Hostile(file), first = Good("first.jpg"), second = Good("second.jpg");
      auto* dialog = new CShowImageDlg(1, &owner, 0);
      dialog->AddImage(Wide(bad));
      EXPECT_TRUE(dialog->Item(0)->GetFilePath().IsEmpty());
      EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(0, 0, 1, 1)) << "not sized by a file that did not load";
      dialog->AddImage(Wide(first));
      dialog->AddImage(Wide(bad));
      EXPECT_EQ(dialog->Item(0)->GetFilePath(), Wide(first));
      EXPECT_EQ(dialog->Item(0)->GetRect(), CRect(0, 0, 360, 240));
      EXPECT_TRUE(dialog->Item(1)->IsNull());
      EXPECT_TRUE(dialog->Item(1)->GetFilePath().IsEmpty());
      dialog->outputName = Wide(vqtest::TempPath("merged").string());
      ASSERT_TRUE(dialog->Create(CShowImageDlg::IDD, nullptr));
      owner.mergeDialog = dialog;
      vqplatform::ClickControl(dialog->m_hWnd, IDOK);
      vqtest::Pump(dialog->m_hWnd);
      EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{L"需要2张图片才能合并"});

      // Both shown, then one replaced on disk before OK.
      dialog->AddImage(Wide(second));
      ASSERT_EQ(dialog->Item(1)->GetFilePath(), Wide(second));
      ASSERT_TRUE(vqtest::WriteFile(second, file.second));
      vqplatform::ClickControl(dialog->m_hWnd, IDOK);
      vqtest::Pump();
      EXPECT_EQ(owner.mergeDialog, nullptr) << "the dialog ends";
      EXPECT_EQ(owner.mergedPaths, std::vector<CString>{CString()});
      EXPECT_TRUE(fs::exists(first));
      EXPECT_TRUE(fs::exists(second));
      for (const char* merged : {"merged.jpg", "merged.tif"}) EXPECT_FALSE(fs::exists(vqtest::TempPath(merged)));
    };
    EXPECT_ISOLATED(nullptr, feed);
  }
}

// In the strip such a page shows the empty page. Neither a PDF nor a TIFF
// is written over it without a word: "Combine" names it and asks; No keeps
// every page collected, Yes writes the others and leaves it on disk.
TEST_F(HostilePicturesTest, MultiPageDialogShowsTheEmptyPageAndNamesThePageBeforeLeavingItOut) {
  vqtest::SkinBitmaps skins;
  for (const auto& file : hostile::NamedFiles()) {
    for (int mode : {0, 1}) {
      SCOPED_TRACE(file.first + (mode ? " in a TIFF" : " in a PDF"));
      const auto feed = [&] {
        auto* dialog = new CMultiPageDlg(&owner, mode, 2);
        dialog->settings.keepMergeSources = 0;
        const std::string target = vqtest::TempPath(mode ? "document.tif" : "document.pdf").string();
        dialog->outputPath = Wide(target);
        ASSERT_TRUE(dialog->Create(CMultiPageDlg::IDD, &owner));
        dialog->ShowWindow(SW_SHOW);
        const std::string first = Good("first.jpg"), bad = Hostile(file), last = Good("last.jpg");
        for (const std::string& page : {first, bad, last}) EXPECT_TRUE(dialog->AddFile(Wide(page)));
        vqtest::Pump(dialog->m_hWnd);
        const std::vector<CThumbItem*> items = dialog->Items();
        ASSERT_GE(items.size(), 3u);
        // The page that does not load shows the empty page, with its number.
        EXPECT_EQ(CSize(items[0]->GetWidth(), items[0]->GetHeight()), CSize(125, 94));
        EXPECT_EQ(CSize(items[1]->GetWidth(), items[1]->GetHeight()), CSize(129, 146));
        EXPECT_EQ(items[1]->GetFilePath(), Wide(bad));
        EXPECT_EQ(items[1]->m_index, 1);
        EXPECT_EQ(CSize(items[2]->GetWidth(), items[2]->GetHeight()), CSize(125, 94));
        vqtest::SaveScreenshot(dialog->m_hWnd, "multipage-" + file.first + ".png");

        const std::wstring question = L"These pages cannot be read:\nPage 2: " + vq::Utf8ToWide(file.first) +
                                      L"\nWrite the document without them?\nYes: write the other pages\nNo: keep "
                                      L"every page";
        for (int answer : {IDNO, IDYES}) {
          vqplatform::ClearMessageBoxLog();
          answers.question = answer;
          vqplatform::ClickControl(dialog->m_hWnd, kSave);
          vqtest::Pump(dialog->m_hWnd);
          EXPECT_EQ(answers.BoxTexts(), std::vector<std::wstring>{question});
          if (answer == IDNO) {
            EXPECT_FALSE(fs::exists(target));
            EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 0);
            EXPECT_EQ(dialog->pages.size(), 3u);
          }
        }
        if (mode == 0) {
          EXPECT_EQ(pdfcheck::PageSizes(target), (std::vector<std::string>{"400 x 300", "400 x 300"}));
        } else {
          EXPECT_EQ(imagingtest::ReadTiff(target).size(), 2u);
        }
        vqtest::Pump();
        EXPECT_EQ(owner.Count(WM_MULTIPAGE_CLOSED), 1);
        delete dialog;
        EXPECT_FALSE(fs::exists(first)) << "written into the document";
        EXPECT_TRUE(fs::exists(bad)) << "left out, and kept";
      };
      EXPECT_ISOLATED(nullptr, feed);
    }
  }
}

// Both PDF writers refuse the page: no document, no temporary file left,
// the console's error line and the writers' failure results.
TEST_F(HostilePicturesTest, PdfWritersWriteNoDocument) {
  std::vector<std::pair<std::string, std::string>> files = hostile::NamedFiles();
  files.push_back({"scan.tiff", hostile::HugeG4Tiff()});  // the re-encoding path
  files.push_back({"photo.png", hostile::HugeG4Tiff()});
  for (const auto& file : files) {
    SCOPED_TRACE(file.first);
    const auto feed = [&] {
      const std::string good = Good("good.jpg"), bad = Hostile(file);
      CPdfMaker maker;
      ASSERT_TRUE(maker.SetPath(Wide(vqtest::TempPath("document").string())));
      EXPECT_EQ(maker.WriteFiles({good, bad}), 1);
      maker.Free();
      EXPECT_FALSE(fs::exists(vqtest::TempPath("document.pdf")));
      EXPECT_FALSE(fs::exists(bad + ".jpg"));

      CImagePrinter printer(2);
      EXPECT_EQ(printer.SaveFileAsPdf(Wide(bad)), 1);
      EXPECT_FALSE(fs::exists(fs::path(bad).replace_extension(".pdf")));
      EXPECT_FALSE(fs::exists(bad + ".jpg"));
    };
    EXPECT_ISOLATED(nullptr, feed);
  }
}

// Printing one prints an empty page, as for any file that does not load.
TEST_F(HostilePicturesTest, PrintingPrintsAnEmptyPage) {
  for (const auto& file : hostile::NamedFiles()) {
    SCOPED_TRACE(file.first);
    const auto feed = [&] {
      const std::string bad = Hostile(file), output = vqtest::TempPath("printed.pdf").string();
      vqplatform::SetPrintDialogHook([&](const auto&, vqplatform::PrintDialogChoice* choice) {
        choice->printer = vqplatform::kFilePrinterName;
        choice->outputFile = output;
        return true;
      });
      CImagePrinter printer(2);
      EXPECT_EQ(printer.Print(Wide(bad)), 1);
      vqplatform::SetPrintDialogHook(nullptr);
      EXPECT_EQ(pdfcheck::PageSizes(output).size(), 1u);
      EXPECT_EQ(pdfcheck::DarkBounds(pdfcheck::RenderGrey(output, 1, 36)), cv::Rect()) << "nothing drawn";
    };
    EXPECT_ISOLATED(nullptr, feed);
  }
}
