// Where Sys.ini is kept for each shape of program folder and configuration
// folder, and what the user is told about it.
#include "app/SettingsLocation.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "tests/platform/PrintCString.h"
#include "tests/support/TestEnv.h"

namespace {

namespace fs = std::filesystem;

enum class At { kNothing, kFile, kFolder, kFifo, kLoop, kLarge };

struct PlaceCase {
  const char* what;
  bool installed;
  bool programWritable;
  At beside;    // Sys.ini in the program folder
  At inConfig;  // Sys.ini in the configuration folder
  // Expected file, carried from and not a file: 'b' beside, 'c' in the
  // configuration folder, '-' none.
  const char* expected;
};

class SettingsLocation : public ::testing::TestWithParam<PlaceCase> {};

bool NeverWritable(const CString&) { return false; }

void Make(const fs::path& path, At what) {
  fs::create_directories(path.parent_path());
  if (what == At::kFile) {
    ASSERT_TRUE(vqtest::WriteFile(path, "[IMAGE]\nINDEX=7\n"));
  } else if (what == At::kFolder) {
    fs::create_directories(path);
  } else if (what == At::kFifo) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  } else if (what == At::kLoop) {
    fs::create_symlink(path.filename(), path);
  } else if (what == At::kLarge) {
    ASSERT_TRUE(vqtest::WriteFile(path, "[IMAGE]\nINDEX=7\n"));
    fs::resize_file(path, (4 << 20) + 1);
  }
}

TEST_P(SettingsLocation, FindsThePlaceAndWhatToTell) {
  const PlaceCase& c = GetParam();
  const fs::path program = vqtest::TempPath("程序 文件夹");
  const fs::path config = vqtest::TempDir() / "home" / ".config" / "Vorquell";
  fs::create_directories(program);
  if (c.installed) {
    ASSERT_TRUE(vqtest::WriteFile(program / "installed", "x"));
  }
  Make(program / "Sys.ini", c.beside);
  Make(config / "Sys.ini", c.inConfig);
  const auto named = [&](char which) {
    return which == 'b' ? CString((program / "Sys.ini").c_str())
                        : (which == 'c' ? CString((config / "Sys.ini").c_str()) : CString());
  };
  const auto canWrite = c.programWritable ? CanWriteFile : NeverWritable;
  const SettingsPlace place = FindSettingsPlace(CString(program.c_str()), canWrite);
  EXPECT_EQ(place.file, named(c.expected[0]));
  EXPECT_EQ(place.carriedFrom, named(c.expected[1]));
  EXPECT_EQ(place.notAFile, named(c.expected[2]));
  EXPECT_EQ(SettingsFilePath(CString(program.c_str()), canWrite), place.file);
  EXPECT_TRUE(place.file.IsEmpty() || fs::is_directory(fs::path(place.file.ToUtf8()).parent_path()));
  // Told only where the values moved or a place was not a file.
  const bool told = !SettingsPlaceNotice(place, !place.file.IsEmpty(), 2).IsEmpty();
  EXPECT_EQ(told, c.expected[1] != '-' || c.expected[2] != '-');
}

INSTANTIATE_TEST_SUITE_P(
    Places, SettingsLocation,
    ::testing::Values(
        PlaceCase{"build folder", false, true, At::kNothing, At::kNothing, "b--"},
        PlaceCase{"build folder with its file", false, true, At::kFile, At::kNothing, "b--"},
        PlaceCase{"configuration read first", false, true, At::kFile, At::kFile, "c--"},
        PlaceCase{"installed, first start", true, true, At::kNothing, At::kNothing, "c--"},
        PlaceCase{"installed with an old file", true, true, At::kFile, At::kNothing, "cb-"},
        PlaceCase{"read-only file", false, false, At::kFile, At::kNothing, "cb-"},
        PlaceCase{"read-only file carried before", false, false, At::kFile, At::kFile, "c--"},
        PlaceCase{"a folder beside", false, true, At::kFolder, At::kNothing, "c-b"},
        PlaceCase{"a folder in the configuration", false, false, At::kFile, At::kFolder, "-bc"},
        PlaceCase{"a folder in the configuration, build folder", false, true, At::kNothing, At::kFolder, "b--"},
        PlaceCase{"a FIFO beside", false, true, At::kFifo, At::kNothing, "c-b"},
        PlaceCase{"a link loop beside", false, true, At::kLoop, At::kNothing, "c-b"},
        PlaceCase{"a 4 MB file beside", false, true, At::kLarge, At::kNothing, "c-b"},
        PlaceCase{"a link loop in the configuration", true, true, At::kNothing, At::kLoop, "--c"}),
    [](const ::testing::TestParamInfo<PlaceCase>& info) {
      std::string name;
      for (const char* p = info.param.what; *p; ++p)
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
      return name;
    });

