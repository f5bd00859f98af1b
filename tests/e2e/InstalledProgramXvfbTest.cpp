// Vorquell installed as a package or a user installs it: cmake --install
// with DESTDIR, for the prefix /usr and for a prefix in a home folder whose
// path holds Chinese and a space. Every file lands under DESTDIR + prefix
// and every link stays inside; the menu entry validates and names the
// command, the icon and the window class the program really has; the theme
// icons have their folders' sizes; the data source answers a manager from
// where it lies and scans a page unattended. The install needs nothing of
// the system's Tesseract data. The installed program, run from there by an
// ordinary user with nothing of the build in its environment, beside a
// window manager: without a camera it says so and names on stderr what it
// looked for; with one, Space captures a page, 文字识别 recognises a Chinese page,
// nothing goes to its standard output, and where no program opens the text
// the user is told where it lies. Both programs take the camera the default
// data.dat lists: one with a known model's ids, or the virtual one.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <X11/keysym.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <map>
#include <set>
#include <string>

#include <opencv2/imgcodecs.hpp>

#include "platform/twain/Twain.h"
#include "platform/win/Encoding.h"
#include "platform/win/KnownFolders.h"
#include "resources/Resources.h"
#include "tests/e2e/RecognisedText.h"
#include "tests/ocr/PrintedText.h"
#include "tests/support/TestEnv.h"
#include "tests/twain/TestManager.h"
// Xlib last: its macros clash with names above.
#include "tests/e2e/XServer.h"
// Xlib's type name, not needed here, hides the manager's Status.
#undef Status

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::vector<std::string> kLines = {"文字识别的结果应当正确显示", "页面方向检测线程每隔一段时间",
                                         "检查当前文档的方向并且旋转"};
constexpr int kRecognizeButton = 1034;

std::string Quoted(const fs::path& path) { return "'" + path.string() + "'"; }

bool Within(const fs::path& path, const fs::path& folder) {
  const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
  return !relative.empty() && *relative.begin() != "..";
}

// The keys of a desktop entry's main group.
std::map<std::string, std::string> DesktopEntry(const fs::path& file) {
  std::map<std::string, std::string> keys;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);)
    if (const size_t equals = line.find('='); equals != std::string::npos && line[0] != '#')
      keys[line.substr(0, equals)] = line.substr(equals + 1);
  return keys;
}

struct Prefix {
  const char* name;
  bool inHome;         // <home>/.local, else /usr
  const char* vendor;  // the camera's USB ids; null: the virtual camera's own
  const char* product;
  bool opens;  // a program opens the recognised text, else none is found
};
void PrintTo(const Prefix& prefix, std::ostream* out) { *out << prefix.name; }

class InstalledProgramXvfbTest : public ::testing::TestWithParam<Prefix> {
 protected:
  void SetUp() override {
    if (std::string(VQ_RECOGNITION_MODEL).empty()) GTEST_SKIP() << "this build tree makes no recognition model";
    if (std::string why = vqtest::UseXvfbDisplayWithWindowManager(); !why.empty()) GTEST_SKIP() << why;
    fs::create_directories(home_);
    prefix_ = GetParam().inHome ? home_ / ".local" : fs::path("/usr");
    root_ = stage_ / prefix_.relative_path();
  }

  fs::path Installed(const std::string& relative) const { return root_ / relative; }

