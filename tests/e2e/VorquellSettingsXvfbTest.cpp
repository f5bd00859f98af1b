// Sys.ini as users leave it, met by Vorquell on a real X server with the
// virtual cameras. The built program: three starts that stop early (no
// camera, no data file, an image server that refuses) leave the settings
// they loaded as they were; a Sys.ini holding each hostile value still
// starts, captures a sane page with Space and closes cleanly. The program's
// code in this process: a camera that no model row lists gets a resolution
// the settings sheet takes at its first OK. A Sys.ini the program cannot
// write goes on in the configuration folder, counter included.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <future>
#include <sstream>
#include <thread>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "app/BrandingData.h"
#include "app/BrandingDataWriter.h"
#include "app/VorquellApp.h"
#include "app/VorquellDlg.h"
#include "base/PathEncoding.h"
#include "platform/display/Presenter.h"
#include "platform/dshow/VirtualCamera.h"
#include "platform/win/Dialog.h"
#include "platform/win/MessageBox.h"
#include "platform/win/ProgramWindows.h"
#include "platform/win/TestInput.h"
#include "tests/support/MessageBoxes.h"
#include "tests/e2e/VorquellProgramTest.h"
#include "tests/support/PeerProgram.h"
#include "tests/support/TestEnv.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The lines of a settings text that start with one of the keys.
std::vector<std::string> KeyLines(const std::string& text, const std::vector<std::string>& keys) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    for (const std::string& key : keys)
      if (line.rfind(key + "=", 0) == 0) lines.push_back(line);
  return lines;
}

// The horizontal and vertical density of a JPEG file's JFIF header; {-1, -1}
// without one.
std::pair<int, int> JpegDensity(const fs::path& file) {
  const std::string bytes = vqtest::ReadFile(file);
  if (bytes.size() < 18 || bytes.compare(6, 5, std::string("JFIF\0", 5)) != 0) return {-1, -1};
  const auto u16 = [&](size_t at) { return int(uint8_t(bytes[at])) << 8 | int(uint8_t(bytes[at + 1])); };
  return {u16(14), u16(16)};
}

class VorquellSettingsXvfbTest : public vqtest::VorquellProgramTest {
 protected:
  // Runs the built program, waits for the message box it shows (the splash
  // window, of the splash picture's size, may be up below it), keeps a
  // picture of it and closes it as a user would; the program's exit status.
  int StartAndCloseItsMessage(const std::string& command, const std::string& shot) {
    CBrandingData data;
    EXPECT_EQ(data.Load(vq::PathFromBytes(VQ_DATA_FILE).c_str()), 0);
    const SIZE splash{data.splashImage.IsNull() ? 0 : data.splashImage.GetWidth(),
                      data.splashImage.IsNull() ? 0 : data.splashImage.GetHeight()};
    vqtest::XServer server;
    std::future<int> program = std::async(std::launch::async, [&] { return vqtest::RunShell(command); });
    std::optional<vqtest::ShownX> box;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      return (box = server.FindShown([&](const vqtest::ShownX& shown) {
                return shown.place.right - shown.place.left != splash.cx ||
                       shown.place.bottom - shown.place.top != splash.cy;
              })).has_value();
    })) << command;
    if (box) {
      std::this_thread::sleep_for(300ms);  // drawn before the picture is taken
      server.Grab(box->place).SavePng(vqtest::ScreenshotPath(shot));
      server.RequestClose(box->window);
    }
    return program.get();
  }
};

