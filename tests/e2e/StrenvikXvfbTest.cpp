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

#include "platform/win/Encoding.h"
#include "platform/win/MessageBox.h"
#include "tests/e2e/StrenvikXvfbFixture.h"

namespace {

using namespace strenviktest;

TEST_F(StrenvikXvfb, CameraWindowCapturesAndTheHostReceivesByEveryTransfer) {
  RECT window{};
  EnableWithWindow(&window);

  // Live video: the preview draws frame after frame.
  ASSERT_TRUE(PreviewLive(window));
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-camera-window.png"));

  // Native transfer of a colour page.
  CaptureAndUpload(window);
  TW_IMAGEINFO info = Info();
  EXPECT_EQ(info.ImageWidth, 1280);
  EXPECT_EQ(info.ImageLength, 960);
  EXPECT_EQ(info.BitsPerPixel, 24);
  EXPECT_EQ(UploadedSize(), cv::Size(1280, 960));

  // A quarter turn, then the automatic crop: the sheet alone, turned with the
  // picture. (Each takes effect with the frames that follow it.)
  server.Click(ControlCentre(window, 6015));
  EXPECT_EQ(CaptureUntil(window, [](cv::Size s) { return s == cv::Size(960, 1280); }), cv::Size(960, 1280));
  server.Click(ControlCentre(window, 6017));
  const cv::Size sheet = CaptureUntil(window, [](cv::Size s) { return s.width < 900 && s.height < 1200; });
  EXPECT_LT(sheet.width, 900);
  EXPECT_LT(sheet.height, 1200);
  EXPECT_GT(sheet.width, sheet.height) << "the upright sheet lies on its side";
  server.Click(ControlCentre(window, 6016));
  server.Click(ControlCentre(window, 6013));

  // The lens button: the portrait camera alone, then inside the document
  // camera's picture. Presses on one button come at least the double-click
  // time apart.
  server.Click(ControlCentre(window, 6034));
  std::this_thread::sleep_for(600ms);
  server.Click(ControlCentre(window, 6034));
  const cv::Size stacked = CaptureUntil(window, [](cv::Size s) { return s.width == 1280 && s.height > 960; });
  EXPECT_EQ(stacked.width, 1280);
  EXPECT_GT(stacked.height, 960) << "the portrait frame above the page";
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-picture-in-picture.png"));
  std::this_thread::sleep_for(600ms);
  server.Click(ControlCentre(window, 6034));
  EXPECT_EQ(CaptureUntil(window, [](cv::Size s) { return s == cv::Size(1280, 960); }), cv::Size(1280, 960))
      << "the document camera alone again";

  // The grey radio sets the host-visible pixel type; a memory transfer of a grey page.
  server.Click(ControlCentre(window, 6004));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_GRAY; }));
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
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_BW; }));
  CaptureAndUpload(window);
  cv::Mat tiff = FileTransfer(TWFF_TIFF, "page.tif");
  EXPECT_EQ(tiff.cols, 1280);
  EXPECT_EQ(tiff.rows, 960);
  EndTransfer();
  server.Click(ControlCentre(window, 6003));
  ASSERT_TRUE(vqtest::WaitFor([&] { return CurrentUInt16(ICAP_PIXELTYPE) == TWPT_RGB; }));
  for (const auto& [format, name] : {std::pair{TWFF_BMP, "page.bmp"}, std::pair{TWFF_JFIF, "page.jpg"}}) {
    CaptureAndUpload(window);
    cv::Mat page = FileTransfer(format, name);
    EXPECT_EQ(page.size(), cv::Size(1280, 960)) << name;
    EXPECT_EQ(page.channels(), 3) << name;
    EndTransfer();
  }

  // Disable and close: the window goes, every thread of the source ends and the library unloads.
  DisableAndClose();
  EXPECT_FALSE(FindXWindow("Tirrowan Twain", &window));
  EXPECT_FALSE(manager.IsLibraryLoaded());
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; })) << ThreadNames();
}