  // The install, with the system's Tesseract data out of sight where this
  // process may hide it (root, in a mount namespace of its own).
  std::string InstallCommand() const {
    const std::string install = "DESTDIR=" + Quoted(stage_) + " " + Quoted(VQ_CMAKE_COMMAND) + " --install " +
                                Quoted(VQ_BUILD_DIR) + " --prefix " + Quoted(prefix_) + " 2>&1";
    const fs::path system = "/usr/share/tesseract-ocr";
    if (geteuid() != 0 || !fs::exists(system) || vqtest::RunShell("unshare -m true 2>/dev/null") != 0) {
      std::cerr << "the system's Tesseract data stays in sight of the install\n";
      return install;
    }
    const fs::path script = vqtest::TempDir() / "install.sh", empty = vqtest::TempDir() / "no-tessdata";
    fs::create_directories(empty);
    EXPECT_TRUE(vqtest::WriteFile(script, install + "\n"));
    return "unshare -m sh -c 'mount --bind \"$0\" " + system.string() + " && exec sh \"$1\"' " + Quoted(empty) + " " +
           Quoted(script) + " 2>&1";
  }
  // The camera's entry in VQ_VIRTUAL_CAMERA, showing the desk picture.
  std::string CameraEntry() const {
    std::string entry = "sizes=1280x960,folder=" + camera_.string();
    if (GetParam().vendor) entry = std::string("vid=") + GetParam().vendor + ",pid=" + GetParam().product + "," + entry;
    return entry;
  }
  // The installed data source scans a page unattended from the camera; its size.
  cv::Size ScanUnattended(const fs::path& source) {
    const std::string product = GetParam().product ? GetParam().product : "0102";
    const fs::path settings = fs::path(vq::WideToUtf8(vq::MachineDataFolder())) / ("TwainPara" + product + ".ini");
    fs::create_directories(settings.parent_path());
    EXPECT_TRUE(vqtest::WriteFile(settings, "[IMAGE]\nResolutionWidth=1280\nResolutionHeight=960\n[Camera]\nRotateAngle=0\n"));
    setenv("VQ_VIRTUAL_CAMERA", CameraEntry().c_str(), 1);
    twaintest::TestManager manager(source.string());
    twaintest::TestHost host{21};
    cv::Size size;
    EXPECT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
    TW_USERINTERFACE ui{0, 0, nullptr};
    if (manager.Send(host, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui) != TWRC_SUCCESS) {
      ADD_FAILURE() << "the data source refuses the camera: condition " << manager.Status(host);
    } else {
      EXPECT_TRUE(manager.WaitForNotification(MSG_XFERREADY, 60s)) << "no page";
      TW_HANDLE dib = nullptr;
      EXPECT_EQ(manager.Send(host, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
      if (dib) {
        TW_ENTRYPOINT memory = twaintest::TestManager::EntryPoints();
        const auto* header = static_cast<const uint8_t*>(memory.DSM_MemLock(dib));
        int32_t width = 0, height = 0;
        std::memcpy(&width, header + 4, 4);
        std::memcpy(&height, header + 8, 4);
        size = cv::Size(width, height);
        memory.DSM_MemUnlock(dib);
        memory.DSM_MemFree(dib);
      }
      TW_PENDINGXFERS pending{};
      EXPECT_EQ(manager.Send(host, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
      EXPECT_EQ(manager.Send(host, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    }
    EXPECT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
    unsetenv("VQ_VIRTUAL_CAMERA");
    return size;
  }

  // The user who runs the program: this one, or nobody when this one is root.
  std::string AsOrdinaryUser() {
    if (geteuid() != 0) return "";
    const passwd* nobody = getpwnam("nobody");
    uid_ = nobody ? nobody->pw_uid : 65534;
    gid_ = nobody ? nobody->pw_gid : 65534;
    return "setpriv --reuid=" + std::to_string(uid_) + " --regid=" + std::to_string(gid_) + " --clear-groups ";
  }
  // The user's home: settings that size the camera and crop the page, a
  // stand-in opener that notes what the program opens, and every file the
  // user's own. The test's folder is opened to the user to reach it.
  void PrepareHome() {
    fs::create_directories(home_ / ".config" / "Vorquell");
    ASSERT_TRUE(vqtest::WriteFile(home_ / ".config" / "Vorquell" / "Sys.ini",
                                  "[IMAGE]\nDocCamWidth=1280\nDocCamHeight=960\nCUTPAGETYPE=1\n"));
    vqtest::UseStandInOpener(home_ / "bin");
    fs::create_directories(home_ / "运行");
    fs::permissions(home_ / "运行", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(camera_);
    const cv::Mat page = ocrtest::PrintedLines(cv::Size(760, 520), kLines, cv::Point(40, 80));
    ASSERT_TRUE(cv::imwrite((camera_ / "page.png").string(), vqtest::DeskWithPage(page)));
    fs::permissions(vqtest::TempDir(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
    if (geteuid() != 0) return;
    ASSERT_EQ(lchown(home_.c_str(), uid_, gid_), 0);
    for (const auto& entry : fs::recursive_directory_iterator(home_))
      ASSERT_EQ(lchown(entry.path().c_str(), uid_, gid_), 0) << entry.path();
  }
  // The installed command, with an environment that holds nothing of the
  // build or of this test's process.
  std::string ProgramCommand(const std::string& user, const std::string& cameras) const {
    return user + "env -i DISPLAY=" + std::getenv("DISPLAY") + " HOME=" + Quoted(home_) + " PATH=" +
           Quoted(home_ / "bin") + ":/usr/bin:/bin LANG=zh_CN.UTF-8 XDG_RUNTIME_DIR=" + Quoted(home_ / "运行") +
           " VQ_VIRTUAL_CAMERA=" + Quoted(cameras) + " timeout 240 " +
           Quoted(Installed(VQ_INSTALL_BINDIR "/Vorquell"));
  }
  // The pages saved under the user's home.
  int Pages() const { return int(vqtest::FilesMatching(home_ / "Ketterby", R"(.*\.jpg)", true).size()); }
  void Shoot(vqtest::XServer& server, unsigned long window, const std::string& what) {
    server.Grab(server.FrameRectOnScreen(window))
        .SavePng(vqtest::ScreenshotPath(std::string("installed-") + GetParam().name + "-" + what + ".png"));
  }

  const fs::path home_ = vqtest::TempDir() / "用户 主目录";
  const fs::path stage_ = vqtest::TempDir() / "stage";
  const fs::path camera_ = vqtest::TempDir() / "camera";
  fs::path prefix_, root_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

TEST_P(InstalledProgramXvfbTest, EveryFileUnderThePrefixAndTheProgramWorksForAnOrdinaryUser) {
  std::string log;
  ASSERT_EQ(vqtest::RunShell(InstallCommand(), &log), 0) << log;

  // Nothing beside the prefix: only the folders that lead to it. Links stay inside.
  std::set<std::string> strays;
  for (const auto& entry : fs::recursive_directory_iterator(stage_)) {
    const fs::path path = entry.path();
    if (!Within(path, root_) && !(entry.is_directory() && Within(root_, path))) strays.insert(path);
    if (entry.is_symlink()) {
      EXPECT_TRUE(fs::read_symlink(path).is_relative()) << path;
      EXPECT_TRUE(Within(fs::weakly_canonical(path), fs::weakly_canonical(root_))) << path;
    }
  }
  EXPECT_TRUE(strays.empty()) << *strays.begin();
  for (const char* file : {"data.dat", "paizhao.wav", "OCR_RLDA_LN_Gra.tpl", "tessdata/eng.traineddata",
                           "bitmaps/160.png", "icons/128.png"})
    EXPECT_TRUE(fs::is_regular_file(Installed(VQ_INSTALL_PROGRAM_DIR "/" + std::string(file)))) << file;
  EXPECT_TRUE(fs::equivalent(Installed(VQ_INSTALL_BINDIR "/Vorquell"), Installed(VQ_INSTALL_PROGRAM_DIR "/Vorquell")));

  // The menu entry: valid, and naming the command, the icon and the window class.
  const fs::path entryFile = Installed(VQ_INSTALL_DATADIR "/applications/vorquell.desktop");
  std::string complaints;
  EXPECT_EQ(vqtest::RunShell("desktop-file-validate " + Quoted(entryFile) + " 2>&1", &complaints), 0) << complaints;
  EXPECT_EQ(complaints, "");
  std::map<std::string, std::string> entry = DesktopEntry(entryFile);
  EXPECT_TRUE(fs::exists(Installed(VQ_INSTALL_BINDIR "/" + entry["Exec"])));
  int icons = 0;
  for (const auto& size : fs::directory_iterator(Installed(VQ_INSTALL_DATADIR "/icons/hicolor"))) {
    const cv::Mat icon = cv::imread((size.path() / "apps" / (entry["Icon"] + ".png")).string(), cv::IMREAD_UNCHANGED);
    ASSERT_FALSE(icon.empty()) << size.path();
    EXPECT_EQ(size.path().filename().string(), std::to_string(icon.cols) + "x" + std::to_string(icon.rows));
    EXPECT_EQ(icon.channels(), 4);
    ++icons;
  }
  EXPECT_GE(icons, 6);

  // The data source, found as a manager finds sources, answers from there.
  std::vector<fs::path> sources;
  ASSERT_TRUE(fs::is_directory(Installed("lib/twain")));
  for (const auto& file : fs::recursive_directory_iterator(Installed("lib/twain")))
    if (file.path().extension() == ".ds") sources.push_back(file.path());
  ASSERT_EQ(sources.size(), 1u);
  EXPECT_EQ(sources[0], Installed(VQ_INSTALL_TWAIN_DIR "/libStrenvik.ds"));
  {
    twaintest::TestManager manager(sources[0].string());
    TW_IDENTITY identity{};
    EXPECT_EQ(manager.ProbeIdentity(&identity), TWRC_SUCCESS);
    EXPECT_STREQ(identity.ProductName, "Tirrowan Twain");
  }

  // The program, as the user starts it from the menu.
  const std::string user = AsOrdinaryUser();
  PrepareHome();
  if (!GetParam().opens) {  // as xdg-open ends where no program takes the file
    ASSERT_TRUE(vqtest::WriteFile(home_ / "bin" / "xdg-open",
                                  "#!/bin/sh\necho \"$1\" >> \"$(dirname \"$0\")/opened\"\nexit 3\n"));
  }
  // The data source takes the camera the program takes.
  EXPECT_EQ(ScanUnattended(sources[0]), cv::Size(1280, 960));
  vqtest::XServer server;
  ASSERT_TRUE(server.WaitForWindowManager());
  // Without a camera the user is told so, and the standard error stream
  // what was looked for and how to start without one.
  {
    std::string said;
    std::future<int> lonely =
        std::async(std::launch::async, [&] { return vqtest::RunShell(ProgramCommand(user, "0") + " 2>&1", &said); });
    const vqtest::KnownMessageBox noCamera(L"没有找到高拍仪设备，请检查高拍仪设备是否连接正确", L"",
                                           MB_OK | MB_ICONEXCLAMATION);
    ASSERT_TRUE(vqtest::WaitFor([&] { return noCamera.Find(server).has_value(); }));
    EXPECT_TRUE(noCamera.Press(server));
    EXPECT_EQ(lonely.get(), 0);
    for (const char* named : {"2E1A:0101", "2E1C:0301", "1d6b:0102", "VQ_VIRTUAL_CAMERA=1"})
      EXPECT_NE(said.find(named), std::string::npos) << said;
  }
  std::string output;
  std::future<int> program = std::async(std::launch::async, [&] {
    return vqtest::RunShell(ProgramCommand(user, CameraEntry()), &output);
  });
  unsigned long window = 0;
  ASSERT_TRUE(vqtest::WaitFor([&] { return (window = server.ShownManagedWindow("Vorquell V")) != 0; }));
  const std::string windowClass = server.ReadProperty(window, "WM_CLASS").bytes;
  EXPECT_EQ(windowClass.substr(windowClass.find('\0') + 1), entry["StartupWMClass"] + '\0');
  // Live: the desk's grey fills much of the preview.
  const RECT client = server.ClientRectOnScreen(window);
  EXPECT_TRUE(vqtest::WaitFor([&] {
    const vqtest::Screenshot shot = server.Grab(client);
    return std::count(shot.pixels.begin(), shot.pixels.end(), 0x5A5A5Au) > 20000;
  })) << "no camera picture";
  Shoot(server, window, "live");

  // Space, from the keyboard, captures a page.
  ASSERT_TRUE(vqtest::WaitFor([&] { return server.FocusedWindow() == window; }));
  server.PressKey(XK_space);
  EXPECT_TRUE(vqtest::WaitFor([&] { return Pages() == 1; })) << "no page saved";

  // 文字识别 reads the page and opens what it wrote.
  server.Click(vqtest::ControlCentre(vqres::MainWindowTemplate(), client, kRecognizeButton));
  const fs::path opened = home_ / "bin" / "opened";
  ASSERT_TRUE(vqtest::WaitFor([&] { return !vqtest::ReadFile(opened).empty(); })) << "nothing recognised";
  std::string written = vqtest::ReadFile(opened);
  written.pop_back();
  if (!GetParam().opens) {
    // Nothing opened it: the user is told where the text lies.
    const vqtest::KnownMessageBox saved(L"无法打开识别结果。文字已保存在：\n" + vq::Utf8ToWide(written), L"",
                                        MB_ICONINFORMATION);
    std::optional<vqtest::ShownX> box;
    if (!vqtest::WaitFor([&] { return (box = saved.Find(server)).has_value(); }))
      server.Grab(RECT{0, 0, 1920, 1080}).SavePng(vqtest::ScreenshotPath("installed-not-told.png"));
    ASSERT_TRUE(box) << "not told where";
    server.Grab(box->place).SavePng(vqtest::ScreenshotPath("installed-nothing-opened.png"));
    ASSERT_TRUE(saved.Press(server));
    ASSERT_TRUE(vqtest::WaitFor([&] { return !saved.Find(server); }));
  }
  unsigned long dialog = 0;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    for (unsigned long shown : server.ManagedWindows())
      if (shown != window && server.IsShown(shown)) dialog = shown;
    return dialog != 0;
  })) << "no recognition dialog";
  Shoot(server, dialog, "recognised");
  std::wstring expected;
  for (const std::string& line : kLines) expected += vq::Utf8ToWide(line);
  const std::wstring recognised = vqtest::RtfEscapedText(vqtest::ReadFile(written));
  EXPECT_GE(vqtest::SameCharacters(recognised, expected), int(expected.size() * 9 / 10)) << vq::WideToUtf8(recognised);

  // The window manager's close ends the recognition's dialog, then the program.
  server.RequestClose(dialog);
  EXPECT_TRUE(vqtest::WaitFor([&] { return !server.IsShown(dialog); }));
  server.RequestClose(window);
  EXPECT_EQ(program.get(), 0);
  EXPECT_EQ(output, "") << "nothing on the standard output, a recognition included";
}

INSTANTIATE_TEST_SUITE_P(Prefixes, InstalledProgramXvfbTest,
                         ::testing::Values(Prefix{"usr", false, "2E1A", "0101", true},
                                           Prefix{"home", true, nullptr, nullptr, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