TEST_F(VorquellSettingsXvfbTest, StartsThatStopEarlyKeepTheSettingsTheyLoaded) {
  const std::vector<std::string> naming = {"INDEX", "PREFIX", "TypeofImageName"};
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini",
                                "[FILE]\nPREFIX=ABC\nTypeofImageName=1\nPRECHOOSE=ABC|IMG\n[IMAGE]\nINDEX=37\n"
                                "CUTPAGETYPE=2\n[OTHER]\nRECOGNIZE=TRUE\nROTATION=270\nMERGE=TRUE\n"));
  const std::vector<std::string> stored = {"PREFIX=ABC", "TypeofImageName=1", "INDEX=37"};

  // No camera: the message, then the end.
  EXPECT_EQ(StartAndCloseItsMessage(Command("0", false), "vorquell-early-stop-no-camera.png"), 0);
  const std::string loaded = Settings();
  EXPECT_EQ(KeyLines(loaded, naming), stored);
  for (const char* kept : {"CUTPAGETYPE=2\n", "RECOGNIZE=TRUE\n", "ROTATION=270\n", "MERGE=TRUE\n", "PRECHOOSE=ABC|IMG\n"})
    EXPECT_NE(loaded.find(kept), std::string::npos) << kept;

  // No data file: the program ends by itself, and Sys.ini is as the load wrote it.
  fs::rename(program_ / "data.dat", program_ / "data.kept");
  EXPECT_EQ(vqtest::RunShell(Command("document;portrait", false)), 0);
  EXPECT_EQ(Settings(), loaded);
  fs::rename(program_ / "data.kept", program_ / "data.dat");

  // An image server that refuses: the busy message over the splash, then the end.
  {
    vqtest::PeerProgram server("VorquellServer");
    ASSERT_TRUE(server.WaitFor("ready"));
    EXPECT_EQ(StartAndCloseItsMessage(Command("document;portrait", false), "vorquell-early-stop-refused.png"), 0);
    EXPECT_TRUE(server.Recorded("got 1109 0 0"));
  }
  EXPECT_EQ(Settings(), loaded);
  EXPECT_EQ(KeyLines(Settings(), naming), stored);
}

// One hostile Sys.ini: where pages go and what they must look like.
struct HostileCase {
  const char* what;
  std::string prefix;
  std::string index;
  std::string imageKeys;  // more of section IMAGE, then any further sections
  std::string page;       // the file name the page gets
  cv::Size size;
};

TEST_F(VorquellSettingsXvfbTest, EachHostileValueStillGivesASanePageAndAClose) {
  const std::string fullSize = "DocCamWidth=1280\nDocCamHeight=960\n";
  const std::vector<HostileCase> cases = {
      {"largest capture size", "IMG", "37", "DocCamWidth=2147483647\nDocCamHeight=2147483647\n", "IMG00037.jpg",
       {2592, 1944}},
      {"capture size of 22 GB", "IMG", "37", "DocCamWidth=60000\nDocCamHeight=45000\n", "IMG00037.jpg",
       {2592, 1944}},
      {"watermark out of range", "IMG", "37",
       fullSize + "[WaterMark]\nDateMark=TRUE\nCustom=TRUE\nName=Ombrecht\nTransparency=300\nSize=2147483647\n"
                  "Position=-3\nColor=-1\n",
       "IMG00037.jpg", {1280, 960}},
      {"last counter", "IMG", "2147483647", fullSize, "IMG2147483647.jpg", {1280, 960}},
      {"10,000-character prefix", std::string(10000, 'P'), "37", fullSize, std::string(50, 'P') + "00037.jpg",
       {1280, 960}},
      {"prefix leaving the folder", "../../outside/", "37", fullSize, "IMG00037.jpg", {1280, 960}},
      {"negative resolution", "IMG", "37", fullSize + "XDPI=-5\nYDPI=70000\n", "IMG00037.jpg", {1280, 960}},
      {"noise size in black and white", "IMG", "37", fullSize + "COLOR=2\nNoiseSize=100000\n", "IMG00037.tif",
       {1280, 960}},
      {"margins, quality and exposure", "IMG", "37",
       fullSize + "CutLeft=2147483647\nCutTop=-9\nJPGQuality=-7\n[Camera]\nAutoExposure=false\n"
                  "Exposure=2147483647\n[POSITION]\nDocument=2147483647,-2147483648,5,99999999\n",
       "IMG00037.jpg", {1280, 960}},
  };
  fs::create_directories(shots_);
  for (size_t i = 0; i < cases.size(); ++i) {
    const HostileCase& c = cases[i];
    const fs::path images = vqtest::TempDir() / ("images" + std::to_string(i));
    ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[FILE]\nFOLDPATH=" + images.string() + "\nPREFIX=" + c.prefix +
                                                            "\nTypeofImageName=0\n[IMAGE]\nDATEFOLDER=0\nINDEX=" +
                                                            c.index + "\n" + c.imageKeys));
    std::string output;
    EXPECT_EQ(vqtest::RunShell(Command("document;portrait", true), &output), 0)
        << c.what << ": started live, captured a page and ended cleanly\n" << output;
    // The program has ended: its page is in place under its name.
    const fs::path page = images / c.page;
    EXPECT_EQ(std::distance(fs::directory_iterator(images), fs::directory_iterator()), 1) << c.what;
    const cv::Mat picture = cv::imread(page.string(), cv::IMREAD_UNCHANGED);
    ASSERT_FALSE(picture.empty()) << c.what;
    EXPECT_EQ(picture.size(), c.size) << c.what;
    cv::Scalar mean, spread;
    cv::meanStdDev(picture, mean, spread);
    EXPECT_GT(spread[0], 10.0) << c.what << ": the page shows the desk and the sheet, not one colour";
    // The counter goes on; after the largest value it starts again at 0.
    const std::string next = c.index == "37" ? "INDEX=38\n" : "INDEX=0\n";
    EXPECT_NE(Settings().find(next), std::string::npos) << c.what;
  }
  // The resolution of the camera's model went into the page written with a
  // negative one; nothing went where the prefix pointed.
  EXPECT_EQ(JpegDensity(vqtest::TempDir() / "images6" / "IMG00037.jpg"), std::make_pair(215, 215));
  EXPECT_FALSE(fs::exists(vqtest::TempDir().parent_path() / "outside"));
}

