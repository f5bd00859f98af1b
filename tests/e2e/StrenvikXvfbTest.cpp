// The real libStrenvik.so loaded by the test manager as the Linux manager
// loads it, enabled by a host that never runs a message loop of its own, on
// the virtual cameras under Xvfb: the camera window with live video, pages
// captured and uploaded with the window's buttons and received by native,
// memory and file transfer, the colour radios as ICAP_PIXELTYPE, and an
// enable without a window that captures by itself.
#include <X11/keysym.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <tuple>

#include "tests/e2e/StrenvikXvfbFixture.h"

namespace {

using namespace strenviktest;

TEST_F(StrenvikXvfb, CameraWindowCapturesAndTheHostReceivesByEveryTransfer) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  RECT window{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));

  // Live video: the preview area shows the desk and changes from frame to frame.
  const POINT a = ControlCentre(window, 6002);
  const RECT preview{a.x - 150, a.y - 150, a.x + 150, a.y + 150};
  vqtest::Screenshot first, second;
  ASSERT_TRUE(vqtest::WaitFor(
      [&] {
        first = server.Grab(preview);
        std::this_thread::sleep_for(200ms);
        second = server.Grab(preview);
        return second.CountDifferences(first.pixels, first.width, first.height) > 1000;
      },
      20000ms));
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-camera-window.png"));

  // Native transfer of a colour page.
  CaptureAndUpload(window);
  TW_IMAGEINFO info = Info();
  EXPECT_EQ(info.ImageWidth, 1280);
  EXPECT_EQ(info.ImageLength, 960);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(NativeSize(), cv::Size(1280, 960));

  // A quarter turn, then the automatic crop: the sheet alone, turned with the picture.
  server.Click(ControlCentre(window, 6015));
  std::this_thread::sleep_for(500ms);
  CaptureAndUpload(window);
  EXPECT_EQ(NativeSize(), cv::Size(960, 1280));
  server.Click(ControlCentre(window, 6017));
  std::this_thread::sleep_for(1000ms);
  CaptureAndUpload(window);
  const cv::Size sheet = NativeSize();
  EXPECT_LT(sheet.width, 900);
  EXPECT_LT(sheet.height, 1200);
  EXPECT_GT(sheet.width, sheet.height) << "the upright sheet lies on its side";
  server.Click(ControlCentre(window, 6016));
  server.Click(ControlCentre(window, 6013));

  // The lens button: the portrait camera alone, then inside the document camera's picture.
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(500ms);
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(1500ms);
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-picture-in-picture.png"));
  CaptureAndUpload(window);
  const cv::Size stacked = NativeSize();
  EXPECT_EQ(stacked.width, 1280);
  EXPECT_GT(stacked.height, 960) << "the portrait frame above the page";
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(300ms);

  // The grey radio sets the host-visible pixel type; a memory transfer of a grey page.
  server.Click(ControlCentre(window, 6004));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_GRAY; }, 5000ms));
  CaptureAndUpload(window);
  info = Info();
  EXPECT_EQ(info.BitsPerPixel, 8);
  TW_SETUPMEMXFER sizes{};
  ASSERT_EQ(Send(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
  std::vector<uint8_t> buffer(static_cast<size_t>(sizes.Preferred) * 2);
  TW_UINT32 rows = 0;
  TW_UINT16 rc = TWRC_SUCCESS;
  while (rc == TWRC_SUCCESS) {
    TW_IMAGEMEMXFER xfer{};
    xfer.Memory.Flags = TWMF_POINTER | TWMF_APPOWNS;
    xfer.Memory.Length = static_cast<TW_UINT32>(buffer.size());
    xfer.Memory.TheMem = buffer.data();
    rc = Send(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
    rows += xfer.Rows;
  }
  EXPECT_EQ(rc, TWRC_XFERDONE);
  EXPECT_EQ(rows, 960u);
  EndTransfer();

  // File transfers: black and white as Group 4 TIFF, colour as BMP and JFIF.
  server.Click(ControlCentre(window, 6005));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_BW; }, 5000ms));
  CaptureAndUpload(window);
  cv::Mat tiff = FileTransfer(TWFF_TIFF, "page.tif");
  EXPECT_EQ(tiff.cols, 1280);
  EXPECT_EQ(tiff.rows, 960);
  EndTransfer();
  server.Click(ControlCentre(window, 6003));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_RGB; }, 5000ms));
  for (const auto& [format, name] : {std::pair{TWFF_BMP, "page.bmp"}, std::pair{TWFF_JFIF, "page.jpg"}}) {
    CaptureAndUpload(window);
    cv::Mat page = FileTransfer(format, name);
    EXPECT_EQ(page.size(), cv::Size(1280, 960)) << name;
    EXPECT_EQ(page.channels(), 3) << name;
    EndTransfer();
  }

  // Disable and close: the window goes, every thread of the source ends and the library unloads.
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("Tirrowan Twain", &window); }, 5000ms));
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_FALSE(manager.IsLibraryLoaded());
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; }, 5000ms)) << ThreadNames();
}

