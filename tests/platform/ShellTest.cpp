#include <gtest/gtest.h>

#include "platform/win/Encoding.h"
#include "platform/win/Shell.h"
#include "tests/support/TestEnv.h"

namespace {

INT_PTR Code(HINSTANCE h) { return reinterpret_cast<INT_PTR>(h); }

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override { vqplatform::ClearRecordedShellCalls(); }
};

TEST_F(ShellTest, OpensExistingFilesFoldersLinksAndMailAddressesHeadlessByRecording) {
  std::string file = vqtest::TempPath("page one.jpg").string();
  vqtest::WriteFile(file, "x");
  std::wstring wfile = vq::Utf8ToWide(file);
  std::wstring folder = vq::Utf8ToWide(vqtest::TempDir().string());

  EXPECT_GT(Code(ShellExecuteW(nullptr, L"open", wfile.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED)), 32);
  EXPECT_GT(Code(ShellExecuteW(nullptr, L"explore", folder.c_str(), nullptr, nullptr, SW_SHOW)), 32);
  EXPECT_GT(Code(ShellExecuteW(nullptr, nullptr, L"http://example.invalid/a?b=c", nullptr, nullptr, SW_SHOWNORMAL)), 32);
  EXPECT_GT(Code(ShellExecuteW(nullptr, nullptr, L"mailto:someone@example.invalid", nullptr, nullptr, SW_SHOWNORMAL)), 32);

  auto calls = vqplatform::RecordedShellCalls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].verb, L"open");
  EXPECT_EQ(calls[0].target, wfile);
  EXPECT_EQ(calls[0].showCommand, SW_SHOWMAXIMIZED);
  EXPECT_EQ(calls[1].verb, L"explore");
  EXPECT_EQ(calls[1].target, folder);
  EXPECT_EQ(calls[2].target, L"http://example.invalid/a?b=c");
  EXPECT_EQ(calls[3].verb, L"open");
  EXPECT_EQ(calls[3].target, L"mailto:someone@example.invalid");
}

TEST_F(ShellTest, RelativeNamesAreFoundInTheGivenFolder) {
  vqtest::WriteFile(vqtest::TempPath("a.pdf"), "%PDF");
  std::wstring folder = vq::Utf8ToWide(vqtest::TempDir().string());
  EXPECT_GT(Code(ShellExecuteW(nullptr, L"open", L"a.pdf", nullptr, folder.c_str(), SW_SHOW)), 32);
  auto calls = vqplatform::RecordedShellCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].target, vq::Utf8ToWide(vqtest::TempPath("a.pdf").string()));
}

TEST_F(ShellTest, MissingTargetsAndWrongKindsFailWithoutRecording) {
  std::wstring missing = vq::Utf8ToWide(vqtest::TempPath("gone.jpg").string());
  std::string file = vqtest::TempPath("f.txt").string();
  vqtest::WriteFile(file, "x");
  std::wstring wfile = vq::Utf8ToWide(file);
  EXPECT_EQ(Code(ShellExecuteW(nullptr, L"open", missing.c_str(), nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteW(nullptr, L"explore", wfile.c_str(), nullptr, nullptr, SW_SHOW)), SE_ERR_PNF);
  EXPECT_EQ(Code(ShellExecuteW(nullptr, L"open", L"", nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteW(nullptr, L"open", nullptr, nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteW(nullptr, L"print", wfile.c_str(), nullptr, nullptr, SW_SHOW)), SE_ERR_NOASSOC);
  // A one-letter "scheme" is a drive letter, not a link.
  EXPECT_EQ(Code(ShellExecuteW(nullptr, L"open", L"C:/nothing/here.jpg", nullptr, nullptr, SW_SHOW)), SE_ERR_FNF);
  EXPECT_TRUE(vqplatform::RecordedShellCalls().empty());
}

TEST_F(ShellTest, SoundControlPanelRequestFailsQuietly) {
  INT_PTR code = Code(ShellExecuteW(nullptr, L"open", L"rundll32.exe", L"shell32.dll,Control_RunDLL mmsys.cpl,,1",
                                    nullptr, SW_SHOWNORMAL));
  EXPECT_LE(code, 32);
  EXPECT_TRUE(vqplatform::RecordedShellCalls().empty());
}

}  // namespace
