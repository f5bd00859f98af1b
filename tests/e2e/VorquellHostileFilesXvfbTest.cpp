// The built Vorquell meeting files that are not what their names promise:
// data.dat or Sys.ini as a FIFO, as a link to /dev/zero, 2 GB large (sparse)
// and Sys.ini as a link loop. Each time the program says so and ends at once
// (data.dat) or runs on with its settings in the configuration folder
// (Sys.ini) and ends on SIGTERM; never a hang or an abort. And without HOME
// the settings go into the home of the user's password entry, as the README
// says, whatever folder the program was started from.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "app/SettingsLocation.h"
#include "base/PathEncoding.h"
#include "base/TextEncoding.h"
#include "platform/win/KnownFolders.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/VorquellProgramTest.h"
#include "tests/support/Processes.h"
#include "tests/support/Waiting.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kTitle = "Vorquell V71.0";

enum class Shape { kFifo, kZeroLink, kSparse, kLinkLoop };

struct HostileFile {
  const char* what;
  const char* name;  // data.dat or Sys.ini, in the program folder
  Shape shape;
  vq::FileRefusal refusal;
  int error;
};

void Make(const fs::path& path, Shape shape) {
  fs::remove(path);
  switch (shape) {
    case Shape::kFifo: ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); break;
    case Shape::kZeroLink: fs::create_symlink("/dev/zero", path); break;
    case Shape::kSparse:
      ASSERT_TRUE(vqtest::WriteFile(path, "[IMAGE]\nINDEX=37\n"));
      fs::resize_file(path, 2ull << 30);
      break;
    case Shape::kLinkLoop: fs::create_symlink(path.filename(), path); break;
  }
}

class VorquellHostileFiles : public vqtest::VorquellProgramTest,
                             public ::testing::WithParamInterface<HostileFile> {
 protected:
  pid_t Start(const std::vector<std::string>& argv, vqtest::SpawnOptions options = {}) {
    options.set["VQ_VIRTUAL_CAMERA"] = "sizes=640x480";
    options.set["VQ_PROGRAM_DIR"] = program_.string();
    options.errorLog = errors_.string();
    return vqtest::Spawn(argv, options);
  }
  // Waits for the main window, then ends the program as a logout does.
  int RunUntilSigterm(vqtest::XServer& server, pid_t pid) {
    EXPECT_TRUE(vqtest::WaitFor([&] { return server.ShownTitled(kTitle) || vqtest::HasEnded(pid); }));
    EXPECT_FALSE(vqtest::HasEnded(pid)) << vqtest::ReadFile(errors_);
    kill(pid, SIGTERM);
    return vqtest::WaitForEnd(pid);
  }

  const fs::path errors_ = vqtest::TempDir() / "错误.txt";
};

TEST_P(VorquellHostileFiles, TellsAndEndsOrRunsOnWithoutAHang) {
  const HostileFile& c = GetParam();
  const fs::path file = program_ / c.name;
  Make(file, c.shape);
  vqtest::XServer server;
  const pid_t pid = Start({VQ_PROGRAM_PATH});
  ASSERT_GT(pid, 0);
  const std::string why = vq::RefusalText(c.refusal, 16 << 20, c.error);
  if (std::string(c.name) == "data.dat") {
    // Nothing to show without its data: the program ends by itself at once.
    const int status = vqtest::WaitForEnd(pid);
    EXPECT_EQ(vqtest::ExitCode(status), 0) << "wait status " << status;
    EXPECT_NE(vqtest::ReadFile(errors_).find("the data file " + file.string() + ": " + why), std::string::npos)
        << vqtest::ReadFile(errors_);
    return;
  }
  // The settings go on in the configuration folder, and the user is told.
  const CString configured = vq::JoinPath(ConfigFolder().GetString(), L"Sys.ini").c_str();
  SettingsPlace place{configured, L"", CString(vq::PathFromBytes(file.string()).c_str()), c.refusal, c.error};
  const vqtest::KnownMessageBox box(SettingsPlaceNotice(place, true, 0).GetString(), L"Sys.ini",
                                    MB_OK | MB_ICONEXCLAMATION);
  EXPECT_TRUE(vqtest::WaitFor([&] { return box.Find(server).has_value() || vqtest::HasEnded(pid); }))
      << vq::WideToUtf8(box.Text());
  if (const std::optional<vqtest::ShownX> shown = box.Find(server)) {
    // Kept for looking at once its text is drawn.
    vqtest::Screenshot shot;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      shot = server.Grab(shown->place);
      return std::count_if(shot.pixels.begin(), shot.pixels.end(), [](uint32_t p) { return (p & 0xFF) < 0x40; }) > 200;
    }));
    shot.SavePng(vqtest::ScreenshotPath(std::string("vorquell-unusable-") + c.what + ".png"));
  }
  EXPECT_TRUE(box.Press(server)) << vqtest::ReadFile(errors_);
  const int status = RunUntilSigterm(server, pid);
  EXPECT_EQ(vqtest::ExitCode(status), 0) << "wait status " << status;
  EXPECT_NE(vqtest::ReadFile(fs::path(configured.ToUtf8())).find("\nINDEX="), std::string::npos);
  // The file that could not be used is as it was.
  EXPECT_TRUE(fs::is_symlink(file) || fs::is_fifo(file) || fs::file_size(file) == 2ull << 30);
}