// Multi-shot: ten captures page through the strip; a deleted page, a merged
// page and a moved page change what the host receives, in the strip's
// order; a click on a page opens its zoomable preview.
TEST_F(StrenvikXvfb, PageStripDecidesWhatTheHostReceives) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  RECT window{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));
  std::this_thread::sleep_for(1500ms);
  // Multi-shot is on by default: the strip column with four items at the right.
  const RECT templateClient = ControlPixels(vqres::CameraWindowTemplate(), 6031);
  const int buttonHeight = templateClient.bottom - templateClient.top;
  auto item = [&](int j) { return StripItem(window, j); };
  auto itemCentre = [&](int j) { return StripItemCentre(window, j); };
  const POINT previous{window.right - 133 + 33, window.top + 5 + buttonHeight / 2};
  const POINT next{window.right - 5 - 30, window.top + 5 + buttonHeight / 2};
  const vqtest::Screenshot emptySlot = server.Grab(item(3));

  for (int i = 0; i < 10; ++i) {
    server.Click(ControlCentre(window, 6000));
    std::this_thread::sleep_for(400ms);
  }
  ASSERT_TRUE(vqtest::WaitFor(
      [&] { return server.Grab(item(3)).CountDifferences(emptySlot.pixels, emptySlot.width, emptySlot.height) > 2000; },
      5000ms))
      << "the fourth item shows a page";
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-strip-ten-pages.png"));
  EXPECT_EQ(xferReady, 0) << "multi-shot collects";

  // 上张 shows one page earlier: the fourth item then shows page 9, not 10.
  const vqtest::Screenshot lastPage = server.Grab(item(3));
  server.Click(previous);
  EXPECT_TRUE(vqtest::WaitFor(
      [&] {
        const vqtest::Screenshot now = server.Grab(item(2));
        return now.CountDifferences(lastPage.pixels, lastPage.width, lastPage.height) > 0 &&
               server.Grab(item(3)).CountDifferences(lastPage.pixels, lastPage.width, lastPage.height) > 0;
      },
      3000ms));
  server.Click(next);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(server.Grab(item(3)).CountDifferences(lastPage.pixels, lastPage.width, lastPage.height), 0u)
      << "下张 shows the last page again";

  // Delete page 9 through the context menu: nine pages.
  server.RightClick(itemCentre(2));
  std::this_thread::sleep_for(500ms);
  server.PressKey(XK_Down);
  server.PressKey(XK_Return);
  std::this_thread::sleep_for(500ms);

  // Merge two captures side by side: the merged page is the tenth.
  server.Click(ControlCentre(window, 6024));
  server.Click(ControlCentre(window, 6000));
  std::this_thread::sleep_for(400ms);
  server.Click(ControlCentre(window, 6000));
  RECT merge{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像合并", &merge); }, 5000ms));
  std::this_thread::sleep_for(500ms);
  server.Click(ControlCentre(vqres::MergePagesTemplate(), merge, 6025));
  std::this_thread::sleep_for(700ms);  // so that the next press is no double click
  ASSERT_TRUE(FindXWindow("图像合并", &merge));
  EXPECT_GT(merge.right - merge.left, merge.bottom - merge.top) << "side by side";
  server.Grab(merge).SavePng(vqtest::ScreenshotPath("strenvik-merge-dialog.png"));
  server.Click(ControlCentre(vqres::MergePagesTemplate(), merge, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像合并", &merge); }, 5000ms));
  std::this_thread::sleep_for(500ms);

  // The merged page (the last) moves to the first position.
  server.RightClick(itemCentre(3));
  std::this_thread::sleep_for(500ms);
  server.PressKey(XK_Down);
  server.PressKey(XK_Down);
  server.PressKey(XK_Return);
  std::this_thread::sleep_for(500ms);

  // Back to the first page and open it: the zoomable preview.
  for (int i = 0; i < 8; ++i) {
    server.Click(previous);
    std::this_thread::sleep_for(150ms);
  }
  std::this_thread::sleep_for(700ms);
  server.Click(itemCentre(0));
  RECT preview{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像预览", &preview); }, 5000ms));
  // Presses 600 ms apart, so that none is taken for a double click.
  std::this_thread::sleep_for(700ms);
  const POINT viewCentre{(preview.left + preview.right) / 2, (preview.top + preview.bottom - 50) / 2};
  const RECT viewArea{preview.left + 10, preview.top + 10, preview.right - 10, preview.bottom - 60};
  const vqtest::Screenshot fitted = server.Grab(viewArea);
  server.Click(viewCentre);  // the view takes the focus, and with it the wheel
  std::this_thread::sleep_for(700ms);
  server.Wheel(viewCentre, 2);
  vqtest::Screenshot zoomed;
  EXPECT_TRUE(vqtest::WaitFor(
      [&] {
        zoomed = server.Grab(viewArea);
        return zoomed.CountDifferences(fitted.pixels, fitted.width, fitted.height) > 10000;
      },
      3000ms))
      << "the wheel zooms";
  std::this_thread::sleep_for(300ms);
  zoomed = server.Grab(viewArea);
  server.Drag(viewCentre, POINT{viewCentre.x + 150, viewCentre.y + 60});
  EXPECT_TRUE(vqtest::WaitFor(
      [&] { return server.Grab(viewArea).CountDifferences(zoomed.pixels, zoomed.width, zoomed.height) > 10000; },
      3000ms))
      << "dragging pans";
  server.Grab(preview).SavePng(vqtest::ScreenshotPath("strenvik-zoomed-preview.png"));
  server.Click(ControlCentre(vqres::PagePreviewTemplate(), preview, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像预览", &preview); }, 5000ms));

  // Upload: ten pages, the merged one first.
  server.Click(ControlCentre(window, 6012));
  ASSERT_TRUE(vqtest::WaitFor([&] { return xferReady == 1; }, 5000ms));
  std::vector<cv::Size> received;
  for (int i = 0; i < 12; ++i) {
    received.push_back(ReceiveNative());
    TW_PENDINGXFERS pending{};
    ASSERT_EQ(Send(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    if (pending.Count == 0) break;
  }
  ASSERT_EQ(received.size(), 10u) << "ten captures, one deleted, one merged from two";
  EXPECT_EQ(received[0], cv::Size(2560, 960)) << "the merged page, moved first";
  for (size_t i = 1; i < received.size(); ++i) EXPECT_EQ(received[i], cv::Size(1280, 960)) << i;

  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
}

// The enable announces the page once it has returned: the host's callback
// waits for that, from the source's own thread, and is called before the
// host's next call is served.
TEST_F(StrenvikXvfb, WithoutAWindowTheSourceCapturesByItself) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  std::mutex mutex;
  std::condition_variable returned;
  bool enableReturned = false, sawReturn = false;
  std::thread::id notifier;
  host.onNotify = [&](TW_UINT16 message) {
    std::unique_lock lock(mutex);
    sawReturn = returned.wait_for(lock, 60s, [&] { return enableReturned; });
    notifier = std::this_thread::get_id();
    if (message == MSG_XFERREADY) ++xferReady;
  };
  TW_USERINTERFACE ui{0, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  {
    std::lock_guard lock(mutex);
    enableReturned = true;
  }
  returned.notify_all();
  RECT window{};
  EXPECT_FALSE(FindXWindow("Tirrowan Twain", &window)) << "no window shown";
  TW_HANDLE dib = nullptr;
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(xferReady, 1) << "announced before the host's next call";
    EXPECT_TRUE(sawReturn) << "announced after the enable returned";
    EXPECT_NE(notifier, std::this_thread::get_id());
  }
  TestManager::EntryPoints().DSM_MemFree(dib);
  EndTransfer();
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; }, 5000ms)) << ThreadNames();
}

TEST_F(StrenvikXvfb, ScanParametersReopenTheCameraAndContinuousShootingScansEachSheetOnce) {
  // The document camera plays the scripted desk: a hand passes, then two sheets
  // are laid down, from the moment the camera opens.
  setenv("VQ_VIRTUAL_CAMERA",
         "vid=2E1A,pid=0101,sizes=640x480+1280x960,script=demo;vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{1, 0, nullptr};
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  const auto scriptStart = std::chrono::steady_clock::now();
  RECT window{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));

  // Continuous shooting once the hand has passed (over the empty desk the
  // detector may take the hand for a sheet): each sheet is scanned once at rest.
  std::this_thread::sleep_until(scriptStart + 4500ms);
  server.Click(ControlCentre(window, 6028));
  std::this_thread::sleep_until(scriptStart + 17s);
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-continuous-shooting.png"));
  server.Click(ControlCentre(window, 6033));
  std::this_thread::sleep_for(500ms);
  const int before = xferReady;
  server.Click(ControlCentre(window, 6012));
  ASSERT_TRUE(vqtest::WaitFor([&] { return xferReady > before; }, 5000ms)) << "the upload after shooting";
  const std::vector<cv::Size> shots = ReceiveAll();
  EXPECT_EQ(shots.size(), 2u) << "one page per sheet";
  for (const cv::Size& size : shots) EXPECT_EQ(size, cv::Size(1280, 960));

  // The scan parameters: 640 x 480 instead of 1280 x 960 reopens the camera at that size.
  std::this_thread::sleep_for(500ms);
  server.Click(ControlCentre(window, 6021));
  RECT dialog{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("扫描参数", &dialog); }, 5000ms));
  std::this_thread::sleep_for(500ms);
  server.Grab(dialog).SavePng(vqtest::ScreenshotPath("strenvik-scan-parameters.png"));
  server.Click(ControlCentre(vqres::ScanParameterTemplate(), dialog, 6035));
  std::this_thread::sleep_for(300ms);
  server.PressKey(XK_Up);
  server.PressKey(XK_Return);
  std::this_thread::sleep_for(300ms);
  server.Click(ControlCentre(vqres::ScanParameterTemplate(), dialog, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("扫描参数", &dialog); }, 5000ms));
  std::this_thread::sleep_for(1500ms);
  CaptureAndUpload(window);
  EXPECT_EQ(ReceiveAll(), std::vector<cv::Size>{cv::Size(640, 480)});

  // Closing saves the new size.
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  std::ifstream file(vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini");
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("ResolutionWidth=640"), std::string::npos);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; }, 5000ms)) << ThreadNames();
}

