#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/LogFile.h"
#include "platform/win/Clock.h"
#include "tests/support/TestEnv.h"

namespace {

CString LogPath() { return CString(vqtest::TempPath("appdata/log.log").c_str()); }
std::string LogText() { return vqtest::ReadFile(vqtest::TempPath("appdata/log.log")); }

TEST(CLogFile, NotOpenedOrWithoutFormatWritesNothing) {
  CLogFile log;
  EXPECT_EQ(log.Write("x"), 0);
  log.Open(LogPath());
  EXPECT_EQ(log.Write(nullptr), 0);
  EXPECT_FALSE(std::filesystem::exists(vqtest::TempPath("appdata/log.log")));
}

TEST(CLogFile, LinesWithoutTimeStamp) {
  CLogFile log;
  log.Open(LogPath());
  EXPECT_EQ(log.Write("Copies: %d, %s", 2, "fit"), 1);
  EXPECT_EQ(log.Write("second"), 1);
  EXPECT_EQ(LogText(), "Copies: 2, fit\r\nsecond\r\n");
}

TEST(CLogFile, TimeStampFormat) {
  SYSTEMTIME t{};
  t.wYear = 2024, t.wMonth = 1, t.wDay = 5, t.wHour = 9, t.wMinute = 30, t.wSecond = 11;
  vqplatform::ManualClockScope clock(t);
  CLogFile log;
  log.Open(LogPath());
  log.SetTimeStamp(1);
  EXPECT_EQ(log.Write("Start printing"), 1);
  log.SetTimeStamp(0);
  EXPECT_EQ(log.Write("plain"), 1);
  EXPECT_EQ(LogText(), "01/05/2024 09:30:11 : Start printing\r\nplain\r\n");
}

TEST(CLogFile, OpeningAgainKeepsOnlyTheLastJob) {
  {
    CLogFile log;
    log.Open(LogPath());
    log.Write("job one");
  }
  CLogFile log;
  log.Open(LogPath());
  log.Write("job two");
  EXPECT_EQ(LogText(), "job two\r\n");
}

TEST(CLogFile, LongLinesAreCutAt2999Characters) {
  CLogFile log;
  log.Open(LogPath());
  std::string big(5000, 'q');
  EXPECT_EQ(log.Write("%s", big.c_str()), 1);
  EXPECT_EQ(LogText(), std::string(2999, 'q') + "\r\n");
}

TEST(CLogFile, UnwritableFileGivesZero) {
  vqtest::WriteFile(vqtest::TempPath("blocker"), "x");
  CLogFile log;
  log.Open(CString(vqtest::TempPath("blocker/log.log").c_str()));
  EXPECT_EQ(log.Write("lost"), 0);
}

TEST(CLogFile, LinesFromTwoThreadsNeverInterleave) {
  CLogFile log;
  log.Open(LogPath());
  auto writer = [&log](char c) {
    std::string line(100, c);
    for (int i = 0; i < 500; ++i) log.Write("%s %d", line.c_str(), i);
  };
  std::thread a(writer, 'a'), b(writer, 'b');
  a.join();
  b.join();
  std::istringstream in(LogText());
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    ++count;
    ASSERT_GE(line.size(), 103u);
    EXPECT_EQ(line.back(), '\r');
    EXPECT_EQ(line.find_first_not_of(line[0]), 100u) << line;
  }
  EXPECT_EQ(count, 1000);
}

}  // namespace
