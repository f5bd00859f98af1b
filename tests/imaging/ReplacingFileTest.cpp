// The replacing writer puts a file on disk before it takes the target's
// name: the content is synced and closed without an error, then renamed,
// then the folder is synced. A write, a sync or a close that fails (a full
// disk, a quota, a network folder reporting late) leaves the old file as it
// was, no work file, and a failure for the caller to report.
#include "imaging/ReplacingFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "imaging/G4TiffDocument.h"
#include "imaging/ImageFiles.h"
#include "base/PathEncoding.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/Files.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

// What the writer asked of the disk, in order: "fsync file", "fsync
// folder", "close".
std::vector<std::string> g_calls;
int g_failing = 0;  // 0 none, 1 a write (the file-size limit), 2 the sync of a file, 3 its close
int g_error = 0;

bool IsFolder(int fd) {
  struct stat st {};
  return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
}

int FakeFsync(int fd) {
  const bool folder = IsFolder(fd);
  g_calls.push_back(folder ? "fsync folder" : "fsync file");
  if (g_failing == 2 && !folder) {
    errno = g_error;
    return -1;
  }
  return ::fsync(fd);
}

// A late error comes with the close, which still releases the descriptor.
int FakeClose(int fd) {
  const bool folder = IsFolder(fd);
  g_calls.push_back("close");
  const int result = ::close(fd);
  if (g_failing == 3 && !folder) {
    errno = g_error;
    return -1;
  }
  return result;
}

const vq::DiskCalls kFakeCalls{FakeFsync, FakeClose};

struct Fault {
  const char* name;
  int call;
  int error;
};

// Every writer that replaces a page or a document.
struct Writer {
  const char* name;
  const char* fileName;
  std::function<bool(const std::string& target)> write;
};

const std::vector<Writer>& Writers() {
  static const std::vector<Writer> writers = {
      {"bytes", "条码.txt", [](const std::string& target) { return vq::WriteReplacing(target, "new content", 11); }},
      {"jpeg", "页.jpg",
       [](const std::string& target) {
         const std::wstring path = vq::PathFromBytes(target);
         return SaveJpeg(path.c_str(), cv::Mat(40, 60, CV_8UC3, cv::Scalar(10, 200, 30)), nullptr, 200, 200, 80);
       }},
      {"g4tiff", "页.tif",
       [](const std::string& target) {
         CG4TiffDocument document;
         const std::wstring path = vq::PathFromBytes(target);
         document.SetFileName(path.c_str());
         return document.AddPage(cv::Mat(40, 64, CV_8UC1, cv::Scalar(0))) == 0;
       }},
  };
  return writers;
}

class ReplacingFileFaults : public ::testing::TestWithParam<Fault> {
 protected:
  void SetUp() override {
    g_calls.clear();
    g_failing = 0;
    vq::SetDiskCallsForTesting(&kFakeCalls);
  }
  void TearDown() override { vq::SetDiskCallsForTesting(nullptr); }
};

TEST_P(ReplacingFileFaults, TheOldFileStaysAndTheFailureIsReported) {
  const Fault& fault = GetParam();
  for (const Writer& writer : Writers()) {
    SCOPED_TRACE(writer.name);
    const fs::path folder = vqtest::TempPath(std::string("图像-") + writer.name);
    fs::create_directories(folder);
    const fs::path target = folder / writer.fileName;
    ASSERT_TRUE(vqtest::WriteFile(target, "old content"));
    g_failing = fault.call;
    g_error = fault.error;
    {
      // A full disk, as the kernel reports it to every writer.
      imagingtest::FileSizeLimit full(fault.call == 1 ? 4 : RLIM_INFINITY);
      EXPECT_FALSE(writer.write(target.string()));
    }
    EXPECT_EQ(vqtest::ReadFile(target), "old content");
    EXPECT_EQ(vqtest::NamesIn(folder).size(), 1u) << "no work file stays";
    // Once the disk works again the same writer replaces the file.
    g_failing = 0;
    EXPECT_TRUE(writer.write(target.string()));
    EXPECT_NE(vqtest::ReadFile(target), "old content");
  }
}

INSTANTIATE_TEST_SUITE_P(Disk, ReplacingFileFaults,
                         ::testing::Values(Fault{"WriteFindsTheDiskFull", 1, 0},
                                           Fault{"SyncFailsOnTheDevice", 2, EIO},
                                           Fault{"CloseReportsALateWriteError", 3, EIO},
                                           Fault{"CloseReportsTheQuota", 3, EDQUOT}),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST_F(ReplacingFileFaults, TheContentIsSyncedBeforeTheRenameAndTheFolderAfter) {
  const fs::path target = vqtest::TempPath("文本") / "条码.txt";
  fs::create_directories(target.parent_path());
  ASSERT_TRUE(vq::WriteReplacing(target.string(), "abc", 3));
  EXPECT_EQ(g_calls, (std::vector<std::string>{"fsync file", "close", "fsync folder", "close"}));
  // A writer that wrote by name (its own descriptor closed) is synced too.
  g_calls.clear();
  vq::CReplacingFile file(target.string());
  ASSERT_TRUE(file.Create());
  ASSERT_TRUE(file.CloseDescriptor());
  ASSERT_TRUE(vqtest::WriteFile(file.TempPath(), "by name"));
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(g_calls, (std::vector<std::string>{"close", "fsync file", "close", "fsync folder", "close"}));
  EXPECT_EQ(vqtest::ReadFile(target), "by name");
}

}  // namespace