// Cameras leave the machine's list (VQ_VIRTUAL_CAMERA) and count as
// unplugged the next time the source looks for cameras: the lens button's
// way to picture in picture looks.
class StrenvikUnplugXvfb : public StrenvikXvfb {
 protected:
  void Enable() {
    ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("Tirrowan Twain", &window); }, 20000ms));
  }
  void PressLens(int times) {
    for (int press = 0; press < times; ++press) {
      server.Click(ControlCentre(window, 6034));
      std::this_thread::sleep_for(600ms);
    }
  }
  // The titles of the message boxes shown within five seconds, each saved
  // as a screenshot and answered with its button.
  std::vector<std::string> AnswerMessageBoxes(const std::string& screenshot) {
    std::vector<std::string> titles;
    RECT box{};
    std::string title;
    // Wider than a tooltip, beside the camera window.
    auto shown = [&] {
      return FindXWindowWhere(
          [](const char* name, const RECT& r) {
            return std::strcmp(name, "Tirrowan Twain") != 0 && r.right - r.left > 200;
          },
          &box, &title);
    };
    while (titles.size() < 3 && vqtest::WaitFor(shown, titles.empty() ? 5000ms : 1500ms)) {
      std::this_thread::sleep_for(400ms);
      server.Grab(box).SavePng(vqtest::ScreenshotPath(screenshot + "-" + std::to_string(titles.size()) + ".png"));
      titles.push_back(title);
      // Its one button, centred at the bottom.
      server.Click(POINT{(box.left + box.right) / 2, box.bottom - 33});
      std::this_thread::sleep_for(400ms);
    }
    return titles;
  }
  void Close() {
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
    ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  }
  TW_USERINTERFACE ui{1, 0, nullptr};
  RECT window{};
};

