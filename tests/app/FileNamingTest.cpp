// Base paths of captures in every naming mode, with a clock set by the
// test, folders made again, and names that never replace an earlier file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "app/FileNaming.h"
#include "app/SysSettings.h"
#include "base/PathEncoding.h"
#include "imaging/ImageFiles.h"
#include "platform/win/Clock.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"
#include "platform/win/TestInput.h"
#include "resources/Resources.h"
#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

const SYSTEMTIME kMorning{2024, 1, 5, 5, 9, 30, 11, 0};  // Friday 5 January 2024, 09:30:11

CString C(const std::filesystem::path& p) { return CString(p.c_str()); }

class FileNamingTest : public ::testing::Test {
 protected:
  FileNamingTest() : clock_(kMorning) {
    folder_ = vqtest::TempPath("Ketterby");
    std::filesystem::create_directories(folder_);
    settings_.currentFolder = C(folder_);
    settings_.nameType = 0;
    settings_.prefix = L"IMG";
    settings_.imageIndex = 123;
    settings_.language = 2;
    settings_.dateMark = 0;
    settings_.customMark = 0;
    settings_.markName = L"ACME";
    vqres::LoadResources();
  }
  CString Name() {
    CString name = L"unchanged";
    settings_.MakeFileName(name);
    return name;
  }
  CString In(const wchar_t* name) { return C(folder_ / vq::ToFsPath(name)); }

  vqplatform::ManualClockScope clock_;
  std::filesystem::path folder_;
  CSysSettings settings_;
};

TEST_F(FileNamingTest, PrefixModeUsesAtLeastFiveCounterDigits) {
  EXPECT_EQ(Name(), In(L"IMG00123"));
  settings_.imageIndex = 123456;
  EXPECT_EQ(Name(), In(L"IMG123456"));
  settings_.imageIndex = 0;
  settings_.prefix = L"";
  EXPECT_EQ(Name(), In(L"00000"));
}

TEST_F(FileNamingTest, DateTimeModeGivesFourteenDigitsInOrder) {
  settings_.nameType = 1;
  EXPECT_EQ(Name(), In(L"20240105093011"));
  vqplatform::Clock::Advance(uint64_t{61 * 1000});
  EXPECT_EQ(Name(), In(L"20240105093112"));
}

TEST_F(FileNamingTest, UnknownModeGivesNoName) {
  settings_.nameType = 3;
  EXPECT_EQ(Name(), L"");
  settings_.nameType = -1;
  EXPECT_EQ(Name(), L"");
}

TEST_F(FileNamingTest, FreeModeAsksEveryTimeAndCancelGivesNoName) {
  settings_.nameType = 2;
  {
    vqplatform::ModalScript script({[](HWND) {
      vqplatform::TypeText(L"contract");
      vqplatform::PressKey(VK_RETURN);
    }});
    EXPECT_EQ(Name(), In(L"contract"));
    EXPECT_EQ(script.StepsRun(), 1u);
  }
  {
    vqplatform::ModalScript script({[](HWND dialog) { vqplatform::ClickControl(dialog, IDCANCEL); }});
    EXPECT_EQ(Name(), L"");
    EXPECT_EQ(script.StepsRun(), 1u);
  }
}

// Two work names taken within the same second, before either page is
// written, are two names (in a folder with a Chinese name): both pages stay.
TEST_F(FileNamingTest, WorkNamesAreTmpWithDateAndTimeAndTwoInOneSecondKeepBothPages) {
  settings_.currentFolder = In(L"扫描件");
  const CString first = settings_.MakeWorkFileName(), second = settings_.MakeWorkFileName();
  EXPECT_EQ(first, In(L"扫描件/Tmp20240105093011"));
  EXPECT_EQ(second, In(L"扫描件/Tmp20240105093011_1"));
  ASSERT_TRUE(WriteImageW(first + L".png", cv::Mat(8, 8, CV_8UC3, cv::Scalar(10, 20, 30))));
  ASSERT_TRUE(WriteImageW(second + L".png", cv::Mat(8, 8, CV_8UC3, cv::Scalar(200, 100, 50))));
  EXPECT_EQ(ReadImageW(first + L".png").at<cv::Vec3b>(4, 4), cv::Vec3b(10, 20, 30));
  EXPECT_EQ(ReadImageW(second + L".png").at<cv::Vec3b>(4, 4), cv::Vec3b(200, 100, 50));
}

