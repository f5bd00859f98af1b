// The main window's strip fed picture files that once aborted, froze or
// exhausted the program, in a process of its own with a deadline and a
// memory watch: the item shows no picture, nothing is reported, the ring
// moves on and the next page shows again.
#include <filesystem>
#include <string>

#include "tests/imaging/HostilePictures.h"
#include "tests/support/IsolatedRun.h"
#include "tests/ui/ScreenshotSupport.h"
#include "tests/vorquell/MainWindowFixture.h"

#include <opencv2/imgcodecs.hpp>

namespace {

class MainWindowHostilePictures : public vqtest::MainWindowTest {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = (vqtest::TempDir() / "images" / name).string();
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    EXPECT_TRUE(vqtest::WriteFile(path, bytes));
    return path;
  }
};

}  // namespace

TEST_F(MainWindowHostilePictures, StripItemsShowNoPictureAndTheRingMovesOn) {
  for (const auto& file : hostile::NamedFiles()) {
    SCOPED_TRACE(file.first);
    const auto start = [&] {
      Plug(L"5651", L"d0c0");
      WriteDataFile("5651d0c0;");
      Start();
    };
    const auto feed = [&] {
      CVorquellDlg& window = *window_;
      const std::string page = (vqtest::TempDir() / "images" / "page.jpg").string();
      std::filesystem::create_directories(std::filesystem::path(page).parent_path());
      cv::imwrite(page, cv::Mat(300, 400, CV_8UC3, cv::Scalar(40, 40, 200)));
      window.AddFilesToStrip(CString(page.c_str()), window.StripItems(), 0, nullptr);
      const std::string bad = Write(file.first, file.second);
      // As its own output and as the picture of another output.
      window.AddFilesToStrip(CString(bad.c_str()), window.StripItems(), 0, nullptr);
      window.AddFilesToStrip(CString(page.c_str()), window.StripItems(), 0, CString(bad.c_str()));
      ASSERT_EQ(window.StripCounter(), 3u);
      const std::vector<CThumbItem*> items = window.StripItems();
      EXPECT_FALSE(items[0]->IsNull());
      EXPECT_TRUE(items[1]->IsNull());
      EXPECT_EQ(items[1]->GetFilePath(), CString(bad.c_str()));
      EXPECT_TRUE(items[2]->IsNull());
      EXPECT_EQ(items[2]->GetFilePath(), CString(page.c_str()));
      EXPECT_TRUE(Boxes().empty());
      vqtest::SaveScreenshot(window.GetSafeHwnd(), "strip-" + file.first + ".png");
      // The ring goes on: the fifth file lands where the first was.
      window.AddFilesToStrip(CString(page.c_str()), window.StripItems(), 0, nullptr);
      window.AddFilesToStrip(CString(page.c_str()), window.StripItems(), 0, nullptr);
      EXPECT_FALSE(items[0]->IsNull());
      EXPECT_FALSE(items[3]->IsNull());
      EXPECT_EQ(window.StripCounter(), 5u);
      window.DestroyWindow();
    };
    EXPECT_ISOLATED(start, feed);
  }
}