// Makes a file unwritable while it lives by the immutable flag, where the
// process may set it (root, as CI runs); elsewhere the test is skipped.
class Unwritable {
 public:
  explicit Unwritable(const fs::path& file) : file_(file) { immutable_ = SetImmutable(true); }
  ~Unwritable() {
    if (immutable_) SetImmutable(false);
  }
  Unwritable(const Unwritable&) = delete;
  Unwritable& operator=(const Unwritable&) = delete;
  bool Holds() const { return access(file_.c_str(), W_OK) != 0; }

 private:
  bool SetImmutable(bool on) const {
    const int fd = open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    int flags = 0;
    bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) close(fd);
    return done;
  }
  const fs::path file_;
  bool immutable_ = false;
};

// A Sys.ini the program cannot write: its values, the counter among them,
// go on in the configuration folder, the user is told so once, and the
// pages keep counting from where the file left off.
TEST_F(VorquellSettingsXvfbTest, AnUnwritableSysIniGoesOnInTheConfigurationFolder) {
  const fs::path images = vqtest::TempDir() / "图像";
  ASSERT_TRUE(vqtest::WriteFile(program_ / "Sys.ini", "[FILE]\nFOLDPATH=" + images.string() +
                                                         "\nPREFIX=IMG\nTypeofImageName=0\n[IMAGE]\nINDEX=7\n"
                                                         "DATEFOLDER=0\n[Language]\nCurrent=EN\n"));
  const std::string original = Settings();
  const Unwritable locked(program_ / "Sys.ini");
  if (!locked.Holds()) GTEST_SKIP() << "no way to make a file unwritable here";
  fs::create_directories(shots_);

  // The first start tells where the settings went (a box titled so), then
  // takes a page under the counter it carried.
  vqtest::XServer server;
  std::string output;
  std::future<int> first =
      std::async(std::launch::async, [&] { return vqtest::RunShell(Command("document;portrait", true), &output); });
  std::optional<vqtest::ShownX> box;
  EXPECT_TRUE(vqtest::WaitFor([&] { return (box = server.ShownTitled("Sys.ini")).has_value(); }));
  if (box) {
    // Kept for looking at once its text is drawn.
    vqtest::Screenshot shot;
    EXPECT_TRUE(vqtest::WaitFor([&] {
      shot = server.Grab(box->place);
      return std::count_if(shot.pixels.begin(), shot.pixels.end(), [](uint32_t p) { return (p & 0xFF) < 0x40; }) > 200;
    }));
    shot.SavePng(vqtest::ScreenshotPath("vorquell-settings-carried.png"));
    server.RequestClose(box->window);
  }
  EXPECT_EQ(first.get(), 0) << output;
  EXPECT_TRUE(fs::exists(images / "IMG00007.jpg")) << output;

  // The next start reads them there without a word and counts on.
  EXPECT_EQ(vqtest::RunShell(Command("document;portrait", true), &output), 0) << output;
  EXPECT_TRUE(fs::exists(images / "IMG00008.jpg")) << output;
  const std::string kept = vqtest::ReadFile(vqtest::TempDir() / "home" / ".config" / "Vorquell" / "Sys.ini");
  EXPECT_EQ(KeyLines(kept, {"INDEX", "PREFIX", "Current"}),
            (std::vector<std::string>{"PREFIX=IMG", "INDEX=9", "Current=EN"}));
  EXPECT_EQ(Settings(), original);
}