// Multi-shot: ten captures page through the strip; a deleted page, a merged
// page and a moved page change what the host receives, in the strip's
// order; a click on a page opens its zoomable preview.
TEST_F(StrenvikXvfb, PageStripDecidesWhatTheHostReceives) {
  RECT window{};
  EnableWithWindow(&window);
  ASSERT_TRUE(PreviewLive(window));
  // Multi-shot is on by default: the strip column with four items at the right.
  const RECT templateClient = vqtest::ControlPixels(vqres::CameraWindowTemplate(), 6031);
  const int buttonHeight = templateClient.bottom - templateClient.top;
  auto item = [&](int j) { return StripItem(window, j); };
  auto itemCentre = [&](int j) { return StripItemCentre(window, j); };
  auto shows = [&](int j, const vqtest::Screenshot& look) {
    return server.Grab(item(j)).CountDifferences(look) == 0;
  };
  const POINT previous{window.right - 133 + 33, window.top + 5 + buttonHeight / 2};
  const POINT next{window.right - 5 - 30, window.top + 5 + buttonHeight / 2};
  const vqtest::Screenshot emptySlot = server.Grab(item(3));

  for (int i = 0; i < 10; ++i) ASSERT_TRUE(CaptureIntoStrip(window)) << "capture " << i;
  EXPECT_GT(server.Grab(item(3)).CountDifferences(emptySlot), 2000u)
      << "the fourth item shows a page";
  // The window handles input in order: once the scan parameters opened after
  // the presses have come and gone, all ten are in the strip, and the fourth
  // item shows the tenth once drawn.
  server.Click(ControlCentre(window, 6021));
  RECT parameters{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("扫描参数", &parameters); }));
  server.Click(vqtest::ControlCentre(vqres::ScanParameterTemplate(), parameters, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("扫描参数", &parameters); }));
  const vqtest::Screenshot lastPage = Settled(item(3));
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-strip-ten-pages.png"));
  EXPECT_EQ(xferReady, 0) << "multi-shot collects";

  // 上张 shows one page earlier: the fourth item then shows page 9, not 10.
  server.Click(previous);
  EXPECT_TRUE(vqtest::WaitFor([&] { return !shows(3, lastPage) && !shows(2, lastPage); }));
  std::this_thread::sleep_for(600ms);
  server.Click(next);
  EXPECT_TRUE(vqtest::WaitFor([&] { return shows(3, lastPage); })) << "下张 shows the last page again";

  // Delete page 9 through the context menu: nine pages, the last one moves up.
  const vqtest::Screenshot ninth = server.Grab(item(2));
  server.RightClick(itemCentre(2));
  ASSERT_TRUE(vqtest::WaitFor([&] { return OtherWindow().has_value(); })) << "the menu";
  server.PressKey(XK_Down);
  server.PressKey(XK_Return);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !OtherWindow() && !shows(2, ninth); }));
  const vqtest::Screenshot beforeMerge = Settled(item(3));

  // Merge two captures side by side: the merged page is the tenth.
  ASSERT_TRUE(Toggle(window, 6024));
  server.Click(ControlCentre(window, 6000));
  std::this_thread::sleep_for(600ms);
  server.Click(ControlCentre(window, 6000));
  RECT merge{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像合并", &merge); }));
  server.Click(vqtest::ControlCentre(vqres::MergePagesTemplate(), merge, 6025));
  EXPECT_TRUE(vqtest::WaitFor([&] {
    return FindXWindow("图像合并", &merge) && merge.right - merge.left > merge.bottom - merge.top;
  })) << "side by side";
  server.Grab(merge).SavePng(vqtest::ScreenshotPath("strenvik-merge-dialog.png"));
  server.Click(vqtest::ControlCentre(vqres::MergePagesTemplate(), merge, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像合并", &merge); }));
  // The last item, drawn again once the dialog has gone, shows the merged page.
  vqtest::Screenshot merged;
  ASSERT_TRUE(vqtest::WaitFor([&] {
    merged = Settled(item(3));
    return merged.CountDifferences(beforeMerge) > 0;
  })) << "the merged page joins the strip";

  // The merged page (the last) moves to the first position.
  server.RightClick(itemCentre(3));
  ASSERT_TRUE(vqtest::WaitFor([&] { return OtherWindow().has_value(); })) << "the menu";
  server.PressKey(XK_Down);
  server.PressKey(XK_Down);
  server.PressKey(XK_Return);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !OtherWindow() && !shows(3, merged); }));

  // Back to the first page and open it: the zoomable preview. (The presses
  // are handled in order, the click on the item after the last 上张.)
  for (int i = 0; i < 8; ++i) {
    server.Click(previous);
    std::this_thread::sleep_for(600ms);
  }
  server.Click(itemCentre(0));
  RECT preview{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("图像预览", &preview); }));
  const POINT viewCentre{(preview.left + preview.right) / 2, (preview.top + preview.bottom - 50) / 2};
  const RECT viewArea{preview.left + 10, preview.top + 10, preview.right - 10, preview.bottom - 60};
  const vqtest::Screenshot fitted = Settled(viewArea);
  server.Click(viewCentre);  // the view takes the focus, and with it the wheel
  // A wheel that comes before the click was handled goes elsewhere: the one
  // condition it is turned again for, three times at the most.
  vqtest::Screenshot zoomed;
  const auto zoomedIn = [&] { return (zoomed = server.Grab(viewArea)).CountDifferences(fitted) > 10000; };
  bool zooms = false;
  for (int turn = 0; turn < 3 && !zooms; ++turn) {
    server.Wheel(viewCentre, 2);
    zooms = vqtest::WaitFor(zoomedIn, 10s);
  }
  EXPECT_TRUE(zooms) << "the wheel zooms";
  zoomed = Settled(viewArea);  // every notch drawn
  std::this_thread::sleep_for(600ms);  // the drag's press is no double click
  server.Drag(viewCentre, POINT{viewCentre.x + 150, viewCentre.y + 60});
  EXPECT_TRUE(vqtest::WaitFor([&] { return server.Grab(viewArea).CountDifferences(zoomed) > 10000; }))
      << "dragging pans";
  server.Grab(preview).SavePng(vqtest::ScreenshotPath("strenvik-zoomed-preview.png"));
  server.Click(vqtest::ControlCentre(vqres::PagePreviewTemplate(), preview, IDCANCEL));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("图像预览", &preview); }));

  // Upload: ten pages, the merged one first.
  ASSERT_TRUE(Upload(window));
  ASSERT_EQ(xferReady, 1);
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
  DisableAndClose();
}

