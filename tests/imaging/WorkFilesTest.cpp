// Work files beside their targets: their names, and how leftovers of a
// writer that no longer runs are told from files still being written.
#include "imaging/WorkFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "imaging/ReplacingFile.h"
#include "tests/support/Files.h"
#include "tests/support/Processes.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

using vqtest::EndedProcess;

std::string WorkName(pid_t pid, const std::string& name, const std::string& extension) {
  return "." + name + "." + std::to_string(pid) + "-3-1f2e.tmp" + extension;
}

void Touch(const fs::path& path) { std::ofstream(path) << "part"; }

TEST(WorkFiles, NameLiesBesideTheTargetHiddenWithItsExtensionAndTheWritersId) {
  const fs::path folder = vqtest::TempPath("图像");
  const std::string work = vq::WorkFileNameBeside((folder / "IMG00007.jpg").string());
  const fs::path path(work);
  EXPECT_EQ(path.parent_path(), folder);
  EXPECT_EQ(path.extension(), ".jpg") << "writers choose the format by the name";
  const std::string name = path.filename().string();
  EXPECT_EQ(name.rfind(".IMG00007.jpg." + std::to_string(getpid()) + "-", 0), 0u) << name;
  EXPECT_NE(vq::WorkFileNameBeside((folder / "IMG00007.jpg").string()), work) << "each call a new name";
  // A name of 300 bytes of Chinese is cut within the limit, on a character.
  std::string longName;
  while (longName.size() < 300) longName += "页";
  const std::string cut = fs::path(vq::WorkFileNameBeside((folder / (longName + ".PNG")).string())).filename().string();
  EXPECT_LT(cut.size(), 255u);
  EXPECT_EQ(fs::path(cut).extension(), ".PNG");
  EXPECT_EQ(cut.substr(1, cut.find('.', 1) - 1).size() % 3, 0u) << "whole characters only";
}

TEST(WorkFiles, OnlyWorkFilesOfEndedWritersAreLeftovers) {
  const pid_t ended = EndedProcess();
  EXPECT_TRUE(vq::IsLeftoverWorkFile(WorkName(ended, "IMG00038", ".PNG")));
  EXPECT_TRUE(vq::IsLeftoverWorkFile(WorkName(ended, "scan.pdf", "")));
  EXPECT_TRUE(vq::IsLeftoverWorkFile(WorkName(ended, "文件 1", ".tif")));
  // A writer that still runs (this one) is writing it now.
  EXPECT_FALSE(vq::IsLeftoverWorkFile(WorkName(getpid(), "IMG00038", ".PNG")));
  EXPECT_FALSE(vq::IsLeftoverWorkFile(fs::path(vq::WorkFileNameBeside("/x/IMG.jpg")).filename().string()));
  // A writer given this process's id at an earlier start (every start in a
  // process namespace of its own gets the same id) is told apart by its start.
  const std::string live = fs::path(vq::WorkFileNameBeside("/x/IMG.jpg")).filename().string();
  const std::string start = live.substr(live.rfind("-s") + 2, live.find(".tmp") - live.rfind("-s") - 2);
  ASSERT_NE(start, "0") << live;
  const std::string earlier = "." + std::string("IMG.jpg.") + std::to_string(getpid()) + "-3-1f2e-s" +
                              std::to_string(std::stoull(start) - 1) + ".tmp.jpg";
  EXPECT_TRUE(vq::IsLeftoverWorkFile(earlier)) << earlier;
  std::string target;
  const std::string recording = fs::path(vq::RecordingNameBeside("/x/录像.asf")).filename().string();
  EXPECT_FALSE(vq::IsLeftoverRecording(recording, &target)) << recording;
  const std::string killed = ".录像.asf." + std::to_string(getpid()) + "-s" + std::to_string(std::stoull(start) - 1) +
                             ".recording";
  EXPECT_TRUE(vq::IsLeftoverRecording(killed, &target));
  EXPECT_EQ(target, "录像.asf");
  // Names of other shapes are nobody's work files.
  for (const std::string& other :
       {std::string(".IMG00038.PNG"), "IMG00038." + std::to_string(ended) + "-3-1f2e.tmp.PNG",
        WorkName(ended, "IMG", ".PNG") + ".bak", ".IMG." + std::to_string(ended) + "-x-1.tmp.PNG", std::string(".tmp"),
        std::string("Tmp20240105093011.jpg"), std::string(".hidden")})
    EXPECT_FALSE(vq::IsLeftoverWorkFile(other)) << other;
}