// Drives the settings sheet once it opens: keeps the dpi shown on its image
// page and a picture of it, presses OK; a sheet that refuses the OK is
// cancelled. Runs on the program's thread, from the sheet's modal loop.
struct SheetOnce {
  HWND mainWindow = nullptr;
  std::atomic<int> okPressed{0};
  std::atomic<bool> refused{false};
  std::wstring dpiShown;

  void Install() {
    vqplatform::SetModalIdleHandler([this](HWND sheet) {
      if (sheet == mainWindow) return;
      if (okPressed > 0) {
        refused = true;
        vqplatform::SetModalIdleHandler(nullptr);
        vqplatform::ClickControl(sheet, IDCANCEL);
        return;
      }
      constexpr int kTab = 1117, kXDpi = 1038, kYDpi = 1039;
      HWND page = vqtest::PageWith(GetDlgItem(sheet, kTab), kXDpi);
      dpiShown = vqtest::TextOf(page, kXDpi) + L"x" + vqtest::TextOf(page, kYDpi);
      vqtest::XServer().Shoot(sheet, "vorquell-unlisted-camera-sheet.png");
      ++okPressed;
      vqplatform::ClickControl(sheet, IDOK);
    });
  }
};

TEST_F(VorquellSettingsXvfbTest, AnUnlistedCameraGetsAResolutionTheSettingsSheetTakes) {
  // A camera pair that no model row lists, and no Sys.ini yet.
  BrandingContent content;
  content.cameraList = "5651d0c05651d0c1;";
  content.title = "Vorquell";
  ASSERT_TRUE(WriteBrandingDataFile((program_ / "data.dat").string(), EncodeBrandingData(content)));
  auto document = vq::dshow::VirtualCameraConfig::Document();
  document.vendorId = L"5651";
  document.productId = L"d0c0";
  document.sizes = {{640, 480}, {1280, 960}};
  vq::dshow::PlugInVirtualCamera(document);
  vqtest::ExpectedBoxes boxes;

  vqtest::XServer server;
  SheetOnce sheet;
  RunInProcess(server, [&](HWND window) {
    sheet.mainWindow = window;
    sheet.Install();
    vqtest::PressLater(window, IDC_SETTINGS);
    EXPECT_TRUE(vqtest::WaitFor([&] { return sheet.okPressed > 0 && IsWindowEnabled(window); }));
  });
  EXPECT_EQ(sheet.dpiShown, L"200x200");
  EXPECT_FALSE(sheet.refused) << "the first OK was taken";
  EXPECT_TRUE(vqplatform::MessageBoxLog().empty()) << "no range message";
  const std::string settings = Settings();
  EXPECT_NE(settings.find("XDPI=200\nYDPI=200\n"), std::string::npos);
}

}  // namespace