// The enable announces the page once it has come back to the host through
// the manager: a host that arms its wait then is told, from the source's
// own thread, and never during its call.
TEST_F(StrenvikXvfb, WithoutAWindowTheSourceCapturesByItself) {
  ASSERT_EQ(manager.OpenDS(host), TWRC_SUCCESS);
  std::mutex mutex;
  std::condition_variable told;
  bool inCall = false;
  int early = 0;
  std::thread::id notifier;
  host.onNotify = [&](TW_UINT16 message) {
    std::lock_guard lock(mutex);
    if (inCall) ++early;
    notifier = std::this_thread::get_id();
    if (message == MSG_XFERREADY) ++xferReady;
    told.notify_all();
  };
  TW_USERINTERFACE ui{0, 0, nullptr};
  {
    std::lock_guard lock(mutex);
    inCall = true;
  }
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
  {
    std::unique_lock lock(mutex);
    inCall = false;
    EXPECT_TRUE(told.wait_for(lock, vqtest::kPatience, [&] { return xferReady == 1; }));
    EXPECT_EQ(early, 0) << "announced during the host's call";
    EXPECT_NE(notifier, std::this_thread::get_id());
  }
  RECT window{};
  EXPECT_FALSE(FindXWindow("Tirrowan Twain", &window)) << "no window shown";
  TW_HANDLE dib = nullptr;
  ASSERT_EQ(Send(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &dib), TWRC_XFERDONE);
  TestManager::EntryPoints().DSM_MemFree(dib);
  EndTransfer();
  ASSERT_EQ(Send(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
  ASSERT_EQ(manager.CloseDS(host), TWRC_SUCCESS);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; })) << ThreadNames();
}