TEST_F(FileNamingTest, WatermarkTextForEveryCombinationOfMarks) {
  EXPECT_EQ(settings_.GetWatermarkText(), L"");
  settings_.dateMark = 1;
  EXPECT_EQ(settings_.GetWatermarkText(), L"2024/01/05-09:30:11");
  settings_.customMark = 1;
  EXPECT_EQ(settings_.GetWatermarkText(), L"2024/01/05-09:30:11 ACME");
  settings_.dateMark = 0;
  EXPECT_EQ(settings_.GetWatermarkText(), L"ACME");
}

TEST_F(FileNamingTest, DeletedCurrentFolderIsMadeAgainWithoutChangingTheCurrentFolder) {
  std::filesystem::path nested = folder_ / "20240105";
  settings_.currentFolder = C(nested);
  std::filesystem::remove_all(folder_);
  std::filesystem::path before = std::filesystem::current_path();
  EXPECT_EQ(Name(), C(nested / "IMG00123"));
  EXPECT_TRUE(std::filesystem::is_directory(nested));
  std::filesystem::remove_all(folder_);
  EXPECT_EQ(settings_.MakeWorkFileName(), C(nested / "Tmp20240105093011"));
  EXPECT_TRUE(std::filesystem::is_directory(nested));
  EXPECT_EQ(std::filesystem::current_path(), before);
}

TEST_F(FileNamingTest, NamesTakenWithinTheSameSecondGetASuffixInsteadOfReplacingACapture) {
  settings_.nameType = 1;
  vqtest::WriteFile(folder_ / "20240105093011.jpg", "first");
  EXPECT_EQ(Name(), In(L"20240105093011_1"));
  vqtest::WriteFile(folder_ / "20240105093011_1_00.jpg", "second, page 1");
  EXPECT_EQ(Name(), In(L"20240105093011_2"));
  vqtest::WriteFile(folder_ / "Tmp20240105093011_00.jpg", "work page");
  EXPECT_EQ(settings_.MakeWorkFileName(), In(L"Tmp20240105093011_1"));
  // Files that only start with the same digits are no capture of that name.
  settings_.nameType = 0;
  vqtest::WriteFile(folder_ / "IMG001234.jpg", "other");
  vqtest::WriteFile(folder_ / "IMG00123_notes.txt", "other");
  EXPECT_EQ(Name(), In(L"IMG00123"));
  // Chinese names count as any other; a name that is not UTF-8 beside them
  // is no capture of any name.
  settings_.prefix = L"合同";
  vqtest::WriteFile(folder_ / "合同00123.jpg", "first");
  vqtest::WriteFile(folder_ / "\xba\xcf\xcd\xac" "00123_1.jpg", "GBK");
  EXPECT_EQ(Name(), In(L"合同00123_1"));
}

TEST(CreateFolderChainTest, MakesTheFoldersOfAFilePath) {
  std::filesystem::path file = vqtest::TempPath("a/b/c/name");
  EXPECT_TRUE(CreateFolderChain(C(file)));
  EXPECT_TRUE(std::filesystem::is_directory(file.parent_path()));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_TRUE(CreateFolderChain(L"no-folder-part"));
  vqtest::WriteFile(vqtest::TempPath("plain"), "a file");
  EXPECT_FALSE(CreateFolderChain(C(vqtest::TempPath("plain/below/name"))));
}

TEST(FileNameTextsTest, DateTimeAndCounterTexts) {
  EXPECT_EQ(DateText(kMorning), L"20240105");
  EXPECT_EQ(TimeText(kMorning), L"093011");
  EXPECT_EQ(CounterText(7), L"00007");
  EXPECT_EQ(CounterText(1234567), L"1234567");
}

}  // namespace