TEST(SettingsLocationFolder, FollowsXdgConfigHome) {
  EXPECT_EQ(ConfigFolder(), CString((vqtest::TempDir() / "home" / ".config" / "Vorquell").c_str()));
  setenv("XDG_CONFIG_HOME", (vqtest::TempDir() / "配置").c_str(), 1);
  EXPECT_EQ(ConfigFolder(), CString((vqtest::TempDir() / "配置" / "Vorquell").c_str()));
  // Never a folder relative to wherever the program was started: without an
  // absolute HOME, the home of the user's password entry.
  const std::string home = getenv("HOME");
  const CString passwdConfig = CString(getpwuid(getuid())->pw_dir) + L"/.config/Vorquell";
  for (const char* relative : {"配置", ""}) {
    setenv("XDG_CONFIG_HOME", relative, 1);
    unsetenv("HOME");
    EXPECT_EQ(ConfigFolder(), passwdConfig) << relative;
    setenv("HOME", "home", 1);
    EXPECT_EQ(ConfigFolder(), passwdConfig) << relative;
  }
  setenv("HOME", home.c_str(), 1);
  unsetenv("XDG_CONFIG_HOME");
}

TEST(SettingsLocationNotice, NamesBothPlacesInTheSettingsLanguage) {
  const SettingsPlace carried{L"/home/用户/.config/Vorquell/Sys.ini", L"/opt/程序/Sys.ini", L""};
  const SettingsPlace folder{L"/home/u/.config/Vorquell/Sys.ini", L"", L"/opt/p/Sys.ini"};
  const struct {
    int language;
    const wchar_t* carriedWord;
    const wchar_t* folderWord;
  } texts[] = {{0, L"复制", L"不能用作设置文件（不是普通文件）"},
               {1, L"複製", L"不能用作設定檔（不是一般檔案）"},
               {2, L"copied", L"cannot be used as the settings file (not a regular file)"}};
  for (const auto& t : texts) {
    const CString told = SettingsPlaceNotice(carried, true, t.language);
    EXPECT_GE(told.Find(t.carriedWord), 0) << t.language;
    EXPECT_GE(told.Find(carried.file), 0);
    EXPECT_GE(told.Find(carried.carriedFrom), 0);
    EXPECT_GE(SettingsPlaceNotice(folder, true, t.language).Find(t.folderWord), 0) << t.language;
  }
  // A file that could not be bound: the settings are not kept, whatever moved.
  EXPECT_GE(SettingsPlaceNotice(carried, false, 2).Find(L"cannot be kept: /home/用户"), 0);
  EXPECT_GE(SettingsPlaceNotice(SettingsPlace{L"", L"", L"/c/Sys.ini"}, false, 2).Find(L"/c/Sys.ini"), 0);
  EXPECT_TRUE(SettingsPlaceNotice(SettingsPlace{L"/c/Sys.ini", L"", L""}, true, 0).IsEmpty());
  // Why a Sys.ini cannot be used: its size, or the system's word.
  EXPECT_GE(SettingsPlaceNotice(SettingsPlace{L"/c/Sys.ini", L"", L"/p/Sys.ini", vq::FileRefusal::kTooLarge}, true, 2)
                .Find(L"(larger than 4 MB)"),
            0);
  EXPECT_GE(SettingsPlaceNotice(SettingsPlace{L"/c/Sys.ini", L"", L"/p/Sys.ini", vq::FileRefusal::kFailed, ELOOP},
                                true, 0)
                .Find(L"（符号链接循环）"),
            0);
}

}  // namespace