TEST_F(StrenvikXvfb, ScanParametersReopenTheCameraAndContinuousShootingScansSheets) {
  // The document camera plays the scripted desk: a hand passes, then two sheets
  // are laid down, from the moment the camera opens.
  setenv("VQ_VIRTUAL_CAMERA",
         "vid=2E1A,pid=0101,sizes=640x480+1280x960,script=demo;vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  const auto scriptStart = std::chrono::steady_clock::now();
  RECT window{};
  EnableWithWindow(&window);

  // Continuous shooting once the hand has passed (over the empty desk the
  // detector may take the hand for a sheet), while the desk plays on in real
  // time. The library's clock is its own, so on a busy machine the detector
  // may see a sheet late or not at all: the source's own tests, on a manual
  // clock, pin one page per sheet; here each page is one of the sheets.
  // The second sheet then lies still for good: shooting goes on at least
  // until the strip shows a page.
  const RECT strip = Strip(window);
  const vqtest::Screenshot empty = Settled(strip);
  std::this_thread::sleep_until(scriptStart + 4500ms);
  server.Click(ControlCentre(window, 6028));
  ASSERT_TRUE(vqtest::WaitFor([&] { return server.Grab(strip).CountDifferences(empty) > 50; }))
      << "a sheet shot";
  std::this_thread::sleep_until(scriptStart + 17s);
  server.Grab(window).SavePng(vqtest::ScreenshotPath("strenvik-continuous-shooting.png"));
  server.Click(ControlCentre(window, 6033));
  ASSERT_TRUE(Upload(window)) << "the upload after shooting";
  const std::vector<cv::Size> shots = ReceiveAll();
  EXPECT_GE(shots.size(), 1u);
  EXPECT_LE(shots.size(), 2u) << "no more than one page per sheet";
  for (const cv::Size& size : shots) EXPECT_EQ(size, cv::Size(1280, 960));

  // The scan parameters: 640 x 480 instead of 1280 x 960 reopens the camera at that size.
  server.Click(ControlCentre(window, 6021));
  RECT dialog{};
  ASSERT_TRUE(vqtest::WaitFor([&] { return FindXWindow("扫描参数", &dialog); }));
  // The keys go to the size list once it has opened over the dialog below
  // the box, and the dialog looks as before once it has closed.
  // (The template's height of the box includes its list: the box itself is
  // its top line.)
  const RECT sizes = vqtest::ControlPixels(vqres::ScanParameterTemplate(), 6035);
  const POINT box{dialog.left + (sizes.left + sizes.right) / 2, dialog.top + sizes.top + 10};
  const RECT below{box.x - 40, box.y + 20, box.x + 40, box.y + 50};
  const vqtest::Screenshot closed = Settled(below);
  auto listShown = [&] { return server.Grab(below).CountDifferences(closed) > 200; };
  server.Click(box);
  ASSERT_TRUE(vqtest::WaitFor(listShown)) << "the list of sizes";
  server.Grab(dialog).SavePng(vqtest::ScreenshotPath("strenvik-scan-parameters.png"));
  server.PressKey(XK_Up);
  server.PressKey(XK_Return);
  ASSERT_TRUE(vqtest::WaitFor([&] { return !listShown(); }));
  server.Click(vqtest::ControlCentre(vqres::ScanParameterTemplate(), dialog, IDOK));
  ASSERT_TRUE(vqtest::WaitFor([&] { return !FindXWindow("扫描参数", &dialog); }));
  EXPECT_EQ(CaptureUntil(window, [](cv::Size s) { return s == cv::Size(640, 480); }), cv::Size(640, 480));

  // Closing saves the new size.
  DisableAndClose();
  EXPECT_NE(vqtest::ReadFile(vq::WideToUtf8(vq::MachineDataFolder()) + "/TwainPara0101.ini").find("ResolutionWidth=640"),
            std::string::npos);
  EXPECT_TRUE(vqtest::WaitFor([&] { return ThreadCount() <= threads; })) << ThreadNames();
}

// Cameras leave the machine's list (VQ_VIRTUAL_CAMERA) and count as
// unplugged the next time the source looks for cameras: the lens button's
// way to picture in picture looks.
class StrenvikUnplugXvfb : public StrenvikXvfb {
 protected:
  // Presses on one button come at least the double-click time apart; each
  // press looks for the cameras again.
  void PressLens(int times) {
    for (int press = 0; press < times; ++press) {
      server.Click(ControlCentre(window, 6034));
      std::this_thread::sleep_for(600ms);
    }
  }
  // Answers the boxes that come, each one of `expected`, the topmost first,
  // until none has come for ten seconds (a timer polls the cameras, and may
  // bring another); each is kept as a picture. Their texts, in order.
  std::vector<std::wstring> AnswerBoxes(const std::vector<vqtest::KnownMessageBox>& expected, const std::string& shot) {
    std::vector<std::wstring> answered;
    const vqtest::KnownMessageBox* box = nullptr;
    std::optional<vqtest::ShownX> shown;
    // Windows are listed bottom to top: the last one found is the topmost.
    const auto topmost = [&] {
      box = nullptr;
      for (const vqtest::ShownX& window : server.ShownWindows())
        for (const vqtest::KnownMessageBox& known : expected)
          if (const auto found = known.Find(server); found && found->window == window.window) box = &known, shown = found;
      return box != nullptr;
    };
    while (answered.size() < 4 && vqtest::WaitFor(topmost, answered.empty() ? vqtest::kPatience : 10000ms)) {
      Settled(shown->place).SavePng(vqtest::ScreenshotPath(shot + "-" + std::to_string(answered.size()) + ".png"));
      answered.push_back(box->Text());
      box->Press(server);
      EXPECT_TRUE(vqtest::WaitFor([&] { return !server.IsShown(shown->window); })) << "the box goes when answered";
    }
    EXPECT_FALSE(OtherWindow(201, 0)) << "no other box";
    return answered;
  }
  RECT window{};
};

const std::wstring kMainLost = L"主摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";
const std::wstring kPortraitLost = L"副摄像头发生异常，可能原因为USB连接错误，请重新拔插设备后重新启动TWAIN！";
const std::wstring kPictureInPictureFailed = L"双摄像头同时开启模式失败，可能原因为USB数据传输速率问题！";

TEST_F(StrenvikUnplugXvfb, UnpluggedDocumentCameraIsReported) {
  EnableWithWindow(&window);
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0110,sizes=640x480+1280x960", 1);
  PressLens(2);
  EXPECT_EQ(AnswerBoxes({vqtest::KnownMessageBox(kMainLost)}, "strenvik-main-camera-lost"),
            std::vector<std::wstring>{kMainLost})
      << "the camera-lost message, once";
  DisableAndClose();
}

TEST_F(StrenvikUnplugXvfb, PictureInPictureFallsBackWithoutThePortraitCamera) {
  EnableWithWindow(&window);
  PressLens(1);  // the portrait camera alone
  setenv("VQ_VIRTUAL_CAMERA", "vid=2E1A,pid=0101,sizes=640x480+1280x960", 1);
  PressLens(1);  // picture in picture fails at every size
  // The fallback's box is given no caption and titled as such a box is; the
  // portrait camera's loss may show on top of it.
  const std::vector<std::wstring> answered = AnswerBoxes(
      {vqtest::KnownMessageBox(kPictureInPictureFailed), vqtest::KnownMessageBox(kPortraitLost)},
      "strenvik-picture-in-picture-failed");
  EXPECT_EQ(std::count(answered.begin(), answered.end(), kPictureInPictureFailed), 1);
  EXPECT_LE(answered.size(), 2u);
  DisableAndClose();
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