TEST(WorkFiles, LeftoversGoFromTheFolderAndNothingElseDoes) {
  const fs::path folder = vqtest::TempPath("images");
  fs::create_directories(folder / "20240105");
  const pid_t ended = EndedProcess();
  const std::string stale = WorkName(ended, "IMG00038", ".PNG");
  const std::string live = WorkName(getpid(), "IMG00039", ".jpg");
  for (const std::string& name : {stale, live, std::string("IMG00037.jpg"), std::string(".keep")})
    Touch(folder / name);
  Touch(folder / "20240105" / stale);
  // Something of that shape that is no plain file is not ours to remove.
  fs::create_directory(folder / WorkName(ended, "folder", ""));
  fs::create_symlink(folder / "IMG00037.jpg", folder / WorkName(ended, "link", ".jpg"));

  EXPECT_EQ(vq::RemoveLeftoverWorkFiles(folder.string()), 1);
  EXPECT_FALSE(fs::exists(folder / stale));
  for (const std::string& kept : {live, std::string("IMG00037.jpg"), std::string(".keep")})
    EXPECT_TRUE(fs::exists(folder / kept)) << kept;
  EXPECT_TRUE(fs::exists(folder / "20240105" / stale)) << "subfolders are the caller's to name";
  EXPECT_TRUE(fs::is_directory(folder / WorkName(ended, "folder", "")));
  EXPECT_TRUE(fs::is_symlink(folder / WorkName(ended, "link", ".jpg")));
  EXPECT_EQ(vq::RemoveLeftoverWorkFiles((folder / "missing").string()), 0);
  EXPECT_EQ(vq::RemoveLeftoverWorkFiles(""), 0);
}

TEST(WorkFiles, ReplacingFileWritesUnderAWorkNameAndLeavesNoneBehind) {
  const fs::path target = vqtest::TempPath("out") / "page.jpg";
  fs::create_directories(target.parent_path());
  {
    vq::CReplacingFile file(target.string());
    ASSERT_TRUE(file.Create());
    const fs::path work(file.TempPath());
    EXPECT_EQ(work.parent_path(), target.parent_path());
    EXPECT_FALSE(vq::IsLeftoverWorkFile(work.filename().string())) << "its writer runs";
    ASSERT_TRUE(file.Commit());
    EXPECT_FALSE(fs::exists(work));
  }
  EXPECT_TRUE(fs::exists(target));
  EXPECT_EQ(vqtest::NamesIn(target.parent_path()).size(), 1u);
}

TEST(WorkFiles, WriteReplacingSwapsTheWholeContentInOrLeavesTheOldFile) {
  const fs::path folder = vqtest::TempPath("文本");
  fs::create_directories(folder);
  const fs::path target = folder / "条码.txt";
  std::ofstream(target) << "old content";
  const std::string bytes = std::string(100000, 'x') + "end";
  ASSERT_TRUE(vq::WriteReplacing(target.string(), bytes.data(), bytes.size()));
  EXPECT_EQ(vqtest::ReadFile(target), bytes);
  // Nowhere to write: false, and nothing was made.
  Touch(folder / "a file");
  EXPECT_FALSE(vq::WriteReplacing((folder / "a file" / "x.txt").string(), "x", 1));
  // A folder in the target's place is not replaced.
  fs::create_directory(folder / "taken");
  EXPECT_FALSE(vq::WriteReplacing((folder / "taken").string(), "x", 1));
  EXPECT_TRUE(fs::is_directory(folder / "taken"));
  EXPECT_EQ(vqtest::NamesIn(folder).size(), 3u) << "no work file stays";
}

}  // namespace