INSTANTIATE_TEST_SUITE_P(
    Files, VorquellHostileFiles,
    ::testing::Values(HostileFile{"dataFifo", "data.dat", Shape::kFifo, vq::FileRefusal::kNotAFile, 0},
                      HostileFile{"dataLinkToDevZero", "data.dat", Shape::kZeroLink, vq::FileRefusal::kNotAFile, 0},
                      HostileFile{"data2GB", "data.dat", Shape::kSparse, vq::FileRefusal::kTooLarge, 0},
                      HostileFile{"settingsFifo", "Sys.ini", Shape::kFifo, vq::FileRefusal::kNotAFile, 0},
                      HostileFile{"settingsLinkToDevZero", "Sys.ini", Shape::kZeroLink, vq::FileRefusal::kNotAFile, 0},
                      HostileFile{"settings2GB", "Sys.ini", Shape::kSparse, vq::FileRefusal::kTooLarge, 0},
                      HostileFile{"settingsLinkLoop", "Sys.ini", Shape::kLinkLoop, vq::FileRefusal::kFailed, ELOOP}),
    [](const ::testing::TestParamInfo<HostileFile>& info) { return std::string(info.param.what); });

// /etc/passwd with this user's home replaced, for a mount namespace.
std::string PasswdWithHome(const fs::path& home) {
  std::ifstream in("/etc/passwd");
  std::ostringstream out;
  const std::string uid = ":" + std::to_string(getuid()) + ":";
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, ':');) fields.push_back(field);
    if (fields.size() >= 7 && fields[2] == std::to_string(getuid())) fields[5] = home.string();
    for (size_t i = 0; i < fields.size(); ++i) out << (i ? ":" : "") << fields[i];
    out << "\n";
  }
  return out.str();
}

class VorquellWithoutHome : public vqtest::VorquellProgramTest {};

TEST_F(VorquellWithoutHome, KeepsTheSettingsInThePasswordEntrysHome) {
  // The password entry's home is the test's own only in a mount namespace
  // of its own, where this one file is bound over /etc/passwd.
  if (vqtest::RunShell("unshare -m sh -c 'mount --make-rprivate / && mount --bind /etc/passwd /etc/passwd' "
                       "2>/dev/null") != 0)
    GTEST_SKIP() << "no mount namespaces here";
  const fs::path home = vqtest::TempDir() / "用户 家";
  const fs::path passwd = vqtest::TempDir() / "passwd";
  fs::create_directories(home);
  ASSERT_TRUE(vqtest::WriteFile(passwd, PasswdWithHome(home)));
  // An installed program keeps its settings in the configuration folder.
  ASSERT_TRUE(vqtest::WriteFile(program_ / "installed", ""));
  const fs::path started = vqtest::TempDir() / "别处";
  fs::create_directories(started);

  vqtest::XServer server;
  vqtest::SpawnOptions options;
  options.without = {"HOME", "XDG_CONFIG_HOME"};
  options.set["VQ_VIRTUAL_CAMERA"] = "sizes=640x480";
  options.set["VQ_PROGRAM_DIR"] = program_.string();
  options.errorLog = (vqtest::TempDir() / "错误.txt").string();
  const std::string script = "mount --make-rprivate / && mount --bind \"$1\" /etc/passwd && cd \"$2\" && exec \"$3\"";
  const pid_t pid = vqtest::Spawn({"unshare", "-m", "sh", "-c", script, "sh", passwd.string(), started.string(),
                                   VQ_PROGRAM_PATH},
                                  options);
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(vqtest::WaitFor([&] { return server.ShownTitled(kTitle) || vqtest::HasEnded(pid); }));
  kill(pid, SIGTERM);
  EXPECT_EQ(vqtest::ExitCode(vqtest::WaitForEnd(pid)), 0);
  const fs::path kept = home / ".config" / "Vorquell" / "Sys.ini";
  EXPECT_NE(vqtest::ReadFile(kept).find("\nINDEX="), std::string::npos) << kept;
  EXPECT_FALSE(fs::exists(started / ".config")) << "never a folder relative to where it was started";
  EXPECT_NE(vqtest::ReadFile(vqtest::TempDir() / "错误.txt")
                .find("HOME is not set to an absolute folder; the settings folder is " +
                      (home / ".config" / "Vorquell").string()),
            std::string::npos);
}

}  // namespace