TEST_F(StrenvikUnplugXvfb, UnpluggedDocumentCameraIsReported) {
  Enable();
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  PressLens(2);
  const std::vector<std::string> titles = AnswerMessageBoxes("strenvik-main-camera-lost");
  ASSERT_EQ(titles.size(), 1u) << "the camera-lost message, once";
  EXPECT_NE(titles[0], "") << "the message box's own caption";
  Close();
}

TEST_F(StrenvikUnplugXvfb, PictureInPictureFallsBackWithoutThePortraitCamera) {
  Enable();
  PressLens(1);  // the portrait camera alone
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0101,sizes=640x480+1280x960", 1);
  PressLens(1);  // picture in picture fails at every size
  const std::vector<std::string> titles = AnswerMessageBoxes("strenvik-picture-in-picture-failed");
  // The fallback's box has no caption; the portrait camera's loss shows on top of it.
  EXPECT_NE(std::find(titles.begin(), titles.end(), ""), titles.end()) << titles.size();
  EXPECT_LE(titles.size(), 2u) << "every box was answered";
  Close();
}

// The source's settings file in a per-machine folder with a Chinese name,
// and pages transferred to files with Chinese names, read back.
class StrenvikChineseNamesXvfb : public StrenvikXvfb {
 protected:
  void SetUp() override {
    setenv("VQ_COMMON_APPDATA", vqtest::TempPath("公共 数据").c_str(), 1);
    StrenvikXvfb::SetUp();
  }
};

TEST_F(StrenvikChineseNamesXvfb, PagesTransferToChineseFileNamesBesideTheSettingsFile) {
  const std::filesystem::path settings = vqtest::TempPath("公共 数据/Ombrecht Software/TwainPara0101.ini");
  ASSERT_TRUE(std::filesystem::exists(settings));
  std::filesystem::create_directories(vqtest::TempPath("扫描 结果"));
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  TW_USERINTERFACE ui{0, 0, nullptr};
  for (const auto& [pixelType, format, name] : {std::tuple{TWPT_BW, TWFF_TIFF, "扫描 结果/第一页.tif"},
                                                 std::tuple{TWPT_RGB, TWFF_BMP, "扫描 结果/第二页.bmp"},
                                                 std::tuple{TWPT_RGB, TWFF_JFIF, "扫描 结果/第三页.jpg"}}) {
    ASSERT_EQ(SetUInt16(ICAP_PIXELTYPE, pixelType), TWRC_SUCCESS);
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(FileTransfer(format, name).size(), cv::Size(1280, 960)) << name;
    EndTransfer();
    ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  }
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_NE(vqtest::ReadFile(settings).find("ResolutionWidth=1280"), std::string::npos);
}

}  // namespace
